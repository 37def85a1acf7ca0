// The version pass and the layers a drawing selects: the main layer and every
// EDMX_ layer of the layer table (names compared on their first 31 characters),
// never layer 0, never a text that merely reads "LAYER".
#include <gtest/gtest.h>

#include "dxf/dxf.h"
#include "support/dxf_passes.h"
#include "support/dxf_text.h"
#include "support/runs.h"
#include "support/support.h"
#include "run/run.h"

TEST(DxfVersion, HeaderSelectsTheNumber) {
  FreshCore();
  ConsoleCapture cap;
  TempDir d;
  // Without a (recognised) header the text stays, the number follows the text.
  const struct { std::string text; int version; } cases[] = {
      {DxfText("AC1009").Str(), 1009}, {DxfText("AC1012").Str(), 1012}, {DxfText("AC1024").Str(true), 1024},
      {DxfText("AC1015").Str(true), 1015}, {DxfText("").Str(), 1015}, {"  9\n$ACADVER \n  1\nAC1009\n", 1015},
      {"  9\n$ACADVER\n", 1015}, {"  9\n$ACADVER\n  1\nA\n", 0}};
  for (const auto& c : cases) {
    WriteFile(d.File("v.dxf"), c.text);
    OpenDrawing(d.File("v.dxf"));
    getAcadVersion(TestRun());
    EXPECT_EQ(TestRun().dxf.acad_IntVers, c.version) << c.text;
  }
}

// A square whose right side lies on the layer under test, with its start hole: it is
// cut round when that layer is read, and stays an open chain otherwise.
TEST(DxfLayers, TheMainAndTheEdmxLayersOfTheTableAreRead) {
  const std::string longName = "EDMX_" + std::string(40, 'L');
  const struct { const char* version; std::string table, side; bool read; } cases[] = {
      {"AC1009", "EDMX_A", "EDMX_A", true}, {"AC1015", "EDMX_A", "EDMX_A", true}, {"AC1024", "EDMX_A", "EDMX_A", true},
      {"AC1009", "edmx_b", "edmx_b", false}, {"AC1015", "OTHER", "OTHER", false}, {"AC1009", "0", "0", false},
      {"AC1009", longName, longName + "X", true}, {"AC1009", "EDMX_A", "EDMX_", false},
      // In the 12-format the table ends where the entities begin: a text "LAYER" there names no layer.
      {"AC1009", "EDMX_A", "EDMX_GHOST", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.version) + " " + c.table + " " + c.side);
    DxfText d(c.version);
    d.Layer("0").Layer("DXF_MAIN").Layer(c.table);
    d.Text("DXF_MAIN", 50, 50, "LAYER").Raw("  0\nLAYER\n  2\nEDMX_GHOST\n");
    d.Line("DXF_MAIN", 0, 0, 10, 0).Line(c.side, 10, 0, 10, 10).Line("DXF_MAIN", 10, 10, 0, 10)
        .Line("DXF_MAIN", 0, 10, 0, 0).Circle("DXF_MAIN", 5, 2, 0.5);
    const Conversion r = ConvertText(d.Str());
    EXPECT_EQ(Has(r.program, "(-CLOSED.CONTOUR-)"), c.read) << r.program;
    EXPECT_EQ(Has(r.page, "OOPS - 1 offene Kontur"), !c.read) << r.page;
  }
  // Forty optional layers, each holding one part, are all read.
  DxfText d("AC1015");
  d.Layer("DXF_MAIN");
  for (int i = 0; i < 40; ++i) {
    const std::string layer = "EDMX_" + std::to_string(i);
    d.Layer(layer).Polyline(layer, {{i * 20.0, 0}, {i * 20.0 + 10, 0}, {i * 20.0 + 10, 10}, {i * 20.0, 10}})
        .Circle("DXF_MAIN", i * 20.0 + 5, 2, 0.5);
  }
  EXPECT_TRUE(Has(ConvertText(d.Str()).output, "korvex: 40 contours (0 holes), 0 without start hole"));
}
