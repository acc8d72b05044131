#!/usr/bin/env bash
# vidlume-cli.exe site under Wine turns a small archive into a site: a Sorenson
# FLV, an H.264 one in a subfolder whose name ends in a blank before ".flv", and
# a damaged one. The gallery lists the two with their pictures, each folder plays
# (its MP4 read by ffprobe), the damaged one is named and the run exits 3; a
# second run redoes nothing.
#   cli-site.sh BIN_DIR WORK_DIR
set -euo pipefail
bin=$1
work=$2
rm -rf "$work"
mkdir -p "$work/archive/talks"
ffmpeg -nostdin -v error -f lavfi -i testsrc=size=160x120:rate=25:duration=2 \
       -f lavfi -i sine=frequency=440:sample_rate=22050:duration=2 \
       -c:v flv1 -q:v 5 -c:a libmp3lame -b:a 32k "$work/archive/beach.flv"
ffmpeg -nostdin -v error -f lavfi -i testsrc2=size=320x240:rate=25:duration=2 \
       -c:v libx264 -preset ultrafast -pix_fmt yuv420p "$work/archive/talks/opening .flv"
head -c 4000 /dev/urandom >"$work/archive/talks/broken.flv"

windows() { winepath -w "$1" 2>/dev/null; }
run() {
    set +e
    wine "$bin/vidlume-cli.exe" site -j 2 --out "$(windows "$work/site")" "$(windows "$work/archive")" \
        >"$work/stdout" 2>"$work/stderr"
    status=$?
    set -e
    tr -d '\r' <"$work/stderr" >"$work/stderr.txt"
}
run
cat "$work/stderr.txt"
[[ $status == 3 ]] || { echo "the site run exited with $status, not 3"; exit 1; }
grep -q 'broken.flv' "$work/stderr.txt" || { echo "the damaged video is not named"; exit 1; }

site=$work/site
[[ -f $site/index.htm ]] || { echo "no gallery"; exit 1; }
for folder in beach talks/opening; do
    [[ -f $site/$folder/index.htm ]] || { echo "no page in $folder"; ls -R "$site"; exit 1; }
    mp4=$(ls "$site/$folder"/*.mp4)
    codec=$(ffprobe -v error -select_streams v -show_entries stream=codec_name -of csv=p=0 "$mp4")
    [[ $codec == h264 ]] || { echo "$mp4 holds $codec"; exit 1; }
    grep -q "href=\"$folder/index.htm\"" "$site/index.htm" || { echo "the gallery does not link $folder"; exit 1; }
done
pictures=$(ls "$site/vidlume-site/pictures" | wc -l)
[[ $pictures == 2 ]] || { echo "$pictures gallery pictures, not 2"; exit 1; }
grep -c '<img ' "$site/index.htm" | grep -qx 2 || { echo "the gallery does not show both pictures"; exit 1; }

# A rerun finds everything done: no page or MP4 is written again.
sleep 1
touch "$work/mark"
run
[[ $status == 3 ]] || { echo "the rerun exited with $status, not 3"; exit 1; }
again=$(find "$site/beach" "$site/talks" -type f -newer "$work/mark" | sort)
[[ -z $again ]] || { echo "the rerun wrote again: $again"; exit 1; }
echo "the site holds: $(cd "$site" && find . -name index.htm | sort | tr '\n' ' ')"
