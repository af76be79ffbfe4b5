"""Programs started as an ordinary user, for the cases about permissions:
root, which the suite runs as, may read and write every file and folder, on
Unix and so under Wine. The user (nobody) gets a Wine prefix of its own, made
on first use, since Wine runs only in a prefix that its user owns, and a
folder of its own that the cases put their files in.

The user cannot enter a private folder (mode 0700: /root, whatever mktemp -d
makes, a home folder on Debian 12), and the checkout, its build and the run's
work folder may lie in one. So everything the user reaches lies in a folder
of its own outside them: copies of the programs it runs, its prefix and home,
the cases' folders. That folder is root's and closed to listing, its
programs are root's and read-only to everyone else."""
import os
import pwd
import shutil
import stat
import subprocess
import tempfile

from fontctl_runner import FontctlRunner
from wine_prefix import WinePrefix

ORDINARY_USER = "nobody"
# Where the user's folder may go, first choice first: the temporary folder
# of the run's environment, then the machine's, which every user may enter
# even when TMPDIR names a private folder.
PLACES = (tempfile.gettempdir(), "/tmp")
# Root's, entered by the user but neither listed nor written: the user's
# folder itself.
ENTER_ONLY = stat.S_IRWXU | stat.S_IXGRP | stat.S_IXOTH
# Root's, read and run by everyone, written by root alone: the programs.
READ_AND_RUN = stat.S_IRWXU | stat.S_IRGRP | stat.S_IXGRP | stat.S_IROTH | stat.S_IXOTH


class Unavailable(RuntimeError):
    """The suite cannot run programs as the ordinary user here; the message
    says why."""


def _ordinary_user():
    if os.geteuid() != 0:
        raise Unavailable(f"the suite runs as user {os.geteuid()}, not as root, and only root starts programs as "
                          "another user")
    try:
        return pwd.getpwnam(ORDINARY_USER)
    except KeyError:
        raise Unavailable(f"this system has no user {ORDINARY_USER}") from None


def as_user(user, args):
    """The command line that runs ARGS as the user, without root's groups."""
    return ["setpriv", f"--reuid={user.pw_uid}", f"--regid={user.pw_gid}", "--clear-groups", *args]


def _can_read(user, path):
    """Whether the user, asked itself, can read the file: every folder on its
    way must let the user through."""
    return subprocess.run(as_user(user, ["test", "-r", path]), stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                          stderr=subprocess.DEVNULL, timeout=60, check=False).returncode == 0


def _closed_folder(path):
    """The first folder on the way to PATH that users other than its owner
    cannot enter, with its mode, for the reason of a skip."""
    folders = []
    while True:
        folders.append(path)
        parent = os.path.dirname(path)
        if parent == path:
            break
        path = parent
    for folder in reversed(folders):
        mode = os.stat(folder).st_mode
        if not mode & stat.S_IXOTH:
            return f"{folder} ({stat.filemode(mode)})"
    return None


def _copy_program(program, folder):
    copy = os.path.join(folder, os.path.basename(program))
    shutil.copyfile(program, copy)
    os.chmod(copy, READ_AND_RUN)
    return copy


def make_root(user, launcher_exe, places=None):
    """The user's folder, made in the first of the places (by default PLACES)
    from which the user can read the launcher's copy: (the folder, the copy).
    Raises Unavailable when the user reaches none of them."""
    closed = []
    for place in dict.fromkeys(os.path.realpath(place) for place in places or PLACES):
        root = tempfile.mkdtemp(prefix="fontctl-e2e-user-", dir=place)
        os.chmod(root, ENTER_ONLY)
        programs = os.path.join(root, "programs")
        os.mkdir(programs)
        os.chmod(programs, READ_AND_RUN)
        launcher = _copy_program(launcher_exe, programs)
        if _can_read(user, launcher):
            return root, launcher
        shutil.rmtree(root)
        closed.append(_closed_folder(place) or f"{place} (a file there cannot be read by the user)")
    raise Unavailable(f"user {ORDINARY_USER} cannot reach any folder to run programs from: {', '.join(closed)}")


