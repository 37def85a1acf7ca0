#!/usr/bin/env python3
"""Writes the example drawings of this folder.

die_plate.dxf   12-format: a die plate with an outer profile of lines and arcs,
                three inner punches with their feed circles, two large holes, a
                position layer joining the feed points, technology texts and a
                directive.
bracket_2000.dxf 2000-format: a bracket whose outline is a lightweight polyline,
                a slot of arcs and lines, and their feed circles.
square_round_die.dxf 12-format, four-axis: a die opening that is a square at
                the bottom (DXF_MAIN) and a circle at the top (DXF_MAIN_TOP), 40 mm
                apart (TH=40).
turned_punch_2000.dxf 2000-format, four-axis: a square punch whose top (a
                lightweight polyline) is the same square turned by 15 degrees,
                entered from outside.
Run it again after a change: python3 examples/make_examples.py
"""
import os

HERE = os.path.dirname(os.path.abspath(__file__))


class Dxf:
    def __init__(self, version):
        self.version = version
        self.v2000 = version > "AC1014"
        self.layers = []
        self.body = []
        self.handle = 0x100

    def g(self, out, code, value):
        out.append("%3d" % code)
        out.append(str(value))

    def num(self, v):
        return "%.6f" % v

    def head(self, kind, layer, subclass):
        b = self.body
        self.g(b, 0, kind)
        self.g(b, 5, "%X" % self.handle)
        self.handle += 1
        if self.v2000:
            self.g(b, 330, "1F")
            self.g(b, 100, "AcDbEntity")
        self.g(b, 8, layer)
        if self.v2000 and subclass:
            self.g(b, 100, subclass)

    def line(self, layer, a, b):
        self.head("LINE", layer, "AcDbLine")
        for c, v in ((10, a[0]), (20, a[1]), (30, 0), (11, b[0]), (21, b[1]), (31, 0)):
            self.g(self.body, c, self.num(v))

    def arc(self, layer, c, r, a0, a1):
        self.head("ARC", layer, "AcDbCircle")
        for code, v in ((10, c[0]), (20, c[1]), (30, 0), (40, r)):
            self.g(self.body, code, self.num(v))
        if self.v2000:
            self.g(self.body, 100, "AcDbArc")
        self.g(self.body, 50, self.num(a0))
        self.g(self.body, 51, self.num(a1))

    def circle(self, layer, c, r):
        self.head("CIRCLE", layer, "AcDbCircle")
        for code, v in ((10, c[0]), (20, c[1]), (30, 0), (40, r)):
            self.g(self.body, code, self.num(v))

    def text(self, layer, p, s):
        self.head("TEXT", layer, "AcDbText")
        for code, v in ((10, p[0]), (20, p[1]), (30, 0), (40, 2.5)):
            self.g(self.body, code, self.num(v))
        self.g(self.body, 1, s)
        if self.v2000:
            self.g(self.body, 100, "AcDbText")

    def lwpolyline(self, layer, pts):
        self.head("LWPOLYLINE", layer, "AcDbPolyline")
        self.g(self.body, 90, len(pts))
        self.g(self.body, 70, 1)
        for x, y in pts:
            self.g(self.body, 10, self.num(x))
            self.g(self.body, 20, self.num(y))

    def write(self, path):
        out = []
        for code, v in ((0, "SECTION"), (2, "HEADER"), (9, "$ACADVER"), (1, self.version), (0, "ENDSEC"),
                        (0, "SECTION"), (2, "TABLES"), (0, "TABLE"), (2, "LAYER"), (70, len(self.layers))):
            self.g(out, code, v)
        for i, name in enumerate(self.layers):
            self.g(out, 0, "LAYER")
            if self.v2000:
                self.g(out, 5, "%X" % (0x10 + i))
                self.g(out, 330, "2")
                self.g(out, 100, "AcDbSymbolTableRecord")
                self.g(out, 100, "AcDbLayerTableRecord")
            for code, v in ((2, name), (70, 0), (62, 7), (6, "CONTINUOUS")):
                self.g(out, code, v)
        for code, v in ((0, "ENDTAB"), (0, "ENDSEC"), (0, "SECTION"), (2, "ENTITIES")):
            self.g(out, code, v)
        out += self.body
        self.g(out, 0, "ENDSEC")
        if self.v2000:
            for code, v in ((0, "SECTION"), (2, "OBJECTS"), (0, "DICTIONARY"), (5, "C"), (330, "0"),
                            (100, "AcDbDictionary"), (0, "ENDSEC")):
                self.g(out, code, v)
        self.g(out, 0, "EOF")
        with open(path, "w", newline="\n") as f:
            f.write("\n".join(out) + "\n")


def rounded_rect(d, layer, x0, y0, x1, y1, r):
    d.line(layer, (x0 + r, y0), (x1 - r, y0))
    d.arc(layer, (x1 - r, y0 + r), r, 270, 0)
    d.line(layer, (x1, y0 + r), (x1, y1 - r))
    d.arc(layer, (x1 - r, y1 - r), r, 0, 90)
    d.line(layer, (x1 - r, y1), (x0 + r, y1))
    d.arc(layer, (x0 + r, y1 - r), r, 90, 180)
    d.line(layer, (x0, y1 - r), (x0, y0 + r))
    d.arc(layer, (x0 + r, y0 + r), r, 180, 270)


