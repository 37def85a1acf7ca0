// Blocks and curves: inserts place their block's geometry with the insert's
// transform (nested, scaled, turned, mirrored, in arrays, layer 0 taking the
// insert's layer), a block without geometry stays a feed point; ellipses and
// splines become tangent arcs, sampled against the true curve, that the NC program
// cuts within CurveTolerance, as it cuts a circle drawn as two bulges.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <memory>
#include <regex>
#include <vector>

#include "elements/elements.h"
#include "geometry/base.h"
#include "support/dxf_passes.h"
#include "support/dxf_text.h"
#include "support/nc_check.h"
#include "support/runs.h"
#include "support/support.h"
#include "run/run.h"

namespace {

struct Pt {
  double x, y;
};
double Dist(Pt a, Pt b) { return std::hypot(a.x - b.x, a.y - b.y); }

// x' = a x + b y + e, y' = c x + d y + f
struct Tf {
  double a = 1, b = 0, c = 0, d = 1, e = 0, f = 0;
  Pt operator()(Pt p) const { return {a * p.x + b * p.y + e, c * p.x + d * p.y + f}; }
  double Scale() const { return std::sqrt(std::fabs(a * d - b * c)); }
};
// Base point to insertion point, scaled, turned by rot degrees.
Tf Place(Pt base, Pt at, double sx, double sy, double rot) {
  const double w = rot * M_PI / 180, cs = std::cos(w), sn = std::sin(w);
  Tf t{cs * sx, -sn * sy, sn * sx, cs * sy, 0, 0};
  t.e = at.x - (t.a * base.x + t.b * base.y);
  t.f = at.y - (t.c * base.x + t.d * base.y);
  return t;
}
Tf Then(const Tf& o, const Tf& i) {
  return {o.a * i.a + o.b * i.c, o.a * i.b + o.b * i.d, o.c * i.a + o.d * i.c, o.c * i.b + o.d * i.d,
          o.a * i.e + o.b * i.f + o.e, o.c * i.e + o.d * i.f + o.f};
}

// A line (its ends), an arc (ends, centre and middle) or a circle (centre), and its radius.
struct Shape {
  char kind;
  std::vector<Pt> pts;
  double r;
};
Shape FromRecord(const elementdaten& el) {
  if (el.type == etCIR) return {'C', {{el.cx, el.cy}}, el.r};
  if (el.type == etLINE) return {'L', {{el.sx, el.sy}, {el.ex, el.ey}}, 0};
  const double mid = (el.sw + BOGENWINKEL(el.sw, el.ew) / 2) * M_PI / 180;
  const Pt m{el.cx + el.r * std::cos(mid), el.cy + el.r * std::sin(mid)};
  return {'A', {{el.sx, el.sy}, {el.ex, el.ey}, {el.cx, el.cy}, m}, el.r};
}
// The same kind and radius, and the same points in any order.
bool Same(const Shape& a, const Shape& b) {
  if (a.kind != b.kind || std::fabs(a.r - b.r) > 2e-3 || a.pts.size() != b.pts.size()) return false;
  return std::all_of(a.pts.begin(), a.pts.end(), [&](Pt p) {
    return std::any_of(b.pts.begin(), b.pts.end(), [&](Pt q) { return Dist(p, q) < 2e-3; });
  });
}

// The shapes of block LEAF (base point (1, 2)) seen through t.
std::vector<Shape> Leaf(const Tf& t) {
  const double q = 3 / std::sqrt(2.0);
  return {{'L', {t({1, 2}), t({11, 2})}, 0},
          {'A', {t({9, 2}), t({6, 5}), t({6, 2}), t({6 + q, 2 + q})}, 3 * t.Scale()},
          {'C', {t({1, 7})}, t.Scale()}};
}

std::vector<Shape> Placed() {
  std::vector<Shape> got;
  for (long i = 7; i < TestRun().table.eldsCounter; ++i)
    if (TestRun().table.elds[i].type == etLINE || TestRun().table.elds[i].type == etARC || TestRun().table.elds[i].type == etCIR) got.push_back(FromRecord(TestRun().table.elds[i]));
  return got;
}

// --- curves ---
using Curve = std::function<Pt(double)>;

// A curve as a fine polygon (its chords stay far below any tolerance tested).
std::vector<Pt> Polygon(const Curve& at, double t0, double t1) {
  std::vector<Pt> p(5001);
  for (size_t i = 0; i < p.size(); ++i) p[i] = at(t0 + (t1 - t0) * (double)i / (double)(p.size() - 1));
  return p;
}

// The distance of q from a polygon.
double PolyDistance(const std::vector<Pt>& poly, Pt q) {
  double best = 1e300;
  for (size_t i = 0; i + 1 < poly.size(); ++i) {
    const double dx = poly[i + 1].x - poly[i].x, dy = poly[i + 1].y - poly[i].y, l2 = dx * dx + dy * dy;
    const double t = l2 > 0 ? std::clamp(((q.x - poly[i].x) * dx + (q.y - poly[i].y) * dy) / l2, 0.0, 1.0) : 0;
    best = std::min(best, Dist({poly[i].x + t * dx, poly[i].y + t * dy}, q));
  }
  return best;
}

// The largest distance from the polygon of points along the arc around c from s to e, counter-clockwise
// or clockwise, its radius going from |s - c| to |e - c|.
double ArcDeviation(const std::vector<Pt>& poly, Pt c, Pt s, Pt e, bool ccw) {
  const double a0 = std::atan2(s.y - c.y, s.x - c.x), r0 = Dist(s, c), r1 = Dist(e, c);
  double sweep = std::atan2(e.y - c.y, e.x - c.x) - a0;
  if (ccw && sweep <= 0) sweep += 2 * M_PI;
  if (!ccw && sweep >= 0) sweep -= 2 * M_PI;
  double worst = 0;
  for (int k = 0; k <= 10; ++k) {
    const double u = k / 10.0, w = a0 + sweep * u, r = r0 + (r1 - r0) * u;
    worst = std::max(worst, PolyDistance(poly, {c.x + r * std::cos(w), c.y + r * std::sin(w)}));
  }
  return worst;
}

// A non-rational B-spline by its own definition (Cox-de Boor basis functions).
Curve BSpline(int degree, const std::vector<double>& k, const std::vector<Pt>& points) {
  auto N = std::make_shared<std::function<double(int, int, double)>>();
  *N = [k, N = std::weak_ptr(N)](int i, int p, double u) -> double {
    if (p == 0) return (u >= k[i] && u < k[i + 1]) || (u == k.back() && k[i] < u && k[i + 1] == u) ? 1 : 0;
    const auto& n = *N.lock();
    double a = k[i + p] > k[i] ? (u - k[i]) / (k[i + p] - k[i]) * n(i, p - 1, u) : 0;
    double b = k[i + p + 1] > k[i + 1] ? (k[i + p + 1] - u) / (k[i + p + 1] - k[i + 1]) * n(i + 1, p - 1, u) : 0;
    return a + b;
  };
  return [N, degree, points](double t) {
    Pt sum{0, 0};
    for (size_t i = 0; i < points.size(); ++i) {
      sum.x += (*N)((int)i, degree, t) * points[i].x;
      sum.y += (*N)((int)i, degree, t) * points[i].y;
    }
    return sum;
  };
}

// The cutting moves of an NC program: every arc move sampled against the curve,
// and every straight move a lead-in or lead-out from the start hole at feed, part
// of the line y = lineY that closes the curve, or else sampled against the curve
// too (where the curve is flat, a line may stand for it). Returns the number of arc moves.
int CheckCut(const std::string& nc, const Curve& at, double t0, double t1, Pt feed, double lineY = NAN) {
  static const std::regex move(R"(\n(G0[0123]) X(-?[0-9.]+) Y(-?[0-9.]+)(?: I(-?[0-9.]+) J(-?[0-9.]+))?)");
  const std::vector<Pt> poly = Polygon(at, t0, t1);
  Pt cur{0, 0};
  int arcMoves = 0;
  double worst = 0;
  for (auto it = std::sregex_iterator(nc.begin(), nc.end(), move); it != std::sregex_iterator(); ++it) {
    const std::string g = (*it)[1];
    const Pt to{std::stod((*it)[2]), std::stod((*it)[3])};
    if (g == "G01" && !(Dist(cur, feed) < 2e-3 || Dist(to, feed) < 2e-3 ||
                        (std::fabs(cur.y - lineY) < 2e-3 && std::fabs(to.y - lineY) < 2e-3))) {
      for (int k = 0; k <= 10; ++k)
        worst = std::max(worst, PolyDistance(poly, {cur.x + (to.x - cur.x) * k / 10, cur.y + (to.y - cur.y) * k / 10}));
    }
    if ((g == "G02" || g == "G03") && (*it)[4].matched) {
      ++arcMoves;
      const Pt c{cur.x + std::stod((*it)[4]), cur.y + std::stod((*it)[5])};
      worst = std::max(worst, ArcDeviation(poly, c, cur, to, g == "G03"));
    }
    cur = to;
  }
  EXPECT_LE(worst, 0.001) << nc;
  return arcMoves;
}

}  // namespace

