"""The README's quick start, run as a reader would: its cmd lines as a batch
file (with %%c for %c, as the README says), with fontctl-utf8.exe beside it,
by the platform's own cmd. Then the removal that the README gives."""
import re
import shutil
from pathlib import Path

from caller_case import CallerCase

README = Path(__file__).resolve().parents[2] / "README.md"
SETUP_FONT = r"C:\Setup\My Font.ttf"


def quick_start():
    """The first cmd block under the README's "Quick start" heading, and the
    removal command that the text after it gives."""
    text = README.read_text(encoding="utf-8")
    section = text[text.index("## Quick start"):]
    block = re.search(r"```bat\n(.*?)```", section, re.S).group(1)
    removal = re.search(r"`(fontctl-utf8\.exe 2 [^`]+)`", section).group(1)
    return block, removal


class ReadmeQuickStartTest(CallerCase):
    def run_batch(self, folder, lines, env):
        script = folder / "quick-start.cmd"
        script.write_bytes(("@echo off\r\n" + "\r\n".join(lines) + "\r\n").encode("cp1252"))
        return self.run_caller("cmd", "/c", script.name, cwd=folder, env=env)

    def test_quick_start_installs_reads_the_code_and_removes(self):
        block, removal = quick_start()
        self.assertIn(SETUP_FONT, block, "the quick start installs the font it names")
        folder = self.make_folder(self.sandbox / "setup")
        shutil.copyfile(self.session.fontctl_utf8_exe, folder / "fontctl-utf8.exe")
        font = self.truetype(folder / "My Font.ttf")
        missing = folder / "No Font.ttf"
        local, env = self.session.fresh_local_app_data(self.sandbox / "Local AppData")
        copy = local / "Microsoft" / "Windows" / "Fonts" / font.name
        batch = re.sub(r"%c\b", "%%c", block).splitlines()

        for source, expected, broadcasts in ((font, [], 1), (missing, ['install failed: "1"'], 0)):
            with self.subTest(source=source.name):
                lines = [line.replace(SETUP_FONT, self.win(source)) for line in batch]
                outcome = self.run_batch(folder, lines, env)
                self.assertLines(outcome, 0, expected, broadcasts=broadcasts)
        self.assertSameBytes(copy, font)

        outcome = self.run_batch(folder, [removal], env)
        self.assertLines(outcome, 0, ["0"], broadcasts=1)
        self.assertFalse(copy.exists())
