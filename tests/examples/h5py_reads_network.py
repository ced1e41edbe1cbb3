#!/usr/bin/python3
"""A network file as another program reads it: h5py opens what distmem-batch saves, finds the
format version, a checksum on every dataset of values, and the weights training left.

usage: h5py_reads_network.py DISTMEM_BATCH EXAMPLES_FOLDER
"""
import subprocess
import sys
import tempfile

import h5py

batch, examples = sys.argv[1], sys.argv[2]
with tempfile.TemporaryDirectory() as folder:
    network = folder + "/tiny.h5"
    report = folder + "/report.txt"
    subprocess.run([batch, examples + "/tiny.net", "--rule", "Delta", "--quiet",
                    "--save-network", network, "--report", report, "--sections", "4"],
                   check=True)
    with h5py.File(network, "r") as f:
        assert f.attrs["format_version"] == 2, f.attrs["format_version"]
        assert f.attrs["run_parts"] == b"Delta 0.1 100", f.attrs["run_parts"]
        for name in ("weights", "input_patterns", "desired_outputs", "sse_history"):
            assert f[name].fletcher32, name + " has no checksum"
        weights = f["weights"][()]
    # The report's weight table (section 4, a row per input unit) holds the same weights,
    # to two decimals.
    with open(report) as text:
        rows = [line.split("\t")[1:-1] for line in text if line.startswith("INP ")]
    printed = [[float(v) for v in row] for row in rows]
    assert weights.shape == (2, 3), weights.shape
    for j in range(2):
        for i in range(3):
            assert abs(weights[j][i] - printed[i][j]) <= 0.005, (j, i, weights[j][i], printed)
print("h5py read the network file")
