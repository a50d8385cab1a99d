#!/usr/bin/env bash
# Edits a destination's description with real keys on a bare X server: types two Japanese lines,
# deletes a word, undoes twice and redoes once with the editor's keys, pastes another program's X
# selection with the middle button, presses OK, saves the map and checks that the destination's
# description is exactly the text that was shown.
# Usage: atlas_description_undo.sh (it drives the programs in E2E_PROGRAMS, see lib.sh)
set -u

# shellcheck source-path=SCRIPTDIR source=lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
atlas_binary=$e2e_programs/atlas
e2e_init atlas_description_undo xkbcomp awk

map_name=説明文試験
first_line=港町です
second_line=古い町並み
word=町並み
# The only white area at least this wide in the destination editor is its description box.
memo_width=450

selection_is() {
    [ "$(xclip -selection primary -o 2>/dev/null)" = "$1" ]
}

e2e_make_program "$atlas_binary"
mkdir -p "$prog/画像と音声/マップ画像/$map_name" || e2e_fail "cannot make folders"
map_path="$prog/画像と音声/マップファイル/$map_name.map"
e2e_write_small_map "$map_path" '' 0 '"100,200",港町,,,,,,'

e2e_start_xvfb
e2e_bind_characters "$first_line$second_line"
e2e_start_atlas "$map_path"
e2e_wait_window "^マップエディタ ～ $map_name\\.map\$"
main=$window

# Destination 00 is selected at the start; Return in the grid opens its editor.
e2e_grid_keys start "$main" Return
e2e_find_window '^0 番目の旅行地' "destination editor of 00"
editor=$found
e2e_poll_screen editor run 255,255,255 0 "$memo_width+" "$found_x" "$found_y" "$found_w" "$found_h"
read -r mx my <<<"$screen_out"
e2e_click $((mx + 40)) $((my + 20)) "the description box"

# Typing is one step, the line break another, the second line a third, deleting its last word a
# fourth. Undo twice goes back to the first line and its line break; redo brings the second line
# back whole.
e2e_focus "$editor"
xdotool type --delay 20 "$first_line" || e2e_fail "cannot type the first line"
xdotool key Return || e2e_fail "cannot press Return"
xdotool type --delay 20 "$second_line" || e2e_fail "cannot type the second line"
for ((i = 0; i < ${#word}; i++)); do
    xdotool key BackSpace || e2e_fail "cannot press BackSpace"
done
xdotool key ctrl+z ctrl+z shift+ctrl+z || e2e_fail "cannot press the undo keys"

# The middle button pastes the X selection where it is pressed, the end of the first line, taken in
# as every road takes text: a TAB as a blank, "〜" as the "～" the map file holds, a no-break space
# as a blank.
selection=$'a\tb\u301c\u00a0c'
printf '%s' "$selection" | xclip -quiet -selection primary -i >/dev/null 2>&1 &
e2e_own_pids+=("$!")
e2e_until "the X selection to offer the pasted text" selection_is "$selection"
xdotool mousemove $((mx + memo_width - 20)) $((my + 14)) click 2 || e2e_fail "cannot press the middle button"
e2e_screenshot "$work/edited.png"

# OK is F4; the change is reported.
e2e_press "$editor" F4
e2e_wait_gone "$editor" "destination editor after F4"
e2e_answer '^マップエディタ$' Return "notice that destination 00 changed"

# 上書き保存 asks first; the saved file holds what the grid holds.
e2e_overwrite_map "$main"
e2e_find_window "^マップエディタ ～ $map_name\\.map\$" "main window after the save"
# An item with blanks is quoted.
expected="\"100,200\",港町,,,,,\"${first_line}a b～ c\\n${second_line}\","
e2e_wait_map_lines "$map_path" 2,2 "$expected"

passed=1
echo "atlas_description_undo: passed"
