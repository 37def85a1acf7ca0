#!/usr/bin/env python3
"""Times korvex against `wc -l` on the benchmark drawings.

Usage: measure.py PROGRAM_DIR RUNS DRAWING... [--baseline OTHER_PROGRAM_DIR]

Runs are alternated (korvex, wc -l, and the baseline korvex when given) so that
all see the same machine noise. For each drawing the medians of wall time and of
CPU time (user + system) are printed, their ratios to `wc -l`, korvex's peak
resident memory (one run under /usr/bin/time), and the baseline's median.
"""
import os
import statistics
import subprocess
import sys
import time


def run(cmd, cwd):
    """Wall seconds, CPU seconds, exit status and peak resident KB of one process."""
    t = time.perf_counter()
    p = subprocess.Popen(cmd, cwd=cwd, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                         stdin=subprocess.DEVNULL)
    _, status, usage = os.wait4(p.pid, 0)
    wall = time.perf_counter() - t
    return wall, usage.ru_utime + usage.ru_stime, os.waitstatus_to_exitcode(status), usage.ru_maxrss


def peak_kb(cmd, cwd):
    """Peak resident KB of one run, through /usr/bin/time: a child of this script
    would also count the interpreter it was forked from."""
    if not os.path.exists("/usr/bin/time"):
        return run(cmd, cwd)[3]
    p = subprocess.run(["/usr/bin/time", "-f", "%M"] + cmd, cwd=cwd, stdout=subprocess.DEVNULL,
                       stderr=subprocess.PIPE, stdin=subprocess.DEVNULL, text=True)
    return int(p.stderr.strip().splitlines()[-1])


def main():
    args = sys.argv[1:]
    baseline = None
    if "--baseline" in args:
        i = args.index("--baseline")
        baseline = os.path.abspath(args[i + 1])
        del args[i:i + 2]
    program_dir, runs, drawings = os.path.abspath(args[0]), int(args[1]), args[2:]
    korvex = os.path.join(program_dir, "korvex")
    print("%-24s %8s %9s %9s %6s %8s %8s %6s %8s %9s" % (
        "drawing", "size MB", "korvex ms", "wc -l ms", "ratio", "cpu ms", "wc cpu", "ratio", "peak MB",
        "base ms" if baseline else ""))
    worst, worst_peak = 0.0, 0.0
    for path in drawings:
        path = os.path.abspath(path)
        name = os.path.basename(path)[:-4]
        # One unmeasured run each: the drawing is in the page cache for all.
        run([korvex, path], program_dir)
        run(["wc", "-l", path], program_dir)
        kw, kc, ww, wcpu, bw = [], [], [], [], []
        peak = peak_kb([korvex, path], program_dir)
        for _ in range(runs):
            wall, cpu, rc, _ = run([korvex, path], program_dir)
            # Status 5: the run went through but found no contour on the work layer.
            if rc not in (0, 5):
                print("korvex failed on", path, "status", rc)
                return 1
            kw.append(wall)
            kc.append(cpu)
            wall, cpu, _, _ = run(["wc", "-l", path], program_dir)
            ww.append(wall)
            wcpu.append(cpu)
            # An in-memory baseline would hold a 2 GB drawing in the shared machine's memory.
            if baseline and os.path.getsize(path) < 500e6:
                bw.append(run([os.path.join(baseline, "korvex"), path], baseline)[0])
        km, wm = statistics.median(kw), statistics.median(ww)
        kcm, wcm = statistics.median(kc), statistics.median(wcpu)
        ratio = km / wm if wm > 0 else float("nan")
        size = os.path.getsize(path) / 1e6
        # The ratio goal is about reading: only drawings large enough for reading to dominate count.
        if size >= 10:
            worst = max(worst, ratio)
        worst_peak = max(worst_peak, peak / 1024.0)
        print("%-24s %8.1f %9.1f %9.1f %6.2f %8.1f %8.1f %6.2f %8.1f %9s" % (
            name, size, km * 1e3, wm * 1e3, ratio, kcm * 1e3, wcm * 1e3, kcm / wcm if wcm > 0 else float("nan"),
            peak / 1024.0, "%.1f" % (statistics.median(bw) * 1e3) if bw else ""), flush=True)
    print("runs per command: %d; worst wall ratio of the drawings over 10 MB: %.2f (goal 3); "
          "largest peak: %.1f MB (goal under 64)" % (runs, worst, worst_peak))
    return 0


if __name__ == "__main__":
    sys.exit(main())
