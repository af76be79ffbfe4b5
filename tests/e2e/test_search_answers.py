"""What a removal answers for a path that the directory search cannot find,
as the search's own error says. fontctl's removal searches for the full path
first: an error that means the search looked and matched nothing
(ERROR_FILE_NOT_FOUND, ERROR_PATH_NOT_FOUND, ERROR_NO_MORE_FILES) says that
nothing is there, and the removal answers 0; any other error leaves that
open, and it answers 1, deleting nothing. Windows and Wine give different
errors for some spellings (a drive's root, a folder written with a trailing
backslash, a network path with no host, a device name), so each case asks
the platform it runs on: a helper (helpers/search_error.c) makes the search
as fontctl makes it and prints the error, and fontctl's answer must be the
one that error means. The errors are printed, so that a run on Windows shows
what Windows answers."""
import sys

from e2e_case import E2ECase

# The search's errors that mean that nothing is at the path.
NOTHING_THERE = {"2", "3", "18"}
# The answer of the helper for a path that has no full path within MAX_PATH.
NO_FULL_PATH = "no-full-path"


def removal_answer(search):
    """fontctl's answer to a removal of a path after the search's answer: 0
    when nothing is there, 1 when the search could not tell, or the path has
    no full path, or the search found something that the font table then
    does not let go of (a folder or a device is no font file it holds)."""
    return b"0" if search in NOTHING_THERE else b"1"


class SearchAnswerTest(E2ECase):
    def searches(self, paths):
        """{path: (FindFirstFileA's answer, FindFirstFileW's answer)}."""
        outcome = self.run_tool(self.session.helper("search_error.exe"), *paths)
        lines = outcome.stdout.decode().splitlines()
        self.assertEqual((outcome.status, len(lines)), (0, len(paths)), outcome)
        return {path: tuple(line.split()) for path, line in zip(paths, lines)}

    def unmapped_drive(self):
        """A drive letter that names no drive: one the case had, and gave up."""
        drive, remove = self.session.new_drive(self.new_dir("gone"))
        remove()
        return drive

    def test_removal_answers_as_the_search_error_means(self):
        missing = "C:\\fontctl missing " + self.sandbox.name
        spellings = [
            ("the root of drive C:", "C:\\"),
            ("a missing folder of drive C:, a trailing backslash", missing + "\\"),
            ("a missing folder of the sandbox, a trailing backslash", self.win(self.sandbox / "missing") + "\\"),
            ("two backslashes", "\\" * 2),
            ("ten backslashes", "\\" * 10),
            ("a drive letter that names no drive", self.unmapped_drive() + "\\font.ttf"),
            ("a device name in a missing folder", missing + "\\nul"),
            ("a device name", "nul"),
            # (nul only: the font table may open what the path names, and a
            # serial port's open can wait.)
            ("a device name with an extension", "nul.ttf"),
        ]
        searches = self.searches([path for _, path in spellings])
        measured = [f"  {name} ({path}): FindFirstFileA {searches[path][0]}, FindFirstFileW {searches[path][1]}"
                    for name, path in spellings]
        print("\n" + "\n".join(measured), file=sys.stdout)
        before = self.snapshot(self.sandbox)
        for name, path in spellings:
            narrow, wide = searches[path]
            for utf8, search in ((False, narrow), (True, wide)):
                # The program under test may be fontctl-utf8.exe in
                # fontctl.exe's place: it searches with the wide function.
                if self.program(utf8) == self.session.fontctl_utf8_exe:
                    search = wide
                with self.subTest(name, utf8=utf8, search=search):
                    answer = removal_answer(search)
                    self.assertOutcome(self.fontctl("2", path, utf8=utf8), answer, broadcasts=int(answer == b"0"))
        self.assertUnchanged(before, self.sandbox)
