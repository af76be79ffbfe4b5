"""The installer example of examples/nsis/, built with makensis around
generated fonts and fontctl-utf8.exe, as its README says, and run silently
(under Wine, or on Windows for the current user), with its uninstaller."""
import shutil
import subprocess

import pefile

import font_files
from caller_case import EXAMPLES, FONTS_KEY, USER_FONTS, CallerCase
from e2e_session import FILE_SIZE_LIMIT, NEW_SESSION, OTHER_WINDOWS_VERSION

UNINSTALL_KEY = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\"
# The size of a large font, as a real one with many glyphs, and a temporary
# folder short of room for it: a limit on the size of each file written.
LARGE_FONT = 2_000_000
SHORT_OF_ROOM = 1_000_448
SHELL_FOLDERS_KEY = r"Software\Microsoft\Windows\CurrentVersion\Explorer\User Shell Folders"


def truetype_value(*families):
    """The registry value under which Windows lists a font file: its faces'
    names and the type."""
    return " & ".join(families) + " (TrueType)"


class NsisInstallerTest(CallerCase):
    def build(self, fonts_dir, fonts, file_name="setup (fonts) & more.exe"):
        """Builds the installer FILE_NAME around FONTS, (file, registry value)
        pairs of files in FONTS_DIR, so that this Wine can run it; returns it
        and the name it installs under, the same for every installer of a
        case."""
        installer = self.sandbox / file_name
        name = self.makensis(fonts_dir, fonts, installer, *self.session.nsis_runnable_options())
        self.run_as_windows(installer, "win10")
        return installer, name

    def run_as_windows(self, installer, version):
        """Runs the installer as on that Windows version from now on, as long
        as the case runs: the installer refuses Windows before 10 version
        1809."""
        setting = self.session.windows_version_setting(installer.name, version)
        if setting is not None:
            self.set_registry_value(*setting)

    def makensis(self, fonts_dir, fonts, installer, *options, env=None):
        """Runs makensis OPTIONS on the example around fontctl-utf8.exe, as
        its README says; returns the name the installer installs under."""
        name = f"Fontctl E2E {self._testMethodName}"
        self.addCleanup(self.leave_no_trace, name, fonts)
        defines = [f"-DFONTCTL={self.session.fontctl_utf8_exe}", f"-DFONTS_DIR={fonts_dir}",
                   f"-DOUTFILE={installer}", f"-DNAME={name}"]
        for number, (font, value) in enumerate(fonts, 1):
            defines += [f"-DFONT{number}={font.name}", f"-DFACE{number}={value}"]
        built = subprocess.run([self.session.makensis(), "-V2", *options, *defines,
                                str(EXAMPLES / "nsis" / "fonts-installer.nsi")],
                               stdin=subprocess.DEVNULL, capture_output=True, timeout=120, check=False, env=env)
        said = (built.stdout + built.stderr).decode(errors="replace")
        self.assertEqual(built.returncode, 0, f"makensis: {said}")
        return name

    def leave_no_trace(self, name, fonts):
        """Takes away what an installer of the case may have left in the
        user's real profile (on Windows, the runner's), whether the case
        passed or not, so that no later case meets it: each font's copy, let
        go by the font table first, its value under the font key, the
        uninstall entry and the installer's folder. A file or a value that
        the case made itself (another program's) is not the installer's."""
        for font, value in fonts:
            copy = self.user_fonts / font.name
            if copy.is_file() and copy.read_bytes() == font.read_bytes():
                self.discard(copy)
            if self.registry_value(FONTS_KEY, value) == self.copy_path(font):
                self.session.registry.delete_value(FONTS_KEY, value)
        self.session.registry.delete_key(UNINSTALL_KEY + name)
        shutil.rmtree(self.install_dir(name), ignore_errors=True)

    def copy_path(self, font):
        """The full path, as Windows names it, of the copy of FONT in the
        per-user font folder."""
        return self.profile_windows_path(*USER_FONTS, font.name)

    def assertNoTrace(self, fonts, name):
        """Neither a copy, nor a value under the font key, nor (unless NAME
        is None) an uninstall entry or uninstaller is left of these fonts and
        this installer."""
        for font, value in fonts:
            self.assertFalse((self.user_fonts / font.name).exists(), f"{font.name} is still there")
            self.assertIsNone(self.registry_value(FONTS_KEY, value), f"{value} is still in the registry")
        if name is None:
            return
        self.assertIsNone(self.registry_value(UNINSTALL_KEY + name, "DisplayName"), "the uninstall entry is left")
        left = sorted(path.name for path in self.install_dir(name).iterdir()) if self.install_dir(name).exists() else None
        self.assertIsNone(left, "the uninstaller's folder is left")

    def install_dir(self, name):
        return self.profile.joinpath("AppData", "Local", "Programs", name)

    def assertInstalled(self, fonts, name):
        """Each font's copy holds these bytes and is listed under the font
        key; the uninstall entry names the uninstaller."""
        for font, value in fonts:
            self.assertSameBytes(self.user_fonts / font.name, font)
            self.assertEqual(self.registry_value(FONTS_KEY, value), self.copy_path(font))
        uninstaller = self.profile_windows_path("AppData", "Local", "Programs", name, "uninstall.exe")
        self.assertEqual(self.registry_value(UNINSTALL_KEY + name, "UninstallString"), f'"{uninstaller}"')
        self.assertTrue((self.install_dir(name) / "uninstall.exe").is_file())

    def uninstall(self, name):
        """Runs the uninstaller silently and waits for it. _?= keeps it in its
        folder until it is done, instead of handing over to a copy of itself
        and returning at once. It takes the rest of the line, spaces and all,
        and no quotes; run in its own folder, it cannot delete itself, so
        that is done here once it succeeded."""
        folder = self.profile_windows_path("AppData", "Local", "Programs", name)
        outcome = self.launch_caller(self.install_dir(name) / "uninstall.exe",
                                     f'"{folder}\\uninstall.exe" /S _?={folder}')
        if outcome.status == 0:
            self.assertEqual([path.name for path in self.install_dir(name).iterdir()], ["uninstall.exe"])
            shutil.rmtree(self.install_dir(name))
        return outcome

    def set_registry_value(self, key, name, kind, data):
        """Sets the value NAME under HKCU\\KEY for as long as the case runs."""
        registry = self.session.registry
        before = registry.read_value(key, name)
        registry.write_value(key, name, kind, data)
        if before is None:
            self.addCleanup(registry.delete_value, key, name)
        else:
            self.addCleanup(registry.write_value, key, name, *before)

    def fonts(self, folder, *names, large=()):
        """Fonts of new families in FOLDER, by file name: a .ttc is a
        collection of two; a name that starts with "notes" holds no font;
        those in LARGE are of LARGE_FONT bytes or so. Returns (file,
        registry value) pairs."""
        self.make_folder(folder)
        fonts = []
        for file_name in names:
            path = folder / file_name
            if file_name.startswith("notes"):
                fonts.append((self.non_font(path), f"{path.stem} (TrueType)"))
            elif path.suffix == ".ttc":
                fonts.append((path, truetype_value(*font_files.write_collection(path))))
            else:
                padding = LARGE_FONT if file_name in large else 0
                fonts.append((path, truetype_value(font_files.write_truetype(path, padding=padding))))
        return fonts

    def newer_version(self, folder, installed, names, large=()):
        """The fonts of a newer version in FOLDER, by file name (and LARGE,
        as for fonts()): new files, under the registry value of the font of
        INSTALLED of that name, if any."""
        values = {font.name: value for font, value in installed}
        return [(path, values.get(path.name, value)) for path, value in self.fonts(folder, *names, large=large)]

    def entry(self, name, fonts):
        """What the uninstall entry of NAME holds: its values, the path that
        its record gives for the value of each of FONTS, and the bytes of
        the uninstaller."""
        key = UNINSTALL_KEY + name
        uninstaller = self.install_dir(name) / "uninstall.exe"
        return ({value: self.registry_value(key, value)
                 for value in ("DisplayName", "UninstallString", "QuietUninstallString")},
                {value: self.registry_value(key + "\\Fonts", value) for _, value in fonts},
                uninstaller.read_bytes() if uninstaller.exists() else None)

    def assertOutOfTheFontTable(self, font):
        """The copy of FONT is not in the font table: with its file back,
        fontctl answers 1 to its removal."""
        copy = self.user_fonts / font.name
        shutil.copyfile(font, copy)
        self.assertOutcome(self.fontctl("2", copy), b"1", broadcasts=0)
        self.discard(copy)

    def attributes(self, path):
        """The letters of PATH's attributes (R, H, S, A) as attrib lists them."""
        outcome = self.run_tool("attrib", path)
        self.assertEqual(outcome.status, 0, f"attrib {path}: {outcome}")
        return set("".join(outcome.stdout.decode("cp1252").split(self.win(path))[0].split()))

    def test_install_then_uninstall(self):
        # The uninstaller works from the record of the fonts installed; with
        # the record deleted by hand, from its own list.
        for number, record_deleted in enumerate((False, True)):
            with self.subTest(record_deleted=record_deleted):
                folder = self.sandbox / f"fonts {number}"
                fonts = self.fonts(folder, "Example Sans & (Regular).ttf", "example-set.ttc")
                installer, name = self.build(folder, fonts, f"setup (fonts) & more {number}.exe")

                outcome = self.run_caller(installer, "/S")
                self.assertLines(outcome, 0, [], broadcasts=2)
                self.assertInstalled(fonts, name)
                records = {value: self.copy_path(font) for font, value in fonts}
                self.assertEqual(self.entry(name, fonts)[1], records)
                if record_deleted:
                    for value in records:
                        self.session.registry.delete_value(UNINSTALL_KEY + name + "\\Fonts", value)

                self.assertLines(self.uninstall(name), 0, [], broadcasts=2)
                self.assertNoTrace(fonts, name)

    def test_a_font_that_fails_undoes_the_run(self):
        # The files in the installer's order, and the broadcasts: one for
        # each font installed before the failing file, one for each taken
        # out again.
        cases = [
            ("the first file holds no font", ["notes.ttf", "Example Sans.ttf"], 0),
            ("a font, then a file that holds no font", ["Example Sans.ttf", "notes.ttf"], 2),
            ("a font and a collection, then a file that holds no font",
             ["Example Sans.ttf", "example-set.ttc", "notes.ttf", "Example Serif.ttf"], 4),
        ]
        for number, (label, names, broadcasts) in enumerate(cases):
            with self.subTest(label):
                fonts = self.fonts(self.sandbox / f"fonts {number}", *names)
                installer, name = self.build(self.sandbox / f"fonts {number}", fonts, f"setup {number}.exe")
                before = self.snapshot(self.user_fonts)
                outcome = self.run_caller(installer, "/S")
                self.assertLines(outcome, 2, [], broadcasts=broadcasts)
                self.assertNoTrace(fonts, name)
                self.assertUnchanged(before, self.user_fonts)

    def test_a_failure_keeps_what_an_earlier_run_installed(self):
        installed = self.fonts(self.sandbox / "fonts", "Example Sans.ttf")
        first, name = self.build(self.sandbox / "fonts", installed, "setup 1.0.exe")
        self.assertLines(self.run_caller(first, "/S"), 0, [], broadcasts=1)
        self.assertInstalled(installed, name)
        sans = installed[0]

        # The second version adds a font and a file that holds no font: the
        # earlier font, taken out and installed again, is taken out and put
        # back; the new one is taken out again (six broadcasts).
        (serif,) = self.fonts(self.sandbox / "fonts", "Example Serif.ttf")
        (notes,) = self.fonts(self.sandbox / "fonts", "notes.ttf")
        second, _ = self.build(self.sandbox / "fonts", [sans, serif, notes], "setup 2.0.exe")
        self.assertLines(self.run_caller(second, "/S"), 2, [], broadcasts=6)
        self.assertInstalled(installed, name)
        self.assertFalse((self.user_fonts / serif[0].name).exists())
        self.assertIsNone(self.registry_value(FONTS_KEY, serif[1]))

        # A third version of the same font that holds no font: the one
        # installed is taken out, and put back once the new one failed.
        broken = self.sandbox / "broken"
        self.non_font(broken / sans[0].name)
        third, _ = self.build(broken, [(broken / sans[0].name, sans[1])], "setup 3.0.exe")
        self.assertLines(self.run_caller(third, "/S"), 2, [], broadcasts=2)
        self.assertInstalled(installed, name)

        # The same with the installed copy deleted by hand: nothing to put
        # back, so its value goes too, and no value is left without a file.
        self.discard(self.user_fonts / sans[0].name)
        self.assertLines(self.run_caller(third, "/S"), 2, [], broadcasts=1)
        self.assertNoTrace([sans], None)

        self.assertLines(self.uninstall(name), 0, [], broadcasts=1)
        self.assertNoTrace([sans, serif, notes], name)

    def test_run_twice(self):
        # The second run of the same installer takes each font out of the
        # font table and installs it again: in the same session two
        # broadcasts a font; in a later one the font is not in the table,
        # so one.
        for restart, broadcasts in ((False, 2), (True, 1)):
            with self.subTest(after_a_new_session=restart):
                if restart:
                    self.needs(NEW_SESSION)
                fonts = self.fonts(self.sandbox / f"fonts {restart}", "Example Sans.ttf", "example-set.ttc")
                installer, name = self.build(self.sandbox / f"fonts {restart}", fonts, f"setup {restart}.exe")
                self.assertLines(self.run_caller(installer, "/S"), 0, [], broadcasts=2)
                if restart:
                    self.session.restart_session()
                self.assertLines(self.run_caller(installer, "/S"), 0, [], broadcasts=2 * broadcasts)
                self.assertInstalled(fonts, name)
                self.assertEqual(sorted(path.name for path in self.user_fonts.iterdir()),
                                 sorted(font.name for font, _ in fonts))

                self.assertLines(self.uninstall(name), 0, [], broadcasts=2)
                self.assertNoTrace(fonts, name)

    def test_uninstall_in_a_later_session(self):
        self.needs(NEW_SESSION)
        fonts = self.fonts(self.sandbox / "fonts", "Example Sans.ttf", "example-set.ttc")
        installer, name = self.build(self.sandbox / "fonts", fonts)
        self.assertLines(self.run_caller(installer, "/S"), 0, [], broadcasts=2)

        self.session.restart_session()
        # The fonts are not in the new session's font table: fontctl.exe
        # answers 1 for each, and the uninstaller deletes the copies itself.
        self.assertLines(self.uninstall(name), 0, [], broadcasts=0)
        self.assertNoTrace(fonts, name)

    def test_the_uninstaller_goes_on_and_keeps_what_it_cannot_remove(self):
        fonts = self.fonts(self.sandbox / "fonts", "Example Sans.ttf", "Example Serif.ttf")
        installer, name = self.build(self.sandbox / "fonts", fonts)
        self.assertLines(self.run_caller(installer, "/S"), 0, [], broadcasts=2)
        (sans, sans_value), serif = fonts
        # A folder in place of the first copy: it cannot be deleted as a file.
        self.discard(self.user_fonts / sans.name)
        self.non_font(self.user_fonts / sans.name / "inside.txt")

        self.assertLines(self.uninstall(name), 2, [], broadcasts=1)
        self.assertEqual(self.registry_value(FONTS_KEY, sans_value), self.copy_path(sans))
        self.assertTrue((self.user_fonts / sans.name / "inside.txt").is_file())
        self.assertNoTrace([serif], None)
        self.assertTrue((self.install_dir(name) / "uninstall.exe").is_file())
        self.assertIsNotNone(self.registry_value(UNINSTALL_KEY + name, "UninstallString"))

        # Once the folder is gone, the uninstaller can be run again. A copy
        # that is not there counts as removed, with a broadcast.
        shutil.rmtree(self.user_fonts / sans.name)
        self.assertLines(self.uninstall(name), 0, [], broadcasts=2)
        self.assertNoTrace(fonts, name)

    def test_refuses_windows_before_10_version_1809(self):
        self.needs(OTHER_WINDOWS_VERSION)
        fonts = self.fonts(self.sandbox / "fonts", "Example Sans.ttf")
        installer, name = self.build(self.sandbox / "fonts", fonts)
        for version in ("win7", "win81"):
            with self.subTest(version):
                self.run_as_windows(installer, version)
                before = self.snapshot(self.user_fonts)
                self.assertLines(self.run_caller(installer, "/S"), 2, [], broadcasts=0)
                self.assertNoTrace(fonts, name)
                self.assertUnchanged(before, self.user_fonts)

    def test_profile_and_temporary_folders_outside_the_code_page(self):
        # The per-user font folder and the installer's temporary folder with
        # Cyrillic names, as in a profile named in Cyrillic.
        local = self.make_folder(self.sandbox / "Локальные данные")
        temp = self.make_folder(self.sandbox / "Временные файлы")
        self.set_registry_value(SHELL_FOLDERS_KEY, "Local AppData", "REG_EXPAND_SZ", self.win(local))
        # Wine takes TEMP and TMP from the registry, Windows from the
        # environment the installer inherits.
        temp_env = {"TEMP": self.win(temp), "TMP": self.win(temp)}
        for variable, value in temp_env.items():
            self.set_registry_value("Environment", variable, "REG_SZ", value)
        fonts = self.fonts(self.sandbox / "fonts", "Example Sans.ttf", "Шрифт.ttc")
        installer, name = self.build(self.sandbox / "fonts", fonts)

        self.assertLines(self.run_caller(installer, "/S", env=temp_env), 0, [], broadcasts=2)
        for font, value in fonts:
            self.assertSameBytes(local.joinpath(*USER_FONTS[2:], font.name), font)
        install_dir = local / "Programs" / name
        self.assertTrue((install_dir / "uninstall.exe").is_file())
        # The launcher names the program to start in the ANSI code page: a
        # copy of the uninstaller under an ASCII name runs on the folder
        # that _?= gives it, and deletes the one there.
        uninstaller = self.sandbox / "uninstall.exe"
        shutil.copyfile(install_dir / "uninstall.exe", uninstaller)
        outcome = self.launch_caller(uninstaller, f'"{self.win(uninstaller)}" /S _?={self.win(install_dir)}')
        self.assertLines(outcome, 0, [], broadcasts=2)
        self.assertEqual(list(local.joinpath(*USER_FONTS[2:]).iterdir()), [])
        self.assertFalse(install_dir.exists())
        for _, value in fonts:
            self.assertIsNone(self.registry_value(FONTS_KEY, value))
        self.assertIsNone(self.registry_value(UNINSTALL_KEY + name, "DisplayName"))

    def test_builds_with_the_x86_stubs_alone(self):
        fonts = self.fonts(self.sandbox / "fonts", "Example Sans.ttf")
        installer = self.sandbox / "setup.exe"
        self.makensis(self.sandbox / "fonts", fonts, installer,
                      env=self.session.nsis_for_windows_env(self.sandbox / "nsis for windows"))
        with pefile.PE(str(installer), fast_load=True) as image:
            self.assertEqual(image.FILE_HEADER.Machine, pefile.MACHINE_TYPE["IMAGE_FILE_MACHINE_I386"])

    def test_a_failed_upgrade_puts_back_every_font(self):
        # A second version of three installed fonts in which one holds no
        # font: the failing font's place, whether the first version's fonts
        # are in the font table (not after a new session), and the
        # broadcasts of the run. A font in the table gives two for each font
        # replaced before the failing one (out, in), two for the failing one
        # (out, back) and two for each replaced one taken out and put back;
        # out of the table, the first "out" of each gives none.
        cases = [
            ("at the first font", 0, False, 2),
            ("at the last font", 2, False, 10),
            ("at the last font, in a later session", 2, True, 7),
        ]
        for number, (label, failing, restart, broadcasts) in enumerate(cases):
            with self.subTest(label):
                if restart:
                    self.needs(NEW_SESSION)
                folder = self.sandbox / f"1.0 {number}"
                installed = self.fonts(folder, "Example Sans.ttf", "example-set.ttc", "Example Serif.ttf")
                first, name = self.build(folder, installed, f"setup 1.0 {number}.exe")
                self.assertLines(self.run_caller(first, "/S"), 0, [], broadcasts=3)
                if restart:
                    self.session.restart_session()

                upgrade = self.sandbox / f"2.0 {number}"
                newer = [(path, value) for (path, _), (_, value)
                         in zip(self.fonts(upgrade, *(font.name for font, _ in installed)), installed)]
                self.non_font(newer[failing][0])
                second, _ = self.build(upgrade, newer, f"setup 2.0 {number}.exe")
                before = self.snapshot(self.user_fonts)
                self.assertLines(self.run_caller(second, "/S"), 2, [], broadcasts=broadcasts)
                self.assertUnchanged(before, self.user_fonts)
                self.assertInstalled(installed, name)

                # Each font that the run touched is in the font table again:
                # removing it answers 0, with a broadcast.
                self.assertLines(self.uninstall(name), 0, [], broadcasts=failing + 1 if restart else 3)
                self.assertNoTrace(installed, name)

    def test_leaves_another_programs_font_value_alone(self):
        fonts = self.fonts(self.sandbox / "fonts", "Example Sans.ttf", "Example Serif.ttf")
        installer, name = self.build(self.sandbox / "fonts", fonts)
        (sans, sans_value), (serif, serif_value) = fonts
        others = self.profile_windows_path(*USER_FONTS, "Other Serif.ttf")

        # Another program installed a face of that name from its own file:
        # the installer stops before it changes anything.
        self.set_registry_value(FONTS_KEY, serif_value, "REG_SZ", others)
        before = self.snapshot(self.user_fonts)
        self.assertLines(self.run_caller(installer, "/S"), 2, [], broadcasts=0)
        self.assertEqual(self.registry_value(FONTS_KEY, serif_value), others)
        self.assertNoTrace([(sans, sans_value)], name)
        self.assertUnchanged(before, self.user_fonts)

        # Another program took the face over after the install: the
        # uninstaller removes its own copy and leaves the value.
        self.session.registry.delete_value(FONTS_KEY, serif_value)
        self.assertLines(self.run_caller(installer, "/S"), 0, [], broadcasts=2)
        self.set_registry_value(FONTS_KEY, serif_value, "REG_SZ", others)
        self.assertLines(self.uninstall(name), 0, [], broadcasts=2)
        self.assertEqual(self.registry_value(FONTS_KEY, serif_value), others)
        self.assertNoTrace([(sans, sans_value)], name)
        self.assertFalse((self.user_fonts / serif.name).exists())

    def test_a_temporary_folder_short_of_room_stops_the_upgrade(self):
        # A temporary folder short of room for a large font: the first
        # version's cannot be kept whole for a failed upgrade to put back,
        # or the second version's cannot be unpacked. The upgrade stops
        # before it takes anything out or writes anything, whether it
        # replaces the large font (and would fail at a later one), no
        # longer ships it, or brings it.
        self.needs(FILE_SIZE_LIMIT)
        cases = [
            # label, the first version's files, the second's; the large ones
            ("the upgrade replaces it", ["Large Sans.ttf", "Example Serif.ttf"],
             ["Large Sans.ttf", "Example Serif.ttf", "notes.ttf"], ["Large Sans.ttf"]),
            ("the upgrade no longer ships it", ["Large Sans.ttf", "Example Serif.ttf"],
             ["Example Serif.ttf", "Example Mono.ttf"], ["Large Sans.ttf"]),
            # NSIS aborts at a file it cannot unpack whole: the installer
            # unpacks its fonts before it changes anything. (Built solid, as
            # it is, it unpacks its data at start and stops even sooner.)
            ("the upgrade brings it", ["Example Sans.ttf", "Example Serif.ttf"],
             ["Example Sans.ttf", "Large Mono.ttf", "Example Serif.ttf"], ["Large Mono.ttf"]),
        ]
        for number, (label, first_names, second_names, large) in enumerate(cases):
            with self.subTest(label):
                folder = self.sandbox / f"1.0 {number}"
                installed = self.fonts(folder, *first_names, large=large)
                first, name = self.build(folder, installed, f"setup 1.0 {number}.exe")
                self.assertLines(self.run_caller(first, "/S"), 0, [], broadcasts=2)
                # The second version's files are small but for those it
                # brings.
                newer = self.newer_version(self.sandbox / f"2.0 {number}", installed, second_names,
                                           large=set(large) - set(first_names))
                second, _ = self.build(self.sandbox / f"2.0 {number}", newer, f"setup 2.0 {number}.exe")

                before, entry = self.snapshot(self.user_fonts), self.entry(name, installed)
                with self.session.file_size_limit(SHORT_OF_ROOM):
                    outcome = self.run_caller(second, "/S")
                self.assertLines(outcome, 2, [], broadcasts=0)
                self.assertUnchanged(before, self.user_fonts)
                self.assertInstalled(installed, name)
                self.assertEqual(self.entry(name, installed), entry)
                self.assertNoTrace([font for font in newer if font[1] not in entry[1]], None)

                # Both fonts are still in the font table: removing each
                # answers 0, with a broadcast.
                self.assertLines(self.uninstall(name), 0, [], broadcasts=2)
                self.assertNoTrace(installed, name)

    def test_an_upgrade_removes_the_fonts_it_no_longer_ships(self):
        # The second version's files, each with the index of the first
        # version's font whose registry value it takes (None: a value of
        # its own), and the broadcasts of the upgrade: one for each font of
        # the first version taken out, one for each installed.
        cases = [
            ("a font left out", [("Example Serif.ttf", 1)], 3),
            ("a face moved to a file of another name", [("Example Sans 2.ttf", 0), ("Example Serif.ttf", 1)], 4),
            ("a font left out and one added", [("Example Serif.ttf", 1), ("Example Mono.ttf", None)], 4),
        ]
        for number, (label, files, broadcasts) in enumerate(cases):
            with self.subTest(label):
                folder = self.sandbox / f"1.0 {number}"
                installed = self.fonts(folder, "Example Sans.ttf", "Example Serif.ttf")
                first, name = self.build(folder, installed, f"setup 1.0 {number}.exe")
                self.assertLines(self.run_caller(first, "/S"), 0, [], broadcasts=2)
                newer = [(path, value if taken is None else installed[taken][1]) for (path, value), (_, taken)
                         in zip(self.fonts(self.sandbox / f"2.0 {number}", *(file for file, _ in files)), files)]
                second, _ = self.build(self.sandbox / f"2.0 {number}", newer, f"setup 2.0 {number}.exe")

                self.assertLines(self.run_caller(second, "/S"), 0, [], broadcasts=broadcasts)
                self.assertInstalled(newer, name)
                (sans, sans_value), _ = installed
                self.assertFalse((self.user_fonts / sans.name).exists())
                self.assertOutOfTheFontTable(sans)
                self.assertEqual(sorted(path.name for path in self.user_fonts.iterdir()),
                                 sorted(font.name for font, _ in newer))
                # The record names this version's fonts alone, and the
                # uninstaller removes exactly those.
                records = {value: self.copy_path(font) for font, value in newer}
                self.assertEqual(self.entry(name, installed + newer)[1], {sans_value: None, **records})
                self.assertLines(self.uninstall(name), 0, [], broadcasts=len(newer))
                self.assertNoTrace(installed + newer, name)

    def test_a_failed_upgrade_keeps_the_earlier_uninstaller(self):
        # The second version replaces Sans, no longer ships Serif, adds Mono
        # and fails at the file that holds no font: Serif is taken out (1),
        # Sans replaced (2) and Mono installed (1); then Sans is taken out
        # and put back (2), Mono taken out (1) and Serif put back (1).
        folder = self.sandbox / "1.0"
        installed = self.fonts(folder, "Example Sans.ttf", "Example Serif.ttf")
        first, name = self.build(folder, installed, "setup 1.0.exe")
        self.assertLines(self.run_caller(first, "/S"), 0, [], broadcasts=2)
        newer = self.newer_version(self.sandbox / "2.0", installed,
                                   ["Example Sans.ttf", "Example Mono.ttf", "notes.ttf"])
        second, _ = self.build(self.sandbox / "2.0", newer, "setup 2.0.exe")

        before, entry = self.snapshot(self.user_fonts), self.entry(name, installed + newer)
        self.assertLines(self.run_caller(second, "/S"), 2, [], broadcasts=8)
        self.assertUnchanged(before, self.user_fonts)
        self.assertInstalled(installed, name)
        self.assertEqual(self.entry(name, installed + newer), entry)

        # The first version's uninstaller, with its record: it removes the
        # first version's fonts, each in the font table again.
        self.assertLines(self.uninstall(name), 0, [], broadcasts=2)
        self.assertNoTrace(installed + newer, name)

    def test_read_only_copies_are_replaced_and_removed(self):
        # The first version's copies made read-only: fontctl neither takes
        # out nor replaces such a copy, so the installer clears the
        # attribute first. A failed upgrade puts both back; a good one
        # replaces Sans (2 broadcasts), installs Mono (1) and removes Serif,
        # which it no longer ships (1).
        installed = self.fonts(self.sandbox / "1.0", "Example Sans.ttf", "Example Serif.ttf")
        first, name = self.build(self.sandbox / "1.0", installed, "setup 1.0.exe")
        self.assertLines(self.run_caller(first, "/S"), 0, [], broadcasts=2)
        for font, _ in installed:
            self.assertEqual(self.run_tool("attrib", "+r", self.user_fonts / font.name).status, 0)

        failing = self.newer_version(self.sandbox / "2.0", installed, ["Example Sans.ttf", "notes.ttf"])
        second, _ = self.build(self.sandbox / "2.0", failing, "setup 2.0.exe")
        self.assertLines(self.run_caller(second, "/S"), 2, [], broadcasts=6)
        self.assertInstalled(installed, name)
        # Put back as normal files, as the README says.
        for font, _ in installed:
            self.assertNotIn("R", self.attributes(self.user_fonts / font.name), font.name)

        newer = self.newer_version(self.sandbox / "2.1", installed, ["Example Sans.ttf", "Example Mono.ttf"])
        third, _ = self.build(self.sandbox / "2.1", newer, "setup 2.1.exe")
        self.assertLines(self.run_caller(third, "/S"), 0, [], broadcasts=4)
        self.assertInstalled(newer, name)
        self.assertNoTrace(installed[1:], None)
        self.assertLines(self.uninstall(name), 0, [], broadcasts=2)
        self.assertNoTrace(installed + newer, name)

    def test_an_uninstaller_that_cannot_be_written_undoes_the_run(self):
        # A file where the uninstaller's folder goes: the uninstaller, written
        # once every font is in, cannot be, and the fonts are taken out
        # again (two in, two out).
        fonts = self.fonts(self.sandbox / "fonts", "Example Sans.ttf", "Example Serif.ttf")
        installer, name = self.build(self.sandbox / "fonts", fonts)
        blocker = self.non_font(self.install_dir(name))
        self.addCleanup(blocker.unlink)
        blocked = blocker.read_bytes()
        before = self.snapshot(self.user_fonts)
        self.assertLines(self.run_caller(installer, "/S"), 2, [], broadcasts=4)
        self.assertUnchanged(before, self.user_fonts)
        self.assertNoTrace(fonts, None)
        self.assertIsNone(self.registry_value(UNINSTALL_KEY + name, "DisplayName"))
        self.assertEqual(blocker.read_bytes(), blocked)

    def test_a_file_the_record_does_not_name_is_never_replaced(self):
        # Another product's Beta.ttf in the per-user font folder, under a
        # face of its own: an installer that ships a Beta.ttf of its own
        # stops before it changes anything and names the file, whether its
        # run would succeed or fail at a later font; so it does where a
        # value of its own face already names that path but the record of
        # an earlier run does not.
        self.make_folder(self.user_fonts)
        other = self.user_fonts / "Beta.ttf"
        other_value = truetype_value(font_files.write_truetype(other))
        self.addCleanup(self.discard, other)
        self.set_registry_value(FONTS_KEY, other_value, "REG_SZ", self.copy_path(other))
        cases = [
            ("a run that would succeed", ["Alpha.ttf", "Beta.ttf"], False),
            ("a run that fails at a later font", ["Alpha.ttf", "Beta.ttf", "notes.ttf"], False),
            ("a value of its own face naming the file", ["Alpha.ttf", "Beta.ttf"], True),
        ]
        for number, (label, names, own_value) in enumerate(cases):
            with self.subTest(label):
                folder = self.sandbox / f"fonts {number}"
                fonts = self.fonts(folder, *names)
                installer, name = self.build(folder, fonts, f"setup {number}.exe")
                beta_value = fonts[1][1]
                if own_value:
                    self.set_registry_value(FONTS_KEY, beta_value, "REG_SZ", self.copy_path(other))
                before = self.snapshot(self.user_fonts)
                outcome = self.run_caller(installer, "/S")
                self.assertLines(outcome, 2, [], broadcasts=0)
                self.assertUnchanged(before, self.user_fonts)
                self.assertEqual(self.registry_value(FONTS_KEY, other_value), self.copy_path(other))
                self.assertNoTrace([fonts[0]] + fonts[2:], name)
                if not own_value:
                    self.assertIsNone(self.registry_value(FONTS_KEY, beta_value))
