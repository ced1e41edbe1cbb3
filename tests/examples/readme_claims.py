#!/usr/bin/python3
"""The figures examples/README.md quotes, checked against the batch trainer.

Each claim names the README's words exactly (line breaks count as blanks), the run that
gives the figure, and the figure with the tolerance its rounding allows. The test fails
when the words are no longer in the README or the run gives another figure, so the README
cannot drift from the program.

usage: readme_claims.py DISTMEM_BATCH EXAMPLES_FOLDER
"""
import re
import subprocess
import sys
from dataclasses import dataclass


@dataclass
class Claim:
    file: str
    args: str      # batch options; the run starts from zero weights
    words: str     # as written in the README
    value: float   # the total SSE, or with epochs=True the epochs trained, or with
                   # signs=True the outputs of the right sign
    tolerance: float = 0.0
    epochs: bool = False
    signs: bool = False


CLAIMS = [
    Claim("tiny.net", "--epochs 1", "The SSE is 1.45 after epoch 1", 1.45, 0.005),
    Claim("tiny.net", "--epochs 6", "its lowest value, 0.2, at epoch 6", 0.2, 0.05),
    Claim("tiny.net", "--epochs 100", "442 at epoch 100", 442, 0.5),
    Claim("tiny.net", "--rule Delta", "7e-10 at epoch 100", 7e-10, 0.5e-10),
    Claim("tiny.net", "--rule Delta --rate 1", "At rate 1 the SSE stays at exactly 1", 1.0),
    Claim("orthonormal.net", "--rate 1 --epochs 1", "The SSE is 0, so recall is perfect", 0.0,
          1e-15),
    Claim("orthonormal.net", "--rate 1 --epochs 10", "607.5 at epoch 10", 607.5, 0.05),
    Claim("orthonormal.net", "--rate 1", "about 73,500 at epoch 100", 73500, 50),
    Claim("independent.net", "--rule Delta", "0.001 at epoch 100", 0.001, 0.0005),
    Claim("independent.net", "--rule Delta --min-error 0.01",
          "With a minimum error of 0.01, training stops at epoch 67", 67, epochs=True),
    Claim("dependent.net", "--rule Hebb", "about 2,700 after 100 epochs", 2700, 50),
    Claim("bipolar.net", "--rate 0.125 --epochs 1", "The reported SSE is 0.75", 0.75, 0.005),
    Claim("bipolar.net", "--rule Delta --rate 0.3", "2e30 at epoch 100", 2e30, 0.5e30),
    Claim("large.net", "--rate 1 --epochs 1", "The reported SSE is about 128", 128, 0.5),
    Claim("large.net", "--rate 1 --epochs 1",
          "996 of the 1024 outputs have the right sign, 22 have the wrong one and 6 are "
          "exactly 0", 996, signs=True),
    Claim("large.net", "--rule Delta", "0.15 at epoch 100", 0.15, 0.005),
    Claim("large.net", "--rule Delta --min-error 1",
          "With a minimum error of 1, training stops at epoch 71", 71, epochs=True),
    Claim("single.net", "", "81 at epoch 100, when w is 10", 81, 0.5),
]

SUMMARY = re.compile(r": \w+ rule, rate \S+, (\d+) epochs?, total SSE (\S+)$")


def right_signs(report: str) -> int:
    """Outputs whose response has the desired output's sign, from report sections 2 and 5."""
    rows = [line.split("\t")[1:] for line in report.splitlines() if line.startswith("Pattern ")]
    half = len(rows) // 2
    return sum(1 for got, want in zip(sum(rows[:half], []), sum(rows[half:], []))
               if got.strip() and float(got) != 0 and (float(got) > 0) == (float(want) > 0))


def main() -> int:
    batch, folder = sys.argv[1], sys.argv[2]
    readme = " ".join(open(f"{folder}/README.md", encoding="utf-8").read().split())
    failures = []
    for claim in CLAIMS:
        name = f"{claim.file} {claim.args}: \"{claim.words}\""
        if " ".join(claim.words.split()) not in readme:
            failures.append(f"{name}: these words are not in the README")
            continue
        args = [batch, f"{folder}/{claim.file}", *claim.args.split()]
        if claim.signs:
            args += ["--report", "-", "--sections", "25"]
        run = subprocess.run(args, capture_output=True, text=True)
        if run.returncode != 0:
            failures.append(f"{name}: exit status {run.returncode}: {run.stderr.strip()}")
            continue
        if claim.signs:
            got = right_signs(run.stdout)
        else:
            match = SUMMARY.search(run.stdout.strip())
            if match is None:
                failures.append(f"{name}: no summary line in {run.stdout!r}")
                continue
            got = int(match.group(1)) if claim.epochs else float(match.group(2))
        if abs(got - claim.value) > claim.tolerance:
            failures.append(f"{name}: the program gives {got}, the README {claim.value}")
    for failure in failures:
        print(failure)
    print(f"{len(CLAIMS) - len(failures)} of {len(CLAIMS)} claims hold")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
