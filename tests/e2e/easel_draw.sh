#!/usr/bin/env bash
# Drawing in the picture editor with real drags and clicks on a bare X server: a red rectangle and
# a blue line on a new canvas, a green fill inside the rectangle, undo and redo with the buttons,
# then Save As through the File menu; the saved BMP's pixels are checked.
# Usage: easel_draw.sh (it drives the programs in E2E_PROGRAMS, see lib.sh)
set -u

# shellcheck source-path=SCRIPTDIR source=lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
easel_binary=$e2e_programs/easel
e2e_init easel_draw convert python3 od

white=255,255,255
red=255,0,0
green=0,255,0
blue=0,0,255

e2e_start_xvfb
e2e_easel_new_canvas "$easel_binary"
e2e_palette $red
red_x=$palette_x red_y=$palette_y
e2e_palette $blue
blue_x=$palette_x blue_y=$palette_y
e2e_palette $green
green_x=$palette_x green_y=$palette_y

e2e_click "$red_x" "$red_y" "the red palette entry"
e2e_button $shape_button "面"
e2e_drag 100 100 300 250
e2e_expect rectangle "left edge:100,175:$red" "right edge:299,175:$red" "inside:200,175:$white" "outside:99,175:$white" \
    "past the right edge:300,175:$white"

e2e_click "$blue_x" "$blue_y" "the blue palette entry"
e2e_button $line_button "線"
e2e_drag 50 350 500 350
e2e_expect line "line:250,350:$blue" "rectangle:100,175:$red"

e2e_click "$green_x" "$green_y" "the green palette entry"
e2e_button $fill_button "塗り"
e2e_click $((cx + 200)) $((cy + 175)) "inside the rectangle"
e2e_expect filled "inside:200,175:$green" "edge:100,175:$red" "outside:99,175:$white" "line:250,350:$blue"

e2e_button $undo_button "元に戻す"
e2e_expect undone "inside:200,175:$white" "edge:100,175:$red" "line:250,350:$blue"
e2e_button $redo_button "先に戻す"
e2e_expect redone "inside:200,175:$green" "edge:100,175:$red"

# Save As: Alt+F opens the file menu, A is 名前を付けて保存(&A); the name box has the keyboard.
saved="$work/drawn.bmp"
e2e_easel_save_as "$window" "$saved"
size=$(identify -format '%wx%h' "$saved" 2>&1)
[ "$size" = 600x400 ] || e2e_fail "the saved picture is $size, expected 600x400"
e2e_expect_file "$saved" saved "rectangle edge:100:175:$red" "rectangle corner:299:249:$red" "inside:200:175:$green" \
    "inside near the edge:101:240:$green" "outside:99:175:$white" "line:250:350:$blue" "corner:599:0:$white"

# Saved: 終了 closes without a question.
e2e_easel_quit

passed=1
echo "easel_draw: passed"