def polygon(d, layer, pts):
    for i in range(len(pts)):
        d.line(layer, pts[i], pts[(i + 1) % len(pts)])


def slot(d, layer, x0, x1, y, r):
    d.line(layer, (x0, y - r), (x1, y - r))
    d.arc(layer, (x1, y), r, 270, 90)
    d.line(layer, (x1, y + r), (x0, y + r))
    d.arc(layer, (x0, y), r, 90, 270)


def die_plate():
    d = Dxf("AC1009")
    main, pos = "DXF_MAIN", "EDMX_POSITION"
    d.layers = ["0", main, pos]
    # Outer profile with rounded corners; its feed circle lies just inside the left side.
    rounded_rect(d, main, 0, 0, 120, 80, 5)
    feeds = [(3.0, 40.0)]
    d.circle(main, feeds[0], 0.5)
    d.text(main, (4.5, 43.0), "Q2_ST20 *DIE-PLATE")
    # Punch A: a rectangle.
    polygon(d, main, [(15, 20), (35, 20), (35, 40), (15, 40)])
    feeds.append((25.0, 23.0))
    d.circle(main, feeds[-1], 0.5)
    d.text(main, (26.0, 24.5), "R=3 OF=0.125 *PUNCH-A")
    # Punch B: a slot of two lines and two arcs.
    slot(d, main, 50, 70, 30, 6)
    feeds.append((60.0, 27.0))
    d.circle(main, feeds[-1], 0.5)
    d.text(main, (61.0, 28.0), "A=1.5 *SLOT-B")
    # Punch C: a triangle.
    polygon(d, main, [(85, 20), (105, 20), (95, 40)])
    feeds.append((95.0, 23.0))
    d.circle(main, feeds[-1], 0.5)
    d.text(main, (96.0, 24.0), "!NOSTOP *PUNCH-C")
    # Two large holes, cut as holes from their centres.
    d.circle(main, (20, 65), 4)
    d.circle(main, (100, 65), 4)
    # Position layer: rapid moves from feed point to feed point.
    for a, b in zip(feeds, feeds[1:]):
        d.line(pos, a, b)
    # A directive for the whole program.
    d.text(main, (140, 90), "#DIRECTIVE G92_PLATE *EXAMPLE-DIE")
    d.write(os.path.join(HERE, "die_plate.dxf"))


def bracket():
    d = Dxf("AC1015")
    main = "DXF_MAIN"
    d.layers = ["0", main]
    # L-shaped outline as a lightweight polyline, feed circle inside its foot.
    d.lwpolyline(main, [(0, 0), (80, 0), (80, 20), (20, 20), (20, 60), (0, 60)])
    d.circle(main, (10, 3), 0.5)
    d.text(main, (11, 4), "Q1_AL30_S *BRACKET")
    # A slot of arcs and lines in the upright leg.
    slot(d, main, 7, 13, 45, 3)
    d.circle(main, (10, 43.5), 0.5)
    # A round window of three arcs in the foot (a chain needs three elements).
    d.arc(main, (50, 10), 5, 0, 120)
    d.arc(main, (50, 10), 5, 120, 240)
    d.arc(main, (50, 10), 5, 240, 360)
    d.circle(main, (50, 8), 0.5)
    d.write(os.path.join(HERE, "bracket_2000.dxf"))


def square_round_die():
    d = Dxf("AC1009")
    main, top = "DXF_MAIN", "DXF_MAIN_TOP"
    d.layers = ["0", main, top]
    polygon(d, main, [(20, 10), (40, 10), (40, 30), (20, 30)])
    d.circle(main, (22, 20), 0.5)
    d.text(main, (24, 21), "TH=40 Q2_ST20 *SQUARE-ROUND")
    d.circle(top, (30, 20), 9)
    d.write(os.path.join(HERE, "square_round_die.dxf"))


def turned_punch():
    import math
    d = Dxf("AC1015")
    main, top = "DXF_MAIN", "DXF_MAIN_TOP"
    d.layers = ["0", main, top]
    polygon(d, main, [(0, 0), (20, 0), (20, 20), (0, 20)])
    d.circle(main, (10, -3), 0.5)
    d.text(main, (12, -4), "TH=40 Q2_ST20 *TURNED-PUNCH")
    turn = math.radians(15)
    corners = []
    for x, y in [(-10, -10), (10, -10), (10, 10), (-10, 10)]:
        corners.append((10 + x * math.cos(turn) - y * math.sin(turn), 10 + x * math.sin(turn) + y * math.cos(turn)))
    d.lwpolyline(top, [(round(x, 6), round(y, 6)) for x, y in corners])
    d.write(os.path.join(HERE, "turned_punch_2000.dxf"))


if __name__ == "__main__":
    die_plate()
    bracket()
    square_round_die()
    turned_punch()
