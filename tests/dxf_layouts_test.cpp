// Drawings as CAD programs write them: the same geometry in every layout gives
// the same records; object coordinates along -Z are mirrored, other planes and
// 3-D shapes are skipped with a log line. (Bulged segments, clockwise ones and
// closing ones, and open polylines are pinned by the corpus conversions and the
// curve cuts.)
#include <gtest/gtest.h>

#include <cmath>
#include <regex>

#include "elements/elements.h"
#include "support/dxf_passes.h"
#include "support/dxf_text.h"
#include "support/runs.h"
#include "support/support.h"
#include "run/run.h"


TEST(DxfLayouts, EveryLayoutGivesTheSameRecords) {
  struct Layout { const char* version; bool handles, style, late; };
  const Layout layouts[] = {
      {"AC1009", true, false, false}, {"AC1009", false, true, false}, {"", false, false, false},
      {"AC1006", false, false, false}, {"AC1012", true, false, false}, {"AC1014", true, false, false},
      {"AC1015", true, true, false},  {"AC1015", true, false, true},  {"AC1018", false, true, true}};
  std::string reference;
  for (const Layout& l : layouts) {
    SCOPED_TRACE(std::string(l.version) + (l.handles ? " handles" : "") + (l.style ? " style" : "") +
                 (l.late ? " late layer" : ""));
    DxfText d(l.version);
    d.Layout(l.handles, l.style, l.late).Layer("DXF_MAIN").Layer("ARC");
    // A block definition on the main layer: placed where the drawing inserts it, never at its own place.
    d.Block("ARROW").Line("DXF_MAIN", 0, 0, 1, 1).Circle("DXF_MAIN", 0, 0, 9).EndBlock();
    d.Line("ARC", 0, 0, 5, 5).Text("OTHER", 0, 0, "LINE").Text("OTHER", 0, 0, "ARC");
    // An entity of a type that is not read, on a layer named like one that is.
    d.Raw("  0\nHATCH\n  8\nARC\n 10\n1\n 20\n2\n 40\n3\n 50\n0\n 51\n90\n");
    d.Line("DXF_MAIN", 0, 0, 10, 0).Arc("DXF_MAIN", 20, 0, 5, -90, 90).Circle("DXF_MAIN", 30, 0, 2)
        .Text("DXF_MAIN", 1, 2, "LINE").Point("DXF_MAIN", 3, 4).Insert("DXF_MAIN", "#1", 5, 6)
        .Insert("DXF_MAIN", "ARROW", 7, 8).Line("ARC", 1, 1, 2, 2);
    PassLog(d.Str());
    std::string got = RecordsText();
    EXPECT_EQ(TestRun().table.eldsCounter, 15);
    if (reference.empty()) reference = got;
    EXPECT_EQ(got, reference);
  }
  for (const char* rec : {"L(0,0)(10,0)", "A(20,-5)(20,5)c(20,0)r5 a270-90", "C(32,0)(32,0)c(30,0)r2 a0-360",
                          "T(1,2)(1,2)", " LINE\n", "X(3,4)", "I(5,6)", "L(7,8)(8,9)", "C(16,8)(16,8)c(7,8)r9"})
    EXPECT_TRUE(Has(reference, rec)) << rec << " in\n" << reference;
}