class UserPrefix(WinePrefix):
    """A Wine prefix whose programs, its server included, run as the user."""

    def __init__(self, path, display, locale_dir, user, home):
        super().__init__(path, display, locale_dir)
        self._user = user
        self._env.update(HOME=home, USER=user.pw_name, LOGNAME=user.pw_name)

    def command(self, args):
        return as_user(self._user, args)

    def _owner(self):
        return self._user

    def _make_folder(self):
        super()._make_folder()
        os.chown(self.path, self._user.pw_uid, self._user.pw_gid)


class OrdinaryUser:
    """The user's folder (root), with the copies of the programs it runs
    (programs), its own folders (home, scratch) and the one that the
    cases make theirs in (files). Raises Unavailable when the user cannot be
    given them; start() then starts its prefix, a copy of the user's template
    in TEMPLATES (a PrefixTemplates) when given."""

    def __init__(self, display, locale_dir, launcher_exe, log_path, places=None, templates=None):
        self._user = _ordinary_user()
        self.root, launcher = make_root(self._user, launcher_exe, places)
        self._programs = {launcher_exe: launcher}
        home, scratch, self.files = (os.path.join(self.root, name) for name in ("home", "scratch", "files"))
        for folder in (home, scratch, self.files):
            os.mkdir(folder)
            self.own(folder)
            os.chmod(folder, stat.S_IRWXU)
        self._log_path = log_path
        self._templates = templates
        self.prefix = UserPrefix(os.path.join(self.root, "prefix"), display, locale_dir, self._user, home)
        self._runner = FontctlRunner(self.prefix, launcher, scratch)

    def start(self):
        self.prefix.create(self._log_path, self._templates)

    def own(self, path):
        """Makes the user the owner of the file or folder."""
        os.chown(path, self._user.pw_uid, self._user.pw_gid)

    def deny_listing(self, folder):
        """A folder the user owns, without the owner's read bit: its entries
        can be opened, created and deleted by name, not listed."""
        self.own(folder)
        os.chmod(folder, stat.S_IWUSR | stat.S_IXUSR | stat.S_IXGRP | stat.S_IXOTH)

    def allow_listing(self, folder):
        self.own(folder)
        os.chmod(folder, stat.S_IRWXU | stat.S_IRGRP | stat.S_IXGRP | stat.S_IROTH | stat.S_IXOTH)

    @staticmethod
    def deny_reading(path):
        """The user may not read the file (nor may anyone but root)."""
        os.chmod(path, 0)

    def deny_creating(self, folder):
        """A folder the user owns, listed and entered by all, written by
        none: no entry can be created or deleted there, and the files in it
        keep their own modes."""
        self.own(folder)
        os.chmod(folder, stat.S_IRUSR | stat.S_IXUSR | stat.S_IRGRP | stat.S_IXGRP | stat.S_IROTH | stat.S_IXOTH)

    def run(self, program, args, cwd=None):
        """Runs PROGRAM ARGS as the user, through the launcher, in the
        user's folder of files unless told another; a program given by its
        path runs from a copy that the user reaches."""
        if os.path.isabs(program):
            program = self.program(program)
        return self._runner.run(program, args, cwd or self.files)

    def program(self, path):
        """The user's copy of the program at PATH, made on first use. Copies
        keep their file name, which Wine's settings per program go by."""
        copy = self._programs.get(path)
        if copy is None:
            name = os.path.basename(path)
            if any(os.path.basename(other) == name for other in self._programs.values()):
                raise ValueError(f"two programs named {name} to run as the user: {path} and another")
            copy = self._programs[path] = _copy_program(path, os.path.join(self.root, "programs"))
        return copy

    def stop(self):
        self.prefix.stop()
