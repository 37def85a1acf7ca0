// Drawings the way a wire-EDM programmer draws them, converted by the console
// program with the shipped device: each program must pass the checker with the
// drawing's own elements (no rapid with the wire threaded, every cut along the
// drawing, no element twice) and cut what the drawing says.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <regex>
#include <sstream>
#include <tuple>

#include "support/dxf_text.h"
#include "support/nc_check.h"
#include "support/runs.h"
#include "support/support.h"

namespace {

// A drawing that remembers the lines and arcs it holds, for the checker.
struct Drawing {
  DxfText dxf{"AC1009"};
  std::vector<NcPathElement> path;
  Drawing() { dxf.Layer("DXF_MAIN"); }
  Drawing& Line(double x1, double y1, double x2, double y2, const std::string& layer = "DXF_MAIN") {
    dxf.Line(layer, x1, y1, x2, y2);
    path.push_back({false, x1, y1, x2, y2});
    return *this;
  }
  Drawing& Arc(double cx, double cy, double r, double a0, double a1) {
    dxf.Arc("DXF_MAIN", cx, cy, r, a0, a1);
    path.push_back({true, 0, 0, 0, 0, cx, cy, r});
    return *this;
  }
  Drawing& Circle(double cx, double cy, double r) {
    dxf.Circle("DXF_MAIN", cx, cy, r);
    if (r > 2.605) path.push_back({true, 0, 0, 0, 0, cx, cy, r});
    return *this;
  }
  Drawing& StartHole(double x, double y) {
    dxf.Circle("DXF_MAIN", x, y, 0.5);
    return *this;
  }
  Drawing& Text(double x, double y, const std::string& t) {
    dxf.Text("DXF_MAIN", x, y, t);
    return *this;
  }
  Drawing& Rect(double x0, double y0, double x1, double y1, const std::string& rightSide = "DXF_MAIN") {
    return Line(x0, y0, x1, y0).Line(x1, y0, x1, y1, rightSide).Line(x1, y1, x0, y1).Line(x0, y1, x0, y0);
  }
};

struct Outcome : Conversion {
  NcCheck check;
  bool Has(const std::string& part) const { return program.find(part) != std::string::npos; }
};

// The conversion and the checker's verdict with the drawing's own elements: a
// program with the problems expected (none but where a test says).
Outcome Convert(const Drawing& d, const std::string& ini = "", int askedRapids = 0, size_t problems = 0) {
  Outcome r{ConvertText(d.dxf.Str(), ini), {}};
  r.check = CheckNcProgram(r.program, ShippedDevice(), {askedRapids, d.path});
  EXPECT_FALSE(r.program.empty()) << r.output;
  EXPECT_EQ(r.check.problems.size(), problems) << r.check.Report() << r.program;
  return r;
}

// The sub-program block N<n> up to the next block head.
std::string Block(const std::string& nc, int n) {
  size_t at = nc.find("\nN" + std::to_string(n) + "(");
  return at == std::string::npos ? "" : nc.substr(at + 1, nc.find("\nN", at + 1) - at);
}

// Where a second program differs from the first with its X and Y words moved by
// (dx, dy): every other number (I, J, lengths) and every text must stay as it is.
std::string ShiftedDifferences(const std::string& near, const std::string& far, double dx, double dy) {
  static const std::regex number("([A-Za-z:]?)(-?[0-9]+\\.[0-9]{3})(?![0-9])");
  auto lines = [](const std::string& text) {
    std::vector<std::string> out;
    std::stringstream ss(text);
    for (std::string l; std::getline(ss, l);) out.push_back(l);
    return out;
  };
  const std::vector<std::string> a = lines(near), b = lines(far);
  std::string out = a.size() == b.size() ? "" : "line counts differ\n";
  for (size_t n = 0; n < a.size() && n < b.size(); ++n) {
    bool same = std::regex_replace(a[n], number, "$1#") == std::regex_replace(b[n], number, "$1#");
    for (std::sregex_iterator i(a[n].begin(), a[n].end(), number), j(b[n].begin(), b[n].end(), number), end;
         same && i != end && j != end; ++i, ++j) {
      const std::string w = (*i)[1];
      const double shift = w == "X" ? dx : w == "Y" ? dy : 0;
      same = std::fabs(std::stod((*j)[2]) - std::stod((*i)[2]) - shift) <= 0.002;
    }
    if (!same) out += "line " + std::to_string(n + 1) + ": " + a[n] + " | " + b[n] + "\n";
  }
  return out;
}

}  // namespace

