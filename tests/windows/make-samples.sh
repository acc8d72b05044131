#!/usr/bin/env bash
# Makes the sample videos that the suites under Wine convert, with Debian's
# ffmpeg on this machine (Wine has none): a two-second Sorenson H.263 + MP3 FLV
# and a twenty-second Sorenson one whose conversion takes several seconds.
#   make-samples.sh DIR
set -euo pipefail
dir=$1
mkdir -p "$dir"
make() { ffmpeg -nostdin -v error -y "${@:2}" "$dir/$1.part.flv" && mv -f "$dir/$1.part.flv" "$dir/$1"; }
[[ -s $dir/sorenson-mp3.flv ]] ||
    make sorenson-mp3.flv -f lavfi -i testsrc=size=160x120:rate=25:duration=2 \
         -f lavfi -i sine=sample_rate=22050:duration=2 -c:v flv1 -c:a libmp3lame
[[ -s $dir/long.flv ]] ||
    make long.flv -f lavfi -i testsrc=size=640x480:rate=25 -t 20 -c:v flv1 -q:v 2
ls -l "$dir"
