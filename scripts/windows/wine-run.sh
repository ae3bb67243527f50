#!/usr/bin/env bash
# Runs a Windows program of the build under Wine: CTest's emulator for the Windows tests, and
# `./run.sh --windows`. The Wine prefix is the one named by WINEPREFIX, else the build's own;
# Qt's and the mingw runtime's DLLs are found through WINEPATH.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/qt-cache.sh"
qt=${ZUVEX_QT_WINDOWS:-$(qt_windows_prefix)}
export WINEPREFIX=${WINEPREFIX:-$(qt_windows_cache_root)/wine-prefix}
export WINEDEBUG=${WINEDEBUG:--all}
# No Mono or Gecko installer prompts when the prefix is made.
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
export WINEPATH="$qt/bin;/usr/x86_64-w64-mingw32/lib;/usr/lib/gcc/x86_64-w64-mingw32/12-posix"

if [ ! -f "$WINEPREFIX/system.reg" ]; then
    mkdir -p "$WINEPREFIX"
    /usr/lib/wine/wine64 wineboot -i >/dev/null 2>&1
    /usr/lib/wine/wineserver64 -w
fi
# Wine hands no QT_* variable of Linux to a Windows program; Qt's platform choice (offscreen for
# the tests, none for the window) goes into the prefix's environment in the registry instead.
platform=${QT_QPA_PLATFORM:-}
if [ "$(cat "$WINEPREFIX/.zuvex-qpa" 2>/dev/null)" != "platform=$platform" ]; then
    if [ -n "$platform" ]; then
        /usr/lib/wine/wine64 reg add 'HKCU\Environment' /v QT_QPA_PLATFORM /d "$platform" /f >/dev/null
    else
        /usr/lib/wine/wine64 reg delete 'HKCU\Environment' /v QT_QPA_PLATFORM /f >/dev/null 2>&1 || true
    fi
    echo "platform=$platform" >"$WINEPREFIX/.zuvex-qpa"
fi
exec /usr/lib/wine/wine64 "$@"
