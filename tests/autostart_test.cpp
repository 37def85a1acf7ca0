// Start holes korvex places itself (AutoStartHoles): a plate with openings and
// punches at nesting depths 0 to 2, made of rectangles and circles of arcs, a
// piece crowded by a neighbour, openings too small for a hole and a piece with a
// drawn hole, converted by the console program. The holes are checked against
// the drawing's geometry here, and the program against the NC checker.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <map>
#include <regex>
#include <set>
#include <sstream>

#include "config/config.h"
#include "geometry/base.h"
#include "support/dxf_text.h"
#include "support/nc_check.h"
#include "support/runs.h"
#include "support/support.h"

namespace fs = std::filesystem;

namespace {

struct Seg {
  double ax, ay, bx, by;
};

// A contour of the drawing as this test knows it: its outline in short
// segments, how deep it is nested, and what should become of it.
struct Shape {
  std::string what;   // "placed", "too small" or "drawn"
  int depth;
  std::vector<Seg> segs;
};

double segDist(double x, double y, const Seg& s) {
  const double dx = s.bx - s.ax, dy = s.by - s.ay, len2 = dx * dx + dy * dy;
  double u = len2 > 0 ? ((x - s.ax) * dx + (y - s.ay) * dy) / len2 : 0;
  u = std::max(0.0, std::min(1.0, u));
  return std::hypot(s.ax + u * dx - x, s.ay + u * dy - y);
}

double dist(const Shape& s, double x, double y) {
  double d = 1e30;
  for (const Seg& g : s.segs) d = std::min(d, segDist(x, y, g));
  return d;
}

// Ray casting to the right: inside when an odd number of segments is crossed.
bool inside(const Shape& s, double x, double y) {
  int crossings = 0;
  for (const Seg& g : s.segs)
    if ((g.ay > y) != (g.by > y) && x < g.ax + (g.bx - g.ax) * (y - g.ay) / (g.by - g.ay)) ++crossings;
  return crossings % 2 == 1;
}

struct Drawing {
  DxfText dxf{"AC1009"};
  std::vector<Shape> shapes;
  Drawing() { dxf.Layer("DXF_MAIN"); }

  void Rect(double x0, double y0, double x1, double y1, int depth, const std::string& what) {
    const double p[5][2] = {{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}, {x0, y0}};
    Shape s{what, depth, {}};
    for (int i = 0; i < 4; ++i) {
      dxf.Line("DXF_MAIN", p[i][0], p[i][1], p[i + 1][0], p[i + 1][1]);
      s.segs.push_back({p[i][0], p[i][1], p[i + 1][0], p[i + 1][1]});
    }
    shapes.push_back(s);
  }

  // A circle drawn as three arcs, so that it is a contour and not a hole.
  void Ring(double cx, double cy, double r, int depth, const std::string& what) {
    dxf.Arc("DXF_MAIN", cx, cy, r, 0, 120).Arc("DXF_MAIN", cx, cy, r, 120, 240).Arc("DXF_MAIN", cx, cy, r, 240, 360);
    Shape s{what, depth, {}};
    for (int i = 0; i < 720; ++i) {
      const double a = i * M_PI / 360, b = (i + 1) * M_PI / 360;
      s.segs.push_back({cx + r * cos(a), cy + r * sin(a), cx + r * cos(b), cy + r * sin(b)});
    }
    shapes.push_back(s);
  }
};

struct Block {
  bool hole = false, noFeed = false;
  double hx = 0, hy = 0, fx = 0, fy = 0, sx = 0, sy = 0;
  bool feed = false, split = false;
};

// Per contour number: the drilled hole of its remark, where the wire is threaded
// and where the lead-in meets the contour (the first move after compensation).
std::map<int, Block> Blocks(const std::string& program) {
  std::map<int, Block> out;
  static const std::regex head(R"(^N([0-9]+)\()"), remark(R"(^\(AUTO START HOLE X(-?[0-9.]+) Y(-?[0-9.]+)\);$)"),
      xy(R"(X(-?[0-9.]+) Y(-?[0-9.]+))");
  std::stringstream ss(program);
  int k = 0;
  bool afterComp = false;
  for (std::string l; std::getline(ss, l);) {
    std::smatch m;
    if (std::regex_search(l, m, head)) {
      k = std::stoi(m[1]) / 10;
      afterComp = false;
    } else if (std::regex_search(l, m, remark)) {
      out[k].hole = true;
      out[k].hx = std::stod(m[1]);
      out[k].hy = std::stod(m[2]);
    } else if (l.rfind("(NO FEED-POINT FOUND", 0) == 0) {
      out[k].noFeed = true;
    } else if (l.rfind("G90G4", 0) == 0) {
      afterComp = true;
    } else if (l.rfind("G0", 0) == 0 && std::regex_search(l, m, xy) && k > 0) {
      Block& b = out[k];
      if (l.rfind("G00", 0) == 0 && !afterComp && !b.feed) {
        b.feed = true;
        b.fx = std::stod(m[1]);
        b.fy = std::stod(m[2]);
      } else if (afterComp && !b.split) {
        b.split = true;
        b.sx = std::stod(m[1]);
        b.sy = std::stod(m[2]);
      }
    }
  }
  return out;
}

}  // namespace

