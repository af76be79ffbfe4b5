"""What one run of the suite sets up once and always takes down, whatever the
platform: a work folder, the programs under test and their helpers, and a
runner that starts them. The platform itself (a Wine prefix under Xvfb, or
the Windows the suite runs on) is a subclass: wine_session.WineSession or
windows_session.WindowsSession. The cases reach the platform only through
the methods below."""
import os
import tempfile
import unittest

# What a case may need that a platform may lack: lacks() names the reason.
NEW_SESSION = "a new session within the run"
CODE_PAGE_PER_RUN = "another ANSI code page for one run"
FULL_DEVICE = "a device that is always full"
OTHER_WINDOWS_VERSION = "a program run as on another Windows version"
ORDINARY_USER = "programs run as an ordinary user, whose rights the cases take away"
SHORT_NAMES = "8.3 short names for the files the cases make"
ADMIN_SHARE = "another drive that reaches the cases' folders (Wine's Z:, Windows' \\\\localhost\\C$)"
LONG_PATHS = "folders and files beyond MAX_PATH made by the suite itself"
FILE_SIZE_LIMIT = "a limit on the size of each file that the programs of a run write"
SMALL_FILE_SYSTEM = "a small file system of the cases' own, which a copy can fill"
POWERSHELL = "Windows PowerShell (powershell.exe)"

# The names by which a run requires what the platform gives (run_e2e.py
# --require): a required one that is missing fails the run, and each case
# that needs it, with the reason, rather than skipping them.
PRECONDITIONS = {
    "NEW_SESSION": NEW_SESSION,
    "CODE_PAGE_PER_RUN": CODE_PAGE_PER_RUN,
    "FULL_DEVICE": FULL_DEVICE,
    "OTHER_WINDOWS_VERSION": OTHER_WINDOWS_VERSION,
    "ORDINARY_USER": ORDINARY_USER,
    "SHORT_NAMES": SHORT_NAMES,
    "ADMIN_SHARE": ADMIN_SHARE,
    "LONG_PATHS": LONG_PATHS,
    "FILE_SIZE_LIMIT": FILE_SIZE_LIMIT,
    "SMALL_FILE_SYSTEM": SMALL_FILE_SYSTEM,
    "POWERSHELL": POWERSHELL,
}


class RequiredButMissing(AssertionError):
    """What the run requires is missing: a failure of the case that needs it,
    never a skip."""


