"""Inputs a setup program may pass without meaning to: command lines at the
system's length limit, paths longer than MAX_PATH, every byte from 0x80 up
under a single-byte and a double-byte code page, a lead byte at the end of an
argument, paths of backslashes only. Each must end in its defined code with
exit status 0, touching no file that the command does not name."""
import os
from pathlib import Path

from e2e_case import E2ECase
from e2e_session import LONG_PATHS
from wine_prefix import JAPANESE, SINGLE_BYTE

# The longest command line that CreateProcess accepts, in characters: 32,767
# with the terminating NUL.
LONGEST_COMMAND_LINE = 32766
# The longest path that fits MAX_PATH (260) with its terminating NUL, and the
# longest folder that CreateDirectory makes without long paths (room for an
# 8.3 file name is kept).
LONGEST_PATH = 259
LONGEST_FOLDER = 247

# The characters of code page 932 whose second byte is 0x5C, one for each
# lead byte that has one.
TRAIL_5C_CHARACTERS = "―ソЫⅨ噂浬欺圭構蚕十申曾箪貼能表暴予禄兔喀媾彌拿杤歃濬畚秉綵臀藹觸軆鐔饅鷭偆砡纊犾"

# Code page 1252 defines every byte from 0x80 up but 0x81, 0x8D, 0x8F, 0x90
# and 0x9D; two names keep each below the file system's 255 bytes.
DEFINED_HIGH_1252 = [bytes(b for b in range(low, high) if b not in b"\x81\x8d\x8f\x90\x9d") for low, high in
                     ((0x80, 0xC0), (0xC0, 0x100))]
ALL_HIGH_BYTES = bytes(range(0x80, 0x100))


def utf16_length(text):
    """How many UTF-16 code units the text is, as Windows counts a path."""
    return len(text.encode("utf-16-le")) // 2


