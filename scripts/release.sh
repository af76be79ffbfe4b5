#!/usr/bin/env bash
# Builds a release of fontctl from this checkout into dist/ (wiped first):
#   dist/fontctl-VERSION-win64.zip  what the Windows build installs: at its
#                                   top level the programs, README.md,
#                                   LICENSE and CHANGELOG.md; the example
#                                   callers under examples/cmd/ and
#                                   examples/nsis/
#   dist/*.exe                      a copy of each program in the archive
#   dist/BUILDINFO                  the commit, the version and the Debian
#                                   packages that built it
#   dist/SHA256SUMS                 sha256sum's lines for the archive, each
#                                   program and BUILDINFO:
#                                   `sha256sum -c SHA256SUMS`
# VERSION is CMake's project(VERSION). The newest heading of CHANGELOG.md must
# name it; its date is the time of every entry of the archive. The archive
# depends on no time stamp, umask or file order, so a release rebuilt from
# another clone of the same commit has the same bytes. A release is built only
# from a commit: the script refuses a checkout with changes that are not
# committed, untracked files that are not ignored included.
#
# Signing: when FONTCTL_SIGN_PKCS12 and FONTCTL_SIGN_PASSWORD_FILE are set
# (FONTCTL_SIGN_TIMESTAMP_URL optionally), the programs are signed before they
# are packed, by scripts/sign_programs.sh (see there); without them the
# release is unsigned. Either way, the programs with any signature removed are
# the bytes the commit builds.
# Usage: scripts/release.sh
set -euo pipefail
cd "$(dirname "$0")/.."
export LC_ALL=C

top=$(git rev-parse --show-toplevel 2>&1 || true)
if [[ "$top" != "$(pwd -P)" ]]; then
    echo "release.sh: $(pwd -P) is not the top of a git checkout: a release is built from a commit, and names it ($top)" >&2
    exit 1
fi
# Files marked assume-unchanged or skip-worktree would hide their edits from
# git status: only plainly tracked files (tag H) are accepted.
changes=$(git status --porcelain --untracked-files=all; git ls-files -v | grep -v '^H ' || true)
if [[ -n "$changes" ]]; then
    echo "release.sh: this checkout has changes that are not committed; a release must be rebuildable from its commit. Commit or remove them (or release from a clean clone):" >&2
    head -n 20 <<<"$changes" | sed 's/^/  /' >&2
    exit 1
fi
commit=$(git rev-parse --verify HEAD)

signing=
if [[ -n "${FONTCTL_SIGN_PKCS12:-}${FONTCTL_SIGN_PASSWORD_FILE:-}" ]]; then
    for variable in FONTCTL_SIGN_PKCS12 FONTCTL_SIGN_PASSWORD_FILE; do
        if [[ -z "${!variable:-}" || ! -f "${!variable}" || ! -r "${!variable}" ]]; then
            echo "release.sh: to sign, both FONTCTL_SIGN_PKCS12 and FONTCTL_SIGN_PASSWORD_FILE must name readable files ($variable is '${!variable:-}')" >&2
            exit 1
        fi
    done
    signing=yes
elif [[ -n "${FONTCTL_SIGN_TIMESTAMP_URL:-}" ]]; then
    echo "release.sh: FONTCTL_SIGN_TIMESTAMP_URL is set, but FONTCTL_SIGN_PKCS12 and FONTCTL_SIGN_PASSWORD_FILE are not: nothing to time-stamp" >&2
    exit 1
fi

scripts/install-deps.sh

build=build/release
stage=$build/stage
rm -rf "$build" dist
cmake --preset release >/dev/null
cmake --build "$build"
cmake --install "$build" --prefix "$stage" >/dev/null

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
heading=$(grep -m1 '^## ' CHANGELOG.md || true)
day=${heading##* - }
if [[ -z "$version" || "$heading" != "## $version - $day" ]]; then
    echo "release.sh: the newest heading of CHANGELOG.md is '$heading', not '## $version - YYYY-MM-DD'" >&2
    exit 1
fi

if [[ -n "$signing" ]]; then
    scripts/sign_programs.sh "$stage"/*.exe
fi

archive=fontctl-$version-win64.zip
mkdir dist
/usr/bin/python3 scripts/reproducible_zip.py "$stage" "$day" "dist/$archive"
cp "$stage"/*.exe dist/
/usr/bin/python3 scripts/write_buildinfo.py "$build" "$commit" "$version" dist/BUILDINFO
(
    cd dist
    sha256sum "$archive" *.exe BUILDINFO >SHA256SUMS
    sha256sum --quiet -c SHA256SUMS
)

echo "dist/$archive ($(stat -c %s "dist/$archive") bytes):"
/usr/bin/python3 -m zipfile -l "dist/$archive"
echo "dist/BUILDINFO:"
cat dist/BUILDINFO
echo "dist/SHA256SUMS:"
cat dist/SHA256SUMS
if [[ -z "$signing" ]]; then
    echo "release.sh: the programs are not signed (set FONTCTL_SIGN_PKCS12 and FONTCTL_SIGN_PASSWORD_FILE to sign them)"
fi
