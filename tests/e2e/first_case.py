"""The case that runs before all others, and what follows when it fails.

Every case makes its fonts with fontTools, with a family and a style name
and nothing more. Should the platform's font table refuse such a font, every
installation would answer 4 and each case would fail for that one reason. So
one generated font is installed first and its family looked for from another
process; when that fails, every other case is skipped with that reason and
the run fails.

On Windows the other process finds the family in the session's font table.
Under Wine a font stays with the process that added it (see
test_other_processes.py): there the other process adds the copy to its own
font table, which still shows that the font is one that GDI takes."""
import unittest

import font_files
from e2e_case import E2ECase

SKIP_REASON = ("the first case failed: a font made as the cases make theirs was not installed, or not found by "
               "another process, so every case would fail for that alone (see the first case's failure)")


class GeneratedFontTest(E2ECase):
    def test_a_generated_font_installs_and_another_process_finds_it(self):
        case = self.new_dir()
        font = self.make_folder(case / "source") / "font.ttf"
        family = font_files.write_truetype(font, kind="First")
        folder = self.make_folder(case / "folder")
        copy = folder / font.name

        self.assertOutcome(self.fontctl("1", font, folder), b"0", broadcasts=1)
        finder = self.session.helper("font_families.exe")
        outcome = self.run_program(finder, *self.answer(wine=[family, copy], windows=[family]))
        self.assertEqual((outcome.status, outcome.stdout), (0, b"present"), f"family {family!r}; {outcome}")
        self.assertOutcome(self.fontctl("2", copy), b"0", broadcasts=1)


def first_case():
    """The first case, whatever names or files of cases a run picks."""
    return unittest.TestLoader().loadTestsFromTestCase(GeneratedFontTest)


def each_test(suite):
    if isinstance(suite, unittest.TestSuite):
        for test in suite:
            yield from each_test(test)
    else:
        yield suite


class AfterTheFirstCase(unittest.TestSuite):
    """Runs FIRST, then the cases of REST when FIRST passed; otherwise each
    of them is reported skipped, with the reason."""

    def __init__(self, first, rest):
        super().__init__()
        self.first = first
        self.rest = rest

    def run(self, result, debug=False):
        problems = len(result.failures) + len(result.errors)
        self.first.run(result)
        if len(result.failures) + len(result.errors) == problems:
            return self.rest.run(result)
        for test in each_test(self.rest):
            result.startTest(test)
            result.addSkip(test, SKIP_REASON)
            result.stopTest(test)
        return result

    def countTestCases(self):  # noqa: N802 - unittest's name
        return self.first.countTestCases() + self.rest.countTestCases()
