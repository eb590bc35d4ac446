#!/usr/bin/env python3
"""Four merges into one file at once, some of them killed at random, round after round.

    bench/merge_kills.py [LANZHOU_CLI] [ROUNDS]

LANZHOU_CLI defaults to build/cli/lanzhou-cli, ROUNDS to 100. Each round starts four
`lanzhou-cli merge LIST --datum TAG -o out.txt` at once into a file that already holds the
earlier rounds, and sends one or two of them SIGTERM, SIGINT or SIGKILL after a random delay
within the time the four take one after the other (measured first), so that signals fall on
merges at work, waiting for the lock, and done alike.
Every merge's lines carry its own tag, so the file tells whose each line is. After every
round the file must hold, in some order:
  - every merge that reported success (exit 0): all its lines, contiguous, each whole;
  - a merge stopped by SIGTERM or SIGINT: none of its lines (the signal takes them back), or
    all of them when the signal came after the commit, as the program was ending;
  - a merge stopped by SIGKILL (nothing can take that back): a run of its first lines, the
    last possibly cut off;
and nothing else; and what the earlier rounds left stays byte for byte. Each round parses only
what it added (from the start of the last line the earlier rounds left, which may be a cut-off
one), so a round costs the same however large the file grows. Prints one line per failed
check, the time taken and a summary; exits 1 on any failure.
"""
import hashlib
import os
import random
import re
import signal
import subprocess
import sys
import tempfile
import time

CHUNK = 1 << 22

LINES = 100000


def main():
    cli = os.path.realpath(sys.argv[1] if len(sys.argv) > 1 else "build/cli/lanzhou-cli")
    rounds = int(sys.argv[2]) if len(sys.argv) > 2 else 100
    if not os.access(cli, os.X_OK):
        sys.exit(f"merge_kills: no program at {cli}")
    rng = random.Random(20)
    failures = 0
    outcomes = {"ok": 0, "taken back": 0, "killed": 0, "other": 0}
    with tempfile.TemporaryDirectory(prefix="lanzhou-merge-kills.") as scratch:
        listing = os.path.join(scratch, "list.txt")
        with open(listing, "wb") as f:
            f.write(b"".join(b"row%06d\r\n" % i for i in range(LINES)))
        out = os.path.join(scratch, "out.txt")
        span = 4 * one_merge_time(cli, listing, scratch)
        kept = Kept()
        killed = []  # the merges SIGKILL stopped, of every round
        started = time.monotonic()
        for r in range(rounds):
            expected_blocks = []  # (tag, kind) of this round, in no particular order
            tags = [f"r{r}m{m}" for m in range(4)]
            merges = [
                subprocess.Popen([cli, "merge", listing, "--datum", tag, "-o", out],
                                 stderr=subprocess.DEVNULL)
                for tag in tags
            ]
            victims = rng.sample(range(4), rng.choice((1, 2)))
            time.sleep(rng.uniform(0, span))
            for v in victims:
                merges[v].send_signal(rng.choice((signal.SIGTERM, signal.SIGINT, signal.SIGKILL)))
            for tag, merge in zip(tags, merges):
                status = merge.wait()
                if status == 0:
                    kind = "ok"
                elif status in (-signal.SIGTERM, -signal.SIGINT):
                    kind = "taken back"
                elif status == -signal.SIGKILL:
                    kind = "killed"
                else:
                    kind = "other"
                outcomes[kind] += 1
                expected_blocks.append((tag, kind))
            killed += [tag for tag, kind in expected_blocks if kind == "killed"]
            failures += check(out, kept, expected_blocks, killed, r)
            leftovers = [n for n in os.listdir(scratch) if n not in ("list.txt", "out.txt")]
            if leftovers:
                print(f"round {r}: files left: {leftovers}")
                failures += 1
    print(f"merge_kills: signals within {span * 1000:.0f} ms; {rounds} rounds, {sum(outcomes.values())} merges "
          f"({outcomes['ok']} done, {outcomes['taken back']} taken back by their signal, "
          f"{outcomes['killed']} killed by SIGKILL, {outcomes['other']} other): "
          f"{failures} failed checks, {time.monotonic() - started:.0f} s")
    return 1 if failures or outcomes["other"] else 0


