// Blocks and curves: inserts place their block's geometry with the insert's
// transform (nested, scaled, turned, mirrored, in arrays, layer 0 taking the
// insert's layer), a block without geometry stays a feed point, and ellipses and
// splines become tangent arcs that the NC program cuts within CurveTolerance.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <regex>

#include "config/config.h"
#include "contours/contours.h"
#include "dxf/dxf.h"
#include "elements/elements.h"
#include "geometry/base.h"
#include "support/dxf_passes.h"
#include "support/dxf_text.h"
#include "support/support.h"

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

// A line, arc or circle by its points: ends (either order), centre, radius, middle of an arc.
struct Shape {
  char kind;
  Pt s, e, c, m;
  double r;
};
Shape FromRecord(const elementdaten& el) {
  Shape sh{"LPVAC"[el.type < 5 ? el.type : 0], {el.sx, el.sy}, {el.ex, el.ey}, {el.cx, el.cy}, {0, 0}, el.r};
  double sweep = el.ew - el.sw;
  if (sweep <= 0) sweep += 360;
  const double mid = (el.sw + sweep / 2) * M_PI / 180;
  sh.m = {el.cx + el.r * std::cos(mid), el.cy + el.r * std::sin(mid)};
  return sh;
}
bool Same(const Shape& a, const Shape& b) {
  const double tol = 2e-3;
  if (a.kind != b.kind) return false;
  if (a.kind == 'C') return Dist(a.c, b.c) < tol && std::fabs(a.r - b.r) < tol;
  const bool ends = (Dist(a.s, b.s) < tol && Dist(a.e, b.e) < tol) || (Dist(a.s, b.e) < tol && Dist(a.e, b.s) < tol);
  if (a.kind == 'L') return ends;
  return ends && Dist(a.c, b.c) < tol && std::fabs(a.r - b.r) < tol && Dist(a.m, b.m) < tol;
}

// The shapes of block LEAF (base point (1, 2)) seen through t.
std::vector<Shape> Leaf(const Tf& t) {
  const double k = t.Scale();
  const double q = 3 / std::sqrt(2.0);
  return {Shape{'L', t({1, 2}), t({11, 2}), {0, 0}, {0, 0}, 0},
          Shape{'A', t({9, 2}), t({6, 5}), t({6, 2}), t({6 + q, 2 + q}), 3 * k},
          Shape{'C', {0, 0}, {0, 0}, t({1, 7}), {0, 0}, 1 * k}};
}

std::vector<Shape> Placed() {
  std::vector<Shape> got;
  for (long i = 7; i < eldsCounter; ++i)
    if (elds[i].type == etLINE || elds[i].type == etARC || elds[i].type == etCIR) got.push_back(FromRecord(elds[i]));
  return got;
}

// --- curves ---
// Distance from p to a curve given by points along it, refined around the nearest.
double CurveDistance(const std::function<Pt(double)>& at, double t0, double t1, Pt p) {
  const int n = 800;
  double best = 1e300, bt = t0;
  for (int i = 0; i <= n; ++i) {
    const double t = t0 + (t1 - t0) * i / n;
    const double d = Dist(at(t), p);
    if (d < best) best = d, bt = t;
  }
  double lo = std::max(t0, bt - (t1 - t0) / n), hi = std::min(t1, bt + (t1 - t0) / n);
  for (int i = 0; i < 60; ++i) {
    const double m1 = lo + (hi - lo) / 3, m2 = hi - (hi - lo) / 3;
    if (Dist(at(m1), p) < Dist(at(m2), p)) hi = m2; else lo = m1;
  }
  return std::min(best, Dist(at((lo + hi) / 2), p));
}

