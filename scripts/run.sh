#!/usr/bin/env bash
# Builds ZirbelWerk and starts it. Without a serial adapter attached (and
# without ZIRBELWERK_PORTS set) it starts the simulated instrument first and
# points COM1 at it. Without a display it runs the command-line flasher.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
source "$root/scripts/deps.sh"
zw_install "${ZW_BUILD_PACKAGES[@]}"

build="$root/build"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j"$(nproc)" --target zirbelwerk zirbelwerk-flash zirbelwerk-sim

sim_pid=""
sim_link="${XDG_RUNTIME_DIR:-/tmp}/zirbelwerk-sim-$$"
cleanup() { [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null || true; }
trap cleanup EXIT

# Paced like the real instrument on a 57600-baud line, with its flash erase.
start_sim() {
    "$build/sim/zirbelwerk-sim" --link "$sim_link" --erase-ms 1500 --block-ms 5 --baud 57600 >/dev/null &
    sim_pid=$!
    for _ in $(seq 50); do [ -e "$sim_link" ] && break; sleep 0.1; done
}

# Without a display no window can open: the command-line flasher shows the
# whole job instead, with the sample firmware, and only ever against the
# simulated instrument, never a real one.
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    start_sim
    echo "No display: zirbelwerk-flash writes sim/demo/demo.hex into the simulated instrument."
    ZIRBELWERK_PORTS="$sim_link" "$build/cli/zirbelwerk-flash" "$root/sim/demo/demo.hex"
    exit
fi

if [ -z "${ZIRBELWERK_PORTS:-}" ] && ! compgen -G "/dev/ttyUSB*" >/dev/null && ! compgen -G "/dev/ttyACM*" >/dev/null; then
    start_sim
    export ZIRBELWERK_PORTS="$sim_link"
    echo "No serial adapter found: COM1 is the simulated instrument ($sim_link)."
fi

# The program reads images/fwloader.ico relative to its working directory.
cd "$build/app"
./zirbelwerk
