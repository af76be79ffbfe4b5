#!/usr/bin/env bash
# Counts Wine's own start-up failures ("failed to map the shared user data")
# over many starts of a program that does nothing, once with the loader alone
# and once with wine64-preloader beside it, without changing the installed
# Wine: the loader looks for its preloader in the folder of its own real path,
# so a private copy of the loader, with or without the preloader next to it,
# gives both cases side by side.
#
#   bench/wine_starts.sh STARTS [WORKERS] [PRELOADER]
#
# PRELOADER is the preloader binary to place beside the copy (default: the
# installed /usr/lib/wine/wine64-preloader.static). Prints one line per case:
# starts, start-up failures, other non-zero exits.
set -euo pipefail

starts=${1:?usage: wine_starts.sh STARTS [WORKERS] [PRELOADER]}
workers=${2:-2}
preloader=${3:-/usr/lib/wine/wine64-preloader.static}
[[ -f $preloader ]] || { echo "no preloader at $preloader" >&2; exit 2; }

work=$(mktemp -d)
export WINEPREFIX="$work/prefix"
source "$(dirname "$0")/../scripts/wine_server_folder.sh"
server_up=
cleanup() {
    if [[ -n $server_up ]]; then
        stop_wine
    fi
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# The copy's folder sits where Debian's loader expects its libraries and data
# relative to itself (../x86_64-linux-gnu, ../../share).
mkdir -p "$work/root/lib/without" "$work/root/lib/with"
ln -s /usr/lib/x86_64-linux-gnu "$work/root/lib/x86_64-linux-gnu"
ln -s /usr/share "$work/root/share"
cp /usr/lib/wine/wine64 "$work/root/lib/without/"
cp /usr/lib/wine/wine64 "$work/root/lib/with/"
cp "$preloader" "$work/root/lib/with/wine64-preloader"

printf 'int main(void) { return 0; }\n' >"$work/nop.c"
x86_64-w64-mingw32-gcc -O2 -s -o "$work/nop.exe" "$work/nop.c"

export WINEDLLOVERRIDES="mscoree,mshtml=" WINEDEBUG=-all
wine wineboot -i >/dev/null 2>&1
wineserver -w
wineserver -p 3600
server_up=1
# Start the session's own services once, so the counted starts are all alike.
wine "$work/nop.exe" >/dev/null 2>&1
export WINESERVER=/usr/lib/wine/wineserver64 WINEDEBUG=err+virtual

# worker CASE N: N starts through that case's loader, one result line each.
worker() {
    local loader="$work/root/lib/$1/wine64" log="$work/$1.log.$3" i err status
    # Standard error goes to a file, not a pipe: a process that the session
    # keeps running must not hold the reader open.
    local errfile="$work/$1.err.$3"
    for ((i = 0; i < $2; i++)); do
        status=0
        WINELOADER="$loader" "$loader" "$work/nop.exe" >/dev/null 2>"$errfile" || status=$?
        err=$(<"$errfile")
        if [[ $err == *"failed to map the shared user data"* ]]; then
            echo map >>"$log"
        elif ((status != 0)); then
            printf 'other %s %s\n' "$status" "${err//$'\n'/ }" >>"$log"
        else
            echo ok >>"$log"
        fi
    done
}

per_worker=$(((starts + workers - 1) / workers))
pids=()
for case in without with; do
    for ((w = 0; w < workers; w++)); do
        worker "$case" "$per_worker" "$w" &
        pids+=($!)
    done
done
wait "${pids[@]}"

for case in without with; do
    cat "$work/$case".log.* >"$work/$case.all"
    printf '%-8s starts %d  start-up failures %d  other failures %d\n' "$case" \
        "$(wc -l <"$work/$case.all")" \
        "$(grep -c '^map' "$work/$case.all" || true)" \
        "$(grep -c '^other' "$work/$case.all" || true)"
    grep '^other' "$work/$case.all" | sort | uniq -c | head -5 || true
done
