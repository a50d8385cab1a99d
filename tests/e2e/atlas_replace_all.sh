#!/usr/bin/env bash
# Replace in all destinations with real keys: destination 00's larger description window opens the
# replace dialog from its search menu, "cat" becomes "dog" with the all-destinations box checked,
# and the saved map holds the change in every destination, the "\n" escapes intact.
# Usage: atlas_replace_all.sh (it drives the programs in E2E_PROGRAMS, see lib.sh)
set -u

# shellcheck source-path=SCRIPTDIR source=lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
atlas_binary=$e2e_programs/atlas
e2e_init atlas_replace_all awk

map_name=置換試験
highlight=48,140,198 # the grid's selected row

e2e_make_program "$atlas_binary"
mkdir -p "$prog/画像と音声/マップ画像/$map_name" || e2e_fail "cannot make folders"
map_path="$prog/画像と音声/マップファイル/$map_name.map"
e2e_write_small_map "$map_path" '' 0 '"100,200",港町,,,,,"cat cat",' 1 '"200,200",a,,,,,"a cat\ncat",' \
    2 '"300,200",b,,,,,cats,'

e2e_start_xvfb
e2e_start_atlas "$map_path"
e2e_wait_window "^マップエディタ ～ $map_name\\.map\$"
main=$window

e2e_poll_screen start 20 run "$highlight" 0 150+
read -r x y <<<"$screen_out"
e2e_click $((x + 50)) $((y + 8)) "row 00 of the grid"
e2e_press "$main" Return
e2e_find_window '^0 番目の旅行地' "destination editor of 00"
editor=$found
e2e_click $((found_x + 78)) $((found_y + found_h - 25)) "別フォームで編集"
e2e_find_window '^「説明文」の編集$' "description window"
larger=$found

e2e_menu_item "$larger" s r
e2e_find_window '編集中の説明文 の置換$' "replace dialog"
dialog=$found
e2e_focus "$dialog"
xdotool key alt+n && xdotool type --delay 20 cat && xdotool key alt+p && xdotool type --delay 20 dog ||
    e2e_fail "cannot type into the replace dialog"
# The relabelled box, unchecked in fresh settings: "すべての旅行地で同じ置換を行う(&W)".
xdotool key alt+w alt+a || e2e_fail "cannot press the replace-all keys"
e2e_answer '^マップエディタ$' Return "the count of replacements"
e2e_press "$dialog" Escape
e2e_wait_gone "$dialog" "replace dialog after Esc"
e2e_press "$larger" F4
e2e_wait_gone "$larger" "description window after F4"
e2e_press "$editor" F4
e2e_wait_gone "$editor" "destination editor after F4"
e2e_answer '^マップエディタ$' Return "notice that destination 00 changed"

e2e_menu_item "$main" f s
e2e_answer '^マップエディタ$' Return "question before overwriting the map"
expected='"100,200",港町,,,,,"dog dog",|"200,200",a,,,,,"a dog\ndog",|"300,200",b,,,,,dogs,'
for ((t = 0; t < 200; t++)); do
    lines=$(iconv -f CP932 -t UTF-8 "$map_path" | sed -n 2,4p | tr -d '\r' | paste -sd '|')
    [ "$lines" = "$expected" ] && break
    sleep 0.1
done
[ "$lines" = "$expected" ] || e2e_fail "destinations 00 to 02 are saved as \"$lines\", expected \"$expected\""

passed=1
echo "atlas_replace_all: passed"
