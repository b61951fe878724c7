#!/usr/bin/env python3
"""Writes a test file for ZTA_FORMAT made from the sentences of a text file.

Usage: make_subtitles.py srt|html TEXTFILE [COUNT]

srt:  a SubRip file of COUNT cues (default: as many as the text gives):
      a cue number, a timing line, one or two lines of at most 42
      characters, a blank line. Some cues are in <i>...</i> across both
      lines, some have a <b> word, a <font color="..."> line, an override
      code {\\an8}, an &amp; or position settings after the timing.
html: an HTML fragment of COUNT lines: a paragraph per sentence with links
      (attributes with quotes and entities), nested inline tags, entities
      and now and then a comment.

The output depends only on the text: the same text gives the same file.
"""
import re
import sys


def sentences(text):
    """The sentences of text, blanks made single, each with letters in it."""
    flat = re.sub(r"\s+", " ", text)
    found = []
    for sentence in re.split(r"(?<=[.!?;:])\s+", flat):
        sentence = sentence.strip()
        if re.search(r"[a-z]{3}", sentence) and 12 <= len(sentence) <= 400:
            # Markup characters of the text itself would read as markup.
            found.append(sentence.replace("<", "(").replace(">", ")").replace("&", "and"))
    return found


def lines_of(sentence, width=42):
    """The sentence cut at blanks into lines of at most width characters."""
    lines, line = [], ""
    for word in sentence.split(" "):
        if line and len(line) + 1 + len(word) > width:
            lines.append(line)
            line = word
        else:
            line = line + " " + word if line else word
    if line:
        lines.append(line)
    return lines


def timestamp(milliseconds):
    hours, rest = divmod(milliseconds, 3600000)
    minutes, rest = divmod(rest, 60000)
    seconds, millis = divmod(rest, 1000)
    return "%02d:%02d:%02d,%03d" % (hours, minutes, seconds, millis)


def cues(text):
    """(lines) of each cue: a sentence in pieces of at most two lines."""
    for sentence in sentences(text):
        lines = lines_of(sentence)
        for start in range(0, len(lines), 2):
            yield lines[start:start + 2]


def subtitles(text, count):
    out = []
    for number, lines in enumerate(cues(text), start=1):
        if count and number > count:
            break
        lines = list(lines)
        if number % 9 == 2:
            lines = [re.sub(r" and ", " &amp; ", line, count=1) for line in lines]
        if number % 7 == 3:
            words = lines[0].split(" ")
            middle = len(words) // 2
            words[middle] = "<b>" + words[middle] + "</b>"
            lines[0] = " ".join(words)
        if number % 11 == 4:
            lines[-1] = '<font color="#ffff00">' + lines[-1] + "</font>"
        if number % 5 == 0:
            lines[0] = "<i>" + lines[0]
            lines[-1] = lines[-1] + "</i>"
        if number % 13 == 6:
            lines[0] = "{\\an8}" + lines[0]
        start = number * 3200
        timing = timestamp(start) + " --> " + timestamp(start + 2900)
        if number % 17 == 8:
            timing += " X1:40 X2:600 Y1:20 Y2:50"
        out.append("%d\n%s\n%s\n" % (number, timing, "\n".join(lines)))
    return "\n".join(out)


def html(text, count):
    out = []
    for number, sentence in enumerate(sentences(text), start=1):
        if count and number > count:
            break
        words = sentence.split(" ")
        if len(words) >= 6:
            words[1] = '<a href="https://example.org/p%d.html?a=1&amp;b=2" title="part &quot;%d&quot;">%s' % (
                number, number, words[1])
            words[2] = words[2] + "</a>"
            words[4] = "<em>" + words[4]
            words[5] = "<strong>" + words[5] + "</strong></em>"
        line = " ".join(words)
        line = line.replace(" and ", " &amp; ", 1).replace(" - ", " &#8212; ", 1)
        line = line.replace(", ", ",&nbsp;", 1)
        prefix = "<!-- part %d --> " % number if number % 10 == 0 else ""
        out.append('%s<p class="text" id="p%d">%s</p>' % (prefix, number, line))
    return "\n".join(out) + "\n"


def main():
    if len(sys.argv) not in (3, 4) or sys.argv[1] not in ("srt", "html"):
        sys.exit(__doc__)
    with open(sys.argv[2], encoding="utf-8") as source:
        text = source.read()
    count = int(sys.argv[3]) if len(sys.argv) == 4 else 0
    sys.stdout.write(subtitles(text, count) if sys.argv[1] == "srt" else html(text, count))


if __name__ == "__main__":
    main()
