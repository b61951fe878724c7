#!/usr/bin/env bash
# Installs what the tests need, builds everything with warnings as errors,
# checks the formatting and runs every test.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
build="${XLATE_TEST_BUILD:-$here/build-test}"
"$here/scripts/install-deps.sh"
cmake -S "$here" -B "$build" -DXLATE_WERROR=ON -DXLATE_TESTS=ON >/dev/null
cmake --build "$build" -j"$(nproc)"
"$here/scripts/check-format.sh"
ctest --test-dir "$build" --output-on-failure -j"$(nproc)"
# XLATE_QUICK=1 stops here; CI runs everything.
[ "${XLATE_QUICK:-0}" = 1 ] && exit 0
XLATE_TEST_BUILD="$build" "$here/scripts/test-robustness.sh"
