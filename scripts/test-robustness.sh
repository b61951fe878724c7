#!/usr/bin/env bash
# The robustness suites: every test under AddressSanitizer and
# UndefinedBehaviorSanitizer, and under ThreadSanitizer, the end-to-end
# tests under valgrind's memcheck, and the fuzz targets for a bounded time.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
jobs="$(nproc)"
"$here/scripts/install-deps.sh" build run test robustness

echo "== AddressSanitizer and UndefinedBehaviorSanitizer"
# The sanitizers own the fault signals, and the double's deliberate faults
# (division by zero, bad pointers) are undefined behaviour they stop at:
# the fault-containment tests run in the plain suites only.
asan="$here/build-asan"
cmake -S "$here" -B "$asan" -DXLATE_SANITIZE=address,undefined -DXLATE_APERTIUM=OFF \
  -DXLATE_WERROR=ON >/dev/null
cmake --build "$asan" -j"$jobs" >/dev/null
ctest --test-dir "$asan" -j"$jobs" --output-on-failure \
  -E 'GuardedLibraryTest|FaultGuardDeathTest|FaultEndToEnd'

echo "== ThreadSanitizer"
# File mode reads ahead on a thread of its own. The fault tests are left out
# as above, and so are those that run the program under a memory limit,
# which the sanitizer's own reservations exceed, and the one whose library
# calls exit(), which ends the process with the reading thread still there
# (the sanitizer takes that for a leak; the program's environment is the
# test's, so TSAN_OPTIONS cannot reach it).
tsan="$here/build-tsan"
cmake -S "$here" -B "$tsan" -DXLATE_SANITIZE=thread -DXLATE_APERTIUM=OFF -DXLATE_WERROR=ON \
  >/dev/null
cmake --build "$tsan" -j"$jobs" >/dev/null
ctest --test-dir "$tsan" -j"$jobs" --output-on-failure \
  -E 'GuardedLibraryTest|FaultGuardDeathTest|FaultEndToEnd|DoNotPileUpInMemory|WhateverEndsAReplace'

echo "== valgrind memcheck over the end-to-end tests"
# valgrind reports the double's deliberate bad pointers as errors, does not
# raise floating-point traps and takes hlt for an illegal instruction: the
# tests of those faults are left out.
plain="${XLATE_TEST_BUILD:-$here/build-test}"
cmake -S "$here" -B "$plain" -DXLATE_WERROR=ON >/dev/null
cmake --build "$plain" -j"$jobs" --target xlate_end_to_end_tests >/dev/null
XLATE_TEST_WRAPPER="valgrind -q --error-exitcode=99 --leak-check=full \
--errors-for-leak-kinds=definite,indirect --show-leak-kinds=definite,indirect" \
  ctest --test-dir "$plain" -j"$jobs" --output-on-failure -R 'EndToEnd' \
  -E 'FaultEndToEnd.(EachFault|AfterAFaulting|AccessViolations|ABatchThatFaults)'

echo "== fuzzing"
"$here/scripts/fuzz.sh"
