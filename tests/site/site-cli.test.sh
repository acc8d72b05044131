#!/usr/bin/env bash
# vidlume-cli site as a user runs it, on an archive made with ffmpeg: what is
# published and left out, the gallery's links and pictures, the pages against
# a single publish, what a rerun redoes, a kill -9, a prune, a stop, and the
# GNU parallel route (plan, parallel jobs, assemble) giving the same bytes.
# Usage: site-cli.test.sh BIN_DIR WORK_DIR. Exit 77 when ffmpeg is missing.
set -uo pipefail
BIN=$1
WORK=$2
command -v ffmpeg >/dev/null || { echo "skipped: needs ffmpeg"; exit 77; }
source "$(dirname "$0")/site-archive.sh"

begin_work
A="$WORK/archive"
make_archive "$A"
S="$WORK/site"

# --- The first run -----------------------------------------------------------
"$CLI" site -j 2 --out "$S" "$A" >"$WORK/out" 2>"$WORK/err"
status=$?
check "exit 3 with a damaged file" test "$status" -eq 3
check "the damaged file is named with its reason" grep -q "damaged.flv.*not an FLV file" "$WORK/err"
check "the loop is named" grep -q "loop\" leads back" "$WORK/err"
check "the gallery's path on standard output" test "$(cat "$WORK/out")" = "$S/index.htm"
check "no folder for the damaged file" test ! -e "$S/talks/damaged"
for folder in "2008/trips/beach" "2008/trips/beach-2" "screen/desk" "talks/Über/café Ünïcode" "talks/Talk #1 of 2"; do
    check "a page for $folder" test -f "$S/$folder/index.htm"
done
check "a.flv and a.FLV in folders apart" test -f "$S/2008/trips/beach/beach.FLV" -a -f "$S/2008/trips/beach-2/beach.flv"
check "captions beside a video are taken" test -f "$S/2008/trips/beach-2/beach.en.vtt"
check "nothing left in the work folder" test -z "$(ls -A "$S/vidlume-site/work")"
conversionsFirst=$(conversions "$P")
check "each good video converted once" test "$conversionsFirst" -eq 6

# The gallery: each link leads to a page, each picture is there with its size.
gallery_links_work() {
    python3 - "$S" <<'PY'
import html.parser, os, struct, sys, urllib.parse
site = sys.argv[1]
class Links(html.parser.HTMLParser):
    def __init__(self):
        super().__init__(); self.links = []; self.images = []
    def handle_starttag(self, tag, attrs):
        a = dict(attrs)
        if tag == 'a' and 'href' in a: self.links.append(a['href'])
        if tag == 'img': self.images.append(a)
p = Links(); p.feed(open(os.path.join(site, 'index.htm'), encoding='utf-8').read())
pages = [l for l in p.links if l.endswith('/index.htm')]
assert len(pages) == 5, pages
for link in pages:
    assert '://' not in link and not link.startswith('/'), link
    assert os.path.isfile(os.path.join(site, urllib.parse.unquote(link))), link
assert len(p.images) == 5, p.images
for img in p.images:
    data = open(os.path.join(site, urllib.parse.unquote(img['src'])), 'rb').read()
    assert data[:2] == b'\xff\xd8', img['src']
    i = 2  # the frame's size from the JPEG's start-of-frame marker
    while data[i + 1] not in (0xC0, 0xC1, 0xC2):
        i += 2 + struct.unpack('>H', data[i + 2:i + 4])[0]
    h, w = struct.unpack('>HH', data[i + 5:i + 9])
    assert (str(w), str(h)) == (img['width'], img['height']), (img, w, h)
    assert img.get('loading') == 'lazy' and img.get('alt'), img
PY
}
check "gallery links and pictures" gallery_links_work
check "the hostile title is text" grep -q '&lt;img src=x onerror=alert(1)&gt; &amp; &quot;Tom&quot;' "$S/index.htm"
check "no markup from a title" bash -c "! grep -q '<img src=x' '$S/index.htm'"
check "the creation date of the FLV" grep -q '2008-01-02' "$S/index.htm"

