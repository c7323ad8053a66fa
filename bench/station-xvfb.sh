#!/usr/bin/env bash
# The station's figures on a real X server (Xvfb, Qt's xcb platform), where
# painting the tiles costs what it costs on a desktop.
# Usage: bench/station-xvfb.sh BUILD_DIR [RUNS] [SWAPS] [WRITES]   (a Release build)
set -euo pipefail
build="$(cd "${1:?usage: station-xvfb.sh BUILD_DIR [RUNS] [SWAPS] [WRITES]}" && pwd)"
runs="${2:-3}"
swaps="${3:-30}"
writes="${4:-1000}"
root="$(cd "$(dirname "$0")/.." && pwd)"
source "$root/scripts/deps.sh"
zw_install xvfb xauth qt6-qpa-plugins fonts-dejavu-core >&2
cmake --build "$build" -j2 --target bench_station >&2
cd "$build"
xvfb-run -a -s "-screen 0 1280x1024x24" env QT_QPA_PLATFORM=xcb ./bench/bench_station "$runs" "$swaps" "$writes"
