#!/usr/bin/python3
"""Prints the whole-process figures that whole_process.sh gathered.

Wall time, per command: the medians over all rounds of fontctl.exe and of the
floor and their ratio; the median of the rounds' own ratios; and the ratio of
the 10th percentiles, the runs that other work on the machine disturbed least.
Then the median peak resident memory of each and its ratio, and the sizes of
fontctl.exe, fontctl-utf8.exe and the floor.

Usage: summarize_process.py WORK_DIR FONTCTL_SIZE FONTCTL_UTF8_SIZE FLOOR_SIZE
"""
import glob
import json
import os
import statistics
import sys

PROGRAMS = ("fontctl", "floor")


def wall_times(work, command):
    """Per round, program -> that round's timed runs in seconds."""
    rounds = []
    for path in sorted(glob.glob(os.path.join(work, f"time-{command}-*.json"))):
        with open(path) as results:
            rounds.append({r["command"]: r["times"] for r in json.load(results)["results"]})
    return rounds


def peak_memory(work, command):
    """Program -> every run's maximum resident set in KiB."""
    memory = {}
    for program in PROGRAMS:
        with open(os.path.join(work, f"memory-{command}-{program}")) as lines:
            memory[program] = [int(line) for line in lines if line.strip()]
    return memory


def tenth_percentile(values):
    return statistics.quantiles(values, n=10)[0]


def main(work, fontctl_size, utf8_size, floor_size):
    commands = (("refresh", "10 (refresh)"), ("install", "1 (successful install)"))
    print("| command | runs each | median fontctl.exe / floor | ratio | median of per-round ratios "
          "| 10th percentile fontctl.exe / floor | ratio |")
    print("|---|---|---|---|---|---|---|")
    for command, label in commands:
        rounds = wall_times(work, command)
        pooled = {p: [t * 1000 for r in rounds for t in r[p]] for p in PROGRAMS}
        median = {p: statistics.median(times) for p, times in pooled.items()}
        fast = {p: tenth_percentile(times) for p, times in pooled.items()}
        # Each round's two medians were taken moments apart: their ratio is
        # little moved by load that comes and goes.
        paired = statistics.median(
            statistics.median(r["fontctl"]) / statistics.median(r["floor"]) for r in rounds)
        print(f"| {label} | {len(pooled['fontctl'])} | {median['fontctl']:.1f} / {median['floor']:.1f} ms "
              f"| {median['fontctl'] / median['floor']:.3f} | {paired:.3f} "
              f"| {fast['fontctl']:.1f} / {fast['floor']:.1f} ms | {fast['fontctl'] / fast['floor']:.3f} |")
    print()
    print("| command | fontctl.exe peak RSS | floor peak RSS | ratio |")
    print("|---|---|---|---|")
    for command, label in commands:
        memory = {p: statistics.median(m) for p, m in peak_memory(work, command).items()}
        print(f"| {label} | {memory['fontctl']:.0f} KiB | {memory['floor']:.0f} KiB "
              f"| {memory['fontctl'] / memory['floor']:.3f} |")
    print()
    print(f"fontctl.exe: {fontctl_size} bytes; fontctl-utf8.exe: {utf8_size} bytes "
          f"({utf8_size - fontctl_size:+d}); floor: {floor_size} bytes; ratio {fontctl_size / floor_size:.1f}")


if __name__ == "__main__":
    if len(sys.argv) != 5:
        sys.exit(__doc__)
    main(sys.argv[1], *map(int, sys.argv[2:]))
