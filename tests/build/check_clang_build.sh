#!/usr/bin/env bash
# Builds both programs with clang (cmake/clang-mingw-w64-x86_64.cmake, the
# same warnings as errors) in a throwaway folder, checks the executables as the
# GCC build's are checked, and runs `fontctl.exe 10` under Wine in a throwaway
# prefix: it must print exactly 0 and exit with status 0.
# Usage: check_clang_build.sh SOURCE_DIR
set -euo pipefail
source_dir=$(cd "$1" && pwd)
here=$(dirname "$0")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The preset windows-clang, in a folder of its own.
(cd "$source_dir" && cmake --preset windows-clang -B "$work/build") >/dev/null
cmake --build "$work/build" --target fontctl fontctl-utf8
exe=$work/build/fontctl.exe

"$here/check_executable.sh" "$exe"
"$here/check_executable.sh" "$work/build/fontctl-utf8.exe"

"$here/check_refresh_under_wine.sh" "$source_dir" "$exe" "the clang build"