// Nested inserts, each with its own scale and rotation, one mirroring by a
// negative scale and one by extrusion -Z; block entities on layer 0 take the
// insert's layer, those of layers not read stay out, and an insert on a layer
// not read places only what its block holds on layers read.
TEST(DxfBlocks, NestedInsertsPlaceGeometryWithTheirTransforms) {
  for (const char* version : {"AC1009", "AC1015"}) {
    SCOPED_TRACE(version);
    DxfText d(version);
    d.Layer("DXF_MAIN").Layer("OTHER");
    d.Block("LEAF", 1, 2)
        .Line("OTHER", 0, 0, 5, 5)
        .Line("0", 1, 2, 11, 2)
        .Arc("0", 6, 2, 3, 0, 90)
        .Circle("DXF_MAIN", 1, 7, 1)
        .EndBlock();
    d.Block("MID").Insert("0", "LEAF", 5, 5, -2, 2, 30).Insert("0", "LEAF", -3, 0, 1, 1, 0).EndBlock();
    d.Insert("DXF_MAIN", "MID", 100, 50, 1.5, 1.5, 90).Insert("OTHER", "MID", 0, 0);
    d.Extrusion(0, 0, -1).Insert("DXF_MAIN", "LEAF", 20, 0).Extrusion(0, 0, 1);
    PassText(d.Str());
    const Tf outer = Place({0, 0}, {100, 50}, 1.5, 1.5, 90);
    std::vector<Shape> want;
    const Tf mirrorX{-1, 0, 0, 1, 0, 0};
    for (const Tf& t : {Then(outer, Place({1, 2}, {5, 5}, -2, 2, 30)), Then(outer, Place({1, 2}, {-3, 0}, 1, 1, 0)),
                        Then(mirrorX, Place({1, 2}, {20, 0}, 1, 1, 0))})
      for (const Shape& s : Leaf(t)) want.push_back(s);
    // The insert on layer OTHER: only the circles of layer DXF_MAIN.
    for (const Tf& t : {Place({1, 2}, {5, 5}, -2, 2, 30), Place({1, 2}, {-3, 0}, 1, 1, 0)}) want.push_back(Leaf(t)[2]);
    std::vector<Shape> got = Placed();
    EXPECT_EQ(got.size(), want.size());
    for (const Shape& w : want) {
      EXPECT_TRUE(std::any_of(got.begin(), got.end(), [&](const Shape& g) { return Same(g, w); }))
          << w.kind << " (" << w.pts[0].x << "," << w.pts[0].y << ") r" << w.r;
    }
    EXPECT_EQ(RecordsOfType(etINSE), 0);
  }
}

