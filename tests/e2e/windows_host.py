"""How programs start on the Windows the suite runs on: natively, with the
command line that Wine would make of the same arguments."""
import os
import subprocess
from pathlib import PureWindowsPath

import wine_start


def windows_path(path):
    """The path as Windows names it: backslashes only."""
    return str(PureWindowsPath(os.fspath(path)))


def command_line(arguments):
    """The command line of ARGUMENTS by the rules that the C runtime and
    CommandLineToArgvW split it by: each argument that holds a space or a
    tab, or is empty, in quotes, and a quote inside escaped with a backslash
    (and the backslashes before it doubled), as Wine quotes them."""
    return subprocess.list2cmdline([os.fspath(argument) for argument in arguments])


class WindowsHost:
    def __init__(self, code_page, environ=None, popen=subprocess.Popen):
        self.code_page = code_page  # the system's ANSI code page, as a number
        self._environ = dict(os.environ if environ is None else environ)
        self._popen = popen

    windows_path = staticmethod(windows_path)

    def env(self, _locale=None):
        """The suite's own environment, without the launcher's variables,
        which are set for each start. The locale is the system's: the
        session has already refused any other."""
        return {k: v for k, v in self._environ.items() if not k.upper().startswith("E2E_")}

    def start(self, arguments, env, cwd, stdout, timeout):
        """Runs the command to its end and returns its status and standard
        error as wine_start.Finished."""
        # A string is the command line itself, handed to CreateProcess.
        return wine_start.run_to_end(command_line(arguments), popen=self._popen, env=env, cwd=cwd,
                                     stdin=subprocess.DEVNULL, stdout=stdout, timeout=timeout)
