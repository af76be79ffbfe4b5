"""The README's snippets, run as a reader would, with fontctl-utf8.exe and
"My Font.ttf" beside them: the batch files by the platform's own cmd from
another folder (a logon script's current folder is not its own), the NSIS
section built into an installer, the line that makes the printed code the
exit status in the quick start's place, and the PowerShell scripts and
command line by Windows PowerShell, which Wine lacks: those run in the Windows job.

Every snippet with a language in the README is one that a case here runs."""
import re
import shutil
import subprocess
from pathlib import Path

import font_files
from caller_case import FONTS_KEY, CallerCase
from e2e_session import NEW_SESSION

README = Path(__file__).resolve().parents[2] / "README.md"
FONT = "My Font.ttf"
VALUE = "My Font (TrueType)"
# The exit status of the exit-status command lines when fontctl printed nothing.
PRINTED_NOTHING = 100

FENCED = re.compile(r"^```(\w+)\n(.*?)^```", re.S | re.M)
HEADING = re.compile(r"^#{2,3} (.+)$", re.M)


def snippets():
    """{(heading, language): [code, ...]} of the README's fenced blocks that
    name a language, under the heading that each one follows."""
    text = README.read_text(encoding="utf-8")
    found = {}
    for match in FENCED.finditer(text):
        heading = HEADING.findall(text, 0, match.start())[-1]
        found.setdefault((heading, match.group(1)), []).append(match.group(2))
    return found


def snippet(heading, language, index=0):
    return snippets()[(heading, language)][index]


STAYS = "A font that stays after sign-out, for one user"
EXIT_STATUS = "Tools that judge by exit status"
# Each snippet, by its place, and the case that runs it.
RUN = {
    ("Quick start", "bat", 0): "test_quick_start",
    (STAYS, "bat", 0): "test_a_font_that_stays_after_sign_out",
    (STAYS, "bat", 1): "test_a_font_that_stays_after_sign_out",
    (STAYS, "powershell", 0): "test_a_font_that_stays_after_sign_out_in_powershell",
    (STAYS, "powershell", 1): "test_a_font_that_stays_after_sign_out_in_powershell",
    ("NSIS", "nsis", 0): "test_nsis_section",
    (EXIT_STATUS, "bat", 0): "test_exit_status_lines",
    (EXIT_STATUS, "bat", 1): "test_exit_status_lines",
}

# Around the README's NSIS section: an installer for the current user, run
# silently.
NSIS_SCRIPT = """Unicode true
Name "fontctl readme section"
OutFile "{outfile}"
RequestExecutionLevel user
SilentInstall silent
{section}"""


