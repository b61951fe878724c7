#!/usr/bin/env bash
# Fails on any finding of shellcheck (every severity) in the project's shell
# scripts: scripts/, test.sh, xlate.sh, bench/, tests/, the CI entry point
# and the Wine runner that CMake configures. A finding that is meant is
# kept with a "shellcheck disable" directive and a comment saying why.
set -euo pipefail
cd "$(dirname "$0")/.."
if ! command -v shellcheck >/dev/null; then
  echo "check-shell: shellcheck is not installed (scripts/install-deps.sh test)" >&2
  exit 2
fi
mapfile -t files < <(git ls-files 'scripts/*.sh' test.sh xlate.sh 'bench/*.sh' 'tests/*.sh' \
  .ci/run cmake/wine-run.sh.in packaging/bash-completion/xlate)
shellcheck "${files[@]}"
echo "check-shell: ${#files[@]} scripts, no findings"
