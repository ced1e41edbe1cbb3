#!/usr/bin/env bash
# Writes a screenshot of every page state into shots/ (offscreen; no display needed), then
# refreshes the four pictures the README and the metainfo show in docs/: reduced to a
# 32-colour palette and without time stamps, so unchanged pages give unchanged files.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh test
cmake --preset dev >/dev/null
cmake --build --preset dev --target page_screenshots
# The start page shows the path of its folder: the pictures are taken in a copy of the
# examples under a neutral name, not in this checkout.
neutral=/tmp/student/examples
rm -rf /tmp/student
mkdir -p "$neutral"
cp examples/*.net examples/README.md "$neutral/"
build/dev/tests/pages/page_screenshots "$PWD/shots" "$neutral"
rm -rf /tmp/student

mkdir -p docs
while read -r shot picture; do
    convert "shots/$shot.png" -strip -dither None -colors 32 \
        -define png:exclude-chunks=date,time "PNG8:docs/$picture.png"
    optipng -quiet -o2 -strip all "docs/$picture.png"
done <<'LIST'
2-start-file-loaded start-page
4-setup-after-run setup-page
6-probe-two-patterns probe-page
7-graph graph-page
9-graph-four-runs graph-four-runs
10-graph-four-runs-log graph-four-runs-log
LIST
du -b docs/*.png
