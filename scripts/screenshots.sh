#!/usr/bin/env bash
# Writes a screenshot of every page state into shots/ (offscreen; no display needed).
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh test
cmake --preset dev >/dev/null
cmake --build --preset dev --target page_screenshots
build/dev/tests/page_screenshots "$PWD/shots"
