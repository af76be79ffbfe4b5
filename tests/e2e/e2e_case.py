"""The base of every end-to-end case: a sandbox folder of its own, test
files, running fontctl.exe, and the checks that every case makes. The same
cases run under Wine and on Windows: what differs is asked of the session."""
import hashlib
import os
import re
import sys
import tempfile
import time
import unittest
from pathlib import Path, PureWindowsPath

import font_files
from code_pages import SINGLE_BYTE
from e2e_session import ORDINARY_USER, SHORT_NAMES


# The attributes that a snapshot compares: read-only, hidden and system. The
# archive bit changes with every write, and the rest say how a file is kept.
SNAPSHOT_ATTRIBUTES = 0x1 | 0x2 | 0x4
# How long a removal that answered 2 on Windows waits for another program
# that holds the copy open (the font cache service, Explorer, a virus
# scanner) to let go, before the case fails naming it; and how often it
# looks.
HOLDER_PATIENCE_SECONDS = 30
HOLDER_POLL_SECONDS = 0.2
# Where Wine keeps a file's DOS attributes beyond read-only (which is its Unix
# mode): an extended attribute holding them in hexadecimal, "0x6".
WINE_ATTRIBUTES = "user.DOSATTRIB"


def file_attributes(path, info):
    """The entry's read-only, hidden and system attributes as Windows
    programs see them: Windows' own, or Wine's record of them (none where the
    file system keeps no extended attributes, or the entry is a link)."""
    if hasattr(info, "st_file_attributes"):
        return info.st_file_attributes & SNAPSHOT_ATTRIBUTES
    try:
        value = os.getxattr(path, WINE_ATTRIBUTES, follow_symlinks=False)
    except OSError:
        return 0
    try:
        return int(value.split(b"\0")[0], 16) & SNAPSHOT_ATTRIBUTES
    except ValueError:
        return value


