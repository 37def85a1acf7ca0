// The version pass and the layer list: which layers a drawing selects, the
// per-layer overrides of technology texts, and the layer test of 12-format entities.
#include <gtest/gtest.h>

#include "config/config.h"
#include "dxf/dxf.h"
#include "elements/elements.h"
#include "geometry/base.h"
#include "support/dxf_passes.h"
#include "support/dxf_text.h"
#include "support/support.h"
#include "run/run.h"

static void Lay(const char* name) { fLayerList(TestRun(), ll_ADD, 0, name, 0); }

TEST(DxfVersion, HeaderSelectsTheNumber) {
  FreshCore();
  ConsoleCapture cap;
  TempDir d;
  // Without a (recognised) header the text stays, the number follows the text.
  const struct { std::string text; int version; } cases[] = {
      {DxfText("AC1009").Str(), 1009}, {DxfText("AC1012").Str(), 1012}, {DxfText("AC1024").Str(true), 1024},
      {DxfText("AC1015").Str(true), 1015}, {DxfText("").Str(), 1015}, {"  9\n$ACADVER \n  1\nAC1009\n", 1015},
      {"  9\n$ACADVER\n", 1015}, {"  9\n$ACADVER\n  1\nA\n", 0}};
  auto versionOf = [&](const std::string& text) {
    WriteFile(d.File("v.dxf"), text);
    OpenDrawing(d.File("v.dxf"));
    getAcadVersion(TestRun());
    return TestRun().acad_IntVers;
  };
  for (const auto& c : cases) EXPECT_EQ(versionOf(c.text), c.version) << c.text;
}

TEST(DxfLayers, LayerPassSelectsMainAndOptionalLayers) {
  // Later versions keep the layer table of the 2000 format.
  for (const char* ver : {"AC1009", "AC1015", "AC1024"}) {
    SCOPED_TRACE(ver);
    DxfText dxf(ver);
    const std::string out =
        PassText(dxf.Layer("0").Layer("DXF_MAIN").Layer("EDMX_A").Layer("edmx_b").Layer("EDMX_POSITION").Str());
    ASSERT_EQ(TestRun().gAktLayEntry, 3);
    EXPECT_STREQ(TestRun().fLL[1].Name, "EDMX_A");
    EXPECT_STREQ(TestRun().fLL[2].Name, "EDMX_POSITION");
    EXPECT_EQ(TestRun().gPositionLayer, 1);
    EXPECT_TRUE(Has(out, dxf.Is2000() ? ".. 4 Layer found\n\n" : ".. 5 Layer found\n\n"));
  }
  // The 12-format search for table entries ends where the entities begin: a text
  // "LAYER" among them is no layer, and a large drawing is not read twice.
  {
    DxfText dxf("AC1009");
    const std::string out = PassText(dxf.Layer("0").Layer("EDMX_A")
                                         .Text("EDMX_A", 0, 0, "LAYER")
                                         .Raw("  0\nLAYER\n  2\nEDMX_GHOST\n")
                                         .Line("DXF_MAIN", 0, 0, 1, 0).Str());
    EXPECT_EQ(TestRun().gAktLayEntry, 2);
    EXPECT_FALSE(Has(out, "EDMX_GHOST")) << out;
    EXPECT_TRUE(Has(out, ".. 2 Layer found\n\n")) << out;
  }
  // Full list, desktop texts, the hook, and the POSITION mark kept from the settings step.
  FreshCore(kxDESKTOP);
  ConsoleCapture cap;
  static std::string handed;
  handed.clear();
  TestRun().gLayerNameHook = [](const char* n) { handed += n; handed += ';'; };
  TempDir d;
  DxfText dxf("AC1009");
  dxf.Layer("0");
  for (int i = 0; i < 40; ++i) dxf.Layer("EDMX_" + std::to_string(i));
  Lay("MAIN_POSITION");
  RunDxfText(d.Path(), dxf.Str());
  EXPECT_EQ(TestRun().gAktLayEntry, 41);   // the main layer and all 40 optional ones
  EXPECT_STREQ(TestRun().fLL[40].Name, "EDMX_39");
  EXPECT_EQ(TestRun().gPositionLayer, 1);
  EXPECT_TRUE(Has(handed, "0;EDMX_0;"));
  EXPECT_TRUE(Has(handed, "EDMX_39;"));
  // The console clears the mark of the settings step and lists no unused layers.
  FreshCore();
  Lay("MAIN_POSITION");
  RunDxfText(d.Path(), DxfText("AC1015").Layer("EDMX_A").Str());
  EXPECT_EQ(TestRun().gPositionLayer, 0);
}

