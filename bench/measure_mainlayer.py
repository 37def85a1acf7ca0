#!/usr/bin/env python3
"""Times korvex on main-layer nests of growing size (gen_drawings.py nest<N>).

Usage: measure_mainlayer.py PROGRAM_DIR DATA_DIR RUNS SIZE... [--formats 12,2000]
                            [--timeout SECONDS] [--baseline OTHER_PROGRAM_DIR]

For every size and layout: the median wall and CPU time (user + system, of
korvex and the /usr/bin/time wrapped around it, which measures its peak memory),
the peak resident memory, the bytes korvex writes to its console (stdout and
stderr into one file, as `korvex d.dxf >file 2>&1` would) and whether every
part was cut: the summary line's contour count and the NC program's
sub-programs against the parts drawn plus the outline. A run that takes longer
than the timeout is killed and reported as a timeout; a drawing the element
table cuts short is reported with the contours it did get. Runs of the baseline
build, when given, alternate with those of the program. At the end the goals
are checked: 200,000 elements under 2 s, peak under 128 MB,
time(200k) / time(10k) at most 25.
"""
import os
import re
import resource
import signal
import statistics
import subprocess
import sys
import threading
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import gen_drawings  # noqa: E402  (the layout of each nest: parts and outline segments)

# The console of a slow build can grow by the square of the drawing: beyond this the run
# is stopped (the file system refuses the write) and reported, rather than fill the disk.
CONSOLE_LIMIT = 2 << 30
SUMMARY = re.compile(rb"^korvex: (\d+) contours \((\d+) holes\), (\d+) without start hole", re.M)
# A contour's sub-program; an outline with inset parts has a second one for its own cut.
SUBPROGRAM = re.compile(rb"^N\d+\(-- (?:Contour: |child of )", re.M)


def limit_console():
    resource.setrlimit(resource.RLIMIT_FSIZE, (CONSOLE_LIMIT, CONSOLE_LIMIT))


def run(program_dir, drawing, console, timeout):
    """One run: wall s, CPU s, peak KB, exit status, console bytes, timed out."""
    korvex = os.path.join(program_dir, "korvex")
    peak_file = console + ".peak"
    nc = os.path.join(program_dir, "_nwd_out.NC")
    if os.path.exists(nc):
        os.remove(nc)
    with open(console, "wb") as out:
        t = time.perf_counter()
        p = subprocess.Popen(["/usr/bin/time", "-o", peak_file, "-f", "%M", korvex, drawing],
                             cwd=program_dir, stdout=out, stderr=out, stdin=subprocess.DEVNULL,
                             start_new_session=True, preexec_fn=limit_console)
        timed_out = []

        def stop():
            timed_out.append(True)
            try:
                os.killpg(p.pid, signal.SIGKILL)
            except ProcessLookupError:
                pass

        timer = threading.Timer(timeout, stop)
        timer.start()
        _, status, usage = os.wait4(p.pid, 0)
        wall = time.perf_counter() - t
        timer.cancel()
    p.returncode = os.waitstatus_to_exitcode(status)
    peak = 0
    try:
        with open(peak_file) as f:
            lines = [l for l in f.read().split() if l.isdigit()]
            peak = int(lines[-1]) if lines else usage.ru_maxrss
    except OSError:
        peak = usage.ru_maxrss
    return (wall, usage.ru_utime + usage.ru_stime, peak, p.returncode, os.path.getsize(console),
            bool(timed_out))


def cut(program_dir, console):
    """Contours the summary line names (None without one) and the NC program's sub-programs."""
    with open(console, "rb") as f:
        f.seek(max(0, os.path.getsize(console) - 65536))
        tail = f.read()
    m = None
    for m in SUMMARY.finditer(tail):
        pass
    contours = (int(m.group(1)), int(m.group(3))) if m else None
    full = b"more elements than korvex can take" in tail
    nc = os.path.join(program_dir, "_nwd_out.NC")
    subprograms = 0
    if os.path.exists(nc):
        with open(nc, "rb") as f:
            subprograms = len(SUBPROGRAM.findall(f.read()))
    return contours, subprograms, full


def parse_args(args):
    opts = {"formats": ["12", "2000"], "timeout": 120.0, "baseline": None}
    rest = []
    i = 0
    while i < len(args):
        if args[i] == "--formats":
            opts["formats"] = args[i + 1].split(",")
            i += 2
        elif args[i] == "--timeout":
            opts["timeout"] = float(args[i + 1])
            i += 2
        elif args[i] == "--baseline":
            opts["baseline"] = os.path.abspath(args[i + 1])
            i += 2
        else:
            rest.append(args[i])
            i += 1
    return os.path.abspath(rest[0]), os.path.abspath(rest[1]), int(rest[2]), rest[3:], opts


