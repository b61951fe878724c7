#!/usr/bin/env bash
# Throughput of xlate's file mode through one Apertium APY server, against
# the local pipeline, with 1, 2 and 4 xlate processes at once.
#
# Makes one file of English prose (LINES lines, at least 2000, every line
# different), starts apertium-apy on a free port of 127.0.0.1 with
# APY_OPTIONS, and for each count N of PROCESSES runs N xlate processes at
# once, each translating its own copy of the file from English to Spanish:
# first with the local pipeline (ZTA_SERVER unset: every process starts its
# own chain), then through the server (warmed up first by a short run with
# as many processes, so that its pipelines are running). Lines per second
# count all lines of all N processes over the wall time until the last one
# ends. Prints a table, and how many lines through the server came out as
# the local pipeline gave them.
#
# Then one process through the library directly (zta_line_driver), against
# the same server: line by line, and with the batch entry point
# (ztaTranslateBatch, BATCH lines per call) with REQUESTS_LIST requests in
# flight (ZTA_SERVER_REQUESTS), best of ROUNDS each, with how many lines came
# out as line by line gave them.
#
# usage: bench/apy_bench.sh [BUILD_DIR]   (default: build)
# environment: LINES (default 2000), PROCESSES (default "1 2 4"),
#   APY_OPTIONS (default "-j 2": two server processes, one per processor
#   here, each with one pipeline per pair; more pipelines per process, -i 2
#   or -i 4 with -u 1, measured no faster on two processors), BATCH (default
#   64), REQUESTS_LIST (default "1 2 4 8"), ROUNDS (default 3), KEEP=1 keeps
#   the work folder
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:-$here/../build}" && pwd)
lines=${LINES:-2000}
processes=${PROCESSES:-"1 2 4"}
read -r -a apy_options <<< "${APY_OPTIONS:--j 2}"
modes=/usr/share/apertium/modes

if [ "$lines" -lt 2000 ]; then
  echo "LINES must be at least 2000" >&2
  exit 2
fi
for tool in apertium-apy curl python3 setsid; do
  command -v "$tool" > /dev/null || { echo "$tool is not installed" >&2; exit 2; }
done
[ -f "$modes/eng-spa.mode" ] || { echo "apertium-eng-spa is not installed" >&2; exit 2; }
if ! [ -x "$build/xlate" ] || ! [ -f "$build/libjxZTAccess.so" ]; then
  echo "no $build/xlate with libjxZTAccess.so: build the project first" >&2
  exit 2
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/apy_bench.XXXXXX")
apy=""
stop_apy() {
  if [ -n "$apy" ]; then
    kill -TERM -- "-$apy" 2> /dev/null || true
    for _ in $(seq 50); do kill -0 "$apy" 2> /dev/null || break; sleep 0.1; done
    kill -KILL -- "-$apy" 2> /dev/null || true
    wait "$apy" 2> /dev/null || true
    apy=""
  fi
}
cleanup() {
  stop_apy
  if [ "${KEEP:-0}" = 1 ]; then echo "work folder: $work"; else rm -rf "$work"; fi
}
trap cleanup EXIT

# The program reads UTF-8 files with a byte-order mark.
{ printf '\xef\xbb\xbf'; awk -v n="$lines" -f "$here/english_prose.awk"; } > "$work/prose.txt"
{ printf '\xef\xbb\xbf'; awk -v n=40 -f "$here/english_prose.awk"; } > "$work/warm.txt"
cp "$build/xlate" "$build/libjxZTAccess.so" "$work/"

# The server, in a process group of its own so that it ends with its pipelines.
port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
server="http://127.0.0.1:$port"
(cd "$work" && exec setsid apertium-apy -p "$port" "${apy_options[@]}" "$modes" > apy.log 2>&1) &
apy=$!
for _ in $(seq 600); do
  curl -s -m 2 "$server/listPairs" 2> /dev/null | grep -q responseData && break
  kill -0 "$apy" 2> /dev/null || { echo "apertium-apy ended:" >&2; cat "$work/apy.log" >&2; exit 1; }
  sleep 0.1
done
curl -s -m 2 "$server/listPairs" | grep -q responseData ||
  { echo "apertium-apy did not answer in 60 s" >&2; exit 1; }

