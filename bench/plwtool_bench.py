#!/usr/bin/env python3
"""Time and peak memory of each plwtool command beside a plain Python json baseline.

usage: bench/plwtool_bench.py BUILD [ENTRIES] [RUNS]
       bench/plwtool_bench.py BUILD --shapes

--shapes prints one table instead: the peak RSS (and time) of show, export (JSON, CSV), check
and run --dry-run on four list shapes (10,000,000 empty entries, 1,000,000 "$dummy$" entries,
one 100 MB Shift-JIS line, a 1,000,000-entry typical list), as a multiple of the input.

BUILD is a Release build configured with -DPALLOMAR_BENCH=ON (it needs plwtool and
list_file_load). The list is generated once in a scratch folder (ENTRIES, default 1,000,000),
exported to JSON, and every command runs RUNS times (default 3); the best time and the
largest peak RSS are printed, with peak RSS as a multiple of the command's input size.
"""
import os
import subprocess
import sys
import tempfile
import time


def run(argv, stdin_path=None, stdout_path=os.devnull):
    """Runs one child; returns (seconds, peak RSS in bytes, exit status)."""
    stdin = open(stdin_path, "rb") if stdin_path else subprocess.DEVNULL
    with open(stdout_path, "wb") as out:
        start = time.perf_counter()
        proc = subprocess.Popen(argv, stdin=stdin, stdout=out, stderr=subprocess.DEVNULL)
        _, status, usage = os.wait4(proc.pid, 0)
        seconds = time.perf_counter() - start
    if stdin_path:
        stdin.close()
    return seconds, usage.ru_maxrss * 1024, os.waitstatus_to_exitcode(status)


BASELINE_EXPORT = r"""
import json, sys
lines = open(sys.argv[1], 'rb').read().split(b'\r\n')
entries = []
for i in range(1, len(lines) - 5, 5):
    p, a, f, w, r = (x.decode('cp932', 'surrogateescape') for x in lines[i:i + 5])
    entries.append({'path': p, 'params': a or None, 'folder': f or None,
                    'windowState': w, 'runCheck': r == 'True'})
# Compact, so that Python's C encoder does the work (indented output takes its slow path).
sys.stdout.write(json.dumps({'format': 'pallomar-list', 'version': '102', 'entries': entries},
                            ensure_ascii=False))
"""

BASELINE_IMPORT = r"""
import json, sys
doc = json.load(open(sys.argv[1], encoding='utf-8'))
out = [b'102']
for e in doc['entries']:
    for k in ('path', 'params', 'folder', 'windowState'):
        out.append((e.get(k) or '').encode('cp932', 'surrogateescape'))
    out.append(b'True' if e['runCheck'] else b'False')
open(sys.argv[2], 'wb').write(b'\r\n'.join(out) + b'\r\n')
"""


