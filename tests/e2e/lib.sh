# shellcheck shell=bash
# Shared by the end-to-end scripts: a temporary folder, a bare X server, the program started from a
# copy of itself, and cleanup on every exit path. Source it, then call e2e_init <script name>.
# Dialog texts, file names and the window title are Japanese; every comparison is on UTF-8 bytes.
export LC_ALL=C.UTF-8
e2e_dir=$(dirname "${BASH_SOURCE[0]}")
# The folder of the programs the scripts drive (atlas, easel and the test tools): the plain build's
# unless E2E_PROGRAMS names another, as CTest does for the build it runs in.
e2e_programs=${E2E_PROGRAMS:-$(cd "$e2e_dir/../.." && pwd)/build/bin}
# The size of the display e2e_start_xvfb makes, as pixels.py wants it.
e2e_screen_w=1280
e2e_screen_h=1024

# The scripts that source this read and set these.
# shellcheck disable=SC2034
{
    e2e_name=e2e
    work=
    prog=
    window=
    xvfb_pid=
    atlas_pid=
    atlas_status=
    passed=0
    found=
    found_x=
    found_y=
    found_w=
    found_h=
    screen_out=
}

e2e_cleanup() {
    # Whatever happened, nothing the script started outlives it.
    if [ -n "$atlas_pid" ] && kill -0 "$atlas_pid" 2>/dev/null; then
        kill "$atlas_pid" 2>/dev/null
        sleep 0.2
        kill -9 "$atlas_pid" 2>/dev/null
    fi
    if [ -n "$xvfb_pid" ] && kill -0 "$xvfb_pid" 2>/dev/null; then
        kill "$xvfb_pid" 2>/dev/null
        wait "$xvfb_pid" 2>/dev/null
    fi
    [ -n "$work" ] || return
    # ATLAS_E2E_KEEP=1 keeps a passing run's folder too, to look at its screenshots.
    if [ "$passed" = 1 ] && [ "${ATLAS_E2E_KEEP:-0}" != 1 ]; then
        rm -rf "$work"
    else
        echo "$e2e_name: kept $work for inspection" >&2
        local shot
        for shot in "$work"/*.png; do
            [ -f "$shot" ] && echo "$e2e_name: screenshot $shot" >&2
        done
    fi
}

e2e_fail() {
    echo "$e2e_name: FAIL: $*" >&2
    # What was on screen when it went wrong; the cleanup lists it.
    if [ -n "$xvfb_pid" ] && kill -0 "$xvfb_pid" 2>/dev/null; then
        e2e_screenshot "$work/failure.png"
    fi
    if [ -n "$work" ] && [ -s "$work/atlas.log" ]; then
        echo "---- atlas output ----" >&2
        cat "$work/atlas.log" >&2
    fi
    exit 1
}

# e2e_init <name> <tool>...: makes $work, sets the traps and checks that the tools are there.
e2e_init() {
    e2e_name=$1
    shift
    work=$(mktemp -d "${TMPDIR:-/tmp}/$e2e_name.XXXXXX") || exit 1
    trap e2e_cleanup EXIT
    trap 'exit 130' INT TERM
    local tool
    for tool in Xvfb xdotool import xdpyinfo iconv "$@"; do
        command -v "$tool" >/dev/null || e2e_fail "$tool is not installed"
    done
}

# e2e_make_program <atlas binary>: the program keeps its folders next to itself, so it runs from a
# copy in $prog.
e2e_make_program() {
    [ -x "$1" ] || e2e_fail "no program at $1"
    prog="$work/prog"
    mkdir -p "$prog/画像と音声/マップファイル" || e2e_fail "cannot make folders"
    cp "$1" "$prog/atlas" || e2e_fail "cannot copy $1"
}

# e2e_write_map <path>: stdin, UTF-8 with CR LF, becomes a code page 932 map file like every map.
# It runs at the end of a pipe, in a subshell, so the caller fails on its status.
e2e_write_map() {
    iconv -f UTF-8 -t CP932 >"$1"
}

# e2e_write_small_map <path> <map picture> [<destination> <line>]...: a map file with the default
# colours, every destination empty but those given (each a whole comma line), no treasures.
e2e_write_small_map() {
    local path=$1 picture=$2 i
    shift 2
    local -A given=()
    while (($# >= 2)); do
        given[$1]=$2
        shift 2
    done
    {
        printf ',,,%s,clNavy,clRed,clYellow,\r\n' "$picture"
        for ((i = 0; i < 62; i++)); do printf '%s\r\n' "${given[$i]:-,,,,,,,}"; done
        printf '\r\n\r\n'
    } | e2e_write_map "$path" || e2e_fail "cannot write the map file"
}

# e2e_start_xvfb: a 1280x1024x24 display (e2e_screen_w x e2e_screen_h) of our own, exported as
# DISPLAY: the first free number from 90 to 99 whose server really comes up.
e2e_start_xvfb() {
    local n t display=
    for n in $(seq 90 99); do
        [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] && continue
        # -noreset: otherwise the server resets when the probe below disconnects, and a client
        # connecting during the reset is refused.
        Xvfb ":$n" -screen 0 "${e2e_screen_w}x${e2e_screen_h}x24" -nolisten tcp -noreset >"$work/xvfb.log" 2>&1 &
        xvfb_pid=$!
        for ((t = 0; t < 200; t++)); do
            kill -0 "$xvfb_pid" 2>/dev/null || break
            # The lock file names the server that owns the number; answering alone could be another
            # script's server that won the race for it.
            if [ "$(tr -d ' \n' 2>/dev/null <"/tmp/.X$n-lock")" = "$xvfb_pid" ] &&
                xdpyinfo -display ":$n" >/dev/null 2>&1; then
                display=":$n"
                break
            fi
            sleep 0.1
        done
        [ -n "$display" ] && break
        # Lost the number to someone else or the server failed: try the next one.
        kill "$xvfb_pid" 2>/dev/null
        wait "$xvfb_pid" 2>/dev/null
        xvfb_pid=
    done
    [ -n "$display" ] || e2e_fail "no X server could be started on :90 to :99 ($(cat "$work/xvfb.log" 2>/dev/null))"
    export DISPLAY=$display
}

# e2e_start_atlas <argument>...: starts the copy in $prog; its output goes to $work/atlas.log.
e2e_start_atlas() {
    QT_QPA_PLATFORM=xcb "$prog/atlas" "$@" >"$work/atlas.log" 2>&1 &
    atlas_pid=$!
}

# e2e_wait_window <name>: sets $window to the first visible window whose name holds <name>.
e2e_wait_window() {
    local t
    window=
    for ((t = 0; t < 200; t++)); do
        kill -0 "$atlas_pid" 2>/dev/null || e2e_fail "atlas ended before showing a window"
        window=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n 1)
        [ -n "$window" ] && return
        sleep 0.1
    done
    e2e_fail "no visible window named $1 within 20 s"
}

# e2e_screenshot <file>: the whole display.
e2e_screenshot() {
    import -window root "$1" 2>>"$work/import.log"
}

# e2e_wait_exit <seconds> <what asked it to close>: waits for atlas to end and sets $atlas_status;
# a screenshot of what kept it open is left in $work/still-running.png.
# shellcheck disable=SC2034
e2e_wait_exit() {
    local t
    for ((t = 0; t < $1 * 10; t++)); do
        if ! kill -0 "$atlas_pid" 2>/dev/null; then
            wait "$atlas_pid"
            atlas_status=$?
            atlas_pid=
            return
        fi
        sleep 0.1
    done
    e2e_screenshot "$work/still-running.png"
    e2e_fail "atlas still running $1 s after $2"
}

# e2e_shot_rgb <file>: a screenshot of the whole display kept as <file> and, as raw RGB, on stdout
# for pixels.py.
e2e_shot_rgb() {
    e2e_screenshot "$1" && convert "$1" -depth 8 rgb:-
}

# e2e_poll_screen <step> <seconds> <pixels.py mode and arguments after W H>: screenshots
# $work/<step>.png until pixels.py accepts it, for up to <seconds>, since the program paints on
# its own time; sets $screen_out to what pixels.py printed. Fails with that output on timeout.
e2e_poll_screen() {
    local step=$1 limit=$(($2 * 1000000)) start=$EPOCHREALTIME
    shift 2
    while :; do
        screen_out=$(e2e_shot_rgb "$work/$step.png" |
            python3 "$e2e_dir/pixels.py" "$1" "$e2e_screen_w" "$e2e_screen_h" "${@:2}") && return
        [ -n "$atlas_pid" ] && ! kill -0 "$atlas_pid" 2>/dev/null && e2e_fail "$step: atlas is gone"
        # Integer microseconds, from bash's own clock: no process per retry.
        ((${EPOCHREALTIME/./} - ${start/./} < limit)) || break
        sleep 0.1
    done
    e2e_fail "$step: ${screen_out//$'\n'/; } (screenshot $work/$step.png)"
}

# e2e_find_window <name> <what> [seconds]: sets $found to the first visible window whose name
# matches <name> (an extended regular expression, as xdotool takes it), and $found_x, $found_y,
# $found_w, $found_h to its place on the display; waits up to [seconds], 20 by default. Modal
# dialogs are top-level windows of their own, found by their titles; message boxes carry the
# application's name.
# shellcheck disable=SC2034
e2e_find_window() {
    local t geometry
    found=
    for ((t = 0; t < ${3:-20} * 10; t++)); do
        [ -n "$atlas_pid" ] && ! kill -0 "$atlas_pid" 2>/dev/null && e2e_fail "atlas is gone while waiting for $2"
        found=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n 1)
        # The window may go away between the two calls.
        if [ -n "$found" ] && geometry=$(xdotool getwindowgeometry --shell "$found" 2>/dev/null); then
            read -r found_x found_y found_w found_h < <(
                awk -F= '{ v[$1] = $2 } END { print v["X"], v["Y"], v["WIDTH"], v["HEIGHT"] }' <<<"$geometry")
            return
        fi
        sleep 0.1
    done
    found=
    e2e_fail "no $2 (a visible window named /$1/) within ${3:-20} s"
}

# e2e_wait_gone <window> <what> [seconds]: waits until the window is no longer shown.
e2e_wait_gone() {
    local t
    for ((t = 0; t < ${3:-20} * 10; t++)); do
        xdotool search --onlyvisible --name '' 2>/dev/null | grep -qx "$1" || return 0
        sleep 0.1
    done
    e2e_fail "$2 still open after ${3:-20} s"
}

# e2e_focus <window>: with no window manager nobody else gives a new window the keyboard.
e2e_focus() {
    xdotool windowfocus --sync "$1" || e2e_fail "cannot focus window $1"
}

# e2e_press <window> <key>...: keys, in xdotool's names, to that window.
e2e_press() {
    e2e_focus "$1"
    xdotool key "${@:2}" || e2e_fail "cannot press ${*:2}"
}

# e2e_answer <name> <key> <what>: answers a dialog (a message box: Return for its default button)
# and waits for it to close, so that the next search cannot find it again.
e2e_answer() {
    e2e_find_window "$1" "$3"
    local box=$found
    e2e_press "$box" "$2"
    e2e_wait_gone "$box" "$3"
}

# e2e_click <x> <y> <what>: a left click at a place on the display.
e2e_click() {
    xdotool mousemove "$1" "$2" click 1 || e2e_fail "cannot click $3"
}

# e2e_menu_item <window> <menu key> <item key>: opens a menu with Alt and picks an item by its
# mnemonic. The menu is a window of its own; the item key goes to it only once it is open.
# A window that was shown before the key is no menu, also when another one (a dialog just closed)
# goes away meanwhile, so the menu is a window not seen before rather than one more window.
e2e_menu_item() {
    local before t id opened=
    before=" $(xdotool search --onlyvisible --name '' 2>/dev/null | tr '\n' ' ')"
    e2e_press "$1" "alt+$2"
    for ((t = 0; t < 200; t++)); do
        for id in $(xdotool search --onlyvisible --name '' 2>/dev/null); do
            [[ $before == *" $id "* ]] || opened=$id
        done
        [ -n "$opened" ] && break
        sleep 0.1
    done
    [ -n "$opened" ] || e2e_fail "no menu after Alt+$2"
    xdotool key "$3" || e2e_fail "cannot press $3"
}

# e2e_folder_names <folder>: the folder's file names on one line, sorted (for folders whose names
# are all the test's own).
# shellcheck disable=SC2012
e2e_folder_names() {
    ls -A "$1" 2>&1 | tr '\n' ' ' | sed 's/ $//'
}

# e2e_bind_characters <text>: gives every character of <text> a key of its own in the display's
# keymap, so that xdotool types it with that key. Otherwise xdotool binds a spare key for each
# character and takes it back at once, and a program that reads the key after the keymap changed
# again sees another character.
e2e_bind_characters() {
    local keymap="$work/keymap.xkb" lines=() c free i=0 n
    xkbcomp -xkb "$DISPLAY" "$keymap" 2>>"$work/xkbcomp.log" || e2e_fail "cannot read the keymap"
    # Key names that have a code but no symbols.
    mapfile -t free < <(awk '
        /xkb_keycodes/ { part = "codes" } /xkb_symbols/ { part = "symbols" }
        part == "codes" && match($0, /<[A-Z0-9]+> = [0-9]+;/) {
            split(substr($0, RSTART, RLENGTH), a, " ")
            if (a[3] + 0 <= 255) order[n++] = a[1] # the core protocol, which xdotool uses, ends at 255
        }
        part == "symbols" && match($0, /key +<[A-Z0-9]+>/) {
            name = substr($0, RSTART, RLENGTH)
            sub(/key +/, "", name)
            used[name] = 1
        }
        END { for (i = 0; i < n; i++) if (!(order[i] in used)) print order[i] }' "$keymap")
    local -A seen=()
    for ((n = 0; n < ${#1}; n++)); do
        c=${1:n:1}
        [ -n "${seen[$c]:-}" ] && continue
        seen[$c]=1
        ((i < ${#free[@]})) || e2e_fail "no free key left for $c"
        lines+=("    key ${free[i]} { [ $(printf 'U%04X' "'$c") ] };")
        i=$((i + 1))
    done
    awk -v add="$(printf '%s\n' "${lines[@]}")" '{ print } /^[ \t]*xkb_symbols/ { print add }' "$keymap" >"$keymap.new" ||
        e2e_fail "cannot write the keymap"
    xkbcomp "$keymap.new" "$DISPLAY" 2>>"$work/xkbcomp.log" || e2e_fail "cannot load the keymap ($(tail -n 3 "$work/xkbcomp.log"))"
}

# e2e_start_easel <easel binary> <argument>...: runs a copy of the picture editor from $prog (made
# here when there is none) with its output in $work/atlas.log; its process takes the place of
# atlas's in $atlas_pid, so the waits and the cleanup above apply to it.
e2e_start_easel() {
    [ -x "$1" ] || e2e_fail "no program at $1"
    prog=${prog:-$work/prog}
    mkdir -p "$prog/画像と音声" || e2e_fail "cannot make folders"
    cp "$1" "$prog/easel" || e2e_fail "cannot copy $1"
    QT_QPA_PLATFORM=xcb "$prog/easel" "${@:2}" >"$work/atlas.log" 2>&1 &
    atlas_pid=$!
}

# e2e_pixel <picture file> <x> <y>: the pixel there as r,g,b.
e2e_pixel() {
    convert "$1" -crop "1x1+$2+$3" -depth 8 rgb:- 2>/dev/null | od -An -tu1 | awk '{ print $1 "," $2 "," $3 }'
}

# e2e_easel_save_as <window> <file>: Save As from easel's File menu (Alt+F, A), the name typed into
# the dialog, Return; waits until the file is there.
e2e_easel_save_as() {
    local t
    e2e_menu_item "$1" f a
    e2e_find_window '^名前を付けて保存$' "save dialog of 名前を付けて保存"
    e2e_focus "$found"
    xdotool type --delay 5 "$2" || e2e_fail "cannot type into the save dialog"
    e2e_press "$found" Return
    e2e_wait_gone "$found" "save dialog after Return on $2"
    for ((t = 0; t < 200; t++)); do
        [ -s "$2" ] && return
        sleep 0.1
    done
    e2e_fail "nothing saved at $2"
}

# e2e_drag <x0> <y0> <x1> <y1>: a left drag between points relative to ($cx, $cy), in eight moves.
e2e_drag() {
    xdotool mousemove $((cx + $1)) $((cy + $2)) mousedown 1 || e2e_fail "cannot press the mouse button"
    local i
    for ((i = 1; i <= 8; i++)); do
        xdotool mousemove $((cx + $1 + ($3 - $1) * i / 8)) $((cy + $2 + ($4 - $2) * i / 8)) ||
            e2e_fail "cannot move the mouse"
    done
    xdotool mouseup 1 || e2e_fail "cannot release the mouse button"
}

# e2e_expect <step> <name:x,y:r,g,b>...: points relative to ($cx, $cy) on screen, waited for.
e2e_expect() {
    local step=$1
    shift
    e2e_poll_screen "$step" 20 check "$cx" "$cy" "$@"
}
