"""The suite's platform under Wine: an X server, a Wine prefix with a warm
server and the Japanese locale, all of the run's own."""
import contextlib
import getpass
import os
import shutil
import stat
import subprocess
from pathlib import Path, PureWindowsPath

from code_pages import CODE_PAGES, SINGLE_BYTE
from e2e_session import ORDINARY_USER, POWERSHELL, SMALL_FILE_SYSTEM, E2ESession
from fontctl_runner import FontctlRunner
from japanese_locale import build_japanese_locale
from launch_server import LaunchServer
from ordinary_user import OrdinaryUser, Unavailable
from prefix_templates import PrefixTemplates, templates_folder
from registry_agent import RegistryAgent
from wine_prefix import WinePrefix, windows_path
from wine_registry import WineRegistry
from x_server import XServer

# Where Wine takes a program's Windows version from, by the program's file name.
APP_DEFAULTS_KEY = r"Software\Wine\AppDefaults"
# Debian's NSIS, which has the amd64 stubs and plug-ins that NSIS for Windows
# lacks.
DEBIAN_NSIS = "/usr/share/nsis"


class WineSession(E2ESession):
    platform = "wine"
    _lacking = {POWERSHELL: "Wine ships no Windows PowerShell"}

    def __init__(self, build_dir, program="fontctl.exe"):
        super().__init__(build_dir, program)
        self._templates = PrefixTemplates(templates_folder(build_dir))
        self.prefix = None
        self._x_server = None
        self._locale_dir = None
        self._ordinary_user = None
        self._launch_server = None
        self._registry_agent = None
        self._temp_folder = None

    def _start(self, scratch):
        self._locale_dir = os.path.join(self.work, "locales")
        build_japanese_locale(self._locale_dir)
        self._x_server = XServer(os.path.join(self.work, "xvfb.log"))
        self.prefix = WinePrefix(os.path.join(self.work, "prefix"), self._x_server.display, self._locale_dir)
        self.prefix.create(os.path.join(self.work, "wine.log"), self._templates)
        launcher = self.helper("e2e_launcher.exe")
        self._launch_server = LaunchServer(self.prefix, launcher, os.path.join(self.work, "launch-server.log"))
        self.runner = FontctlRunner(self.prefix, launcher, scratch, server=self._launch_server)
        self._registry_agent = RegistryAgent(self.prefix.command(["wine", self.helper("registry_agent.exe")]),
                                             self.prefix.env(), self.work,
                                             os.path.join(self.work, "registry-agent.log"))
        self.registry = WineRegistry(lambda *args: self.runner.run_tool("reg", args, self.work),
                                     self._registry_agent)

    def _teardown_steps(self):
        return [
            self._launch_server and self._launch_server.stop,
            self._registry_agent and self._registry_agent.stop,
            self.prefix and self.prefix.stop,
            self._ordinary_user and self._ordinary_user.stop,
            self._ordinary_user and (lambda: _remove_tree(self._ordinary_user.root)),
            self._x_server and self._x_server.stop,
            self.work and (lambda: _remove_tree(self.work)),
        ]

    def _code_pages(self):
        return CODE_PAGES

    @staticmethod
    def windows_path(path):
        return windows_path(path)

    def restart_session(self):
        """Ends every Wine process of the prefix and its server, and starts a
        warm server again: what one run left in memory is gone, what it left
        in the prefix stays."""
        # The serving launcher and the registry agent, processes of the
        # session too, start again on their next request.
        self._launch_server.stop()
        self._registry_agent.stop()
        self.prefix.stop()
        self.prefix.warm(os.path.join(self.work, "wine.log"))

    def ordinary_user(self):
        """The OrdinaryUser of this run, with its Wine prefix and server
        started on first use; skips the case, with the reason, when the user
        cannot be given what it needs."""
        if self._ordinary_user is None and self.lacks(ORDINARY_USER) is None:
            try:
                self._ordinary_user = OrdinaryUser(self._x_server.display, self._locale_dir,
                                                   self.helper("e2e_launcher.exe"),
                                                   os.path.join(self.work, "wine-ordinary-user.log"),
                                                   templates=self._templates)
            except Unavailable as error:
                self._lacking = {**self._lacking, ORDINARY_USER: str(error)}
            else:
                self._ordinary_user.start()
        self.skip_unless(ORDINARY_USER)
        return self._ordinary_user

    def small_file_system(self, mount, room):
        """A tmpfs of ROOM bytes: its root is the folder. A container without
        the right to mount (as the Debian job of the CI workflow) cannot."""
        mounted = subprocess.run(["mount", "-t", "tmpfs", "-o", f"size={room}", "tmpfs", os.fspath(mount)],
                                 capture_output=True, check=False)
        if mounted.returncode != 0:
            said = " ".join((mounted.stdout + mounted.stderr).decode(errors="replace").split())
            self.skip(SMALL_FILE_SYSTEM, f"mount failed here ({said})")
        return mount, lambda: subprocess.run(["umount", os.fspath(mount)], check=True)

    def start_unwatched(self, program, args):
        return subprocess.Popen(self.prefix.command(["wine", program, *args]), env=self.prefix.env(SINGLE_BYTE),
                                stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    @staticmethod
    def release_font(_path):
        # Wine holds no font file open.
        pass

    @staticmethod
    def discard_font_file(path, _spellings=()):
        # Wine holds no font file open.
        os.remove(path)

    def cmd_exe(self):
        return os.path.join(self.prefix.path, "drive_c", "windows", "system32", "cmd.exe")

    def powershell_exe(self):
        self.skip_unless(POWERSHELL)

    @staticmethod
    def makensis():
        return "makensis"

    def profile(self):
        return Path(self.prefix.path, "drive_c", "users", getpass.getuser())

    @staticmethod
    def profile_windows_path(*parts):
        return str(PureWindowsPath("C:\\users", getpass.getuser(), *parts))

    def program_search_env(self, folder):
        # Wine's PATH comes from the prefix's registry; WINEPATH goes first.
        return {"WINEPATH": self.windows_path(folder)}

    def fresh_local_app_data(self, folder):
        # Wine takes LOCALAPPDATA from the prefix, never from the Unix side:
        # empty the prefix's own, which the run throws away.
        local = self.profile() / "AppData" / "Local"
        shutil.rmtree(local / "Microsoft" / "Windows" / "Fonts", ignore_errors=True)
        return local, {}

    def new_drive(self, folder):
        dosdevices = Path(self.prefix.path, "dosdevices")
        letter = next(letter for letter in "mnopqrstuvwxy" if not os.path.lexists(dosdevices / f"{letter}:"))
        os.symlink(folder, dosdevices / f"{letter}:")
        return letter.upper() + ":", lambda: os.unlink(dosdevices / f"{letter}:")

    def spare_drive_root(self, _folder):
        # The prefix's drive C:, a folder of the run's own; the sandbox is on
        # drive Z:, whose root is the machine's.
        return Path(self.prefix.path, "drive_c"), lambda: None

    @staticmethod
    def link_folder(link, folder):
        os.symlink(folder, link)

    @staticmethod
    def other_drive_path(folder):
        # The prefix's drive C: is a folder of the Unix tree, which is Z:.
        return windows_path(folder)

    def temp_folder(self):
        # Wine sets TEMP from the prefix, whatever the Unix side says: the
        # profile's Temp in Wine 8, its AppData\Local\Temp in Wine 10. cmd
        # tells which, once: the prefix keeps it, across its sessions too.
        if self._temp_folder is None:
            self._temp_folder = self._ask_temp_folder()
        return self._temp_folder

    def _ask_temp_folder(self):
        # It is on the prefix's drive C:.
        outcome = self.runner.run_tool("cmd", ["/c", "echo", "%TEMP%"], self.work)
        temp = PureWindowsPath(outcome.stdout.decode().strip())
        if outcome.status != 0 or temp.drive.upper() != "C:":
            raise RuntimeError(f"TEMP is not on the prefix's drive C:: {outcome}")
        return Path(self.prefix.path, "drive_c", *temp.parts[1:])

    @staticmethod
    def nsis_runnable_options():
        # 64-bit: this machine's kernel runs no 32-bit x86 program.
        return ["-XTarget amd64-unicode"]

    @staticmethod
    def nsis_for_windows_env(folder):
        shutil.copytree(DEBIAN_NSIS, folder, symlinks=True,
                        ignore=lambda _, names: [name for name in names if "amd64" in name])
        return dict(os.environ, NSISDIR=os.fspath(folder))

    @contextlib.contextmanager
    def file_size_limit(self, size):
        self.prefix.file_size_limit = size
        try:
            yield
        finally:
            self.prefix.file_size_limit = None

    @staticmethod
    def windows_version_setting(program_name, version):
        # A new prefix of Wine 8 says it is Windows 7.
        return APP_DEFAULTS_KEY + "\\" + program_name, "Version", "REG_SZ", version


def _remove_tree(path):
    # Cases make files and folders read-only; removal needs them writable.
    def make_writable_and_retry(function, failed_path, _):
        os.chmod(os.path.dirname(failed_path), stat.S_IRWXU)
        if os.path.lexists(failed_path) and not os.path.islink(failed_path):
            os.chmod(failed_path, stat.S_IRWXU)
        function(failed_path)

    shutil.rmtree(path, onerror=make_writable_and_retry)
