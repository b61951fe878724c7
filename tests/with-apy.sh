#!/bin/sh
# Runs the tests of a Windows test program (under the emulator, Wine)
# against a real apertium-apy: starts the server on a free loopback port,
# runs the WindowsApy tests with XLATE_TEST_APY naming it, stops it, and
# runs the WindowsApyStopped tests with XLATE_TEST_STOPPED_APY naming the
# same address. Ends with 77, which ctest counts as skipped, and the reason
# when apertium-apy or the English-Spanish modes are missing.
# Usage: with-apy.sh EMULATOR PROGRAM
set -eu
emulator=$1
program=$2
modes=/usr/share/apertium/modes

for needed in apertium-apy apertium-destxt apertium-retxt lt-proc; do
  if ! command -v "$needed" >/dev/null 2>&1; then
    echo "Skipped: $needed is not in PATH"
    exit 77
  fi
done
for mode in eng-spa spa-eng; do
  if [ ! -f "$modes/$mode.mode" ]; then
    echo "Skipped: $modes/$mode.mode does not exist"
    exit 77
  fi
done

folder=$(mktemp -d)
pid=""
stop_server() {
  if [ -n "$pid" ]; then
    # The server leads a process group of its own, with its pipelines.
    kill -TERM "-$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
    pid=""
  fi
}
trap 'stop_server; rm -rf "$folder"' EXIT

# apertium-apy runs on the system's Python 3, which also finds a free port
# and asks the server for its pairs until it answers.
python=/usr/bin/python3
free_port() {
  "$python" -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}
answers() {
  "$python" -c 'import sys, urllib.request; urllib.request.urlopen(sys.argv[1], timeout=2).read()' \
    "$1/listPairs" >/dev/null 2>&1
}

url=""
for _ in 1 2 3; do
  port=$(free_port)
  LC_ALL=C.UTF-8 setsid apertium-apy -p "$port" "$modes" >"$folder/apy.log" 2>&1 </dev/null &
  pid=$!
  waited=0
  while kill -0 "$pid" 2>/dev/null && [ "$waited" -lt 120 ]; do
    if answers "http://127.0.0.1:$port"; then
      url="http://127.0.0.1:$port"
      break 2
    fi
    sleep 0.5
    waited=$((waited + 1))
  done
  stop_server
done
if [ -z "$url" ]; then
  echo "apertium-apy did not start; its log:" >&2
  tail -n 30 "$folder/apy.log" >&2
  exit 1
fi
echo "apertium-apy answers at $url"

# The program's output goes through a file: Wine's own background processes,
# when this run starts them, inherit it and would keep a pipe to ctest open.
run_tests() {
  said="$folder/said.txt"
  result=0
  "$emulator" "$program" "$@" >"$said" 2>&1 </dev/null || result=$?
  tr -d '\r' <"$said"
  return $result
}
status=0
XLATE_TEST_APY="$url" run_tests --gtest_filter='WindowsApy.*' || status=1
stop_server
XLATE_TEST_STOPPED_APY="$url" run_tests --gtest_filter='WindowsApyStopped.*' || status=1
exit $status
