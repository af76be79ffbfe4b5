"""What a Wine prefix hands Wine and takes away after it: the caller's TMPDIR
never reaches Wine, and the folder Debian's server kept in the temporary
folder goes when the server has ended, following only a name of the server's
own form.

Usage: test_wine_prefix.py (no Wine needed)
"""
import os
import shutil
import sys
import tempfile
import unittest
from unittest import mock

HERE = os.path.dirname(os.path.abspath(__file__))
sys.dont_write_bytecode = True
sys.path[:0] = [os.path.join(HERE, "..", "..", "scripts"), os.path.join(HERE, "..", "e2e")]

from code_pages import JAPANESE, SINGLE_BYTE  # noqa: E402
from wine_prefix import WinePrefix, remove_server_folder  # noqa: E402


class ServerFolderTest(unittest.TestCase):
    def setUp(self):
        self.root = tempfile.mkdtemp(prefix="wine-prefix-")
        self.addCleanup(shutil.rmtree, self.root)
        self.temp = os.path.join(self.root, "tmp")
        self.prefix = os.path.join(self.root, "prefix")
        os.makedirs(self.temp)
        os.makedirs(self.prefix)

    def server_folder(self, name):
        folder = os.path.join(self.temp, name)
        os.makedirs(os.path.join(folder, "server-fe00-1234"), exist_ok=True)
        return folder

    def record(self, text):
        with open(os.path.join(self.prefix, "wineserver"), "w") as file:
            file.write(text)

    def test_the_recorded_folder_goes_and_nothing_else(self):
        kept = self.server_folder("wine-Other1")
        for written in ("wine-AbC123", "wine-AbC123\n"):
            with self.subTest(record=written):
                gone = self.server_folder("wine-AbC123")
                self.record(written)
                remove_server_folder(self.prefix, self.temp)
                self.assertFalse(os.path.exists(gone))
                self.assertFalse(os.path.exists(os.path.join(self.prefix, "wineserver")))
                self.assertTrue(os.path.isdir(kept), "another server's folder stays")

    def test_a_name_not_of_the_servers_form_is_not_followed(self):
        # What a damaged or planted record could name: the temporary folder
        # itself, a folder above it, an absolute path, another name.
        outside = self.server_folder("wine-AbC123")
        for written in ("", ".", "..", "../tmp", "/", self.temp, "wine-AbC123/..", "wine-AbC1234", "other-AbC123"):
            with self.subTest(record=written):
                self.record(written)
                remove_server_folder(self.prefix, self.temp)
                self.assertTrue(os.path.isdir(outside))
                self.assertEqual(sorted(os.listdir(self.root)), ["prefix", "tmp"])
                self.assertEqual(os.listdir(self.prefix), [], "the record goes all the same")

    def test_no_record_no_folder(self):
        # Wine that keeps no record, or a server that never started.
        kept = self.server_folder("wine-AbC123")
        remove_server_folder(self.prefix, self.temp)
        remove_server_folder(os.path.join(self.root, "no prefix"), self.temp)
        self.assertTrue(os.path.isdir(kept))


class EnvironmentTest(unittest.TestCase):
    def test_tmpdir_never_reaches_wine(self):
        with mock.patch.dict(os.environ, {"TMPDIR": "/somewhere", "WINESERVER": "/x", "PATH": "/usr/bin"}):
            prefix = WinePrefix("/p", ":99", "/locales")
        for locale in (SINGLE_BYTE, JAPANESE):
            with self.subTest(locale=locale):
                env = prefix.env(locale)
                self.assertNotIn("TMPDIR", env)
                self.assertNotIn("WINESERVER", env)
                self.assertEqual((env["WINEPREFIX"], env["PATH"]), ("/p", "/usr/bin"))


if __name__ == "__main__":
    unittest.main()
