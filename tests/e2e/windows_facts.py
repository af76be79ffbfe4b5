#!/usr/bin/python3
"""Prints what the end-to-end cases depend on in the Windows they run on, so
that a first failure can be read without a second run: the Windows build,
the code pages, whether new files get 8.3 short names (and fsutil's word on
the system's setting and on each fixed volume), long paths, the Server service and the
administrative share, whether the user is an administrator, whether cmd
enters a \\\\?\\ folder, and the NSIS version.

Usage: windows_facts.py (on Windows; changes nothing)
"""
import os
import sys
import tempfile
from pathlib import PureWindowsPath

sys.dont_write_bytecode = True
HERE = os.path.dirname(os.path.abspath(__file__))
sys.path[:0] = [HERE, os.path.join(HERE, "..", "..", "scripts")]

from windows_session import SHORT_NAME_PROBE, WindowsSession, WindowsSystem  # noqa: E402


def _output(completed):
    text = (completed.stdout + completed.stderr).decode("cp1252", "replace")
    lines = [line.strip() for line in text.splitlines() if line.strip()]
    return " / ".join(lines) or f"exit status {completed.returncode}"


def _gets_short_name(system, folder):
    probe = os.path.join(folder, SHORT_NAME_PROBE)
    with open(probe, "wb"):
        pass
    try:
        short = system.short_path(str(PureWindowsPath(probe)))
    finally:
        os.remove(probe)
    return "yes" if short and PureWindowsPath(short).name != SHORT_NAME_PROBE else "no"


def facts(system, folder):
    """(what, its state) for each thing the cases depend on; FOLDER is one of
    the run's temporary folders, where the probes make their files."""
    environ = system.environ
    found = [("Windows build", str(system.build)),
             ("ANSI code page", str(system.ansi_code_page())),
             ("OEM code page", str(system.oem_code_page())),
             ("a new file in TEMP gets an 8.3 short name", _gets_short_name(system, folder))]
    # The system's setting, then each volume's: a volume's own counts only
    # while the system's is 2. Every fixed volume, and those the run uses.
    found.append(("8.3 names, the system's setting", _output(system.run(["fsutil", "8dot3name", "query"]))))
    used = {PureWindowsPath(path).drive.upper()
            for path in (folder, os.getcwd(), environ.get("USERPROFILE", "")) if PureWindowsPath(path).drive}
    drives = sorted(used | {drive.upper() for drive in system.fixed_drives()})
    found += [(f"8.3 names on {drive}", _output(system.run(["fsutil", "8dot3name", "query", drive])))
              for drive in drives]
    found += [("long paths enabled", "yes" if system.long_paths_enabled() else "no"),
              ("administrator", "yes" if system.is_admin() else "no"),
              ("Server service (LanmanServer)", _output(system.run(["sc", "query", "LanmanServer"]))),
              ("the administrative share reaches TEMP",
               "yes" if system.is_dir(WindowsSession.other_drive_path(folder)) else "no")]
    extended = "\\\\?\\" + str(PureWindowsPath(folder))
    entered = system.run(["cmd", "/c", "pushd", extended]).returncode == 0
    found.append((f"cmd enters {extended}", "yes" if entered else "no"))
    try:
        makensis = WindowsSession(".", system=system).makensis()
        found.append(("NSIS", _output(system.run([makensis, "/VERSION"]))))
    except RuntimeError as error:
        found.append(("NSIS", str(error)))
    return found


def main():
    # The long form, as the suite has it: TEMP may be written with short names.
    folder = os.path.realpath(tempfile.mkdtemp(prefix="fontctl-facts-"))
    try:
        for what, state in facts(WindowsSystem(), folder):
            print(f"{what}: {state}")
    finally:
        os.rmdir(folder)
    return 0


if __name__ == "__main__":
    sys.exit(main())
