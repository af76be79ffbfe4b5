"""The launcher kept running for a whole Wine session (e2e_launcher.exe with
E2E_SERVE set): it starts each program it is asked to, as a launcher of its
own would, and so saves a Wine start on every run.

It serves only a run that it gives exactly what a launcher of its own would
have given: the session's environment and locale, the run's files as
standard handles, the current folder under the name Wine gives it, and the
command line that Wine builds from the arguments. A run it cannot give that
to (other variables or locale, a limit on file sizes, arguments whose
quoting it does not reproduce, a folder on another drive, one while another
run is served) goes to a launcher of its own."""
import os
import select
import subprocess
import threading

import wine_start
from code_pages import SINGLE_BYTE

# The longest request line the launcher reads (its buffer, less room).
_LONGEST_REQUEST = 60_000
# The launcher's own variables of a run that a request can carry instead.
_LAUNCHER_VARIABLES = ("E2E_COMMAND_LINE", "E2E_COMMAND_LINE_UTF8", "E2E_STDOUT")


def wine_command_line(arguments):
    """The command line that `wine ARGUMENTS` gives a program, after its own
    name, for arguments that plain() accepts: one with a blank, or none at
    all, in quotes, its trailing backslashes doubled."""
    quoted = []
    for argument in arguments:
        if argument and " " not in argument:
            quoted.append(argument)
        else:
            trailing = len(argument) - len(argument.rstrip("\\"))
            quoted.append('"' + argument + "\\" * trailing + '"')
    return " ".join(quoted)


def plain(argument):
    """Whether wine_command_line() quotes the argument as Wine does: printable
    ASCII, no quotation mark."""
    return all(" " <= character <= "~" for character in argument) and '"' not in argument


class LaunchServer:
    """The session's serving launcher in PREFIX (a WinePrefix), started on
    first use and again after the session's server ended."""

    def __init__(self, prefix, launcher_exe, log_path):
        self._prefix = prefix
        self._launcher = launcher_exe
        self._log_path = log_path
        self._process = None
        self._lock = threading.Lock()

    def serves(self, arguments, cwd, locale, env, stdout, launcher_env=None):
        """Whether a run of ARGUMENTS (the program first) would be served as
        a launcher of its own would run it, given LAUNCHER_ENV, the
        launcher's own variables of the run (a command line from a file,
        no standard output)."""
        return (locale == SINGLE_BYTE and not env and stdout is None and self._prefix.file_size_limit is None
                and set(launcher_env or {}) <= set(_LAUNCHER_VARIABLES)
                and all(plain(argument) for argument in arguments) and self.folder(cwd) is not None)

    def folder(self, cwd):
        """The name Wine gives the folder CWD as a current folder: drive Z:
        (the root) and its real path; None when another drive of the prefix
        holds it, whose name would be another."""
        real = os.path.realpath(cwd)
        dosdevices = os.path.join(self._prefix.path, "dosdevices")
        for drive in os.listdir(dosdevices):
            if drive.lower() == "z:" or not drive.endswith(":"):
                continue
            root = os.path.realpath(os.path.join(dosdevices, drive))
            if real == root or real.startswith(root.rstrip("/") + "/"):
                return None
        return self._prefix.windows_path(real)

    def run(self, arguments, cwd, stdout_path, report_path, timeout, launcher_env=None):
        """Runs ARGUMENTS, writing its standard output to STDOUT_PATH and the
        launcher's report to REPORT_PATH, as a launcher with the variables
        LAUNCHER_ENV would: its Finished (status 0; the status is the
        report's), or None when another run is being served."""
        if not self._lock.acquire(blocking=False):
            return None
        try:
            return self._serve(arguments, cwd, stdout_path, report_path, timeout, launcher_env or {})
        finally:
            self._lock.release()

    def _serve(self, arguments, cwd, stdout_path, report_path, timeout, launcher_env):
        if self._process is None or self._process.poll() is not None:
            self._start()
        stderr_path = report_path + ".stderr"
        open(stderr_path, "wb").close()
        if launcher_env.get("E2E_STDOUT") == "none":
            stdout_path = None
        fields = [self._prefix.windows_path(path) if path else "-"
                  for path in (report_path, os.devnull, stdout_path, stderr_path)]
        line_file = launcher_env.get("E2E_COMMAND_LINE")
        if line_file is None:
            command = ["-", "-", wine_command_line(arguments)]
        else:
            command = [line_file, "1" if "E2E_COMMAND_LINE_UTF8" in launcher_env else "0", arguments[0]]
        request = "\t".join([*fields, self.folder(cwd), *command]) + "\n"
        if len(request.encode()) > _LONGEST_REQUEST or "\n" in request[:-1]:
            raise ValueError(f"a request the launcher cannot read: {request[:200]!r}...")
        try:
            os.write(self._process.stdin.fileno(), request.encode())
            self._await_done(timeout)
            with open(stderr_path, "rb") as file:
                said = file.read()
        finally:
            os.remove(stderr_path)
        wine_start.check_wine(["wine", *arguments], said)
        return wine_start.Finished(0, said)

    def _await_done(self, timeout):
        answer = b""
        reader = self._process.stdout.fileno()
        while not answer.endswith(b"\n"):
            ready, _, _ = select.select([reader], [], [], timeout)
            if not ready:
                self.stop()
                raise subprocess.TimeoutExpired("the serving launcher", timeout)
            chunk = os.read(reader, 64)
            if not chunk:
                said = self._said()
                self.stop()
                wine_start.check_wine(["wine", self._launcher], said)
                raise RuntimeError(f"the serving launcher ended; it said: {said.decode(errors='replace')}")
            answer += chunk
        if answer != b"done\n":
            raise RuntimeError(f"the serving launcher answered {answer!r}")

    def _said(self):
        try:
            with open(self._log_path, "rb") as log:
                return log.read()
        except FileNotFoundError:
            return b""

    def _start(self):
        self.stop()
        env = wine_start.wine_environment(dict(self._prefix.env(SINGLE_BYTE), E2E_SERVE="1"))
        with open(self._log_path, "ab") as log:
            self._process = subprocess.Popen(self._prefix.command(["wine", self._launcher]), env=env,
                                             stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=log)

    def stop(self):
        """Ends the launcher, if it runs: at the end of its input."""
        process, self._process = self._process, None
        if process is None:
            return
        process.stdin.close()
        try:
            process.wait(timeout=10)
        except subprocess.TimeoutExpired:
            process.kill()
            process.wait()
        process.stdout.close()
