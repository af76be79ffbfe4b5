"""Where the ordinary user's programs and folders go when the build, the
checkout and the temporary folder lie in private folders, and how the cases
that need that user skip, with the reason, when it cannot be given them. No
Wine is started: the user's prefix is made only by OrdinaryUser.start().

Usage: test_ordinary_user.py (as root; the cases that start programs as the
user skip otherwise)
"""
import os
import shutil
import stat
import subprocess
import sys
import tempfile
import unittest
from types import SimpleNamespace
from unittest import mock

HERE = os.path.dirname(os.path.abspath(__file__))
sys.dont_write_bytecode = True
sys.path[:0] = [os.path.join(HERE, "..", "..", "scripts"), os.path.join(HERE, "..", "e2e")]

import ordinary_user  # noqa: E402
from e2e_session import ORDINARY_USER  # noqa: E402
from ordinary_user import OrdinaryUser, Unavailable, as_user  # noqa: E402
from wine_session import WineSession  # noqa: E402

AS_ROOT = os.geteuid() == 0


class PrivateBuildCase(unittest.TestCase):
    """A build in a private folder, as in a checkout under /root, with its
    programs private too (made under umask 077); a place inside that folder
    that is itself open, and one outside it."""

    def setUp(self):
        self.private = tempfile.mkdtemp(prefix="private-checkout-")
        self.addCleanup(shutil.rmtree, self.private)
        self.helpers = os.path.join(self.private, "build", "tests", "e2e", "helpers")
        os.makedirs(self.helpers)
        self.launcher = self.program(os.path.join(self.helpers, "e2e_launcher.exe"))
        self.closed_place = os.path.join(self.private, "tmp")
        os.mkdir(self.closed_place, 0o755)
        self.open_place = tempfile.mkdtemp(prefix="open-place-")
        os.chmod(self.open_place, 0o755)
        self.addCleanup(shutil.rmtree, self.open_place)

    @staticmethod
    def program(path):
        with open(path, "wb") as file:
            file.write(b"MZ " + os.path.basename(path).encode())
        os.chmod(path, stat.S_IRWXU)
        return path

    def new_user(self, places):
        user = OrdinaryUser(":0", os.path.join(self.private, "locales"), self.launcher,
                            os.path.join(self.private, "wine.log"), places)
        self.addCleanup(shutil.rmtree, user.root)
        return user

    def user_can(self, test, path):
        """Whether `test TEST PATH` holds for the ordinary user."""
        user = ordinary_user._ordinary_user()
        return subprocess.run(as_user(user, ["test", test, path]), check=False).returncode == 0


@unittest.skipUnless(AS_ROOT, "only root starts programs as another user")
class UserFolderTest(PrivateBuildCase):
    def test_the_programs_run_from_a_folder_of_the_user_s_own(self):
        user = self.new_user([self.closed_place, self.open_place])
        self.assertEqual(os.path.dirname(user.root), os.path.realpath(self.open_place))
        self.assertEqual(os.listdir(self.closed_place), [], "what was tried in the private place is gone")
        fontctl = self.program(os.path.join(self.private, "build", "fontctl.exe"))
        copies = [user.program(self.launcher), user.program(fontctl)]
        self.assertEqual(user.program(fontctl), copies[1], "one copy for each program")

        nobody = ordinary_user._ordinary_user().pw_uid
        expected = [(user.root, "drwx--x--x", 0), (os.path.dirname(copies[0]), "drwxr-xr-x", 0)]
        expected += [(copy, "-rwxr-xr-x", 0) for copy in copies]
        expected += [(os.path.join(user.root, name), "drwx------", nobody)
                     for name in ("home", "scratch", "files")]
        for path, mode, owner in expected:
            with self.subTest(path):
                info = os.stat(path)
                self.assertEqual((stat.filemode(info.st_mode), info.st_uid), (mode, owner))
        for source, copy in zip((self.launcher, fontctl), copies):
            with self.subTest(copy):
                with open(source, "rb") as original, open(copy, "rb") as copied:
                    self.assertEqual(copied.read(), original.read())
                self.assertTrue(self.user_can("-r", copy))
                self.assertFalse(self.user_can("-w", copy))
        self.assertFalse(self.user_can("-w", os.path.dirname(copies[0])), "the user adds no program")
        self.assertFalse(self.user_can("-r", user.root), "the user's folder is not listed")
        self.assertTrue(self.user_can("-w", user.files))
        # The build and its folders are as they were.
        for path, mode in ((self.private, "drwx------"), (self.launcher, "-rwx------"), (fontctl, "-rwx------")):
            self.assertEqual(stat.filemode(os.stat(path).st_mode), mode, path)

    def test_two_programs_of_one_name(self):
        user = self.new_user([self.open_place])
        other = os.path.join(self.private, "other")
        os.mkdir(other)
        user.program(self.program(os.path.join(self.private, "build", "fontctl.exe")))
        with self.assertRaisesRegex(ValueError, "fontctl.exe"):
            user.program(self.program(os.path.join(other, "fontctl.exe")))

    def test_no_place_that_the_user_reaches(self):
        with self.assertRaises(Unavailable) as unavailable:
            self.new_user([self.closed_place])
        self.assertIn(f"{self.private} (drwx------)", str(unavailable.exception))
        self.assertEqual(os.listdir(self.closed_place), [])


class SkipWithReasonTest(PrivateBuildCase):
    def session(self):
        session = WineSession(os.path.join(self.private, "build"))
        session.work = self.private
        session._x_server = SimpleNamespace(display=":0")
        return session

    def test_the_cases_skip_with_the_reason(self):
        # (name, what makes the user unavailable, what the reason says)
        cases = [("the suite is not root", mock.patch("os.geteuid", return_value=1000), "not as root")]
        if AS_ROOT:
            cases += [("no such user", mock.patch.object(ordinary_user, "ORDINARY_USER", "no-such-user-of-fontctl"),
                       "no user no-such-user-of-fontctl"),
                      ("no place the user reaches", mock.patch.object(ordinary_user, "PLACES", [self.closed_place]),
                       f"{self.private} (drwx------)")]
        for name, unavailable, reason in cases:
            with self.subTest(name), unavailable:
                session = self.session()
                for attempt in ("first", "again"):
                    with self.assertRaises(unittest.SkipTest, msg=attempt) as skipped:
                        session.ordinary_user()
                    self.assertIn(f"needs {ORDINARY_USER}: ", str(skipped.exception))
                    self.assertIn(reason, str(skipped.exception))
                self.assertIn(reason, session.lacks(ORDINARY_USER))
                self.assertEqual(os.listdir(self.closed_place), [])


if __name__ == "__main__":
    unittest.main(verbosity=2)
