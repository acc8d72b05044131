#!/usr/bin/env bash
# Configures and builds Vidlume into ./build (or $VIDLUME_BUILD_DIR).
set -euo pipefail
cd "$(dirname "$0")/.."
# ccache finds what another clone of the project compiled: paths are taken
# relative to the clone, and the folder the compiler runs in is left out.
export CCACHE_BASEDIR=${CCACHE_BASEDIR:-$PWD}
export CCACHE_NOHASHDIR=${CCACHE_NOHASHDIR:-1}
dir=${VIDLUME_BUILD_DIR:-build}
cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$dir" -j"$(nproc)"
