#!/usr/bin/env bash
# Drives vidlume-cli through the failures that a user's machine deals out and
# prints a Markdown report of what each left behind. Not part of the test run.
#
# Usage: bench/reliability.sh [KILLS]            (KILLS defaults to 20)
# Environment:
#   VIDLUME_RELIABILITY_DIR          where the videos and outputs go (default /var/tmp)
#   VIDLUME_RELIABILITY_MIB          size of the video that is killed (default 1024)
#   VIDLUME_RELIABILITY_PARALLEL_MIB size of the video of the 16 parallel runs (default 64)
# Cases that need root (mounts, running as an ordinary user) are reported as
# skipped otherwise. Needs about three times the video's size free.
#
# Cases:
#   kill -9 at KILLS random moments of a publish, with unnamed temporary
#     files (the file system's own) and with them refused (a preload shim,
#     as on FAT or NFS), then one more generation into the same folder;
#   a full tmpfs, a read-only output folder (a read-only mount, and a mode
#     555 folder for an ordinary user), a video the user may not read,
#     /dev/zero as the video, and 16 generations of one video at once.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh bench
scripts/build.sh >/dev/null

kills=${1:-20}
mib=${VIDLUME_RELIABILITY_MIB:-1024}
parallel_mib=${VIDLUME_RELIABILITY_PARALLEL_MIB:-64}
bin=$PWD/${VIDLUME_BUILD_DIR:-build}/bin
cli=$bin/vidlume-cli
player=$bin/flvplayer1.swf
work=$(mktemp -d -p "${VIDLUME_RELIABILITY_DIR:-/var/tmp}" vidlume-reliability-XXXXXX)
chmod 755 "$work" # the cases run as an ordinary user read the videos here
mounts=()

cleanup() {
    local m
    for m in "${mounts[@]}"; do
        umount "$m" 2>/dev/null || true
    done
    chmod -R u+rwX "$work" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

is_root() { [[ $(id -u) -eq 0 ]]; }

# Runs the CLI; a generation that only left out the player file (exit 3
# where the build has none beside the program) counts as complete.
publish_ok() {
    local status=0
    "$cli" --no-html5 "$@" || status=$?
    [[ $status -eq 0 || ($status -eq 3 && ! -f $player) ]]
}

mount_tmpfs() { # DIR SIZE [OPTIONS]
    mkdir -p "$1"
    mount -t tmpfs -o "size=$2${3:+,$3}" tmpfs "$1"
    mounts+=("$1")
}

# Runs the CLI with the given arguments; sets status, err (first line of
# standard error without the progress bar) and out.
run_cli() {
    local runner=()
    if [[ $1 == --as-nobody ]]; then
        runner=(runuser -u nobody --)
        shift
    fi
    set +e
    out=$("${runner[@]}" timeout 60 "$cli" --no-html5 "$@" 2>"$work/stderr")
    status=$?
    set -e
    err=$(tr '\r' '\n' <"$work/stderr" | grep -v '\[' | grep -v '^$' | head -n 1 | sed "s|$work/||g")
}

# Prints "<complete files> <other files> <bytes in other files>" for every
# file below folder $1: a complete file is one of the generation's names
# holding exactly its source's bytes (video $2, page $3).
audit() {
    local complete=0 others=0 bytes=0 f name source
    while IFS= read -r -d '' f; do
        name=${f##*/}
        case $name in
            "${2##*/}") source=$2 ;;
            flvplayer1.swf) source=$player ;;
            index.htm) source=$3 ;;
            *) source= ;;
        esac
        if [[ -n $source ]] && cmp -s "$f" "$source"; then
            complete=$((complete + 1))
        else
            others=$((others + 1))
            bytes=$((bytes + $(stat -c %s "$f")))
        fi
    done < <(find "$1" -type f -print0)
    echo "$complete $others $bytes"
}

row() {
    local line="|" cell
    for cell in "$@"; do
        line+=" $cell |"
    done
    echo "$line"
}
separator() { row $(printf -- '--- %.0s' $(seq "$1")); }

echo "Making a ${mib} MiB video ..." >&2
video=$work/holiday.flv
head -c "$((mib << 20))" /dev/urandom >"$video"
page=$work/holiday.htm
"$cli" --no-html5 --print-page "$video" >"$page"

