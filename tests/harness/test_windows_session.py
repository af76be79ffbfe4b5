"""The suite's Windows platform, shown here with stand-ins for Windows: how a
program's command line and environment are made, how paths are written, how
the registry is read and written, which cases are skipped and with what
reason, and how the cases' fonts are let go so that their files can be
deleted.

Usage: test_windows_session.py (no Windows needed)
"""
import contextlib
import io
import os
import re
import shutil
import stat
import subprocess
import sys
import tempfile
import unittest
from pathlib import Path, PureWindowsPath

HERE = os.path.dirname(os.path.abspath(__file__))
sys.dont_write_bytecode = True
sys.path[:0] = [os.path.join(HERE, "..", "..", "scripts"), os.path.join(HERE, "..", "e2e")]

import run_e2e  # noqa: E402
from code_pages import JAPANESE, SINGLE_BYTE  # noqa: E402
import e2e_case  # noqa: E402
from e2e_case import E2ECase  # noqa: E402
from e2e_session import (ADMIN_SHARE, CODE_PAGE_PER_RUN, FILE_SIZE_LIMIT, FULL_DEVICE, LONG_PATHS,  # noqa: E402
                         NEW_SESSION, ORDINARY_USER, OTHER_WINDOWS_VERSION, SHORT_NAMES, SMALL_FILE_SYSTEM,
                         RequiredButMissing)
from first_case import SKIP_REASON, AfterTheFirstCase  # noqa: E402
from windows_facts import facts  # noqa: E402
from fontctl_runner import FontctlRunner, Outcome  # noqa: E402
from windows_host import WindowsHost, command_line, windows_path  # noqa: E402
from windows_registry import WindowsRegistry  # noqa: E402
from windows_session import WindowsSession  # noqa: E402
from windows_small_volume import attach_script, detach_script, disk_size_mib  # noqa: E402


