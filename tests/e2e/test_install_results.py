"""Each installation result code from a real situation, with what it leaves
in the file system and whether it broadcast."""
import stat

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

    def test_file_of_that_name_in_the_folder(self):
        # The copy is renamed over the file of that name, but never over one
        # that copying over it would not replace: a read-only file, a hidden
        # or a system one (unless the copy is hidden or system too, as
        # Windows lets CopyFile re-create such a file), and a loaded font's
        # file, which Windows holds open. Each answers 3 and the file stays,
        # with no temporary file left beside it. Wine holds no font file
        # open: it replaces a loaded font's file.
        def older_file(copy):
            copy.write_bytes(b"an older file of the same name\n" * 100)

        def loaded_font(copy):
            self.assertOutcome(self.fontctl("1", self.truetype(self.new_dir("older") / copy.name), copy.parent),
                               b"0", broadcasts=1)

        def read_only(copy):
            older_file(copy)
            copy.chmod(stat.S_IRUSR | stat.S_IRGRP | stat.S_IROTH)

        def with_attribute(attribute):
            def make(copy):
                older_file(copy)
                self.assertEqual(self.run_program("attrib", attribute, copy).status, 0)
            return make

        def hidden_source(font):
            self.assertEqual(self.run_program("attrib", "+h", font).status, 0)

        cases = [
            # what is there, how it is made, how the source is made, the
            # answer under Wine and on Windows
            ("an older file", older_file, None, b"0", b"0"),
            ("the file of a loaded font", loaded_font, None, b"0", b"3"),
            ("a read-only file", read_only, None, b"3", b"3"),
            ("a hidden file", with_attribute("+h"), None, b"3", b"3"),
            ("a system file", with_attribute("+s"), None, b"3", b"3"),
            # The copy of a hidden source is hidden too, so the rename may
            # replace the hidden file.
            ("a hidden file, the source hidden too", with_attribute("+h"), hidden_source, b"0", b"0"),
        ]
        for name, make, make_source, wine, windows in cases:
            with self.subTest(name):
                case = self.new_dir(name)
                font = self.truetype(case / "source" / "font.ttf")
                if make_source:
                    make_source(font)
                folder = self.make_folder(case / "folder")
                copy = folder / font.name
                make(copy)
                before = self.snapshot(case)

                code = self.answer(wine=wine, windows=windows)
                self.assertOutcome(self.fontctl("1", font, folder), code, broadcasts=int(code == b"0"))
                if code == b"0":
                    self.assertSameBytes(copy, font)
                    self.assertUnchanged(before, case, except_for=[copy])
                else:
                    self.assertUnchanged(before, case)

    def test_loaded_font_taken_out_first(self):
        # What the examples do before they install a font again: take the
        # loaded copy out of the font table, then copy over it.
        case = self.new_dir()
        older = self.truetype(case / "older" / "font.ttf")
        font = self.truetype(case / "source" / "font.ttf")
        folder = self.make_folder(case / "folder")
        copy = folder / font.name
        self.assertOutcome(self.fontctl("1", older, folder), b"0", broadcasts=1)

        self.assertOutcome(self.fontctl("2", copy), b"0", broadcasts=1)
        self.assertOutcome(self.fontctl("1", font, folder), b"0", broadcasts=1)
        self.assertSameBytes(copy, font)


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
