#!/usr/bin/env bash
# Keys go to the page they are typed in: a blank scratch page dragged out of the description window
# by its tab floats wholly on the screen; Escape and Ctrl+R there leave the window and the
# description alone (Ctrl+R is the page's replace command); Ctrl+V and Ctrl+Z with the caret back in
# the description act on it, and Ctrl+R there replaces from the first press, with no menu opened,
# instead of putting in a tag. Checked in the saved map and in the page's file written at atlas's
# close.
# Usage: atlas_floating_page_keys.sh (it drives the programs in E2E_PROGRAMS, see lib.sh)
set -u

# shellcheck source-path=SCRIPTDIR source=lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
atlas_binary=$e2e_programs/atlas
e2e_init atlas_floating_page_keys awk

map_name=浮動試験
highlight=48,140,198 # the grid's selected row and the active tab

e2e_make_program "$atlas_binary"
mkdir -p "$prog/画像と音声/マップ画像/$map_name" || e2e_fail "cannot make folders"
map_path="$prog/画像と音声/マップファイル/$map_name.map"
e2e_write_small_map "$map_path" '' 0 '"100,200",港町,,,,,cat,'
scratch="$prog/画像と音声/マップちょい置き"

e2e_start_xvfb
e2e_start_atlas "$map_path"
e2e_wait_window "^マップエディタ ～ $map_name\\.map\$"
main=$window
e2e_open_description_window start "$main"
lx=$found_x ly=$found_y lw=$found_w

e2e_press "$larger" ctrl+w
xdotool type --delay 20 abc || e2e_fail "cannot type into the blank page"
# The new page's tab is the active one, drawn in the highlight colour in the window's tab row.
e2e_poll_screen tab run "$highlight" 0 40+ "$lx" "$ly" "$lw" 120
read -r tx ty <<<"$screen_out"
tx=$((tx + 20)) ty=$((ty + 5))
# Carried to the display's bottom-right corner, far past the window.
xdotool mousemove "$tx" "$ty" mousedown 1 || e2e_fail "cannot press on the tab"
for ((i = 1; i <= 8; i++)); do
    xdotool mousemove $((tx + (1270 - tx) * i / 8)) $((ty + (1015 - ty) * i / 8)) || e2e_fail "cannot drag the tab"
done
xdotool mouseup 1 || e2e_fail "cannot drop the tab"
e2e_find_window '^ ちょい置き-1 $' "the floating page"
page=$found
((found_x >= 0 && found_y >= 0 && found_x + found_w <= e2e_screen_w && found_y + found_h <= e2e_screen_h)) ||
    e2e_fail "the floating page lies at ${found_w}x$found_h+$found_x+$found_y, not wholly on the display"
e2e_screenshot "$work/floating.png"

# The window's own keys are not the floating page's: Ctrl+R is the replace item of the page's menu.
e2e_press "$page" Escape ctrl+r
e2e_answer '^ ちょい置き-1 の置換$' Escape "the page's replace dialog"
e2e_press "$page" ctrl+a ctrl+c

# A click into the description: the caret is there, and so are the editing keys.
e2e_click $((lx + 100)) $((ly + 150)) "the description"
e2e_press "$larger" ctrl+End ctrl+v ctrl+z ctrl+v ctrl+r
e2e_answer '^ 編集中の説明文 の置換$' Escape "the description's replace dialog"
e2e_screenshot "$work/description.png"
e2e_close_description_window
e2e_overwrite_map "$main"
expected='"100,200",港町,,,,,catabc,'
e2e_wait_map_lines "$map_path" 2,2 "$expected"

e2e_press "$main" F4
e2e_answer '^マップエディタ$' Return "question about the changed scratch page"
e2e_wait_exit "Yes to the scratch-page question"
names=$(e2e_folder_names "$scratch")
if [ -z "$names" ] || [ "${names// /}" != "$names" ]; then
    e2e_fail "the scratch folder holds \"$names\", expected one file"
fi
text=$(iconv -f CP932 -t UTF-8 "$scratch/$names" | tr -d '\r')
[ "$text" = abc ] || e2e_fail "the floating page was saved as \"$text\", expected abc"

passed=1
echo "atlas_floating_page_keys: passed"
