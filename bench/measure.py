#!/usr/bin/env python3
"""Times korvex against `wc -l` (and ezdxf when installed) on the benchmark drawings.

Runs are alternated so that both commands see the same machine noise; medians
and ratios are printed, with korvex's peak resident memory.
"""
import os
import resource
import shutil
import statistics
import subprocess
import sys
import time


def run(cmd, cwd):
    before = resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss
    t = time.perf_counter()
    p = subprocess.run(cmd, cwd=cwd, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    dt = time.perf_counter() - t
    rss = resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss
    return dt, p.returncode, max(rss, before)


def peak_rss_kb(cmd, cwd):
    # GNU time reports the peak of exactly this process.
    if not shutil.which("/usr/bin/time"):
        return None
    p = subprocess.run(["/usr/bin/time", "-f", "%M"] + cmd, cwd=cwd, stdout=subprocess.DEVNULL,
                       stderr=subprocess.PIPE, text=True)
    try:
        return int(p.stderr.strip().splitlines()[-1])
    except (ValueError, IndexError):
        return None


def main():
    program_dir, data_dir = sys.argv[1], sys.argv[2]
    runs = int(sys.argv[3]) if len(sys.argv) > 3 else 5
    korvex = os.path.join(program_dir, "korvex")
    have_ezdxf = subprocess.run([sys.executable, "-c", "import ezdxf"], stderr=subprocess.DEVNULL).returncode == 0
    print("%-16s %10s %10s %7s %9s %10s %8s" % ("drawing", "korvex s", "wc -l s", "ratio", "peak MB",
                                                "ezdxf s", "speedup"))
    for name in ("large_12", "large_2000", "full_12", "full_2000"):
        path = os.path.join(data_dir, name + ".dxf")
        k, w, e = [], [], []
        for _ in range(runs):
            dt, rc, _ = run([korvex, path], program_dir)
            if rc != 0:
                print("korvex failed on", path, "status", rc)
                return 1
            k.append(dt)
            w.append(run(["wc", "-l", path], program_dir)[0])
            if have_ezdxf and name.startswith("large"):
                e.append(run([sys.executable, "-c", "import ezdxf,sys; ezdxf.readfile(sys.argv[1])", path],
                             program_dir)[0])
        rss = peak_rss_kb([korvex, path], program_dir)
        km, wm = statistics.median(k), statistics.median(w)
        em = statistics.median(e) if e else None
        print("%-16s %10.4f %10.4f %7.2f %9s %10s %8s" % (
            name, km, wm, km / wm if wm > 0 else float("nan"),
            "%.1f" % (rss / 1024.0) if rss else "?",
            "%.3f" % em if em else "-", "%.1fx" % (em / km) if em else "-"))
    return 0


if __name__ == "__main__":
    sys.exit(main())
