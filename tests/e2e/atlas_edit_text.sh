#!/usr/bin/env bash
# The larger description window and the story preview with real keys and clicks: destination 00's
# description is typed in "別フォームで編集", a word is wrapped in a tag with its tool button, F4
# takes it back and OK gives it to the grid (checked in the saved map, which is written from the
# grid); then the preview plays until it offers "もう一回確認する" and Esc closes it.
# The tool button is found by picture (e2e_find_label).
# Usage: atlas_edit_text.sh (it drives the programs in E2E_PROGRAMS, see lib.sh)
set -u

# shellcheck source-path=SCRIPTDIR source=lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
atlas_binary=$e2e_programs/atlas
e2e_init atlas_edit_text awk

map_name=別窓試験

e2e_make_program "$atlas_binary"
mkdir -p "$prog/画像と音声/マップ画像/$map_name" || e2e_fail "cannot make folders"
map_path="$prog/画像と音声/マップファイル/$map_name.map"
e2e_write_small_map "$map_path" '' 0 '"100,200",港町,,,,,,'

e2e_start_xvfb
e2e_start_atlas "$map_path"
e2e_wait_window "^マップエディタ ～ $map_name\\.map\$"
main=$window

# Destination 00 is selected at the start; Return in the grid opens its editor.
e2e_open_description_window start "$main"

# The description has the focus; "world" is selected with Shift+Left and wrapped by the "<r>" button.
e2e_focus "$larger"
xdotool type --delay 20 "hello world" || e2e_fail "cannot type"
for ((i = 0; i < 5; i++)); do
    xdotool key shift+Left || e2e_fail "cannot select"
done
e2e_find_label "$larger" "<r>" "description window's tool bar"
e2e_click "$label_x" "$label_y" "the <r> button"
e2e_screenshot "$work/tagged.png"
e2e_press "$larger" F4
e2e_wait_gone "$larger" "description window after F4"

# OK in the destination editor; the change is reported.
e2e_press "$editor" F4
e2e_wait_gone "$editor" "destination editor after F4"
e2e_answer '^マップエディタ$' Return "notice that destination 00 changed"

# The map file is written from the grid: its line for 00 shows the grid's description cell.
e2e_overwrite_map "$main"
expected='"100,200",港町,,,,,"hello <r>world</r>",'
e2e_wait_map_lines "$map_path" 2,2 "$expected"

# The story preview from the destination editor: the scene plays, then offers the replay.
e2e_find_window "^マップエディタ ～ $map_name\\.map\$" "main window after the save"
e2e_press "$main" Return
e2e_find_window '^0 番目の旅行地' "destination editor of 00, again"
editor=$found
e2e_click $((found_x + 228)) $((found_y + found_h - 25)) "ストーリー動作確認"
e2e_find_window '^ぐるりみつけ隊　ストーリー' "story preview"
preview=$found
# The action button's label turns from grey (disabled) to black once the scene has played: about
# six seconds.
e2e_poll_screen replay count $((found_x + 40)) $((found_y + 419)) 160 20 0,0,0 60 40
e2e_screenshot "$work/preview.png"
e2e_press "$preview" Escape
e2e_wait_gone "$preview" "story preview after Esc"
e2e_find_window '^0 番目の旅行地' "destination editor after the preview"

passed=1
echo "atlas_edit_text: passed"
