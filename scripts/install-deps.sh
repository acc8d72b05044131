#!/usr/bin/env bash
# Installs the Debian packages that building, running or testing Vidlume needs.
# Usage: scripts/install-deps.sh run|test|fuzz|bench|screenshot|package|windows
# Packages already present are not fetched again, so a second call costs nothing.
set -euo pipefail

# rsvg-convert renders the icon's PNGs; haxe compiles our Flash player, flvplayer1.swf.
# libssh2 (with OpenSSL's libcrypto) carries vidlume-cli upload's SFTP, libcurl its
# FTPS and WebDAV, expat reads WebDAV's answers; libsecret finds upload passwords
# in the desktop's keyring. ccache keeps compiled objects for the next build.
build=(g++ cmake make ccache pkg-config qt6-base-dev libgtest-dev libcli11-dev fonts-liberation2 librsvg2-bin haxe
       libavformat-dev libavcodec-dev libavutil-dev libswscale-dev libswresample-dev
       libssh2-1-dev libcurl4-openssl-dev libexpat1-dev libsecret-1-dev nlohmann-json3-dev)
# The build fetches playwright-core (which drives Chromium in the browser tests) and
# Ruffle (which runs our Flash player in one of them) with npm. A Node.js from
# elsewhere (for example a nodesource package) that brings its own npm will do.
command -v node >/dev/null || build+=(nodejs)
command -v npm >/dev/null || build+=(npm)
run=(xdg-utils)
# The browser tests make their videos with ffmpeg and play them in Chromium and
# Firefox ESR. The install checks validate the desktop files and build the package.
# test_platformDialog opens the GTK file dialog through Qt's GTK platform theme,
# in a display of its own made by xvfb-run, which needs xauth (only recommended).
# The upload tests start OpenSSH's server (sshd) and make its keys with ssh-keygen,
# vsftpd for FTPS and Apache httpd for WebDAV (htpasswd from apache2-utils), with
# certificates made by openssl. The keyring test runs GNOME Keyring's Secret Service
# on a desktop D-Bus of its own (dbus-daemon, dbus-send from dbus-bin).
# The site tests run its jobs with GNU parallel, as a user spreads them, and as a
# Slurm job array on a cluster of their own (slurmctld, slurmd, munge).
# The install test loads the desktop entry with GIO, as GLib-based desktops do.
test=(xvfb xauth chromium firefox-esr ffmpeg desktop-file-utils appstream dpkg-dev file qt6-gtk-platformtheme
      openssh-server openssh-client vsftpd apache2 apache2-utils openssl gnome-keyring dbus-daemon dbus-bin
      parallel python3-gi gir1.2-glib-2.0
      slurmctld slurmd slurm-client munge)
# CPack finds the libraries' packages with dpkg-shlibdeps (dpkg-dev, file).
package=(dpkg-dev file lintian)
# The sanitized build and the fuzz targets use clang and its sanitizer runtimes.
fuzz=(clang libclang-rt-14-dev)
bench=(time xfsprogs util-linux)
# The Windows build: mingw-w64's compilers (posix threads), its zlib, nasm for
# x264, dpkg-dev to unpack Debian's FFmpeg, x264, OpenSSL and libssh2 sources, perl
# for OpenSSL's build, GoogleTest's sources, NSIS for the installer, Wine to run
# the programs and tests, and OpenSSH's server and keys for the upload test.
windows=(mingw-w64 xvfb openbox xdotool x11-utils imagemagick librsvg2-bin icoutils g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix libz-mingw-w64-dev nasm dpkg-dev
         perl googletest nsis wine wine64 ffmpeg openssh-server openssh-client)
screenshot=(xvfb openbox imagemagick x11-utils)

case "${1:-}" in
    run) wanted=("${build[@]}" "${run[@]}") ;;
    test) wanted=("${build[@]}" "${run[@]}" "${test[@]}" "${fuzz[@]}" "${windows[@]}") ;;
    fuzz) wanted=("${build[@]}" "${fuzz[@]}") ;;
    bench) wanted=("${build[@]}" "${run[@]}" "${bench[@]}") ;;
    screenshot) wanted=("${build[@]}" "${screenshot[@]}") ;;
    package) wanted=("${build[@]}" "${package[@]}") ;;
    windows) wanted=("${build[@]}" "${windows[@]}") ;;
    *) echo "usage: $0 run|test|fuzz|bench|screenshot|package|windows" >&2; exit 2 ;;
esac

missing=()
for pkg in "${wanted[@]}"; do
    status=$(dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null || true)
    [[ "$status" == "install ok installed" ]] || missing+=("$pkg")
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

sudo=()
[[ $(id -u) -eq 0 ]] || sudo=(sudo)
echo "Installing: ${missing[*]}"
# Packages with a daemon (munge, slurmctld, slurmd, openssh-server, vsftpd, apache2) start it from
# their postinst where no policy forbids it; the tests start their own with their
# own configuration, so none is started here. An existing policy is left as it is.
policy=/usr/sbin/policy-rc.d
if [[ ! -e $policy ]]; then
    printf '#!/bin/sh\nexit 101\n' | "${sudo[@]}" tee "$policy" >/dev/null
    "${sudo[@]}" chmod 755 "$policy"
    trap '"${sudo[@]}" rm -f "$policy"' EXIT
fi
"${sudo[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