def split_command_line(line):
    """The arguments that CommandLineToArgvW and the C runtime find in a
    command line (argument 0 taken by the same rules as the rest)."""
    arguments, current, quoted, started, i = [], "", False, False, 0
    while i < len(line):
        backslashes = len(line[i:]) - len(line[i:].lstrip("\\"))
        if backslashes and line[i + backslashes:i + backslashes + 1] == '"':
            current += "\\" * (backslashes // 2)
            i += backslashes
            if backslashes % 2:
                current, i = current + '"', i + 1
            started = True
            continue
        if backslashes:
            current, i, started = current + "\\" * backslashes, i + backslashes, True
            continue
        char = line[i]
        if char == '"':
            if quoted and line[i + 1:i + 2] == '"':
                current, i = current + '"', i + 1
            else:
                quoted = not quoted
            started = True
        elif char in " \t" and not quoted:
            if started:
                arguments.append(current)
            current, started = "", False
        else:
            current, started = current + char, True
        i += 1
    if started:
        arguments.append(current)
    return arguments


def unix_path(path):
    return path.replace("\\", "/")


class StandInLauncher:
    """Stands in for subprocess.Popen on Windows: takes the command line as
    CreateProcess would, and plays the launcher, which writes "ran" and the
    program's arguments to standard output and the report it is asked for."""

    def __init__(self, status=0, broadcasts=()):
        self.status = status
        self.broadcasts = broadcasts
        self.starts = []

    def __call__(self, line, env, cwd, stdin, stdout, stderr):
        assert isinstance(line, str), "Windows takes one command line"
        arguments = split_command_line(line)
        self.starts.append((line, arguments, dict(env), cwd))
        os.write(stdout.fileno(), ("ran " + "|".join(arguments[1:])).encode())
        with open(unix_path(env["E2E_REPORT"]), "w", encoding="ascii", newline="\n") as report:
            report.write(f"status {self.status}\n")
            report.writelines(f"fontchange {w} {l}\n" for w, l in self.broadcasts)
        return self

    def wait(self, timeout):
        return self.status


class CommandLineTest(unittest.TestCase):
    def test_arguments_come_back_as_given(self):
        cases = [
            ["C:\\Program Files\\e2e_launcher.exe", "C:\\fontctl.exe", "1", "a b", ""],
            ["e2e_launcher.exe", "cmd", "/c", 'say "hi"', "trailing\\", "trailing space\\"],
            ["e2e_launcher.exe", "x", "\\\\server\\share\\", 'a\\"b', "\t", "Шрифт 日本語.ttf"],
        ]
        for arguments in cases:
            with self.subTest(arguments=arguments):
                self.assertEqual(split_command_line(command_line(arguments)), arguments)

    def test_paths_as_windows_names_them(self):
        cases = [
            ("C:/Users/a b/fonts/x.ttf", "C:\\Users\\a b\\fonts\\x.ttf"),
            (PureWindowsPath("C:\\Temp", "e2e", "font.ttf"), "C:\\Temp\\e2e\\font.ttf"),
            ("\\\\?\\C:\\long\\path", "\\\\?\\C:\\long\\path"),
        ]
        for given, expected in cases:
            with self.subTest(given=given):
                self.assertEqual(windows_path(given), expected)


class RunnerTest(unittest.TestCase):
    def setUp(self):
        self.scratch = tempfile.mkdtemp(prefix="windows-runner-")
        self.addCleanup(shutil.rmtree, self.scratch)

    def runner(self, popen, environ=None):
        environ = {"PATH": "C:\\Windows", "E2E_REPORT": "stale", "e2e_stdout": "stale"} if environ is None else environ
        return FontctlRunner(WindowsHost(1252, environ, popen), "C:\\tests\\e2e_launcher.exe", self.scratch)

    def test_run_starts_the_launcher_with_the_program_and_its_arguments(self):
        popen = StandInLauncher(status=3221225477, broadcasts=((0, 0), (1, -1)))
        outcome = self.runner(popen).run("C:\\a b\\fontctl.exe", ["1", "x y", ""], "C:\\work", env={"X": "1"})

        self.assertEqual((outcome.status, outcome.broadcasts), (3221225477, ((0, 0), (1, -1))))
        self.assertEqual(outcome.stdout, b"ran C:\\a b\\fontctl.exe|1|x y|")
        ((line, arguments, env, cwd),) = popen.starts
        self.assertEqual(arguments[0], "C:\\tests\\e2e_launcher.exe")
        self.assertEqual(cwd, "C:\\work")
        # The suite's own launcher variables never reach a start; the report
        # is a scratch file named as Windows names it.
        self.assertEqual(sorted(env), ["E2E_REPORT", "PATH", "X"])
        self.assertEqual(Path(unix_path(env["E2E_REPORT"])).parent, Path(self.scratch))
        self.assertEqual(os.listdir(self.scratch), [], "scratch files left behind")

    def test_launch_hands_over_the_exact_command_line(self):
        for command, utf8 in ((b'fontctl.exe "a b" \x95\\', None), ("fontctl.exe 1 \u8868.ttf", "1")):
            with self.subTest(command=command):
                popen = StandInLauncher()
                line_seen = {}

                def keep_line(line, env, **options):
                    with open(unix_path(env["E2E_COMMAND_LINE"]), "rb") as file:
                        line_seen["bytes"] = file.read()
                    return popen(line, env, **options)

                self.runner(keep_line).launch("C:\\x\\fontctl.exe", command, "C:\\work")
                ((_, arguments, env, _),) = popen.starts
                self.assertEqual(arguments[1:], ["C:\\x\\fontctl.exe"])
                self.assertEqual(line_seen["bytes"], command if utf8 is None else command.encode())
                self.assertEqual(env.get("E2E_COMMAND_LINE_UTF8"), utf8)

    def test_no_report_is_no_answer(self):
        def no_report(line, env, **options):
            popen = StandInLauncher()
            popen(line, env, **options)
            os.remove(unix_path(env["E2E_REPORT"]))
            return popen

        with self.assertRaises(RuntimeError):
            self.runner(no_report).run("fontctl.exe", ["10"], "C:\\work")
        self.assertEqual(os.listdir(self.scratch), [], "scratch files left behind")


class FakeKey:
    def __init__(self, values, subkeys=()):
        self.values = values
        self.subkeys = list(subkeys)

    def __enter__(self):
        return self

    def __exit__(self, *exc_info):
        return False


class FakeWinreg:
    """The part of winreg the registry uses, over a dict of keys."""
    HKEY_CURRENT_USER = "HKCU"
    KEY_SET_VALUE = 2
    REG_SZ, REG_EXPAND_SZ, REG_DWORD, REG_BINARY = 1, 2, 4, 3

    def __init__(self, keys):
        self.keys = keys

    def OpenKey(self, root, key, reserved=0, access=0):  # noqa: N802 - winreg's names
        if (root, key) not in self.keys:
            raise FileNotFoundError(key)
        return FakeKey(self.keys[(root, key)], self._subkeys(root, key))

    def _subkeys(self, root, key):
        prefix = key + "\\"
        return sorted({path[len(prefix):].split("\\")[0] for (where, path) in self.keys
                       if where == root and path.startswith(prefix)})

    @staticmethod
    def QueryInfoKey(handle):  # noqa: N802
        return len(handle.subkeys), len(handle.values), 0

    @staticmethod
    def EnumKey(handle, index):  # noqa: N802
        return handle.subkeys[index]

    def DeleteKey(self, root, key):  # noqa: N802
        # As winreg's: a key that still has subkeys is not deleted.
        if self._subkeys(root, key):
            raise PermissionError(key)
        del self.keys[(root, key)]

    def CreateKeyEx(self, root, key, reserved, access):  # noqa: N802
        # As the registry's: the keys on the way are made too.
        parts = key.split("\\")
        for depth in range(1, len(parts)):
            self.keys.setdefault((root, "\\".join(parts[:depth])), {})
        return FakeKey(self.keys.setdefault((root, key), {}))

    @staticmethod
    def QueryValueEx(handle, name):  # noqa: N802
        if name not in handle.values:
            raise FileNotFoundError(name)
        return handle.values[name]

    @staticmethod
    def SetValueEx(handle, name, reserved, kind, data):  # noqa: N802
        handle.values[name] = (data, kind)

    @staticmethod
    def DeleteValue(handle, name):  # noqa: N802
        if name not in handle.values:
            raise FileNotFoundError(name)
        del handle.values[name]


class RegistryTest(unittest.TestCase):
    def test_values_read_as_reg_names_them(self):
        winreg = FakeWinreg({("HKCU", "Fonts"): {"Sans (TrueType)": ("C:\\Fonts\\Шрифт.ttf", 1),
                                                  "Path": ("%USERPROFILE%\\x", 2), "Blob": (b"\x00", 3)}})
        registry = WindowsRegistry(winreg)
        cases = [
            ("Fonts", "Sans (TrueType)", ("REG_SZ", "C:\\Fonts\\Шрифт.ttf")),
            ("Fonts", "Path", ("REG_EXPAND_SZ", "%USERPROFILE%\\x")),
            ("Fonts", "Blob", ("kind 3", "b'\\x00'")),
            ("Fonts", "Missing", None),
            ("No such key", "Sans (TrueType)", None),
        ]
        for key, name, expected in cases:
            with self.subTest(key=key, name=name):
                self.assertEqual(registry.read_value(key, name), expected)

    def test_write_read_delete(self):
        registry = WindowsRegistry(FakeWinreg({}))
        registry.write_value("Software\\Test", "Text", "REG_SZ", "a b")
        registry.write_value("Software\\Test", "Number", "REG_DWORD", "7")
        self.assertEqual(registry.read_value("Software\\Test", "Text"), ("REG_SZ", "a b"))
        self.assertEqual(registry.read_value("Software\\Test", "Number"), ("REG_DWORD", "7"))
        for _ in range(2):  # a value that is not there any more is done
            registry.delete_value("Software\\Test", "Text")
            self.assertIsNone(registry.read_value("Software\\Test", "Text"))

    def test_delete_key_takes_everything_under_it(self):
        winreg = FakeWinreg({})
        registry = WindowsRegistry(winreg)
        for key in ("Software\\Test\\A\\B", "Software\\Test\\C", "Software\\Test", "Software\\Testing"):
            registry.write_value(key, "Value", "REG_SZ", key)
        for _ in range(2):  # a key that is not there any more is done
            registry.delete_key("Software\\Test")
            self.assertEqual(sorted(path for _, path in winreg.keys), ["Software", "Software\\Testing"])


class FakeSystem:
    """What WindowsSession asks of Windows, with fonts loaded by path, and a
    Windows set up as a hosted runner is once the workflow has turned 8.3
    names on, unless told otherwise."""

    def __init__(self, code_page=1252, build=20348, environ=None, short_names=True, share=True, admin=True,
                 server=True, long_paths=True):
        self.code_page = code_page
        self.build = build
        self.environ = {"USERPROFILE": "C:\\Users\\runneradmin", "PATH": "C:\\Windows",
                        "ComSpec": "C:\\Windows\\system32\\cmd.exe"} if environ is None else environ
        self.winreg = FakeWinreg({})
        self.loaded = {}
        self.removals = []
        self.commands = []
        self.command_status = 0
        self.short_names, self.share, self.admin, self.server, self.long_paths = (short_names, share, admin, server,
                                                                                  long_paths)
        # diskpart: each script it ran, the folders it mounted a volume at,
        # and the error it answers with when told to fail.
        self.scripts = []
        self.mounted = set()
        self.diskpart_error = None
        self.started = []
        self.popen = StandInLauncher()
        self.icacls_status = 0

    def ansi_code_page(self):
        return self.code_page

    @staticmethod
    def oem_code_page():
        return 850

    def short_path(self, path):
        # As GetShortPathNameW: the path as it is where no entry has a short
        # name; short_names None stands for the call failing.
        path = PureWindowsPath(path)
        if self.short_names is None:
            return None
        return str(path.with_name("FONTCT~1.TXT")) if self.short_names else str(path)

    def is_admin(self):
        return self.admin

    @staticmethod
    def fixed_drives():
        return ["C:", "D:"]

    def long_paths_enabled(self):
        return self.long_paths

    def is_dir(self, path):
        assert path.startswith("\\\\localhost\\"), path
        return self.share

    def remove_font_resource(self, path):
        self.removals.append(path)
        path = unix_path(path)
        if self.loaded.get(path, 0) == 0:
            return False
        self.loaded[path] -= 1
        return True

    def create_junction(self, target, junction):
        self.commands.append(["junction", target, junction])

    def is_mount_point(self, path):
        return os.fspath(path) in self.mounted

    def start(self, line):
        self.started.append(line)
        return f"started {line}"

    def diskpart(self, script):
        # As diskpart /s: each command in turn, up to the first that fails.
        self.scripts.append(script)
        for command in script.splitlines():
            if self.diskpart_error and command.startswith(self.diskpart_error[0]):
                return subprocess.CompletedProcess([], 2147942405, self.diskpart_error[1].encode(), b"")
            created = re.fullmatch(r'create vdisk file="(.*)" maximum=\d+ type=fixed', command)
            if created:
                Path(created[1]).write_bytes(b"vhdx")
            mounted = re.fullmatch(r'assign mount="(.*)"', command)
            if mounted:
                self.mounted.add(mounted[1])
        return subprocess.CompletedProcess([], 0, b"DiskPart successfully ...", b"")

    def run(self, command, timeout=60):
        self.commands.append(command)
        if command[:2] == ["diskpart", "/s"]:
            return self.diskpart(Path(command[2]).read_text(encoding="ascii"))
        if command[0] == "mountvol":
            self.mounted.discard(command[1])
        if command[0] == "icacls":
            return subprocess.CompletedProcess(command, self.icacls_status, b"", b"Access is denied.\r\n")
        if command[:2] == ["sc", "query"]:
            state = b"4  RUNNING" if self.server else b"1  STOPPED"
            return subprocess.CompletedProcess(command, 0, b"SERVICE_NAME: LanmanServer\r\n STATE : " + state, b"")
        return subprocess.CompletedProcess(command, self.command_status, b"", b"")


class SessionTest(unittest.TestCase):
    def session(self, **system):
        self.system = FakeSystem(**system)
        return WindowsSession("build", system=self.system)

    def test_a_run_has_the_system_code_page_only(self):
        cases = [
            # the system's ANSI code page, the locales a run can have
            (1252, {SINGLE_BYTE: "cp1252"}),
            (932, {JAPANESE: "cp932"}),
            (65001, {}),
            (1251, {}),
        ]
        for code_page, codecs in cases:
            with self.subTest(code_page=code_page):
                session = self.session(code_page=code_page)
                for locale in (SINGLE_BYTE, JAPANESE):
                    if locale in codecs:
                        self.assertEqual(session.code_page(locale), codecs[locale])
                    else:
                        with self.assertRaises(unittest.SkipTest) as skipped:
                            session.code_page(locale)
                        self.assertIn(f"({locale})", str(skipped.exception))
                        self.assertIn(f"code page ({code_page})", str(skipped.exception))

    def test_what_only_wine_gives_is_skipped_with_the_reason(self):
        session = self.session()
        for need, reason in ((NEW_SESSION, "sign-in"), (FULL_DEVICE, "/dev/full"),
                             (OTHER_WINDOWS_VERSION, "only Wine"), (FILE_SIZE_LIMIT, "one process writes")):
            with self.subTest(need):
                with self.assertRaises(unittest.SkipTest) as skipped:
                    session.skip_unless(need)
                self.assertIn(need, str(skipped.exception))
                self.assertIn(reason, str(skipped.exception))
        for name, unsupported in (("restart_session", session.restart_session),
                                  ("file_size_limit", lambda: session.file_size_limit(1024))):
            with self.subTest(name), self.assertRaises(unittest.SkipTest):
                unsupported()

    def test_windows_version(self):
        self.assertIsNone(self.session().windows_version_setting("setup.exe", "win10"))
        with self.assertRaises(unittest.SkipTest):
            self.session().windows_version_setting("setup.exe", "win7")
        with self.assertRaisesRegex(RuntimeError, "17763"):
            self.session(build=17134).windows_version_setting("setup.exe", "win10")

    def test_where_programs_and_folders_are(self):
        session = self.session()
        self.assertEqual(session.cmd_exe(), "C:\\Windows\\system32\\cmd.exe")
        self.assertEqual(self.session(environ={"SystemRoot": "D:\\Win"}).cmd_exe(), "D:\\Win\\System32\\cmd.exe")
        self.assertEqual(session.profile_windows_path("AppData", "Local"), "C:\\Users\\runneradmin\\AppData\\Local")
        self.assertEqual(session.program_search_env(PureWindowsPath("C:/bin (x64)")),
                         {"PATH": "C:\\bin (x64);C:\\Windows"})
        local, env = session.fresh_local_app_data(PureWindowsPath("C:/case/Local AppData"))
        self.assertEqual((local, env), (PureWindowsPath("C:/case/Local AppData"),
                                        {"LOCALAPPDATA": "C:\\case\\Local AppData"}))

    def test_makensis_on_path_or_where_nsis_installs(self):
        folder = Path(tempfile.mkdtemp(prefix="makensis-"))
        self.addCleanup(shutil.rmtree, folder)
        on_path = folder / "bin" / "makensis"
        installed = folder / "Program Files (x86)" / "NSIS" / "makensis.exe"
        for program in (on_path, installed):
            program.parent.mkdir(parents=True)
            program.write_bytes(b"")
            program.chmod(stat.S_IRWXU)
        cases = [
            ({"PATH": str(on_path.parent), "ProgramFiles(x86)": str(installed.parents[1])}, str(on_path)),
            ({"PATH": str(folder), "ProgramFiles(x86)": str(installed.parents[1])}, str(installed)),
            ({"PATH": str(folder), "ProgramFiles": str(installed.parents[1])}, str(installed)),
            ({"PATH": str(folder), "ProgramFiles": str(folder)}, None),
        ]
        for environ, expected in cases:
            with self.subTest(environ=environ):
                session = self.session(environ=environ)
                if expected is None:
                    with self.assertRaisesRegex(RuntimeError, "install NSIS"):
                        session.makensis()
                else:
                    self.assertEqual(session.makensis(), expected)

    def test_other_names_of_a_folder(self):
        session = self.session(environ={"TEMP": "C:\\Temp"})
        self.assertEqual(session.other_drive_path(PureWindowsPath("C:/Users/a b/Setup Fonts")),
                         "\\\\localhost\\C$\\Users\\a b\\Setup Fonts")
        session.link_folder(PureWindowsPath("C:/case/links/fonts"), PureWindowsPath("C:/case/fonts"))
        self.assertEqual(self.system.commands, [["junction", "C:\\case\\fonts", "C:\\case\\links\\fonts"]])
        self.assertEqual(session.temp_folder(), Path("C:\\Temp"))

    def test_nsis_as_it_ships_for_windows(self):
        # The example as it stands, with makensis's own stubs: no 64-bit
        # target, no copy of NSIS.
        session = self.session()
        self.assertEqual(session.nsis_runnable_options(), [])
        self.assertIsNone(session.nsis_for_windows_env(Path("unused")))

    def test_drive_alias_by_subst(self):
        session = self.session()
        drive, remove = session.new_drive(PureWindowsPath("C:/a b"))
        self.assertRegex(drive, "^[M-Y]:$")
        remove()
        self.assertEqual(self.system.commands, [["subst", drive, "C:\\a b"], ["subst", drive, "/d"]])
        # The root a case may write at is such a drive's, never the system's.
        root, remove = session.spare_drive_root(PureWindowsPath("C:/case/drive root"))
        self.assertEqual(self.system.commands[-1], ["subst", str(root)[:2], "C:\\case\\drive root"])
        self.assertRegex(str(root), "^[M-Y]:\\\\$")
        self.system.command_status = 1
        with self.assertRaisesRegex(RuntimeError, "subst"):
            session.new_drive(PureWindowsPath("C:/a b"))

    def test_the_work_folder_comes_and_goes(self):
        session = self.session()
        with session:
            work = Path(session.work)
            self.assertTrue(Path(session.cases_dir).is_dir())
            self.assertIsInstance(session.registry, WindowsRegistry)
            read_only = Path(session.cases_dir, "read-only.ttf")
            read_only.write_bytes(b"font")
            read_only.chmod(stat.S_IRUSR)
        self.assertFalse(work.exists())

    def test_a_file_held_open_is_released_once_for_each_load(self):
        session = self.session()
        folder = Path(tempfile.mkdtemp(prefix="held-open-"))
        self.addCleanup(shutil.rmtree, folder, ignore_errors=True)
        for loads in (0, 1, 3):
            with self.subTest(loads=loads):
                font = folder / f"font {loads}.ttf"
                font.write_bytes(b"font")
                self.system.loaded[str(font)] = loads
                removed = []

                def remove_unless_loaded(path):
                    # As Windows does: a loaded font's file cannot be deleted.
                    if self.system.loaded[str(path)]:
                        raise PermissionError(path)
                    removed.append(path)
                    os.remove(path)

                session._release_and_retry(remove_unless_loaded, str(font), None)  # noqa: SLF001 - the teardown
                self.assertEqual(removed, [str(font)])
                self.assertFalse(font.exists())

    def test_a_copy_is_discarded_out_of_the_font_table(self):
        session = self.session()
        folder = Path(tempfile.mkdtemp(prefix="discard-"))
        self.addCleanup(shutil.rmtree, folder)
        copy = folder / "font.ttf"
        # Added by its path, by its \\?\ form, and with a forward slash.
        spellings = [windows_path(copy), "\\\\?\\" + windows_path(copy), str(folder) + "/font.ttf"]
        for loads, spelling in enumerate(spellings, start=1):
            self.system.loaded[unix_path(spelling)] = loads
        copy.write_bytes(b"font")
        session.discard_font_file(copy, [spellings[2]])
        self.assertFalse(copy.exists())
        self.assertEqual({spelling: self.system.loaded[unix_path(spelling)] for spelling in spellings},
                         dict.fromkeys(spellings, 0))

    def test_what_this_windows_lacks_is_found_at_start(self):
        # What the session finds missing, and words its reason must hold.
        cases = [
            ({}, {}),
            ({"short_names": False}, {SHORT_NAMES: ["got no short name", "`fsutil 8dot3name set", "turns it on"]}),
            ({"short_names": None}, {SHORT_NAMES: ["got no short name", "`fsutil 8dot3name set"]}),
            ({"share": False}, {ADMIN_SHARE: ["\\\\localhost\\C$", "Server service (LanmanServer) runs",
                                              "runs as an administrator"]}),
            ({"share": False, "server": False, "admin": False},
             {ADMIN_SHARE: ["is not running", "runs without an administrator"],
              SMALL_FILE_SYSTEM: ["without an administrator", "diskpart"]}),
            ({"long_paths": False}, {LONG_PATHS: ["LongPathsEnabled", "beyond MAX_PATH"]}),
        ]
        for setup, lacking in cases:
            with self.subTest(**setup):
                session = self.session(**setup, environ={"TEMP": "C:\\Temp"})
                for need in (SHORT_NAMES, ADMIN_SHARE, LONG_PATHS, SMALL_FILE_SYSTEM):
                    self.assertIsNone(session.lacks(need), "known before the session starts")
                with session:
                    for need in (SHORT_NAMES, ADMIN_SHARE, LONG_PATHS, SMALL_FILE_SYSTEM):
                        if need not in lacking:
                            self.assertIsNone(session.lacks(need), need)
                            continue
                        with self.assertRaises(unittest.SkipTest) as skipped:
                            session.skip_unless(need)
                        for words in lacking[need]:
                            self.assertIn(words, str(skipped.exception))
                    self.assertEqual(os.listdir(session.work), ["cases", "scratch"], "the probe's file is left")

    def test_a_case_skips_where_its_file_got_no_short_name(self):
        class Case(E2ECase):
            def short_path(self, path):
                return self.session.stand_in.short_path(windows_path(path))

            def setUp(self):
                pass

            def runTest(self):  # noqa: N802 - unittest's name
                pass

        for short_names in (True, False):
            with self.subTest(short_names=short_names):
                session = self.session(short_names=short_names)
                session.stand_in = self.system
                case = Case()
                case.session = session
                path = Path("C:/cases/Another Long Font Name.ttf")
                if short_names:
                    self.assertEqual(PureWindowsPath(case.aliased_path(path)).name, "FONTCT~1.TXT")
                    continue
                with self.assertRaises(unittest.SkipTest) as skipped:
                    case.aliased_path(path)
                self.assertIn(f"needs {SHORT_NAMES}: Another Long Font Name.ttf got none", str(skipped.exception))


class SmallVolumeTest(unittest.TestCase):
    """The cases' small volumes on Windows: diskpart's scripts, what is
    mounted where, and that everything is taken down again, fonts first."""

    def setUp(self):
        self.system = FakeSystem(environ={"TEMP": "C:\\Temp"})
        self.session = WindowsSession("build", system=self.system)
        self.session.__enter__()
        self.addCleanup(self.session.__exit__, None, None, None)
        self.mount = Path(tempfile.mkdtemp(prefix="small-", dir=self.session.cases_dir))

    def vhd_files(self):
        return [name for name in os.listdir(self.session.work) if name.endswith(".vhdx")]

    def test_scripts(self):
        self.assertEqual(attach_script("C:\\w\\s.vhdx", 9, "C:\\c\\small 1").split("\r\n"), [
            'create vdisk file="C:\\w\\s.vhdx" maximum=9 type=fixed', 'select vdisk file="C:\\w\\s.vhdx"',
            "attach vdisk", "create partition primary", 'format fs=ntfs unit=4096 label="fontctl e2e" quick',
            'assign mount="C:\\c\\small 1"', "exit", ""])
        self.assertEqual(detach_script("C:\\w\\s.vhdx"),
                         'select vdisk file="C:\\w\\s.vhdx"\r\ndetach vdisk\r\nexit\r\n')
        # Room for what is asked, and for the partition's offset and NTFS's
        # own files beside it.
        for room, size in ((1, 9), (256 * 1024, 9), (1024 * 1024, 9), (1024 * 1024 + 1, 10), (80 * 1024 * 1024, 88)):
            with self.subTest(room=room):
                self.assertEqual(disk_size_mib(room), size)

    def test_made_mounted_and_taken_down_fonts_first(self):
        files, remove = self.session.small_file_system(self.mount, 256 * 1024)
        self.assertEqual(files, self.mount / "files")
        self.assertTrue(files.is_dir())
        self.assertEqual(self.system.mounted, {str(self.mount)})
        (vhd,) = self.vhd_files()
        self.assertIn(f'create vdisk file="{os.path.join(self.session.work, vhd)}" maximum=9 type=fixed',
                      self.system.scripts[0])
        self.assertIn(f'assign mount="{self.mount}"', self.system.scripts[0])
        # A font that a case left loaded from the volume, twice.
        font = files / "font.ttf"
        font.write_bytes(b"font")
        self.system.loaded[str(font)] = 2
        self.system.removals.clear()

        remove()
        self.assertEqual(self.system.loaded[str(font)], 0)
        self.assertEqual(self.system.mounted, set())
        diskpart_and_mountvol = [command[0] for command in self.system.commands if command[0] != "sc"]
        self.assertEqual(diskpart_and_mountvol, ["diskpart", "mountvol", "diskpart"])
        self.assertIn("detach vdisk", self.system.scripts[-1])
        self.assertEqual(self.vhd_files(), [])
        self.assertEqual([name for name in os.listdir(self.session.work) if name.startswith("small-")], [],
                         "diskpart's scripts are left")

    def test_a_failed_step_is_reported_and_undone(self):
        for failing, undone in (("create vdisk", []), ("format", ["diskpart"]), ("assign", ["diskpart"])):
            with self.subTest(failing):
                self.system.commands.clear()
                self.system.diskpart_error = (failing, "DiskPart has encountered an error: Access is denied.")
                with self.assertRaisesRegex(RuntimeError, r"diskpart \(attach\) failed .*Access is denied"):
                    self.session.small_file_system(self.mount, 1024)
                # What was made is detached and deleted; nothing was mounted.
                self.assertEqual([command[0] for command in self.system.commands[1:]], undone)
                self.assertEqual(self.vhd_files(), [])

    def test_without_an_administrator(self):
        system = FakeSystem(admin=False, environ={"TEMP": "C:\\Temp"})
        session = WindowsSession("build", system=system)
        with session:
            with self.assertRaisesRegex(unittest.SkipTest, "diskpart"):
                session.small_file_system(self.mount, 1024)
            session.required = frozenset({SMALL_FILE_SYSTEM})
            with self.assertRaises(RequiredButMissing):
                session.small_file_system(self.mount, 1024)
        self.assertFalse([command for command in system.commands if command[0] == "diskpart"])

    def test_a_program_started_unwatched(self):
        process = self.session.start_unwatched(PureWindowsPath("C:/a b/fontctl.exe"), ["1", "C:\\x y\\f.ttf", "d"])
        self.assertEqual(process, 'started "C:\\a b\\fontctl.exe" 1 "C:\\x y\\f.ttf" d')


class OrdinaryUserTest(unittest.TestCase):
    """The ordinary user on Windows: named by the environment, its folder at
    the root of the system drive with an ACL of its own, the rights the
    cases take away as deny entries, and its programs started through
    run_as_user.exe, the launcher included."""

    def setUp(self):
        self.drive = tempfile.mkdtemp(prefix="system-drive-")
        self.addCleanup(shutil.rmtree, self.drive, ignore_errors=True)
        self.build = Path(tempfile.mkdtemp(prefix="build-"))
        self.addCleanup(shutil.rmtree, self.build)
        self.helpers = self.build / "tests" / "e2e" / "helpers"
        self.helpers.mkdir(parents=True)
        for program in (self.build / "fontctl.exe", self.helpers / "e2e_launcher.exe",
                        self.helpers / "run_as_user.exe"):
            program.write_bytes(program.name.encode())

    def session(self, **environ):
        self.system = FakeSystem(environ={"TEMP": "C:\\Temp", "SystemDrive": self.drive, "PATH": "C:\\Windows",
                                          **environ})
        return WindowsSession(self.build, system=self.system)

    def icacls(self):
        return [[unix_path(command[1]), *command[2:]] for command in self.system.commands if command[0] == "icacls"]

    def test_no_user_named(self):
        for environ in ({}, {"FONTCTL_E2E_USER": "fontctl-e2e"}, {"FONTCTL_E2E_PASSWORD": "x"}):
            with self.subTest(environ=environ), self.session(**environ) as session:
                with self.assertRaisesRegex(unittest.SkipTest, "FONTCTL_E2E_USER and FONTCTL_E2E_PASSWORD"):
                    session.ordinary_user()
                session.required = frozenset({ORDINARY_USER})
                self.assertEqual(list(session.missing_requirements()), [ORDINARY_USER])
                self.assertEqual(os.listdir(self.drive), [])

    def test_folders_and_rights(self):
        with self.session(FONTCTL_E2E_USER="fontctl-e2e", FONTCTL_E2E_PASSWORD="pw") as session:
            user = session.ordinary_user()
            self.assertIs(session.ordinary_user(), user, "one user for the run")
            root = user.root
            self.assertEqual(os.path.dirname(root), self.drive)
            self.assertEqual(sorted(os.listdir(root)), ["files", "programs", "scratch"])
            scratch, files = (os.path.join(root, name) for name in ("scratch", "files"))
            self.assertEqual(self.icacls(), [
                [root, "/inheritance:r", "/grant:r", "*S-1-5-32-544:(OI)(CI)F", "*S-1-5-18:(OI)(CI)F",
                 "fontctl-e2e:(OI)(CI)RX"],
                [scratch, "/grant", "fontctl-e2e:(OI)(CI)F"],
                [files, "/grant", "fontctl-e2e:(OI)(CI)F"],
            ])
            # What lies in a folder given to the user is the user's already.
            case = Path(files, "case")
            case.mkdir()
            font = case / "font.ttf"
            font.write_bytes(b"font")
            user.own(case)
            user.own(font)
            elsewhere = Path(root, "programs", "font.ttf")
            elsewhere.write_bytes(b"font")
            user.own(elsewhere)
            del self.system.commands[:]
            user.deny_listing(case)
            user.allow_listing(case)
            user.deny_reading(font)
            user.deny_creating(case)
            self.assertEqual(self.icacls(), [
                [str(case), "/deny", "fontctl-e2e:(RD)"],
                [str(case), "/remove:d", "fontctl-e2e"],
                [str(font), "/deny", "fontctl-e2e:(RD)"],
                [str(case), "/deny", "fontctl-e2e:(WD,AD)"],
            ])
            self.system.icacls_status = 5
            with self.assertRaisesRegex(RuntimeError, "icacls .* failed: Access is denied"):
                user.deny_reading(font)
        self.assertEqual(os.listdir(self.drive), [], "the user's folder is left")

    def test_programs_start_as_the_user(self):
        with self.session(FONTCTL_E2E_USER="fontctl-e2e", FONTCTL_E2E_PASSWORD="p w\"'") as session:
            user = session.ordinary_user()
            outcome = user.run(str(self.build / "fontctl.exe"), ["1", "a b.ttf"])
            ((_, arguments, env, cwd),) = self.system.popen.starts
            programs = os.path.join(user.root, "programs")
            # run_as_user.exe, then the user's copies of the launcher and the
            # program, which it may read.
            self.assertEqual(arguments, [str(self.helpers / "run_as_user.exe"),
                                         os.path.join(programs, "e2e_launcher.exe"),
                                         windows_path(os.path.join(programs, "fontctl.exe")), "1", "a b.ttf"])
            self.assertEqual(Path(programs, "fontctl.exe").read_bytes(), b"fontctl.exe")
            self.assertEqual(Path(programs, "e2e_launcher.exe").read_bytes(), b"e2e_launcher.exe")
            self.assertEqual(outcome.stdout, b"ran " + "|".join(arguments[1:]).encode())
            self.assertEqual(cwd, user.files)
            scratch = os.path.join(user.root, "scratch")
            # The credentials go to run_as_user.exe, which takes them out of
            # what it passes on; the password in no other variable.
            self.assertEqual((env["E2E_RUN_AS_USER"], env["E2E_RUN_AS_PASSWORD"]), ("fontctl-e2e", "p w\"'"))
            self.assertEqual([name for name, value in env.items() if value == "p w\"'"], ["E2E_RUN_AS_PASSWORD"])
            self.assertEqual((env["TEMP"], env["TMP"]), (windows_path(scratch), windows_path(scratch)))
            self.assertEqual(Path(unix_path(env["E2E_REPORT"])).parent, Path(scratch))


class HeldCopyTest(unittest.TestCase):
    """A removal that answers 2 on Windows while another program holds the
    copy: run again once the holder lets go, the copy back in the font
    table; 2 with no other holder is the answer; a holder that keeps the
    file fails the case, named."""

    class Case(E2ECase):
        def setUp(self):
            pass

        def runTest(self):  # noqa: N802 - unittest's name
            pass

        def run_program(self, program, *args, cwd=None, locale=SINGLE_BYTE, **options):
            self.runs.append(args)
            return self.answers.pop(0)

        def run_tool(self, program, *args, cwd=None):
            self.asked.append((program, args))
            return self.holder_answers.pop(0) if len(self.holder_answers) > 1 else self.holder_answers[0]

    def case(self, platform, answers, holder_answers, loads=True):
        session = type("Session", (), {})()
        session.platform = platform
        session.fontctl_exe = "fontctl.exe"
        session.helper = lambda name: "C:\\helpers\\" + name
        session.windows_path = windows_path
        session.loaded = []
        session.load_font = lambda path: session.loaded.append(path) or loads
        case = self.Case()
        case.session = session
        case.sandbox = Path("C:/cases/sandbox")
        case.runs, case.asked = [], []
        case.answers = [Outcome(answer, 0, broadcasts, b"") for answer, broadcasts in answers]
        case.holder_answers = [Outcome(text.encode(), 0, (), b"") for text in holder_answers]
        return case

    def setUp(self):
        patience = (e2e_case.HOLDER_PATIENCE_SECONDS, e2e_case.HOLDER_POLL_SECONDS)
        e2e_case.HOLDER_PATIENCE_SECONDS, e2e_case.HOLDER_POLL_SECONDS = 0.3, 0.01
        self.addCleanup(setattr, e2e_case, "HOLDER_PATIENCE_SECONDS", patience[0])
        self.addCleanup(setattr, e2e_case, "HOLDER_POLL_SECONDS", patience[1])

    def test_answers(self):
        me = os.getpid()
        copy = "C:\\cases\\folder\\font.ttf"
        cases = [
            # platform, fontctl's answers, the holders' answers, the answer, runs, loads
            ("windows", [(b"0", ((0, 0),))], [""], b"0", 1, 0),
            ("windows", [(b"2", ())], [""], b"2", 1, 0),
            ("windows", [(b"2", ())], [f"{me} python.exe\n"], b"2", 1, 0),
            ("windows", [(b"2", ()), (b"0", ((0, 0),))], ["4242 FontCache\n", "4242 FontCache\n", ""], b"0", 2, 1),
            ("windows", [(b"2", ()), (b"2", ())], ["17 explorer.exe\n", ""], b"2", 2, 1),
            ("wine", [(b"2", ())], ["17 explorer.exe\n"], b"2", 1, 0),
        ]
        for platform, answers, holder_answers, answer, runs, loads in cases:
            with self.subTest(platform=platform, answers=answers, holders=holder_answers):
                case = self.case(platform, answers, holder_answers)
                with contextlib.redirect_stderr(io.StringIO()) as said:
                    outcome = case.fontctl("2", copy)
                self.assertEqual(outcome.stdout, answer)
                self.assertEqual(len(case.runs), runs)
                self.assertEqual(case.session.loaded, [copy] * loads)
                if loads:
                    self.assertIn("held the copy", said.getvalue())
                    self.assertIn(holder_answers[0].split()[1], said.getvalue())
                if platform == "wine":
                    self.assertEqual(case.asked, [], "the holders asked under Wine")

    def test_a_holder_that_keeps_the_file_fails_the_case_named(self):
        case = self.case("windows", [(b"2", ())], ["4242 FontCache\n"])
        with self.assertRaisesRegex(AssertionError, r"still held open by FontCache \(4242\)"):
            case.fontctl("2", Path("C:/cases/folder/font.ttf"))
        self.assertEqual(case.session.loaded, [])
        case = self.case("windows", [(b"2", ())], ["4242 FontCache\n", ""], loads=False)
        with self.assertRaisesRegex(AssertionError, "could not be put back"), \
                contextlib.redirect_stderr(io.StringIO()):
            case.fontctl("2", Path("C:/cases/folder/font.ttf"))


class FactsTest(unittest.TestCase):
    def test_what_the_cases_depend_on_is_printed(self):
        folder = tempfile.mkdtemp(prefix="facts-")
        self.addCleanup(shutil.rmtree, folder)
        for setup, expected in (({}, {"a new file in TEMP gets an 8.3 short name": "yes", "administrator": "yes",
                                      "long paths enabled": "yes", "the administrative share reaches TEMP": "yes"}),
                                ({"short_names": False, "admin": False, "long_paths": False, "share": False},
                                 {"a new file in TEMP gets an 8.3 short name": "no", "administrator": "no",
                                  "long paths enabled": "no", "the administrative share reaches TEMP": "no"})):
            with self.subTest(**setup):
                system = FakeSystem(**setup, environ={"USERPROFILE": "C:\\Users\\runneradmin", "PATH": folder})
                found = dict(facts(system, folder))
                self.assertLessEqual(expected.items(), found.items())
                self.assertEqual((found["Windows build"], found["ANSI code page"]), ("20348", "1252"))
                self.assertIn("Server service (LanmanServer)", found)
                self.assertIn("install NSIS", found["NSIS"])
                # The system's setting, and every fixed volume's, used or not.
                self.assertIn("8.3 names, the system's setting", found)
                self.assertIn(["fsutil", "8dot3name", "query"], system.commands)
                for drive in ("C:", "D:"):
                    self.assertIn(f"8.3 names on {drive}", found)
                    self.assertIn(["fsutil", "8dot3name", "query", drive], system.commands)
                self.assertEqual(os.listdir(folder), [], "the probe's file is left")


class FirstCaseTest(unittest.TestCase):
    """The rest of a run goes ahead only when the first case passed."""

    def run_after(self, first_passes):
        ran = []

        class First(unittest.TestCase):
            def test_first(self):
                ran.append("first")
                self.assertTrue(first_passes)

        class Rest(unittest.TestCase):
            def test_one(self):
                ran.append("one")

            def test_two(self):
                ran.append("two")

        loader = unittest.defaultTestLoader
        rest = unittest.TestSuite([loader.loadTestsFromTestCase(Rest)])
        suite = AfterTheFirstCase(loader.loadTestsFromTestCase(First), rest)
        self.assertEqual(suite.countTestCases(), 3)
        result = unittest.TextTestRunner(stream=io.StringIO(), verbosity=2).run(suite)
        return ran, result

    def test_passed(self):
        ran, result = self.run_after(first_passes=True)
        self.assertEqual(ran, ["first", "one", "two"])
        self.assertTrue(result.wasSuccessful())
        self.assertEqual(result.skipped, [])

    def test_failed(self):
        ran, result = self.run_after(first_passes=False)
        self.assertEqual(ran, ["first"])
        self.assertFalse(result.wasSuccessful())
        self.assertEqual(len(result.failures), 1)
        self.assertEqual([reason for _, reason in result.skipped], [SKIP_REASON] * 2)
        self.assertEqual(result.testsRun, 3)


class SkipReportTest(unittest.TestCase):
    """A case skipped for what Windows lacks says so in the verbose output."""

    def test_skips_are_printed_with_their_reason(self):
        class Case(E2ECase):
            def test_new_session(self):
                self.needs(NEW_SESSION)

            def test_japanese(self):
                for locale in (SINGLE_BYTE, JAPANESE):
                    with self.subTest(locale=locale):
                        self.raw(Path("C:/x"), locale)

            def setUp(self):
                pass

        session = WindowsSession("build", system=FakeSystem())
        Case.session = session
        output = io.StringIO()
        suite = unittest.defaultTestLoader.loadTestsFromTestCase(Case)
        result = unittest.TextTestRunner(stream=output, verbosity=2).run(suite)
        self.assertTrue(result.wasSuccessful())
        lines = output.getvalue().splitlines()
        for test, reason in (("test_new_session", f"needs {NEW_SESSION}: Windows starts a session only at sign-in"),
                             (f"(locale='{JAPANESE}')", f"needs another ANSI code page for one run ({JAPANESE})")):
            with self.subTest(test):
                (line,) = [line for line in lines if test in line and "... skipped" in line]
                self.assertIn(reason, line)
        self.assertEqual(len(result.skipped), 2)

    def test_each_platform_has_its_answer(self):
        case = E2ECase()
        for platform in ("wine", "windows"):
            with self.subTest(platform):
                case.session = type("Session", (), {"platform": platform})()
                self.assertEqual(case.answer(wine="w", windows="W"), {"wine": "w", "windows": "W"}[platform])


class RequiredTest(unittest.TestCase):
    """What a run requires and the platform lacks fails the run and each case
    that needs it, with the reason; what it does not require is skipped."""

    class Case(E2ECase):
        def short_path(self, path):
            return str(path)  # no entry has a short name

        def setUp(self):
            pass

        def test_long_paths(self):
            self.needs(LONG_PATHS)

        def test_short_name(self):
            self.aliased_path(Path("C:/cases/Another Long Font Name.ttf"))

        def test_japanese(self):
            self.raw(Path("C:/x"), JAPANESE)

    def run_cases(self, required, **system):
        session = WindowsSession("build", system=FakeSystem(**system, environ={"TEMP": "C:\\Temp"}))
        output = io.StringIO()
        suite = unittest.defaultTestLoader.loadTestsFromTestCase(self.Case)
        with session:
            status = run_e2e.run_suite(session, suite, required, stream=output)
        return status, output.getvalue()

    def test_missing_and_required_fails_with_the_reason(self):
        cases = [
            # required, what the system lacks, the cases that fail, words of the reasons
            ((), {"long_paths": False, "short_names": False}, [], []),
            ((LONG_PATHS,), {}, [], []),
            ((LONG_PATHS,), {"long_paths": False}, ["test_long_paths"], ["LongPathsEnabled"]),
            ((SHORT_NAMES, LONG_PATHS), {"short_names": False},
             ["test_short_name"], ["Another Long Font Name.ttf got none", "`fsutil 8dot3name set"]),
            ((CODE_PAGE_PER_RUN,), {}, ["test_japanese"], ["(ja_JP.UTF-8)", "system's ANSI code page (1252)"]),
        ]
        for required, lacking, failing, words in cases:
            with self.subTest(required=required, lacking=lacking):
                status, output = self.run_cases(frozenset(required), **lacking)
                failed = [line.split()[0] for line in output.splitlines() if line.endswith("... FAIL")]
                self.assertEqual(failed, failing, output)
                self.assertEqual(status, int(bool(failing)), output)
                for word in words:
                    self.assertIn(word, output)
                # Whatever is not required and missing is skipped instead.
                lacked = 2 + (lacking.get("long_paths") is False)  # the code page, the short name, long paths
                self.assertEqual(output.count("... skipped"), lacked - len(failing), output)

    def test_a_requirement_known_missing_at_start_fails_the_run(self):
        # Even where no case of the run needs it: a set-up step that went
        # wrong shows at the top of the output.
        session = WindowsSession("build", system=FakeSystem(share=False, environ={"TEMP": "C:\\Temp"}))
        output = io.StringIO()
        with session:
            status = run_e2e.run_suite(session, unittest.TestSuite(), frozenset({ADMIN_SHARE}), stream=output)
            self.assertEqual(list(session.missing_requirements()), [ADMIN_SHARE])
        self.assertEqual(status, 1)
        first_line = output.getvalue().splitlines()[0]
        self.assertTrue(first_line.startswith(f"required, and missing: {ADMIN_SHARE}: "), output.getvalue())
        self.assertIn("cannot be reached", first_line)

    def test_a_skip_of_what_is_required_is_a_failure(self):
        session = WindowsSession("build", system=FakeSystem())
        session.required = frozenset({NEW_SESSION})
        # Not the skip that unittest would report.
        with self.assertRaises(Exception) as failed:  # noqa: PT011 - the kind is checked below
            session.restart_session()
        self.assertIsInstance(failed.exception, RequiredButMissing)
        self.assertIn(f"the run requires {NEW_SESSION}: Windows starts a session only at sign-in",
                      str(failed.exception))
        with self.assertRaises(unittest.SkipTest):
            session.file_size_limit(1024)


class EntryPointTest(unittest.TestCase):
    def test_required_by_name_or_by_the_variable(self):
        cases = [
            (["build"], {}, frozenset()),
            (["build", "--require", "SHORT_NAMES, LONG_PATHS"], {}, {SHORT_NAMES, LONG_PATHS}),
            (["build"], {"FONTCTL_E2E_REQUIRE": "ADMIN_SHARE"}, {ADMIN_SHARE}),
            (["build", "--require", ""], {"FONTCTL_E2E_REQUIRE": "ADMIN_SHARE"}, frozenset()),
        ]
        for argv, environ, required in cases:
            with self.subTest(argv=argv, environ=environ):
                self.assertEqual(run_e2e.parse_arguments(argv, environ).require, required)
        for argv, environ in ((["build", "--require", "SHORT_NAMES,8DOT3"], {}),
                              (["build"], {"FONTCTL_E2E_REQUIRE": "NONE"})):
            with self.subTest(argv=argv, environ=environ), self.assertRaises(SystemExit), \
                    tempfile.TemporaryFile("w+") as stderr:
                real_stderr, sys.stderr = sys.stderr, stderr
                try:
                    run_e2e.parse_arguments(argv, environ)
                finally:
                    sys.stderr = real_stderr
                stderr.seek(0)
                self.assertIn("no such precondition", stderr.read())

    def test_platform_by_system_or_by_option(self):
        self.assertEqual(run_e2e.default_platform("nt"), "windows")
        self.assertEqual(run_e2e.default_platform("posix"), "wine")
        self.assertEqual(run_e2e.parse_arguments(["build"]).platform, run_e2e.default_platform())
        self.assertEqual(run_e2e.parse_arguments(["build", "--platform", "wine"]).platform, "wine")
        refused = [["build", "--platform", "macos"]]
        if os.name != "nt":
            refused.append(["build", "--platform", "windows"])
        for argv in refused:
            with self.subTest(argv=argv), self.assertRaises(SystemExit), tempfile.TemporaryFile("w+") as stderr:
                real_stderr, sys.stderr = sys.stderr, stderr
                try:
                    run_e2e.parse_arguments(argv)
                finally:
                    sys.stderr = real_stderr


if __name__ == "__main__":
    unittest.main()
