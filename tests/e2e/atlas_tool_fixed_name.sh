#!/usr/bin/env bash
# Editing the picture of a destination that has none, while the picture folder holds a file of the
# destination's fixed name that no slot names (as a row move leaves it): atlas starts the picture
# tool on a blank picture of another name, and 03.bmp keeps its bytes whether the tool changes
# nothing (only naming its picture back, as after an open) or saves. The stand-in tool is held
# until the test has looked at the folder. Ends with Esc (discarding) and F4.
# Usage: atlas_tool_fixed_name.sh (it drives the programs in E2E_PROGRAMS, see lib.sh)
set -u

# shellcheck source-path=SCRIPTDIR source=lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
atlas_binary=$e2e_programs/atlas
fake_tool=$e2e_programs/fake_picture_tool
e2e_init atlas_tool_fixed_name convert python3 cmp

green=0,200,0
white=255,255,255
# The editor's 編集する button lies under the 400x225 picture, from the picture's top-left corner.
edit_button=200,242

trap '[ -f "$work/control/go" ] || touch "$work/control/go" 2>/dev/null; e2e_cleanup' EXIT
# The tool's notice finds atlas through sockets under the runtime folder.
e2e_private_runtime

e2e_make_program "$atlas_binary"
[ -x "$fake_tool" ] || e2e_fail "no program at $fake_tool"
control="$work/control"
settings="$prog/設定/マップエディタ/設定ファイル.ini"
pictures="$prog/画像と音声/マップ画像/trip"
map_path="$prog/画像と音声/マップファイル/trip.map"
mkdir -p "$control" "$(dirname "$settings")" "$pictures" || e2e_fail "cannot make folders"
# The picture tool lies directly in atlas's folder, so it is given the waiting form's class name.
# Each run it logs its arguments, marks and saves the picture when $control/change says 1, names
# the picture back to atlas, and waits for $control/go.
cat >"$prog/paint" <<EOF || e2e_fail "cannot write the tool"
#!/bin/sh
FAKE_TOOL_LOG='$control/log' FAKE_TOOL_CHANGE=\$(cat '$control/change') FAKE_TOOL_NOTIFY=1 \\
    FAKE_TOOL_WAIT_FOR='$control/go' exec '$fake_tool' "\$@"
EOF
chmod +x "$prog/paint" || e2e_fail "cannot make the tool executable"
printf '[外部ツール]\r\n画像エディタ=paint\r\n' | iconv -f UTF-8 -t CP932 >"$settings" ||
    e2e_fail "cannot write the settings file"
convert -size 400x225 "xc:rgb($green)" -type TrueColor BMP3:"$pictures/03.bmp" ||
    e2e_fail "cannot make 03.bmp"
cp "$pictures/03.bmp" "$work/03.bmp.orig" || e2e_fail "cannot keep a copy of 03.bmp"
# No slot names a picture; destination 03 is empty.
e2e_write_small_map "$map_path" ''
cp "$map_path" "$work/trip.map.orig" || e2e_fail "cannot keep a copy of the map file"

# tool_logged: whether the tool has logged its picture and class name.
tool_logged() {
    [ "$(wc -l <"$control/log" 2>/dev/null)" = 2 ]
}

expect_03_unchanged() {
    cmp -s "$pictures/03.bmp" "$work/03.bmp.orig" || e2e_fail "03.bmp changed $1"
}

