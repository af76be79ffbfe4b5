#!/usr/bin/env bash
# Runs every benchmark and prints the figures that bench/README.md shows: the
# parsers' cost per byte (Google Benchmark, native), fontctl.exe against the
# floor program under Wine (wall time, peak memory, size), how many runs of
# fontctl.exe a second the machine gets through, and the example
# install-fonts.cmd against a bare loop over 200 fonts. Installs what it
# needs from Debian's packages first. Not a test: it never fails on a figure,
# only when something cannot be measured.
# Usage: bench/run.sh [ROUNDS [BATCH_ROUNDS]]
#   ROUNDS of the whole-process timing (default 20), BATCH_ROUNDS of the
#   batch scripts' (default 5; a round takes a minute or more)
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh libbenchmark-dev hyperfine time

# Optimised as fontctl.exe is (MinSizeRel), without the test build.
cmake -S . -B build/bench-native -G Ninja \
    -DCMAKE_BUILD_TYPE=MinSizeRel -DBUILD_TESTING=OFF -DFONTCTL_BENCHMARKS=ON >/dev/null
cmake --build build/bench-native
cmake -S . -B build/bench-win -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DCMAKE_BUILD_TYPE=MinSizeRel \
    -DFONTCTL_BENCHMARKS=ON -DFONTCTL_BUILD_E2E_HELPERS=OFF >/dev/null
cmake --build build/bench-win

bench/parsers.sh build/bench-native
bench/whole_process.sh build/bench-win/fontctl.exe build/bench-win/bench/fontctl_floor.exe "${1:-20}"
bench/wine_capacity.sh build/bench-win/fontctl.exe
bench/batch_scripts.sh build/bench-win/fontctl-utf8.exe "${2:-5}"
