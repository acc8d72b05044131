#!/usr/bin/env bash
# The installer under Wine, silently (/S): for every user and for the current
# user, it places the programs and their files, a Start menu entry, the
# uninstall key of "Apps & features" and the "Open with" entries for Flash
# Video; the installed program runs; the uninstaller takes all of it away again
# and leaves the user's settings. The installer, the uninstaller and the window
# program carry the program's icon; the converter describes itself.
#   installer.sh SETUP_EXE
set -euo pipefail
setup=$1
[[ -f $setup ]] || { echo "no installer at $setup (build the vidlume_installer target)"; exit 1; }
c=$WINEPREFIX/drive_c
key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\NorvaneVidlume'
profile=$(wine cmd /c 'echo %USERPROFILE%' 2>/dev/null | tr -d '\r')
profile_unix=$(winepath -u "$profile" 2>/dev/null)

fail() { echo "FAILED: $*"; exit 1; }

has_icon() { [[ -n $(wrestool -l --type=14 "$1" 2>/dev/null) ]] || fail "$1 has no icon"; }
version_texts() { wrestool -x --raw --type=16 "$1" 2>/dev/null | tr -d '\000'; }
appdata_unix=$(winepath -u "$(wine cmd /c 'echo %APPDATA%' 2>/dev/null | tr -d '\r')" 2>/dev/null)

has_icon "$setup"

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
    has_icon "$folder/vidlume.exe"
    has_icon "$folder/uninstall.exe"
    version_texts "$folder/vidlume-convert.exe" | grep -aq 'FileDescriptionNorvane Vidlume video converter' ||
        fail "the converter does not describe itself as the converter"
    wine reg query "$reg" /v DisplayIcon 2>/dev/null | grep -q 'vidlume.exe,0' || fail "no DisplayIcon of vidlume.exe"

    # "Open with": offered for .flv, without becoming the default program.
    local classes=${hive}'\Software\Classes'
    wine reg query "$classes\Applications\vidlume.exe\shell\open\command" 2>/dev/null | grep -q 'vidlume.exe" "%1"' ||
        fail "no open command for vidlume.exe"
    wine reg query "$classes\Applications\vidlume.exe\SupportedTypes" /v .flv >/dev/null 2>&1 ||
        fail "vidlume.exe does not list .flv as a supported type"
    wine reg query "$classes\.flv\OpenWithProgids" /v NorvaneVidlume.flv >/dev/null 2>&1 ||
        fail "Vidlume is not among the programs offered for .flv"
    if wine reg query "$classes\.flv" /ve 2>/dev/null | grep -q NorvaneVidlume; then
        fail "the installer made Vidlume the default program for .flv"
    fi

    # The user's settings, which the program keeps in %APPDATA%\Vidlume, stay.
    mkdir -p "$appdata_unix/Vidlume"
    printf '[settings]\r\nOutPutDir=C:\\videos\r\n' >"$appdata_unix/Vidlume/vidlume.ini"

    # The uninstaller copies itself elsewhere and returns at once: wait for its work.
    wine "$(winepath -w "$folder/uninstall.exe")" /S "/$mode"
    for _ in $(seq 1 120); do
        [[ -e $folder ]] || break
        sleep 0.5
    done
    [[ ! -e $folder ]] || fail "$folder is still there: $(ls "$folder")"
    [[ ! -e "$menu/Norvane Vidlume" ]] || fail "the Start menu folder is still there"
    if wine reg query "$reg" >/dev/null 2>&1; then fail "the uninstall key is still there"; fi
    if wine reg query "$classes\Applications\vidlume.exe" >/dev/null 2>&1; then fail "the Applications key is still there"; fi
    if wine reg query "$classes\.flv\OpenWithProgids" /v NorvaneVidlume.flv >/dev/null 2>&1; then
        fail "Vidlume is still offered for .flv"
    fi
    [[ -f $appdata_unix/Vidlume/vidlume.ini ]] || fail "uninstalling removed the user's settings"
    rm -rf "$appdata_unix/Vidlume"
    echo "installed, ran and uninstalled"
}

check_mode AllUsers "$c/Program Files/Vidlume" "$c/ProgramData/Microsoft/Windows/Start Menu/Programs" HKLM
check_mode CurrentUser "$profile_unix/AppData/Local/Programs/Vidlume" \
    "$profile_unix/AppData/Roaming/Microsoft/Windows/Start Menu/Programs" HKCU
