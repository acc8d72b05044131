#!/usr/bin/env bash
# Runs a command in a desktop of its own: a private desktop D-Bus
# with GNOME Keyring's Secret Service on it, its login keyring made and
# unlocked with a test password (given on standard input), and HOME and the XDG
# folders in a scratch folder, so that the user's own keyring is never touched.
# The bus starts no service by itself: only the keyring started here answers.
#   keyring-desktop.sh COMMAND [ARGUMENT...]
# Exits with the command's status, 77 when the bus or the keyring is missing.
set -euo pipefail
for program in dbus-daemon dbus-send gnome-keyring-daemon; do
    command -v "$program" >/dev/null || { echo "$program is not installed" >&2; exit 77; }
done

dir=$(mktemp -d "${TMPDIR:-/tmp}/vidlume-keyring-XXXXXX")
bus_pid=
keyring_pid=
cleanup() {
    [[ -n $keyring_pid ]] && kill "$keyring_pid" 2>/dev/null && wait "$keyring_pid" 2>/dev/null
    [[ -n $bus_pid ]] && kill "$bus_pid" 2>/dev/null
    rm -rf "$dir"
}
trap cleanup EXIT

mkdir -m 700 "$dir/home" "$dir/run"
export HOME=$dir/home XDG_RUNTIME_DIR=$dir/run
export XDG_DATA_HOME=$HOME/.local/share XDG_CONFIG_HOME=$HOME/.config XDG_CACHE_HOME=$HOME/.cache
# No display: nothing may ask on a screen.
unset DISPLAY WAYLAND_DISPLAY SSH_AUTH_SOCK GNOME_KEYRING_CONTROL

cat >"$dir/bus.conf" <<CONFIG
<busconfig>
  <type>session</type>
  <listen>unix:dir=$dir/run</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
CONFIG
{ read -r DBUS_SESSION_BUS_ADDRESS; read -r bus_pid; } < <(dbus-daemon --config-file="$dir/bus.conf" --fork \
                                                                        --print-address=1 --print-pid=1)
export DBUS_SESSION_BUS_ADDRESS

password="keyring test $$"
printf '%s' "$password" | gnome-keyring-daemon --foreground --unlock --components=secrets \
    >"$dir/keyring.log" 2>&1 &
keyring_pid=$!
owned() {
    dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
        org.freedesktop.DBus.NameHasOwner string:org.freedesktop.secrets 2>/dev/null | grep -q 'boolean true'
}
for wait in $(seq 100); do
    owned && break
    kill -0 "$keyring_pid" 2>/dev/null || { cat "$dir/keyring.log" >&2; exit 77; }
    sleep 0.05
done
owned || { echo "the keyring did not come up" >&2; cat "$dir/keyring.log" >&2; exit 1; }

status=0
"$@" || status=$?
exit "$status"
