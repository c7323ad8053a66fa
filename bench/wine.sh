#!/usr/bin/env bash
# bench_flash with the Windows programs under Wine beside the Linux flasher,
# paced like the real line (see README.md here):
#   bench/wine.sh [RUNS]
# after scripts/windows.sh has built build-win (the Windows programs) and
# build-win-host (bench_flash, the simulator and the Linux flasher).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
runs="${1:-3}"
win_build="${ZW_WIN_BUILD:-$root/build-win}"
host_build="${ZW_HOST_BUILD:-$root/build-win-host}"
wine=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver

work="$(mktemp -d /tmp/zirbelwerk-winebench.XXXXXX)"
export WINEPREFIX="$work/prefix" WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
trap '"$wineserver" -k 2>/dev/null || true; rm -rf "$work"' EXIT
source "$root/scripts/windows/prefix.sh"
zw_wine_prefix "$wine" "$wineserver"

# Wine's server is nobody's child here; its CPU is read from /proc.
server=$(zw_wine_server_pid) || { echo "no wineserver for $WINEPREFIX" >&2; exit 1; }

"$host_build/bench/bench_flash" --unpaced-runs 0 --paced-runs "$runs" --loaders flasher,wine,wineraw \
    --wine-flasher "$win_build/bin/zirbelwerk-flash.exe" --wine-raw "$win_build/bin/bench_rawhost.exe" \
    --wineserver-pid "$server"
