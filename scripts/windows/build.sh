#!/usr/bin/env bash
# Builds the program, the command-line tool and the tests for 64-bit Windows into
# build-windows/, with Qt for Windows from the cache (built there first when missing), and runs
# the tests under Wine unless --no-tests is given. Further arguments go to ctest.
set -euo pipefail
cd "$(dirname "$0")/../.."
here=$PWD/scripts/windows
"$here/ensure-deps.sh"
ZUVEX_QT_WINDOWS=$("$here/build-qt.sh" | tail -n 1)
export ZUVEX_QT_WINDOWS

run_tests=1
if [ "${1:-}" = --no-tests ]; then
    run_tests=
    shift
fi
# The serial tests under Wine talk to the simulator of the Linux build (build/), when it is there.
linux_sim=$PWD/build/tools/zuvex-sim
[ -x "$linux_sim" ] || linux_sim=
cmake -S . -B build-windows -G Ninja -DCMAKE_TOOLCHAIN_FILE="$here/mingw-w64.cmake" \
    -DZUVEX_WERROR=ON -DZUVEX_BUILD_BENCH=OFF -DZUVEX_LINUX_SIM="$linux_sim" >/dev/null
cmake --build build-windows -j "$(nproc)"
[ -n "$run_tests" ] || exit 0
# The Windows tests show their windows through Qt's own Windows platform, as on a user's
# machine, on a virtual display with a window manager.
exec "$here/desktop.sh" "$here/run-tests.sh" "$@"
