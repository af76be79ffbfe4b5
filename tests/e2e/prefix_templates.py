"""Wine prefixes booted once and copied after: `wineboot -i` costs seconds
of CPU for each prefix, a copy of a booted one a fraction of that.

A template is kept for each key (the Wine, the user and the way the prefix
is made: what makes one boot differ from another) in a folder of templates.
The first run that needs a key boots its own prefix as ever, stops its
server so that the registry is on disk, and keeps a copy; every later run
copies that. A template comes into place by a rename of a finished copy,
so a run that died half-way leaves none; a lock per key makes two runs that
start at once boot once.

A booted prefix holds no path of its own (drive C: is the relative link
../drive_c), but its profile's folders (Desktop, Documents, ...) link to
the user's home: a copy re-points them to the home of its own run."""
import contextlib
import fcntl
import os
import re
import shutil
import subprocess
import tempfile

# Where the templates are kept: the folder this variable names, by default
# one in the build folder.
TEMPLATES_VARIABLE = "FONTCTL_E2E_WINE_TEMPLATES"
_TEMPLATES_FOLDER = "wine-prefix-templates"
# What the template's home was, beside the prefix in the template's folder.
_HOME_RECORD = "home"
_PREFIX = "prefix"
_UNFINISHED = ".unfinished-"


def templates_folder(build_dir, environ=os.environ):
    return environ.get(TEMPLATES_VARIABLE) or os.path.join(os.path.abspath(build_dir), _TEMPLATES_FOLDER)


class PrefixTemplates:
    def __init__(self, folder):
        self.folder = folder

    def copy_or_make(self, name, key, prefix, home, make):
        """Makes the prefix PREFIX (which must not exist yet) of user NAME
        with home HOME: a copy of the template of KEY when there is one
        (returns True); otherwise make() boots PREFIX and stops its server,
        and a copy of it becomes the template of KEY (returns False), unless
        its registry names its own path or the home, which a copy would
        then name wrongly. KEY is a string of hex digits."""
        entry = os.path.join(self.folder, f"{name}-{key}")
        with self._locked(entry) as lock:
            if not os.path.isdir(entry):
                fcntl.flock(lock, fcntl.LOCK_EX)
            if os.path.isdir(entry):
                copy_prefix(os.path.join(entry, _PREFIX), prefix, _read(os.path.join(entry, _HOME_RECORD)), home)
                return True
            self._remove_stale(name, entry)
            make()
            if not names_itself(prefix, home):
                self._keep(prefix, home, entry)
            return False

    @contextlib.contextmanager
    def _locked(self, entry):
        """A shared lock of ENTRY, held while it is copied: no run removes
        an entry under a copy. Making it takes the lock for itself."""
        os.makedirs(self.folder, mode=0o700, exist_ok=True)
        with open(entry + ".lock", "a") as lock:
            fcntl.flock(lock, fcntl.LOCK_SH)
            yield lock

    def _remove_stale(self, name, entry):
        """Removes what runs that died while making ENTRY left, and the
        templates of NAME for other keys (another Wine) that no run uses now."""
        pattern = re.compile(rf"{re.escape(name)}-[0-9a-f]+")
        for found in os.listdir(self.folder):
            path = os.path.join(self.folder, found)
            if found.startswith(os.path.basename(entry) + _UNFINISHED):
                shutil.rmtree(path)
            elif pattern.fullmatch(found) and path != entry:
                with open(path + ".lock", "a") as other:
                    try:
                        fcntl.flock(other, fcntl.LOCK_EX | fcntl.LOCK_NB)
                    except BlockingIOError:
                        continue
                    # The lock file stays: a run may hold it open already.
                    shutil.rmtree(path)

    @staticmethod
    def _keep(prefix, home, entry):
        unfinished = tempfile.mkdtemp(prefix=os.path.basename(entry) + _UNFINISHED, dir=os.path.dirname(entry))
        _copy_tree(prefix, os.path.join(unfinished, _PREFIX))
        with open(os.path.join(unfinished, _HOME_RECORD), "w", encoding="utf-8") as record:
            record.write(home)
        os.chmod(unfinished, 0o755)
        os.rename(unfinished, entry)


def names_itself(prefix, home):
    """Whether the booted PREFIX holds its own path or HOME anywhere but in
    the links of its profile (which copy_prefix re-points): in a registry
    file, as a Unix path or one of Wine's (Z:\\..., \\??\\unix\\...), or as the
    target of a link."""
    names = []
    for path in (prefix, home):
        # The registry files double each backslash.
        escaped = path.replace("/", "\\\\")
        names += [path.lower().encode(), f"z:{escaped}".lower().encode(), f"unix{escaped}".lower().encode()]
    for found in os.listdir(prefix):
        if found.endswith(".reg"):
            with open(os.path.join(prefix, found), "rb") as registry:
                text = registry.read().lower()
            if any(name in text for name in names):
                return True
    users = os.path.join(prefix, "drive_c", "users")
    for folder, dirs, files in os.walk(prefix):
        for link in dirs + files:
            path = os.path.join(folder, link)
            if os.path.islink(path):
                target = os.readlink(path)
                if _within(target, prefix) or (_within(target, home) and not path.startswith(users + "/")):
                    return True
    return False


def _within(path, folder):
    return path == folder or path.startswith(folder.rstrip("/") + "/")


def copy_prefix(template, prefix, template_home, home):
    """Copies the prefix TEMPLATE, booted with home TEMPLATE_HOME, to PREFIX,
    with the owners and modes of the template's files and its links to
    the home re-pointed to HOME."""
    _copy_tree(template, prefix)
    if template_home == home:
        return
    for folder, dirs, files in os.walk(os.path.join(prefix, "drive_c", "users")):
        for link in dirs + files:
            path = os.path.join(folder, link)
            if not os.path.islink(path):
                continue
            target = os.readlink(path)
            if _within(target, template_home):
                owner = os.lstat(path)
                os.remove(path)
                os.symlink(home + target[len(template_home):], path)
                os.lchown(path, owner.st_uid, owner.st_gid)


def _copy_tree(source, destination):
    # cp, not shutil: hundreds of megabytes of DLLs in a few hundred files,
    # copied by the kernel; links stay links. The server's record of its
    # folder in /tmp is the server's that made the template, never a copy's.
    subprocess.run(["cp", "-R", "--no-dereference", "--preserve=mode,ownership", "--", source, destination],
                   stdin=subprocess.DEVNULL, capture_output=True, check=True)
    with contextlib.suppress(FileNotFoundError):
        os.remove(os.path.join(destination, "wineserver"))


def _read(path):
    with open(path, encoding="utf-8") as file:
        return file.read()
