#!/usr/bin/env bash
# Installs, from Debian's packages, what ./demo.sh needs and this machine
# lacks: CMake and Ninja, MinGW-w64 for the two programs, Wine to run them
# (with its preloader, see docs/building-and-testing.md) and fontTools, which
# makes the demo's font. No test tool and no Node package.
set -euo pipefail

"$(dirname "$0")/install-packages.sh" \
    cmake ninja-build \
    g++-mingw-w64-x86-64-win32 binutils-mingw-w64-x86-64 \
    wine wine64 wine64-preloader python3-fonttools
