# Sourced by the scripts that run Windows programs under Wine (test-windows.sh):
# a 64-bit Wine prefix of our own outside the clone, headless, quiet, with no
# Linux menu entries, and a CD-ROM drive D: for the drive type test.
#   VIDLUME_WINEPREFIX  where the prefix lives (default ~/.cache/vidlume/wine)
# Wine's first start, which creates the prefix, takes about half a minute; the
# prefix is kept, and a wineserver kept running makes later starts quick.
export WINEPREFIX=${VIDLUME_WINEPREFIX:-${XDG_CACHE_HOME:-$HOME/.cache}/vidlume/wine}
export WINEARCH=win64
export WINEDEBUG=-all
# No Linux menu entries; no offer to install Mono or Gecko (nothing here needs them).
export WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=d;mshtml=d"
unset DISPLAY WAYLAND_DISPLAY

vidlume_wine_cdrom=$WINEPREFIX/vidlume-cdrom
if [[ ! -f $WINEPREFIX/.vidlume-ready ]]; then
    mkdir -p "$WINEPREFIX"
    wineboot --init >/dev/null 2>&1 || true
    wineserver -w
    # D: is a CD-ROM: a folder here, of type cdrom in Wine's registry.
    mkdir -p "$vidlume_wine_cdrom"
    ln -sfn "$vidlume_wine_cdrom" "$WINEPREFIX/dosdevices/d:"
    wine reg add 'HKLM\Software\Wine\Drives' /v 'd:' /t REG_SZ /d cdrom /f >/dev/null 2>&1
    wineserver -w
    touch "$WINEPREFIX/.vidlume-ready"
fi
# Kept running while the tests start programs, so each start takes a fraction of a second.
wineserver -p 60 2>/dev/null || true
# The first program under a new wineserver starts Wine's own services, which
# inherit its standard output and error and outlive it. Started here with
# nothing to inherit, they never hold open the pipe of a test, which ctest
# would otherwise wait on for as long as the wineserver runs.
wine cmd /c exit </dev/null >/dev/null 2>&1 || true
export VIDLUME_TEST_CDROM_DRIVE='D:\'
