#!/usr/bin/env bash
# The destination editor's picture undo belongs to one destination of one map: a picture brought
# into destination 03 of a map, then 新規作成 (No to saving); in 03 of the new map 元に戻す brings
# nothing back, OK changes nothing, and Save As writes row 03 without a picture and without any
# message.
# Usage: atlas_picture_undo_new_map.sh (it drives the programs in E2E_PROGRAMS, see lib.sh)
set -u

# shellcheck source-path=SCRIPTDIR source=lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
atlas_binary=$e2e_programs/atlas
e2e_init atlas_picture_undo_new_map convert python3

red=220,0,0
white=255,255,255
# From the editor's 400x225 picture's top-left corner.
import_button=60,243
undo_button=53,275

e2e_make_program "$atlas_binary"
maps="$prog/画像と音声/マップファイル"
mkdir -p "$prog/画像と音声/マップ画像/trip" "$work/photos" || e2e_fail "cannot make folders"
e2e_write_small_map "$maps/trip.map" ''
convert -size 400x225 "xc:rgb($red)" -type TrueColor BMP3:"$work/photos/red.bmp" || e2e_fail "cannot make the picture"

e2e_start_xvfb
e2e_start_atlas "$maps/trip.map"
e2e_wait_window '^マップエディタ ～ trip\.map$'
main=$window
echo "atlas_picture_undo_new_map: trip.map on $DISPLAY"

# open_03 <what>: a click into the selected row 00, three rows down, Return; sets $editor and the
# picture's place $px $py.
open_03() {
    e2e_grid_keys "grid-$1" "$main" Down Down Down Return
    e2e_find_window '^3 番目の旅行地$' "destination editor of 03 without a picture ($1)"
    editor=$found
    e2e_poll_screen "editor-$1" run "$white" 0 400 "$found_x" "$found_y" "$found_w" "$found_h"
    read -r px py <<<"$screen_out"
}

# red_in_picture: how many of the picture area's pixels are red on a fresh screenshot.
red_in_picture() {
    e2e_shot_rgb "$work/picture.png" | python3 "$e2e_dir/pixels.py" count "$e2e_screen_w" "$e2e_screen_h" \
        "$px" "$py" 400 225 "$red" 30
}

open_03 trip
e2e_click $((px + ${import_button%,*})) $((py + ${import_button#*,})) "取り込む"
e2e_dialog_type '^旅行地画像の取り込み$' "$work/photos/red.bmp" "file dialog of 取り込む"
e2e_answer '^マップエディタ$' Return "notice that 03.bmp was saved in the picture folder"
e2e_poll_screen imported count "$px" "$py" 400 225 "$red" 30 80000
e2e_press "$editor" F4
e2e_wait_gone "$editor" "destination editor after F4"
e2e_answer '^マップエディタ$' Return "notice that destination 03 changed"

# 新規作成, and No to saving trip.map.
e2e_menu_item "$main" f n
e2e_answer '^マップエディタ$' alt+n "question to save trip.map before the new map"
e2e_find_window '^マップエディタ ～ 新規マップファイル$' "main window with the new map"
main=$found

open_03 new
e2e_click $((px + ${undo_button%,*})) $((py + ${undo_button#*,})) "元に戻す"
# The file dialog opens only once the click before it has been handled.
e2e_click $((px + ${import_button%,*})) $((py + ${import_button#*,})) "取り込む after 元に戻す"
e2e_find_window '^旅行地画像の取り込み$' "file dialog of 取り込む after 元に戻す"
e2e_press "$found" Escape
e2e_wait_gone "$found" "file dialog after Escape"
e2e_poll_screen after-undo run "$white" 0 400 "$px" "$py" 400 1
[ "$(red_in_picture)" = 0 ] || e2e_fail "元に戻す brought the other map's picture into 03 (screenshot $work/picture.png)"

# OK without a change: no message, so the save dialog is the next window.
e2e_press "$editor" F4
e2e_wait_gone "$editor" "destination editor after F4 in the new map"
e2e_save_map_as "$main" fresh
e2e_find_window '^マップエディタ ～ fresh\.map$' "main window named after the saved map"
line5=$(iconv -f CP932 -t UTF-8 "$maps/fresh.map" | sed -n 5p | tr -d '\r')
[ "$line5" = ",,,,,,," ] || e2e_fail "row 03 of the saved map is \"$line5\", expected an empty row"
[ -z "$(e2e_folder_names "$prog/画像と音声/マップ画像/fresh")" ] ||
    e2e_fail "the new map's folder holds \"$(e2e_folder_names "$prog/画像と音声/マップ画像/fresh")\""

# Saved whole: F4 closes at once (a warning about missing pictures would keep it open).
e2e_press "$main" F4
e2e_wait_exit "F4 after the save"
[ "$atlas_status" = 0 ] || e2e_fail "atlas exited with status $atlas_status"

passed=1
echo "atlas_picture_undo_new_map: passed"
