#!/usr/bin/env bash
# Replace all of a hiragana with real keys: destination 00's larger description window replaces "か"
# by "が" in every destination; katakana of either width, being other letters, stay, and the saved
# map shows the page and the other destinations changed alike.
# Usage: atlas_replace_kana.sh (it drives the programs in E2E_PROGRAMS, see lib.sh)
set -u

# shellcheck source-path=SCRIPTDIR source=lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
atlas_binary=$e2e_programs/atlas
e2e_init atlas_replace_kana xkbcomp

map_name=かな置換試験

e2e_make_program "$atlas_binary"
mkdir -p "$prog/画像と音声/マップ画像/$map_name" || e2e_fail "cannot make folders"
map_path="$prog/画像と音声/マップファイル/$map_name.map"
e2e_write_small_map "$map_path" '' 0 '"100,200",港町,,,,,"cat cat かばん カメラ ｶﾒﾗ",' \
    1 '"200,200",a,,,,,かカｶ\nかｶﾞ,'

e2e_start_xvfb
e2e_bind_characters かが
e2e_start_atlas "$map_path"
e2e_wait_window "^マップエディタ ～ $map_name\\.map\$"
main=$window

e2e_open_description_window start "$main"

e2e_replace_in_all_destinations か が
e2e_close_description_window

e2e_overwrite_map "$main"
expected='"100,200",港町,,,,,"cat cat がばん カメラ ｶﾒﾗ",|"200,200",a,,,,,がカｶ\nがｶﾞ,'
e2e_wait_map_lines "$map_path" 2,3 "$expected"

passed=1
echo "atlas_replace_kana: passed"
