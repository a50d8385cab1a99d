#!/usr/bin/env bash
# Two map editors from one program folder: atlas A on a saved map, then atlas B, closed again with
# F4. A's forms must still get the picture tool's hand-back: 編集する on destination 03 in A starts
# the stand-in tool, which saves the picture under a new name and names it back (A learns that
# name from the notice alone), and A takes that picture in. Ends with Esc (discarding) and F4.
# Usage: atlas_second_instance.sh (it drives the programs in E2E_PROGRAMS, see lib.sh)
set -u

# shellcheck source-path=SCRIPTDIR source=lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
atlas_binary=$e2e_programs/atlas
fake_tool=$e2e_programs/fake_picture_tool
e2e_init atlas_second_instance convert python3 cmp

green=0,200,0
# The editor's 編集する button lies under the 400x225 picture, from the picture's top-left corner.
edit_button=200,242

e2e_private_runtime
notices="$runtime/atlas-notice"

e2e_make_program "$atlas_binary"
[ -x "$fake_tool" ] || e2e_fail "no program at $fake_tool"
control="$work/control"
settings="$prog/設定/マップエディタ/設定ファイル.ini"
pictures="$prog/画像と音声/マップ画像/trip"
map_path="$prog/画像と音声/マップファイル/trip.map"
drawn=03_drawn.bmp
mkdir -p "$control" "$(dirname "$settings")" "$pictures" || e2e_fail "cannot make folders"
# The picture tool lies directly in atlas's folder. It notes the receiver it was told, saves the
# marked picture as $drawn, names that back and notes how it ended (93: the notice went nowhere).
cat >"$prog/paint" <<EOF || e2e_fail "cannot write the tool"
#!/bin/sh
printf '%s\n' "\${ATLAS_SAVED_PICTURE_SOCKET:-}" >'$control/receiver'
FAKE_TOOL_LOG='$control/log' FAKE_TOOL_SAVE_AS='$pictures/$drawn' FAKE_TOOL_NOTIFY=1 '$fake_tool' "\$@"
echo \$? >'$control/status'
EOF
chmod +x "$prog/paint" || e2e_fail "cannot make the tool executable"
printf '[外部ツール]\r\n画像エディタ=paint\r\n' | iconv -f UTF-8 -t CP932 >"$settings" ||
    e2e_fail "cannot write the settings file"
convert -size 400x225 "xc:rgb($green)" -type TrueColor BMP3:"$pictures/03.bmp" ||
    e2e_fail "cannot make 03.bmp"
cp "$pictures/03.bmp" "$work/03.bmp.orig" || e2e_fail "cannot keep a copy of 03.bmp"
# Destination 03 (line 5) is placed and names 03.bmp.
e2e_write_small_map "$map_path" '' 3 '"200,150",旅行地,,03.bmp,,,,'
cp "$map_path" "$work/trip.map.orig" || e2e_fail "cannot keep a copy of the map file"

# tform2_socket <pid>: the destination editor's socket of that process ("<desktop>.tform2.<pid>-<n>"),
# when it is there.
tform2_socket() {
    local socket
    for socket in "$notices"/*.tform2."$1"-*; do
        [ -S "$socket" ] && echo "$socket" && return 0
    done
    return 1
}
# wait_tform2_socket <pid> <what>: sets $socket once that process's destination editor listens.
wait_tform2_socket() {
    e2e_until "$2 to listen for notices" tform2_listens "$1"
}
# tform2_listens <pid>: one try of wait_tform2_socket.
tform2_listens() {
    socket=$(tform2_socket "$1") && return
    e2e_why=$(ls -l "$notices" 2>&1)
    return 1
}

e2e_start_xvfb
e2e_start_atlas "$map_path"
e2e_wait_window '^マップエディタ ～ trip\.map$'
main=$window
echo "atlas_second_instance: A on trip.map on $DISPLAY"
wait_tform2_socket "$atlas_pid" "atlas A"
a_socket=$socket

# B from the same folder, without a map; its main window is the one of its process.
e2e_start_second_atlas atlas-b.log
e2e_wait_second_window '^マップエディタ'
wait_tform2_socket "$second_pid" "atlas B"
[ "$second_window" != "$main" ] || e2e_fail "B's window is A's"
[ "$socket" != "$a_socket" ] || e2e_fail "A and B listen on one socket, $socket"
[ -S "$a_socket" ] || e2e_fail "A's socket $a_socket went when B started"

e2e_press "$second_window" F4
e2e_wait_ended "$second_pid" "atlas B after F4"
[ "$ended_status" = 0 ] || e2e_fail "atlas B exited with status $ended_status: $(cat "$work/atlas-b.log")"
[ -S "$a_socket" ] || e2e_fail "A's socket $a_socket went with B: $(ls -l "$notices" 2>&1)"

# In A: a click into the selected row 00 gives the grid the keyboard; three rows down is 03.
e2e_grid_keys start "$main" Down Down Down Return
e2e_find_window '^3 番目の旅行地　（旅行地画像 "03\.bmp"）$' "destination editor of 03"
editor=$found
# The picture is the only green in the editor; its top row is the first green run 400 wide.
e2e_poll_screen editor-green run "$green" 0 400 "$found_x" "$found_y" "$found_w" "$found_h"
read -r px py <<<"$screen_out"

e2e_click $((px + ${edit_button%,*})) $((py + ${edit_button#*,})) "編集する"
# A takes the picture in and says so, with the name it learned from the notice alone.
e2e_answer '^マップエディタ$' Return "the information box on the new destination picture $drawn"
e2e_until "the tool to end" test -s "$control/status"
[ "$(cat "$control/status" 2>/dev/null)" = 0 ] ||
    e2e_fail "the tool ended with status $(cat "$control/status" 2>&1) (93: its notice reached nobody)"
[ "$(cat "$control/receiver")" = "$a_socket" ] ||
    e2e_fail "the tool was told the receiver \"$(cat "$control/receiver")\", expected $a_socket"
[ "$(sed -n 2p "$control/log")" = TForm2 ] || e2e_fail "the tool was not given the class name TForm2"
e2e_find_window "^3 番目の旅行地　（旅行地画像 \"${drawn//./\\.}\"）\$" "destination editor naming $drawn"
# The tool inverted an 8x8 square in the middle of the green picture.
e2e_poll_screen editor-marked count $((px + 196)) $((py + 108)) 8 8 255,55,255 0 64
cmp -s "$pictures/03.bmp" "$work/03.bmp.orig" || e2e_fail "03.bmp changed; only $drawn may be new"

# Esc throws the new picture away after the question; the map is as it was, so F4 just closes.
e2e_press "$editor" Escape
e2e_answer '^マップエディタ$' alt+y "question to discard the changed picture"
e2e_wait_gone "$editor" "destination editor after Esc and Yes"
e2e_press "$main" F4
e2e_wait_exit "F4 with an unchanged map"
[ "$atlas_status" = 0 ] || e2e_fail "atlas A exited with status $atlas_status"
cmp -s "$map_path" "$work/trip.map.orig" || e2e_fail "the map file changed although nothing was saved"
[ -z "$(ls -A "$notices" 2>/dev/null)" ] || e2e_fail "sockets left after both closed: $(ls -l "$notices")"

passed=1
echo "atlas_second_instance: passed (A still reached after B closed)"
