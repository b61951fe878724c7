#!/usr/bin/env bash
# Builds xlate and its Apertium translation library when needed, then runs
# build/xlate with the parameters given. Installs what the build needs
# first (scripts/packages.txt, groups build and run). Everything it says of
# its own goes to standard error, so standard output holds only what xlate
# prints; a run that needs no build says nothing of its own.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
build="$here/build"
"$here/scripts/install-deps.sh" build run

log="$(mktemp)"
trap 'rm -f "$log" "$log.status"' EXIT

announced=0
if [ ! -f "$build/CMakeCache.txt" ]; then
  echo "Building xlate (first run, about a minute)..." >&2
  announced=1
  cmake -S "$here" -B "$build" -DXLATE_TESTS=OFF >"$log" 2>&1 || {
    cat "$log" >&2
    echo "xlate.sh: configuring the build failed; its output is above." >&2
    rm -f "$build/CMakeCache.txt"
    exit 1
  }
fi
# The build's progress is shown from its first line that compiles or links
# something; a build with nothing to do stays silent. A failed build's
# output is shown whole.
building=0
status="$log.status"
while IFS= read -r line; do
  echo "$line" >>"$log"
  case "$line" in
    *"Building "* | *"Linking "*)
      [ "$building" = 1 ] || [ "$announced" = 1 ] || echo "Building xlate..." >&2
      building=1
      ;;
  esac
  [ "$building" = 0 ] || echo "$line" >&2
done < <(cmake --build "$build" -j"$(nproc)" 2>&1; echo "$?" >"$status")
if [ "$(cat "$status")" != 0 ]; then
  rm -f "$status"
  [ "$building" = 1 ] || cat "$log" >&2
  echo "xlate.sh: the build failed; its output is above." >&2
  exit 1
fi
rm -f "$status"
[ "$building" = 0 ] || echo "Built." >&2
exec "$build/xlate" "$@"
