#!/usr/bin/env bash
# Line and branch coverage of the product's code by the Linux tests: builds
# build-coverage/ with gcov counters (-DXLATE_COVERAGE=ON, no optimisation),
# runs ctest there and prints, with gcovr, the covered lines and branches of
# each folder, then of each file from the least covered. A figure to read,
# not a gate: it fails only when the build or gcovr does; failing tests are
# reported and the figures still printed.
# Branches that only an exception takes are left out (--exclude-throw-branches):
# every call that can throw has one.
# Usage: scripts/coverage.sh [BUILD_FOLDER]   (default: build-coverage)
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$here/build-coverage}"
jobs="$(nproc)"
"$here/scripts/install-deps.sh" build run test coverage
start=$(date +%s)

cmake -S "$here" -B "$build" -DCMAKE_BUILD_TYPE=Debug -DXLATE_COVERAGE=ON -DXLATE_TESTS=ON \
  -DXLATE_WERROR=ON >/dev/null
cmake --build "$build" -j"$jobs" >/dev/null
find "$build" -name '*.gcda' -delete
ctest --test-dir "$build" -j"$jobs" >"$build/coverage-ctest.log" 2>&1 ||
  echo "coverage: some tests failed (see $build/coverage-ctest.log); the figures count what ran" >&2
tail -n 3 "$build/coverage-ctest.log" >&2

# The product: everything but the tests, their support, and what the build
# generates.
summary="$build/coverage.json"
(cd "$build" && gcovr --root "$here" --object-directory "$build" \
  --exclude "$here/tests/" --exclude "$here/testsupport/" --exclude "$here/library/apertium/tests/" \
  --exclude "$here/fuzz/" --exclude "$here/bench/" --exclude "$build/" \
  --exclude-throw-branches --gcov-ignore-parse-errors -j "$jobs" \
  --json-summary "$summary" >/dev/null)

python3 - "$summary" <<'PYTHON'
import json, os, sys
files = json.load(open(sys.argv[1]))["files"]
def pct(hit, total):
    return f"{100.0 * hit / total:5.1f}%" if total else "    -"
folders = {}
for f in files:
    folder = os.path.dirname(f["filename"]) or "."
    row = folders.setdefault(folder, [0, 0, 0, 0])
    row[0] += f["line_covered"]; row[1] += f["line_total"]
    row[2] += f["branch_covered"]; row[3] += f["branch_total"]
print(f"{'folder':<24} {'lines':>17}   {'branches':>17}")
total = [0, 0, 0, 0]
for folder, (lc, lt, bc, bt) in sorted(folders.items()):
    total = [a + b for a, b in zip(total, (lc, lt, bc, bt))]
    print(f"{folder:<24} {pct(lc, lt)} {lc:5}/{lt:<5}   {pct(bc, bt)} {bc:5}/{bt:<5}")
lc, lt, bc, bt = total
print(f"{'all':<24} {pct(lc, lt)} {lc:5}/{lt:<5}   {pct(bc, bt)} {bc:5}/{bt:<5}")
print()
print("files from the least covered lines:")
for f in sorted(files, key=lambda f: (f["line_percent"], -f["line_total"]))[:10]:
    print(f"  {f['filename']:<44} lines {pct(f['line_covered'], f['line_total'])}"
          f"  branches {pct(f['branch_covered'], f['branch_total'])}")
PYTHON
echo "coverage: $(($(date +%s) - start)) s; gcovr --root $here --object-directory $build" \
  "--html-details OUT.html shows the lines" >&2
