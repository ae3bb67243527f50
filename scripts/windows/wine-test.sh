#!/usr/bin/env bash
# Runs a Windows test program under Wine (CTest's emulator for the Windows build). A program
# under Wine has no console, and Qt Test writes nothing to a standard output that is no console:
# the log goes to a file and is shown from there, the test's exit status kept.
set -uo pipefail
log=$(mktemp --suffix=.txt)
trap 'rm -f "$log"' EXIT
"$(dirname "$0")/wine-run.sh" "$@" -o "$log,txt"
status=$?
cat "$log"
exit $status