class ReadmeSnippetsTest(CallerCase):
    def setUp(self):
        super().setUp()
        self.local, self.env = self.session.fresh_local_app_data(self.sandbox / "Local AppData")
        self.fonts = self.local / "Microsoft" / "Windows" / "Fonts"
        self.copy = self.fonts / FONT
        # The copy's full path as the snippets name it, from LOCALAPPDATA: the
        # prefix's own under Wine, the case's folder on Windows.
        self.copy_name = self.answer(wine=self.profile_windows_path("AppData", "Local", *self.copy.parts[-4:]),
                                     windows=self.win(self.copy))
        # Under Wine the prefix is the run's own; on Windows the value would
        # outlast the run in the user's own registry.
        self.addCleanup(self.session.registry.delete_value, FONTS_KEY, VALUE)

    def setup_folder(self, label, font="truetype", program=True):
        """A folder holding "My Font.ttf" (a TrueType font, or a file that is
        none) and, unless PROGRAM is false, fontctl-utf8.exe: (the folder,
        the font's family or None)."""
        folder = self.make_folder(self.sandbox / label)
        if program:
            shutil.copyfile(self.session.fontctl_utf8_exe, folder / "fontctl-utf8.exe")
        if font == "truetype":
            return folder, font_files.write_truetype(folder / FONT)
        self.non_font(folder / FONT)
        return folder, None

    def run_batch(self, folder, name, code):
        """Writes CODE as the batch file NAME in FOLDER and runs it by its
        full path from another folder, with RESULT holding an earlier
        call's 0, as it would after one in the same script."""
        script = folder / name
        script.write_bytes(code.replace("\n", "\r\n").encode("cp1252"))
        elsewhere = self.make_folder(self.sandbox / "elsewhere")
        return self.run_caller("cmd", "/c", script, cwd=elsewhere, env={**self.env, "RESULT": "0"})

    def stale_result(self):
        """A result file of an earlier run that answered 0, where the
        snippets write theirs: a snippet must not read it as its own."""
        (Path(self.session.temp_folder()) / "fontctl.txt").write_bytes(b"0")

    def family_present(self, family):
        outcome = self.run_program(self.session.helper("font_families.exe"), family)
        self.assertEqual(outcome.status, 0, f"font_families.exe; {outcome}")
        return outcome.stdout == b"present"

    def assertRecorded(self, recorded):
        """The copy and its value under the Fonts key are both there, with
        the copy's full path as the data, or both gone."""
        self.assertEqual(self.copy.is_file(), recorded, self.copy)
        value = self.registry_value(FONTS_KEY, VALUE)
        self.assertEqual(value, self.copy_name if recorded else None, f"the value {VALUE!r}")

    def test_every_snippet_is_run(self):
        found = {(heading, language, index) for (heading, language), codes in snippets().items()
                 for index in range(len(codes))}
        self.assertEqual(found, set(RUN), "each README snippet with a language and the case that runs it")
        for name in set(RUN.values()):
            self.assertTrue(hasattr(self, name), name)

    def test_quick_start(self):
        quick_start = snippet("Quick start", "bat")
        cases = [
            ("a font", "truetype", True, 0, [], 1),
            ("a file that is no font", "none", True, 1, ['install failed: "4"'], 0),
            ("fontctl missing", "truetype", False, 1, ['install failed: ""'], 0),
        ]
        for label, font, program, status, lines, broadcasts in cases:
            with self.subTest(label):
                folder, _ = self.setup_folder(label, font, program)
                self.stale_result()
                outcome = self.run_batch(folder, "install.cmd", quick_start)
                self.assertLines(outcome, status, lines, broadcasts=broadcasts)
                self.assertEqual(self.copy.is_file(), status == 0 or font != "truetype", self.copy)
                if status == 0:
                    self.assertSameBytes(self.copy, folder / FONT)
                if self.copy.exists():
                    self.discard(self.copy)

    def test_a_font_that_stays_after_sign_out(self):
        install = snippet("Quick start", "bat") + snippet(STAYS, "bat", 0)
        removal = snippet(STAYS, "bat", 1)
        for later_session in (False, True):
            with self.subTest(removed_in_a_later_session=later_session):
                if later_session:
                    self.needs(NEW_SESSION)
                folder, family = self.setup_folder(f"setup {later_session}")
                self.assertLines(self.run_batch(folder, "install.cmd", install), 0, [], broadcasts=1)
                self.assertRecorded(True)
                self.assertSameBytes(self.copy, folder / FONT)
                # Under Wine a font stays with the process that added it.
                self.assertEqual(self.family_present(family), self.answer(wine=False, windows=True))
                loaded = True
                if later_session:
                    self.session.restart_session()
                    self.assertRecorded(True)
                    # Windows loads the recorded font at sign-in; Wine 8 does
                    # not load the fonts of HKCU's Fonts key at all, and the
                    # removal deletes the copy itself.
                    loaded = self.family_present(family)
                self.stale_result()
                self.assertLines(self.run_batch(folder, "remove.cmd", removal), 0, [],
                                 broadcasts=1 if loaded else 0)
                self.assertRecorded(False)
                # Run again, there is nothing left to remove.
                self.assertLines(self.run_batch(folder, "remove.cmd", removal), 0, [], broadcasts=1)
                self.assertRecorded(False)

    def test_removal_keeps_a_copy_it_cannot_delete(self):
        # A folder in place of the copy: neither fontctl nor del removes it,
        # and the removal says so, with the value deleted all the same.
        folder, _ = self.setup_folder("setup")
        self.non_font(self.copy / "inside.txt")
        self.session.registry.write_value(FONTS_KEY, VALUE, "REG_SZ", self.copy_name)
        outcome = self.run_batch(folder, "remove.cmd", snippet(STAYS, "bat", 1))
        self.assertEqual(outcome.status, 1, outcome)
        self.assertEqual(outcome.stdout.decode("cp1252").splitlines(),
                         ["My Font.ttf is in use: delete it after the next sign-in"], outcome)
        self.assertIsNone(self.registry_value(FONTS_KEY, VALUE))
        self.assertTrue((self.copy / "inside.txt").is_file())

    def test_nsis_section(self):
        for label, font, status in (("a font", "truetype", 0), ("a file that is no font", "none", 2)):
            with self.subTest(label):
                folder, _ = self.setup_folder(label, font)
                installer = folder / "setup.exe"
                script = folder / "setup.nsi"
                script.write_text(NSIS_SCRIPT.format(outfile=installer, section=snippet("NSIS", "nsis")),
                                  encoding="utf-8-sig")
                built = subprocess.run([self.session.makensis(), "-V2", *self.session.nsis_runnable_options(),
                                        str(script)], stdin=subprocess.DEVNULL, capture_output=True, timeout=120,
                                       check=False)
                self.assertEqual(built.returncode, 0, (built.stdout + built.stderr).decode(errors="replace"))
                outcome = self.run_caller(installer, "/S")
                self.assertEqual((outcome.status, outcome.broadcasts), (status, ((0, 0),) * (status == 0)), outcome)
                # The section installs into the user's own font folder and
                # registry, whatever LOCALAPPDATA the run has.
                copy = self.user_fonts / FONT
                name = self.profile_windows_path("AppData", "Local", "Microsoft", "Windows", "Fonts", FONT)
                self.assertEqual(self.registry_value(FONTS_KEY, VALUE), name if status == 0 else None)
                self.assertSameBytes(copy, folder / FONT)
                self.discard(copy)
                self.session.registry.delete_value(FONTS_KEY, VALUE)

    def test_exit_status_lines(self):
        batch_line, powershell_line = (snippet(EXIT_STATUS, "bat", index).strip() for index in (0, 1))
        quick_start = snippet("Quick start", "bat").splitlines()
        self.assertTrue(all(line.startswith('if not "%RESULT%"=="0"') for line in quick_start[-2:]), quick_start)
        batch = "\n".join(quick_start[:-2] + [batch_line]) + "\n"
        cases = [
            ("a font", "truetype", True, 0, 1),
            ("a file that is no font", "none", True, 4, 0),
            ("fontctl missing", "truetype", False, PRINTED_NOTHING, 0),
        ]
        for shell in ("cmd", "powershell"):
            for label, font, program, status, broadcasts in cases:
                with self.subTest(shell=shell, case=label):
                    folder, _ = self.setup_folder(f"{shell} {label}", font, program)
                    self.stale_result()
                    if shell == "cmd":
                        outcome = self.run_batch(folder, "install.cmd", batch)
                    else:
                        outcome = self.session.runner.launch(self.session.powershell_exe(), powershell_line, folder,
                                                             env=self.env)
                    self.assertEqual((outcome.status, outcome.broadcasts), (status, ((0, 0),) * broadcasts),
                                     outcome)
                    self.assertEqual(self.copy.is_file(), program, self.copy)
                    if self.copy.exists():
                        self.discard(self.copy)

    def test_a_font_that_stays_after_sign_out_in_powershell(self):
        powershell = self.session.powershell_exe()
        install, removal = (snippet(STAYS, "powershell", index) for index in (0, 1))

        def run_script(folder, name, code):
            script = folder / name
            script.write_text(code, encoding="utf-8-sig")
            return self.run_caller(powershell, "-NoProfile", "-ExecutionPolicy", "Bypass", "-File", script,
                                   cwd=self.make_folder(self.sandbox / "elsewhere"), env=self.env)

        folder, family = self.setup_folder("setup")
        outcome = run_script(folder, "install.ps1", install)
        self.assertEqual((outcome.status, outcome.broadcasts), (0, ((0, 0),)), outcome)
        self.assertRecorded(True)
        self.assertTrue(self.family_present(family))
        outcome = run_script(folder, "remove.ps1", removal)
        self.assertEqual((outcome.status, outcome.broadcasts), (0, ((0, 0),)), outcome)
        self.assertRecorded(False)
        self.assertFalse(self.family_present(family))

        for label, font, program, said in (("a file that is no font", "none", True, "install failed: '4'"),
                                           ("fontctl missing", "truetype", False, "fontctl did not run")):
            with self.subTest(label):
                folder, _ = self.setup_folder(label, font, program)
                outcome = run_script(folder, "install.ps1", install)
                self.assertEqual(outcome.status, 1, outcome)
                self.assertIn(said, outcome.stderr.decode(errors="replace") + outcome.stdout.decode(errors="replace"))
                self.assertIsNone(self.registry_value(FONTS_KEY, VALUE))
                if self.copy.exists():
                    self.discard(self.copy)