// A MINSERT of a polyline square on layer 0, inserted on the main layer and
// turned by 90 degrees: three columns and two rows of closed contours of 40 mm.
TEST(DxfBlocks, MinsertArrayBecomesOneContourPerCopy) {
  for (const char* version : {"AC1009", "AC1015"}) {
    SCOPED_TRACE(version);
    DxfText d(version);
    d.Layer("DXF_MAIN");
    d.Block("SQ").Polyline("0", {{0, 0}, {10, 0}, {10, 10}, {0, 10}}).EndBlock();
    d.Insert("DXF_MAIN", "SQ", 50, 0, 1, 1, 90, 3, 2, 20, 15);
    PassText(d.Str());
    std::vector<Shape> got = Placed();
    for (int c = 0; c < 3; ++c)
      for (int r = 0; r < 2; ++r) {
        const Pt corner{50 - 15.0 * r, 20.0 * c};  // (0, 0) of copy (c, r), turned by 90 degrees
        EXPECT_TRUE(std::any_of(got.begin(), got.end(), [&](const Shape& g) { return Dist(g.pts[0], corner) < 1e-3; }))
            << c << " " << r;
      }
    const auto len = ContourLengths();
    EXPECT_EQ(len.size(), 6u);
    for (const auto& [name, l] : len) EXPECT_NEAR(l, 40, 1e-3) << name;
  }
}

