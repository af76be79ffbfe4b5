"""What a Wine prefix hands Wine and takes away after it: the caller's TMPDIR
never reaches Wine, and the folder Debian's server kept in the temporary
folder goes when the server has ended, following only a name of the server's
own form. How prefixes are copied from templates booted once: made once for
a key, by one of two runs at once, reused with the home re-pointed, never
across keys, never half-made.

Usage: test_wine_prefix.py (no Wine needed)
"""
import os
import pwd
import shutil
import stat
import sys
import tempfile
import threading
import time
import unittest
from types import SimpleNamespace
from unittest import mock

HERE = os.path.dirname(os.path.abspath(__file__))
sys.dont_write_bytecode = True
sys.path[:0] = [os.path.join(HERE, "..", "..", "scripts"), os.path.join(HERE, "..", "e2e")]

from code_pages import JAPANESE, SINGLE_BYTE  # noqa: E402
from ordinary_user import UserPrefix  # noqa: E402
from prefix_templates import PrefixTemplates  # noqa: E402
from wine_prefix import WinePrefix, remove_server_folder  # noqa: E402

AS_ROOT = os.geteuid() == 0


class ServerFolderTest(unittest.TestCase):
    def setUp(self):
        self.root = tempfile.mkdtemp(prefix="wine-prefix-")
        self.addCleanup(shutil.rmtree, self.root)
        self.temp = os.path.join(self.root, "tmp")
        self.prefix = os.path.join(self.root, "prefix")
        os.makedirs(self.temp)
        os.makedirs(self.prefix)

    def server_folder(self, name):
        folder = os.path.join(self.temp, name)
        os.makedirs(os.path.join(folder, "server-fe00-1234"), exist_ok=True)
        return folder

    def record(self, text):
        with open(os.path.join(self.prefix, "wineserver"), "w") as file:
            file.write(text)

    def test_the_recorded_folder_goes_and_nothing_else(self):
        kept = self.server_folder("wine-Other1")
        for written in ("wine-AbC123", "wine-AbC123\n"):
            with self.subTest(record=written):
                gone = self.server_folder("wine-AbC123")
                self.record(written)
                remove_server_folder(self.prefix, self.temp)
                self.assertFalse(os.path.exists(gone))
                self.assertFalse(os.path.exists(os.path.join(self.prefix, "wineserver")))
                self.assertTrue(os.path.isdir(kept), "another server's folder stays")

    def test_a_name_not_of_the_servers_form_is_not_followed(self):
        # What a damaged or planted record could name: the temporary folder
        # itself, a folder above it, an absolute path, another name.
        outside = self.server_folder("wine-AbC123")
        for written in ("", ".", "..", "../tmp", "/", self.temp, "wine-AbC123/..", "wine-AbC1234", "other-AbC123"):
            with self.subTest(record=written):
                self.record(written)
                remove_server_folder(self.prefix, self.temp)
                self.assertTrue(os.path.isdir(outside))
                self.assertEqual(sorted(os.listdir(self.root)), ["prefix", "tmp"])
                self.assertEqual(os.listdir(self.prefix), [], "the record goes all the same")

    def test_no_record_no_folder(self):
        # Wine that keeps no record, or a server that never started.
        kept = self.server_folder("wine-AbC123")
        remove_server_folder(self.prefix, self.temp)
        remove_server_folder(os.path.join(self.root, "no prefix"), self.temp)
        self.assertTrue(os.path.isdir(kept))


class EnvironmentTest(unittest.TestCase):
    def test_tmpdir_never_reaches_wine(self):
        with mock.patch.dict(os.environ, {"TMPDIR": "/somewhere", "WINESERVER": "/x", "PATH": "/usr/bin"}):
            prefix = WinePrefix("/p", ":99", "/locales")
        for locale in (SINGLE_BYTE, JAPANESE):
            with self.subTest(locale=locale):
                env = prefix.env(locale)
                self.assertNotIn("TMPDIR", env)
                self.assertNotIn("WINESERVER", env)
                self.assertEqual((env["WINEPREFIX"], env["PATH"]), ("/p", "/usr/bin"))


