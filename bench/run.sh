#!/usr/bin/env bash
# Prints every speed figure in one run: training kernels against the literal arithmetic
# and numpy with the machine's ceilings, loading against numpy.loadtxt, the chart and the
# cost of printouts. Uses the release build.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh test >/dev/null
cmake --preset release -DDAM_BUILD_BENCH=ON >/dev/null
cmake --build --preset release --target train_bench loader_bench chart_bench printout_bench \
    report_bench network_file_bench window_stall batch_stages distmem-batch >/dev/null
out=build/release/bench
data=$(mktemp -d)
trap 'rm -rf "$data"' EXIT

echo "== Training and loading (takes a few minutes) =="
"$out/train_bench" --benchmark_repetitions=3 --benchmark_min_time=0.5 \
    --benchmark_out="$data/train.json" --benchmark_out_format=json >/dev/null 2>&1
/usr/bin/python3 bench/numpy_reference.py --seconds 2 >"$data/numpy.txt"

/usr/bin/python3 - "$data/bench.net" <<'PY'
import sys, numpy as np
rng = np.random.default_rng(7)
units, patterns = 100, 25000
with open(sys.argv[1], "w") as f:
    f.write(f"{units} 0 {units} {patterns}\n")
    np.savetxt(f, rng.uniform(-10, 10, (2 * patterns, units)), fmt="%.6f")
PY
DAM_LOADER_FILE="$data/bench.net" "$out/loader_bench" --benchmark_repetitions=3 \
    --benchmark_out="$data/loader.json" --benchmark_out_format=json >/dev/null 2>&1
/usr/bin/python3 bench/numpy_reference.py --loadtxt "$data/bench.net" >"$data/loadtxt.txt"
/usr/bin/python3 bench/summarize.py "$data/train.json" "$data/numpy.txt" "$data/loader.json" \
    "$data/loadtxt.txt"
echo

echo "== Chart with 2000 bars, and printouts during a run =="
QT_QPA_PLATFORM=offscreen "$out/chart_bench" 2>/dev/null | grep -E '^BM_' || true
QT_QPA_PLATFORM=offscreen "$out/printout_bench" 2>/dev/null | grep -E '^BM_' || true
echo

echo "== Reports: streamed (1 thread, all) against built whole and one write; memory; batch job =="
"$out/report_bench" 2>/dev/null | grep -E '^(BM_|4096|1024)' || true
echo

echo "== A whole batch job: 1024 x 1024 x 100, 10 Delta epochs, the default report =="
"$out/batch_stages" --repetitions 7
/usr/bin/python3 - "$data/job.net" <<'PY'
import sys
def sample(k):
    return ((k * 7919) % 200003 - 100001) / 97.0
with open(sys.argv[1], "w") as f:
    f.write("1024 0 1024 100\n")
    for scale, a, b in ((100000.0, 131, 1), (1000.0, 17, 3)):
        for p in range(1, 101):
            for u in range(1, 1025):
                f.write("%g%s" % (sample(p * a + u * b) / scale, "\n" if u % 16 == 0 else " "))
PY
job() { "$out/../app/distmem-batch" "$data/job.net" --rule Delta --epochs 10 --report "$data/job.txt" --quiet >/dev/null; }
numpy_job() { /usr/bin/python3 bench/numpy_batch_job.py "$data/job.net" "$data/numpy.txt"; }
seconds() { local t0 t1; t0=$(date +%s.%N); "$@"; t1=$(date +%s.%N); echo "$t1 - $t0" | bc; }
ours=(); theirs=()
for _ in 1 2 3 4 5; do ours+=("$(seconds job)"); theirs+=("$(seconds numpy_job)"); done
/usr/bin/python3 -c 'import statistics, sys
a = [float(v) for v in sys.argv[1].split()]; b = [float(v) for v in sys.argv[2].split()]
print(f"whole process, median of 5 side by side: distmem-batch {statistics.median(a)*1000:.0f} ms, "
      f"numpy {statistics.median(b)*1000:.0f} ms: {statistics.median(b)/statistics.median(a):.1f}x")' \
    "${ours[*]}" "${theirs[*]}"
echo

echo "== Network files: save and open against plain write and read; memory beyond the arrays =="
"$out/network_file_bench" 2>/dev/null | grep -E '^(BM_|4096)' || true
echo

echo "== Longest time the window thread handles no events during a 2048 x 2048 x 2048 run =="
"$out/window_stall" 2048 2>/dev/null || true
