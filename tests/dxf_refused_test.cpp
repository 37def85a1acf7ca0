// Numbers a drawing cannot mean: an entity that uses a value that is no number,
// no finite one, or one whose geometry lies beyond the plausible size of a part
// is refused, named in the log and counted in the summary line and on the page;
// the rest of the drawing converts as if it were not there. Values of groups an
// entity does not use, and decimal commas, are read as they always were.
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>

#include "support/dxf_text.h"
#include "support/runs.h"
#include "support/support.h"

namespace {

// The square with its feed circle (handles 256 to 260), the contour of every case.
DxfText Square(const std::string& version) {
  DxfText d(version);
  d.Layer("DXF_MAIN").Line("DXF_MAIN", 0, 0, 10, 0).Line("DXF_MAIN", 10, 0, 10, 10).Line("DXF_MAIN", 10, 10, 0, 10)
      .Line("DXF_MAIN", 0, 10, 0, 0).Circle("DXF_MAIN", 5, 2, 0.5);
  return d;
}

std::string Replaced(std::string text, const std::string& from, const std::string& to) {
  const size_t at = text.find(from);
  return at == std::string::npos ? text : text.replace(at, from.size(), to);
}

// A block B of one circle (handle 261), and its insert (262) with the given placement.
std::function<void(DxfText&)> Placed(double x, double sx, double rotation = 0, int columns = 1, double dx = 0,
                                     double bx = 0) {
  return [=](DxfText& d) {
    d.Block("B", bx, 0).Circle("0", 0, 0, 1).EndBlock().Insert("DXF_MAIN", "B", x, 20, sx, 1, rotation, columns, 1, dx);
  };
}

struct Case {
  const char* version;
  std::function<void(DxfText&)> add;   // the entity under test, after the square
  const char* marker;                  // its text that becomes value
  const char* value;
  const char* logged;                  // the start of its log line after " "; empty: it is read
  const char* same;                    // when it is read: the marker's text that gives the same program
};

const std::string kMark = "7.125000";   // the composer's text of 7.125

const Case kCases[] = {
    {"AC1009", [](DxfText& d) { d.Line("DXF_MAIN", 20, 0, 30, 7.125); }, "7.125000", "nan",
     "LINE [261] refused: group 21 'nan' is no finite number\n", ""},
    {"AC1015", [](DxfText& d) { d.Line("DXF_MAIN", 7.125, 0, 30, 0); }, "7.125000", "12abc",
     "LINE [261] refused: group 10 '12abc' is no number\n", ""},
    {"AC1015", [](DxfText& d) { d.Line("DXF_MAIN", 20, 7.125, 30, 0); }, "7.125000", "",
     "LINE [261] refused: group 20 '' is no number\n", ""},
    {"AC1009", [](DxfText& d) { d.Arc("DXF_MAIN", 20, 20, 3, 7.125, 90); }, "7.125000", "-inf",
     "ARC [261] refused: group 50 '-inf' is no finite number\n", ""},
    {"AC1015", [](DxfText& d) { d.Arc("DXF_MAIN", 999999, 0, 999999, 0, 90); }, "", "",
     "ARC [261] refused: its geometry reaches 1999998 mm, beyond 1000000 mm\n", ""},
    {"AC1009", [](DxfText& d) { d.Circle("DXF_MAIN", 50, 50, 7.125); }, "7.125000", "3.3e38",
     "CIRCLE [261] refused: group 40 3.3e+38 beyond 1000000 mm\n", ""},
    {"AC1015", [](DxfText& d) { d.Point("DXF_MAIN", 7.125, 3); }, "7.125000", "1e999",
     "POINT [261] refused: group 10 '1e999' is no finite number\n", ""},
    {"AC1009", [](DxfText& d) { d.Text("DXF_MAIN", 3, 7.125, "Q1_AL30"); }, "7.125000", "2x",
     "TEXT [261] refused: group 20 '2x' is no number\n", ""},
    // The square of the issue: its last corner is no number, and it is not closed at the origin.
    {"AC1015", [](DxfText& d) { d.Polyline("DXF_MAIN", {{20, 0}, {30, 0}, {30, 10}, {7.125, 10}}); }, "7.125000",
     "nan", "LWPOLYLINE [261] refused: group 10 'nan' is no finite number\n", ""},
    {"AC1009", [](DxfText& d) { d.VertexPolyline("DXF_MAIN", {{20, 0, 0}, {30, 0, 0}, {30, 10, 0}, {20, 7.125, 0}}, 1); },
     "7.125000", "nan", "POLYLINE [261] refused: VERTEX [265] group 20 'nan' is no finite number\n", ""},
    {"AC1015", [](DxfText& d) { d.BulgedPolyline("DXF_MAIN", {{20, 0, 7.125}, {30, 0, 0}}, false); }, "7.125000",
     "1e39", "LWPOLYLINE [261] refused: group 42 1e+39 beyond the float range\n", ""},
    {"AC1009", [](DxfText& d) { d.BulgedPolyline("DXF_MAIN", {{20, 0, 1e7}, {21, 0, 0}}, false); }, "", "",
     "POLYLINE [261] refused: a bulged segment reaches 5000000", ""},
    {"AC1009", [](DxfText& d) { d.VertexPolyline("DXF_MAIN", {{20, 0, 0}, {30, 0, 7.125}}, 8); }, "7.125000", "inf",
     "POLYLINE [261] refused: VERTEX [263] group 30 'inf' is no finite number\n", ""},
    {"AC1015", Placed(20, 7.125), "7.125000", "1e300",
     "INSERT [262] refused: group 41 1e+300 is no scale (at most 1000000, not 0)\n", ""},
    {"AC1009", Placed(20, 7.125), "7.125000", "0", "INSERT [262] refused: group 41 0 is no scale", ""},
    {"AC1015", Placed(20, 1, 7.125), "7.125000", "nan", "INSERT [262] refused: group 50 'nan' is no finite number\n", ""},
    {"AC1015", Placed(20, 1, 0, 2, 7.125), "7.125000", "2e6", "INSERT [262] refused: group 44 2e+06 beyond 1000000 mm\n",
     ""},
    {"AC1009", Placed(999999.5, 1), "", "", "INSERT [262] refused: block B placed reaches 1000000.5 mm, beyond 1000000 mm\n",
     ""},
    {"AC1015", Placed(20, 1, 0, 1, 0, 7.125), "7.125000", "nan",
     "INSERT [262] refused: block B placed holds a value that is no finite number\n", ""},
    {"AC1015", [](DxfText& d) { d.Ellipse("DXF_MAIN", 30, 30, 5, 0, 7.125, 0, 6.283185307); }, "7.125000", "nan",
     "ELLIPSE [261] refused: group 40 'nan' is no finite number\n", ""},
    {"AC1015", [](DxfText& d) { d.Ellipse("DXF_MAIN", 999990, 0, 20, 0, 0.5, 0, 6.283185307); }, "", "",
     "ELLIPSE [261] refused: an arc of it reaches ", ""},
    {"AC1015",
     [](DxfText& d) { d.Spline("DXF_MAIN", 3, {0, 0, 0, 0, 7.125, 7.125, 7.125, 7.125}, {{30, 30}, {32, 35}, {35, 35}, {37, 30}}); },
     "7.125000", "nan", "SPLINE [261] refused: group 40 'nan' is no finite number\n", ""},
    {"AC1015",
     [](DxfText& d) { d.Spline("DXF_MAIN", 3, {0, 0, 0, 0, 1, 1, 1, 1}, {{30, 30}, {32, 35}, {35, 35}, {37, 30}}, {1, 7.125, 1, 1}); },
     "7.125000", "inf", "SPLINE [261] refused: group 41 'inf' is no finite number\n", ""},
    // Read: a decimal comma ends the number, a feed point's insert has no scale, a text's height is no geometry.
    {"AC1009", [](DxfText& d) { d.Line("DXF_MAIN", 20, 0, 30, 7.125); }, "7.125000", "7,125", "", "7"},
    {"AC1015", [](DxfText& d) { d.Insert("DXF_MAIN", "#1", 5, 2, 7.125); }, "7.125000", "nan", "", "1"},
    {"AC1009", [](DxfText& d) { d.Text("DXF_MAIN", 3, 4, "Q1_AL30"); }, "2.500000", "12abc", "", "2.5"},
};

}  // namespace

