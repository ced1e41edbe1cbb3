#!/usr/bin/python3
"""The natural numpy loop for one training epoch, for comparison with the program's kernel.

Prints one line per size: connections per second (inputs x outputs x patterns per epoch).
Usage: numpy_reference.py [--seconds S] [in out patterns rule] ...
"""
import sys
import time

import numpy as np


def epoch(W, X, D, rate, hebb):
    sse = 0.0
    for x, d in zip(X, D):
        if hebb:
            W += rate * np.outer(d, x)
        else:
            err = d - W @ x
            W += rate * np.outer(err, x)
        e2 = d - W @ x
        sse += float(e2 @ e2)
    return sse


def measure(inputs, outputs, patterns, hebb, seconds):
    rng = np.random.default_rng(5)
    X = np.where(rng.random((patterns, inputs)) < 0.5, -1.0, 1.0) / np.sqrt(inputs)
    D = rng.uniform(-1.0, 1.0, (patterns, outputs))
    W = np.zeros((outputs, inputs))
    times = []
    start = time.perf_counter()
    while time.perf_counter() - start < seconds or len(times) < 3:
        t0 = time.perf_counter()
        epoch(W, X, D, 0.1, hebb)
        times.append(time.perf_counter() - t0)
    times.sort()
    rate = inputs * outputs * patterns / times[len(times) // 2]
    return rate, len(times)


def loadtxt(path):
    """numpy.loadtxt on a training file laid out one pattern per line after the header."""
    import os
    times = []
    for _ in range(3):
        t0 = time.perf_counter()
        np.loadtxt(path, skiprows=1)
        times.append(time.perf_counter() - t0)
    times.sort()
    size = os.path.getsize(path)
    print(f"numpy.loadtxt {size / times[1] / 1e6:.1f} MB/s (median of 3, {size / 1e6:.1f} MB)")


def main(argv):
    if len(argv) > 2 and argv[1] == "--loadtxt":
        loadtxt(argv[2])
        return
    seconds = 1.0
    if len(argv) > 1 and argv[1] == "--seconds":
        seconds = float(argv[2])
        argv = argv[2:]
    sizes = [(8, 8, 4), (64, 64, 32), (256, 256, 100), (1024, 1024, 100), (4096, 4096, 20)]
    for inputs, outputs, patterns in sizes:
        for hebb in (0, 1):
            rate, runs = measure(inputs, outputs, patterns, hebb, seconds)
            print(f"numpy/in:{inputs}/out:{outputs}/pat:{patterns}/hebb:{hebb} "
                  f"connections/s={rate / 1e9:.4f}G/s runs={runs}")
            sys.stdout.flush()


if __name__ == "__main__":
    main(sys.argv)
