#!/usr/bin/env bash
# Starts the real map editor on a bare X server with a map file, checks the window it shows, closes
# it with the exit key and checks what it leaves behind (exit status, file history).
# Usage: atlas_smoke.sh (it drives the programs in E2E_PROGRAMS, see lib.sh)
set -u

# shellcheck source-path=SCRIPTDIR source=lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
atlas_binary=$e2e_programs/atlas
e2e_init atlas_smoke

map_name=スモーク試験
expected_title="マップエディタ ～ ${map_name}.map"
expected_history="画像と音声/マップファイル/${map_name}.map"

e2e_make_program "$atlas_binary"
mkdir -p "$prog/画像と音声/マップ画像/$map_name" || e2e_fail "cannot make folders"
map_path="$prog/画像と音声/マップファイル/$map_name.map"

# The smallest usable map: line 1, 62 destinations (the first with a position and a title), two
# treasure lines.
e2e_write_small_map "$map_path" '' 0 '"100,200",テスト,,,,,,'

e2e_start_xvfb
e2e_start_atlas "$map_path"
e2e_wait_window "マップエディタ"

title=$(xdotool getwindowname "$window")
# A moment for the first paint, so the screenshot shows the window rather than an empty frame.
sleep 0.5
e2e_screenshot "$work/screen.png" || echo "atlas_smoke: screenshot failed" >&2
[ "$title" = "$expected_title" ] || e2e_fail "window title is \"$title\", expected \"$expected_title\""

# F4 is the exit key; an unchanged map closes without a question.
xdotool windowfocus --sync "$window" || e2e_fail "cannot focus the window"
xdotool key F4 || e2e_fail "cannot press F4"
e2e_wait_exit "F4"
[ "$atlas_status" = 0 ] || e2e_fail "atlas exited with status $atlas_status"

history="$prog/設定/マップエディタ/ファイル履歴.txt"
[ -f "$history" ] || e2e_fail "no history file at $history"
history_text=$(iconv -f CP932 -t UTF-8 "$history") || e2e_fail "history file is not code page 932 text"
printf '%s\n' "$history_text" | tr -d '\r' | grep -qxF "$expected_history" ||
    e2e_fail "history does not hold \"$expected_history\"; it holds: $(printf '%s' "$history_text" | tr -d '\r')"

passed=1
echo "atlas_smoke: passed (window \"$title\" on $DISPLAY)"
