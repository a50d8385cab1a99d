#!/usr/bin/env bash
# The round trip between the map editor and the picture editor on a bare X server: atlas, with
# easel as its first tool, starts easel on a working copy of a destination picture; easel clears
# the picture with real clicks and keys, saves it and ends, and atlas takes the saved picture in.
# A second run that changes nothing must leave no working copy behind; a third saves under another
# name, which atlas learns from easel's notice alone, and its unused working copy goes. Ends with
# F4, declining to save the map.
# Usage: atlas_easel_roundtrip.sh (it drives the programs in E2E_PROGRAMS, see lib.sh)
set -u

# shellcheck source-path=SCRIPTDIR source=lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
atlas_binary=$e2e_programs/atlas
easel_binary=$e2e_programs/easel
e2e_init atlas_easel_roundtrip convert identify python3 cmp

green=0,200,0
white=255,255,255
# The editor's 編集する button lies under the 400x225 picture, from the picture's top-left corner.
edit_button=200,242
# easel's 全消去, the third button of its tool column, from the window's top-left corner.
clear_button=75,130

easel_pid=
# easel is atlas's child, but a failure kills atlas and leaves it: it must not outlive the test.
# Before its window is found, atlas's children are where it is.
stop_easel() {
    local pid
    for pid in $easel_pid ${atlas_pid:+$(pgrep -P "$atlas_pid")}; do
        # Only a number that still belongs to our copy of easel.
        [ "$(readlink "/proc/$pid/exe" 2>/dev/null)" = "$prog/easel" ] || continue
        kill "$pid" 2>/dev/null
        sleep 0.2
        [ "$(readlink "/proc/$pid/exe" 2>/dev/null)" = "$prog/easel" ] && kill -9 "$pid" 2>/dev/null
    done
}
trap 'stop_easel; e2e_cleanup' EXIT

# Both programs find each other through sockets under the runtime folder: a private one keeps
# easel's notice from reaching another test's atlas.
e2e_private_runtime
notice_socket=

# easel must lie directly in atlas's folder to be given the waiting form's class name.
e2e_make_program "$atlas_binary"
[ -x "$easel_binary" ] || e2e_fail "no program at $easel_binary"
cp "$easel_binary" "$prog/easel" || e2e_fail "cannot copy $easel_binary"
settings="$prog/設定/マップエディタ/設定ファイル.ini"
pictures="$prog/画像と音声/マップ画像/trip"
map_path="$prog/画像と音声/マップファイル/trip.map"
mkdir -p "$(dirname "$settings")" "$pictures" || e2e_fail "cannot make folders"
# The first tool is the picture tool, named relative to the program folder.
printf '[外部ツール]\r\n画像エディタ=easel\r\n' | iconv -f UTF-8 -t CP932 >"$settings" ||
    e2e_fail "cannot write the settings file"
convert -size 400x225 "xc:rgb($green)" -type TrueColor BMP3:"$pictures/03.bmp" ||
    e2e_fail "cannot make the destination picture"
# bmp_kind <file>: "BM <bits per pixel> <width>x<height>" of a BMP file.
bmp_kind() {
    echo "$(head -c 2 "$1") $(od -A n -t u2 -j 28 -N 2 "$1" | tr -d ' ') $(identify -format '%wx%h' "$1" 2>&1)"
}
# expect_bmp <file>: waits for a 400x225 24-bit BMP there, since easel writes it on its own time,
# after its dialog has gone.
expect_bmp() {
    e2e_until "$(basename "$1") to be a 400x225 24-bit BMP" is_bmp "$1"
}
# is_bmp <file>: one try of expect_bmp.
is_bmp() {
    local kind
    kind=$(bmp_kind "$1" 2>&1)
    e2e_why="it is \"$kind\""
    [ "$kind" = "BM 24 400x225" ]
}
expect_bmp "$pictures/03.bmp"
cp "$pictures/03.bmp" "$work/03.bmp.orig" || e2e_fail "cannot keep a copy of 03.bmp"
# Destination 03 (line 5) is placed and names 03.bmp.
e2e_write_small_map "$map_path" '' 3 '"200,150",旅行地,,03.bmp,,,,'
cp "$map_path" "$work/trip.map.orig" || e2e_fail "cannot keep a copy of the map file"

