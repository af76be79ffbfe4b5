"""The batch scripts of examples/cmd/, run as they stand by the platform's cmd
(Wine's, or Windows' own) the way an administrator deploys them: copied into
a folder, with fontctl.exe beside them or on PATH.

The scripts are written for Windows' cmd, and keep to what Wine's cmd (8 and
10) does alike. What Wine needs of them, said here once:
- Wine's cmd expands a percent sign in the value of a variable or argument
  once more, and in the value of a FOR variable too: a file named
  "victim%~nH.ttf" reads as "victim.ttf" where %%H is a loop's variable, and
  "%G.ttf" inside the loop over %%G makes it crash. Windows' cmd substitutes
  each value once. So folder arguments here hold no percent sign, and font
  names hold only those that Wine leaves as they are ("100% %PATH%");
  test_names_that_wine_changes shows that the names Wine does change touch
  no other file (the scripts look for each name again in the source).
- Wine's cmd, as Windows', looks for a CALLed label from the line of the
  CALL onwards and reads each line on the way: some 0.05 ms a line under
  Wine, so fonts-common.cmd keeps its per-font subroutines right after the
  loop.
- Wine's cmd lists hidden and system files in FOR, which Windows' leaves
  out (the scripts check the attributes themselves); returns nothing for
  %%~nxG, %%~xG, %%~aG or %%~fG of a path longer than 259 characters (the
  scripts name a file by %%G and measure paths themselves); finds "NAME\"
  for a file NAME (a folder is told by "NAME\*"); gives stale text for a
  substring that starts beyond the end of a value (the scripts pad paths);
  runs the command after "||" even after a PUSHD that worked (ERRORLEVEL is
  tested instead); gives no attributes in a FOR nested in a FOR /F, and
  misreads an IF ... ELSE, or a block holding a program's run and an IF
  ERRORLEVEL, nested in the loop (the scripts use subroutines there);
  applies only the last of several ATTRIB flags (the scripts go on one flag
  a run when one is left); fails MKDIR for a \\?\ path.
- Wine's cmd returns to the caller of a CALLed batch file only when the
  CALL names it plainly (CALL "%%NAME%%" runs it but never comes back):
  install-fonts.cmd and remove-fonts.cmd enter their own folder and CALL
  .\fonts-common.cmd, which also spares Windows' CALL a second expansion of
  a percent sign in the folder's name.
  EXIT /B N in a CALLed batch file gives its caller no N: fonts-common.cmd
  hands its status back in FC_STATUS.
- Wine 10's cmd misreads a FOR variable named after a path modifier after a
  CALL in a nested FOR: the variables are G, I and J.
- Wine's fc.exe compares nothing and answers 0 for any two files: the cases
  put the suite's fc_stand_in.exe, which compares as Windows' fc /b does, in
  the prefix's System32 as fc.exe, chosen over Wine's own by a DLL override.
- Wine holds no loaded font's file open and lets two copies write one file:
  the stand-in for fontctl (helpers/fontctl_stand_in.c) answers 3 for a copy
  in use, as fontctl does on Windows."""
import concurrent.futures
import os
import shutil
import stat
import time
from pathlib import Path, PureWindowsPath

from caller_case import EXAMPLES, CallerCase
from e2e_session import ADMIN_SHARE, NEW_SESSION

SCRIPTS = ("install-fonts.cmd", "remove-fonts.cmd")
# What the two scripts share, which they call from their own folder.
COMMON = "fonts-common.cmd"


