"""Whether a font that fontctl installed is there for the other programs of
the session: a helper (helpers/font_families.c) looks for its family from a
process of its own.

On Windows a font added without FR_PRIVATE is in the session's font table for
every process at once, and gone for all of them once it is removed. Wine
keeps it with the process that added it (measured on Wine 8 and Wine 10,
every run): another process does not find the family by name. Each case
asserts the answer of the platform it runs on."""
import os
import shutil

import font_files
from e2e_case import E2ECase


class OtherProcessTest(E2ECase):
    def family_seen(self, family, font_file=None):
        """Whether another process finds the family; with FONT_FILE, one
        that has added that file to its own font table."""
        args = [family] if font_file is None else [family, font_file]
        outcome = self.run_program(self.session.helper("font_families.exe"), *args)
        self.assertEqual(outcome.status, 0, outcome)
        self.assertIn(outcome.stdout, (b"present", b"absent"), outcome)
        return outcome.stdout == b"present"

    def test_installed_font_is_there_for_other_processes(self):
        cases = [
            # program, the font's file name
            (False, "font.ttf"),
            # The name lies outside the ANSI code page: the copy reaches GDI
            # as UTF-16.
            (True, "Шрифт 日本語.ttf"),
        ]
        for utf8, name in cases:
            with self.subTest(name, utf8=utf8):
                case = self.new_dir()
                font = self.make_folder(case / "source") / name
                # GDI compares no more than 31 characters of a family name.
                family = font_files.write_truetype(font, kind="Seen")
                self.assertLess(len(family), 32)
                folder = self.make_folder(case / "folder")
                copy = folder / name
                self.assertFalse(self.family_seen(family), "a family of its own")

                self.assertOutcome(self.fontctl("1", font, folder, utf8=utf8), b"0", broadcasts=1)
                self.assertEqual(self.family_seen(family), self.answer(wine=False, windows=True))
                if self.session.platform == "wine":
                    # No other process sees the font under Wine: one that
                    # adds the copy itself finds it by that name, so the
                    # copy is that font and the name is the one looked for.
                    # (On Windows the session's font table holds the family
                    # already: that would hold whatever the copy is.)
                    self.assertTrue(self.family_seen(family, copy))

                self.assertOutcome(self.fontctl("2", copy, utf8=utf8), b"0", broadcasts=1)
                self.assertFalse(self.family_seen(family))

    def test_relative_target_folder(self):
        # The target folder is given relatively. The copy is made in it, as
        # the file functions resolve it against the current folder, and the
        # font table is handed the copy's full path. Beside the program lies
        # another font under the same relative path (target\font.ttf in the
        # program's own folder), which a font table that searched for a
        # relative path as SearchPath does would find first. On Windows the
        # face that loads is the copy's. Wine keeps it with the process that
        # added it: there the removal by the copy's full path, from another
        # folder, shows that the font table holds the copy.
        case = self.new_dir()
        program = self.make_folder(case / "program") / os.path.basename(self.session.fontctl_exe)
        shutil.copyfile(self.session.fontctl_exe, program)
        beside = self.make_folder(program.parent / "target") / "font.ttf"
        beside_family = font_files.write_truetype(beside, kind="Beside")
        work = self.make_folder(case / "work")
        font = self.make_folder(work / "source") / "font.ttf"
        family = font_files.write_truetype(font, kind="Copy")
        copy = self.make_folder(work / "target") / "font.ttf"
        beside_bytes = beside.read_bytes()

        self.assertOutcome(self.run_program(program, "1", "source\\font.ttf", "target", cwd=work), b"0", broadcasts=1)
        self.assertSameBytes(copy, font)
        self.assertEqual(self.family_seen(family), self.answer(wine=False, windows=True))
        self.assertFalse(self.family_seen(beside_family))

        self.assertOutcome(self.fontctl("2", copy), b"0", broadcasts=1)
        self.assertFalse(copy.exists())
        self.assertFalse(self.family_seen(family))
        self.assertEqual(beside.read_bytes(), beside_bytes)

    def test_relative_font_path_in_a_removal(self):
        # A font installed by its full path is removed by a relative one:
        # the search, the font table and the deletion are all handed the one
        # full path that the current folder gives.
        case = self.new_dir()
        font = self.make_folder(case / "source") / "font.ttf"
        family = font_files.write_truetype(font, kind="Relative")
        folder = self.make_folder(case / "folder")
        self.assertOutcome(self.fontctl("1", font, folder), b"0", broadcasts=1)

        self.assertOutcome(self.fontctl("2", "font.ttf", cwd=folder), b"0", broadcasts=1)
        self.assertFalse((folder / "font.ttf").exists())
        self.assertFalse(self.family_seen(family))
