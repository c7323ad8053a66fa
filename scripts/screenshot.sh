#!/usr/bin/env bash
# Renders docs/screenshot.png from the real window (offscreen) after a write
# to the simulated instrument.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
source "$root/scripts/deps.sh"
zw_install "${ZW_BUILD_PACKAGES[@]}" fonts-dejavu-core
build="$root/build"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j"$(nproc)" --target zw_screenshot zirbelwerk-sim
mkdir -p "$root/docs"
"$build/tests/app/zw_screenshot" "$root/docs/screenshot.png"
