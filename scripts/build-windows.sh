#!/usr/bin/env bash
# Cross-compiles the 32-bit Windows console program build-win/xlate.exe,
# its test double build-win/testdouble/jxZTAccess.dll and the tests, with
# the mingw-w64 cross compiler; installs what that needs when missing.
# XLATE_WIN_ARCH=x86_64 builds the same for 64-bit Windows into build-win64
# instead (the tests' build on machines that cannot run 32-bit code).
# XLATE_WIN_BUILD names another build folder; arguments go to CMake's
# configure step (e.g. -DXLATE_WERROR=ON, -DXLATE_TESTS=OFF).
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
arch="${XLATE_WIN_ARCH:-i686}"
case "$arch" in
  i686) default_build="$here/build-win" ;;
  x86_64) default_build="$here/build-win64" ;;
  *) echo "XLATE_WIN_ARCH must be i686 or x86_64, not $arch" >&2; exit 2 ;;
esac
build="${XLATE_WIN_BUILD:-$default_build}"
"$here/scripts/install-deps.sh" "windows-$arch"
cmake -S "$here" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$here/cmake/mingw-w64-$arch.cmake" "$@" \
  >/dev/null
cmake --build "$build" -j"$(nproc)"

# The download: build-win/xlate-<version>-win32.zip (from the 32-bit build)
# holding xlate.exe, the Apertium library jxZTAccess.dll, which translates
# through the APY server named by ZTA_SERVER, and README.txt on setting it.
# CPack's own zip writer makes it; no zip program is needed.
make_zip() {
  (cd "$1" && cpack -G ZIP >/dev/null)
  ls "$1"/xlate-*-win*.zip
}
make_zip "$build"
