# shellcheck shell=bash
# Shared by the end-to-end scripts: a temporary folder, a bare X server, the program started from a
# copy of itself, and cleanup on every exit path. Source it, then call e2e_init <script name>.
# Dialog texts, file names and the window title are Japanese; every comparison is on UTF-8 bytes.
export LC_ALL=C.UTF-8
e2e_dir=$(dirname "${BASH_SOURCE[0]}")
# The folder of the programs the scripts drive (atlas, easel and the test tools): the plain build's
# unless E2E_PROGRAMS names another, as CTest does for the build it runs in.
# shellcheck disable=SC2034
e2e_programs=${E2E_PROGRAMS:-$(cd "$e2e_dir/../.." && pwd)/build/bin}
# The size of the display e2e_start_xvfb makes, as pixels.py wants it.
e2e_screen_w=1280
e2e_screen_h=1024
# How long any wait for a state may take, in whole seconds: long enough for the sanitized build with
# several scripts on a machine whose processors are all busy. A passing run never waits it out, so it
# costs nothing; only a fault waits that long to be reported.
e2e_deadline=${E2E_DEADLINE:-90}

# The scripts that source this read and set these.
# shellcheck disable=SC2034
{
    e2e_name=e2e
    work=
    prog=
    window=
    xvfb_pid=
    wm_pid=
    atlas_pid=
    atlas_status=
    passed=0
    found=
    found_x=
    found_y=
    found_w=
    found_h=
    screen_out=
    second_pid=
    second_window=
    ended_status=
    runtime=
    # What the command of e2e_until saw last, for its failure message.
    e2e_why=
    # Processes and folders of a script's own besides atlas (a second copy, xclip, a runtime
    # folder), stopped and removed by e2e_cleanup.
    e2e_own_pids=()
    e2e_own_folders=()
    # The inside and the frame of a window on the display (e2e_frame), and the display's
    # available area.
    inside_x=
    inside_y=
    inside_w=
    inside_h=
    frame_x=
    frame_y=
    frame_w=
    frame_h=
    area_x=
    area_y=
    area_w=
    area_h=
}

# e2e_stop <pid>: ends a process of the script's, asking first.
e2e_stop() {
    [ -n "$1" ] && kill -0 "$1" 2>/dev/null || return 0
    kill "$1" 2>/dev/null
    sleep 0.2
    kill -9 "$1" 2>/dev/null
    wait "$1" 2>/dev/null
    return 0
}

e2e_cleanup() {
    # Whatever happened, nothing the script started outlives it.
    local own
    e2e_stop "$atlas_pid"
    for own in "${e2e_own_pids[@]}"; do e2e_stop "$own"; done
    for own in "${e2e_own_folders[@]}"; do rm -rf "$own"; done
    e2e_stop_display
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
    [[ $e2e_deadline =~ ^[1-9][0-9]*$ ]] || e2e_fail "E2E_DEADLINE is \"$e2e_deadline\", not a number of seconds"
    local tool
    for tool in Xvfb setpriv xdotool xclip import iconv "$@"; do
        command -v "$tool" >/dev/null || e2e_fail "$tool is not installed"
    done
}

