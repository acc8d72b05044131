#!/usr/bin/env bash
# The "Upload" dialog of vidlume.exe under Wine, in its own Xvfb display, driven
# by xdotool as a user would, against Debian's sshd on 127.0.0.1 with its own
# port, host key, user key and configuration: opened with Ctrl+U, every control
# named and reached by Tab, nothing cut off; an SFTP upload with a key that has a
# passphrase, where the unknown host key's question stops at No (its default
# button) and goes on after Yes; the folder arrives byte for byte, the host key
# is kept, the page's address is copied. At 144 DPI nothing is cut off either.
#   upload-dialog-test.sh VIDLUME_EXE WINDOW_PROBE_EXE CAPTION [SCREENSHOT_DIR]
# Exit 77 (skipped) where Wine, Xvfb, xdotool or sshd are missing.
set -euo pipefail
exe=$1 probe_exe=$2 caption=$3 shots=${4:-}
for tool in wine Xvfb xdotool openbox ssh-keygen /usr/sbin/sshd; do
    command -v "$tool" >/dev/null || { echo "$tool is not installed"; exit 77; }
done

work=$(mktemp -d /tmp/vidlume-wine-upload.XXXXXX)
pids=()
sshd_pid=
export WINEPREFIX=$work/prefix WINEDEBUG=-all WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=d;mshtml=d"
cleanup() {
    wineserver -k 2>/dev/null || true
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    [[ -z $sshd_pid ]] || kill "$sshd_pid" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; [[ -n $shots ]] && import -window root "$shots/failure.png" 2>/dev/null; exit 1; }

# The server: its own host key, and the user's key with a passphrase.
server=$work/server
mkdir -p "$server" "$work/client" "$work/site/clip"
ssh-keygen -q -t ed25519 -N '' -C test-host -f "$server/host_key"
passphrase='open sesame 7'
ssh-keygen -q -t ed25519 -N "$passphrase" -C test-user -f "$work/client/user_key"
cp "$work/client/user_key.pub" "$server/authorized_keys"
fingerprint=$(ssh-keygen -lf "$server/host_key.pub" | cut -d' ' -f2)
[[ $(id -u) -ne 0 ]] || mkdir -p /run/sshd # sshd's privilege separation folder
for attempt in $(seq 20); do
    port=$((20000 + ($$ * 7 + attempt * 131) % 30000))
    cat >"$server/sshd_config" <<CONFIG
Port $port
ListenAddress 127.0.0.1
HostKey $server/host_key
PidFile $server/sshd.pid
AuthorizedKeysFile $server/authorized_keys
StrictModes no
UsePAM no
PasswordAuthentication no
KbdInteractiveAuthentication no
PermitRootLogin prohibit-password
Subsystem sftp internal-sftp
CONFIG
    rm -f "$server/sshd.pid"
    /usr/sbin/sshd -f "$server/sshd_config" -E "$server/sshd.log" || continue
    for _ in $(seq 50); do
        [[ -s $server/sshd.pid ]] && break
        sleep 0.1
    done
    sshd_pid=$(cat "$server/sshd.pid" 2>/dev/null || true)
    [[ -n $sshd_pid ]] && break
done
[[ -n $sshd_pid ]] || { cat "$server/sshd.log"; fail "sshd did not start"; }

# A small published folder: a page, a video, a picture in a subfolder.
printf '<html><body>clip</body></html>\n' >"$work/site/index.htm"
head -c 300000 /dev/urandom >"$work/site/clip/video.mp4"
head -c 5000 /dev/urandom >"$work/site/clip/poster.jpg"
remote=$work/remote

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

app=$work/app
mkdir -p "$app"
cp "$exe" "$app/vidlume.exe"

