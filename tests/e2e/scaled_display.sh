#!/usr/bin/env bash
# The pixel under the pointer on a display at 150 %, with real clicks and drags on a bare X server:
# atlas (QT_SCALE_FACTOR=1.5) places eight destinations by clicks on device pixels of every kind
# (a logical pixel holds one and a half of them each way) and saves; the map file must name the map
# pixel under each click. easel (Xft.dpi 144, as desktops set it) draws a pen stroke along a row;
# the saved picture must hold it on the picture pixels under the pointer, never their neighbours.
# Usage: scaled_display.sh (it drives the programs in E2E_PROGRAMS, see lib.sh)
set -u

here=$(dirname "${BASH_SOURCE[0]}")
# shellcheck source-path=SCRIPTDIR source=lib.sh
source "$here/lib.sh"
e2e_init scaled_display convert identify python3 od xrdb

map_rgb=0,200,0
white=255,255,255
blue=0,0,255
# The display's scale as a fraction: 3/2 device pixels to the logical one.
scale_p=3 scale_q=2

# edge_of <first device pixel of the area> <the window's device position>: q times the area's edge
# in device pixels. The area lies a whole number L of logical pixels into the window, so its edge is
# the window's position plus L x p / q; a device pixel shows it when its middle lies in it, so the
# first one is within half a pixel of the edge.
edge_of() {
    local first=$1 window_at=$2 l
    l=$(((scale_q * (first - window_at) - scale_q / 2 + scale_p - 1) / scale_p))
    echo $((scale_q * window_at + scale_p * l))
}

# pixel_under <device pixel> <edge_of the area>: the area's pixel under the pointer on that device
# pixel, counted in integers: floor((device - edge) x q / p).
pixel_under() {
    local n=$((scale_q * $1 - $2))
    if ((n >= 0)); then echo $((n / scale_p)); else echo $(((n - scale_p + 1) / scale_p)); fi
}

e2e_start_xvfb

# atlas: a map of a solid picture, nothing placed, destination 00 selected.
e2e_make_program "$e2e_programs/atlas"
pictures="$prog/画像と音声/マップ画像/scaled"
mkdir -p "$pictures" || e2e_fail "cannot make folders"
convert -size 960x435 "xc:rgb($map_rgb)" BMP3:"$pictures/map.bmp" || e2e_fail "cannot make the map picture"
map_path="$prog/画像と音声/マップファイル/scaled.map"
e2e_write_small_map "$map_path" map.bmp

QT_SCALE_FACTOR=1.5 e2e_start_atlas "$map_path"
e2e_find_window '^マップエディタ' "atlas's window"
atlas_window=$found
wx=$found_x wy=$found_y
e2e_poll_screen start origin "$map_rgb"
read -r ox oy <<<"$screen_out"
edge_x=$(edge_of "$ox" "$wx") edge_y=$(edge_of "$oy" "$wy")
echo "scaled_display: atlas's window at ($wx,$wy), its canvas from ($ox,$oy) on $DISPLAY"

# Each click places the selected destination and gives the grid the keyboard; Down selects the
# next. The clicks lie apart, so none lands on a point already placed nor makes a double click.
expected=()
for ((i = 0; i < 8; i++)); do
    dx=$((ox + 90 + 61 * i)) dy=$((oy + 60 + 31 * i))
    expected+=("$(pixel_under "$dx" "$edge_x"),$(pixel_under "$dy" "$edge_y")")
    e2e_click "$dx" "$dy" "the canvas at device pixel ($dx,$dy)"
    xdotool key Down || e2e_fail "cannot press Down"
done
# The last point placed, shown as the canvas draws it: the map pixel under the click is its middle.
e2e_poll_screen placed count $((ox + 90 + 61 * 7 - 4)) $((oy + 60 + 31 * 7 - 4)) 9 9 "$map_rgb" 0 0 >/dev/null
e2e_overwrite_map "$atlas_window"
want=$(printf '"%s",,,,,,,|' "${expected[@]}")
e2e_wait_map_lines "$map_path" 2,9 "${want%|}"
e2e_press "$atlas_window" F4
e2e_wait_exit "F4 on the saved map"
[ "$atlas_status" = 0 ] || e2e_fail "atlas exited with status $atlas_status"

# easel at the same scale, told by the X resources as a desktop tells it.
printf 'Xft.dpi: 144\n' | xrdb -merge || e2e_fail "cannot set Xft.dpi"
e2e_start_easel "$e2e_programs/easel"
e2e_find_window '^画像エディタ$' "easel's window"
window=$found
wx=$found_x wy=$found_y ww=$found_w wh=$found_h
# The new canvas, 600 x 400, is 900 device pixels wide; its first row is the only white run of that.
e2e_poll_screen easel-start run "$white" 0 900 "$wx" "$wy" "$ww" "$wh"
read -r cx cy <<<"$screen_out"
edge_x=$(edge_of "$cx" "$wx") edge_y=$(edge_of "$cy" "$wy")
echo "scaled_display: easel's window at ($wx,$wy), its canvas from ($cx,$cy)"

e2e_palette "$blue"
e2e_click "$palette_x" "$palette_y" "the blue palette entry"
# The pen button, from the window's corner in logical pixels.
e2e_click $((wx + 39 * scale_p / scale_q)) $((wy + 189 * scale_p / scale_q)) "ペン"
# A stroke along a row, from a device pixel in the middle of a logical one to one at its start.
e2e_drag 301 151 361 151
row=$(pixel_under $((cy + 151)) "$edge_y")
from=$(pixel_under $((cx + 301)) "$edge_x") to=$(pixel_under $((cx + 361)) "$edge_x")
echo "scaled_display: the stroke goes along row $row from $from to $to"
e2e_poll_screen stroke count $((cx + 320)) $((cy + 148)) 20 7 "$blue" 0 10 >/dev/null

saved="$work/stroke.bmp"
e2e_easel_save_as "$window" "$saved"
size=$(identify -format '%wx%h' "$saved" 2>&1)
[ "$size" = 600x400 ] || e2e_fail "the saved picture is $size, expected 600x400"
e2e_expect_file "$saved" saved "start:$from:$row:$blue" "end:$to:$row:$blue" "middle:$(((from + to) / 2)):$row:$blue" \
    "before the start:$((from - 1)):$row:$white" "past the end:$((to + 1)):$row:$white" \
    "above:$from:$((row - 1)):$white" "below:$to:$((row + 1)):$white"
e2e_easel_quit

passed=1
echo "scaled_display: passed"
