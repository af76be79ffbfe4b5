#!/usr/bin/python3
"""Prints the parsers' median cost per byte from Google Benchmark JSON files,
and how it grows from 1 KiB to 32 KiB inputs.

Usage: summarize_parsers.py RESULT.json...
"""
import json
import sys

CODE_PAGES = {"0": "single-byte", "1": "932"}


def medians(paths):
    """(benchmark, size, code page) -> median wall time in ns per run."""
    found = {}
    for path in paths:
        with open(path) as results:
            for run in json.load(results)["benchmarks"]:
                if run.get("aggregate_name") != "median":
                    continue
                name, size, code_page = run["run_name"].split("/")
                assert run["time_unit"] == "ns", run["time_unit"]
                found[(name, int(size), CODE_PAGES[code_page])] = run["real_time"]
    return found


def main(paths):
    found = medians(paths)
    print("| benchmark | code page | 64 B | 1 KiB | 32 KiB | 32 KiB / 1 KiB |")
    print("|---|---|---|---|---|---|")
    for name, code_page in sorted({(name, page) for name, _, page in found}):
        per_byte = {size: found[(name, size, code_page)] / size for size in (64, 1024, 32768)}
        cells = " | ".join(f"{per_byte[size]:.2f} ns/B" for size in (64, 1024, 32768))
        print(f"| {name} | {code_page} | {cells} | {per_byte[32768] / per_byte[1024]:.2f} |")


if __name__ == "__main__":
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    main(sys.argv[1:])