// A rapid-move layer element: the move after it gets the after-rapid word and
// the full G01, and nothing of the G00 carries on to later moves or contours.
TEST(CutFaults, RapidLayerEndsWithTheFullFeedWord) {
  for (const char* layer : {"EDMX_G0MOVE", "EDMX_EILGANG"}) {
    Drawing d;
    d.dxf.Layer(layer);
    d.Rect(0, 0, 100, 50, layer).StartHole(50, 2).Rect(200, 0, 220, 20).StartHole(210, 2);
    Outcome r = Convert(d, "", 1);
    EXPECT_EQ(r.check.threadedRapids, 1);
    EXPECT_TRUE(r.Has("(M17);\nG01 X")) << r.program;
    EXPECT_FALSE(r.Has("\n X")) << r.program;
  }
}

// Items of the walk: a side drawn twice is cut once and the contour closes; an
// open contour ends where its path ends, reported, with no cut across the part.
TEST(CutFaults, DuplicateSideAndOpenContour) {
  Drawing twice;
  // The copy of the top side comes before the right side, so the chaining takes
  // both copies and the walk meets the copy where the top side ends.
  twice.Line(0, 0, 40, 0).Line(40, 20, 0, 20).Line(0, 20, 40, 20).Line(40, 0, 40, 20).Line(0, 20, 0, 0);
  twice.StartHole(20, 2);
  // Copies as well: a side drawn the other way within the tolerance, a hole, an arc; a circle of
  // another radius and a line longer than the tolerance are no copies.
  twice.Line(40.001, 0, 0, 0).Circle(100, 10, 4).Circle(100, 10, 4).Circle(100, 30, 3).Circle(100, 30, 3.01);
  twice.Line(200, 0, 220, 0).Arc(220, 10, 10, 270, 90).Arc(220, 10, 10, 270, 90).Line(220, 20, 200, 20);
  twice.Arc(200, 10, 10, 90, 270).StartHole(188, 10);
  Outcome r = Convert(twice);
  EXPECT_TRUE(r.Has("CLOSED")) << r.program;
  EXPECT_NE(r.page.find(" 4 doppelt gezeichnete(s) Element(e) ignoriert"), std::string::npos) << r.page;

  Drawing open;
  open.Line(0, 20, 0, 0).Line(0, 0, 40, 0).Line(40, 0, 40, 20).StartHole(20, 2);
  r = Convert(open);
  EXPECT_TRUE(r.Has("(-- $K01 OPEN CONTOUR TROUBLE --);")) << r.program;
  EXPECT_FALSE(r.Has("/M01")) << r.program;
  EXPECT_NE(r.page.find("OOPS - 1 offene Kontur(en)"), std::string::npos);
  EXPECT_NE(r.output.find(", 1 open (not cut round), 1 without technology data -> "), std::string::npos) << r.output;
}

// A lead-in never crosses material: the outer profile does not take the start
// hole inside the window 3 mm from its edge, and the window keeps that hole
// although a pin hole in the web lies nearer to its lower side.
TEST(CutFaults, LeadInsStayOutOfTheMaterial) {
  Drawing d;
  d.Rect(0, 0, 100, 60).StartHole(50, -4).Rect(3, 20, 30, 40).StartHole(3.8, 30).StartHole(5, 18.5);
  Outcome r = Convert(d);
  EXPECT_NE(Block(r.program, 12).find("G00 X50.000 Y-4.000 (FeedPoint)"), std::string::npos) << r.program;
  EXPECT_NE(Block(r.program, 20).find("G00 X3.800 Y30.000 (FeedPoint)"), std::string::npos) << r.program;
}

