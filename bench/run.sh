#!/usr/bin/env bash
# Measures xlate's own costs on large files, with a library that returns
# its input: file mode against one iconv pass over the same bytes (wall time
# and peak memory), start-up against /bin/true, and the micro-benchmarks of
# the hot conversions and of the library call.
# BENCH_SIZES lists the input sizes in MB (default "10 100"; add 1000 for
# the large run). XLATE_BENCH_XLATE names another xlate binary to measure
# in place of the one built here (to compare two builds).
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
build="${XLATE_BENCH_BUILD:-$here/build-bench}"
sizes="${BENCH_SIZES:-10 100}"
"$here/scripts/install-deps.sh" g++ cmake make libgtest-dev libbenchmark-dev python3 time
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

# Best of BENCH_RUNS (default 5) runs: wall seconds and peak resident KB of a command. With
# --fresh FILE, FILE is removed before each run, outside the timing.
measure() {
  local fresh=""
  if [ "$1" = --fresh ]; then fresh=$2; shift 2; fi
  local best="" mem=""
  for _ in $(seq "${BENCH_RUNS:-5}"); do
    [ -z "$fresh" ] || rm -f "$fresh"
    local out
    out=$( { /usr/bin/time -f "%e %M" "$@" >/dev/null; } 2>&1 | tail -n 1)
    local t=${out% *} m=${out#* }
    if [ -z "$best" ] || awk "BEGIN{exit !($t < $best)}"; then best=$t; mem=$m; fi
  done
  echo "$best $mem"
}

# "new" writes an output that does not exist yet, as iconv's redirection
# does; "replace" writes over an existing output, which xlate only replaces
# once the new content is safely on the disk (fsync), so it adds the disk's
# write time.
printf "\n%-20s %8s %8s %8s %8s %6s %8s %8s %9s\n" input "size MB" "new s" "replace s" \
  "iconv s" ratio "r. ratio" "peak MB" "peak/size"
for size in $sizes; do
  for kind in utf8 utf16 ansi; do
    file="$data/text-${size}mb.$kind"
    case $kind in
      utf8) args=(ICODING=UTF8 OCODING=UNICODE); conv=(-f UTF-8 -t UTF-16LE) ;;
      utf16) args=(ICODING=UNICODE OCODING=UTF8); conv=(-f UTF-16 -t UTF-8) ;;
      ansi) args=(ICODING=ANSI OCODING=UNICODE); conv=(-f CP1252 -t UTF-16LE) ;;
    esac
    xlate=(env LC_ALL=en_US.CP1252 "$run/xlate" IFILE="$file" OFILE="$run/out" "${args[@]}")
    read -r xt xm < <(measure --fresh "$run/out" "${xlate[@]}")
    read -r rt _ < <(measure "${xlate[@]}")
    rm -f "$run/out"
    read -r it _ < <(measure sh -c "iconv ${conv[*]} '$file' > '$run/out.iconv'")
    rm -f "$run/out.iconv"
    bytes=$(stat -c %s "$file")
    awk -v n="$(basename "$file")" -v b="$bytes" -v xt="$xt" -v rt="$rt" -v it="$it" -v xm="$xm" 'BEGIN {
      printf "%-20s %8.1f %8.2f %9.2f %8.2f %6.2f %8.2f %8.1f %9.2f\n", n, b/1048576, xt, rt, it, \
        xt/it, rt/it, xm/1024, xm*1024/b }'
  done
done

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

"$build/xlate_micro_benchmarks" --benchmark_min_time=0.2
