#!/usr/bin/env bash
# Builds xlate and its Apertium translation library when needed, then runs
# build/xlate with the parameters given.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
"$here/scripts/install-deps.sh" g++ cmake make apertium apertium-eng-spa
if [ ! -f "$here/build/CMakeCache.txt" ]; then
  cmake -S "$here" -B "$here/build" -DXLATE_TESTS=OFF >/dev/null
fi
cmake --build "$here/build" -j"$(nproc)" >/dev/null
exec "$here/build/xlate" "$@"
