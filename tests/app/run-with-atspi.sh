#!/usr/bin/env bash
# Runs a test program in a D-Bus session of its own, on its own virtual X display
# (run-under-x11.sh), with the program's accessibility tree published on the AT-SPI bus as a
# screen reader finds it. The session bus starts the AT-SPI bus and its registry on demand.
# The AT-SPI bus puts its socket into the runtime folder (else ~/.cache/at-spi): a folder of
# this run's own keeps other sessions of the same user from taking it away.
set -euo pipefail
export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1
runtime=$(mktemp -d)
trap 'rm -rf "$runtime"' EXIT
export XDG_RUNTIME_DIR=$runtime
dbus-run-session -- "$(dirname "$0")/run-under-x11.sh" "$@"
