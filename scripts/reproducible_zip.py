#!/usr/bin/python3
"""Packs the files of a folder into a zip archive whose bytes depend only on
the files' names and contents and on a given day.

Entries are the folder's files, subfolders' included, named by their path
below the folder with "/" between its parts, sorted by that name, all dated
that day at midnight, marked as ordinary files readable by everyone
(rw-r--r--) and compressed with deflate at level 9, so that neither the time
of the run, nor the umask, nor the order in which the file system lists a
folder gets into the archive. Folders get no entries of their own.

Usage: reproducible_zip.py FOLDER YYYY-MM-DD ARCHIVE
"""
import datetime
import os
import sys
import zipfile

# st_mode of an ordinary file, rw-r--r--, kept in the top 16 bits of an
# entry's external attributes when the entry says it was made on Unix.
FILE_MODE = 0o100644
UNIX = 3


def pack(folder, day, archive):
    entries = []
    for parent, dirs, files in os.walk(folder):
        for name in dirs + files:
            path = os.path.join(parent, name)
            if os.path.islink(path):
                raise SystemExit(f"reproducible_zip.py: {path} is a link; the archive holds files only")
            if name in files:
                if not os.path.isfile(path):
                    raise SystemExit(f"reproducible_zip.py: {path} is not an ordinary file")
                entries.append((os.path.relpath(path, folder).replace(os.sep, "/"), path))
    entries.sort()

    with zipfile.ZipFile(archive, "w") as zip_file:
        for name, path in entries:
            info = zipfile.ZipInfo(name, date_time=(day.year, day.month, day.day, 0, 0, 0))
            info.create_system = UNIX
            info.external_attr = FILE_MODE << 16
            with open(path, "rb") as file:
                zip_file.writestr(info, file.read(), compress_type=zipfile.ZIP_DEFLATED, compresslevel=9)


def main(argv):
    if len(argv) != 3:
        print(__doc__, file=sys.stderr)
        return 2
    folder, day, archive = argv
    pack(folder, datetime.date.fromisoformat(day), archive)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
