#!/usr/bin/env bash
# Times the whole process of the window program from start to its window being
# shown (then it quits), without a screen (QT_QPA_PLATFORM=offscreen), and prints
# the median, the fastest and the slowest run. Not part of the test run.
#
# Usage: bench/startup-bench.sh [RUNS]            (RUNS defaults to 21)
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh run
scripts/build.sh >/dev/null

runs=${1:-21}
program=$PWD/${VIDLUME_BUILD_DIR:-build}/bin/vidlume
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT

# One untimed run warms the file cache and creates the default output folder.
HOME=$home QT_QPA_PLATFORM=offscreen VIDLUME_QUIT_WHEN_SHOWN=1 "$program" 2>/dev/null

times=()
for ((i = 0; i < runs; i++)); do
    start=$EPOCHREALTIME
    HOME=$home QT_QPA_PLATFORM=offscreen VIDLUME_QUIT_WHEN_SHOWN=1 "$program" 2>/dev/null
    end=$EPOCHREALTIME
    times+=("$(awk -v a="$start" -v b="$end" 'BEGIN { printf "%.1f", (b - a) * 1000 }')")
done

printf '%s\n' "${times[@]}" | sort -n | awk -v runs="$runs" '
    { t[NR] = $1 }
    END { printf "window start-up, %d runs: median %.1f ms, fastest %.1f ms, slowest %.1f ms\n",
                 runs, t[int((NR + 1) / 2)], t[1], t[NR] }'
