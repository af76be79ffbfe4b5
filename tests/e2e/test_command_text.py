"""How the first argument is read as a command number, seen from outside: the
texts that must read as 1 or 10, as 0, or as a clamped bound. Each is followed
by a real font and folder, so a misreading as 1 would install and a misreading
as 10 would broadcast."""
from e2e_case import E2ECase

INSTALL = "install"
REFRESH = "refresh"
NOTHING = "nothing"

CASES = [
    # text of argument 1 (bytes, passed inside quotes), what it selects
    (b"10", REFRESH),
    (b" 10", REFRESH),  # leading white space is skipped ...
    (b"\t\n\x0b\x0c\r 10", REFRESH),  # ... all six kinds of it
    (b"+10", REFRESH),
    (b"010", REFRESH),  # a leading zero is no octal
    (b"0000000000000000000000010", REFRESH),  # nor are many: no overflow
    (b"10abc", REFRESH),  # the rest after the digits is ignored
    (b"10.5", REFRESH),
    (b"10 20", REFRESH),
    (b"+1", INSTALL),
    (b"01", INSTALL),
    (b" 1x", INSTALL),
    (b"0x10", NOTHING),  # hexadecimal reads as 0
    (b"0xA", NOTHING),
    (b"ten", NOTHING),
    (b"- 10", NOTHING),  # no white space after a sign
    (b"+-10", NOTHING),
    (b"-+10", NOTHING),
    (b"", NOTHING),
    (b"   ", NOTHING),
    (b"-0", NOTHING),
    (b"\xa010", NOTHING),  # no byte from 0x80 up is white space
    (b"\x8510", NOTHING),
    (b"2147483648", NOTHING),  # clamped to 2147483647
    (b"99999999999999999999", NOTHING),
    (b"-2147483649", NOTHING),  # clamped to -2147483648
    (b"-99999999999999999999", NOTHING),
    (b"4294967297", NOTHING),  # 2**32 + 1: clamped, never wrapped round to 1
    (b"4294967306", NOTHING),  # 2**32 + 10, never 10
    (b"-4294967286", NOTHING),  # -(2**32 - 10), never 10
    (b"18446744073709551617", NOTHING),  # 2**64 + 1, never 1
]


class CommandTextTest(E2ECase):
    def test_command_texts(self):
        for text, selects in CASES:
            with self.subTest(text=text):
                case = self.new_dir("text")
                font = self.truetype(case / "font.ttf")
                folder = self.make_folder(case / "folder")
                before = self.snapshot(case)

                outcome = self.launch(b'fontctl.exe "' + text + b'" ' + self.raw(font) + b" " + self.raw(folder))

                copy = folder / "font.ttf"
                if selects == INSTALL:
                    self.assertOutcome(outcome, b"0", broadcasts=1)
                    self.assertSameBytes(copy, font)
                    self.assertUnchanged(before, case, except_for=[copy])
                else:
                    self.assertOutcome(outcome, b"0" if selects == REFRESH else b"", broadcasts=int(selects == REFRESH))
                    self.assertUnchanged(before, case)
