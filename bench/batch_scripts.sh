#!/usr/bin/env bash
# examples/cmd/install-fonts.cmd against a bare FOR loop that runs
# fontctl-utf8.exe 1 over the same fonts, under Wine's cmd: a first run into
# an empty folder, and a run again over the copies it left (as a logon script
# runs every day), in a throwaway Wine prefix with a warm wineserver and no X
# server. Wall time of whole runs, the script and the loop one run each in
# turn, the order swapped from round to round so that drift hits both alike.
# Every timed run must install every font, or the benchmark stops.
# Usage: batch_scripts.sh FONTCTL_UTF8_EXE ROUNDS [FONTS]   (FONTS: default 200)
set -euo pipefail
fontctl=$(realpath "$1") rounds=$2 count=${3:-200}
here=$(cd "$(dirname "$0")" && pwd)
# As in whole_process.sh: Wine finishes tearing a process down after its
# parent saw it end; an untimed pause lets each run start on a settled system.
settle=0.5

work=$(mktemp -d /tmp/fontctl-bench-batch.XXXXXX)
# Wine's start-up errors stay on (see scripts/wine_start.py).
export WINEPREFIX=$work/prefix WINEDEBUG=-all,err+virtual WINEDLLOVERRIDES="mscoree,mshtml="
source "$here/../scripts/wine_server_folder.sh"
cleanup() {
    stop_wine
    rm -rf "$work"
}
trap cleanup EXIT
unset DISPLAY
/usr/bin/python3 "$here/../scripts/wine_start.py" wine wineboot -i >/dev/null 2>&1
wineserver -w
wineserver -p 600

windows_path() { echo "Z:${1//\//\\}"; }
mkdir "$work/tools" "$work/fonts"
cp "$here/../examples/cmd/install-fonts.cmd" "$here/../examples/cmd/fonts-common.cmd" "$fontctl" "$work/tools/"
# The bare loop: what a caller would write who wants nothing but the
# installs.
printf '%s\r\n' '@echo off' 'pushd "%~1"' \
    'for %%G in (*.ttf) do "%~dp0fontctl-utf8.exe" 1 "%~1\%%G" "%~2"' 'popd' >"$work/tools/loop.cmd"
# Fonts of families of their own: Wine skips a face whose family it knows.
PYTHONPATH="$here/../tests/e2e" /usr/bin/python3 -c '
import sys, font_files
for number in range(int(sys.argv[2])):
    font_files.write_truetype(f"{sys.argv[1]}/Bench Font {number:03}.ttf")' "$work/fonts" "$count"

source=$(windows_path "$work/fonts")
# runner -> the batch file that it runs; each installs into its own folder.
declare -A batch=([script]=install-fonts.cmd [loop]=loop.cmd)

# run RUNNER CASE: one timed run, its seconds appended to times-CASE-RUNNER.
# A run in which Wine itself failed to start a process (see
# scripts/wine_start.py) is run again, up to three times, and only the run
# that got through counts.
run() {
    local target=$work/target-$1 output=$work/output-$1 start end
    for _ in 1 2 3; do
        [[ $2 == first ]] && rm -rf "$target"
        mkdir -p "$target"
        sleep "$settle"
        start=$EPOCHREALTIME
        wine cmd /c "$(windows_path "$work/tools/${batch[$1]}")" "$source" "$(windows_path "$target")" \
            >"$output" 2>"$output.err" || true
        end=$EPOCHREALTIME
        grep -q 'failed to map the shared user data' "$output.err" || break
        echo "Wine failed to start a process in the $1's $2 run: run again" >&2
    done
    awk "BEGIN { print $end - $start }" >>"$work/times-$2-$1"
    # Every font installed: the script says so per font, the loop prints
    # fontctl's bare codes.
    local installed copies=("$target"/*)
    if [[ $1 == script ]]; then
        installed=$(grep -c '^0 installed: ' "$output" || true)
    else
        installed=$(grep -o 0 "$output" | wc -l)
    fi
    if ((installed != count)) || ((${#copies[@]} != count)); then
        echo "the $1's $2 run installed $installed of $count fonts:" >&2
        cat "$output" "$output.err" >&2
        exit 1
    fi
}

for ((round = 1; round <= rounds; round++)); do
    order=(script loop)
    ((round % 2 == 0)) && order=(loop script)
    for case in first again; do
        for runner in "${order[@]}"; do
            run "$runner" "$case"
        done
    done
done

/usr/bin/python3 "$here/summarize_batch.py" "$work" "$count"
