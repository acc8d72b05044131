#!/usr/bin/env bash
# Times vidlume-cli site on archives made with ffmpeg and prints Markdown rows:
#  1. eight Sorenson FLVs that need encoding again: the sum of the single jobs'
#     times (all jobs one after another on one processor, taskset -c 0) divided
#     by the processors is the ideal; -j 1 and -j 2 on all processors are
#     measured against it (median of RUNS runs each, a fresh site every run);
#  2. an unchanged rerun over 100 small videos (wall time, peak memory);
#  3. the plan of 10,000 tiny FLVs, then the gallery for all of them, from
#     results made from one real job's (wall time, peak memory).
# Not part of the test run.
#
# Usage: bench/site-bench.sh [RUNS]     (RUNS defaults to 3)
# Environment:
#   VIDLUME_BENCH_DIR   where the archives and sites go (default /var/tmp;
#                       about 300 MiB free)
#   VIDLUME_BENCH_SECONDS  each re-encoded video's length (default 20)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${VIDLUME_BUILD_DIR:-build}
cmake --build "$build" --target vidlume-cli vidlume-convert >/dev/null
cli=$PWD/$build/bin/vidlume-cli
runs=${1:-3}
seconds=${VIDLUME_BENCH_SECONDS:-20}
work=$(mktemp -d -p "${VIDLUME_BENCH_DIR:-/var/tmp}" vidlume-site-bench-XXXXXX)
trap 'rm -rf "$work"' EXIT

median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
# timed OUTFILE COMMAND...: appends "seconds peak-KiB" of the command to OUTFILE.
# A left-out video (exit 3) fails the benchmark: every video here is sound.
timed() {
    local out=$1; shift
    /usr/bin/time -f "%e %M" -o "$work/t" "$@" >/dev/null 2>"$work/err" ||
        { cat "$work/err" >&2; exit 1; }
    cat "$work/t" >> "$out"
}
ffmpeg_quiet=(ffmpeg -nostdin -loglevel error -y)
processors=$(nproc)

# 1. Throughput against the ideal.
mkdir -p "$work/encode"
for i in $(seq 1 8); do
    "${ffmpeg_quiet[@]}" -f lavfi -i "testsrc2=s=640x360:r=25:d=$seconds" \
        -f lavfi -i "sine=frequency=$((200 + 50 * i)):d=$seconds" \
        -c:v flv1 -q:v 4 -c:a libmp3lame -ar 44100 -b:a 96k "$work/encode/talk-$i.flv"
done
: > "$work/single"; : > "$work/j1"; : > "$work/j2"
for run in $(seq "$runs"); do
    rm -rf "$work/s"; timed "$work/single" taskset -c 0 "$cli" site -j 1 --out "$work/s" "$work/encode"
    rm -rf "$work/s"; timed "$work/j1" "$cli" site -j 1 --out "$work/s" "$work/encode"
    rm -rf "$work/s"; timed "$work/j2" "$cli" site -j 2 --out "$work/s" "$work/encode"
done
single=$(cut -d' ' -f1 "$work/single" | median)
ideal=$(awk -v s="$single" -v p="$processors" 'BEGIN { printf "%.2f", s / p }')
echo "| Jobs at a time | Runs | Median wall time (s) | Ideal (s) | Throughput against the ideal |"
echo "|---|---|---|---|---|"
for j in 1 2; do
    t=$(cut -d' ' -f1 "$work/j$j" | median)
    awk -v j="$j" -v r="$runs" -v t="$t" -v i="$ideal" \
        'BEGIN { printf "| %d | %d | %.2f | %.2f | %.0f %% |\n", j, r, t, i, 100 * i / t }'
done
echo
echo "Ideal: $single s for the eight on one processor (median), divided by $processors processors."
echo

# 2. An unchanged rerun over 100 videos.
mkdir -p "$work/hundred"
"${ffmpeg_quiet[@]}" -f lavfi -i testsrc2=s=160x90:r=10:d=2 -c:v flv1 "$work/small.flv"
for i in $(seq -w 1 100); do
    mkdir -p "$work/hundred/year-${i:0:2}"
    # Each video its own title, so that each has content of its own.
    "${ffmpeg_quiet[@]}" -i "$work/small.flv" -c copy -metadata title="Clip $i" \
        "$work/hundred/year-${i:0:2}/clip-$i.flv"
done
"$cli" site --out "$work/s100" "$work/hundred" >/dev/null 2>&1
: > "$work/rerun"
for run in $(seq "$runs"); do timed "$work/rerun" "$cli" site --out "$work/s100" "$work/hundred"; done
echo "| Task | Runs | Median wall time (s) | Peak memory (MiB) |"
echo "|---|---|---|---|"
row() {
    local t m
    t=$(cut -d' ' -f1 "$2" | median)
    m=$(cut -d' ' -f2 "$2" | sort -n | tail -1)
    awk -v n="$1" -v r="$runs" -v t="$t" -v m="$m" 'BEGIN { printf "| %s | %d | %.3f | %.1f |\n", n, r, t, m / 1024 }'
}
row "Unchanged rerun, 100 videos" "$work/rerun"

# 3. 10,000 videos: the plan, then the gallery.
"${ffmpeg_quiet[@]}" -f lavfi -i testsrc2=s=32x18:r=5:d=0.4 -c:v flv1 "$work/tiny.flv"
mkdir -p "$work/tenk"
for d in $(seq -w 0 99); do
    mkdir "$work/tenk/box-$d"
    for f in $(seq -w 0 99); do cp "$work/tiny.flv" "$work/tenk/box-$d/v$f.flv"; done
done
: > "$work/plan"; : > "$work/assemble"
for run in $(seq "$runs"); do
    rm -rf "$work/s10k"
    timed "$work/plan" "$cli" site plan --out "$work/s10k" "$work/tenk"
done
# One real job gives the result and picture every other job would give (their
# sources are alike); each result is written with its own index and folder.
"$cli" site job --out "$work/s10k" --index 0 >/dev/null 2>&1
/usr/bin/python3 - "$work/s10k" <<'PY'
import json, os, sys
site = sys.argv[1]
plan = json.load(open(os.path.join(site, "vidlume-site.json")))
jobs = os.path.join(site, "vidlume-site", "jobs")
pictures = os.path.join(site, "vidlume-site", "pictures")
template = json.load(open(os.path.join(jobs, "0.json")))
for video in plan["videos"]:
    n = video["index"]
    result = dict(template, index=n, folder=video["folder"], picture=f"{n}.jpg")
    with open(os.path.join(jobs, f"{n}.json"), "w") as out:
        json.dump(result, out, indent=1, sort_keys=True)
    if n:
        os.link(os.path.join(pictures, "0.jpg"), os.path.join(pictures, f"{n}.jpg"))
PY
for run in $(seq "$runs"); do timed "$work/assemble" "$cli" site assemble --out "$work/s10k"; done
row "Plan, 10,000 videos" "$work/plan"
pages=$(find "$work/s10k" -maxdepth 1 -name 'index*.htm' | wc -l)
row "Gallery, 10,000 videos ($pages pages)" "$work/assemble"