TEST(DxfObjectCoordinates, MinusZIsMirroredOtherPlanesAndSolidsAreSkipped) {
  for (const char* ver : {"AC1009", "AC1015"}) {
    SCOPED_TRACE(ver);
    DxfText d(ver);
    d.Extrusion(0, 0, -1)
        .Arc("DXF_MAIN", 10, 0, 5, 0, 90)
        .Circle("DXF_MAIN", 3, 4, 2)
        .Line("DXF_MAIN", 1, 1, 2, 2)   // lines are given in drawing coordinates
        .BulgedPolyline("DXF_MAIN", {{0, 50, 1}, {10, 50, 1}}, true)
        .Extrusion(0.6, 0, 0.8)
        .Circle("DXF_MAIN", 7, 7, 1)
        .BulgedPolyline("DXF_MAIN", {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}}, true)
        .Extrusion(0, 0, 1)
        .VertexPolyline("DXF_MAIN", {{0, 100, 5}, {10, 100, 5}, {10, 110, 5}}, 9)
        .VertexPolyline("DXF_MAIN", {{0, 200, 0}, {10, 200, 1}, {10, 210, 0}}, 9)
        .VertexPolyline("DXF_MAIN", {{0, 300, 0}, {10, 300, 0}, {10, 310, 0}}, 9 | 64)
        .Circle("DXF_MAIN", 0, 0, 1);
    const std::string log = PassLog(d.Str()), recs = RecordsText();
    // Mirrored; lines as they are; the flat 3-D polyline; reading goes on after the skipped ones.
    for (const char* kept : {"A(-10,5)(-15,0)c(-10,0)r5 a90-180", "C(-1,4)(-1,4)c(-3,4)r2", "L(1,1)(2,2)", "V(0,100)",
                             "V(10,110)", "C(1,0)(1,0)c(0,0)r1"})
      EXPECT_TRUE(Has(recs, kept)) << kept << " in\n" << recs;
    for (const char* skipped : {"(0,200)", "(0,300)", "c(7,7)", "V(1,1)"}) EXPECT_FALSE(Has(recs, skipped)) << skipped;
    const std::regex circle(" CIRCLE \\[[0-9A-F]+\\] skipped: extrusion 0.6 0 0.8 is not along Z\n");
    EXPECT_TRUE(std::regex_search(log, circle)) << log;
    for (const std::string& line : {std::string(d.Is2000() ? " LWPOLYLINE [" : " POLYLINE ["),
                                   std::string("skipped: 3-D, its vertices are not in one plane parallel to XY\n"),
                                   std::string("skipped: polyface or polygon mesh\n")})
      EXPECT_TRUE(Has(log, line)) << line << " in\n" << log;
    // The mirrored circle of two bulges (centre (-5, 50)) and the flat triangle are the contours.
    auto len = ContourLengths();
    ASSERT_EQ(len.size(), 2u);
    EXPECT_NEAR(len["$K01"], 2 * M_PI * 5, 1e-3);
    EXPECT_NEAR(len["$K02"], 20 + std::sqrt(200.0), 1e-3);
    EXPECT_TRUE(Has(RecordsText(), "c(-5,50)r5 ")) << RecordsText();
  }
}

TEST(DxfLayouts, WithoutAHeaderTheEntitiesDecideTheLayout) {
  // Lightweight polylines of a writer that leaves the header out, with subclass markers and without.
  const std::vector<std::pair<double, double>> square = {{0, 0}, {20, 0}, {20, 20}, {0, 20}};
  DxfText marked("AC1015");
  marked.NoHeader().Polyline("DXF_MAIN", square).Circle("DXF_MAIN", 2, 10, 0.5);
  std::string bare = "  0\nSECTION\n  2\nENTITIES\n  0\nLWPOLYLINE\n  8\nDXF_MAIN\n 90\n4\n 70\n1\n";
  for (auto [x, y] : square) bare += " 10\n" + std::to_string(x) + "\n 20\n" + std::to_string(y) + "\n";
  bare += "  0\nCIRCLE\n  8\nDXF_MAIN\n 10\n2\n 20\n10\n 40\n0.5\n  0\nENDSEC\n  0\nEOF\n";
  for (const std::string& drawing : {marked.Str(), bare}) {
    const Conversion c = ConvertText(drawing);
    EXPECT_TRUE(Has(c.output, "korvex: 1 contour (0 holes), 0 without start hole")) << c.output;
    EXPECT_TRUE(Has(c.log, "no $ACADVER: the entities carry subclass markers, read as a 2000-format drawing"));
  }
  // A header-less 12-format drawing is read as it always was, without a word about its layout.
  DxfText twelve("");
  twelve.Polyline("DXF_MAIN", square).Circle("DXF_MAIN", 2, 10, 0.5);
  const Conversion c = ConvertText(twelve.Str());
  EXPECT_TRUE(Has(c.output, "korvex: 1 contour (0 holes), 0 without start hole")) << c.output;
  EXPECT_FALSE(Has(c.log, "no $ACADVER"));
}
