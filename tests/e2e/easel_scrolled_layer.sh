#!/usr/bin/env bash
# A copied picture moved and stamped in a scrolled, zoomed view, with real wheel turns, drags and
# clicks on a bare X server: a 960 x 435 picture at 200 %, another program's picture pasted,
# moved to the view's corner (原点移動), dragged, the view scrolled by its bars, moved to the corner again,
# stamped (描画), dragged away and hidden (隠す). The screen must show it only where it is after
# every step, a range's rubber band drawn whole, and the saved file the one stamp where it was
# shown.
# Usage: easel_scrolled_layer.sh (it drives the programs in E2E_PROGRAMS, see lib.sh)
set -u

# shellcheck source-path=SCRIPTDIR source=lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
easel_binary=$e2e_programs/easel
e2e_init easel_scrolled_layer convert identify python3 od xclip

white=255,255,255
red=255,0,0
# Colours no palette entry or control has: the marker on the picture, the pasted picture, and
# what the stamp's flash turns the pasted picture into.
marker=10,200,120
pasted=200,40,160
flash=200,0,0

# A 20 x 20 marker at (100, 60) tells where the view shows the picture.
picture="$work/wide.bmp"
convert -size 960x435 xc:white -fill "rgb($marker)" -draw 'rectangle 100,60 119,79' -type TrueColor \
    "BMP3:$picture" || e2e_fail "cannot make the picture"
outside="$work/outside.png"
convert -size 40x30 "xc:rgb($pasted)" "$outside" || e2e_fail "cannot make the pasted picture"

e2e_start_xvfb
e2e_clipboard_offer "$outside" 40x30
e2e_start_easel "$easel_binary" "$picture"
e2e_find_window '画像エディタ' "easel's window"
window=$found
wx=$found_x wy=$found_y
echo "easel_scrolled_layer: on $DISPLAY"

# The view's top-left corner, at 100 % and not scrolled: the first row of the canvas.
e2e_poll_screen opened run "$white" 0 600+ "$wx" "$wy" 9999 9999
read -r cx cy <<<"$screen_out"
e2e_expect opened-marker "marker:100,60:$marker" "marker's end:119,79:$marker"

# Ten wheel turns over the middle of the view zoom in to 200 %: the marker grows to 40.
xdotool mousemove $((cx + 330)) $((cy + 240)) || e2e_fail "cannot move the mouse"
for ((i = 0; i < 10; i++)); do
    xdotool click 4 || e2e_fail "cannot turn the wheel"
done
e2e_poll_screen zoomed run "$marker" 0 40 "$wx" "$wy" 9999 9999
read -r mx my <<<"$screen_out"

# Pasted where the last range was copied from, none yet: the corner of the picture and the view.
e2e_button $paste_show_button "表示"
e2e_expect pasted "top left:0,0:$pasted" "bottom right:79,59:$pasted" "beyond the frame:84,64:$white"

# Dragged into the view by (260, 170): whole picture pixels, so that far on screen too.
xdotool mousemove $((cx + 40)) $((cy + 30)) mousedown 1 || e2e_fail "cannot press the mouse button"
for ((i = 1; i <= 8; i++)); do
    xdotool mousemove $((cx + 40 + 260 * i / 8)) $((cy + 30 + 170 * i / 8)) || e2e_fail "cannot move the mouse"
done
# Still held: where it passed is the canvas again.
e2e_expect dragging "layer:300,200:$pasted" "passed:160,100:$white" "corner:5,5:$white"
xdotool mouseup 1 || e2e_fail "cannot release the mouse button"
e2e_expect dragged "layer top left:260,170:$pasted" "layer bottom right:339,229:$pasted" "corner:5,5:$white"

# A wheel turn at the view's edge would move the picture shown: the scroll bars' arrows scroll
# instead, down by 50 and right by 50. The view ends where its white ends, on its first row and
# column (the marker lies elsewhere); each arrow is the last square of its bar.
view_extent() {
    convert "$work/zoomed.png" -depth 8 rgb:- | python3 "$e2e_dir/pixels.py" count "$e2e_screen_w" "$e2e_screen_h" "$@" "$white" 0
}
vw=$(view_extent "$cx" $((cy + 2)) 2000 1) vh=$(view_extent $((cx + 2)) "$cy" 1 2000)
((vw > 300 && vh > 300)) || e2e_fail "cannot measure the view: ${vw:-?} x ${vh:-?}"
xdotool mousemove $((cx + vw + 7)) $((cy + vh - 7)) click 1 || e2e_fail "cannot click the scroll bar"
xdotool mousemove $((cx + vw - 7)) $((cy + vh + 7)) click 1 || e2e_fail "cannot click the scroll bar"
e2e_poll_screen scrolled check $((mx - 50)) $((my - 50)) "marker:0,0:$marker" "marker's end:39,39:$marker"
e2e_expect scrolled-layer "layer top left:210,120:$pasted" "layer bottom right:289,179:$pasted" \
    "below it:250,190:$white"

