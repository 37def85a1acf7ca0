// Start holes korvex places itself (AutoStartHoles): a plate with openings and
// punches at nesting depths 0 to 2, made of rectangles and circles of arcs, a
// piece crowded by a neighbour, openings too small for a hole and a piece with a
// drawn hole, converted by the console program. The holes are checked against
// the drawing's geometry here, and the program against the NC checker.
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <regex>
#include <set>
#include <sstream>

#include "support/dxf_text.h"
#include "support/nc_check.h"
#include "support/runs.h"
#include "support/support.h"

namespace {

// A contour of the drawing as this test knows it: its outline as a polygon, how
// deep it is nested, and what should become of it.
struct Shape {
  std::string what;   // "placed", "too small" or "drawn"
  int depth;
  NcPolygon outline;
};

struct Drawing {
  DxfText dxf{"AC1009"};
  std::vector<Shape> shapes;
  Drawing() { dxf.Layer("DXF_MAIN"); }

  void Rect(double x0, double y0, double x1, double y1, int depth, const std::string& what) {
    dxf.Line("DXF_MAIN", x0, y0, x1, y0).Line("DXF_MAIN", x1, y0, x1, y1);
    dxf.Line("DXF_MAIN", x1, y1, x0, y1).Line("DXF_MAIN", x0, y1, x0, y0);
    shapes.push_back({what, depth, {{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}}});
  }

  // A circle drawn as three arcs, so that it is a contour and not a hole.
  void Ring(double cx, double cy, double r, int depth, const std::string& what) {
    dxf.Arc("DXF_MAIN", cx, cy, r, 0, 120).Arc("DXF_MAIN", cx, cy, r, 120, 240).Arc("DXF_MAIN", cx, cy, r, 240, 360);
    shapes.push_back({what, depth, {}});
    for (int i = 0; i < 720; ++i)
      shapes.back().outline.push_back({cx + r * cos(i * M_PI / 360), cy + r * sin(i * M_PI / 360)});
  }
};

// Per block: the start hole its remark names.
std::map<int, std::pair<double, double>> placedHoles(const std::string& program) {
  std::map<int, std::pair<double, double>> out;
  static const std::regex head(R"(^N([0-9]+)\()"), hole(R"(^\(AUTO START HOLE X(-?[0-9.]+) Y(-?[0-9.]+)\);$)");
  std::stringstream ss(program);
  int block = 0;
  for (std::string l; std::getline(ss, l);) {
    std::smatch m;
    if (std::regex_search(l, m, head)) block = std::stoi(m[1]);
    else if (std::regex_search(l, m, hole)) out[block] = {std::stod(m[1]), std::stod(m[2])};
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

  const auto placed = placedHoles(r.program);
  EXPECT_EQ(placed.size(), 8u);
  std::set<size_t> seen;
  for (const auto& [block, hole] : placed) {
    SCOPED_TRACE(testing::Message() << "N" << block);
    auto own = c.cuts.lower_bound(block);   // the contour's blocks are N<10k> to N<10k+2>
    ASSERT_TRUE(own != c.cuts.end() && own->first < block + 10);
    const NcCut& cut = own->second;
    const auto [hx, hy] = hole;
    const double sx = cut.moves[0].x0, sy = cut.moves[0].y0;   // the split point
    EXPECT_EQ(cut.holeX, hx);   // threaded where the remark says
    EXPECT_EQ(cut.holeY, hy);
    size_t k = d.shapes.size();
    for (size_t s = 0; s < d.shapes.size(); ++s)
      if (NcDistanceTo(d.shapes[s].outline, sx, sy) < 0.01) k = s;
    ASSERT_LT(k, d.shapes.size());
    EXPECT_TRUE(seen.insert(k).second);
    const Shape& shape = d.shapes[k];
    EXPECT_EQ(shape.what, "placed");
    EXPECT_EQ(NcInside(shape.outline, hx, hy), shape.depth % 2 == 1);
    EXPECT_NEAR(std::hypot(hx - sx, hy - sy), half, 0.01);
    EXPECT_NEAR(NcDistanceTo(shape.outline, hx, hy), half, 0.01);
    for (size_t s = 0; s < d.shapes.size(); ++s) {
      if (s != k) {
        EXPECT_GE(NcDistanceTo(d.shapes[s].outline, hx, hy), anchor - 1e-3) << "shape " << s;
      }
      // The anchor path meets nothing before it reaches the contour.
      for (int i = 0; i < 200; ++i) {
        const double t = i / 200.0;
        EXPECT_GT(NcDistanceTo(d.shapes[s].outline, hx + t * (sx - hx), hy + t * (sy - hy)), 1e-3) << "shape " << s;
      }
    }
    if (k == 6) {
      EXPECT_GT(hy, -30);   // the first place, facing B, was refused
    }
  }

  // The two openings that are too small are reported, keep their remark and are not cut.
  EXPECT_EQ(CountOf(r.output, ": too small"), 2u) << r.output;
  EXPECT_EQ(CountOf(r.program, "(NO FEED-POINT FOUND"), 2u);
  EXPECT_TRUE(Has(r.output, "korvex: 11 contours (0 holes), 2 without start hole, 8 start holes to drill, 5 without "
                            "technology data ->")) << r.output;
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
  EXPECT_NE(off.output.find("korvex: 11 contours (0 holes), 10 without start hole, 1 without technology data ->"), std::string::npos)
      << off.output;
}

// A placed hole is for every later step what a drawn hole at that place is: the
// program differs by the remark alone (plate reference, positioning, cut). An open
// chain gets no hole and is reported as open.
TEST(AutoStartHoles, APlacedHoleIsADrawnHoleAndOpenChainsAreSaidToBeOpen) {
  auto part = [](bool drawn) {
    DxfText d("AC1009");
    d.Layer("DXF_MAIN").Line("DXF_MAIN", 0, 0, 40, 0).Line("DXF_MAIN", 40, 0, 40, 20);
    d.Line("DXF_MAIN", 40, 20, 0, 20).Line("DXF_MAIN", 0, 20, 0, 0);
    d.Line("DXF_MAIN", 100, 0, 140, 0).Line("DXF_MAIN", 140, 0, 140, 20).Line("DXF_MAIN", 140, 20, 100, 20);
    if (drawn) d.Circle("DXF_MAIN", 20, -2.25, 1.3025);
    return d.Str();
  };
  Conversion placed = ConvertText(part(false), "AutoStartHoles: 1\n");
  Conversion drawn = ConvertText(part(true));
  ASSERT_TRUE(Has(placed.program, "(AUTO START HOLE X20.000 Y-2.250);\n")) << placed.program;
  EXPECT_TRUE(Has(placed.program, "G92 X20.000 Y-2.250;\n")) << placed.program;
  EXPECT_EQ(std::regex_replace(placed.program, std::regex("\\(AUTO START HOLE [^)]*\\);\n"), ""), drawn.program);
  EXPECT_TRUE(Has(placed.output, "NO PLACE FOR A START HOLE $K02: open: its ends do not meet")) << placed.output;
  EXPECT_TRUE(Has(placed.page, "$K02     : no place for a start hole (open: its ends do not meet)")) << placed.page;
  EXPECT_TRUE(Has(placed.page, "$K02 no start hole (open: its ends do not meet): not cut")) << placed.page;
}
