#!/usr/bin/env bash
# Builds Qt for 64-bit Windows from Debian's own source package of the Qt
# this machine has, with its host tools, once: the result is kept in a folder
# outside the clone, named by a hash of what it is made from (source version,
# toolchain, options). Prints that folder, the Qt prefix, as its last line.
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
source "$root/scripts/deps.sh"
zw_install cmake ninja-build perl python3 dpkg-dev g++-mingw-w64-x86-64-posix mingw-w64-tools \
    qt6-base-dev qt6-base-dev-tools >&2

toolchain="$root/cmake/mingw-w64.cmake"
# Only what the programs and their tests use; tablet support needs the
# wintab sources Debian leaves out, and the Windows platform plugin of 6.4
# does not build without OpenGL (dynamic: nothing is loaded unless asked).
qt_options=(
    -DCMAKE_BUILD_TYPE=Release -DBUILD_SHARED_LIBS=ON
    -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF -DQT_BUILD_BENCHMARKS=OFF
    -DFEATURE_sql=OFF -DFEATURE_network=OFF -DFEATURE_dbus=OFF -DFEATURE_printsupport=OFF
    -DFEATURE_concurrent=OFF -DFEATURE_xml=OFF -DFEATURE_tabletevent=OFF -DFEATURE_jpeg=OFF
    -DFEATURE_system_zlib=OFF -DFEATURE_system_pcre2=OFF -DFEATURE_system_png=OFF
    -DFEATURE_system_freetype=OFF -DFEATURE_system_harfbuzz=OFF
    -DINPUT_opengl=dynamic
)

host_version=$(dpkg-query -W -f='${Version}' qt6-base-dev-tools)
mingw_version=$(dpkg-query -W -f='${Version}' g++-mingw-w64-x86-64-posix)
hash=$( { echo "qt6-base $host_version"; echo "mingw $mingw_version"; cat "$toolchain";
          printf '%s\n' "${qt_options[@]}"; } | sha256sum | cut -c1-16)
cache="${ZW_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/zirbelwerk}"
prefix="$cache/qt-${host_version%%+*}-win64-$hash"
if [ -f "$prefix/.complete" ]; then
    echo "Qt for Windows: kept from an earlier run" >&2
    echo "$prefix"
    exit 0
fi

# A deb-src entry for the mirror and suites apt already uses.
apt_src_entry() {
    local list=/etc/apt/sources.list.d/zirbelwerk-src.sources uri suites
    grep -qsE '^Types:.*deb-src|^deb-src ' /etc/apt/sources.list /etc/apt/sources.list.d/* && return 0
    uri=$(grep -hsE '^URIs:' /etc/apt/sources.list.d/*.sources | grep -v security | awk '{print $2}' | head -n1)
    suites=$(grep -hsE '^Suites:' /etc/apt/sources.list.d/*.sources | grep -v security | head -n1 | cut -d: -f2-)
    if [ -z "$uri" ]; then
        read -r uri suites < <(grep -hsE '^deb ' /etc/apt/sources.list /etc/apt/sources.list.d/*.list \
            | grep -v security | head -n1 | awk '{for (i = 2; i <= NF; i++) if ($i ~ /:\/\//) {print $i, $(i+1); exit}}')
    fi
    [ -n "$uri" ] || { echo "no Debian mirror in apt's sources" >&2; return 1; }
    printf 'Types: deb-src\nURIs: %s\nSuites:%s\nComponents: main\nSigned-By: /usr/share/keyrings/debian-archive-keyring.gpg\n' \
        "$uri" "$suites" >"$list"
    apt-get update -qq >&2
}
apt_src_entry

work="$cache/qt-build.$$"
trap 'rm -rf "$work" "$prefix.partial"' EXIT
mkdir -p "$work"
start=$(date +%s)
(cd "$work" && apt-get source -qq --only-source "qt6-base=$host_version" >&2)
source_dir=$(find "$work" -maxdepth 1 -mindepth 1 -type d -name 'qt6-base-*' | head -n1)
[ -n "$source_dir" ] || { echo "apt-get source gave no qt6-base folder" >&2; exit 1; }

cmake -S "$source_dir" -B "$work/build" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
    -DCMAKE_INSTALL_PREFIX="$prefix.partial" \
    "${qt_options[@]}" >"$work/configure.log" 2>&1 \
    || { tail -n 40 "$work/configure.log" >&2; exit 1; }
cmake --build "$work/build" -j"$(nproc)" >"$work/build.log" 2>&1 \
    || { grep -m5 -B2 -A10 'FAILED' "$work/build.log" >&2; exit 1; }
cmake --install "$work/build" >/dev/null
touch "$prefix.partial/.complete"
rm -rf "$prefix"
mv "$prefix.partial" "$prefix"
echo "Qt for Windows built in $(( $(date +%s) - start )) s" >&2
echo "$prefix"
