#!/usr/bin/env bash
# Uses vidlume.exe under Wine in its own Xvfb display as a user would, driven by
# xdotool: the caption and client size, the video chosen in the open dialog,
# "Include Logo:" and the logo width key filter, "Generate HTML Code" with the
# new folder and the file browser asked for, a CD-ROM folder refused by the
# chooser, and "Publish Many Videos" (Ctrl+M) making a site of a good and a
# damaged video and offering it to the Upload dialog, with the converter beside
# the program (vidlume-convert.exe, taken from beside VIDLUME_EXE).
#   window-test.sh VIDLUME_EXE WINDOW_PROBE_EXE FAKE_EXPLORER_EXE VIDEO CAPTION [SCREENSHOT_DIR]
# Exit 77 (skipped) where Wine, Xvfb or xdotool are missing.
set -euo pipefail
exe=$1 probe_exe=$2 explorer_exe=$3 video=$4 caption=$5 shots=${6:-}
for tool in wine Xvfb xdotool openbox ffmpeg; do
    command -v "$tool" >/dev/null || { echo "$tool is not installed"; exit 77; }
done

work=$(mktemp -d /tmp/vidlume-wine-window.XXXXXX)
pids=()
export WINEPREFIX=$work/prefix WINEDEBUG=-all WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=d;mshtml=d"
cleanup() {
    wineserver -k 2>/dev/null || true
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; [[ -n $shots ]] && import -window root "$shots/failure.png" 2>/dev/null; exit 1; }

# A display of our own.
display=90
while [[ -e /tmp/.X$display-lock || -e /tmp/.X11-unix/X$display ]]; do display=$((display + 1)); done
Xvfb ":$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
pids+=($!)
export DISPLAY=:$display
for _ in $(seq 50); do xdotool getmouselocation >/dev/null 2>&1 && break; sleep 0.2; done
openbox >/dev/null 2>&1 &
pids+=($!)
wineboot -i >/dev/null 2>&1

# The program in a folder of its own, with a stand-in file browser beside it
# (found before the system's) and a player file, so that nothing is left out.
app=$work/app
mkdir -p "$app"
cp "$exe" "$app/vidlume.exe"
cp "$explorer_exe" "$app/explorer.exe"
printf 'player bytes' >"$app/flvplayer1.swf"
for helper in vidlume-convert.exe vidlume-html5.js; do
    [[ -f $(dirname "$exe")/$helper ]] && cp "$(dirname "$exe")/$helper" "$app/"
done
cp "$video" "$work/holiday.flv"
# A CD-ROM drive R: in Wine's registry.
mkdir -p "$work/disc"
ln -s "$work/disc" "$WINEPREFIX/dosdevices/r:"
wine reg add 'HKLM\Software\Wine\Drives' /v 'r:' /d cdrom /f >/dev/null 2>&1
# Wine's mount manager reads its drives when it starts: start it afresh.
wineserver -k
wineserver -w

