#!/usr/bin/env python3
"""Writes the benchmark inputs: a UTF-8 text of about the given size in MB,
with lines of varied length and some non-ASCII letters, and the same text
as UTF-16LE with its byte-order mark and in code page 1252.

Deterministic: the same size gives the same files."""
import random
import sys

WORDS = ("the a house is big and my friend reads book on table with window garden "
         "tomorrow morning evening people time year day thing man world life hand part "
         "child eye woman place work week case point government company number group "
         "problem fact être déjà café naïve résumé über straße façade señor niño "
         "crème brûlée à la carte coöperate smörgåsbord fiancée").split()


def main():
    size_mb, folder = float(sys.argv[1]), sys.argv[2]
    target = int(size_mb * 1024 * 1024)
    rng = random.Random(20261208)
    lines, total = [], 0
    while total < target:
        n = rng.choice((0, 1, 2, 3, 5, 8, 12, 15, 20, 30))
        line = " ".join(rng.choice(WORDS) for _ in range(n))
        if n and rng.random() < 0.5:
            line = line[0].upper() + line[1:] + "."
        lines.append(line)
        total += len(line.encode("utf-8")) + 1
    text = "\n".join(lines) + "\n"
    name = f"{folder}/text-{size_mb:g}mb"
    with open(name + ".utf8", "w", encoding="utf-8", newline="") as f:
        f.write(text)
    with open(name + ".utf16", "wb") as f:
        f.write(b"\xff\xfe" + text.encode("utf-16-le"))
    with open(name + ".ansi", "wb") as f:
        f.write(text.encode("cp1252"))
    print(f"{name}: {len(lines)} lines")


if __name__ == "__main__":
    main()