# To the corner: nothing is left where it was.
e2e_button $origin_button "原点移動"
e2e_expect cornered "layer:0,0:$pasted" "layer's end:79,59:$pasted" "where it was:250,150:$white" \
    "where it was before the scroll:300,200:$white"

# Stamped: once the flash is over (300 ms) the picture shows as it was, stamp and layer in one.
# A screenshot from before the stamp shows that too; the stamp is the first step that can be undone,
# and the undo button's repaint goes out with the flash, so only screenshots after it count.
# undo_look: the undo button's pixels on a fresh screenshot, as a checksum.
undo_look() {
    e2e_screenshot "$work/undo-button.png" &&
        convert "$work/undo-button.png" -crop "24x24+$((wx + ${undo_button%,*} - 12))+$((wy + ${undo_button#*,} - 12))" \
            +repage -depth 8 rgb:- | md5sum
}
# undo_changed: whether the undo button looks other than $undo_before.
undo_changed() {
    [ "$(undo_look)" != "$undo_before" ]
}
# stamped_clean: whether a fresh screenshot shows the layer at the corner without the flash colour.
stamped_clean() {
    local flashed
    e2e_screen_shows stamped check "$cx" "$cy" "layer:40,30:$pasted" "layer's end:79,59:$pasted" || return 1
    flashed=$(convert "$work/stamped.png" -depth 8 rgb:- |
        python3 "$e2e_dir/pixels.py" count "$e2e_screen_w" "$e2e_screen_h" "$cx" "$cy" 80 60 "$flash" 0)
    e2e_why="the flash colour is on ${flashed:-uncounted} pixels (screenshot $work/stamped.png)"
    [ "$flashed" = 0 ]
}
undo_before=$(undo_look)
e2e_button $paste_stamp_button "描画"
e2e_until "the undo button to change with 描画" undo_changed
e2e_until "the flash to end after the stamp" stamped_clean

# Dragged off the stamp and hidden: the stamp stays, the layer goes.
xdotool mousemove $((cx + 40)) $((cy + 30)) mousedown 1 || e2e_fail "cannot press the mouse button"
for ((i = 1; i <= 8; i++)); do
    xdotool mousemove $((cx + 40 + 300 * i / 8)) $((cy + 30 + 200 * i / 8)) || e2e_fail "cannot move the mouse"
done
xdotool mouseup 1 || e2e_fail "cannot release the mouse button"
e2e_expect dragged-off "layer:340,230:$pasted" "stamp:40,30:$pasted"
e2e_button $paste_show_button "隠す"
e2e_expect hidden "where the layer was:340,230:$white" "its end:379,259:$white" "stamp:40,30:$pasted"
# Nor its frame.
e2e_wait_none hidden-frame $((cx + 280)) $((cy + 180)) 120 100 "$red" 60

# The range's rubber band in the scrolled view, all four sides while the button is held.
e2e_button $range_button "範囲"
xdotool mousemove $((cx + 100)) $((cy + 100)) mousedown 1 || e2e_fail "cannot press the mouse button"
for ((i = 1; i <= 8; i++)); do
    xdotool mousemove $((cx + 100 + 200 * i / 8)) $((cy + 100 + 150 * i / 8)) || e2e_fail "cannot move the mouse"
done
e2e_expect band "top:200,100:$red:1" "bottom:200,250:$red:1" "left:100,175:$red:1" "right:300,175:$red:1"
xdotool mouseup 1 || e2e_fail "cannot release the mouse button"

saved="$work/stamped.bmp"
e2e_easel_save_as "$window" "$saved"
# The view's corner lies (cx - mx + 50, cy - my + 50) screen pixels from the marker's top-left,
# which is picture pixel (100, 60): the stamp's top-left is half that from it, rounded down.
half_down() { echo $((($1 - ($1 & 1)) / 2)); }
sx=$((100 + $(half_down $((cx - mx + 50))))) sy=$((60 + $(half_down $((cy - my + 50)))))
e2e_expect_file "$saved" saved "stamp:$sx:$sy:$pasted" "stamp's end:$((sx + 39)):$((sy + 29)):$pasted" \
    "left of it:$((sx - 1)):$((sy + 10)):$white" "beyond it:$((sx + 40)):$((sy + 30)):$white" \
    "where the layer was hidden:$((sx + 170)):$((sy + 115)):$white" "marker:100:60:$marker"
count=$(convert "$saved" -depth 8 rgb:- | python3 "$e2e_dir/pixels.py" count 960 435 0 0 960 435 "$pasted" 0 0)
[ "$count" = 1200 ] || e2e_fail "the saved picture has $count pixels of the pasted picture, expected one stamp of 1200"

e2e_easel_quit

passed=1
echo "easel_scrolled_layer: passed"
