#!/usr/bin/env bash
# Ranges and the desktop's clipboard in the picture editor, with real drags and clicks on a bare X
# server: a filled red rectangle is selected with the range tool and copied with the copy button,
# and the X clipboard must hold a PNG of the range's size; then a blue picture put on the clipboard
# by xclip is pasted, dragged, stamped and saved, and the saved pixels are checked; last a picture of
# 36 megapixels from xclip is pasted.
# Usage: easel_clipboard.sh (it drives the programs in E2E_PROGRAMS, see lib.sh)
set -u

# shellcheck source-path=SCRIPTDIR source=lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
easel_binary=$e2e_programs/easel
e2e_init easel_clipboard convert identify python3 od xclip

white=255,255,255
red=255,0,0
blue=0,0,255

e2e_start_xvfb
e2e_easel_new_canvas "$easel_binary"
e2e_palette "$red"
red_x=$palette_x red_y=$palette_y

e2e_easel_filled_rectangle "$red_x" "$red_y" "$red"

# A range around it, copied with the button: the X clipboard holds a 120 x 100 picture.
e2e_button $range_button "範囲"
e2e_drag 90 90 210 190
e2e_button $copy_button "コピー"
copied="$work/copied.png"
# clipboard_png: whether the X clipboard gives a PNG picture, kept in $copied.
clipboard_png() {
    xclip -selection clipboard -t image/png -o >"$copied" 2>/dev/null && [ -s "$copied" ]
}
e2e_until "a PNG picture on the X clipboard after コピー" clipboard_png
size=$(identify -format '%wx%h' "$copied" 2>&1)
[ "$size" = 120x100 ] || e2e_fail "the copied picture is $size, expected 120x100"
e2e_expect_file "$copied" copied "rectangle:60:50:$red" "margin:5:5:$white"

# Another program's picture: 40 x 30 blue, offered by xclip until the script ends.
outside="$work/outside.png"
convert -size 40x30 xc:blue "$outside" || e2e_fail "cannot make the outside picture"
e2e_clipboard_offer "$outside" 40x30

# Pasted where the range was copied from (90, 90), dragged by (300, 200), stamped.
e2e_button $paste_show_button "表示"
e2e_expect pasted "layer:110,105:$blue" "range copied:150,140:$red"
e2e_drag 110 105 410 305
e2e_expect dragged "layer:410,305:$blue" "left behind:95,95:$white"
e2e_button $paste_stamp_button "描画"

saved="$work/stamped.bmp"
e2e_easel_save_as "$window" "$saved"
e2e_expect_file "$saved" saved "stamp:410:305:$blue" "stamp's corner:390:290:$blue" "stamp's far corner:429:319:$blue" \
    "left of the stamp:389:300:$white" "under the stamp:410:320:$white" "rectangle:150:140:$red" \
    "where the layer was pasted:95:95:$white"

# A 36-megapixel photograph from another program, above Qt's own default limit of 128 MiB, is
# pasted as any other: hidden layer first, then shown with the new picture.
green=0,160,0
photo="$work/photo.png"
convert -size 6000x6000 "xc:rgb($green)" "$photo" || e2e_fail "cannot make the large picture"
e2e_clipboard_offer "$photo" 6000x6000
e2e_button $paste_show_button "隠す"
e2e_button $paste_show_button "表示"
e2e_expect "large picture pasted" "layer:300,300:$green" "layer's far side:500,350:$green"

e2e_easel_quit

passed=1
echo "easel_clipboard: passed"
