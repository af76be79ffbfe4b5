#!/usr/bin/env bash
# Checks that a release build folder's CMake cache holds no flags but the
# commit's. CMake fills CMAKE_<LANG>_FLAGS and CMAKE_<KIND>_LINKER_FLAGS from
# CFLAGS, CXXFLAGS, RCFLAGS and LDFLAGS on the first configure, and takes
# CMAKE_<LANG>_COMPILER_LAUNCHER and CMAKE_<LANG>_LINKER_LAUNCHER from
# variables of those names: release.sh configures a new folder with none of
# them set, so each of those flags must be empty, but for the resource
# compiler's, which the toolchain file sets, and there must be no launcher.
# (The per-configuration flags, CMAKE_CXX_FLAGS_MINSIZEREL and so on, come from
# CMake's own modules, which no variable changes.)
# Usage: check_build_flags.sh BUILD_DIR TOOLCHAIN_FILE
set -euo pipefail
export LC_ALL=C

if (($# != 2)); then
    echo "usage: check_build_flags.sh BUILD_DIR TOOLCHAIN_FILE" >&2
    exit 2
fi
cache=$1/CMakeCache.txt
rc_flags=$(sed -n 's/^set(CMAKE_RC_FLAGS_INIT "\(.*\)")$/\1/p' "$2")
if [[ -z "$rc_flags" ]]; then
    echo "check_build_flags.sh: $2 sets no CMAKE_RC_FLAGS_INIT" >&2
    exit 1
fi

found=0
unexpected=()
while IFS= read -r line; do
    name=${line%%:*}
    value=${line#*=}
    expected=
    if [[ "$name" == CMAKE_RC_FLAGS ]]; then
        expected=$rc_flags
    fi
    if [[ "$name" == *_FLAGS ]]; then
        found=$((found + 1))
    fi
    if [[ "$name" == *_LAUNCHER || "$value" != "$expected" ]]; then
        unexpected+=("$line")
    fi
done < <(grep -E '^CMAKE_[A-Z0-9_]+_(FLAGS|COMPILER_LAUNCHER|LINKER_LAUNCHER):' "$cache")

# A cache without them is not one that CMake configured for this project.
if ((found == 0)); then
    echo "check_build_flags.sh: $cache holds no CMAKE_*_FLAGS entries" >&2
    exit 1
fi
if ((${#unexpected[@]} > 0)); then
    echo "check_build_flags.sh: $cache holds flags that the release does not set; a release must be built with the commit's flags alone:" >&2
    printf '  %s\n' "${unexpected[@]}" >&2
    exit 1
fi
