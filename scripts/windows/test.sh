#!/usr/bin/env bash
# Runs the Windows build's tests under Wine, in a fresh prefix made for the
# run, against simulated instruments on the Linux side:
#   scripts/windows/test.sh [WINDOWS_BUILD [LINUX_BUILD]]
# WINDOWS_BUILD (default build-win) has the tests in bin/ and runs them
# through wine-run.sh; LINUX_BUILD (default build-win-host) has
# zirbelwerk-sim and zw_simbroker. The broker starts a simulator whenever a
# test asks for one and links a COM port of the prefix to it; no other COM
# port of the prefix leads anywhere (prefix.sh), so no test ever opens a
# real port. Afterwards the installer and the installed programs are tested
# (installer-test.sh, installed-test.sh); WINDOWS_BUILD/package holds the
# installer that scripts/windows/package.sh made.
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
win_build="$(cd "${1:-$root/build-win}" && pwd)"
host_build="$(cd "${2:-$root/build-win-host}" && pwd)"
wine=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver
simulator="$host_build/sim/zirbelwerk-sim"
broker="$host_build/tests/support/zw_simbroker"
for needed in "$wine" "$simulator" "$broker" "$win_build/bin/zirbelwerk-flash.exe"; do
    [ -x "$needed" ] || [ -f "$needed" ] || { echo "missing: $needed" >&2; exit 1; }
done

work="$(mktemp -d /tmp/zirbelwerk-wine.XXXXXX)"
export WINEPREFIX="$work/prefix" WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
broker_pid=""
xvfb_pid=""
stop_broker() {
    [ -n "$broker_pid" ] || return 0
    exec {broker_in}>&-
    wait "$broker_pid" 2>/dev/null || true
    broker_pid=""
}
cleanup() {
    stop_broker
    "$wineserver" -k 2>/dev/null || true
    [ -z "$xvfb_pid" ] || kill "$xvfb_pid" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

# Windows' own platform needs a display to make windows (the log-off
# test); Wine takes it when its session starts.
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" 2>/dev/null &
xvfb_pid=$!
for _ in $(seq 50); do [ -s "$work/display" ] && break; sleep 0.1; done
[ -s "$work/display" ] || { echo "Xvfb did not start" >&2; exit 1; }
export DISPLAY=":$(cat "$work/display")"

source "$root/scripts/windows/prefix.sh"
zw_german_locale
start=$(date +%s)
zw_wine_prefix "$wine" "$wineserver"
echo "Wine prefix ready in $(( $(date +%s) - start )) s"
# A COM port that is no serial port, for the port diagnostics.
ln -s /dev/null "$WINEPREFIX/dosdevices/com250"

mkdir "$work/sims"
exec {broker_in}> >(exec "$broker" "$work/sims" "$WINEPREFIX/dosdevices" "$simulator")
broker_pid=$!
export ZW_SIM_FOLDER="$work/sims"

start=$(date +%s)
status=0
ctest --test-dir "$win_build" --output-on-failure || status=1
echo "Windows tests under Wine: $(( $(date +%s) - start )) s"
# Its simulators end with it, and their COM ports go.
stop_broker

# What a user gets is the installer, not build-win/bin: test that too.
setups=("$win_build"/package/zirbelwerk-*-setup.exe)
setup="${setups[0]}"
[ -f "$setup" ] || { echo "no installer in $win_build/package: run scripts/windows/package.sh" >&2; exit 1; }
start=$(date +%s)
bash "$root/scripts/windows/installer-test.sh" "$setup" || status=1
bash "$root/scripts/windows/installed-test.sh" "$setup" "$win_build" "$host_build" || status=1
echo "Installer and installed programs under Wine: $(( $(date +%s) - start )) s"
exit $status