// A start hole off a corner, where no side can be met square: the lead-in runs
// straight to the corner, the cut leaves it along one side and comes back along
// the other, the wire on the start hole's side. A punch with its hole off each of
// its corners, and an L-shaped opening with its hole off its inner corner.
TEST(CutFaults, StartHoleOffACornerLeadsInToTheCorner) {
  const double corners[4][2] = {{0, 0}, {40, 0}, {40, 20}, {0, 20}};
  for (const auto& c : corners) {
    Drawing d;
    d.Rect(0, 0, 40, 20).StartHole(c[0] == 0 ? -2 : 42, c[1] == 0 ? -2.5 : 22.5);
    Outcome r = Convert(d);
    char lead[64];
    snprintf(lead, sizeof lead, " (FeedPoint);\nM60;\nM82;\nG90G42G44G52;\nG01 X%.3f Y%.3f D0A0", c[0], c[1]);
    EXPECT_TRUE(r.Has(lead)) << r.program;
    EXPECT_EQ(r.check.sideChecks, 1) << r.program;
    EXPECT_EQ(r.check.leadInChecks, 1) << r.program;
    EXPECT_EQ(r.check.pathChecks, 5) << r.program;   // four sides, the last one in two parts around the hold point
    EXPECT_FALSE(r.Has("TROUBLE")) << r.program;
  }
  Drawing opening;
  opening.Rect(0, 0, 100, 60).StartHole(50, -2);
  opening.Line(20, 20, 60, 20).Line(60, 20, 60, 30).Line(60, 30, 35, 30).Line(35, 30, 35, 45).Line(35, 45, 20, 45);
  opening.Line(20, 45, 20, 20).StartHole(33, 28);
  Outcome r = Convert(opening);
  EXPECT_TRUE(r.Has("G00 X33.000 Y28.000 (FeedPoint);\nM60;\nM82;\nG90G42G44G52;\nG01 X35.000 Y30.000 D0A0"))
      << r.program;
  EXPECT_EQ(r.check.sideChecks, 2) << r.program;
  EXPECT_EQ(r.check.leadInChecks, 2) << r.program;
}

// A start hole that cannot lead in to the punch, off its corner with a bar on the
// way or beyond the anchor length: the punch's block says it has no feed point,
// the page says why; the bar, searched after it, is cut from that hole.
TEST(CutFaults, UnusableStartHoleIsNamedWithItsReason) {
  struct Case {
    double x, y;
    const char* why;
  };
  const Case cases[] = {{-2, -2, "material on the way to the contour"},
                        {-4, -4, "farther from the contour than the anchor length"}};
  for (const Case& c : cases) {
    Drawing d;
    d.Rect(0, 0, 40, 20).Rect(-1.6, -1.1, -0.4, -0.9).StartHole(c.x, c.y);
    Outcome r = Convert(d);
    EXPECT_NE(Block(r.program, 10).find("(NO FEED-POINT FOUND : 4 ELEMENTS);"), std::string::npos) << r.program;
    char line[128];
    snprintf(line, sizeof line, "start holes that give no lead-in: \n$K01     : start hole X%.3f Y%.3f: %s \n", c.x,
             c.y, c.why);
    EXPECT_TRUE(Has(r.page, line)) << r.page;
    EXPECT_EQ(r.check.closedCuts, 1);
  }
}

// On a plate the technology carries over, but not a contour's count of layer
// changes (its register line would be lost) nor its wire switches.
TEST(CutFaults, WireSwitchesAndLayerChangesStayWithTheirContour) {
  Drawing d;
  d.dxf.Layer("EDMX_B");
  d.Rect(0, 0, 20, 20, "EDMX_B").StartHole(10, 2).Text(11, 3, "!NOCUT");
  d.Rect(40, 0, 60, 20).StartHole(50, 2).Text(51, 3, "!NOFEED R=3 OF=0.1");
  d.Rect(80, 0, 100, 20).StartHole(90, 2);
  Outcome r = Convert(d);
  EXPECT_NE(Block(r.program, 10).find("(NoCut);"), std::string::npos) << r.program;
  const std::string second = Block(r.program, 20), third = Block(r.program, 30);
  EXPECT_NE(second.find("#3=#1+0.100"), std::string::npos) << second;
  EXPECT_NE(second.find("(NoFeed);"), std::string::npos) << second;
  EXPECT_NE(second.find("M50;\nM99"), std::string::npos) << second;
  EXPECT_NE(third.find("M60;\nM82;"), std::string::npos) << third;
  EXPECT_NE(third.find("M50;\nM99"), std::string::npos) << third;
}

