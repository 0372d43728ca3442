#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Builds the libFuzzer targets with clang (coverage, AddressSanitizer and UBSan on every layer)
# and runs each for the given number of seconds (default 30). Crashes are kept in build-fuzz/.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-30}
flags="-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all -g -O1"
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DWYDRUKI_BUILD_FUZZ=ON \
  -DWYDRUKI_BUILD_TESTS=OFF -DWYDRUKI_BUILD_BENCH=OFF -DCMAKE_BUILD_TYPE=Debug -DWYDRUKI_WERROR=ON \
  -DCMAKE_C_FLAGS="$flags" -DCMAKE_CXX_FLAGS="$flags" \
  -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined" >/dev/null
cmake --build build-fuzz -j"$(nproc 2>/dev/null || echo 2)" \
  --target line_reader_fuzz job_signal_fuzz font_def_fuzz page_render_fuzz truetype_subset_fuzz
export ASAN_OPTIONS=detect_leaks=0
for target in line_reader_fuzz job_signal_fuzz font_def_fuzz page_render_fuzz truetype_subset_fuzz; do
  mkdir -p "build-fuzz/corpus/$target"
  echo "== $target for ${seconds}s"
  # Seeds, where a target has them, show it the shape of a valid input.
  seeds=()
  [ -d "fuzz/seeds/$target" ] && seeds=("$PWD/fuzz/seeds/$target")
  (cd build-fuzz && "./fuzz/$target" -max_total_time="$seconds" -max_len=4096 \
     -print_final_stats=0 "corpus/$target" "${seeds[@]}" 2>&1 | tail -n 3)
done
