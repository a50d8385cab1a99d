#!/usr/bin/env bash
# A picture with transparent pixels from another program, through the X clipboard, on a bare X
# server with real drags and clicks: shown with 表示 and dragged across the edge of a red
# rectangle, its clear parts show what lies beneath, on screen and once stamped with 描画; the
# saved BMP has white where it was clear over white, red where it was clear over red.
# Usage: easel_transparent_paste.sh (it drives the programs in E2E_PROGRAMS, see lib.sh)
set -u

# shellcheck source-path=SCRIPTDIR source=lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
easel_binary=$e2e_programs/easel
e2e_init easel_transparent_paste convert identify python3 od xclip

white=255,255,255
red=255,0,0
blue=0,0,255

e2e_start_xvfb
e2e_easel_new_canvas "$easel_binary"
e2e_palette "$red"
red_x=$palette_x red_y=$palette_y

e2e_easel_filled_rectangle "$red_x" "$red_y" "$red"

# 60 x 40, clear all over but for a blue 20 x 20 middle, offered by xclip until the script ends.
outside="$work/clear.png"
convert -size 60x40 xc:none -fill blue -draw "rectangle 20,10 39,29" "PNG32:$outside" ||
    e2e_fail "cannot make the transparent picture"
[ "$(identify -format '%A' "$outside" 2>/dev/null)" != False ] || e2e_fail "the picture has no alpha channel"
e2e_clipboard_offer "$outside" 60x40

# Shown at the canvas's corner (nothing was copied here), then dragged to (70, 120): its left
# third over white, the rest over the rectangle.
e2e_button $paste_show_button "表示"
e2e_expect pasted "middle:30,20:$blue" "clear part:10,30:$white"
e2e_drag 30 20 100 140
e2e_expect dragged "middle:100,140:$blue" "clear over white:80,125:$white" "clear over red:120,125:$red" \
    "clear over red, lower:150,155:$red" "left behind:30,20:$white"
e2e_button $paste_stamp_button "描画"
# Hidden again, the canvas alone shows the stamp.
e2e_button $paste_show_button "隠す"
e2e_expect stamped "middle:100,140:$blue" "clear over white:80,125:$white" "clear over red:120,125:$red" \
    "clear over red, lower:150,155:$red" "middle's edge:90,130:$blue" "past the middle:110,140:$red"

saved="$work/stamped.bmp"
e2e_easel_save_as "$window" "$saved"
e2e_expect_file "$saved" saved "middle:100:140:$blue" "middle's corner:90:130:$blue" "middle's far corner:109:149:$blue" \
    "clear over white:75:125:$white" "clear over white, lower:85:155:$white" "clear over red:120:125:$red" \
    "clear over red, right:125:155:$red" "rectangle:180:170:$red"

e2e_easel_quit

passed=1
echo "easel_transparent_paste: passed"
