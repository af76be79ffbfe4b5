"""What one run of the suite sets up once and always takes down: a work
folder, an X server, a Wine prefix with a warm server, the Japanese locale and
the broadcast listener."""
import os
import shutil
import stat
import subprocess
import tempfile

import wine_start
from broadcast_listener import BroadcastListener
from fontctl_runner import FontctlRunner
from japanese_locale import build_japanese_locale
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
        self._listener = None

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
            self._listener and self._listener.stop,
            self._x_server and self._x_server.stop,
            self.work and (lambda: _remove_tree(self.work)),
        ]
        for step in steps:
            if step:
                try:
                    step()
                except Exception as error:  # noqa: BLE001 - report and go on tearing down
                    print(f"teardown: {error}")
        print(f"Wine starts: {wine_start.starts}, of which made again after Wine failed to start the program: "
              f"{wine_start.retried_starts}")
        return False

    def _start(self):
        self.work = tempfile.mkdtemp(prefix="fontctl-e2e-")
        self.cases_dir = os.path.join(self.work, "cases")
        scratch = os.path.join(self.work, "scratch")
        os.makedirs(self.cases_dir)
        os.makedirs(scratch)
        locale_dir = os.path.join(self.work, "locales")
        build_japanese_locale(locale_dir)
        self._x_server = XServer(os.path.join(self.work, "xvfb.log"))
        self.prefix = WinePrefix(os.path.join(self.work, "prefix"), self._x_server.display, locale_dir)
        self.prefix.create(os.path.join(self.work, "wine.log"))
        self._listener = BroadcastListener(
            self.prefix, self.helper("e2e_listener.exe"), self.helper("e2e_fence.exe"),
            os.path.join(self.work, "broadcasts.log"), os.path.join(self.work, "listener.err"))
        self.runner = FontctlRunner(self.prefix, self._listener, self.helper("e2e_launcher.exe"), scratch)

    def restart_wine_session(self):
        """Ends the Wine session, every process of the prefix and its server,
        as a sign-out does, and starts a new one: what lived only in the
        session (the font table among it) is gone, the prefix's files and
        registry stay. The listener is a process of the session, so a new
        one starts, and with it a new runner that counts its broadcasts."""
        self.prefix.stop()
        self._listener.stop()
        # The new listener empties the log only once it runs: until then its
        # reader would take the old lines for its own.
        log = os.path.join(self.work, "broadcasts.log")
        os.remove(log)
        for server in (["wineserver", "-w"], ["wineserver", "-p"]):
            subprocess.run(server, env=self.prefix.env(), stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                           stderr=subprocess.DEVNULL, timeout=60, check=True)
        self._listener = BroadcastListener(self.prefix, self.helper("e2e_listener.exe"),
                                           self.helper("e2e_fence.exe"), log,
                                           os.path.join(self.work, "listener.err"))
        self.runner = FontctlRunner(self.prefix, self._listener, self.helper("e2e_launcher.exe"),
                                    os.path.join(self.work, "scratch"))

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
