#!/usr/bin/env python3
"""Time of `plwtool check` on lists crafted so that every key has one hash, beside plain lists.

usage: bench/check_collisions_bench.py PLWTOOL [RUNS]

check finds duplicate entries with a hash table. The crafted lists are built against the
unkeyed hash the table once used (an eight-byte multiply-and-shift step per word): every
entry's key gets the same 64-bit hash under it, which made each entry walk past all the ones
before it. With the table keyed afresh each run the crafted lists must cost what plain ones do,
and both must grow linearly: twice the entries, twice the time. Prints one row per size: the
best of RUNS (default 3) for each list, and their ratio.
"""
import os
import subprocess
import sys
import tempfile
import time

MASK = (1 << 64) - 1
MUL = 0x9E3779B97F4A7C15
MUL_INVERSE = pow(MUL, -1, 1 << 64)
PATH = b"c:\\x.exe"  # eight bytes: one whole word, the same for every entry
BAD = set(b"\r\n\x00\x1a")  # bytes a list line cannot hold as they are


def step(h, word):
    h = ((h ^ word) * MUL) & MASK
    return h ^ (h >> 29)


def unstep(target, h):
    """The word that takes the hash from h to target."""
    x = target
    for _ in range(3):
        x = target ^ (x >> 29)
    return ((x * MUL_INVERSE) & MASK) ^ h


def crafted(n):
    """n distinct parameter texts of 15 bytes whose keys all hash alike."""
    target = 0x0123456789ABCDEF
    out = []
    counter = 0
    while len(out) < n:
        counter += 1
        # The key is the path, a line end, then the parameters: 24 bytes, three words.
        head = b"\n" + (b"%07d" % counter)
        h = step(step(0, int.from_bytes(PATH, "little")), int.from_bytes(head, "little"))
        tail = unstep(target, h).to_bytes(8, "little")
        if BAD & set(tail):
            continue
        out.append(head[1:] + tail)
    return out


def plain(n):
    return [b"-p%013d" % i for i in range(n)]


def write(path, params):
    with open(path, "wb") as f:
        f.write(b"102\r\n")
        for p in params:
            f.write(PATH + b"\r\n" + p + b"\r\n\r\n0\r\nTrue\r\n")


def best(argv, runs):
    times = []
    for _ in range(runs):
        start = time.perf_counter()
        status = subprocess.call(argv, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        times.append(time.perf_counter() - start)
        if status not in (0, 1):
            sys.exit(f"{' '.join(argv)}: status {status}")
    return min(times)


def main():
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    tool = sys.argv[1]
    runs = int(sys.argv[2]) if len(sys.argv) > 2 else 3
    scratch = tempfile.mkdtemp(prefix="plwtool-collisions-")
    print(f"{'entries':>8} {'plain s':>9} {'crafted s':>10} {'crafted/plain':>14}")
    for n in (20_000, 40_000, 80_000, 160_000):
        rows = []
        for name, params in (("plain", plain(n)), ("crafted", crafted(n))):
            path = os.path.join(scratch, f"{name}-{n}.plw")
            write(path, params)
            rows.append(best([tool, "check", path], runs))
            os.remove(path)
        print(f"{n:>8} {rows[0]:>9.3f} {rows[1]:>10.3f} {rows[1] / rows[0]:>14.2f}")
    os.rmdir(scratch)


if __name__ == "__main__":
    main()