# e2e_until <what> <command>...: runs the command until it succeeds; fails naming <what> (the state
# waited for) once $e2e_deadline seconds have gone by, with what the command left in $e2e_why. The
# command runs in this shell, so it may set variables for the caller.
e2e_until() {
    local what=$1 start=$EPOCHREALTIME
    shift
    e2e_why=
    until "$@"; do
        # Integer microseconds, from bash's own clock: no process per retry.
        ((${EPOCHREALTIME/./} - ${start/./} < e2e_deadline * 1000000)) ||
            e2e_fail "waited $e2e_deadline s for $what${e2e_why:+: $e2e_why}"
        sleep 0.1
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
# DISPLAY. The server takes a free number itself and writes it to fd 3 once it accepts connections,
# so parallel scripts never race for a number and nothing a killed run left behind is in the way.
# -noreset: otherwise the server resets when its last client leaves, and a client connecting during
# the reset is refused. Should the script be killed, the server dies with it, and its clients with it.
e2e_start_xvfb() {
    local ready="$work/xvfb-display" number=
    rm -f "$ready"
    mkfifo "$ready" || e2e_fail "cannot make $ready"
    setpriv --pdeathsig KILL Xvfb -displayfd 3 -screen 0 "${e2e_screen_w}x${e2e_screen_h}x24" -nolisten tcp -noreset \
        3>"$ready" >"$work/xvfb.log" 2>&1 &
    xvfb_pid=$!
    # An end of file, when the server gives up, ends the read at once.
    read -r -t "$e2e_deadline" number <"$ready"
    [[ $number =~ ^[0-9]+$ ]] || e2e_fail "no X server came up ($(cat "$work/xvfb.log" 2>/dev/null))"
    export DISPLAY=":$number"
}

# e2e_stop_display: ends the window manager and the X server of e2e_start_xvfb, so that a script
# can start another display, of another size.
e2e_stop_display() {
    e2e_stop "$wm_pid"
    wm_pid=
    if [ -n "$xvfb_pid" ] && kill -0 "$xvfb_pid" 2>/dev/null; then
        kill "$xvfb_pid" 2>/dev/null
        wait "$xvfb_pid" 2>/dev/null
    fi
    xvfb_pid=
}

# e2e_start_window_manager: openbox on $DISPLAY, with its own default settings (not the user's), as
# a desktop would frame the programs' windows: a title bar above each, borders around. Returns once
# it manages the display: it has put up its check window and the available area.
e2e_start_window_manager() {
    mkdir -p "$work/wm-config" || e2e_fail "cannot make $work/wm-config"
    XDG_CONFIG_HOME="$work/wm-config" setpriv --pdeathsig KILL openbox --sm-disable >"$work/wm.log" 2>&1 &
    wm_pid=$!
    e2e_until "openbox to manage $DISPLAY" e2e_window_manager_ready
}

# e2e_window_manager_ready: one try of e2e_start_window_manager; sets $area_x ... $area_h to the
# available area of the display's first desktop.
# shellcheck disable=SC2034
e2e_window_manager_ready() {
    kill -0 "$wm_pid" 2>/dev/null || e2e_fail "openbox ended ($(cat "$work/wm.log" 2>/dev/null))"
    xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' || return 1
    local area
    area=$(xprop -root _NET_WORKAREA 2>/dev/null) || return 1
    e2e_why="the available area is \"$area\""
    [[ $area =~ =\ ([0-9]+),\ ([0-9]+),\ ([0-9]+),\ ([0-9]+) ]] || return 1
    area_x=${BASH_REMATCH[1]} area_y=${BASH_REMATCH[2]} area_w=${BASH_REMATCH[3]} area_h=${BASH_REMATCH[4]}
}

# e2e_frame <window>: sets $inside_x ... $inside_h to the place of the window's inside on the display
# (as xwininfo tells it: xdotool's getwindowgeometry counts a reparented window's title bar twice),
# and $frame_x ... $frame_h to that of its frame: the inside and the frame the window manager says
# it put around it (_NET_FRAME_EXTENTS: left, right, top, bottom). Fails (returns 1) while the
# window is not framed.
# shellcheck disable=SC2034
e2e_frame() {
    local info extents
    info=$(xwininfo -id "$1" 2>/dev/null) || return 1
    extents=$(xprop -id "$1" _NET_FRAME_EXTENTS 2>/dev/null) || return 1
    [[ $extents =~ =\ ([0-9]+),\ ([0-9]+),\ ([0-9]+),\ ([0-9]+) ]] || return 1
    read -r inside_x inside_y inside_w inside_h < <(awk -F: '/Absolute upper-left X/ { x = $2 }
        /Absolute upper-left Y/ { y = $2 } /^ *Width/ { w = $2 } /^ *Height/ { h = $2 }
        END { print x + 0, y + 0, w + 0, h + 0 }' <<<"$info")
    frame_x=$((inside_x - BASH_REMATCH[1])) frame_y=$((inside_y - BASH_REMATCH[3]))
    frame_w=$((inside_w + BASH_REMATCH[1] + BASH_REMATCH[2]))
    frame_h=$((inside_h + BASH_REMATCH[3] + BASH_REMATCH[4]))
}

# e2e_frame_inside <window>: whether the window is framed and its frame lies wholly inside the
# available area ($area_x ... $area_h, from e2e_start_window_manager); one try, for e2e_until.
e2e_frame_inside() {
    e2e_frame "$1" || {
        e2e_why="not framed"
        return 1
    }
    e2e_why="it is ${frame_w}x$frame_h+$frame_x+$frame_y"
    ((frame_x >= area_x && frame_y >= area_y && frame_x + frame_w <= area_x + area_w &&
        frame_y + frame_h <= area_y + area_h))
}

# e2e_words_shown <step> <x> <y> <width> <height> <words> <what> [<pixel size> [<family>]]: whether
# the words, drawn as a button draws them (in that font, for a form that sets its own), show in that
# rectangle of the display (cut from a screenshot of the whole display, so a part beyond its edge
# shows nothing); sets $label_x, $label_y to their middle. One try, for e2e_until.
# shellcheck disable=SC2034
e2e_words_shown() {
    local shot="$work/$1.png" part="$work/$1-part.png" out score x y
    e2e_screenshot "$shot" && convert "$shot" -crop "${4}x$5+$2+$3" +repage "$part" 2>>"$work/import.log" &&
        out=$(QT_QPA_PLATFORM=xcb "$e2e_programs/find_button_text" "$part" "$6" "$work/$1-words.png" \
            "${@:8}" 2>>"$work/finder.log") ||
        return 1
    e2e_why="best: ${out:-none}; screenshot $shot"
    read -r score x y <<<"$out"
    awk -v s="$score" 'BEGIN { exit !(s >= 0.9) }' || return 1
    label_x=$(($2 + x + 6))
    label_y=$(($3 + y + 6))
}

# e2e_keymap_add <keysym>...: puts each keysym (U301C, say) on a free key of the X server's map,
# before a program starts. Without it xdotool maps a spare key for every character the map lacks
# and presses it at once; a program busy at that moment reads the press before the new mapping
# and the character is lost.
e2e_keymap_add() {
    local keysym code
    local -a free
    mapfile -t free < <(xmodmap -pke | awk 'NF == 3 && $1 == "keycode" && $3 == "=" { print $2 }')
    for keysym in "$@"; do
        [ "${#free[@]}" -gt 0 ] || e2e_fail "no free key for $keysym"
        code=${free[-1]}
        unset 'free[-1]'
        xmodmap -e "keycode $code = $keysym $keysym" || e2e_fail "cannot put $keysym on key $code"
    done
}

# e2e_start_atlas <argument>...: starts the copy in $prog; its output goes to $work/atlas.log.
e2e_start_atlas() {
    QT_QPA_PLATFORM=xcb "$prog/atlas" "$@" >"$work/atlas.log" 2>&1 &
    atlas_pid=$!
}

# e2e_wait_window <name>: sets $window to the first visible window whose name holds <name>.
e2e_wait_window() {
    e2e_until "a visible window named /$1/" e2e_window_shown "$1"
}

# e2e_window_shown <name>: sets $window as e2e_wait_window does, once; fails the script when atlas
# has ended.
e2e_window_shown() {
    kill -0 "$atlas_pid" 2>/dev/null || e2e_fail "atlas ended before showing a window"
    window=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n 1)
    [ -n "$window" ]
}

# e2e_screenshot <file>: the whole display.
e2e_screenshot() {
    import -window root "$1" 2>>"$work/import.log"
}

# e2e_wait_exit <what asked it to close>: waits for atlas to end and sets $atlas_status; what kept
# it open is on the failure's screenshot.
# shellcheck disable=SC2034
e2e_wait_exit() {
    e2e_until "atlas to end after $1" e2e_ended "$atlas_pid"
    atlas_status=$ended_status
    atlas_pid=
}

# e2e_shot_rgb <file>: a screenshot of the whole display kept as <file> and, as raw RGB, on stdout
# for pixels.py.
e2e_shot_rgb() {
    e2e_screenshot "$1" && convert "$1" -depth 8 rgb:-
}

# e2e_poll_screen <step> <pixels.py mode and arguments after W H>: screenshots $work/<step>.png
# until pixels.py accepts it, since the program paints on its own time; sets $screen_out to what
# pixels.py printed, which the failure message gives.
e2e_poll_screen() {
    e2e_until "the screen of step $1" e2e_screen_shows "$@"
}

# e2e_screen_shows <step> <mode> <argument>...: one try of e2e_poll_screen.
e2e_screen_shows() {
    screen_out=$(e2e_shot_rgb "$work/$1.png" |
        python3 "$e2e_dir/pixels.py" "$2" "$e2e_screen_w" "$e2e_screen_h" "${@:3}") && return
    [ -n "$atlas_pid" ] && ! kill -0 "$atlas_pid" 2>/dev/null && e2e_fail "$1: atlas is gone"
    e2e_why="${screen_out//$'\n'/; } (screenshot $work/$1.png)"
    return 1
}

# e2e_wait_none <step> <x> <y> <width> <height> <r,g,b> <tolerance>: screenshots $work/<step>.png
# until no pixel of that rectangle of the display is within <tolerance> of the colour.
e2e_wait_none() {
    e2e_until "the screen of step $1 without rgb($6) in ${4}x$5+$2+$3" e2e_screen_lacks "$@"
}

# e2e_screen_lacks <step> <x> <y> <width> <height> <r,g,b> <tolerance>: one try of e2e_wait_none.
e2e_screen_lacks() {
    local left
    left=$(e2e_shot_rgb "$work/$1.png" |
        python3 "$e2e_dir/pixels.py" count "$e2e_screen_w" "$e2e_screen_h" "${@:2:5}" "$7")
    e2e_why="${left:-no count of} such pixels (screenshot $work/$1.png)"
    [ "$left" = 0 ]
}

# e2e_find_window <name> <what>: sets $found to the first visible window whose name matches <name>
# (an extended regular expression, as xdotool takes it), and $found_x, $found_y, $found_w, $found_h
# to its place on the display. Modal dialogs are top-level windows of their own, found by their
# titles; message boxes carry the application's name.
e2e_find_window() {
    e2e_until "$2 (a visible window named /$1/)" e2e_window_found "$@"
}

# e2e_window_found <name> <what>: one try of e2e_find_window.
# shellcheck disable=SC2034
e2e_window_found() {
    local geometry
    [ -n "$atlas_pid" ] && ! kill -0 "$atlas_pid" 2>/dev/null && e2e_fail "atlas is gone while waiting for $2"
    found=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n 1)
    # The window may go away between the two calls.
    if [ -n "$found" ] && geometry=$(xdotool getwindowgeometry --shell "$found" 2>/dev/null); then
        read -r found_x found_y found_w found_h < <(
            awk -F= '{ v[$1] = $2 } END { print v["X"], v["Y"], v["WIDTH"], v["HEIGHT"] }' <<<"$geometry")
        return 0
    fi
    found=
    return 1
}

