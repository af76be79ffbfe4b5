"""The suite's platform on Windows itself: the session the suite runs in,
its font table, registry, cmd and code page. Nothing is set up; what the
cases leave in the font table is taken out again at the end, so that their
files can be deleted."""
import ctypes
import os
import shutil
import stat
import subprocess
import sys
from pathlib import Path, PureWindowsPath

from code_pages import CODE_PAGES
from e2e_session import (CODE_PAGE_PER_RUN, FULL_DEVICE, NEW_SESSION, ORDINARY_USER, OTHER_WINDOWS_VERSION,
                         E2ESession)
from fontctl_runner import FontctlRunner
from windows_host import WindowsHost, windows_path
from windows_registry import WindowsRegistry

# Windows 10 version 1809: the first to load fonts installed for one user.
PER_USER_FONTS_BUILD = 17763
# How often one file may have been added to the font table by the cases.
MOST_LOADS = 64


class WindowsSystem:
    """The few calls into Windows the session makes itself."""

    def __init__(self):
        import winreg  # noqa: PLC0415 - only Windows has it

        self.winreg = winreg
        self._kernel32 = ctypes.windll.kernel32
        self._gdi32 = ctypes.windll.gdi32
        self._gdi32.RemoveFontResourceW.argtypes = [ctypes.c_wchar_p]
        self.build = sys.getwindowsversion().build
        self.environ = os.environ

    def ansi_code_page(self):
        return self._kernel32.GetACP()

    def remove_font_resource(self, path):
        return self._gdi32.RemoveFontResourceW(path) != 0

    @staticmethod
    def create_junction(target, junction):
        import _winapi  # noqa: PLC0415 - only Windows has it

        _winapi.CreateJunction(target, junction)

    @staticmethod
    def run(command):
        return subprocess.run(command, stdin=subprocess.DEVNULL, capture_output=True, timeout=60, check=False)


class WindowsSession(E2ESession):
    platform = "windows"

    def __init__(self, build_dir, program="fontctl.exe", system=None):
        super().__init__(build_dir, program)
        self._system = system or WindowsSystem()
        self._code_page = self._system.ansi_code_page()
        self._lacking = {
            NEW_SESSION: "Windows starts a session only at sign-in; Wine's ends when its server is stopped",
            CODE_PAGE_PER_RUN: f"Windows has the system's ANSI code page ({self._code_page}) for every run; "
                               "Wine takes it from the locale of each run",
            FULL_DEVICE: "Windows has no device like /dev/full",
            OTHER_WINDOWS_VERSION: "only Wine runs a program as on another Windows version",
            ORDINARY_USER: "the cases run as the one Windows user the suite runs as",
        }

    def _start(self, scratch):
        host = WindowsHost(self._code_page, self._system.environ)
        self.runner = FontctlRunner(host, self.helper("e2e_launcher.exe"), scratch)
        self.registry = WindowsRegistry(self._system.winreg)

    def _teardown_steps(self):
        return [self.work and (lambda: self._remove_tree(self.work))]

    def _code_pages(self):
        return {locale: codec for locale, codec in CODE_PAGES.items() if codec == f"cp{self._code_page}"}

    windows_path = staticmethod(windows_path)

    def restart_session(self):
        self.skip_unless(NEW_SESSION)

    def discard_font_file(self, path):
        self._release_font(path)
        os.remove(path)

    def cmd_exe(self):
        environ = self._system.environ
        return environ.get("ComSpec") or windows_path(PureWindowsPath(environ["SystemRoot"], "System32", "cmd.exe"))

    def makensis(self):
        """makensis on PATH, or where NSIS's installer puts it."""
        environ = self._system.environ
        candidates = [shutil.which("makensis", path=environ.get("PATH", ""))]
        candidates += [os.path.join(environ[folder], "NSIS", "makensis.exe")
                       for folder in ("ProgramFiles(x86)", "ProgramFiles") if environ.get(folder)]
        for candidate in candidates:
            if candidate and os.path.isfile(candidate):
                return candidate
        raise RuntimeError("makensis not found: install NSIS (for instance `choco install nsis`)")

    def profile(self):
        return Path(self._system.environ["USERPROFILE"])

    def profile_windows_path(self, *parts):
        return windows_path(PureWindowsPath(self._system.environ["USERPROFILE"], *parts))

    def program_search_env(self, folder):
        return {"PATH": windows_path(folder) + ";" + self._system.environ.get("PATH", "")}

    def fresh_local_app_data(self, folder):
        # The user's own font folder stays as it is: the run gets another.
        return folder, {"LOCALAPPDATA": windows_path(folder)}

    def new_drive(self, folder):
        # A subst drive lasts for the sign-in: removed again by the case.
        for letter in "MNOPQRSTUVWXY":
            drive = letter + ":"
            if not os.path.exists(drive + "\\"):
                break
        else:
            raise RuntimeError("no free drive letter")
        added = self._system.run(["subst", drive, windows_path(folder)])
        if added.returncode != 0:
            raise RuntimeError(f"subst {drive} failed: {added.stdout!r} {added.stderr!r}")
        return drive, lambda: self._system.run(["subst", drive, "/d"])

    def spare_drive_root(self, folder):
        # Not the system drive's root: a drive of the case's own.
        drive, remove = self.new_drive(folder)
        return Path(drive + "\\"), remove

    def ordinary_user(self):
        self.skip_unless(ORDINARY_USER)

    def link_folder(self, link, folder):
        # A junction: a symbolic link would need a right that users lack.
        self._system.create_junction(windows_path(folder), windows_path(link))

    @staticmethod
    def other_drive_path(folder):
        # The administrative share of the folder's drive.
        path = windows_path(folder)
        return f"\\\\localhost\\{path[0]}${path[2:]}"

    def temp_folder(self):
        return Path(self._system.environ["TEMP"])

    @staticmethod
    def nsis_runnable_options():
        # The example as it stands: a 32-bit installer.
        return []

    @staticmethod
    def nsis_for_windows_env(_folder):
        # This NSIS is NSIS for Windows.
        return None

    def windows_version_setting(self, program_name, version):
        if version != "win10":
            self.skip_unless(OTHER_WINDOWS_VERSION)
        if self._system.build < PER_USER_FONTS_BUILD:
            raise RuntimeError(f"this is Windows build {self._system.build}: the cases need {PER_USER_FONTS_BUILD}")
        return None

    def _release_font(self, path):
        # Each time a case added the file, the font table holds it once more.
        for _ in range(MOST_LOADS):
            if not self._system.remove_font_resource(windows_path(path)):
                break

    def _remove_tree(self, path):
        # Python 3.12 renamed the handler's argument.
        handler = "onexc" if sys.version_info >= (3, 12) else "onerror"
        shutil.rmtree(path, **{handler: self._release_and_retry})

    def _release_and_retry(self, function, failed_path, _error):
        # A font the cases left in the font table holds its file open, and a
        # read-only file cannot be deleted.
        os.chmod(failed_path, stat.S_IWRITE)
        if function is not os.rmdir:
            self._release_font(failed_path)
        function(failed_path)
