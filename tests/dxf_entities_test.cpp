// The entity pass: records of every entity type in both drawing layouts, the
// scanners' layer rules and count lines, damaged input, and the shared corpus.
#include <cmath>
#include <cstring>
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <sstream>

#include "config/config.h"
#include "dxf/dxf.h"
#include "elements/elements.h"
#include "geometry/base.h"
#include "support/dxf_passes.h"
#include "support/dxf_text.h"
#include "support/support.h"

// Type letters and texts of the drawing records (from index 7), e.g. "L C T(abc)".
static std::string Records() {
  static const char* letters = "LPVACITXDY";
  std::string out;
  for (long i = 7; i < eldsCounter; ++i) {
    const elementdaten& e = elds[i];
    for (float v : {e.sx, e.sy, e.ex, e.ey, e.cx, e.cy, e.sw, e.ew, e.r}) EXPECT_TRUE(std::isfinite(v));
    if (!out.empty()) out += ' ';
    out += e.type >= 0 && e.type < 10 ? letters[e.type] : '?';
    if (std::string(e.text) != gNoText) out += "(" + std::string(e.text) + ")";
  }
  return out;
}

static bool StartEnd(long i, float x1, float y1, float x2) { return elds[i].sx == x1 && elds[i].sy == y1 && elds[i].ex == x2; }

static std::string Sample(const char* version, bool crlf = false) {
  DxfText dxf(version);
  return dxf.Layer("DXF_MAIN")
      .Line("DXF_MAIN", 0, 0, 10, 0)
      .Arc("DXF_MAIN", 10, 0, 5, -90, 90)
      .Circle("DXF_MAIN", 1, 1, 2)
      .Text("DXF_MAIN", 3, 4, std::string(70, 'T'))
      .Insert("DXF_MAIN", "#1", 5, 6)
      .Insert("DXF_MAIN", "BOHRUNG", 7, 8)
      .Point("DXF_MAIN", 9, 9)
      .Polyline("DXF_MAIN", {{0, 0}, {4, 0}, {4, 4}})
      .HeavyPolyline("DXF_MAIN", {{1, 2}, {3, 4}})
      .Raw("  0\nELLIPSE\n  5\n99\n330\n1F\n100\nAcDbEntity\n  8\nDXF_MAIN\n100\nAcDbEllipse\n 10\n1\n  0\n")
      .Line("OTHER", 1, 1, 2, 2)
      .Str(crlf);
}

TEST(DxfEntities, EveryTypeInBothLayouts) {
  const std::string t59(59, 'T');
  for (bool crlf : {false, true}) {
    std::string out = PassText(Sample("AC1009", crlf));
    // 12-format: the heavy polyline has no subclass here and reads as POLYLINE/VERTEX.
    EXPECT_EQ(Records(), "L A C T(" + t59 + ") I X P(begPoly) D(next PYL) P V V V P(begPoly) D(next PYL) P V V");
    EXPECT_TRUE(Has(out, "[Name:BOHRUNG] ..<Name break>\n"));
    const elementdaten& arc = elds[8];
    EXPECT_EQ(arc.sw, 270);
    EXPECT_EQ(arc.ew, 90);
    EXPECT_NEAR(arc.sy, -5, 1e-5);
    EXPECT_NEAR(arc.ey, 5, 1e-5);
    EXPECT_TRUE(StartEnd(9, 3, 1, 3));   // circle
    EXPECT_EQ(elds[9].sw, 0);
    EXPECT_EQ(elds[9].ew, 360);
    EXPECT_EQ(elds[9].r, 2);
    EXPECT_EQ(elds[10].ex, 3);   // text position
    EXPECT_EQ(elds[10].ey, 4);
    EXPECT_EQ(elds[11].sx, 5);   // insert "#1"
    EXPECT_EQ(elds[11].cy, 6);
    EXPECT_EQ(elds[12].cx, 9);   // point
    EXPECT_EQ(elds[12].ey, 9);
    EXPECT_TRUE(StartEnd(18, 4, 4, 0));
  }
  // 2000-format (AC1014 too): the same records; a polyline header is no vertex.
  for (const char* ver : {"AC1015", "AC1014"}) {
    std::string out = PassText(Sample(ver));
    EXPECT_EQ(Records(), "L A C T(" + t59 + ") I X P(begPoly) V V V D(next PYL) P P(begPoly) D(next PYL) P V V") << ver;
    for (const char* s : {" ..eftype changed2arc\n", " ...BAD TYPE (AcDbText)\n", "[Name:BOHRUNG] ..<Name break>\n",
                          "  AcDbEntity Element: AcDbEllipse\n ..ELLIPSE: no arcs can be made of it, left out\n"})
      EXPECT_TRUE(Has(out, s)) << s;
    EXPECT_FLOAT_EQ(elds[8].sw, 270);
    EXPECT_NEAR(elds[8].ex, 10, 1e-5);
    EXPECT_EQ(elds[11].sx, 5);   // insert "#1"
    EXPECT_EQ(elds[11].cy, 6);
    EXPECT_EQ(elds[12].cx, 9);   // point
    EXPECT_EQ(elds[12].ey, 9);
    EXPECT_STREQ(elds[13].kontur, "xPFirst");
    EXPECT_EQ(elds[13].used, 1);
    EXPECT_TRUE(StartEnd(16, 4, 4, 0));
    EXPECT_EQ(elds[22].sx, 1);
    EXPECT_EQ(elds[22].sy, 2);
    EXPECT_EQ(elds[23].sx, 3);
    EXPECT_EQ(elds[23].sy, 4);
  }
}