class BatchScriptTest(CallerCase):
    comparing_fc = False

    def setUp(self):
        super().setUp()
        self.use_comparing_fc()

    def use_comparing_fc(self):
        """Under Wine, whose fc.exe compares nothing, a comparing one in the
        prefix's System32, once a run."""
        if self.session.platform != "wine" or BatchScriptTest.comparing_fc:
            return
        system32 = Path(self.session.prefix.path, "drive_c", "windows", "system32")
        shutil.copyfile(self.session.helper("fc_stand_in.exe"), system32 / "fc.exe")
        outcome = self.run_tool("reg", "add", r"HKCU\Software\Wine\DllOverrides", "/v", "fc.exe", "/d", "native",
                                "/f")
        self.assertEqual(outcome.status, 0, f"the DLL override of fc.exe: {outcome}")
        BatchScriptTest.comparing_fc = True

    def deploy(self, folder, fontctl=None, name="fontctl.exe", common=True):
        """The scripts copied into FOLDER, with what they share unless COMMON
        is False, and the program FONTCTL (by default the real one) beside
        them as NAME; False for none."""
        self.make_folder(folder)
        for script in SCRIPTS + ((COMMON,) if common else ()):
            shutil.copyfile(EXAMPLES / "cmd" / script, folder / script)
        if fontctl is not False:
            shutil.copyfile(fontctl or self.session.fontctl_exe, folder / name)
        return folder

    def deploy_utf8(self, folder):
        """The scripts with fontctl-utf8.exe beside them, as the README
        advises for names outside the ANSI code page."""
        return self.deploy(folder, self.session.fontctl_utf8_exe, "fontctl-utf8.exe")

    # The stand-in for fontctl.exe (helpers/fontctl_stand_in.c): it logs
    # each run and runs the real program, or answers 3 where told to.

    def deploy_stand_in(self, folder):
        """The scripts with the stand-in beside them as fontctl.exe, and the
        real fontctl.exe beside it as fontctl-real.exe."""
        self.deploy(folder, self.session.helper("fontctl_stand_in.exe"))
        shutil.copyfile(self.session.fontctl_exe, folder / "fontctl-real.exe")
        return folder

    @staticmethod
    def runs(tools):
        """The command lines of the runs of fontctl since the last call, as
        the stand-in in TOOLS logged them."""
        log = tools / "fontctl-runs.log"
        if not log.exists():
            return []
        lines = log.read_bytes().decode().splitlines()
        log.unlink()
        return lines

    @staticmethod
    def commands_for(runs, name):
        """The commands of the runs in RUNS that named the file NAME, in
        their order: "1" for an install, "2" for a removal."""
        return [line.split(" ", 1)[0] for line in runs if f'\\{name}"' in line]

    def steer(self, tools, list_name, *paths):
        """Writes the stand-in's list LIST_NAME: held-open.txt, copies whose
        install answers 3 until they are removed ("*": every copy there is);
        refused.txt, sources whose install answers 3 (a str is a bare file
        name: every source of that name); held-elsewhere.txt, copies whose
        removal answers 2, leaving the file."""
        lines = (path if isinstance(path, str) else self.win(path) for path in paths)
        (tools / list_name).write_bytes("".join(line + "\n" for line in lines).encode())

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

    # Ways to one folder under other names, and to file attributes.

    def link_to_folder(self, folder):
        """A link to FOLDER in the sandbox: a Unix symbolic link, which Wine
        follows, or a junction on Windows."""
        link = self.new_dir("links") / folder.name
        self.session.link_folder(link, folder)
        return link

    def folder_on_two_drives(self, label):
        """A new folder on drive C:, and two names of it: under C: and under
        another drive that reaches it (Wine's Z:, the Unix root; on Windows
        the administrative share \\\\localhost\\C$, which needs the Server
        service and an administrator: skipped without them)."""
        self.needs(ADMIN_SHARE)
        name = f"{self.sandbox.name} {label}"
        folder = self.make_folder(self.profile / name)
        self.addCleanup(shutil.rmtree, folder)
        return folder, self.profile_windows_path(name), self.session.other_drive_path(folder)

    @property
    def temp_folder(self):
        """The folder that TEMP names for the scripts."""
        return self.session.temp_folder()

    def runs_in_temp(self):
        """The folders that the scripts' runs made in TEMP (fontctl-...):
        other programs of the machine may come and go there too."""
        return {name for name in os.listdir(self.temp_folder) if name.startswith("fontctl-")}

    def set_attributes(self, path, *flags):
        """Sets the attributes of FLAGS ("+h", "+s", ...) on PATH. Windows'
        attrib changes no other attribute of a hidden or system file unless
        it is given that one too: all flags in one call there. Wine's attrib
        applies only the last flag it is given: one call a flag."""
        calls = self.answer(wine=[[flag] for flag in flags], windows=[list(flags)])
        for call in calls:
            outcome = self.run_tool("attrib", *call, path)
            self.assertEqual(outcome.status, 0, f"attrib {' '.join(call)} {path}: {outcome}")
        self.assertLessEqual({flag[1].upper() for flag in flags}, self.attributes(path), path)

    def attributes(self, path):
        """The letters of PATH's attributes (R, H, S, A) as attrib lists them:
        Windows writes them in columns, where adjacent ones run together."""
        outcome = self.run_tool("attrib", path)
        self.assertEqual(outcome.status, 0, f"attrib {path}: {outcome}")
        return set("".join(outcome.stdout.decode("cp1252").split(self.win(path))[0].split()))

    def cmd_enters(self, folder):
        """Whether the platform's cmd makes FOLDER, as written, its current
        folder with PUSHD."""
        return self.run_program("cmd", "/c", "pushd", folder).status == 0

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
        marks = self.truetype(source / "Example 'quoted' ^caret !bang! (x) ;,= 100%%.otf")
        notes = self.non_font(source / "notes.ttf")
        for ignored in ("readme.txt", "Example.ttfx", "Example.ttf.bak"):
            self.non_font(source / ignored)
        target = self.sandbox / "profile (x) & y" / "Fonts"

        outcome = self.script(tools, "install-fonts.cmd", source, target)
        self.assertLines(outcome, 1, [
            f"0 installed: {sans.name}",
            f"0 installed: {collection.name}",
            f"0 installed: {marks.name}",
            f"4 no font in the file, copy deleted: {notes.name}",
        ], broadcasts=3)
        self.assertEqual(sorted(path.name for path in target.iterdir()),
                         sorted(font.name for font in (sans, collection, marks)))
        for font in (sans, collection, marks):
            self.assertSameBytes(target / font.name, font)

        # 0 for the fonts shows they were in the font table: removing a file
        # that holds fonts no one added answers 1. notes.ttf left no copy,
        # and fontctl does not run for it.
        outcome = self.script(tools, "remove-fonts.cmd", source, target)
        self.assertLines(outcome, 0, [f"0 removed, or not there: {font.name}" for font in (sans, collection, marks)]
                         + [f"- no copy in the target folder: {notes.name}"], broadcasts=3)
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
        without_common = self.deploy(self.sandbox / "tools without the common script", common=False)
        source = self.make_folder(self.sandbox / "fonts")
        self.truetype(source / "Example.ttf")
        target = self.sandbox / "target"
        cases = [
            ("no source folder", with_fontctl, []),
            ("an empty source folder argument", with_fontctl, ["", target]),
            ("a source folder that does not exist", with_fontctl, [self.sandbox / "missing", target]),
            ("a source that is a file", with_fontctl, [source / "Example.ttf", target]),
            ("a target that is a file", with_fontctl, [source, source / "Example.ttf"]),
            ("fontctl.exe neither beside the script nor on PATH", without_fontctl, [source, target]),
            ("fonts-common.cmd not beside the script", without_common, [source, target]),
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
        # A removal from a folder that is not there (mistyped, or a drive
        # that has gone) would report every font removed.
        for missing in (target, self.sandbox / "missing" / "Fonts"):
            with self.subTest("a target folder that is not there", target=missing):
                before = self.snapshot(self.sandbox)
                outcome = self.script(with_fontctl, "remove-fonts.cmd", source, missing)
                self.assertLines(outcome, 2, [], broadcasts=0)
                self.assertIn(b"no target folder", outcome.stderr)
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
        # Copies of the fonts, so that the removal runs fontctl too.
        target = self.make_folder(self.sandbox / "target")
        for font in fonts:
            shutil.copyfile(font, target / font.name)
        before = self.snapshot(target)
        for script in SCRIPTS:
            with self.subTest(script):
                outcome = self.script(tools, script, source, target)
                self.assertLines(outcome, 1, [f"- no answer from fontctl: {font.name}" for font in fonts],
                                 broadcasts=0)
                self.assertUnchanged(before, target)

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

        # A second run installs over each copy. On Windows the copies are
        # in the font table, whose files Windows holds open: the install
        # answers 3, and the copy, the source's very bytes, is that font.
        for run in (1, 2):
            in_use = run == 2 and self.answer(wine=False, windows=True)
            answer = "3 installed already: the copy in use holds the same bytes" if in_use else "0 installed"
            with self.subTest(f"install, run {run}"):
                outcome = self.script(tools, "install-fonts.cmd", source, target)
                self.assertLines(outcome, 1, [
                    f"{answer}: {sans.name}",
                    f"{answer}: {locked.name}",
                    f"4 no font in the file, copy deleted: {notes.name}",
                ], broadcasts=0 if in_use else 2)
                self.assertEqual(sorted(path.name for path in target.iterdir()), sorted([sans.name, locked.name]))
                for font in (sans, locked):
                    self.assertSameBytes(target / font.name, font)
                    # Writable, so that a removal can delete it.
                    self.assertTrue((target / font.name).stat().st_mode & stat.S_IWUSR, font.name)
        # The second removal finds no copy, and runs no fontctl.
        for run, removed in ((1, (sans, locked)), (2, ())):
            with self.subTest(f"remove, run {run}"):
                outcome = self.script(tools, "remove-fonts.cmd", source, target)
                self.assertLines(outcome, 0, [f"0 removed, or not there: {path.name}" for path in removed]
                                 + [f"- no copy in the target folder: {path.name}"
                                    for path in (sans, locked, notes) if path not in removed],
                                 broadcasts=len(removed))
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
            f"- not the source's copy, left alone: {kept.name}",
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
            self.set_attributes(font, *flags)
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

    def test_one_folder_under_another_name(self):
        # remove-fonts.cmd would delete the fonts themselves, install-fonts.cmd
        # copy each onto itself: both refuse, touching nothing.
        source = self.make_folder(self.sandbox / "Setup Fonts")
        self.truetype(source / "Example Sans.ttf")
        extended = "\\\\?\\" + self.win(source)
        # Wine's cmd enters a \\?\ folder, and the scripts find it is the
        # source. Windows' cmd takes a folder that starts with \\ for a network
        # path, to which PUSHD maps a drive: it cannot enter \\?\C:\..., so the
        # scripts cannot compare it with the other folder, and refuse it as
        # such (a target), or as no folder (a source).
        entered = self.cmd_enters(extended)
        same = "is the source folder"

        def on_two_drives():
            on_c, c_name, other_drive_name = self.folder_on_two_drives("Setup Fonts")
            self.truetype(on_c / "Example Serif.ttf")
            return on_c, c_name, other_drive_name, same

        # The folder, the source and target arguments as typed, and what the
        # scripts say: each made in its own sub-case, so that a way of naming
        # the folder that the platform lacks skips that sub-case alone.
        cases = [
            ("the \\\\?\\ form", lambda: (source, self.win(source), extended,
                                         same if entered else "cannot be told from the source folder")),
            ("the \\\\?\\ form as the source", lambda: (source, extended, self.win(source),
                                                       same if entered else "no folder")),
            ("a link", lambda: (source, self.win(source), self.win(self.link_to_folder(source)), same)),
            ("a link as the source", lambda: (source, self.win(self.link_to_folder(source)), self.win(source), same)),
            ("a drive of its own", lambda: (source, self.win(source), self.new_drive(source) + "\\", same)),
            ("the short name", lambda: (source, self.win(source), self.aliased_path(source), same)),
            ("a folder of drive C: under another drive", on_two_drives),
        ]
        tools = self.deploy(self.sandbox / "tools")
        for label, arguments in cases:
            with self.subTest(label):
                folder, source_arg, target_arg, message = arguments()
                for script in SCRIPTS:
                    with self.subTest(label, script=script):
                        before = self.snapshot(folder)
                        outcome = self.script_line(tools, script, source_arg, target_arg)
                        self.assertLines(outcome, 2, [], broadcasts=0)
                        self.assertIn(message.encode(), outcome.stderr)
                        self.assertUnchanged(before, folder)

    def sized_name(self, folder, length, stem):
        """A font file name that makes its path in FOLDER, as Windows names
        it, LENGTH characters long."""
        size = length - len(self.win(folder)) - 1
        self.assertGreater(size, len(stem) + 5, f"{folder} is too long for a path of {length}")
        return (stem + " " + "n" * size)[:size - 4] + ".ttf"

    def long_folder(self, parent, letter):
        """A new folder in PARENT whose path is 200 characters long: room for
        a name of about 60 before 260, and for the folder that the scripts
        make in a target (CreateDirectory takes no path beyond 247)."""
        size = 200 - len(self.win(parent)) - 1
        self.assertGreater(size, 0, f"{parent} is too long")
        return self.make_folder(parent / (letter * size))

    def test_paths_beyond_max_path_are_reported(self):
        # cmd reaches no path longer than 259 characters: Windows' IF EXIST
        # does not find such a file (the scripts would say "not in the
        # source folder"), and Wine's cmd finds it but gives it no extension
        # or attributes (so hidden files and short names could not be told).
        # The scripts measure the paths themselves, so both platforms answer
        # alike: such a font, in the source or as its copy in the target, is
        # reported and touches nothing, and one of 259 is handled as any
        # other. The lengths come from the sandbox's own path.
        def long_source(case):
            # The copies go to a drive root, where their paths are short.
            source, root = self.long_folder(case, "s"), self.make_folder(case / "root")
            return source, self.new_drive(root) + "\\", source, root

        def long_target(case):
            target = self.long_folder(case, "t")
            return self.make_folder(case / "fonts"), self.win(target), target, target

        # The program, the source folder and the target argument, the folder
        # whose path is measured, and the folder the copies land in.
        for label, deploy, folders in (("the font's own path", self.deploy, long_source),
                                       ("the copy's path", self.deploy_utf8, long_target)):
            with self.subTest(label):
                case = self.new_dir(label)
                tools = deploy(case / "tools")
                source, target_arg, measured, copies = folders(case)
                fits, beyond = (self.truetype(source / self.sized_name(measured, length, stem))
                                for length, stem in ((259, "Fits"), (260, "Beyond")))
                outcome = self.script_line(tools, "install-fonts.cmd", self.win(source), target_arg)
                self.assertLines(outcome, 1, [f"0 installed: {fits.name}", f"- path too long for cmd: {beyond.name}"],
                                 broadcasts=1)
                self.assertEqual([path.name for path in copies.iterdir()], [fits.name])
                outcome = self.script_line(tools, "remove-fonts.cmd", self.win(source), target_arg)
                self.assertLines(outcome, 1, [f"0 removed, or not there: {fits.name}",
                                              f"- path too long for cmd: {beyond.name}"], broadcasts=1)
                self.assertEqual(list(copies.iterdir()), [])

    def test_two_runs_at_once(self):
        # Runs started in the same second draw the same RANDOM numbers: each
        # must still read only its own fontctl's answers. One run installs
        # fonts, the other files that hold none (4). Broadcasts are not
        # counted: each run's launcher hears the other's too.
        tools = self.deploy(self.sandbox / "tools")
        folders = {kind: self.make_folder(self.sandbox / kind) for kind in ("fonts", "notes")}
        for number in range(12):
            self.truetype(folders["fonts"] / f"Example {number}.ttf")
            self.non_font(folders["notes"] / f"notes {number}.ttf")
        targets = {kind: self.sandbox / f"{kind} target" for kind in folders}
        temp_before = self.runs_in_temp()
        # Each script, each run's exit status and answer, and the copies left.
        fonts = sorted(path.name for path in folders["fonts"].iterdir())
        steps = [
            ("install-fonts.cmd", {"fonts": (0, "0 installed"), "notes": (1, "4 no font in the file, copy deleted")},
             fonts),
            ("remove-fonts.cmd", {"fonts": (0, "0 removed, or not there"),
                                  "notes": (0, "- no copy in the target folder")}, []),
        ]
        for script, expected, left in steps:
            with concurrent.futures.ThreadPoolExecutor(len(folders)) as pool:
                runs = {kind: pool.submit(self.script, tools, script, folders[kind], targets[kind])
                        for kind in folders}
            for kind, run in runs.items():
                with self.subTest(script, run=kind):
                    status, answer = expected[kind]
                    outcome = run.result()
                    self.assertEqual(outcome.status, status, f"exit status; {outcome}")
                    self.assertEqual(sorted(outcome.stdout.decode("cp1252").splitlines()),
                                     sorted(f"{answer}: {path.name}" for path in folders[kind].iterdir()),
                                     f"standard output; {outcome}")
            self.assertEqual(sorted(path.name for path in targets["fonts"].iterdir()), left)
            self.assertEqual(list(targets["notes"].iterdir()), [])
        # Each run removed its temporary folder.
        self.assertEqual(self.runs_in_temp(), temp_before)

    def test_two_runs_into_one_target(self):
        # Two logon scripts over one folder: each makes its own check folder
        # in the one target and must neither take the other's for its own
        # nor remove it (it is of this minute), and each install over a
        # copy the other is writing must still leave a whole copy. A first
        # run, and a run again over the copies. An install whose rename
        # meets the copy that the other run is adding to the font table
        # (Wine opens the file then; Windows holds it open as long as the
        # font is loaded) answers 3: that copy holds the source's bytes,
        # and the font is installed.
        tools = self.deploy(self.sandbox / "tools")
        source = self.make_folder(self.sandbox / "fonts")
        fonts = [self.truetype(source / f"Example {number}.ttf") for number in range(12)]
        target = self.sandbox / "target"
        temp_before = self.runs_in_temp()
        for run in ("first", "again"):
            with concurrent.futures.ThreadPoolExecutor(2) as pool:
                outcomes = list(pool.map(lambda _: self.script(tools, "install-fonts.cmd", source, target), range(2)))
            for outcome in outcomes:
                with self.subTest(run):
                    self.assertEqual(outcome.status, 0, f"exit status; {outcome}")
                    lines = outcome.stdout.decode("cp1252").splitlines()
                    self.assertEqual(sorted(line.rsplit(": ", 1)[-1] for line in lines),
                                     sorted(font.name for font in fonts), f"standard output; {outcome}")
                    self.assertLessEqual({line.rsplit(": ", 1)[0] for line in lines}, {
                        "0 installed", "3 installed already: the copy in use holds the same bytes"}, lines)
            self.assertEqual(sorted(path.name for path in target.iterdir()), sorted(font.name for font in fonts))
            for font in fonts:
                self.assertSameBytes(target / font.name, font)
        self.assertEqual(self.runs_in_temp(), temp_before)

    def test_hidden_system_or_read_only_copies(self):
        # Windows copies over none of these, and DEL without /A deletes no
        # hidden or system file; Wine does both, but keeps the attributes of
        # a file it copies over. The scripts run ATTRIB on such a copy, and
        # FC on every copy a removal finds, by their full paths: cmd looks
        # for a program in the current folder, the source, first, where
        # these stand-ins would run instead.
        tools = self.deploy_stand_in(self.sandbox / "tools")
        source = self.make_folder(self.sandbox / "fonts")
        cases = {"Example Hidden.ttf": ["+h"], "Example System.ttf": ["+s"], "Example Both.ttf": ["+h", "+s"],
                 "Example Read-only.ttf": ["+r"]}
        for name in cases:
            self.truetype(source / name)
        for planted in ("attrib.cmd", "attrib.bat", "fc.cmd", "fc.bat"):
            (source / planted).write_bytes(b'@echo planted>"%~dp0planted program ran.txt"\r\n')

        def plant(target):
            # Copies of these names that are in no font table.
            for name, flags in cases.items():
                self.non_font(target / name)
                self.set_attributes(target / name, *flags)

        target = self.make_folder(self.sandbox / "target")
        plant(target)
        outcome = self.script(tools, "install-fonts.cmd", source, target)
        self.assertLines(outcome, 0, [f"0 installed: {name}" for name in cases], broadcasts=len(cases))
        for name in cases:
            self.assertSameBytes(target / name, source / name)
            self.assertEqual(self.attributes(target / name) & {"R", "H", "S"}, set(), name)
        self.assertFalse((source / "planted program ran.txt").exists())
        self.assertEqual(len(self.runs(tools)), len(cases))

        # fontctl.exe answers 1 for a copy whose fonts no one added, and the
        # script deletes it: copies of the source's bytes, as a run of an
        # earlier session left them.
        target = self.make_folder(self.sandbox / "planted")
        for name, flags in cases.items():
            shutil.copyfile(source / name, target / name)
            self.set_attributes(target / name, *flags)
        outcome = self.script(tools, "remove-fonts.cmd", source, target)
        self.assertLines(outcome, 0, [f"1 not in the font table, copy deleted: {name}" for name in cases],
                         broadcasts=0)
        self.assertEqual(list(target.iterdir()), [])
        self.assertFalse((source / "planted program ran.txt").exists())

    def test_names_that_wine_changes(self):
        # Wine's cmd reads "%~nH" in a FOR value as the name of the running
        # loop variable %%H, and "%~xG" in the value of %%G as its extension:
        # "victim%~xG.ttf" becomes "victim.ttf.ttf". Windows' cmd takes both
        # names as they are. Either way no other file of the target is touched.
        tools = self.deploy(self.sandbox / "tools")
        source = self.make_folder(self.sandbox / "fonts")
        for name in ("victim%~nH.ttf", "victim%~xG.ttf"):
            self.truetype(source / name)
        target = self.make_folder(self.sandbox / "target")
        for name in ("victim.ttf", "victim.ttf.ttf"):
            self.truetype(target / name)
        before = self.snapshot(target)
        self.script(tools, "install-fonts.cmd", source, target)
        self.assertUnchanged(before, target, except_for=[target / name for name in os.listdir(source)])
        if self.session.platform == "windows":
            # Windows' cmd reaches both fonts by their names.
            for name in os.listdir(source):
                self.assertSameBytes(target / name, source / name)
        self.script(tools, "remove-fonts.cmd", source, target)
        self.assertUnchanged(before, target)

    def test_short_name_of_another_file(self):
        # Opening a file's short (8.3) name opens that file: a font named
        # like the short name of another file in the target must not reach
        # it, to take it out, delete it or copy over it.
        tools = self.deploy(self.sandbox / "tools")
        target = self.make_folder(self.sandbox / "target")
        other = self.truetype(target / "Another Long Font Name.ttf")
        alias = PureWindowsPath(self.aliased_path(other)).name
        source = self.make_folder(self.sandbox / "fonts")
        self.truetype(source / alias)
        plain = self.truetype(source / "Example Sans.ttf")
        before = self.snapshot(target)
        line = f"- another file's short name in the target folder, left alone: {alias}"

        outcome = self.script(tools, "install-fonts.cmd", source, target)
        self.assertLines(outcome, 1, [line, f"0 installed: {plain.name}"], broadcasts=1)
        self.assertUnchanged(before, target, except_for=[target / plain.name])
        outcome = self.script(tools, "remove-fonts.cmd", source, target)
        self.assertLines(outcome, 1, [line, f"0 removed, or not there: {plain.name}"], broadcasts=1)
        self.assertUnchanged(before, target)

    def test_one_fontctl_run_per_font(self):
        # Each run of fontctl costs a process start: a logon script that
        # runs over hundreds of fonts every day must start one per font, on
        # a first run and on a run over the copies an earlier session left.
        tools = self.deploy_stand_in(self.sandbox / "tools")
        source = self.make_folder(self.sandbox / "fonts")
        fonts = [self.truetype(source / "Example Sans.ttf"), self.collection(source / "Example Set.ttc"),
                 self.truetype(source / "Example Mono.otf"), self.truetype(source / "Example Read-only.ttf")]
        fonts[-1].chmod(stat.S_IRUSR | stat.S_IRGRP | stat.S_IROTH)
        notes = self.non_font(source / "notes.ttf")
        installed = [f"0 installed: {font.name}" for font in fonts] + [
            f"4 no font in the file, copy deleted: {notes.name}"]

        def install(target, broadcasts, runs_per_font, lines=installed):
            outcome = self.script(tools, "install-fonts.cmd", source, target)
            self.assertLines(outcome, 1, lines, broadcasts=broadcasts)
            for font in fonts:
                self.assertSameBytes(target / font.name, font)
            runs = self.runs(tools)
            self.assertEqual({font.name: self.commands_for(runs, font.name) for font in fonts + [notes]},
                             {font.name: runs_per_font(font) for font in fonts + [notes]}, runs)

        with self.subTest("a first run"):
            target = self.sandbox / "target"
            install(target, 4, lambda _: ["1"])
        with self.subTest("a second run in the same session"):
            # Windows holds each copy of the first run open, and the install
            # over it answers 3 (the stand-in answers so under Wine too): a
            # copy that holds the source's bytes is that font, installed.
            self.steer(tools, "held-open.txt", "*")
            install(target, 0, lambda _: ["1"],
                    [f"3 installed already: the copy in use holds the same bytes: {font.name}" for font in fonts]
                    + [f"4 no font in the file, copy deleted: {notes.name}"])
            (tools / "held-open.txt").unlink()
        with self.subTest("a removal"):
            # fontctl runs for each copy there is; notes.ttf left none.
            outcome = self.script(tools, "remove-fonts.cmd", source, target)
            self.assertLines(outcome, 0, [f"0 removed, or not there: {font.name}" for font in fonts]
                             + [f"- no copy in the target folder: {notes.name}"], broadcasts=4)
            runs = self.runs(tools)
            self.assertEqual([self.commands_for(runs, font.name) for font in fonts + [notes]],
                             [["2"]] * len(fonts) + [[]], runs)
            self.assertEqual(list(target.iterdir()), [])
        with self.subTest("a run over copies that an earlier session left"):
            # Other fonts under the same names, in no font table, one of
            # them read-only.
            earlier = self.make_folder(self.sandbox / "earlier session")
            for font in fonts:
                self.truetype(earlier / font.name)
            self.set_attributes(earlier / fonts[0].name, "+r")
            install(earlier, 4, lambda _: ["1"])

    def test_a_copy_in_use(self):
        # The stand-in answers 3 for an install over the copy of a loaded
        # font, as fontctl does on Windows, whose font table holds the file
        # open, until a removal takes it out; and 3 for a source or a
        # destination whose copy fails. A copy in use that holds the
        # source's bytes is that font, installed. One of another version is
        # taken out only once the new version was installed into the run's
        # folder in TEMP and taken out again (read, and holding a font): kept
        # aside, taken out and installed over; when that install fails, the
        # copy kept aside goes back, and when it cannot go back either it
        # stays where it was kept, which the report names. A copy that
        # another program holds open stays in the target, and the report
        # says so. The list goes on past each failure. The names hold what
        # cmd could misread.
        tools = self.deploy_stand_in(self.sandbox / "tools & (admin)")
        earlier = self.make_folder(self.sandbox / "1.0 & (x)")
        names = ("A Replaced & (Bold) ^caret !bang!.ttf", "B Copy Fails ^ (2).ttf", "C No Font.ttf",
                 "F Not Put Back (x) & y.ttf", "G Put Back.ttf", "H Held Elsewhere.ttf", "I Same Bytes.ttf")
        for name in names:
            self.truetype(earlier / name)
        target = self.make_folder(self.sandbox / "target & (y)")
        outcome = self.script(tools, "install-fonts.cmd", earlier, target)
        self.assertLines(outcome, 0, [f"0 installed: {name}" for name in names], broadcasts=len(names))
        # A copy in no font table, as an earlier session leaves it.
        unloaded = self.truetype(earlier / "D Not Loaded.ttf")
        shutil.copyfile(unloaded, target / unloaded.name)
        before = {path.name: path.read_bytes() for path in target.iterdir()}
        self.runs(tools)

        newer = self.make_folder(self.sandbox / "2.0 ^ (z)")
        replaced, copy_fails, _, not_put_back, put_back, held, _, not_loaded = (
            self.truetype(newer / name) for name in names + (unloaded.name,))
        self.non_font(newer / "C No Font.ttf")
        same = shutil.copyfile(earlier / "I Same Bytes.ttf", newer / "I Same Bytes.ttf")
        added = self.truetype(newer / "E Added.ttf")
        self.steer(tools, "held-open.txt", *(target / name for name in names))
        # The new copy fails; the copy put back fails too, or goes back.
        self.steer(tools, "refused.txt", copy_fails, not_loaded, target / not_put_back.name)
        self.steer(tools, "refused-once.txt", target / put_back.name)
        self.steer(tools, "held-elsewhere.txt", target / held.name)
        temp_before = self.runs_in_temp()

        outcome = self.script(tools, "install-fonts.cmd", newer, target)
        # This run's own folder, left in TEMP for the copy kept there, and
        # its name as cmd writes it.
        left = self.runs_in_temp() - temp_before
        self.assertEqual(len(left), 1, f"the run's own folder in TEMP: {left}")
        (run_folder,) = left
        self.addCleanup(shutil.rmtree, self.temp_folder / run_folder)
        kept = self.temp_folder / run_folder / "kept"
        temp = self.run_tool("cmd", "/c", "echo", "%TEMP%").stdout.decode().strip()
        # The trial in TEMP, in and out, two broadcasts; out and in again,
        # two more; one for the new font, one for the font taken out and
        # not put back.
        self.assertLines(outcome, 1, [
            f"0 installed: {replaced.name}",
            f"3 copy failed, the earlier copy kept in use: {copy_fails.name}",
            "4 no font in the file, the earlier copy kept in use: C No Font.ttf",
            f"3 copy failed, the earlier copy kept in use: {not_loaded.name}",
            f"0 installed: {added.name}",
            f"3 copy failed, the earlier copy not put back but kept in {temp}\\{run_folder}\\kept: "
            f"{not_put_back.name}",
            f"3 copy failed, the earlier copy put back: {put_back.name}",
            f"3 copy failed, the earlier copy is out of the font table but still in the target folder: "
            f"another program holds it open: {held.name}",
            f"3 installed already: the copy in use holds the same bytes: {same.name}",
        ], broadcasts=4 + 1 + 3 + 4 + 2)
        runs = self.runs(tools)
        self.assertEqual({name: self.commands_for(runs, name) for name in before | {added.name: b""}}, {
            replaced.name: ["1", "1", "2", "2", "1"],
            copy_fails.name: ["1", "1"],
            "C No Font.ttf": ["1", "1"],
            not_loaded.name: ["1", "1"],
            added.name: ["1"],
            not_put_back.name: ["1", "1", "2", "2", "1", "1"],
            put_back.name: ["1", "1", "2", "2", "1", "1"],
            held.name: ["1", "1", "2", "2"],
            same.name: ["1"],
        }, runs)
        self.assertSameBytes(target / replaced.name, replaced)
        self.assertSameBytes(target / added.name, added)
        for name in (copy_fails.name, "C No Font.ttf", not_loaded.name, put_back.name, held.name, same.name):
            self.assertEqual((target / name).read_bytes(), before[name], name)
        self.assertFalse((target / not_put_back.name).exists())
        self.assertEqual([path.name for path in (self.temp_folder / run_folder).iterdir()], ["kept"])
        self.assertEqual([path.name for path in kept.iterdir()], [not_put_back.name])
        self.assertEqual((kept / not_put_back.name).read_bytes(), before[not_put_back.name])

    def test_the_temporary_name_counts_in_the_path_limit(self):
        # fontctl writes its new copy beside the old one under a name of 12
        # characters (~FC and five hex digits .TMP) and takes no such path of
        # 260 or more: in a target folder of 247 characters every install
        # would answer 3, also where the copy's own path fits. The script
        # runs none, and a copy in use there stays as it is, in use. (Windows'
        # CreateDirectory takes no path beyond 247 characters, so there the
        # script's check folder does not fit either, and it stops before.)
        tools = self.deploy_stand_in(self.sandbox / "tools")
        source = self.make_folder(self.sandbox / "fonts")
        font = self.truetype(source / "a.ttf")
        size = 247 - len(self.win(self.sandbox)) - 1
        self.assertGreater(size, 0, f"{self.sandbox} is too long")
        target = self.make_folder(self.sandbox / ("t" * size))
        self.assertLessEqual(len(self.win(target / font.name)), 259)
        earlier = self.truetype(target / font.name)
        before = earlier.read_bytes()
        self.steer(tools, "held-open.txt", target / font.name)
        outcome = self.script(tools, "install-fonts.cmd", source, target)
        self.assertLines(outcome, *self.answer(
            wine=(1, [f"- target folder path too long for fontctl's temporary file: {font.name}"]),
            windows=(2, [])), broadcasts=0)
        self.assertEqual(self.runs(tools), [])
        self.assertEqual((target / font.name).read_bytes(), before)
        if self.session.platform == "wine":
            # One character less: the temporary name fits, and the font goes in.
            (tools / "held-open.txt").unlink()
            shorter = self.make_folder(self.sandbox / ("t" * (size - 1)))
            outcome = self.script(tools, "install-fonts.cmd", source, shorter)
            self.assertLines(outcome, 0, [f"0 installed: {font.name}"], broadcasts=1)

    def test_two_runs_into_one_target_with_copies_in_use(self):
        # Windows holds the copy that one run installed open: the other
        # run's install over it answers 3, also where that run found no copy
        # before. The copy holds the source's bytes: the font is installed,
        # and both runs end 0. The stand-in holds every copy there is.
        tools = self.deploy_stand_in(self.sandbox / "tools")
        self.steer(tools, "held-open.txt", "*")
        source = self.make_folder(self.sandbox / "fonts")
        fonts = [self.truetype(source / f"Example {number}.ttf") for number in range(12)]
        target = self.sandbox / "target"
        answers = {f"{prefix}: {font.name}" for font in fonts
                   for prefix in ("0 installed", "3 installed already: the copy in use holds the same bytes")}
        for run in ("first", "again"):
            with concurrent.futures.ThreadPoolExecutor(2) as pool:
                outcomes = list(pool.map(lambda _: self.script(tools, "install-fonts.cmd", source, target), range(2)))
            for outcome in outcomes:
                with self.subTest(run):
                    self.assertEqual(outcome.status, 0, f"exit status; {outcome}")
                    lines = outcome.stdout.decode("cp1252").splitlines()
                    self.assertEqual(len(lines), len(fonts), f"standard output; {outcome}")
                    self.assertLessEqual(set(lines), answers, f"standard output; {outcome}")
            self.assertEqual(sorted(path.name for path in target.iterdir()), sorted(font.name for font in fonts))
            for font in fonts:
                self.assertSameBytes(target / font.name, font)

    def test_a_damaged_new_version_keeps_the_good_copy(self):
        # fontctl answers 4 for a file that holds no font, and leaves a copy
        # that was there as it was: the script deletes only a copy that this
        # run made, where none was there, and that holds the source's bytes.
        tools = self.deploy(self.sandbox / "tools")
        good = self.make_folder(self.sandbox / "1.0")
        damaged = self.make_folder(self.sandbox / "2.0")
        target = self.make_folder(self.sandbox / "target")
        for name in ("Truncated.ttf", "Text.ttf"):
            self.truetype(good / name)
        outcome = self.script(tools, "install-fonts.cmd", good, target)
        self.assertLines(outcome, 0, ["0 installed: Truncated.ttf", "0 installed: Text.ttf"], broadcasts=2)
        before = self.snapshot(target)
        (damaged / "Truncated.ttf").write_bytes((good / "Truncated.ttf").read_bytes()[:100])
        self.non_font(damaged / "Text.ttf")
        self.non_font(damaged / "New Text.ttf")

        outcome = self.script(tools, "install-fonts.cmd", damaged, target)
        self.assertLines(outcome, 1, [
            "4 no font in the file, the earlier copy kept: Truncated.ttf",
            "4 no font in the file, the earlier copy kept: Text.ttf",
            "4 no font in the file, copy deleted: New Text.ttf",
        ], broadcasts=0)
        self.assertUnchanged(before, target)

    def test_a_removal_touches_only_the_sources_copies(self):
        # A file of a font's name in the target that is not the source's
        # copy (another program's font, an earlier version, a folder) is
        # left alone, whatever its attributes, and reported: no fontctl
        # runs for it. Copies of the source's bytes go.
        tools = self.deploy_stand_in(self.sandbox / "tools")
        source = self.make_folder(self.sandbox / "share")
        target = self.make_folder(self.sandbox / "target")
        ours = self.truetype(source / "Ours.ttf")
        shutil.copyfile(ours, target / ours.name)
        # A 34-byte non-font on the share, a good read-only font in the
        # target; a font of the same size and other bytes; a folder.
        (source / "Good.ttf").write_bytes(b"x" * 34)
        self.truetype(target / "Good.ttf")
        self.set_attributes(target / "Good.ttf", "+r")
        self.truetype(source / "Same Size.ttf")
        other = (source / "Same Size.ttf").read_bytes()
        (target / "Same Size.ttf").write_bytes(other[:-1] + bytes([other[-1] ^ 0xFF]))
        self.truetype(source / "Folder.ttf")
        self.make_folder(target / "Folder.ttf")
        before = self.snapshot(target)

        outcome = self.script(tools, "remove-fonts.cmd", source, target)
        self.assertLines(outcome, 1, [
            f"1 not in the font table, copy deleted: {ours.name}",
            "- not the source's copy, left alone: Good.ttf",
            "- not the source's copy, left alone: Same Size.ttf",
            "- not the source's copy, left alone: Folder.ttf",
        ], broadcasts=0)
        self.assertUnchanged(before, target, except_for=[target / ours.name])
        self.assertFalse((target / ours.name).exists())
        runs = self.runs(tools)
        self.assertEqual([line.split(" ", 1)[0] for line in runs], ["2"], runs)

    def test_no_font_reads_another_fonts_answer(self):
        # A program that holds the file that fontctl wrote its code into (a
        # scanner) keeps the script from deleting it, and from writing it
        # again: a fontctl run could not start, and the script would read the
        # code that the font before wrote. The stand-in leaves the file of
        # one install held open for some seconds. Every font said installed
        # ran its own install; a font that finds the file still held runs no
        # fontctl and is reported.
        tools = self.deploy_stand_in(self.sandbox / "tools")
        source = self.make_folder(self.sandbox / "fonts")
        fonts = [self.truetype(source / f"Example {number}.ttf") for number in range(4)]
        target = self.make_folder(self.sandbox / "target")
        self.steer(tools, "hold-answer.txt", *(font.name for font in fonts))
        temp_before = self.runs_in_temp()
        outcome = self.script(tools, "install-fonts.cmd", source, target)
        # The run's folder in TEMP may stay, with the file held, for the
        # holder's seconds.
        for left in self.runs_in_temp() - temp_before:
            self.addCleanup(shutil.rmtree, self.temp_folder / left, True)
        self.addCleanup(time.sleep, 9)
        runs = self.runs(tools)
        lines = outcome.stdout.decode("cp1252").splitlines()
        held = "- fontctl's answer file in TEMP is held by another program"
        self.assertEqual(outcome.status, 1 if any(line.startswith(held) for line in lines) else 0,
                         f"exit status; {outcome}")
        self.assertEqual(len(lines), len(fonts), f"standard output; {outcome}")
        for line in lines:
            answer, name = line.split(": ", 1)
            with self.subTest(name):
                self.assertIn(answer, ("0 installed", held), line)
                self.assertEqual(self.commands_for(runs, name), ["1"] if answer == "0 installed" else [], runs)
        # Wine's cmd shares the file it redirects into with no one who would
        # delete it or write it: the held file stops the next font there.
        # What Windows' cmd shares is not measured here; the rule above holds
        # either way.
        if self.session.platform == "wine":
            self.assertIn(held, [line.split(": ", 1)[0] for line in lines])
        self.assertEqual(sorted(path.name for path in target.iterdir()),
                         sorted(line.split(": ", 1)[1] for line in lines if line.startswith("0 installed")))

    def test_check_folders_left_behind_are_removed(self):
        # A run stopped between making its check folder in the target and
        # removing it leaves the folder behind. The next run removes such a
        # folder when it is empty, named as the scripts name it, and stamped
        # in an earlier minute than the one it makes itself: another run's
        # that is still in use lives for milliseconds.
        tools = self.deploy(self.sandbox / "tools")
        source = self.make_folder(self.sandbox / "fonts")
        font = self.truetype(source / "Example Sans.ttf")
        # A copy in no font table: the removal deletes it itself.
        answers = {"install-fonts.cmd": (f"0 installed: {font.name}", 1),
                   "remove-fonts.cmd": (f"1 not in the font table, copy deleted: {font.name}", 0)}
        for script, (answer, broadcasts) in answers.items():
            with self.subTest(script):
                target = self.new_dir("target")
                left = [self.make_folder(target / name) for name in ("fontctl-check-123-4567", "fontctl-check-9-9")]
                others = [self.make_folder(target / name) for name in ("fontctl-check-1-x", "fontctl-check-")]
                others.append(self.make_folder(target / "fontctl-check-55-66"))
                self.non_font(others[-1] / "kept.txt")
                others.append(self.non_font(target / "fontctl-check-77-88"))
                three_minutes_ago = time.time() - 180
                for path in left + others:
                    os.utime(path, (three_minutes_ago, three_minutes_ago))
                shutil.copyfile(font, target / font.name)
                # A folder of this minute stays only while the run ends in the
                # minute it started in: a run that would start in a minute's
                # last 20 seconds waits for the next, and past its first
                # second, since the file system stamps by a clock that may
                # lag a few milliseconds behind this one.
                seconds = time.time() % 60
                if not 1 <= seconds <= 40:
                    time.sleep((61 - seconds) % 60)
                minute = int(time.time() // 60)
                recent = self.make_folder(target / "fontctl-check-31-32")

                outcome = self.script(tools, script, source, target)
                self.assertLines(outcome, 0, [answer], broadcasts=broadcasts)
                for path in left:
                    self.assertFalse(path.exists(), path.name)
                for path in others:
                    self.assertTrue(path.exists(), path.name)
                self.assertEqual(int(time.time() // 60), minute, "the run outlasted the 20 seconds it was given")
                self.assertTrue(recent.exists(), "a check folder of this minute")
