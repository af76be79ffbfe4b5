"""Where the copy lands: the file name is what follows the source path's last
separator (a backslash or a forward slash that is a character of its own, or
the colon of a drive prefix), appended to the folder path after one
backslash, unless the folder path ends in a separator already."""
import os
import shutil

from e2e_case import E2ECase
from wine_prefix import JAPANESE, SINGLE_BYTE


def added_as(folder, name):
    """The path the copy was added to the font table by: the folder as
    given, then the name, after one backslash unless the folder ends in a
    separator."""
    folder = str(folder)
    return folder + ("" if folder.endswith(("\\", "/")) else "\\") + name


class DestinationPathTest(E2ECase):
    def test_folder_path_ending_in_a_separator(self):
        # One separator joins the name, never two: Windows takes
        # \\?\Z:\...\folder\\font.ttf as it stands, and fails. Under code page 932
        # the folder 表 ends in the byte 0x5C, which is no separator.
        for locale, name in ((SINGLE_BYTE, "folder"), (JAPANESE, "表")):
            case = self.new_dir()
            font = self.truetype(case / "font.ttf")
            folder = self.make_folder(case / name)
            copy = folder / "font.ttf"
            for target in (self.win(folder), self.win(folder) + "\\", self.win(folder) + "/",
                           "\\\\?\\" + self.win(folder) + "\\", "\\\\?\\" + self.win(folder)):
                with self.subTest(target, locale=locale):
                    before = self.snapshot(case)
                    self.assertOutcome(self.fontctl("1", font, target, locale=locale), b"0", broadcasts=1)
                    self.assertSameBytes(copy, font)
                    self.assertUnchanged(before, case, except_for=[copy])
                    self.discard(copy, added_as(target, copy.name))

    def test_folder_of_the_current_drives_root(self):
        # "\\" is the root of the current drive: the copy is \font.ttf there,
        # never \\font.ttf, which names a host on the network. The case runs in
        # a folder of a drive whose root it may write at (under Wine drive C:,
        # not drive Z:, whose root is the machine's own; on Windows a drive of
        # its own). ("/" is the same on Windows; Wine reads a path that starts
        # with "/" as a Unix path.)
        font = self.truetype(self.new_dir() / f"fontctl-e2e-{os.getpid()}.ttf")
        current = self.make_folder(self.drive_c() / f"fontctl-e2e-{os.getpid()}")
        self.addCleanup(shutil.rmtree, current)
        copy = self.drive_c() / font.name
        self.assertOutcome(self.fontctl("1", font, "\\", cwd=current), b"0", broadcasts=1)
        self.assertSameBytes(copy, font)
        self.assertOutcome(self.fontctl("2", "\\" + font.name, cwd=current), b"0", broadcasts=1)
        self.assertFalse(copy.exists())

    def test_folder_of_a_bare_drive(self):
        # "C:" names drive C:'s current folder, which the existence test
        # finds: the copy goes there as C:font.ttf, not to C:\font.ttf in
        # the drive's root, a file the caller never named.
        font = self.truetype(self.new_dir() / f"fontctl-e2e-{os.getpid()}.ttf")
        current = self.make_folder(self.drive_c() / f"fontctl-e2e-{os.getpid()}")
        self.addCleanup(shutil.rmtree, current)
        # The current drive as the programs see it (under Wine the prefix's
        # C:, whatever Unix path the case holds).
        where = self.run_program("cmd", "/c", "cd", cwd=current)
        drive = where.stdout.decode().strip()[:2]
        self.assertRegex(drive, "^[A-Za-z]:$", f"cmd's current folder: {where}")
        self.assertOutcome(self.fontctl("1", font, drive, cwd=current), b"0", broadcasts=1)
        self.assertSameBytes(current / font.name, font)
        self.assertFalse((self.drive_c() / font.name).exists(), "a copy in the drive's root")
        self.assertOutcome(self.fontctl("2", drive + font.name, cwd=current), b"0", broadcasts=1)
        self.assertFalse((current / font.name).exists())

    def test_bare_relative_file_name(self):
        case = self.new_dir()
        font = self.truetype(case / "font.ttf")
        folder = self.make_folder(case / "folder")

        self.assertOutcome(self.fontctl("1", "font.ttf", folder, cwd=case), b"0", broadcasts=1)
        self.assertSameBytes(folder / "font.ttf", font)

    def test_every_separator_that_windows_knows(self):
        # A forward slash and the colon of a drive prefix end a folder as a
        # backslash does: each source is copied under its own name into the
        # folder. A file of that name elsewhere (where the whole relative
        # path, appended to the folder, would lead) stays as it was.
        cases = [
            # the source as given, relative to src\ below the case
            "fonts/font.ttf",
            "../src/fonts/font.ttf",
            "..\\src/fonts\\font.ttf",
            "./fonts//font.ttf",
            "fonts\\font.ttf",
        ]
        for given in cases:
            with self.subTest(given):
                case = self.new_dir()
                font = self.truetype(case / "src" / "fonts" / "font.ttf")
                folder = self.make_folder(case / "target" / "fonts")
                # Where target\fonts\..\src\fonts\font.ttf would lead.
                unrelated = self.non_font(case / "target" / "src" / "fonts" / "font.ttf")
                self.make_folder(folder / "fonts")
                copy = folder / "font.ttf"
                before = self.snapshot(case)

                self.assertOutcome(self.fontctl("1", given, folder, cwd=case / "src"), b"0", broadcasts=1)
                self.assertSameBytes(copy, font)
                self.assertUnchanged(before, case, except_for=[copy])
                self.assertTrue(unrelated.is_file())

    def test_absolute_paths_with_forward_slashes(self):
        case = self.new_dir()
        font = self.truetype(case / "src" / "font.ttf")
        folder = self.make_folder(case / "target")
        copy = folder / "font.ttf"
        for source, target in ((self.win(font).replace("\\", "/"), self.win(folder)),
                               (self.win(font), self.win(folder).replace("\\", "/"))):
            with self.subTest(source=source, target=target):
                before = self.snapshot(case)
                self.assertOutcome(self.fontctl("1", source, target), b"0", broadcasts=1)
                self.assertSameBytes(copy, font)
                self.assertUnchanged(before, case, except_for=[copy])
                self.discard(copy, added_as(target, copy.name))

    def test_drive_relative_source(self):
        # D:font.ttf is font.ttf in the current folder of drive D:, which is
        # the current folder here. The copy is named font.ttf, not D:font.ttf.
        case = self.new_dir()
        font = self.truetype(case / "src" / "font.ttf")
        folder = self.make_folder(case / "target")
        copy = folder / "font.ttf"
        drive = self.win(case)[:2]
        for given in (f"{drive}font.ttf", f"{drive.lower()}font.ttf", f"{drive}..\\src/font.ttf"):
            with self.subTest(given):
                before = self.snapshot(case)
                self.assertOutcome(self.fontctl("1", given, folder, cwd=case / "src"), b"0", broadcasts=1)
                self.assertSameBytes(copy, font)
                self.assertUnchanged(before, case, except_for=[copy])
                self.discard(copy)

    def test_source_ending_in_a_backslash(self):
        # The file name is empty; copying a folder onto the folder path fails.
        case = self.new_dir()
        self.truetype(case / "fonts" / "font.ttf")
        folder = self.make_folder(case / "folder")
        before = self.snapshot(case)

        self.assertOutcome(self.fontctl("1", self.win(case / "fonts") + "\\", folder), b"3", broadcasts=0)
        self.assertUnchanged(before, case)

    def test_double_byte_file_names_under_code_page_932(self):
        # Each name's first character ends in the byte 0x5C, which under code
        # page 932 is part of the character, not a separator.
        names = [
            "表.ttf",  # 0x95 0x5C
            "ソ.ttf",  # 0x83 0x5C
            "表表.ttf",
            "能力.ttf",  # 0x94 0x5C, then 0x97 0xCD
            "ｱ.ttf",  # a single-byte katakana character, 0xB1
        ]
        for name in names:
            with self.subTest(name):
                case = self.new_dir()
                font = self.truetype(case / "source" / name)
                folder = self.make_folder(case / "folder")
                before = self.snapshot(case)

                self.assertOutcome(self.fontctl("1", font, folder, locale=JAPANESE), b"0", broadcasts=1)
                self.assertSameBytes(folder / name, font)
                self.assertUnchanged(before, case, except_for=[folder / name])

    def test_separator_after_a_double_byte_character(self):
        # 表 then a backslash: the backslash is a separator of its own.
        for locale in (JAPANESE, SINGLE_BYTE):
            with self.subTest(locale=locale):
                case = self.new_dir()
                # Under code page 1252 the same folder name is written •.
                font = self.truetype(case / ("表" if locale == JAPANESE else "•") / "font.ttf")
                folder = self.make_folder(case / "folder")

                self.assertOutcome(self.fontctl("1", font, folder, locale=locale), b"0", broadcasts=1)
                self.assertSameBytes(folder / "font.ttf", font)

    def test_same_bytes_are_two_characters_under_code_page_1252(self):
        # The bytes 0x95 0x5C that make 表 under code page 932 are • and a
        # backslash under 1252: the file name starts after that backslash.
        case = self.new_dir()
        font = self.truetype(case / "source" / "•" / "font.ttf")
        folder = self.make_folder(case / "folder")
        source = self.raw(case / "source") + b"\\\x95\\font.ttf"

        outcome = self.launch(b"fontctl.exe 1 " + source + b" " + self.raw(folder))

        self.assertOutcome(outcome, b"0", broadcasts=1)
        self.assertSameBytes(folder / "font.ttf", font)
