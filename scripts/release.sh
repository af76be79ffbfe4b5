#!/usr/bin/env bash
# Builds a release of fontctl from this checkout into dist/ (wiped first):
#   dist/fontctl-VERSION-win64.zip  what the Windows build installs (the
#                                   programs, README.md, LICENSE and
#                                   CHANGELOG.md), all at its top level
#   dist/*.exe                      a copy of each program in the archive
#   dist/SHA256SUMS                 sha256sum's lines for the archive and
#                                   each program: `sha256sum -c SHA256SUMS`
# VERSION is CMake's project(VERSION). The newest heading of CHANGELOG.md must
# name it; its date is the time of every entry of the archive. The archive
# depends on no time stamp, umask or file order, so a release rebuilt from
# another clone of the same commit has the same bytes.
# Usage: scripts/release.sh
set -euo pipefail
cd "$(dirname "$0")/.."
export LC_ALL=C

scripts/install-deps.sh

if git rev-parse --is-inside-work-tree >/dev/null 2>&1 && [[ -n "$(git status --porcelain)" ]]; then
    echo "release.sh: warning: this checkout has changes that are not committed" >&2
fi

build=build/release
stage=$build/stage
rm -rf "$build" dist
cmake -S . -B "$build" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DCMAKE_BUILD_TYPE=MinSizeRel \
    -DFONTCTL_BUILD_E2E_HELPERS=OFF >/dev/null
cmake --build "$build"
cmake --install "$build" --prefix "$stage" >/dev/null

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
heading=$(grep -m1 '^## ' CHANGELOG.md || true)
day=${heading##* - }
if [[ -z "$version" || "$heading" != "## $version - $day" ]]; then
    echo "release.sh: the newest heading of CHANGELOG.md is '$heading', not '## $version - YYYY-MM-DD'" >&2
    exit 1
fi

archive=fontctl-$version-win64.zip
mkdir dist
/usr/bin/python3 scripts/reproducible_zip.py "$stage" "$day" "dist/$archive"
cp "$stage"/*.exe dist/
(
    cd dist
    sha256sum "$archive" *.exe >SHA256SUMS
    sha256sum --quiet -c SHA256SUMS
)

echo "dist/$archive ($(stat -c %s "dist/$archive") bytes):"
/usr/bin/python3 -m zipfile -l "dist/$archive"
echo "dist/SHA256SUMS:"
cat dist/SHA256SUMS
