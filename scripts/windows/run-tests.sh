#!/usr/bin/env bash
# Runs the Windows tests of build-windows/ under Wine; called by build.sh on a virtual display
# (desktop.sh). Arguments go to ctest.
set -euo pipefail
cd "$(dirname "$0")/../.."
here=$PWD/scripts/windows
. "$here/qt-cache.sh"
export WINEPREFIX=${WINEPREFIX:-$(qt_windows_cache_root)/wine-prefix}
"$here/wine-run.sh" cmd /c exit 0 # makes the prefix on the first run
ctest --test-dir build-windows --output-on-failure -j "$(nproc)" "$@"
