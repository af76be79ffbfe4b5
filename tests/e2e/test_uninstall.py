"""Font removal (command 2) from real situations: what it answers, whether
the file is still there, and whether it broadcast."""
import os
import stat

import font_files
from e2e_case import E2ECase
from e2e_session import NEW_SESSION
from font_calls import own_variant, run_with_font_calls


class UninstallTest(E2ECase):
    def install(self, make, name):
        """A font installed into a folder of its own; returns the copy."""
        case = self.new_dir(name)
        font = make(case / "source" / name)
        folder = self.make_folder(case / "folder")
        self.assertOutcome(self.fontctl("1", font, folder), b"0", broadcasts=1)
        return folder / name

    def test_installed_font_is_removed_and_again(self):
        for name, make in (("font.ttf", self.truetype), ("fonts.ttc", self.collection)):
            with self.subTest(name):
                copy = self.install(make, name)
                before = self.snapshot(copy.parent)

                self.assertOutcome(self.fontctl("2", copy), b"0", broadcasts=1)
                self.assertFalse(copy.exists())
                self.assertUnchanged(before, copy.parent, except_for=[copy])

                # Now the path matches nothing: done already, broadcast again.
                self.assertOutcome(self.fontctl("2", copy), b"0", broadcasts=1)

    def test_font_of_an_earlier_session(self):
        # A font added without FR_PRIVATE stays in the font table until the
        # session ends; in the next one its file names nothing there.
        self.needs(NEW_SESSION)
        copy = self.install(self.truetype, "font.ttf")
        self.session.restart_session()
        before = self.snapshot(copy.parent)
        self.assertOutcome(self.fontctl("2", copy), b"1", broadcasts=0)
        self.assertUnchanged(before, copy.parent)

    def test_font_whose_drive_is_gone(self):
        # The drive of an installed font goes (a drive letter removed, a
        # stick pulled) while the font is in the font table. The search says
        # that nothing is there, so the removal answers 0 as ever, and it
        # asks the font table to let go of the path all the same: the record
        # of its calls shows that it asked, on every platform. Wine keeps
        # fonts with the process that added them (a new process loads them
        # again). Whether Windows' font table lets go of a
        # path that names no file is not documented (its AddFontResource
        # answers ERROR_FILE_NOT_FOUND for such a path, so gdi32 may look a
        # path up before the font table is asked at all): either
        # no program finds the family after it, and with the drive back the
        # font is no longer there to remove (1, the file stays), or the font
        # stays, and with the drive back the removal takes it out and deletes
        # its file (0). Anything between the two is a fault.
        case = self.new_dir()
        font = self.make_folder(case / "source") / "font.ttf"
        family = font_files.write_truetype(font, kind="Gone")
        root = self.make_folder(case / "drive")
        drive, remove_drive = self.session.new_drive(root)
        removed = []
        self.addCleanup(lambda: removed or remove_drive())
        copy = drive + "\\font.ttf"
        self.assertOutcome(self.fontctl("1", font, drive + "\\"), b"0", broadcasts=1)
        self.assertEqual(self.family_seen(family), self.answer(wine=False, windows=True))
        remove_drive()
        removed.append(drive)

        outcome, calls = run_with_font_calls(self, "2", copy)
        self.assertOutcome(outcome, b"0", broadcasts=1)
        # The program's own call, with the path, and no other path.
        self.assertEqual(calls[:1], [(f"RemoveFontResource{own_variant(self)}", copy)], calls)
        self.assertEqual({path for _, path in calls}, {copy}, calls)
        wine = self.session.platform == "wine"
        # Whether the font table still holds the font: under Wine it never
        # shows in another process.
        seen = self.family_seen(family)
        if wine:
            self.assertFalse(seen)
        self.assertTrue((root / "font.ttf").is_file(), "the file on the drive")

        # The drive back, under the same letter: the path the font was
        # installed by names the file again.
        again, remove_drive = self.session.new_drive(root)
        self.addCleanup(remove_drive)
        self.assertEqual(again, drive)
        # Wine's new process has the font loaded again from Wine's own
        # record of it, and removes it.
        code = self.answer(wine=b"0", windows=b"0" if seen else b"1")
        self.assertOutcome(self.fontctl("2", copy), code, broadcasts=int(code == b"0"))
        self.assertEqual((root / "font.ttf").is_file(), code == b"1")

    def family_seen(self, family):
        """Whether another process finds a face of the family."""
        outcome = self.run_program(self.session.helper("font_families.exe"), family)
        self.assertEqual(outcome.status, 0, outcome)
        return outcome.stdout == b"present"

    def test_third_argument_changes_nothing(self):
        copy = self.install(self.truetype, "font.ttf")
        self.assertOutcome(self.fontctl("2", copy, copy.parent), b"0", broadcasts=1)
        self.assertFalse(copy.exists())
        self.assertTrue(copy.parent.is_dir())

    def test_nothing_in_the_font_table_for_the_path(self):
        case = self.new_dir()
        never_installed = self.truetype(case / "never installed.ttf")
        text = self.non_font(case / "notes.txt")
        folder = self.make_folder(case / "folder")
        for path in (never_installed, text, folder):
            with self.subTest(path=path.name):
                before = self.snapshot(case)
                self.assertOutcome(self.fontctl("2", path), b"1", broadcasts=0)
                self.assertUnchanged(before, case)

    def test_wildcard_patterns(self):
        copy = self.install(self.truetype, "font.ttf")
        folder = copy.parent
        # A matching pattern passes the search, but the font table is given
        # the pattern itself, which names no font file.
        for pattern in ("*", "*.ttf", "fon?.ttf", "f*t.t?f"):
            with self.subTest(pattern=pattern):
                before = self.snapshot(folder)
                self.assertOutcome(self.fontctl("2", self.win(folder) + "\\" + pattern), b"1", broadcasts=0)
                self.assertUnchanged(before, folder)
        for pattern in ("*.otf", "fon?", "x*"):
            with self.subTest(pattern=pattern):
                before = self.snapshot(folder)
                self.assertOutcome(self.fontctl("2", self.win(folder) + "\\" + pattern), b"0", broadcasts=1)
                self.assertUnchanged(before, folder)
        # The font is still installed and still removable by its own name.
        self.assertOutcome(self.fontctl("2", copy), b"0", broadcasts=1)
        self.assertFalse(copy.exists())

    def test_stream_paths(self):
        # A directory search lists no data streams, so whether one is there
        # (a.ttf::$DATA is the file itself on NTFS) it cannot tell: nothing is
        # taken out of the font table, nothing deleted, nothing broadcast.
        copy = self.install(self.truetype, "font.ttf")
        for stream in ("::$DATA", ":s", ":s:$DATA"):
            with self.subTest(stream=stream):
                before = self.snapshot(copy.parent)
                self.assertOutcome(self.fontctl("2", self.win(copy) + stream), b"1", broadcasts=0)
                self.assertUnchanged(before, copy.parent)
        # Still in the font table: the file itself is removed.
        self.assertOutcome(self.fontctl("2", copy), b"0", broadcasts=1)
        self.assertFalse(copy.exists())

    def test_folder_that_cannot_be_listed(self):
        # The search fails (access denied), so whether the file is there is
        # unknown: the font stays in the font table and the file in the
        # folder, and the caller does not read success.
        case = self.new_dir_of_ordinary_user()
        font = self.truetype(case / "source" / "font.ttf")
        folder = self.make_folder(case / "folder")
        self.allow_listing(folder)
        copy = folder / "font.ttf"
        self.assertOutcome(self.fontctl_as_ordinary_user("1", font, folder), b"0", broadcasts=1)

        self.deny_listing(folder)
        before = self.snapshot(case)
        self.assertOutcome(self.fontctl_as_ordinary_user("2", copy), b"1", broadcasts=0)
        self.assertUnchanged(before, case)

        # Listed again, the font is still in the font table and is removed.
        self.allow_listing(folder)
        self.assertOutcome(self.fontctl_as_ordinary_user("2", copy), b"0", broadcasts=1)
        self.assertFalse(copy.exists())

    def test_deletion_fails(self):
        copy = self.install(self.truetype, "font.ttf")
        copy.chmod(stat.S_IRUSR | stat.S_IRGRP | stat.S_IROTH)
        try:
            before = self.snapshot(copy.parent)
            self.assertOutcome(self.fontctl("2", copy), b"2", broadcasts=0)
            self.assertUnchanged(before, copy.parent)
        finally:
            os.chmod(copy, stat.S_IRUSR | stat.S_IWUSR)

    def test_no_path(self):
        for args in (("2",), ("2", "")):
            with self.subTest(args=args):
                before = self.snapshot(self.sandbox)
                self.assertOutcome(self.fontctl(*args), b"0", broadcasts=1)
                self.assertUnchanged(before, self.sandbox)
