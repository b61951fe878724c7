#!/usr/bin/env bash
# Builds the Windows program and its tests with warnings as errors (see
# build-windows.sh) and runs every test under Wine, in the build folder's
# own Wine prefix, headless. Installs the cross compiler and Wine (with
# its 32-bit part, from the i386 architecture) when missing.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
build="${XLATE_WIN_BUILD:-$here/build-win}"
start=$(date +%s)

sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  echo "Adding the i386 architecture for Wine's 32-bit part" >&2
  $sudo dpkg --add-architecture i386
  $sudo apt-get update -qq
fi
"$here/scripts/install-deps.sh" g++-mingw-w64-i686 googletest cmake make wine wine32:i386

XLATE_WIN_BUILD="$build" "$here/scripts/build-windows.sh" -DXLATE_WERROR=ON -DXLATE_TESTS=ON

export WINEPREFIX="$build/wineprefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
export DISPLAY=
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "Making the Wine prefix $WINEPREFIX" >&2
  wineboot -i >/dev/null 2>&1
fi
# One Wine server for the whole run, so that no test pays for starting one;
# it is stopped again at the end.
wineserver -p || true
trap 'wineserver -k 2>/dev/null || true' EXIT

ctest --test-dir "$build" --output-on-failure -j"$(nproc)"
echo "Windows build and tests under Wine: $(($(date +%s) - start)) s" >&2
