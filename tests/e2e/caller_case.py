"""The base of the cases of the example callers in examples/: running a
caller, which starts fontctl.exe inside Wine, and where its work lands in the
prefix: the per-user font folder and the current user's registry."""
import getpass
from pathlib import Path, PureWindowsPath

from e2e_case import E2ECase

EXAMPLES = Path(__file__).resolve().parents[2] / "examples"

# The folder under a user's profile where Windows keeps that user's fonts,
# and the key that lists the fonts to load at sign-in.
USER_FONTS = ("AppData", "Local", "Microsoft", "Windows", "Fonts")
FONTS_KEY = r"Software\Microsoft\Windows NT\CurrentVersion\Fonts"


class CallerCase(E2ECase):
    @property
    def profile(self):
        """The prefix's user profile folder, on the Unix side."""
        return Path(self.session.prefix.path, "drive_c", "users", getpass.getuser())

    @staticmethod
    def profile_windows_path(*parts):
        """A path under the user profile as Windows names it."""
        return str(PureWindowsPath("C:\\users", getpass.getuser(), *parts))

    @property
    def user_fonts(self):
        return self.profile.joinpath(*USER_FONTS)

    def run_caller(self, program, *args, cwd=None, env=None):
        """Runs `wine PROGRAM ARGS` for a caller, which starts fontctl.exe
        inside Wine; Path arguments become Windows paths. The broadcasts
        counted are those of every program the caller started."""
        return self.wine(program, *args, cwd=cwd, env=env)

    def launch_caller(self, program, command_line, cwd=None):
        """Starts a caller with exactly this command line (bytes)."""
        return self.session.runner.launch(program, command_line, cwd or self.sandbox)

    def registry_value(self, key, name):
        """The data of the string value NAME under HKCU\\KEY, or None when
        there is no such value."""
        outcome = self.wine("reg", "query", "HKCU\\" + key, "/v", name)
        if outcome.status != 0:
            return None
        for line in outcome.stdout.decode().splitlines():
            value, kind, data = (line.strip().split("    ", 2) + ["", ""])[:3]
            if value == name and kind == "REG_SZ":
                return data
        self.fail(f"no string value {name!r} in what reg query printed: {outcome}")

    def assertLines(self, outcome, status, lines, broadcasts):
        """Exit status, standard output as these lines in any order (a folder
        lists its files in the file system's order), and this many
        font-change broadcasts."""
        details = f"{outcome}"
        self.assertEqual(outcome.status, status, f"exit status; {details}")
        self.assertEqual(sorted(outcome.stdout.decode("cp1252").splitlines()), sorted(lines),
                         f"standard output; {details}")
        self.assertEqual(outcome.broadcasts, ((0, 0),) * broadcasts, f"broadcasts; {details}")