# start_easel <what>: clicks 編集する in the destination editor and waits for easel on a new
# working copy in the picture folder; sets $easel_window, $easel_pid and $copy (the copy's name).
start_easel() {
    e2e_click $((px + ${edit_button%,*})) $((py + ${edit_button#*,})) "編集する ($1)"
    e2e_find_window '^画像エディタ ～ 03_[0-9]{3}\.bmp$' "easel on a working copy of the picture ($1)"
    easel_window=$found
    ex=$found_x ey=$found_y ew=$found_w eh=$found_h
    copy=$(xdotool getwindowname "$easel_window") || e2e_fail "cannot read easel's title"
    copy=${copy#画像エディタ ～ }
    easel_pid=$(xdotool getwindowpid "$easel_window") || e2e_fail "cannot find easel's process"
    [ "$(readlink "/proc/$easel_pid/exe")" = "$prog/easel" ] ||
        e2e_fail "the picture tool's window belongs to $(readlink "/proc/$easel_pid/exe"), not $prog/easel"
    # The picture, then the class name of the form that waits for the saved name.
    local arguments
    arguments=$(tr '\0' '\n' <"/proc/$easel_pid/cmdline" | tail -n +2)
    [ "$arguments" = "$pictures/$copy"$'\n'TForm2 ] ||
        e2e_fail "easel was started with \"${arguments//$'\n'/\" \"}\", expected \"$pictures/$copy\" \"TForm2\""
    # And the destination editor's own receiver, in its environment.
    local told
    told=$(tr '\0' '\n' <"/proc/$easel_pid/environ" | sed -n 's/^ATLAS_SAVED_PICTURE_SOCKET=//p')
    [ "$told" = "$notice_socket" ] || e2e_fail "easel was told the receiver \"$told\", expected $notice_socket"
}

# wait_easel_gone <what>: easel must end without asking anything.
wait_easel_gone() {
    e2e_until "easel to end after $1" easel_ended "$1"
    easel_pid=
}
# easel_ended <what>: one try of wait_easel_gone.
easel_ended() {
    kill -0 "$easel_pid" 2>/dev/null || return 0
    [ -n "$(xdotool search --onlyvisible --name '^easel$' 2>/dev/null)" ] &&
        e2e_fail "easel asked a question on $1 (screenshot $work/failure.png)"
    return 1
}

e2e_start_xvfb
e2e_start_atlas "$map_path"
e2e_wait_window '^マップエディタ ～ trip\.map$'
main=$window
echo "atlas_easel_roundtrip: trip.map on $DISPLAY"
# The destination editor listens in the private folder from the start, on a socket of its own,
# "<desktop>.tform2.<pid>-<n>".
# listening: sets $notice_socket once there is that socket.
listening() {
    local socket
    for socket in "$runtime/atlas-notice/"*.tform2."$atlas_pid"-*; do
        [ -S "$socket" ] && notice_socket=$socket
    done
    e2e_why=$(ls -lR "$runtime" 2>&1)
    [ -n "$notice_socket" ]
}
e2e_until "atlas to listen for notices" listening

# A click into the selected row 00 makes sure the grid has the keyboard; three rows down is 03,
# and Return opens its editor.
e2e_grid_keys start "$main" Down Down Down Return
e2e_find_window '^3 番目の旅行地　（旅行地画像 "03\.bmp"）$' "destination editor of 03"
editor=$found
# The picture is the only green in the editor; its top row is the first green run 400 wide.
e2e_poll_screen editor-green run "$green" 0 400 "$found_x" "$found_y" "$found_w" "$found_h"
read -r px py <<<"$screen_out"
e2e_poll_screen editor-green corners "$px" "$py" 400 225 "$green" "$green" "$green" "$green" 0

# Changed: 全消去 (with its question), 上書き保存 (with its question), then 終了.
start_easel changed
first_copy=$copy
cmp -s "$pictures/$first_copy" "$work/03.bmp.orig" || e2e_fail "the working copy $first_copy is not a copy of 03.bmp"
# easel shows the picture at 100 %: its top row is the only green run 400 wide in its window.
e2e_poll_screen easel-green run "$green" 0 400 "$ex" "$ey" "$ew" "$eh"
read -r cx cy <<<"$screen_out"
e2e_poll_screen easel-green corners "$cx" "$cy" 400 225 "$green" "$green" "$green" "$green" 0
e2e_click $((ex + ${clear_button%,*})) $((ey + ${clear_button#*,})) "全消去"
e2e_answer '^easel$' Return "easel's question before clearing all"
e2e_poll_screen easel-cleared corners "$cx" "$cy" 400 225 "$white" "$white" "$white" "$white" 0
e2e_menu_item "$easel_window" f s
e2e_answer '^easel$' Return "easel's question before saving over $first_copy"
# saved_white: whether the working copy is white all over.
saved_white() {
    local misses
    misses=$(convert "$pictures/$first_copy" -depth 8 rgb:- 2>/dev/null |
        python3 "$e2e_dir/pixels.py" corners 400 225 0 0 400 225 "$white" "$white" "$white" "$white" 0 0) && return
    e2e_why=${misses:-unreadable}
    return 1
}
e2e_until "the working copy $first_copy to be white after clearing and saving" saved_white
e2e_menu_item "$easel_window" f x
wait_easel_gone "終了 after saving"

# atlas takes the saved name in and says where the picture went.
e2e_answer '^マップエディタ$' Return "notice that $first_copy was saved in the picture folder"
e2e_find_window "^3 番目の旅行地　（旅行地画像 \"${first_copy//./\\.}\"）\$" "destination editor naming $first_copy"
e2e_poll_screen editor-changed corners "$px" "$py" 400 225 "$white" "$white" "$white" "$white" 0
expect_bmp "$pictures/$first_copy"
cmp -s "$pictures/03.bmp" "$work/03.bmp.orig" || e2e_fail "03.bmp changed; only its working copy may"
[ "$(e2e_folder_names "$pictures")" = "03.bmp $first_copy" ] ||
    e2e_fail "the picture folder holds \"$(e2e_folder_names "$pictures")\", expected \"03.bmp $first_copy\""

# OK makes the working copy destination 03's picture.
e2e_press "$editor" F4
e2e_wait_gone "$editor" "destination editor after F4"
e2e_answer '^マップエディタ$' Return "notice that destination 03 changed"

# Unchanged: easel ends at once; its working copy goes, the picture stays.
e2e_press "$main" Return
e2e_find_window "^3 番目の旅行地　（旅行地画像 \"${first_copy//./\\.}\"）\$" "destination editor of 03 again"
editor=$found
e2e_poll_screen editor-again corners "$px" "$py" 400 225 "$white" "$white" "$white" "$white" 0
start_easel unchanged
second_copy=$copy
[ "$second_copy" != "$first_copy" ] || e2e_fail "the second run works on $first_copy itself"
cmp -s "$pictures/$second_copy" "$pictures/$first_copy" ||
    e2e_fail "the working copy $second_copy is not a copy of $first_copy"
e2e_menu_item "$easel_window" f x
wait_easel_gone "終了 without a change"
# atlas removes the working copy after anything it has to say about the run: from then on, what it
# made of the run is on screen.
e2e_until "the working copy $second_copy to go" test ! -e "$pictures/$second_copy"
[ "$(e2e_folder_names "$pictures")" = "03.bmp $first_copy" ] ||
    e2e_fail "after a run without a change the picture folder holds \"$(e2e_folder_names "$pictures")\", expected \"03.bmp $first_copy\""
[ "$(xdotool search --onlyvisible --name "^3 番目の旅行地　（旅行地画像 \"${first_copy//./\\.}\"）\$" 2>/dev/null)" = "$editor" ] ||
    e2e_fail "the destination editor no longer names $first_copy after a run without a change"
e2e_poll_screen editor-unchanged corners "$px" "$py" 400 225 "$white" "$white" "$white" "$white" 0
[ -z "$(xdotool search --onlyvisible --name '^マップエディタ$' 2>/dev/null)" ] ||
    e2e_fail "atlas showed a message after a run without a change (screenshot $work/failure.png)"

# Saved under another name: only the notice tells atlas that name, and it takes that picture.
other=03_other.bmp
start_easel "save as"
third_copy=$copy
e2e_menu_item "$easel_window" f a
e2e_find_window '^名前を付けて保存$' "easel's save dialog"
dialog=$found
# The name box has the keyboard and shows the working copy's name, in the picture folder.
e2e_press "$dialog" ctrl+a
e2e_enter_name "$dialog" "$other" "easel's save dialog"
expect_bmp "$pictures/$other"
e2e_menu_item "$easel_window" f x
wait_easel_gone "終了 after saving as $other"
e2e_answer '^マップエディタ$' Return "notice that $other was saved in the picture folder"
e2e_find_window "^3 番目の旅行地　（旅行地画像 \"${other//./\\.}\"）\$" "destination editor naming $other"
e2e_poll_screen editor-other corners "$px" "$py" 400 225 "$white" "$white" "$white" "$white" 0
# That run's own working copy was left as it was: its content says it was never used, and it goes.
e2e_until "the unused working copy $third_copy to go" test ! -e "$pictures/$third_copy"
# Each run's record went with the run.
runs=$(find "$(dirname "$pictures")" -maxdepth 1 -name '.~run-*' 2>&1)
[ -z "$runs" ] || e2e_fail "tool run records were left in the picture root: $runs"

# Cancel throws the new picture away, after the question.
e2e_press "$editor" Escape
e2e_answer '^マップエディタ$' alt+y "question to discard the changed picture"
e2e_wait_gone "$editor" "destination editor after Esc and Yes"

# The map now names the working copy: F4 asks to save, and No closes without saving.
e2e_press "$main" F4
e2e_answer '^マップエディタ$' alt+n "question to save the changed map"
e2e_wait_exit "No to the question to save"
[ "$atlas_status" = 0 ] || e2e_fail "atlas exited with status $atlas_status"
cmp -s "$map_path" "$work/trip.map.orig" || e2e_fail "the map file changed although nothing was saved"
iconv -f CP932 -t UTF-8 "$settings" | tr -d '\r' | grep -qx '画像エディタ=easel' ||
    e2e_fail "the settings file no longer names easel relative to the program folder: $(iconv -f CP932 -t UTF-8 "$settings")"

passed=1
echo "atlas_easel_roundtrip: passed (working copies $first_copy kept, $second_copy removed)"