// Nesting: a part inside an opening inside a plate is the opening's child and
// cut before it; a bore near an obround's rounded end lies inside the obround,
// whose start hole just beyond that end is claimed.
TEST(CutFaults, NestingFollowsTheRealOutlines) {
  Drawing nest;
  nest.Rect(0, 0, 100, 100).StartHole(50, -2).Rect(20, 20, 80, 80).StartHole(50, 22);
  nest.Rect(35, 35, 65, 65).StartHole(50, 37);
  Outcome r = Convert(nest);
  EXPECT_TRUE(r.Has("N20(-- child of N10 --);")) << r.program;
  EXPECT_TRUE(r.Has("N30(-- child of N20 --);")) << r.program;
  EXPECT_NE(Block(r.program, 20).find("M98P30;\nM98P22;"), std::string::npos) << r.program;

  Drawing obround;
  obround.Line(0, 0, 60, 0).Arc(60, 10, 10, 270, 90).Line(60, 20, 0, 20).Arc(0, 10, 10, 90, 270);
  obround.StartHole(-12, 10).Circle(64, 10, 3);
  r = Convert(obround);
  EXPECT_TRUE(r.Has("N20(-- child of N10 --);")) << r.program;
  EXPECT_TRUE(r.Has("G00 X-12.000 Y10.000 (FeedPoint)")) << r.program;
  // On an arc the cut stops 4 degrees before the split point.
  EXPECT_TRUE(r.Has(" X-9.976 Y10.698 ") || r.Has(" X-9.976 Y9.302 ")) << r.program;
  EXPECT_FALSE(r.Has("TROUBLE")) << r.program;
}

// Texts and the start holes they belong to: a text beside the start hole the
// contour did not use stays with the contour; a hole takes its contour's taper;
// a technology code is a word of its own, never a piece of the star name.
TEST(CutFaults, TextsReachTheirContour) {
  Drawing released;
  released.Rect(100, 0, 140, 20).StartHole(120, 2);
  // The upper start hole is found first, then released for the nearer lower one.
  released.Rect(0, 0, 40, 20).StartHole(20, 17).StartHole(20, 2).Text(21, 16, "a=2");   // keywords in any case
  Outcome r = Convert(released);
  EXPECT_NE(Block(r.program, 10).find("D#1 A0.000"), std::string::npos) << r.program;
  EXPECT_NE(Block(r.program, 20).find("D#1 A2.000"), std::string::npos) << r.program;

  Drawing hole;
  hole.Circle(10, 10, 4).Text(16, 10, "A=1.5").Text(16, 12, "*ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789 links");
  r = Convert(hole);
  EXPECT_TRUE(r.Has("D#4 A1.500")) << r.program;
  EXPECT_TRUE(r.Has(" (ABCDEFGHIJKLMNOPQRSTUVWXYZ012345);")) << r.program;   // the first word, at most 32 characters

  for (bool apart : {true, false}) {
    Drawing punch;
    punch.Rect(0, 0, 40, 20).StartHole(20, 2);
    if (apart) punch.Text(21, 3, "Q3_ST20").Text(21, 5, "*SQUARE_PUNCH");
    else punch.Text(21, 3, "Q3_ST20 *SQUARE_PUNCH");
    r = Convert(punch);
    EXPECT_FALSE(r.Has("missing-TechData")) << r.program;
    EXPECT_TRUE(r.Has("C310")) << r.program;   // the third cut of Q3_ST20
  }
}

// Closed contours of two elements.
TEST(CutFaults, TwoElementContours) {
  Drawing d;
  d.Line(0, 0, 0, 20).Arc(0, 10, 10, 270, 90).StartHole(2, 10);     // D-shaped bore
  d.Arc(50, 10, 10, 0, 180).Arc(50, 10, 10, 180, 360).StartHole(50, 17);   // circle of two half arcs
  Outcome r = Convert(d);
  EXPECT_TRUE(r.Has("N20(")) << r.program;
  EXPECT_EQ(r.check.sideChecks, 2) << r.program;
  EXPECT_EQ(r.page.find("Verwaiste"), std::string::npos) << r.page;
}

