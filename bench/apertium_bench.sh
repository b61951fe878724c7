#!/usr/bin/env bash
# Throughput of the Apertium translation library against bulk Apertium.
#
# Generates one file of English prose (LINES lines, at least 2000, every line
# different, the same file on every run), then translates it from English to
# Spanish in the same run
#   - in bulk: apertium -u eng-spa < file (one process chain for the whole file;
#     -u gives the same unmarked output as the library's default), and
#   - line by line through libjxZTAccess.so: with build/xlate's file mode when it
#     works, else with zta_line_driver, which makes the same one call per line.
# Each is run ROUNDS times, alternating; the best round of each counts. Prints
# lines per second for both, their ratio, and how many lines came out the same.
#
# usage: bench/apertium_bench.sh [BUILD_DIR]   (default: build)
# environment: LINES (default 2000), ROUNDS (default 3), KEEP=1 keeps the work folder
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:-$here/../build}" && pwd)
lines=${LINES:-2000}
rounds=${ROUNDS:-3}
library="$build/libjxZTAccess.so"

if [ "$lines" -lt 2000 ]; then
  echo "LINES must be at least 2000" >&2
  exit 2
fi
for tool in apertium apertium-wblank-mode; do
  command -v "$tool" > /dev/null || { echo "$tool is not installed" >&2; exit 2; }
done
[ -f "$library" ] || { echo "no $library: build the project first" >&2; exit 2; }

work=$(mktemp -d "${TMPDIR:-/tmp}/apertium_bench.XXXXXX")
if [ "${KEEP:-0}" = 1 ]; then echo "work folder: $work"; else trap 'rm -rf "$work"' EXIT; fi

# The prose: every line different (english_prose.awk says how).
awk -v n="$lines" -f "$here/english_prose.awk" > "$work/prose.txt"
unique=$(sort -u "$work/prose.txt" | wc -l)
# The program reads UTF-8 files with a byte-order mark.
{ printf '\xef\xbb\xbf'; cat "$work/prose.txt"; } > "$work/prose_bom.txt"

# Use the program's file mode if it translates a small file, else the driver.
head -3 "$work/prose.txt" > "$work/probe.txt"
printf '\xef\xbb\xbf' | cat - "$work/probe.txt" > "$work/probe_bom.txt"
mode=driver
if [ -x "$build/xlate" ]; then
  (cd "$work" && "$build/xlate" IFILE=probe_bom.txt OFILE=probe.out LANGFROM=en LANGTO=es \
    ICODING=UTF8 OCODING=UTF8 > /dev/null 2>&1) || true
  if [ -s "$work/probe.out" ] && grep -q "casa\|libro\|mapa\|coche\|amigo" "$work/probe.out"; then
    mode=xlate
  fi
fi
if [ "$mode" = driver ] && [ ! -x "$build/zta_line_driver" ]; then
  echo "neither a working xlate file mode nor $build/zta_line_driver" >&2
  exit 2
fi

now() { date +%s.%N; }
calc() { awk "BEGIN { printf \"%.6f\", $* }"; }
less() { awk "BEGIN { exit !($1 < $2) }"; }
best_bulk=""
best_lib=""
for round in $(seq 1 "$rounds"); do
  start=$(now)
  apertium -u eng-spa < "$work/prose.txt" > "$work/bulk.out"
  bulk=$(calc "$(now) - $start")
  start=$(now)
  if [ "$mode" = xlate ]; then
    (cd "$work" && "$build/xlate" IFILE=prose_bom.txt OFILE=library.out LANGFROM=en LANGTO=es \
      ICODING=UTF8 OCODING=UTF8 > /dev/null)
  else
    "$build/zta_line_driver" "$library" "$work/prose.txt" "$work/library.out" en es > /dev/null
  fi
  lib=$(calc "$(now) - $start")
  printf 'round %d: bulk %.3f s, %s %.3f s\n' "$round" "$bulk" "$mode" "$lib"
  if [ -z "$best_bulk" ] || less "$bulk" "$best_bulk"; then best_bulk=$bulk; fi
  if [ -z "$best_lib" ] || less "$lib" "$best_lib"; then best_lib=$lib; fi
done

# The program writes a byte-order mark and CR LF line ends.
sed '1s/^\xef\xbb\xbf//; s/\r$//' "$work/library.out" > "$work/library.txt"
same=$(paste -d '\n' "$work/bulk.out" "$work/library.txt" | awk 'NR % 2 == 1 { a = $0; next } $0 == a { n++ } END { print n + 0 }')

bulk_rate=$(calc "$lines / $best_bulk")
lib_rate=$(calc "$lines / $best_lib")
printf 'lines: %d (%d different), rounds: %d, line-by-line through: %s\n' "$lines" "$unique" "$rounds" "$mode"
printf 'bulk apertium: %8.1f lines/s\n' "$bulk_rate"
printf 'library:       %8.1f lines/s\n' "$lib_rate"
printf 'ratio:         %8.1f %%\n' "$(calc "100 * $lib_rate / $bulk_rate")"
printf 'same output as bulk: %d of %d lines\n' "$same" "$lines"
