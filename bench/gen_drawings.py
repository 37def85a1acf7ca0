#!/usr/bin/env python3
"""Writes the benchmark drawings, deterministically, in both layouts.

<size>_12.dxf / <size>_2000.dxf for the sizes 20mb, 300mb and 2gb: LINE entities
on another layer (the clutter of a large assembly) up to about that size and,
spread over the file, 125 squares on the main layer, each with a feed circle.
full_12.dxf / full_2000.dxf: enough main-layer records to fill the element table:
one polygon contour of 900 segments and small squares with feed circles.
nest<N>_12.dxf / nest<N>_2000.dxf (N written as 1k, 20k, 200k or a number): N
elements on the main layer and nothing else: a grid of 10 x 6 mm rectangles, each
with a feed circle near its lower side, and around them one toothed outline of
about a tenth of N line segments with its own feed circle. Every part is a
contour inset in the outline; all of it is the analysis' work, none the reader's.

Usage: gen_drawings.py FOLDER [SIZE...]   (sizes: full 20mb 300mb 2gb nest<N>;
default full 20mb 300mb 2gb)
"""
import math
import re
import os
import sys


class Writer:
    def __init__(self, f, version):
        self.f = f
        self.v2000 = version > "AC1014"
        self.version = version
        self.handle = 0x100

    def g(self, code, value):
        self.f.write("%3d\n%s\n" % (code, value))

    def head(self, kind, layer, subclass):
        self.g(0, kind)
        self.g(5, "%X" % self.handle)
        self.handle += 1
        if self.v2000:
            self.g(330, "1F")
            self.g(100, "AcDbEntity")
        self.g(8, layer)
        if self.v2000:
            self.g(100, subclass)

    def line(self, layer, x1, y1, x2, y2, styled=False):
        self.head("LINE", layer, "AcDbLine")
        if styled:  # colour and line type, as exports of whole assemblies carry them
            self.g(6, "CONTINUOUS")
            self.g(62, 7)
        for c, v in ((10, x1), (20, y1), (30, 0), (11, x2), (21, y2), (31, 0)):
            self.g(c, "%.6f" % v)

    def circle(self, layer, x, y, r):
        self.head("CIRCLE", layer, "AcDbCircle")
        for c, v in ((10, x), (20, y), (30, 0), (40, r)):
            self.g(c, "%.6f" % v)

    def start(self, layers):
        self.g(0, "SECTION"); self.g(2, "HEADER"); self.g(9, "$ACADVER"); self.g(1, self.version)
        self.g(0, "ENDSEC"); self.g(0, "SECTION"); self.g(2, "TABLES"); self.g(0, "TABLE"); self.g(2, "LAYER")
        self.g(70, len(layers))
        for i, name in enumerate(layers):
            self.g(0, "LAYER")
            if self.v2000:
                self.g(5, "%X" % (0x10 + i)); self.g(330, "2")
                self.g(100, "AcDbSymbolTableRecord"); self.g(100, "AcDbLayerTableRecord")
            self.g(2, name); self.g(70, 0); self.g(62, 7); self.g(6, "CONTINUOUS")
        self.g(0, "ENDTAB"); self.g(0, "ENDSEC"); self.g(0, "SECTION"); self.g(2, "ENTITIES")

    def end(self):
        self.g(0, "ENDSEC")
        if self.v2000:
            self.g(0, "SECTION"); self.g(2, "OBJECTS"); self.g(0, "DICTIONARY"); self.g(5, "C")
            self.g(100, "AcDbDictionary"); self.g(0, "ENDSEC")
        self.g(0, "EOF")


def square(w, x, y, size=10.0):
    pts = [(x, y), (x + size, y), (x + size, y + size), (x, y + size)]
    for i in range(4):
        a, b = pts[i], pts[(i + 1) % 4]
        w.line("DXF_MAIN", a[0], a[1], b[0], b[1])
    w.circle("DXF_MAIN", x + size / 2, y + 2.0, 0.5)


SIZES = {"20mb": 20e6, "300mb": 300e6, "2gb": 2e9}


class Text:
    """Collects what a Writer writes, for text that is written many times."""

    def __init__(self):
        self.parts = []

    def write(self, s):
        self.parts.append(s)

    def value(self):
        return "".join(self.parts)


def clutter_blocks(version, count=16, per_block=1600):
    """Distinct runs of pseudo-random LINE entities on another layer; large drawings
    repeat them, which keeps writing gigabytes quick."""
    s = 12345
    blocks = []
    for _ in range(count):
        t = Text()
        w = Writer(t, version)
        for _ in range(per_block):
            s = (s * 1103515245 + 12345) & 0x7FFFFFFF
            x = (s % 100000) / 100.0
            s = (s * 1103515245 + 12345) & 0x7FFFFFFF
            y = (s % 100000) / 100.0
            w.line("OTHER", x, y, x + 3.25, y + 1.5, styled=True)
        blocks.append(t.value())
    return blocks