probe() { wine "$probe_exe" "$@" | tr -d '\r'; }
windows() { winepath -w "$1" 2>/dev/null; }
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
expect() { # what got expected
    [[ $2 == "$3" ]] || fail "$1: got '$2', expected '$3'"
    echo "ok: $1"
}
# The window of this caption with its frame, and whatever is over it, into SCREENSHOT_DIR.
shot() {
    [[ -n $shots ]] || return 0
    sleep 1
    local id parent x y width height
    id=$(window_named "^$2\$")
    while parent=$(xwininfo -tree -id "$id" | grep 'Parent window id') &&
          [[ -n $parent && $parent != *"(the root window)"* ]]; do
        id=$(awk '{print $4}' <<<"$parent")
    done
    read -r x y width height < <(xwininfo -id "$id" |
        awk '/Absolute upper-left X/ {x = $NF} /Absolute upper-left Y/ {y = $NF}
             /^ *Width/ {w = $NF} /^ *Height/ {h = $NF} END {print x, y, w, h}')
    import -window root -crop "${width}x${height}+${x}+${y}" +repage "$shots/$1"
}

dialog=Upload
# Its child window ids (winui/UploadDialog_win.h).
recent=1200 folder=1201 protocol=1203 host=1204 port_field=1205 user=1206 remote_field=1207 public=1208
auth=1209 key=1210 secret=1212 remember=1213 status=1214 upload=1300 cancel=1301 openpage=1302 copyaddress=1303
close=1218
up_probe() { probe "upload-$1" "${@:2}"; }
up_click() {
    local x y
    read -r x y < <(up_probe centre "$1")
    xdotool mousemove --sync "$x" "$y" click 1
    sleep 0.5
}
up_type() { # into a field: clicked, emptied, typed
    up_click "$1"
    xdotool key ctrl+a
    xdotool type --delay 20 "$2"
}
status_says() { # until the status line holds this text
    for _ in $(seq 240); do
        [[ $(up_probe text $status 2>/dev/null) == *"$1"* ]] && return 0
        sleep 0.5
    done
    fail "the status line says '$(up_probe text $status)', not '$1'"
}
up_wait() { # until a probe answers what is expected
    local answer
    for _ in $(seq "${4:-100}"); do
        answer=$(up_probe "${@:2:2}" 2>/dev/null || true)
        [[ $answer == "$1" ]] && return 0
        sleep 0.5
    done
    fail "${*:2:2} answers '$answer', not '$1'"
}
open_dialog() {
    xdotool windowactivate --sync "$(window_named "^$caption\$")" key ctrl+u
    wait_for_window "^$dialog\$"
    sleep 1
}

(cd "$app" && exec wine vidlume.exe) >/dev/null 2>&1 &
pids+=($!)
wait_for_window "^$caption\$"
open_dialog

controls=$(up_probe controls)
while read -r id enabled name; do
    [[ -n $name ]] || fail "control $id has no name"
done <<<"$controls"
echo "ok: every control has a name: $(cut -d' ' -f3- <<<"$controls" | paste -sd '|')"
reached=()
for _ in $(seq "$(awk '$2 == 1' <<<"$controls" | wc -l)"); do
    reached+=("$(up_probe focus)")
    xdotool key Tab
    sleep 0.3
done
expect "Tab reaches every control that is on" "$(printf '%s\n' "${reached[@]}" | sort -nu | paste -sd ' ')" \
       "$(awk '$2 == 1 {print $1}' <<<"$controls" | sort -n | paste -sd ' ')"
expect "nothing cut off at 96 DPI" "$(up_probe clipped)" ""
# Each field's access key moves there. (Alt and a letter typed in Xvfb reach a
# Wine program as AltGr: the probe hands the dialog what the keyboard would.)
for pair in f:$folder s:$host r:$protocol t:$port_field v:$remote_field w:$public i:$auth a:$secret; do
    up_probe alt "${pair%%:*}"
    sleep 0.3
    expect "Alt+${pair%%:*} moves to ${pair#*:}" "$(up_probe focus)" "${pair#*:}"
done
expect "protocols" "$(up_probe items $protocol | paste -sd '|')" "SFTP (SSH)|FTPS (FTP with TLS)|WebDAV (HTTPS)"
expect "no sites used before: the list is off" "$(up_probe enabled $recent)" 0
expect "Upload off without a folder and a server" "$(up_probe enabled $upload)" 0
expect "Cancel off while nothing is sent" "$(up_probe enabled $cancel)" 0

# FTPS logs in with a password: the key fields go grey.
up_click $host
xdotool key shift+Tab Down
sleep 0.5
expect "FTPS: no login choice" "$(up_probe enabled $auth)" 0
xdotool key Up
sleep 0.5
expect "SFTP: the login can be chosen" "$(up_probe enabled $auth)" 1

# Filled in as a user does.
up_type $folder "$(windows "$work/site")"
up_type $host 127.0.0.1
up_type $port_field "$port"
up_type $user "$(id -un)"
up_type $remote_field "$remote"
up_type $public https://example.org/clips/
xdotool key Tab Down
sleep 0.5
expect "SSH key: its field is on" "$(up_probe enabled $key)" 1
up_type $key "$(windows "$work/client/user_key")"
up_click $secret
printf '%s' "$passphrase" | xdotool type --delay 20 --file - # not on a command line
expect "Remember on for a key's passphrase" "$(up_probe enabled $remember)" 1
up_click $remember
expect "Upload on" "$(up_probe enabled $upload)" 1

# The unknown host key: Enter is No, and nothing is sent.
up_click $upload
wait_for_window "^Unknown Server\$"
[[ $(probe texts "Unknown Server") == *"$fingerprint"* ]] ||
    fail "the question does not show $fingerprint: $(probe texts "Unknown Server")"
echo "ok: the question shows the fingerprint"
shot windows-upload-hostkey.png "Unknown Server"
xdotool key Return
wait_for_no_window "^Unknown Server\$"
status_says "host key was not trusted"
expect "Upload on again" "$(up_probe enabled $upload)" 1
[[ ! -e $remote ]] || fail "something was sent to a server not trusted"
echo "ok: No sends nothing"

# Again, and Yes: the folder arrives, and the key is kept for the next time.
up_click $upload
wait_for_window "^Unknown Server\$"
xdotool key y
wait_for_no_window "^Unknown Server\$"
up_wait 1 enabled $copyaddress 120
diff -r --exclude=.vidlume-upload "$work/site" "$remote" || fail "the folder on the server differs"
echo "ok: the folder arrived"
shown=$(up_probe text $status)
[[ $shown == *"Sent 3 file(s)"*"https://example.org/clips/index.htm"* ]] || fail "status at the end: $shown"
echo "ok: status: $shown"
known=$WINEPREFIX/drive_c/users/$(id -un)/.ssh/known_hosts
grep -q "^\[127.0.0.1\]:$port ssh-ed25519 " "$known" || fail "the host key was not kept in $known"
echo "ok: the host key is kept"
expect "Open Published Page on" "$(up_probe enabled $openpage)" 1
up_click $copyaddress
expect "the page's address copied" "$(probe clipboard)" "https://example.org/clips/index.htm"
shot windows-upload-dialog.png "$dialog"
up_click $close
wait_for_no_window "^$dialog\$"

# Opened again: the site used last is offered and filled in (kept in
# vidlume.ini without its passphrase), the passphrase comes from the Credential
# Manager, and the known server takes the upload without a question.
open_dialog
expect "the site used before is offered" "$(up_probe items $recent | paste -sd '|')" \
       "sftp://$(id -un)@127.0.0.1:$port$remote"
expect "its server filled in" "$(up_probe text $host)" 127.0.0.1
expect "its key filled in" "$(up_probe text $key)" "$(windows "$work/client/user_key")"
expect "its web address filled in" "$(up_probe text $public)" https://example.org/clips/
grep -q "^Site1=sftp://" "$app/vidlume.ini" || fail "the site is not kept in vidlume.ini: $(cat "$app/vidlume.ini")"
! grep -q "$passphrase" "$app/vidlume.ini" || fail "the passphrase was written to vidlume.ini"
echo "ok: the site is kept in vidlume.ini without its passphrase"
up_type $folder "$(windows "$work/site")"
up_click $public
xdotool key ctrl+a BackSpace
xdotool key Return
status_says "Sent 0 file(s)"
expect "no page address without a web address" "$(up_probe enabled $copyaddress)" 0
echo "ok: a known server, the kept passphrase, nothing changed: nothing sent"

# A big file: Cancel stops the upload, and no page reaches the server before the
# files it shows; Escape while it sends closes the dialog once it has stopped.
head -c 400000000 /dev/zero >"$work/site/clip/lecture.mp4"
up_type $remote_field "$work/remote2"
up_click $upload
up_wait 1 enabled $cancel
for _ in $(seq 100); do [[ $(up_probe text 1217) == *" of "* ]] && break; sleep 0.2; done
up_click $cancel
status_says "Stopped."
[[ ! -e $work/remote2/index.htm ]] || fail "the page went up before its video"
echo "ok: Cancel stopped the upload without the page"
up_click $upload
up_wait 1 enabled $cancel
xdotool key Escape
wait_for_no_window "^$dialog\$"
[[ ! -e $work/remote2/index.htm ]] || fail "the page went up after Escape"
echo "ok: Escape while sending stopped it and closed the dialog"
xdotool windowactivate --sync "$(window_named "^$caption\$")" key alt+F4
wait_for_no_window "^$caption\$"

# At 144 dots per inch every place and size is half as large again.
wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d 144 /f >/dev/null 2>&1
wineserver -k
wineserver -w
(cd "$app" && exec wine vidlume.exe) >/dev/null 2>&1 &
pids+=($!)
wait_for_window "^$caption\$"
open_dialog
expect "nothing cut off at 144 DPI" "$(up_probe clipped)" ""
shot windows-upload-dialog-150.png "$dialog"
up_click $close
wait_for_no_window "^$dialog\$"
xdotool windowactivate --sync "$(window_named "^$caption\$")" key alt+F4
wait_for_no_window "^$caption\$"
echo "PASS"
