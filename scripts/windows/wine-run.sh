#!/usr/bin/env bash
# CTest runs each Windows test under Wine through this (test.sh makes the
# prefix): in the session whose COM ports were cleared, never a new one.
set -euo pipefail
source "$(dirname "$0")/prefix.sh"
zw_wine_session /usr/lib/wine/wine64 /usr/lib/wine/wineserver
exec /usr/lib/wine/wine64 "$@"
