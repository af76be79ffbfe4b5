#!/usr/bin/python3
"""The serving launcher (tests/e2e/launch_server.py) against a launcher of a
run's own, under Wine: for every run it serves, the program gets the same
command line, current folder and standard handles, and the run the same
report, broadcasts included; what it does not serve is left to a launcher
of its own.

Usage: check_launch_server.py BUILD_DIR (the Windows build folder)
"""
import os
import shutil
import sys
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.dont_write_bytecode = True
sys.path[:0] = [os.path.join(HERE, "..", "..", "scripts"), os.path.join(HERE, "..", "e2e")]

import font_files  # noqa: E402
from code_pages import JAPANESE, SINGLE_BYTE  # noqa: E402
from fontctl_runner import FontctlRunner  # noqa: E402
from launch_server import plain, wine_command_line  # noqa: E402
from wine_session import WineSession  # noqa: E402

BUILD_DIR = None

# Arguments whose quoting the server does itself: blanks, backslashes
# before a closing quote, empty ones, the characters cmd treats apart.
PLAIN_ARGUMENTS = [
    ["1"],
    ["a b", "c"],
    ["trailing\\", "with blank\\", "two blank\\\\", "in\\side b"],
    ["", "  ", " lead", "trail "],
    ["&|<>^%!'()", "=;,", "%PATH%", "x%~dp0y"],
]


class LaunchServerTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.session = WineSession(BUILD_DIR).__enter__()

    @classmethod
    def tearDownClass(cls):
        cls.session.__exit__(None, None, None)

    def setUp(self):
        session = self.session
        self.served = session.runner
        self.server = session._launch_server
        scratch = os.path.join(session.work, "own-launcher")
        os.makedirs(scratch, exist_ok=True)
        self.own = FontctlRunner(session.prefix, session.helper("e2e_launcher.exe"), scratch)
        self.folder = os.path.join(session.cases_dir, self.id().rsplit(".", 1)[-1])
        os.makedirs(self.folder)

    def stand_in(self):
        """The stand-in for fontctl, which logs its command line, with the
        real program beside it: (its path, its log)."""
        shutil.copyfile(self.session.helper("fontctl_stand_in.exe"), os.path.join(self.folder, "fontctl.exe"))
        shutil.copyfile(self.session.fontctl_exe, os.path.join(self.folder, "fontctl-real.exe"))
        return os.path.join(self.folder, "fontctl.exe"), os.path.join(self.folder, "fontctl-runs.log")

    def both(self, program, args, cwd=None):
        """The outcome of the run served, then by a launcher of its own; the
        server must have served it."""
        cwd = cwd or self.folder
        self.assertTrue(self.server.serves([program, *args], cwd, SINGLE_BYTE, None, None), args)
        return self.served.run(program, args, cwd), self.own.run(program, args, cwd)

    def test_the_program_gets_wines_command_line(self):
        program, log = self.stand_in()
        for args in PLAIN_ARGUMENTS:
            with self.subTest(args=args):
                served, own = self.both(program, args)
                with open(log, "rb") as file:
                    lines = file.read().splitlines()
                os.remove(log)
                self.assertEqual(len(lines), 2, lines)
                self.assertEqual(lines[0], lines[1])
                self.assertEqual(lines[0].decode(), wine_command_line(args))
                self.assertEqual((served.stdout, served.status, served.broadcasts),
                                 (own.stdout, own.status, own.broadcasts))

    def test_exact_command_lines(self):
        program, log = self.stand_in()
        lines = [b'fontctl.exe 1 "a b" c\\', b'x  \t"un closed \xe9\xff 2', "x \u00e9\u4e2d\U0001f600 \"q\"\t 1",
                 "", b""]
        for line in lines:
            for stdout in ("inherit", "none"):
                with self.subTest(line=line, stdout=stdout):
                    served, own = (runner.launch(program, line, self.folder, stdout=stdout)
                                   for runner in (self.served, self.own))
                    with open(log, "rb") as file:
                        logged = file.read().splitlines()
                    os.remove(log)
                    self.assertEqual(len(logged), 2, logged)
                    self.assertEqual(logged[0], logged[1])
                    self.assertEqual((served.stdout, served.status, served.broadcasts),
                                     (own.stdout, own.status, own.broadcasts))
        self.assertTrue(self.server.serves([self.session.windows_path(program)], self.folder, SINGLE_BYTE, None,
                                           None, {"E2E_COMMAND_LINE": "x", "E2E_STDOUT": "none"}))

    def test_current_folder_and_standard_handles(self):
        subfolder = os.path.join(self.folder, "a folder")
        os.makedirs(subfolder)
        link = os.path.join(self.folder, "link")
        os.symlink(subfolder, link)
        for cwd in (self.folder, subfolder, link):
            with self.subTest(cwd=cwd):
                served, own = self.both("cmd", ["/c", "cd & set /p x= & echo read %ERRORLEVEL% & echo err 1>&2"],
                                        cwd)
                self.assertEqual(served.stdout, own.stdout)
                self.assertIn(b"read", served.stdout)
                self.assertEqual(served.stderr.strip(), b"err")

    def test_only_the_runs_own_broadcasts_are_reported(self):
        font = os.path.join(self.folder, "font.ttf")
        font_files.write_truetype(font, kind="Served")
        target = os.path.join(self.folder, "target")
        os.makedirs(target)
        copy = os.path.join(target, "font.ttf")
        served_install = self.served.run(self.session.fontctl_exe, ["1", font, target], self.folder)
        self.assertEqual((served_install.stdout, served_install.broadcasts), (b"0", ((0, 0),)))
        # A broadcast that reaches the server's window between its runs.
        own_removal = self.own.run(self.session.fontctl_exe, ["2", copy], self.folder)
        self.assertEqual((own_removal.stdout, own_removal.broadcasts), (b"0", ((0, 0),)))
        quiet = self.served.run(self.session.fontctl_exe, ["1", "missing.ttf", target], self.folder)
        self.assertEqual((quiet.stdout, quiet.broadcasts), (b"1", ()))

    def test_a_new_session_starts_a_new_server(self):
        first = self.served.run(self.session.fontctl_exe, ["1", "missing.ttf", "."], self.folder)
        self.session.restart_session()
        again = self.served.run(self.session.fontctl_exe, ["1", "missing.ttf", "."], self.folder)
        self.assertEqual((first.stdout, again.stdout), (b"1", b"1"))

    def test_what_is_left_to_a_launcher_of_its_own(self):
        drive, remove = self.session.new_drive(self.folder)
        self.addCleanup(remove)
        prefix_folder = os.path.join(self.session.prefix.path, "drive_c")
        unserved = {
            "a quotation mark": (["a\"b"], self.folder, SINGLE_BYTE, None),
            "a tab": (["a\tb"], self.folder, SINGLE_BYTE, None),
            "a character beyond ASCII": (["\u00e9"], self.folder, SINGLE_BYTE, None),
            "another locale": (["1"], self.folder, JAPANESE, None),
            "variables of its own": (["1"], self.folder, SINGLE_BYTE, {"X": "1"}),
            f"a folder that is also {drive}": (["1"], self.folder, SINGLE_BYTE, None),
            "a folder of drive C:": (["1"], prefix_folder, SINGLE_BYTE, None),
        }
        for label, (args, cwd, locale, env) in unserved.items():
            with self.subTest(label):
                self.assertFalse(self.server.serves(["fontctl.exe", *args], cwd, locale, env, None))
        self.assertFalse(plain("\u00e9"))


if __name__ == "__main__":
    BUILD_DIR = sys.argv.pop(1)
    unittest.main(verbosity=2)