# e2e_wait_gone <window> <what>: waits until the window is no longer shown.
e2e_wait_gone() {
    e2e_until "$2 to close" e2e_window_gone "$1"
}

# e2e_window_gone <window>: whether the window is no longer shown.
e2e_window_gone() {
    ! xdotool search --onlyvisible --name '' 2>/dev/null | grep -qx "$1"
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

# e2e_enter_name <window> <text> <what>: puts the text into the focused name box of a file dialog
# in one go, pasted from the X clipboard, and presses Return. Typed key by key, every partial name
# goes through the dialog's completion; on a busy machine that can leave a folder of a partial name
# selected, which the dialog then opens instead of taking the file.
e2e_enter_name() {
    local offer
    printf '%s' "$2" | xclip -quiet -selection clipboard -i >/dev/null 2>&1 &
    offer=$!
    e2e_own_pids+=("$offer")
    e2e_until "the X clipboard to offer \"$2\"" e2e_clipboard_text_is "$2"
    e2e_press "$1" ctrl+v Return
    e2e_wait_gone "$1" "$3 after Return on $2"
    # Return came after the paste, so the offer has served its turn.
    e2e_stop "$offer"
}

# e2e_clipboard_text_is <text>: whether the X clipboard gives that text.
e2e_clipboard_text_is() {
    [ "$(xclip -selection clipboard -o 2>/dev/null)" = "$1" ]
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
    local before opened=
    before=" $(xdotool search --onlyvisible --name '' 2>/dev/null | tr '\n' ' ')"
    e2e_press "$1" "alt+$2"
    e2e_until "a menu after Alt+$2" e2e_window_opened
    xdotool key "$3" || e2e_fail "cannot press $3"
}

# e2e_window_opened: sets $opened (the caller's) to a visible window not in $before (the caller's).
e2e_window_opened() {
    local id
    for id in $(xdotool search --onlyvisible --name '' 2>/dev/null); do
        [[ $before == *" $id "* ]] || opened=$id
    done
    [ -n "$opened" ]
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

# e2e_find_label <window> <words> <what>: waits for the words drawn as a button draws them in the
# window (found by picture with find_button_text, never by reading text), and sets $label_x,
# $label_y to their middle on the display.
e2e_label_count=0
e2e_find_label() {
    [ -x "$e2e_programs/find_button_text" ] || e2e_fail "no find_button_text in $e2e_programs"
    e2e_label_count=$((e2e_label_count + 1))
    e2e_until "\"$2\" in the $3" e2e_label_shown "$@"
}

# e2e_label_shown <window> <words> <what>: one try of e2e_find_label.
# shellcheck disable=SC2034
e2e_label_shown() {
    local window=$1 words=$2 what=$3 shot="$work/label$e2e_label_count.png" out score x y wx wy geometry
    import -window "$window" "$shot" 2>>"$work/import.log" &&
        out=$(QT_QPA_PLATFORM=xcb "$e2e_programs/find_button_text" "$shot" "$words" \
            "$work/label$e2e_label_count-words.png" 2>>"$work/finder.log") ||
        return 1
    e2e_why="best: ${out:-none}; screenshot $shot"
    read -r score x y <<<"$out"
    awk -v s="$score" 'BEGIN { exit !(s >= 0.9) }' || return 1
    geometry=$(xdotool getwindowgeometry --shell "$window") || e2e_fail "no geometry of the $what"
    read -r wx wy < <(awk -F= '{ v[$1] = $2 } END { print v["X"], v["Y"] }' <<<"$geometry")
    label_x=$((wx + x + 6))
    label_y=$((wy + y + 6))
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

# e2e_easel_save_as <window> <file>: Save As from easel's File menu (Alt+F, A), the name entered into
# the dialog; waits until the file is there.
e2e_easel_save_as() {
    e2e_menu_item "$1" f a
    e2e_find_window '^名前を付けて保存$' "save dialog of 名前を付けて保存"
    e2e_enter_name "$found" "$2" "save dialog of 名前を付けて保存"
    e2e_until "a picture saved at $2" test -s "$2"
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
    e2e_poll_screen "$step" check "$cx" "$cy" "$@"
}

# e2e_private_runtime: a runtime folder of the script's own, exported as XDG_RUNTIME_DIR and kept
# in $runtime. The programs find each other through sockets in it, so parallel tests stay apart; its
# name must be short, or atlas falls back to one folder in /tmp shared by all programs of the user
# (a socket address holds 107 bytes). mktemp makes it 0700, as a runtime folder must be.
e2e_private_runtime() {
    runtime=$(mktemp -d /tmp/e2e-run.XXXXXX) || e2e_fail "cannot make the runtime folder"
    e2e_own_folders+=("$runtime")
    export XDG_RUNTIME_DIR="$runtime"
}

# e2e_start_second_atlas <log name> <argument>...: another copy of $prog/atlas beside the one in
# $atlas_pid; sets $second_pid.
e2e_start_second_atlas() {
    QT_QPA_PLATFORM=xcb "$prog/atlas" "${@:2}" >"$work/$1" 2>&1 &
    second_pid=$!
    e2e_own_pids+=("$second_pid")
}

# e2e_wait_second_window <name>: sets $second_window to the first visible window of $second_pid
# whose name matches (an extended regular expression).
e2e_wait_second_window() {
    e2e_until "a window of the second atlas named /$1/" e2e_second_window_shown "$1"
}

# e2e_second_window_shown <name>: one try of e2e_wait_second_window.
e2e_second_window_shown() {
    kill -0 "$second_pid" 2>/dev/null || e2e_fail "the second atlas ended before showing a window"
    # --all: a window of that process and of that name, not of either.
    second_window=$(xdotool search --all --onlyvisible --pid "$second_pid" --name "$1" 2>/dev/null | head -n 1)
    [ -n "$second_window" ]
}

# e2e_wait_ended <pid> <what>: waits until the process has ended; its exit status goes to
# $ended_status.
e2e_wait_ended() {
    e2e_until "the end of $2" e2e_ended "$1"
}

# e2e_ended <pid>: whether the process has ended, its exit status then in $ended_status.
# shellcheck disable=SC2034
e2e_ended() {
    kill -0 "$1" 2>/dev/null && return 1
    wait "$1"
    ended_status=$?
    return 0
}

# e2e_clipboard_offer <PNG file> <width>x<height>: xclip offers the picture on the X clipboard until
# the script ends; returns once the clipboard gives a picture of that size.
e2e_clipboard_offer() {
    xclip -quiet -selection clipboard -t image/png -i "$1" >/dev/null 2>&1 &
    e2e_own_pids+=($!)
    e2e_until "the X clipboard to offer the $2 picture" e2e_clipboard_gives "$2"
}

# e2e_clipboard_gives <width>x<height>: whether the X clipboard gives a PNG picture of that size.
e2e_clipboard_gives() {
    [ "$(xclip -selection clipboard -t image/png -o 2>/dev/null | identify -format '%wx%h' - 2>/dev/null)" = "$1" ]
}

# e2e_button <x,y> <what>: a click at a place given from the window's top-left corner ($wx, $wy).
e2e_button() {
    e2e_click $((wx + ${1%,*})) $((wy + ${1#*,})) "$2"
}

# e2e_grid_keys <step> <main window> <key>...: a click into the grid's selected row (00 when a map
# was just opened) gives the grid the keyboard; then the keys, to the main window.
e2e_grid_keys() {
    local x y
    e2e_poll_screen "$1" run 48,140,198 0 150+
    read -r x y <<<"$screen_out"
    e2e_click $((x + 50)) $((y + 8)) "the selected row of the grid"
    e2e_press "$2" "${@:3}"
}

# e2e_open_description_window <step> <main window>: destination 00's editor ($editor) and from it
# the larger description window ($larger, whose place is left in $found_x ... $found_h).
e2e_open_description_window() {
    e2e_grid_keys "$1" "$2" Return
    e2e_find_window '^0 番目の旅行地' "destination editor of 00"
    editor=$found
    # The button stands at the editor's bottom left, in its own font.
    e2e_click $((found_x + 78)) $((found_y + found_h - 25)) "別フォームで編集"
    e2e_find_window '^「説明文」の編集$' "description window"
    larger=$found
}

# e2e_close_description_window: OK (F4) in the description window and then in the editor, and the
# notice that destination 00 changed.
e2e_close_description_window() {
    e2e_press "$larger" F4
    e2e_wait_gone "$larger" "description window after F4"
    e2e_press "$editor" F4
    e2e_wait_gone "$editor" "destination editor after F4"
    e2e_answer '^マップエディタ$' Return "notice that destination 00 changed"
}

# e2e_overwrite_map <main window>: 上書き保存 from the file menu, and Yes to its question.
e2e_overwrite_map() {
    e2e_menu_item "$1" f s
    e2e_answer '^マップエディタ$' Return "question before overwriting the map"
}

# e2e_wait_map_lines <map file> <first>,<last> <expected>: waits until those lines of the code page
# 932 map file, without CR and joined by "|", are the expected text.
e2e_wait_map_lines() {
    e2e_until "lines $2 of the map file to be \"$3\"" e2e_map_lines_are "$@"
}

# e2e_map_lines_are <map file> <first>,<last> <expected>: one try of e2e_wait_map_lines.
e2e_map_lines_are() {
    local lines_now
    lines_now=$(iconv -f CP932 -t UTF-8 "$1" 2>/dev/null | sed -n "$2p" | tr -d '\r' | paste -sd '|')
    e2e_why="they are \"$lines_now\""
    [ "$lines_now" = "$3" ]
}

# e2e_dialog_type <window name> <text> <what> [<window>]: enters the text into the name box of the
# dialog of that name (it has the keyboard when the dialog opens) with e2e_enter_name. A dialog that
# bears its form's caption is told from the form, the window given.
e2e_dialog_type() {
    local dialog=
    if (($# < 4)); then
        e2e_find_window "$1" "$3"
        dialog=$found
    else
        e2e_until "$3 (a visible window named /$1/ besides $4)" e2e_other_window_found "$1" "$4"
    fi
    e2e_enter_name "$dialog" "$2" "$3"
}

# e2e_other_window_found <name> <window>: sets $dialog (the caller's) to a visible window of that
# name other than <window>.
e2e_other_window_found() {
    local id
    for id in $(xdotool search --onlyvisible --name "$1" 2>/dev/null); do
        [ "$id" != "$2" ] && dialog=$id
    done
    [ -n "$dialog" ]
}

# e2e_save_map_as <main window> <name or path>: 名前を付けて保存 from the file menu.
e2e_save_map_as() {
    e2e_menu_item "$1" f a
    e2e_dialog_type '^マップファイルに名前を付けて保存$' "$2" "save dialog of 名前を付けて保存"
}

# e2e_replace_in_all_destinations <find> <replacement>: from the description window ($larger), the
# replace dialog of its search menu with its all-destinations box checked (unchecked in fresh
# settings: "すべての旅行地で同じ置換を行う(&W)"), すべて置換, the count answered, the dialog closed.
e2e_replace_in_all_destinations() {
    e2e_menu_item "$larger" s r
    e2e_find_window '編集中の説明文 の置換$' "replace dialog"
    local dialog=$found
    e2e_focus "$dialog"
    { xdotool key alt+n && xdotool type --delay 20 "$1" && xdotool key alt+p && xdotool type --delay 20 "$2"; } ||
        e2e_fail "cannot type into the replace dialog"
    xdotool key alt+w alt+a || e2e_fail "cannot press the replace-all keys"
    e2e_answer '^マップエディタ$' Return "the count of replacements"
    e2e_press "$dialog" Escape
    e2e_wait_gone "$dialog" "replace dialog after Esc"
}

# e2e_easel_new_canvas <easel binary>: easel started without a picture; sets $window and its place
# ($wx, $wy, $ww, $wh), and the new canvas's top-left corner ($cx, $cy): the only white run 600
# wide in the window is the canvas's first row.
e2e_easel_new_canvas() {
    e2e_start_easel "$1"
    e2e_find_window '^画像エディタ$' "easel's window"
    window=$found
    wx=$found_x wy=$found_y ww=$found_w wh=$found_h
    echo "$e2e_name: on $DISPLAY"
    e2e_poll_screen start run 255,255,255 0 600 "$wx" "$wy" "$ww" "$wh"
    read -r cx cy <<<"$screen_out"
}

# e2e_expect_file <picture file> <what> <name:x:y:r,g,b>...: the pixels of a saved picture.
e2e_expect_file() {
    local point name x y want got
    for point in "${@:3}"; do
        IFS=: read -r name x y want <<<"$point"
        got=$(e2e_pixel "$1" "$x" "$y")
        [ "$got" = "$want" ] || e2e_fail "$2 $name at ($x,$y) is ${got:-unreadable}, expected $want"
    done
}

# e2e_easel_quit: 終了 from easel's file menu ($window); easel must end without a question, with 0.
e2e_easel_quit() {
    e2e_menu_item "$window" f x
    e2e_wait_exit "終了 after saving"
    [ "$atlas_status" = 0 ] || e2e_fail "easel exited with status $atlas_status"
}

# easel's buttons, from its window's top-left corner: the tool column, the rows under the canvas
# (range, copy; the floating picture's show, stamp and origin; the import row) and 見本.
# shellcheck disable=SC2034
{
    undo_button=79,67
    redo_button=79,98
    pen_button=39,189
    line_button=117,189
    shape_button=39,220
    fill_button=117,220
    range_button=230,591
    copy_button=395,591
    paste_show_button=89,616
    paste_stamp_button=137,616
    origin_button=247,616
    import_button=548,617
    import_stamp_button=642,617
    sample_button=725,38
}

# e2e_palette <r,g,b>: sets $palette_x, $palette_y to a place inside the palette panel of that
# colour; before anything is drawn, each pure colour on easel's screen is its palette panel.
# shellcheck disable=SC2034
e2e_palette() {
    local px py
    e2e_poll_screen "panel-$1" origin "$1"
    read -r px py <<<"$screen_out"
    palette_x=$((px + 6)) palette_y=$((py + 6))
}

# e2e_easel_filled_rectangle <palette x> <palette y> <r,g,b>: a rectangle of that palette colour
# from (100, 100) to (199, 179) on easel's canvas (at $cx, $cy), its outline drawn with 面 and
# filled with 塗り, checked on screen.
e2e_easel_filled_rectangle() {
    e2e_click "$1" "$2" "the palette entry"
    e2e_button $shape_button "面"
    e2e_drag 100 100 200 180
    e2e_button $fill_button "塗り"
    e2e_click "$1" "$2" "the palette entry"
    e2e_click $((cx + 150)) $((cy + 140)) "inside the rectangle"
    e2e_expect filled "inside:150,140:$3" "edge:100,140:$3" "outside:99,140:255,255,255"
}
