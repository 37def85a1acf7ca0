// The contour writers seen in whole programs, for what the worked square, the
// die plate and the fault drawings do not show: action points, the data remarks
// of both flavours, rough and register lines from technology texts and layer
// texts, and the drawn texts of a contour.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <vector>

#include "support/dxf_text.h"
#include "support/runs.h"
#include "support/support.h"

namespace {

// The square of side 10 with its start hole at (5, 2) (the split point (5, 0)), the
// right side on layer right, and what a case adds.
DxfText Square(const std::string& right = "DXF_MAIN") {
  DxfText d("AC1009");
  d.Layer("DXF_MAIN").Layer("EDMX_A").Layer("EDMX_ISO");
  d.Line("DXF_MAIN", 0, 0, 10, 0).Line(right, 10, 0, 10, 10).Line("DXF_MAIN", 10, 10, 0, 10).Line("DXF_MAIN", 0, 10, 0, 0);
  return d;
}

struct Case {
  const char* name;
  std::string dxf, ini;
  int flavour;
  std::vector<std::string> has, lacks;
};

}  // namespace

TEST(NcWriter, ContourBlocksCarryTheirPointsRemarksAndRegisters) {
  const Case cases[] = {
      // A point on the contour is an action point, a second one at the same place is dropped.
      {"action points", Square().Circle("DXF_MAIN", 5, 2, 0.5).Point("DXF_MAIN", 0, 10).Point("DXF_MAIN", 0, 10.001).Str(),
       "", 0,
       {"G01 X0.000 Y10.000;\n(-actionpoint-);\nG01 X10.000 Y10.000;", "G00 X5.000 Y2.000 (FeedPoint);",
        "G01 X5.000 Y0.000 D0A0 (SplittPoint);", "M99(-CLOSED.CONTOUR-);"},
       {}},
      {"desktop remark", Square().Circle("DXF_MAIN", 5, 2, 0.5).Str(), "", 1, {"M99(-CLOSED KONTOUR-);"}, {"CLOSED.CONTOUR"}},
      // A register defined from register 1 with its offset, and a negative rough offset on top of it.
      {"rough offset", Square().Circle("DXF_MAIN", 5, 2, 0.5).Text("DXF_MAIN", 6, 3, "R=3 OF=0.1 ROUGH=-0.02").Str(), "", 0,
       {"(FeedPoint);\n#3=#1+0.100(Default);\n(Rough);\n#3=#3-0.020;\n(Rough-End);\nM60;", "D#3 A0.000;"}, {}},
      // A positive rough offset adds nothing; register 1 itself is never defined.
      {"positive rough", Square().Circle("DXF_MAIN", 5, 2, 0.5).Text("DXF_MAIN", 6, 3, "ROUGH=0.5").Str(), "", 0,
       {"(FeedPoint);\nM60;", "D#1 A0.000;"}, {"(Rough)", "#1="}},
      // A layer's own register and offset, and its taper on the elements drawn on it.
      {"layer register", Square("EDMX_A").Circle("DXF_MAIN", 5, 2, 0.5).Text("EDMX_A", 20, 20, "L> R=2 OF=0.01 A=1.5").Str(),
       "", 0, {"#2=#1+0.010(Layer EDMX_A);", "G01 X10.000 Y10.000 A0.000;\nG01 X10.000 Y0.000 A1.500;"}, {}},
      // A register beyond those a text may name is 2, a taper beyond the largest none.
      {"layer values out of range", Square("EDMX_A").Circle("DXF_MAIN", 5, 2, 0.5).Text("EDMX_A", 20, 20, "L> R=7 A=12").Str(),
       "", 0, {"#2=#1+0.000(Layer EDMX_A);", "G01 X10.000 Y0.000 A0.000;"}, {"A12"}},
      // The drawn texts of a contour stay in its block unless RemTextInfo says no.
      {"texts kept", Square().Circle("DXF_MAIN", 5, -2, 0.5).Text("DXF_MAIN", 5, -3, "A=1.5 *Stempel").Str(),
       "RemTextInfo: 0\n", 0, {"(--A=1.5 *STEMPEL);\n"}, {}},
      {"texts left out", Square().Circle("DXF_MAIN", 5, -2, 0.5).Text("DXF_MAIN", 5, -3, "A=1.5 *Stempel").Str(),
       "RemTextInfo: 1\n", 0, {"N10("}, {"(--A=1.5 *STEMPEL);"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Conversion r = ConvertHere(c.dxf, c.ini, c.flavour);
    for (const std::string& part : c.has) EXPECT_EQ(CountOf(r.program, part), 1u) << part << "\n" << r.program;
    for (const std::string& part : c.lacks) EXPECT_FALSE(Has(r.program, part)) << part << "\n" << r.program;
  }
}

// A contour's cutting order is the walk its program makes: every step begins
// where the one before ended, whatever order and direction the members were drawn in.
TEST(NcWriter, TheContourKeepsItsCuttingOrder) {
  DxfText d("AC1009");
  d.Layer("DXF_MAIN").Line("DXF_MAIN", 0, 10, 10, 10).Line("DXF_MAIN", 0, 0, 10, 0).Arc("DXF_MAIN", 10, 5, 5, 270, 90)
      .Line("DXF_MAIN", 0, 0, 0, 10).Circle("DXF_MAIN", 5, 2, 0.5);
  for (int flavour : {0, 1}) {
    const Conversion c = ConvertHere(d.Str(), "", flavour);
    ASSERT_EQ(c.contours.size(), 2u) << c.output;
    const std::vector<KxCutStep>& cut = c.contours[1].cut;
    ASSERT_EQ(cut.size(), 3u) << c.program;   // between the lead-in element and the return to it
    float x = 0, y = 0;
    size_t at = 0;
    for (size_t i = 0; i < cut.size(); ++i) {
      const elementdaten& e = c.records.at((size_t)cut[i].element);
      const bool back = cut[i].dir == kxG02;
      if (i > 0) {
        EXPECT_LT(std::hypot((back ? e.ex : e.sx) - x, (back ? e.ey : e.sy) - y), 1e-3) << i;
      }
      x = back ? e.sx : e.ex;
      y = back ? e.sy : e.ey;
      // The program moves to each step's end, in this order.
      char move[40];
      snprintf(move, sizeof move, "X%.3f Y%.3f", x, y);
      at = c.program.find(move, at);
      ASSERT_NE(at, std::string::npos) << move << "\n" << c.program;
    }
  }
}
