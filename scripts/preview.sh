#!/usr/bin/env bash
# Installs the dependencies, builds the plug-in and the preview tool, and
# renders the default overlay into out/hud.png. Extra arguments go to the tool
# (see scripts/preview.sh --help).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)" --target vthud_preview
./build/tools/vthud_preview "$@"
