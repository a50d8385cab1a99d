#!/usr/bin/env bash
# Qt's own texts read in Japanese on the real program: the question boxes' buttons and the open
# dialog's, reached with real key presses and checked on screenshots.
# A label is looked for by picture, not by reading text: find_button_text, started on the same X
# server, draws the expected words in the font, size and colours a button of this display uses and
# finds the place in the dialog's screenshot where that picture correlates best. A real label
# scores about 0.98 or more; English labels and other words score below 0.6, so 0.9 is the bar.
# Usage: atlas_japanese_buttons.sh (it drives the programs in E2E_PROGRAMS, see lib.sh)
set -u

# shellcheck source-path=SCRIPTDIR source=lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
atlas_binary=$e2e_programs/atlas
finder=$e2e_programs/find_button_text
e2e_init atlas_japanese_buttons
[ -x "$finder" ] || e2e_fail "no find_button_text at $finder"

map_name=ボタン試験
e2e_make_program "$atlas_binary"
mkdir -p "$prog/画像と音声/マップ画像/$map_name" || e2e_fail "cannot make folders"
map_path="$prog/画像と音声/マップファイル/$map_name.map"
e2e_write_small_map "$map_path" '' 0 '"100,200",テスト,,,,,,'

# expect_label <window> <words> <what>: waits for the words, drawn as a button draws them, to show
# in the lower half of the window (where the buttons are, below the message).
label_count=0
expect_label() {
    label_count=$((label_count + 1))
    e2e_until "\"$2\" in the $3" label_shown "$@"
}
# label_shown <window> <words> <what>: one try of expect_label.
label_shown() {
    local window=$1 words=$2 what=$3 shot="$work/label$label_count.png" out score x y height
    import -window "$window" "$shot" 2>>"$work/import.log" &&
        height=$(identify -format '%h' "$shot" 2>>"$work/import.log") &&
        out=$(QT_QPA_PLATFORM=xcb "$finder" "$shot" "$words" "$work/label$label_count-words.png" 2>>"$work/finder.log") ||
        return 1
    e2e_why="best: ${out:-none}; screenshot $shot"
    read -r score x y <<<"$out"
    awk -v s="$score" 'BEGIN { exit !(s >= 0.9) }' && ((y * 2 >= height)) || return 1
    echo "atlas_japanese_buttons: \"$words\" in the $what at $x,$y (score $score)"
}

e2e_start_xvfb
e2e_start_atlas "$map_path"
e2e_wait_window "マップエディタ ～"
main=$window

# The open dialog from the file menu (Alt+F, then O once the menu is up): its accept button.
e2e_menu_item "$main" f o
e2e_find_window '^マップファイルを開く$' "open dialog"
expect_label "$found" 開く "open dialog"
e2e_answer '^マップファイルを開く$' Escape "open dialog"

# A changed destination (Ctrl+R puts a tag into the description wherever the focus is), then Esc:
# the Yes/No question to discard. No keeps the editor open.
e2e_press "$main" Return
e2e_find_window '^0 番目の旅行地' "destination editor"
editor=$found
e2e_press "$editor" ctrl+r
e2e_press "$editor" Escape
e2e_find_window '^マップエディタ$' "question to discard the changes"
expect_label "$found" はい "question to discard the changes"
expect_label "$found" いいえ "question to discard the changes"
e2e_answer '^マップエディタ$' alt+n "question to discard the changes"

# OK takes the change; after the notice, F4 asks Yes/No/Cancel about saving the changed map.
e2e_press "$editor" F4
e2e_wait_gone "$editor" "destination editor after F4"
e2e_answer '^マップエディタ$' Return "notice that destination 00 changed"
e2e_press "$main" F4
e2e_find_window '^マップエディタ$' "question to save the changed map"
for words in はい いいえ キャンセル; do
    expect_label "$found" "$words" "question to save the changed map"
done
e2e_answer '^マップエディタ$' alt+n "question to save the changed map"
e2e_wait_exit "No to the question to save"
[ "$atlas_status" = 0 ] || e2e_fail "atlas exited with status $atlas_status"

passed=1
echo "atlas_japanese_buttons: passed"
