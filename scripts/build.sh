#!/usr/bin/env bash
# Builds fontctl.exe (and the Windows test helpers) with MinGW-w64 into
# build/win, the fuzz targets with clang into build/fuzz, and the native unit
# tests into build/native: the configure presets windows, fuzz and native of
# CMakePresets.json.
set -euo pipefail
cd "$(dirname "$0")/.."

cmake --preset windows >/dev/null
cmake --build build/win

# The fuzz targets need clang's libFuzzer: a build of their own.
cmake --preset fuzz >/dev/null
cmake --build build/fuzz

cmake --preset native >/dev/null
cmake --build build/native
