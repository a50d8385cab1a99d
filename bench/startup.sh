#!/usr/bin/env bash
# Start-up figures on a real X server (Xvfb, xcb platform), as a user would see the window appear.
#   bench/startup.sh [build folder] [runs]        (defaults: build, 10)
# 1. bench_atlas's in-process phases (top of main to first paint) over separate processes.
# 2. From the shell: launching the real atlas until its window is mapped, found by polling xdotool.
set -u

if [ "${1:-}" = --inner ]; then
    build=$2
    runs=$3
    echo "== in-process (bench_atlas, platform xcb, $runs runs each)"
    QT_QPA_PLATFORM=xcb "$build/bin/bench_atlas" --only-startup --startup-runs "$runs" 2>/dev/null ||
        echo "bench_atlas failed"

    if ! command -v xdotool >/dev/null; then
        echo "== shell level: skipped (xdotool is not installed)"
        exit 0
    fi
    # atlas makes its folders next to itself, so it runs from a throw-away copy.
    folder=$(mktemp -d "${TMPDIR:-/tmp}/atlas_startup.XXXXXX")
    trap 'rm -rf "$folder"' EXIT
    cp "$build/bin/atlas" "$folder/atlas"
    samples=()
    for ((i = 0; i < runs; i++)); do
        start=$(date +%s%N)
        QT_QPA_PLATFORM=xcb "$folder/atlas" >/dev/null 2>&1 &
        pid=$!
        found=
        # xdotool costs a few ms per call, which is the resolution of this figure.
        for ((t = 0; t < 2000; t++)); do
            if xdotool search --onlyvisible --name "マップエディタ" >/dev/null 2>&1; then
                found=$(date +%s%N)
                break
            fi
            kill -0 "$pid" 2>/dev/null || break
        done
        kill "$pid" 2>/dev/null
        wait "$pid" 2>/dev/null
        [ -n "$found" ] && samples+=($(((found - start) / 1000)))
    done
    echo "== shell level (real atlas, launch -> window mapped, ${#samples[@]} of $runs runs)"
    if [ "${#samples[@]}" -gt 0 ]; then
        printf '%s\n' "${samples[@]}" | sort -n | awk '
            { v[NR] = $1 }
            END {
                median = NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2
                printf "median %.1f ms, min %.1f ms, max %.1f ms\n", median / 1000, v[1] / 1000, v[NR] / 1000
            }'
    fi
    exit 0
fi

here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:-$here/../build}" && pwd) || exit 1
runs=${2:-10}
for program in "$build/bin/bench_atlas" "$build/bin/atlas"; do
    [ -x "$program" ] || { echo "missing $program (cmake --build $build --target atlas bench_atlas)" >&2; exit 1; }
done
command -v xvfb-run >/dev/null || { echo "xvfb-run is not installed" >&2; exit 1; }
LC_ALL=C.UTF-8 xvfb-run -a -s "-screen 0 1280x1024x24" bash "$here/startup.sh" --inner "$build" "$runs"
