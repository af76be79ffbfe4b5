"""The batch scripts of examples/cmd/, run as they stand by the platform's cmd
(Wine's, or Windows' own) the way an administrator deploys them: copied into
a folder, with fontctl.exe beside them or on PATH.

Wine's cmd expands a percent sign in the value of a variable or argument once
more (Windows' does not), so only the font files' own names hold percent
signs here: the scripts carry those in FOR variables, which it leaves alone."""
import shutil
import stat

from caller_case import EXAMPLES, CallerCase
from e2e_session import NEW_SESSION

SCRIPTS = ("install-fonts.cmd", "remove-fonts.cmd")


class BatchScriptTest(CallerCase):
    def deploy(self, folder, fontctl=None, name="fontctl.exe"):
        """The scripts copied into FOLDER, and the program FONTCTL (by
        default the real one) beside them as NAME; False for none."""
        self.make_folder(folder)
        for script in SCRIPTS:
            shutil.copyfile(EXAMPLES / "cmd" / script, folder / script)
        if fontctl is not False:
            shutil.copyfile(fontctl or self.session.fontctl_exe, folder / name)
        return folder

    def deploy_utf8(self, folder):
        """The scripts with fontctl-utf8.exe beside them, as the README
        advises for names outside the ANSI code page."""
        return self.deploy(folder, self.session.fontctl_utf8_exe, "fontctl-utf8.exe")

    def script_line(self, folder, name, *args):
        """`cmd /c NAME "ARG" ...` started with exactly this command line, in
        Unicode: each argument in quotes, as an administrator types it, with
        no backslash added or doubled."""
        line = " ".join([f"cmd /c {name}"] + [f'"{arg}"' for arg in args])
        return self.launch_caller(self.session.cmd_exe(), line, cwd=folder)

    def new_drive(self, folder):
        """A drive letter whose root is FOLDER, for as long as the case
        runs."""
        drive, remove = self.session.new_drive(self.make_folder(folder))
        self.addCleanup(remove)
        return drive

    def script(self, folder, name, *args, env=None):
        """`cmd /c NAME ARGS` in the script's folder. The script is named
        without its folder: a command after /c that starts with a quote loses
        that quote and the last one, and an argument with spaces is quoted."""
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
        source = self.make_folder(self.sandbox / "fonts")
        font = self.truetype(source / "Example Mono.ttf")
        # No font folder in it, as in a new profile: the script creates it.
        local, env = self.session.fresh_local_app_data(self.sandbox / "Local AppData")
        env.update(self.session.program_search_env(bin_dir))
        user_fonts = local / "Microsoft" / "Windows" / "Fonts"

        outcome = self.script(tools, "install-fonts.cmd", source, env=env)
        self.assertLines(outcome, 0, [f"0 installed: {font.name}"], broadcasts=1)
        self.assertSameBytes(user_fonts / font.name, font)

        outcome = self.script(tools, "remove-fonts.cmd", source, env=env)
        self.assertLines(outcome, 0, [f"0 removed, or not there: {font.name}"], broadcasts=1)
        self.assertFalse((user_fonts / font.name).exists())

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
            # Removing would delete the fonts themselves.
            ("the source folder as the target", with_fontctl, [source, source]),
            ("the source folder as the target, with a backslash", with_fontctl, [source, self.win(source) + "\\"]),
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
                self.assertLines(outcome, 1, [f"- no answer from fontctl: {font.name}" for font in fonts],
                                 broadcasts=0)
                self.assertEqual(list(target.iterdir()), [])

    def test_folder_names(self):
        source = self.make_folder(self.sandbox / "fonts")
        target = self.sandbox / "target"
        root = self.sandbox / "drive root"
        cyrillic = self.sandbox / "Шрифты (исходные)"
        # The source folder, the source and target arguments as typed, and
        # the folder where the copy lands.
        cases = [
            ("a target that ends in a backslash", source, self.win(source), self.win(target) + "\\", target),
            ("a source that ends in a backslash", source, self.win(source) + "\\", self.win(target), target),
            ("a drive root as the target", source, self.win(source), self.new_drive(root) + "\\", root),
            ("Cyrillic source and target", cyrillic, self.win(cyrillic), self.win(cyrillic / "Папка шрифтов"),
             cyrillic / "Папка шрифтов"),
        ]
        tools = self.deploy_utf8(self.sandbox / "tools")
        for name, folder, source_arg, target_arg, lands in cases:
            with self.subTest(name):
                font = self.truetype(folder / "Example Sans.ttf")
                outcome = self.script_line(tools, "install-fonts.cmd", source_arg, target_arg)
                self.assertLines(outcome, 0, [f"0 installed: {font.name}"], broadcasts=1)
                self.assertSameBytes(lands / font.name, font)

                outcome = self.script_line(tools, "remove-fonts.cmd", source_arg, target_arg)
                self.assertLines(outcome, 0, [f"0 removed, or not there: {font.name}"], broadcasts=1)
                self.assertFalse((lands / font.name).exists())
                font.unlink()

    def test_second_run_and_read_only_sources(self):
        tools = self.deploy(self.sandbox / "tools")
        source = self.make_folder(self.sandbox / "fonts")
        sans = self.truetype(source / "Example Sans.ttf")
        locked = self.truetype(source / "Example Read-only.ttf")
        notes = self.non_font(source / "notes.ttf")
        for path in (locked, notes):
            path.chmod(stat.S_IRUSR | stat.S_IRGRP | stat.S_IROTH)
        target = self.make_folder(self.sandbox / "target")

        # A second run takes each copy out of the font table before copying
        # over it: on Windows a loaded font's file is held open.
        for run, broadcasts in ((1, 2), (2, 4)):
            with self.subTest(f"install, run {run}"):
                outcome = self.script(tools, "install-fonts.cmd", source, target)
                self.assertLines(outcome, 1, [
                    f"0 installed: {sans.name}",
                    f"0 installed: {locked.name}",
                    f"4 no font in the file, copy deleted: {notes.name}",
                ], broadcasts=broadcasts)
                self.assertEqual(sorted(path.name for path in target.iterdir()), sorted([sans.name, locked.name]))
                for font in (sans, locked):
                    self.assertSameBytes(target / font.name, font)
                    # Writable, so that a removal can delete it.
                    self.assertTrue((target / font.name).stat().st_mode & stat.S_IWUSR, font.name)
        for run in (1, 2):
            with self.subTest(f"remove, run {run}"):
                outcome = self.script(tools, "remove-fonts.cmd", source, target)
                self.assertLines(outcome, 0, [f"0 removed, or not there: {path.name}"
                                              for path in (sans, locked, notes)], broadcasts=3)
                self.assertEqual(list(target.iterdir()), [])

    def test_remove_in_a_later_session(self):
        self.needs(NEW_SESSION)
        tools = self.deploy(self.sandbox / "tools")
        source = self.make_folder(self.sandbox / "fonts")
        sans = self.truetype(source / "Example Sans.ttf")
        kept = self.truetype(source / "Example Kept.ttf")
        target = self.make_folder(self.sandbox / "target")
        outcome = self.script(tools, "install-fonts.cmd", source, target)
        self.assertLines(outcome, 0, [f"0 installed: {font.name}" for font in (sans, kept)], broadcasts=2)

        self.session.restart_session()
        # A folder in place of one copy: no one can delete it as a file.
        (target / kept.name).unlink()
        self.non_font(target / kept.name / "inside.txt")
        outcome = self.script(tools, "remove-fonts.cmd", source, target)
        # The fonts are not in the new session's font table: fontctl.exe
        # answers 1 and deletes nothing, and the script deletes the copy.
        self.assertLines(outcome, 1, [
            f"1 not in the font table, copy deleted: {sans.name}",
            f"1 not in the font table, copy not deleted: {kept.name}",
        ], broadcasts=0)
        self.assertEqual([path.name for path in target.iterdir()], [kept.name])
        self.assertTrue((target / kept.name / "inside.txt").is_file())

    def test_hidden_and_system_files_are_left_out(self):
        # Windows' FOR lists neither; Wine's lists both, so the scripts check.
        tools = self.deploy(self.sandbox / "tools")
        source = self.make_folder(self.sandbox / "fonts")
        shown = self.truetype(source / "Example Sans.ttf")
        target = self.make_folder(self.sandbox / "target")
        for name, flags in (("Example Hidden.ttf", ["+h"]), ("Example System.ttf", ["+s"]),
                            ("Example Both.otf", ["+h", "+s"])):
            font = self.truetype(source / name)
            self.assertEqual(self.run_program("attrib", *flags, font).status, 0)
            # A file of that name in the target, which the removal must not touch.
            shutil.copyfile(font, target / name)
        before = self.snapshot(target)

        outcome = self.script(tools, "install-fonts.cmd", source, target)
        self.assertLines(outcome, 0, [f"0 installed: {shown.name}"], broadcasts=1)
        self.assertUnchanged(before, target, except_for=[target / shown.name])
        outcome = self.script(tools, "remove-fonts.cmd", source, target)
        self.assertLines(outcome, 0, [f"0 removed, or not there: {shown.name}"], broadcasts=1)
        self.assertUnchanged(before, target)

        # With only those left, the folder holds no font to install.
        shown.unlink()
        for script in SCRIPTS:
            with self.subTest(script):
                outcome = self.script(tools, script, source, target)
                self.assertLines(outcome, 0, [f'No .ttf, .ttc, .otf or .fon file in "{self.win(source)}".'],
                                 broadcasts=0)
                self.assertUnchanged(before, target)
