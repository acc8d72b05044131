#!/usr/bin/env bash
# Times vidlume-cli publishing a large video against cp of the same file into a
# fresh folder, alternating the two, and prints a Markdown table of medians and
# peak resident memory. Not part of the test run.
#
# Usage: bench/publish-bench.sh [RUNS]            (RUNS defaults to 5)
# Environment:
#   VIDLUME_BENCH_DIR        where the sources and copies go (default /var/tmp)
#   VIDLUME_BENCH_SIZES_GIB  source sizes in GiB (default "1 4")
#   VIDLUME_BENCH_XFS=0      skip the reflink case on a loop-mounted XFS image
# The XFS case needs root; it is skipped with a note otherwise. Needs about
# three times the largest size free in VIDLUME_BENCH_DIR.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh bench
scripts/build.sh >/dev/null

runs=${1:-5}
sizes=${VIDLUME_BENCH_SIZES_GIB:-1 4}
cli=$PWD/${VIDLUME_BUILD_DIR:-build}/bin/vidlume-cli
work=$(mktemp -d -p "${VIDLUME_BENCH_DIR:-/var/tmp}" vidlume-bench-XXXXXX)
xfs_mount=""

cleanup() {
    if [[ -n "$xfs_mount" ]]; then
        umount "$xfs_mount" 2>/dev/null || true
    fi
    rm -rf "$work"
}
trap cleanup EXIT

# shellcheck source=bench/timing.sh
source bench/timing.sh

# One publishing run: a fresh output folder each time, nothing of the last run
# left in the page cache's dirty list.
run_vidlume() {
    rm -rf "$1/out"
    sync
    timed "$cli" --no-html5 --out "$1/out" "$2"
}

run_cp() {
    rm -rf "$1/cp"
    mkdir "$1/cp"
    sync
    timed cp "$2" "$1/cp/"
}

# Prints one table row for a source in folder $2, labelled $1.
measure() {
    local label=$1 folder=$2 source=$2/src/holiday.flv
    local v_times=() c_times=() v_rss=() c_rss=() ratios=() v c
    for ((i = 0; i < runs; i++)); do
        # Alternate which goes first, so drift in the machine's load hits both.
        if ((i % 2 == 0)); then
            v=$(run_vidlume "$folder" "$source"); c=$(run_cp "$folder" "$source")
        else
            c=$(run_cp "$folder" "$source"); v=$(run_vidlume "$folder" "$source")
        fi
        v_times+=("${v% *}"); v_rss+=("${v#* }")
        c_times+=("${c% *}"); c_rss+=("${c#* }")
        ratios+=("$(awk -v a="${v% *}" -v b="${c% *}" 'BEGIN { printf "%.3f", a / b }')")
        echo "  run $((i + 1)): vidlume-cli ${v% *} s, cp ${c% *} s" >&2
    done
    rm -rf "$folder/out" "$folder/cp"
    printf '| %s | %s | %.3f | %.3f | %.3f | %.1f | %.1f |\n' "$label" "$runs" \
        "$(printf '%s\n' "${v_times[@]}" | median)" "$(printf '%s\n' "${c_times[@]}" | median)" \
        "$(printf '%s\n' "${ratios[@]}" | median)" \
        "$(printf '%s\n' "${v_rss[@]}" | maximum | awk '{ print $1 / 1024 }')" \
        "$(printf '%s\n' "${c_rss[@]}" | maximum | awk '{ print $1 / 1024 }')"
}

make_source() { # folder, GiB
    mkdir -p "$1/src"
    dd if=/dev/urandom of="$1/src/holiday.flv" bs=1M count=$(($2 * 1024)) status=none
    sync
}

echo "| Source | Runs | vidlume-cli median (s) | cp median (s) | Median ratio vidlume/cp | vidlume-cli peak RSS (MiB) | cp peak RSS (MiB) |"
echo "|---|---|---|---|---|---|---|"
for gib in $sizes; do
    echo "Making a $gib GiB source in $work" >&2
    make_source "$work" "$gib"
    measure "$gib GiB, $(findmnt -no FSTYPE --target "$work")" "$work"
    # The largest source is kept for the reflink case.
    [[ "$gib" == "${sizes##* }" ]] || rm -f "$work/src/holiday.flv"
done

if [[ "${VIDLUME_BENCH_XFS:-1}" != 0 ]]; then
    if [[ $(id -u) -ne 0 ]]; then
        echo "The XFS reflink case needs root: skipped." >&2
    else
        gib=${sizes##* }
        truncate -s $((gib * 2 + 2))G "$work/xfs.img"
        mkfs.xfs -q -m reflink=1 "$work/xfs.img"
        mkdir "$work/xfs"
        mount -o loop "$work/xfs.img" "$work/xfs"
        xfs_mount=$work/xfs
        mkdir "$work/xfs/src"
        mv "$work/src/holiday.flv" "$work/xfs/src/holiday.flv"
        sync
        measure "$gib GiB, xfs with reflinks" "$work/xfs"
    fi
fi
