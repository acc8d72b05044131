#!/usr/bin/env bash
# Takes docs/upload-dialog-light.png and docs/upload-dialog-dark.png: "Upload"
# after it sent a small published folder to the upload tests' WebDAV server
# (Apache httpd on 127.0.0.1, tests/servers/tls-server.sh), on a virtual X server.
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${VIDLUME_BUILD_DIR:-build}
if [[ "${1:-}" != --built ]]; then
    scripts/install-deps.sh screenshot
    scripts/build.sh
fi
work=${TMPDIR:-/tmp}/vidlume-upload-shot
rm -rf "$work"
mkdir -p "$work/server" "$work/Holiday"
server_pid=
trap '[[ -z $server_pid ]] || kill "$server_pid" 2>/dev/null; rm -rf "$work"' EXIT
read -r port server_pid _ < <(bash tests/servers/tls-server.sh webdav "$work/server")
printf '<html><body>Holiday</body></html>\n' >"$work/Holiday/index.htm"
head -c 3000000 /dev/urandom >"$work/Holiday/Holiday.flv"
head -c 20000 /dev/urandom >"$work/Holiday/Holiday.mp4"
for palette in light dark; do
    HOME=$work xvfb-run -a -s "-screen 0 1024x768x24" "$dir/bin/upload_shot" "docs/upload-dialog-$palette.png" \
        "$palette" "$work/Holiday" "$port" "$work/server/password" "$work/server/ca.pem"
done
