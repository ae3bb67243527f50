#!/usr/bin/env bash
# Builds the Zuvex 910k Konfigurator into build/ and starts it.
#   ./run.sh          demo: a simulated telephone system on COM3, with its own settings home
#   ./run.sh --real   your own settings (~/.config/zuvex910k) and real serial ports
#   ./run.sh --windows  the Windows build under Wine, the simulated telephone system on its COM3
set -euo pipefail
cd "$(dirname "$0")"
mode=demo
case "${1:-}" in
    "") ;;
    --real) mode=real ;;
    --windows) mode=windows ;;
    *) echo "Aufruf: ./run.sh [--real | --windows]" >&2; exit 2 ;;
esac

# Without a display there is nothing to show the window on: say so before the build, which
# takes minutes on a fresh machine.
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
    echo "Kein Bildschirm gefunden (DISPLAY ist nicht gesetzt)." >&2
    echo "Der Konfigurator braucht eine grafische Oberfläche. Ohne Bildschirm starten Sie ihn so:" >&2
    echo "    xvfb-run -a ./run.sh ${1:-}" >&2
    command -v xvfb-run >/dev/null ||
        echo "xvfb-run gehört zum Paket xvfb: sudo apt-get install xvfb xauth" >&2
    exit 1
fi

./scripts/ensure-deps.sh
cmake -S . -B build -G Ninja -DZUVEX_WERROR=ON >/dev/null
cmake --build build -j "$(nproc)" --target zuvex-konfigurator zuvex-sim

# Creates the settings store with the program's (empty) key, as an installer would.
ensure_registry() {
    local home=$1/zuvex910k
    mkdir -p "$home"
    if [ ! -f "$home/registry.reg" ]; then
        printf 'Windows Registry Editor Version 5.00\r\n\r\n[HKEY_LOCAL_MACHINE\\software\\Orvell\\Zuvex 910k]\r\n' \
            >"$home/registry.reg"
    fi
}

if [ "$mode" = real ]; then
    ensure_registry "${XDG_CONFIG_HOME:-$HOME/.config}"
    exec ./build/zuvex-konfigurator
fi

export XDG_CONFIG_HOME="$PWD/build/demo-home"
ensure_registry "$XDG_CONFIG_HOME"
mkdir -p "$XDG_CONFIG_HOME/zuvex910k/ports"
sim_args=(--port 3)
if [ "$mode" = windows ]; then
    # The simulator stays a Linux program; Wine's COM3 is its pseudo-terminal.
    ./scripts/windows/build.sh --no-tests
    . ./scripts/windows/qt-cache.sh
    export WINEPREFIX=${WINEPREFIX:-$(qt_windows_cache_root)/wine-prefix}
    unset QT_QPA_PLATFORM
    ./scripts/windows/wine-run.sh cmd /c exit 0 # makes the prefix on the first run
    sim_args+=(--link "$WINEPREFIX/dosdevices/com3")
fi
./build/tools/zuvex-sim "${sim_args[@]}" &
sim=$!
trap 'kill "$sim" 2>/dev/null || true; wait "$sim" 2>/dev/null || true' EXIT
# the simulator publishes COM3 as soon as it is ready
for _ in $(seq 50); do
    [ -e "$XDG_CONFIG_HOME/zuvex910k/ports/COM3" ] || [ -e "${WINEPREFIX:-/nonexistent}/dosdevices/com3" ] && break
    sleep 0.1
done
if [ "$mode" = windows ]; then
    ./scripts/windows/wine-run.sh build-windows/zuvex-konfigurator.exe
else
    ./build/zuvex-konfigurator
fi