// A block without geometry on a layer being read (a point, or a circle on a
// layer not read) keeps the role of a feed point at its insertion point when its
// name says so; one with geometry is placed and is no feed point.
TEST(DxfBlocks, MarkerBlockStaysFeedPointBlockWithGeometryIsPlaced) {
  DxfText d("AC1015");
  d.Layer("DXF_MAIN").Layer("OTHER");
  d.Block("#1").Point("0", 0, 0).EndBlock();
  d.Block("#2").Line("0", 0, 0, 4, 0).EndBlock();
  d.Block("HOLE").Circle("OTHER", 0, 0, 1).EndBlock();
  d.Block("SQ", 5, 5).Polyline("0", {{0, 0}, {10, 0}, {10, 10}, {0, 10}}).EndBlock();
  d.Insert("DXF_MAIN", "SQ", 0, 0).Insert("DXF_MAIN", "#1", 2, -4);
  d.Insert("DXF_MAIN", "#2", 100, 100).Insert("DXF_MAIN", "HOLE", 200, 200);
  PassText(d.Str());
  EXPECT_EQ(RecordsOfType(etINSE), 1);
  EXPECT_TRUE(Has(RecordsText(), "I(2,-4)")) << RecordsText();
  EXPECT_TRUE(Has(RecordsText(), "L(100,100)(104,100)")) << RecordsText();
  EXPECT_EQ(RecordsOfType(etCIR), 0);
  // End to end: the marker is the start hole of the square around it.
  const std::string nc = ConvertText(d.Str()).program;
  EXPECT_TRUE(Has(nc, "G00 X2.000 Y-4.000")) << nc;
  EXPECT_TRUE(Has(nc, "Y-5.000")) << nc;
}

