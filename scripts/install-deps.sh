#!/usr/bin/env bash
# Installs, from Debian's packages, whatever the build and the tests need and
# this machine lacks. Runs `apt-get update` only when something is missing.
# Then the workflow linter, from the npm registry, into the checkout's build/.
# Works on Debian 12 and 13: packages named with a version (clang's runtime)
# are named here by the package that follows Debian's default version.
set -euo pipefail

packages=(
    cmake ninja-build g++ libgtest-dev
    g++-mingw-w64-x86-64 binutils-mingw-w64-x86-64
    g++-mingw-w64-x86-64-win32 osslsigncode openssl
    wine wine64 wine64-preloader xvfb locales python3-fonttools python3-pefile nsis
    clang libclang-rt-dev clang-tidy clang-format cppcheck
    "$@"
)

missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q '^install ok installed$'; then
        missing+=("$package")
    fi
done
# Node.js and npm, for the workflow linter: Debian's, unless the machine has
# them already from elsewhere (Debian's npm would not go with those).
if ! command -v node >/dev/null || ! command -v npm >/dev/null; then
    missing+=(nodejs npm)
fi

if ((${#missing[@]} > 0)); then
    echo "installing: ${missing[*]}"
    sudo_cmd=()
    if ((EUID != 0)); then
        sudo_cmd=(sudo)
    fi
    "${sudo_cmd[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

scripts_dir=$(dirname "$0")
"$scripts_dir/install-actionlint.sh"
