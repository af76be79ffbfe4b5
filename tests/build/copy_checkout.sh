#!/usr/bin/env bash
# Copies a checkout's files as they are now (tracked files with any edits not
# yet committed, and untracked files that are not ignored) into DEST, a new
# folder, and commits them there in a git repository of its own. The release
# tests run scripts/release.sh, which builds only committed trees, in such a
# copy: they test the developer's work tree as it stands, and need no clean
# checkout. The files get the time of the copy and modes from the umask; the
# commit has a fixed author and date, so two copies of one tree are the same
# commit.
# Usage: copy_checkout.sh SOURCE_DIR DEST
set -euo pipefail
source_dir=$1
dest=$2

mkdir "$dest"
git -C "$source_dir" ls-files -z --cached --others --exclude-standard |
    tar -C "$source_dir" --null --ignore-failed-read -T - -cf - 2>/dev/null |
    tar -C "$dest" --touch --no-same-permissions -xf -

# Nothing of the developer's own git set-up (hooks, signing of commits, line
# end conversion) may act on the copy.
export GIT_CONFIG_GLOBAL=/dev/null GIT_CONFIG_NOSYSTEM=1
export GIT_AUTHOR_NAME=fontctl-tests GIT_AUTHOR_EMAIL=tests@fontctl.invalid
export GIT_COMMITTER_NAME=fontctl-tests GIT_COMMITTER_EMAIL=tests@fontctl.invalid
export GIT_AUTHOR_DATE="2000-01-01T00:00:00+0000" GIT_COMMITTER_DATE="2000-01-01T00:00:00+0000"
git -C "$dest" init -q
git -C "$dest" add -A
git -C "$dest" commit -q -m "The work tree of $(git -C "$source_dir" rev-parse --short HEAD 2>/dev/null || echo '?'), as copied for a test"
