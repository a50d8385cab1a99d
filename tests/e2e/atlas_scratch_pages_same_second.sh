#!/usr/bin/env bash
# Two blank scratch pages made within one second with Ctrl+W, each typed in; atlas is closed with
# Yes to its scratch-page question, and each page is in a file of its own.
# Usage: atlas_scratch_pages_same_second.sh (it drives the programs in E2E_PROGRAMS, see lib.sh)
set -u

# shellcheck source-path=SCRIPTDIR source=lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
atlas_binary=$e2e_programs/atlas
e2e_init atlas_scratch_pages_same_second

map_name=白紙試験

e2e_make_program "$atlas_binary"
mkdir -p "$prog/画像と音声/マップ画像/$map_name" || e2e_fail "cannot make folders"
map_path="$prog/画像と音声/マップファイル/$map_name.map"
e2e_write_small_map "$map_path" '' 0 '"100,200",港町,,,,,,'
scratch="$prog/画像と音声/マップちょい置き"

e2e_start_xvfb
e2e_start_atlas "$map_path"
e2e_wait_window "^マップエディタ ～ $map_name\\.map\$"
main=$window
e2e_open_description_window start "$main"

# Both pages right after a second begins, so that they are made in the same second; each new page
# takes the focus, so the text after each Ctrl+W goes into it.
e2e_focus "$larger"
while ((10#${EPOCHREALTIME#*.} > 200000)); do sleep 0.01; done
{ xdotool key ctrl+w && xdotool type --delay 10 one && xdotool key ctrl+w && xdotool type --delay 10 two; } ||
    e2e_fail "cannot make and type the pages"
e2e_find_window '^マップエディタ$' "description window showing a blank page"
e2e_screenshot "$work/pages.png"

e2e_press "$larger" F4
e2e_wait_gone "$larger" "description window after F4"
e2e_press "$editor" F4
e2e_wait_gone "$editor" "destination editor after F4"
e2e_press "$main" F4
e2e_answer '^マップエディタ$' Return "question about the two changed scratch pages"
e2e_wait_exit "Yes to the scratch-page question"

names=$(e2e_folder_names "$scratch")
read -r -a files <<<"$names"
((${#files[@]} == 2)) || e2e_fail "the scratch folder holds \"$names\", expected two pages' files"
texts=$(for f in "${files[@]}"; do iconv -f CP932 -t UTF-8 "$scratch/$f" | tr -d '\r'; done | sort | paste -sd '|')
[ "$texts" = "one|two" ] || e2e_fail "the files $names hold \"$texts\", expected one and two"
echo "atlas_scratch_pages_same_second: files $names"

passed=1
echo "atlas_scratch_pages_same_second: passed"
