#!/usr/bin/env bash
# Runs every fuzz target of a FUZZ build for a while on its corpus, all at once, and says how each
# went. Usage: fuzz/run.sh <fuzz build folder> <seconds per target>
# New inputs go to a scratch corpus, never into the repository's; a finding is kept in
# <build>/findings with the target's name.
set -u
build=$1
seconds=${2:-60}
here=$(cd "$(dirname "$0")" && pwd)
findings="$build/findings"
mkdir -p "$findings"
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

names=()
for binary in "$build"/bin/fuzz_*; do
    [ -x "$binary" ] || continue
    name=${binary##*/fuzz_}
    names+=("$name")
    mkdir -p "$scratch/$name"
    args=(-max_total_time="$seconds" -timeout=5 -rss_limit_mb=2048 -print_final_stats=1
          -artifact_prefix="$findings/$name-")
    [ -f "$here/dict/$name.dict" ] && args+=(-dict="$here/dict/$name.dict")
    corpus=()
    [ -d "$here/corpus/$name" ] && corpus=("$here/corpus/$name")
    "$binary" "${args[@]}" "$scratch/$name" "${corpus[@]}" >"$scratch/$name.log" 2>&1 &
done
wait

passed=0 failed=0
for name in "${names[@]}"; do
    log="$scratch/$name.log"
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
    speed=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -n 1)
    slowest=$(sed -n 's/^stat::slowest_unit_time_sec: *//p' "$log" | tail -n 1)
    if [ -z "$runs" ] || grep -q -E '^==[0-9]+== ?ERROR|property failed|^SUMMARY: |deadly signal|Timeout|out-of-memory' "$log"; then
        failed=$((failed + 1))
        echo "fuzz_$name: FAILED after ${runs:-?} runs; its input is in $findings" >&2
        tail -n 40 "$log" >&2
    else
        passed=$((passed + 1))
        printf 'fuzz_%-20s %10s runs %8s runs/s, slowest input %s s\n' "$name" "${runs:-?}" "${speed:-?}" "${slowest:-?}"
    fi
done
echo "fuzz: $passed passed, $failed failed"
[ "$failed" = 0 ] && [ "$passed" -gt 0 ]
