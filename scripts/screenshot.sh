#!/usr/bin/env bash
# Renders docs/screenshot.png from the real window (offscreen) after a write
# to the simulated instrument, and docs/station.png from the real station
# with six simulated instruments, four of them part-way through their writes.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
source "$root/scripts/deps.sh"
zw_install "${ZW_BUILD_PACKAGES[@]}" fonts-dejavu-core
build="$root/build"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j"$(nproc)" --target zw_screenshot zw_station_screenshot zirbelwerk-sim
mkdir -p "$root/docs"
"$build/tests/app/zw_screenshot" "$root/docs/screenshot.png"
"$build/tests/station/zw_station_screenshot" "$root/docs/station.png"
