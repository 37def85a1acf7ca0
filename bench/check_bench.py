#!/usr/bin/env python3
"""Time and memory of korvex --check on large and awkward programs.

Usage: bench/check_bench.py BUILD_DIR [RUNS]

Writes the programs into a temporary folder, runs `korvex --check` on each RUNS
times (default 3) and prints a Markdown table: moves, size, median time, moves
per second, peak resident memory (through /usr/bin/time) and the size of
_check.htm and of the console text.
"""
import math
import os
import shutil
import statistics
import subprocess
import sys
import tempfile

HEAD = "%;\nG54G90;\nG92 X0.000 Y0.000;\n"


def block(n, body, x=0.0, y=0.0):
    """Block N<n> threading at (x, y) inside a counter-clockwise loop, cutting it with G41."""
    return (f"N{n};\nG00 X{x:.3f} Y{y:.3f};\nM60;\nG90G41G44G52;\n" + "".join(body) +
            f"G01 X{x:.3f} Y{y:.3f};\nG40G43G50;\nM50;\nM99;\n")


def polygon(cx, cy, r, n, clockwise=False):
    """A closed polygon of n segments, as G01 lines from its first corner round to it."""
    pts = []
    for k in range(n + 1):
        a = 2 * math.pi * k / n * (-1 if clockwise else 1)
        pts.append((cx + r * math.cos(a), cy + r * math.sin(a)))
    return pts


def loop_program(pts, hole):
    body = [f"G01 X{x:.3f} Y{y:.3f};\n" for x, y in pts]
    return HEAD + "M98P10;\nM30;\n" + block(10, body, *hole)


def one_loop(n):
    return loop_program(polygon(0, 0, 2000, n), (0, 0))


def many_loops(n):
    side = int(math.ceil(math.sqrt(n)))
    calls, blocks = [], []
    for k in range(n):
        cx, cy = (k % side) * 10.0, (k // side) * 10.0
        body = [f"G01 X{x:.3f} Y{y:.3f};\n" for x, y in polygon(cx, cy, 3, 4)]
        calls.append(f"M98P{k + 10};\n")
        blocks.append(block(k + 10, body, cx, cy))
    return HEAD + "".join(calls) + "M30;\n" + "".join(blocks)


def nested(n):
    outer = [f"G01 X{x:.3f} Y{y:.3f};\n" for x, y in polygon(0, 0, 1000, n)]
    inner = [f"G01 X{x:.3f} Y{y:.3f};\n" for x, y in polygon(0, 0, 999, n)]
    return HEAD + "M98P10;\nM98P11;\nM30;\n" + block(10, inner) + block(11, outer)


def rapids_in_cut(n):
    body = []
    for k in range(n):
        body.append(f"G00 X{k * 0.01:.3f} Y1.000;\n")
    return HEAD + "M98P10;\nM30;\n" + block(10, body)


def remarks_line(size):
    pairs = "(a)" * (size // 3)
    body = [pairs + "G01 X1.000 Y0.000;\n", "G01 X1.000 Y1.000;\n", "G01 X0.000 Y1.000;\n", "G01 X1.000 Y0.000;\n"]
    return HEAD + "M98P10;\nM30;\n" + block(10, body, 0.7, 0.6)


def repeated_calls(depth, width):
    text = HEAD + "M98P10;\nM30;\n"
    for d in range(depth):
        text += f"N{10 + d};\n" + f"C120 H1 F3.4;\nM98P{11 + d};\n" * width + "M99;\n"
    body = [f"G01 X{x:.3f} Y{y:.3f};\n" for x, y in polygon(0, 0, 3, 4)]
    return text + block(10 + depth, body)


def faulty_rapids(n):
    """A cut of n rapid moves, each a fault: the console and page stay bounded."""
    body = [f"G00 X{k * 0.01:.3f} Y1.000 (a remark that makes the line long enough to matter much);\n" for k in range(n)]
    return HEAD + "M98P10;\nM30;\n" + block(10, body)


CASES = [
    ("1M moves, one loop", lambda: one_loop(1000000)),
    ("200k moves, one loop", lambda: one_loop(200000)),
    ("60k loops", lambda: many_loops(60000)),
    ("2 nested loops of 60k", lambda: nested(60000)),
    ("100k rapids in one cut", lambda: rapids_in_cut(100000)),
    ("4 MB line of remarks", lambda: remarks_line(4 << 20)),
    ("calls 10 deep, 10 wide", lambda: repeated_calls(10, 10)),
    ("50k faulty rapids", lambda: faulty_rapids(50000)),
]


def main():
    build = sys.argv[1]
    runs = int(sys.argv[2]) if len(sys.argv) > 2 else 3
    work = tempfile.mkdtemp()
    try:
        shutil.copy(os.path.join(build, "korvex"), work)
        shutil.copytree(os.path.join(build, "devices"), os.path.join(work, "devices"))
        with open(os.path.join(work, "korvex.ini"), "w") as f:
            f.write("OpenDataFile: 0\n")
        print("| program | moves | size MB | median s | moves/s | peak MB | page KB | console KB | status |")
        print("|---|--:|--:|--:|--:|--:|--:|--:|--:|")
        for name, make in CASES:
            text = make()
            path = os.path.join(work, "p.NC")
            with open(path, "w") as f:
                f.write(text)
            moves = sum(1 for line in text.splitlines() if line.startswith(("G00 X", "G01 X", "G02 X", "G03 X")))
            times, peaks = [], []
            for _ in range(runs):
                r = subprocess.run(["/usr/bin/time", "-f", "%e %M", "./korvex", "--check", "p.NC"], cwd=work,
                                   capture_output=True, text=True, errors="replace")
                last = r.stderr.strip().splitlines()[-1].split()
                times.append(float(last[0]))
                peaks.append(int(last[1]) / 1024)
            t = statistics.median(times)
            page = os.path.getsize(os.path.join(work, "_check.htm")) / 1024
            print(f"| {name} | {moves} | {len(text) / 1e6:.1f} | {t:.2f} | {moves / max(t, 0.01):,.0f} | "
                  f"{max(peaks):.0f} | {page:.0f} | {len(r.stdout) / 1024:.0f} | {r.returncode} |", flush=True)
    finally:
        shutil.rmtree(work)


if __name__ == "__main__":
    main()
