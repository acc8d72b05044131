#!/usr/bin/env bash
# vidlume-cli.exe under Wine publishes a Sorenson H.263 + MP3 FLV: the new
# folder holds the copy, index.htm equal to what --print-page writes, the player
# file, and an MP4 that ffprobe reads as H.264 + AAC.
#   cli-publish.sh BIN_DIR WORK_DIR
set -euo pipefail
bin=$1
work=$2
rm -rf "$work"
mkdir -p "$work/out"
ffmpeg -nostdin -v error -f lavfi -i testsrc=size=160x120:rate=25:duration=2 \
       -f lavfi -i sine=frequency=440:sample_rate=22050:duration=2 \
       -c:v flv1 -q:v 5 -c:a libmp3lame -b:a 32k "$work/clip.flv"

windows() { winepath -w "$1" 2>/dev/null; }
folder=$(wine "$bin/vidlume-cli.exe" --out "$(windows "$work/out")" "$(windows "$work/clip.flv")" | tr -d '\r')
echo "published into $folder"
[[ $folder == *'\out\clip' ]] || { echo "unexpected folder: $folder"; exit 1; }
made=$work/out/clip
wine "$bin/vidlume-cli.exe" --print-page "$(windows "$work/clip.flv")" >"$work/page.htm"
cmp "$work/clip.flv" "$made/clip.flv"
cmp "$work/page.htm" "$made/index.htm"
cmp "$bin/flvplayer1.swf" "$made/flvplayer1.swf"
codecs=$(ffprobe -v error -show_entries stream=codec_type,codec_name -of csv=p=0 "$made/clip.mp4" | sort | tr '\n' ' ')
[[ $codecs == "aac,audio h264,video " ]] || { echo "the MP4 holds: $codecs"; exit 1; }
# Nothing half-made is left behind.
if find "$made" -name '*.vidlume-part*' | grep -q .; then echo "temporary files left"; exit 1; fi
echo "the folder holds: $(ls "$made" | tr '\n' ' ')"
