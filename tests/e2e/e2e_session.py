"""What one run of the suite sets up once and always takes down: a work
folder, an X server, a Wine prefix with a warm server and the Japanese
locale."""
import os
import shutil
import stat
import tempfile

from fontctl_runner import FontctlRunner
from japanese_locale import build_japanese_locale
from ordinary_user import OrdinaryUser
from wine_prefix import WinePrefix
from x_server import XServer


class E2ESession:
    def __init__(self, build_dir, program="fontctl.exe"):
        build_dir = os.path.abspath(build_dir)
        # The program that the cases run as fontctl.exe.
        self.fontctl_exe = os.path.join(build_dir, program)
        self.fontctl_utf8_exe = os.path.join(build_dir, "fontctl-utf8.exe")
        self._helpers_dir = os.path.join(build_dir, "tests", "e2e", "helpers")
        self.work = None
        self.cases_dir = None
        self.runner = None
        self.prefix = None
        self._x_server = None
        self._locale_dir = None
        self._ordinary_user = None

    def __enter__(self):
        try:
            self._start()
        except BaseException:
            self.__exit__(None, None, None)
            raise
        return self

    def __exit__(self, *exc_info):
        # Each step runs even when an earlier one failed.
        steps = [
            self.prefix and self.prefix.stop,
            self._ordinary_user and self._ordinary_user.stop,
            self._x_server and self._x_server.stop,
            self.work and (lambda: _remove_tree(self.work)),
        ]
        for step in steps:
            if step:
                try:
                    step()
                except Exception as error:  # noqa: BLE001 - report and go on tearing down
                    print(f"teardown: {error}")
        return False

    def _start(self):
        self.work = tempfile.mkdtemp(prefix="fontctl-e2e-")
        self.cases_dir = os.path.join(self.work, "cases")
        scratch = os.path.join(self.work, "scratch")
        os.makedirs(self.cases_dir)
        os.makedirs(scratch)
        self._locale_dir = os.path.join(self.work, "locales")
        build_japanese_locale(self._locale_dir)
        self._x_server = XServer(os.path.join(self.work, "xvfb.log"))
        self.prefix = WinePrefix(os.path.join(self.work, "prefix"), self._x_server.display, self._locale_dir)
        self.prefix.create(os.path.join(self.work, "wine.log"))
        self.runner = FontctlRunner(self.prefix, self.helper("e2e_launcher.exe"), scratch)

    def restart_wine_session(self):
        """Ends every Wine process of the prefix and its server, as at the
        end of a Windows session, and starts a warm server again: what one
        run left in memory is gone, what it left in the prefix stays."""
        self.prefix.stop()
        self.prefix.warm(os.path.join(self.work, "wine.log"))

    def ordinary_user(self):
        """The OrdinaryUser of this run, with its Wine prefix and server
        started on first use."""
        if self._ordinary_user is None:
            self._ordinary_user = OrdinaryUser(self.work, self._x_server.display, self._locale_dir,
                                               self.helper("e2e_launcher.exe"))
        return self._ordinary_user

    def helper(self, name):
        """A helper program of the suite, by its file name."""
        return os.path.join(self._helpers_dir, name)


def _remove_tree(path):
    # Cases make files and folders read-only; removal needs them writable.
    def make_writable_and_retry(function, failed_path, _):
        os.chmod(os.path.dirname(failed_path), stat.S_IRWXU)
        if os.path.lexists(failed_path) and not os.path.islink(failed_path):
            os.chmod(failed_path, stat.S_IRWXU)
        function(failed_path)

    shutil.rmtree(path, onerror=make_writable_and_retry)
