#!/usr/bin/env bash
# An imported picture that lies beyond the canvas, with real wheel turns, clicks and drags on a
# bare X server: at 50 % the 600 x 400 canvas is 300 x 200 on screen and a 100 x 80 picture comes
# in below it. It must show there with its frame, follow a drag over the bare ground, show whole
# while it lies across the canvas's corner, and stamp the part on the canvas into the saved file.
# Usage: easel_beyond_canvas.sh (it drives the programs in E2E_PROGRAMS, see lib.sh)
set -u

# shellcheck source-path=SCRIPTDIR source=lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
easel_binary=$e2e_programs/easel
e2e_init easel_beyond_canvas convert python3 od

white=255,255,255
red=255,0,0
# A colour no palette entry or control has.
face=30,90,200

picture="$work/in.bmp"
convert -size 100x80 "xc:rgb($face)" -type TrueColor "BMP3:$picture" || e2e_fail "cannot make the picture"

e2e_start_xvfb
e2e_start_easel "$easel_binary"
e2e_find_window '^画像エディタ$' "easel's window"
window=$found
wx=$found_x wy=$found_y
echo "easel_beyond_canvas: on $DISPLAY"

# The canvas's top-left corner at 100 %, then five wheel turns over its middle zoom out to 50 %.
e2e_poll_screen start run "$white" 0 600 "$wx" "$wy" 9999 9999
read -r cx cy <<<"$screen_out"
xdotool mousemove $((cx + 300)) $((cy + 200)) || e2e_fail "cannot move the mouse"
for ((i = 0; i < 5; i++)); do
    xdotool click 5 || e2e_fail "cannot turn the wheel"
done
e2e_poll_screen zoomed run "$white" 0 300 "$wx" "$wy" 9999 9999
[ "$screen_out" = "$cx $cy" ] || e2e_fail "the canvas at 50 % starts at $screen_out, not at $cx $cy"
# The scroll box's own ground, beside the canvas.
ground=$(e2e_pixel "$work/zoomed.png" $((cx + 320)) $((cy + 20)))
[ -n "$ground" ] && [ "$ground" != "$white" ] || e2e_fail "the ground beside the canvas is ${ground:-unreadable}"

e2e_button "$import_button" "画像 of 画像取り込み"
e2e_find_window '^画像の取り込み' "the import form"
form=$found
e2e_menu_item "$form" f o
e2e_dialog_type '^画像を開く$' "$picture" "open dialog of the import form"
# The form shows the picture once the dialog and its pop-ups are gone, so the menu that opens next
# is told from them.
e2e_poll_screen in-form origin "$face"
e2e_menu_item "$form" f x
e2e_wait_gone "$form" "the import form after 終了 - [OK]"

# Centred in the view, below the canvas: shown whole, with its frame.
e2e_poll_screen imported origin "$face"
read -r lx ly <<<"$screen_out"
((ly > cy + 200)) || e2e_fail "the picture came in at $lx $ly, over the canvas (from $cx $cy), not below it"
e2e_poll_screen imported-whole check "$lx" "$ly" "top left:1,1:$face" "bottom right:98,78:$face" \
    "frame:-2,40:$red" "frame below:50,81:$red"

# Dragged over the bare ground by (120, 60).
xdotool mousemove $((lx + 50)) $((ly + 40)) mousedown 1 || e2e_fail "cannot press the mouse button"
for ((i = 1; i <= 8; i++)); do
    xdotool mousemove $((lx + 50 + 120 * i / 8)) $((ly + 40 + 60 * i / 8)) || e2e_fail "cannot move the mouse"
done
xdotool mouseup 1 || e2e_fail "cannot release the mouse button"
lx=$((lx + 120)) ly=$((ly + 60))
e2e_poll_screen dragged check "$lx" "$ly" "top left:1,1:$face" "bottom right:98,78:$face" \
    "where it was:-110,-50:$ground"

# Across the canvas's bottom-right corner, from (250, 160) of the canvas on screen: shown whole.
dx=$((cx + 250 - lx)) dy=$((cy + 160 - ly))
xdotool mousemove $((lx + 50)) $((ly + 40)) mousedown 1 || e2e_fail "cannot press the mouse button"
for ((i = 1; i <= 8; i++)); do
    xdotool mousemove $((lx + 50 + dx * i / 8)) $((ly + 40 + dy * i / 8)) || e2e_fail "cannot move the mouse"
done
xdotool mouseup 1 || e2e_fail "cannot release the mouse button"
e2e_expect across "on the canvas:260,170:$face" "beyond its right:340,170:$face" "beyond its corner:348,238:$face" \
    "frame beyond:351,200:$red" "frame below:300,241:$red" "canvas:240,150:$white"

e2e_button "$import_stamp_button" "描画 of 画像取り込み"
saved="$work/stamped.bmp"
e2e_easel_save_as "$window" "$saved"
# Half-size on screen, so the stamp is 200 x 160 from (500, 320), cut off by the canvas's edges.
e2e_expect_file "$saved" saved "stamp:500:320:$face" "stamp at the corner:599:399:$face" "left of it:499:330:$white" \
    "above it:510:319:$white"

e2e_easel_quit

passed=1
echo "easel_beyond_canvas: passed"
