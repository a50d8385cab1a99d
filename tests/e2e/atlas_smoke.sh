#!/usr/bin/env bash
# Starts the real map editor on a bare X server with a map file, checks the window it shows, closes
# it with the exit key and checks what it leaves behind (exit status, file history).
# Usage: atlas_smoke.sh <path to the atlas binary>
set -u

atlas_binary=${1:?usage: atlas_smoke.sh <atlas binary>}
export LC_ALL=C.UTF-8
# Dialog texts, file names and the window title are Japanese; every comparison is on UTF-8 bytes.

map_name=スモーク試験
expected_title="マップエディタ ～ ${map_name}.map"
expected_history="画像と音声/マップファイル/${map_name}.map"

work=$(mktemp -d "${TMPDIR:-/tmp}/atlas_smoke.XXXXXX") || exit 1
xvfb_pid=
atlas_pid=
passed=0

cleanup() {
    # Whatever happened, nothing this script started outlives it.
    if [ -n "$atlas_pid" ] && kill -0 "$atlas_pid" 2>/dev/null; then
        kill "$atlas_pid" 2>/dev/null
        sleep 0.2
        kill -9 "$atlas_pid" 2>/dev/null
    fi
    if [ -n "$xvfb_pid" ] && kill -0 "$xvfb_pid" 2>/dev/null; then
        kill "$xvfb_pid" 2>/dev/null
        wait "$xvfb_pid" 2>/dev/null
    fi
    if [ "$passed" = 1 ]; then
        rm -rf "$work"
    else
        echo "atlas_smoke: kept $work for inspection" >&2
        [ -f "$work/screen.png" ] && echo "atlas_smoke: screenshot $work/screen.png" >&2
    fi
}
trap cleanup EXIT
trap 'exit 130' INT TERM

fail() {
    echo "atlas_smoke: FAIL: $*" >&2
    if [ -s "$work/atlas.log" ]; then
        echo "---- atlas output ----" >&2
        cat "$work/atlas.log" >&2
    fi
    exit 1
}

for tool in Xvfb xdotool import xdpyinfo iconv; do
    command -v "$tool" >/dev/null || fail "$tool is not installed"
done
[ -x "$atlas_binary" ] || fail "no program at $atlas_binary"

# The program keeps its folders next to itself, so it runs from a copy in the temporary folder.
prog="$work/prog"
mkdir -p "$prog/画像と音声/マップファイル" "$prog/画像と音声/マップ画像/$map_name" || fail "cannot make folders"
cp "$atlas_binary" "$prog/atlas" || fail "cannot copy $atlas_binary"
map_path="$prog/画像と音声/マップファイル/$map_name.map"

# The smallest usable map: line 1, 62 destinations (the first with a position and a title), two
# treasure lines. Written as code page 932 with CR LF like every map file.
{
    printf ',,,,clNavy,clRed,clYellow,\r\n'
    printf '"100,200",テスト,,,,,,\r\n'
    for ((i = 1; i < 62; i++)); do printf ',,,,,,,\r\n'; done
    printf '\r\n\r\n'
} | iconv -f UTF-8 -t CP932 >"$map_path" || fail "cannot write the map file"

# A display of our own: the first free number from 90 to 99 whose server really comes up.
display=
for n in $(seq 90 99); do
    [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] && continue
    # -noreset: otherwise the server resets when the probe below disconnects, and a client
    # connecting during the reset is refused.
    Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp -noreset >"$work/xvfb.log" 2>&1 &
    xvfb_pid=$!
    for ((t = 0; t < 50; t++)); do
        kill -0 "$xvfb_pid" 2>/dev/null || break
        # The lock file names the server that owns the number; answering alone could be another
        # script's server that won the race for it.
        if [ "$(tr -d ' \n' <"/tmp/.X$n-lock" 2>/dev/null)" = "$xvfb_pid" ] &&
            xdpyinfo -display ":$n" >/dev/null 2>&1; then
            display=":$n"
            break
        fi
        sleep 0.1
    done
    [ -n "$display" ] && break
    # Lost the number to someone else or the server failed: try the next one.
    kill "$xvfb_pid" 2>/dev/null
    wait "$xvfb_pid" 2>/dev/null
    xvfb_pid=
done
[ -n "$display" ] || fail "no X server could be started on :90 to :99 ($(cat "$work/xvfb.log" 2>/dev/null))"
export DISPLAY=$display

QT_QPA_PLATFORM=xcb "$prog/atlas" "$map_path" >"$work/atlas.log" 2>&1 &
atlas_pid=$!

window=
for ((t = 0; t < 100; t++)); do
    kill -0 "$atlas_pid" 2>/dev/null || fail "atlas ended before showing a window"
    window=$(xdotool search --onlyvisible --name "マップエディタ" 2>/dev/null | head -n 1)
    [ -n "$window" ] && break
    sleep 0.1
done
[ -n "$window" ] || fail "no visible window named マップエディタ within 10 s"

title=$(xdotool getwindowname "$window")
# A moment for the first paint, so the screenshot shows the window rather than an empty frame.
sleep 0.5
import -window root "$work/screen.png" 2>>"$work/import.log" || echo "atlas_smoke: screenshot failed" >&2
[ "$title" = "$expected_title" ] || fail "window title is \"$title\", expected \"$expected_title\""

# F4 is the exit key; an unchanged map closes without a question.
xdotool windowfocus --sync "$window" || fail "cannot focus the window"
xdotool key F4 || fail "cannot press F4"

ended=0
for ((t = 0; t < 100; t++)); do
    if ! kill -0 "$atlas_pid" 2>/dev/null; then
        ended=1
        break
    fi
    sleep 0.1
done
if [ "$ended" = 0 ]; then
    import -window root "$work/screen.png" 2>>"$work/import.log"
    fail "atlas still running 10 s after F4"
fi
wait "$atlas_pid"
status=$?
atlas_pid=
[ "$status" = 0 ] || fail "atlas exited with status $status"

history="$prog/設定/マップエディタ/ファイル履歴.txt"
[ -f "$history" ] || fail "no history file at $history"
history_text=$(iconv -f CP932 -t UTF-8 "$history") || fail "history file is not code page 932 text"
printf '%s\n' "$history_text" | tr -d '\r' | grep -qxF "$expected_history" ||
    fail "history does not hold \"$expected_history\"; it holds: $(printf '%s' "$history_text" | tr -d '\r')"

passed=1
echo "atlas_smoke: passed (window \"$title\" on $display)"
