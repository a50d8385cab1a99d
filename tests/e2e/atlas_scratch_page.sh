#!/usr/bin/env bash
# A scratch page kept across two runs: in the description window a blank page is made from the
# "ちょい置き" menu, typed in and saved with Ctrl+S into the scratch folder; atlas is closed and
# started again, the page is reopened from "開き直す", changed, and atlas's close saves it on Yes.
# Usage: atlas_scratch_page.sh (it drives the programs in E2E_PROGRAMS, see lib.sh)
set -u

# shellcheck source-path=SCRIPTDIR source=lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
atlas_binary=$e2e_programs/atlas
e2e_init atlas_scratch_page

map_name=ちょい置き試験

e2e_make_program "$atlas_binary"
mkdir -p "$prog/画像と音声/マップ画像/$map_name" || e2e_fail "cannot make folders"
map_path="$prog/画像と音声/マップファイル/$map_name.map"
e2e_write_small_map "$map_path" '' 0 '"100,200",港町,,,,,,'
scratch="$prog/画像と音声/マップちょい置き"
history="$prog/設定/マップエディタ/ちょい置き履歴.txt"

# open_description_window: from the main window, destination 00's editor and its larger window;
# sets $editor and $larger.
open_description_window() {
    e2e_wait_window "^マップエディタ ～ $map_name\\.map\$"
    main=$window
    e2e_open_description_window "start$1" "$main"
}

# wait_file <path> <expected UTF-8 text, lines without CR>: waits for the code page 932 file.
wait_file() {
    e2e_until "$1 to hold \"$2\"" file_holds "$@"
}
# file_holds <path> <expected>: one try of wait_file.
file_holds() {
    local text
    text=$(iconv -f CP932 -t UTF-8 "$1" 2>&1 | tr -d '\r')
    e2e_why="it holds \"$text\""
    [ "$text" = "$2" ]
}

e2e_start_xvfb
e2e_start_atlas "$map_path"
open_description_window 1

# "白紙ページ" from the menu (Ctrl+W is the <w> tag's key here); the new page has the focus.
e2e_menu_item "$larger" m w
e2e_find_window '^マップエディタ$' "description window showing the blank page"
e2e_focus "$larger"
xdotool type --delay 20 "scratch note" || e2e_fail "cannot type"
e2e_press "$larger" ctrl+s
e2e_find_window '^ ちょい置き-1 を保存する$' "save dialog"
e2e_screenshot "$work/save-dialog.png"
e2e_press "$found" Return
e2e_wait_gone "$found" "save dialog"
e2e_find_window '^マップエディタ ～ マップちょい置き/[0-9]{6}-[0-9]{6}\.txt$' "description window naming the saved page"
saved_name=$(xdotool getwindowname "$found" | sed 's|.*/||')
wait_file "$scratch/$saved_name" "scratch note"
e2e_screenshot "$work/saved.png"

# F4 in both windows, F4 in the main window: nothing is modified, so no question, and the history
# is written on the way out.
e2e_press "$larger" F4
e2e_wait_gone "$larger" "description window after F4"
e2e_press "$editor" F4
e2e_wait_gone "$editor" "destination editor after F4"
e2e_press "$main" F4
e2e_wait_exit "F4 in the main window"
wait_file "$history" "画像と音声/マップちょい置き/$saved_name"

# The second run: "開き直す" opens the page again with its text, the caret at its start.
e2e_start_atlas "$map_path"
open_description_window 2
e2e_menu_item "$larger" m p
e2e_screenshot "$work/history-menu.png"
xdotool key Return || e2e_fail "cannot pick the history entry"
e2e_find_window "^マップエディタ ～ マップちょい置き/$saved_name\$" "description window showing the reopened page"
e2e_focus "$larger"
xdotool type --delay 20 "more " || e2e_fail "cannot type"
e2e_screenshot "$work/reopened.png"
e2e_press "$larger" F4
e2e_wait_gone "$larger" "description window after F4"
e2e_press "$editor" F4
e2e_wait_gone "$editor" "destination editor after F4"

# Closing atlas asks about the changed page; Yes writes it to its own file.
e2e_press "$main" F4
e2e_answer '^マップエディタ$' Return "question about the changed scratch page"
e2e_wait_exit "Yes to the scratch-page question"
wait_file "$scratch/$saved_name" "more scratch note"

passed=1
echo "atlas_scratch_page: passed"
