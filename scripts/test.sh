#!/usr/bin/env bash
# Installs what is missing, builds the dev preset and runs every test; checks the installed
# files and the Debian package; then runs every test again under the sanitizers, and fuzzes
# the training-file loader for a minute and the checks of network files for 30 seconds.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh test
cmake --preset dev >/dev/null
cmake --build --preset dev
# Printing tests print through a real CUPS PDF printer; here they must run, not skip.
scripts/cups-pdf-printer.sh
export DAM_REQUIRE_PDF_PRINTER=1
ctest --preset dev -j2

# What the release build installs, and the Debian package made from it.
scripts/check-package.sh

# Every test again under AddressSanitizer (leaks included) and UBSan.
export ASAN_OPTIONS=detect_leaks=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
cmake --preset asan >/dev/null
cmake --build --preset asan
ctest --preset asan -j2

# Bounded fuzz runs (clang): fail on any crash, leak, timeout or out-of-memory.
scripts/fuzz.sh 60
scripts/fuzz.sh 30 network_checks_fuzz
