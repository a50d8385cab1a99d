#!/usr/bin/env bash
# Imports a photograph as a destination picture of a new map through the real dialogs on a bare X
# server: the 1024x768 photo goes through the size-correction form to 400x225, shows in the
# destination editor, and after Save As lies in the saved map's picture folder as 05.jpg, which
# the map file names. Ends with F4 on the saved map, which must close without a question.
# Usage: atlas_import.sh (it drives the programs in E2E_PROGRAMS, see lib.sh)
set -u

# shellcheck source-path=SCRIPTDIR source=lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
atlas_binary=$e2e_programs/atlas
e2e_init atlas_import convert identify python3 cmp awk

new_map=新規マップファイル
map_name=import_test
# The photo's corners (top left, top right, bottom left, bottom right): red to blue from top to
# bottom, green growing from left to right, so that a picture shows whether all of the photo went
# in, stretched into 400x225, and which way round.
corners=("255,0,0" "255,255,0" "0,0,255" "0,255,255")
# Stretching and two JPEG savings move a channel by a few steps; a cut of only part of the photo
# (the 横 or 縦 fit, or none) misses an edge by 60 or more.
tolerance=40
frame=0,0,0          # the size-correction form's cut frame
# The size-correction form's buttons from its top-left corner (OK from its right edge), as laid out
# with the project's fonts; each click is checked by what it changes.
fit_button=478,62 # 密着
cut_button=45,103 # 切り出す
ok_button_from_right=132,103
# The caption of 戻す turns from grey to black once a cut is in effect (x,y,width,height).
undo_caption=95,96,74,16
# The editor's import button lies under the 400x225 picture, from the picture's top-left corner.
import_button=60,243

e2e_make_program "$atlas_binary"
mkdir -p "$work/photos" || e2e_fail "cannot make folders"
photo="$work/photos/photo.jpg"
convert -size 1024x768 gradient:red-blue \( -size 768x1024 gradient:black-lime -rotate -90 \) \
    -compose plus -composite -quality 92 "$photo" || e2e_fail "cannot make the photo"
map_path="$prog/画像と音声/マップファイル/$map_name.map"
saved_pictures="$prog/画像と音声/マップ画像/$map_name"

e2e_start_xvfb
# No map argument: atlas starts with a new, unsaved map.
# shellcheck disable=SC2119
e2e_start_atlas
e2e_wait_window "^マップエディタ ～ $new_map\$"
main=$window
echo "atlas_import: new map on $DISPLAY"

# The new map starts on destination 00: a click into its row gives the grid the keyboard, and five
# rows down is 05. The grid lines cut the selected row into one run per column; the first run this
# wide is a title column.
e2e_grid_keys start "$main" Down Down Down Down Down Return
e2e_find_window '^5 番目の旅行地$' "destination editor of 05 without a picture"
editor=$found
# The picture area is the only white run exactly 400 wide in the editor: the placeholder's top row.
e2e_poll_screen editor-empty run 255,255,255 0 400 "$found_x" "$found_y" "$found_w" "$found_h"
read -r px py <<<"$screen_out"
picture_in_editor=$((px - found_x)),$((py - found_y))

