#!/usr/bin/env bash
# Unpacks the Debian package into a temporary root and starts the program from there,
# headless, with only the package's system settings default and a new settings home, as a
# user's first start after installing. SIGTERM closes the window the normal way; the close
# must create the user's settings with the key and the values written at close.
# Usage: run_unpacked.sh DEB_DIR VERSION
source "$(dirname "$0")/common.sh"
deb=$1/zuvex-konfigurator_${2}_amd64.deb
root=$scratch/root home=$scratch/home
dpkg-deb -x "$deb" "$root"
mkdir -p "$home/zuvex910k/ports" # no COM ports: the device search ends at once

QT_QPA_PLATFORM=offscreen XDG_CONFIG_DIRS=$root/etc/xdg XDG_CONFIG_HOME=$home \
    "$root/usr/bin/zuvex-konfigurator" 2>"$scratch/stderr" &
pid=$!
# SIGTERM is ours once the program catches it (bit 15 of SigCgt); earlier it would kill it
for _ in $(seq 200); do
    caught=$(awk '/^SigCgt:/ {print $2}' "/proc/$pid/status" 2>/dev/null || echo 0)
    (((0x$caught >> 14) & 1)) && break
    sleep 0.05
done
kill -TERM "$pid"
for _ in $(seq 200); do # the close must end the program, not leave it waiting
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.05
done
kill -0 "$pid" 2>/dev/null && kill -KILL "$pid" && fail "still running 10 s after SIGTERM"
status=0
wait "$pid" || status=$?
[ "$status" -eq 0 ] || fail "exit status $status after SIGTERM: $(cat "$scratch/stderr")"

settings=$home/zuvex910k/registry.reg
[ -f "$settings" ] || fail "no user settings $settings after closing"
text=$(tr -d '\r' <"$settings")
for line in '[HKEY_LOCAL_MACHINE\software\Orvell\Zuvex 910k]' '"COM"=dword:00000000' \
    '"File1"=""' '"File2"=""' '"File3"=""' '"File4"=""'; do
    grep -qxF "$line" <<<"$text" || fail "user settings lack $line: $text"
done
grep -q '^"WorkDir"="/' <<<"$text" || fail "user settings lack WorkDir: $text"
cmp -s "$settings" "$root/etc/xdg/zuvex910k/registry.reg" && fail "system default copied unchanged"

# The command-line tool from the package, in a shell without a display: it runs, searches the
# (empty) ports folder and reports that no telephone system is there.
status=0
env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM XDG_CONFIG_HOME=$home \
    "$root/usr/bin/zuvex910k" find 2>"$scratch/cli-stderr" || status=$?
[ "$status" -eq 3 ] || fail "zuvex910k find: exit status $status: $(cat "$scratch/cli-stderr")"
grep -q "Es wurde keine Zuvex 910k gefunden." "$scratch/cli-stderr" ||
    fail "zuvex910k find: $(cat "$scratch/cli-stderr")"
echo "unpacked program started and closed; user settings written; zuvex910k runs without a display"