TEST(DxfLayers, TechnologyTextsSetLayerValues) {
  for (int flavour : {kxCONSOLE, kxDESKTOP}) {
    FreshCore(flavour);
    TempDir d;
    TestRun().log_stream = fopen(d.File("log.txt").c_str(), "w");
    ConsoleCapture cap;
    EXPECT_EQ(fLayerList(TestRun(), ll_VARIA, 0, "EDMX_A A=1", 0), 0);  // empty list
    Lay("DXF_MAIN");
    Lay("EDMX_A");
    EXPECT_EQ(fLayerList(TestRun(), ll_VARIA, 0, "EDMX_A A=2.5 OF=0.01 R=3", 7), 1);
    EXPECT_EQ(TestRun().fLL[1].useKonik, 2.5f);
    EXPECT_EQ(TestRun().fLL[1].useOft, 0.01f);
    EXPECT_EQ(TestRun().fLL[1].useReg, 3);
    EXPECT_EQ(TestRun().cfg.ktechno.HatKonik, 1);
    EXPECT_EQ(fLayerList(TestRun(), ll_VARIA, 0, "EDMX_A R=7 A=12", 7), 1);
    EXPECT_EQ(TestRun().fLL[1].useReg, 2);
    EXPECT_EQ(TestRun().fLL[1].useKonik, 0.0f);
    TestRun().elds[9].fLayer = 1;
    EXPECT_EQ(fLayerList(TestRun(), ll_VARIA, 0, "L> OF=-0.5 A=1e999", 9), 1);  // the text's own layer
    EXPECT_EQ(TestRun().fLL[1].useOft, -0.5f);
    EXPECT_EQ(TestRun().fLL[1].useKonik, 0.0f);
    EXPECT_EQ(fLayerList(TestRun(), ll_VARIA, 0, "OTHER R=3", 9), 0);
    EXPECT_EQ(fLayerList(TestRun(), ll_VARIA, 0, "L> R=3", -1), 0);
    fflush(TestRun().log_stream);
    EXPECT_TRUE(Has(ReadFile(d.File("log.txt")), "\nvar LayerValues: 'EDMX_A A=2.5 OF=0.01 R=3' [LAngle][LOffset][LRegister]"));
    EXPECT_TRUE(Has(cap.Text(), flavour == kxCONSOLE ? "[useAng. oops][use Reg. oops]"
                                                      : "1 var LayerValues: (EDMX_A R=7 A=12)[LAngle][oops][LRegister][oops]"));
    TestRun().fLL[1].used = TestRun().fLL[1].GlobUsed = 1;
    EXPECT_EQ(fLayerList(TestRun(), ll_CLR_U, 0, nullptr, 0), 1);
    EXPECT_EQ(TestRun().fLL[1].used, 0);
    EXPECT_EQ(TestRun().fLL[1].useReg, 0);
    EXPECT_EQ(TestRun().fLL[1].GlobUsed, 1);
  }
}

TEST(DxfLayers, LayerQuestionsAndRapidMoves) {
  for (int flavour : {kxCONSOLE, kxDESKTOP}) {
    FreshCore(flavour);
    ConsoleCapture cap;
    for (const char* n : {"DXF_MAIN", "EDMX_ISO", "EDMX_EILGANG", "EDMX_G0MOVE", "EDMX_POSITION"}) Lay(n);
    KxCopy(TestRun().cfg.mS.AfterRapid, sizeof TestRun().cfg.mS.AfterRapid, "M50M51M52");
    // Layer and the move type then in force.
    const char* afterRapid = flavour == kxCONSOLE ? "M50M51M52G01" : "G01";
    const struct { int layer; const char* move; } moves[] = {{0, "G01"}, {2, "G00"}, {3, "G00"}, {-1, afterRapid}};
    for (const auto& m : moves) EXPECT_STREQ(SetMoveTypeForLayer(TestRun(), m.layer), m.move) << m.layer;
    TestRun().gMultiLayer = 0;
    EXPECT_STREQ(SetMoveTypeForLayer(TestRun(), 2), afterRapid);
    EXPECT_EQ(fLayerList(TestRun(), ll_ADD, 0, "EDMX_B", 0), 0);
    EXPECT_EQ(TestRun().gAktLayEntry, 5);
  }
}

TEST(DxfLayers, EntityLayerTest) {
  FreshCore();
  ConsoleCapture cap;
  std::string longName = "EDMX_" + std::string(40, 'L');
  TestRun().gAktLayName = 5;
  EXPECT_EQ(LayerSelected(TestRun(), "DXF_MAIN"), 1);  // empty list: only the main layer, by name
  EXPECT_EQ(TestRun().gAktLayName, 0);
  EXPECT_EQ(LayerSelected(TestRun(), "EDMX_A"), 0);
  for (const char* n : {"DXF_MAIN", "EDMX_A", longName.c_str()}) Lay(n);
  // Layer 0 is refused; the long name matches on its first 31 characters.
  const struct { const char* name; int selected, layer; } cases[] = {
      {"0", 0, -1}, {"EDMX_A", 1, 1}, {longName.c_str(), 1, 2}, {"EDMX_", 0, -1}};
  for (const auto& c : cases) {
    TestRun().gAktLayName = -1;
    EXPECT_EQ(LayerSelected(TestRun(), c.name), c.selected) << c.name;
    EXPECT_EQ(TestRun().gAktLayName, c.layer) << c.name;
  }
}