now() { date +%s.%N; }
calc() { awk "BEGIN { printf \"%.6f\", $* }"; }

# Runs N processes at once on copies of FILE (ZTA_SERVER as given), prints
# the wall time; their outputs are out.NAME.I.
run_all() {
  local count=$1 name=$2 file=$3 zta_server=$4 start i pids=()
  for i in $(seq "$count"); do cp "$work/$file" "$work/in.$name.$i"; done
  start=$(now)
  for i in $(seq "$count"); do
    (cd "$work" && ZTA_SERVER=$zta_server ./xlate "IFILE=in.$name.$i" "OFILE=out.$name.$i" \
      LANGFROM=en LANGTO=es ICODING=UTF8 OCODING=UTF8 > "said.$name.$i") &
    pids+=($!)
  done
  wait "${pids[@]}"  # not the server, which is a child too
  calc "$(now) - $start"
  for i in $(seq "$count"); do
    if [ -s "$work/said.$name.$i" ]; then
      echo "xlate said:" >&2
      cat "$work/said.$name.$i" >&2
      exit 1
    fi
  done
}

printf 'lines per process: %d, server: apertium-apy %s on %s, %d processors\n' \
  "$lines" "${apy_options[*]}" "$server" "$(nproc)"
table="$work/table"
same_total=0
lines_total=0
for count in $processes; do
  local_time=$(run_all "$count" local prose.txt "")
  run_all "$count" warm warm.txt "$server" > /dev/null
  server_time=$(run_all "$count" server prose.txt "$server")
  for i in $(seq "$count"); do
    same=$(paste -d '\n' "$work/out.local.1" "$work/out.server.$i" |
      awk 'NR % 2 == 1 { a = $0; next } $0 == a { n++ } END { print n + 0 }')
    same_total=$((same_total + same))
    lines_total=$((lines_total + lines))
  done
  printf '%9d %14.1f %15.1f %11.0f %%\n' "$count" \
    "$(calc "$count * $lines / $local_time")" "$(calc "$count * $lines / $server_time")" \
    "$(calc "100 * $local_time / $server_time")" >> "$table"
done
printf '%9s %14s %15s %13s\n' processes "local lines/s" "server lines/s" "server/local"
cat "$table"
printf 'lines through the server as the local pipeline gave them: %d of %d\n' \
  "$same_total" "$lines_total"

# One process through the library directly.
[ -x "$build/zta_line_driver" ] || { echo "no zta_line_driver: no batch rows" >&2; exit 0; }
batch=${BATCH:-64}
rounds=${ROUNDS:-3}
sed '1s/^\xef\xbb\xbf//' "$work/prose.txt" > "$work/plain.txt"
less() { awk "BEGIN { exit !($1 < $2) }"; }
# Runs the driver ROUNDS times with the given batch size and settings;
# prints the best time; the output is drive.NAME.
drive() {
  local name=$1 size=$2 best="" start t
  shift 2
  for _ in $(seq "$rounds"); do
    start=$(now)
    env ZTA_SERVER="$server" "$@" "$build/zta_line_driver" "$work/libjxZTAccess.so" \
      "$work/plain.txt" "$work/drive.$name" en es "$size" > /dev/null
    t=$(calc "$(now) - $start")
    if [ -z "$best" ] || less "$t" "$best"; then best=$t; fi
  done
  echo "$best"
}
line_time=$(drive line 0)
printf '\none process, the library directly (zta_line_driver), best of %d:\n' "$rounds"
printf '%-34s %10s %8s %6s\n' way lines/s "x line" same
printf '%-34s %10.1f %8s %6d\n' "line by line" "$(calc "$lines / $line_time")" "1.0" "$lines"
for requests in ${REQUESTS_LIST:-1 2 4 8}; do
  t=$(drive "batch.$requests" "$batch" ZTA_SERVER_REQUESTS="$requests")
  same=$(paste -d '\n' "$work/drive.line" "$work/drive.batch.$requests" |
    awk 'NR % 2 == 1 { a = $0; next } $0 == a { n++ } END { print n + 0 }')
  printf '%-34s %10.1f %8.2f %6d\n' "batch of $batch, $requests requests in flight" \
    "$(calc "$lines / $t")" "$(calc "$line_time / $t")" "$same"
done
