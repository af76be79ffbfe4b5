#!/usr/bin/env bash
# fontctl.exe against the floor program under Wine, for command 10 and for a
# successful install: wall time (hyperfine, both programs in every round, the
# order swapped from round to round so that drift hits both alike), peak
# memory (GNU time's maximum resident set, alternating runs) and
# the executables' sizes (fontctl-utf8.exe's too, from beside fontctl.exe), in
# a throwaway Wine prefix.
# Usage: whole_process.sh FONTCTL_EXE FLOOR_EXE ROUNDS
set -euo pipefail
fontctl=$(realpath "$1") floor=$(realpath "$2") rounds=$3
here=$(cd "$(dirname "$0")" && pwd)
# Short rounds: the order swaps often, so a burst of load elsewhere on the
# machine falls on both programs alike.
runs_per_round=5 memory_runs=30
# Wine finishes tearing a process down after its parent has seen it exit; a
# run started in that time takes 25 to 100 ms instead of a steady 25. An
# untimed pause before each run measures a start on a settled system, as a
# setup program's single call meets it.
settle=0.2

work=$(mktemp -d /tmp/fontctl-bench.XXXXXX)
# Wine's start-up errors stay on, so that a start Wine itself failed (see
# scripts/wine_start.py) is told from a failure of the program.
export WINEPREFIX=$work/prefix WINEDEBUG=-all,err+virtual WINEDLLOVERRIDES="mscoree,mshtml="
source "$here/../scripts/wine_server_folder.sh"
wine_start() { /usr/bin/python3 "$here/../scripts/wine_start.py" "$@"; }
cleanup() {
    stop_wine
    rm -rf "$work"
}
trap cleanup EXIT

# No X server: Wine then loads no display driver, which leaves the floor at
# its lowest and so makes any cost of fontctl.exe's own stand out most. The
# broadcast is still posted (it reaches no window).
unset DISPLAY
wine_start wine wineboot -i >/dev/null 2>&1
wineserver -w
wineserver -p 600  # keep the server up between runs, as a session would

# Each program installs into a folder of its own, replacing its earlier copy.
# The end-to-end tests' font maker: a small TrueType font of a family of its own.
PYTHONPATH="$here/../tests/e2e" /usr/bin/python3 -c \
    'import sys, font_files; font_files.write_truetype(sys.argv[1])' "$work/BenchSans.ttf"
mkdir "$work/fonts-fontctl" "$work/fonts-floor"
windows_path() { echo "Z:${1//\//\\}"; }
font=$(windows_path "$work/BenchSans.ttf")

# The command lines, quoted for hyperfine's word splitting (single quotes keep
# the backslashes) and for `eval` alike.
command_line() {  # PROGRAM COMMAND
    local exe=$fontctl target=fonts-fontctl
    [[ $1 == floor ]] && exe=$floor target=fonts-floor
    if [[ $2 == refresh ]]; then
        echo "wine '$exe' 10"
    else
        echo "wine '$exe' 1 '$font' '$(windows_path "$work/$target")'"
    fi
}

# Both programs must really succeed, or the timing measures a failure path.
for command in refresh install; do
    for program in fontctl floor; do
        code=$(eval "wine_start $(command_line $program $command)")
        [[ "$code" == 0 ]] || { echo "$program $command wrote '$code', not 0"; exit 1; }
    done
done

for command in refresh install; do
    for ((round = 1; round <= rounds; round++)); do
        order=(fontctl floor)
        ((round % 2 == 0)) && order=(floor fontctl)
        args=()
        for program in "${order[@]}"; do
            args+=(-n "$program" "$(command_line "$program" $command)")
        done
        # The timed runs start wine directly, so that the timing holds no
        # wrapper. Any failed run ends the benchmark; the message
        # wine_start.py looks for shows when it was Wine's own.
        if ! hyperfine -N --style none --warmup 1 --runs "$runs_per_round" --prepare "sleep $settle" \
            --output inherit --export-json "$work/time-$command-$round.json" "${args[@]}" \
            >/dev/null 2>"$work/hyperfine.log"; then
            echo "round $round of $command failed:" >&2
            cat "$work/hyperfine.log" >&2
            if grep -q 'failed to map the shared user data' "$work/hyperfine.log"; then
                echo "(Wine failed to start the program: is wine64-preloader installed?)" >&2
            fi
            exit 1
        fi
    done
    for ((run = 1; run <= memory_runs; run++)); do
        for program in fontctl floor; do
            # GNU time inside wine_start.py: a start Wine failed leaves no figure.
            eval "wine_start /usr/bin/time -f %M -o '$work/memory-run' $(command_line $program $command)" >/dev/null
            cat "$work/memory-run" >>"$work/memory-$command-$program"
        done
    done
done

/usr/bin/python3 "$here/summarize_process.py" "$work" "$(stat -c %s "$fontctl")" \
    "$(stat -c %s "$(dirname "$fontctl")/fontctl-utf8.exe")" "$(stat -c %s "$floor")"