# --- Byte for byte what a single publish makes -------------------------------
single_publish_matches() { # FOLDER SOURCE [OPTIONS]
    local folder=$1 source=$2
    shift 2
    local out="$WORK/single-$RANDOM"
    local made
    made=$("$CLI" "$@" --out "$out" -- "$source" 2>/dev/null) || return 1
    local name
    while IFS= read -r name; do
        [[ $name == *.mp4 ]] && continue
        cmp -s "$made/$name" "$S/$folder/$name" || { echo "differs: $folder/$name" >&2; return 1; }
    done < <(cd "$made" && ls)
    [[ "$(cd "$made" && ls)" == "$(cd "$S/$folder" && ls)" ]]
}
check "nested page equals a single publish" single_publish_matches "2008/trips/beach-2" "$A/2008/trips/beach.flv"
check "non-ASCII page equals a single publish" single_publish_matches "talks/Über/café Ünïcode" "$A/talks/Über/café Ünïcode.flv"
check "'#' page equals a single publish" single_publish_matches "talks/Talk #1 of 2" "$A/talks/Talk #1 of 2.flv"

# --- Reruns -------------------------------------------------------------------
cp -a "$S" "$WORK/site-first"
before=$(conversions "$P")
inode=$(stat -c %i "$S/screen/desk/desk.mp4")
"$CLI" site --out "$S" "$A" >/dev/null 2>"$WORK/err"
check "an unchanged rerun still names the damaged file (3)" test $? -eq 3
check "an unchanged rerun converts nothing" test "$(conversions "$P")" -eq "$before"
check "an unchanged rerun changes no page" same_pages "$S" "$WORK/site-first"
check "an unchanged rerun keeps each MP4 as it was" test "$(stat -c %i "$S/screen/desk/desk.mp4")" = "$inode"

ff -f lavfi -i testsrc=size=160x120:rate=15:duration=4 -c:v flv1 -an "$A/screen/desk.flv"
before=$(conversions "$P")
"$CLI" site --out "$S" "$A" >/dev/null 2>"$WORK/err"
check "a changed video alone is converted again" test "$(conversions "$P")" -eq $((before + 1))
check "the changed video's page is new" grep -q "^Published screen/desk$" "$WORK/err"
check "no other video is published again" test "$(grep -c '^Published' "$WORK/err")" -eq 1

before=$(conversions "$P")
"$CLI" site --size 640x360 --autoplay --out "$S" "$A" >/dev/null 2>"$WORK/err"
check "a page option converts nothing" test "$(conversions "$P")" -eq "$before"
check "a page option makes every page again" test "$(grep -c '^Published' "$WORK/err")" -eq 5
check "the new page equals a single publish with that option" \
    single_publish_matches "talks/Talk #1 of 2" "$A/talks/Talk #1 of 2.flv" --size 640x360 --autoplay
check "the MP4 is kept through a page option" cmp -s "$S/talks/Talk #1 of 2/Talk #1 of 2.mp4" "$WORK/site-first/talks/Talk #1 of 2/Talk #1 of 2.mp4"

# --- A source gone, then pruned ------------------------------------------------
mv "$A/talks/Talk #1 of 2.flv" "$WORK/talk.flv"
"$CLI" site --size 640x360 --autoplay --out "$S" "$A" >/dev/null 2>&1
check "a gone source keeps its page" test -f "$S/talks/Talk #1 of 2/index.htm"
check "the gallery says it is gone" grep -q "source is gone" "$S/index.htm"
"$CLI" site --prune --size 640x360 --autoplay --out "$S" "$A" >/dev/null 2>&1
check "--prune removes its folder" test ! -e "$S/talks/Talk #1 of 2"
check "--prune removes its entry" bash -c "! grep -q 'Talk%20%231' '$S/index.htm'"
mv "$WORK/talk.flv" "$A/talks/Talk #1 of 2.flv"

