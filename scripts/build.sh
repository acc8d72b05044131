#!/usr/bin/env bash
# Configures and builds Vidlume into ./build (or $VIDLUME_BUILD_DIR).
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${VIDLUME_BUILD_DIR:-build}
cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$dir" -j"$(nproc)"
