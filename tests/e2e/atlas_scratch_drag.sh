#!/usr/bin/env bash
# Text moved by drag and drop inside a coloured scratch page: "{B" is dragged from "{B}x" to the end
# of "[yy]", right after a bold bracket, with the real mouse. Both lines are coloured again once it
# lands: the "}" left behind and the unclosed "{B" are plain, ink for ink like the same text typed
# on the lines below; undo brings the bracket back whole.
# Usage: atlas_scratch_drag.sh (it drives the programs in E2E_PROGRAMS, see lib.sh)
set -u

# shellcheck source-path=SCRIPTDIR source=lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
atlas_binary=$e2e_programs/atlas
e2e_init atlas_scratch_drag

map_name=ドラッグ試験
highlight=48,140,198 # selected rows and text

e2e_make_program "$atlas_binary"
mkdir -p "$prog/画像と音声/マップ画像/$map_name" || e2e_fail "cannot make folders"
map_path="$prog/画像と音声/マップファイル/$map_name.map"
e2e_write_small_map "$map_path" '' 0 '"100,200",港町,,,,,,'

e2e_start_xvfb
e2e_start_atlas "$map_path"
e2e_wait_window "^マップエディタ ～ $map_name\\.map\$"
main=$window
e2e_open_description_window start "$main"
# The page's text, below the window's menus, tool buttons and tabs.
page_x=$((found_x + 4)) page_y=$((found_y + 90)) page_w=$((found_w - 8)) page_h=$((found_h - 140))

e2e_menu_item "$larger" m w
e2e_find_window '^マップエディタ$' "description window showing the blank page"
e2e_focus "$larger"
for line in '{B}x' '[yy]' '[yy]{B' '}x'; do
    xdotool type --delay 20 "$line" || e2e_fail "cannot type $line"
    xdotool key Return || e2e_fail "cannot press Return"
done

# select_run <step> [<above>]: waits for the selection on the page (its top above the given row);
# sets sel_x, sel_y (its top left).
select_run() {
    e2e_until "the selection of step $1${2:+ above row $2}" selection_shown "$@"
}
# selection_shown <step> [<above>]: one try of select_run.
selection_shown() {
    e2e_screen_shows "$1" run "$highlight" 0 2+ "$page_x" "$page_y" "$page_w" "$page_h" || return 1
    read -r sel_x sel_y <<<"$screen_out"
    e2e_why="it is at row $sel_y (screenshot $work/$1.png)"
    ((sel_y < ${2:-100000}))
}
e2e_press "$larger" ctrl+Home Down shift+End
select_run line2
line2_y=$sel_y
e2e_press "$larger" ctrl+Home shift+Right shift+Right
select_run line1 $((line2_y - 8))
x0=$sel_x line1_y=$sel_y
step=$((line2_y - line1_y))
((step > 8 && step < 40)) || e2e_fail "lines $line1_y and $line2_y are no line apart"

# ink <shot> <line>: dark pixels on that line (0 the first) of the page's text, less its first and
# last row, which a bold bracket of the neighbouring line may reach into.
ink() {
    convert "$1" -depth 8 rgb:- |
        python3 "$e2e_dir/pixels.py" count "$e2e_screen_w" "$e2e_screen_h" $((x0 - 2)) \
            $((line1_y + $2 * step + 1)) 120 $((step - 2)) 0,0,0 100
}
# wait_ink <step> <lines> <expected>: waits until those lines hold that many dark pixels each.
wait_ink() {
    e2e_until "lines $2 of step $1 to hold $3 dark pixels" ink_is "$@"
}
# ink_is <step> <lines> <expected>: one try of wait_ink.
ink_is() {
    local line inks=
    e2e_screenshot "$work/$1.png"
    for line in $2; do inks+="${inks:+ }$(ink "$work/$1.png" "$line")"; done
    e2e_why="they hold $inks (screenshot $work/$1.png)"
    [ "$inks" = "$3" ]
}
# As typed, with the caret away from the four lines, so that only their text is on them; once the
# selection is gone from the screen.
e2e_press "$larger" ctrl+End
# selection_gone: whether a fresh $work/typed.png shows no selection on the page.
selection_gone() {
    ! e2e_shot_rgb "$work/typed.png" |
        python3 "$e2e_dir/pixels.py" run "$e2e_screen_w" "$e2e_screen_h" "$highlight" 0 2+ \
            "$page_x" "$page_y" "$page_w" "$page_h" >/dev/null
}
e2e_until "the selection to go after Ctrl+End" selection_gone
typed=
for line in 0 1 2 3; do typed+="${typed:+ }$(ink "$work/typed.png" "$line")"; done
read -r bracket answer typed_landed typed_left <<<"$typed"
((typed_landed > answer && bracket > typed_left)) || e2e_fail "typed lines hold $typed dark pixels"
e2e_press "$larger" ctrl+Home shift+Right shift+Right
select_run selected $((line2_y - 8))

# The drag: pressed on the selection, moved in small steps past the end of the second line.
xdotool mousemove $((x0 + 6)) $((line1_y + step / 2)) mousedown 1 || e2e_fail "cannot press the mouse button"
for ((i = 1; i <= 8; i++)); do
    xdotool mousemove $((x0 + 6 + 80 * i / 8)) $((line1_y + step / 2 + step * i / 8)) || e2e_fail "cannot move the mouse"
done
xdotool mouseup 1 || e2e_fail "cannot release the mouse button"
e2e_press "$larger" ctrl+End
# Same text, same place on its line: the same pixels, once the drop has been coloured.
wait_ink dropped "0 1 2 3" "$typed_left $typed_landed $typed_landed $typed_left"

# Undo: the bracket whole and bold again, the second line as it was typed.
e2e_press "$larger" ctrl+z ctrl+End
wait_ink undone "0 1" "$bracket $answer"

passed=1
echo "atlas_scratch_drag: passed"
