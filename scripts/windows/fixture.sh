#!/usr/bin/env bash
# What the Windows build's tests under Wine share, as CTest fixtures
# (tests/windows): an Xvfb display (Windows' own platform needs one to make
# windows: the log-off test, the installer's pages), a fresh Wine prefix
# whose COM ports lead nowhere (prefix.sh), and the broker that starts a
# simulator whenever a test asks for one and links a COM port of the prefix
# to it, so no test ever opens a real port. All of it lives in ZW_WINE_DIR:
#   fixture.sh start|stop display|prefix
#   fixture.sh start broker ZW_SIMBROKER ZIRBELWERK_SIM
#   fixture.sh stop broker
# What runs on keeps no pipe of CTest's open: CTest would wait for it.
set -euo pipefail
source "$(dirname "$0")/prefix.sh"
zw_wine_env
dir=$ZW_WINE_DIR
wine=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver

# Ends the process that start left running, by the id it kept.
stop() {
    local pid
    pid=$(cat "$dir/$1.pid" 2>/dev/null) || return 0
    kill "$pid" 2>/dev/null || true
    rm -f "$dir/$1.pid"
}

case "$1 $2" in
"start display")
    stop xvfb
    mkdir -p "$dir"
    rm -f "$dir/display"
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$dir/display" </dev/null >/dev/null 2>&1 &
    echo $! >"$dir/xvfb.pid"
    for _ in $(seq 50); do [ -s "$dir/display" ] && exit 0; sleep 0.1; done
    echo "Xvfb did not start" >&2
    exit 1 ;;
"stop display") stop xvfb ;;
"start prefix")
    "$wineserver" -k 2>/dev/null || true
    rm -rf "$WINEPREFIX"
    zw_german_locale
    zw_wine_prefix "$wine" "$wineserver"
    # A COM port that is no serial port, for the port diagnostics.
    ln -s /dev/null "$WINEPREFIX/dosdevices/com250" ;;
"stop prefix")
    "$wineserver" -k 2>/dev/null || true
    rm -rf "$WINEPREFIX" ;;
"start broker")
    stop broker
    rm -rf "$ZW_SIM_FOLDER" "$dir/broker.in"
    mkdir "$ZW_SIM_FOLDER"
    mkfifo "$dir/broker.in"
    # It ends, with its simulators and their COM ports, when its input
    # closes: that is a sleep's, which stop ends.
    "$3" "$ZW_SIM_FOLDER" "$WINEPREFIX/dosdevices" "$4" <"$dir/broker.in" >"$dir/broker.log" 2>&1 &
    echo $! >"$dir/broker-itself.pid"
    sleep infinity >"$dir/broker.in" 2>/dev/null </dev/null &
    echo $! >"$dir/broker.pid" ;;
"stop broker")
    broker=$(cat "$dir/broker-itself.pid" 2>/dev/null || true)
    stop broker
    for _ in $(seq 50); do kill -0 "$broker" 2>/dev/null || break; sleep 0.1; done
    rm -f "$dir/broker-itself.pid" ;;
*)
    echo "usage: fixture.sh start|stop display|prefix|broker" >&2
    exit 2 ;;
esac
