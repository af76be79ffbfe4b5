#!/usr/bin/env bash
# Builds a release of fontctl from this checkout into dist/ (wiped first):
#   dist/fontctl-VERSION-win64.zip  what the Windows build installs: at its
#                                   top level the programs, README.md,
#                                   LICENSE and CHANGELOG.md; the guides
#                                   under docs/; the example callers under
#                                   examples/cmd/ and examples/nsis/
#   dist/*.exe                      a copy of each program in the archive
#   dist/BUILDINFO                  the commit, the version and the Debian
#                                   packages that built it
#   dist/SHA256SUMS                 sha256sum's lines for the archive, each
#                                   program and BUILDINFO:
#                                   `sha256sum -c SHA256SUMS`
# VERSION is CMake's project(VERSION). The newest version heading of
# CHANGELOG.md (an "## Unreleased" one above it aside) must name it; its date is the time of every entry of the archive. The archive
# depends on no time stamp, umask or file order, so a release rebuilt from
# another clone of the same commit has the same bytes. A release is built only
# from a commit: the script refuses a checkout with changes that are not
# committed, untracked files that are not ignored included.
#
# Nor does the builder's environment reach the bytes: CMake, the compilers,
# the linker and Python read flags, compilers, search paths and modules from
# variables (CXXFLAGS, LDFLAGS, CPATH, COMPILER_PATH, CMAKE_*, DESTDIR,
# PYTHONPATH and more), so the build runs with a fixed environment that lets
# none of them through (an allow-list, not a list of variables to clear, which
# would miss the ones nobody thought of): Debian's programs in /usr/bin and
# /bin, an empty home and temporary folder, LC_ALL=C, TZ=UTC, umask 022. The
# build folder is made anew every time, and the flags in its CMake cache are
# checked to be the commit's alone (scripts/check_build_flags.sh).
#
# Signing: the programs are signed before they are packed, by
# scripts/sign_programs.sh (see there), with FONTCTL_SIGN_PKCS12 and
# FONTCTL_SIGN_PASSWORD_FILE (FONTCTL_SIGN_TIMESTAMP_URL optionally). Their
# certificate is checked before anything is built
# (scripts/check_signing_certificate.sh: valid now, for code signing), and
# what it is goes into the log, never into a published file. An unsigned
# release must be asked for with --unsigned: without it, and without the
# signing variables, the script stops before building, so that a release job
# whose secrets went missing cannot publish unsigned programs unnoticed.
# --unsigned together with any signing variable is refused as contradictory.
# Either way, the programs with any signature removed are the bytes the commit
# builds.
# Usage: scripts/release.sh [--unsigned]
set -euo pipefail
cd "$(dirname "$0")/.."
export LC_ALL=C

usage="usage: scripts/release.sh [--unsigned]
  signed:   FONTCTL_SIGN_PKCS12=FILE.p12 FONTCTL_SIGN_PASSWORD_FILE=FILE scripts/release.sh
            (FONTCTL_SIGN_TIMESTAMP_URL=URL to time-stamp the signatures)
  unsigned: scripts/release.sh --unsigned"
unsigned=
for argument in "$@"; do
    case $argument in
    --unsigned) unsigned=yes ;;
    -h | --help)
        echo "$usage"
        exit 0
        ;;
    *)
        echo "release.sh: unknown argument '$argument'" >&2
        echo "$usage" >&2
        exit 2
        ;;
    esac
done

# git takes the repository, work tree and index from GIT_* variables: the
# commit checked and named must be this checkout's.
for variable in $(compgen -e); do
    if [[ "$variable" == GIT_* ]]; then
        unset "$variable"
    fi
done
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

signing_settings=${FONTCTL_SIGN_PKCS12:-}${FONTCTL_SIGN_PASSWORD_FILE:-}${FONTCTL_SIGN_TIMESTAMP_URL:-}
if [[ -n "$unsigned" && -n "$signing_settings" ]]; then
    echo "release.sh: --unsigned, yet FONTCTL_SIGN_* variables are set: sign or not? Unset them for an unsigned release, or leave out --unsigned to sign" >&2
    exit 1
fi
if [[ -z "$unsigned" ]]; then
    if [[ -z "$signing_settings" ]]; then
        echo "release.sh: no signing settings. To sign the programs, set FONTCTL_SIGN_PKCS12 and FONTCTL_SIGN_PASSWORD_FILE (docs/making-a-release.md, \"Signing a release\"); to release them unsigned, pass --unsigned" >&2
        echo "$usage" >&2
        exit 1
    fi
    if [[ -z "${FONTCTL_SIGN_PKCS12:-}${FONTCTL_SIGN_PASSWORD_FILE:-}" ]]; then
        echo "release.sh: FONTCTL_SIGN_TIMESTAMP_URL is set, but FONTCTL_SIGN_PKCS12 and FONTCTL_SIGN_PASSWORD_FILE are not: nothing to time-stamp" >&2
        exit 1
    fi
    for variable in FONTCTL_SIGN_PKCS12 FONTCTL_SIGN_PASSWORD_FILE; do
        if [[ -z "${!variable:-}" || ! -f "${!variable}" || ! -r "${!variable}" ]]; then
            echo "release.sh: to sign, both FONTCTL_SIGN_PKCS12 and FONTCTL_SIGN_PASSWORD_FILE must name readable files ($variable is '${!variable:-}')" >&2
            exit 1
        fi
    done
fi

scripts/install-deps.sh

if [[ -z "$unsigned" ]]; then
    scripts/check_signing_certificate.sh "$FONTCTL_SIGN_PKCS12" "$FONTCTL_SIGN_PASSWORD_FILE"
fi

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
# The environment of every step that makes a published file (see above).
clean_environment=(env -i PATH=/usr/bin:/bin HOME="$scratch" TMPDIR="$scratch" LC_ALL=C TZ=UTC)
umask 022

build=build/release
stage=$build/stage
rm -rf "$build" dist
"${clean_environment[@]}" cmake --preset release >/dev/null
scripts/check_build_flags.sh "$build" cmake/mingw-w64-x86_64.cmake
"${clean_environment[@]}" cmake --build "$build"
"${clean_environment[@]}" cmake --install "$build" --prefix "$stage" >/dev/null

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
heading=$(grep -m1 '^## [0-9]' CHANGELOG.md || true)
day=${heading##* - }
if [[ -z "$version" || "$heading" != "## $version - $day" ]]; then
    echo "release.sh: the newest heading of CHANGELOG.md is '$heading', not '## $version - YYYY-MM-DD'" >&2
    exit 1
fi

if [[ -z "$unsigned" ]]; then
    scripts/sign_programs.sh "$stage"/*.exe
fi

archive=fontctl-$version-win64.zip
mkdir dist
"${clean_environment[@]}" /usr/bin/python3 -I scripts/reproducible_zip.py "$stage" "$day" "dist/$archive"
cp "$stage"/*.exe dist/
"${clean_environment[@]}" /usr/bin/python3 -I scripts/write_buildinfo.py "$build" "$commit" "$version" dist/BUILDINFO
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
if [[ -n "$unsigned" ]]; then
    echo "release.sh: the programs are not signed, as asked (--unsigned)"
fi
