#!/usr/bin/env bash
# Drives the map canvas of the real map editor with real clicks and keys on a bare X server: places
# a destination by clicking, drags it, walks the undo ring with the keyboard, and reads each result
# off screenshots. Ends with F4 on the map as loaded, which must close without a question.
# Usage: atlas_canvas.sh (it drives the programs in E2E_PROGRAMS, see lib.sh)
set -u

here=$(dirname "${BASH_SOURCE[0]}")
# shellcheck source-path=SCRIPTDIR source=lib.sh
source "$here/lib.sh"
atlas_binary=$e2e_programs/atlas
e2e_init atlas_canvas convert python3 cmp

# A solid map picture makes every pixel that is not the map colour something atlas drew.
map_rgb=0,200,0
navy=0,0,128 # NormalColor: clNavy
red=255,0,0  # PassedColor: clRed, the selected destination's point

e2e_make_program "$atlas_binary"
pictures="$prog/画像と音声/マップ画像/canvas"
mkdir -p "$pictures" || e2e_fail "cannot make folders"
convert -size 960x435 "xc:rgb($map_rgb)" BMP3:"$pictures/map.bmp" || e2e_fail "cannot make the map picture"
map_path="$prog/画像と音声/マップファイル/canvas.map"

# Line 1 names the picture and the colours; destination 01 is placed, 00 (the one selected at
# start) is not.
e2e_write_small_map "$map_path" map.bmp 1 '"300,200",,,,,,,'
cp "$map_path" "$work/canvas.map.orig" || e2e_fail "cannot keep a copy of the map file"

e2e_start_xvfb
e2e_start_atlas "$map_path"
e2e_wait_window "マップエディタ"

# The canvas shows the picture at its top-left, so the first map-coloured pixel is its origin.
e2e_poll_screen start origin "$map_rgb"
read -r ox oy <<<"$screen_out"
echo "atlas_canvas: canvas origin at ($ox,$oy) on $DISPLAY"

# expect <step> <name:x,y:r,g,b[:radius]>...: points relative to the canvas's origin, waited for,
# since atlas paints on its own time; the last screenshot of the step stays as $work/<step>.png.
expect() {
    e2e_poll_screen "$1" check "$ox" "$oy" "${@:2}"
}

# mouse_to <x> <y>: the pointer onto a canvas position (no window manager, so no frame to add).
mouse_to() {
    xdotool mousemove "$((ox + $1))" "$((oy + $2))" || e2e_fail "cannot move the mouse"
}

expect loaded "destination 01:300,200:$navy" "unplaced 00:100,100:$map_rgb"
# The map colour must fill the whole canvas, or the origin is not the canvas's.
expect canvas-size "canvas bottom right:959,434:$map_rgb"

# A click on empty canvas places the selected destination 00; the route joins it to 01.
mouse_to 100 100
xdotool click 1 || e2e_fail "cannot click"
expect placed "placed 00:100,100:$red" "destination 01:300,200:$navy" "route 00-01 midpoint:200,150:$navy:1"

# Qt takes a second press at the same place within the double-click time as a double click,
# which would open the destination's editor instead of starting a drag.
sleep 0.6

mouse_to 100 100
xdotool mousedown 1 || e2e_fail "cannot press the mouse button"
for xy in 110,140 120,180 130,220 140,260 150,300; do
    sleep 0.05
    mouse_to "${xy%,*}" "${xy#*,}"
done
sleep 0.05
xdotool mouseup 1 || e2e_fail "cannot release the mouse button"
expect dragged "dragged 00:150,300:$red" "old place:100,100:$map_rgb" \
    "route 00-01 midpoint:225,250:$navy:1" "destination 01:300,200:$navy"

# Undo and redo through the keyboard shortcuts of the focused window.
xdotool windowfocus --sync "$window" || e2e_fail "cannot focus the window"
xdotool key ctrl+z || e2e_fail "cannot press ctrl+z"
expect undo-drag "00 back:100,100:$red" "dragged place:150,300:$map_rgb"
xdotool key ctrl+z || e2e_fail "cannot press ctrl+z"
expect undo-place "00 unplaced:100,100:$map_rgb" "route 00-01 midpoint:200,150:$map_rgb" \
    "destination 01:300,200:$navy"
xdotool key ctrl+shift+z || e2e_fail "cannot press ctrl+shift+z"
expect redo-place "00 placed again:100,100:$red" "route 00-01 midpoint:200,150:$navy:1"
xdotool key ctrl+z || e2e_fail "cannot press ctrl+z"
expect undo-again "00 unplaced:100,100:$map_rgb" "destination 01:300,200:$navy"

# Back at the map as loaded: F4 closes without asking to save.
xdotool key F4 || e2e_fail "cannot press F4"
e2e_wait_exit "F4 on the map as loaded (a question to save?)"
[ "$atlas_status" = 0 ] || e2e_fail "atlas exited with status $atlas_status"
cmp -s "$map_path" "$work/canvas.map.orig" || e2e_fail "the map file changed although nothing was saved"

passed=1
echo "atlas_canvas: passed"
