"""The standard splitting rules, through exact command lines: which bytes
end up as which argument shows in what the command does."""
from e2e_case import E2ECase
from wine_prefix import JAPANESE


class CommandLineSplittingTest(E2ECase):
    def setUp(self):
        super().setUp()
        case = self.new_dir()
        self.font = self.truetype(case / "my fonts" / "my font.ttf")
        self.folder = self.make_folder(case / "my folder")
        self.plain_font = self.truetype(case / "plain" / "font.ttf")
        self.plain_folder = self.make_folder(case / "plain folder")
        self.case = case

    def test_lines(self):
        font, folder = self.raw(self.font), self.raw(self.folder)
        plain, plain_folder = self.raw(self.plain_font), self.raw(self.plain_folder)
        fonts_dir = self.raw(self.plain_font.parent)
        lines = [
            # (what the line shows, the line after the program name, expected)
            ("quoted paths with spaces",
             b' 1 "' + font + b'" "' + folder + b'"', (b"0", 1, self.folder / "my font.ttf")),
            ("quotes may start and end inside an argument",
             b" 1 " + font.replace(b" ", b'" "') + b' "' + folder + b'"',
             (b"0", 1, self.folder / "my font.ttf")),
            ("two backslashes before a quote give one and the quote closes",
             b' 1 "' + font + b'" "' + folder + b'\\\\"', (b"0", 1, self.folder / "my font.ttf")),
            ("one backslash before a quote gives a literal quote, quoting goes on",
             b' 1 "' + font + b'" "' + folder + b'\\" ignored', (b"2", 0, None)),
            ("backslashes before no quote are copied as they are",
             b" 1 \\\\?\\" + plain + b' "' + plain_folder + b'"', (b"0", 1, self.plain_folder / "font.ttf")),
            ("two quotes inside quotes give one literal quote",
             b' "1""0" ' + plain + b' "' + plain_folder + b'"', (b"0", 1, self.plain_folder / "font.ttf")),
            ("a quote pair outside quotes only toggles",
             b' 1"0" ' + plain + b' "' + plain_folder + b'"', (b"0", 1, None)),
            ("tabs separate like spaces",
             b"\t1\t" + plain + b'\t"' + plain_folder + b'"\t', (b"0", 1, self.plain_folder / "font.ttf")),
            ("a quote left open runs to the end of the line",
             b' 1 "' + plain + b' "' + plain_folder + b'"', (b"1", 0, None)),
            ("a * reaches the program as typed",
             b" 1 " + fonts_dir + b'\\*.ttf "' + plain_folder + b'"', (b"1", 0, None)),
            ("a ? reaches the program as typed",
             b" 1 " + fonts_dir + b'\\fon?.ttf "' + plain_folder + b'"', (b"1", 0, None)),
            ("a * in the folder path reaches the program as typed",
             b" 1 " + plain + b' "' + plain_folder[:-1] + b'*"', (b"2", 0, None)),
        ]
        for name, arguments, (stdout, broadcasts, copy) in lines:
            for program in (b"fontctl.exe", b'"C:\\some folder\\fontctl.exe"'):
                with self.subTest(name, program=program):
                    before = self.snapshot(self.case)

                    outcome = self.launch(program + arguments)

                    self.assertOutcome(outcome, stdout, broadcasts)
                    if copy:
                        self.assertTrue(copy.is_file(), f"{copy} is missing")
                        self.discard(copy)
                    self.assertUnchanged(before, self.case)

    def test_double_byte_character_before_a_quote(self):
        # Under code page 932 the second byte of 表 is 0x5C, yet no backslash:
        # it does not turn the quote after it into a literal one.
        folder = self.make_folder(self.case / "表")
        font, raw_folder = self.raw(self.plain_font, JAPANESE), self.raw(folder, JAPANESE)
        for name, folder_argument in (("quote right after", b'"' + raw_folder + b'"'),
                                      ("two backslashes, then the quote", b'"' + raw_folder + b'\\\\"')):
            with self.subTest(name):
                outcome = self.launch(b"fontctl.exe 1 " + font + b" " + folder_argument, locale=JAPANESE)
                self.assertOutcome(outcome, b"0", broadcasts=1)
                self.assertSameBytes(folder / "font.ttf", self.plain_font)
                self.discard(folder / "font.ttf")

    def test_program_name_only_or_nothing_at_all(self):
        for line in (b"", b"fontctl.exe", b'"fontctl.exe"', b"fontctl.exe   \t ", b'"unclosed 1 10'):
            with self.subTest(line=line):
                before = self.snapshot(self.case)
                self.assertOutcome(self.launch(line), b"", broadcasts=0)
                self.assertUnchanged(before, self.case)
