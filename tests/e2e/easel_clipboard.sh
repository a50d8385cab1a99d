#!/usr/bin/env bash
# Ranges and the desktop's clipboard in the picture editor, with real drags and clicks on a bare X
# server: a filled red rectangle is selected with the range tool and copied with the copy button,
# and the X clipboard must hold a PNG of the range's size; then a blue picture put on the clipboard
# by xclip is pasted, dragged, stamped and saved, and the saved pixels are checked.
# Usage: easel_clipboard.sh (it drives the programs in E2E_PROGRAMS, see lib.sh)
set -u

# shellcheck source-path=SCRIPTDIR source=lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
easel_binary=$e2e_programs/easel
e2e_init easel_clipboard convert identify python3 od xclip

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
# Buttons, from the window's top-left corner: the tool column, then the two rows under the canvas.
shape_button=39,220
fill_button=117,220
range_button=230,591
copy_button=395,591
paste_show_button=89,616
paste_stamp_button=137,616

e2e_start_xvfb
e2e_start_easel "$easel_binary"
e2e_find_window '^画像エディタ$' "easel's window"
window=$found
wx=$found_x wy=$found_y ww=$found_w wh=$found_h
echo "easel_clipboard: on $DISPLAY"

e2e_poll_screen start 20 run "$white" 0 600 "$wx" "$wy" "$ww" "$wh"
read -r cx cy <<<"$screen_out"
e2e_poll_screen panel-red 5 origin "$red"
read -r px py <<<"$screen_out"
red_x=$((px + 6)) red_y=$((py + 6))

button() {
    e2e_click $((wx + ${1%,*})) $((wy + ${1#*,})) "$2"
}

# A filled red rectangle: its outline, then a fill inside it.
e2e_click "$red_x" "$red_y" "the red palette entry"
button $shape_button "面"
e2e_drag 100 100 200 180
button $fill_button "塗り"
e2e_click "$red_x" "$red_y" "the red palette entry"
e2e_click $((cx + 150)) $((cy + 140)) "inside the rectangle"
e2e_expect filled "inside:150,140:$red" "edge:100,140:$red" "outside:99,140:$white"

# A range around it, copied with the button: the X clipboard holds a 120 x 100 picture.
button $range_button "範囲"
e2e_drag 90 90 210 190
button $copy_button "コピー"
copied="$work/copied.png"
for ((t = 0; t < 200; t++)); do
    xclip -selection clipboard -t image/png -o >"$copied" 2>/dev/null && [ -s "$copied" ] && break
    sleep 0.1
done
[ -s "$copied" ] || e2e_fail "the X clipboard holds no PNG picture after コピー"
size=$(identify -format '%wx%h' "$copied" 2>&1)
[ "$size" = 120x100 ] || e2e_fail "the copied picture is $size, expected 120x100"
for point in "rectangle:60:50:$red" "margin:5:5:$white"; do
    IFS=: read -r name x y want <<<"$point"
    got=$(e2e_pixel "$copied" "$x" "$y")
    [ "$got" = "$want" ] || e2e_fail "copied $name at ($x,$y) is ${got:-unreadable}, expected $want"
done

# Another program's picture: 40 x 30 blue, offered by xclip until the script ends.
outside="$work/outside.png"
convert -size 40x30 xc:blue "$outside" || e2e_fail "cannot make the outside picture"
xclip -quiet -selection clipboard -t image/png -i "$outside" >/dev/null 2>&1 &
xclip_pid=$!
for ((t = 0; t < 200; t++)); do
    [ "$(xclip -selection clipboard -t image/png -o 2>/dev/null | identify -format '%wx%h' - 2>/dev/null)" = 40x30 ] && break
    sleep 0.1
done

# Pasted where the range was copied from (90, 90), dragged by (300, 200), stamped.
button $paste_show_button "表示"
e2e_expect pasted "layer:110,105:$blue" "range copied:150,140:$red"
e2e_drag 110 105 410 305
e2e_expect dragged "layer:410,305:$blue" "left behind:95,95:$white"
button $paste_stamp_button "描画"

saved="$work/stamped.bmp"
e2e_easel_save_as "$window" "$saved"
for point in "stamp:410:305:$blue" "stamp's corner:390:290:$blue" "stamp's far corner:429:319:$blue" \
    "left of the stamp:389:300:$white" "under the stamp:410:320:$white" "rectangle:150:140:$red" \
    "where the layer was pasted:95:95:$white"; do
    IFS=: read -r name x y want <<<"$point"
    got=$(e2e_pixel "$saved" "$x" "$y")
    [ "$got" = "$want" ] || e2e_fail "saved $name at ($x,$y) is ${got:-unreadable}, expected $want"
done

e2e_menu_item "$window" f x
e2e_wait_exit 10 "終了 after saving"
[ "$atlas_status" = 0 ] || e2e_fail "easel exited with status $atlas_status"

passed=1
echo "easel_clipboard: passed"
