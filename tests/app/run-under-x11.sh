#!/usr/bin/env bash
# Runs a test program on a virtual X display with the openbox window manager, so that the test
# sees what the user sees: titles as the window manager shows them, real key presses, placement.
set -euo pipefail
if [ -z "${ZUVEX_X11_DISPLAY_READY:-}" ]; then
    export ZUVEX_X11_DISPLAY_READY=1
    exec xvfb-run -a -s "-screen 0 1280x1024x24" "$0" "$@"
fi
# Openbox places a window in the free area's top left corner, as many window managers do, so
# that only the program's own placement can centre it.
config=$(mktemp --suffix=.xml)
cat >"$config" <<'XML'
<?xml version="1.0" encoding="UTF-8"?>
<openbox_config xmlns="http://openbox.org/3.4/rc">
  <placement><policy>Smart</policy><center>no</center></placement>
</openbox_config>
XML
openbox --sm-disable --config-file "$config" &
wm=$!
trap 'kill "$wm" 2>/dev/null; wait "$wm" 2>/dev/null || true; rm -f "$config"' EXIT
# The window manager is ready once it has announced itself on the root window. On a machine
# busy with builds that can take seconds; without it no window ever becomes active.
wm_ready=
for _ in $(seq 600); do
    if xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; then
        wm_ready=1
        break
    fi
    sleep 0.05
done
[ -n "$wm_ready" ] || echo "run-under-x11: the window manager did not start within 30 s" >&2
export QT_QPA_PLATFORM=xcb
"$@"
