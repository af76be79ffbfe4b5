"""The batch scripts of examples/cmd/, run as they stand by Wine's cmd the way
an administrator deploys them: copied into a folder, with fontctl.exe beside
them or on PATH.

Wine's cmd expands a percent sign in the value of a variable or argument once
more (Windows' does not), so only the font files' own names hold percent
signs here: the scripts carry those in FOR variables, which it leaves alone."""
import shutil

from caller_case import EXAMPLES, CallerCase

SCRIPTS = ("install-fonts.cmd", "remove-fonts.cmd")


class BatchScriptTest(CallerCase):
    def deploy(self, folder, fontctl=None):
        """The scripts copied into FOLDER, and the program FONTCTL (by
        default the real one) beside them as fontctl.exe; False for none."""
        self.make_folder(folder)
        for script in SCRIPTS:
            shutil.copyfile(EXAMPLES / "cmd" / script, folder / script)
        if fontctl is not False:
            shutil.copyfile(fontctl or self.session.fontctl_exe, folder / "fontctl.exe")
        return folder

    def script(self, folder, name, *args, env=None):
        """`wine cmd /c NAME ARGS` in the script's folder. The script is named
        without its folder: a command after /c that starts with a quote loses
        that quote and the last one, and Wine quotes a path with spaces."""
        return self.run_caller("cmd", "/c", name, *args, cwd=folder, env=env)

    def test_install_then_remove_a_folder(self):
        tools = self.deploy(self.sandbox / "tools & (admin)")
        source = self.make_folder(self.sandbox / "setup & (fonts)")
        sans = self.truetype(source / "Example Sans & (Bold) v2.ttf")
        collection = self.collection(source / "Example 100% %PATH% Set.TTC")
        notes = self.non_font(source / "notes.ttf")
        for ignored in ("readme.txt", "Example.ttfx", "Example.ttf.bak"):
            self.non_font(source / ignored)
        target = self.sandbox / "profile (x) & y" / "Fonts"

        outcome = self.script(tools, "install-fonts.cmd", source, target)
        self.assertLines(outcome, 1, [
            f"0 installed: {sans.name}",
            f"0 installed: {collection.name}",
            f"4 no font in the file, copy deleted: {notes.name}",
        ], broadcasts=2)
        self.assertEqual(sorted(path.name for path in target.iterdir()), sorted([sans.name, collection.name]))
        for font in (sans, collection):
            self.assertSameBytes(target / font.name, font)

        # 0 for both fonts shows they were in the font table: removing a file
        # that holds fonts no one added answers 1.
        outcome = self.script(tools, "remove-fonts.cmd", source, target)
        self.assertLines(outcome, 0, [f"0 removed, or not there: {font.name}" for font in (sans, collection, notes)],
                         broadcasts=3)
        self.assertEqual(list(target.iterdir()), [])

    def test_crafted_file_name_installs_nothing_else(self):
        # Read with best fit, this one name would be three arguments: the file
        # src\evil, the folder ..\loot, and .ttf; fontctl.exe reads '?' for
        # each fullwidth character, and the name names nothing.
        tools = self.deploy(self.sandbox / "tools")
        source = self.make_folder(self.sandbox / "src")
        crafted = self.truetype(source / "evil\uff02 \uff02..\uff3cloot\uff02 \uff02.ttf")
        self.truetype(source / "evil")
        plain = self.truetype(source / "Example.ttf")
        loot = self.make_folder(self.sandbox / "loot")
        target = self.make_folder(self.sandbox / "target")
        before = self.snapshot(self.sandbox)

        outcome = self.script(tools, "install-fonts.cmd", source, target)
        self.assertEqual(outcome.status, 1, f"exit status; {outcome}")
        lines = sorted(outcome.stdout.decode("cp1252").splitlines())
        self.assertEqual(len(lines), 2, f"standard output; {outcome}")
        self.assertEqual(lines[0], f"0 installed: {plain.name}")
        self.assertTrue(lines[1].startswith("1 font file not found: evil"), f"standard output; {outcome}")
        self.assertEqual(outcome.broadcasts, ((0, 0),))
        self.assertSameBytes(target / plain.name, plain)
        self.assertFalse((target / crafted.name).exists())
        self.assertEqual(list(loot.iterdir()), [])
        self.assertUnchanged(before, self.sandbox, except_for=[target / plain.name])

    def test_default_target_and_fontctl_on_path(self):
        tools = self.deploy(self.sandbox / "scripts", fontctl=False)
        bin_dir = self.make_folder(self.sandbox / "bin (x64) & more")
        shutil.copyfile(self.session.fontctl_exe, bin_dir / "fontctl.exe")
        path = {"WINEPATH": self.win(bin_dir)}
        source = self.make_folder(self.sandbox / "fonts")
        font = self.truetype(source / "Example Mono.ttf")
        # Absent, as in a new profile: the script creates it.
        shutil.rmtree(self.user_fonts, ignore_errors=True)

        outcome = self.script(tools, "install-fonts.cmd", source, env=path)
        self.assertLines(outcome, 0, [f"0 installed: {font.name}"], broadcasts=1)
        self.assertSameBytes(self.user_fonts / font.name, font)

        outcome = self.script(tools, "remove-fonts.cmd", source, env=path)
        self.assertLines(outcome, 0, [f"0 removed, or not there: {font.name}"], broadcasts=1)
        self.assertFalse((self.user_fonts / font.name).exists())

    def test_usage_errors(self):
        with_fontctl = self.deploy(self.sandbox / "tools")
        without_fontctl = self.deploy(self.sandbox / "tools without fontctl", fontctl=False)
        source = self.make_folder(self.sandbox / "fonts")
        self.truetype(source / "Example.ttf")
        target = self.sandbox / "target"
        cases = [
            ("no source folder", with_fontctl, []),
            ("an empty source folder argument", with_fontctl, ["", target]),
            ("a source folder that does not exist", with_fontctl, [self.sandbox / "missing", target]),
            ("a source that is a file", with_fontctl, [source / "Example.ttf", target]),
            ("fontctl.exe neither beside the script nor on PATH", without_fontctl, [source, target]),
        ]
        for name, tools, args in cases:
            for script in SCRIPTS:
                with self.subTest(name, script=script):
                    before = self.snapshot(self.sandbox)
                    self.assertLines(self.script(tools, script, *args), 2, [], broadcasts=0)
                    self.assertUnchanged(before, self.sandbox)

    def test_folder_without_fonts(self):
        tools = self.deploy(self.sandbox / "tools")
        source = self.make_folder(self.sandbox / "documents & (more)")
        self.non_font(source / "readme.txt")
        target = self.make_folder(self.sandbox / "target")
        for script in SCRIPTS:
            with self.subTest(script):
                outcome = self.script(tools, script, source, target)
                self.assertLines(outcome, 0, [f'No .ttf, .ttc, .otf or .fon file in "{self.win(source)}".'],
                                 broadcasts=0)
                self.assertEqual(list(target.iterdir()), [])

    def test_no_answer_is_a_failure(self):
        # A program that prints nothing stands in for fontctl.exe: what the
        # scripts see when Wine or Windows could not start it.
        silent = self.session.helper("e2e_launcher.exe")
        tools = self.deploy(self.sandbox / "tools", fontctl=silent)
        source = self.make_folder(self.sandbox / "fonts")
        fonts = [self.truetype(source / name) for name in ("a.ttf", "b.ttf")]
        target = self.make_folder(self.sandbox / "target")
        for script in SCRIPTS:
            with self.subTest(script):
                outcome = self.script(tools, script, source, target)
                self.assertLines(outcome, 1, [f"- no answer from fontctl.exe: {font.name}" for font in fonts],
                                 broadcasts=0)
                self.assertEqual(list(target.iterdir()), [])
