// Start holes korvex places itself (AutoStartHoles): a plate with openings and
// punches at nesting depths 0 to 2, made of rectangles and circles of arcs, a
// piece crowded by a neighbour, openings too small for a hole and a piece with a
// drawn hole; narrow openings and gaps, where the hole goes closer; converted by
// the console program. The holes are checked against
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
// deep it is nested, what should become of it and, when it gets a hole, the
// length of its lead-in.
struct Shape {
  std::string what;   // "placed", "too small" or "drawn"
  int depth;
  NcPolygon outline;
  double lead = 0;
};

const double kAnchor = 4.5, kHalf = kAnchor / 2;
const double kClear = 0.3;   // the placed hole's edge from every contour

struct Drawing {
  DxfText dxf{"AC1009"};
  std::vector<Shape> shapes;
  Drawing() { dxf.Layer("DXF_MAIN"); }

  void Rect(double x0, double y0, double x1, double y1, int depth, const std::string& what, double lead = kHalf) {
    dxf.Line("DXF_MAIN", x0, y0, x1, y0).Line("DXF_MAIN", x1, y0, x1, y1);
    dxf.Line("DXF_MAIN", x1, y1, x0, y1).Line("DXF_MAIN", x0, y1, x0, y0);
    shapes.push_back({what, depth, {{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}}, lead});
  }

