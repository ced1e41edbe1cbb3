#!/usr/bin/python3
"""Fails the build when a library folder includes a header against the arrows.

The floors, from the bottom: core; text; files and views; training; report, analysis and
experiments; ui and pages; app. A folder includes its own headers and those of the folders
listed for it below, nothing else of the program's; and nothing below ui/ and pages/
includes Qt. Each breach is printed as FILE:LINE with what it may include instead.

usage: check_includes.py SOURCE_DIR STAMP_FILE
"""
import pathlib
import re
import sys

BELOW = {
    "core": set(),
    "text": {"core"},
    "files": {"core", "text"},
    "views": {"core", "text"},
    "training": {"core", "text", "files", "views"},
    "report": {"core", "text", "files", "views", "training"},
    "analysis": {"core", "text", "files", "views", "training"},
    "experiments": {"core", "text", "files", "views", "training"},
    "ui": {"core"},  # the page runtime knows Qt, and of the program only core's progress type
    "pages": {"core", "text", "files", "views", "training", "report", "analysis", "experiments",
              "ui"},
    "app": {"core", "text", "files", "views", "training", "report", "analysis", "experiments",
            "ui", "pages"},
}
QT_ALLOWED = {"ui", "pages", "app"}
OWN = re.compile(r'^\s*#\s*include\s+"([a-z_]+)/')
QT = re.compile(r'^\s*#\s*include\s+[<"](Q[A-Za-z]*|QtCharts/|QtWidgets/|QtCore/|QtGui/)')


def main() -> int:
    root = pathlib.Path(sys.argv[1])
    breaches = []
    for folder, allowed in BELOW.items():
        for path in sorted((root / folder).glob("*")):
            if path.suffix not in (".h", ".cpp", ".inc"):
                continue
            for number, line in enumerate(path.read_text(errors="replace").splitlines(), 1):
                own = OWN.match(line)
                if own and own.group(1) != folder and own.group(1) not in allowed:
                    breaches.append(f"{path.relative_to(root)}:{number}: includes "
                                    f"{own.group(1)}/, against the arrows; {folder}/ may include "
                                    f"{', '.join(sorted(allowed)) or 'nothing of the program'}")
                if folder not in QT_ALLOWED and QT.match(line):
                    breaches.append(f"{path.relative_to(root)}:{number}: includes Qt, which only "
                                    "ui/, pages/ and app/ may")
    for breach in breaches:
        print(breach, file=sys.stderr)
    if breaches:
        return 1
    pathlib.Path(sys.argv[2]).write_text("includes follow the arrows\n")
    return 0


if __name__ == "__main__":
    sys.exit(main())