probe() { wine "$probe_exe" "$@" | tr -d '\r'; }
window_named() { xdotool search --name "$1" 2>/dev/null | head -1; }
wait_for_window() {
    for _ in $(seq 100); do
        [[ -n $(window_named "$1") ]] && return 0
        sleep 0.3
    done
    fail "no window named $1"
}
wait_for_no_window() {
    for _ in $(seq 100); do
        [[ -z $(window_named "$1") ]] && return 0
        sleep 0.3
    done
    fail "window $1 stays open"
}
# The screen where the main window (or the window of this caption) lies, its
# frame and whatever is over it included, into SCREENSHOT_DIR.
shot() {
    [[ -n $shots ]] || return 0
    sleep 1
    # The window manager's frame: the ancestor right under the root window.
    local id parent x y width height
    id=$(window_named "^${2:-$caption}\$")
    while parent=$(xwininfo -tree -id "$id" | grep 'Parent window id') &&
          [[ -n $parent && $parent != *"(the root window)"* ]]; do
        id=$(awk '{print $4}' <<<"$parent")
    done
    read -r x y width height < <(xwininfo -id "$id" |
        awk '/Absolute upper-left X/ {x = $NF} /Absolute upper-left Y/ {y = $NF}
             /^ *Width/ {w = $NF} /^ *Height/ {h = $NF} END {print x, y, w, h}')
    import -window root -crop "${width}x${height}+${x}+${y}" +repage "$shots/$1"
}
# Control numbers of the form (form/Control.h).
btn_videofile=1 chk_html5=4 chk_logo=10 btn_logoimage=14 trc_logoalpha=15 edt_logolink=21 edt_logowidth=22
btn_start=23 edt_outputdir=24 btn_outputdir=25 edt_videofile=0 cbb_videosize=2
rb_topleft=17 rb_topright=18
click() {
    local x y
    read -r x y < <(probe centre "$caption" "$1")
    xdotool mousemove --sync "$x" "$y" click 1
    sleep 0.5 # the window handles the click on its own time
}
expect() { # what got expected
    [[ $2 == "$3" ]] || fail "$1: got '$2', expected '$3'"
    echo "ok: $1"
}

(cd "$app" && exec wine vidlume.exe) >/dev/null 2>&1 &
pids+=($!)
wait_for_window "^$caption\$"
expect "client size" "$(probe client "$caption")" "481 421"
expect "HTML5 Player checked at start" "$(probe checked "$caption" $chk_html5)" 1
expect "Generate disabled at start" "$(probe enabled "$caption" $btn_start)" 0
expect "the first field has the focus" "$(probe focus "$caption")" $edt_videofile

# A field's colour on screen, as "R,G,B".
colour_at() {
    local x y
    read -r x y < <(probe background "$caption" "$1")
    import -window root -crop "1x1+$x+$y" +repage -depth 8 txt:- | awk 'NR == 2 {print $2}' | tr -d '()' |
        cut -d, -f1-3
}
expect "the video field is cream" "$(colour_at $edt_videofile)" "255,251,240"

# The video through the open dialog, typed as a user does.
click $btn_videofile
wait_for_window "^Open\$"
sleep 1
video_path=$(winepath -w "$work/holiday.flv" 2>/dev/null)
xdotool type --delay 20 "$video_path"
xdotool key Return
wait_for_no_window "^Open\$"
expect "video field" "$(probe text "$caption" $edt_videofile)" "$video_path"
expect "Generate enabled by the video" "$(probe enabled "$caption" $btn_start)" 1
shot windows-main-window.png

# The page without the HTML5 player: its converter is no part of this test.
click $chk_html5
expect "HTML5 Player unchecked" "$(probe checked "$caption" $chk_html5)" 0

for control in $btn_logoimage $edt_logolink $edt_logowidth $trc_logoalpha; do
    expect "logo control $control disabled" "$(probe enabled "$caption" "$control")" 0
done
click $chk_logo
for control in $btn_logoimage $edt_logolink $edt_logowidth $trc_logoalpha; do
    expect "logo control $control enabled" "$(probe enabled "$caption" "$control")" 1
done
click $edt_logowidth
xdotool type --delay 30 '4a-2. 7'
sleep 0.5
expect "logo width takes digits only" "$(probe text "$caption" $edt_logowidth)" "427"

# The logo position is one tab stop: the arrows move the check, Tab leaves the
# group, and Shift+Tab comes back to the checked button.
click $rb_topleft
xdotool key Right
sleep 0.5
expect "Right checks Top Right" "$(probe checked "$caption" $rb_topright)" 1
expect "the focus moved with the check" "$(probe focus "$caption")" $rb_topright
xdotool key Tab
sleep 0.5
[[ $(probe focus "$caption") == "$edt_logolink" ]] || fail "Tab went to control $(probe focus "$caption"), not out of the group"
xdotool key shift+Tab
sleep 0.5
expect "Shift+Tab comes back to the checked button" "$(probe focus "$caption")" $rb_topright

# A size without an "x" ends the command in the general error report.
click $cbb_videosize
xdotool key ctrl+a
xdotool type --delay 30 '320*240'
click $btn_start
wait_for_window "^Vidlume\$"
expect "error report" "$(probe texts Vidlume)" "List index out of bounds (1)"
xdotool key Return
wait_for_no_window "^Vidlume\$"
[[ -z $(ls -A "$(winepath -u "$(probe text "$caption" $edt_outputdir)" 2>/dev/null)") ]] ||
    fail "the failed generation left something in the output folder"
click $cbb_videosize
xdotool key ctrl+a
xdotool type --delay 30 '320x240'

# Generate: the new folder with the page, and the file browser asked for it.
click $btn_start
# The logo's opacity is still 0: publishing says so in the Warning box first.
wait_for_window "^Warning\$"
[[ $(probe texts Warning) == *"The logo's opacity is 0, so visitors will not see it."* ]] ||
    fail "Warning box says '$(probe texts Warning)'"
echo "ok: the opacity notice"
xdotool key Return
for _ in $(seq 100); do [[ -s $app/explorer.log ]] && break; sleep 0.3; done
[[ -s $app/explorer.log ]] || fail "the file browser was not asked for"
output=$(winepath -u "$(probe text "$caption" $edt_outputdir)" 2>/dev/null)
folder=${output%/}/holiday
[[ -f $folder/index.htm ]] || fail "no $folder/index.htm"
grep -q 'holiday.flv' "$folder/index.htm" || fail "index.htm does not name the video"
grep -q 'flvplayer1.swf' "$folder/index.htm" || fail "index.htm does not name the player"
cmp -s "$work/holiday.flv" "$folder/holiday.flv" || fail "the video copy differs"
grep -qF "$(winepath -w "$folder")" "$app/explorer.log" || fail "file browser asked for $(cat "$app/explorer.log")"
echo "ok: new folder $folder"

# The chooser refuses the CD-ROM: it opens on C:\; Down moves to R:, Down to Z:,
# Up back to R:, and Enter is OK.
click $btn_outputdir
wait_for_window "^Browse\$"
sleep 1
shot windows-folder-chooser.png
for key in Down Down Up; do
    xdotool key $key
    sleep 0.7
done
xdotool key Return
wait_for_window "^Vidlume\$"
expect "refusal" "$(probe texts Vidlume)" "Output folder cannot be located in CD-ROM.Please select another folder."
shot windows-cdrom-refused.png
xdotool key Return
# After the refusal the chooser is there again, at Z:\, the last folder it could
# take; Enter takes it.
wait_for_window "^Browse\$"
sleep 1
xdotool key Return
wait_for_no_window "^Browse\$"
expect "the chooser reopened where the user was" "$(probe text "$caption" $edt_outputdir)" 'Z:\'
# Cancel keeps the output folder.
click $btn_outputdir
wait_for_window "^Browse\$"
sleep 1
xdotool key Escape
wait_for_no_window "^Browse\$"
expect "output folder kept" "$(probe text "$caption" $edt_outputdir)" 'Z:\'

# Publish Many Videos, from its shortcut.
site_caption="Publish Many Videos"
# Its child window ids (winui/SiteDialog_win.h): the form's controls, then the others.
site_addfiles=1001 site_start=1005 site_cancel=1006 site_gallery=1007 site_sitefolder=1008
site_folder=1101 site_summary=1104 site_timeleft=1107 site_leftout=1108 site_copy=1109 site_upload=1112
site_probe() { probe "site-$1" "${@:2}"; }
site_click() {
    local x y
    read -r x y < <(site_probe centre "$1")
    xdotool mousemove --sync "$x" "$y" click 1
    sleep 0.5
}
site_wait() { # until a probe answers what is expected
    local answer
    for _ in $(seq "${4:-100}"); do
        answer=$(site_probe "${@:2:2}" 2>/dev/null || true)
        [[ $answer == "$1" ]] && return 0
        sleep 0.5
    done
    fail "${*:2:2} answers '$answer', not '$1'"
}
mkdir -p "$work/archive"
ffmpeg -nostdin -v error -f lavfi -i testsrc=size=160x120:rate=25:duration=1 -c:v flv1 -q:v 5 \
       "$work/archive/beach.flv"
head -c 4000 /dev/urandom >"$work/archive/broken.flv"

xdotool windowactivate --sync "$(window_named "^$caption\$")" key ctrl+m
wait_for_window "^$site_caption\$"
sleep 1
controls=$(site_probe controls)
while read -r id enabled name; do
    [[ -n $name ]] || fail "control $id has no name"
done <<<"$controls"
echo "ok: every control has a name: $(cut -d' ' -f3- <<<"$controls" | paste -sd '|')"
# Tab visits every control that is on, and comes round again.
reached=()
for _ in $(seq "$(awk '$2 == 1' <<<"$controls" | wc -l)"); do
    reached+=("$(site_probe focus)")
    xdotool key Tab
    sleep 0.3
done
expect "Tab reaches every control that is on" "$(printf '%s\n' "${reached[@]}" | sort -nu | paste -sd ' ')" \
       "$(awk '$2 == 1 {print $1}' <<<"$controls" | sort -n | paste -sd ' ')"
expect "nothing cut off at 96 DPI" "$(site_probe clipped)" ""
# A label's access key moves to its field. (Alt and a letter typed in Xvfb reach
# a Wine program as AltGr: the probe hands the dialog what the keyboard would.)
site_probe alt t
sleep 0.3
expect "Alt+T moves to the site folder" "$(site_probe focus)" $site_folder

# The two videos through "Add Files...": the folder typed, then both names.
site_click $site_addfiles
wait_for_window "^Add FLV Files\$"
sleep 1
xdotool type --delay 20 "$(winepath -w "$work/archive" 2>/dev/null)"
xdotool key Return
sleep 1
xdotool type --delay 20 '"beach.flv" "broken.flv"'
xdotool key Return
wait_for_no_window "^Add FLV Files\$"
# The site folder typed; Tab takes it, and the plan follows.
site_click $site_folder
xdotool type --delay 20 "$(winepath -w "$work/site" 2>/dev/null)"
xdotool key Tab
site_wait 1 enabled $site_start
echo "ok: planned: $(site_probe text $site_summary)"
site_click $site_start
site_wait 1 enabled $site_gallery 240
# The page options are the main window's: its logo at an opacity of 0 is the warning.
expect "the rows at the end" "$(site_probe rows)" \
       "$(printf 'beach.flv\tdone, 1 warning\nbroken.flv\tleft out: it cannot be read as a video: it is not an FLV file')"
[[ $(site_probe text $site_leftout) == *broken.flv* ]] || fail "left out: '$(site_probe text $site_leftout)'"
echo "ok: left out: $(site_probe text $site_leftout)"
for control in $site_sitefolder $site_copy $site_upload; do
    expect "control $control on at the end" "$(site_probe enabled $control)" 1
done
expect "Cancel off at the end" "$(site_probe enabled $site_cancel)" 0
[[ -f $work/site/index.htm && -f $work/site/beach/index.htm ]] || fail "no gallery or page in $work/site"
echo "ok: the site holds $(cd "$work/site" && find . -name index.htm | sort | paste -sd ' ')"
shot windows-site-dialog.png "$site_caption"
site_click $site_sitefolder
for _ in $(seq 50); do grep -qF "$(winepath -w "$work/site")" "$app/explorer.log" && break; sleep 0.3; done
grep -qF "$(winepath -w "$work/site")" "$app/explorer.log" || fail "file browser asked for $(cat "$app/explorer.log")"
echo "ok: the site folder opened"
# "Upload..." offers the site folder to the Upload dialog; Escape closes it.
site_click $site_upload
wait_for_window "^Upload\$"
sleep 1
expect "the site folder to upload" "$(probe upload-text 1201)" "$(winepath -w "$work/site" 2>/dev/null)"
xdotool key Escape
wait_for_no_window "^Upload\$"
# Escape closes the dialog once it has finished.
xdotool windowactivate --sync "$(window_named "^$site_caption\$")" key Escape
wait_for_no_window "^$site_caption\$"

# While a video converts, Escape cancels the run first: the dialog closes when it
# has stopped, the gallery written without the unfinished video. With the HTML5
# player checked in the main window, each video is converted to MP4.
mkdir -p "$work/long"
ffmpeg -nostdin -v error -f lavfi -i testsrc=size=320x240:rate=25:duration=120 -c:v flv1 -q:v 5 \
       "$work/long/lecture.flv"
click $chk_html5
expect "HTML5 Player checked again" "$(probe checked "$caption" $chk_html5)" 1
xdotool windowactivate --sync "$(window_named "^$caption\$")" key ctrl+m
wait_for_window "^$site_caption\$"
sleep 1
site_click $site_addfiles
wait_for_window "^Add FLV Files\$"
sleep 1
xdotool type --delay 20 "$(winepath -w "$work/long/lecture.flv" 2>/dev/null)"
xdotool key Return
wait_for_no_window "^Add FLV Files\$"
site_click $site_folder
xdotool type --delay 20 "$(winepath -w "$work/site2" 2>/dev/null)"
xdotool key Tab
site_wait 1 enabled $site_start
site_click $site_start
for _ in $(seq 30); do [[ $(site_probe rows) == *converting* ]] && break; done
rows=$(site_probe rows)
xdotool key Escape
[[ $rows == *converting* ]] || fail "the long video does not convert: '$rows'"
wait_for_no_window "^$site_caption\$"
[[ -f $work/site2/index.htm && ! -e $work/site2/lecture/index.htm ]] ||
    fail "after the cancel the site holds $(cd "$work/site2" && find . -name index.htm | paste -sd ' ')"
echo "ok: Escape cancelled the run, and the dialog closed after it"

xdotool windowactivate --sync "$(window_named "^$caption\$")" key alt+F4
wait_for_no_window "^$caption\$"

# At 144 dots per inch every place and size is half as large again.
wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d 144 /f >/dev/null 2>&1
wineserver -k
wineserver -w
# Started with a file, as "Open with" starts it: the video is taken.
(cd "$app" && exec wine vidlume.exe "$(winepath -w "$work/holiday.flv")") >/dev/null 2>&1 &
pids+=($!)
wait_for_window "^$caption\$"
expect "client size at 144 DPI" "$(probe client "$caption")" "722 632"
expect "the video handed on the command line" "$(probe text "$caption" $edt_videofile)" "$video_path"
expect "Generate enabled by the handed video" "$(probe enabled "$caption" $btn_start)" 1
shot windows-main-window-150.png
xdotool windowactivate --sync "$(window_named "^$caption\$")" key ctrl+m
wait_for_window "^$site_caption\$"
sleep 1
expect "nothing cut off at 144 DPI" "$(site_probe clipped)" ""
xdotool key Escape
wait_for_no_window "^$site_caption\$"
xdotool windowactivate --sync "$(window_named "^$caption\$")" key alt+F4
wait_for_no_window "^$caption\$"

# With system colours whose text would not read on cream (white on black, as a
# dark or high contrast scheme has), the fields take the system's colours only.
# Wine has no high contrast switch (SPI_SETHIGHCONTRAST fails there), and its
# running programs do not see new colours, so the window starts after the change.
probe colours "$caption" dark || fail "the system's colours cannot be set"
(cd "$app" && exec wine vidlume.exe) >/dev/null 2>&1 &
pids+=($!)
wait_for_window "^$caption\$"
sleep 1
dark_field=$(colour_at $edt_videofile)
probe colours "$caption" light
# A read-only field takes the system's face colour, an editable one its window colour.
[[ $dark_field != "255,251,240" ]] || fail "the video field stays cream under white text"
echo "ok: the video field takes the system's colours ($dark_field)"
xdotool windowactivate --sync "$(window_named "^$caption\$")" key alt+F4
wait_for_no_window "^$caption\$"
echo "PASS"
