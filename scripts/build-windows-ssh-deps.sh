#!/usr/bin/env bash
# Cross-builds the static OpenSSL and libssh2 libraries that `vidlume-cli.exe upload`
# links for SFTP, from Debian's own source packages, for 64-bit Windows with
# mingw-w64. libssh2 uses OpenSSL as its crypto backend: the Windows CNG backend
# has no ed25519, no ECDSA and no rsa-sha2 signatures, which today's servers want.
#
# The result is cached outside the clone, in
#   ${VIDLUME_WIN_DEPS_CACHE:-${XDG_CACHE_HOME:-~/.cache}/vidlume/win-deps}/KEY
# where KEY names both source versions and a hash of this script and the compiler's
# version, so a second build on the same machine takes no time and a change of
# flags or versions builds afresh beside the old one (as scripts/build-windows-deps.sh).
# Prints the prefix (holding include/, lib/ and lib/pkgconfig/) as its last line.
set -euo pipefail
cd "$(dirname "$0")/.."

host=x86_64-w64-mingw32
cache=${VIDLUME_WIN_DEPS_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/vidlume/win-deps}
jobs=${VIDLUME_JOBS:-$(nproc)}
mkdir -p "$cache/src"
# One build at a time: a second run (another clone's) waits, then finds the result.
exec 9>"$cache/.lock"
flock 9

# Only the two libraries: no programs, no modules to load at run time, no tests or
# manual pages. OpenSSL's configuration folder is the usual one of its Windows
# builds (writable by administrators only), not a folder of this build machine.
openssl_flags=(mingw64 no-shared no-module no-tests no-ui-console
               --cross-compile-prefix=$host- CC=gcc-posix --libdir=lib
               "--openssldir=C:/Program Files/Common Files/SSL")
libssh2_flags=(--host=$host CC=$host-gcc-posix --enable-static --disable-shared --with-crypto=openssl
               --without-libz --disable-examples-build --disable-debug)

# The newest source of PACKAGE that the servers give: a mirror may still list a
# security update whose files it no longer has, and then the one before is taken.
fetch_newest() {
    local package=$1 version
    for version in $(apt-cache showsrc "$package" | sed -n 's/^Version: //p' | sort -Vru); do
        (cd "$cache/src" && apt-get source --download-only -qq "$package=$version" 2>&1 |
            grep -v "^W: Download is performed unsandboxed" >&2 || true)
        [[ -f $cache/src/${package}_${version#*:}.dsc ]] && return 0
        echo "No source of $package $version to be had; trying the version before it" >&2
    done
    echo "No source of $package to be had from apt's servers" >&2
    return 1
}

# Debian's source packages: deb-src entries beside the system's deb entries.
fetch_sources() {
    if ! ls "$cache"/src/openssl_*.dsc "$cache"/src/libssh2_*.dsc >/dev/null 2>&1; then
        if ! apt-get source --download-only --print-uris openssl >/dev/null 2>&1; then
            local sudo=()
            [[ $(id -u) -eq 0 ]] || sudo=(sudo)
            echo "Adding Debian's source packages to apt, from the servers of its deb entries:" >&2
            "${sudo[@]}" scripts/deb-src-entries.sh >&2
            "${sudo[@]}" apt-get -o DPkg::Lock::Timeout=900 update -qq
        fi
        fetch_newest openssl
        fetch_newest libssh2
    fi
    openssl_dsc=$(ls "$cache"/src/openssl_*.dsc | sort -V | tail -1)
    libssh2_dsc=$(ls "$cache"/src/libssh2_*.dsc | sort -V | tail -1)
}

fetch_sources
openssl_version=$(basename "$openssl_dsc" .dsc | sed 's/^openssl_//')
libssh2_version=$(basename "$libssh2_dsc" .dsc | sed 's/^libssh2_//')
flags_hash=$(cat "$0" <(printf '%s\n' "${openssl_flags[@]}" "${libssh2_flags[@]}" \
             "$($host-gcc-posix -dumpfullversion)") | sha256sum | cut -c1-12)
key="openssl-${openssl_version//[:~+]/_}-libssh2-${libssh2_version//[:~+]/_}-$flags_hash"
prefix=$cache/$key

if [[ -f $prefix/.complete ]]; then
    echo "$prefix"
    exit 0
fi

work=$(mktemp -d "$cache/build.XXXXXX")
trap 'rm -rf "$work"' EXIT
rm -rf "$prefix"
started=$SECONDS

echo "Building OpenSSL $openssl_version for Windows" >&2
dpkg-source --no-check -x "$openssl_dsc" "$work/openssl" >/dev/null
(cd "$work/openssl" &&
    ./Configure --prefix="$work/prefix" "${openssl_flags[@]}" >"$work/openssl-configure.log" 2>&1 &&
    make -j"$jobs" build_libs >"$work/openssl-build.log" 2>&1 &&
    make install_dev >"$work/openssl-install.log" 2>&1) ||
    { echo "OpenSSL's build failed:" >&2; tail -n 30 "$work"/openssl-*.log >&2; exit 1; }

echo "Building libssh2 $libssh2_version for Windows" >&2
dpkg-source --no-check -x "$libssh2_dsc" "$work/libssh2" >/dev/null
(cd "$work/libssh2" &&
    PKG_CONFIG_LIBDIR="$work/prefix/lib/pkgconfig" PKG_CONFIG_PATH= \
        ./configure --prefix="$work/prefix" "${libssh2_flags[@]}" --with-libssl-prefix="$work/prefix" \
        >"$work/libssh2-configure.log" 2>&1 &&
    make -j"$jobs" -C src >"$work/libssh2-build.log" 2>&1 &&
    make -C src install >"$work/libssh2-install.log" 2>&1 &&
    make install-includeHEADERS install-pkgconfigDATA >>"$work/libssh2-install.log" 2>&1) ||
    { echo "libssh2's build failed:" >&2; tail -n 30 "$work"/libssh2-*.log >&2; exit 1; }

# The .pc files name the build's prefix; point them at the cache instead.
sed -i "s|$work/prefix|$prefix|g" "$work"/prefix/lib/pkgconfig/*.pc
# What a static link needs besides the libraries themselves: Debian's libssh2
# names libgpg-error for its libgcrypt build, which this one does not use; OpenSSL
# draws its random numbers from bcrypt.dll but does not say so.
sed -i 's/ *-lgpg-error//' "$work/prefix/lib/pkgconfig/libssh2.pc"
sed -i 's/^\(Libs.private:.*\)$/\1 -lbcrypt/' "$work/prefix/lib/pkgconfig/libcrypto.pc"
rm -rf "$work/prefix/bin" "$work/prefix/share" "$work"/prefix/lib/*.la
mv "$work/prefix" "$prefix"
printf 'openssl %s\nlibssh2 %s\nbuilt in %s s\n' "$openssl_version" "$libssh2_version" $((SECONDS - started)) \
    >"$prefix/.complete"
echo "Built in $((SECONDS - started)) s" >&2
echo "$prefix"
