#!/usr/bin/env bash
# Times the MP4 conversion for browsers against Debian's ffmpeg program with the
# same settings, alternating the two, and prints a Markdown table of medians and
# peak resident memory. Not part of the test run.
#
# Usage: bench/convert-bench.sh [RUNS]            (RUNS defaults to 5)
# Environment:
#   VIDLUME_BENCH_DIR   where the samples and outputs go (default /var/tmp; about
#                       5 GiB free needed)
#   VIDLUME_BENCH_GIB   size of the large H.264 + AAC sample in GiB (default 1)
#   VIDLUME_BENCH_CASES which cases to run (default "copy encode publish")
# Cases:
#   1. stream copy of the large H.264 + AAC FLV:
#      convert_mp4 vs ffmpeg -i in.flv -c copy -movflags +faststart out.mp4
#   2. re-encode of a 60 s 640x480 Sorenson + MP3 FLV:
#      convert_mp4 vs ffmpeg with libx264 veryfast, CRF 23, profile high, yuv420p,
#      the MP3 encoded to AAC at 64 kb/s (the sample's sound is mono), faststart
#   3. publishing the large FLV with --html5: vidlume-cli vs cp followed by the
#      ffmpeg stream copy of case 1
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh bench
scripts/install-deps.sh test >/dev/null # Debian's ffmpeg program
scripts/build.sh >/dev/null

runs=${1:-5}
gib=${VIDLUME_BENCH_GIB:-1}
bin=$PWD/${VIDLUME_BUILD_DIR:-build}/bin
[[ -x "$bin/convert_mp4" ]] || cmake --build "${VIDLUME_BUILD_DIR:-build}" --target convert_mp4 >/dev/null
work=$(mktemp -d -p "${VIDLUME_BENCH_DIR:-/var/tmp}" vidlume-convert-bench-XXXXXX)
trap 'rm -rf "$work"' EXIT

ff=(ffmpeg -nostdin -v error -y)

# shellcheck source=bench/timing.sh
source bench/timing.sh

# --- the samples ---
echo "Making the samples in $work" >&2
# A 20 s 640x480 H.264 + AAC clip at a few Mbit/s (noise keeps the encoder from
# making it tiny), joined to itself (stream copy) until it holds the wanted size.
"${ff[@]}" -f lavfi -i "testsrc2=size=640x480:rate=25,noise=alls=4:allf=t" -f lavfi -i "sine=frequency=440:sample_rate=44100" \
    -t 20 -c:v libx264 -preset ultrafast -crf 20 -pix_fmt yuv420p -c:a aac -b:a 128k -f flv "$work/clip.flv"
clip_bytes=$(stat -c %s "$work/clip.flv")
copies=$(((gib * 1073741824 + clip_bytes - 1) / clip_bytes))
for ((i = 0; i < copies; i++)); do echo "file '$work/clip.flv'"; done >"$work/list.txt"
"${ff[@]}" -f concat -safe 0 -i "$work/list.txt" -c copy -f flv "$work/large.flv"
rm -f "$work/clip.flv"
"${ff[@]}" -f lavfi -i "testsrc2=size=640x480:rate=25" -f lavfi -i "sine=frequency=440:sample_rate=44100" \
    -t 60 -c:v flv1 -b:v 1M -c:a libmp3lame -b:a 128k -f flv "$work/sorenson.flv"
sync
echo "large sample: $(stat -c %s "$work/large.flv") bytes ($copies x 20 s)" >&2

# --- one run of each side ---
ours_copy() { rm -f "$work/out.mp4"; sync; timed "$bin/convert_mp4" "$work/large.flv" "$work/out.mp4"; }
theirs_copy() { rm -f "$work/out.mp4"; sync; timed "${ff[@]}" -i "$work/large.flv" -c copy -movflags +faststart "$work/out.mp4"; }
ours_encode() { rm -f "$work/out.mp4"; sync; timed "$bin/convert_mp4" "$work/sorenson.flv" "$work/out.mp4"; }
theirs_encode() {
    rm -f "$work/out.mp4"; sync
    timed "${ff[@]}" -i "$work/sorenson.flv" -c:v libx264 -preset veryfast -crf 23 -profile:v high \
        -pix_fmt yuv420p -c:a aac -b:a 64k -movflags +faststart "$work/out.mp4"
}
ours_publish() { rm -rf "$work/pub"; sync; timed "$bin/vidlume-cli" --html5 --out "$work/pub" "$work/large.flv"; }
theirs_publish() {
    rm -rf "$work/pub"; mkdir "$work/pub"; sync
    timed sh -c 'cp "$1" "$2/" && ffmpeg -nostdin -v error -i "$2/large.flv" -c copy -movflags +faststart "$2/large.mp4"' \
        sh "$work/large.flv" "$work/pub"
}

# Prints one table row; $1 label, $2 our function, $3 their function, $4 seconds
# of video (for times real time, 0 for none).
measure() {
    local label=$1 ours=$2 theirs=$3 seconds=$4
    local o_times=() t_times=() o_rss=() t_rss=() ratios=() o t
    for ((i = 0; i < runs; i++)); do
        # Alternate which goes first, so drift in the machine's load hits both.
        if ((i % 2 == 0)); then o=$($ours); t=$($theirs); else t=$($theirs); o=$($ours); fi
        o_times+=("${o% *}"); o_rss+=("${o#* }")
        t_times+=("${t% *}"); t_rss+=("${t#* }")
        ratios+=("$(awk -v a="${o% *}" -v b="${t% *}" 'BEGIN { printf "%.3f", a / b }')")
        echo "  $label run $((i + 1)): ours ${o% *} s, theirs ${t% *} s (load $(cut -d' ' -f1 /proc/loadavg))" >&2
    done
    local o_median
    o_median=$(printf '%s\n' "${o_times[@]}" | median)
    printf '| %s | %s | %.3f | %.3f | %.3f | %s | %.1f | %.1f |\n' "$label" "$runs" "$o_median" \
        "$(printf '%s\n' "${t_times[@]}" | median)" "$(printf '%s\n' "${ratios[@]}" | median)" \
        "$(awk -v s="$seconds" -v t="$o_median" 'BEGIN { if (s > 0) printf "%.1f x", s / t; else print "-" }')" \
        "$(printf '%s\n' "${o_rss[@]}" | maximum | awk '{ print $1 / 1024 }')" \
        "$(printf '%s\n' "${t_rss[@]}" | maximum | awk '{ print $1 / 1024 }')"
}

echo "Load before the runs: $(cut -d' ' -f1-3 /proc/loadavg)" >&2
echo "| Case | Runs | Vidlume median (s) | ffmpeg median (s) | Median ratio | Times real time | Vidlume peak RSS (MiB) | ffmpeg peak RSS (MiB) |"
echo "|---|---|---|---|---|---|---|---|"
cases=" ${VIDLUME_BENCH_CASES:-copy encode publish} "
[[ "$cases" != *" copy "* ]] || measure "stream copy, $gib GiB H.264 + AAC FLV" ours_copy theirs_copy 0
[[ "$cases" != *" encode "* ]] || measure "re-encode, 60 s 640x480 Sorenson + MP3" ours_encode theirs_encode 60
[[ "$cases" != *" publish "* ]] || measure "publish --html5 vs cp + ffmpeg, $gib GiB" ours_publish theirs_publish 0
echo "Load after the runs: $(cut -d' ' -f1-3 /proc/loadavg)" >&2