# run_tool <change 0|1> <what>: clicks 編集する and waits until the tool holds; sets $blank to the
# name of the picture it was started on, which must be a new one in the picture folder.
run_tool() {
    rm -f "$control/log" "$control/go" || e2e_fail "cannot reset the tool's control files"
    echo "$1" >"$control/change" || e2e_fail "cannot tell the tool what to do"
    e2e_click $((px + ${edit_button%,*})) $((py + ${edit_button#*,})) "編集する ($2)"
    e2e_until "the tool to start after 編集する ($2)" tool_logged
    local picture class
    { read -r picture && read -r class; } <"$control/log"
    [ "$class" = TForm2 ] || e2e_fail "the tool was given the class name \"$class\", expected TForm2"
    [ "$(dirname "$picture")" = "$pictures" ] || e2e_fail "the tool was started on $picture, outside $pictures"
    blank=$(basename "$picture")
    [ "$blank" != 03.bmp ] || e2e_fail "the blank picture of the run took the name 03.bmp ($2)"
    [ -f "$picture" ] || e2e_fail "the tool was started on $blank, which does not exist ($2)"
    expect_03_unchanged "while the tool runs ($2)"
}

e2e_start_xvfb
e2e_start_atlas "$map_path"
e2e_wait_window '^マップエディタ ～ trip\.map$'
main=$window
echo "atlas_tool_fixed_name: trip.map on $DISPLAY"
# The destination editor listens on a socket of its own, "<desktop>.tform2.<pid>-<n>".
listening() {
    local socket
    for socket in "$runtime/atlas-notice/"*.tform2."$atlas_pid"-*; do
        [ -S "$socket" ] && return
    done
    e2e_why=$(ls -l "$runtime/atlas-notice" 2>&1)
    return 1
}
e2e_until "the destination editor to listen for notices" listening

# A click into the selected row 00 gives the grid the keyboard; three rows down is 03.
e2e_grid_keys start "$main" Down Down Down Return
e2e_find_window '^3 番目の旅行地$' "destination editor of 03 without a picture"
editor=$found
# The picture area is the only white run exactly 400 wide in the editor: the placeholder's top row.
e2e_poll_screen editor-empty run "$white" 0 400 "$found_x" "$found_y" "$found_w" "$found_h"
read -r px py <<<"$screen_out"

# Nothing changed: the blank picture made for the run goes, and only that one.
run_tool 0 unchanged
touch "$control/go"
# atlas removes the blank picture after anything it has to say about the run: from then on, what it
# made of the run is on screen.
e2e_until "the blank picture $blank to go" test ! -e "$pictures/$blank"
[ "$(e2e_folder_names "$pictures")" = 03.bmp ] ||
    e2e_fail "after a run without a change the picture folder holds \"$(e2e_folder_names "$pictures")\", expected \"03.bmp\""
expect_03_unchanged "after a run without a change"
[ "$(xdotool search --onlyvisible --name '^3 番目の旅行地$' 2>/dev/null)" = "$editor" ] ||
    e2e_fail "the destination editor of 03 no longer shows it without a picture"
[ -z "$(xdotool search --onlyvisible --name '^マップエディタ$' 2>/dev/null)" ] ||
    e2e_fail "atlas showed a message after a run without a change (screenshot $work/failure.png)"

# Saved: the marked blank picture becomes the destination's picture; 03.bmp is left alone.
run_tool 1 saved
first_blank=$blank
touch "$control/go"
e2e_answer '^マップエディタ$' Return "notice that $first_blank was saved in the picture folder"
e2e_find_window "^3 番目の旅行地　（旅行地画像 \"${first_blank//./\\.}\"）\$" "destination editor naming $first_blank"
# The tool inverted an 8x8 square in the middle of the white picture.
e2e_poll_screen editor-marked count $((px + 196)) $((py + 108)) 8 8 0,0,0 0 64
expect_03_unchanged "after a run that saved"
[ "$(e2e_folder_names "$pictures")" = "03.bmp $first_blank" ] ||
    e2e_fail "the picture folder holds \"$(e2e_folder_names "$pictures")\", expected \"03.bmp $first_blank\""

# Esc throws the new picture away after the question; the map is as it was, so F4 just closes.
e2e_press "$editor" Escape
e2e_answer '^マップエディタ$' alt+y "question to discard the changed picture"
e2e_wait_gone "$editor" "destination editor after Esc and Yes"
e2e_press "$main" F4
e2e_wait_exit "F4 with an unchanged map"
[ "$atlas_status" = 0 ] || e2e_fail "atlas exited with status $atlas_status"
expect_03_unchanged "at the end"
cmp -s "$map_path" "$work/trip.map.orig" || e2e_fail "the map file changed although nothing was saved"

passed=1
echo "atlas_tool_fixed_name: passed (blank pictures under other names, 03.bmp unchanged)"
