"""fontctl-utf8.exe reaches files whose names the system code page cannot
spell, where fontctl.exe is handed `?` in their place. (That it is otherwise
the same tool shows when the whole suite runs with it as fontctl.exe.)"""
from e2e_case import E2ECase
from wine_prefix import JAPANESE, SINGLE_BYTE


class Utf8ProgramTest(E2ECase):
    def setUp(self):
        super().setUp()
        if self.session.fontctl_exe == self.session.fontctl_utf8_exe:
            self.skipTest("fontctl-utf8.exe runs in fontctl.exe's place: there is nothing to compare")

    def assertInstallsAndRemoves(self, font, folder, locale):
        """fontctl-utf8.exe copies the font under its exact name, then removes
        the copy again, each with one broadcast."""
        copy = folder / font.name
        before = self.snapshot(self.sandbox)
        self.assertOutcome(self.fontctl("1", font, folder, locale=locale, utf8=True), b"0", broadcasts=1)
        self.assertSameBytes(copy, font)
        self.assertUnchanged(before, self.sandbox, except_for=[copy])
        self.assertOutcome(self.fontctl("2", copy, locale=locale, utf8=True), b"0", broadcasts=1)
        self.assertFalse(copy.exists())

    def test_names_outside_the_code_page(self):
        cases = [
            # locale, the font's path and the folder's below the case, fontctl.exe's code
            (SINGLE_BYTE, "fonts/日本語フォント.ttf", "folder", b"1"),
            (SINGLE_BYTE, "Ελληνικά/font.ttf", "folder", b"1"),
            (SINGLE_BYTE, "fonts/font.ttf", "Папка шрифтов", b"2"),
            (SINGLE_BYTE, "fonts/\U0001f642 smile.ttf", "folder", b"1"),
            (JAPANESE, "fonts/Über.ttf", "folder", b"1"),
            (JAPANESE, "fonts/café.ttf", "folder", b"1"),
            (JAPANESE, "fonts/한글.ttf", "folder", b"1"),
        ]
        for locale, font_path, folder_name, narrow_code in cases:
            with self.subTest(font_path, folder=folder_name, locale=locale):
                case = self.new_dir()
                font = self.truetype(case / font_path)
                folder = self.make_folder(case / folder_name)

                # fontctl.exe is given `?` for each such character: nothing
                # exists at that path.
                before = self.snapshot(case)
                self.assertOutcome(self.fontctl("1", font, folder, locale=locale), narrow_code, broadcasts=0)
                self.assertUnchanged(before, case)

                self.assertInstallsAndRemoves(font, folder, locale)

    def test_double_byte_name_under_code_page_932(self):
        # Under 932, 表 ends in the byte 0x5C; in UTF-8 none of its bytes is.
        case = self.new_dir()
        self.assertInstallsAndRemoves(self.truetype(case / "source" / "表.ttf"), self.make_folder(case / "表"),
                                      JAPANESE)

    def test_raw_command_line_with_a_space(self):
        case = self.new_dir()
        font = self.truetype(case / "fonts" / "Шрифт Кириллица.ttf")
        folder = self.make_folder(case / "folder")
        copy = folder / font.name
        install = f'fontctl.exe 1 "{self.win(font)}" "{self.win(folder)}"'
        remove = f'fontctl.exe 2 "{self.win(copy)}"'

        self.assertOutcome(self.launch(install), b"1", broadcasts=0)
        self.assertFalse(copy.exists())

        self.assertOutcome(self.launch(install, utf8=True), b"0", broadcasts=1)
        self.assertSameBytes(copy, font)
        self.assertOutcome(self.launch(remove, utf8=True), b"0", broadcasts=1)
        self.assertFalse(copy.exists())
