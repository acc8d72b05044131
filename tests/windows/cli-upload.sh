#!/usr/bin/env bash
# vidlume-cli.exe upload under Wine against Debian's own sshd on 127.0.0.1, with
# its own port, host key, user key and configuration in WORK_DIR: an unknown host
# key is refused with its fingerprint before anything is written; the fingerprint
# given with --accept-host-key lets the folder arrive byte for byte; an unchanged
# rerun sends nothing; a changed file alone is sent again; a key with a
# passphrase is opened with the passphrase typed on the console; a port where no
# server listens is refused at once.
#   cli-upload.sh BIN_DIR WORK_DIR
set -euo pipefail
bin=$1
work=$2
rm -rf "$work"
mkdir -p "$work/server" "$work/site/clip" "$work/client"
server=$work/server

ssh-keygen -q -t ed25519 -N '' -C test-host -f "$server/host_key"
ssh-keygen -q -t ed25519 -N '' -C test-user -f "$work/client/user_key"
cp "$work/client/user_key.pub" "$server/authorized_keys"
fingerprint=$(ssh-keygen -lf "$server/host_key.pub" | cut -d' ' -f2)
[[ $(id -u) -ne 0 ]] || mkdir -p /run/sshd # sshd's privilege separation folder

sshd_pid=
stop_server() { [[ -z $sshd_pid ]] || kill "$sshd_pid" 2>/dev/null || true; }
trap stop_server EXIT
for attempt in $(seq 20); do
    port=$((20000 + ($$ * 7 + attempt * 131) % 30000))
    cat >"$server/sshd_config" <<CONFIG
Port $port
ListenAddress 127.0.0.1
HostKey $server/host_key
PidFile $server/sshd.pid
AuthorizedKeysFile $server/authorized_keys
StrictModes no
UsePAM no
PasswordAuthentication no
KbdInteractiveAuthentication no
PermitRootLogin prohibit-password
Subsystem sftp internal-sftp
CONFIG
    rm -f "$server/sshd.pid"
    /usr/sbin/sshd -f "$server/sshd_config" -E "$server/sshd.log" || continue
    for wait in $(seq 50); do
        [[ -s $server/sshd.pid ]] && break
        sleep 0.1
    done
    sshd_pid=$(cat "$server/sshd.pid" 2>/dev/null || true)
    [[ -n $sshd_pid ]] && break
done
[[ -n $sshd_pid ]] || { echo "sshd did not start"; cat "$server/sshd.log"; exit 1; }

# A small published folder: a page, a video, a picture in a subfolder.
printf '<html><body>clip</body></html>\n' >"$work/site/index.htm"
head -c 300000 /dev/urandom >"$work/site/clip/video.mp4"
head -c 5000 /dev/urandom >"$work/site/clip/poster.jpg"

windows() { winepath -w "$1" 2>/dev/null; }
remote=$work/remote
url="sftp://$(id -un)@127.0.0.1:$port$remote"
known_hosts=$work/client/known_hosts
upload() {
    set +e
    wine "$bin/vidlume-cli.exe" upload --identity "$(windows "$work/client/user_key")" \
        --known-hosts "$(windows "$known_hosts")" "$@" "$(windows "$work/site")" "$url" \
        </dev/null >"$work/stdout" 2>"$work/stderr"
    status=$?
    set -e
    tr -d '\r' <"$work/stderr" >"$work/stderr.txt"
}
same_folders() { diff -r --exclude=.vidlume-upload "$work/site" "$remote"; }

# An unknown server: refused with its key's fingerprint, nothing written anywhere.
upload
cat "$work/stderr.txt"
[[ $status == 1 ]] || { echo "an unknown host key gave exit $status, not 1"; exit 1; }
grep -qF "$fingerprint" "$work/stderr.txt" || { echo "the refusal does not show $fingerprint"; exit 1; }
[[ ! -e $remote ]] || { echo "something was written for an unknown server: $(ls -A "$remote")"; exit 1; }
[[ ! -e $known_hosts ]] || { echo "the known-hosts file was written without --accept-host-key"; exit 1; }

