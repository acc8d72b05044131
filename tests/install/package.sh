#!/usr/bin/env bash
# Builds the Debian package into a temporary folder and checks its control
# fields and that it holds every file that `cmake --install` installs.
# Usage: package.sh BUILD_DIR
set -euo pipefail
build=$(cd "$1" && pwd)

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

(cd "$tmp" && cpack -G DEB -B "$tmp/package" --config "$build/CPackConfig.cmake" >"$tmp/cpack.log" 2>&1) ||
    { cat "$tmp/cpack.log"; exit 1; }
debs=("$tmp"/package/vidlume_*.deb)
[[ ${#debs[@]} == 1 && -f ${debs[0]} ]] || { cat "$tmp/cpack.log"; fail "no vidlume_<version>_<arch>.deb"; exit 1; }
deb=${debs[0]}
echo "== ${deb##*/}"
[[ ${deb##*/} == "vidlume_$(dpkg-deb -f "$deb" Version)_$(dpkg --print-architecture).deb" ]] ||
    fail "the package is named ${deb##*/}"

dpkg-deb -f "$deb" Package Version Section Priority Maintainer Homepage Depends
[[ $(dpkg-deb -f "$deb" Section) == video ]] || fail "section"
[[ $(dpkg-deb -f "$deb" Priority) == optional ]] || fail "priority"
[[ -n $(dpkg-deb -f "$deb" Maintainer) ]] || fail "no maintainer"
[[ -n $(dpkg-deb -f "$deb" Homepage) ]] || fail "no homepage"
# dpkg-shlibdeps found the libraries' packages.
grep -q 'libqt6core6' <<<"$(dpkg-deb -f "$deb" Depends)" || fail "Depends lacks the Qt core library"
grep -q 'libc6' <<<"$(dpkg-deb -f "$deb" Depends)" || fail "Depends lacks the C library"

# Every file of an installation is in the package, at the same place under /usr.
cmake --install "$build" --prefix "$tmp/usr" >/dev/null
listing=$(dpkg-deb -c "$deb" | awk '{print $6}')
count=0
while IFS= read -r file; do
    count=$((count + 1))
    grep -qxF "./${file#"$tmp"/}" <<<"$listing" || fail "not in the package: /${file#"$tmp"/}"
done < <(find "$tmp/usr" -type f)
((count >= 15)) || fail "only $count files installed"
echo "the package holds all $count installed files"

((failures == 0)) || exit 1
