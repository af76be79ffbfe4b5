"""What an install leaves in the target folder, whatever happens to it. The
copy is written to a new temporary file beside the destination (~FCxxxxx.TMP),
marked for deletion while it is written, and renamed over the destination in
one step, so: a copy that fails (a full disk at its first or its last byte)
leaves the folder exactly as it was; a link at the destination is replaced by
the copy and what it pointed to stays untouched; installs of one name at once
each leave a whole file, and none answers 4 for a half-written one; a run
killed at any moment of the copy leaves the folder as it was."""
import concurrent.futures
import os
import random
import re
import shutil
import time

import font_files
import wine_start
from code_pages import SINGLE_BYTE
from e2e_case import E2ECase
from e2e_session import FILE_SIZE_LIMIT
from fontctl_runner import FontctlRunner
from fontTools.ttLib import TTFont, newTable

# The name of an install's temporary file, in the folder of the copy.
TEMPORARY_NAME = re.compile(r"~FC[0-9A-F]{5}\.TMP")
# tmpfs gives a file room a page at a time.
PAGE = 4096


def padded_font(path, size):
    """A TrueType font of a family of its own, exactly SIZE bytes long: a
    table of its own holds most of them, and bytes after the tables (which
    the font table ignores) the rest."""
    path.parent.mkdir(parents=True, exist_ok=True)
    font_files.write_truetype(path)
    font = TTFont(path)
    padding = newTable("zzzz")
    padding.data = bytes(size - 4096)
    font["zzzz"] = padding
    font.save(path)
    with open(path, "ab") as file:
        file.write(bytes(size - os.path.getsize(path)))
    return path


def _temporary_file_sizes(folder):
    """The size of each temporary file in the folder, but those that go
    while they are looked at."""
    for entry in os.scandir(folder):
        if TEMPORARY_NAME.fullmatch(entry.name):
            try:
                yield entry.stat().st_size
            except FileNotFoundError:
                pass


class _FileSizeLimit:
    """The session's Wine prefix, every program it starts limited to files of
    LIMIT bytes: a write beyond that kills the process (SIGXFSZ), at a point
    of the copy that the limit sets."""

    def __init__(self, prefix, limit):
        self._prefix = prefix
        self._limit = limit
        self.windows_path = prefix.windows_path

    def env(self, locale=SINGLE_BYTE):
        return self._prefix.env(locale)

    def start(self, arguments, env, cwd, stdout, timeout):
        command = ["prlimit", f"--fsize={self._limit}", "--", *self._prefix.command(["wine", *arguments])]
        return wine_start.run(command, env=env, cwd=cwd, stdout=stdout, timeout=timeout)


