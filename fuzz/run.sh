#!/usr/bin/env bash
# Builds the fuzz targets with clang's libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer, then runs them one after the other, each for
# SECONDS or MAX_RUNS inputs, whichever comes first.
#
#   fuzz/run.sh SECONDS [MAX_RUNS] [TARGET...]
#
# Each target grows its own working corpus in the build tree, seeded from
# fuzz/corpus/<target>. A finding is written to findings-<target>/ there;
# once the fault is fixed, copy the input into fuzz/corpus/<target>/ so that
# the ordinary test run replays it from then on.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
seconds="${1:?usage: fuzz/run.sh SECONDS [MAX_RUNS] [TARGET...]}"
runs="${2:--1}"
shift $(( $# > 1 ? 2 : 1 ))
targets=("$@")
[ ${#targets[@]} -eq 0 ] && targets=(hexloader versionreply flashwriter keyvaluefile)

source "$root/scripts/deps.sh"
# libclang-rt-14-dev holds libFuzzer and the sanitizer runtimes for clang 14.
zw_install "${ZW_BUILD_PACKAGES[@]}" clang libclang-rt-14-dev llvm

build="${ZW_FUZZ_BUILD:-$root/build-fuzz}"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
    -DZW_SANITIZE=ON -DZW_FUZZ=ON >/dev/null
cmake --build "$build" -j"$(nproc)" --target "${targets[@]/#/fuzz_}"

# No allocation stacks: the sanitizer keeps every distinct one for good, and
# a keyvaluefile run grew by about 1 KB an input without end (the 4 GB limit
# after some 3.5 M) and ran a fifth slower. The replay in the ordinary
# sanitizer build shows a finding's stacks.
export ASAN_OPTIONS="halt_on_error=1:detect_leaks=1:abort_on_error=1:malloc_context_size=0"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
export QT_QPA_PLATFORM=offscreen

# Longest input worth trying: an 8-byte reply; a HEX text of a few hundred
# records; enough line script to write every block of a full image; a
# few dozen calls on a small file.
declare -A max_len=([hexloader]=8192 [versionreply]=8 [flashwriter]=4096 [keyvaluefile]=512)

failed=()
for target in "${targets[@]}"; do
    out="$build/fuzz"
    work="$out/corpus-$target"
    findings="$out/findings-$target"
    log="$out/fuzz-$target.log"
    mkdir -p "$work" "$findings"
    seeds=("$root/fuzz/corpus/$target")
    [ "$target" = hexloader ] && seeds+=("$root/tests/data/hex")

    echo "== $target: up to $seconds s / $runs runs (log: $log)"
    start=$(date +%s)
    status=0
    "$out/fuzz_$target" -max_total_time="$seconds" -runs="$runs" -max_len="${max_len[$target]}" \
        -timeout=20 -rss_limit_mb=4096 -print_final_stats=1 -artifact_prefix="$findings/" \
        "$work" "${seeds[@]}" >"$log" 2>&1 || status=$?
    end=$(date +%s)
    runs_done=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    echo "   ${runs_done:-?} inputs in $((end - start)) s, exit $status"
    if [ "$status" -ne 0 ]; then
        grep -E "fuzz property broken|ERROR:|SUMMARY:" "$log" | head -5 | sed 's/^/   /'
        ls "$findings" | sed 's/^/   finding: /'
        failed+=("$target")
    fi
done

if [ ${#failed[@]} -ne 0 ]; then
    echo "findings in: ${failed[*]}"
    exit 1
fi
echo "no findings"
