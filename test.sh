#!/usr/bin/env bash
# Installs what the tests need, builds everything with warnings as errors,
# checks the formatting, the names, the folders' layering and the shell
# scripts (shellcheck), and runs every test: the Linux build's, the Debian package made from it
# (scripts/test-package.sh), then the Windows build's under Wine
# (scripts/test-windows.sh), then the README's two commands on a freshly
# bootstrapped Debian root (scripts/test-fresh-machine.sh), then the
# robustness suites.
# XLATE_WINDOWS=0 leaves the Windows part out, XLATE_FRESH=0 the fresh
# machine; XLATE_QUICK=1 stops before the robustness suites; XLATE_CHECKS=0
# leaves out the checks of the sources (format, names, layers, shell), which
# the fresh machine's run does as the machine itself checked the same commit.
# With no change beside the commit, the Linux suite runs once, in the fresh
# root, which tests that commit; with changes it runs here too. Each stage's
# time is printed at the end, also when one fails.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
build="${XLATE_TEST_BUILD:-$here/build-test}"

times=()
print_times() {
  [ "${#times[@]}" -gt 0 ] || return 0
  echo "== Stage times" >&2
  printf '  %s\n' "${times[@]}" >&2
}
trap print_times EXIT
stage() {
  local name="$1" begin status=0
  shift
  begin=$(date +%s)
  "$@" || status=$?
  times+=("$(printf '%-22s %4d s' "$name" $(($(date +%s) - begin)))$([ "$status" = 0 ] || echo " (failed)")")
  return "$status"
}
linux_build() {
  cmake -S "$here" -B "$build" -DXLATE_WERROR=ON -DXLATE_TESTS=ON >/dev/null
  cmake --build "$build" -j"$(nproc)"
}

stage "packages" "$here/scripts/install-deps.sh" build run test pairs
stage "Linux build" linux_build
if [ "${XLATE_CHECKS:-1}" != 0 ]; then
  stage "format check" "$here/scripts/check-format.sh"
  stage "naming check" "$here/scripts/check-naming.sh" "$build"
  stage "layer check" "$here/scripts/check-layers.sh"
  stage "shellcheck" "$here/scripts/check-shell.sh"
fi
fresh="${XLATE_FRESH:-1}"
if [ "$fresh" != 0 ] && [ -z "$(git -C "$here" status --porcelain 2>/dev/null || echo changed)" ]; then
  echo "Linux tests: run in the fresh root below, over this same commit" >&2
else
  stage "Linux tests" ctest --test-dir "$build" --output-on-failure -j"$(nproc)"
fi
stage "Debian package" "$here/scripts/test-package.sh" "$build"
if [ "${XLATE_WINDOWS:-1}" != 0 ]; then
  stage "Windows build+tests" "$here/scripts/test-windows.sh"
fi
if [ "$fresh" != 0 ]; then
  stage "fresh machine" "$here/scripts/test-fresh-machine.sh"
else
  echo "XLATE_FRESH=0: the fresh-machine stage is left out" >&2
fi
[ "${XLATE_QUICK:-0}" = 1 ] && exit 0
stage "robustness suites" env XLATE_TEST_BUILD="$build" FUZZ_SECONDS="${FUZZ_SECONDS:-10}" \
  "$here/scripts/test-robustness.sh"
