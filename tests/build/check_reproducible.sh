#!/usr/bin/env bash
# Runs scripts/release.sh --unsigned in two copies of the source's work tree:
# in folders whose names differ in length, made and built at different times
# and under different umasks, the second with an environment full of
# variables that would change the build (flags, compilers, a compiler
# launcher, a compiler on PATH that adds a flag, an install prefix, a time
# zone); each starts from a stale build folder configured with other flags.
# Both must give a byte-identical fontctl.exe and a byte-identical release
# (archive, program copies, BUILDINFO, SHA256SUMS), and the release must be
# sound (check_release.py). Then scripts/check_build_flags.sh must accept the
# release's CMake cache and refuse it with any flag added.
# Usage: check_reproducible.sh SOURCE_DIR VERSION
set -euo pipefail
source_dir=$1
version=$2
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Copies the work tree into $work/NAME and commits it there (copy_checkout.sh:
# files get the time of the copy, modes follow the umask) and runs the release
# script in that copy, with the environment given (VARIABLE=VALUE...) added.
release_in_copy() {
    local name=$1 mask=$2
    shift 2
    (
        umask "$mask"
        "$here/copy_checkout.sh" "$source_dir" "$work/$name"
        # A stale release folder from a configure with other flags.
        (cd "$work/$name" && CXXFLAGS=-fno-inline cmake --preset release >/dev/null)
        if ! env "$@" "$work/$name/scripts/release.sh" --unsigned >"$work/$name.log" 2>&1; then
            echo "FAIL: release.sh failed in the copy $name"
            cat "$work/$name.log"
            exit 1
        fi
    )
}

# A compiler that adds a flag, first on PATH under the toolchain's name, and a
# compiler launcher that does the same.
mkdir "$work/bin"
for program in x86_64-w64-mingw32-g++-win32 x86_64-w64-mingw32-gcc-win32; do
    printf '#!/bin/sh\nexec /usr/bin/%s -fno-inline "$@"\n' "$program" >"$work/bin/$program"
done
printf '#!/bin/sh\nexec "$@" -fno-inline\n' >"$work/bin/launcher"
chmod +x "$work"/bin/*
hostile_environment=(
    CFLAGS=-fno-inline CXXFLAGS=-fno-inline CPPFLAGS=-DFONTCTL_FROM_THE_ENVIRONMENT
    LDFLAGS=-Wl,--image-base=0x150000000 RCFLAGS=-DFONTCTL_FROM_THE_ENVIRONMENT
    CC=clang CXX=clang++ RC=llvm-rc CMAKE_CXX_COMPILER_LAUNCHER="$work/bin/launcher"
    CMAKE_BUILD_TYPE=Debug CMAKE_GENERATOR="Unix Makefiles" DESTDIR="$work/destdir"
    CPATH="$work" LIBRARY_PATH="$work" SOURCE_DATE_EPOCH=0 TZ=Pacific/Kiritimati
    PYTHONHASHSEED=1 PYTHONDONTWRITEBYTECODE=1 PATH="$work/bin:$PATH"
)

release_in_copy first 022
# Zip entry times have a resolution of 2 s: a time stamp of the run that got
# into the archive would differ between the two runs.
sleep 3
release_in_copy second-copy-elsewhere 077 "${hostile_environment[@]}"

first=$work/first
second=$work/second-copy-elsewhere
failures=0
if cmp "$first/build/release/fontctl.exe" "$second/build/release/fontctl.exe"; then
    echo "fontctl.exe byte-identical: $(sha256sum <"$first/build/release/fontctl.exe" | cut -d' ' -f1)"
else
    echo "FAIL: two clean builds of fontctl.exe differ"
    failures=1
fi
if diff -r "$first/dist" "$second/dist"; then
    echo "release byte-identical:"
    cat "$first/dist/SHA256SUMS"
else
    echo "FAIL: the two releases differ"
    failures=1
fi

"$here/check_release.py" "$first/dist" "$version" "$first" || failures=1

# The release's CMake cache passes the check of its flags; with any flag
# added (sed scripts), it must not.
check_flags() {
    "$first/scripts/check_build_flags.sh" "$1" "$first/cmake/mingw-w64-x86_64.cmake"
}
if ! check_flags "$first/build/release"; then
    echo "FAIL: check_build_flags.sh refuses the release's own CMake cache"
    failures=1
fi
flag_cases=(
    's/^CMAKE_CXX_FLAGS:STRING=.*/&-fno-inline/'
    's/^CMAKE_EXE_LINKER_FLAGS:STRING=.*/&-s/'
    's/^CMAKE_RC_FLAGS:STRING=.*/& -DFONTCTL_FROM_THE_ENVIRONMENT/'
    '$aCMAKE_CXX_COMPILER_LAUNCHER:STRING=ccache'
)
mkdir "$work/doctored"
for case in "${flag_cases[@]}"; do
    sed "$case" "$first/build/release/CMakeCache.txt" >"$work/doctored/CMakeCache.txt"
    if cmp -s "$work/doctored/CMakeCache.txt" "$first/build/release/CMakeCache.txt" ||
        check_flags "$work/doctored" 2>/dev/null; then
        echo "FAIL: check_build_flags.sh accepts the release's CMake cache edited with '$case'"
        failures=1
    fi
done
exit "$failures"
