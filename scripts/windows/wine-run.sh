#!/usr/bin/env bash
# CTest runs each Windows test under Wine through this (fixture.sh makes the
# prefix): in the session whose COM ports were cleared, never a new one.
# A crash fails the test even after its last line of output, also the crash
# of a program the test started: Wine reports both as "wine: Unhandled ..."
# on this standard error (the prefix has no debugger, prefix.sh).
set -euo pipefail
source "$(dirname "$0")/prefix.sh"
zw_wine_env
zw_wine_session /usr/lib/wine/wine64 /usr/lib/wine/wineserver
# A file, not a pipe: a Wine process started meanwhile may keep a pipe open.
log="$(mktemp /tmp/zw-wine-run.XXXXXX)"
trap 'cat "$log"; rm -f "$log"' EXIT
status=0
/usr/lib/wine/wine64 "$@" >"$log" 2>&1 || status=$?
if grep -qE 'wine: Unhandled|^Unhandled exception' "$log"; then
    echo "wine-run.sh: a program crashed (\"Unhandled\" above)" >>"$log"
    [ "$status" -ne 0 ] || status=1
fi
exit "$status"
