#!/usr/bin/env bash
# Undo right after a save, with real drags and clicks on a bare X server: a red rectangle is saved
# with Save As, a blue pen stroke is drawn and taken back with 元に戻す, and the saved rectangle must
# still be on screen, with nothing further to undo or redo; 上書き保存 then writes the rectangle.
# Usage: easel_undo_after_save.sh (it drives the programs in E2E_PROGRAMS, see lib.sh)
set -u

# shellcheck source-path=SCRIPTDIR source=lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
easel_binary=$e2e_programs/easel
e2e_init easel_undo_after_save convert identify python3 od

white=255,255,255
red=255,0,0
blue=0,0,255

e2e_start_xvfb
e2e_easel_new_canvas "$easel_binary"
e2e_palette $red
red_x=$palette_x red_y=$palette_y
e2e_palette $blue
blue_x=$palette_x blue_y=$palette_y

e2e_click "$red_x" "$red_y" "the red palette entry"
e2e_button $shape_button "面"
e2e_drag 100 100 300 250
e2e_expect rectangle "left edge:100,175:$red" "right edge:299,175:$red" "past the right edge:300,175:$white" \
    "bottom edge:200,249:$red" "past the bottom edge:200,250:$white"

saved="$work/a.bmp"
e2e_easel_save_as "$window" "$saved"
e2e_find_window '^画像エディタ ～ a\.bmp$' "the title with the saved name"
# Kept aside, so that the overwrite save below is seen arriving.
mv "$saved" "$work/first.bmp" || e2e_fail "cannot move the first save aside"

e2e_click "$blue_x" "$blue_y" "the blue palette entry"
e2e_button $pen_button "ペン"
e2e_drag 50 300 500 300
e2e_expect stroke "stroke:250,300:$blue" "rectangle:100,175:$red"

e2e_button $undo_button "元に戻す"
e2e_expect undone "stroke gone:250,300:$white" "rectangle kept:100,175:$red" "its corner:299,249:$red" \
    "inside:200,175:$white"
# Nothing before the save to go back to, and nothing to redo but the stroke.
e2e_button $undo_button "元に戻す again"
e2e_expect still-saved "rectangle kept:100,175:$red" "stroke gone:250,300:$white"

# 上書き保存 (Alt+F, S) asks first; Return is Yes.
e2e_menu_item "$window" f s
e2e_answer '^easel$' Return "question before saving over a.bmp"
e2e_until "上書き保存 to write $saved" test -s "$saved"
size=$(identify -format '%wx%h' "$saved" 2>&1)
[ "$size" = 600x400 ] || e2e_fail "the overwritten picture is $size, expected 600x400"
e2e_expect_file "$saved" overwritten "left edge:100:175:$red" "far corner:299:249:$red" "inside:200:175:$white" "stroke:250:300:$white" \
    "past the corner:300:250:$white"
cmp -s "$saved" "$work/first.bmp" || e2e_fail "the overwrite save differs from the first save"

# The history starts anew at the save: redo brings nothing back. A stroke drawn after the click
# shows only once the click has been handled.
e2e_button $redo_button "先に戻す"
e2e_drag 50 350 200 350
e2e_expect after-overwrite "new stroke:100,350:$blue" "rectangle kept:100,175:$red" "stroke gone:250,300:$white"
e2e_button $undo_button "元に戻す after the overwrite"
e2e_expect back-to-saved "new stroke gone:100,350:$white" "rectangle kept:100,175:$red" "stroke gone:250,300:$white"

# Back at the saved picture: 終了 closes without a question.
e2e_easel_quit

passed=1
echo "easel_undo_after_save: passed"
