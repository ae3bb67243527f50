#!/usr/bin/env bash
# A program started from the menu has no terminal: when the graphical interface cannot be
# opened, the reason must reach the user as a desktop notification and a log, and the program
# must end with its start-failure status, not abort.
# Usage: start_errors.sh PROGRAM
source "$(dirname "$0")/common.sh"
program=$1
mkdir -p "$scratch/bin"
cat >"$scratch/bin/notify-send" <<SCRIPT
#!/bin/sh
printf '%s\n' "\$@" >"$scratch/notified"
SCRIPT
chmod +x "$scratch/bin/notify-send"

# case | environment | expected reason
cases=(
    "no display|QT_QPA_PLATFORM=|kein Bildschirm gefunden"
    "missing platform plugin|QT_QPA_PLATFORM=zuvex-missing|grafische Oberfläche konnte nicht geöffnet"
    "unreachable display|QT_QPA_PLATFORM= DISPLAY=:987|Bildschirm „:987“ ist nicht erreichbar"
)
for c in "${cases[@]}"; do
    IFS='|' read -r label setting reason <<<"$c"
    rm -rf "$scratch/notified" "$scratch/state"
    status=0
    # shellcheck disable=SC2086 # the setting holds one or two assignments
    env -u DISPLAY -u WAYLAND_DISPLAY $setting PATH="$scratch/bin:$PATH" \
        XDG_STATE_HOME="$scratch/state" "$program" >/dev/null 2>"$scratch/stderr" || status=$?
    [ "$status" -eq 69 ] || fail "$label: exit status $status"
    grep -q "$reason" "$scratch/stderr" || fail "$label: stderr: $(cat "$scratch/stderr")"
    grep -q "$reason" "$scratch/state/zuvex910k/start-errors.log" || fail "$label: no log"
    [ -f "$scratch/notified" ] || fail "$label: no notification"
    grep -qx "Zuvex 910k Konfigurator kann nicht starten" "$scratch/notified" &&
        grep -q "$reason" "$scratch/notified" || fail "$label: notification: $(cat "$scratch/notified")"
done
echo "start-up failures reported"
