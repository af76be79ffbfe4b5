"""The base of the cases of the example callers in examples/: running a
caller, which starts fontctl.exe in turn, and where its work lands: the
per-user font folder and the current user's registry (a Wine prefix's, or
those of the Windows user the suite runs as)."""
from pathlib import Path

from e2e_case import E2ECase

EXAMPLES = Path(__file__).resolve().parents[2] / "examples"

# The folder under a user's profile where Windows keeps that user's fonts,
# and the key that lists the fonts to load at sign-in.
USER_FONTS = ("AppData", "Local", "Microsoft", "Windows", "Fonts")
FONTS_KEY = r"Software\Microsoft\Windows NT\CurrentVersion\Fonts"


class CallerCase(E2ECase):
    @property
    def profile(self):
        """The user's profile folder, as a path of this machine."""
        return self.session.profile()

    def profile_windows_path(self, *parts):
        """A path under the user profile as Windows names it."""
        return self.session.profile_windows_path(*parts)

    @property
    def user_fonts(self):
        return self.profile.joinpath(*USER_FONTS)

    def run_caller(self, program, *args, cwd=None, env=None):
        """Runs `PROGRAM ARGS` for a caller, which starts fontctl.exe in
        turn; Path arguments become Windows paths. The broadcasts counted are
        those of every program the caller started."""
        return self.run_program(program, *args, cwd=cwd, env=env)

    def launch_caller(self, program, command_line, cwd=None):
        """Starts a caller with exactly this command line (bytes)."""
        return self.session.runner.launch(program, command_line, cwd or self.sandbox)

    def registry_value(self, key, name):
        """The data of the string value NAME under HKCU\\KEY, or None when
        there is no such value."""
        value = self.session.registry.read_value(key, name)
        if value is None:
            return None
        kind, data = value
        self.assertEqual(kind, "REG_SZ", f"the value {name!r} under {key}")
        return data

    def assertLines(self, outcome, status, lines, broadcasts):
        """Exit status, standard output as these lines in any order (a folder
        lists its files in the file system's order), and this many
        font-change broadcasts."""
        details = f"{outcome}"
        self.assertEqual(outcome.status, status, f"exit status; {details}")
        self.assertEqual(sorted(outcome.stdout.decode("cp1252").splitlines()), sorted(lines),
                         f"standard output; {details}")
        self.assertEqual(outcome.broadcasts, ((0, 0),) * broadcasts, f"broadcasts; {details}")
