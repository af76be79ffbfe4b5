#!/usr/bin/env bash
# Builds fontctl.exe twice from copies of the source in two different folders
# and checks that the two executables are byte-identical.
set -euo pipefail
source_dir=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

for copy in first second-copy-elsewhere; do
    mkdir -p "$work/$copy"
    cp -r "$source_dir"/{CMakeLists.txt,cmake,src,res} "$work/$copy/"
    [[ -d "$source_dir/tests" ]] && cp -r "$source_dir/tests" "$work/$copy/"
    [[ -d "$source_dir/bench" ]] && cp -r "$source_dir/bench" "$work/$copy/"
    cmake -S "$work/$copy" -B "$work/$copy/out-$copy" -G Ninja \
        -DCMAKE_TOOLCHAIN_FILE="$work/$copy/cmake/mingw-w64-x86_64.cmake" \
        -DCMAKE_BUILD_TYPE=MinSizeRel >/dev/null
    cmake --build "$work/$copy/out-$copy" --target fontctl >/dev/null
done

if cmp "$work/first/out-first/fontctl.exe" "$work/second-copy-elsewhere/out-second-copy-elsewhere/fontctl.exe"; then
    echo "byte-identical: $(sha256sum <"$work/first/out-first/fontctl.exe" | cut -d' ' -f1)"
else
    echo "FAIL: two clean builds differ"
    exit 1
fi