TEST(DxfRefused, EachEntityWithANumberItCannotMeanIsLeftOutNamedAndCounted) {
  std::map<std::string, Conversion> square;   // by version: the drawing without the entity
  for (const char* v : {"AC1009", "AC1015"}) {
    square[v] = ConvertText(Square(v).Str());
    ASSERT_TRUE(Has(square[v].program, "G01 X0.000 Y10.000;")) << square[v].program;
  }
  for (const Case& c : kCases) {
    SCOPED_TRACE(std::string(c.version) + " " + c.logged + c.value);
    DxfText d = Square(c.version);
    c.add(d);
    const std::string drawing = d.Str();
    const Conversion r = ConvertText(Replaced(drawing, c.marker, c.value));
    EXPECT_EQ(r.status, 0) << r.output;
    if (c.logged[0]) {
      EXPECT_TRUE(Has(r.log, std::string(" ") + c.logged)) << r.log;
      EXPECT_EQ(CountOf(r.log, " refused: "), 1u);
      EXPECT_TRUE(Has(r.output, "0 without start hole, 1 without technology data, 1 entity refused (see log) -> ")) << r.output;
      EXPECT_TRUE(Has(r.page, " NOTE - 1 entity refused for its numbers (see the log) \n"));
      EXPECT_EQ(r.program, square[c.version].program);
    } else {
      EXPECT_FALSE(Has(r.log + r.output + r.page, "refused"));
      EXPECT_EQ(r.program, ConvertText(Replaced(drawing, c.marker, c.same)).program);
    }
  }
  // Two refusals, and a drawing that keeps nothing to cut, say so in their summary lines.
  DxfText two = Square("AC1015");
  two.Line("DXF_MAIN", 20, 0, 30, 7.125).Circle("DXF_MAIN", 7.125, 20, 1);
  EXPECT_TRUE(Has(ConvertText(Replaced(Replaced(two.Str(), kMark, "nan"), kMark, "nan")).output,
                  ", 2 entities refused (see log) -> "));
  const Conversion none = ConvertText(Replaced(DxfText("AC1009").Circle("DXF_MAIN", 5, 5, 7.125).Str(), kMark, "inf"));
  EXPECT_TRUE(Has(none.output, " - no NC program written; geometry on layer 'DXF_MAIN' (1 element); 1 entity refused "
                               "(see log)\n")) << none.output;
}
