#!/usr/bin/env bash
# The whole suite again at Release, the build type a packager or a studio's
# build system picks, in build-release/: a result that holds only at the
# README's RelWithDebInfo (an allocation count that depends on what the
# optimiser inlines across the SDK boundary, a pixel that depends on float
# contraction) fails here. Uses what scripts/test.sh installed.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build-release -DCMAKE_BUILD_TYPE=Release -DVTHUD_BUILD_BENCH=OFF >/dev/null
cmake --build build-release -j"$(nproc)"
ctest --test-dir build-release --output-on-failure -j"$(nproc)"
