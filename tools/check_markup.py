#!/usr/bin/env python3
"""Checks a translation made with ZTA_FORMAT=srt or html against its source.

Usage: check_markup.py srt|html SOURCE TRANSLATION

- both files have the same number of lines;
- srt: every cue number, timing line and blank line is the same, byte for
  byte;
- every line has the same markup (tags with their attributes, comments,
  entities, "<" or ">" of no tag, and in srt override codes such as
  {\\an8}), the same number of pieces in the same order, byte for byte,
  except the values of alt and title attributes, which are translated.

A byte-order mark and CR LF line ends of the translation (xlate writes
them) are not counted. Prints what it compared, and every difference;
exits with 1 when there is one.
"""
import re
import sys

MARKUP = (r"<!--.*?(?:-->|$)"
          r"|<[A-Za-z/!?](?:[^>\"']|\"[^\"]*\"|'[^']*')*(?:>|$)"
          r"|[<>]"
          r"|&(?:#[0-9]{1,8}|#[xX][0-9A-Fa-f]{1,8}|[A-Za-z][A-Za-z0-9]{0,31});")
OVERRIDE = r"|\{\\[^}]*\}"
# The values of alt and title, which the library translates.
TEXT_VALUE = re.compile(r"""((?:^|[ \t])(?:alt|title)[ \t]*=[ \t]*)("[^"]*"|'[^']*')""", re.I)
FRAME = re.compile(r"\s*(?:[0-9]+|WEBVTT(?:[ \t].*)?"
                   r"|(?:[0-9]+:)?[0-9]{2}:[0-9]{2}[,.][0-9]{3}[ \t]+-->[ \t]+"
                   r"(?:[0-9]+:)?[0-9]{2}:[0-9]{2}[,.][0-9]{3}(?:[ \t].*)?)\s*")


def read_lines(path):
    with open(path, "rb") as source:
        data = source.read()
    if data.startswith(b"\xef\xbb\xbf"):
        data = data[3:]
    text = data.decode("utf-8").replace("\r\n", "\n")
    if text.endswith("\n"):
        text = text[:-1]
    return text.split("\n")


def main():
    if len(sys.argv) != 4 or sys.argv[1] not in ("srt", "html"):
        sys.exit(__doc__)
    subtitles = sys.argv[1] == "srt"
    markup = re.compile(MARKUP + (OVERRIDE if subtitles else ""))
    source, translation = read_lines(sys.argv[2]), read_lines(sys.argv[3])
    problems = []
    if len(source) != len(translation):
        problems.append("%d lines in, %d out" % (len(source), len(translation)))
    frames = pieces = translated = 0
    for number, (line, out) in enumerate(zip(source, translation), start=1):
        if subtitles and (line.strip() == "" or FRAME.fullmatch(line)):
            frames += 1
            if out != line:
                problems.append("line %d: %r became %r" % (number, line, out))
            continue
        translated += 1
        expected, found = ([TEXT_VALUE.sub(r'\1""', piece) for piece in markup.findall(text)]
                           for text in (line, out))
        pieces += len(expected)
        if expected != found:
            problems.append("line %d: markup %r became %r" % (number, expected, found))
    print("%d lines; %d kept as they are (cue numbers, timings, blank lines), identical: %s; "
          "%d translated with %d pieces of markup, in order: %s"
          % (len(source), frames, "no" if any("became" in p and "markup" not in p for p in problems)
             else "yes", translated, pieces, "no" if any("markup" in p for p in problems) else "yes"))
    for problem in problems:
        print(problem)
    sys.exit(1 if problems else 0)


if __name__ == "__main__":
    main()
