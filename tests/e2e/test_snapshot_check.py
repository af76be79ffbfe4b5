"""The check that most cases end with, itself: assertUnchanged sees an entry
whose read-only, hidden or system attribute was set or cleared, its content
and name unchanged. An install that gave up such an attribute (a copy that
replaced a hidden file with a plain one) would pass unseen otherwise."""
from e2e_case import E2ECase


class SnapshotCheckTest(E2ECase):
    def attrib(self, flag, path):
        outcome = self.run_tool("attrib", flag, path)
        self.assertEqual((outcome.status, outcome.stdout.strip()), (0, b""), f"attrib {flag} {path}: {outcome}")

    def test_a_changed_attribute_is_seen(self):
        # A folder's read-only attribute says nothing about its entries (it
        # marks a customised folder, and Wine keeps none).
        cases = [("R", "file"), ("H", "file"), ("S", "file"), ("H", "folder"), ("S", "folder")]
        for letter, kind in cases:
            with self.subTest(attribute=letter, kind=kind):
                case = self.new_dir(f"{letter} {kind}")
                entry = self.truetype(case / "font.ttf") if kind == "file" else self.make_folder(case / "fonts")
                for flag in (f"+{letter}", f"-{letter}"):
                    before = self.snapshot(case)
                    self.attrib(flag, entry)
                    with self.assertRaises(AssertionError, msg=f"attrib {flag} unseen"):
                        self.assertUnchanged(before, case)
                    self.assertUnchanged(before, case, except_for=[entry])
