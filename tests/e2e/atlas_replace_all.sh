#!/usr/bin/env bash
# Replace in all destinations with real keys: destination 00's larger description window opens the
# replace dialog from its search menu, "cat" becomes "d〜g" with the all-destinations box checked
# ("〜" U+301C, as Japanese input methods type it), and the saved map holds the change in every
# destination as code page 932 holds it ("～"), the "\n" escapes intact.
# Usage: atlas_replace_all.sh (it drives the programs in E2E_PROGRAMS, see lib.sh)
set -u

# shellcheck source-path=SCRIPTDIR source=lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
atlas_binary=$e2e_programs/atlas
e2e_init atlas_replace_all awk

map_name=置換試験

e2e_make_program "$atlas_binary"
mkdir -p "$prog/画像と音声/マップ画像/$map_name" || e2e_fail "cannot make folders"
map_path="$prog/画像と音声/マップファイル/$map_name.map"
e2e_write_small_map "$map_path" '' 0 '"100,200",港町,,,,,"cat cat",' 1 '"200,200",a,,,,,"a cat\ncat",' \
    2 '"300,200",b,,,,,cats,'

e2e_start_xvfb
e2e_keymap_add U301C
e2e_start_atlas "$map_path"
e2e_wait_window "^マップエディタ ～ $map_name\\.map\$"
main=$window

e2e_open_description_window start "$main"

e2e_replace_in_all_destinations cat d〜g
e2e_close_description_window

e2e_overwrite_map "$main"
expected='"100,200",港町,,,,,"d～g d～g",|"200,200",a,,,,,"a d～g\nd～g",|"300,200",b,,,,,d～gs,'
e2e_wait_map_lines "$map_path" 2,4 "$expected"

passed=1
echo "atlas_replace_all: passed"
