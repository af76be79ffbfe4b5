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
export WINEPREFIX=$work/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
# Refresh needs no window of its own: no X server.
unset DISPLAY
cleanup() {
    wineserver -k 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

# The preset windows-clang, in a folder of its own.
(cd "$source_dir" && cmake --preset windows-clang -B "$work/build") >/dev/null
cmake --build "$work/build" --target fontctl fontctl-utf8
exe=$work/build/fontctl.exe

"$here/check_executable.sh" "$exe"
"$here/check_executable.sh" "$work/build/fontctl-utf8.exe"

# Wine's output goes to files, never to a pipe: the server that wineboot
# leaves running would hold a pipe open.
wine_start=("/usr/bin/python3" "$source_dir/scripts/wine_start.py")
mkdir "$WINEPREFIX"
wineserver -p >"$work/wine.log" 2>&1
if ! "${wine_start[@]}" wine wineboot -i >>"$work/wine.log" 2>&1; then
    echo "FAIL: Wine could not create a prefix"
    cat "$work/wine.log"
    exit 1
fi

status=0
"${wine_start[@]}" wine "$exe" 10 >"$work/stdout" 2>"$work/stderr" || status=$?
if ! cmp -s "$work/stdout" <(printf 0) || ((status != 0)); then
    echo "FAIL: fontctl.exe 10 from the clang build printed '$(cat "$work/stdout")' and exited with status $status"
    cat "$work/stderr"
    exit 1
fi
echo "clang build: fontctl.exe 10 printed 0, exit status 0"
