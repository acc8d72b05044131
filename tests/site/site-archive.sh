# Helpers for the site tests: an archive made with ffmpeg, a folder of the
# programs with a converter that notes each start, and the checks' counting.
# Sourced by the tests; BIN is the folder of the built programs.

passed=0
failed=0
failures=()

check() { # NAME COMMAND...: counts the command's success
    local name=$1
    shift
    if "$@"; then
        passed=$((passed + 1))
    else
        failed=$((failed + 1))
        failures+=("$name")
        echo "FAILED: $name" >&2
    fi
}

finish() {
    for name in "${failures[@]}"; do echo "failed: $name"; done
    echo "$passed passed, $failed failed"
    [[ $failed -eq 0 ]]
}

# Starts the test in a fresh WORK (made absolute), with the programs in P and
# vidlume-cli as CLI.
begin_work() {
    rm -rf "$WORK"
    mkdir -p "$WORK"
    WORK=$(cd "$WORK" && pwd)
    P="$WORK/bin"
    make_programs "$P"
    CLI="$P/vidlume-cli"
}

# A folder that holds vidlume-cli and what lies beside it, with a converter
# that writes its mode to $1/converter.log before it starts the real one.
make_programs() {
    local dest=$1
    mkdir -p "$dest"
    cp "$BIN/vidlume-cli" "$BIN/flvplayer1.swf" "$BIN/vidlume-html5.js" "$dest/"
    cp "$BIN/vidlume-convert" "$dest/vidlume-convert.real"
    cat >"$dest/vidlume-convert" <<SCRIPT
#!/bin/sh
echo "\$1" >>"$dest/converter.log"
exec "$dest/vidlume-convert.real" "\$@"
SCRIPT
    chmod +x "$dest/vidlume-convert"
}

ff() { ffmpeg -nostdin -loglevel error -y "$@"; }

# The archive: several codec pairs in nested folders, a name beyond ASCII, one
# with "#" and a blank, a video without sound, a hostile title, a damaged file.
make_archive() {
    local a=$1
    mkdir -p "$a/2008/trips" "$a/talks/Über" "$a/screen"
    ff -f lavfi -i testsrc=size=160x120:rate=15:duration=3 -f lavfi -i sine=frequency=440:duration=3 \
       -c:v flv1 -q:v 6 -c:a libmp3lame -ar 22050 -b:a 32k -metadata creationdate="Wed Jan 02 10:20:30 2008" \
       "$a/2008/trips/beach.flv"
    ff -f lavfi -i testsrc2=size=160x120:rate=15:duration=2 -f lavfi -i sine=frequency=660:duration=2 \
       -c:v libx264 -pix_fmt yuv420p -preset ultrafast -c:a aac -b:a 32k "$a/2008/trips/beach.FLV"
    ff -f lavfi -i testsrc=size=160x120:rate=10:duration=2 -f lavfi -i sine=frequency=330:duration=2 \
       -c:v flashsv -c:a nellymoser -ar 22050 -f flv "$a/screen/desk.flv"
    ff -f lavfi -i testsrc=size=176x144:rate=15:duration=2 -c:v flv1 -an \
       -metadata title='<img src=x onerror=alert(1)> & "Tom"' "$a/talks/Über/café Ünïcode.flv"
    ff -f lavfi -i testsrc2=size=160x120:rate=15:duration=2 -f lavfi -i sine=frequency=550:duration=2 \
       -c:v libx264 -pix_fmt yuv420p -preset ultrafast -c:a adpcm_swf -ar 22050 -f flv "$a/talks/Talk #1 of 2.flv"
    head -c 20000 /dev/urandom >"$a/talks/damaged.flv"
    echo "1
00:00:00,000 --> 00:00:01,000
Hello" >"$a/2008/trips/beach.en.srt"
    ln -s .. "$a/talks/loop"
}

# The index.htm of every video folder in a site, relative to it, sorted.
pages_of() { (cd "$1" && find . -name index.htm -not -path ./index.htm | LC_ALL=C sort); }

same_pages() { # SITE_A SITE_B: the same pages, byte for byte, the gallery included
    local a=$1 b=$2 page
    [[ "$(pages_of "$a")" == "$(pages_of "$b")" ]] || return 1
    while IFS= read -r page; do
        cmp -s "$a/$page" "$b/$page" || { echo "differs: $page" >&2; return 1; }
    done < <(pages_of "$a")
    cmp -s "$a/index.htm" "$b/index.htm"
}

conversions() { grep -c '^convert$' "$1/converter.log" 2>/dev/null || true; }
