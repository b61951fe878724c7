#!/usr/bin/env bash
# Throughput of the Apertium translation library against bulk Apertium.
#
# Generates one file of English prose (LINES lines, at least 2000, every line
# different, the same file on every run), then translates it from English to
# Spanish in the same run
#   - in bulk: apertium -u eng-spa < file (one process chain for the whole file;
#     -u gives the same unmarked output as the library's default), and
#   - through libjxZTAccess.so: with build/xlate's file mode when it works (a
#     block of lines per call, through the batch entry point), else with
#     zta_line_driver, which makes one call per line.
# Each is run ROUNDS times, alternating; the best round of each counts. Prints
# lines per second for both, their ratio, the processor time (user and
# system, the chains' processes included) per line of each, best of the
# rounds, which a loaded machine disturbs less than the wall time, and how
# many lines came out the same.
#
# Then the batch entry point (ztaTranslateBatch) through zta_line_driver, BATCH
# lines per call, with one chain (pinned to one processor, and free to use
# any) and two chains (ZTA_CHAINS), each against bulk Apertium and line by
# line on the same processors: the whole machine restricted to CORES_LIST
# (taskset -c 0, then -c 0,1; on one processor the library bounds ZTA_CHAINS=2
# to one chain). A table gives lines per second, the ratio to
# bulk Apertium on the same processors, and how many lines are the same as
# bulk's.
#
# Another pair or text: MODE (default eng-spa) with FROM and TO (default en,
# es) names the pair, INPUT a UTF-8 text file to translate instead of the
# prose (LINES is then its line count), FORMAT=html translates it as HTML
# (apertium -f html, ZTA_FORMAT=html). For Portuguese or Galician text, the
# prose through bulk Apertium serves: KEEP=1 keeps bulk.out (Spanish), which
# apertium -u es-pt and then pt-gl make Portuguese and Galician.
#
# usage: bench/apertium_bench.sh [BUILD_DIR]   (default: build)
# environment: LINES (default 2000), ROUNDS (default 3), BATCH (default 256),
#   CORES_LIST (default "0 0,1"; empty skips the table), KEEP=1 keeps the work folder,
#   MODE, FROM, TO, INPUT, FORMAT (above)
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:-$here/../build}" && pwd)
lines=${LINES:-2000}
rounds=${ROUNDS:-3}
batch=${BATCH:-256}
cores_list=${CORES_LIST-"0 0,1"}
mode_name=${MODE:-eng-spa}
from=${FROM:-en}
to=${TO:-es}
format=${FORMAT:-txt}
input=${INPUT:-}
library="$build/libjxZTAccess.so"

if [ -z "$input" ] && [ "$lines" -lt 2000 ]; then
  echo "LINES must be at least 2000" >&2
  exit 2
fi
case "$format" in
  txt | html) ;;
  *) echo "FORMAT must be txt or html" >&2; exit 2 ;;
esac
for tool in apertium apertium-wblank-mode /usr/bin/time; do
  command -v "$tool" > /dev/null || { echo "$tool is not installed" >&2; exit 2; }
done
[ -f "$library" ] || { echo "no $library: build the project first" >&2; exit 2; }
[ -z "$input" ] || [ -f "$input" ] || { echo "no $input" >&2; exit 2; }

work=$(mktemp -d "${TMPDIR:-/tmp}/apertium_bench.XXXXXX")
if [ "${KEEP:-0}" = 1 ]; then echo "work folder: $work"; else trap 'rm -rf "$work"' EXIT; fi

if [ -n "$input" ]; then
  sed '1s/^\xef\xbb\xbf//; s/\r$//' "$input" > "$work/prose.txt"
  lines=$(wc -l < "$work/prose.txt")
else
  # The prose: every line different (english_prose.awk says how).
  awk -v n="$lines" -f "$here/english_prose.awk" > "$work/prose.txt"
fi
export ZTA_FORMAT=$format
unique=$(sort -u "$work/prose.txt" | wc -l)
# The program reads UTF-8 files with a byte-order mark.
{ printf '\xef\xbb\xbf'; cat "$work/prose.txt"; } > "$work/prose_bom.txt"

# Use the program's file mode if it translates a small file, else the driver.
head -3 "$work/prose.txt" > "$work/probe.txt"
printf '\xef\xbb\xbf' | cat - "$work/probe.txt" > "$work/probe_bom.txt"
mode=driver
if [ -x "$build/xlate" ]; then
  (cd "$work" && "$build/xlate" IFILE=probe_bom.txt OFILE=probe.out LANGFROM="$from" \
    LANGTO="$to" ICODING=UTF8 OCODING=UTF8 > /dev/null 2>&1) || true
  if [ -s "$work/probe.out" ] && ! grep -q "Can't" "$work/probe.out" &&
    ! cmp -s "$work/probe_bom.txt" "$work/probe.out"; then
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
# Runs a command under /usr/bin/time: its wall time, then its processor
# time (user and system, its reaped children included), in $work/times.
timed() { /usr/bin/time -f '%e %U %S' -o "$work/times" "$@"; }
wall() { awk '{ print $1 }' "$work/times"; }
cpu() { awk '{ printf "%.2f", $2 + $3 }' "$work/times"; }
bulk_format=()
[ "$format" = html ] && bulk_format=(-f html)
best_bulk=""
best_lib=""
cpu_bulk=""
cpu_lib=""
for round in $(seq 1 "$rounds"); do
  timed apertium -u "${bulk_format[@]}" "$mode_name" < "$work/prose.txt" > "$work/bulk.out"
  bulk=$(wall)
  bulk_cpu=$(cpu)
  if [ "$mode" = xlate ]; then
    (cd "$work" && timed "$build/xlate" IFILE=prose_bom.txt OFILE=library.out LANGFROM="$from" \
      LANGTO="$to" ICODING=UTF8 OCODING=UTF8 > /dev/null)
  else
    timed "$build/zta_line_driver" "$library" "$work/prose.txt" "$work/library.out" "$from" "$to" \
      > /dev/null
  fi
  lib=$(wall)
  lib_cpu=$(cpu)
  printf 'round %d: bulk %.2f s (processor %.2f s), %s %.2f s (processor %.2f s), load %s\n' \
    "$round" "$bulk" "$bulk_cpu" "$mode" "$lib" "$lib_cpu" "$(cut -d' ' -f1 /proc/loadavg)"
  if [ -z "$best_bulk" ] || less "$bulk" "$best_bulk"; then best_bulk=$bulk; fi
  if [ -z "$best_lib" ] || less "$lib" "$best_lib"; then best_lib=$lib; fi
  if [ -z "$cpu_bulk" ] || less "$bulk_cpu" "$cpu_bulk"; then cpu_bulk=$bulk_cpu; fi
  if [ -z "$cpu_lib" ] || less "$lib_cpu" "$cpu_lib"; then cpu_lib=$lib_cpu; fi
