#!/usr/bin/env bash
# Builds the fuzz harnesses (clang, libFuzzer, AddressSanitizer, UndefinedBehaviorSanitizer)
# and runs each for SECONDS (30 by default) from its seed corpus in corpus/<name>/, one after
# the other. The committed corpus is only read; inputs found on the way go to a temporary
# folder, and an input that breaks a harness is kept in the build folder's artifacts/.
# Exits non-zero when any harness failed.
#
#   bash tests/fuzz/run.sh [SECONDS]      FUZZ_BUILD_DIR sets the build folder (build-fuzz/)
set -euo pipefail

seconds="${1:-30}"
here="$(cd "$(dirname "$0")" && pwd)"
root="$(cd "$here/../.." && pwd)"
build="${FUZZ_BUILD_DIR:-$root/build-fuzz}"

# clang, and libFuzzer's runtime.
# shellcheck source=../../scripts/packages.sh
source "$root/scripts/packages.sh"
install_packages clang libclang-rt-dev cmake ninja-build

CXX=clang++ cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" --parallel 2

found="$(mktemp -d)"
trap 'rm -rf "$found"' EXIT
mkdir -p "$build/artifacts"
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"

failed=0
while read -r name; do
    [ -n "$name" ] || continue
    mkdir -p "$found/$name"
    log="$build/$name.log"
    echo "== $name: ${seconds} s"
    status=0
    "$build/fuzz_$name" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
        -artifact_prefix="$build/artifacts/$name-" "$found/$name" "$here/corpus/$name" >"$log" 2>&1 || status=$?
    runs="$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")"
    speed="$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log")"
    coverage="$(grep -o 'cov: [0-9]*' "$log" | tail -n 1 || true)"
    if [ "$status" -ne 0 ]; then
        failed=$((failed + 1))
        echo "FAIL $name (status $status); the input is in $build/artifacts/, the log in $log"
        grep -E 'invariant broken|ERROR: |runtime error' "$log" | head -n 5 || true
    else
        echo "ok   $name: ${runs:-?} runs, ${speed:-?} per second, ${coverage:-cov: ?}, $(find "$found/$name" -type f | wc -l) new inputs"
    fi
done <"$build/harnesses.txt"

[ "$failed" -eq 0 ]