// End to end: half an ellipse with semi-axes 20 and 10, a spline half circle and a
// cubic spline U with two sharp bends, each closed by a line (where the lead-in goes,
// the line being nearer than the curve), and a circle of two bulges: one contour of the
// curve's length, cut with moves each within 0.001 of the true curve after the program
// has written its coordinates with three decimals, its arcs counted under ARC on the page.
TEST(DxfCurves, CutWithArcMovesWithinTheTolerance) {
  const double w = std::sqrt(0.5);
  const struct {
    std::vector<double> knots;
    std::vector<Pt> points;
  } sharpU = {{0, 0, 0, 0, 1, 2, 3, 4, 5, 5, 5, 5}, {{0, 20}, {0, 0.1}, {0, 0}, {0.1, 0}, {19.9, 0}, {20, 0}, {20, 0.1}, {20, 20}}};
  std::vector<std::pair<double, double>> sharpUPoints;
  for (const Pt& p : sharpU.points) sharpUPoints.emplace_back(p.x, p.y);
  struct Case {
    const char* name;
    std::string dxf;
    Curve at;
    double t1;
    Pt feed;
    double lineY, length;
    long arcs, maxArcs;   // the least and the most arc records and arc moves
  };
  const Case cases[] = {
      {"ellipse 20 x 10",
       DxfText("AC1015").Layer("DXF_MAIN").Ellipse("DXF_MAIN", 50, 50, 20, 0, 0.5, 0, M_PI)
           .Line("DXF_MAIN", 30, 50, 70, 50).Circle("DXF_MAIN", 50, 47, 0.5).Str(),
       [](double t) { return Pt{50 + 20 * std::cos(t), 50 + 10 * std::sin(t)}; }, M_PI, {50, 47}, 50,
       96.8845 / 2 + 40, 5, 200},
      {"spline half circle of radius 15",
       DxfText("AC1015").Layer("DXF_MAIN")
           .Spline("DXF_MAIN", 2, {0, 0, 0, 1, 1, 2, 2, 2}, {{15, 0}, {15, 15}, {0, 15}, {-15, 15}, {-15, 0}},
                   {1, w, 1, w, 1})
           .Line("DXF_MAIN", -15, 0, 15, 0).Circle("DXF_MAIN", 0, -3, 0.5).Str(),
       [](double t) { return Pt{15 * std::cos(t), 15 * std::sin(t)}; }, M_PI, {0, -3}, 0, 15 * M_PI + 30, 5,
       200},
      {"circle of two bulges",
       DxfText("AC1015").Layer("DXF_MAIN").BulgedPolyline("DXF_MAIN", {{20, 30, 1}, {40, 30, 1}}, true)
           .Circle("DXF_MAIN", 23.4, 32.4, 0.5).Str(),
       [](double t) { return Pt{30 + 10 * std::cos(t), 30 + 10 * std::sin(t)}; }, 2 * M_PI, {23.4, 32.4}, NAN, 62.832, 2, 2},
      // Its two bends are so sharp that the arcs there come out shorter than 0.01: where
      // they are joined into lines, each line still follows the curve.
      {"cubic spline U with sharp bends",
       DxfText("AC1015").Layer("DXF_MAIN").Spline("DXF_MAIN", 3, sharpU.knots, sharpUPoints)
           .Line("DXF_MAIN", 20, 20, 0, 20).Circle("DXF_MAIN", 10, 17, 0.5).Str(),
       BSpline(3, sharpU.knots, sharpU.points), 5, {10, 17}, 20, NAN, 5, 200},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Conversion r = ConvertText(c.dxf);
    EXPECT_TRUE(Has(r.page, "CONTOURS  :      1 ")) << r.page;
    std::smatch m;
    ASSERT_TRUE(std::regex_search(r.page, m, std::regex("\\$K01 +\\+([0-9.]+) "))) << r.page;
    if (!std::isnan(c.length)) {
      EXPECT_NEAR(std::stod(m[1]), c.length, 0.005);
    }
    ASSERT_TRUE(std::regex_search(r.page, m, std::regex("ARC      : +([0-9]+) \\| +([0-9]+) "))) << r.page;
    EXPECT_GE(std::stol(m[1]), c.arcs);
    EXPECT_LE(std::stol(m[1]), c.maxArcs);
    EXPECT_EQ(m[1], m[2]);
    char feed[64];
    snprintf(feed, sizeof feed, "G00 X%.3f Y%.3f", c.feed.x, c.feed.y);
    EXPECT_TRUE(Has(r.program, feed)) << r.program;
    EXPECT_GE(CheckCut(r.program, c.at, 0, c.t1, c.feed, c.lineY), c.arcs);
  }
}

