#!/usr/bin/env bash
# Measures xlate's own costs on large files, with a library that returns
# its input: file mode against one iconv pass over the same bytes (wall time
# and peak memory), start-up against /bin/true, and the micro-benchmarks of
# the hot conversions and of the library call.
# BENCH_SIZES lists the input sizes in MB (default "10 100"; add 1000 for
# the large run); BENCH_EMPTY_LINES (default 20000000, 0 for none) adds a
# UTF-8 file of that many empty lines, where the cost per line shows.
# XLATE_BENCH_XLATE names another xlate binary to measure in place of the
# one built here (to compare two builds); BENCH_MICRO=0 skips the
# micro-benchmarks.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
build="${XLATE_BENCH_BUILD:-$here/build-bench}"
sizes="${BENCH_SIZES:-10 100}"
"$here/scripts/install-deps.sh" build bench
cmake -S "$here" -B "$build" -DCMAKE_BUILD_TYPE=Release -DXLATE_BENCH=ON -DXLATE_TESTS=OFF \
  -DXLATE_APERTIUM=OFF >/dev/null
cmake --build "$build" -j"$(nproc)" >/dev/null

data="$build/bench-data"
run="$build/bench-run"
mkdir -p "$data" "$run"
cp "${XLATE_BENCH_XLATE:-$build/xlate}" "$run/xlate"
cp "$build/echo/libjxZTAccess.so" "$run/"
for size in $sizes; do
  [ -f "$data/text-${size}mb.utf8" ] || python3 "$here/bench/make_inputs.py" "$size" "$data" >/dev/null
done
empty_lines="${BENCH_EMPTY_LINES:-20000000}"
empty="$data/empty-${empty_lines}.utf8"
if [ "$empty_lines" -gt 0 ] && [ ! -f "$empty" ]; then
  head -c "$empty_lines" /dev/zero | tr '\0' '\n' >"$empty"
fi

# One run of a command: wall seconds and peak resident KB.
once() {
  local out
  out=$( { /usr/bin/time -f "%e %M" "$@" >/dev/null; } 2>&1 | tail -n 1)
  echo "$out"
}

# The lower of two times, with the memory of the run that had it.
best() {
  local t=$1 m=$2 bt=$3 bm=$4
  if [ -z "$bt" ] || awk "BEGIN{exit !($t < $bt)}"; then echo "$t $m"; else echo "$bt $bm"; fi
}

# "new" writes an output that does not exist yet, as iconv's redirection
# does; "replace" writes over an existing output, which xlate only replaces
# once the new content is safely on the disk (fsync), so it adds the disk's
# write time. The three runs alternate, BENCH_RUNS (default 5) times, and
# each keeps its best, so that a busy moment of the machine weighs on all
# three alike.
row() {
  local file=$1 xargs=$2 conv=$3 label=${4:-}
  local xt="" xm="" rt="" rm_="" it="" im="" t m
  for _ in $(seq "${BENCH_RUNS:-5}"); do
    rm -f "$run/out"
    # shellcheck disable=SC2086
    read -r t m < <(once env LC_ALL=en_US.CP1252 "$run/xlate" IFILE="$file" OFILE="$run/out" $xargs)
    read -r xt xm < <(best "$t" "$m" "$xt" "$xm")
    # shellcheck disable=SC2086
    read -r t m < <(once env LC_ALL=en_US.CP1252 "$run/xlate" IFILE="$file" OFILE="$run/out" $xargs)
    read -r rt rm_ < <(best "$t" "$m" "$rt" "$rm_")
    rm -f "$run/out.iconv"
    read -r t m < <(once sh -c "iconv $conv '$file' > '$run/out.iconv'")
    read -r it im < <(best "$t" "$m" "$it" "$im")
  done
  rm -f "$run/out" "$run/out.iconv"
  local bytes
  bytes=$(stat -c %s "$file")
  awk -v n="$(basename "$file")${label:+ $label}" -v b="$bytes" -v xt="$xt" -v rt="$rt" -v it="$it" -v xm="$xm" 'BEGIN {
    printf "%-24s %8.1f %8.2f %9.2f %8.2f %6.2f %8.2f %8.1f %9.2f\n", n, b/1048576, xt, rt, it, \
      xt/it, rt/it, xm/1024, xm*1024/b }'
}

printf "\n%-24s %8s %8s %8s %8s %6s %8s %8s %9s\n" input "size MB" "new s" "replace s" \
  "iconv s" ratio "r. ratio" "peak MB" "peak/size"
# Each coding is read in one row and written in another: UTF-8 to UTF-16
# and to ANSI, UTF-16 to UTF-8, ANSI to UTF-16 and to UTF-8.
for size in $sizes; do
  text="$data/text-${size}mb"
  row "$text.utf8" "ICODING=UTF8 OCODING=UNICODE" "-f UTF-8 -t UTF-16LE"
  row "$text.utf8" "ICODING=UTF8 OCODING=ANSI" "-f UTF-8 -t CP1252" "utf8>ansi"
  row "$text.utf16" "ICODING=UNICODE OCODING=UTF8" "-f UTF-16 -t UTF-8"
  row "$text.ansi" "ICODING=ANSI OCODING=UNICODE" "-f CP1252 -t UTF-16LE"
  row "$text.ansi" "ICODING=ANSI OCODING=UTF8" "-f CP1252 -t UTF-8" "ansi>utf8"
done
if [ "$empty_lines" -gt 0 ]; then
  row "$empty" "ICODING=UTF8 OCODING=UNICODE" "-f UTF-8 -t UTF-16LE"
fi

# Start-up: many short runs, against a program that does nothing.
runs=200
start=$(date +%s.%N)
for _ in $(seq $runs); do "$run/xlate" TEXT=x >/dev/null; done
mid=$(date +%s.%N)
for _ in $(seq $runs); do /bin/true; done
end=$(date +%s.%N)
awk -v a="$start" -v b="$mid" -v c="$end" -v n=$runs 'BEGIN {
  x = (b-a)/n*1000; t = (c-b)/n*1000
  printf "\nstart-up: xlate TEXT=x %.2f ms, /bin/true %.2f ms, ratio %.1f\n\n", x, t, x/t }'

[ "${BENCH_MICRO:-1}" = 0 ] || "$build/xlate_micro_benchmarks" --benchmark_min_time=0.2
