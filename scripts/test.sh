#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Installs what is missing, builds, and runs every test: the normal build, the Windows
# cross-builds (with the 64-bit unit tests under Wine), and the sanitizer build last.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
jobs=$(nproc 2>/dev/null || echo 2)

echo "== Every source file names its licence"
scripts/spdx.sh --check

echo "== Linux build and tests"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DWYDRUKI_WERROR=ON >/dev/null
cmake --build build -j"$jobs"
ctest --test-dir build --output-on-failure -j"$jobs"

echo "== The print-system tests beside a printer advertised on the network"
scripts/dnssd-tests.sh build

echo "== Debian package: built, installed with apt, its programs run"
(cd build && cpack -G DEB >/dev/null)
scripts/check-package.sh build/wydrukid95_*.deb

# Packagers build the Release configuration: its optimiser warns where others do not. The
# program and its tool are built (warnings as errors); the tests above already ran.
echo "== Release build of the program"
cmake -S . -B build-release -G Ninja -DCMAKE_BUILD_TYPE=Release -DWYDRUKI_WERROR=ON \
  -DWYDRUKI_BUILD_TESTS=OFF -DWYDRUKI_BUILD_BENCH=OFF >/dev/null
cmake --build build-release -j"$jobs" --target wydrukid95 wydrukid95-testpage

if [ -x scripts/windows-build.sh ] && [ "${WYDRUKI_WINDOWS:-1}" = 1 ]; then
  echo "== Windows cross-builds"
  scripts/windows-build.sh
fi

echo "== Fuzz targets, briefly"
scripts/fuzz.sh "${WYDRUKI_FUZZ_SECONDS:-15}"

echo "== AddressSanitizer and UndefinedBehaviorSanitizer build and tests"
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Asan -DWYDRUKI_BUILD_BENCH=OFF \
  -DWYDRUKI_WERROR=ON >/dev/null
cmake --build build-asan -j"$jobs"
ctest --test-dir build-asan --output-on-failure -j"$jobs"