e2e_click $((px + ${import_button%,*})) $((py + ${import_button#*,})) "取り込む"
# The name box has the keyboard when the dialog opens; a full path there opens that file.
e2e_dialog_type '^旅行地画像の取り込み$' "$photo" "file dialog of 取り込む"

# The photo is 1024x768: a warning, then the size-correction form with the photo.
e2e_answer '^マップエディタ$' Return "warning that the photo is not 400 x 225"
e2e_find_window '^画像サイズの修正 ～ .*photo\.jpg$' "size-correction form with the photo"
kiridasi=$found
kx=$found_x ky=$found_y kw=$found_w kh=$found_h
e2e_poll_screen kiridasi run "$frame" 0 400 "$kx" "$ky" "$kw" "$kh"
read -r fx fy <<<"$screen_out"

# 密着 stretches the whole photo into the frame, under its 4 pixel line.
e2e_click $((kx + ${fit_button%,*})) $((ky + ${fit_button#*,})) "密着"
e2e_poll_screen fitted corners "$fx" "$fy" 400 225 "${corners[@]}" "$tolerance" 4
e2e_click $((kx + ${cut_button%,*})) $((ky + ${cut_button#*,})) "切り出す"
IFS=, read -r ux uy uw uh <<<"$undo_caption"
e2e_poll_screen cut count $((kx + ux)) $((ky + uy)) "$uw" "$uh" 0,0,0 80 20
e2e_click $((kx + kw - ${ok_button_from_right%,*})) $((ky + ${ok_button_from_right#*,})) "OK"
e2e_wait_gone "$kiridasi" "size-correction form after OK"

e2e_answer '^マップエディタ$' Return "notice that 05.jpg was saved in the picture folder"
e2e_find_window '^5 番目の旅行地　（旅行地画像 "05\.jpg"）$' "destination editor naming 05.jpg"
# The corrected picture fills the picture area exactly.
e2e_poll_screen editor-picture corners "$px" "$py" 400 225 "${corners[@]}" "$tolerance"
working="$prog/画像と音声/マップ画像/$new_map/05.jpg"
size=$(identify -format '%m %wx%h' "$working") || e2e_fail "no picture at $working"
[ "$size" = "JPEG 400x225" ] || e2e_fail "$working is $size, expected JPEG 400x225"

e2e_press "$editor" F4
e2e_wait_gone "$editor" "destination editor after F4"
e2e_answer '^マップエディタ$' Return "notice that destination 05 changed"

# Save As from the menu bar: Alt+F opens the file menu, A is 名前を付けて保存(&A).
e2e_save_map_as "$main" "$map_name"
e2e_find_window "^マップエディタ ～ $map_name\\.map\$" "main window named after the saved map"

# On disk: the map names 05.jpg for destination 05 (line 7), and the picture folder that moved
# with the map holds it, corrected.
[ -f "$map_path" ] || e2e_fail "no map file at $map_path"
map_text=$(iconv -f CP932 -t UTF-8 "$map_path") || e2e_fail "the map file is not code page 932 text"
lines=$(wc -l <"$map_path")
crlf=$(grep -c $'\r$' "$map_path")
if [ "$lines" != 65 ] || [ "$crlf" != 65 ]; then
    e2e_fail "the map file has $lines lines, $crlf of them ending in CR LF; expected 65 and 65"
fi
line7=$(sed -n 7p <<<"$map_text" | tr -d '\r')
picture_item=$(awk -F, '{ print $4 }' <<<"$line7")
[ "$picture_item" = 05.jpg ] || e2e_fail "line 7 of the map file is \"$line7\"; its fourth item should be 05.jpg"
listing=$(ls -A "$saved_pictures" 2>&1)
[ "$listing" = 05.jpg ] || e2e_fail "the picture folder $saved_pictures holds \"${listing//$'\n'/ }\", expected 05.jpg alone"
size=$(identify -format '%m %wx%h' "$saved_pictures/05.jpg") || e2e_fail "05.jpg is not a picture"
[ "$size" = "JPEG 400x225" ] || e2e_fail "05.jpg is $size, expected JPEG 400x225"
file_check=$(convert "$saved_pictures/05.jpg" -depth 8 rgb:- |
    python3 "$e2e_dir/pixels.py" corners 400 225 0 0 400 225 "${corners[@]}" "$tolerance") ||
    e2e_fail "05.jpg is not the whole photo: $file_check"
cp "$map_path" "$work/saved.map" || e2e_fail "cannot keep a copy of the map file"

# Opened again, the editor shows the picture from the saved map's folder; Esc closes it unchanged.
e2e_grid_keys saved "$main" Return
e2e_find_window '^5 番目の旅行地　（旅行地画像 "05\.jpg"）$' "destination editor of the saved map"
editor=$found
px=$((found_x + ${picture_in_editor%,*})) py=$((found_y + ${picture_in_editor#*,}))
e2e_poll_screen editor-saved corners "$px" "$py" 400 225 "${corners[@]}" "$tolerance"
e2e_press "$editor" Escape
e2e_wait_gone "$editor" "destination editor after Esc (a question?)"

# Saved, so F4 closes without a question and leaves the map as saved.
e2e_press "$main" F4
e2e_wait_exit "F4 on the saved map (a question to save?)"
[ "$atlas_status" = 0 ] || e2e_fail "atlas exited with status $atlas_status"
cmp -s "$map_path" "$work/saved.map" || e2e_fail "the map file changed after the save"

passed=1
echo "atlas_import: passed"
