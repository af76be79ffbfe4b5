"""One throwaway Wine prefix with a server kept running for the whole run,
and how programs start in it."""
import hashlib
import os
import pwd
import re
import shutil
import subprocess

import wine_start
# Cases written before the code pages had a module of their own import them
# from here.
from code_pages import CODE_PAGES, JAPANESE, SINGLE_BYTE  # noqa: F401

# Variables of the caller's environment that would change what Wine does.
# Debian 13's Wine 10 aborts at every start ("free(): invalid pointer")
# whenever TMPDIR is set, to any value: its server's folder goes in /tmp.
_DROPPED = ("DISPLAY", "WAYLAND_DISPLAY", "LANG", "LANGUAGE", "LOCPATH", "WINEARCH", "WINELOADER", "WINESERVER",
            "TMPDIR")
# Debian's server makes the folder of its socket and lock in /tmp, names it in
# the prefix's file `wineserver`, and leaves both behind when it ends.
_SERVER_RECORD = "wineserver"
_SERVER_FOLDER = re.compile(r"wine-[A-Za-z0-9]{6}")
_SERVER_TEMP = "/tmp"


# What a new prefix runs, and the seconds it may take.
_BOOT = (
    (("wine", "wineboot", "-i"), 300),
    # A crash must end the process, not wait on a crash dialog.
    (("wine", "reg", "add", r"HKCU\Software\Wine\WineDbg", "/v", "ShowCrashDialog", "/t", "REG_DWORD", "/d", "0",
      "/f"), 60),
)


def windows_path(unix_path):
    """The path under which Wine shows a Unix path: drive Z: is the root."""
    return "Z:" + os.fspath(unix_path).replace("/", "\\")


def remove_server_folder(prefix, temp=_SERVER_TEMP):
    """Removes the folder that Debian's Wine server of PREFIX kept in TEMP,
    and the prefix's record of it, once the server has ended. Only a name
    of the form the server gives is followed."""
    record = os.path.join(prefix, _SERVER_RECORD)
    try:
        with open(record, encoding="ascii", errors="replace") as file:
            name = file.read().strip()
    except OSError:
        return
    if _SERVER_FOLDER.fullmatch(name):
        shutil.rmtree(os.path.join(temp, name), ignore_errors=True)
    os.remove(record)


class WinePrefix:
    def __init__(self, path, display, locale_dir):
        self.path = path
        self._locale_dir = locale_dir
        # E2E_ variables are the launcher's, set for each start.
        self._env = {k: v for k, v in os.environ.items()
                     if k not in _DROPPED and not k.startswith(("LC_", "E2E_"))}
        self._env.update(
            WINEPREFIX=os.fspath(path),
            WINEDEBUG="-all",
            # Without this Wine offers, in a dialog that waits forever, to
            # download Mono and Gecko.
            WINEDLLOVERRIDES="mscoree,mshtml=",
            DISPLAY=display,
        )

    windows_path = staticmethod(windows_path)

    # Bytes that each file a program started writes may reach, or None.
    file_size_limit = None

    def start(self, arguments, env, cwd, stdout, timeout):
        """`wine ARGUMENTS...`, run to its end; raises
        wine_start.WineStartError when Wine itself failed."""
        command = self.command(["wine", *arguments])
        if self.file_size_limit is not None:
            # With SIGXFSZ ignored a write past the limit fails (EFBIG)
            # instead of killing the process. Python sets the signal back to
            # its default in a child, so the shell ignores it before it
            # starts Wine; every program Wine starts inherits both. The
            # limit is in blocks of 512 bytes.
            command = ["sh", "-c", f'trap "" XFSZ; ulimit -f {self.file_size_limit // 512}; exec "$@"', "sh",
                       *command]
        return wine_start.run(command, env=env, cwd=cwd, stdout=stdout, timeout=timeout)

    def env(self, locale=SINGLE_BYTE):
        env = dict(self._env, LC_ALL=locale)
        if locale != SINGLE_BYTE:
            env["LOCPATH"] = os.fspath(self._locale_dir)
        return env

    def command(self, args):
        """The command line that runs ARGS (a Wine program or tool) for this
        prefix's user: as they stand, for the user the suite runs as."""
        return args

    def create(self, log_path, templates=None):
        """Creates the prefix and leaves its server running until stop(): a
        copy of the template of this Wine and user in TEMPLATES (a
        PrefixTemplates), booted by the first run that needs it, or without
        TEMPLATES a boot of its own."""
        if templates is None:
            self._boot(log_path)
            return
        home = self._env.get("HOME") or self._owner().pw_dir

        def boot_and_stop():
            self._boot(log_path)
            # The server writes the registry to the prefix when it ends.
            self.stop()

        templates.copy_or_make(self._owner().pw_name, self._template_key(), self.path, home, boot_and_stop)
        self.warm(log_path)

    def _boot(self, log_path):
        self._make_folder()
        # Output goes to a file, never to a pipe: the server and the services
        # that wineboot starts live on in the background and would hold a pipe
        # open, and a reader waiting for its end would wait until they end.
        with open(log_path, "ab") as log:
            self._keep_server(log)
            for command, timeout in _BOOT:
                self._wine_tool(command, log, timeout)

    def _owner(self):
        """The user whose programs run in the prefix."""
        return pwd.getpwuid(os.geteuid())

    def _template_key(self):
        """What makes one boot of the prefix differ from another: the Wine
        that boots it, its user, what the boot runs and the variables of
        Wine and the locale it runs with (the prefix's path, the display and
        the home are the run's own; the home is re-pointed in a copy)."""
        env = self.env()
        version = subprocess.run(["wine", "--version"], env=env, stdin=subprocess.DEVNULL, capture_output=True,
                                 timeout=60, check=True).stdout
        user = self._owner()
        settings = sorted((name, value) for name, value in env.items()
                          if name.startswith(("WINE", "LC_")) and name != "WINEPREFIX")
        made = repr((version, user.pw_uid, user.pw_name, _BOOT, settings))
        return hashlib.sha256(made.encode()).hexdigest()[:16]

    def warm(self, log_path):
        """Starts the server of an existing prefix, and the session's own
        services with it, so that the next program starts as fast as ever."""
        with open(log_path, "ab") as log:
            self._keep_server(log)
            self._wine_tool(["wine", "cmd", "/c", "exit"], log)

    def _make_folder(self):
        os.makedirs(self.path)

    def _keep_server(self, log):
        status = subprocess.run(self.command(["wineserver", "-p"]), env=self.env(), stdin=subprocess.DEVNULL,
                                stdout=log, stderr=log, timeout=60, check=False).returncode
        if status != 0:
            raise RuntimeError(f"wineserver -p failed with status {status}; see {log.name}")

    def stop(self):
        """Ends every Wine process of the prefix and its server, waits until
        the server is gone, and removes the folder the server kept in /tmp:
        the next start makes a new one."""
        for option in ("-k", "-w"):
            subprocess.run(self.command(["wineserver", option]), env=self.env(), stdin=subprocess.DEVNULL,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=60, check=False)
        remove_server_folder(self.path)

    def _wine_tool(self, command, log, timeout=60):
        finished = wine_start.run(self.command(list(command)), env=self.env(), stdout=log, timeout=timeout)
        log.write(finished.stderr)
        log.flush()
        if finished.status != 0:
            raise RuntimeError(f"{' '.join(command)} failed with status {finished.status}; see {log.name}")