TEST(AutoStartHoles, EachContourGetsAFreePlaceOnTheSideItsNestingAsksFor) {
  Drawing d;
  d.Rect(0, 0, 120, 80, 0, "placed");            // plate outline
  d.Ring(30, 40, 15, 1, "placed");               // round opening in it
  d.Rect(25, 35, 35, 45, 2, "placed");           // square punch inside the opening
  d.Rect(60, 15, 100, 65, 1, "placed");          // square opening
  d.Ring(80, 40, 8, 2, "placed");                // round punch inside it
  d.Ring(160, 40, 20, 0, "placed");              // round piece beside the plate
  d.Rect(140, -40, 180, -30, 0, "placed");       // its long lower side faces B closely
  d.Rect(155, -46, 165, -43, 0, "placed");       // B
  d.Rect(40, 10, 43, 13, 1, "too small");        // opening narrower than the anchor path
  d.Ring(45, 70, 3, 1, "too small");             // opening with arcs the approach cannot use
  d.Rect(200, 0, 220, 20, 0, "drawn");
  d.dxf.Circle("DXF_MAIN", 210, -2, 0.5);
  const double anchor = 4.5, half = anchor / 2;

  Conversion r = ConvertText(d.dxf.Str(), "AutoStartHoles: 1\n");
  ASSERT_EQ(r.status, 0) << r.output;
  NcCheck c = CheckNcProgram(r.program, ShippedDevice());
  EXPECT_TRUE(c.Ok()) << c.Report();
  EXPECT_EQ(c.sideChecks, 9);   // every cut contour, its wire on the start hole's side

  int placed = 0;
  std::set<size_t> seen;
  for (const auto& [k, b] : Blocks(r.program)) {
    if (!b.hole) continue;
    SCOPED_TRACE("$K" + std::to_string(k));
    ++placed;
    ASSERT_TRUE(b.feed);
    ASSERT_TRUE(b.split);
    EXPECT_EQ(b.fx, b.hx);   // threaded where the remark says
    EXPECT_EQ(b.fy, b.hy);
    size_t own = d.shapes.size();
    for (size_t s = 0; s < d.shapes.size(); ++s)
      if (dist(d.shapes[s], b.sx, b.sy) < 0.01) own = s;
    ASSERT_LT(own, d.shapes.size());
    EXPECT_TRUE(seen.insert(own).second);
    const Shape& shape = d.shapes[own];
    EXPECT_EQ(shape.what, "placed");
    EXPECT_EQ(inside(shape, b.hx, b.hy), shape.depth % 2 == 1);
    EXPECT_NEAR(std::hypot(b.hx - b.sx, b.hy - b.sy), half, 0.01);
    EXPECT_NEAR(dist(shape, b.hx, b.hy), half, 0.01);
    for (size_t s = 0; s < d.shapes.size(); ++s) {
      if (s != own) {
        EXPECT_GE(dist(d.shapes[s], b.hx, b.hy), anchor - 1e-3) << "shape " << s;
      }
      // The anchor path meets nothing before it reaches the contour.
      for (int i = 0; i < 200; ++i) {
        const double t = i / 200.0;
        EXPECT_GT(dist(d.shapes[s], b.hx + t * (b.sx - b.hx), b.hy + t * (b.sy - b.hy)), 1e-3) << "shape " << s;
      }
    }
    if (own == 6) {
      EXPECT_GT(b.hy, -30);   // the first place, facing B, was refused
    }
  }
  EXPECT_EQ(placed, 8);

  // The two openings that are too small are reported, keep their remark and are not cut.
  EXPECT_EQ(CountOf(r.output, ": too small"), 2u) << r.output;
  EXPECT_EQ(CountOf(r.program, "(NO FEED-POINT FOUND"), 2u);
  EXPECT_NE(r.output.find("korvex: 11 contours (0 holes), 2 without start hole, 8 start holes to drill ->"),
            std::string::npos) << r.output;
  EXPECT_NE(r.output.find("    AutoStartHoles: '1=Yes'\n"), std::string::npos);
  EXPECT_EQ(CountOf(r.log, "AUTO START HOLE X"), 8u);
  EXPECT_EQ(CountOf(r.log, "NO PLACE FOR A START HOLE: too small"), 2u);
  EXPECT_NE(r.page.find("start holes to drill: \nCONTOUR  :        X |        Y | DIAMETER \n"), std::string::npos);
  EXPECT_EQ(CountOf(r.page, "|    2.605 \n"), 8u) << r.page;
  EXPECT_EQ(CountOf(r.page, ": no place for a start hole (too small) \n"), 2u);
  EXPECT_NE(r.page.find("CIR-SP   :      1 |      1 \n"), std::string::npos);   // the drawn circle only

  // A two-cut text beside A's placed hole finds that hole's contour, which
  // becomes a multi-cut sub-program as with a drawn hole.
  d.dxf.Text("DXF_MAIN", 160, -25, "CQ=2");
  Conversion twoCuts = ConvertText(d.dxf.Str(), "AutoStartHoles: 1\n");
  NcCheck cp = CheckNcProgram(twoCuts.program, ShippedDevice());
  EXPECT_TRUE(cp.Ok()) << cp.Report();
  EXPECT_EQ(cp.sideChecks, 9);
  EXPECT_EQ(CountOf(twoCuts.program, "M98P71;"), 2u) << twoCuts.program;
  EXPECT_NE(twoCuts.program.find("N70(-- Contour: $K07 --);\n(--Len:100.000--);\n(AUTO START HOLE X160.000 Y-27.750);\n"
                                "G00 X160.000 Y-27.750;\n"),
            std::string::npos) << twoCuts.program;

  // Off (the default): nothing of it anywhere, and ten contours stay uncut.
  Conversion off = ConvertText(d.dxf.Str(), "");
  EXPECT_EQ(off.program.find("AUTO START"), std::string::npos);
  EXPECT_EQ(off.page.find("start holes to drill"), std::string::npos);
  EXPECT_EQ(off.output.find("AutoStartHoles"), std::string::npos);
  EXPECT_NE(off.output.find("korvex: 11 contours (0 holes), 10 without start hole ->"), std::string::npos)
      << off.output;
}
