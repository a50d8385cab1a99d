#!/usr/bin/env bash
# A picture brought into the picture editor through the import form, with real clicks, drags and
# keys on a bare X server: the form opens a picture made here, a rectangular cut-out line is
# dragged round part of it and cut with Ctrl+K, the form ends with OK, the floating picture is
# turned a quarter by Ctrl+S and a drag of its handle, stamped and saved; the saved pixels must be
# the cut, turned, with its one-pixel band of the line made transparent.
# Usage: easel_import.sh (it drives the programs in E2E_PROGRAMS, see lib.sh)
set -u

# shellcheck source-path=SCRIPTDIR source=lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
easel_binary=$e2e_programs/easel
e2e_init easel_import convert python3 od

white=255,255,255
red=255,0,0
green=0,255,0
blue=0,0,255
yellow=255,255,0
orange=255,128,0

# 100 x 80 blue with a yellow 20 x 20 square at (40, 30) and an orange 14 x 14 mark at (22, 12),
# which the cut below takes into its top-left corner (a colour of no palette entry, to find it).
picture="$work/in.bmp"
convert -size 100x80 xc:blue -fill yellow -draw 'rectangle 40,30 59,49' -fill "rgb($orange)" \
    -draw 'rectangle 22,12 35,25' -type TrueColor "BMP3:$picture" || e2e_fail "cannot make the picture"

e2e_start_xvfb
e2e_start_easel "$easel_binary"
e2e_find_window '^画像エディタ$' "easel's window"
window=$found
wx=$found_x wy=$found_y
echo "easel_import: on $DISPLAY"
e2e_poll_screen start run "$white" 0 600 "$found_x" "$found_y" "$found_w" "$found_h"

e2e_button "$import_button" "画像 of 画像取り込み"
e2e_find_window '^画像の取り込み' "the import form"
form=$found
e2e_menu_item "$form" f o
e2e_dialog_type '^画像を開く$' "$picture" "open dialog of the import form"

# The picture's top-left corner on screen, at 100 %.
e2e_poll_screen opened origin "$blue"
read -r px py <<<"$screen_out"
e2e_poll_screen shown check "$px" "$py" "square:45,35:$yellow" "corner:99,79:$blue"

# A rectangle from picture (20, 10) to (80, 70), dragged in eight moves.
xdotool mousemove $((px + 20)) $((py + 10)) mousedown 1 || e2e_fail "cannot press the mouse button"
for ((i = 1; i <= 8; i++)); do
    xdotool mousemove $((px + 20 + 60 * i / 8)) $((py + 10 + 60 * i / 8)) || e2e_fail "cannot move the mouse"
done
xdotool mouseup 1 || e2e_fail "cannot release the mouse button"
xdotool mousemove $((px + 300)) $((py + 300))
e2e_poll_screen lined check "$px" "$py" "top of the line:50,10:$red" "left of the line:20,40:$red" \
    "inside:45,35:$yellow"

e2e_press "$form" ctrl+k
# The cut is 60 x 60 at the top left; its band shows the background.
e2e_poll_screen cut check "$px" "$py" "band:0,30:$green" "inside:1,30:$blue" "square:25,25:$yellow" \
    "right band:59,30:$green" "bottom band:30,59:$green"

e2e_menu_item "$form" f x
e2e_wait_gone "$form" "the import form after 終了 - [OK]"

# The floating picture (60 x 60) is found by its orange mark, 2 pixels in from its top-left corner;
# Ctrl+S shows the rotate handles, the bottom-right one 3 pixels out from the corner, 12 wide.
e2e_poll_screen floating origin "$orange"
read -r mx my <<<"$screen_out"
lx=$((mx - 2)) ly=$((my - 2))
e2e_press "$window" ctrl+s
e2e_poll_screen handles check "$lx" "$ly" "handle:68,68:$red"
python3 - "$lx" "$ly" <<'PY' || e2e_fail "cannot turn the handle"
import math, subprocess, sys
lx, ly = int(sys.argv[1]), int(sys.argv[2])
cx, cy = lx + 30, ly + 30
hx, hy = lx + 68, ly + 68
r, a0 = math.hypot(hx - cx, hy - cy), math.atan2(hy - cy, hx - cx)
moves = ["mousemove", str(hx), str(hy), "mousedown", "1"]
# Ten degrees a move, clockwise on screen.
for i in range(1, 10):
    a = a0 + math.radians(10 * i)
    moves += ["mousemove", str(round(cx + r * math.cos(a))), str(round(cy + r * math.sin(a)))]
subprocess.run(["xdotool", *moves, "mouseup", "1"], check=True)
PY
# A quarter turn clockwise about the centre takes the mark from the top left to the top right.
e2e_poll_screen turned check "$lx" "$ly" "mark:50,8:$orange:2" "where the mark was:8,8:$blue:2"
e2e_button "$import_stamp_button" "描画 of 画像取り込み"

saved="$work/imported.bmp"
e2e_easel_save_as "$window" "$saved"

# Where the stamp lies: the turned mark's top-left corner is (44, 2) of the 60 x 60 cut, whose
# one-pixel band is transparent white; the rest of the cut is blue around the yellow square.
size=$(convert "$saved" -format '%w %h' info: 2>/dev/null)
read -r sw sh <<<"$size"
mark=$(convert "$saved" -depth 8 rgb:- | python3 "$e2e_dir/pixels.py" origin "$sw" "$sh" "$orange") ||
    e2e_fail "no orange in the saved picture"
read -r sx sy <<<"$mark"
ox=$((sx - 44)) oy=$((sy - 2))
for point in "mark:50:8:$orange" "where the mark was:8:8:$blue" "square:30:30:$yellow" "left band:0:30:$white" \
    "inside left:1:30:$blue" "top band:30:0:$white" "inside right:58:30:$blue" "right band:59:30:$white" \
    "bottom band:30:59:$white" "beyond:61:30:$white"; do
    IFS=: read -r name x y want <<<"$point"
    got=$(e2e_pixel "$saved" $((ox + x)) $((oy + y)))
    [ "$got" = "$want" ] || e2e_fail "saved $name at ($((ox + x)),$((oy + y))) is ${got:-unreadable}, expected $want"
done

e2e_easel_quit

passed=1
echo "easel_import: passed"