// A round punch: a circle with its start hole beside it is cut from there as an
// outer profile, the wire outside; with a start hole inside it stays a hole.
TEST(CutFaults, RoundPunchIsCutFromOutside) {
  Drawing d;
  d.Circle(50, 50, 10).StartHole(50, 38);
  Outcome r = Convert(d);
  EXPECT_EQ(r.check.sideChecks, 1);
  EXPECT_TRUE(r.Has("G00 X50.000 Y38.000 (FeedPoint);\nM60;\nM82;\nG90G42G44G52;\nG01 X50.000 Y40.000 D0A0"))
      << r.program;
  EXPECT_FALSE(r.Has("HOLE-R")) << r.program;

  d.StartHole(52, 50);
  r = Convert(d);
  EXPECT_TRUE(r.Has("(--HOLE-R10.000--);")) << r.program;
}

// What stays as it is but is said: an inset contour's own cuts are not used,
// and in piece mode the main program calls the last piece only.
TEST(CutFaults, WarningsOnThePage) {
  Drawing inset;
  inset.Rect(0, 0, 100, 60).StartHole(50, -2).Rect(40, 20, 60, 40).StartHole(50, 22).Text(51, 23, "CQ=3");
  Outcome r = Convert(inset);
  EXPECT_NE(r.page.find("1 inset contour(s): own technology not used"), std::string::npos) << r.page;
  EXPECT_NE(r.output.find("; note: 1 inset contour cut with the parent's cuts"), std::string::npos) << r.output;

  Drawing pieces;
  pieces.Rect(0, 0, 20, 20).StartHole(10, 2).Rect(40, 0, 60, 20).StartHole(50, 2);
  r = Convert(pieces, "G92Modus: 1\n", 0, 1);
  // Each piece has its origin at its start hole; the main program calls the last piece,
  // the first piece's block waits for the operator: nothing calls it.
  EXPECT_EQ(r.program.substr(0, r.program.find("(- - -")),
            "%;\n(-Teilemodus-);\nG54G90;\n(KORVEX WIRE EDM);\nG21;\nG40G50G69;\n(-Groups: 10 20 -);\nM98P20;\n"
            "G92 X0.0 Y0.0;\nM30;\n");
  EXPECT_TRUE(r.Has("G92 X50.000 Y2.000 (SetCoord);\n")) << r.program;
  ASSERT_EQ(r.check.problems.size(), 1u) << r.check.Report();
  EXPECT_NE(r.check.problems[0].find("block N10 is never called"), std::string::npos);
  EXPECT_NE(r.page.find("piece mode: the main program calls the last piece only, 1 piece(s) not called"),
            std::string::npos) << r.page;
  EXPECT_NE(r.output.find("; note: piece mode - the main program calls the last piece only, 1 piece to call by hand"),
            std::string::npos) << r.output;
  // A drawn directive asks for the same.
  pieces.Text(100, 100, "#DIRECTIVE G92_PIECES");
  EXPECT_EQ(Convert(pieces, "", 0, 1).program, r.program);
}

// A drawing in machine coordinates converts as the same drawing at the origin:
// the opening is found inside its part and cut before it, the plate point is a
// hole's, the last contour's position is known; only the X and Y words move.
TEST(CutFaults, FarFromTheOriginAsNearIt) {
  auto drawing = [](double dx, double dy) {
    Drawing d;
    d.dxf.Layer("EDMX_POSITION");
    // A round opening beside the plate with start holes inside at equal lead-ins.
    d.Circle(dx + 150, dy + 30, 20);
    for (auto [x, y] : {std::pair{17.5, 0.0}, {12.374, 12.374}, {0.0, 17.5}, {-12.374, 12.374}, {-17.5, 0.0}})
      d.StartHole(dx + 150 + x, dy + 30 + y);
    d.Circle(dx + 70, dy + 30, 5).Rect(dx, dy, dx + 100, dy + 60).StartHole(dx + 50, dy - 2);
    // An obround opening with its start hole, and a positioning line to it.
    d.Line(dx + 20, dy + 20, dx + 40, dy + 20).Arc(dx + 40, dy + 30, 10, 270, 90);
    d.Line(dx + 40, dy + 40, dx + 20, dy + 40).Arc(dx + 20, dy + 30, 10, 90, 270);
    d.StartHole(dx + 30, dy + 22).Text(dx + 31, dy + 23, "A=1");
    d.Line(dx + 70, dy + 30, dx + 30, dy + 22, "EDMX_POSITION");
    return d;
  };
  const Outcome near = Convert(drawing(0, 0));
  EXPECT_EQ(CountOf(near.program, "-- child of "), 2u) << near.program;   // the opening and the hole in the plate
  EXPECT_TRUE(near.Has("(On Position);")) << near.program;
  for (auto [dx, dy] : {std::pair{6000.0, 0.0}, {-6000.0, 0.0}, {-6000.0, 6000.0}}) {
    const Outcome far = Convert(drawing(dx, dy));
    EXPECT_EQ(ShiftedDifferences(near.program, far.program, dx, dy), "") << dx << " " << dy << "\n" << far.program;
  }
}

