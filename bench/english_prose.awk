# English prose for the benchmarks: n lines (awk -v n=LINES -f english_prose.awk),
# every line below 172800 a different combination. Line i takes its subject,
# verb, object, place and time from the digits of i (each digit shifted by the
# lower ones, so neighbouring lines differ everywhere); four sentence shapes,
# and an extra sentence on some lines.
BEGIN {
  ns = split("My friend|The old teacher|Our neighbour|A young doctor|The children|My sister|The farmer|Her brother|The students|A tourist|The writer|His mother", S, "|")
  nv = split("bought|found|painted|sold|cleaned|carried|opened|wrote|read|watched|visited|described", V, "|")
  split("buy|find|paint|sell|clean|carry|open|write|read|watch|visit|describe", B, "|")
  no = split("a new house|the red car|an interesting book|three small boxes|the old map|a beautiful picture|the kitchen window|a long letter|the empty bottle|some fresh bread|the wooden chair|a strange story", O, "|")
  np = split("in the city|near the river|at the station|in the garden|behind the school|on the mountain|at the market|in the library|by the sea|in a small village", P, "|")
  nt = split("yesterday|last week|every morning|after dinner|before the storm|in the summer|on Sunday|at night|two days ago|during the holidays", T, "|")
  nr = split("because it was cheap|although it was raining|when the sun came out|while the others were sleeping|because nobody else wanted to|after the meeting ended", R, "|")
  ne = split("It was a quiet day.|Nobody expected that.|The weather was warm and dry.|Everyone talked about it for weeks.|The price was too high.|It took more time than we thought.|Later they went home together.", E, "|")
  for (i = 0; i < n; i++) {
    d0 = i % ns; k = int(i / ns); d1 = k % nv; k = int(k / nv); d2 = k % no; k = int(k / no)
    d3 = k % np; d4 = int(k / np) % nt
    s = d0; v = (d1 + d0) % nv; o = (d2 + d0 + 2 * d1) % no
    p = (d3 + d0 + d1 + d2) % np; t = (d4 + d0 + 3 * d2 + d3) % nt
    subj = S[s + 1]; low = tolower(substr(subj, 1, 1)) substr(subj, 2)
    time = T[t + 1]; cap = toupper(substr(time, 1, 1)) substr(time, 2)
    shape = i % 4
    if (shape == 0) line = subj " " V[v + 1] " " O[o + 1] " " P[p + 1] " " time "."
    else if (shape == 1) line = cap ", " low " " V[v + 1] " " O[o + 1] " " P[p + 1] "."
    else if (shape == 2) line = subj " " V[v + 1] " " O[o + 1] " " P[p + 1] " " R[(i + t) % nr + 1] "."
    else line = "Why did " low " " B[v + 1] " " O[o + 1] " " P[p + 1] " " time "?"
    if (i % 7 == 3) line = line " " E[int(i / 7) % ne + 1]
    print line
  }
}
