#!/usr/bin/env bash
# Builds the fuzz preset (clang, no Qt) and fuzzes the training-file loader for a bounded
# time: scripts/fuzz.sh [SECONDS] (default 60).
#
# Runs on a fresh copy of tests/fuzz/corpus plus tests/fuzz/regressions in build/fuzz/run,
# so the seeds in the repository never change. Fails on any crash, failed check, leak,
# timeout or running out of memory; the input that did it is left in build/fuzz/run/findings.
# Once the fault is fixed, add that input to tests/fuzz/regressions (the GoogleTest suite
# replays that folder).
set -euo pipefail
cd "$(dirname "$0")/.."

seconds="${1:-60}"
if ! [[ "$seconds" =~ ^[0-9]+$ ]] || [ "$seconds" -lt 1 ]; then
    echo "usage: scripts/fuzz.sh [SECONDS]" >&2
    exit 2
fi

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz --target loader_fuzz

run=build/fuzz/run
rm -rf "$run"
mkdir -p "$run/corpus" "$run/findings"
cp tests/fuzz/corpus/* "$run/corpus/"
cp tests/fuzz/regressions/* "$run/corpus/"

export ASAN_OPTIONS=detect_leaks=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
echo "fuzz: loader_fuzz for ${seconds} s on $(ls "$run/corpus" | wc -l) seeds; log in $run/fuzz.log"
status=0
build/fuzz/tests/fuzz/loader_fuzz -max_total_time="$seconds" -rss_limit_mb=2048 -timeout=10 \
    -max_len=65536 -print_final_stats=1 -artifact_prefix="$run/findings/" \
    "$run/corpus" >"$run/fuzz.log" 2>&1 || status=$?

grep -E '^#[0-9]+[[:space:]]+(INITED|DONE)' "$run/fuzz.log" || true
grep -E '^stat::' "$run/fuzz.log" || true
if [ "$status" -ne 0 ] || [ -n "$(ls -A "$run/findings")" ]; then
    echo "fuzz: FAILED (exit status $status); the end of the log:" >&2
    tail -n 40 "$run/fuzz.log" >&2
    ls -l "$run/findings" >&2
    exit 1
fi
echo "fuzz: no findings"
