"""Each row of the command table, run for real: what is written and what is
done, with exit status 0 every time."""
from e2e_case import E2ECase
from wine_trace import trace_calls, traced_calls


class CommandTableTest(E2ECase):
    def test_rows(self):
        # command, what it does with (font, folder) after it
        rows = [
            ("1", "install"),
            ("4", "install"),
            ("5", "install"),
            ("6", "install"),
            ("10", "refresh"),  # the paths after it are not read
            ("2", "remove"),  # position 2 is the font path; the folder after it is not read
            ("3", "nothing"),
            ("0", "nothing"),
            ("7", "nothing"),
            ("8", "nothing"),
            ("9", "nothing"),
            ("11", "nothing"),
            ("-1", "nothing"),
            ("2147483647", "nothing"),
            ("-2147483648", "nothing"),
        ]
        for command, action in rows:
            with self.subTest(command=command):
                case = self.new_dir(command)
                font = self.truetype(case / "source" / "font.ttf")
                folder = self.make_folder(case / "folder")
                before = self.snapshot(case)

                outcome = self.fontctl(command, font, folder)

                if action == "install":
                    self.assertOutcome(outcome, b"0", broadcasts=1)
                    self.assertSameBytes(folder / "font.ttf", font)
                    self.assertUnchanged(before, case, except_for=[folder / "font.ttf"])
                elif action == "refresh":
                    self.assertOutcome(outcome, b"0", broadcasts=1)
                    self.assertUnchanged(before, case)
                elif action == "remove":
                    # The file was never installed: the font table refuses it.
                    self.assertOutcome(outcome, b"1", broadcasts=0)
                    self.assertUnchanged(before, case)
                else:
                    self.assertOutcome(outcome, b"", broadcasts=0)
                    self.assertUnchanged(before, case)

    def test_missing_and_extra_positions(self):
        case = self.new_dir()
        font = self.truetype(case / "font.ttf")
        folder = self.make_folder(case / "folder")
        cases = [
            # name, args, stdout, broadcasts, installed
            ("no command at all", (), b"", 0, False),
            ("install without paths: the source is missing", ("1",), b"1", 0, False),
            ("install without a folder", ("1", font), b"2", 0, False),
            ("removal without a path: it matches nothing", ("2",), b"0", 1, False),
            ("refresh with arguments after it", ("10", "extra", "arguments"), b"0", 1, False),
            ("install with a fourth and fifth argument", ("1", font, folder, "fourth", "fifth"), b"0", 1, True),
        ]
        for name, args, stdout, broadcasts, installed in cases:
            with self.subTest(name):
                copy = folder / "font.ttf"
                copy.unlink(missing_ok=True)
                before = self.snapshot(case)

                outcome = self.fontctl(*args)

                self.assertOutcome(outcome, stdout, broadcasts)
                self.assertUnchanged(before, case, except_for=[copy] if installed else [])
                self.assertEqual(copy.exists(), installed)

    def test_any_result_comes_with_exit_status_zero(self):
        # Every code an operation gives, each from a real situation.
        case = self.new_dir()
        font = self.truetype(case / "font.ttf")
        text = self.non_font(case / "notes.txt")
        folder = self.make_folder(case / "folder")
        cases = [
            ("missing source", ("1", case / "missing.ttf", folder), b"1"),
            ("missing folder", ("1", font, case / "missing"), b"2"),
            ("folder path names a file", ("1", font, text), b"3"),
            ("no font in the file", ("1", text, folder), b"4"),
            ("removal of a file never installed", ("2", text), b"1"),
        ]
        for name, args, stdout in cases:
            with self.subTest(name):
                outcome = self.fontctl(*args)
                self.assertOutcome(outcome, stdout, broadcasts=0)

    def test_process_settings(self):
        # Before anything else, both programs make a drive without a disk
        # fail the call instead of showing a message box that a hidden script
        # would wait on forever (SEM_FAILCRITICALERRORS |
        # SEM_NOOPENFILEERRORBOX), and have DLLs loaded from the system folder
        # only (LOAD_LIBRARY_SEARCH_SYSTEM32), not from the program's own,
        # which may be a temporary folder that others can write to. Only
        # Wine can trace a program's calls.
        if self.session.platform != "wine":
            self.skipTest("needs a trace of the program's calls: only Wine gives one")
        settings = ("kernel32.SetErrorMode", "kernel32.SetDefaultDllDirectories")
        outcome = self.fontctl("10", env=trace_calls(self, *settings))
        self.assertOutcome(outcome, b"0", broadcasts=1)
        self.assertIn(b"00008001", traced_calls(outcome.stderr, settings[0]))
        self.assertEqual(traced_calls(outcome.stderr, settings[1]), [b"00000800"])
