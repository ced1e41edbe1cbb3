#!/usr/bin/env bash
# Installs what is missing, builds the program and starts it in the examples folder.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake --preset release >/dev/null
cmake --build --preset release --target distmem distmem-batch
cd examples
exec ../build/release/app/distmem
