#!/usr/bin/env bash
# Installs the build into a temporary prefix, as `cmake --install build --prefix DIR`
# does, and uses what a user would get there: the validated desktop files, a
# vidlume-cli that publishes with the files of DIR/share/vidlume, the window
# started from the desktop entry's Exec line, and manual pages and completion
# that know every option of `vidlume-cli --help`.
# Usage: install-prefix.sh BUILD_DIR APP_ID WITH_WINDOW(ON|OFF)
set -euo pipefail
build=$1 id=$2 window=$3

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
prefix=$tmp/prefix
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

cmake --install "$build" --prefix "$prefix" >/dev/null

expected=(bin/vidlume-cli libexec/vidlume/vidlume-convert
    "share/applications/$id.desktop" "share/metainfo/$id.metainfo.xml"
    "share/icons/hicolor/scalable/apps/$id.svg"
    share/man/man1/vidlume.1.gz share/man/man1/vidlume-cli.1.gz
    share/bash-completion/completions/vidlume-cli
    share/doc/vidlume/copyright share/doc/vidlume/changelog.gz)
for size in 16 24 32 48 64 128 256; do
    expected+=("share/icons/hicolor/${size}x$size/apps/$id.png")
done
[[ $window == ON ]] && expected+=(bin/vidlume)
for file in "${expected[@]}"; do
    [[ -f $prefix/$file ]] || fail "not installed: $file"
done
for size in 16 24 32 48 64 128 256; do
    read -r w h < <(file -b "$prefix/share/icons/hicolor/${size}x$size/apps/$id.png" |
        sed -n 's/.* \([0-9]*\) x \([0-9]*\),.*/\1 \2/p')
    [[ "$w $h" == "$size $size" ]] || fail "the ${size} px icon is ${w}x$h"
done

# share/vidlume holds what the build placed beside the programs, nothing else.
beside=$(cd "$build/bin" && for f in *; do
    if [[ -f $f && $f != vidlume.ini && $(head -c4 "$f" | od -An -tx1 | tr -d ' \n') != 7f454c46 ]]; then
        echo "$f"
    fi
done | sort)
installed=$(ls -A "$prefix/share/vidlume" | sort)
[[ $beside == "$installed" ]] || fail "share/vidlume holds [$installed], the build placed [$beside]"
[[ -f $prefix/share/vidlume/vidlume-html5.js ]] || fail "the HTML5 player's script is not installed"
[[ -f $prefix/share/vidlume/flvplayer1.swf ]] || fail "the Flash player file is not installed"

echo "== desktop-file-validate"
desktop-file-validate "$prefix/share/applications/$id.desktop" || fail "desktop-file-validate"
# "Open With" in a file manager: the video types, the file on the command line,
# and the window's class for docks.
entry=$prefix/share/applications/$id.desktop
grep -qx 'MimeType=video/x-flv;video/mp4;' "$entry" || fail "the desktop entry lacks MimeType=video/x-flv;video/mp4;"
grep -qx 'Exec=vidlume %f' "$entry" || fail "the desktop entry does not start vidlume with the file"
grep -qx 'StartupWMClass=Vidlume' "$entry" || fail "the desktop entry lacks StartupWMClass=Vidlume"
# Desktops built on GLib list only the entries that GIO loads, and GIO hides one
# whose TryExec program is not on the PATH.
mkdir -p "$tmp/fakebin"
printf '#!/bin/sh\n' >"$tmp/fakebin/vidlume" && chmod +x "$tmp/fakebin/vidlume"
gio_check='
import sys, gi
gi.require_version("Gio", "2.0")
from gi.repository import Gio
try:
    info = Gio.DesktopAppInfo.new_from_filename(sys.argv[1])
except TypeError:  # the constructor returned nothing
    info = None
if info is None:
    sys.exit("GIO does not load the entry")
if info.get_executable() != "vidlume":
    sys.exit("GIO finds the program [%s], not vidlume" % info.get_executable())
if not info.supports_files():
    sys.exit("GIO does not hand files to the program")
'
env PATH="$tmp/fakebin:/usr/bin:/bin" /usr/bin/python3 -c "$gio_check" "$entry" || fail "GIO rejects the desktop entry"
env PATH="/usr/bin:/bin" /usr/bin/python3 -c "$gio_check" "$entry" 2>/dev/null &&
    fail "GIO loads the entry with no vidlume on the PATH"
