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

xclip_pid=
stop_xclip() {
    if [ -n "$xclip_pid" ]; then
        kill "$xclip_pid" 2>/dev/null
        wait "$xclip_pid" 2>/dev/null
    fi
    xclip_pid=
}
trap 'stop_xclip; e2e_cleanup' EXIT

white=255,255,255
red=255,0,0
blue=0,0,255
# Buttons, from the window's top-left corner: the tool column, then the row under the canvas.
shape_button=39,220
fill_button=117,220
paste_show_button=89,616
paste_stamp_button=137,616

e2e_start_xvfb
e2e_start_easel "$easel_binary"
e2e_find_window '^画像エディタ$' "easel's window"
window=$found
wx=$found_x wy=$found_y ww=$found_w wh=$found_h
echo "easel_transparent_paste: on $DISPLAY"

e2e_poll_screen start 20 run "$white" 0 600 "$wx" "$wy" "$ww" "$wh"
read -r cx cy <<<"$screen_out"
e2e_poll_screen panel-red 5 origin "$red"
read -r px py <<<"$screen_out"
red_x=$((px + 6)) red_y=$((py + 6))
button() {
    e2e_click $((wx + ${1%,*})) $((wy + ${1#*,})) "$2"
}

# A filled red rectangle from (100, 100) to (199, 179).
e2e_click "$red_x" "$red_y" "the red palette entry"
button $shape_button "面"
e2e_drag 100 100 200 180
button $fill_button "塗り"
e2e_click "$red_x" "$red_y" "the red palette entry"
e2e_click $((cx + 150)) $((cy + 140)) "inside the rectangle"
e2e_expect filled "inside:150,140:$red" "edge:100,140:$red" "outside:99,140:$white"

# 60 x 40, clear all over but for a blue 20 x 20 middle, offered by xclip until the script ends.
outside="$work/clear.png"
convert -size 60x40 xc:none -fill blue -draw "rectangle 20,10 39,29" "PNG32:$outside" ||
    e2e_fail "cannot make the transparent picture"
[ "$(identify -format '%A' "$outside" 2>/dev/null)" != False ] || e2e_fail "the picture has no alpha channel"
xclip -quiet -selection clipboard -t image/png -i "$outside" >/dev/null 2>&1 &
xclip_pid=$!
for ((t = 0; t < 200; t++)); do
    [ "$(xclip -selection clipboard -t image/png -o 2>/dev/null | identify -format '%wx%h' - 2>/dev/null)" = 60x40 ] && break
    sleep 0.1
done

# Shown at the canvas's corner (nothing was copied here), then dragged to (70, 120): its left
# third over white, the rest over the rectangle.
button $paste_show_button "表示"
e2e_expect pasted "middle:30,20:$blue" "clear part:10,30:$white"
e2e_drag 30 20 100 140
e2e_expect dragged "middle:100,140:$blue" "clear over white:80,125:$white" "clear over red:120,125:$red" \
    "clear over red, lower:150,155:$red" "left behind:30,20:$white"
button $paste_stamp_button "描画"
# Hidden again, the canvas alone shows the stamp.
button $paste_show_button "隠す"
e2e_expect stamped "middle:100,140:$blue" "clear over white:80,125:$white" "clear over red:120,125:$red" \
    "clear over red, lower:150,155:$red" "middle's edge:90,130:$blue" "past the middle:110,140:$red"

saved="$work/stamped.bmp"
e2e_easel_save_as "$window" "$saved"
for point in "middle:100:140:$blue" "middle's corner:90:130:$blue" "middle's far corner:109:149:$blue" \
    "clear over white:75:125:$white" "clear over white, lower:85:155:$white" "clear over red:120:125:$red" \
    "clear over red, right:125:155:$red" "rectangle:180:170:$red"; do
    IFS=: read -r name x y want <<<"$point"
    got=$(e2e_pixel "$saved" "$x" "$y")
    [ "$got" = "$want" ] || e2e_fail "saved $name at ($x,$y) is ${got:-unreadable}, expected $want"
done

e2e_menu_item "$window" f x
e2e_wait_exit 10 "終了 after saving"
[ "$atlas_status" = 0 ] || e2e_fail "easel exited with status $atlas_status"

passed=1
echo "easel_transparent_paste: passed"
