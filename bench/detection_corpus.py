#!/usr/bin/env python3
"""Snippets of real text for measuring the input-encoding detector (bench/detection.sh).

Reads text that we did not write from Debian packages (see SOURCES) and writes, to the file
given as the first argument, one snippet a line: "<expected> <group> <hex bytes>", where
<expected> is G (the bytes are GB18030 and must read as GBK) or U (UTF-8), and <group> is
"<language>:<length>" with length 1, 2, 3, 4, 8, 30 characters, "word" or "line".

Chinese is cut into snippets of N consecutive characters starting anywhere in a line and saved
both as GB18030 and as UTF-8; German, Russian, Czech and Spanish are cut into words (with the
punctuation around them taken off) and whole lines, saved as UTF-8. A snippet of ASCII alone
reads the same either way and is left out. The sampling is seeded, so the corpus is the same
on every run.
"""
import glob
import gzip
import random
import re
import sys
import unicodedata

FORTUNES = "/usr/share/games/fortunes"
SOURCES = {
    # package fortunes-zh: Tang and Song poems, Chinese sayings and prose
    "zh": [f"{FORTUNES}/tang300", f"{FORTUNES}/song100", f"{FORTUNES}/chinese",
           # package debian-faq-zh-cn: technical prose
           "/usr/share/doc/debian/FAQ/debian-faq.zh-cn.txt.gz"],
    "de": sorted(glob.glob(f"{FORTUNES}/de/*.u8")),  # fortunes-de
    "ru": sorted(glob.glob(f"{FORTUNES}/ru/*.u8")),  # fortunes-ru
    "cs": sorted(glob.glob(f"{FORTUNES}/cs/*.u8")),  # fortunes-cs
    "es": sorted(glob.glob(f"{FORTUNES}/es/*.u8")),  # fortunes-es
}
LENGTHS = [1, 2, 3, 4, 8, 30]
PER_GROUP = 20000
ESCAPES = re.compile(r"\x1b\[[0-9;]*m")


def lines_of(path):
    opener = gzip.open if path.endswith(".gz") else open
    with opener(path, "rt", encoding="utf-8", errors="replace") as f:
        for line in f:
            line = ESCAPES.sub("", line).strip()
            if line and line != "%" and "\ufffd" not in line:
                yield line


def has_non_ascii(text):
    return any(ord(c) >= 0x80 for c in text)


def strip_punctuation(word):
    def punct(c):
        return unicodedata.category(c)[0] in "PS"
    while word and punct(word[0]):
        word = word[1:]
    while word and punct(word[-1]):
        word = word[:-1]
    return word


def sample(rng, items, n):
    return items if len(items) <= n else rng.sample(items, n)


def main():
    rng = random.Random(12)
    out = open(sys.argv[1], "w")

    def emit(expected, group, data):
        out.write(f"{expected} {group} {data.hex()}\n")

    zh = [line for path in SOURCES["zh"] for line in lines_of(path) if has_non_ascii(line)]
    for n in LENGTHS:
        snippets = []
        while len(snippets) < PER_GROUP:
            line = rng.choice(zh)
            if len(line) < n:
                continue
            start = rng.randrange(len(line) - n + 1)
            s = line[start:start + n]
            if has_non_ascii(s) and not s.isspace():
                snippets.append(s)
        for s in snippets:
            emit("G", f"zh:{n}", s.encode("gb18030"))
            emit("U", f"zh:{n}", s.encode("utf-8"))
    for s in sample(rng, zh, PER_GROUP):
        emit("G", "zh:line", s.encode("gb18030"))
        emit("U", "zh:line", s.encode("utf-8"))

    for lang in ("de", "ru", "cs", "es"):
        lines = [l for path in SOURCES[lang] for l in lines_of(path) if has_non_ascii(l)]
        words = [w for l in lines for w in map(strip_punctuation, l.split()) if has_non_ascii(w)]
        for w in sample(rng, words, PER_GROUP):
            emit("U", f"{lang}:word", w.encode("utf-8"))
        for l in sample(rng, lines, PER_GROUP):
            emit("U", f"{lang}:line", l.encode("utf-8"))


if __name__ == "__main__":
    main()
