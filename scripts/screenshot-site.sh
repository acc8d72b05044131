#!/usr/bin/env bash
# Takes docs/site-dialog-light.png and docs/site-dialog-dark.png: "Publish Many
# Videos" after it published a small archive made with ffmpeg (the one the site
# tests use, a damaged file included), on a virtual X server.
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${VIDLUME_BUILD_DIR:-build}
if [[ "${1:-}" != --built ]]; then
    scripts/install-deps.sh screenshot
    scripts/build.sh
fi
BIN=$dir/bin
# shellcheck source=../tests/site/site-archive.sh
source tests/site/site-archive.sh
# A fixed folder name keeps the picture the same from one run to the next.
work=${TMPDIR:-/tmp}/vidlume-site-shot
rm -rf "$work"
mkdir -p "$work"
trap 'rm -rf "$work"' EXIT
archive="$work/Home Videos"
make_archive "$archive"
mkdir -p "$work/programs"
ln -s "$(realpath "$BIN/vidlume-convert")" "$work/programs/vidlume-convert"
for file in flvplayer1.swf vidlume-html5.js; do
    if [[ -f "$BIN/$file" ]]; then cp "$BIN/$file" "$work/programs/"; else echo stand-in >"$work/programs/$file"; fi
done
for palette in light dark; do
    rm -rf "$work/site"
    HOME=$work xvfb-run -a -s "-screen 0 1024x768x24" \
        "$BIN/site_shot" "docs/site-dialog-$palette.png" "$palette" "$archive" "$work/site" "$work/programs"
done
