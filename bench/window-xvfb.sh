#!/usr/bin/env bash
# The window's paced write on a real X server (Xvfb, Qt's xcb platform)
# beside the same on the offscreen platform, each beside the flasher.
# Usage: bench/window-xvfb.sh BUILD_DIR [ROUNDS]   (a Release build)
set -euo pipefail
build="$(cd "${1:?usage: window-xvfb.sh BUILD_DIR [ROUNDS]}" && pwd)"
rounds="${2:-5}"
root="$(cd "$(dirname "$0")/.." && pwd)"
source "$root/scripts/deps.sh"
zw_install xvfb xauth qt6-qpa-plugins fonts-dejavu-core >&2
cmake --build "$build" -j"$(nproc)" --target bench_flash zirbelwerk-flash zirbelwerk-sim >&2
cd "$build"
run=(./bench/bench_flash --unpaced-runs 0 --paced-runs "$rounds" --loaders flasher,window)
echo "== offscreen"
QT_QPA_PLATFORM=offscreen "${run[@]}"
echo "== Xvfb, xcb"
xvfb-run -a -s "-screen 0 1280x1024x24" env QT_QPA_PLATFORM=xcb "${run[@]}"
