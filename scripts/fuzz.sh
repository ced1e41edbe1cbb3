#!/usr/bin/env bash
# Builds the fuzz preset (clang, no Qt) and fuzzes for a bounded time:
#   scripts/fuzz.sh [SECONDS] [TARGET]   (default 60 s of loader_fuzz)
# TARGET is loader_fuzz (the training-file loader) or network_checks_fuzz (the checks on what
# a network file holds once HDF5 has read it).
#
# loader_fuzz runs on a fresh copy of tests/fuzz/corpus plus tests/fuzz/regressions in
# build/fuzz/run, so the seeds in the repository never change; network_checks_fuzz builds
# its inputs from a valid network and needs no seeds (build/fuzz/run-network). Fails on
# any crash, failed check, leak, timeout or running out of memory; the input that did it is
# left in findings/ there.
# Once the fault is fixed, add that input to tests/fuzz/regressions (the GoogleTest suite
# replays that folder).
set -euo pipefail
cd "$(dirname "$0")/.."

seconds="${1:-60}"
target="${2:-loader_fuzz}"
if ! [[ "$seconds" =~ ^[0-9]+$ ]] || [ "$seconds" -lt 1 ] ||
    { [ "$target" != loader_fuzz ] && [ "$target" != network_checks_fuzz ]; }; then
    echo "usage: scripts/fuzz.sh [SECONDS] [loader_fuzz|network_checks_fuzz]" >&2
    exit 2
fi

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz --target "$target"

run=build/fuzz/run
[ "$target" = loader_fuzz ] || run=build/fuzz/run-network
rm -rf "$run"
mkdir -p "$run/corpus" "$run/findings"
if [ "$target" = loader_fuzz ]; then
    cp tests/fuzz/corpus/* "$run/corpus/"
    cp tests/fuzz/regressions/* "$run/corpus/"
fi

export ASAN_OPTIONS=detect_leaks=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
echo "fuzz: $target for ${seconds} s on $(ls "$run/corpus" | wc -l) seeds; log in $run/fuzz.log"
status=0
"build/fuzz/tests/fuzz/$target" -max_total_time="$seconds" -rss_limit_mb=2048 -timeout=10 \
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
