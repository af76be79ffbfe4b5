"""A small NTFS volume of a case's own on Windows, which a copy can fill: a
fixed-size virtual disk (VHDX) made, partitioned, formatted and mounted at an
empty folder of the case's by diskpart, and taken down again after the case.
diskpart needs an administrator, which the CI job is.

The volume's root holds what Windows puts on any new volume (System Volume
Information, where the services that keep it run): the cases get an empty
folder on it instead, and measure its free space, never assume it."""
import math
import os
import uuid
from pathlib import Path

MIB = 1024 * 1024
# Beside the room asked for: the partition's offset (diskpart aligns the
# first partition at 1 MiB), NTFS's own files ($MFT, $LogFile, ...) and
# System Volume Information.
OVERHEAD_MIB = 8
# 4 KiB clusters, as the cases count their pages, whatever the format
# would choose for the volume's size.
CLUSTER = 4096
# The folder on the volume that the case gets.
FILES = "files"


def disk_size_mib(room):
    """The size of the virtual disk, in MiB, that leaves at least ROOM bytes
    free on its volume."""
    return math.ceil(room / MIB) + OVERHEAD_MIB


def attach_script(vhd, size_mib, mount):
    """diskpart's commands that make the virtual disk VHD of SIZE_MIB MiB,
    attach it, and mount one NTFS volume that fills it at the empty folder
    MOUNT."""
    return "\r\n".join([
        f'create vdisk file="{vhd}" maximum={size_mib} type=fixed',
        f'select vdisk file="{vhd}"',
        "attach vdisk",
        "create partition primary",
        f'format fs=ntfs unit={CLUSTER} label="fontctl e2e" quick',
        f'assign mount="{mount}"',
        "exit",
    ]) + "\r\n"


def detach_script(vhd):
    """diskpart's commands that detach the virtual disk VHD."""
    return "\r\n".join([f'select vdisk file="{vhd}"', "detach vdisk", "exit"]) + "\r\n"


class SmallVolume:
    """The volume, made by make(), taken down by remove(). SYSTEM runs
    commands (run) and tells a mount point (is_mount_point); RELEASE_FONTS
    lets go of the fonts loaded from files under a folder; WORK is a folder
    of the suite's own for the disk's file and diskpart's scripts."""

    def __init__(self, system, release_fonts, work, mount, room):
        self._system = system
        self._release_fonts_under = release_fonts
        self._mount = os.fspath(mount)
        name = f"small-{uuid.uuid4().hex[:12]}"
        self._vhd = os.path.join(work, name + ".vhdx")
        self._scripts = os.path.join(work, name)
        self._size_mib = disk_size_mib(room)

    def make(self):
        """Makes, attaches and mounts the volume: the empty folder on it
        that the case gets. What a failed step leaves is taken down again,
        and its failure raised."""
        try:
            self._diskpart("attach", attach_script(self._vhd, self._size_mib, self._mount))
            files = Path(self._mount, FILES)
            files.mkdir()
        except BaseException:
            try:
                self.remove()
            except Exception:  # noqa: BLE001 - the first failure is the one to report
                pass
            raise
        return files

    def remove(self):
        """Lets go of the fonts that the case left loaded from the volume,
        takes its mount point away, detaches the disk and deletes its file.
        Each step runs even when an earlier one failed; the first failure is
        raised at the end."""
        failures = []
        for step in (self._release_fonts, self._unmount, self._detach, self._delete_disk):
            try:
                step()
            except Exception as error:  # noqa: BLE001 - every step runs, the first failure is reported
                failures.append(error)
        if failures:
            raise failures[0]

    def _release_fonts(self):
        if self._system.is_mount_point(self._mount):
            self._release_fonts_under(self._mount)

    def _unmount(self):
        # The folder stays, empty, for the case's own folder to go with it.
        if self._system.is_mount_point(self._mount):
            self._check("mountvol", self._system.run(["mountvol", self._mount, "/D"]))

    def _detach(self):
        if os.path.exists(self._vhd):
            self._diskpart("detach", detach_script(self._vhd))

    def _delete_disk(self):
        if os.path.exists(self._vhd):
            os.remove(self._vhd)

    def _diskpart(self, what, script):
        path = f"{self._scripts}-{what}.txt"
        with open(path, "w", encoding="ascii", newline="") as file:
            file.write(script)
        try:
            self._check(f"diskpart ({what})", self._system.run(["diskpart", "/s", path], timeout=300))
        finally:
            os.remove(path)

    @staticmethod
    def _check(what, completed):
        if completed.returncode != 0:
            said = " / ".join(line.strip() for line in (completed.stdout + completed.stderr).decode(
                "cp437", "replace").splitlines() if line.strip())
            raise RuntimeError(f"{what} failed (exit status {completed.returncode}): {said}")
