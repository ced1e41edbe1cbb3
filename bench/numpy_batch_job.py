#!/usr/bin/python3
"""A whole batch job in numpy's natural loop, to time against distmem-batch as a process.

numpy_batch_job.py FILE.net OUT.txt [EPOCHS]: loads the training file with numpy.loadtxt,
trains EPOCHS (default 10) Delta epochs pattern by pattern at rate 0.1 from zero weights,
recalls every pattern and writes the responses, the errors and the weights with
numpy.savetxt in two decimals: the numbers of distmem-batch's default report.
"""
import sys

import numpy as np


def main(argv):
    path, out = argv[1], argv[2]
    epochs = int(argv[3]) if len(argv) > 3 else 10
    with open(path) as f:
        outputs, _, inputs, patterns = (int(v) for v in f.readline().split())
    values = np.loadtxt(path, skiprows=1).ravel()
    X = values[: inputs * patterns].reshape(patterns, inputs)
    D = values[inputs * patterns:].reshape(patterns, outputs)
    W = np.zeros((outputs, inputs))
    rate = 0.1
    sse = 0.0
    for _ in range(epochs):
        sse = 0.0
        for x, d in zip(X, D):
            err = d - W @ x
            W += rate * np.outer(err, x)
            e2 = d - W @ x
            sse += float(e2 @ e2)
    responses = X @ W.T
    with open(out, "w") as f:
        f.write(f"total SSE {sse}\n")
        np.savetxt(f, responses, fmt="%+.2f", delimiter="\t")
        np.savetxt(f, D - responses, fmt="%+.2f", delimiter="\t")
        np.savetxt(f, W.T, fmt="%+.2f", delimiter="\t")


if __name__ == "__main__":
    main(sys.argv)
