"""Programs started as an ordinary user, for the cases about permissions:
root, which the suite runs as, may read and write every file and folder, on
Unix and so under Wine. The user (nobody) gets a Wine prefix of its own, made
on first use, since Wine runs only in a prefix that its user owns, and a
folder of its own that the cases put their files in."""
import os
import pwd
import stat

from fontctl_runner import FontctlRunner
from wine_prefix import WinePrefix

ORDINARY_USER = "nobody"


class UserPrefix(WinePrefix):
    """A Wine prefix whose programs, its server included, run as the user."""

    def __init__(self, path, display, locale_dir, user, home):
        super().__init__(path, display, locale_dir)
        self._user = user
        self._env.update(HOME=home, USER=user.pw_name, LOGNAME=user.pw_name)

    def command(self, args):
        return ["setpriv", f"--reuid={self._user.pw_uid}", f"--regid={self._user.pw_gid}", "--clear-groups", *args]

    def _make_folder(self):
        super()._make_folder()
        os.chown(self.path, self._user.pw_uid, self._user.pw_gid)


class OrdinaryUser:
    def __init__(self, work, display, locale_dir, launcher_exe):
        self._user = pwd.getpwnam(ORDINARY_USER)
        root = os.path.join(work, "ordinary-user")
        home, scratch, self.files = (os.path.join(root, name) for name in ("home", "scratch", "files"))
        for folder in (root, home, scratch, self.files):
            os.makedirs(folder)
            self.own(folder)
        # The user reaches its folders through the run's work folder, which
        # stays closed to listing.
        os.chmod(work, 0o711)
        self.prefix = UserPrefix(os.path.join(root, "prefix"), display, locale_dir, self._user, home)
        self.prefix.create(os.path.join(work, "wine-ordinary-user.log"))
        self.runner = FontctlRunner(self.prefix, launcher_exe, scratch)

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

    def stop(self):
        self.prefix.stop()
