#!/usr/bin/env bash
# Cross-builds the static x264 and FFmpeg libraries that vidlume-convert.exe links,
# from Debian's own source packages, for 64-bit Windows with mingw-w64.
#
# The result is cached outside the clone, in
#   ${VIDLUME_WIN_DEPS_CACHE:-${XDG_CACHE_HOME:-~/.cache}/vidlume/win-deps}/KEY
# where KEY names both source versions and a hash of this script's build flags and
# the compiler's version, so a second build on the same machine takes no time and a
# change of flags or versions builds afresh beside the old one.
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

x264_flags=(--host=$host --cross-prefix=$host- --enable-static --disable-cli --enable-pic
            --disable-opencl --disable-avs --disable-swscale --disable-lavf --disable-ffms
            --disable-gpac --disable-lsmash)

# Only what the converter uses: the containers it reads (media/ConvertToMp4.cpp's
# list), the decoders for what FLV and those containers commonly hold, the H.264
# and AAC encoders (and the JPEG one for a site's gallery pictures), the parsers and bitstream filters those need, and the MP4 muxer.
demuxers=flv,live_flv,mov,matroska,avi,mpegts,mpegps,asf,ogg,mp3,aac,wav
decoders=flv,h263,vp6,vp6a,vp6f,flashsv,flashsv2,h264,hevc,mpeg4,mpeg1video,mpeg2video,vp8,msmpeg4v3,wmv2,mjpeg
decoders+=,mp3,mp3float,mp2,mp2float,aac,aac_latm,ac3,vorbis,opus,flac,nellymoser,adpcm_swf,wmav2
decoders+=,pcm_s16le,pcm_s16be,pcm_u8,pcm_s24le,pcm_f32le,pcm_alaw,pcm_mulaw
parsers=h264,hevc,h263,mpeg4video,mpegvideo,vp8,mjpeg,aac,aac_latm,mpegaudio,ac3,vorbis,opus,flac
ffmpeg_flags=(--arch=x86_64 --target-os=mingw32 --cross-prefix=$host- --cc=$host-gcc-posix
              --pkg-config=pkg-config --pkg-config-flags=--static
              --enable-static --disable-shared --enable-gpl --enable-libx264 --enable-zlib
              --disable-autodetect --enable-w32threads --disable-everything
              --disable-programs --disable-doc --disable-avfilter --disable-avdevice
              --disable-postproc --disable-network --disable-debug
              --enable-demuxer=$demuxers --enable-decoder=$decoders --enable-parser=$parsers
              --enable-encoder=libx264,aac,mjpeg --enable-muxer=mp4,mov
              --enable-bsf=aac_adtstoasc,extract_extradata,h264_mp4toannexb,vp9_superframe
              --enable-protocol=file)

# Debian's source packages: deb-src entries beside the system's deb entries.
fetch_sources() {
    if ! ls "$cache"/src/ffmpeg_*.dsc "$cache"/src/x264_*.dsc >/dev/null 2>&1; then
        if ! apt-get source --download-only --print-uris ffmpeg >/dev/null 2>&1; then
            local sudo=()
            [[ $(id -u) -eq 0 ]] || sudo=(sudo)
            # The deb-src twins of the system's own deb entries: its servers, mirror
            # or proxy included, with their Signed-By and options.
            echo "Adding Debian's source packages to apt, from the servers of its deb entries:" >&2
            "${sudo[@]}" scripts/deb-src-entries.sh >&2
            "${sudo[@]}" apt-get -o DPkg::Lock::Timeout=900 update -qq
        fi
        (cd "$cache/src" && apt-get source --download-only -qq ffmpeg x264 2>&1 | grep -v "^W: Download is performed unsandboxed" >&2 || true)
    fi
    ffmpeg_dsc=$(ls "$cache"/src/ffmpeg_*.dsc | sort -V | tail -1)
    x264_dsc=$(ls "$cache"/src/x264_*.dsc | sort -V | tail -1)
}

fetch_sources
ffmpeg_version=$(basename "$ffmpeg_dsc" .dsc | sed 's/^ffmpeg_//')
x264_version=$(basename "$x264_dsc" .dsc | sed 's/^x264_//')
flags_hash=$(printf '%s\n' "${x264_flags[@]}" "${ffmpeg_flags[@]}" "$($host-gcc-posix -dumpfullversion)" |
             sha256sum | cut -c1-12)
key="ffmpeg-${ffmpeg_version//[:~+]/_}-x264-${x264_version//[:~+]/_}-$flags_hash"
prefix=$cache/$key

if [[ -f $prefix/.complete ]]; then
    echo "$prefix"
    exit 0
fi

work=$(mktemp -d "$cache/build.XXXXXX")
trap 'rm -rf "$work"' EXIT
rm -rf "$prefix"
started=$SECONDS

echo "Building x264 $x264_version for Windows" >&2
dpkg-source --no-check -x "$x264_dsc" "$work/x264" >/dev/null
(cd "$work/x264" &&
    ./configure --prefix="$work/prefix" "${x264_flags[@]}" >"$work/x264-configure.log" 2>&1 &&
    make -j"$jobs" >"$work/x264-build.log" 2>&1 && make install >/dev/null 2>&1) ||
    { tail -30 "$work"/x264-*.log >&2; exit 1; }

echo "Building FFmpeg $ffmpeg_version for Windows" >&2
dpkg-source --no-check -x "$ffmpeg_dsc" "$work/ffmpeg" >/dev/null
(cd "$work/ffmpeg" &&
    PKG_CONFIG_LIBDIR="$work/prefix/lib/pkgconfig" PKG_CONFIG_PATH= \
        ./configure --prefix="$work/prefix" "${ffmpeg_flags[@]}" >"$work/ffmpeg-configure.log" 2>&1 &&
    make -j"$jobs" >"$work/ffmpeg-build.log" 2>&1 && make install >/dev/null 2>&1) ||
    { tail -30 "$work/ffmpeg/ffbuild/config.log" "$work"/ffmpeg-*.log >&2 2>/dev/null; exit 1; }

# The .pc files name the build's prefix; point them at the cache instead.
sed -i "s|$work/prefix|$prefix|g" "$work"/prefix/lib/pkgconfig/*.pc
mv "$work/prefix" "$prefix"
printf 'ffmpeg %s\nx264 %s\nbuilt in %s s\n' "$ffmpeg_version" "$x264_version" $((SECONDS - started)) \
    >"$prefix/.complete"
echo "Built in $((SECONDS - started)) s" >&2
echo "$prefix"
