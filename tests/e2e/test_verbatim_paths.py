"""Paths written in the \\\\?\\ form, end to end: both programs, a path
within MAX_PATH and one beyond it, install and removal. fontctl hands such a
path on as it stands, to the file functions and to the font table alike.

What decides the answers, each asked of the platform rather than assumed:
- fontctl.exe's narrow functions take no path beyond MAX_PATH, \\\\?\\ or not
  (the ANSI functions convert through a buffer of MAX_PATH characters, and
  neither program declares itself long-path aware): its install answers 1
  for such a source, and its removal answers as the search's error means
  (helpers/search_error.c tells which).
- Whether the font table takes a \\\\?\\ path is not documented: a process
  that adds the source by its \\\\?\\ form to its own font table
  (helpers/font_families.c) tells. Where it does, the install answers 0 and
  the removal by the same spelling takes the font out and deletes the copy;
  where it does not, the install answers 4 and the copy stays, as after any
  4 where no file of that name was there.
The record of the font table's calls (helpers/font_calls.c) shows which path
the font table was handed: the \\\\?\\ form, as given."""
import font_files
from e2e_case import E2ECase
from e2e_session import LONG_PATHS
from font_calls import own_variant, run_with_font_calls
from test_search_answers import removal_answer

VERBATIM = "\\\\?\\"


class VerbatimPathTest(E2ECase):
    def verbatim(self, path):
        return VERBATIM + self.win(path)

    def font_table_takes(self, font, family):
        """Whether a process's own font table takes the font by its \\\\?\\
        form (the family found after it), or refuses it (3)."""
        outcome = self.run_program(self.session.helper("font_families.exe"), family, self.verbatim(font))
        self.assertIn((outcome.status, outcome.stdout), ((0, b"present"), (3, b"")), outcome)
        return outcome.status == 0

    def search(self, path, utf8):
        outcome = self.run_tool(self.session.helper("search_error.exe"), path)
        narrow, wide = outcome.stdout.decode().split()
        return wide if own_variant(self, utf8) == "W" else narrow

    def test_install_and_removal(self):
        for beyond in (False, True):
            for utf8 in (False, True):
                with self.subTest(beyond_max_path=beyond, utf8=utf8):
                    if beyond:
                        self.needs(LONG_PATHS)
                    case = self.new_dir(f"{'beyond' if beyond else 'within'} utf8 {utf8}")
                    deep = case.joinpath(*[letter * 100 for letter in "dlm"]) if beyond else case
                    source = self.make_folder(deep / "source") / "font.ttf"
                    family = font_files.write_truetype(source, kind="Verbatim")
                    folder = self.make_folder(deep / "folder")
                    self.assertEqual(len(self.verbatim(folder / source.name)) > 259, beyond)
                    self.install_and_remove(case, (source, family), folder, beyond, utf8)

    def install_and_remove(self, case, font, folder, beyond, utf8):
        source, family = font
        copy = folder / source.name
        narrow_beyond = beyond and own_variant(self, utf8) == "A"
        takes = self.font_table_takes(source, family)
        install = b"1" if narrow_beyond else b"0" if takes else b"4"
        before = self.snapshot(case)

        outcome, calls = run_with_font_calls(self, "1", self.verbatim(source), self.verbatim(folder), utf8=utf8)
        self.assertOutcome(outcome, install, broadcasts=int(install == b"0"))
        if install == b"1":
            # Nothing copied, and the font table never asked.
            self.assertEqual(calls, [])
            self.assertUnchanged(before, case)
        else:
            self.assertEqual(calls[:1], [(f"AddFontResource{own_variant(self, utf8)}", self.verbatim(copy))], calls)
            self.assertSameBytes(copy, source)
            self.assertUnchanged(before, case, except_for=[copy])

        # The removal by the same spelling: of the copy when there is one,
        # else of the source, which the font table does not hold.
        target = copy if copy.exists() else source
        removal = b"0" if install == b"0" else removal_answer(self.search(self.verbatim(target), utf8))
        before = self.snapshot(case)
        self.assertOutcome(self.fontctl("2", self.verbatim(target), utf8=utf8), removal,
                           broadcasts=int(removal == b"0"))
        self.assertUnchanged(before, case, except_for=[target] if removal == b"0" and install == b"0" else [])
        self.assertEqual(target.exists(), install != b"0")
        if copy.exists():
            self.discard(copy, [self.verbatim(copy)])