def one_merge_time(cli, listing, scratch):
    """The median time of one merge alone, in seconds."""
    probe = os.path.join(scratch, "probe.txt")
    times = []
    for _ in range(3):
        started = time.monotonic()
        subprocess.run([cli, "merge", listing, "--datum", "probe", "-o", probe], check=True)
        times.append(time.monotonic() - started)
        os.remove(probe)
    return sorted(times)[1]


LINE = re.compile(rb"row(\d{6})\|\|(r\d+m\d)\r\n")


def cut_line_of(line, tag):
    """Whether `line` (with the line end added after it) is a merge line of `tag` cut short."""
    if line.endswith(b"\r\n"):
        line = line[:-2]
    full = b"row000000||" + tag.encode() + b"\r"  # cut at the latest before its "\n"
    if len(line) > len(full):
        return False
    return all(a == b or (3 <= i < 9 and chr(a).isdigit()) for i, (a, b) in enumerate(zip(line, full)))


class Kept:
    """What the earlier rounds left: its length and hash, and where its last line starts."""

    def __init__(self):
        self.size = 0
        self.digest = hashlib.sha256().digest()
        self.last_line = 0


def read_round(out, kept, round_number):
    """The bytes from the start of the earlier rounds' last line on, after checking that the
    bytes before it are as the earlier rounds left them; None when they are not."""
    try:
        f = open(out, "rb")
    except FileNotFoundError:
        if kept.size:
            print(f"round {round_number}: the file is gone")
            return None
        return b""
    with f:
        h = hashlib.sha256()
        left = kept.size
        while left:
            chunk = f.read(min(CHUNK, left))
            if not chunk:
                break
            h.update(chunk)
            left -= len(chunk)
        if left or h.digest() != kept.digest:
            print(f"round {round_number}: the earlier rounds' {kept.size} bytes changed")
            return None
        tail = f.read()
        h.update(tail)
        f.seek(kept.last_line)
        data = f.read(kept.size - kept.last_line) + tail
    # What this round leaves is kept for the next.
    start = kept.last_line
    kept.size = start + len(data)
    kept.digest = h.digest()
    end = data.rfind(b"\n")
    kept.last_line = start + end + 1 if end >= 0 else start
    return data


def check(out, kept, blocks, killed, round_number):
    """The failed checks of this round's part of the file against what its merges reported;
    `killed` lists the merges of every round so far that SIGKILL stopped."""
    data = read_round(out, kept, round_number)
    if data is None:
        return 1
    # Cut the file into runs of lines of one tag; a line that does not parse stands alone.
    runs = []  # [tag or None, first row, count, last line whole]
    pos = 0
    while pos < len(data):
        end = data.find(b"\n", pos)
        line = data[pos:] if end < 0 else data[pos:end + 1]
        pos = len(data) if end < 0 else end + 1
        m = LINE.fullmatch(line)
        if m is None:
            runs.append([None, line, 0, False])
            continue
        tag, row = m.group(2).decode(), int(m.group(1))
        if runs and runs[-1][0] == tag and runs[-1][3] and runs[-1][1] + runs[-1][2] == row:
            runs[-1][2] += 1
        else:
            runs.append([tag, row, 1, True])
    kinds = dict(blocks)
    failed = 0
    seen = {}
    for i, (tag, first, count, _) in enumerate(runs):
        if tag is None:
            # A cut-off line, with the line end the next merge put after it: the start of a
            # line of a merge killed by SIGKILL, nothing else.
            if not any(cut_line_of(first, t) for t in killed):
                print(f"round {round_number}: a broken line {first[:40]!r} of no killed merge")
                failed += 1
            continue
        if tag in seen:
            print(f"round {round_number}: the lines of {tag} are not contiguous")
            failed += 1
        seen[tag] = (first, count)
    for tag, kind in blocks:
        first, count = seen.get(tag, (0, 0))
        if kind == "ok" and (first, count) != (0, LINES):
            print(f"round {round_number}: {tag} reported success but has {count} lines from row {first}")
            failed += 1
        elif kind == "taken back" and (first, count) not in ((0, 0), (0, LINES)):
            print(f"round {round_number}: {tag} was stopped by a catchable signal but {count} lines stay")
            failed += 1
        elif kind == "killed" and count and first != 0:
            print(f"round {round_number}: {tag}'s lines do not start at its first row")
            failed += 1
    return failed


if __name__ == "__main__":
    sys.exit(main())