// The cutting moves of an NC program: every arc move sampled against the curve,
// and every straight move a lead-in or lead-out from the start hole at feed or
// part of the line y = lineY that closes the curve.
void CheckCut(const std::string& nc, const std::function<Pt(double)>& at, double t0, double t1, Pt feed, double lineY) {
  static const std::regex move(R"(\n(G0[0123]) X(-?[0-9.]+) Y(-?[0-9.]+)(?: I(-?[0-9.]+) J(-?[0-9.]+))?)");
  Pt cur{0, 0};
  int arcMoves = 0;
  double worst = 0;
  for (auto it = std::sregex_iterator(nc.begin(), nc.end(), move); it != std::sregex_iterator(); ++it) {
    const std::string g = (*it)[1];
    const Pt to{std::stod((*it)[2]), std::stod((*it)[3])};
    if (g == "G01") {
      EXPECT_TRUE(Dist(cur, feed) < 2e-3 || Dist(to, feed) < 2e-3 ||
                  (std::fabs(cur.y - lineY) < 2e-3 && std::fabs(to.y - lineY) < 2e-3))
          << it->str();
    }
    if ((g == "G02" || g == "G03") && (*it)[4].matched) {
      ++arcMoves;
      const Pt c{cur.x + std::stod((*it)[4]), cur.y + std::stod((*it)[5])};
      const double r0 = Dist(cur, c), r1 = Dist(to, c);
      const double a0 = std::atan2(cur.y - c.y, cur.x - c.x);
      double a1 = std::atan2(to.y - c.y, to.x - c.x);
      if (g == "G03" && a1 <= a0) a1 += 2 * M_PI;
      if (g == "G02" && a1 >= a0) a1 -= 2 * M_PI;
      for (int i = 0; i <= 10; ++i) {
        const double u = i / 10.0, w = a0 + (a1 - a0) * u, r = r0 + (r1 - r0) * u;
        worst = std::max(worst, CurveDistance(at, t0, t1, {c.x + r * std::cos(w), c.y + r * std::sin(w)}));
      }
    }
    cur = to;
  }
  EXPECT_GT(arcMoves, 4) << nc;
  EXPECT_LE(worst, 0.001) << nc;
}

std::string CutProgram(const DxfText& d, std::string* page = nullptr) {
  ProgramFolder pf;
  WriteFile(pf.File("part.dxf"), d.Str());
  RunProcess({pf.Binary(), "part.dxf"}, pf.Path());
  if (page) *page = ReadFile(pf.File("_results.htm"));
  return ReadFile(pf.File("_nwd_out.txt"));
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
        .Line("0", 1, 2, 11, 2)
        .Arc("0", 6, 2, 3, 0, 90)
        .Circle("DXF_MAIN", 1, 7, 1)
        .Line("OTHER", 0, 0, 5, 5)
        .EndBlock();
    d.Block("MID").Insert("0", "LEAF", 5, 5, -2, 2, 30).Insert("0", "LEAF", -3, 0, 1, 1, 0).EndBlock();
    d.Insert("DXF_MAIN", "MID", 100, 50, 1.5, 1.5, 90).Insert("OTHER", "MID", 0, 0);
    d.Extrusion(0, 0, -1).Insert("DXF_MAIN", "LEAF", 20, 0).Extrusion(0, 0, 1);
    std::string console = PassText(d.Str());
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
      bool found = false;
      for (const Shape& g : got) found = found || Same(g, w);
      EXPECT_TRUE(found) << w.kind << " (" << w.s.x << "," << w.s.y << ") c(" << w.c.x << "," << w.c.y << ") r" << w.r;
    }
    EXPECT_EQ(RecordsOfType(etINSE), 0);
    EXPECT_NE(console.find("..<Block placed: 6 elements>"), std::string::npos) << console;
  }
}

