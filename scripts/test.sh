#!/usr/bin/env bash
# Installs what is missing, builds the dev preset and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake --preset dev >/dev/null
cmake --build --preset dev
# Printing tests print through a real CUPS PDF printer; here they must run, not skip.
scripts/cups-pdf-printer.sh
export DAM_REQUIRE_PDF_PRINTER=1
ctest --preset dev -j2
