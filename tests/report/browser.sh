#!/usr/bin/env bash
# The report page in a real browser: Debian's chromium, headless, loads it
# from a file, with no console message and no script error, every chart drawn
# (a canvas with pixels), within 2 s of the start of loading.
# Usage: browser.sh FLASHER RECORD...
set -u
flasher="$1"
shift
browser="$(command -v chromium || command -v chromium-browser || true)"
if [ -z "$browser" ]; then
    echo "SKIPPED: no chromium installed (apt-get install chromium)"
    exit 77
fi
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
"$flasher" --report --report-out "$work/report.html" "$@" >/dev/null || { echo "FAIL: --report"; exit 1; }
timeout 60 "$browser" --headless --no-sandbox --disable-gpu --disable-background-networking \
    --disable-component-update --disable-sync --no-first-run --user-data-dir="$work/profile" \
    --enable-logging=stderr --v=0 --dump-dom "file://$work/report.html" >"$work/dom.html" 2>"$work/log.txt"
root="$(grep -o '<html[^>]*>' "$work/dom.html" | head -n 1)"
echo "page: $root"
failed=0
if grep ':CONSOLE' "$work/log.txt"; then
    echo "FAIL: the console said something"
    failed=1
fi
if grep -q 'data-zw-error' <<<"$root"; then
    echo "FAIL: a script error"
    failed=1
fi
charts="$(sed -n 's/.*data-zw-charts="\([0-9]*\/[0-9]*\)".*/\1/p' <<<"$root")"
if [ -z "$charts" ] || [ "${charts%/*}" != "${charts#*/}" ] || [ "${charts%/*}" -eq 0 ]; then
    echo "FAIL: charts drawn: ${charts:-none}"
    failed=1
fi
ms="$(sed -n 's/.*data-zw-ms="\([0-9]*\)".*/\1/p' <<<"$root")"
if [ -z "$ms" ] || [ "$ms" -gt 2000 ]; then
    echo "FAIL: drawn after ${ms:-?} ms, not within 2000"
    failed=1
fi
[ "$failed" -eq 0 ] && echo "PASS: $charts charts drawn in $ms ms"
exit "$failed"