class TemplatesCase(unittest.TestCase):
    def setUp(self):
        self.root = tempfile.mkdtemp(prefix="prefix-templates-")
        self.addCleanup(shutil.rmtree, self.root)
        self.templates = PrefixTemplates(os.path.join(self.root, "templates"))
        self.made = []  # the prefixes that make() booted

    def path(self, *parts):
        return os.path.join(self.root, *parts)

    def boot(self, prefix, home):
        """What a booted prefix holds that a copy must keep or change: files,
        the relative drive C:, Z:, links to the home (to a folder in it as
        well), a link elsewhere and the server's record of its folder."""
        def make():
            self.made.append(prefix)
            users = os.path.join(prefix, "drive_c", "users", "user")
            os.makedirs(os.path.join(prefix, "dosdevices"))
            os.makedirs(users)
            with open(os.path.join(prefix, "user.reg"), "w") as registry:
                registry.write('"ShowCrashDialog"=dword:00000000\n')
            os.chmod(os.path.join(prefix, "user.reg"), 0o640)
            os.symlink("../drive_c", os.path.join(prefix, "dosdevices", "c:"))
            os.symlink("/", os.path.join(prefix, "dosdevices", "z:"))
            os.symlink(home, os.path.join(users, "Desktop"))
            os.symlink(home + "/Music", os.path.join(users, "Music"))
            os.symlink(home + "-other", os.path.join(users, "Other"))
            with open(os.path.join(prefix, "wineserver"), "w") as record:
                record.write("wine-AbC123")
        return make

    def prefix(self, name="user", key="00aa", run="1", home="/home/a"):
        """Makes the prefix of run RUN: (copied, its path)."""
        prefix = self.path(f"run{run}", "prefix")
        os.makedirs(os.path.dirname(prefix), exist_ok=True)
        return self.templates.copy_or_make(name, key, prefix, home, self.boot(prefix, home)), prefix

    def entries(self):
        return sorted(name for name in os.listdir(self.templates.folder) if not name.endswith(".lock"))


class TemplatesTest(TemplatesCase):
    def test_made_once_then_copied_with_the_run_s_home(self):
        copied, first = self.prefix(run="1", home="/home/a")
        self.assertFalse(copied)
        copied, second = self.prefix(run="2", home="/home/b")
        self.assertTrue(copied)
        self.assertEqual(self.made, [first], "the second run boots nothing")
        users = os.path.join(second, "drive_c", "users", "user")
        links = {name: os.readlink(os.path.join(users, name)) for name in os.listdir(users)}
        self.assertEqual(links, {"Desktop": "/home/b", "Music": "/home/b/Music", "Other": "/home/a-other"})
        self.assertEqual(os.readlink(os.path.join(second, "dosdevices", "c:")), "../drive_c")
        self.assertEqual(os.readlink(os.path.join(second, "dosdevices", "z:")), "/")
        with open(os.path.join(second, "user.reg")) as registry:
            self.assertIn("ShowCrashDialog", registry.read())
        self.assertEqual(stat.filemode(os.stat(os.path.join(second, "user.reg")).st_mode), "-rw-r-----")
        self.assertFalse(os.path.exists(os.path.join(second, "wineserver")), "the record is the first server's")
        self.assertTrue(os.path.exists(os.path.join(first, "wineserver")), "the booted prefix keeps its own")

    def test_not_reused_across_keys(self):
        # Another user, then another Wine for the first user: each boots,
        # and the first user's template of the old Wine goes.
        self.prefix(name="user", key="00aa", run="1")
        self.prefix(name="other", key="00aa", run="2")
        self.prefix(name="user", key="00bb", run="3")
        self.assertEqual(self.made, [self.path(f"run{run}", "prefix") for run in "123"])
        self.assertEqual(self.entries(), ["other-00aa", "user-00bb"])
        copied, _ = self.prefix(name="other", key="00aa", run="4")
        self.assertTrue(copied)

    def test_a_template_in_use_is_not_removed(self):
        self.prefix(name="user", key="00aa", run="1")
        with self.templates._locked(os.path.join(self.templates.folder, "user-00aa")):
            self.prefix(name="user", key="00bb", run="2")
        self.assertEqual(self.entries(), ["user-00aa", "user-00bb"])

    def test_half_made_is_never_used(self):
        # A boot that failed, and what a run killed while keeping the copy
        # left: neither is a template, and the next run boots.
        def failed_boot():
            os.makedirs(self.path("run1", "prefix"))
            raise RuntimeError("wineboot failed")
        os.makedirs(self.path("run1"))
        with self.assertRaises(RuntimeError):
            self.templates.copy_or_make("user", "00aa", self.path("run1", "prefix"), "/home/a", failed_boot)
        self.assertEqual(self.entries(), [])
        os.makedirs(os.path.join(self.templates.folder, "user-00aa.unfinished-x1", "prefix"))
        copied, _ = self.prefix(name="user", key="00aa", run="2")
        self.assertFalse(copied)
        self.assertEqual(self.entries(), ["user-00aa"], "what the killed run left is gone")

    def test_a_prefix_that_names_itself_is_not_kept(self):
        # What a Wine might write that a copy could not re-point: each time,
        # every run boots its own.
        def in_registry(text):
            def write(prefix, home):
                with open(os.path.join(prefix, "system.reg"), "w") as registry:
                    registry.write(text(prefix, home))
            return write

        def link(prefix, _home):
            os.symlink(os.path.join(prefix, "drive_c"), os.path.join(prefix, "dosdevices", "d:"))

        def home_link(prefix, home):
            os.symlink(home, os.path.join(prefix, "dosdevices", "h:"))

        names = [("Z: path", in_registry(lambda prefix, _: '"P"="Z:' + prefix.replace("/", "\\\\") + '"')),
                 ("unix path, other case", in_registry(lambda prefix, _: '"P"="\\\\??\\\\UNIX'
                                                       + prefix.upper().replace("/", "\\\\") + '"')),
                 ("home", in_registry(lambda _, home: f'"H"="{home}/x"')),
                 ("link into the prefix", link),
                 ("link to the home outside the profile", home_link)]
        boot = self.boot
        for number, (name, naming) in enumerate(names):
            def boot_naming(prefix, home):
                def make():
                    boot(prefix, home)()
                    naming(prefix, home)
                return make
            with self.subTest(name), mock.patch.object(self, "boot", boot_naming):
                for run in ("a", "b"):
                    copied, _ = self.prefix(key=f"{number}0", run=f"{number}{run}", home="/home/the-user")
                    self.assertFalse(copied, run)
                self.assertEqual(self.entries(), [])
        self.prefix(key="ff", run="kept", home="/home/the-user")
        self.assertEqual(self.entries(), ["user-ff"], "a prefix that names neither is kept")

    def test_two_runs_at_once_boot_once(self):
        slow_boot = self.boot

        def boot(prefix, home):
            make = slow_boot(prefix, home)

            def slowly():
                time.sleep(0.5)
                make()
            return slowly

        copied = {}

        def run(name):
            copied[name] = self.prefix(run=name)[0]
        with mock.patch.object(self, "boot", boot):
            runs = [threading.Thread(target=run, args=(name,)) for name in "12"]
            for thread in runs:
                thread.start()
            for thread in runs:
                thread.join()
        self.assertEqual(len(self.made), 1)
        self.assertEqual(sorted(copied.values()), [False, True])
        for name in "12":
            self.assertTrue(os.path.isfile(self.path(f"run{name}", "prefix", "user.reg")))

    @unittest.skipUnless(AS_ROOT, "only root gives files to another user")
    def test_a_copy_is_its_user_s(self):
        nobody = pwd.getpwnam("nobody")
        boot = self.boot

        def boot_as_nobody(prefix, home):
            def make():
                boot(prefix, home)()
                for folder, dirs, files in os.walk(prefix):
                    for entry in [folder] + [os.path.join(folder, name) for name in dirs + files]:
                        os.lchown(entry, nobody.pw_uid, nobody.pw_gid)
            return make
        with mock.patch.object(self, "boot", boot_as_nobody):
            self.prefix()
        _, second = self.prefix(run="2", home="/home/b")
        owners = {os.lstat(os.path.join(folder, name)).st_uid
                  for folder, dirs, files in os.walk(second) for name in dirs + files}
        self.assertEqual(owners | {os.lstat(second).st_uid}, {nobody.pw_uid})
        self.assertEqual(os.readlink(os.path.join(second, "drive_c", "users", "user", "Desktop")), "/home/b")