if command -v update-desktop-database >/dev/null && command -v xdg-mime >/dev/null; then
    update-desktop-database "$prefix/share/applications"
    default=$(env XDG_DATA_DIRS="$prefix/share" XDG_DATA_HOME="$tmp/nothing" XDG_CONFIG_HOME="$tmp/nothing" \
        XDG_CURRENT_DESKTOP=X-Generic xdg-mime query default video/x-flv)
    [[ $default == "$id.desktop" ]] || fail "xdg-mime names [$default] for video/x-flv, not $id.desktop"
fi
echo "== appstreamcli validate"
# --no-net: the screenshots' addresses are not fetched during a test run.
appstreamcli validate --no-net "$prefix/share/metainfo/$id.metainfo.xml" || fail "appstreamcli validate"

# The installed command line tool publishes with the files of share/vidlume.
echo "== publish with the installed vidlume-cli"
head -c 100000 /dev/urandom >"$tmp/holiday.flv"
set +e
"$prefix/bin/vidlume-cli" --html5 --out "$tmp/out" "$tmp/holiday.flv" >"$tmp/stdout" 2>"$tmp/stderr"
status=$?
set -e
cat "$tmp/stderr"
# The converter is found in libexec/vidlume: the random bytes are no video to it.
grep -q '"holiday.mp4" was not made: the HTML5 player cannot play holiday.flv' "$tmp/stderr" ||
    fail "the installed converter did not look at the video"
folder=$tmp/out/holiday
[[ $(cat "$tmp/stdout") == "$folder" ]] || fail "vidlume-cli printed [$(cat "$tmp/stdout")], not the new folder"
for file in "$prefix"/share/vidlume/*; do
    cmp -s "$file" "$folder/${file##*/}" || fail "${file##*/} of share/vidlume is not in the new folder"
done
left_out=$(grep -c 'was not copied' "$tmp/stderr" || true)
if ((left_out > 0)); then
    # A file missing from the installation is looked for, and named, in share/vidlume.
    grep 'was not copied' "$tmp/stderr" | grep -qv "\"$prefix/share/vidlume/" &&
        fail "a file was looked for outside $prefix/share/vidlume"
fi
# The MP4 for browsers is left out: the folder lacks a file.
[[ $status == 3 ]] || fail "vidlume-cli exited with $status, not 3"

# The window starts from the desktop entry's Exec line, found on the PATH.
if [[ $window == ON ]]; then
    echo "== start the window from the desktop entry"
    # The file manager puts the chosen file in place of %f.
    exec_line=$(sed -n 's/^Exec=//p' "$prefix/share/applications/$id.desktop")
    exec_line=${exec_line//%f/$tmp/holiday.flv}
    mkdir "$tmp/home"
    set +e
    env PATH="$prefix/bin:$PATH" HOME="$tmp/home" XDG_CONFIG_HOME="$tmp/home/.config" \
        QT_QPA_PLATFORM=offscreen VIDLUME_QUIT_WHEN_SHOWN=1 timeout 60 $exec_line
    status=$?
    set -e
    [[ $status == 0 ]] || fail "'$exec_line' exited with $status"
    [[ -d $tmp/home/vidlume ]] || fail "the window did not create its default output folder"
    [[ ! -e $prefix/bin/vidlume.ini ]] || fail "the installed window wrote a settings file into bin/"
fi

# The manual page and the completion know every option that --help lists.
echo "== manual page and completion against --help"
man_source=$(gzip -dc "$prefix/share/man/man1/vidlume-cli.1.gz")
completion=$(cat "$prefix/share/bash-completion/completions/vidlume-cli")
help=$("$prefix/bin/vidlume-cli" --help)
for option in $(grep -o -- '--[a-z][a-z0-9-]*' <<<"$help" | sort -u); do
    grep -qF -- "${option//-/\\-}" <<<"$man_source" || fail "vidlume-cli.1 does not describe $option"
    grep -qw -- "$option" <<<"$completion" || fail "the completion does not offer $option"
done
# Every exit status that --help's "Exit status:" part names.
for code in $(sed -n '/^Exit status:/,$p' <<<"$help" | grep -oE '(^|[ (])[0-9]{1,3}\b' | tr -d ' ('); do
    grep -qx ".B $code" <<<"$man_source" || fail "vidlume-cli.1 does not explain exit status $code"
done

((failures == 0)) || exit 1
echo "install into a prefix: all checks passed"
