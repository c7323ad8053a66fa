#!/usr/bin/env bash
# Builds ZirbelWerk with its tests and runs every test; then builds it again
# with AddressSanitizer and UndefinedBehaviorSanitizer and runs every test
# once more, where any finding fails the run. On Debian 12 it also builds
# and checks the Debian package (tests/package/check.sh).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
source "$root/scripts/deps.sh"
zw_install "${ZW_BUILD_PACKAGES[@]}" srecord fonts-dejavu-core chromium

build="$root/build-tests"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Debug -DZW_WARNINGS_AS_ERRORS=ON >/dev/null
cmake --build "$build" -j"$(nproc)"
cd "$build"
ctest --output-on-failure -j2

asan="$root/build-asan"
cmake -S "$root" -B "$asan" -DCMAKE_BUILD_TYPE=Debug -DZW_SANITIZE=ON -DZW_WARNINGS_AS_ERRORS=ON >/dev/null
cmake --build "$asan" -j"$(nproc)"
cd "$asan"
export ASAN_OPTIONS="halt_on_error=1:detect_leaks=1:detect_stack_use_after_return=1"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
export LSAN_OPTIONS="suppressions=$root/tests/lsan.supp:print_suppressions=0"
ctest --output-on-failure -j2

# The Debian package, built and checked on Debian 12: debian/ follows its
# lintian and Standards-Version.
if grep -qx 'VERSION_ID="12"' /etc/os-release 2>/dev/null; then
    bash "$root/tests/package/check.sh"
else
    echo "Debian package check skipped: it runs on Debian 12 only."
fi