def large(path, version, size):
    blocks = clutter_blocks(version)
    average = sum(len(b) for b in blocks) / len(blocks)
    count = max(1, int(round(size / average)))
    with open(path, "w") as f:
        w = Writer(f, version)
        w.start(["0", "DXF_MAIN", "OTHER"])
        k = 0
        for b in range(count):
            f.write(blocks[b % len(blocks)])
            # The squares spread evenly over the clutter, the last one before the end.
            while k < 125 and k * count // 125 <= b:
                square(w, 1000 + (k % 25) * 20, 1000 + (k // 25) * 20)
                k += 1
        w.end()


def full(path, version):
    with open(path, "w") as f:
        w = Writer(f, version)
        w.start(["0", "DXF_MAIN"])
        n = 900
        r = 200.0
        pts = [(r * math.cos(2 * math.pi * i / n), r * math.sin(2 * math.pi * i / n)) for i in range(n)]
        for i in range(n):
            a, b = pts[i], pts[(i + 1) % n]
            w.line("DXF_MAIN", a[0], a[1], b[0], b[1])
        w.circle("DXF_MAIN", 198.0, 0.0, 0.5)
        # Small squares outside the polygon up to the table's size.
        for k in range(10):
            square(w, 400 + k * 20, 0)
        w.end()


def nest_layout(n):
    """Parts and outline segments for a nest of about n elements: 5 per part
    (4 lines, 1 circle), the outline a tenth of them (at least 100), 1 circle for it."""
    segments = max(100, n // 10)
    segments += segments % 2  # teeth go out and in: an even count closes the outline
    parts = max(1, (n - segments - 1) // 5)
    return parts, segments


def nest(path, version, n):
    parts, segments = nest_layout(n)
    cols = max(1, int(math.ceil(math.sqrt(parts))))
    rows = (parts + cols - 1) // cols
    pitch_x, pitch_y = 16.0, 10.0
    cx, cy = cols * pitch_x / 2, rows * pitch_y / 2
    # The outline's circle holds the grid's corners with room for its feed point.
    r = math.hypot(cx, cy) + 10.0
    with open(path, "w") as f:
        w = Writer(f, version)
        w.start(["0", "DXF_MAIN"])
        for k in range(parts):
            x, y = (k % cols) * pitch_x + 3.0, (k // cols) * pitch_y + 2.0
            pts = [(x, y), (x + 10.0, y), (x + 10.0, y + 6.0), (x, y + 6.0)]
            for i in range(4):
                a, b = pts[i], pts[(i + 1) % 4]
                w.line("DXF_MAIN", a[0], a[1], b[0], b[1])
            w.circle("DXF_MAIN", x + 5.0, y + 1.5, 0.4)
        # Teeth of 0.5 mm: every other corner lies on the smaller circle.
        pts = []
        for i in range(segments):
            a = 2 * math.pi * i / segments
            ri = r if i % 2 == 0 else r - 0.5
            pts.append((cx + ri * math.cos(a), cy + ri * math.sin(a)))
        for i in range(segments):
            a, b = pts[i], pts[(i + 1) % segments]
            w.line("DXF_MAIN", a[0], a[1], b[0], b[1])
        w.circle("DXF_MAIN", cx + r - 3.0, cy, 0.5)
        w.end()


def nest_count(size):
    """The element count of a size named nest<N>: nest20k, nest200000."""
    m = re.fullmatch(r"nest(\d+)(k?)", size)
    if not m:
        return None
    return int(m.group(1)) * (1000 if m.group(2) else 1)


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.dirname(os.path.abspath(__file__)) + "/data"
    sizes = sys.argv[2:] or ["full"] + list(SIZES)
    for size in sizes:
        if size != "full" and size not in SIZES and not nest_count(size):
            sys.exit("gen_drawings.py: unknown size '%s'" % size)
    os.makedirs(out, exist_ok=True)
    for size in sizes:
        for version, tag in (("AC1009", "12"), ("AC1015", "2000")):
            path = "%s/%s_%s.dxf" % (out, size, tag)
            if not os.path.exists(path):
                if size == "full":
                    full(path, version)
                elif nest_count(size):
                    nest(path, version, nest_count(size))
                else:
                    large(path, version, SIZES[size])
            print(path)


if __name__ == "__main__":
    main()
