"""The base of every end-to-end case: a sandbox folder of its own, test
files, running fontctl.exe, and the checks that every case makes. The same
cases run under Wine and on Windows: what differs is asked of the session."""
import hashlib
import os
import re
import tempfile
import unittest
from pathlib import Path

import font_files
from code_pages import SINGLE_BYTE


class E2ECase(unittest.TestCase):
    session = None  # the running E2ESession, set by run_e2e.py

    def setUp(self):
        self.sandbox = Path(tempfile.mkdtemp(prefix=self._testMethodName + "-", dir=self.session.cases_dir))

    # Files and folders -----------------------------------------------------

    def new_dir(self, label="case"):
        """A new empty folder, so that each sub-case starts clean."""
        return Path(tempfile.mkdtemp(prefix=re.sub(r"[^\w.-]", "_", label)[:40] + "-", dir=self.sandbox))

    @staticmethod
    def make_folder(path):
        path.mkdir(parents=True, exist_ok=True)
        return path

    @staticmethod
    def _written(path, write):
        path.parent.mkdir(parents=True, exist_ok=True)
        write(path)
        return path

    @classmethod
    def truetype(cls, path):
        return cls._written(path, font_files.write_truetype)

    @classmethod
    def collection(cls, path):
        return cls._written(path, font_files.write_collection)

    @classmethod
    def non_font(cls, path):
        return cls._written(path, font_files.write_non_font)

    def win(self, path):
        """The path as the programs under test name it."""
        return self.session.windows_path(path)

    def raw(self, path, locale=SINGLE_BYTE):
        """The bytes of the path's Windows form in the locale's code page."""
        return self.win(path).encode(self.session.code_page(locale))

    def discard(self, path):
        """Deletes a copy that may be in the font table: Windows holds a
        loaded font's file open."""
        self.session.discard_font_file(path)

    # What differs between the platforms -----------------------------------

    def needs(self, need):
        """Skips the case, or the sub-case, with the reason printed, when the
        platform lacks what it needs (a constant of e2e_session)."""
        self.session.skip_unless(need)

    def answer(self, wine, windows):
        """Of a case's two answers, the one of the platform it runs on."""
        return {"wine": wine, "windows": windows}[self.session.platform]

    # Running fontctl.exe ---------------------------------------------------

    def program(self, utf8):
        return self.session.fontctl_utf8_exe if utf8 else self.session.fontctl_exe

    def fontctl(self, *args, cwd=None, locale=SINGLE_BYTE, utf8=False, **options):
        """Runs `fontctl.exe ARGS`, or fontctl-utf8.exe; Path arguments
        become Windows paths."""
        return self.run_program(self.program(utf8), *args, cwd=cwd, locale=locale, **options)

    def run_program(self, program, *args, cwd=None, locale=SINGLE_BYTE, **options):
        """Runs `PROGRAM ARGS` (a path, or a name such as "cmd" that Windows
        looks for); Path arguments become Windows paths."""
        self.session.code_page(locale)
        args = [self.win(arg) if isinstance(arg, Path) else arg for arg in args]
        return self.session.runner.run(program, args, cwd or self.sandbox, locale, **options)

    # The name of run_program from when the cases ran under Wine alone.
    wine = run_program

    def launch(self, command_line, cwd=None, locale=SINGLE_BYTE, stdout="inherit", utf8=False):
        """Runs fontctl.exe, or fontctl-utf8.exe, with this exact command line:
        bytes in the locale's code page, or a str of Unicode characters."""
        self.session.code_page(locale)
        return self.session.runner.launch(self.program(utf8), command_line, cwd or self.sandbox, locale, stdout)

    # Checks ----------------------------------------------------------------

    def assertOutcome(self, outcome, stdout, broadcasts):
        """Exactly these bytes on standard output, exit status 0, and exactly
        this many font-change broadcasts, each with wParam and lParam 0."""
        details = f"{outcome}"
        self.assertEqual(outcome.status, 0, f"exit status; {details}")
        self.assertEqual(outcome.stdout, stdout, f"standard output; {details}")
        self.assertEqual(outcome.broadcasts, ((0, 0),) * broadcasts, f"broadcasts; {details}")

    def assertSameBytes(self, path, expected_path):
        self.assertTrue(path.is_file(), f"{path} is missing")
        self.assertEqual(path.read_bytes(), expected_path.read_bytes(), f"{path} differs from {expected_path}")

    @staticmethod
    def snapshot(root):
        """Every entry under root, with its kind, mode and content digest."""
        entries = {}
        for folder, dirs, files in os.walk(root):
            for name in dirs + files:
                path = os.path.join(folder, name)
                info = os.lstat(path)
                digest = None
                if os.path.isfile(path):
                    with open(path, "rb") as file:
                        digest = hashlib.sha256(file.read()).hexdigest()
                entries[os.path.relpath(path, root)] = (info.st_mode, digest)
        return entries

    def assertUnchanged(self, before, root, except_for=()):
        """No entry under root appeared, vanished or changed, but those named."""
        after = self.snapshot(root)
        changed = {path for path in before.keys() | after.keys() if before.get(path) != after.get(path)}
        allowed = {os.path.relpath(path, root) for path in except_for}
        self.assertLessEqual(changed, allowed, f"entries changed under {root}")