// A contour made of a curve alone, whose arcs are all too short for the arc
// approach: the lead-in meets the arc chain square at its nearest point, from a
// drawn start hole and from one korvex places. A lone ellipse opening (a hole
// inside, or nested in a plate) and a closed spline punch (an ellipse 15 x 7.5 as
// a rational spline); the curve's block is cut closed, the wire on the start
// hole's side, the lead-in clear of material, every arc within the tolerance.
TEST(DxfCurves, ACurveAloneIsCutFromItsStartHole) {
  const double w = std::sqrt(0.5);
  const std::vector<std::pair<double, double>> oval = {{15, 0}, {15, 7.5}, {0, 7.5}, {-15, 7.5}, {-15, 0},
                                                       {-15, -7.5}, {0, -7.5}, {15, -7.5}, {15, 0}};
  auto ellipse = [](bool plate) {
    DxfText d("AC1015");
    d.Layer("DXF_MAIN");
    if (plate) d.Line("DXF_MAIN", 0, 0, 100, 0).Line("DXF_MAIN", 100, 0, 100, 100).Line("DXF_MAIN", 100, 100, 0, 100)
        .Line("DXF_MAIN", 0, 100, 0, 0).Circle("DXF_MAIN", 50, -2, 0.5);
    return d.Ellipse("DXF_MAIN", 50, 50, 20, 0, 0.5, 0, 2 * M_PI);
  };
  auto spline = [&]() {
    DxfText d("AC1015");
    d.Layer("DXF_MAIN").Spline("DXF_MAIN", 2, {0, 0, 0, 1, 1, 2, 2, 3, 3, 4, 4, 4}, oval, {1, w, 1, w, 1, w, 1, w, 1});
    return d;
  };
  const Curve onEllipse = [](double t) { return Pt{50 + 20 * std::cos(t), 50 + 10 * std::sin(t)}; };
  const Curve onOval = [](double t) { return Pt{15 * std::cos(t), 7.5 * std::sin(t)}; };
  struct Case {
    const char* name;
    std::string dxf, ini;
    Curve at;
    int block;   // the curve's block
  };
  const Case cases[] = {
      {"ellipse opening, drawn hole", ellipse(false).Circle("DXF_MAIN", 50, 57.5, 0.5).Str(), "", onEllipse, 10},
      {"ellipse opening in a plate, hole placed", ellipse(true).Str(), "AutoStartHoles: 1\n", onEllipse, 20},
      {"spline punch, drawn hole", spline().Circle("DXF_MAIN", 3, -9.5, 0.5).Str(), "", onOval, 10},
      {"spline punch, hole placed", spline().Str(), "AutoStartHoles: 1\n", onOval, 10},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Conversion r = ConvertText(c.dxf, c.ini);
    const NcCheck check = CheckNcProgram(r.program, ShippedDevice());
    EXPECT_TRUE(check.Ok()) << check.Report() << r.program;
    EXPECT_FALSE(Has(r.program, "TROUBLE")) << r.program;
    EXPECT_FALSE(Has(r.program, "NO FEED-POINT")) << r.program;
    EXPECT_EQ(check.sideChecks, check.closedCuts);
    EXPECT_EQ(check.leadInChecks, check.closedCuts);
    const std::string n = "\nN" + std::to_string(c.block) + "(";
    const size_t from = r.program.find(n), to = r.program.find("\nN", from + 1);
    ASSERT_NE(from, std::string::npos) << r.program;
    const std::string block = r.program.substr(from, to - from);
    std::smatch m;
    ASSERT_TRUE(std::regex_search(block, m, std::regex("G00 X(-?[0-9.]+) Y(-?[0-9.]+) \\(FeedPoint\\)"))) << block;
    EXPECT_GE(CheckCut(block, c.at, 0, 2 * M_PI, {std::stod(m[1]), std::stod(m[2])}), 10) << block;
    EXPECT_TRUE(Has(block, "(-CLOSED.CONTOUR-)")) << block;
  }
}

// Thousands of block definitions with more items than any fixed store held, and a
// MINSERT array of 6400 squares: all of it is kept and placed.
TEST(DxfBlocks, ManyBlocksAndBigArraysArePlacedWhole) {
  DxfText d("AC1015");
  d.Layer("DXF_MAIN");
  const std::vector<std::pair<double, double>> square = {{0, 0}, {10, 0}, {10, 10}, {0, 10}};
  for (int b = 0; b < 4500; ++b) d.Block("B" + std::to_string(b)).Polyline("0", square).EndBlock();
  d.Insert("DXF_MAIN", "B4499", 0, 0, 1, 1, 0, 80, 80, 20, 20).Insert("DXF_MAIN", "B0", -50, -50);
  PassText(d.Str());
  EXPECT_EQ(TestRun().table.maxElemBarrier, 0);
  EXPECT_EQ(RecordsOfType(etLINE), 80 * 80 * 4 + 4);
  EXPECT_EQ(TestRun().table.elds[TestRun().table.eldsCounter - 1].sx, -50.0f);
}

