#!/usr/bin/env bash
# Installs what the tests need, builds everything with warnings as errors,
# checks the formatting and runs every test: the Linux build's, then the
# Windows build's under Wine (scripts/test-windows.sh). XLATE_WINDOWS=0
# leaves the Windows part out.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
build="${XLATE_TEST_BUILD:-$here/build-test}"
"$here/scripts/install-deps.sh"
cmake -S "$here" -B "$build" -DXLATE_WERROR=ON -DXLATE_TESTS=ON >/dev/null
cmake --build "$build" -j"$(nproc)"
"$here/scripts/check-format.sh"
ctest --test-dir "$build" --output-on-failure -j"$(nproc)"
if [ "${XLATE_WINDOWS:-1}" != 0 ]; then
  "$here/scripts/test-windows.sh"
fi
# XLATE_QUICK=1 stops here; CI runs everything.
[ "${XLATE_QUICK:-0}" = 1 ] && exit 0
XLATE_TEST_BUILD="$build" "$here/scripts/test-robustness.sh"
