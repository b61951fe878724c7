#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for a bounded time
# (FUZZ_SECONDS, default 30), starting from the seeds in fuzz/corpus. Prints
# the number of executions of each; fails when a target finds a fault.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
build="${XLATE_FUZZ_BUILD:-$here/build-fuzz}"
seconds="${FUZZ_SECONDS:-30}"
"$here/scripts/install-deps.sh" robustness
CXX=clang++ cmake -S "$here" -B "$build" -DXLATE_FUZZ=ON -DXLATE_TESTS=OFF -DXLATE_APERTIUM=OFF \
  -DXLATE_WERROR=ON >/dev/null
cmake --build "$build" -j"$(nproc)" >/dev/null
status=0
for seeds in "$here"/fuzz/corpus/*/; do
  target="$(basename "$seeds")"
  corpus="$build/corpus/$target"
  mkdir -p "$corpus"
  cp -n "$seeds"* "$corpus/" 2>/dev/null || true
  log="$build/fuzz_$target.log"
  if "$build/fuzz_$target" -max_total_time="$seconds" -print_final_stats=1 \
      -artifact_prefix="$build/crash-$target-" "$corpus" >"$log" 2>&1; then
    echo "fuzz_$target: $(grep -o 'Done [0-9]* runs in [0-9]* second(s)' "$log")"
  else
    echo "fuzz_$target FOUND A FAULT:" >&2
    tail -n 30 "$log" >&2
    status=1
  fi
done
exit $status
