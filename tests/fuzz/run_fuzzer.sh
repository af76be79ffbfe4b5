#!/usr/bin/env bash
# Runs one libFuzzer target for a bounded time, starting from its checked-in
# seeds. Any finding (a crash, a sanitizer report or a broken property) fails
# the run and leaves the input that caused it in WORK/artifacts; running the
# target with that file as its only argument replays it.
# Usage: run_fuzzer.sh TARGET SEED_DIR SECONDS WORK
set -euo pipefail
target=$1 seeds=$2 seconds=$3 work=$4

# New inputs go into a scratch corpus, never into the checked-in seeds.
rm -rf "$work/corpus"
mkdir -p "$work/corpus" "$work/artifacts"
exec "$target" -max_total_time="$seconds" -max_len=4096 -timeout=10 -print_final_stats=1 \
    -artifact_prefix="$work/artifacts/" "$work/corpus" "$seeds"
