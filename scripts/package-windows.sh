#!/usr/bin/env bash
# Builds the Windows programs (scripts/build-windows.sh) and their installer,
# build-win/vidlume-setup-VERSION.exe (NSIS): the programs, flvplayer1.swf, the
# HTML5 player's files and LICENSE, a Start menu entry and an uninstaller in
# "Apps & features"; for the current user (no administrator) or every user.
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${VIDLUME_WIN_BUILD_DIR:-build-win}
scripts/install-deps.sh windows
scripts/build-windows.sh
cmake --build "$dir" --target vidlume_installer
ls "$dir"/vidlume-setup-*.exe
