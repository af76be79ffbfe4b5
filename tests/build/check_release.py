#!/usr/bin/python3
"""Checks a release that scripts/release.sh wrote into a dist/ folder.

- dist/ holds the archive fontctl-VERSION-win64.zip, SHA256SUMS and a copy of
  each program in the archive, nothing else;
- the archive is sound and in name order: at its top level README.md, LICENSE
  and CHANGELOG.md as they are in the source, and programs (.exe, fontctl.exe
  and fontctl-utf8.exe among them) that are byte for byte the copies beside
  it; under examples/ the example callers, every file of the source's
  examples/cmd/ and examples/nsis/ (their READMEs among them) as it is there,
  and nothing else;
- SHA256SUMS covers exactly the archive and each program, and `sha256sum -c`
  accepts it.

Usage: check_release.py DIST VERSION SOURCE_DIR
"""
import hashlib
import os
import subprocess
import sys
import zipfile

DOCUMENTS = ("CHANGELOG.md", "LICENSE", "README.md")
EXAMPLE_FOLDERS = ("examples/cmd", "examples/nsis")


def read(path):
    with open(path, "rb") as file:
        return file.read()


def example_files(source_dir):
    """The contents of the files below the source's example folders, by
    their names in the archive."""
    files = {}
    for folder in EXAMPLE_FOLDERS:
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

    examples = example_files(source_dir)
    for folder in EXAMPLE_FOLDERS:
        if not any(name.startswith(folder + "/") for name in examples):
            failures.append(f"the source has no files in {folder}/")
    for name in sorted(set(examples) | {name for name in contents if name.startswith("examples/")}):
        if name not in contents:
            failures.append(f"{archive} lacks {name}")
        elif contents[name] != examples.get(name):
            failures.append(f"{archive}: {name} is not the source's {name}")
    for name in sorted(contents):
        if name.startswith("examples/"):
            continue
        if "/" in name or "\\" in name:
            failures.append(f"{archive}: {name} is not at the top level")
    programs = sorted(name for name in contents if name not in DOCUMENTS and not name.startswith("examples/"))
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

    expected = sorted([archive, "SHA256SUMS"] + programs)
    if sorted(os.listdir(dist)) != expected:
        failures.append(f"dist/ holds {sorted(os.listdir(dist))}, not {expected}")

    sums = read(os.path.join(dist, "SHA256SUMS")).decode()
    covered = {}
    for line in sums.splitlines():
        digest, _, name = line.partition("  ")
        covered[name] = digest
    if sorted(covered) != sorted([archive] + programs):
        failures.append(f"SHA256SUMS covers {sorted(covered)}, not the archive and its programs")
    for name, digest in covered.items():
        path = os.path.join(dist, name)
        if os.path.isfile(path) and hashlib.sha256(read(path)).hexdigest() != digest:
            failures.append(f"SHA256SUMS: wrong digest for {name}")
    verified = subprocess.run(["sha256sum", "--strict", "-c", "SHA256SUMS"], cwd=dist, capture_output=True, text=True)
    if verified.returncode != 0:
        failures.append(f"sha256sum -c SHA256SUMS fails in dist/:\n{verified.stdout}{verified.stderr}")

    print(f"{archive}: {os.path.getsize(os.path.join(dist, archive))} bytes, {', '.join(sorted(contents))}")
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
