#!/bin/sh
# Translates a subtitle file and an HTML fragment made from a text with
# ZTA_FORMAT, checks that the markup came through (tools/check_markup.py),
# and times the subtitle file with ZTA_FORMAT=srt against txt.
#
# Usage: tools/format_bench.sh BUILD_DIR [TEXT]
#   TEXT: the text the files are made of (default: the GNU GPL version 3,
#   /usr/share/common-licenses/GPL-3, on every Debian system).
# Environment: RUNS (default 3) runs of each, the best counted; ZTA_SERVER
#   and the other library settings as for xlate.
set -eu
build=$(cd "${1:?usage: tools/format_bench.sh BUILD_DIR [TEXT]}" && pwd)
text=${2:-/usr/share/common-licenses/GPL-3}
runs=${RUNS:-3}
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

python3 "$here/make_subtitles.py" srt "$text" > "$work/film.srt"
python3 "$here/make_subtitles.py" html "$text" > "$work/page.html"
echo "subtitles: $(grep -c -- '-->' "$work/film.srt") cues, $(wc -l < "$work/film.srt") lines;" \
  "HTML fragment: $(wc -l < "$work/page.html") lines; made from $text"

# The best wall time of RUNS runs of xlate on IN with ZTA_FORMAT=FORMAT.
best_time() {
  format=$1 in=$2 out=$3 best=""
  i=0
  while [ "$i" -lt "$runs" ]; do
    start=$(date +%s.%N)
    ZTA_FORMAT=$format "$build/xlate" IFILE="$in" OFILE="$out" LANGFROM=en LANGTO=es \
      ICODING=UTF8 OCODING=UTF8 > /dev/null
    end=$(date +%s.%N)
    best=$(echo "$start $end ${best:-}" | awk '{t = $2 - $1; if ($3 != "" && $3 < t) t = $3; printf "%.3f", t}')
    i=$((i + 1))
  done
  echo "$best"
}

# A first run starts the pair's chains' files into the page cache.
ZTA_FORMAT=txt "$build/xlate" IFILE="$work/film.srt" OFILE="$work/warm.srt" LANGFROM=en \
  LANGTO=es ICODING=UTF8 OCODING=UTF8 > /dev/null
txt=$(best_time txt "$work/film.srt" "$work/film.txt.es.srt")
srt=$(best_time srt "$work/film.srt" "$work/film.srt.es.srt")
echo "time, best of $runs: txt ${txt} s, srt ${srt} s" \
  "($(echo "$txt $srt" | awk '{printf "%.2f", $2 / $1}') times txt)"
status=0
echo "srt:" && python3 "$here/check_markup.py" srt "$work/film.srt" "$work/film.srt.es.srt" ||
  status=1
python3 "$here/check_markup.py" srt "$work/film.srt" "$work/film.txt.es.srt" \
  > "$work/txt.check" || true
echo "txt, checked the same way: $(grep -c '^line' "$work/txt.check") lines differ, e.g.:"
grep '^line' "$work/txt.check" | head -2
ZTA_FORMAT=html "$build/xlate" IFILE="$work/page.html" OFILE="$work/page.es.html" LANGFROM=en \
  LANGTO=es ICODING=UTF8 OCODING=UTF8 > /dev/null
echo "html:" && python3 "$here/check_markup.py" html "$work/page.html" "$work/page.es.html" ||
  status=1
exit "$status"
