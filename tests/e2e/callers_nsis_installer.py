"""The installer example of examples/nsis/, built with makensis around
generated fonts and run silently under Wine, with its uninstaller."""
import shutil
import subprocess

import font_files
from caller_case import EXAMPLES, FONTS_KEY, USER_FONTS, CallerCase

UNINSTALL_KEY = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\"


def truetype_value(*families):
    """The registry value under which Windows lists a font file: its faces'
    names and the type."""
    return " & ".join(families) + " (TrueType)"


class NsisInstallerTest(CallerCase):
    def build(self, fonts_dir, fonts):
        """Builds the installer around FONTS, (file, registry value) pairs of
        files in FONTS_DIR; returns it and the name it installs under."""
        name = f"Fontctl E2E {self._testMethodName}"
        installer = self.sandbox / "setup (fonts) & more.exe"
        defines = [f"-DFONTCTL={self.session.fontctl_exe}", f"-DFONTS_DIR={fonts_dir}",
                   f"-DOUTFILE={installer}", f"-DNAME={name}"]
        for number, (font, value) in enumerate(fonts, 1):
            defines += [f"-DFONT{number}={font.name}", f"-DFACE{number}={value}"]
        built = subprocess.run(["makensis", "-V2", *defines, str(EXAMPLES / "nsis" / "fonts-installer.nsi")],
                               stdin=subprocess.DEVNULL, capture_output=True, timeout=120, check=False)
        self.assertEqual(built.returncode, 0, f"makensis: {built.stdout.decode()}{built.stderr.decode()}")
        return installer, name

    def copy_path(self, font):
        """The full path, as Windows names it, of the copy of FONT in the
        per-user font folder."""
        return self.profile_windows_path(*USER_FONTS, font.name)

    def assertNoTrace(self, fonts, name):
        """Neither a copy, nor a value under the font key, nor an uninstall
        entry is left of these fonts and this installer."""
        for font, value in fonts:
            self.assertFalse((self.user_fonts / font.name).exists(), f"{font.name} is still there")
            self.assertIsNone(self.registry_value(FONTS_KEY, value), f"{value} is still in the registry")
        self.assertIsNone(self.registry_value(UNINSTALL_KEY + name, "DisplayName"), "the uninstall entry is left")

    def test_install_then_uninstall(self):
        fonts_dir = self.make_folder(self.sandbox / "fonts")
        sans = fonts_dir / "Example Sans & (Regular).ttf"
        collection = fonts_dir / "example-set.ttc"
        fonts = [(sans, truetype_value(font_files.write_truetype(sans))),
                 (collection, truetype_value(*font_files.write_collection(collection)))]
        installer, name = self.build(fonts_dir, fonts)

        outcome = self.run_caller(installer, "/S")
        self.assertLines(outcome, 0, [], broadcasts=2)
        for font, value in fonts:
            self.assertSameBytes(self.user_fonts / font.name, font)
            self.assertEqual(self.registry_value(FONTS_KEY, value), self.copy_path(font))
        install_dir = self.profile.joinpath("AppData", "Local", "Programs", name)
        uninstaller = self.profile_windows_path("AppData", "Local", "Programs", name, "uninstall.exe")
        self.assertEqual(self.registry_value(UNINSTALL_KEY + name, "UninstallString"), f'"{uninstaller}"')

        # _?= keeps the uninstaller in its folder until it is done, instead
        # of handing over to a copy of itself and returning at once. It takes
        # the rest of the line, spaces and all, and no quotes.
        folder = self.profile_windows_path("AppData", "Local", "Programs", name)
        outcome = self.launch_caller(install_dir / "uninstall.exe",
                                     f'"{uninstaller}" /S _?={folder}'.encode("cp1252"))
        self.assertLines(outcome, 0, [], broadcasts=2)
        self.assertNoTrace(fonts, name)
        # Run in its own folder, it cannot delete itself.
        self.assertEqual([path.name for path in install_dir.iterdir()], ["uninstall.exe"])
        shutil.rmtree(install_dir)

    def test_a_font_that_fails_stops_the_installer(self):
        fonts_dir = self.make_folder(self.sandbox / "fonts")
        notes = self.non_font(fonts_dir / "notes.ttf")
        sans = fonts_dir / "Example Sans.ttf"
        fonts = [(notes, "Notes (TrueType)"), (sans, truetype_value(font_files.write_truetype(sans)))]
        installer, name = self.build(fonts_dir, fonts)

        outcome = self.run_caller(installer, "/S")
        # fontctl.exe answered 4 for the first file: the installer stopped
        # there, deleted the copy, and never reached the second font.
        self.assertLines(outcome, 2, [], broadcasts=0)
        self.assertNoTrace(fonts, name)
