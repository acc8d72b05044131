#!/usr/bin/env bash
# vidlume-cli.exe upload under Wine over FTPS (Debian's vsftpd) and WebDAV over
# HTTPS (Debian's Apache httpd), each on 127.0.0.1 with its own port, configuration
# and certificate from a CA made for the test (tests/servers/tls-server.sh): a
# certificate that no trusted CA signed is refused before anything is written; with
# --ca-file the folder arrives byte for byte; an unchanged rerun sends nothing; a
# changed file alone is sent again. The password comes from VIDLUME_PASSWORD; for
# WebDAV once more from the Credential Manager, where KEEP_PASSWORD puts it.
#   cli-upload-tls.sh BIN_DIR WORK_DIR KEEP_PASSWORD
set -euo pipefail
bin=$1
work=$2
keep_password=$3
here=$(cd "$(dirname "$0")" && pwd)
rm -rf "$work"
mkdir -p "$work/site/clip"
printf '<html><body>clip</body></html>\n' >"$work/site/index.htm"
head -c 300000 /dev/urandom >"$work/site/clip/video.mp4"
head -c 5000 /dev/urandom >"$work/site/clip/poster.jpg"
windows() { winepath -w "$1" 2>/dev/null; }

pids=()
stop_servers() { for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done; }
trap stop_servers EXIT

tried=0
for kind in ftps webdav; do
    mkdir -p "$work/$kind"
    set +e
    started=$(bash "$here/../servers/tls-server.sh" "$kind" "$work/$kind")
    result=$?
    set -e
    if [[ $result == 77 ]]; then
        echo "$kind: skipped ($started)"
        continue
    fi
    [[ $result == 0 ]] || { echo "the $kind server did not start: $started"; exit 1; }
    read -r port pid user <<<"$started"
    pids+=("$pid")
    tried=$((tried + 1))
    if [[ $kind == ftps ]]; then
        url="ftps://127.0.0.1:$port/pub/site"
        remote=$work/$kind/root/pub/site
    else
        url="https://127.0.0.1:$port/www/site"
        remote=$work/$kind/root/www/site
    fi
    upload() {
        set +e
        VIDLUME_PASSWORD=${environment_password-$(cat "$work/$kind/password")} \
            wine "$bin/vidlume-cli.exe" upload --user "$user" "$@" \
            "$(windows "$work/site")" "$url" </dev/null >"$work/stdout" 2>"$work/stderr"
        status=$?
        set -e
        tr -d '\r' <"$work/stderr" >"$work/stderr.txt"
    }

    # Signed by a CA that neither Windows nor the command trusts: refused, nothing written.
    upload
    cat "$work/stderr.txt"
    [[ $status == 1 ]] || { echo "$kind: an untrusted certificate gave exit $status, not 1"; exit 1; }
    grep -q "certificate could not be verified" "$work/stderr.txt" || { echo "$kind: not told why"; exit 1; }
    [[ ! -e $remote ]] || { echo "$kind: something was written: $(ls -A "$remote")"; exit 1; }

    upload --ca-file "$(windows "$work/$kind/ca.pem")"
    cat "$work/stderr.txt"
    [[ $status == 0 ]] || { echo "$kind: the upload exited with $status"; exit 1; }
    diff -r --exclude=.vidlume-upload "$work/site" "$remote" || { echo "$kind: the folders differ"; exit 1; }
    grep -qF "$url/index.htm" "$work/stdout" || { echo "$kind: no page address on standard output"; exit 1; }

    upload --ca-file "$(windows "$work/$kind/ca.pem")"
    grep -q "Sent 0 file(s)" "$work/stderr.txt" || { cat "$work/stderr.txt"; echo "$kind: the rerun sent files"; exit 1; }

    head -c 200000 /dev/urandom >"$work/site/clip/video.mp4"
    upload --ca-file "$(windows "$work/$kind/ca.pem")"
    grep -q "Sent 1 file(s)" "$work/stderr.txt" || { cat "$work/stderr.txt"; echo "$kind: not the change alone"; exit 1; }
    diff -r --exclude=.vidlume-upload "$work/site" "$remote" || { echo "$kind: the change did not arrive"; exit 1; }
    echo "$kind: uploaded, rerun and updated"

    if [[ $kind == webdav ]]; then
        # No password in the environment: the one kept in the Credential Manager.
        wine "$keep_password" https 127.0.0.1 "$port" "$user" <"$work/$kind/password"
        head -c 1000 /dev/urandom >"$work/site/clip/poster.jpg"
        environment_password= upload --ca-file "$(windows "$work/$kind/ca.pem")"
        wine "$keep_password" --forget https 127.0.0.1 "$port" "$user"
        [[ $status == 0 ]] || { cat "$work/stderr.txt"; echo "$kind: the kept password was not used"; exit 1; }
        diff -r --exclude=.vidlume-upload "$work/site" "$remote" || { echo "$kind: the change did not arrive"; exit 1; }
        # Forgotten again: no password to log in with.
        head -c 1000 /dev/urandom >"$work/site/clip/poster.jpg"
        environment_password= upload --ca-file "$(windows "$work/$kind/ca.pem")"
        [[ $status == 1 ]] || { cat "$work/stderr.txt"; echo "$kind: uploaded without a password"; exit 1; }
        echo "$kind: the password kept in the Credential Manager was used, and forgotten"
    fi
done
[[ $tried -gt 0 ]] || exit 77
