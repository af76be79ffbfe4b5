#!/usr/bin/python3
"""The cases that run programs as an ordinary user, run as from a checkout in
a private folder: the Windows programs of the build copied under a new 0700
folder (into a path with a space in it), TMPDIR naming a 0700 folder, and a
umask of 077, as a root whose home is /root or a clone under mktemp -d has.
The user reaches none of these, yet the cases must run and pass, not skip;
and the run must leave the private folders as it found them.

Usage: check_private_folders.py WINDOWS_BUILD_DIR
"""
import os
import re
import shutil
import stat
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
RUN_E2E = os.path.join(HERE, "..", "e2e", "run_e2e.py")
sys.dont_write_bytecode = True
sys.path.insert(0, os.path.join(HERE, "..", "e2e"))

from prefix_templates import TEMPLATES_VARIABLE, templates_folder  # noqa: E402

# The cases that run fontctl as the ordinary user.
CASES = "folder_that_cannot_be_listed"
PROGRAMS = ["fontctl.exe", "fontctl-utf8.exe"]
HELPERS = os.path.join("tests", "e2e", "helpers")


def copy_programs(build_dir, copy_dir):
    """The Windows programs and the test helpers, where run_e2e.py looks for
    them, and nothing else of the build."""
    os.makedirs(os.path.join(copy_dir, HELPERS))
    names = PROGRAMS + [os.path.join(HELPERS, name) for name in os.listdir(os.path.join(build_dir, HELPERS))
                        if name.endswith(".exe")]
    for name in names:
        shutil.copy2(os.path.join(build_dir, name), os.path.join(copy_dir, name))


def modes(root):
    """The mode and owner of root and of every entry under it."""
    found = {}
    for folder, dirs, files in os.walk(root):
        for path in [folder] + [os.path.join(folder, name) for name in dirs + files]:
            info = os.lstat(path)
            found[os.path.relpath(path, root)] = (stat.filemode(info.st_mode), info.st_uid, info.st_gid)
    return found


def results(output):
    """{case: its verdict} from the verbose output of unittest."""
    return dict(re.findall(r"^(test_\w+ \([\w.]+\)) \.\.\. (.+)$", output, re.MULTILINE))


def main(build_dir):
    private = tempfile.mkdtemp(prefix="fontctl-private-")
    try:
        copy_dir = os.path.join(private, "a checkout", "build", "win")
        copy_programs(build_dir, copy_dir)
        temp = os.path.join(private, "temp")
        os.mkdir(temp, 0o700)
        before = modes(private)
        if before["."][0] != "drwx------":
            return f"mkdtemp made {private} {before['.'][0]}, not private"

        # The Wine prefixes are copies of the templates that the build keeps,
        # as for every run: the copy of the build must stay as it was.
        env = dict(os.environ, TMPDIR=temp, **{TEMPLATES_VARIABLE: templates_folder(build_dir)})
        run = subprocess.run(["/usr/bin/python3", RUN_E2E, copy_dir, "-k", CASES], env=env,
                             umask=0o077, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                             stderr=subprocess.STDOUT, text=True, check=False)
        print(run.stdout)
        verdicts = results(run.stdout)
        if run.returncode != 0:
            return f"run_e2e.py exited with status {run.returncode}"
        # Two files of cases hold one each; a case added beside them counts too.
        if len(verdicts) < 2 or set(verdicts.values()) != {"ok"}:
            return f"the cases as the ordinary user did not all run and pass: {verdicts}"
        after = modes(private)
        if after != before:
            changed = sorted(path for path in before.keys() | after.keys() if before.get(path) != after.get(path))
            return f"the run changed the private folders: {changed}"
        print(f"ran and passed from {copy_dir} with TMPDIR={temp} and umask 077: {', '.join(verdicts)}")
        return 0
    finally:
        shutil.rmtree(private)


if __name__ == "__main__":
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    sys.exit(main(sys.argv[1]))