class E2ECase(unittest.TestCase):
    session = None  # the running E2ESession, set by run_e2e.py

    def setUp(self):
        self.sandbox = Path(tempfile.mkdtemp(prefix=self._testMethodName + "-", dir=self.session.cases_dir))
        self._drive_root = None

    # Files and folders -----------------------------------------------------

    def new_dir(self, label="case"):
        """A new empty folder, so that each sub-case starts clean."""
        return self._new_folder(label, self.sandbox)

    @staticmethod
    def _new_folder(label, parent):
        return Path(tempfile.mkdtemp(prefix=re.sub(r"[^\w.-]", "_", label)[:40] + "-", dir=parent))

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
    def opentype(cls, path):
        return cls._written(path, font_files.write_opentype)

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

    def discard(self, path, *spellings):
        """Deletes a copy that may be in the font table: Windows holds a
        loaded font's file open. SPELLINGS are the other ways of writing the
        path by which the copy may have been added (a \\\\?\\ form, forward
        slashes): the font table may know it only by that spelling."""
        self.session.discard_font_file(path, spellings)

    # What differs between the platforms -----------------------------------

    def needs(self, need):
        """Skips the case, or the sub-case, with the reason printed, when the
        platform lacks what it needs (a constant of e2e_session)."""
        self.session.skip_unless(need)

    def answer(self, wine, windows):
        """Of a case's two answers, the one of the platform it runs on."""
        return {"wine": wine, "windows": windows}[self.session.platform]

    def short_path(self, path):
        """The path in its 8.3 short form, as GetShortPathNameW gives it, or
        None when there is none. Wine makes short names up by hashing, and
        its cmd answers %~sI with the long name: only the function tells."""
        outcome = self.run_tool(self.session.helper("short_name.exe"), path)
        return outcome.stdout.decode() if outcome.status == 0 else None

    def short_name(self, path):
        """The 8.3 short name that Windows gives the entry at path, or None."""
        short = self.short_path(path)
        return PureWindowsPath(short).name if short else None

    def aliased_path(self, path):
        """The path in its short form, where the entry at path has a short
        name of its own; skips the case, or the sub-case, with the reason
        when it has none (8.3 name creation is off on its volume)."""
        short = self.short_path(path)
        if short is None or PureWindowsPath(short).name == PureWindowsPath(self.win(path)).name:
            reason = self.session.lacks(SHORT_NAMES) or "8.3 name creation is off on its volume"
            self.session.skip(SHORT_NAMES, f"{path.name} got none; {reason}")
        return short

    def drive_c(self):
        """The root of a drive that the case may write at, for cases about
        the root of the current drive: under Wine the prefix's drive C: (the
        sandbox is on Wine's drive Z:, whose root is the machine's own); on
        Windows a drive of the case's own whose root is a sandbox folder."""
        if self._drive_root is None:
            self._drive_root, remove = self.session.spare_drive_root(self.new_dir("drive root"))
            self.addCleanup(remove)
        return self._drive_root

    # Permissions, which hold for an ordinary user only ---------------------

    def new_dir_of_ordinary_user(self, label="case"):
        """A new empty folder that the ordinary user owns; the files made in
        it (by root) can be read there, and the entries of the folder
        created and deleted."""
        self.needs(ORDINARY_USER)
        user = self.session.ordinary_user()
        folder = self._new_folder(label, user.files)
        user.own(folder)
        return folder

    def deny_listing(self, folder):
        """Takes from the ordinary user the right to list the folder, and
        leaves those to open, create and delete its entries by name."""
        self.session.ordinary_user().deny_listing(folder)

    def allow_listing(self, folder):
        """Gives the ordinary user every right to the folder."""
        self.session.ordinary_user().allow_listing(folder)

    # Running fontctl.exe ---------------------------------------------------

    def program(self, utf8):
        return self.session.fontctl_utf8_exe if utf8 else self.session.fontctl_exe

    def fontctl(self, *args, cwd=None, locale=SINGLE_BYTE, utf8=False, **options):
        """Runs `fontctl.exe ARGS`, or fontctl-utf8.exe; Path arguments
        become Windows paths. On Windows, a removal that answers 2 while
        another program holds the copy open is run again once it has let
        go (see _removal_once_let_go)."""
        outcome = self.run_program(self.program(utf8), *args, cwd=cwd, locale=locale, **options)
        if self.session.platform == "windows" and len(args) == 2 and args[0] == "2" and outcome.stdout == b"2":
            path = str(PureWindowsPath(self.win(cwd or self.sandbox), self.win(args[1])))
            return self._removal_once_let_go(
                path, outcome, lambda: self.run_program(self.program(utf8), *args, cwd=cwd, locale=locale, **options))
        return outcome

    def holders(self, path):
        """(process id, name) of each process but the suite's own that holds
        the file open, as Windows' Restart Manager names them."""
        outcome = self.run_tool(self.session.helper("file_holders.exe"), path)
        if outcome.status != 0:
            raise RuntimeError(f"file_holders.exe could not ask about {path}: {outcome}")
        holders = []
        for line in outcome.stdout.decode("utf-8", "replace").splitlines():
            process, _, name = line.partition(" ")
            if int(process) != os.getpid():
                holders.append((int(process), name))
        return holders

    def _removal_once_let_go(self, path, outcome, again):
        """A removal's answer 2 (the file could not be deleted), told from a
        fault: Windows' font cache service or Explorer may open a font's file
        for a moment after an install. When no other process holds the file,
        2 is the answer. Otherwise, once the holders have let go, the copy is
        put back in the font table, as the removal found it, and the removal
        runs again: its answer is the case's. A holder that keeps the file
        fails the case, named."""
        held = self.holders(path)
        if not held:
            return outcome
        names = ", ".join(f"{name} ({process})" for process, name in held)
        deadline = time.monotonic() + HOLDER_PATIENCE_SECONDS
        while held and time.monotonic() < deadline:
            time.sleep(HOLDER_POLL_SECONDS)
            held = self.holders(path)
        if held:
            self.fail(f"{path} is still held open by {names} {HOLDER_PATIENCE_SECONDS} s after the removal answered 2")
        print(f"\n{path}: the removal answered 2 while {names} held the copy; run again once it let go",
              file=sys.stderr, flush=True)
        if not self.session.load_font(path):
            self.fail(f"{path} could not be put back in the font table for the removal to run again")
        return again()

    def run_program(self, program, *args, cwd=None, locale=SINGLE_BYTE, **options):
        """Runs `PROGRAM ARGS` (a path, or a name such as "cmd" that Windows
        looks for); Path arguments become Windows paths."""
        self.session.code_page(locale)
        return self.session.runner.run(program, self._windows_args(args), cwd or self.sandbox, locale, **options)

    def _windows_args(self, args):
        return [self.win(arg) if isinstance(arg, Path) else arg for arg in args]

    def fontctl_as_ordinary_user(self, *args, utf8=False):
        """Runs fontctl.exe, or fontctl-utf8.exe, as fontctl() does but as an
        ordinary user, in a session of that user's own: for the cases about
        permissions, which root, the suite's user under Wine, ignores."""
        return self.session.ordinary_user().run(self.program(utf8), self._windows_args(args))

    def run_tool(self, program, *args, cwd=None):
        """Runs a tool of the system's (attrib, a helper of the suite) whose
        broadcasts no case counts, without the launcher; Path arguments become
        Windows paths."""
        return self.session.runner.run_tool(program, self._windows_args(args), cwd or self.sandbox)

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
        """Every entry under root, with its kind, mode, read-only, hidden and
        system attributes, and content digest."""
        entries = {}
        for folder, dirs, files in os.walk(root):
            for name in dirs + files:
                path = os.path.join(folder, name)
                info = os.lstat(path)
                digest = None
                if os.path.isfile(path):
                    with open(path, "rb") as file:
                        digest = hashlib.sha256(file.read()).hexdigest()
                entries[os.path.relpath(path, root)] = (info.st_mode, file_attributes(path, info), digest)
        return entries

    def assertUnchanged(self, before, root, except_for=()):
        """No entry under root appeared, vanished or changed, but those named."""
        after = self.snapshot(root)
        changed = {path for path in before.keys() | after.keys() if before.get(path) != after.get(path)}
        allowed = {os.path.relpath(path, root) for path in except_for}
        self.assertLessEqual(changed, allowed, f"entries changed under {root}")
