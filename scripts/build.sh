#!/usr/bin/env bash
# Builds fontctl.exe (and the Windows test helpers) with MinGW-w64 into
# build/win, and the native unit tests into build/native.
set -euo pipefail
cd "$(dirname "$0")/.."

cmake -S . -B build/win -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DCMAKE_BUILD_TYPE=MinSizeRel >/dev/null
cmake --build build/win

cmake -S . -B build/native -G Ninja \
    -DCMAKE_BUILD_TYPE=Debug -DFONTCTL_WINDOWS_BUILD_DIR="$PWD/build/win" >/dev/null
cmake --build build/native
