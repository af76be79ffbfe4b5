"""Each installation result code from a real situation, with what it leaves
in the file system and whether it broadcast."""
from e2e_case import E2ECase


class InstallSuccessTest(E2ECase):
    def test_font_is_copied_added_and_broadcast(self):
        for name, make in (("font.ttf", self.truetype), ("collection.ttc", self.collection)):
            with self.subTest(name):
                case = self.new_dir(name)
                font = make(case / "source" / name)
                folder = self.make_folder(case / "folder")
                source_bytes = font.read_bytes()
                copy = folder / font.name

                self.assertOutcome(self.fontctl("1", font, folder), b"0", broadcasts=1)
                self.assertSameBytes(copy, font)
                self.assertEqual(font.read_bytes(), source_bytes)

                # The font table holds the copy, not the source: only the copy
                # can be taken out of it again.
                self.assertOutcome(self.fontctl("2", font), b"1", broadcasts=0)
                self.assertOutcome(self.fontctl("2", copy), b"0", broadcasts=1)
                self.assertFalse(copy.exists())

    def test_file_of_that_name_is_overwritten(self):
        case = self.new_dir()
        font = self.truetype(case / "source" / "font.ttf")
        folder = self.make_folder(case / "folder")
        (folder / "font.ttf").write_bytes(b"an older file of the same name\n" * 100)

        self.assertOutcome(self.fontctl("1", font, folder), b"0", broadcasts=1)
        self.assertSameBytes(folder / "font.ttf", font)


class InstallFailureTest(E2ECase):
    def test_source_missing(self):
        case = self.new_dir()
        self.truetype(case / "font.ttf")
        folder = self.make_folder(case / "folder")
        cases = [
            ("empty source", ("1", "", folder)),
            ("missing source", ("1", case / "missing.ttf", folder)),
            ("neither path exists", ("1", case / "missing.ttf", case / "no folder")),
            ("no paths at all", ("1",)),
        ]
        self._assert_fails_untouched(case, cases, b"1")

    def test_folder_missing_copies_nothing(self):
        case = self.new_dir()
        font = self.truetype(case / "font.ttf")
        cases = [
            ("empty folder", ("1", font, "")),
            ("no folder argument", ("1", font)),
            ("missing folder", ("1", font, case / "missing")),
            ("missing parent folder", ("1", font, case / "missing" / "folder")),
        ]
        self._assert_fails_untouched(case, cases, b"2")

    def test_copy_failed(self):
        case = self.new_dir()
        font = self.truetype(case / "fonts" / "font.ttf")
        self.non_font(case / "a file")
        cases = [
            # The existence test does not tell files from folders; the copy does.
            ("folder path names a file", ("1", font, case / "a file")),
            # A file cannot be copied onto itself; the source stays intact.
            ("into the folder it lives in", ("1", font, case / "fonts")),
            ("source names a folder", ("1", case / "fonts", case)),
        ]
        self._assert_fails_untouched(case, cases, b"3")

    def test_add_failed_keeps_the_copy(self):
        case = self.new_dir()
        folder = self.make_folder(case / "folder")
        text = self.non_font(case / "notes.txt")
        empty = case / "empty.ttf"
        empty.write_bytes(b"")
        for source in (text, empty):
            with self.subTest(source=source.name):
                before = self.snapshot(case)
                self.assertOutcome(self.fontctl("1", source, folder), b"4", broadcasts=0)
                self.assertSameBytes(folder / source.name, source)
                self.assertUnchanged(before, case, except_for=[folder / source.name])

    def _assert_fails_untouched(self, case, cases, code):
        for name, args in cases:
            with self.subTest(name):
                before = self.snapshot(case)
                self.assertOutcome(self.fontctl(*args), code, broadcasts=0)
                self.assertUnchanged(before, case)
