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
import threading

import wine_start
from code_pages import SINGLE_BYTE
from serving_process import ServingProcess, ServingProcessError

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
        # A request that the launcher did not answer may have started its
        # program: it is never made again.
        self._process = ServingProcess("the serving launcher", prefix.command(["wine", launcher_exe]),
                                       dict(prefix.env(SINGLE_BYTE), E2E_SERVE="1"), None, log_path)
        self._lock = threading.Lock()

    def stop(self):
        """Ends the launcher, if it runs."""
        self._process.stop()

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

    def run(self, arguments, cwd, stdout_path, report_path, launcher_env=None):
        """Runs ARGUMENTS, writing its standard output to STDOUT_PATH and the
        launcher's report to REPORT_PATH, as a launcher with the variables
        LAUNCHER_ENV would: its Finished (status 0; the status is the
        report's), or None when another run is being served."""
        if not self._lock.acquire(blocking=False):
            return None
        try:
            return self._serve(arguments, cwd, stdout_path, report_path, launcher_env or {})
        finally:
            self._lock.release()

    def _serve(self, arguments, cwd, stdout_path, report_path, launcher_env):
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
            answer = self._process.exchange(request.encode(), arguments)
            with open(stderr_path, "rb") as file:
                said = file.read()
        finally:
            os.remove(stderr_path)
        if answer != b"done":
            raise ServingProcessError(f"the serving launcher answered {answer!r}")
        wine_start.check_wine(["wine", *arguments], said)
        return wine_start.Finished(0, said)