def measure(program_dir, drawing, console, runs, timeout, expected, baseline):
    """Medians over the runs (fewer when a run is slow) and the state of the last run."""
    walls, cpus, peaks, base = [], [], [], []
    state = None
    for i in range(runs):
        wall, cpu, peak, rc, console_bytes, timed_out = run(program_dir, drawing, console, timeout)
        if timed_out:
            state = ("timeout (%g s)" % timeout, console_bytes, None)
            break
        contours, subprograms, full = cut(program_dir, console)
        got = contours[0] if contours else 0
        if console_bytes >= CONSOLE_LIMIT:
            state = ("console over %d GB" % (CONSOLE_LIMIT >> 30), console_bytes, None)
            break
        if rc not in (0, 5) or (contours is None and not full):
            state = ("failed: status %d" % rc, console_bytes, None)
            break
        if got == expected and subprograms == expected and contours[1] == 0:
            verdict = "all %d" % expected
        elif got < expected:
            # The outline is one of the contours; the parts are what the line counts.
            verdict = "cut short: %d of %d parts%s" % (max(0, got - 1), expected - 1,
                                                       " (element table full)" if full else "")
        else:
            verdict = "%d contours, %d sub-programs, %d without start hole (%d drawn)" % (
                got, subprograms, contours[1], expected)
        state = (verdict, console_bytes, subprograms)
        walls.append(wall)
        cpus.append(cpu)
        peaks.append(peak)
        if baseline:
            base.append(run(baseline, drawing, console + ".base", timeout)[0])
        # A slow drawing is measured fewer times: its noise is small against its time.
        if wall * (runs - i - 1) > 60:
            break
    med = lambda v: statistics.median(v) if v else None
    return med(walls), med(cpus), max(peaks) if peaks else None, state, med(base), len(walls)


def main():
    program_dir, data, runs, sizes, opts = parse_args(sys.argv[1:])
    rows = []
    for size in sizes:
        n = gen_drawings.nest_count(size)
        parts, segments = gen_drawings.nest_layout(n)
        for fmt in opts["formats"]:
            drawing = os.path.join(data, "%s_%s.dxf" % (size, fmt))
            console = os.path.join(data, "console.txt")
            wall, cpu, peak, state, base, done = measure(
                program_dir, drawing, console, runs, opts["timeout"], parts + 1, opts["baseline"])
            rows.append((size, n, fmt, wall, cpu, peak, state, base, done))
            print_row(rows[-1], opts["baseline"], first=len(rows) == 1)
            for f in (console, console + ".peak", console + ".base", console + ".base.peak"):
                if os.path.exists(f):
                    os.remove(f)
    print()
    goals(rows)
    return 0


def ms(v):
    return "-" if v is None else "%.1f" % (v * 1e3)


def print_row(row, baseline, first):
    size, n, fmt, wall, cpu, peak, state, base, done = row
    # A stopped run wrote at least that much.
    console = ("%d" if wall is not None else ">=%d") % state[1]
    if first:
        print("| drawing | elements | format | wall ms | cpu ms | peak MB | console bytes | cut | runs |%s"
              % (" base ms |" if baseline else ""))
        print("|---|--:|---|--:|--:|--:|--:|---|--:|%s" % ("--:|" if baseline else ""))
    print("| %s_%s | %d | %s | %s | %s | %s | %s | %s | %d |%s" % (
        size, fmt, n, fmt, ms(wall), ms(cpu), "-" if peak is None else "%.1f" % (peak / 1024.0),
        console, state[0], done, (" %s |" % ms(base)) if baseline else ""), flush=True)


def goals(rows):
    """PASS or FAIL per goal and layout; a goal whose drawings were not all cut fails."""
    for fmt in sorted({r[2] for r in rows}, key=int):
        by_n = {r[1]: r for r in rows if r[2] == fmt}
        ok = lambda r: r is not None and r[3] is not None and r[6][0].startswith("all ")
        big, ten = by_n.get(200000), by_n.get(10000)
        if big is None:
            print("%s-format: 200k not measured, goals not checked" % fmt)
            continue
        if ok(big):
            print("%s-format: 200,000 elements under 2 s: %s (%.2f s)" % (
                fmt, "PASS" if big[3] < 2.0 else "FAIL", big[3]))
        else:
            print("%s-format: 200,000 elements under 2 s: FAIL (%s)" % (fmt, big[6][0]))
        peaks = [r[5] for r in by_n.values() if r[5] is not None]
        if ok(big) and peaks:
            print("%s-format: peak under 128 MB: %s (%.1f MB at most)" % (
                fmt, "PASS" if max(peaks) < 128 * 1024 else "FAIL", max(peaks) / 1024.0))
        else:
            print("%s-format: peak under 128 MB: FAIL (200k not converted in full%s)" % (
                fmt, "; %.1f MB at most" % (max(peaks) / 1024.0) if peaks else ""))
        if ok(big) and ok(ten):
            ratio = big[3] / ten[3]
            print("%s-format: time(200k) / time(10k) at most 25: %s (%.1f)" % (
                fmt, "PASS" if ratio <= 25 else "FAIL", ratio))
        else:
            print("%s-format: time(200k) / time(10k) at most 25: FAIL (%s)" % (
                fmt, "10k not measured" if ten is None else "not both converted in full"))


if __name__ == "__main__":
    sys.exit(main())