// A curve that needs more arcs than the first scratch buffer holds is cut whole, as
// a drawn one and as one placed from a block enlarged unevenly.
TEST(DxfCurves, CurvesOfThousandsOfArcsAreKept) {
  DxfText d("AC1015");
  d.Layer("DXF_MAIN").Ellipse("DXF_MAIN", 0, 0, 200000, 0, 0.3, 0, 2 * M_PI);
  d.Block("C").Circle("0", 0, 0, 1).EndBlock().Insert("DXF_MAIN", "C", 0, 0, 200000, 60000);
  const Conversion r = ConvertText(d.Str(), "CurveTolerance: 0.00001\n");
  std::smatch m;
  ASSERT_TRUE(std::regex_search(r.page, m, std::regex("ARC      : +([0-9]+) \\|"))) << r.page;
  EXPECT_GT(std::stol(m[1]), 2 * 4096);
  EXPECT_FALSE(Has(r.output, "more elements than korvex can take")) << r.output;
}

// Hostile drawings end quickly and within the table: a block inserting itself,
// arrays of two billion copies, curve parameters of any size.
TEST(DxfBlocks, HostileInsertsAndCurvesEndWithinTheTable) {
  DxfText d("AC1015");
  d.Layer("DXF_MAIN");
  d.Block("SELF").Line("0", 0, 0, 1, 0).Insert("0", "SELF", 1, 1, 1, 1, 0, 2000000000, 2000000000, 1, 1).EndBlock();
  d.Insert("DXF_MAIN", "SELF", 0, 0, 1, 1, 0, 2000000000, 3, 1, 1)
      .Insert("DXF_MAIN", "SELF", 0, 0, 1e300, -1e300, 1e300)
      .Ellipse("DXF_MAIN", 0, 0, 5, 0, 0.5, 1e300, -1e20)
      .Ellipse("DXF_MAIN", 0, 0, 5, 0, 0.5, 1e20, 1e20 + 1)
      .Spline("DXF_MAIN", 3, {0, 0, 0, 0, 1e300, 1e300, 1e300, 1e300}, {{0, 0}, {1, 1}, {2, 0}, {3, 1}});
  PassText(d.Str());
  EXPECT_EQ(TestRun().table.maxElemBarrier, 0);
  EXPECT_LE(TestRun().table.eldsCounter, 5000000) << TestRun().table.eldsCounter;
}

// A spline given by fit points alone is cut through every one of them.
TEST(DxfCurves, AFitPointSplinePassesThroughItsPoints) {
  std::string spline = "  0\nSPLINE\n  5\n9A\n100\nAcDbEntity\n  8\nDXF_MAIN\n100\nAcDbSpline\n 70\n8\n 71\n3\n 74\n4\n";
  for (const char* p : {" 11\n0\n 21\n0\n", " 11\n10\n 21\n8\n", " 11\n20\n 21\n8\n", " 11\n30\n 21\n0\n"}) spline += p;
  const Conversion r = ConvertText(DxfText("AC1015").Layer("DXF_MAIN").Raw(spline).Line("DXF_MAIN", 30, 0, 0, 0)
                                       .Circle("DXF_MAIN", 15, -3, 0.5).Str());
  EXPECT_TRUE(CheckNcProgram(r.program, ShippedDevice()).Ok()) << r.program;
  for (const char* at : {"X10.000 Y8.000", "X20.000 Y8.000", "X30.000 Y0.000", "X0.000 Y0.000"})
    EXPECT_TRUE(Has(r.program, at)) << at << "\n" << r.program;
}
