"""An installation into a folder where something is already at the
destination. The file of that very name is replaced, however the name is
written (letter case, the dots and spaces that Windows drops at its end). A
name that is only the 8.3 short name of another file would reach that file,
and in a folder that cannot be listed fontctl cannot tell: both answer 3 and
touch nothing."""
import os
from pathlib import PureWindowsPath

from e2e_case import E2ECase


class ExistingDestinationTest(E2ECase):
    def test_only_the_file_of_that_very_name_is_replaced(self):
        case = self.new_dir()
        folder = self.make_folder(case / "folder")
        other = self.truetype(folder / "Another Long Font Name.ttf")
        # Without a short name for the other file (8.3 name creation off on
        # its volume) only these sub-cases are skipped.
        with self.subTest("named like another file's short name"):
            alias = PureWindowsPath(self.aliased_path(other)).name
            source = self.make_folder(case / "source")
            font = self.truetype(source / alias)

            # Each names the source file (Windows drops a name's trailing dots
            # and spaces, and ignores its case) and, in the folder, the other one.
            refused = [
                ("the short name", font, folder),
                ("in lower case", self.win(source / alias.lower()), folder),
                ("with a dot after it", self.win(font) + ".", folder),
                ("with dots and spaces after it", self.win(font) + " . .", folder),
                ("into a folder ending in a backslash", font, self.win(folder) + "\\"),
                ("into a \\\\?\\ folder", font, "\\\\?\\" + self.win(folder)),
            ]
            for name, given, target in refused:
                with self.subTest(name):
                    before = self.snapshot(case)
                    self.assertOutcome(self.fontctl("1", given, target), b"3", broadcasts=0)
                    self.assertUnchanged(before, case)

        replaced = [
            # name, the existing file, the source, as given
            ("the long name in other case", other, "ANOTHER LONG FONT NAME.TTF", None),
            ("the long name with dots and spaces after it", folder / "dot.ttf", "dot.ttf", "dot.ttf. ."),
            ("a name with no short name, in other case", folder / "case.ttf", "Case.ttf", None),
        ]
        for name, existing, source_name, given in replaced:
            with self.subTest(name):
                if not existing.exists():
                    self.non_font(existing)
                new = self.truetype(self.new_dir(name) / source_name)
                before = self.snapshot(case)
                given = self.win(new.parent) + "\\" + given if given else new
                self.assertOutcome(self.fontctl("1", given, folder), b"0", broadcasts=1)
                self.assertSameBytes(existing, new)
                # One entry of that name, whose letter case is the old file's
                # under Wine (which renames onto the Unix name it found) and,
                # on Windows, the old file's or the source's: NTFS may give the
                # entry the name as the rename spells it.
                entries = [entry for entry in os.listdir(folder) if entry.lower() == existing.name.lower()]
                self.assertEqual(len(entries), 1, entries)
                self.assertIn(entries[0], self.answer(wine={existing.name}, windows={existing.name, source_name}))
                self.assertUnchanged(before, case, except_for=[existing, folder / source_name])

    def test_folder_that_cannot_be_listed(self):
        case = self.new_dir_of_ordinary_user()
        font = self.truetype(case / "source" / "font.ttf")
        folder = self.make_folder(case / "folder")
        self.allow_listing(folder)
        self.assertOutcome(self.fontctl_as_ordinary_user("1", font, folder), b"0", broadcasts=1)
        # Out of the font table, where Windows would hold it open, so that
        # nothing but the listing stops a new copy.
        self.session.release_font(folder / "font.ttf")

        # Again, once the folder cannot be listed: the copy could replace
        # font.ttf, but whether that name is another file's short name
        # cannot be told there.
        self.deny_listing(folder)
        before = self.snapshot(case)
        self.assertOutcome(self.fontctl_as_ordinary_user("1", font, folder), b"3", broadcasts=0)
        self.assertUnchanged(before, case)
