#!/usr/bin/python3
"""Writes the BUILDINFO file of a release: the commit and version it was built
from and the exact Debian package versions of everything that shaped its
bytes, in the manner of Debian's .buildinfo files.

The packages are found from the files the build really used, not from a list
of names: the compiler, assembler, linker and resource compiler the build
folder was configured with, the shared libraries they load, every header the
compiler read (from Ninja's record of dependencies), the C and C++ runtimes
and import libraries, CMake and Ninja, and the Python interpreter that writes
the archive with its zipfile module and zlib. This script must be run by that
interpreter. A file that no package owns is named as such: the release was
then not built from Debian's packages alone.

The output depends only on the commit, the version and the installed
packages: no time, host name or path of the checkout.

Usage: write_buildinfo.py BUILD_DIR COMMIT VERSION OUTPUT
"""
import os
import re
import shutil
import subprocess
import sys
import zipfile
import zlib


def run(*command):
    return subprocess.run(command, check=True, capture_output=True, text=True).stdout


def cmake_setting(build_dir, name):
    """A compiler setting as CMake recorded it when it configured BUILD_DIR."""
    for root, _, files in os.walk(os.path.join(build_dir, "CMakeFiles")):
        for file in files:
            if re.fullmatch(r"CMake\w+Compiler\.cmake", file):
                with open(os.path.join(root, file), encoding="utf-8") as text:
                    found = re.search(rf'^set\({name} "([^"]*)"\)$', text.read(), re.MULTILINE)
                if found:
                    return found.group(1)
    raise SystemExit(f"write_buildinfo.py: {build_dir} names no {name}")


def cache_entry(build_dir, name):
    with open(os.path.join(build_dir, "CMakeCache.txt"), encoding="utf-8") as cache:
        for line in cache:
            key, _, value = line.rstrip("\n").partition("=")
            if key.split(":")[0] == name:
                return value
    raise SystemExit(f"write_buildinfo.py: CMakeCache.txt of {build_dir} has no {name}")


def program(name):
    path = name if os.path.isabs(name) else shutil.which(name)
    if not path:
        raise SystemExit(f"write_buildinfo.py: {name} is not on PATH")
    return path


def tools(build_dir):
    """(role, path) of each program that turned the sources into the files."""
    cxx = program(cmake_setting(build_dir, "CMAKE_CXX_COMPILER"))
    found = [("C++ compiler", cxx)]
    for name in ("cc1plus", "collect2", "as", "ld"):
        found.append((name, program(run(cxx, f"-print-prog-name={name}").strip())))
    found.append(("resource compiler", program(cmake_setting(build_dir, "CMAKE_RC_COMPILER"))))
    rc_flags = cache_entry(build_dir, "CMAKE_RC_FLAGS")
    preprocessor = re.search(r"--preprocessor=(\S+)", rc_flags)
    rc_cc = program(preprocessor.group(1) if preprocessor else "x86_64-w64-mingw32-gcc")
    found.append(("resource preprocessor", rc_cc))
    found.append(("cc1", program(run(rc_cc, "-print-prog-name=cc1").strip())))
    found.append(("CMake", program(cache_entry(build_dir, "CMAKE_COMMAND"))))
    found.append(("Ninja", program(cache_entry(build_dir, "CMAKE_MAKE_PROGRAM"))))
    found.append(("Python", sys.executable))
    return found


def shared_libraries(path):
    """The shared libraries an ELF program loads, by ldd."""
    listed = subprocess.run(["ldd", path], capture_output=True, text=True).stdout
    return re.findall(r"=> (/\S+)", listed)


def zlib_library():
    """The file that holds the zlib this interpreter compresses with: a module
    of its own, or the shared library mapped into the process."""
    if getattr(zlib, "__file__", None):
        return [zlib.__file__]
    with open("/proc/self/maps", encoding="utf-8") as maps:
        return sorted({line.split()[-1] for line in maps if re.search(r"/libz\.so[.\d]*$", line.strip())})


