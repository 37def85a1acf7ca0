#!/usr/bin/env python3
"""Times korvex against `wc -l` (and ezdxf when installed) on the benchmark drawings.

Runs are alternated so that both commands see the same machine noise. For each
drawing the medians of wall time and of CPU time (user + system) are printed, their
ratios to `wc -l`, and korvex's peak resident memory (the largest of all its runs).
"""
import os
import statistics
import subprocess
import sys
import time

DRAWINGS = ("large_12", "large_2000", "full_12", "full_2000")


def run(cmd, cwd):
    """Wall seconds, CPU seconds, exit status and peak resident KB of one process."""
    t = time.perf_counter()
    p = subprocess.Popen(cmd, cwd=cwd, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                         stdin=subprocess.DEVNULL)
    _, status, usage = os.wait4(p.pid, 0)
    wall = time.perf_counter() - t
    p.returncode = os.waitstatus_to_exitcode(status)
    return wall, usage.ru_utime + usage.ru_stime, p.returncode, usage.ru_maxrss


def ezdxf_python():
    """An interpreter that has ezdxf (the Debian package lives with /usr/bin/python3)."""
    for py in (sys.executable, "/usr/bin/python3"):
        if os.path.exists(py) and subprocess.run([py, "-c", "import ezdxf"], stderr=subprocess.DEVNULL,
                                                 stdout=subprocess.DEVNULL).returncode == 0:
            return py
    return None


def main():
    program_dir, data_dir = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
    runs = int(sys.argv[3]) if len(sys.argv) > 3 else 5
    korvex = os.path.join(program_dir, "korvex")
    py = ezdxf_python()
    print("%-11s %9s %9s %6s %8s %8s %6s %8s %8s %8s" % (
        "drawing", "korvex ms", "wc -l ms", "ratio", "cpu ms", "wc cpu", "ratio", "peak MB", "ezdxf s", "speedup"))
    worst = 0.0
    for name in DRAWINGS:
        path = os.path.join(data_dir, name + ".dxf")
        # One unmeasured run each: the drawing is in the page cache for both.
        run([korvex, path], program_dir)
        run(["wc", "-l", path], program_dir)
        kw, kc, ww, wcpu, e = [], [], [], [], []
        peak = 0
        for _ in range(runs):
            wall, cpu, rc, rss = run([korvex, path], program_dir)
            if rc != 0:
                print("korvex failed on", path, "status", rc)
                return 1
            kw.append(wall)
            kc.append(cpu)
            peak = max(peak, rss)
            wall, cpu, _, _ = run(["wc", "-l", path], program_dir)
            ww.append(wall)
            wcpu.append(cpu)
        # ezdxf after the others: its hundreds of megabytes, freed between runs, would
        # make the next program's fresh memory slow to touch on a virtual machine.
        if py and name.startswith("large"):
            for _ in range(max(3, runs // 2)):
                e.append(run([py, "-c", "import ezdxf,sys; ezdxf.readfile(sys.argv[1])", path], program_dir)[0])
        km, wm = statistics.median(kw), statistics.median(ww)
        kcm, wcm = statistics.median(kc), statistics.median(wcpu)
        em = statistics.median(e) if e else None
        ratio = km / wm if wm > 0 else float("nan")
        if name.startswith("large"):
            worst = max(worst, ratio)
        print("%-11s %9.1f %9.1f %6.2f %8.1f %8.1f %6.2f %8.1f %8s %8s" % (
            name, km * 1e3, wm * 1e3, ratio, kcm * 1e3, wcm * 1e3, kcm / wcm if wcm > 0 else float("nan"),
            peak / 1024.0, "%.2f" % em if em else "-", "%.0fx" % (em / km) if em else "-"))
    print("runs per command: %d; worst wall ratio of the large drawings: %.2f" % (runs, worst))
    return 0


if __name__ == "__main__":
    sys.exit(main())
