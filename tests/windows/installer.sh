#!/usr/bin/env bash
# The installer under Wine, silently (/S): for every user and for the current
# user, it places the programs and their files, a Start menu entry and the
# uninstall key of "Apps & features"; the installed program runs; the
# uninstaller takes all of it away again.
#   installer.sh SETUP_EXE
set -euo pipefail
setup=$1
[[ -f $setup ]] || { echo "no installer at $setup (build the vidlume_installer target)"; exit 1; }
c=$WINEPREFIX/drive_c
key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\NorvaneVidlume'
profile=$(wine cmd /c 'echo %USERPROFILE%' 2>/dev/null | tr -d '\r')
profile_unix=$(winepath -u "$profile" 2>/dev/null)

fail() { echo "FAILED: $*"; exit 1; }

check_mode() {
    local mode=$1 folder=$2 menu=$3 hive=$4
    echo "== /$mode"
    wine "$(winepath -w "$setup")" /S "/$mode"
    for file in vidlume.exe vidlume-cli.exe vidlume-convert.exe flvplayer1.swf vidlume-html5.js LICENSE.txt uninstall.exe; do
        [[ -f $folder/$file ]] || fail "$folder/$file is missing"
    done
    [[ -f "$menu/Norvane Vidlume/Norvane Vidlume.lnk" ]] || fail "no Start menu entry for the window in $menu"
    local reg=${key/HKLM/$hive}
    wine reg query "$reg" /v DisplayName 2>/dev/null | grep -q "Norvane Vidlume" || fail "no uninstall key $reg"
    wine reg query "$reg" /v UninstallString 2>/dev/null | grep -q "uninstall.exe" || fail "no UninstallString"
    local version
    version=$(wine "$(winepath -w "$folder/vidlume-cli.exe")" --version | tr -d '\r')
    [[ $version == "vidlume-cli "* ]] || fail "the installed vidlume-cli says: $version"

    # The uninstaller copies itself elsewhere and returns at once: wait for its work.
    wine "$(winepath -w "$folder/uninstall.exe")" /S "/$mode"
    for _ in $(seq 1 120); do
        [[ -e $folder ]] || break
        sleep 0.5
    done
    [[ ! -e $folder ]] || fail "$folder is still there: $(ls "$folder")"
    [[ ! -e "$menu/Norvane Vidlume" ]] || fail "the Start menu folder is still there"
    if wine reg query "$reg" >/dev/null 2>&1; then fail "the uninstall key is still there"; fi
    echo "installed, ran and uninstalled"
}

check_mode AllUsers "$c/Program Files/Vidlume" "$c/ProgramData/Microsoft/Windows/Start Menu/Programs" HKLM
check_mode CurrentUser "$profile_unix/AppData/Local/Programs/Vidlume" \
    "$profile_unix/AppData/Roaming/Microsoft/Windows/Start Menu/Programs" HKCU