class E2ESession:
    platform = None  # "wine" or "windows": which of a case's answers holds

    def __init__(self, build_dir, program="fontctl.exe"):
        build_dir = os.path.abspath(build_dir)
        # The program that the cases run as fontctl.exe.
        self.fontctl_exe = os.path.join(build_dir, program)
        self.fontctl_utf8_exe = os.path.join(build_dir, "fontctl-utf8.exe")
        self._helpers_dir = os.path.join(build_dir, "tests", "e2e", "helpers")
        self.work = None
        self.cases_dir = None
        self.runner = None
        self.registry = None  # read_value, write_value, delete_value under HKEY_CURRENT_USER
        self.required = frozenset()  # what the run requires (constants above)

    def __enter__(self):
        try:
            self.work = os.path.realpath(tempfile.mkdtemp(prefix="fontctl-e2e-"))
            self.cases_dir = os.path.join(self.work, "cases")
            scratch = os.path.join(self.work, "scratch")
            os.makedirs(self.cases_dir)
            os.makedirs(scratch)
            self._start(scratch)
        except BaseException:
            self.__exit__(None, None, None)
            raise
        return self

    def __exit__(self, *exc_info):
        # Each step runs even when an earlier one failed.
        for step in self._teardown_steps():
            if step:
                try:
                    step()
                except Exception as error:  # noqa: BLE001 - report and go on tearing down
                    print(f"teardown: {error}")
        return False

    def helper(self, name):
        """A helper program of the suite, by its file name."""
        return os.path.join(self._helpers_dir, name)

    def lacks(self, need):
        """Why this platform cannot give what a case needs (one of the
        constants above), or None when it can."""
        return self._lacking.get(need)

    def skip_unless(self, need):
        """Skips the case, or the sub-case, with the reason printed, when the
        platform cannot give what it needs."""
        reason = self.lacks(need)
        if reason is not None:
            self.skip(need, reason)

    def skip(self, need, reason, detail=""):
        """Skips the case, or the sub-case, for NEED with the reason; fails it
        instead when the run requires NEED. DETAIL says what the case asked
        for, before the reason."""
        what = f"{need}{detail}: {reason}"
        if need in self.required:
            raise RequiredButMissing(f"the run requires {what}")
        raise unittest.SkipTest(f"needs {what}")

    def missing_requirements(self):
        """{need: why it is missing} of what the run requires and the platform
        knows already that it lacks; what is found only on first use fails
        the case that uses it."""
        return {need: self.lacks(need) for need in sorted(self.required) if self.lacks(need) is not None}

    def code_page(self, locale):
        """The codec of the ANSI code page that a run in the locale has; skips
        the case when the platform cannot run in it."""
        codec = self._code_pages().get(locale)
        if codec is None:
            self.skip(CODE_PAGE_PER_RUN, self.lacks(CODE_PAGE_PER_RUN), f" ({locale})")
        return codec

    # What each platform says: -------------------------------------------

    _lacking = {}

    def _start(self, scratch):
        """Starts the platform and sets runner and registry."""
        raise NotImplementedError

    def _teardown_steps(self):
        raise NotImplementedError

    def _code_pages(self):
        """{locale: codec} of the locales a run can have."""
        raise NotImplementedError

    def windows_path(self, path):
        """The path as Windows programs on the platform name it."""
        raise NotImplementedError

    def restart_session(self):
        """Ends the session, as at sign-out, and starts a new one: what the
        font table held is gone, what is on disk stays."""
        raise NotImplementedError

    def discard_font_file(self, path, spellings=()):
        """Deletes a file, taking it out of the font table first where the
        platform holds a loaded font's file open: by its path, its \\\\?\\
        form and each of SPELLINGS."""
        raise NotImplementedError

    def load_font(self, path):
        """Adds the file to the session's font table, as an install leaves
        it: whether the font table took a font from it. Windows only."""
        raise NotImplementedError

    def release_font(self, path):
        """Takes the file out of the font table, as often as it was added, and
        leaves it where it is: a platform that holds a loaded font's file
        open lets go of it."""
        raise NotImplementedError

    def cmd_exe(self):
        """The path of the platform's cmd.exe."""
        raise NotImplementedError

    def makensis(self):
        """The command that builds an NSIS installer."""
        raise NotImplementedError

    def powershell_exe(self):
        """The path of Windows PowerShell; skips the case where there is
        none."""
        raise NotImplementedError

    def profile(self):
        """The current user's profile folder, as a path of this machine."""
        raise NotImplementedError

    def profile_windows_path(self, *parts):
        """A path under the user profile as Windows names it."""
        raise NotImplementedError

    def program_search_env(self, folder):
        """The variables that put FOLDER first where a program run by name
        is looked for."""
        raise NotImplementedError

    def fresh_local_app_data(self, folder):
        """A LOCALAPPDATA folder without a font folder in it: (its path, the
        variables a run needs to use it). FOLDER is the case's own, for a
        platform that can point LOCALAPPDATA at it."""
        raise NotImplementedError

    def new_drive(self, folder):
        """A drive letter whose root is FOLDER: (the drive, a function that
        removes it again)."""
        raise NotImplementedError

    def spare_drive_root(self, folder):
        """The root of a drive that a case may write at, as a path of this
        machine: (the root, a function that gives the drive up again).
        FOLDER is the case's own, for a platform that can make it a drive."""
        raise NotImplementedError

    def ordinary_user(self):
        """Programs run as an ordinary user (ordinary_user.OrdinaryUser)."""
        raise NotImplementedError

    def small_file_system(self, mount, room):
        """A file system of the case's own with at least ROOM bytes free,
        small enough for a copy to fill, mounted at the empty folder MOUNT:
        (an empty folder on it, a function that takes it down again). Skips
        the case, with the reason, where the platform cannot make one."""
        raise NotImplementedError

    def start_unwatched(self, program, args):
        """Starts PROGRAM ARGS without the launcher, its standard handles
        closed, as a subprocess.Popen whose kill() ends the program's own
        process at once (SIGKILL to Wine's process, TerminateProcess on
        Windows)."""
        raise NotImplementedError

    def link_folder(self, link, folder):
        """Makes LINK a link to the folder FOLDER that Windows programs
        follow."""
        raise NotImplementedError

    def other_drive_path(self, folder):
        """The name of a folder of drive C: under another drive that reaches
        it."""
        raise NotImplementedError

    def temp_folder(self):
        """The folder that TEMP names for the programs the cases run."""
        raise NotImplementedError

    def nsis_runnable_options(self):
        """makensis options that build the NSIS example so that the platform
        runs it."""
        raise NotImplementedError

    def nsis_for_windows_env(self, folder):
        """The environment in which makensis builds as NSIS for Windows does,
        with x86 stubs and plug-ins alone (None: makensis's own); FOLDER is
        the case's, for a copy of NSIS."""
        raise NotImplementedError

    def file_size_limit(self, size):
        """A context within which every program the runner starts writes no
        file beyond SIZE bytes: a write past it fails, as on a full disk,
        and the program goes on."""
        raise NotImplementedError

    def windows_version_setting(self, program_name, version):
        """(key, name, kind, data) of the registry value under HKCU that makes
        the program of that file name run as on VERSION ("win10", "win7"...),
        or None when it runs so anyway; skips when the platform cannot."""
        raise NotImplementedError
