#!/usr/bin/env bash
# Installs what is missing, builds the program and starts it in the examples folder.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake --preset release >/dev/null
cmake --build --preset release
if [ -x build/release/distmem ]; then
    cd examples && exec ../build/release/distmem
else
    echo "start: the core library is built; the program's windows are not part of this build yet."
fi
