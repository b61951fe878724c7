#!/usr/bin/env bash
# Fails when a C++ file of ours differs from what clang-format makes of it.
set -euo pipefail
cd "$(dirname "$0")/.."
files=$(git ls-files '*.cpp' '*.h' 2>/dev/null | grep -v '^common/CodePageTables.cpp$' || true)
[ -z "$files" ] && exit 0
# shellcheck disable=SC2086
if ! clang-format --dry-run --Werror $files; then
  echo "Formatting differs; run: clang-format -i \$(git ls-files '*.cpp' '*.h')" >&2
  exit 1
fi
