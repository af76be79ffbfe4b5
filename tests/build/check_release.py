#!/usr/bin/python3
"""Checks a release that scripts/release.sh wrote into a dist/ folder.

- dist/ holds the archive fontctl-VERSION-win64.zip, SHA256SUMS, BUILDINFO
  and a copy of each program in the archive, nothing else;
- the archive is sound and in name order: at its top level README.md, LICENSE
  and CHANGELOG.md as they are in the source, and programs (.exe, fontctl.exe
  and fontctl-utf8.exe among them) that are byte for byte the copies beside
  it; under docs/ and examples/ every file of the source's docs/,
  examples/cmd/ and examples/nsis/ (the examples' READMEs among them) as it is
  there, and nothing else;
- the README's list of what the archive holds names exactly its top-level
  files and folders, and every relative link of the archive's Markdown files
  leads to a file and heading inside the archive;
- SHA256SUMS covers exactly the archive, each program and BUILDINFO, and
  `sha256sum -c` accepts it;
- BUILDINFO names the version, the commit checked out in SOURCE_DIR, and the
  Debian packages of the compiler, binutils, MinGW-w64 runtime, CMake, Ninja,
  Python and zlib at the versions installed now, with no file from elsewhere.

Usage: check_release.py DIST VERSION SOURCE_DIR
"""
import hashlib
import os
import re
import subprocess
import sys
import tempfile
import zipfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "lint"))
import markdown_links  # noqa: E402

DOCUMENTS = ("CHANGELOG.md", "LICENSE", "README.md")
SOURCE_FOLDERS = ("docs", "examples/cmd", "examples/nsis")
README_LIST = "What the archive holds"


def read(path):
    with open(path, "rb") as file:
        return file.read()


def folder_files(source_dir):
    """The contents of the files below the source's folders that the archive
    carries, by their names in the archive."""
    files = {}
    for folder in SOURCE_FOLDERS:
        for parent, _, names in os.walk(os.path.join(source_dir, folder)):
            for name in names:
                path = os.path.join(parent, name)
                files[os.path.relpath(path, source_dir).replace(os.sep, "/")] = read(path)
    return files


def check(dist, version, source_dir):
    failures = []
    archive = f"fontctl-{version}-win64.zip"
    with zipfile.ZipFile(os.path.join(dist, archive)) as zip_file:
        damaged = zip_file.testzip()
        if damaged:
            failures.append(f"{archive}: {damaged} is damaged")
        names = zip_file.namelist()
        contents = {name: zip_file.read(name) for name in names}
    # Two copies on one file system list a folder alike, so the comparison of
    # two runs cannot show an order taken from the file system: check it here.
    if names != sorted(names):
        failures.append(f"{archive}: entries are not in name order: {names}")

    carried = folder_files(source_dir)
    for folder in SOURCE_FOLDERS:
        if not any(name.startswith(folder + "/") for name in carried):
            failures.append(f"the source has no files in {folder}/")
    in_folders = {name for name in contents if "/" in name}
    for name in sorted(set(carried) | in_folders):
        if name not in contents:
            failures.append(f"{archive} lacks {name}")
        elif contents[name] != carried.get(name):
            failures.append(f"{archive}: {name} is not the source's {name}")
    for name in sorted(contents):
        if "\\" in name:
            failures.append(f"{archive}: {name} holds a backslash")
    programs = sorted(name for name in contents if name not in DOCUMENTS and name not in in_folders)
    for name in programs:
        if not name.endswith(".exe"):
            failures.append(f"{archive}: {name} is neither a program nor one of {', '.join(DOCUMENTS)}")
        elif not os.path.isfile(os.path.join(dist, name)) or read(os.path.join(dist, name)) != contents[name]:
            failures.append(f"{archive}: {name} is not the program dist/{name}")
    for program in ("fontctl.exe", "fontctl-utf8.exe"):
        if program not in programs:
            failures.append(f"{archive} lacks {program}")
    for name in DOCUMENTS:
        if contents.get(name) != read(os.path.join(source_dir, name)):
            failures.append(f"{archive}: {name} is missing or differs from the source's")

    failures += check_readme_list(contents)
    failures += check_links(contents)

    expected = sorted([archive, "SHA256SUMS", "BUILDINFO"] + programs)
    if sorted(os.listdir(dist)) != expected:
        failures.append(f"dist/ holds {sorted(os.listdir(dist))}, not {expected}")

    sums = read(os.path.join(dist, "SHA256SUMS")).decode()
    covered = {}
    for line in sums.splitlines():
        digest, _, name = line.partition("  ")
        covered[name] = digest
    if sorted(covered) != sorted([archive, "BUILDINFO"] + programs):
        failures.append(f"SHA256SUMS covers {sorted(covered)}, not the archive, its programs and BUILDINFO")
    for name, digest in covered.items():
        path = os.path.join(dist, name)
        if os.path.isfile(path) and hashlib.sha256(read(path)).hexdigest() != digest:
            failures.append(f"SHA256SUMS: wrong digest for {name}")
    verified = subprocess.run(["sha256sum", "--strict", "-c", "SHA256SUMS"], cwd=dist, capture_output=True, text=True)
    if verified.returncode != 0:
        failures.append(f"sha256sum -c SHA256SUMS fails in dist/:\n{verified.stdout}{verified.stderr}")

    failures += check_buildinfo(os.path.join(dist, "BUILDINFO"), version, source_dir)

    print(f"{archive}: {os.path.getsize(os.path.join(dist, archive))} bytes, {', '.join(sorted(contents))}")
    return failures


