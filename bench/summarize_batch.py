#!/usr/bin/python3
"""Prints the figures that batch_scripts.sh gathered: per case (a first run,
a run again over the copies), the median wall time of install-fonts.cmd and
of the bare loop and their ratio, the median of the rounds' own ratios (each
round's two runs were made moments apart), the ratio of the 10th
percentiles (the runs that other work on the machine disturbed least), and
the time per font; before the table, each run's time in the order of the
rounds.

Usage: summarize_batch.py WORK_DIR FONTS
"""
import os
import statistics
import sys

CASES = (("first", "first run (empty folder)"), ("again", "run again over the copies"))


def times(work, case, runner):
    with open(os.path.join(work, f"times-{case}-{runner}")) as lines:
        return [float(line) for line in lines if line.strip()]


def tenth_percentile(values):
    # Inclusive: with a few rounds, the default method extrapolates below the
    # fastest run.
    return statistics.quantiles(values, n=10, method="inclusive")[0] if len(values) > 1 else values[0]


def main(work, fonts):
    for case, _ in CASES:
        for runner in ("script", "loop"):
            print(f"{case} {runner}: " + " ".join(f"{value:.2f}" for value in times(work, case, runner)) + " s")
    print("| case | runs each | median script / loop | ratio | median of per-round ratios "
          "| 10th percentile script / loop | ratio | per font, script / loop |")
    print("|---|---|---|---|---|---|---|---|")
    for case, label in CASES:
        script, loop = times(work, case, "script"), times(work, case, "loop")
        median = statistics.median(script), statistics.median(loop)
        paired = statistics.median(s / l for s, l in zip(script, loop))
        fast = tenth_percentile(script), tenth_percentile(loop)
        print(f"| {label} | {len(script)} | {median[0]:.2f} / {median[1]:.2f} s | {median[0] / median[1]:.3f} "
              f"| {paired:.3f} | {fast[0]:.2f} / {fast[1]:.2f} s | {fast[0] / fast[1]:.3f} "
              f"| {median[0] / fonts * 1000:.1f} / {median[1] / fonts * 1000:.1f} ms |")


if __name__ == "__main__":
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    main(sys.argv[1], int(sys.argv[2]))
