#!/usr/bin/env bash
# Takes docs/main-window-light.png and docs/main-window-dark.png: the main window
# right after start in a light and in a dark palette, on a virtual X server.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh screenshot
scripts/build.sh
dir=${VIDLUME_BUILD_DIR:-build}
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
for palette in light dark; do
    HOME=$home xvfb-run -a -s "-screen 0 1024x768x24" "$dir/bin/window_shot" "docs/main-window-$palette.png" "$palette"
done
