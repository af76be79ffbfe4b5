#!/usr/bin/env bash
# Builds fontctl.exe (and the Windows test helpers) with MinGW-w64 into
# build/win, the fuzz targets with clang into build/fuzz, and the native unit
# tests into build/native.
set -euo pipefail
cd "$(dirname "$0")/.."

cmake -S . -B build/win -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DCMAKE_BUILD_TYPE=MinSizeRel >/dev/null
cmake --build build/win

# The fuzz targets need clang's libFuzzer: a build of their own.
cmake -S . -B build/fuzz -G Ninja \
    -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo -DFONTCTL_FUZZERS=ON >/dev/null
cmake --build build/fuzz

cmake -S . -B build/native -G Ninja \
    -DCMAKE_BUILD_TYPE=Debug -DFONTCTL_WINDOWS_BUILD_DIR="$PWD/build/win" \
    -DFONTCTL_FUZZ_BUILD_DIR="$PWD/build/fuzz" >/dev/null
cmake --build build/native