TEST(DxfScan, LayerRulesCountLinesAndLog) {
  for (const char* ver : {"AC1009", "AC1015"}) {
    FreshCore();
    ConsoleCapture cap;
    TempDir d;
    log_stream = fopen(d.File("log.txt").c_str(), "w");
    DxfText dxf(ver);
    dxf.Layer("DXF_MAIN").Layer("EDMX_A").Layer("X");
    dxf.Line("EDMX_A", 0, 0, 1, 1).Line("X", 0, 0, 2, 2).Line("DXF_MAIN", 0, 0, 3, 3);
    RunDxfText(d.Path(), dxf.Str());
    fflush(log_stream);
    std::string log = ReadFile(d.File("log.txt"));
    EXPECT_TRUE(Has(log, "\n " + d.File("drawing.dxf") + " (ACAD_VERSION: " + ver +
                             ")\n Worklayer:DXF_MAIN\n\n-- Elements: ---\n"));
    EXPECT_TRUE(Has(log, "\n-- Layers: ---\n"));
    // Both layouts read the optional layers of the list.
    const char* count = dxf.Is2000() ? "found 9 Elements\n\n" : " 9 Elemente found\n\n";
    EXPECT_TRUE(Has(log, count));
    EXPECT_TRUE(Has(cap.Text(), count));
    EXPECT_EQ(Records(), "L L");
    EXPECT_EQ(elds[7].fLayer, 1);
    EXPECT_EQ(elds[8].fLayer, 0);
  }
  // No header, no $ACADVER, AC1006, AC1012: the entities are read.
  for (const char* ver : {"", "AC1006", "AC1012"}) {
    PassText(DxfText(ver).Line("DXF_MAIN", 0, 0, 1, 1).Str());
    EXPECT_EQ(Records(), "L") << ver;
  }
  PassText("  0\nSECTION\n  2\nENTITIES\n" + DxfText("").Line("DXF_MAIN", 0, 0, 1, 1).Str().substr(0));
  EXPECT_EQ(Records(), "L");
}

// The pass skips the head of an entity on a layer it does not read without reading
// it line by line; what it reads after one must be what a line-by-line reading gave.
TEST(DxfScan, EntitiesAfterARefusedOneReadAsBefore) {
  for (const char* version : {"AC1009", "AC1015"}) {
    for (bool crlf : {false, true}) {
      SCOPED_TRACE(std::string(version) + (crlf ? " crlf" : ""));
      DxfText d(version);
      d.Layer("DXF_MAIN").Layer("OTHER");
      d.Block("SQ").Line("OTHER", 0, 0, 1, 1).Line("0", 0, 0, 10, 0).Line("OTHER", 0, 0, 1, 1);
      d.Circle("DXF_MAIN", 5, 5, 1).EndBlock();
      d.StyleGroups(true).Line("OTHER", 0, 0, 1, 1).StyleGroups(false);
      d.Insert("DXF_MAIN", "SQ", 100, 0);                         // the layer-0 line as the main layer's, and the circle
      d.Line("OTHER", 0, 0, 1, 1).Insert("OTHER", "SQ", 200, 0);  // only the circle
      d.Line("OTHER", 0, 0, 1, 1).Line(" DXF_MAIN ", 0, 50, 5, 50);  // the main layer with blanks around its name
      d.Line("OTHER", 0, 0, 1, 1).Line("DXF_MAIN", 0, 0, 5, 0);
      PassText(d.Str(crlf));
      EXPECT_EQ(RecordsOfType(etLINE), 3);
      EXPECT_EQ(RecordsOfType(etCIR), 2);
    }
  }
}

TEST(DxfScan, DamagedInputNeverReachesTheTable) {
  DxfText dxf("AC1009");
  dxf.Text("DXF_MAIN", 0, 0, std::string(300, 'A'))   // 254 + 46 characters: the rest ends the entity
      .Raw("  0\nLINE\n  5\n1\n  8\nDXF_MAIN\n 10\n1e999\n 20\nnan\n 11\n1e300\n 21\nabc\n 40\n-1e39\n")
      .Arc("DXF_MAIN", 1e38, 0, 3e38, 0, 0);
  PassText(dxf.Str());
  EXPECT_EQ(Records(), "T(" + std::string(59, 'A') + ") L A");
  EXPECT_TRUE(StartEnd(8, 0, 0, 0));
  EXPECT_EQ(elds[8].ey, 0);
  // End of file inside an entity: nothing is added, nothing breaks.
  std::string full = DxfText("AC1015").Line("DXF_MAIN", 0, 0, 1, 1).Str();
  for (const char* cut : {" 20\n", " 21\n0.0", "AcDbLine\n"}) {
    PassText(full.substr(0, full.find(cut) + strlen(cut)));
    EXPECT_EQ(eldsCounter, 7) << cut;
  }
}
