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
from e2e_session import (ADMIN_SHARE, CODE_PAGE_PER_RUN, FILE_SIZE_LIMIT, FULL_DEVICE, LONG_PATHS, NEW_SESSION,
                         ORDINARY_USER, OTHER_WINDOWS_VERSION, SHORT_NAMES, SMALL_FILE_SYSTEM, E2ESession)
from fontctl_runner import FontctlRunner
from windows_host import WindowsHost, command_line, windows_path
from windows_ordinary_user import Unavailable, WindowsOrdinaryUser, account
from windows_registry import WindowsRegistry
from windows_small_volume import SmallVolume

# Windows 10 version 1809: the first to load fonts installed for one user.
PER_USER_FONTS_BUILD = 17763
# How often one file may have been added to the font table by the cases.
MOST_LOADS = 64
# Where Windows keeps the setting that lets programs that declare it reach
# paths beyond MAX_PATH (Python does).
FILE_SYSTEM_KEY = r"SYSTEM\CurrentControlSet\Control\FileSystem"
# A name that is no 8.3 name: NTFS gives such a file a short name when 8.3
# name creation is on for its volume.
SHORT_NAME_PROBE = "fontctl e2e short name probe.txt"
# GetDriveTypeW's answer for a fixed disk.
DRIVE_FIXED = 3


