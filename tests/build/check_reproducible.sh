#!/usr/bin/env bash
# Runs scripts/release.sh in two copies of the source's work tree: in
# folders whose names differ in length, made and built at different times and
# under different umasks. Both must give a byte-identical fontctl.exe and a
# byte-identical release (archive, program copies, BUILDINFO, SHA256SUMS), and the
# release must be sound (check_release.py).
# Usage: check_reproducible.sh SOURCE_DIR VERSION
set -euo pipefail
source_dir=$1
version=$2
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Copies the work tree into $work/NAME and commits it there (copy_checkout.sh:
# files get the time of the copy, modes follow the umask) and runs the release
# script in that copy.
release_in_copy() {
    local name=$1 mask=$2
    (
        umask "$mask"
        "$here/copy_checkout.sh" "$source_dir" "$work/$name"
        if ! "$work/$name/scripts/release.sh" >"$work/$name.log" 2>&1; then
            echo "FAIL: release.sh failed in the copy $name"
            cat "$work/$name.log"
            exit 1
        fi
    )
}

release_in_copy first 022
# Zip entry times have a resolution of 2 s: a time stamp of the run that got
# into the archive would differ between the two runs.
sleep 3
release_in_copy second-copy-elsewhere 077

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
exit "$failures"
