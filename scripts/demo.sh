#!/usr/bin/env bash
# Installs what is missing, builds, and prints the test page on the default printer: the
# profile's [windows] device, else the CUPS default destination, else the built-in "pdf-file"
# printer, which writes a PDF into your documents directory.
set -euo pipefail
cd "$(dirname "$0")/.."

WYDRUKI_WINDOWS=0 scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc 2>/dev/null || echo 2)" --target wydrukid95-testpage
build/tools/wydrukid95-testpage
