#!/usr/bin/env bash
# Publishes crafted hostile FLVs with vidlume-cli --html5 and reports how long
# each took and the peak resident memory of the whole process tree (vidlume-cli
# and the converter together, sampled every 10 ms), with what publishing said
# about the MP4. Not part of the test run.
#
# Usage: bench/hostile-bench.sh
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh run
scripts/build.sh >/dev/null
bin=$PWD/${VIDLUME_BUILD_DIR:-build}/bin
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The sum of VmRSS (KiB) over pid and all its descendants.
tree_rss() {
    local pid=$1 total=0 rss child
    rss=$(awk '/^VmRSS:/ { print $2 }' "/proc/$pid/status" 2>/dev/null || true)
    total=$((total + ${rss:-0}))
    for child in $(cat /proc/"$pid"/task/*/children 2>/dev/null); do
        total=$((total + $(tree_rss "$child")))
    done
    echo "$total"
}

# Runs vidlume-cli on the video; prints seconds, peak tree RSS in MiB and its warning.
measure() {
    local video=$1 peak=0 now start end
    rm -rf "$work/out"
    start=$EPOCHREALTIME
    "$bin/vidlume-cli" --html5 --out "$work/out" "$video" >/dev/null 2>"$work/err" &
    local pid=$!
    while kill -0 "$pid" 2>/dev/null; do
        now=$(tree_rss "$pid")
        ((now > peak)) && peak=$now
        sleep 0.01
    done
    wait "$pid" || true
    end=$EPOCHREALTIME
    awk -v a="$start" -v b="$end" -v p="$peak" 'BEGIN { printf "%.2f s, peak tree RSS %.1f MiB: ", b - a, p / 1024 }'
    grep -v '^x264' "$work/err" | tail -n 1
}

"$bin/make_crafted_flv" 16000 16000 320 240 "$work/16000x16000.flv"
"$bin/make_crafted_flv" 4096 4096 320 240 "$work/4096x4096.flv"
"$bin/make_crafted_flv" 8000 4000 8000 4000 "$work/8000x4000.flv"
for video in 16000x16000 4096x4096 8000x4000; do
    echo "$video ($(stat -c %s "$work/$video.flv") bytes): $(measure "$work/$video.flv")"
done
