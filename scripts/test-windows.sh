#!/usr/bin/env bash
# Builds the Windows programs and their tests with mingw-w64 (build-win/, or
# $VIDLUME_WIN_BUILD_DIR) and runs the tests under Wine, headless. Run by
# scripts/test.sh; installs what it needs.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh windows
scripts/build-windows.sh
cmake --build "${VIDLUME_WIN_BUILD_DIR:-build-win}" --target vidlume_installer
source scripts/wine-prefix.sh
# No test of the Windows build takes minutes: one that hangs fails rather than
# holding up the run.
ctest --test-dir "${VIDLUME_WIN_BUILD_DIR:-build-win}" --output-on-failure -j2 --timeout 300
