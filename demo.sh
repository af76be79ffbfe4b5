#!/usr/bin/env bash
# Sets up a fresh Debian machine with what the demo needs (no test tools),
# builds fontctl.exe and fontctl-utf8.exe and shows them at work under Wine:
# installs a generated font into a folder and removes it; then a font whose
# name the system's code page cannot spell, which only fontctl-utf8.exe
# reaches. Each command is shown as it would be typed at a cmd prompt, with
# what its printed code means.
set -euo pipefail
cd "$(dirname "$0")"

scripts/install-demo-deps.sh
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

# What the printed code of a command means (the README's tables, short).
meaning() {  # COMMAND CODE
    case "$1 $2" in
        "1 0") echo "installed: copied, added to the font table, notice sent" ;;
        "1 1") echo "not installed: no font file at that path" ;;
        "1 2") echo "not installed: no folder at that path" ;;
        "1 3") echo "not installed: the copy failed or was refused; the folder is as it was" ;;
        "1 4") echo "not installed: the font table took no font from the file" ;;
        "2 0") echo "removed: fonts taken out and file deleted, or nothing was there" ;;
        "2 1") echo "nothing done: the file's fonts are not in this session's font table" ;;
        "2 2") echo "fonts taken out, but the file could not be deleted" ;;
        *) echo "printed nothing or an unknown code: not done" ;;
    esac
}

run() {  # PROGRAM ARGUMENTS...
    local program=$1
    shift
    # As typed at a cmd prompt: each path in double quotes.
    local typed=$program argument
    for argument in "$@"; do
        if [[ $argument == *[\\\ ]* ]]; then
            typed+=" \"$argument\""
        else
            typed+=" $argument"
        fi
    done
    echo "> $typed"
    local code status=0
    code=$(wine_start wine "build/win/$program" "$@" 2>"$work/stderr") || status=$?
    if ((status == 125)); then  # Wine itself failed, so the program never ran
        cat "$work/stderr" >&2
        exit 1
    fi
    echo "printed: $code  ($(meaning "$1" "$code")); exit status $status, which is not the result"
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
