#!/usr/bin/env bash
# fontctl.exe against the floor program under Wine, for command 10 and for a
# successful install: wall time (hyperfine, both programs in every round, the
# order swapped from round to round so that drift hits both alike), peak
# memory (GNU time's maximum resident set, alternating runs) and
# the two executables' sizes, in a throwaway Wine prefix.
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
export WINEPREFIX=$work/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
cleanup() {
    wineserver -k 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

# No X server: Wine then loads no display driver, which leaves the floor at
# its lowest and so makes any cost of fontctl.exe's own stand out most. The
# broadcast is still posted (it reaches no window).
unset DISPLAY
wine wineboot -i >/dev/null 2>&1
wineserver -w
wineserver -p 600  # keep the server up between runs, as a session would

# Each program installs into a folder of its own, replacing its earlier copy.
/usr/bin/python3 "$here/../scripts/make_font.py" "$work/BenchSans.ttf" "Fontctl Bench Sans"
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
        code=$(eval "$(command_line $program $command)")
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
        # A run that fails is reported; its round is run again once.
        for attempt in 1 2; do
            if hyperfine -N --style none --warmup 1 --runs "$runs_per_round" --prepare "sleep $settle" \
                --export-json "$work/time-$command-$round.json" "${args[@]}" >/dev/null 2>"$work/hyperfine.log"; then
                break
            fi
            echo "round $round of $command, attempt $attempt failed:" >&2
            cat "$work/hyperfine.log" >&2
            ((attempt < 2)) || exit 1
        done
    done
    for ((run = 1; run <= memory_runs; run++)); do
        for program in fontctl floor; do
            eval "/usr/bin/time -f %M -a -o '$work/memory-$command-$program' $(command_line $program $command)" >/dev/null
        done
    done
done

/usr/bin/python3 "$here/summarize_process.py" "$work" "$(stat -c %s "$fontctl")" "$(stat -c %s "$floor")"