class InstallInOneStepTest(E2ECase):
    def small_file_system(self, room):
        """A new empty folder on a file system of its own with at least ROOM
        bytes free (a tmpfs of that size under Wine, a virtual disk on
        Windows), taken down after the case. Skips, with the reason, where
        the run may not make one (a container without the right to mount, as
        the Debian job of the CI workflow; Windows without an
        administrator)."""
        folder, remove = self.session.small_file_system(self.new_dir("small"), room)
        self.addCleanup(remove)
        return folder

    def test_full_file_system(self):
        # The folder holds an older copy: a failed install leaves it as it
        # was, and no temporary file. Room for the new copy beside the old
        # one is what an install needs.
        folder = self.small_file_system(64 * PAGE)
        font = padded_font(self.new_dir("source") / "font.ttf", 40 * PAGE + 1)
        larger = padded_font(self.new_dir("larger") / "font.ttf", shutil.disk_usage(folder).total + PAGE)
        cases = [
            # name, the source, pages left free beside the older copy, answer
            ("larger than the file system", larger, None, b"3"),
            ("full at the first byte", font, 0, b"3"),
            # The last page holds the last byte alone.
            ("full at the last byte", font, 40, b"3"),
            ("room for the new copy", font, 41, b"0"),
        ]
        for name, source, free_pages, answer in cases:
            with self.subTest(name):
                for entry in os.listdir(folder):
                    os.remove(folder / entry)
                older = self.truetype(folder / "font.ttf")
                if free_pages is not None:
                    (folder / "filler").write_bytes(bytes(shutil.disk_usage(folder).free - free_pages * PAGE))
                before = self.snapshot(folder)
                older_bytes = older.read_bytes()

                self.assertOutcome(self.fontctl("1", source, folder), answer, broadcasts=int(answer == b"0"))
                if answer == b"0":
                    self.assertSameBytes(older, source)
                    self.assertUnchanged(before, folder, except_for=[older])
                else:
                    self.assertEqual(older.read_bytes(), older_bytes, "the older copy")
                    self.assertUnchanged(before, folder)

    def test_killed_during_the_copy(self):
        # A run killed while it writes the copy, by the file size limit of its
        # process at a point of the copy that a seeded draw picks (the first
        # page, the last, and pages in between; the launcher's report needs
        # a page), leaves the older copy as it was and nothing else: Windows
        # closes a dead process's files, and the temporary file goes with its
        # handle. A second run installs.
        if self.session.platform != "wine":
            self.needs(FILE_SIZE_LIMIT)
        case = self.new_dir()
        pages = 256
        font = padded_font(case / "source" / "font.ttf", pages * PAGE)
        draw = random.Random(34)
        limits = [1, pages - 1, *sorted(draw.sample(range(2, pages - 1), 4))]
        for limit_pages in limits:
            with self.subTest(limit_pages=limit_pages):
                folder = self.make_folder(case / f"folder {limit_pages}")
                older = self.truetype(folder / "font.ttf")
                before = self.snapshot(folder)
                limit = _FileSizeLimit(self.session.prefix, limit_pages * PAGE)
                limited = FontctlRunner(limit, self.session.helper("e2e_launcher.exe"), self.new_dir("scratch"))

                outcome = limited.run(self.program(False), ["1", self.win(font), self.win(folder)], case)
                self.assertEqual((outcome.stdout, outcome.broadcasts), (b"", ()),
                                 f"no answer from a killed run: {outcome}")
                self.assertUnchanged(before, folder)

                self.assertOutcome(self.fontctl("1", font, folder), b"0", broadcasts=1)
                self.assertSameBytes(older, font)
                self.assertEqual(os.listdir(folder), ["font.ttf"])

    def test_killed_at_random_moments(self):
        # Killed outright (SIGKILL to the program's Wine process,
        # TerminateProcess on Windows) once its copy holds a share that a
        # seeded draw picks, up to half of it, so that the kill lands while
        # it writes: the folder holds the older copy, whole, and nothing
        # else. A run that ends before it is seen writing is not counted.
        # Under Wine the copy is seen in the temporary file's size. Windows
        # opens no file marked for deletion, and lists a file with the size
        # it had when last closed: there the copy is seen in the free space
        # it takes on a volume of the case's own.
        case = self.new_dir()
        size = 10000 * PAGE
        font = padded_font(case / "source" / "font.ttf", size)
        older = self.truetype(case / "older" / "font.ttf")
        folders = case if self.session.platform == "wine" else self.small_file_system(2 * size)
        draw = random.Random(3401)
        killed = 0
        for attempt in range(40):
            share = draw.uniform(0.01, 0.5)
            with self.subTest(attempt=attempt, share=share):
                folder = self.make_folder(folders / f"folder {attempt}")
                shutil.copyfile(older, folder / "font.ttf")
                before = self.snapshot(folder)
                if self._kill_when_written(font, folder, int(size * share)):
                    killed += 1
                    self.assertUnchanged(before, folder)
            if killed == 10:
                break
        self.assertEqual(killed, 10, "too few runs were caught in the middle of their copy")

    def _copy_progress(self, folder):
        """A function that tells how many bytes of a copy into FOLDER are
        written so far."""
        if self.session.platform == "wine":
            return lambda: max(_temporary_file_sizes(folder), default=0)
        free = shutil.disk_usage(folder).free
        return lambda: free - shutil.disk_usage(folder).free

    def _kill_when_written(self, font, folder, written):
        """Runs an install of FONT into FOLDER and kills it once its copy
        holds WRITTEN bytes or more. False when the run ended before that
        could be seen."""
        progress = self._copy_progress(folder)
        with self.session.start_unwatched(self.program(False), ["1", self.win(font), self.win(folder)]) as process:
            deadline = time.monotonic() + 60
            while process.poll() is None and time.monotonic() < deadline:
                if progress() >= written:
                    process.kill()
                    process.wait()
                    # The program's process is gone; Windows closes its files
                    # before it reports a process ended, Wine's server once
                    # it has seen that, a moment later.
                    settled = time.monotonic() + 10
                    while any(True for _ in _temporary_file_sizes(folder)) and time.monotonic() < settled:
                        time.sleep(0.01)
                    return True
            process.wait()
        return False

    def test_link_at_the_destination(self):
        # The copy replaces the link; the file it points to, outside the
        # folder, stays as it was.
        def symbolic_link(link, target):
            try:
                os.symlink(target, link)
            except OSError as error:  # Windows without the right to make one
                self.skipTest(f"needs a symbolic link: {error}")

        def hard_link(link, target):
            os.link(target, link)

        for name, make_link in (("symbolic link", symbolic_link), ("hard link", hard_link)):
            with self.subTest(name):
                case = self.new_dir(name)
                font = self.truetype(case / "source" / "font.ttf")
                outside = self.non_font(case / "outside" / "notes.txt")
                outside_bytes = outside.read_bytes()
                folder = self.make_folder(case / "folder")
                copy = folder / "font.ttf"
                make_link(copy, outside)
                before = self.snapshot(case)

                self.assertOutcome(self.fontctl("1", font, folder), b"0", broadcasts=1)
                self.assertFalse(copy.is_symlink(), "the link is still there")
                self.assertEqual(os.stat(outside).st_nlink, 1, "the hard link is still there")
                self.assertSameBytes(copy, font)
                self.assertEqual(outside.read_bytes(), outside_bytes, "the file the link pointed to")
                self.assertUnchanged(before, case, except_for=[copy])

    def test_folder_at_the_destination(self):
        # A folder, or a link to one, named like the font: the install
        # answers 3, and neither it nor what it holds changes.
        for name, make in (("folder", self.make_folder),
                           ("link to a folder", lambda link: self.session.link_folder(link, self.make_folder(
                               link.parent.parent / "outside")))):
            with self.subTest(name):
                case = self.new_dir(name)
                font = self.truetype(case / "source" / "font.ttf")
                folder = self.make_folder(case / "folder")
                make(folder / "font.ttf")
                self.non_font(folder / "font.ttf" / "notes.txt")
                before = self.snapshot(case)

                self.assertOutcome(self.fontctl("1", font, folder), b"3", broadcasts=0)
                self.assertUnchanged(before, case)

    def test_folder_the_user_cannot_write_to(self):
        # The copy is made beside the destination: a folder in which the user
        # may not create files takes no copy, even where the user may write
        # the file already there. Nothing changes.
        for existing in (False, True):
            with self.subTest(existing=existing):
                case = self.new_dir_of_ordinary_user()
                font = self.truetype(case / "source" / "font.ttf")
                folder = self.make_folder(case / "folder")
                if existing:
                    self.session.ordinary_user().own(self.non_font(folder / "font.ttf"))
                self.session.ordinary_user().deny_creating(folder)
                before = self.snapshot(case)

                self.assertOutcome(self.fontctl_as_ordinary_user("1", font, folder), b"3", broadcasts=0)
                self.assertUnchanged(before, case)

    def test_installs_of_one_name_at_once(self):
        # Ten fonts of one file name, each installed by a run of its own, all
        # at once. None answers 4 (the font table never reads a copy another
        # run is still writing), and the folder ends with one of the fonts,
        # whole, and nothing else. Windows holds a loaded font's file open,
        # and Wine keeps a file that another process has open, so a run that
        # would replace one answers 3, changing nothing. The runs start
        # without the launcher, which would spread their starts: the
        # broadcasts are not counted (each launcher would hear the others'
        # too).
        case = self.new_dir()
        # Large enough that the runs' copies overlap.
        fonts = [padded_font(case / f"source {number}" / "same.ttf", 256 * PAGE) for number in range(10)]
        for round_number in range(3):
            with self.subTest(round=round_number):
                folder = self.make_folder(case / f"folder {round_number}")
                with concurrent.futures.ThreadPoolExecutor(len(fonts)) as pool:
                    outcomes = list(pool.map(lambda font: self.run_tool(self.program(False), "1", font, folder), fonts))
                answers = [outcome.stdout for outcome in outcomes]
                self.assertEqual([outcome.status for outcome in outcomes], [0] * len(fonts), outcomes)
                self.assertLessEqual(set(answers), {b"0", b"3"}, answers)
                self.assertIn(b"0", answers)
                self.assertEqual(os.listdir(folder), ["same.ttf"])
                copy = (folder / "same.ttf").read_bytes()
                installed = [font for font, answer in zip(fonts, answers) if answer == b"0"]
                self.assertIn(copy, [font.read_bytes() for font in installed], "the copy is none of the fonts whole")
