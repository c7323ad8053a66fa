#!/usr/bin/env bash
# Builds ZirbelWerk and starts it. Without a serial adapter attached (and
# without ZIRBELWERK_PORTS set) it starts the simulated instrument first and
# points COM1 at it.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
source "$root/scripts/deps.sh"
zw_install "${ZW_BUILD_PACKAGES[@]}"

build="$root/build"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j"$(nproc)" --target zirbelwerk zirbelwerk-sim

sim_pid=""
cleanup() { [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null || true; }
trap cleanup EXIT

if [ -z "${ZIRBELWERK_PORTS:-}" ] && ! compgen -G "/dev/ttyUSB*" >/dev/null && ! compgen -G "/dev/ttyACM*" >/dev/null; then
    link="${XDG_RUNTIME_DIR:-/tmp}/zirbelwerk-sim-$$"
    "$build/sim/zirbelwerk-sim" --link "$link" --erase-ms 1500 --block-ms 5 --baud 57600 >/dev/null &
    sim_pid=$!
    for _ in $(seq 50); do [ -e "$link" ] && break; sleep 0.1; done
    export ZIRBELWERK_PORTS="$link"
    echo "No serial adapter found: COM1 is the simulated instrument ($link)."
fi

# Without a display no window can open: the command-line flasher shows the
# whole job instead, with the sample firmware, and only ever against the
# simulated instrument, never a real one.
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    cmake --build "$build" -j"$(nproc)" --target zirbelwerk-flash
    if [ -z "$sim_pid" ]; then
        link="${XDG_RUNTIME_DIR:-/tmp}/zirbelwerk-sim-$$"
        "$build/sim/zirbelwerk-sim" --link "$link" --erase-ms 1500 --block-ms 5 --baud 57600 >/dev/null &
        sim_pid=$!
        for _ in $(seq 50); do [ -e "$link" ] && break; sleep 0.1; done
    fi
    echo "No display: zirbelwerk-flash writes sim/demo/demo.hex into the simulated instrument."
    ZIRBELWERK_PORTS="$link" "$build/cli/zirbelwerk-flash" "$root/sim/demo/demo.hex"
    exit
fi

# The program reads images/fwloader.ico relative to its working directory.
cd "$build/app"
./zirbelwerk
