#!/usr/bin/python3
"""Prints the speed table from one bench/run.sh run.

Usage: summarize.py TRAIN_JSON NUMPY_TXT LOADER_JSON LOADTXT_TXT
Rates are connections per second (inputs x outputs x patterns per epoch) as median
(min-max) over the repetitions; ratios compare medians measured in the same run. The
kernel and its ceilings are given for every path (instruction set) the machine runs.
"""
import json
import re
import statistics
import sys

PATHS = ["avx512", "avx2", "baseline"]
SIZES = [(8, 8, 4), (64, 64, 32), (256, 256, 100), (1024, 1024, 100), (4096, 4096, 20)]


def runs(path):
    """Name -> list of per-repetition results (counters included)."""
    with open(path) as f:
        data = json.load(f)
    by_name = {}
    for b in data["benchmarks"]:
        if b.get("run_type") == "iteration" and "error_occurred" not in b:
            by_name.setdefault(b["run_name"], []).append(b)
    return by_name


def spread(values):
    return statistics.median(values), min(values), max(values)


def rate(by_name, name, counter="connections/s"):
    values = [r[counter] for r in by_name.get(name, []) if counter in r]
    return spread(values) if values else None


def giga(stats):
    if stats is None:
        return "—"
    med, lo, hi = stats
    if lo == hi:
        return f"{med / 1e9:.2f} G"
    return f"{med / 1e9:.2f} G ({lo / 1e9:.2f}–{hi / 1e9:.2f})"


def ratio(a, b):
    if a is None or b is None or b == 0:
        return "—"
    return f"{a / b:.1f}×"


def per_path_table(train, path, clock):
    """The kernel against the path's own ceilings: the compute ceiling (also per cycle, to
    set against the processor's documented peak) and the stream ceiling of the weights a
    pass keeps together; the lower one binds. A Hebb pass takes two patterns, so its
    weights stream once per two patterns."""
    compute = {h: rate(train, f"BM_CeilingCompute/{path}/hebb:{h}/real_time") for h in (0, 1)}
    per_cycle = ", ".join(
        f"{rule} {compute[h][0] / clock[0]:.2f}" for h, rule in ((0, "Delta"), (1, "Hebb"))
        if compute[h] and clock)
    print(f"{path}: compute ceiling Delta {giga(compute[0])}, Hebb {giga(compute[1])}; "
          f"connections per cycle: {per_cycle or '—'}")
    print("| rule | size | kernel, 1 thread | kernel, all cores | compute ceiling "
          "| stream ceiling | kernel / binding ceiling |")
    print("|---|---|---|---|---|---|---|")
    for hebb, rule in ((0, "Delta"), (1, "Hebb")):
        for n, m, p in SIZES:
            args = f"in:{n}/out:{m}/pat:{p}/hebb:{hebb}"
            one = rate(train, f"BM_Kernel/{path}/{args}/threads:1/real_time")
            two = rate(train, f"BM_Kernel/{path}/{args}/threads:2/real_time")
            stream = rate(train, f"BM_CeilingStream/{path}/in:{n}/real_time")
            if stream and hebb:
                stream = tuple(2 * v for v in stream)
            ceilings = [c[0] for c in (compute[hebb], stream) if c]
            binding = min(ceilings) if ceilings else None
            share = f"{one[0] / binding:.2f}" if one and binding else "—"
            print(f"| {rule} | {n}×{m}×{p} | {giga(one)} | {giga(two)} | {giga(compute[hebb])} "
                  f"| {giga(stream)} | {share} |")
    print()


def main(train_json, numpy_txt, loader_json, loadtxt_txt):
    train = runs(train_json)
    numpy = {}
    with open(numpy_txt) as f:
        for line in f:
            m = re.match(r"numpy/(\S+) connections/s=([0-9.]+)G/s", line)
            if m:
                numpy[m.group(1)] = float(m.group(2)) * 1e9

    clock = rate(train, "BM_Clock/real_time", "cycles/s")
    print(f"Core clock (dependent integer multiplies): {giga(clock)}Hz")
    print()
    paths = [p for p in PATHS if f"BM_Kernel/{p}/in:8/out:8/pat:4/hebb:0/threads:1/real_time" in train]
    for path in paths:
        per_path_table(train, path, clock)
    best = paths[0] if paths else "avx2"

    for hebb, rule in ((0, "Delta"), (1, "Hebb")):
        print(f"{rule} rule on the {best} path, connections per second, median (min–max)")
        print("| size | kernel, 1 thread | kernel, all cores | all cores / 1 | training loop "
              "| literal | numpy | kernel / literal | kernel / numpy |")
        print("|---|---|---|---|---|---|---|---|---|")
        for n, m, p in SIZES:
            args = f"in:{n}/out:{m}/pat:{p}/hebb:{hebb}"
            one = rate(train, f"BM_Kernel/{best}/{args}/threads:1/real_time")
            two = rate(train, f"BM_Kernel/{best}/{args}/threads:2/real_time")
            loop = rate(train, f"BM_Production/{args}/real_time")
            literal = rate(train, f"BM_Literal/{args}")
            np_rate = numpy.get(args)
            one_med = one[0] if one else None
            print(f"| {n}×{m}×{p} | {giga(one)} | {giga(two)} "
                  f"| {ratio(two[0] if two else None, one_med)} | {giga(loop)} | {giga(literal)} "
                  f"| {np_rate / 1e9 if np_rate else 0:.3f} G "
                  f"| {ratio(one_med, literal[0] if literal else None)} "
                  f"| {ratio(one_med, np_rate)} |")
        print()

    print("Binary inputs, 256×256×100, kernel 1 thread (passes skip inputs that are zero), "
          "against bipolar inputs (no zeros)")
    print("| ones | Delta | Hebb |")
    print("|---|---|---|")
    for ones in (10, 50):
        cells = []
        for hebb in (0, 1):
            stats = rate(train, f"BM_KernelBinary/in:256/out:256/pat:100/ones%:{ones}/hebb:{hebb}"
                         "/real_time")
            dense = rate(train, f"BM_Kernel/{best}/in:256/out:256/pat:100/hebb:{hebb}"
                         "/threads:1/real_time")
            cells.append(f"{giga(stats)} ({ratio(stats[0] if stats else None, dense[0] if dense else None)})")
        print(f"| {ones}% | {cells[0]} | {cells[1]} |")
    print()

    loader = runs(loader_json)
    data50 = rate(loader, "BM_LoadTrainingData/50", "bytes_per_second")
    whole = rate(loader, "BM_LoadTrainingFile", "bytes_per_second")
    with open(loadtxt_txt) as f:
        m = re.search(r"numpy.loadtxt ([0-9.]+) MB/s", f.read())
    loadtxt = float(m.group(1)) * 1e6 if m else None
    print("Loading a 50 MB training file, MB/s median (min–max)")
    print("| reader | MB/s | / numpy.loadtxt |")
    print("|---|---|---|")
    for label, stats in (("from memory", data50), ("from the file (page cache)", whole)):
        if stats:
            med, lo, hi = stats
            print(f"| {label} | {med / 1e6:.0f} ({lo / 1e6:.0f}–{hi / 1e6:.0f}) "
                  f"| {ratio(med, loadtxt)} |")
    if loadtxt:
        print(f"| numpy.loadtxt | {loadtxt / 1e6:.0f} | 1.0× |")


if __name__ == "__main__":
    main(*sys.argv[1:5])
