#!/usr/bin/env bash
# A map whose picture folder is a link to a folder elsewhere, open in one map editor. A second
# editor started on the same map says it is open elsewhere and keeps to a new map. The first moves
# destination 00 down with 下移動 and saves over the map: the link stays a link, the folder it
# names holds the pictures under their new names beside the user's own file, nothing of the save is
# left behind, and the second editor can open the map once the first has closed.
# Usage: atlas_linked_folder.sh (it drives the programs in E2E_PROGRAMS, see lib.sh)
set -u

# shellcheck source-path=SCRIPTDIR source=lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
atlas_binary=$e2e_programs/atlas
e2e_init atlas_linked_folder convert awk

red=255,0,0
blue=0,0,255
e2e_make_program "$atlas_binary"
data="$work/data/trip"
root="$prog/画像と音声/マップ画像"
mkdir -p "$data" "$root" || e2e_fail "cannot make folders"
convert -size 400x225 "xc:rgb($red)" BMP3:"$data/00.bmp" || e2e_fail "cannot make 00.bmp"
convert -size 400x225 "xc:rgb($blue)" BMP3:"$data/01.bmp" || e2e_fail "cannot make 01.bmp"
echo "the user's own" >"$data/memo.txt" || e2e_fail "cannot write memo.txt"
ln -s "$data" "$root/trip" || e2e_fail "cannot link the picture folder"
map="$prog/画像と音声/マップファイル/trip.map"
e2e_write_small_map "$map" '' 0 '"100,100",東京,,00.bmp,,,,' 1 '"200,200",大阪,,01.bmp,,,,'

e2e_start_xvfb
e2e_private_runtime
e2e_start_atlas "$map"
e2e_wait_window '^マップエディタ ～ trip\.map$'
first=$window
echo "atlas_linked_folder: first editor on $DISPLAY"

# The second editor on the same map: a message box of its own, then a new map.
e2e_start_second_atlas second.log "$map"
e2e_wait_second_window '^マップエディタ$'
e2e_screenshot "$work/second-told.png"
e2e_press "$second_window" Return
e2e_wait_second_window '^マップエディタ ～ 新規マップファイル$'
second=$second_window

# 下移動 on the selected destination 00, then 上書き保存. With no window manager the second editor's
# window lies over the first one's until it is raised.
xdotool windowraise "$first" || e2e_fail "cannot raise the first editor's window"
e2e_find_label "$first" "下移動" "main window's button row"
e2e_click "$label_x" "$label_y" "下移動"
e2e_overwrite_map "$first"
e2e_wait_map_lines "$map" 2,3 '"200,200",大阪,,00.bmp,,,,|"100,100",東京,,01.bmp,,,,'

[ -L "$root/trip" ] && [ "$(readlink "$root/trip")" = "$data" ] || e2e_fail "the picture folder is no longer the link to $data"
[ "$(e2e_pixel "$data/00.bmp" 10 10)" = "$blue" ] || e2e_fail "00.bmp in $data is not 大阪's blue picture"
[ "$(e2e_pixel "$data/01.bmp" 10 10)" = "$red" ] || e2e_fail "01.bmp in $data is not 東京's red picture"
[ "$(cat "$data/memo.txt")" = "the user's own" ] || e2e_fail "the user's memo.txt is gone or changed"
leftovers=$(find "$root" "$work/data" -mindepth 1 -maxdepth 1 -name '.*' ! -name '.~lk*' ! -name '.新規マップファイル*' 2>&1)
[ -z "$leftovers" ] || e2e_fail "the save left behind: $leftovers"

# The first editor closes without a question; then the map is the second one's to open.
e2e_press "$first" F4
e2e_wait_exit "F4 after the save"
[ "$atlas_status" = 0 ] || e2e_fail "atlas exited with status $atlas_status"
xdotool windowraise "$second" || e2e_fail "cannot raise the second editor's window"
e2e_menu_item "$second" f o
e2e_dialog_type '^マップファイルを開く$' "$map" "open dialog of the second editor"
e2e_wait_second_window '^マップエディタ ～ trip\.map$'
e2e_press "$second_window" F4
e2e_wait_ended "$second_pid" "the second editor after F4"

passed=1
echo "atlas_linked_folder: passed"
