#!/usr/bin/env bash
# Runs a command on a virtual X display with a window manager, where Wine shows the Windows
# test programs' windows: without a window manager Wine waits two seconds for each new window.
set -euo pipefail
if [ "${1:-}" != --inside ]; then
    exec xvfb-run -a -s "-screen 0 1280x1024x24" "$0" --inside "$@"
fi
shift
openbox >/dev/null 2>&1 &
wm=$!
trap 'kill "$wm" 2>/dev/null || true' EXIT
for _ in $(seq 50); do # until the window manager has taken the screen
    xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
    sleep 0.1
done
"$@"
