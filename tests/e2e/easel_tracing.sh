#!/usr/bin/env bash
# The tracing picture in the picture editor with real clicks and drags on a bare X server: "見本"
# opens a picture made here, it is placed by dragging, shows faint under the canvas, a black line is
# drawn across it, and the saved picture holds the line but nothing of the tracing picture.
# Usage: easel_tracing.sh (it drives the programs in E2E_PROGRAMS, see lib.sh)
set -u

# shellcheck source-path=SCRIPTDIR source=lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
easel_binary=$e2e_programs/easel
e2e_init easel_tracing convert python3 od

white=255,255,255
black=0,0,0
# Black seen through the faint blend (179 parts white, 76 the picture's).
faint=179,179,179

# 100 x 80, white (its bottom-left pixel, the colour left out) with a black 40 x 40 square at (30, 20).
sample="$work/sample.bmp"
convert -size 100x80 xc:white -fill black -draw 'rectangle 30,20 69,59' -type TrueColor "BMP3:$sample" ||
    e2e_fail "cannot make the tracing picture"

e2e_start_xvfb
e2e_easel_new_canvas "$easel_binary"

e2e_button "$sample_button" "見本"
e2e_dialog_type '^見本画像を開く$' "$sample" "open dialog of 見本"

# Shown at full strength at the view's top-left while it is placed; dragged 200 right, 100 down.
e2e_expect shown "square:50,40:$black"
e2e_drag 50 40 250 140
e2e_expect placed "faint square:250,140:$faint" "where it was:50,40:$white"

e2e_button "$line_button" "線"
e2e_drag 150 170 450 170
e2e_expect drawn "line:250,170:$black" "faint square:250,140:$faint"

saved="$work/traced.bmp"
e2e_easel_save_as "$window" "$saved"
e2e_expect_file "$saved" saved "line:250:170:$black" "where the square lies:250:140:$white" "where it was shown:50:40:$white"

e2e_easel_quit

passed=1
echo "easel_tracing: passed"
