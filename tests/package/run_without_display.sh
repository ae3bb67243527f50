#!/usr/bin/env bash
# ./run.sh without a display stops at once with the way to start it under a virtual display,
# before it installs or builds anything (minutes on a fresh machine).
# Usage: run_without_display.sh SOURCE_DIR
source "$(dirname "$0")/common.sh"
source_dir=$1
mkdir -p "$scratch/bin"
for tool in cmake dpkg-query apt-get; do # any of them means run.sh went on
    printf '#!/bin/sh\necho %s >>"%s/called"\nexit 1\n' "$tool" "$scratch" >"$scratch/bin/$tool"
    chmod +x "$scratch/bin/$tool"
done
status=0
env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM PATH="$scratch/bin:$PATH" \
    "$source_dir/run.sh" >/dev/null 2>"$scratch/stderr" || status=$?
[ "$status" -eq 1 ] || fail "exit status $status: $(cat "$scratch/stderr")"
grep -q "Kein Bildschirm gefunden" "$scratch/stderr" || fail "stderr: $(cat "$scratch/stderr")"
grep -q "xvfb-run -a ./run.sh" "$scratch/stderr" || fail "no xvfb-run advice: $(cat "$scratch/stderr")"
[ ! -e "$scratch/called" ] || fail "run.sh went on to: $(cat "$scratch/called")"
echo "run.sh without a display stopped before the build"
