#!/usr/bin/env bash
# Google Benchmark on the splitter and the file-name rule at 64 B, 1 KiB and
# 32 KiB, single-byte and 932, then the cost per byte and its growth from
# 1 KiB to 32 KiB (1.00 is flat; a quadratic path would show about 32).
# Usage: parsers.sh NATIVE_BENCH_BUILD_DIR
set -euo pipefail
build=$1
results=()
for bench in split_bench file_name_bench; do
    "$build/bench/$bench" --benchmark_repetitions=5 --benchmark_report_aggregates_only=true \
        --benchmark_out="$build/$bench.json" --benchmark_out_format=json >/dev/null
    results+=("$build/$bench.json")
done
/usr/bin/python3 "$(dirname "$0")/summarize_parsers.py" "${results[@]}"