class CreateTest(TemplatesCase):
    """WinePrefix.create() with templates, with Wine's steps played."""

    def new_prefix(self, run, home):
        prefix = WinePrefix(self.path(f"run{run}", "prefix"), ":99", "/locales")
        prefix._env["HOME"] = home
        steps = []
        prefix._boot = lambda _log: (steps.append("boot"), self.boot(prefix.path, home)())
        prefix.stop = lambda: steps.append("stop")
        prefix.warm = lambda _log: steps.append("warm")
        prefix._template_key = lambda: "00aa"
        os.makedirs(os.path.dirname(prefix.path))
        return prefix, steps

    def test_the_first_boots_and_stops_its_server_before_the_copy(self):
        first, steps = self.new_prefix("1", "/home/a")
        first.create(self.path("log"), self.templates)
        self.assertEqual(steps, ["boot", "stop", "warm"])
        second, steps = self.new_prefix("2", "/home/b")
        second.create(self.path("log"), self.templates)
        self.assertEqual(steps, ["warm"])
        self.assertEqual(os.readlink(os.path.join(second.path, "drive_c", "users", "user", "Desktop")), "/home/b")

    def test_the_key(self):
        # The run's own paths and display leave it as it is; the Wine, the
        # user and the settings of Wine change it.
        nobody = SimpleNamespace(pw_uid=65534, pw_name="nobody", pw_dir="/nonexistent")

        def key(version=b"wine-8.0", prefix=None, **env):
            prefix = prefix or WinePrefix("/a/prefix", ":99", "/locales")
            prefix._env.update(env)
            with mock.patch("subprocess.run", return_value=SimpleNamespace(stdout=version)):
                return prefix._template_key()
        same = key()
        for name, other in (("prefix and display", key(prefix=WinePrefix("/b/prefix", ":98", "/other"))),
                            ("home", key(HOME="/home/b"))):
            with self.subTest(name):
                self.assertEqual(other, same)
        for name, other in (("Wine", key(b"wine-10.0")),
                            ("user", key(prefix=UserPrefix("/a/prefix", ":99", "/locales", nobody, "/h"))),
                            ("settings of Wine", key(WINEDLLOVERRIDES="mscoree="))):
            with self.subTest(name):
                self.assertNotEqual(other, same)


if __name__ == "__main__":
    unittest.main()
