"""Characters that the ANSI code page lacks, inside one argument. Windows'
own conversion of the command line (best fit) would turn them into look-alikes:
a fullwidth quote into a quote and a fullwidth backslash into a backslash
under code page 1252, a yen sign into the byte 0x5C under 932. One file name
would then split into other arguments or climb out of its folder. fontctl.exe
is given '?' for each instead, so the argument names nothing; fontctl-utf8.exe
is given them as they are, and installs and removes the very file named."""
from e2e_case import E2ECase
from wine_prefix import JAPANESE, SINGLE_BYTE

# Each name read with best fit names src\evil.ttf (installing it into loot\ or
# into target\ under the name evil.ttf) or, as a removal in target\,
# target\evil.ttf.
CRAFTED_NAMES = [
    # locale, the font's file name, whether the code page holds its characters
    (SINGLE_BYTE, "evil.ttf\uff02 \uff02..\uff3cloot\uff02 \uff02.ttf", False),
    (SINGLE_BYTE, "x\uff3c..\uff3cevil.ttf", False),
    (JAPANESE, "x\u00a5..\u00a5evil.ttf", False),
    # Under 932 the fullwidth quote and backslash are characters of the code
    # page (0xFA57, 0x815F): fontctl.exe reaches that file too.
    (JAPANESE, "evil.ttf\uff02 \uff02..\uff3cloot\uff02 \uff02.ttf", True),
]


class LookAlikeCharacterTest(E2ECase):
    def test_one_argument_names_one_file(self):
        # When fontctl-utf8.exe runs in fontctl.exe's place, every run gets the
        # characters as they are.
        narrow = self.session.fontctl_exe != self.session.fontctl_utf8_exe
        for locale, name, in_code_page in CRAFTED_NAMES:
            with self.subTest(name, locale=locale):
                case = self.new_dir()
                source = self.make_folder(case / "src")
                target = self.make_folder(case / "target")
                self.make_folder(case / "loot")
                font = self.truetype(source / name)
                decoy = self.truetype(source / "evil.ttf")
                copy = target / name
                # Paths relative to the current folder start from src\.
                install = f'fontctl.exe 1 "{self.win(font)}" "{self.win(target)}"'
                remove = f'fontctl.exe 2 "{self.win(copy)}"'

                def run(line, utf8=False, source=source, locale=locale):
                    return self.launch(line, cwd=source, locale=locale, utf8=utf8)

                # The decoy is installed by its own name, so that a removal that
                # reached it would take it out and delete it.
                self.assertOutcome(self.fontctl("1", decoy, target, locale=locale), b"0", broadcasts=1)
                before = self.snapshot(case)

                exact = in_code_page or not narrow
                if not exact:
                    self.assertOutcome(run(install), b"1", broadcasts=0)
                    self.assertUnchanged(before, case)
                    # Nothing in target\ matches: done already, and broadcast.
                    self.assertOutcome(run(remove), b"0", broadcasts=1)
                    self.assertUnchanged(before, case)

                self.assertOutcome(run(install, utf8=not exact), b"0", broadcasts=1)
                self.assertSameBytes(copy, font)
                self.assertUnchanged(before, case, except_for=[copy])

                if not exact:
                    # Now each '?' matches a character of the copy's name, but
                    # no file is named with a '?': the removal fails.
                    self.assertOutcome(run(remove), b"1", broadcasts=0)
                    self.assertUnchanged(before, case, except_for=[copy])

                self.assertOutcome(run(remove, utf8=not exact), b"0", broadcasts=1)
                self.assertFalse(copy.exists())
                self.assertUnchanged(before, case)
