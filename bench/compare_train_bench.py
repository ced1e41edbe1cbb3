#!/usr/bin/python3
"""Compares two builds of train_bench kernel by kernel, side by side in one run.

Usage: compare_train_bench.py OLD_TRAIN_BENCH NEW_TRAIN_BENCH [RUNS]
Runs the two programs alternately RUNS times (default 5), each on the epoch kernels of
every path and the production loop, and prints the median connections per second of each
benchmark in both, and new / old. Older builds named the paths after their instruction
sets ("AVX-512", "AVX2", "x86-64"); they are matched to today's names. Run it on a quiet
machine: the ratio of two medians means nothing under load.
"""
import json
import statistics
import subprocess
import sys
import tempfile

OLD_NAMES = {"/AVX-512/": "/avx512/", "/AVX2/": "/avx2/", "/x86-64/": "/baseline/"}
FILTER = "BM_Kernel/|BM_Production"


def one_run(program):
    with tempfile.NamedTemporaryFile(suffix=".json") as out:
        subprocess.run([program, f"--benchmark_filter={FILTER}",
                        f"--benchmark_out={out.name}", "--benchmark_out_format=json",
                        "--benchmark_min_time=0.3"],
                       check=True, stdout=subprocess.DEVNULL)
        with open(out.name) as f:
            data = json.load(f)
    rates = {}
    for b in data["benchmarks"]:
        if "connections/s" not in b or "error_occurred" in b:
            continue
        name = b["name"]
        for old, new in OLD_NAMES.items():
            name = name.replace(old, new)
        rates[name] = b["connections/s"]
    return rates


def main(argv):
    old, new = argv[1], argv[2]
    runs = int(argv[3]) if len(argv) > 3 else 5
    seen = {"old": {}, "new": {}}
    for _ in range(runs):
        for side, program in (("old", old), ("new", new)):
            for name, value in one_run(program).items():
                seen[side].setdefault(name, []).append(value)
    print(f"| benchmark | old G/s | new G/s | new / old |  (median of {runs}, alternating)")
    print("|---|---:|---:|---:|")
    worst = None
    for name in sorted(set(seen["old"]) & set(seen["new"])):
        a = statistics.median(seen["old"][name])
        b = statistics.median(seen["new"][name])
        ratio = b / a
        worst = ratio if worst is None else min(worst, ratio)
        print(f"| {name.replace('/real_time', '')} | {a / 1e9:.3f} | {b / 1e9:.3f} | {ratio:.3f} |")
    if worst is not None:
        print(f"\nslowest new / old: {worst:.3f}")


if __name__ == "__main__":
    main(sys.argv)
