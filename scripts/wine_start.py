#!/usr/bin/python3
"""Starts a Windows program under Wine, telling Wine's own start-up failures
from anything the program does.

Without Wine's preloader (Debian's separate package wine64-preloader), now and
then the loader's randomised early heap lands on an address that Wine
reserves; Wine then prints "failed to map the shared user data" and exits
with status 1 a few milliseconds in, before the program runs. With the
preloader, which reserves those addresses before anything else is mapped,
that has not been seen (see bench/wine_starts.sh). Should it happen all the
same, or should the connection to the wineserver break ("wine client
error:"), that is Wine's failure, raised as WineStartError, never an answer
of the program; a start inside the program (a batch script starting
fontctl.exe) that fails shows the same way on its standard error. Any other
status or text is the program's and is returned as it is.

As a module: run(). As a command, for shell scripts:
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
# The exit status of the command-line form when Wine could not start the
# program; no fontctl program or test helper exits with it.
WINE_FAILED_STATUS = 125


class WineStartError(RuntimeError):
    """Wine itself failed, so the program never gave an answer."""

    def __init__(self, command, said):
        self.command = list(command)
        self.said = said
        shown = " ".join(map(str, command))
        if len(shown) > 300:
            shown = shown[:300] + "..."
        lines = said.decode(errors="replace").strip()
        super().__init__(f"Wine could not start the program: {shown}\n"
                         f"Wine said:\n{lines}")


@dataclasses.dataclass(frozen=True)
class Finished:
    status: int  # the program's own exit status
    stderr: bytes  # what the run wrote to standard error, Wine's lines included


def wine_environment(env=None):
    """The environment with Wine's start-up errors shown and every other
    channel as quiet as the caller had it (all quiet when it said nothing)."""
    env = dict(os.environ if env is None else env)
    channels = env.get("WINEDEBUG") or "-all"
    if "err+virtual" not in channels.split(","):
        channels += ",err+virtual"
    env["WINEDEBUG"] = channels
    return env


def check_wine(command, said):
    """Raises WineStartError when the standard error of a run shows that Wine
    itself broke down."""
    if CLIENT_ERROR in said or START_FAILURE in said:
        raise WineStartError(command, said)


def run_to_end(command, *, popen=subprocess.Popen, timeout=None, **options):
    """Runs the command (by popen, with the options of subprocess.Popen) to
    its end, killing it at the time-out, and returns its Finished. Standard
    error goes to a file: a reader of a pipe would wait for every process
    that inherited it."""
    with tempfile.TemporaryFile() as stderr:
        process = popen(command, stderr=stderr, **options)
        try:
            status = process.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            process.kill()
            process.wait()
            raise
        stderr.seek(0)
        return Finished(status, stderr.read())


def run(command, *, env=None, cwd=None, stdin=subprocess.DEVNULL, stdout=None, timeout=None):
    """Runs the command to its end and returns its Finished; raises
    WineStartError when Wine failed."""
    finished = run_to_end(command, env=wine_environment(env), cwd=cwd, stdin=stdin, stdout=stdout, timeout=timeout)
    check_wine(command, finished.stderr)
    return finished


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
