#!/usr/bin/env bash
# Save As a name whose picture folder belongs to another map: the map folder holds alias.map with
# its pictures in alias/; another map is saved as alias.map in a folder of its own. atlas asks
# first, naming alias.map, with No as the answer Return gives: No leaves alias/ and everything else
# as it was; Yes then saves into it.
# Usage: atlas_save_as_other_folder.sh (it drives the programs in E2E_PROGRAMS, see lib.sh)
set -u

# shellcheck source-path=SCRIPTDIR source=lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
atlas_binary=$e2e_programs/atlas
e2e_init atlas_save_as_other_folder convert cmp

e2e_make_program "$atlas_binary"
maps="$prog/画像と音声/マップファイル"
pictures="$prog/画像と音声/マップ画像"
mkdir -p "$pictures/alias" "$pictures/trip" "$work/some/other/folder" || e2e_fail "cannot make folders"
convert -size 400x225 xc:'rgb(0,200,0)' -type TrueColor BMP3:"$pictures/alias/00.bmp" || e2e_fail "cannot make 00.bmp"
e2e_write_small_map "$maps/alias.map" '' 0 '"10,10",別名,,00.bmp,,,,'
convert -size 400x225 xc:'rgb(220,0,0)' -type TrueColor BMP3:"$pictures/trip/05.bmp" || e2e_fail "cannot make 05.bmp"
e2e_write_small_map "$maps/trip.map" '' 5 '"50,50",旅,,05.bmp,,,,'
cp -r "$pictures/alias" "$work/alias.orig" || e2e_fail "cannot keep a copy of alias/"
cp "$pictures/trip/05.bmp" "$work/05.bmp.orig" || e2e_fail "cannot keep a copy of 05.bmp"
target="$work/some/other/folder/alias.map"

e2e_start_xvfb
e2e_start_atlas "$maps/trip.map"
e2e_wait_window '^マップエディタ ～ trip\.map$'
main=$window
echo "atlas_save_as_other_folder: trip.map on $DISPLAY"

# save_as_to_target: 名前を付けて保存 with the target's full path; the question must follow.
save_as_to_target() {
    e2e_save_map_as "$main" "$target"
    e2e_find_window '^マップエディタ$' "question naming the map that owns alias/ ($1)"
}

# Return answers the question with its default: No.
save_as_to_target first
e2e_press "$found" Return
e2e_wait_gone "$found" "the question after Return"

# The second try's dialog only opens once the first command has returned, so alias/ is looked at
# after whatever it did.
save_as_to_target second
question=$found
diff -r "$work/alias.orig" "$pictures/alias" >/dev/null || e2e_fail "alias/ changed although the answer was No"
[ ! -e "$target" ] || e2e_fail "the map was saved at $target although the answer was No"
[ -n "$(xdotool search --onlyvisible --name '^マップエディタ ～ trip\.map$' 2>/dev/null)" ] ||
    e2e_fail "the window no longer names trip.map after No"

# Yes: saved, into alias/.
e2e_press "$question" alt+y
e2e_wait_gone "$question" "the question after Yes"
e2e_find_window '^マップエディタ ～ alias\.map$' "main window named after the saved map"
[ -s "$target" ] || e2e_fail "nothing saved at $target after Yes"
cmp -s "$work/05.bmp.orig" "$pictures/alias/05.bmp" || e2e_fail "alias/ holds no 05.bmp of trip.map after Yes"

e2e_press "$main" F4
e2e_wait_exit "F4 after the save"
[ "$atlas_status" = 0 ] || e2e_fail "atlas exited with status $atlas_status"

passed=1
echo "atlas_save_as_other_folder: passed"