// A MINSERT of a polyline square on layer 0, inserted on the main layer and
// turned by 90 degrees: three columns and two rows of closed contours of 40 mm.
TEST(DxfBlocks, MinsertArrayBecomesOneContourPerCopy) {
  for (const char* version : {"AC1009", "AC1015"}) {
    SCOPED_TRACE(version);
    DxfText d(version);
    d.Layer("DXF_MAIN");
    d.Block("SQ").Polyline("0", {{0, 0}, {10, 0}, {10, 10}, {0, 10}}, true).EndBlock();
    d.Insert("DXF_MAIN", "SQ", 50, 0, 1, 1, 90, 3, 2, 20, 15);
    PassText(d.Str());
    std::vector<Shape> got = Placed();
    for (int c = 0; c < 3; ++c)
      for (int r = 0; r < 2; ++r) {
        const Pt corner{50 - 15.0 * r, 20.0 * c};  // (0, 0) of copy (c, r), turned by 90 degrees
        bool found = false;
        for (const Shape& g : got) found = found || Dist(g.s, corner) < 1e-3 || Dist(g.e, corner) < 1e-3;
        EXPECT_TRUE(found) << c << " " << r;
      }
    ConsoleCapture quiet;
    AddClosingElements();
    CheckStructs();
    EXPECT_EQ(SearchKontur(), 6);
    std::map<std::string, double> len;
    for (long i = 0; i < eldsCounter; ++i)
      if (strncmp(elds[i].kontur, "$K", 2) == 0) len[elds[i].kontur] += elds[i].len;
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
  d.Insert("DXF_MAIN", "#1", 3, 4).Insert("DXF_MAIN", "#2", 5, 5).Insert("DXF_MAIN", "HOLE", 7, 7);
  std::string console = PassText(d.Str());
  ASSERT_EQ(RecordsOfType(etINSE), 1);
  for (long i = 7; i < eldsCounter; ++i)
    if (elds[i].type == etINSE) {
      EXPECT_FLOAT_EQ(elds[i].cx, 3);
      EXPECT_FLOAT_EQ(elds[i].cy, 4);
    }
  ASSERT_EQ(RecordsOfType(etLINE), 1);
  EXPECT_EQ(RecordsOfType(etCIR), 0);
  EXPECT_NE(console.find("[Name:HOLE] ..<Name break>"), std::string::npos) << console;

  // End to end: the marker is the start hole of a square around it.
  DxfText e("AC1015");
  e.Layer("DXF_MAIN");
  e.Block("#1").Point("0", 0, 0).EndBlock();
  e.Block("SQ", 5, 5).Polyline("0", {{0, 0}, {10, 0}, {10, 10}, {0, 10}}, true).EndBlock();
  e.Insert("DXF_MAIN", "SQ", 0, 0).Insert("DXF_MAIN", "#1", 2, -4);
  const std::string nc = CutProgram(e);
  EXPECT_NE(nc.find("G00 X2.000 Y-4.000"), std::string::npos) << nc;
  EXPECT_NE(nc.find("Y-5.000"), std::string::npos) << nc;
}

// End to end: half an ellipse with semi-axes 20 and 10 and a spline half circle,
// each closed by a line along its axis (a lead-in reaches a line or a wide arc,
// not the short arcs of a curve), are cut with arc moves along the curve, every
// one within 0.001 of the true curve after the program has written its
// coordinates with three decimals; the statistics page counts the arcs under
// ARC and the contour has the curve's length.
TEST(DxfCurves, CutWithArcMovesWithinTheTolerance) {
  {
    SCOPED_TRACE("ellipse 20 x 10");
    DxfText d("AC1015");
    d.Layer("DXF_MAIN")
        .Ellipse("DXF_MAIN", 50, 50, 20, 0, 0.5, 0, M_PI)
        .Line("DXF_MAIN", 30, 50, 70, 50)
        .Circle("DXF_MAIN", 50, 47, 0.5);
    std::string page;
    const std::string nc = CutProgram(d, &page);
    CheckCut(nc, [](double t) { return Pt{50 + 20 * std::cos(t), 50 + 10 * std::sin(t)}; }, 0, M_PI, {50, 47}, 50);
    std::smatch m;
    ASSERT_TRUE(std::regex_search(page, m, std::regex("\\$K01 +\\+([0-9.]+) "))) << page;
    EXPECT_NEAR(std::stod(m[1]), 96.8845 / 2 + 40, 0.005);   // half the perimeter and the line
    ASSERT_TRUE(std::regex_search(page, m, std::regex("ARC      : +([0-9]+) \\| +([0-9]+) "))) << page;
    EXPECT_GT(std::stol(m[1]), 4);
    EXPECT_EQ(m[1], m[2]);
  }
  {
    SCOPED_TRACE("spline half circle of radius 15");
    const double w = std::sqrt(0.5);
    DxfText d("AC1015");
    d.Layer("DXF_MAIN")
        .Spline("DXF_MAIN", 2, {0, 0, 0, 1, 1, 2, 2, 2}, {{15, 0}, {15, 15}, {0, 15}, {-15, 15}, {-15, 0}}, {1, w, 1, w, 1})
        .Line("DXF_MAIN", -15, 0, 15, 0)
        .Circle("DXF_MAIN", 0, -3, 0.5);
    const std::string nc = CutProgram(d);
    CheckCut(nc, [](double t) { return Pt{15 * std::cos(t), 15 * std::sin(t)}; }, 0, M_PI, {0, -3}, 0);
  }
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
  EXPECT_LE(eldsCounter, eldsMaximum);
  EXPECT_EQ(gMaxELemBarrier, 1);   // the arrays filled the table
}
