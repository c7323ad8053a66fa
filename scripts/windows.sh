#!/usr/bin/env bash
# Builds ZirbelWerk for 64-bit Windows on Debian 12 and tests it under Wine:
# installs what it needs, builds Qt for Windows once (scripts/windows/qt.sh),
# cross-builds the programs and every test that runs on Windows into
# build-win/bin (with the DLLs and plugins they load), builds the Linux side
# of the tests (simulator, its broker, bench_flash) in build-win-host, packs
# the installer and the portable zip (scripts/windows/package.sh), then runs
# scripts/windows/test.sh.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
source "$root/scripts/deps.sh"
zw_install "${ZW_BUILD_PACKAGES[@]}" ninja-build g++-mingw-w64-x86-64-posix mingw-w64-tools wine wine64 srecord python3 \
    qt6-translations-l10n xvfb locales

start=$(date +%s)
qt_prefix=$(bash "$root/scripts/windows/qt.sh" | tail -n1)
echo "Qt for Windows: $qt_prefix ($(( $(date +%s) - start )) s)"

build="$root/build-win"
host="$root/build-win-host"
start=$(date +%s)
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DZW_WARNINGS_AS_ERRORS=ON -DZW_BUILD_TESTS=ON \
    -DCMAKE_TOOLCHAIN_FILE="$qt_prefix/lib/cmake/Qt6/qt.toolchain.cmake" \
    -DQT_CHAINLOAD_TOOLCHAIN_FILE="$root/cmake/mingw-w64.cmake" \
    -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
    -DCMAKE_CROSSCOMPILING_EMULATOR="$root/scripts/windows/wine-run.sh" >/dev/null
cmake --build "$build" -j"$(nproc)"
cmake -S "$root" -B "$host" -G Ninja -DCMAKE_BUILD_TYPE=Release -DZW_WARNINGS_AS_ERRORS=ON >/dev/null
cmake --build "$host" -j"$(nproc)" --target zirbelwerk-sim zw_simbroker zirbelwerk-flash bench_flash
echo "Windows build: $(( $(date +%s) - start )) s"
echo "Windows programs, tests and the DLLs they load: $build/bin"
echo "  zirbelwerk.exe, zirbelwerk-flash.exe; platforms/, styles/, imageformats/"
start=$(date +%s)
bash "$root/scripts/windows/package.sh" "$build"
echo "Installer and zip: $(( $(date +%s) - start )) s"

bash "$root/scripts/windows/test.sh" "$build" "$host"
