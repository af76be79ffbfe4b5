#!/usr/bin/env bash
# Sets up a fresh Debian machine, builds everything and runs every test.
set -euo pipefail
cd "$(dirname "$0")"

scripts/install-deps.sh
scripts/build.sh
# Two at a time: the end-to-end entries wait on Wine as much as they compute,
# and no two entries share a folder, a Wine prefix or an X server.
ctest --test-dir build/native --output-on-failure --parallel 2
