#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Cross-builds the Windows programs from the same sources with MinGW-w64: the 32-bit program
# (i686) and the 64-bit one (x86_64), each against the system's own <windows.h> (src/platform is
# not compiled there), and each one's installer. Then runs the 64-bit unit tests under Wine,
# headless, and the end-to-end tests of the programs and the installer.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc 2>/dev/null || echo 2)

for arch in i686 x86_64; do
  echo "== Windows $arch"
  cmake -S . -B "build-win-$arch" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="cmake/toolchain-$arch-w64-mingw32.cmake" \
    -DWYDRUKI_BUILD_BENCH=OFF -DWYDRUKI_WERROR=ON >/dev/null
  cmake --build "build-win-$arch" -j"$jobs"
done

echo "== Unit tests of the 64-bit Windows build under Wine"
wine=/usr/lib/wine/wine64
export WINEPREFIX
WINEPREFIX=$(mktemp -d /tmp/wydruki-wine-XXXXXX)
export WINEDEBUG=-all
unset DISPLAY
trap 'rm -rf "$WINEPREFIX"' EXIT
failed=0
total=0
for test in api_tests pp1_tests pp2_tests; do
  program=$(find build-win-x86_64/tests -name "$test.exe" | head -n 1)
  total=$((total + 1))
  if timeout 300 "$wine" "$program" --gtest_brief=1 > "build-win-x86_64/$test.log" 2>&1; then
    echo "$test: $(grep -E '^\[  PASSED  \]' "build-win-x86_64/$test.log")"
  else
    failed=$((failed + 1))
    echo "$test FAILED:"
    cat "build-win-x86_64/$test.log"
  fi
done

echo "== The 64-bit programs and their installer under Wine, end to end"
for test in wine_agent_e2e wine_installer_e2e; do
  total=$((total + 1))
  if ! ctest --test-dir build-win-x86_64 -R "^$test\$" --output-on-failure; then
    failed=$((failed + 1))
  fi
done
echo "windows: $((total - failed)) passed, $failed failed"
[ "$failed" -eq 0 ]