class HostileInputTest(E2ECase):
    def setUp(self):
        super().setUp()
        self.font = self.truetype(self.sandbox / "fonts" / "font.ttf")
        self.folder = self.make_folder(self.sandbox / "folder")
        # The root of the drive the cases run on, which `\` names.
        self.root = Path(self.sandbox.anchor)

    def assertRun(self, command_line, stdout, broadcasts, may_change=(), locale=SINGLE_BYTE):
        """Runs the exact command line and checks its outcome, and that nothing
        changed under the sandbox (but the paths named) nor at the root of the
        drive, which `\\` names."""
        before = self.snapshot(self.sandbox)
        root_before = sorted(os.listdir(self.root))
        outcome = self.launch(command_line, locale=locale)
        self.assertOutcome(outcome, stdout, broadcasts)
        self.assertUnchanged(before, self.sandbox, except_for=may_change)
        self.assertEqual(sorted(os.listdir(self.root)), root_before, "entries at the root changed")
        for path in may_change:
            if path.exists():
                self.discard(path)

    def test_command_line_at_the_length_limit(self):
        font, folder, root = self.raw(self.font), self.raw(self.folder), self.raw(self.root)
        # No function of either program can take a path that long, so
        # whether anything is there is unknown: nothing is done (1).
        long_removal = (b"1", 0)

        def padded(head, filler, tail=b""):
            room = LONGEST_COMMAND_LINE - len(head) - len(tail)
            return head + (filler * room)[:room] + tail

        cases = [
            ("refresh, then one long ignored argument", padded(b"fontctl.exe 10 ", b"x"), b"0", 1, []),
            ("refresh after white space", padded(b"fontctl.exe", b" ", b"10"), b"0", 1, []),
            ("refresh after leading zeros", padded(b"fontctl.exe ", b"0", b"10"), b"0", 1, []),
            ("a clamped number", padded(b"fontctl.exe 1", b"9", b" " + font + b" " + folder), b"", 0, []),
            ("a long missing source", padded(b"fontctl.exe 1 " + root, b"y", b" " + folder), b"1", 0, []),
            ("a long missing folder", padded(b"fontctl.exe 1 " + font + b" " + folder + b"\\", b"y"), b"2", 0, []),
            ("a long removal path", padded(b"fontctl.exe 2 " + root, b"y"), *long_removal, []),
            ("many ignored arguments", padded(b"fontctl.exe 1 " + font + b" " + folder, b" a"), b"0", 1,
             [self.folder / "font.ttf"]),
            ("quotes only", padded(b"fontctl.exe 1 ", b'"'), b"1", 0, []),
            ("backslashes only", padded(b"fontctl.exe 1 ", b"\\"), b"1", 0, []),
        ]
        for name, line, stdout, broadcasts, may_change in cases:
            with self.subTest(name):
                self.assertEqual(len(line), LONGEST_COMMAND_LINE)
                self.assertRun(line, stdout, broadcasts, may_change)
        with self.subTest("double-byte characters under code page 932"):
            # The limit counts characters: these take two bytes each.
            head = "fontctl.exe 2 " + self.win(self.root)
            line = (head + "表" * (LONGEST_COMMAND_LINE - len(head))).encode("cp932")
            self.assertEqual(len(line.decode("cp932")), LONGEST_COMMAND_LINE)
            self.assertRun(line, *long_removal, locale=JAPANESE)

    def test_paths_longer_than_max_path(self):
        # Neither program is long-path aware: Windows' functions take a path
        # only while its full form is shorter than MAX_PATH (260 UTF-16
        # units). Both programs refuse a longer one alike, on Wine (whose wide
        # functions reach it) as on Windows (whose wide functions may say it
        # is not there): an install answers 1 for the font, 2 for the folder,
        # a removal 1, touching nothing.
        self.needs(LONG_PATHS)
        for component_length in (100, 250):
            deep = self.sandbox.joinpath(*[c * component_length for c in "dlmn"])
            with self.subTest(length=len(self.win(deep))):
                self.assertGreater(len(self.win(deep)), 400)
                long_font = self.truetype(deep / "font.ttf")
                long_folder = self.make_folder(deep / "folder")
                self.assertRun(b"fontctl.exe 1 " + self.raw(long_font) + b" " + self.raw(self.folder), b"1", 0)
                self.assertRun(b"fontctl.exe 1 " + self.raw(self.font) + b" " + self.raw(long_folder), b"2", 0)
                self.assertRun(b"fontctl.exe 2 " + self.raw(long_font), b"1", 0)
                self.assertTrue(long_font.exists())

    def test_paths_at_max_path(self):
        # A full path of 259 UTF-16 units is taken, one of 260 is not. A
        # relative path counts with the current folder that it is resolved
        # against, and the length is counted in UTF-16 units, as Windows
        # counts it: under code page 932 表 is two bytes and one unit, and 📁
        # (beyond the Basic Multilingual Plane) is two units.
        utf8 = self.session.fontctl_exe == self.session.fontctl_utf8_exe
        counted_apart = ("📁", SINGLE_BYTE) if utf8 else ("表", JAPANESE)
        for characters, locale in (("", SINGLE_BYTE), counted_apart):
            for length, answer in ((259, b"0"), (260, b"1")):
                with self.subTest(characters=characters, length=length):
                    if length >= 260:
                        self.needs(LONG_PATHS)
                    case = self.new_dir(f"at {length}")
                    # The name: n, the characters ten times, n up to length.
                    head = "n" + characters * 10
                    name = head + "n" * (length - utf16_length(self.win(case / head)) - len(".ttf")) + ".ttf"
                    font = self.truetype(case / name)
                    self.assertEqual(utf16_length(self.win(font)), length)
                    copy = self.folder / name

                    self.assertOutcome(self.fontctl("1", name, self.folder, cwd=case, locale=locale), answer,
                                       broadcasts=int(answer == b"0"))
                    self.assertEqual(copy.exists(), answer == b"0")
                    if copy.exists():
                        self.assertOutcome(self.fontctl("2", copy, locale=locale), b"0", broadcasts=1)
                    # A path of that length at which nothing is: looked at
                    # and found not there (0), or not looked at (1).
                    before = self.snapshot(case)
                    self.assertOutcome(self.fontctl("2", "m" + name[1:], cwd=case, locale=locale), answer,
                                       broadcasts=int(answer == b"0"))
                    self.assertUnchanged(before, case)

    def test_destination_longer_than_max_path(self):
        # Both paths are shorter than MAX_PATH, their join is far longer:
        # neither program can take the destination (nor its temporary file
        # beside it), and the install answers 3, copying nothing. Wine's wide
        # functions would reach it; Windows' would not, without \\?\. The
        # lengths follow from the sandbox's (a runner's TEMP is some 40
        # characters longer than Wine's Z:\tmp): the font's path as long as
        # MAX_PATH allows, the folder's as long as a folder may be without
        # long paths.
        fonts = self.sandbox / "fonts"
        name_length = LONGEST_PATH - len(self.win(fonts)) - 1
        folder_name_length = LONGEST_FOLDER - len(self.win(self.sandbox)) - 1
        if min(name_length, folder_name_length) < 12:
            self.skipTest(f"the sandbox's path is too long to be within MAX_PATH: {self.win(self.sandbox)}")
        font = self.truetype(fonts / ("n" * (name_length - 4) + ".ttf"))
        folder = self.make_folder(self.sandbox / ("f" * folder_name_length))
        copy = folder / font.name
        self.assertEqual(len(self.win(font)), LONGEST_PATH)
        self.assertEqual(len(self.win(folder)), LONGEST_FOLDER)
        self.assertGreater(len(self.win(copy)), LONGEST_PATH)

        before = self.snapshot(self.sandbox)
        install = b"fontctl.exe 1 " + self.raw(font) + b" " + self.raw(folder)
        self.assertOutcome(self.launch(install), b"3", 0)
        self.assertUnchanged(before, self.sandbox)

    def test_high_bytes_in_file_names(self):
        cases = [(SINGLE_BYTE, raw.decode("cp1252")) for raw in DEFINED_HIGH_1252]
        cases.append((JAPANESE, TRAIL_5C_CHARACTERS))
        for locale, name in cases:
            with self.subTest(locale=locale, name=name):
                font = self.truetype(self.sandbox / "high" / (name + ".ttf"))
                copy = self.folder / font.name
                install = b"fontctl.exe 1 " + self.raw(font, locale) + b" " + self.raw(self.folder, locale)
                remove = b"fontctl.exe 2 " + self.raw(copy, locale)
                # The copy lands under the whole name and can be removed by it.
                before = self.snapshot(self.sandbox)
                self.assertOutcome(self.launch(install, locale=locale), b"0", broadcasts=1)
                self.assertSameBytes(copy, font)
                self.assertUnchanged(before, self.sandbox, except_for=[copy])
                self.assertRun(remove, b"0", 1, may_change=[copy], locale=locale)
                self.assertFalse(copy.exists())

    def test_every_high_byte_in_a_missing_path(self):
        for locale in (SINGLE_BYTE, JAPANESE):
            with self.subTest(locale=locale):
                missing = self.raw(self.sandbox, locale) + b"\\" + ALL_HIGH_BYTES
                folder = self.raw(self.folder, locale)
                self.assertRun(b"fontctl.exe 1 " + missing + b" " + folder, b"1", 0, locale=locale)
                self.assertRun(b"fontctl.exe 1 " + self.raw(self.font) + b" " + missing, b"2", 0, locale=locale)
                self.assertRun(b"fontctl.exe 2 " + missing, b"0", 1, locale=locale)
                self.assertRun(b"fontctl.exe " + ALL_HIGH_BYTES, b"", 0, locale=locale)

    def test_lead_byte_at_the_end_of_an_argument(self):
        # 0x95 is a lead byte under code page 932 and the character • under
        # 1252. Under 932 the system never hands over a lead byte without its
        # second byte: when a Unicode command line is made from these bytes, a
        # lead byte before a space or a quote becomes U+30FB together with that
        # byte, and one at the very end is dropped.
        font, folder = self.raw(self.font), self.raw(self.folder)
        copy = self.folder / "font.ttf"
        cases = [
            # name, line, {locale: (stdout, broadcasts, may change)}
            ("after the command", b"fontctl.exe 10\x95", {SINGLE_BYTE: (b"0", 1, []), JAPANESE: (b"0", 1, [])}),
            ("before a space", b"fontctl.exe 1 " + font + b"\x95 " + folder,
             {SINGLE_BYTE: (b"1", 0, []), JAPANESE: (b"1", 0, [])}),
            ("before a closing quote", b'fontctl.exe 1 "' + font + b'\x95" ' + folder,
             {SINGLE_BYTE: (b"1", 0, []), JAPANESE: (b"1", 0, [])}),
            ("at the end of the folder path", b"fontctl.exe 1 " + font + b" " + folder + b"\x95",
             {SINGLE_BYTE: (b"2", 0, []), JAPANESE: (b"0", 1, [copy])}),
            # Under 932 this names the font file, which was never installed.
            ("at the end of the removal path", b"fontctl.exe 2 " + font + b"\x95",
             {SINGLE_BYTE: (b"0", 1, []), JAPANESE: (b"1", 0, [])}),
        ]
        for name, line, expected in cases:
            for locale, (stdout, broadcasts, may_change) in expected.items():
                with self.subTest(name, locale=locale):
                    self.assertRun(line, stdout, broadcasts, may_change, locale=locale)

    def test_paths_of_backslashes_only(self):
        # Relative to the current drive, "\" is its root, an existing folder;
        # two or more backslashes start a network path that names nothing.
        font, folder = self.raw(self.font), self.raw(self.folder)

        def backslashes(count):
            return b"\\" * count

        cases = [
            # name, arguments, stdout, broadcasts
            ("source: the root, whose file name is empty", b"1 " + backslashes(1) + b" " + folder, b"3", 0),
            ("source: two", b"1 " + backslashes(2) + b" " + folder, b"1", 0),
            ("source: six", b"1 " + backslashes(6) + b" " + folder, b"1", 0),
            ("folder: two", b"1 " + font + b" " + backslashes(2), b"2", 0),
            ("folder: eight", b"1 " + font + b" " + backslashes(8), b"2", 0),
            # (A folder of the root alone takes the copy into the root: see
            # test_destination_path.)
            ("source and folder: the root", b"1 " + backslashes(1) + b" " + backslashes(1), b"3", 0),
            # A search for a root matches no entry.
            ("removal: the root", b"2 " + backslashes(1), b"0", 1),
            # (A removal of two or ten backslashes answers as the search's
            # error for them means: see test_search_answers.)
        ]
        for name, arguments, stdout, broadcasts in cases:
            with self.subTest(name):
                self.assertRun(b"fontctl.exe " + arguments, stdout, broadcasts)
