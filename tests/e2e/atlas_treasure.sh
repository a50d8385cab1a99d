#!/usr/bin/env bash
# A treasure picture brought in with real clicks and keys on a bare X server: the treasure form is
# opened from the edit menu, a 300 x 300 picture made here goes into the first rare slot through
# the file dialog, the form is closed and the map saved under a new name; the map file must list
# "r01.jpg" and its picture folder hold those bytes. Then a second picture goes into r02, r01 is
# edited in the stand-in picture tool, and r02 is selected while the tool runs: the tool's result is
# r01's, and after 上書き保存 r02 still holds its own picture.
# Usage: atlas_treasure.sh (it drives the programs in E2E_PROGRAMS, see lib.sh)
set -u

# shellcheck source-path=SCRIPTDIR source=lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
atlas_binary=$e2e_programs/atlas
fake_tool=$e2e_programs/fake_picture_tool
e2e_init atlas_treasure convert cmp python3

map_name=宝の地図
saved_name=withtreasure
# From the treasure form's top-left corner.
r01_row=35,78
r02_row=35,98
load_button=370,506
edit_button=450,506
close_button=812,537

trap '[ -f "$work/control/go" ] || touch "$work/control/go" 2>/dev/null; e2e_cleanup' EXIT
# The tool's notice finds atlas through sockets under the runtime folder.
e2e_private_runtime

e2e_make_program "$atlas_binary"
[ -x "$fake_tool" ] || e2e_fail "no program at $fake_tool"
control="$work/control"
settings="$prog/設定/マップエディタ/設定ファイル.ini"
mkdir -p "$control" "$(dirname "$settings")" || e2e_fail "cannot make folders"
# The picture tool logs its arguments, marks and saves the picture, names it back to atlas and holds
# until $control/go.
cat >"$prog/paint" <<EOF || e2e_fail "cannot write the tool"
#!/bin/sh
FAKE_TOOL_LOG='$control/log' FAKE_TOOL_CHANGE=1 FAKE_TOOL_NOTIFY=1 FAKE_TOOL_WAIT_FOR='$control/go' \\
    exec '$fake_tool' "\$@"
EOF
chmod +x "$prog/paint" || e2e_fail "cannot make the tool executable"
printf '[外部ツール]\r\n画像エディタ=paint\r\n' | iconv -f UTF-8 -t CP932 >"$settings" ||
    e2e_fail "cannot write the settings file"
mkdir -p "$prog/画像と音声/マップ画像/$map_name" "$work/photos" || e2e_fail "cannot make folders"
map_path="$prog/画像と音声/マップファイル/$map_name.map"
e2e_write_small_map "$map_path" '' 0 '"100,200",港町,,,,,,'
photo="$work/photos/treasure.jpg"
convert -size 300x300 xc:orange -fill navy -draw 'circle 150,150 150,60' -quality 92 "$photo" ||
    e2e_fail "cannot make the picture"

e2e_start_xvfb
e2e_start_atlas "$map_path"
e2e_wait_window "^マップエディタ ～ $map_name\\.map\$"
main=$window

e2e_menu_item "$main" e t
e2e_find_window '^宝物画像の取り込み$' "the treasure form"
form=$found fx=$found_x fy=$found_y
e2e_click $((fx + ${r01_row%,*})) $((fy + ${r01_row#*,})) "row r01"
e2e_click $((fx + ${load_button%,*})) $((fy + ${load_button#*,})) "取り込む"
# The file dialog bears the form's caption: it is the other window of that name.
e2e_dialog_type '^宝物画像の取り込み$' "$photo" "file dialog of 取り込む" "$form"
e2e_answer '^マップエディタ$' Return "notice that r01.jpg was saved in the picture folder"

e2e_click $((fx + ${close_button%,*})) $((fy + ${close_button#*,})) "閉じる"
e2e_wait_gone "$form" "the treasure form after 閉じる"

saved="$prog/画像と音声/マップファイル/$saved_name.map"
# A plain name, in the map folder the dialog shows (xdotool types Japanese unreliably).
e2e_save_map_as "$main" "$saved_name"
e2e_until "a map saved at $saved" test -s "$saved"

# Lines 64 and 65 are t01 and t02 (empty), line 66 the first rare treasure.
line66=$(iconv -f CP932 -t UTF-8 "$saved" | tr -d '\r' | sed -n 66p)
[ "$line66" = r01.jpg ] || e2e_fail "line 66 of the map file is \"$line66\", expected r01.jpg"
cmp -s "$photo" "$prog/画像と音声/マップ画像/$saved_name/r01.jpg" ||
    e2e_fail "the picture folder holds no r01.jpg with the picture's bytes"

second="$work/photos/second.jpg"
convert -size 300x300 xc:navy -fill yellow -draw 'rectangle 60,60 240,240' -quality 92 "$second" ||
    e2e_fail "cannot make the second picture"
e2e_menu_item "$main" e t
e2e_find_window '^宝物画像の取り込み$' "the treasure form, again"
form=$found fx=$found_x fy=$found_y
e2e_click $((fx + ${r02_row%,*})) $((fy + ${r02_row#*,})) "row r02"
e2e_click $((fx + ${load_button%,*})) $((fy + ${load_button#*,})) "取り込む for r02"
e2e_dialog_type '^宝物画像の取り込み$' "$second" "file dialog of 取り込む for r02" "$form"
e2e_answer '^マップエディタ$' Return "notice that r02.jpg was saved in the picture folder"

# tool_logged: whether the tool has logged its picture and class name.
tool_logged() {
    [ "$(wc -l <"$control/log" 2>/dev/null)" = 2 ]
}
e2e_click $((fx + ${r01_row%,*})) $((fy + ${r01_row#*,})) "row r01"
e2e_click $((fx + ${edit_button%,*})) $((fy + ${edit_button#*,})) "編集する on r01"
e2e_until "the tool to start after 編集する" tool_logged
e2e_click $((fx + ${r02_row%,*})) $((fy + ${r02_row#*,})) "row r02 while the tool runs"
e2e_poll_screen r02-selected run 48,140,198 0 100+ "$fx" $((fy + ${r02_row#*,} - 8)) 300 16
touch "$control/go" || e2e_fail "cannot let the tool end"
e2e_answer '^マップエディタ$' Return "notice that the tool's picture was saved in the picture folder"
# The run's result went to r01, which is selected again to show it.
e2e_poll_screen r01-selected-again run 48,140,198 0 100+ "$fx" $((fy + ${r01_row#*,} - 8)) 300 16
e2e_click $((fx + ${close_button%,*})) $((fy + ${close_button#*,})) "閉じる after the tool run"
e2e_wait_gone "$form" "the treasure form after the tool run"

e2e_overwrite_map "$main"
e2e_wait_map_lines "$saved" 66,67 "r01.jpg|r02.jpg"
cmp -s "$second" "$prog/画像と音声/マップ画像/$saved_name/r02.jpg" ||
    e2e_fail "r02.jpg is no longer the picture brought into r02"
tool_result="$prog/画像と音声/マップ画像/$saved_name/r01.jpg"
cmp -s "$photo" "$tool_result" && e2e_fail "r01.jpg is still the picture before the tool run"
[ "$(identify -format '%wx%h' "$tool_result" 2>/dev/null)" = 300x300 ] ||
    e2e_fail "r01.jpg is not the tool's 300 x 300 picture"

e2e_focus "$main"
e2e_press "$main" F4
e2e_wait_exit "F4 after saving"
[ "$atlas_status" = 0 ] || e2e_fail "atlas exited with status $atlas_status"

passed=1
echo "atlas_treasure: passed"
