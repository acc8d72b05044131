#!/usr/bin/env bash
# Installs what is missing, builds, and starts the Vidlume window.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh run
scripts/build.sh
exec "${VIDLUME_BUILD_DIR:-build}/bin/vidlume" "$@"
