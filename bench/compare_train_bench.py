#!/usr/bin/python3
"""Compares two builds of train_bench kernel by kernel, side by side in one run.

Usage: compare_train_bench.py OLD_TRAIN_BENCH NEW_TRAIN_BENCH [RUNS] [FILTER]
For every benchmark of the epoch kernels (every path) and the production loop that both
builds have, runs the old and the new build in turn, RUNS times each (default 5), one
benchmark at a time, so that the machine's drift over a minute falls on both alike; prints
the median connections per second of each and new / old. FILTER (a regular expression on
today's names) narrows the benchmarks. Older builds named the paths after their
instruction sets ("AVX-512", "AVX2", "x86-64"); they are matched to today's names. Run it
on a quiet machine: the ratio of two medians means nothing under load.
"""
import json
import re
import statistics
import subprocess
import sys
import tempfile

OLD_NAMES = {"/AVX-512/": "/avx512/", "/AVX2/": "/avx2/", "/x86-64/": "/baseline/"}
FAMILIES = re.compile(r"^BM_(Kernel/|Production)")


def today(name):
    for old, new in OLD_NAMES.items():
        name = name.replace(old, new)
    return name


def listed(program):
    out = subprocess.run([program, "--benchmark_list_tests"], check=True,
                         capture_output=True, text=True).stdout
    return {today(n): n for n in out.split() if FAMILIES.match(n)}


def rate(program, name):
    with tempfile.NamedTemporaryFile(suffix=".json") as out:
        subprocess.run([program, f"--benchmark_filter=^{name}$",
                        f"--benchmark_out={out.name}", "--benchmark_out_format=json",
                        "--benchmark_min_time=0.3"],
                       check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        with open(out.name) as f:
            data = json.load(f)
    values = [b["connections/s"] for b in data["benchmarks"]
              if "connections/s" in b and "error_occurred" not in b]
    return values[0] if values else None


def main(argv):
    old, new = argv[1], argv[2]
    runs = int(argv[3]) if len(argv) > 3 else 5
    narrow = re.compile(argv[4]) if len(argv) > 4 else None
    old_names, new_names = listed(old), listed(new)
    names = sorted(n for n in set(old_names) & set(new_names)
                   if narrow is None or narrow.search(n))
    print(f"| benchmark | old G/s | new G/s | new / old |  (median of {runs}, in turn)")
    print("|---|---:|---:|---:|")
    worst = None
    for name in names:
        a, b = [], []
        for _ in range(runs):
            a.append(rate(old, old_names[name]))
            b.append(rate(new, new_names[name]))
        a = statistics.median(v for v in a if v is not None)
        b = statistics.median(v for v in b if v is not None)
        ratio = b / a
        worst = ratio if worst is None else min(worst, ratio)
        print(f"| {name.replace('/real_time', '')} | {a / 1e9:.3f} | {b / 1e9:.3f} | "
              f"{ratio:.3f} |", flush=True)
    if worst is not None:
        print(f"\nslowest new / old: {worst:.3f}")


if __name__ == "__main__":
    main(sys.argv)
