"""Runs fontctl.exe under Wine and gathers what a caller and the system see:
standard output, exit status and the font-change broadcasts."""
import dataclasses
import itertools
import os
import subprocess

from wine_prefix import SINGLE_BYTE, windows_path


@dataclasses.dataclass(frozen=True)
class Outcome:
    stdout: bytes
    status: int
    broadcasts: tuple  # (wParam, lParam) of each WM_FONTCHANGE
    stderr: bytes  # Wine's own notices land here; only kept for failure messages


class FontctlRunner:
    def __init__(self, prefix, listener, fontctl_exe, launcher_exe, scratch_dir, timeout=60):
        self._prefix = prefix
        self._listener = listener
        self._fontctl = fontctl_exe
        self._launcher = launcher_exe
        self._scratch = scratch_dir
        self._timeout = timeout
        self._serial = itertools.count(1)

    def run(self, args, cwd, locale=SINGLE_BYTE, stdout=None):
        """`wine fontctl.exe ARGS`: Wine quotes each argument into the command
        line, in the ANSI code page of the locale. stdout, when given, is the
        file or descriptor to write to instead of one we read back."""
        return self._run(["wine", self._fontctl, *args], cwd, locale, stdout)

    def launch(self, command_line, cwd, locale=SINGLE_BYTE, stdout="inherit"):
        """Starts fontctl.exe with exactly these command-line bytes, through the
        launcher. stdout "none" starts it without a standard output handle."""
        line_file = self._scratch_file("command-line")
        with open(line_file, "wb") as file:
            file.write(command_line)
        command = ["wine", self._launcher, stdout, windows_path(self._fontctl), windows_path(line_file)]
        return self._run(command, cwd, locale, None)

    def _run(self, command, cwd, locale, stdout):
        # Files rather than pipes: a reader of a pipe would wait for every
        # process that inherited it, we only wait for the one we started.
        stdout_path = self._scratch_file("stdout")
        stderr_path = self._scratch_file("stderr")
        with open(stdout_path, "wb") as own_stdout, open(stderr_path, "wb") as stderr:
            process = subprocess.Popen(command, env=self._prefix.env(locale), cwd=cwd, stdin=subprocess.DEVNULL,
                                       stdout=own_stdout if stdout is None else stdout, stderr=stderr)
            try:
                status = process.wait(timeout=self._timeout)
            except subprocess.TimeoutExpired:
                process.kill()
                process.wait()
                raise
        with open(stdout_path, "rb") as file:
            written = file.read()
        with open(stderr_path, "rb") as file:
            notices = file.read()
        os.remove(stdout_path)
        os.remove(stderr_path)
        return Outcome(written, status, self._listener.take(), notices)

    def _scratch_file(self, kind):
        return os.path.join(self._scratch, f"{kind}-{next(self._serial)}")
