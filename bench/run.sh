#!/usr/bin/env bash
# Runs every benchmark and prints the figures that bench/README.md shows: the
# parsers' cost per byte (Google Benchmark, native) and fontctl.exe against
# the floor program under Wine (wall time, peak memory, size). Installs what
# it needs from Debian's packages first. Not a test: it never fails on a
# figure, only when something cannot be measured.
# Usage: bench/run.sh [ROUNDS]   (ROUNDS of the whole-process timing, default 20)
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