class WindowsSystem:
    """The few calls into Windows the session makes itself."""

    def __init__(self):
        import winreg  # noqa: PLC0415 - only Windows has it

        self.winreg = winreg
        self._kernel32 = ctypes.windll.kernel32
        self._gdi32 = ctypes.windll.gdi32
        self._gdi32.RemoveFontResourceW.argtypes = [ctypes.c_wchar_p]
        self._gdi32.AddFontResourceW.argtypes = [ctypes.c_wchar_p]
        self._kernel32.GetShortPathNameW.argtypes = [ctypes.c_wchar_p, ctypes.c_wchar_p, ctypes.c_uint32]
        self._kernel32.GetLogicalDriveStringsW.argtypes = [ctypes.c_uint32, ctypes.c_wchar_p]
        self._kernel32.GetDriveTypeW.argtypes = [ctypes.c_wchar_p]
        self.build = sys.getwindowsversion().build
        self.environ = os.environ
        self.popen = subprocess.Popen

    def ansi_code_page(self):
        return self._kernel32.GetACP()

    def oem_code_page(self):
        return self._kernel32.GetOEMCP()

    def short_path(self, path):
        """GetShortPathNameW's answer: the path with each entry that has a
        short name under that name, or None when it fails."""
        buffer = ctypes.create_unicode_buffer(32768)
        length = self._kernel32.GetShortPathNameW(path, buffer, len(buffer))
        return buffer.value if 0 < length < len(buffer) else None

    def fixed_drives(self):
        """The drives of the machine's fixed volumes ("C:", "D:"...), as
        GetLogicalDriveStringsW and GetDriveTypeW give them."""
        buffer = ctypes.create_unicode_buffer(1024)
        length = self._kernel32.GetLogicalDriveStringsW(len(buffer), buffer)
        roots = buffer[:length].split("\0") if 0 < length < len(buffer) else []
        return [root[:2] for root in roots if root and self._kernel32.GetDriveTypeW(root) == DRIVE_FIXED]

    @staticmethod
    def is_admin():
        """Whether the suite runs with an administrator's rights."""
        return bool(ctypes.windll.shell32.IsUserAnAdmin())

    def long_paths_enabled(self):
        try:
            with self.winreg.OpenKey(self.winreg.HKEY_LOCAL_MACHINE, FILE_SYSTEM_KEY) as key:
                return self.winreg.QueryValueEx(key, "LongPathsEnabled")[0] == 1
        except OSError:
            return False

    @staticmethod
    def is_dir(path):
        return os.path.isdir(path)

    def remove_font_resource(self, path):
        return self._gdi32.RemoveFontResourceW(path) != 0

    def add_font_resource(self, path):
        return self._gdi32.AddFontResourceW(path) > 0

    @staticmethod
    def create_junction(target, junction):
        import _winapi  # noqa: PLC0415 - only Windows has it

        _winapi.CreateJunction(target, junction)

    @staticmethod
    def is_mount_point(path):
        return os.path.ismount(path)

    @staticmethod
    def run(command, timeout=60):
        return subprocess.run(command, stdin=subprocess.DEVNULL, capture_output=True, timeout=timeout, check=False)

    @staticmethod
    def start(line):
        """Starts the command line, its standard handles closed."""
        return subprocess.Popen(line, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


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
            FILE_SIZE_LIMIT: "Windows has no limit on the size of the files one process writes",
            OTHER_WINDOWS_VERSION: "only Wine runs a program as on another Windows version",
        }
        self._host = None
        self._ordinary_user = None

    def _start(self, scratch):
        self._host = WindowsHost(self._code_page, self._system.environ, self._system.popen)
        self.runner = FontctlRunner(self._host, self.helper("e2e_launcher.exe"), scratch)
        self.registry = WindowsRegistry(self._system.winreg)
        self._lacking.update(self._what_this_windows_lacks())

    def _what_this_windows_lacks(self):
        """What the cases need that depends on how this Windows is set up,
        each tried once in the work folder: a new file's short name, the
        administrative share, long paths."""
        lacking = {}
        probe = os.path.join(self.work, SHORT_NAME_PROBE)
        with open(probe, "wb"):
            pass
        short = self._system.short_path(windows_path(probe))
        os.remove(probe)
        if short is None or PureWindowsPath(short).name == SHORT_NAME_PROBE:
            drive = PureWindowsPath(windows_path(self.work)).drive
            lacking[SHORT_NAMES] = (f"a new file on {drive} got no short name: 8.3 name creation is off there "
                                    f"(`fsutil 8dot3name set {drive} 0` turns it on for files made after it)")
        share = self.other_drive_path(self.work)
        if not self._system.is_dir(share):
            server = self._system.run(["sc", "query", "LanmanServer"])
            running = b"RUNNING" in server.stdout
            lacking[ADMIN_SHARE] = (f"{share} cannot be reached: the Server service (LanmanServer) "
                                    f"{'runs' if running else 'is not running'}, the suite runs "
                                    f"{'as' if self._system.is_admin() else 'without'} an administrator, and the "
                                    "administrative share needs both")
        try:
            account(self._system.environ)
        except Unavailable as error:
            lacking[ORDINARY_USER] = str(error)
        if not self._system.is_admin():
            lacking[SMALL_FILE_SYSTEM] = ("the suite runs without an administrator, and diskpart, which makes the "
                                          "cases' small volumes, needs one")
        if not self._system.long_paths_enabled():
            lacking[LONG_PATHS] = (f"long paths are not enabled (LongPathsEnabled under HKLM\\{FILE_SYSTEM_KEY}): "
                                   "Python cannot make the cases' own files beyond MAX_PATH")
        return lacking

    def _teardown_steps(self):
        return [
            self._ordinary_user and (lambda: self._remove_tree(self._ordinary_user.root)),
            self.work and (lambda: self._remove_tree(self.work)),
        ]

    def _code_pages(self):
        return {locale: codec for locale, codec in CODE_PAGES.items() if codec == f"cp{self._code_page}"}

    windows_path = staticmethod(windows_path)

    def restart_session(self):
        self.skip_unless(NEW_SESSION)

    def file_size_limit(self, size):
        self.skip_unless(FILE_SIZE_LIMIT)

    def discard_font_file(self, path, spellings=()):
        self._release_font(path, spellings)
        os.remove(path)

    def cmd_exe(self):
        environ = self._system.environ
        return environ.get("ComSpec") or windows_path(PureWindowsPath(environ["SystemRoot"], "System32", "cmd.exe"))

    def powershell_exe(self):
        return windows_path(PureWindowsPath(self._system.environ["SystemRoot"], "System32", "WindowsPowerShell",
                                            "v1.0", "powershell.exe"))

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
        """The WindowsOrdinaryUser of this run, its folder made on first use;
        skips the case, with the reason, when no user is named or its
        folder cannot be made."""
        if self._ordinary_user is None and self.lacks(ORDINARY_USER) is None:
            try:
                self._ordinary_user = WindowsOrdinaryUser(self._system, self._host, self.helper("e2e_launcher.exe"),
                                                          self.helper("run_as_user.exe"), self._system.environ)
            except Unavailable as error:
                self._lacking = {**self._lacking, ORDINARY_USER: str(error)}
        self.skip_unless(ORDINARY_USER)
        return self._ordinary_user

    def release_font(self, path):
        self._release_font(path)

    def load_font(self, path):
        return self._system.add_font_resource(windows_path(path))

    def small_file_system(self, mount, room):
        """A virtual disk of the case's own, mounted at the folder."""
        self.skip_unless(SMALL_FILE_SYSTEM)
        volume = SmallVolume(self._system, self._release_fonts_under, self.work, mount, room)
        return volume.make(), volume.remove

    def start_unwatched(self, program, args):
        return self._system.start(command_line([windows_path(program), *args]))

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

    def _release_font(self, path, spellings=()):
        # Each time a case added the file, the font table holds it once more,
        # under the spelling it was added by: whether Windows takes a font
        # out by another spelling of its path is not documented.
        for spelling in (windows_path(path), "\\\\?\\" + windows_path(path), *spellings):
            for _ in range(MOST_LOADS):
                if not self._system.remove_font_resource(spelling):
                    break

    def _release_fonts_under(self, folder):
        # Entries that cannot be listed (System Volume Information) hold no
        # font of the cases'.
        for parent, _dirs, files in os.walk(folder):
            for name in files:
                self._release_font(os.path.join(parent, name))

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
