#!/usr/bin/env bash
# Cross-builds the Windows programs into ./build-win (or $VIDLUME_WIN_BUILD_DIR)
# with mingw-w64: first the FFmpeg and x264 libraries that vidlume-convert.exe
# links (scripts/build-windows-deps.sh) and the OpenSSL, libssh2, libcurl and expat that
# vidlume-cli.exe upload links (scripts/build-windows-upload-deps.sh), both cached
# outside the clone, then Vidlume.
# The Linux build in build/ is not touched.
set -euo pipefail
cd "$(dirname "$0")/.."
# ccache finds what another clone of the project compiled: paths are taken
# relative to the clone, and the folder the compiler runs in is left out.
export CCACHE_BASEDIR=${CCACHE_BASEDIR:-$PWD}
export CCACHE_NOHASHDIR=${CCACHE_NOHASHDIR:-1}
dir=${VIDLUME_WIN_BUILD_DIR:-build-win}
deps=$(scripts/build-windows-deps.sh | tail -1)
upload_deps=$(scripts/build-windows-upload-deps.sh | tail -1)
cmake -S . -B "$dir" -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw64.cmake -DCMAKE_BUILD_TYPE=Release \
      -DVIDLUME_WIN_DEPS="$deps;$upload_deps" >/dev/null
cmake --build "$dir" -j"$(nproc)"
