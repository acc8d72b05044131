#!/usr/bin/env bash
# Starts the Vidlume window on a virtual X server and saves a picture of it.
# Usage: scripts/screenshot.sh [OUTPUT.png]   (default docs/main-window.png)
# Installs what it needs (xvfb, openbox, imagemagick, x11-utils) when missing.
set -euo pipefail
cd "$(dirname "$0")/.."
program=${VIDLUME_BUILD_DIR:-build}/bin/vidlume

if [[ "${1:-}" != --on-display ]]; then
    out=${1:-docs/main-window.png}
    scripts/install-deps.sh screenshot
    scripts/build.sh
    xvfb-run -a -s "-screen 0 1024x768x24" "$0" --on-display "$out"
    echo "wrote $out"
    exit 0
fi

# From here on we run on the virtual display.
out=$2
# The window creates its default output folder under HOME: keep that out of the
# real one. A fixed name keeps the picture the same from one run to the next.
scratch=${TMPDIR:-/tmp}/vidlume-screenshot
rm -rf "$scratch"
mkdir -p "$scratch/home/user"
# A plain window manager draws the title bar with the caption.
HOME="$scratch/home/user" openbox &
wm=$!
sleep 1
HOME="$scratch/home/user" "$program" &
pid=$!
trap 'kill "$pid" "$wm" 2>/dev/null || true; rm -rf "$scratch"' EXIT

id=""
for _ in $(seq 50); do
    id=$(xwininfo -root -tree | awk '/"Norvane Vidlume/ && /[0-9]+x[0-9]+/ && !found {print $1; found = 1}')
    [[ -n "$id" ]] && break
    sleep 0.1
done
[[ -n "$id" ]] || { echo "the window did not appear" >&2; exit 1; }
sleep 0.5 # let it paint
import -frame -window "$id" "$out"