# The list shapes for the memory table: name -> writer of the file.
def write_empty(path, n=10_000_000):
    with open(path, "wb") as f:
        block = b"\r\n" * 5 * 100_000
        f.write(b"102\r\n")
        for _ in range(n // 100_000):
            f.write(block)


def write_dummy(path, n=1_000_000):
    with open(path, "wb") as f:
        f.write(b"102\r\n" + b"\r\n$dummy$\r\n$dummy$\r\n\r\n\r\n" * n)


def write_long_line(path, size=100_000_000):
    with open(path, "wb") as f:
        f.write(b"102\r\nc:\\")
        f.write(b"\x95\x5c" * (size // 2))  # one double-byte character over and over
        f.write(b".exe\r\n\r\n\r\n0\r\nTrue\r\n")


def shapes(tool, maker, scratch):
    """Peak RSS of every reading command on each list shape, as a multiple of the input."""
    typical = os.path.join(scratch, "typical.plw")
    subprocess.run([maker, "make", typical, "1000000"], check=True)
    table = [("10,000,000 empty entries", write_empty), ("1,000,000 $dummy$ entries", write_dummy),
             ("one 100 MB Shift-JIS line", write_long_line), ("1,000,000 typical entries", None)]
    commands = [("show", ["show"]), ("export", ["export"]), ("csv", ["export", "--format", "csv"]),
                ("check", ["check"]), ("run -n", ["run", "--dry-run"])]
    out = os.path.join(scratch, "out")
    print("%-28s %8s " % ("shape", "MB") + " ".join("%16s" % c for c, _ in commands))
    for name, writer in table:
        path = typical
        if writer:
            # Written by a child: a child of a big parent starts with the parent's memory, which
            # would count in its peak.
            path = os.path.join(scratch, "shape.plw")
            subprocess.run([sys.executable, os.path.abspath(__file__), "--write", writer.__name__,
                            path], check=True)
        size = os.path.getsize(path)
        cells = []
        for _, args in commands:
            seconds, rss, _ = run([tool] + args[:1] + [path] + args[1:], None, out)
            cells.append("%6.0fMB %4.2fx %4.1fs" % (rss / 1e6, rss / size, seconds))
        print("%-28s %8.1f " % (name, size / 1e6) + " ".join("%16s" % c for c in cells))
        sys.stdout.flush()
        if writer:
            os.remove(path)
    os.remove(typical)


def main():
    if len(sys.argv) > 3 and sys.argv[1] == "--write":
        globals()[sys.argv[2]](sys.argv[3])
        return
    if len(sys.argv) > 2 and sys.argv[2] == "--shapes":
        build = sys.argv[1]
        scratch = tempfile.mkdtemp(prefix="plwtool-shapes-")
        shapes(os.path.join(build, "tools", "plwtool", "plwtool"),
               os.path.join(build, "bench", "list_file_load"), scratch)
        for name in os.listdir(scratch):
            os.remove(os.path.join(scratch, name))
        os.rmdir(scratch)
        return
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    build = sys.argv[1]
    entries = int(sys.argv[2]) if len(sys.argv) > 2 else 1_000_000
    runs = int(sys.argv[3]) if len(sys.argv) > 3 else 3
    tool = os.path.join(build, "tools", "plwtool", "plwtool")
    maker = os.path.join(build, "bench", "list_file_load")
    scratch = tempfile.mkdtemp(prefix="plwtool-bench-")
    plw = os.path.join(scratch, "list.plw")
    js = os.path.join(scratch, "list.json")
    members = os.path.join(scratch, "members.json")
    out = os.path.join(scratch, "out")
    subprocess.run([maker, "make", plw, str(entries)], check=True)
    with open(js, "wb") as f:
        subprocess.run([tool, "export", plw], stdout=f, check=True)
    # An entry of 160,000 unknown members: import refuses the first where it stands (status 1),
    # without reading the rest, so time and memory stay those of a start whatever follows it.
    # (No object of the list form takes more than six members, so no input brings the reader's
    # check for duplicate members to more; its own test holds that check linear.)
    with open(members, "w") as f:
        f.write('{"format":"pallomar-list","entries":[{')
        f.write(",".join('"m%d":1' % i for i in range(160_000)))
        f.write("}]}")

    rows = [
        ("plwtool show", [tool, "show", plw], None, plw),
        ("plwtool export (json)", [tool, "export", plw], None, plw),
        ("plwtool export --format csv", [tool, "export", plw, "--format", "csv"], None, plw),
        # The typical list has findings: check says so with status 1.
        ("plwtool check", [tool, "check", plw], None, plw, 1),
        ("plwtool import", [tool, "import", js, out + ".plw"], None, js),
        ("plwtool import - (stdin)", [tool, "import", "-", out + ".plw"], js, js),
        ("plwtool import refuses member 1/160,000", [tool, "import", members, out + ".plw"],
         None, members, 1),
        ("python json: list -> json", [sys.executable, "-c", BASELINE_EXPORT, plw], None, plw),
        ("python json: json -> list", [sys.executable, "-c", BASELINE_IMPORT, js, out + ".b"],
         None, js),
    ]
    print("%d entries: list %.1f MB, JSON %.1f MB; best of %d runs" %
          (entries, os.path.getsize(plw) / 1e6, os.path.getsize(js) / 1e6, runs))
    print("%-39s %9s %11s %9s %7s" % ("command", "time s", "peak MB", "x input", "status"))
    for name, argv, stdin_path, source, *expected in rows:
        best, peak, status = None, 0, 0
        for _ in range(runs):
            seconds, rss, status = run(argv, stdin_path, out)
            best = seconds if best is None else min(best, seconds)
            peak = max(peak, rss)
        size = os.path.getsize(source)
        # A status other than the one the row expects is marked: its figures measure a failure.
        mark = "" if status == (expected[0] if expected else 0) else " (!)"
        print("%-39s %9.2f %11.1f %9.2f %7d%s" %
              (name, best, peak / 1e6, peak / size, status, mark))
    for name in os.listdir(scratch):
        os.remove(os.path.join(scratch, name))
    os.rmdir(scratch)


if __name__ == "__main__":
    main()
