"""An install acts on the folder it was named and on one file of that folder,
and a failed one leaves nothing but what was there. The copy is the last
component of the source's full path (the file Windows opens for it), put into
the folder's full path; a spelling that would make it anything else answers
3. The temporary file is created new and held: an install deletes no file it
did not create, and names that only look like its own are passed over,
however many. A file of that name is replaced only by a copy from which the
font table takes a font; otherwise the answer is 4 and the old file stays."""
import concurrent.futures
import os
import subprocess

from e2e_case import E2ECase
from e2e_session import ORDINARY_USER

# The temporary names that a run may try first: the run's process identifier
# over four, in the low 20 bits, and the names after it. Under Wine, and on
# Windows as a rule, process identifiers are far below four times this.
PLANTED_NAMES = 0x4000


def temporary_name(serial):
    return f"~FC{serial & 0xFFFFF:05X}.TMP"


def explicit_access(path):
    """The SIDs of the entries that the file's ACL holds of its own, not
    inherited from its folder (Windows only)."""
    script = ("(Get-Acl -LiteralPath $env:ACL_PATH).Access | Where-Object { -not $_.IsInherited } | "
              "ForEach-Object { $_.IdentityReference.Translate([Security.Principal.SecurityIdentifier]).Value }")
    listed = subprocess.run(["powershell", "-NoProfile", "-Command", script], env={**os.environ, "ACL_PATH": str(path)},
                            check=True, capture_output=True, text=True)
    return listed.stdout.split()


