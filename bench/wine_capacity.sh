#!/usr/bin/env bash
# How many Wine processes a second this machine can start and finish: chains
# of fontctl.exe runs, one after another as the end-to-end cases run them,
# first one chain, then CHAINS at once, each in a throwaway prefix of its own
# with a warm server. Each run either installs a small font (replacing the
# chain's earlier copy) or fails for want of a source, the two ends of what a
# case's run costs. Prints, for each command and number of chains, the runs a
# second of all chains together and how idle the processors were.
#
# The end-to-end entries are such chains: ctest runs two at a time, so the
# figure for two chains bounds how fast the suite can get through the Wine
# processes that its cases start.
# Usage: wine_capacity.sh FONTCTL_EXE [RUNS [CHAINS]]
set -euo pipefail
fontctl=$(realpath "$1") runs=${2:-40} chains=${3:-3}
here=$(cd "$(dirname "$0")" && pwd)

work=$(mktemp -d /tmp/fontctl-bench.XXXXXX)
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
source "$here/../scripts/wine_server_folder.sh"
# No X server, as in whole_process.sh: a run's cost under Xvfb measured the same.
unset DISPLAY
pids=()
cleanup() {
    local chain
    if ((${#pids[@]})); then
        kill "${pids[@]}" 2>/dev/null || true
        wait "${pids[@]}" 2>/dev/null || true
    fi
    for ((chain = 1; chain <= chains; chain++)); do
        WINEPREFIX=$work/prefix-$chain stop_wine
    done
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

PYTHONPATH="$here/../tests/e2e" /usr/bin/python3 -c \
    'import sys, font_files; font_files.write_truetype(sys.argv[1])' "$work/BenchSans.ttf"
font="Z:${work//\//\\}\\BenchSans.ttf"
for ((chain = 1; chain <= chains; chain++)); do
    export WINEPREFIX=$work/prefix-$chain
    /usr/bin/python3 "$here/../scripts/wine_start.py" wine wineboot -i >/dev/null 2>&1
    wineserver -w
    wineserver -p 600  # the server stays up between runs, as in a session
    mkdir "$work/fonts-$chain"
done

# Busy and idle ticks of all processors so far.
processor_ticks() {
    awk '/^cpu /{ print $2 + $3 + $4 + $7 + $8, $5 + $6 }' /proc/stat
}

# RUNS runs of fontctl.exe in chain CHAIN, one after another: each must write
# its code, or the figure would count failed starts.
chain_of_runs() {  # CHAIN COMMAND
    local run code source=$font expected=0
    if [[ $2 == missing ]]; then
        source="${font%.ttf}-missing.ttf" expected=1
    fi
    for ((run = 0; run < runs; run++)); do
        code=$(WINEPREFIX=$work/prefix-$1 wine "$fontctl" 1 "$source" "Z:${work//\//\\}\\fonts-$1") ||
            code="$code (exit status $?)"
        if [[ $code != "$expected" ]]; then
            echo "chain $1: a run wrote '$code', not $expected" >&2
            return 1
        fi
    done
}

counts=(1 2)
((chains > 2)) && counts+=("$chains")
echo "| command | chains at once | runs a second, all chains | processors idle |"
echo "|---|---|---|---|"
for command in install missing; do
    for together in "${counts[@]}"; do
        read -r busy_before idle_before < <(processor_ticks)
        started=$(date +%s.%N)
        pids=()
        for ((chain = 1; chain <= together; chain++)); do
            chain_of_runs "$chain" "$command" &
            pids+=($!)
        done
        for pid in "${pids[@]}"; do
            wait "$pid"
        done
        pids=()
        ended=$(date +%s.%N)
        read -r busy_after idle_after < <(processor_ticks)
        idle=$(((idle_after - idle_before) * 100 / (busy_after - busy_before + idle_after - idle_before)))
        rate=$(echo "$runs * $together / ($ended - $started)" | bc -l)
        printf '| %s | %d | %.1f | %d %% |\n' "$command" "$together" "$rate" "$idle"
    done
done
