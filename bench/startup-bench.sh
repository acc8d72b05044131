#!/usr/bin/env bash
# Times the whole process of the window program from start to its window being
# shown (then it quits), without a screen (QT_QPA_PLATFORM=offscreen), against a
# bare Qt main window (tools/bare_window.cpp) in the same run, alternating the
# two; then vidlume-cli --version. Prints medians, the ratio of the medians and
# peak resident memory. Not part of the test run.
#
# Usage: bench/startup-bench.sh [RUNS]            (RUNS defaults to 21)
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh run
scripts/build.sh >/dev/null

runs=${1:-21}
bin=$PWD/${VIDLUME_BUILD_DIR:-build}/bin
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# shellcheck source=bench/timing.sh
source bench/timing.sh
export HOME=$work QT_QPA_PLATFORM=offscreen VIDLUME_QUIT_WHEN_SHOWN=1

# One untimed run of each warms the file cache and creates the default output folder.
"$bin/vidlume" 2>/dev/null
"$bin/bare_window" 2>/dev/null

window=() bare=() cli=() window_rss=() bare_rss=() cli_rss=()
for ((i = 0; i < runs; i++)); do
    w=$(timed "$bin/vidlume")
    b=$(timed "$bin/bare_window")
    c=$(timed "$bin/vidlume-cli" --version)
    window+=("${w% *}") window_rss+=("${w#* }")
    bare+=("${b% *}") bare_rss+=("${b#* }")
    cli+=("${c% *}") cli_rss+=("${c#* }")
done

ms() { awk '{ printf "%.1f", $1 * 1000 }'; }
mib() { awk '{ printf "%.1f", $1 / 1024 }'; }
w=$(printf '%s\n' "${window[@]}" | median)
b=$(printf '%s\n' "${bare[@]}" | median)
echo "start-up, $runs paired runs (medians; peak RSS the largest):"
echo "  vidlume window:   $(ms <<<"$w") ms, $(printf '%s\n' "${window_rss[@]}" | maximum | mib) MiB"
echo "  bare Qt window:   $(ms <<<"$b") ms, $(printf '%s\n' "${bare_rss[@]}" | maximum | mib) MiB"
echo "  ratio:            $(awk -v a="$w" -v b="$b" 'BEGIN { printf "%.2f", a / b }')"
echo "  vidlume-cli --version: $(printf '%s\n' "${cli[@]}" | median | ms) ms, $(printf '%s\n' "${cli_rss[@]}" | maximum | mib) MiB"
echo "  shared libraries: vidlume $(ldd "$bin/vidlume" | wc -l), bare window $(ldd "$bin/bare_window" | wc -l), vidlume-cli $(ldd "$bin/vidlume-cli" | wc -l)"
