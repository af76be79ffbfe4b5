#!/usr/bin/env bash
# Checks that a built program carries the one version of the project: its
# FILEVERSION and PRODUCTVERSION, its FileVersion and ProductVersion strings
# and the newest version heading of CHANGELOG.md (below an "## Unreleased"
# one, where changes since the last release gather) all name the CMake
# version, and its LegalCopyright is the copyright line of LICENSE.
# Usage: check_version.sh EXE VERSION SOURCE_DIR
set -euo pipefail
exe=$1
version=$2
source_dir=$3
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

[[ "$version" =~ ^[0-9]+\.[0-9]+\.[0-9]+$ ]] || fail "the CMake version '$version' is not MAJOR.MINOR.PATCH"
IFS=. read -r major minor patch <<<"$version"
# How windres prints the fixed part of the version information.
binary="$major, $minor, $patch, 0"

resources=$(x86_64-w64-mingw32-windres -i "$exe" -O rc)
fixed() { sed -n "s/^ *$1 //p" <<<"$resources"; }
text() { sed -n "s/^ *VALUE \"$1\", \"\(.*\)\"\$/\1/p" <<<"$resources"; }

for field in FILEVERSION PRODUCTVERSION; do
    [[ "$(fixed $field)" == "$binary" ]] || fail "$field is '$(fixed $field)', not '$binary'"
done
for name in FileVersion ProductVersion; do
    [[ "$(text $name)" == "$version" ]] || fail "$name is '$(text $name)', not '$version'"
done

copyright=$(grep -m1 '^Copyright (c) ' "$source_dir/LICENSE" || true)
[[ -n "$copyright" ]] || fail "LICENSE has no copyright line"
[[ "$(text LegalCopyright)" == "$copyright" ]] ||
    fail "LegalCopyright is '$(text LegalCopyright)', not LICENSE's '$copyright'"

heading=$(grep -m1 '^## [0-9]' "$source_dir/CHANGELOG.md" || true)
day=${heading##* - }
if [[ "$heading" != "## $version - $day" ]] || [[ "$(date -d "$day" +%F 2>/dev/null)" != "$day" ]]; then
    fail "the newest heading of CHANGELOG.md is '$heading', not '## $version - YYYY-MM-DD'"
fi

echo "FILEVERSION $(fixed FILEVERSION); PRODUCTVERSION $(fixed PRODUCTVERSION)"
echo "FileVersion $(text FileVersion); ProductVersion $(text ProductVersion)"
echo "LegalCopyright $(text LegalCopyright)"
echo "CHANGELOG.md: $heading"
exit $((failures > 0))
