#!/usr/bin/env bash
# The map editor, the picture editor and its import form under a window manager (openbox) on a
# 1024x600 and a 1366x768 screen: each window's frame, title bar and borders with it, lies wholly
# in the available area, the map editor's fills it, the others stand centred in it, and each
# status line shows its hint on the screen.
# Usage: windows_fit_the_screen.sh (it drives the programs in E2E_PROGRAMS, see lib.sh)
set -u

# shellcheck source-path=SCRIPTDIR source=lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
e2e_init windows_fit_the_screen openbox xprop xwininfo convert

e2e_make_program "$e2e_programs/atlas"

# The picture editor's own font: its form font's pixel size, and the family it comes to here.
easel_font=(15 IPAPGothic)
# The import row's 画像 button keeps its place from the editor window's bottom-left corner.
import_from_bottom=548,36

# status_line_shows <step> <window> <words> <what> [<pixel size> <family>]: the words a hint begins
# with in the bottom rows of the window's inside, where its status line is, and on the screen.
# (Only its first words are sought: the rest lie at fractions of a pixel that a picture of the
# words alone does not.)
status_line_shows() {
    e2e_until "\"$3\" in the status line of the $4" status_line_try "$@"
}

# status_line_try <step> <window> <words> <what> [<pixel size> <family>]: one try of
# status_line_shows, from where the window is now.
status_line_try() {
    e2e_frame "$2" || {
        e2e_why="the $4 is not framed"
        return 1
    }
    e2e_words_shown "$1" "$inside_x" $((inside_y + inside_h - 26)) "$inside_w" 26 "$3" "status line of the $4" "${@:5}"
}

# wait_centred <window> <what>: waits until the window's frame lies wholly in the available area,
# centred in it, as the programs place a form once the window manager has framed it (until then
# it may stand where a frame of another size put it).
wait_centred() {
    e2e_until "the frame of the $2 to lie centred in ${area_w}x$area_h+$area_x+$area_y" frame_centred "$1"
}

# frame_centred <window>: one try of wait_centred.
frame_centred() {
    e2e_frame_inside "$1" &&
        ((frame_x == area_x + (area_w - frame_w) / 2 && frame_y == area_y + (area_h - frame_h) / 2))
}

# frame_fills_area <window>: whether the window's frame is the available area.
frame_fills_area() {
    e2e_frame "$1" || return 1
    e2e_why="it is ${frame_w}x$frame_h+$frame_x+$frame_y"
    [ "$frame_x,$frame_y,$frame_w,$frame_h" = "$area_x,$area_y,$area_w,$area_h" ]
}

for size in 1024x600 1366x768; do
    e2e_screen_w=${size%x*} e2e_screen_h=${size#*x}
    e2e_start_xvfb
    e2e_start_window_manager
    echo "$e2e_name: $size on $DISPLAY, available area ${area_w}x$area_h+$area_x+$area_y"

    # The map editor: its frame is the available area, and its status line shows the map's hint.
    e2e_start_atlas
    e2e_wait_window "マップエディタ"
    main=$window
    e2e_until "the map editor's frame to fill the available area" frame_fills_area "$main"
    # The pointer over the map (a click would place a destination).
    xdotool mousemove $((frame_x + 120)) $((frame_y + 120)) || e2e_fail "cannot move the pointer"
    status_line_shows "atlas-$size" "$main" "地図画像" "map editor"
    e2e_press "$main" F4
    e2e_wait_exit "F4"
    [ "$atlas_status" = 0 ] || e2e_fail "atlas exited with status $atlas_status on $size"

    # The picture editor, and the import form it opens.
    e2e_start_easel "$e2e_programs/easel"
    e2e_find_window '^画像エディタ$' "picture editor"
    window=$found
    wait_centred "$window" "picture editor on $size"
    xdotool mousemove $((inside_x + 400)) $((inside_y + 200)) || e2e_fail "cannot move the pointer"
    status_line_shows "easel-$size" "$window" "キャンバス" "picture editor" "${easel_font[@]}"
    e2e_click $((inside_x + ${import_from_bottom%,*})) $((inside_y + inside_h - ${import_from_bottom#*,})) "画像"
    e2e_find_window '^画像の取り込み' "import form"
    form=$found
    wait_centred "$form" "import form on $size"
    status_line_shows "import-$size" "$form" "基本操作" "import form"
    e2e_press "$form" Escape
    e2e_wait_gone "$form" "import form after Escape"
    e2e_easel_quit

    e2e_stop_display
done

passed=1
echo "$e2e_name: passed"
