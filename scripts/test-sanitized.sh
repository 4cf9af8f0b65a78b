#!/usr/bin/env bash
# Builds the suite and the fuzzers with clang under AddressSanitizer (leak
# checking on) and UndefinedBehaviorSanitizer (any report halts), in
# build-asan/, and runs the suite there.
set -euo pipefail
cd "$(dirname "$0")/.."
CC=clang CXX=clang++ cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVTHUD_FUZZ=ON \
  -DVTHUD_BUILD_BENCH=OFF >/dev/null
cmake --build build-asan -j"$(nproc)"
source scripts/sanitizer-env.sh
ctest --test-dir build-asan --output-on-failure -j"$(nproc)"
