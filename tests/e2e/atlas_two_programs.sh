#!/usr/bin/env bash
# Two map editors from one program folder: the first imports a map picture into its new, unsaved
# map; a second one started and closed meanwhile keeps its own unsaved folder and leaves the
# first one's picture alone; Save As in the first then names the picture on line 1 and takes it
# into the saved map's folder.
# Usage: atlas_two_programs.sh (it drives the programs in E2E_PROGRAMS, see lib.sh)
set -u

# shellcheck source-path=SCRIPTDIR source=lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
atlas_binary=$e2e_programs/atlas
e2e_init atlas_two_programs convert cmp

e2e_make_program "$atlas_binary"
pictures="$prog/画像と音声/マップ画像"
mkdir -p "$work/photos" || e2e_fail "cannot make folders"
photo="$work/photos/world.bmp"
convert -size 960x435 xc:'rgb(30,120,200)' -fill 'rgb(40,160,60)' -draw 'rectangle 100,100 500,300' \
    -type TrueColor BMP3:"$photo" || e2e_fail "cannot make the map picture"

e2e_start_xvfb
# shellcheck disable=SC2119
e2e_start_atlas
e2e_wait_window '^マップエディタ ～ 新規マップファイル$'
first=$window
echo "atlas_two_programs: first editor on $DISPLAY"

# 編集 → 地図画像を取り込む, the picture's path typed into the dialog.
e2e_menu_item "$first" e c
e2e_dialog_type '^地図画像の取り込み$' "$photo" "file dialog of 地図画像を取り込む"
e2e_answer '^マップエディタ$' Return "notice that map.bmp was saved in the picture folder"
e2e_find_window '^マップエディタ　（地図画像 "map\.bmp"）$' "first editor naming map.bmp"
cmp -s "$photo" "$pictures/新規マップファイル/map.bmp" || e2e_fail "the unsaved map's folder holds no map.bmp"

# A second editor from the same folder: its own new map, its own folder.
e2e_start_second_atlas second.log
e2e_wait_second_window '^マップエディタ ～ 新規マップファイル$'
# second_folder: whether the second editor has its own unsaved folder; once it has, its start-up
# has come past the folders.
second_folder() {
    e2e_why="the picture folder holds $(e2e_folder_names "$pictures")"
    [ -d "$pictures/新規マップファイル_2" ]
}
e2e_until "a folder of the second editor's own" second_folder
cmp -s "$photo" "$pictures/新規マップファイル/map.bmp" ||
    e2e_fail "the second editor's start-up touched the first one's unsaved picture"

e2e_press "$second_window" F4
e2e_wait_ended "$second_pid" "the second editor after F4"
cmp -s "$photo" "$pictures/新規マップファイル/map.bmp" || e2e_fail "closing the second editor touched the first one's picture"

# Save As in the first: line 1 names the map picture, and the saved map's folder holds it.
e2e_save_map_as "$first" first
e2e_find_window '^マップエディタ ～ first\.map　（地図画像 "map\.bmp"）$' "first editor named after the saved map"
map_path="$prog/画像と音声/マップファイル/first.map"
line1=$(iconv -f CP932 -t UTF-8 "$map_path" | head -n 1 | tr -d '\r')
[ "$(cut -d, -f4 <<<"$line1")" = map.bmp ] || e2e_fail "line 1 of the saved map is \"$line1\", without map.bmp"
cmp -s "$photo" "$pictures/first/map.bmp" || e2e_fail "the saved map's folder holds no map.bmp with the picture's bytes"

# Saved without a missing picture: F4 closes at once.
e2e_press "$first" F4
e2e_wait_exit "F4 after the save (a message in the way?)"
[ "$atlas_status" = 0 ] || e2e_fail "atlas exited with status $atlas_status"

passed=1
echo "atlas_two_programs: passed"
