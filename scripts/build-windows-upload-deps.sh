#!/usr/bin/env bash
# Cross-builds the static libraries that `vidlume-cli.exe upload` links, from
# Debian's own source packages, for 64-bit Windows with mingw-w64: OpenSSL, libssh2
# for SFTP, libcurl for FTPS and WebDAV, expat for WebDAV's answers. libssh2 and
# libcurl both use OpenSSL: libssh2's Windows CNG backend has no ed25519, no ECDSA
# and no rsa-sha2 signatures, which today's servers want, and Schannel would take a
# CA file differently. libcurl also trusts the Windows certificate store.
#
# The result is cached outside the clone, in
#   ${VIDLUME_WIN_DEPS_CACHE:-${XDG_CACHE_HOME:-~/.cache}/vidlume/win-deps}/KEY
# where KEY names the source versions and a hash of this script and the compiler's
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
# libcurl with FTP and HTTP only, over OpenSSL; no CA bundle of this build machine
# (the program trusts the Windows store and --ca-file).
curl_flags=(--host=$host CC=$host-gcc-posix --enable-static --disable-shared --disable-debug
            --enable-ftp --enable-http --disable-file --disable-ldap --disable-ldaps --disable-rtsp
            --disable-dict --disable-telnet --disable-tftp --disable-pop3 --disable-imap --disable-smb
            --disable-smtp --disable-gopher --disable-mqtt --disable-manual --disable-ntlm --disable-kerberos-auth
            --without-libssh2 --without-libssh --without-zlib --without-brotli --without-zstd --without-nghttp2
            --without-libidn2 --without-libpsl --without-librtmp --without-ca-bundle --without-ca-path
            --disable-ares --enable-threaded-resolver)
# What a static OpenSSL needs of Windows, which curl's configure would not find.
openssl_windows_libs="-lbcrypt -lws2_32 -lgdi32 -lcrypt32"
expat_flags=(-DCMAKE_SYSTEM_NAME=Windows -DCMAKE_C_COMPILER=$host-gcc-posix -DCMAKE_RC_COMPILER=$host-windres
             -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_LIBDIR=lib -DEXPAT_SHARED_LIBS=OFF
             -DEXPAT_BUILD_TOOLS=OFF -DEXPAT_BUILD_EXAMPLES=OFF -DEXPAT_BUILD_TESTS=OFF -DEXPAT_BUILD_DOCS=OFF
             -DEXPAT_BUILD_FUZZERS=OFF)

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
    if ! ls "$cache"/src/openssl_*.dsc "$cache"/src/libssh2_*.dsc "$cache"/src/curl_*.dsc \
        "$cache"/src/expat_*.dsc >/dev/null 2>&1; then
        if ! apt-get source --download-only --print-uris openssl >/dev/null 2>&1; then
            local sudo=()
            [[ $(id -u) -eq 0 ]] || sudo=(sudo)
            echo "Adding Debian's source packages to apt, from the servers of its deb entries:" >&2
            "${sudo[@]}" scripts/deb-src-entries.sh >&2
            "${sudo[@]}" apt-get -o DPkg::Lock::Timeout=900 update -qq
        fi
        local package
        for package in openssl libssh2 curl expat; do
            ls "$cache"/src/${package}_*.dsc >/dev/null 2>&1 || fetch_newest $package
        done
    fi
    openssl_dsc=$(ls "$cache"/src/openssl_*.dsc | sort -V | tail -1)
    libssh2_dsc=$(ls "$cache"/src/libssh2_*.dsc | sort -V | tail -1)
    curl_dsc=$(ls "$cache"/src/curl_*.dsc | sort -V | tail -1)
    expat_dsc=$(ls "$cache"/src/expat_*.dsc | sort -V | tail -1)
}

