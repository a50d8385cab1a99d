#!/usr/bin/env bash
# A map given on the command line keeps its treasure pictures: the treasure form shows r01 of the
# map, a picture brought into r02 and taken back with Ctrl+Z leaves r01 in place, and Save As
# writes r01.jpg on line 66 with its picture in the saved map's folder.
# Usage: atlas_command_line_treasures.sh (it drives the programs in E2E_PROGRAMS, see lib.sh)
set -u

# shellcheck source-path=SCRIPTDIR source=lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
atlas_binary=$e2e_programs/atlas
e2e_init atlas_command_line_treasures convert cmp python3

orange=255,140,0
blue=0,60,230
# From the treasure form's top-left corner.
r01_row=35,78
r02_row=35,98
load_button=370,506
close_button=812,537

e2e_make_program "$atlas_binary"
maps="$prog/画像と音声/マップファイル"
pictures="$prog/画像と音声/マップ画像"
mkdir -p "$pictures/wheel" "$work/photos" || e2e_fail "cannot make folders"
convert -size 300x300 "xc:rgb($orange)" -quality 95 "$pictures/wheel/r01.jpg" || e2e_fail "cannot make r01.jpg"
cp "$pictures/wheel/r01.jpg" "$work/r01.jpg.orig" || e2e_fail "cannot keep a copy of r01.jpg"
convert -size 300x300 "xc:rgb($blue)" -type TrueColor BMP3:"$work/photos/blue.bmp" || e2e_fail "cannot make the picture"
e2e_write_small_map "$maps/wheel.map" '' 0 '"100,200",港町,,,,,,'
printf 'r01.jpg\r\n' >>"$maps/wheel.map" || e2e_fail "cannot write line 66"

e2e_start_xvfb
e2e_start_atlas "$maps/wheel.map"
e2e_wait_window '^マップエディタ ～ wheel\.map$'
main=$window
echo "atlas_command_line_treasures: wheel.map on $DISPLAY"

e2e_menu_item "$main" e t
e2e_find_window '^宝物画像の取り込み$' "the treasure form"
form=$found fx=$found_x fy=$found_y fw=$found_w fh=$found_h
e2e_click $((fx + ${r01_row%,*})) $((fy + ${r01_row#*,})) "row r01"
e2e_poll_screen r01-shown count "$fx" "$fy" "$fw" "$fh" "$orange" 24 80000

# A picture into r02 through the file dialog, which bears the form's caption.
e2e_click $((fx + ${r02_row%,*})) $((fy + ${r02_row#*,})) "row r02"
e2e_click $((fx + ${load_button%,*})) $((fy + ${load_button#*,})) "取り込む"
e2e_dialog_type '^宝物画像の取り込み$' "$work/photos/blue.bmp" "file dialog of 取り込む" "$form"
e2e_answer '^マップエディタ$' Return "notice that r02.bmp was saved in the picture folder"
e2e_poll_screen r02-shown count "$fx" "$fy" "$fw" "$fh" "$blue" 24 80000

# Ctrl+Z takes r02 back; r01 is still the map's.
e2e_press "$form" ctrl+z
e2e_wait_none undone "$fx" "$fy" "$fw" "$fh" "$blue" 24
e2e_click $((fx + ${r01_row%,*})) $((fy + ${r01_row#*,})) "row r01 after the undo"
e2e_poll_screen r01-after-undo count "$fx" "$fy" "$fw" "$fh" "$orange" 24 80000

e2e_click $((fx + ${close_button%,*})) $((fy + ${close_button#*,})) "閉じる"
e2e_wait_gone "$form" "the treasure form after 閉じる"

e2e_save_map_as "$main" wheel2
e2e_find_window '^マップエディタ ～ wheel2\.map$' "main window named after the saved map"
saved="$maps/wheel2.map"
treasures=$(iconv -f CP932 -t UTF-8 "$saved" | tr -d '\r' | sed -n '66,$p' | tr '\n' ' ')
[ "$treasures" = "r01.jpg " ] || e2e_fail "the saved map lists the rare treasures \"$treasures\", expected r01.jpg alone"
cmp -s "$work/r01.jpg.orig" "$pictures/wheel2/r01.jpg" || e2e_fail "the saved map's folder holds no r01.jpg of the map"

e2e_press "$main" F4
e2e_wait_exit "F4 after the save"
[ "$atlas_status" = 0 ] || e2e_fail "atlas exited with status $atlas_status"

passed=1
echo "atlas_command_line_treasures: passed"
