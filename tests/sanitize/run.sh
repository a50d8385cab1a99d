#!/usr/bin/env bash
# Runs every test of a sanitized build (AddressSanitizer, UBSan, LeakSanitizer): the GoogleTest
# programs and the end-to-end scripts against the sanitized atlas, easel and test tools. Every
# process writes its reports into one folder, also children whose exit status nobody reads (easel
# started by atlas, the stand-in picture tool); any report there fails the run and is printed.
# Usage: tests/sanitize/run.sh <sanitized build folder> [<ctest -j> [<ctest argument>...]]
# (for instance "-L e2e" for the end-to-end scripts alone).
set -u

build=${1:?usage: run.sh <sanitized build folder> [jobs [ctest arguments]]}
jobs=${2:-$(nproc)}
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
build=$(cd "$build" && pwd) || exit 2
# A folder of this run's own: a program of an earlier run that was killed may still be ending and
# would otherwise write its report into this one.
rm -rf "$build"/sanitizer-reports*
reports=$(mktemp -d "$build/sanitizer-reports.XXXXXX") || exit 2

export ASAN_OPTIONS="log_path=$reports/report:detect_leaks=1:halt_on_error=1:check_initialization_order=1:detect_stack_use_after_return=1"
export UBSAN_OPTIONS="log_path=$reports/report:print_stacktrace=1:halt_on_error=1"
export LSAN_OPTIONS="suppressions=$here/lsan.supp:print_suppressions=0"
# The end-to-end scripts drive the programs of this build.
export E2E_PROGRAMS="$build/bin"

status=0
(cd "$build" && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j "$jobs" "${@:3}") || status=1

# A program killed while its exit-time leak check stops its threads (a test's kill, the end of an
# X session) leaves only the leak checker's own complaint: no finding, but told.
tracer_only() {
    ! grep -qv -E '^==[0-9]+==(Unable to get registers from thread [0-9]+\.|LeakSanitizer has encountered a fatal error\.|HINT: .*)$' "$1"
}
shopt -s nullglob
found=()
for report in "$reports"/*; do
    if tracer_only "$report"; then
        echo "sanitizers: leak check interrupted, no finding: $(basename "$report"): $(head -n 1 "$report")" >&2
    else
        found+=("$report")
    fi
done
if ((${#found[@]})); then
    echo "sanitizers: ${#found[@]} report(s) in $reports" >&2
    for report in "${found[@]}"; do
        echo "==== $(basename "$report")" >&2
        cat "$report" >&2
    done
    status=1
fi
((status == 0)) && echo "sanitizers: every test passed, no reports"
exit $status