  // A circle drawn as three arcs, so that it is a contour and not a hole.
  void Ring(double cx, double cy, double r, int depth, const std::string& what) {
    dxf.Arc("DXF_MAIN", cx, cy, r, 0, 120).Arc("DXF_MAIN", cx, cy, r, 120, 240).Arc("DXF_MAIN", cx, cy, r, 240, 360);
    shapes.push_back({what, depth, {}, kHalf});
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

// Every hole the program names against the drawing: threaded where the remark
// says, each for a different shape meant to get one, on the side its nesting asks
// for, its lead-in as long as the shape says and meeting nothing before the
// contour, its edge the clearance away from every contour (and at a half anchor
// length's lead-in, every other contour an anchor length away) and from every
// other hole. The shapes that got one, by hole.
std::map<std::pair<double, double>, size_t> checkHoles(const Drawing& d, const NcCheck& c, const std::string& program,
                                                       double radius) {
  std::map<std::pair<double, double>, size_t> out;
  for (const auto& [block, hole] : placedHoles(program)) {
    SCOPED_TRACE(testing::Message() << "N" << block);
    auto own = c.cuts.lower_bound(block);   // the contour's blocks are N<10k> to N<10k+2>
    if (own == c.cuts.end() || own->first >= block + 10) {
      ADD_FAILURE() << "no cut";
      continue;
    }
    const NcCut& cut = own->second;
    const auto [hx, hy] = hole;
    const double sx = cut.moves[0].x0, sy = cut.moves[0].y0;   // the split point
    EXPECT_EQ(cut.holeX, hx);
    EXPECT_EQ(cut.holeY, hy);
    size_t k = d.shapes.size();
    for (size_t s = 0; s < d.shapes.size(); ++s)
      if (NcDistanceTo(d.shapes[s].outline, sx, sy) < 0.01) k = s;
    if (k == d.shapes.size()) {
      ADD_FAILURE() << "split point on no shape";
      continue;
    }
    SCOPED_TRACE(testing::Message() << "shape " << k);
    const Shape& shape = d.shapes[k];
    EXPECT_EQ(shape.what, "placed");
    EXPECT_EQ(NcInside(shape.outline, hx, hy), shape.depth % 2 == 1);
    EXPECT_NEAR(std::hypot(hx - sx, hy - sy), shape.lead, 0.01);
    EXPECT_NEAR(NcDistanceTo(shape.outline, hx, hy), shape.lead, 0.01);
    for (size_t s = 0; s < d.shapes.size(); ++s) {
      EXPECT_GE(NcDistanceTo(d.shapes[s].outline, hx, hy), radius + kClear - 1e-3) << "shape " << s;
      if (s != k && shape.lead == kHalf) {
        EXPECT_GE(NcDistanceTo(d.shapes[s].outline, hx, hy), kAnchor - 1e-3) << "shape " << s;
      }
      for (int i = 0; i < 200; ++i) {
        const double t = i / 200.0;
        EXPECT_GT(NcDistanceTo(d.shapes[s].outline, hx + t * (sx - hx), hy + t * (sy - hy)), 1e-3) << "shape " << s;
      }
    }
    for (const auto& [other, s] : out) {
      EXPECT_GE(std::hypot(hx - other.first, hy - other.second), 2 * radius + kClear - 1e-3) << "hole of " << s;
    }
    for (const auto& [other, s] : out) EXPECT_NE(s, k) << "two holes for one shape";
    out[hole] = k;
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
  d.Rect(40, 10, 41.2, 13, 1, "too small");      // opening narrower than a hole and its clearance
  d.Ring(45, 70, 3, 1, "too small");             // opening with arcs the approach cannot use
  d.Rect(200, 0, 220, 20, 0, "drawn");
  d.dxf.Circle("DXF_MAIN", 210, -2, 0.5);

  Conversion r = ConvertText(d.dxf.Str(), "AutoStartHoles: 1\n");
  ASSERT_EQ(r.status, 0) << r.output;
  NcCheck c = CheckNcProgram(r.program, ShippedDevice());
  EXPECT_TRUE(c.Ok()) << c.Report();
  EXPECT_EQ(c.sideChecks, 9);   // every cut contour, its wire on the start hole's side
  const auto holes = checkHoles(d, c, r.program, 0.5);
  EXPECT_EQ(holes.size(), 8u);
  for (const auto& [hole, k] : holes) {
    if (k == 6) {
      EXPECT_GT(hole.second, -30);   // the first place, facing B, was refused
    }
  }

  // The two openings that are too small are reported, keep their remark and are not cut.
  EXPECT_EQ(CountOf(r.output, ": too small"), 2u) << r.output;
  EXPECT_EQ(CountOf(r.program, "(NO FEED-POINT FOUND"), 2u);
  EXPECT_TRUE(Has(r.output, "korvex: 11 contours (0 holes), 2 without start hole, 8 start holes to drill, 5 without "
                            "technology data ->")) << r.output;
  EXPECT_NE(r.page.find("start holes to drill: \nCONTOUR  :        X |        Y | DIAMETER \n"), std::string::npos);
  EXPECT_EQ(CountOf(r.page, "|    1.000 \n"), 8u) << r.page;   // AutoHoleDiameter
  EXPECT_TRUE(Has(r.page, ": no place for a start hole (too small (room 1.20 mm, needs 1.60 mm)) \n")) << r.page;
  EXPECT_TRUE(Has(r.page, ": no place for a start hole (too small (only arcs under R4.50 mm/10.5 deg)) \n"));
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
  EXPECT_NE(off.output.find("korvex: 11 contours (0 holes), 10 without start hole, 1 without technology data ->"), std::string::npos)
      << off.output;
}

// Where half the anchor length off no element is free, the hole goes closer: into
// the centre of a narrow opening, into the middle of the gap between a part and
// its neighbour, with a lead-in of that room's radius; what has less room than the
// hole and twice its clearance is refused with the room measured.
TEST(AutoStartHoles, WithoutRoomHalfAnAnchorOffTheHoleGoesCloserKeepingItsClearance) {
  Drawing d;
  d.Rect(0, 0, 100, 60, 0, "placed");               // plate
  d.Rect(10, 10, 40, 13, 1, "placed", 1.5);         // slot 3 mm wide: its centre line
  d.Rect(50, 10, 52.5, 12.5, 1, "placed", 1.25);    // square opening of 2.5 mm: its centre
  d.Rect(10, 30, 40, 31.4, 1, "too small");         // slot of 1.4 mm
  d.Rect(10, 40, 40, 41.7, 1, "placed", 0.85);      // slot of 1.7 mm: 0.35 mm beside the hole
  d.Rect(60, 30, 80, 50, 1, "too small");           // opening whose punch leaves 1 mm all round
  d.Rect(61, 31, 79, 49, 2, "too small");
  d.Rect(105, -5, 135, 25, 0, "placed");            // frame
  d.Rect(107.5, -2.5, 132.5, 17.5, 1, "placed", 1.25);   // its opening and the part in it, 2.5 mm apart:
  d.Rect(110, 0, 130, 15, 2, "placed", 1.25);             // both holes in the gap, clear of each other
  // A D-shaped opening 3 x 3 whose flat side is two lines: no element's midpoint has
  // the room, the centre of its round has.
  d.dxf.Line("DXF_MAIN", 70, 10, 71.5, 10).Line("DXF_MAIN", 71.5, 10, 73, 10).Line("DXF_MAIN", 73, 10, 73, 11.5);
  d.dxf.Arc("DXF_MAIN", 71.5, 11.5, 1.5, 0, 180).Line("DXF_MAIN", 70, 11.5, 70, 10);
  d.shapes.push_back({"placed", 1, {{70, 10}, {73, 10}}, 1.5});
  for (int i = 0; i <= 180; ++i) d.shapes.back().outline.push_back({71.5 + 1.5 * cos(i * M_PI / 180), 11.5 + 1.5 * sin(i * M_PI / 180)});

  Conversion r = ConvertText(d.dxf.Str(), "AutoStartHoles: 1\n");
  ASSERT_EQ(r.status, 0) << r.output;
  NcCheck c = CheckNcProgram(r.program, ShippedDevice());
  EXPECT_TRUE(c.Ok()) << c.Report();
  EXPECT_EQ(c.sideChecks, 8);
  const auto holes = checkHoles(d, c, r.program, 0.5);
  EXPECT_EQ(holes.size(), 8u);
  for (const auto& [hole, k] : holes) {
    if (k == 1) {
      EXPECT_EQ(hole.second, 11.5);
    }
    if (k == 2) {
      EXPECT_EQ(hole, std::make_pair(51.25, 11.25));
    }
    if (k == 10) {
      EXPECT_EQ(hole, std::make_pair(71.5, 11.5));
    }
  }
  EXPECT_EQ(CountOf(r.output, ": too small (room 1.40 mm, needs 1.60 mm)\n"), 1u) << r.output;
  // The punch's room is the gap; the opening's is widest in a corner of the gap (1 mm times 2 sqrt 2 / (1 + sqrt 2)).
  EXPECT_EQ(CountOf(r.output, " (gap 1.00 mm, needs 1.60 mm)\n"), 1u);
  EXPECT_EQ(CountOf(r.output, " (gap 1.17 mm, needs 1.60 mm)\n"), 1u);
  EXPECT_TRUE(std::regex_search(r.output, std::regex(R"(HOLE (\$K[0-9]+): crowded by (?!\1 )\$K[0-9]+ \(gap 1)")))
      << "the opening and its punch crowd each other";

  // A wider hole needs more room: the square opening and the gap no longer have it,
  // but for the frame's opening a corner of the gap has.
  Conversion wide = ConvertText(d.dxf.Str(), "AutoStartHoles: 1\nAutoHoleDiameter: 2\n");
  EXPECT_TRUE(Has(wide.output, ": too small (room 2.50 mm, needs 2.60 mm)\n")) << wide.output;
  NcCheck cw = CheckNcProgram(wide.program, ShippedDevice());
  EXPECT_TRUE(cw.Ok()) << cw.Report();
  EXPECT_EQ(CountOf(wide.output, " (gap 2.50 mm, needs 2.60 mm)\n"), 1u);
  d.shapes[8].lead = 2.5 * M_SQRT2 / (1 + M_SQRT2);
  EXPECT_EQ(checkHoles(d, cw, wide.program, 1.0).size(), 5u);   // plate, frame, its opening, the slot of 3 mm and the D
  EXPECT_EQ(CountOf(wide.page, "|    2.000 \n"), 5u);
  // No width keeps the default; wider than the grid radius is a hole to cut, so that is the most.
  for (const auto& [key, drilled] :
       {std::pair{"AutoHoleDiameter: 0\n", "|    1.000 \n"}, {"AutoHoleDiameter: 5\n", "|    2.605 \n"}}) {
    EXPECT_TRUE(Has(ConvertText(d.dxf.Str(), std::string("AutoStartHoles: 1\n") + key).page, drilled)) << key;
  }
}

// A placed hole is for every later step what a drawn hole at that place is: the
// program differs by the remark alone (plate reference, positioning, cut). An open
// chain gets no hole and is reported as open, in either mode.
TEST(AutoStartHoles, APlacedHoleIsADrawnHoleAndOpenChainsAreSaidToBeOpen) {
  auto part = [](bool drawn) {
    DxfText d("AC1009");
    d.Layer("DXF_MAIN").Line("DXF_MAIN", 0, 0, 40, 0).Line("DXF_MAIN", 40, 0, 40, 20);
    d.Line("DXF_MAIN", 40, 20, 0, 20).Line("DXF_MAIN", 0, 20, 0, 0);
    d.Line("DXF_MAIN", 100, 0, 140, 0).Line("DXF_MAIN", 140, 0, 140, 20).Line("DXF_MAIN", 140, 20, 100, 20);
    d.Line("DXF_MAIN", 200, 0, 240, 0).Line("DXF_MAIN", 240, 0, 240, 20).Line("DXF_MAIN", 240, 20, 200, 20);
    d.Line("DXF_MAIN", 200, 20, 200, 1);   // a rectangle with a gap of 1 mm
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
  // Both open chains are counted as open, as a drawn hole would have them.
  EXPECT_TRUE(Has(placed.output, ", 2 without start hole, 1 start hole to drill, 2 open (not cut round)")) << placed.output;
  EXPECT_TRUE(Has(placed.page, " OOPS - 2 offene Kontur(en) \n")) << placed.page;
  EXPECT_TRUE(Has(placed.page, "<li>2 open contours</li>")) << placed.page;
  // Without start holes placed by korvex they are open all the same.
  EXPECT_TRUE(Has(drawn.output, ", 2 without start hole, 2 open (not cut round)")) << drawn.output;
}

// Element ends that meet within the tolerance are a joint, not a crossing: the top
// edge of a bar running 0.001 mm into the start of its rounded tooth (as a drawing's
// rounding leaves a line and an arc that meet), here near the origin and far from it.
// An outline that does cross itself still gets no hole.
TEST(AutoStartHoles, JointsWithinTheToleranceAreNoCrossings) {
  DxfText d("AC1009");
  d.Layer("DXF_MAIN");
  for (double x : {0.0, 3320.0}) {
    d.Line("DXF_MAIN", x, 0, x + 30, 0).Line("DXF_MAIN", x + 30, 0, x + 30, 10).Line("DXF_MAIN", x + 30, 10, x + 14.999, 10.001);
    d.Arc("DXF_MAIN", x + 10, 10, 5, 0, 180).Line("DXF_MAIN", x + 5, 10, x, 10).Line("DXF_MAIN", x, 10, x, 0);
  }
  d.Line("DXF_MAIN", 100, 0, 120, 20).Line("DXF_MAIN", 120, 20, 120, 0).Line("DXF_MAIN", 120, 0, 100, 20);
  d.Line("DXF_MAIN", 100, 20, 100, 0);   // a bow tie
  Conversion r = ConvertText(d.Str(), "AutoStartHoles: 1\nCheckProgram: 1\n");
  EXPECT_EQ(CountOf(r.output, ": outline crosses itself"), 1u) << r.output;
  EXPECT_TRUE(Has(r.output, "NO PLACE FOR A START HOLE $K03: outline crosses itself")) << r.output;
  EXPECT_TRUE(Has(r.output, ", 2 start holes to drill")) << r.output;
  EXPECT_TRUE(Has(r.output, ", program checked: 0 faults")) << r.output;
}
