#!/usr/bin/env bash
# Builds the Debian package build/vidlume_<version>_<arch>.deb (or in $VIDLUME_BUILD_DIR).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh package
scripts/build.sh
dir=${VIDLUME_BUILD_DIR:-build}
(cd "$dir" && cpack -G DEB)
ls "$dir"/vidlume_*.deb
