#!/usr/bin/env bash
# Turning a floating picture by its handle in the picture editor, with real keys and a real drag on
# a bare X server: a picture put on the clipboard by xclip is shown with Ctrl+V, dragged into the
# canvas, put into rotation mode with Ctrl+S, turned a quarter clockwise by dragging a red handle
# round its centre, stamped with Ctrl+V and saved; the saved pixels must show it turned.
# Usage: easel_rotate.sh (it drives the programs in E2E_PROGRAMS, see lib.sh)
set -u

# shellcheck source-path=SCRIPTDIR source=lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
easel_binary=$e2e_programs/easel
e2e_init easel_rotate convert identify python3 xclip

white=255,255,255
blue=0,0,255
yellow=255,255,0
red=255,0,0

e2e_start_xvfb
e2e_easel_new_canvas "$easel_binary"

# A 100 x 40 blue picture with a yellow 20 x 20 corner at its top left.
outside="$work/outside.png"
convert -size 100x40 xc:blue -fill yellow -draw 'rectangle 0,0 19,19' "$outside" ||
    e2e_fail "cannot make the picture"
e2e_clipboard_offer "$outside" 100x40

# Shown at the canvas's corner, then dragged so that it lies at (200, 150)-(299, 189).
e2e_press "$window" ctrl+v
e2e_expect shown "yellow:10,10:$yellow" "blue:50,30:$blue"
xdotool mousemove $((cx + 50)) $((cy + 20)) mousedown 1 mousemove $((cx + 150)) $((cy + 100)) \
    mousemove $((cx + 250)) $((cy + 170)) mouseup 1 || e2e_fail "cannot drag the picture"
e2e_expect dragged "yellow:210,160:$yellow" "blue:290,180:$blue" "left behind:10,10:$white"

# The bottom-right rotate handle lies at (302, 192), 12 pixels wide; the layer's centre at (250, 170).
e2e_press "$window" ctrl+s
e2e_expect handle "handle:308,198:$red"
python3 - "$cx" "$cy" <<'PY' || e2e_fail "cannot turn the handle"
import math, subprocess, sys
cx, cy = int(sys.argv[1]), int(sys.argv[2])
mx, my = cx + 250, cy + 170
hx, hy = cx + 308, cy + 198
r, a0 = math.hypot(hx - mx, hy - my), math.atan2(hy - my, hx - mx)
moves = ["mousemove", str(hx), str(hy), "mousedown", "1"]
# Ten degrees a move, clockwise on screen, each move one accepted turn.
for i in range(1, 10):
    a = a0 + math.radians(10 * i)
    moves += ["mousemove", str(round(mx + r * math.cos(a))), str(round(my + r * math.sin(a)))]
subprocess.run(["xdotool", *moves, "mouseup", "1"], check=True)
PY
# A quarter turn clockwise: 40 x 100 about the same centre, the yellow corner at the top right.
e2e_expect turned "yellow:260,130:$yellow" "blue:240,130:$blue" "blue:250,210:$blue" "old place:290,180:$white"

e2e_press "$window" ctrl+v
saved="$work/turned.bmp"
e2e_easel_save_as "$window" "$saved"
e2e_expect_file "$saved" saved "yellow corner:260:130:$yellow" "turned body:240:130:$blue" "turned foot:250:210:$blue" \
    "beside the top:275:130:$white" "below:250:225:$white" "where it lay unturned:290:180:$white" \
    "where it was shown first:10:10:$white"

e2e_easel_quit

passed=1
echo "easel_rotate: passed"
