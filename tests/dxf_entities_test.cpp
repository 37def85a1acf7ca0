// The entity pass: records of every entity type in both drawing layouts, the
// scanners' layer rules. (Damaged values: dxf_refused_test, malformed_test.)
#include <cmath>
#include <gtest/gtest.h>

#include "elements/elements.h"
#include "support/dxf_passes.h"
#include "support/dxf_text.h"
#include "support/support.h"
#include "run/run.h"

// Type letters and texts of the drawing records (from index 7), e.g. "L C T(abc)".
static std::string Records() {
  std::string out;
  for (long i = 7; i < TestRun().table.eldsCounter; ++i) {
    const elementdaten& e = TestRun().table.elds[i];
    for (float v : {e.sx, e.sy, e.ex, e.ey, e.cx, e.cy, e.sw, e.ew, e.r}) EXPECT_TRUE(std::isfinite(v));
    if (!out.empty()) out += ' ';
    out += e.type >= 0 && e.type < 10 ? "LPVACITXDY"[e.type] : '?';
    if (std::string(e.text) != gNoText) out += "(" + std::string(e.text) + ")";
  }
  return out;
}

// The coordinates of lines, arcs, circles, texts, points and inserts are compared
// between all layouts in dxf_layouts_test; here: which records each type gives.
TEST(DxfEntities, EveryTypeInBothLayouts) {
  const std::string t = "L A C T(" + std::string(59, 'T') + ") I X P(begPoly) ";
  const std::pair<const char*, bool> cases[] = {
      {"AC1009", false}, {"AC1009", true}, {"AC1015", false}, {"AC1014", false}};
  for (const auto& [version, crlf] : cases) {
    SCOPED_TRACE(std::string(version) + (crlf ? " crlf" : ""));
    DxfText d(version);
    d.Layer("DXF_MAIN")
        .Line("OTHER", 1, 1, 2, 2)   // every record below follows an entity the pass refuses
        .Line("DXF_MAIN", 0, 0, 10, 0)
        .Arc("DXF_MAIN", 10, 0, 5, -90, 90)
        .Circle("DXF_MAIN", 1, 1, 2)
        .Text("DXF_MAIN", 3, 4, std::string(70, 'T'))
        .Insert("DXF_MAIN", "#1", 5, 6)
        .Insert("DXF_MAIN", "BOHRUNG", 7, 8)
        .Point("DXF_MAIN", 9, 9)
        .Polyline("DXF_MAIN", {{0, 0}, {4, 0}, {4, 4}})
        .VertexPolyline("DXF_MAIN", {{1, 2, 0}, {3, 4, 0}}, 1)
        .Raw("  0\nELLIPSE\n  5\n99\n330\n1F\n100\nAcDbEntity\n  8\nDXF_MAIN\n100\nAcDbEllipse\n 10\n1\n  0\n");
    PassText(d.Str(crlf));
    // 12-format: the heavy polyline reads as POLYLINE/VERTEX; 2000-format (AC1014 too): a polyline
    // header is no vertex, and the first vertex is marked.
    EXPECT_EQ(Records(), t + (d.Is2000() ? "V V V D(next PYL) P P(begPoly) D(next PYL) P V V"
                                         : "D(next PYL) P V V V P(begPoly) D(next PYL) P V V"));
    const std::string recs = RecordsText();
    for (const char* v : {"\nV(0,0)(", "\nV(4,0)(", "\nV(4,4)(", "\nV(1,2)(", "\nV(3,4)("}) EXPECT_TRUE(Has(recs, v)) << v;
    EXPECT_EQ(std::string(TestRun().table.marks[13].kontur), d.Is2000() ? "xPFirst" : "");
  }
}

// A writer that puts the layer behind many groups: every group before it is kept.
TEST(DxfScan, AnEntityWithManyGroupsBeforeItsLayerIsReadWhole) {
  std::string raw = "  0\nLINE\n";
  for (int i = 0; i < 100; ++i) raw += " 62\n1\n";
  raw += " 10\n1\n 20\n2\n 11\n3\n 21\n4\n  8\nDXF_MAIN\n";
  PassText(DxfText("AC1009").Layer("DXF_MAIN").Raw(raw).Str());
  ASSERT_EQ(Records(), "L");
  EXPECT_EQ(TestRun().table.elds[7].sx, 1);
  EXPECT_EQ(TestRun().table.elds[7].ey, 4);
}

// Both layouts read the optional layers of the list, each record marked with its layer.
TEST(DxfScan, RecordsKeepTheirLayer) {
  for (const char* ver : {"AC1009", "AC1015"}) {
    DxfText dxf(ver);
    dxf.Layer("DXF_MAIN").Layer("EDMX_A").Layer("X");
    dxf.Line("EDMX_A", 0, 0, 1, 1).Line("X", 0, 0, 2, 2).Line("DXF_MAIN", 0, 0, 3, 3);
    PassText(dxf.Str());
    EXPECT_EQ(Records(), "L L");
    EXPECT_EQ(TestRun().table.elds[7].fLayer, 1);
    EXPECT_EQ(TestRun().table.elds[8].fLayer, 0);
  }
  // Without a header, after a section that never ends: the entities are read.
  PassText("  0\nSECTION\n  2\nENTITIES\n" + DxfText("").Line("DXF_MAIN", 0, 0, 1, 1).Str());
  EXPECT_EQ(Records(), "L");
}
