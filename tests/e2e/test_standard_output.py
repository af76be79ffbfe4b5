"""Standard output holds the code and nothing else, and a run that cannot
write it still does its work and exits with status 0."""
import os

from e2e_case import E2ECase
from e2e_session import FULL_DEVICE


class StandardOutputTest(E2ECase):
    def test_no_line_end(self):
        case = self.new_dir()
        font = self.truetype(case / "font.ttf")
        folder = self.make_folder(case / "folder")
        runs = [
            ("two refreshes", [("10",), ("10",)], b"00"),
            ("an install and a refresh", [("1", font, folder), ("10",)], b"00"),
            ("a failure and a success", [("1", case / "missing.ttf", folder), ("10",)], b"10"),
        ]
        for name, commands, written in runs:
            with self.subTest(name):
                output = self.sandbox / f"{name}.out"
                for command in commands:
                    with open(output, "ab") as stdout:
                        outcome = self.fontctl(*command, stdout=stdout)
                    self.assertEqual(outcome.status, 0, outcome)
                self.assertEqual(output.read_bytes(), written)

    def test_unwritable_standard_output(self):
        def no_handle(font, folder):
            return self.launch(b"fontctl.exe 1 " + self.raw(font) + b" " + self.raw(folder), stdout="none")

        def read_only(font, folder):
            with open(os.devnull, "rb") as stdout:
                return self.fontctl("1", font, folder, stdout=stdout)

        def closed_pipe(font, folder):
            read_end, write_end = os.pipe()
            os.close(read_end)
            try:
                return self.fontctl("1", font, folder, stdout=write_end)
            finally:
                os.close(write_end)

        def full_device(font, folder):
            self.needs(FULL_DEVICE)
            with open("/dev/full", "wb") as stdout:
                return self.fontctl("1", font, folder, stdout=stdout)

        for name, run in (("no handle", no_handle), ("read-only", read_only), ("closed pipe", closed_pipe),
                          ("device full", full_device)):
            with self.subTest(name):
                case = self.new_dir(name)
                font = self.truetype(case / "font.ttf")
                folder = self.make_folder(case / "folder")

                outcome = run(font, folder)

                # The installation ran all the same, broadcast included.
                self.assertOutcome(outcome, b"", broadcasts=1)
                self.assertSameBytes(folder / "font.ttf", font)