# How long one publish takes, for the spread of the kill moments.
start=$EPOCHREALTIME
publish_ok --out "$work/timing" "$video" >/dev/null 2>&1
took_ms=$(awk -v s="$start" -v e="$EPOCHREALTIME" 'BEGIN { printf "%d", (e - s) * 1000 }')
rm -rf "$work/timing"

# A shim that refuses unnamed files, as FAT, NFS or an old kernel do.
shim=$work/no-tmpfile.so
cat >"$work/no-tmpfile.c" <<'EOF'
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <stdarg.h>
static int refuse(int flags) { return (flags & O_TMPFILE) == O_TMPFILE; }
#define WRAP(name)                                                              \
    int name(const char* path, int flags, ...)                                  \
    {                                                                           \
        va_list args;                                                           \
        va_start(args, flags);                                                  \
        mode_t mode = va_arg(args, mode_t);                                     \
        va_end(args);                                                           \
        if (refuse(flags)) {                                                    \
            errno = EOPNOTSUPP;                                                 \
            return -1;                                                          \
        }                                                                       \
        int (*real)(const char*, int, ...) = dlsym(RTLD_NEXT, #name);           \
        return real(path, flags, mode);                                         \
    }
WRAP(open)
WRAP(open64)
EOF
"${CC:-cc}" -shared -fPIC -O2 -o "$shim" "$work/no-tmpfile.c" -ldl

# kill -9 at random moments within 1.2 times a whole publish, each time into
# the same output folder; the folder each kill left is audited before the next
# run starts. Prints a row.
kill_runs() { # LABEL [PRELOAD]
    local label=$1 preload=${2:-} out=$work/kills i delay pid new
    local unfinished=0 leaving=0 total=0 largest=0 complete others bytes
    rm -rf "$out"
    mkdir -p "$out"
    for ((i = 1; i <= kills; i++)); do
        delay=$(awk -v r="$RANDOM" -v t="$took_ms" 'BEGIN { printf "%.3f", r / 32767 * t * 1.2 / 1000 }')
        find "$out" -mindepth 1 -maxdepth 1 -type d | sort >"$work/before"
        env ${preload:+LD_PRELOAD=$preload} "$cli" --no-html5 --out "$out" "$video" >/dev/null 2>&1 &
        pid=$!
        sleep "$delay"
        kill -9 "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
        new=$(find "$out" -mindepth 1 -maxdepth 1 -type d | sort | comm -13 "$work/before" -)
        [[ -n $new ]] || continue
        read -r complete others bytes < <(audit "$new" "$video" "$page")
        [[ $complete -lt $expected ]] && unfinished=$((unfinished + 1))
        if [[ $bytes -gt 0 || $others -gt 0 ]]; then
            leaving=$((leaving + 1))
            total=$((total + bytes))
            [[ $bytes -gt $largest ]] && largest=$bytes
        fi
    done
    # One more generation into the same output folder, not killed.
    LD_PRELOAD=$preload publish_ok --out "$out" "$video" >/dev/null 2>&1
    read -r _ others bytes < <(audit "$out" "$video" "$page")
    row "$label" "$kills" "$unfinished" "$leaving" "$total" "$largest" "$others" "$bytes"
    rm -rf "$out"
}

expected=2 # complete files of a generation: the video, the page, and the
[[ -f $player ]] && expected=3 # player file where the build has one

echo "## Kills (one publish of a ${mib} MiB video took ${took_ms} ms)"
echo
row "Temporary files" "Kills" "Generations cut short" "Kills that left bytes outside complete files" \
    "Bytes they left in all" "Most left by one kill" "Other files in the output folder after one more generation" \
    "Bytes in them"
separator 8
kill_runs "unnamed (O_TMPFILE, ext4)"
kill_runs "hidden names, O_TMPFILE refused" "$shim"
echo

echo "## Failures"
echo
row "Case" "Exit status" "Standard error (first line)" "Folder contents afterwards" "Bytes outside complete files"
separator 5

small=$work/small.flv
head -c $((96 << 20)) /dev/urandom >"$small"
small_page=$work/small.htm
"$cli" --no-html5 --print-page "$small" >"$small_page"

if is_root; then
    mount_tmpfs "$work/full" 64m
    run_cli --out "$work/full" "$small"
    read -r complete others bytes < <(audit "$work/full" "$small" "$small_page")
    used=$(df --output=used -B1 "$work/full" | tail -n 1 | tr -d ' ')
    row "96 MiB video into a 64 MiB tmpfs" "$status" "$err" \
        "$(ls -A "$work/full/small" | tr '\n' ' ')($complete complete, tmpfs holds $used bytes)" "$bytes"

    mount_tmpfs "$work/readonly" 1m ro
    run_cli --out "$work/readonly" "$small"
    row "read-only mount as output folder" "$status" "$err" "$(ls -A "$work/readonly" | wc -l) entries" "0"
else
    row "96 MiB video into a 64 MiB tmpfs" "skipped: needs root" "" "" ""
    row "read-only mount as output folder" "skipped: needs root" "" "" ""
fi

if is_root && id nobody >/dev/null 2>&1; then
    mkdir -m 555 "$work/mode555"
    run_cli --as-nobody --out "$work/mode555" "$small"
    row "mode 555 output folder, ordinary user" "$status" "$err" "$(ls -A "$work/mode555" | wc -l) entries" "0"

    mkdir -m 777 "$work/unreadable-out"
    cp "$small" "$work/secret.flv"
    "$cli" --no-html5 --print-page "$work/secret.flv" >"$work/secret.htm"
    chmod 000 "$work/secret.flv"
    run_cli --as-nobody --out "$work/unreadable-out" "$work/secret.flv"
    read -r complete others bytes < <(audit "$work/unreadable-out" "$work/secret.flv" "$work/secret.htm")
    row "video with mode 000, ordinary user" "$status" "$err" \
        "$(ls -A "$work/unreadable-out"/* | tr '\n' ' ')" "$bytes"
else
    row "mode 555 output folder, ordinary user" "skipped: needs root and user nobody" "" "" ""
    row "video with mode 000, ordinary user" "skipped: needs root and user nobody" "" "" ""
fi

if is_root; then
    mount_tmpfs "$work/zero" 64m
    start=$EPOCHREALTIME
    run_cli --out "$work/zero" /dev/zero
    secs=$(awk -v s="$start" -v e="$EPOCHREALTIME" 'BEGIN { printf "%.1f", e - s }')
    used=$(df --output=used -B1 "$work/zero" | tail -n 1 | tr -d ' ')
    row "/dev/zero as the video, into a 64 MiB tmpfs" "$status (after $secs s)" "$err" \
        "$(find "$work/zero" -type f -printf '%P ')(tmpfs holds $used bytes)" \
        "$(find "$work/zero" -name '.*' -type f -printf '%s\n' | awk '{ s += $1 } END { print s + 0 }')"
else
    row "/dev/zero as the video" "skipped: needs root (it would fill the disk)" "" "" ""
fi
echo

echo "## 16 generations of one ${parallel_mib} MiB video into one folder at once"
echo
parallel_video=$work/parallel/trip.flv
mkdir -p "$work/parallel"
head -c $((parallel_mib << 20)) /dev/urandom >"$parallel_video"
parallel_page=$work/parallel/trip.htm
"$cli" --no-html5 --print-page "$parallel_video" >"$parallel_page"
out=$work/parallel/out
publish_ok --out "$out" "$parallel_video" >/dev/null 2>&1 # an earlier generation, to stay untouched
earlier=$(cd "$out/trip" && sha256sum -- * && stat -c '%n %Y' -- *)
pids=()
for ((i = 0; i < 16; i++)); do
    publish_ok --out "$out" "$parallel_video" >"$work/parallel/$i.out" 2>"$work/parallel/$i.err" &
    pids+=($!)
done
failures=0
for pid in "${pids[@]}"; do
    wait "$pid" || failures=$((failures + 1))
done
distinct=$(cat "$work"/parallel/*.out | sort -u | wc -l)
folders=$(find "$out" -mindepth 1 -maxdepth 1 -type d | wc -l)
complete_folders=0
for dir in "$out"/*/; do
    read -r complete others _ < <(audit "$dir" "$parallel_video" "$parallel_page")
    [[ $complete -eq $expected && $others -eq 0 ]] && complete_folders=$((complete_folders + 1))
done
later=$(cd "$out/trip" && sha256sum -- * && stat -c '%n %Y' -- *)
[[ "$earlier" == "$later" ]] && untouched=yes || untouched=no
row "Runs" "Runs that failed" "Distinct folders printed" "Folders (with the earlier one)" \
    "Complete folders ($expected complete files, nothing else)" "Earlier folder unchanged"
separator 6
row 16 "$failures" "$distinct" "$folders" "$complete_folders" "$untouched"