done

# The program writes a byte-order mark and CR LF line ends.
sed '1s/^\xef\xbb\xbf//; s/\r$//' "$work/library.out" > "$work/library.txt"
same=$(paste -d '\n' "$work/bulk.out" "$work/library.txt" | awk 'NR % 2 == 1 { a = $0; next } $0 == a { n++ } END { print n + 0 }')

bulk_rate=$(calc "$lines / $best_bulk")
lib_rate=$(calc "$lines / $best_lib")
# xlate's file mode hands the library a block of lines per call when the
# library has the batch entry point; the driver makes one call per line.
printf 'lines: %d (%d different), %s %s-%s, format %s, rounds: %d, through: %s\n' "$lines" \
  "$unique" "$mode_name" "$from" "$to" "$format" "$rounds" \
  "$([ "$mode" = xlate ] && echo "xlate file mode" || echo "the line driver, one call a line")"
printf 'bulk apertium: %8.1f lines/s, %6.3f ms of processor time a line\n' "$bulk_rate" \
  "$(calc "1000 * $cpu_bulk / $lines")"
printf '%-14s %8.1f lines/s, %6.3f ms of processor time a line\n' "$mode:" "$lib_rate" \
  "$(calc "1000 * $cpu_lib / $lines")"
printf 'ratio:         %8.2f of bulk (lines per second); processor time %.2f times bulk'"'"'s\n' \
  "$(calc "$lib_rate / $bulk_rate")" "$(calc "$cpu_lib / $cpu_bulk")"
printf 'same output as bulk: %d of %d lines\n' "$same" "$lines"

# The batch table.
[ -n "$cores_list" ] || exit 0
if [ ! -x "$build/zta_line_driver" ] || ! command -v taskset > /dev/null; then
  echo "no zta_line_driver or taskset: no batch table" >&2
  exit 0
fi
same_as_bulk() {
  paste -d '\n' "$work/bulk.$1.out" "$2" | awk 'NR % 2 == 1 { a = $0; next } $0 == a { n++ } END { print n + 0 }'
}
variants=("line by line|" "batch, 1 chain pinned|ZTA_CHAINS=1" "batch, 1 chain free|ZTA_CHAINS=1 ZTA_PIN_CHAIN=0"
  "batch, 2 chains|ZTA_CHAINS=2")
table="$work/table"
: > "$table"
for cores in $cores_list; do
  declare -A best=()
  for round in $(seq 1 "$rounds"); do
    start=$(now)
    taskset -c "$cores" apertium -u "${bulk_format[@]}" "$mode_name" < "$work/prose.txt" \
      > "$work/bulk.$cores.out"
    t=$(calc "$(now) - $start")
    if [ -z "${best[bulk]:-}" ] || less "$t" "${best[bulk]}"; then best[bulk]=$t; fi
    for i in "${!variants[@]}"; do
      settings=${variants[$i]#*|}
      size=$batch
      [ "$i" = 0 ] && size=0
      start=$(now)
      # A variant's settings are NAME=VALUE words, split here on purpose.
      # shellcheck disable=SC2086
      env $settings taskset -c "$cores" "$build/zta_line_driver" "$library" "$work/prose.txt" \
        "$work/variant.$cores.$i.out" "$from" "$to" "$size" > /dev/null
      t=$(calc "$(now) - $start")
      if [ -z "${best[$i]:-}" ] || less "$t" "${best[$i]}"; then best[$i]=$t; fi
    done
  done
  bulk_rate=$(calc "$lines / ${best[bulk]}")
  printf '%-7s %-28s %9.1f %8s %6d\n' "$cores" "bulk apertium" "$bulk_rate" "100 %" "$lines" >> "$table"
  for i in "${!variants[@]}"; do
    rate=$(calc "$lines / ${best[$i]}")
    printf '%-7s %-28s %9.1f %6.1f %% %6d\n' "$cores" "${variants[$i]%%|*}" "$rate" \
      "$(calc "100 * $rate / $bulk_rate")" "$(same_as_bulk "$cores" "$work/variant.$cores.$i.out")" >> "$table"
  done
  unset best
done
printf '\nbatches of %d lines (zta_line_driver), best of %d, on the processors taskset gives:\n' "$batch" "$rounds"
printf '%-7s %-28s %9s %8s %6s\n' cores way lines/s "of bulk" "same"
cat "$table"
