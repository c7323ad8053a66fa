#!/usr/bin/env bash
# Builds ZirbelWerk for 64-bit Windows on Debian 12 and tests it under Wine:
# installs what it needs, builds Qt for Windows once (scripts/windows/qt.sh),
# cross-builds the programs and every test that runs on Windows into
# build-win/bin (with the DLLs and plugins they load), builds the Linux side
# of the tests (simulator, its broker, bench_flash) in build-win-host, then
# runs the Windows build's CTest: the tests under Wine on their fixtures
# (scripts/windows/fixture.sh), the installer and the portable zip packed
# from the install into build-win/package (scripts/windows/package.cmake),
# and the installer's tests.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
source "$root/scripts/deps.sh"
zw_install "${ZW_BUILD_PACKAGES[@]}" ninja-build g++-mingw-w64-x86-64-posix mingw-w64-tools wine wine64 srecord python3 \
    qt6-translations-l10n xvfb locales binutils-mingw-w64-x86-64 nsis

# Runs the rest of the line and says how long it took: timed WHAT COMMAND...
timed() {
    local what=$1 start
    start=$(date +%s)
    shift
    "$@"
    echo "$what: $(( $(date +%s) - start )) s"
}
qt_prefix=$(bash "$root/scripts/windows/qt.sh" | tail -n1)
echo "Qt for Windows: $qt_prefix"

build="$root/build-win"
host="$root/build-win-host"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DZW_WARNINGS_AS_ERRORS=ON -DZW_BUILD_TESTS=ON \
    -DCMAKE_TOOLCHAIN_FILE="$qt_prefix/lib/cmake/Qt6/qt.toolchain.cmake" \
    -DQT_CHAINLOAD_TOOLCHAIN_FILE="$root/cmake/mingw-w64.cmake" \
    -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake -DZW_LINUX_BUILD="$host" >/dev/null
timed "Windows build" cmake --build "$build" -j"$(nproc)"
cmake -S "$root" -B "$host" -G Ninja -DCMAKE_BUILD_TYPE=Release -DZW_WARNINGS_AS_ERRORS=ON >/dev/null
timed "Linux side of the tests" \
    cmake --build "$host" -j"$(nproc)" --target zirbelwerk-sim zw_simbroker zirbelwerk-flash bench_flash
timed "Tests, package and installer under Wine" ctest --test-dir "$build" --output-on-failure
echo "Installer and portable zip: $build/package"