class InstallTouchesNothingElseTest(E2ECase):
    def plant_temporary_names(self, folder, links=True):
        """Fills FOLDER with entries at the names an install tries first, of
        every kind: files (one read-only, one hidden, one in lower case), a
        folder with a file in it, and, with LINKS where the platform makes
        them, a link to a file outside and a link to nothing."""
        for serial in range(PLANTED_NAMES):
            (folder / temporary_name(serial)).write_bytes(b"someone else's %d\r\n" % serial)
        odd = [folder / temporary_name(serial) for serial in range(PLANTED_NAMES - 8, PLANTED_NAMES)]
        os.remove(odd[0])
        self.make_folder(odd[0])
        (odd[0] / "inside.txt").write_bytes(b"inside")
        os.remove(odd[1])
        odd[1].with_name(odd[1].name.lower()).write_bytes(b"lower case")
        self.run_tool("attrib", "+r", odd[2])
        self.run_tool("attrib", "+h", odd[3])
        if links and self.session.platform == "wine":
            outside = self.non_font(folder.parent / "outside.txt")
            os.remove(odd[4])
            os.symlink(outside, odd[4])
            os.remove(odd[5])
            os.symlink(folder.parent / "nothing here", odd[5])

    def test_paths_ending_in_dots(self):
        # The source's full path folds "." and ".." and drops the dots and
        # spaces at the end of a name: the copy is named after the file
        # Windows opens. A folder path that names a file, however spelled,
        # takes no copy (3), and nothing changes anywhere; a source that is a
        # folder is none to copy.
        case = self.new_dir()
        font = self.truetype(case / "src" / "F.ttf")
        victim = case / "par" / "victim.doc"
        victim.parent.mkdir()
        victim.write_bytes(b"a user's document\r\n")
        folder = self.make_folder(case / "dst")
        src = self.win(font.parent)
        sources = [f"{src}\\F.ttf\\.", f"{src}\\F.ttf/.", f"{src}\\F.ttf\\.\\.", f"{src}\\F.ttf/./.",
                   f"{src}\\..\\src\\F.ttf\\.", f"{src}\\F.ttf. .", f"{src}\\F.ttf.\\."]
        for source in sources:
            for target in (self.win(victim), self.win(victim) + "\\.", self.win(victim) + "\\x\\.."):
                with self.subTest("into a file", source=source, target=target):
                    before = self.snapshot(case)
                    self.assertOutcome(self.fontctl("1", source, target), b"3", broadcasts=0)
                    self.assertUnchanged(before, case)
            for target in (self.win(folder), self.win(folder) + "\\.", self.win(folder) + "\\x\\..",
                           self.win(folder) + "\\..\\dst\\.", "\\\\?\\" + self.win(folder)):
                with self.subTest("into the folder", source=source, target=target):
                    before = self.snapshot(case)
                    self.assertOutcome(self.fontctl("1", source, target), b"0", broadcasts=1)
                    copy = folder / "F.ttf"
                    self.assertSameBytes(copy, font)
                    self.assertUnchanged(before, case, except_for=[copy])
                    self.discard(copy)
        for source in (f"{src}\\F.ttf\\..", f"{src}\\.", f"{src}\\", src):
            with self.subTest("a folder as the source", source=source):
                before = self.snapshot(case)
                self.assertOutcome(self.fontctl("1", source, folder), b"3", broadcasts=0)
                self.assertUnchanged(before, case)

    def test_verbatim_name_that_no_plain_path_reaches(self):
        # A file named "a.ttf. ." is reached only through \\?\: a copy of it
        # under that name could be neither found nor removed by a plain
        # path. It answers 3, and nothing is made; the plain spelling names
        # a.ttf, which is copied as a.ttf.
        case = self.new_dir()
        source_folder = self.make_folder(case / "src")
        font = self.truetype(source_folder / "a.ttf")
        odd = source_folder / "a.ttf. ."
        # Written through \\?\ on Windows, whose plain paths drop the dots and
        # spaces.
        with open("\\\\?\\" + os.path.abspath(odd) if os.name == "nt" else odd, "wb") as file:
            file.write(font.read_bytes())
        folder = self.make_folder(case / "dst")
        before = self.snapshot(case)
        self.assertOutcome(self.fontctl("1", "\\\\?\\" + self.win(odd), "\\\\?\\" + self.win(folder)), b"3",
                           broadcasts=0)
        self.assertOutcome(self.fontctl("1", "\\\\?\\" + self.win(odd), folder), b"3", broadcasts=0)
        self.assertUnchanged(before, case)
        self.assertOutcome(self.fontctl("1", self.win(odd), "\\\\?\\" + self.win(folder)), b"0", broadcasts=1)
        self.assertEqual(os.listdir(folder), ["a.ttf"])
        self.assertSameBytes(folder / "a.ttf", font)

    def test_names_that_look_temporary_are_never_touched(self):
        # Thousands of entries at the names a run tries (leftovers, another
        # program's files, a folder, links) stop no install and lose
        # nothing: the run passes over every taken name to the first free
        # one, and the copy is the one entry more.
        case = self.new_dir()
        font = self.truetype(case / "source" / "font.ttf")
        folder = self.make_folder(case / "folder")
        self.plant_temporary_names(folder)
        before = self.snapshot(case)
        outcome = self.fontctl("1", font, folder)
        self.assertOutcome(outcome, b"0", broadcasts=1)
        self.assertSameBytes(folder / "font.ttf", font)
        self.assertUnchanged(before, case, except_for=[folder / "font.ttf"])
        self.assertLessEqual(outcome.process_id // 4 + 1000, PLANTED_NAMES,
                             "the run met fewer than a thousand taken names")

    def test_failed_copies_leave_every_file_as_it_was(self):
        # A source that cannot be read (a folder named like a font, a file
        # another process holds without sharing, one the user may not read)
        # fails before anything is created: nothing at the names a run would
        # try is deleted or changed, read-only or not.
        case = self.new_dir()
        folder = self.make_folder(case / "folder")
        self.plant_temporary_names(folder)
        self.truetype(folder / "font.ttf")
        font = self.truetype(case / "source" / "font.ttf")
        directory = self.make_folder(case / "folder source" / "font.ttf")
        before = self.snapshot(case)
        with self.subTest("a folder"):
            self.assertOutcome(self.fontctl("1", directory, folder), b"3", broadcasts=0)
            self.assertUnchanged(before, case)
        with self.subTest("held open by another process"):
            held = self.run_tool(self.session.helper("hold_file.exe"), font, self.win(self.program(False)), "1", font,
                                 folder)
            self.assertEqual((held.status, held.stdout), (0, b"3"), held)
            self.assertUnchanged(before, case)
        with self.subTest("the user may not read it"):
            self.needs(ORDINARY_USER)
            own = self.new_dir_of_ordinary_user()
            user_folder = self.make_folder(own / "folder")
            self.plant_temporary_names(user_folder, links=False)
            unreadable = self.truetype(own / "source" / "font.ttf")
            self.session.ordinary_user().deny_reading(unreadable)
            for entry in os.scandir(user_folder):
                self.session.ordinary_user().own(entry.path)
            self.session.ordinary_user().own(user_folder)
            user_before = self.snapshot(own)
            self.assertOutcome(self.fontctl_as_ordinary_user("1", unreadable, user_folder), b"3", broadcasts=0)
            self.assertUnchanged(user_before, own)

    def test_damaged_new_version_leaves_the_good_copy(self):
        # A file that holds no font, or a font cut short, over a good copy
        # of that name: the font table takes nothing from it, the answer is
        # 4, and the good copy stays as it was, with nothing beside it.
        # Where no file of that name was there, the copy stays, as ever.
        case = self.new_dir()
        good = self.truetype(case / "good" / "font.ttf")
        cut = case / "cut" / "font.ttf"
        cut.parent.mkdir()
        cut.write_bytes(good.read_bytes()[:len(good.read_bytes()) // 2])
        text = self.non_font(case / "text" / "font.ttf")
        for name, damaged in (("no font", text), ("cut short", cut)):
            with self.subTest(name):
                folder = self.make_folder(case / f"over a copy, {name}")
                self.assertOutcome(self.fontctl("1", good, folder), b"0", broadcasts=1)
                before = self.snapshot(folder)
                self.assertOutcome(self.fontctl("1", damaged, folder), b"4", broadcasts=0)
                self.assertUnchanged(before, folder)
                self.discard(folder / "font.ttf")
            with self.subTest(name, nothing_there=True):
                folder = self.make_folder(case / f"into an empty folder, {name}")
                self.assertOutcome(self.fontctl("1", damaged, folder), b"4", broadcasts=0)
                self.assertEqual(os.listdir(folder), ["font.ttf"])
                self.assertSameBytes(folder / "font.ttf", damaged)

    def test_every_kind_of_font_replaces_its_copy(self):
        # The trial of a new copy takes what the font table takes, whatever
        # the temporary file is called: a font, a collection and an
        # OpenType font with PostScript outlines each replace an older copy
        # of their name.
        case = self.new_dir()
        for name, write in (("font.ttf", self.truetype), ("fonts.ttc", self.collection),
                            ("font.otf", self.opentype)):
            with self.subTest(name):
                folder = self.make_folder(case / name)
                older = write(case / "older" / name)
                newer = write(case / "newer" / name)
                self.assertOutcome(self.fontctl("1", older, folder), b"0", broadcasts=1)
                self.discard(folder / name)
                self.assertOutcome(self.fontctl("1", newer, folder), b"0", broadcasts=1)
                self.assertEqual(os.listdir(folder), [name])
                self.assertSameBytes(folder / name, newer)
                self.discard(folder / name)

    def test_runs_at_once_into_one_folder(self):
        # Ten runs started together, each with a font of its own, as two
        # logon scripts over one folder make them: process identifiers a few
        # units apart give them neighbouring temporary names, and none takes
        # another's file. Each answers 0, and the folder holds the ten fonts,
        # whole.
        case = self.new_dir()
        fonts = [self.truetype(case / "source" / f"font {number}.ttf") for number in range(10)]
        for round_number in range(3):
            with self.subTest(round=round_number):
                folder = self.make_folder(case / f"folder {round_number}")
                with concurrent.futures.ThreadPoolExecutor(len(fonts)) as pool:
                    outcomes = list(pool.map(lambda font: self.run_tool(self.program(False), "1", font, folder), fonts))
                self.assertEqual([(outcome.status, outcome.stdout) for outcome in outcomes], [(0, b"0")] * 10,
                                 outcomes)
                self.assertEqual(sorted(os.listdir(folder)), sorted(font.name for font in fonts))
                for font in fonts:
                    self.assertSameBytes(folder / font.name, font)
                    self.discard(folder / font.name)

    def test_folder_where_files_cannot_be_deleted(self):
        # Windows only: a folder whose ACL lets the user create files but not
        # delete them. A file that could not be deleted again is never made:
        # the new copy is created with the right to delete it, which Windows
        # refuses there, so the install answers 3 and leaves nothing.
        if self.session.platform != "windows":
            self.skipTest("needs a folder whose ACL denies deleting: Wine's permissions are Unix modes")
        case = self.new_dir()
        font = self.truetype(case / "source" / "font.ttf")
        folder = self.make_folder(case / "folder")
        # Everyone may create files there, and may not delete them: neither
        # the files (an entry each inherits) nor, through the folder, its
        # entries.
        subprocess.run(["icacls", os.fspath(folder), "/deny", "*S-1-1-0:(OI)(IO)(DE)", "*S-1-1-0:(DC)"],
                       check=True, capture_output=True)
        self.addCleanup(subprocess.run, ["icacls", os.fspath(folder), "/reset", "/T"], capture_output=True)
        before = self.snapshot(case)
        self.assertOutcome(self.fontctl("1", font, folder), b"3", broadcasts=0)
        self.assertUnchanged(before, case)

    def test_replaced_copy_takes_the_folders_permissions(self):
        # Windows only: the copy is a new file renamed into place, so it has
        # the permissions it inherits from the folder, as any new file there;
        # an explicit entry of the file it replaced does not carry over.
        if self.session.platform != "windows":
            self.skipTest("needs NTFS permissions: Wine's are Unix modes")
        case = self.new_dir()
        font = self.truetype(case / "source" / "font.ttf")
        folder = self.make_folder(case / "folder")
        older = self.truetype(folder / "font.ttf")
        subprocess.run(["icacls", os.fspath(older), "/grant", "*S-1-5-32-545:(R)"], check=True,
                       capture_output=True)
        self.assertIn("S-1-5-32-545", explicit_access(older))
        self.assertOutcome(self.fontctl("1", font, folder), b"0", broadcasts=1)
        self.assertSameBytes(older, font)
        self.assertEqual(explicit_access(older), [])
        self.discard(older)