def headers(build_dir):
    """Every file outside the checkout that the compiler read, as Ninja
    recorded it."""
    listed = run(cache_entry(build_dir, "CMAKE_MAKE_PROGRAM"), "-C", build_dir, "-t", "deps")
    return sorted({line.strip() for line in listed.splitlines()
                   if line.startswith(" ") and line.strip().startswith("/usr/")})


def runtime_files(cxx):
    names = ("crt2.o", "crtbegin.o", "crtend.o", "libstdc++.a", "libgcc.a", "libgcc_eh.a", "libmingw32.a",
             "libmingwex.a", "libmsvcrt.a", "libkernel32.a", "libuser32.a", "libgdi32.a", "libshlwapi.a")
    return [run(cxx, f"-print-file-name={name}").strip() for name in names]


def owners(paths):
    """{path: package} for each path, None where no package owns it. dpkg
    records files by the path they were installed as, which on a merged /usr
    can be /lib/... for /usr/lib/...; every form is asked, in one query."""
    candidates = {}
    for path in paths:
        forms = [path, os.path.realpath(path)]
        forms += [form[len("/usr"):] for form in forms if form.startswith("/usr/")]
        candidates[path] = list(dict.fromkeys(forms))
    asked = sorted({form for forms in candidates.values() for form in forms})
    # dpkg-query fails when any path is unknown but still lists the others.
    listed = subprocess.run(["dpkg-query", "-S", *asked], capture_output=True, text=True).stdout
    owned = {}
    for line in listed.splitlines():
        packages, _, path = line.rpartition(": ")
        if packages and not packages.startswith("diversion by"):
            # "pkg:arch" or "pkg1, pkg2": the first owner, without the
            # architecture (dpkg-query -W adds it back).
            owned[path] = packages.split(", ")[0].split(":")[0]
    return {path: next((owned[form] for form in forms if form in owned), None)
            for path, forms in candidates.items()}


def package_version(package):
    return run("dpkg-query", "-W", "-f=${Package}:${Architecture} (= ${Version})", package)


def buildinfo(build_dir, commit, version):
    found_tools = tools(build_dir)
    cxx = found_tools[0][1]
    files = [form for _, path in found_tools for form in (path, os.path.realpath(path))]
    for role, path in found_tools:
        if role in ("cc1plus", "cc1", "as", "ld", "resource compiler", "Python"):
            files += shared_libraries(os.path.realpath(path))
    files += zlib_library() + [zipfile.__file__] + runtime_files(cxx) + headers(build_dir)
    owner = owners(sorted(set(files)))

    packages = sorted({package for package in owner.values() if package})
    unowned = sorted(path for path, package in owner.items() if package is None)
    with open("/etc/os-release", encoding="utf-8") as release:
        os_release = dict(line.rstrip("\n").split("=", 1) for line in release if "=" in line)

    lines = [
        "Format: 1.0",
        "Source: fontctl",
        f"Version: {version}",
        f"Commit: {commit}",
        f"Build-Origin: {os_release.get('ID', 'unknown').strip(chr(34))}",
        f"Build-Distribution: {os_release.get('VERSION_CODENAME', 'unknown').strip(chr(34))}",
        f"Build-Architecture: {run('dpkg', '--print-architecture').strip()}",
        "Host-Architecture: x86_64-w64-mingw32",
        "Build-Tools:",
    ]
    lines += [f" {role}: {path} [{owner[path] or 'no package'}]" for role, path in found_tools]
    lines.append("Installed-Build-Depends:")
    entries = [package_version(package) for package in packages]
    lines += [f" {entry}," for entry in entries[:-1]] + [f" {entry}" for entry in entries[-1:]]
    if unowned:
        lines.append("Not-From-Packages:")
        lines += [f" {path}" for path in unowned]
    lines += ["Environment:", f' LC_ALL="{os.environ.get("LC_ALL", "")}"']
    return "\n".join(lines) + "\n"


def main(argv):
    if len(argv) != 4:
        print(__doc__, file=sys.stderr)
        return 2
    build_dir, commit, version, output = argv
    text = buildinfo(build_dir, commit, version)
    with open(output, "w", encoding="utf-8", newline="\n") as file:
        file.write(text)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
