#!/usr/bin/env bash
# clang-tidy over src/ with the checked-in .clang-tidy; any finding fails.
# The portable files are read as the native build compiles them; the Win32
# platform files as the 64-bit Windows build does, with the MinGW-w64 headers.
# Usage: clang_tidy.sh SOURCE_DIR
set -euo pipefail
cd "$1"
flags=(-std=c++20 -Isrc)

# Clang brings its own C headers for the MinGW target but not libstdc++'s:
# take those folders from the MinGW compiler itself.
mapfile -t mingw_cxx < <(x86_64-w64-mingw32-g++ -E -x c++ -v - </dev/null 2>&1 |
    sed -n 's|^ \(/.*/c++[^ ]*\)$|-isystem\1|p')
((${#mingw_cxx[@]} > 0)) || { echo "no MinGW-w64 C++ headers found"; exit 1; }

status=0
find src -name '*.cpp' ! -name 'platform_win32*.cpp' -print0 | sort -z |
    xargs -0 -P "$(nproc)" -I{} clang-tidy --quiet {} -- "${flags[@]}" || status=1
for file in src/platform/platform_win32*.cpp; do
    clang-tidy --quiet "$file" -- \
        --target=x86_64-w64-mingw32 -nostdinc++ "${mingw_cxx[@]}" "${flags[@]}" || status=1
done
exit "$status"
