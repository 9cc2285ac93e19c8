#!/usr/bin/env bash
# Builds everything and runs every test: first a check that no #include crosses a layer upwards
# and that every source is laid out as .clang-format says, then a normal build, then the same
# suite under AddressSanitizer and UndefinedBehaviorSanitizer (built with clang, which also builds
# the fuzz targets as libFuzzer binaries and runs each for a short while), then the Windows build
# and its tests under Wine (scripts/test-windows.sh; ZEL_SKIP_WINDOWS=1 leaves it out). Any compiler
# warning, failure or sanitizer report fails the run.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
"$top/scripts/install-deps.sh"
"$top/scripts/check-layers.py" "$top"
"$top/scripts/check-format.sh"

jobs=$(nproc)
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZEL_WERROR=ON
cmake --build build -j "$jobs"
"$top/scripts/fetch-cab-fixtures.sh" build/cab-fixtures
ctest --test-dir build --output-on-failure -j "$jobs"

if [ "${ZEL_SKIP_SANITIZERS:-0}" != 1 ]; then
    CC=clang CXX=clang++ cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug \
        -DZEL_SANITIZE=ON -DZEL_FUZZ=ON -DZEL_BENCH=OFF -DZEL_WERROR=ON
    cmake --build build-asan -j "$jobs"
    "$top/scripts/fetch-cab-fixtures.sh" build-asan/cab-fixtures
    export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:strict_string_checks=1
    export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
    ctest --test-dir build-asan --output-on-failure -j "$jobs"
    "$top/scripts/run-fuzzers.sh" build-asan "${ZEL_FUZZ_SECONDS:-20}"
fi

if [ "${ZEL_SKIP_WINDOWS:-0}" != 1 ]; then
    "$top/scripts/test-windows.sh"
fi
