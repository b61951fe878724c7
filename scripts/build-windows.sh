#!/usr/bin/env bash
# Cross-compiles the 32-bit Windows console program build-win/xlate.exe,
# its test double build-win/testdouble/jxZTAccess.dll and the tests, with
# the mingw-w64 cross compiler; installs what that needs when missing.
# XLATE_WIN_BUILD names another build folder; arguments go to CMake's
# configure step (e.g. -DXLATE_WERROR=ON, -DXLATE_TESTS=OFF).
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
build="${XLATE_WIN_BUILD:-$here/build-win}"
"$here/scripts/install-deps.sh" g++-mingw-w64-i686 googletest cmake make
cmake -S "$here" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$here/cmake/mingw-w64-i686.cmake" "$@" \
  >/dev/null
cmake --build "$build" -j"$(nproc)"
