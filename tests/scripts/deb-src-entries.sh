#!/usr/bin/env bash
# scripts/deb-src-entries.sh on sample apt sources in a temporary folder: the deb-src
# entries keep each deb entry's servers, Signed-By and options, and leave out what apt
# itself would not read. No network: apt only parses the result.
#   deb-src-entries.sh SCRIPT
set -euo pipefail
script=$1
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
failures=0
expect_same() { # NAME EXPECTED ACTUAL
    if [[ $2 != "$3" ]]; then
        echo "FAIL: $1"; diff <(echo "$2") <(echo "$3") || true
        failures=$((failures + 1))
    fi
}

# A machine behind a mirror: deb822 files with comments, a key block, options, a
# stanza switched off, one that has its source twin already, and a file apt skips.
mkdir -p "$tmp/etc/sources.list.d" "$tmp/out"
cat >"$tmp/etc/sources.list.d/debian.sources" <<'EOF'
# The Debian archive through the site's mirror.
Types: deb
# http://snapshot.example/archive/debian/20250520T000000Z
URIs: http://mirror.example.org/debian
Suites: bookworm bookworm-updates
Components: main contrib
Architectures: amd64 i386
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg

types: deb
uris: https://proxy.example.org/debian-security
suites: bookworm-security
components: main
Signed-By:
 -----BEGIN PGP PUBLIC KEY BLOCK-----
 .
 mDMEZAAAARYJKwYBBAHaRw8BAQdA
 -----END PGP PUBLIC KEY BLOCK-----

Types: deb
URIs: http://off.example.org/debian
Suites: bookworm
Components: main
Enabled: no
EOF
printf '%s\n' "Types: deb deb-src" "URIs: http://both.example.org/debian" "Suites: bookworm" \
    "Components: main" >"$tmp/etc/sources.list.d/both.sources"
printf '%s\n' "Types: deb" "URIs: http://disabled.example.org/debian" "Suites: bookworm" \
    "Components: main" >"$tmp/etc/sources.list.d/other.sources.disabled"
# Our own earlier output is never read back.
printf '%s\n' "Types: deb" "URIs: http://stale.example.org/debian" "Suites: bookworm" \
    "Components: main" >"$tmp/etc/sources.list.d/vidlume-deb-src.sources"
# One-line files: options in brackets, a comment at the end, a twin already there.
cat >"$tmp/etc/sources.list" <<'EOF'
# deb http://commented.example.org/debian bookworm main
deb [arch=amd64 signed-by=/etc/apt/keyrings/site.gpg] http://mirror.example.org/extra bookworm main # site packages
deb http://twin.example.org/debian bookworm main
deb-src http://twin.example.org/debian bookworm main
EOF
printf '%s\n' "  deb [ trusted=yes ] file:/srv/local-repo ./" >"$tmp/etc/sources.list.d/local.list"
printf '%s\n' "deb http://disabled.example.org/debian bookworm main" >"$tmp/etc/sources.list.d/old.list.save"

written=$(bash "$script" "$tmp/etc/sources.list" "$tmp/etc/sources.list.d" "$tmp/out")
expect_same "files written" "$tmp/out/vidlume-deb-src.list
$tmp/out/vidlume-deb-src.sources" "$written"
expect_same "deb822 entries" "Types: deb-src
URIs: http://mirror.example.org/debian
Suites: bookworm bookworm-updates
Components: main contrib
Architectures: amd64 i386
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg

Types: deb-src
uris: https://proxy.example.org/debian-security
suites: bookworm-security
components: main
Signed-By:
 -----BEGIN PGP PUBLIC KEY BLOCK-----
 .
 mDMEZAAAARYJKwYBBAHaRw8BAQdA
 -----END PGP PUBLIC KEY BLOCK-----" "$(grep -v '^# Debian' "$tmp/out/vidlume-deb-src.sources")"
expect_same "one-line entries" "deb-src [arch=amd64 signed-by=/etc/apt/keyrings/site.gpg] http://mirror.example.org/extra bookworm main # site packages
deb-src [ trusted=yes ] file:/srv/local-repo ./" "$(grep -v '^# Debian' "$tmp/out/vidlume-deb-src.list")"

# apt reads both files as source indexes of those servers (printed, not fetched).
if command -v apt-get >/dev/null; then
    mkdir -p "$tmp/lists/partial"
    uris=$(apt-get -o Dir::Etc::sourcelist=/dev/null -o Dir::Etc::sourceparts="$tmp/out" \
               -o Dir::State::Lists="$tmp/lists" -o Debug::NoLocking=1 --print-uris update 2>&1) ||
        { echo "FAIL: apt does not read the entries: $uris"; failures=$((failures + 1)); }
    for want in "http://mirror.example.org/debian/dists/bookworm-updates/InRelease" \
                "https://proxy.example.org/debian-security/dists/bookworm-security/InRelease" \
                "http://mirror.example.org/extra/dists/bookworm/InRelease"; do
        grep -qF "'$want'" <<<"$uris" || { echo "FAIL: apt would not ask $want"; failures=$((failures + 1)); }
    done
fi

# Only deb-src entries or nothing enabled: a clear error.
rm -f "$tmp/etc/sources.list" "$tmp/etc/sources.list.d"/*.list "$tmp/etc/sources.list.d/debian.sources"
if message=$(bash "$script" "$tmp/etc/sources.list" "$tmp/etc/sources.list.d" "$tmp/out" 2>&1); then
    echo "FAIL: no deb entry was accepted"; failures=$((failures + 1))
fi
grep -q "No enabled 'deb' entry" <<<"$message" || { echo "FAIL: message was: $message"; failures=$((failures + 1)); }

[[ $failures -eq 0 ]] && echo "deb-src entries: all cases passed"
exit $((failures > 0))
