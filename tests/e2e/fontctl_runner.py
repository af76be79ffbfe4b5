"""Runs fontctl.exe and other Windows programs, under Wine or on Windows, and
gathers what a caller and the system see: standard output, exit status and
the font-change broadcasts.

Every program starts through the launcher (helpers/e2e_launcher.c), which
owns a hidden top-level window, starts the program, waits for it to end and
then reports its exit status and every WM_FONTCHANGE in its window's queue:
a broadcast is queued before the post returns, so all of the program's are
there by then."""
import dataclasses
import itertools
import os
import re

from code_pages import SINGLE_BYTE


@dataclasses.dataclass(frozen=True)
class Outcome:
    stdout: bytes
    status: int
    broadcasts: tuple  # (wParam, lParam) of each WM_FONTCHANGE
    stderr: bytes  # Wine's own notices land here; only kept for failure messages
    process_id: int = None  # the program's, where the launcher started it


class LauncherError(RuntimeError):
    """The launcher could not start the program or report on it: the test
    harness failed, the program gave no answer."""


def read_report(text, stderr=b""):
    """The exit status, the broadcasts and the process identifier (None when
    the report names none) in the launcher's report."""
    lines = text.split(b"\n")
    status = re.fullmatch(rb"status (\d+)", lines[0])
    if status is None or lines[-1] != b"":
        raise LauncherError(f"no report from the launcher: {text!r}; it said: {stderr.decode(errors='replace')}")
    process = re.fullmatch(rb"process (\d+)", lines[1]) if len(lines) > 2 else None
    broadcasts = []
    for line in lines[2 if process else 1:-1]:
        broadcast = re.fullmatch(rb"fontchange (\d+) (-?\d+)", line)
        if broadcast is None:
            raise LauncherError(f"unexpected line in the launcher's report: {line!r}")
        broadcasts.append((int(broadcast[1]), int(broadcast[2])))
    return int(status[1]), tuple(broadcasts), int(process[1]) if process else None


class FontctlRunner:
    """Starts programs through the launcher on a host: a WinePrefix, or the
    Windows the suite runs on. A host gives the environment of a run in a
    locale (env), the Windows form of a path (windows_path), and starts a
    Windows command to its end (start), returning its status and standard
    error."""

    def __init__(self, host, launcher_exe, scratch_dir, timeout=60, server=None):
        self._host = host
        self._launcher = launcher_exe
        self._scratch = scratch_dir
        self._timeout = timeout
        # A launch_server.LaunchServer of the host, which takes the runs it
        # serves exactly as a launcher of their own would.
        self._server = server
        self._serial = itertools.count(1)

    def run(self, program, args, cwd, locale=SINGLE_BYTE, stdout=None, env=None):
        """PROGRAM ARGS: the host quotes each argument into the command line
        (Wine in the ANSI code page of the locale), and the launcher hands the
        program that same line. stdout, when given, is the file or descriptor
        to write to instead of one we read back. env holds variables to set
        besides the host's. A failure of Wine's own to start a program raises
        wine_start.WineStartError."""
        if os.path.isabs(program):
            program = self._host.windows_path(program)
        return self._run([program, *args], {}, cwd, locale, stdout, env)

    def run_tool(self, program, args, cwd):
        """PROGRAM ARGS started by the host alone, without the launcher: for
        the system's own tools (reg, attrib), whose broadcasts no case counts.
        Under Wine that is one process start instead of two. The Outcome
        holds no broadcasts."""
        if os.path.isabs(program):
            program = self._host.windows_path(program)
        stdout_path = self._scratch_file("stdout")
        try:
            with open(stdout_path, "wb") as own_stdout:
                finished = self._host.start([program, *args], env=self._host.env(), cwd=cwd, stdout=own_stdout,
                                            timeout=self._timeout)
            with open(stdout_path, "rb") as file:
                written = file.read()
        finally:
            _remove(stdout_path)
        return Outcome(written, finished.status, (), finished.stderr)

    def launch(self, program, command_line, cwd, locale=SINGLE_BYTE, stdout="inherit", env=None):
        """Starts the program with exactly this command line: bytes in the
        ANSI code page of the locale, or a str, which reaches the program as
        these very characters. stdout "none" starts it without a standard
        output handle. env holds variables to set besides the host's."""
        line_file = self._scratch_file("command-line")
        unicode = isinstance(command_line, str)
        with open(line_file, "wb") as file:
            file.write(command_line.encode() if unicode else command_line)
        launcher_env = {"E2E_COMMAND_LINE": self._host.windows_path(line_file)}
        if unicode:
            launcher_env["E2E_COMMAND_LINE_UTF8"] = "1"
        if stdout == "none":
            launcher_env["E2E_STDOUT"] = "none"
        try:
            return self._run([self._host.windows_path(program)], launcher_env, cwd, locale, None, env)
        finally:
            os.remove(line_file)

    def _run(self, arguments, launcher_env, cwd, locale, stdout, env=None):
        # Files rather than pipes: a reader of a pipe would wait for every
        # process that inherited it, we only wait for the one we started.
        stdout_path = self._scratch_file("stdout")
        report_path = self._scratch_file("report")
        served = self._server is not None and self._server.serves(arguments, cwd, locale, env, stdout, launcher_env)
        env = {**self._host.env(locale), **(env or {}), **launcher_env,
               "E2E_REPORT": self._host.windows_path(report_path)}
        try:
            with open(stdout_path, "wb") as own_stdout:
                finished = None
                if served:
                    finished = self._server.run(arguments, cwd, stdout_path, report_path, launcher_env)
                if finished is None:
                    finished = self._host.start([self._launcher, *arguments], env=env, cwd=cwd,
                                                stdout=own_stdout if stdout is None else stdout,
                                                timeout=self._timeout)
            with open(stdout_path, "rb") as file:
                written = file.read()
            try:
                with open(report_path, "rb") as file:
                    report = file.read()
            except FileNotFoundError:
                report = b""
        finally:
            _remove(stdout_path)
            _remove(report_path)
        status, broadcasts, process_id = read_report(report, finished.stderr)
        return Outcome(written, status, broadcasts, finished.stderr, process_id)

    def _scratch_file(self, kind):
        return os.path.join(self._scratch, f"{kind}-{next(self._serial)}")


def _remove(path):
    try:
        os.remove(path)
    except FileNotFoundError:
        pass