# Packages that must be recorded whatever else the build used: what compiles,
# links and packs fontctl.
RECORDED_PACKAGES = ("g++-mingw-w64-x86-64-win32", "gcc-mingw-w64-x86-64-win32", "binutils-mingw-w64-x86-64",
                     "mingw-w64-common", "mingw-w64-x86-64-dev", "cmake", "ninja-build", "python3.11-minimal",
                     "zlib1g")


def readme_list(readme):
    """The names that the README's list of the archive's contents gives: on
    each item of that section, the code spans before its first colon."""
    names = set()
    in_section = False
    for line in readme.splitlines():
        if line.startswith("#"):
            in_section = line.lstrip("#").strip() == README_LIST
        elif in_section and line.startswith("- "):
            names.update(re.findall(r"`([^`]+)`", line.partition(":")[0]))
    return names


def check_readme_list(contents):
    """The README names each top-level file of the archive, and each folder
    that holds files as `folder/`, and nothing else."""
    listed = readme_list(contents.get("README.md", b"").decode("utf-8"))
    held = {name.rpartition("/")[0] + "/" if "/" in name else name for name in contents}
    if not listed:
        return [f"README.md has no list under a heading '{README_LIST}'"]
    if listed != held:
        return [f"README.md lists {sorted(listed)} as the archive's contents; it holds {sorted(held)}"]
    return []


def check_links(contents):
    """Every relative link of the archive's Markdown files, unpacked as a
    user unpacks them, leads to a file and heading inside the archive."""
    with tempfile.TemporaryDirectory() as unpacked:
        for name, data in contents.items():
            path = os.path.join(unpacked, *name.split("/"))
            os.makedirs(os.path.dirname(path), exist_ok=True)
            with open(path, "wb") as file:
                file.write(data)
        return [f"in the archive: {failure}" for failure in markdown_links.check(unpacked)]


def check_buildinfo(path, version, source_dir):
    if not os.path.isfile(path):
        return ["there is no BUILDINFO"]
    failures = []
    fields = {}
    name = None
    for line in read(path).decode().splitlines():
        if line.startswith(" ") and name:
            fields[name].append(line.strip())
        else:
            name, _, value = line.partition(": ")
            name = name.rstrip(":")
            fields[name] = [value] if value else []
    commit = subprocess.run(["git", "-C", source_dir, "rev-parse", "HEAD"], capture_output=True, text=True).stdout.strip()
    for field, expected in (("Version", [version]), ("Commit", [commit])):
        if fields.get(field) != expected:
            failures.append(f"BUILDINFO: {field} is {fields.get(field)}, not {expected}")
    if "Not-From-Packages" in fields:
        failures.append(f"BUILDINFO: files from no package: {fields['Not-From-Packages']}")
    recorded = {}
    for entry in fields.get("Installed-Build-Depends", []):
        package, _, package_version = entry.rstrip(",").partition(" (= ")
        recorded[package.split(":")[0]] = package_version.rstrip(")")
    for package, package_version in recorded.items():
        installed = subprocess.run(["dpkg-query", "-W", "-f=${Version}", package], capture_output=True, text=True).stdout
        if installed != package_version:
            failures.append(f"BUILDINFO: {package} {package_version}, but {installed or 'nothing'} is installed")
    for package in RECORDED_PACKAGES:
        if package not in recorded:
            failures.append(f"BUILDINFO does not record {package}")
    compilers = [tool for tool in fields.get("Build-Tools", []) if tool.startswith("C++ compiler:")]
    if not compilers or "/x86_64-w64-mingw32-g++-win32 " not in compilers[0]:
        failures.append(f"BUILDINFO: the C++ compiler is {compilers}, not x86_64-w64-mingw32-g++-win32")
    return failures


def main(argv):
    if len(argv) != 3:
        print(__doc__, file=sys.stderr)
        return 2
    failures = check(*argv)
    for failure in failures:
        print(f"FAIL: {failure}")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
