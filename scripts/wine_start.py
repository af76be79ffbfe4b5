#!/usr/bin/python3
"""Starts a Windows program under Wine, telling Wine's own start-up failures
from anything the program does.

Debian's wine64 comes without Wine's preloader, so now and then (about one
start in 2,000) the loader's randomised early heap lands on an address that
Wine reserves. Wine then prints "failed to map the shared user data" and
exits with status 1 a few milliseconds in, before it reaches the wineserver,
the prefix or the program. Only then is it safe to start the same command
again: the program never ran. Any other status or text is the program's and
is returned as it is. "wine client error:" (the connection to the wineserver
broke) and running out of tries are Wine's failures and raise WineStartError.

As a module: run() for a command that runs to its end, and with_retries()
for a caller that starts a long-running program itself.

As a command, for shell scripts:
    wine_start.py COMMAND [ARGUMENT...]
runs COMMAND (usually `wine PROGRAM ...`) with standard input and output
passed through and Wine's standard error written after it ends, and exits
with the command's status, or with 125 after printing "Wine could not start
the program" and Wine's own lines.
"""
import dataclasses
import os
import subprocess
import sys
import tempfile

# What Wine prints when it could not map its shared user data page. Shown
# only while the "virtual" channel's errors are on.
START_FAILURE = b"failed to map the shared user data"
# What a Wine process prints when its connection to the wineserver broke.
CLIENT_ERROR = b"wine client error:"
# Starts in all, the first included.
TRIES = 3
# The exit status of the command-line form when Wine could not start the
# program; no fontctl program or test helper exits with it.
WINE_FAILED_STATUS = 125

# Starts made, and those made again after a start-up failure, for the run's
# report.
starts = 0
retried_starts = 0


class WineStartError(RuntimeError):
    """Wine itself failed, so the program never gave an answer."""

    def __init__(self, command, said, tries):
        self.command = list(command)
        self.said = said
        self.tries = tries
        shown = " ".join(map(str, command))
        if len(shown) > 300:
            shown = shown[:300] + "..."
        lines = said.decode(errors="replace").strip()
        super().__init__(f"Wine could not start the program ({tries} {'try' if tries == 1 else 'tries'}): {shown}\n"
                         f"Wine said:\n{lines}")


@dataclasses.dataclass(frozen=True)
class Finished:
    status: int  # the program's own exit status
    stderr: bytes  # what the run wrote to standard error, Wine's lines included
    tries: int  # 1 when the first start succeeded


def wine_environment(env=None):
    """The environment with Wine's start-up errors shown and every other
    channel as quiet as the caller had it (all quiet when it said nothing)."""
    env = dict(os.environ if env is None else env)
    channels = env.get("WINEDEBUG") or "-all"
    if "err+virtual" not in channels.split(","):
        channels += ",err+virtual"
    env["WINEDEBUG"] = channels
    return env


def start_failed(said):
    """Whether Wine failed before the program ran, so that starting the same
    command again is safe."""
    return START_FAILURE in said


def check_wine(command, said, tries):
    """Raises WineStartError when the standard error of a run shows that Wine
    itself broke down."""
    if CLIENT_ERROR in said or start_failed(said):
        raise WineStartError(command, said, tries)


def note_retry(command, said):
    """Counts a start made again, and says so on our standard error."""
    global retried_starts
    retried_starts += 1
    program = os.path.basename(str(command[1] if len(command) > 1 else command[0]))
    message = said.decode(errors="replace").strip().splitlines()[-1]
    print(f"wine_start: Wine failed to start {program} ({message}); starting it again", file=sys.stderr, flush=True)


def with_retries(command, start_once, retry=True):
    """Calls start_once() (which starts the command once and returns what
    the caller wants and the standard error it wrote) again while Wine fails
    to start the command, up to TRIES starts in all. Returns the last result
    and the number of starts; raises WineStartError when Wine never started
    the command or broke down.

    retry=False is for a command that starts programs of its own inside Wine
    and does other work besides (a batch script, an installer): a failed
    inner start shows the same message, but the command itself ran, so it
    is reported and never started again."""
    global starts
    tries = TRIES if retry else 1
    for attempt in range(1, tries + 1):
        starts += 1
        result, said = start_once()
        if start_failed(said) and attempt < tries:
            note_retry(command, said)
            continue
        check_wine(command, said, attempt)
        return result, attempt
    raise AssertionError("unreachable: the last try returns or raises")


def run(command, *, env=None, cwd=None, stdin=subprocess.DEVNULL, stdout=None, timeout=None, retry=True):
    """Runs the command to its end through with_retries() and returns the
    last start's Finished."""
    env = wine_environment(env)

    def start_once():
        with tempfile.TemporaryFile() as stderr:
            process = subprocess.Popen(command, env=env, cwd=cwd, stdin=stdin, stdout=stdout, stderr=stderr)
            try:
                status = process.wait(timeout=timeout)
            except subprocess.TimeoutExpired:
                process.kill()
                process.wait()
                raise
            stderr.seek(0)
            said = stderr.read()
        return (status, said), said

    (status, said), tries = with_retries(command, start_once, retry)
    return Finished(status, said, tries)


def main(argv):
    if not argv:
        print(__doc__, file=sys.stderr)
        return 2
    try:
        finished = run(argv, stdin=None)
    except WineStartError as error:
        print(error, file=sys.stderr)
        return WINE_FAILED_STATUS
    sys.stderr.buffer.write(finished.stderr)
    return finished.status


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