# --- kill -9 at some moment, then a rerun ---------------------------------------
# What one uninterrupted run makes of the archive as it now is.
R="$WORK/reference"
"$CLI" site -j 2 --out "$R" "$A" >/dev/null 2>&1
K="$WORK/killed"
for delay in 0.2 0.5 0.9; do
    "$CLI" site -j 2 --out "$K" "$A" >/dev/null 2>&1 &
    pid=$!
    sleep "$delay"
    kill -9 "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
done
"$CLI" site -j 2 --out "$K" "$A" >/dev/null 2>&1
check "after kill -9 a rerun completes the site (3)" test $? -eq 3
check "after kill -9 the pages are whole" same_pages "$K" "$R"
check "after kill -9 nothing half-made is left" \
    test -z "$(find "$K" -name '*.tmp*' -o -name '.vidlume*' | head -1)$(ls -A "$K/vidlume-site/work")"

# --- Ctrl-C -----------------------------------------------------------------------
C="$WORK/stopped"
"$CLI" site -j 1 --out "$C" "$A" >/dev/null 2>&1 &
pid=$!
sleep 0.3
kill -INT "$pid"
start=$(date +%s%N)
wait "$pid"
status=$?
took=$((($(date +%s%N) - start) / 1000000))
check "Ctrl-C gives 130" test "$status" -eq 130
check "Ctrl-C stops within a second (${took} ms)" test "$took" -lt 1000
check "Ctrl-C leaves nothing half-made" test -z "$(ls -A "$C/vidlume-site/work" 2>/dev/null)"

# --- GNU parallel: plan, the jobs, assemble -------------------------------------
if command -v parallel >/dev/null; then
    G="$WORK/parallel"
    "$CLI" site plan --out "$G" "$A" >"$WORK/indices" 2>/dev/null
    check "plan prints the jobs to do, one number a line" grep -qxE '([0-9]+\n?)+' <(tr -d ' ' <"$WORK/indices")
    check "plan lists every video" test "$(wc -l <"$WORK/indices")" -eq 6
    parallel --will-cite -j 2 --joblog "$WORK/joblog" "$CLI" site job --out "$G" --index {} <"$WORK/indices" \
        >/dev/null 2>"$WORK/err"
    check "one job fails (the damaged file)" test "$(awk 'NR > 1 && $7 == 3' "$WORK/joblog" | wc -l)" -eq 1
    "$CLI" site assemble --out "$G" >/dev/null 2>&1
    check "assemble gives 3 for the damaged file" test $? -eq 3
    check "GNU parallel gives the same bytes as one run" same_pages "$G" "$R"
    SLURM_ARRAY_TASK_ID=$(head -1 "$WORK/indices") "$CLI" site job --out "$G" >/dev/null 2>&1
    check "a job already done does nothing (0)" test $? -eq 0
else
    echo "GNU parallel is not installed: its route is not tested"
fi

# --- The command line ----------------------------------------------------------------
check "site --help names its steps" bash -c "'$CLI' site --help | grep -q 'plan' && '$CLI' site --help | grep -q 'assemble'"
"$CLI" site job --out "$S" >/dev/null 2>&1
check "a job without a number is a usage error (2)" test $? -eq 2
"$CLI" site --out "$S" >/dev/null 2>&1
check "a site without SOURCE is a usage error (2)" test $? -eq 2
"$CLI" site job --out "$WORK/nowhere" --index 0 >/dev/null 2>&1
check "a job without a plan fails (1)" test $? -eq 1
mkdir -p "$WORK/videos"
(cd "$WORK/videos" && cp "$A/2008/trips/beach.flv" site && "$CLI" --out "$WORK/named" -- site >/dev/null 2>&1)
check "'vidlume-cli -- site' publishes a video named site" test -f "$WORK/named/site/index.htm"
echo '{"format": "vidlume-site-plan", "version": 1, "videos": [{"folder": "../../x"}]}' >"$S/vidlume-site.json"
"$CLI" site job --out "$S" --index 0 >/dev/null 2>"$WORK/err"
check "a hand-edited plan is refused" test $? -eq 1
"$CLI" site --out "$S" "$A" >/dev/null 2>"$WORK/err"
check "site makes a new plan in place of a refused one" grep -q "is refused.*a new plan is made" "$WORK/err"

finish
