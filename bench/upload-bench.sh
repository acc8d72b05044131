#!/usr/bin/env bash
# Times vidlume-cli upload over SFTP on 127.0.0.1 against OpenSSH's own sftp
# putting the same files, both into an empty remote folder, alternating the two,
# and prints a Markdown row of medians and peak resident memory. The server is
# Debian's sshd with its own port, host key and user key in a temporary folder.
# Not part of the test run.
#
# Usage: bench/upload-bench.sh [RUNS]     (RUNS defaults to 3)
# Environment:
#   VIDLUME_BENCH_DIR   where the folder and the copies go (default /var/tmp;
#                       three times the folder's size free)
#   VIDLUME_BENCH_MIB   the folder's size in MiB, in four files (default 1024)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${VIDLUME_BUILD_DIR:-build}
cmake --build "$build" --target vidlume-cli >/dev/null
cli=$PWD/$build/bin/vidlume-cli
runs=${1:-3}
mib=${VIDLUME_BENCH_MIB:-1024}
work=$(mktemp -d -p "${VIDLUME_BENCH_DIR:-/var/tmp}" vidlume-upload-bench-XXXXXX)
pid=
cleanup() { [[ -n "$pid" ]] && kill "$pid" 2>/dev/null; rm -rf "$work"; }
trap cleanup EXIT

ssh-keygen -q -t ed25519 -N '' -f "$work/host_key"
ssh-keygen -q -t ed25519 -N '' -f "$work/user_key"
cp "$work/user_key.pub" "$work/authorized_keys"
port=$((20000 + $$ % 30000))
cat > "$work/sshd_config" <<CONFIG
Port $port
ListenAddress 127.0.0.1
HostKey $work/host_key
PidFile $work/sshd.pid
AuthorizedKeysFile $work/authorized_keys
StrictModes no
UsePAM no
Subsystem sftp internal-sftp
CONFIG
[[ $(id -u) -eq 0 ]] && mkdir -p /run/sshd
/usr/sbin/sshd -f "$work/sshd_config" -E "$work/sshd.log"
for _ in $(seq 50); do [[ -s "$work/sshd.pid" ]] && break; sleep 0.1; done
pid=$(cat "$work/sshd.pid")
echo "[127.0.0.1]:$port $(cut -d' ' -f1,2 "$work/host_key.pub")" > "$work/known_hosts"

mkdir -p "$work/site"
for i in 1 2 3 4; do head -c $((mib / 4))M /dev/urandom > "$work/site/part$i.flv"; done
user=$(id -un)

median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
: > "$work/ours"; : > "$work/theirs"
for run in $(seq "$runs"); do
    rm -rf "$work/remote-ours" "$work/remote-sftp"; mkdir "$work/remote-sftp"
    /usr/bin/time -f "%e %M" -o "$work/t" "$cli" upload --identity "$work/user_key" \
        --known-hosts "$work/known_hosts" --user "$user" "$work/site" \
        "sftp://127.0.0.1:$port$work/remote-ours" >/dev/null
    cat "$work/t" >> "$work/ours"
    printf 'put %s/site/* %s/remote-sftp/\n' "$work" "$work" > "$work/batch"
    /usr/bin/time -f "%e %M" -o "$work/t" sftp -q -b "$work/batch" -i "$work/user_key" -P "$port" \
        -o UserKnownHostsFile="$work/known_hosts" -o BatchMode=yes "$user@127.0.0.1" >/dev/null
    cat "$work/t" >> "$work/theirs"
    cmp "$work/site/part1.flv" "$work/remote-ours/part1.flv"
done
ours=$(cut -d' ' -f1 "$work/ours" | median)
theirs=$(cut -d' ' -f1 "$work/theirs" | median)
ours_rss=$(cut -d' ' -f2 "$work/ours" | sort -n | tail -1)
theirs_rss=$(cut -d' ' -f2 "$work/theirs" | sort -n | tail -1)
echo "| Folder | Runs | vidlume-cli upload median (s) | sftp put median (s) | Ratio | vidlume-cli peak RSS (MiB) | sftp peak RSS (MiB) |"
echo "|---|---|---|---|---|---|---|"
awk -v m="$mib" -v r="$runs" -v o="$ours" -v t="$theirs" -v orss="$ours_rss" -v trss="$theirs_rss" \
    'BEGIN { printf "| %d MiB, 4 files | %d | %.2f | %.2f | %.2f | %.1f | %.1f |\n", m, r, o, t, o / t, orss / 1024, trss / 1024 }'
