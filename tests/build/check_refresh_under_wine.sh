#!/usr/bin/env bash
# Runs `PROGRAM 10` once under Wine, in a throwaway prefix: it must print
# exactly 0 and exit with status 0. A check that a program built or changed
# some other way (another compiler, a signature) still starts and works.
# Usage: check_refresh_under_wine.sh SOURCE_DIR PROGRAM LABEL
set -euo pipefail
source_dir=$(cd "$1" && pwd)
exe=$2
label=$3
work=$(mktemp -d)
export WINEPREFIX=$work/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
source "$source_dir/scripts/wine_server_folder.sh"
# Refresh needs no window of its own: no X server.
unset DISPLAY
cleanup() {
    stop_wine
    rm -rf "$work"
}
trap cleanup EXIT

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
    echo "FAIL: $(basename "$exe") 10 from $label printed '$(cat "$work/stdout")' and exited with status $status"
    cat "$work/stderr"
    exit 1
fi
echo "$label: $(basename "$exe") 10 printed 0, exit status 0"
