#!/usr/bin/env bash
# Sets up a fresh Debian machine, builds fontctl.exe and shows it at work
# under Wine: installs a generated font into a folder, then removes it.
set -euo pipefail
cd "$(dirname "$0")"

scripts/install-deps.sh
cmake -S . -B build/win -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DCMAKE_BUILD_TYPE=MinSizeRel >/dev/null
cmake --build build/win --target fontctl >/dev/null
exe=$PWD/build/win/fontctl.exe

work=$(mktemp -d)
export WINEPREFIX=$work/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
# Every Wine start goes through wine_start.py, which starts a program again
# when Wine itself failed to start it.
wine_start() { /usr/bin/python3 scripts/wine_start.py "$@"; }
cleanup() {
    wineserver -k 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

echo "== creating a throwaway Wine prefix"
wine_start wine wineboot -i >/dev/null 2>&1
wineserver -w

mkdir "$work/fonts"
# The end-to-end tests' font maker: a small TrueType font of a family of its own.
PYTHONPATH=tests/e2e /usr/bin/python3 -c \
    'import sys, font_files; font_files.write_truetype(sys.argv[1])' "$work/FontctlDemo.ttf"
# Wine shows the Unix file system as drive Z:.
font="Z:${work//\//\\}\\FontctlDemo.ttf"
folder="Z:${work//\//\\}\\fonts"

run() {
    echo "\$ fontctl.exe $*"
    local code status=0
    code=$(wine_start wine "$exe" "$@" 2>"$work/stderr") || status=$?
    if ((status == 125)); then  # Wine itself failed, so fontctl.exe never ran
        cat "$work/stderr" >&2
        exit 1
    fi
    echo "result code: $code (exit status $status)"
}

echo "== installing"
run 1 "$font" "$folder"
echo "folder now holds:"
ls -l "$work/fonts"

echo "== removing"
run 2 "$folder\\FontctlDemo.ttf"
echo "folder now holds:"
ls -l "$work/fonts"