fetch_sources
openssl_version=$(basename "$openssl_dsc" .dsc | sed 's/^openssl_//')
libssh2_version=$(basename "$libssh2_dsc" .dsc | sed 's/^libssh2_//')
curl_version=$(basename "$curl_dsc" .dsc | sed 's/^curl_//')
expat_version=$(basename "$expat_dsc" .dsc | sed 's/^expat_//')
flags_hash=$(cat "$0" <(printf '%s\n' "${openssl_flags[@]}" "${libssh2_flags[@]}" "${curl_flags[@]}" \
             "$openssl_windows_libs" "${expat_flags[@]}" "$($host-gcc-posix -dumpfullversion)") | sha256sum | cut -c1-12)
key="openssl-${openssl_version//[:~+]/_}-libssh2-${libssh2_version//[:~+]/_}"
key+="-curl-${curl_version//[:~+]/_}-expat-${expat_version//[:~+]/_}-$flags_hash"
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

echo "Building libcurl $curl_version for Windows" >&2
dpkg-source --no-check -x "$curl_dsc" "$work/curl" >/dev/null
(cd "$work/curl" &&
    PKG_CONFIG_LIBDIR="$work/prefix/lib/pkgconfig" PKG_CONFIG_PATH= LIBS="$openssl_windows_libs" \
        ./configure --prefix="$work/prefix" "${curl_flags[@]}" --with-openssl="$work/prefix" \
        >"$work/curl-configure.log" 2>&1 &&
    make -j"$jobs" -C lib >"$work/curl-build.log" 2>&1 &&
    make -C lib install >"$work/curl-install.log" 2>&1 &&
    make -C include install >>"$work/curl-install.log" 2>&1 &&
    make install-pkgconfigDATA >>"$work/curl-install.log" 2>&1) ||
    { echo "libcurl's build failed:" >&2; tail -n 30 "$work"/curl-*.log >&2; exit 1; }

echo "Building expat $expat_version for Windows" >&2
dpkg-source --no-check -x "$expat_dsc" "$work/expat" >/dev/null
# Debian's expat source is the project's tree without a generated configure; its
# CMake build writes "#define XML_DTD" where Debian's patches test "XML_DTD == 1",
# which the autotools build defines.
(cmake -S "$work/expat/expat" -B "$work/expat-build" -DCMAKE_INSTALL_PREFIX="$work/prefix" "${expat_flags[@]}" \
        >"$work/expat-configure.log" 2>&1 &&
    sed -i 's/^#define XML_DTD$/#define XML_DTD 1/; s/^#define XML_NS$/#define XML_NS 1/' \
        "$work/expat-build/expat_config.h" &&
    cmake --build "$work/expat-build" -j"$jobs" >"$work/expat-build.log" 2>&1 &&
    cmake --install "$work/expat-build" >"$work/expat-install.log" 2>&1) ||
    { echo "expat's build failed:" >&2; tail -n 30 "$work"/expat-*.log >&2; exit 1; }

# The .pc files name the build's prefix; point them at the cache instead.
sed -i "s|$work/prefix|$prefix|g" "$work"/prefix/lib/pkgconfig/*.pc
# What a static link needs besides the libraries themselves: Debian's libssh2
# names libgpg-error for its libgcrypt build, which this one does not use; OpenSSL
# draws its random numbers from bcrypt.dll but does not say so.
sed -i 's/ *-lgpg-error//' "$work/prefix/lib/pkgconfig/libssh2.pc"
sed -i 's/^\(Libs.private:.*\)$/\1 -lbcrypt/' "$work/prefix/lib/pkgconfig/libcrypto.pc"
rm -rf "$work/prefix/bin" "$work/prefix/share" "$work"/prefix/lib/*.la "$work/prefix/lib/cmake"
mv "$work/prefix" "$prefix"
printf 'openssl %s\nlibssh2 %s\ncurl %s\nexpat %s\nbuilt in %s s\n' "$openssl_version" "$libssh2_version" \
    "$curl_version" "$expat_version" $((SECONDS - started)) >"$prefix/.complete"
echo "Built in $((SECONDS - started)) s" >&2
echo "$prefix"
