"""Runs fontctl.exe and other Windows programs under Wine and gathers what a
caller and the system see: standard output, exit status and the font-change
broadcasts."""
import dataclasses
import itertools
import os

import wine_start
from wine_prefix import SINGLE_BYTE, windows_path


@dataclasses.dataclass(frozen=True)
class Outcome:
    stdout: bytes
    status: int
    broadcasts: tuple  # (wParam, lParam) of each WM_FONTCHANGE
    stderr: bytes  # Wine's own notices land here; only kept for failure messages


class FontctlRunner:
    def __init__(self, prefix, listener, launcher_exe, scratch_dir, timeout=60):
        self._prefix = prefix
        self._listener = listener
        self._launcher = launcher_exe
        self._scratch = scratch_dir
        self._timeout = timeout
        self._serial = itertools.count(1)

    def run(self, program, args, cwd, locale=SINGLE_BYTE, stdout=None, env=None, retry=True):
        """`wine PROGRAM ARGS`: Wine quotes each argument into the command
        line, in the ANSI code page of the locale. stdout, when given, is the
        file or descriptor to write to instead of one we read back. env holds
        variables to set besides the prefix's. retry=False for a program
        that starts others inside Wine (see wine_start.with_retries)."""
        return self._run(["wine", program, *args], cwd, locale, stdout, env, retry)

    def launch(self, program, command_line, cwd, locale=SINGLE_BYTE, stdout="inherit", retry=True):
        """Starts the program with exactly this command line, through the
        launcher: bytes in the ANSI code page of the locale, or a str, which
        reaches the program as these very characters. stdout "none" starts it
        without a standard output handle. retry as for run()."""
        line_file = self._scratch_file("command-line")
        unicode = isinstance(command_line, str)
        with open(line_file, "wb") as file:
            file.write(command_line.encode() if unicode else command_line)
        command = ["wine", self._launcher, stdout, windows_path(program), windows_path(line_file)]
        return self._run(command + ["utf8"] * unicode, cwd, locale, None, retry=retry)

    def _run(self, command, cwd, locale, stdout, env=None, retry=True):
        # Broadcasts that an earlier command left uncounted belong to no one,
        # nor do those of this command should it fail before they are counted.
        self._listener.begin_command()
        # A file rather than a pipe: a reader of a pipe would wait for every
        # process that inherited it, we only wait for the one we started.
        stdout_path = self._scratch_file("stdout")
        with open(stdout_path, "wb") as own_stdout:
            finished = wine_start.run(command, env={**self._prefix.env(locale), **(env or {})}, cwd=cwd,
                                      stdout=own_stdout if stdout is None else stdout, timeout=self._timeout,
                                      retry=retry)
        with open(stdout_path, "rb") as file:
            written = file.read()
        os.remove(stdout_path)
        return Outcome(written, finished.status, self._listener.take(), finished.stderr)

    def _scratch_file(self, kind):
        return os.path.join(self._scratch, f"{kind}-{next(self._serial)}")
