#!/usr/bin/env bash
# The translation memory (ZTA_MEMORY) on a document of about 5,000 distinct
# lines: the benchmark's English prose plus the licences of
# /usr/share/common-licenses, translated from English into Spanish with
# build/xlate's file mode, in local mode and through apertium-apy:
#   1. without a memory;
#   2. with a new memory (every line a miss, then kept);
#   3. the same document with 1 % of its lines edited, with that memory;
#   4. that edited document without a memory, for its output.
# Prints each run's time and whether its output is byte for byte the one
# without a memory. Then the cost of one lookup in a memory of a million
# entries, and the file size per entry.
#
# usage: bench/memory_bench.sh [BUILD_DIR]   (default: build)
# environment: LINES (prose lines, default 3000), DOC_LINES (the document
#   cut to that many lines, default all; the server is ten times slower),
#   MODES ("local server", default both), KEEP=1 keeps the work folder
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:-$here/../build}" && pwd)
lines=${LINES:-3000}
modes_list=${MODES:-"local server"}
for tool in apertium python3 sqlite3; do
  command -v "$tool" > /dev/null || { echo "$tool is not installed" >&2; exit 2; }
done
[ -x "$build/xlate" ] || { echo "no $build/xlate: build the project first" >&2; exit 2; }

work=$(mktemp -d "${TMPDIR:-/tmp}/memory_bench.XXXXXX")
apy=""
cleanup() {
  if [ -n "$apy" ]; then
    kill -TERM -- "-$apy" 2> /dev/null || true
    sleep 1
    kill -KILL -- "-$apy" 2> /dev/null || true
  fi
  if [ "${KEEP:-0}" = 1 ]; then echo "work folder: $work"; else rm -rf "$work"; fi
}
trap cleanup EXIT

# The document: distinct non-blank lines; the edited one changes every
# hundredth line.
{
  awk -v n="$lines" -f "$here/english_prose.awk"
  cat /usr/share/common-licenses/* 2> /dev/null | sed 's/^[[:space:]]*//'
} | awk -v most="${DOC_LINES:-1000000}" 'NF && !seen[$0]++ && ++n <= most' > "$work/doc.txt"
awk 'NR % 100 == 50 { print "Also, " $0; next } { print }' "$work/doc.txt" > "$work/edited.txt"
awk 'NR <= 50 { print "Then " $0 }' "$work/doc.txt" > "$work/warm.txt"
for name in doc edited warm; do
  { printf '\xef\xbb\xbf'; cat "$work/$name.txt"; } > "$work/$name.bom.txt"
done
echo "lines: $(wc -l < "$work/doc.txt") distinct, $(wc -c < "$work/doc.txt") bytes;" \
  "$(awk 'NR % 100 == 50' "$work/doc.txt" | wc -l) edited; load: $(cut -d' ' -f1-3 /proc/loadavg)"

now() { date +%s.%N; }
# run NAME INPUT [ENV...]: translates INPUT into out.NAME, prints the seconds.
run() {
  local name=$1 input=$2
  shift 2
  local start
  start=$(now)
  (cd "$work" && env "$@" "$build/xlate" "IFILE=$input.bom.txt" "OFILE=out.$name" \
    LANGFROM=en LANGTO=es ICODING=UTF8 OCODING=UTF8 > "log.$name" 2>&1)
  awk -v a="$start" -v b="$(now)" 'BEGIN { printf "%.2f", b - a }'
}
same() { cmp -s "$work/out.$1" "$work/out.$2" && echo identical || echo DIFFERENT; }

for mode in $modes_list; do
  server_env=()
  if [ "$mode" = server ]; then
    command -v apertium-apy > /dev/null || { echo "no apertium-apy: server mode skipped"; continue; }
    port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
    (cd "$work" && exec setsid apertium-apy -p "$port" -j 2 /usr/share/apertium/modes > apy.log 2>&1) &
    apy=$!
    for _ in $(seq 600); do
      curl -s -m 2 "http://127.0.0.1:$port/listPairs" 2> /dev/null | grep -q responseData && break
      sleep 0.1
    done
    server_env=("ZTA_SERVER=http://127.0.0.1:$port")
  fi
  memory="$work/memory.$mode.db"
  # A short warm-up, so that the first run does not pay for cold caches.
  run "warm.$mode" warm "${server_env[@]}" > /dev/null
  t_none=$(run "none.$mode" doc "${server_env[@]}")
  t_first=$(run "first.$mode" doc "${server_env[@]}" "ZTA_MEMORY=$memory")
  t_edited=$(run "edited.$mode" edited "${server_env[@]}" "ZTA_MEMORY=$memory")
  t_edited_none=$(run "edited_none.$mode" edited "${server_env[@]}")
  t_again=$(run "again.$mode" doc "${server_env[@]}" "ZTA_MEMORY=$memory")
  printf '%s mode: without memory %ss; first run with memory %ss (%s); 1%% edited with memory %ss (%s; without memory %ss); unchanged again %ss (%s)\n' \
    "$mode" "$t_none" "$t_first" "$(same "first.$mode" "none.$mode")" "$t_edited" \
    "$(same "edited.$mode" "edited_none.$mode")" "$t_edited_none" "$t_again" \
    "$(same "again.$mode" "none.$mode")"
  entries=$(sqlite3 "$memory" 'SELECT count(*) FROM entries')
  printf '  memory: %d entries, %d bytes (%d per entry)\n' "$entries" "$(stat -c %s "$memory")" \
    "$(( $(stat -c %s "$memory") / entries ))"
done

# A million entries: the library's lookup, timed in SQLite itself.
big="$work/big.db"
python3 - "$big" <<'PY'
import sqlite3, sys, time, random
db = sqlite3.connect(sys.argv[1])
db.executescript("""
CREATE TABLE contexts(id INTEGER PRIMARY KEY, fingerprint TEXT NOT NULL UNIQUE, pair TEXT NOT NULL,
  made_by TEXT NOT NULL, files TEXT NOT NULL);
CREATE TABLE entries(pair TEXT NOT NULL, source TEXT NOT NULL, context INTEGER NOT NULL,
  target TEXT NOT NULL, PRIMARY KEY(pair, source, context)) WITHOUT ROWID;
INSERT INTO contexts VALUES(1, 'f', 'eng-spa', 'local eng-spa', '');
""")
words = "the a house big small book car friend reads writes sees goes with and of to".split()
rows = []
for i in range(1000000):
    text = " ".join(random.choice(words) for _ in range(8)) + " %d." % i
    rows.append(("eng-spa", text, 1, text.upper()))
db.executemany("INSERT INTO entries VALUES(?,?,?,?)", rows)
db.commit()
query = ("SELECT e.target FROM entries e WHERE e.pair = ?1 AND e.source = ?2 AND "
         "(e.context = 0 OR e.context = (SELECT id FROM contexts WHERE fingerprint = ?3)) "
         "ORDER BY e.context != 0 LIMIT 1")
probe = [rows[random.randrange(len(rows))][1] for _ in range(20000)]
start = time.perf_counter()
for text in probe:
    db.execute(query, ("eng-spa", text, "f")).fetchone()
per = (time.perf_counter() - start) / len(probe)
db.close()
import os
size = os.path.getsize(sys.argv[1])
print("1,000,000 entries: %.1f us per lookup (Python's sqlite3, statement cache), %d bytes (%d per entry, texts of %d bytes on average)"
      % (per * 1e6, size, size // 1000000, sum(len(r[1]) + len(r[3]) for r in rows[:10000]) // 10000))
PY
