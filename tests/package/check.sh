#!/usr/bin/env bash
# Builds the Debian package and checks what can break unnoticed: lintian,
# the menu entry, the metainfo, the manual pages, the bash completion and the
# programs as unpacked from the package. scripts/test.sh runs it on Debian 12.
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
source "$root/scripts/deps.sh"
zw_install lintian desktop-file-utils appstream man-db bash-completion libxml2-utils

passed=0
failed=0
pass() { echo "PASS   : $1"; passed=$((passed + 1)); }
fail() { echo "FAIL!  : $1"; failed=$((failed + 1)); }

version="$(sed -n 's/^project(ZirbelWerk VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")"
changelog="$(dpkg-parsechangelog -l "$root/debian/changelog" -S Version)"
[ "$changelog" = "$version" ] && pass "debian/changelog at the project version $version" \
    || fail "debian/changelog at $changelog, the project at $version"

start=$SECONDS
if ! built="$(DEB_BUILD_OPTIONS="nocheck ${DEB_BUILD_OPTIONS:-}" bash "$root/scripts/package.sh")"; then
    fail "scripts/package.sh"
    echo "package: $passed passed, $failed failed"
    exit 1
fi
mapfile -t debs < <(grep '\.deb$' <<<"$built")
echo "Package built in $((SECONDS - start)) s: ${debs[*]}"
deb="$(printf '%s\n' "${debs[@]}" | grep '/zirbelwerk_[^/]*\.deb$' | head -n 1)"

# As root, lintian only adds a note that it would rather not be.
if findings="$(lintian --pedantic --fail-on error,warning "${debs[@]}" 2>&1)" \
    && ! grep -q '^[EW]: ' <<<"$findings"; then
    pass "lintian"
else
    fail "lintian:"$'\n'"$findings"
fi

unpacked="$(mktemp -d)"
trap 'rm -rf "$unpacked"' EXIT
dpkg-deb -x "$deb" "$unpacked"
share="$unpacked/usr/share"

[ "$(dpkg-deb -f "$deb" Version)" = "$version" ] && pass "package version $version" \
    || fail "package version $(dpkg-deb -f "$deb" Version), the project at $version"
for program in zirbelwerk zirbelwerk-flash zirbelwerk-sim zirbelwerk-station; do
    said="$("$unpacked/usr/bin/$program" --version 2>&1 || true)"
    [ "$said" = "$program $version" ] && pass "$program --version from the package" \
        || fail "$program --version from the package says: $said"
done

out="$(desktop-file-validate "$share"/applications/*.desktop 2>&1)" && [ -z "$out" ] \
    && pass "desktop-file-validate" || fail "desktop-file-validate: $out"
out="$(appstreamcli validate --no-net "$share"/metainfo/*.metainfo.xml 2>&1)" \
    && ! grep -q '^[EW]: ' <<<"$out" && pass "appstreamcli validate" || fail "appstreamcli validate: $out"

grep -q '^MimeType=application/x-zirbelwerk-station;$' "$share/applications/org.zirbelwerk.ZirbelWerk.Station.desktop" \
    && xmllint --noout "$share/mime/packages/zirbelwerk-station.xml" \
    && grep -q 'pattern="\*\.zwstation"' "$share/mime/packages/zirbelwerk-station.xml" \
    && pass "station file type" || fail "station file type not registered"

missing=""
for size in 16 32 48 64 128 256; do
    [ -s "$share/icons/hicolor/${size}x${size}/apps/zirbelwerk.png" ] || missing+=" $size"
done
[ -s "$share/icons/hicolor/scalable/apps/zirbelwerk.svg" ] || missing+=" scalable"
[ -z "$missing" ] && pass "theme icons" || fail "theme icons missing:$missing"

for program in zirbelwerk zirbelwerk-flash zirbelwerk-sim zirbelwerk-station; do
    page="$share/man/man1/$program.1.gz"
    if [ ! -s "$page" ]; then
        fail "no manual page $program.1"
        continue
    fi
    out="$(MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null)"
    [ -z "$out" ] && pass "man --warnings $program.1" || fail "man --warnings $program.1: $out"
done

# The completion as bash-completion loads it, in a folder with a HEX file.
completion="$share/bash-completion/completions/zirbelwerk-flash"
mkdir "$unpacked/files" && touch "$unpacked/files/fw.hex" "$unpacked/files/notes.txt"
out="$(cd "$unpacked/files" && bash -c '
    source /usr/share/bash-completion/bash_completion
    source "$1"
    complete_line() {
        COMP_LINE="$*"; COMP_POINT=${#COMP_LINE}; COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1))
        COMPREPLY=(); _zirbelwerk_flash; echo "${COMPREPLY[*]}"
    }
    complete_line zirbelwerk-flash --po
    complete_line zirbelwerk-flash ""
    complete_line zirbelwerk-flash --baud 11
' _ "$completion" 2>&1)"
[ "$out" = $'--port\nfw.hex\n115200' ] && pass "bash completion" || fail "bash completion gives: $out"

echo "package: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
