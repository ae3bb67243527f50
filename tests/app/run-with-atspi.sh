#!/usr/bin/env bash
# Runs a test program in a D-Bus session of its own, on its own virtual X display
# (run-under-x11.sh), with the program's accessibility tree published on the AT-SPI bus as a
# screen reader finds it. The session bus starts the AT-SPI bus and its registry on demand.
set -euo pipefail
export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1
exec dbus-run-session -- "$(dirname "$0")/run-under-x11.sh" "$@"
