#!/usr/bin/env bash
# Builds the Zuvex 910k Konfigurator into build/ and starts it.
#   ./run.sh          demo: a simulated telephone system on COM3, with its own settings home
#   ./run.sh --real   your own settings (~/.config/zuvex910k) and real serial ports
set -euo pipefail
cd "$(dirname "$0")"
mode=demo
case "${1:-}" in
    "") ;;
    --real) mode=real ;;
    *) echo "Aufruf: ./run.sh [--real]" >&2; exit 2 ;;
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
./build/tools/zuvex-sim --port 3 &
sim=$!
trap 'kill "$sim" 2>/dev/null || true; wait "$sim" 2>/dev/null || true' EXIT
# the simulator publishes COM3 as soon as it is ready
for _ in $(seq 50); do
    [ -e "$XDG_CONFIG_HOME/zuvex910k/ports/COM3" ] && break
    sleep 0.1
done
./build/zuvex-konfigurator
