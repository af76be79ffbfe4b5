#!/usr/bin/env bash
# Sets up a fresh Debian machine, builds fontctl.exe and fontctl-utf8.exe and
# shows them at work under Wine: installs a generated font into a folder and
# removes it; then a font whose name the system's code page cannot spell,
# which only fontctl-utf8.exe reaches.
set -euo pipefail
cd "$(dirname "$0")"

scripts/install-deps.sh
cmake --preset windows >/dev/null
cmake --build build/win --target fontctl fontctl-utf8 >/dev/null

work=$(mktemp -d)
export WINEPREFIX=$work/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
source scripts/wine_server_folder.sh
# Code page 1252, as on a Western Windows system.
export LC_ALL=C.UTF-8
# Every Wine start goes through wine_start.py, which tells Wine's own
# start-up failure (exit 125) from the program's answer.
wine_start() { /usr/bin/python3 scripts/wine_start.py "$@"; }
cleanup() {
    stop_wine
    rm -rf "$work"
}
trap cleanup EXIT

echo "== creating a throwaway Wine prefix"
wine_start wine wineboot -i >/dev/null 2>&1
wineserver -w

mkdir "$work/fonts"
# The end-to-end tests' font maker: a small TrueType font of a family of its own.
make_font() {
    PYTHONPATH=tests/e2e /usr/bin/python3 -c \
        'import sys, font_files; font_files.write_truetype(sys.argv[1])' "$1"
}
# Wine shows the Unix file system as drive Z:.
windows_path() { echo "Z:${1//\//\\}"; }
folder=$(windows_path "$work/fonts")

run() {  # PROGRAM ARGUMENTS...
    local program=$1
    shift
    echo "\$ $program $*"
    local code status=0
    code=$(wine_start wine "build/win/$program" "$@" 2>"$work/stderr") || status=$?
    if ((status == 125)); then  # Wine itself failed, so the program never ran
        cat "$work/stderr" >&2
        exit 1
    fi
    echo "result code: $code (exit status $status)"
}

show_folder() {
    echo "folder now holds:"
    ls -l "$work/fonts"
}

make_font "$work/FontctlDemo.ttf"
echo "== installing"
run fontctl.exe 1 "$(windows_path "$work/FontctlDemo.ttf")" "$folder"
show_folder
echo "== removing"
run fontctl.exe 2 "$folder\\FontctlDemo.ttf"
show_folder

name="Шрифт 日本語.ttf"
make_font "$work/$name"
echo "== a name outside code page 1252: fontctl.exe is given '?' for those characters"
run fontctl.exe 1 "$(windows_path "$work/$name")" "$folder"
echo "== fontctl-utf8.exe reaches it"
run fontctl-utf8.exe 1 "$(windows_path "$work/$name")" "$folder"
show_folder
run fontctl-utf8.exe 2 "$folder\\$name"
show_folder
