#!/usr/bin/env bash
# A treasure picture brought in with real clicks and keys on a bare X server: the treasure form is
# opened from the edit menu, a 300 x 300 picture made here goes into the first rare slot through
# the file dialog, the form is closed and the map saved under a new name; the map file must list
# "r01.jpg" and its picture folder hold those bytes.
# Usage: atlas_treasure.sh (it drives the programs in E2E_PROGRAMS, see lib.sh)
set -u

# shellcheck source-path=SCRIPTDIR source=lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
atlas_binary=$e2e_programs/atlas
e2e_init atlas_treasure convert cmp

map_name=宝の地図
saved_name=withtreasure
# From the treasure form's top-left corner.
r01_row=35,78
load_button=370,506
close_button=812,537

e2e_make_program "$atlas_binary"
mkdir -p "$prog/画像と音声/マップ画像/$map_name" "$work/photos" || e2e_fail "cannot make folders"
map_path="$prog/画像と音声/マップファイル/$map_name.map"
e2e_write_small_map "$map_path" '' 0 '"100,200",港町,,,,,,'
photo="$work/photos/treasure.jpg"
convert -size 300x300 xc:orange -fill navy -draw 'circle 150,150 150,60' -quality 92 "$photo" ||
    e2e_fail "cannot make the picture"

e2e_start_xvfb
e2e_start_atlas "$map_path"
e2e_wait_window "^マップエディタ ～ $map_name\\.map\$"
main=$window

e2e_menu_item "$main" e t
e2e_find_window '^宝物画像の取り込み$' "the treasure form"
form=$found fx=$found_x fy=$found_y
e2e_click $((fx + ${r01_row%,*})) $((fy + ${r01_row#*,})) "row r01"
e2e_click $((fx + ${load_button%,*})) $((fy + ${load_button#*,})) "取り込む"
# The file dialog bears the form's caption: it is the other window of that name.
e2e_dialog_type '^宝物画像の取り込み$' "$photo" "file dialog of 取り込む" "$form"
e2e_answer '^マップエディタ$' Return "notice that r01.jpg was saved in the picture folder"

e2e_click $((fx + ${close_button%,*})) $((fy + ${close_button#*,})) "閉じる"
e2e_wait_gone "$form" "the treasure form after 閉じる"

saved="$prog/画像と音声/マップファイル/$saved_name.map"
# A plain name, in the map folder the dialog shows (xdotool types Japanese unreliably).
e2e_save_map_as "$main" "$saved_name"
e2e_until "a map saved at $saved" test -s "$saved"

# Lines 64 and 65 are t01 and t02 (empty), line 66 the first rare treasure.
line66=$(iconv -f CP932 -t UTF-8 "$saved" | tr -d '\r' | sed -n 66p)
[ "$line66" = r01.jpg ] || e2e_fail "line 66 of the map file is \"$line66\", expected r01.jpg"
cmp -s "$photo" "$prog/画像と音声/マップ画像/$saved_name/r01.jpg" ||
    e2e_fail "the picture folder holds no r01.jpg with the picture's bytes"

e2e_focus "$main"
e2e_press "$main" F4
e2e_wait_exit "F4 after saving"
[ "$atlas_status" = 0 ] || e2e_fail "atlas exited with status $atlas_status"

passed=1
echo "atlas_treasure: passed"
