#!/usr/bin/env bash
# Runs the Windows build's tests under Wine, in a fresh prefix made for the
# run, against simulated instruments on the Linux side:
#   scripts/windows/test.sh [WINDOWS_BUILD [LINUX_BUILD]]
# WINDOWS_BUILD (default build-win) has the tests in bin/ and runs them
# through wine-run.sh; LINUX_BUILD (default build-win-host) has
# zirbelwerk-sim and zw_simbroker. The broker starts a simulator whenever a
# test asks for one and links a COM port of the prefix to it; no other COM
# port of the prefix leads anywhere (prefix.sh), so no test ever opens a
# real port. Afterwards the Windows flasher writes the demo firmware paced
# like a 57600-baud line, and the simulator's memory and report are checked
# here.
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
stop_broker() {
    [ -n "$broker_pid" ] || return 0
    exec {broker_in}>&-
    wait "$broker_pid" 2>/dev/null || true
    broker_pid=""
}
cleanup() {
    stop_broker
    "$wineserver" -k 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

source "$root/scripts/windows/prefix.sh"
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

# The flasher as shipped, the demo firmware paced like the real line.
demo="$root/sim/demo/demo.hex"
"$simulator" --baud 57600 --block-ms 2 --link "$work/demo-line" \
    --memory-out "$work/demo.memory" --report "$work/demo.report" >/dev/null &
sim_pid=$!
for _ in $(seq 50); do [ -e "$work/demo-line" ] && break; sleep 0.1; done
ln -s "$(readlink -f "$work/demo-line")" "$WINEPREFIX/dosdevices/com1"
if LANG=de_DE.UTF-8 LC_ALL=de_DE.UTF-8 "$wine" "$win_build/bin/zirbelwerk-flash.exe" --port COM1 "$demo" \
        >"$work/demo.out" 2>&1; then
    # The flasher is done when the last bytes have left it; the paced line
    # still carries them for a while.
    for _ in $(seq 50); do grep -qx 'writes=1' "$work/demo.report" 2>/dev/null && break; sleep 0.1; done
    kill -TERM "$sim_pid"; wait "$sim_pid" || true
    srec_cat "$demo" -Intel -fill 0xFF 0x0000 0x10000 -o "$work/demo.image" -Binary
    if grep -qx 'writes=1' "$work/demo.report" && grep -qx 'end_marker=1' "$work/demo.report" \
            && grep -qx 'violations=0' "$work/demo.report" && cmp -s "$work/demo.image" "$work/demo.memory"; then
        echo "Paced demo write by zirbelwerk-flash.exe: memory equals the image"
    else
        echo "Paced demo write by zirbelwerk-flash.exe: the instrument's memory or report is wrong" >&2
        cat "$work/demo.report" >&2
        status=1
    fi
else
    kill -TERM "$sim_pid"; wait "$sim_pid" || true
    echo "zirbelwerk-flash.exe failed on the paced demo write:" >&2
    cat "$work/demo.out" >&2
    status=1
fi
rm -f "$WINEPREFIX/dosdevices/com1"
exit $status
