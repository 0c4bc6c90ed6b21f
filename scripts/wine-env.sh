# Sourced by the scripts that run the project's Windows programs: the Wine
# environment of the build tree (one prefix, 64-bit loader, quiet, Chinese ANSI
# code page through the loader's locale, see wine-run).
CONFESSION_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export CONFESSION_WINE_DIR="${CONFESSION_WINE_DIR:-$CONFESSION_ROOT/build/wine}"
export WINEPREFIX="$CONFESSION_WINE_DIR/prefix"
export WINEARCH=win64
export WINELOADER=/usr/lib/wine/wine64
export WINESERVER=/usr/lib/wine/wineserver
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree=}"
if [ -z "${DISPLAY:-}" ] && [ -f "$CONFESSION_WINE_DIR/display" ]; then
    DISPLAY=$(cat "$CONFESSION_WINE_DIR/display")
    export DISPLAY
fi