# The fingerprint accepted: the key is added, the folder arrives byte for byte.
upload --accept-host-key "$fingerprint"
cat "$work/stderr.txt"
[[ $status == 0 ]] || { echo "the upload exited with $status"; cat "$server/sshd.log"; exit 1; }
grep -q "^\[127.0.0.1\]:$port ssh-ed25519 " "$known_hosts" || { echo "the host key was not added"; exit 1; }
same_folders || { echo "the remote folder differs from the local one"; exit 1; }
grep -q "index.htm" "$work/stdout" || { echo "no page address on standard output"; exit 1; }

# Unchanged: the known host is trusted, and no file is sent again.
sleep 1
touch "$work/mark"
upload
[[ $status == 0 ]] || { cat "$work/stderr.txt"; echo "the rerun exited with $status"; exit 1; }
grep -q "Sent 0 file(s)" "$work/stderr.txt" || { cat "$work/stderr.txt"; echo "the rerun sent files"; exit 1; }
again=$(find "$remote" -type f ! -name .vidlume-upload -newer "$work/mark")
[[ -z $again ]] || { echo "the unchanged rerun wrote: $again"; exit 1; }

# One file changed: it alone is sent.
head -c 200000 /dev/urandom >"$work/site/clip/video.mp4"
upload
[[ $status == 0 ]] || { cat "$work/stderr.txt"; echo "the upload of a change exited with $status"; exit 1; }
grep -q "Sent 1 file(s)" "$work/stderr.txt" || { cat "$work/stderr.txt"; echo "not the changed file alone"; exit 1; }
same_folders || { echo "the changed file did not arrive"; exit 1; }

# A key with a passphrase, asked in the console with the echo off: script(1) gives
# the program a terminal, which Wine makes its console, and the passphrase is typed
# there once the prompt shows. The key lies in a folder whose name the system's
# code page cannot write, as a user's profile folder may.
passphrase='open sesame 7'
tokyo=$'\xe6\x9d\xb1\xe4\xba\xac'
keys=$work/client/$tokyo
mkdir -p "$keys"
ssh-keygen -q -t ed25519 -N "$passphrase" -C test-locked -f "$keys/locked_key"
cat "$keys/locked_key.pub" >>"$server/authorized_keys"
cat >"$work/locked.sh" <<SCRIPT
wine '$bin/vidlume-cli.exe' upload --identity '$(windows "$work/client")\\$tokyo\\locked_key' \\
    --known-hosts '$(windows "$known_hosts")' '$(windows "$work/site")' '$url'
echo "exit \$?"
SCRIPT
type_passphrase() {
    for wait in $(seq 600); do
        grep -q "Passphrase for" "$work/typescript" 2>/dev/null && break
        sleep 0.1
    done
    printf '%s\r' "$passphrase"
}
: >"$work/typescript"
type_passphrase | LC_ALL=C.UTF-8 script -qec "bash '$work/locked.sh'" /dev/null >"$work/typescript"
shown=$(sed 's/\x1b\[[?0-9;]*[a-zA-Z]//g' "$work/typescript" | tr -d '\r')
printf '%s\n' "$shown"
[[ $shown == *"Passphrase for"*"exit 0"* ]] || { echo "the key with a passphrase did not log in"; exit 1; }
[[ $shown != *"$passphrase"* ]] || { echo "the passphrase was shown on the console"; exit 1; }

# No server on the port any more: refused at once, in the system's words.
stop_server
sshd_pid=
sleep 0.5
started=$SECONDS
upload
cat "$work/stderr.txt"
[[ $status == 1 ]] || { echo "a refused connection gave exit $status, not 1"; exit 1; }
grep -q "Cannot reach the server: cannot connect to 127.0.0.1 port $port: ." "$work/stderr.txt" ||
    { echo "the refused connection is not told"; exit 1; }
((SECONDS - started < 10)) || { echo "a refused connection took $((SECONDS - started)) s"; exit 1; }

echo "uploaded, rerun and updated over SFTP: $(cd "$remote" && find . -type f | sort | tr '\n' ' ')"
