#!/usr/bin/python3
"""Runs the end-to-end tests of fontctl.exe: under Wine, in one throwaway
Wine prefix and X server that are taken down again whatever happens, or on
Windows itself, natively.

Usage: run_e2e.py BUILD_DIR [-k PATTERN]... [--program NAME] [--cases GLOB]...
                  [--platform wine|windows] [--require NAME,...] [--times FILE]

BUILD_DIR is the Windows build folder: fontctl.exe, fontctl-utf8.exe, and the
helper programs in tests/e2e/helpers/ below it. --program runs every case
with another program of that folder in fontctl.exe's place. --cases picks the
files of cases to run (each --cases adds a pattern): by default test_*.py,
the cases of fontctl.exe itself; callers_*.py holds those of the example
callers in examples/. --platform
picks where the programs run: by default Windows on Windows, Wine elsewhere.
A case that needs what the platform lacks is skipped, with the reason.
--require names what this run requires of the platform (SHORT_NAMES,
LONG_PATHS, ...: the names of PRECONDITIONS in e2e_session.py; by default
those in the variable FONTCTL_E2E_REQUIRE): one that is missing fails the
run, and every case that needs it, with the reason, instead of skipping them.
A CI job requires what its machine provides, so that a set-up step that
went wrong cannot turn the cases that prove it into skips.
Whatever the run picks, one case runs first (first_case.py): a generated font
installed and found from another process; when it fails, every other case is
skipped with that reason, and the run fails.
--times writes to FILE where the run's time went: each case, each file of
cases and the session's start and end, in seconds, the longest first.

Under Wine each Wine prefix (the run's, the ordinary user's) is a copy of
a prefix booted once for the Wine and the user, which the first run that
needs it makes and keeps in BUILD_DIR/wine-prefix-templates (or the folder
that the variable FONTCTL_E2E_WINE_TEMPLATES names).

Under Wine: needs Debian's python3 (with python3-fonttools), wine, xvfb and
locales. On Windows: Python with fontTools, and NSIS for the callers' cases.
"""
import argparse
import os
import signal
import sys
import time
import unittest

# No __pycache__ in the source tree.
sys.dont_write_bytecode = True
HERE = os.path.dirname(os.path.abspath(__file__))
sys.path[:0] = [HERE, os.path.join(HERE, "..", "..", "scripts")]

from case_times import CaseTimes  # noqa: E402
from e2e_case import E2ECase  # noqa: E402
from e2e_session import PRECONDITIONS  # noqa: E402
from first_case import AfterTheFirstCase, first_case  # noqa: E402

# Well under the ctest time-out, so that teardown still runs on a hang.
RUN_DEADLINE_SECONDS = 1500
PLATFORMS = ("wine", "windows")
# The default of --require.
REQUIRE_VARIABLE = "FONTCTL_E2E_REQUIRE"


def default_platform(os_name=os.name):
    return "windows" if os_name == "nt" else "wine"


def new_session(platform, build_dir, program):
    """The session of the platform; each module is loaded only where it is
    used."""
    if platform == "windows":
        from windows_session import WindowsSession  # noqa: PLC0415

        return WindowsSession(build_dir, program)
    from wine_session import WineSession  # noqa: PLC0415

    return WineSession(build_dir, program)


def _interrupt(signal_number, _frame):
    # KeyboardInterrupt is the one exception unittest lets through, so the
    # session's teardown runs.
    raise KeyboardInterrupt(f"stopped by signal {signal_number}")


def preconditions(text):
    """The needs named in TEXT (NAME,NAME,...; empty: none)."""
    names = [name.strip() for name in text.split(",") if name.strip()]
    unknown = [name for name in names if name not in PRECONDITIONS]
    if unknown:
        raise argparse.ArgumentTypeError(f"no such precondition: {', '.join(unknown)} "
                                         f"(there are {', '.join(PRECONDITIONS)})")
    return frozenset(PRECONDITIONS[name] for name in names)


def parse_arguments(argv, environ=os.environ):
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("build_dir")
    parser.add_argument("-k", dest="patterns", action="append", help="only tests whose name holds this text")
    parser.add_argument("--program", default="fontctl.exe", help="the program to run as fontctl.exe")
    parser.add_argument("--cases", action="append", metavar="GLOB",
                        help="a pattern of the files of cases to run; may be given again (default test_*.py)")
    parser.add_argument("--platform", choices=PLATFORMS, default=default_platform(),
                        help="where the programs run (default: %(default)s, by this system)")
    parser.add_argument("--require", type=preconditions, default=environ.get(REQUIRE_VARIABLE, ""),
                        help=f"what the run requires of the platform, NAME,... (default: ${REQUIRE_VARIABLE})")
    parser.add_argument("--times", metavar="FILE", help="write where the run's time went to FILE")
    args = parser.parse_args(argv)
    if args.platform == "windows" and os.name != "nt":
        parser.error("--platform windows runs the programs natively: it needs Windows")
    return args


def main(argv=None):
    args = parse_arguments(argv)
    # The cases hand the files that they make to the ordinary user, who must
    # read them whatever umask the caller has. The run's folders stay closed
    # all the same: mkdtemp makes them 0700.
    os.umask(0o022)
    # Windows has neither SIGHUP nor alarm(): there the CI job's time-out
    # stands in for the deadline.
    for name in ("SIGTERM", "SIGINT", "SIGHUP", "SIGALRM"):
        if hasattr(signal, name):
            signal.signal(getattr(signal, name), _interrupt)
    if hasattr(signal, "alarm"):
        signal.alarm(RUN_DEADLINE_SECONDS)

    loader = unittest.TestLoader()
    if args.patterns:
        loader.testNamePatterns = [f"*{pattern}*" for pattern in args.patterns]
    cases = unittest.TestSuite(loader.discover(HERE, pattern=pattern) for pattern in args.cases or ["test_*.py"])
    suite = AfterTheFirstCase(first_case(), cases)
    print(f"platform: {args.platform}", flush=True)
    times = CaseTimes()
    started = time.monotonic()
    with new_session(args.platform, args.build_dir, args.program) as session:
        times.add("(session start)", time.monotonic() - started)
        status = run_suite(session, suite, args.require, times=times)
        ending = time.monotonic()
    times.add("(session end)", time.monotonic() - ending)
    if args.times:
        times.write(args.times)
    return status


def run_suite(session, suite, required, stream=sys.stdout, times=None):
    """Runs the suite in the started session: 0 when it passed and nothing
    that the run requires is missing, 1 otherwise. TIMES (a CaseTimes), when
    given, takes each case's time."""
    session.required = required
    missing = session.missing_requirements()
    for need, reason in missing.items():
        print(f"required, and missing: {need}: {reason}", file=stream, flush=True)
    E2ECase.session = session
    resultclass = times.result_class() if times else None
    result = unittest.TextTestRunner(verbosity=2, stream=stream, resultclass=resultclass).run(suite)
    if missing:
        print(f"the run fails: {len(missing)} of what it requires is missing (see the top)", file=stream)
    return 0 if result.wasSuccessful() and not missing else 1


if __name__ == "__main__":
    sys.exit(main())
