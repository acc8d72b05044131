#!/usr/bin/env bash
# Takes docs/folder-chooser.png: the output folder chooser on a virtual X server,
# framed by a plain window manager, over a demonstration home folder.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh screenshot
scripts/build.sh
dir=${VIDLUME_BUILD_DIR:-build}

demo=$(mktemp -d)
trap 'rm -rf "$demo"' EXIT
mkdir -p "$demo/Desktop/Holiday videos" "$demo/Desktop/Web site" "$demo/Videos" "$demo/vidlume"
mkdir -p docs

HOME=$demo XDG_CONFIG_HOME=$demo/.config xvfb-run -a -s "-screen 0 800x600x24" bash -c '
    openbox & wm=$!
    sleep 1
    "$1" "$2"; status=$?
    kill "$wm"
    exit $status' _ "$dir/bin/chooser_shot" docs/folder-chooser.png