// A round opening is threaded where its start hole is drawn: the lead-in runs
// along the radius through the hole, the four arcs, the hold point 15 degrees
// before the split point and the overlap turn with it; at the centre (drawn or
// not) the program is the one a hole always had.
TEST(CutFaults, RoundOpeningIsThreadedAtItsStartHole) {
  const double pi = std::acos(-1.0);
  Drawing d;
  d.Circle(50, 50, 10).StartHole(47, 53).Circle(150, 50, 10).StartHole(154, 44);
  d.Circle(250, 50, 10).StartHole(250, 50).Circle(350, 50, 10);
  // Lead-ins equal within the tolerance: the start hole drawn first.
  d.Circle(450, 50, 10).StartHole(450, 57.499).StartHole(457.5, 50);
  Outcome r = Convert(d);
  EXPECT_EQ(r.check.sideChecks, 5) << r.program;
  EXPECT_EQ(r.check.pathChecks, 20) << r.program;   // every arc on its circle
  EXPECT_TRUE(r.Has("G00 X450.000 Y57.499;")) << r.program;
  for (auto [cx, hx, hy] : {std::tuple{50.0, 47.0, 53.0}, {150.0, 154.0, 44.0}}) {
    const auto cut = std::find_if(r.check.cuts.begin(), r.check.cuts.end(), [&](const auto& c) {
      return std::hypot(c.second.holeX - hx, c.second.holeY - hy) < 0.001;
    });
    ASSERT_NE(cut, r.check.cuts.end()) << r.program;
    const std::vector<NcMove>& m = cut->second.moves;
    ASSERT_EQ(m.size(), 4u) << r.program;
    const double toHole = std::atan2(hy - 50, hx - cx), toSplit = std::atan2(m[0].y0 - 50, m[0].x0 - cx);
    const double toHold = std::atan2(m[2].y1 - 50, m[2].x1 - cx);
    EXPECT_NEAR(std::hypot(m[0].x0 - cx, m[0].y0 - 50), 10, 0.001);
    EXPECT_NEAR(std::remainder(toSplit - toHole, 2 * pi), 0, 0.0002);
    EXPECT_NEAR(std::remainder(toHold - toSplit, 2 * pi) * 180 / pi, 15, 0.01);
  }
  for (int x : {250, 350})
    EXPECT_TRUE(r.Has("G00 X" + std::to_string(x) + ".000 Y50.000;\nM60;\nM82;\nG90G42G44G52;\nG01 X" +
                      std::to_string(x + 10) + ".000 Y50.000 D0A0;\nG02 X" + std::to_string(x - 5) +
                      ".000 Y41.340 I-10.000 J0.000 D#4"))
        << r.program;
}

// One start hole between two parts serves one of them: the second part's region
// claims the insert the first was to be entered from, and the first is reported
// without a start hole instead of being entered off its own outline.
TEST(CutFaults, AStartHoleTwoPartsReachServesOne) {
  DxfText d("AC1009");
  d.Layer("DXF_MAIN");
  for (double x : {0.0, 23.0})
    d.Line("DXF_MAIN", x, 0, x + 20, 0).Line("DXF_MAIN", x + 20, 0, x + 20, 20).Line("DXF_MAIN", x + 20, 20, x, 20)
        .Line("DXF_MAIN", x, 20, x, 0);
  d.Insert("DXF_MAIN", "#1", 21.5, 10);
  const Conversion c = ConvertText(d.Str());
  EXPECT_TRUE(Has(c.output, "korvex: 2 contours (0 holes), 1 without start hole")) << c.output;
  EXPECT_TRUE(Has(c.program, "$K01 HOLE TROUBLE")) << c.program;
  EXPECT_EQ(CountOf(c.program, "G00 X21.500 Y10.000"), 1u) << c.program;
}
