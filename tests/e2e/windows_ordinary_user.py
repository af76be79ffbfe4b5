"""Programs started as an ordinary user on Windows, for the cases about
permissions: the suite runs as an administrator, whom the cases' ACLs would
not stop. The user is a standard local account that the machine already has
(the CI job makes one, with a random password), named in FONTCTL_E2E_USER
with its password in FONTCTL_E2E_PASSWORD.

Programs start through run_as_user.exe (CreateProcessWithLogonW), the
launcher included: the launcher's window then belongs to the user, as the
program's broadcasts do, and Windows delivers a broadcast to the windows of
its own integrity level and below only.

Everything the user reaches lies in a folder of its own at the root of the
system drive, where every user may list the folders on the way: the suite's
work folder lies in the administrator's profile, which users may not enter.
That folder's ACL is its own (inheriting nothing): administrators and
SYSTEM may do everything, the user may read and run. The cases' folders in
it are given to the user (own) one by one, and the rights that the cases
take away are deny entries for the user alone (icacls)."""
import os
import subprocess
import tempfile
from pathlib import PureWindowsPath

from fontctl_runner import FontctlRunner
from windows_host import windows_path

USER_VARIABLE = "FONTCTL_E2E_USER"
PASSWORD_VARIABLE = "FONTCTL_E2E_PASSWORD"
# Well-known SIDs: BUILTIN\Administrators, SYSTEM.
ADMINISTRATORS = "*S-1-5-32-544"
SYSTEM = "*S-1-5-18"


class Unavailable(RuntimeError):
    """No ordinary user to run programs as; the message says why."""


def account(environ):
    """(name, password) of the user that the environment names; raises
    Unavailable when it names none."""
    name, password = environ.get(USER_VARIABLE), environ.get(PASSWORD_VARIABLE)
    if not name or not password:
        raise Unavailable(f"no ordinary user is named: set {USER_VARIABLE} and {PASSWORD_VARIABLE} to a standard "
                          "local account and its password (the CI job makes one)")
    return name, password


class UserHost:
    """A WindowsHost whose programs start as the user, through
    run_as_user.exe."""

    def __init__(self, host, run_as_user_exe, name, password, temp):
        self._host = host
        self._run_as_user = run_as_user_exe
        self._credentials = {"E2E_RUN_AS_USER": name, "E2E_RUN_AS_PASSWORD": password}
        self._temp = temp
        self.windows_path = host.windows_path

    def env(self, locale=None):
        # TEMP is the administrator's, which the user may not write; the
        # password reaches run_as_user.exe alone.
        env = {name: value for name, value in self._host.env(locale).items() if name.upper() != PASSWORD_VARIABLE}
        return {**env, "TEMP": self._temp, "TMP": self._temp}

    def start(self, arguments, env, cwd, stdout, timeout):
        return self._host.start([self._run_as_user, *arguments], {**env, **self._credentials}, cwd, stdout, timeout)


class WindowsOrdinaryUser:
    """The user's folder (root) with the copies of the programs it runs and
    its own folders (scratch, and files, where the cases make theirs).
    SYSTEM runs commands (run); HOST starts programs on this Windows."""

    def __init__(self, system, host, launcher_exe, run_as_user_exe, environ):
        self.name, password = account(environ)
        self._system = system
        self.root = tempfile.mkdtemp(prefix="fontctl-e2e-user-", dir=environ.get("SystemDrive", "C:") + os.sep)
        self._icacls(self.root, "/inheritance:r", "/grant:r", f"{ADMINISTRATORS}:(OI)(CI)F",
                     f"{SYSTEM}:(OI)(CI)F", f"{self.name}:(OI)(CI)RX")
        self._owned = set()
        self._programs = {}
        scratch, self.files = (os.path.join(self.root, name) for name in ("scratch", "files"))
        for folder in (os.path.join(self.root, "programs"), scratch, self.files):
            os.mkdir(folder)
        for folder in (scratch, self.files):
            self.own(folder)
        user_host = UserHost(host, run_as_user_exe, self.name, password, windows_path(scratch))
        self._runner = FontctlRunner(user_host, self.program(launcher_exe), scratch)

    def own(self, path):
        """Gives the user every right to the file or folder, and to what a
        folder will hold: nothing to do under a folder it was given."""
        path = os.path.abspath(path)
        if any(PureWindowsPath(path).is_relative_to(owned) for owned in self._owned):
            return
        inherited = "(OI)(CI)" if os.path.isdir(path) else ""
        self._icacls(path, "/grant", f"{self.name}:{inherited}F")
        self._owned.add(path)

    def deny_listing(self, folder):
        """The user may open, create and delete the folder's entries by name,
        and may not list them."""
        self.own(folder)
        self._icacls(folder, "/deny", f"{self.name}:(RD)")

    def allow_listing(self, folder):
        self.own(folder)
        self._icacls(folder, "/remove:d", self.name)

    def deny_reading(self, path):
        """The user may not read the file's data."""
        self._icacls(path, "/deny", f"{self.name}:(RD)")

    def deny_creating(self, folder):
        """The user may not create files or folders in the folder, and may
        list it and write what is there."""
        self.own(folder)
        self._icacls(folder, "/deny", f"{self.name}:(WD,AD)")

    def run(self, program, args, cwd=None):
        """Runs PROGRAM ARGS as the user, through the launcher, in the
        user's folder of files unless told another; a program given by its
        path runs from a copy that the user reaches."""
        if os.path.isabs(program):
            program = self.program(program)
        return self._runner.run(program, args, cwd or self.files)

    def program(self, path):
        """The user's copy of the program at PATH, made on first use."""
        copy = self._programs.get(path)
        if copy is None:
            name = os.path.basename(path)
            if any(os.path.basename(other) == name for other in self._programs.values()):
                raise ValueError(f"two programs named {name} to run as the user: {path} and another")
            copy = self._programs[path] = os.path.join(self.root, "programs", name)
            with open(path, "rb") as source, open(copy, "wb") as target:
                target.write(source.read())
        return copy

    def _icacls(self, path, *arguments):
        completed = self._system.run(["icacls", windows_path(path), *arguments])
        if completed.returncode != 0:
            said = " / ".join(line.strip() for line in (completed.stdout + completed.stderr).decode(
                "cp437", "replace").splitlines() if line.strip())
            raise RuntimeError(f"icacls {windows_path(path)} {' '.join(arguments)} failed: {said}")
