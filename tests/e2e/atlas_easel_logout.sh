#!/usr/bin/env bash
# A logout under a real session manager (the X session protocol): atlas with a changed map and easel
# with a changed picture are asked to keep their work with leave to interact; each asks its close
# question, and キャンセル in either cancels the logout for both. At the next logout the user answers
# いいえ in both: the session manager tells them to die, and both end at once, without another
# question, atlas having written its file history; the files on disk are as they were.
# Usage: atlas_easel_logout.sh (it drives the programs in E2E_PROGRAMS, see lib.sh)
set -u

# shellcheck source-path=SCRIPTDIR source=lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
atlas_binary=$e2e_programs/atlas
easel_binary=$e2e_programs/easel
manager_binary=$e2e_programs/session_manager
e2e_init atlas_easel_logout cmp

[ -x "$manager_binary" ] || e2e_fail "no program at $manager_binary"
e2e_private_runtime
e2e_make_program "$atlas_binary"
cp "$easel_binary" "$prog/easel" || e2e_fail "cannot copy $easel_binary"
map_path="$prog/画像と音声/マップファイル/logout.map"
mkdir -p "$prog/画像と音声/マップ画像/logout" || e2e_fail "cannot make folders"
e2e_write_small_map "$map_path" '' 0 ',旅行地,,,,,,'
cp "$map_path" "$work/logout.map.orig" || e2e_fail "cannot keep a copy of the map file"
picture="$work/picture.bmp"
convert -size 600x400 xc:white -type TrueColor BMP3:"$picture" || e2e_fail "cannot make the picture"
cp "$picture" "$work/picture.bmp.orig" || e2e_fail "cannot keep a copy of the picture"

# The session manager reads its orders from a pipe that stays open; its events go to a file.
orders="$work/orders"
events="$work/events"
mkfifo "$orders" || e2e_fail "cannot make $orders"
"$manager_binary" <"$orders" >"$events" 2>"$work/manager.log" &
manager_pid=$!
e2e_own_pids+=("$manager_pid")
exec 4>"$orders"
manager_named() { [ -s "$events" ]; }
e2e_until "the session manager to listen" manager_named
session_manager=$(head -n 1 "$events")

# said <n> <event>: the session manager has said that event at least n times.
said() { [ "$(grep -cx "$2" "$events")" -ge "$1" ]; }
logout() { echo logout >&4 || e2e_fail "cannot order a logout"; }

e2e_start_xvfb
export SESSION_MANAGER=$session_manager
e2e_start_atlas "$map_path"
e2e_wait_window "logout.map"
atlas_window=$window
QT_QPA_PLATFORM=xcb "$prog/easel" "$picture" >"$work/easel.log" 2>&1 &
easel_pid=$!
e2e_own_pids+=("$easel_pid")
e2e_until "both programs to join the session" said 2 registered
easel_shown() {
    easel_window=$(xdotool search --all --onlyvisible --pid "$easel_pid" --name '画像エディタ' 2>/dev/null | head -n 1)
    [ -n "$easel_window" ]
}
e2e_until "easel's window" easel_shown

# A click on the map gives destination 00 its place; a pen stroke in easel's canvas (the white run of its
# width) draws: both documents are changed.
e2e_focus "$atlas_window"
eval "$(xdotool getwindowgeometry --shell "$atlas_window")"
e2e_click $((X + 28 + 60)) $((Y + 10 + 60)) "the map, left of easel's window"
e2e_focus "$easel_window"
eval "$(xdotool getwindowgeometry --shell "$easel_window")"
e2e_poll_screen canvas run 255,255,255 0 600 "$X" "$Y" "$WIDTH" "$HEIGHT"
read -r cx cy <<<"$screen_out"
xdotool mousemove $((cx + 20)) $((cy + 20)) mousedown 1 mousemove $((cx + 120)) $((cy + 60)) \
    mousemove $((cx + 150)) $((cy + 80)) mouseup 1 || e2e_fail "cannot draw in easel"
e2e_expect stroke "the end of the stroke:150,80:0,0,0"

# box_of <pid>: sets $box to that program's visible message box (its title is the program's name).
box_of() {
    box=$(xdotool search --all --onlyvisible --pid "$1" --name "$2" 2>/dev/null | head -n 1)
    [ -n "$box" ]
}
atlas_box() { box_of "$atlas_pid" '^マップエディタ$'; }
easel_box() { box_of "$easel_pid" '^(画像エディタ|easel)$' && [ "$box" != "$easel_window" ]; }

# either_box: sets $box to the question either program shows.
either_box() { atlas_box || easel_box; }

# First logout: the first program given leave asks, the user cancels; the logout is cancelled for
# both, and neither ends.
logout
e2e_until "a save question" either_box
e2e_press "$box" Escape
e2e_until "the logout to be cancelled" said 1 shutdown-cancelled
kill -0 "$atlas_pid" 2>/dev/null || e2e_fail "atlas ended though the logout was cancelled"
kill -0 "$easel_pid" 2>/dev/null || e2e_fail "easel ended though the logout was cancelled"

# Second logout: いいえ to each question in turn; both end without another question.
logout
e2e_until "the first save question" either_box
first=$box
e2e_press "$box" alt+n
e2e_wait_gone "$first" "the first save question"
other_box() { either_box && [ "$box" != "$first" ]; }
e2e_until "the second save question" other_box
e2e_press "$box" alt+n
e2e_until "the order to die" said 1 die
e2e_wait_exit "the session manager's order to die"
[ "$atlas_status" = 0 ] || e2e_fail "atlas exited with status $atlas_status"
e2e_wait_ended "$easel_pid" "easel after the order to die"
[ "$ended_status" = 0 ] || e2e_fail "easel exited with status $ended_status"

cmp -s "$map_path" "$work/logout.map.orig" || e2e_fail "the map file changed though the user said いいえ"
cmp -s "$picture" "$work/picture.bmp.orig" || e2e_fail "the picture changed though the user said いいえ"
grep -q "logout.map" "$prog/設定/マップエディタ/ファイル履歴.txt" 2>/dev/null ||
    e2e_fail "atlas ended without its file history"

passed=1
echo "atlas_easel_logout: passed"
