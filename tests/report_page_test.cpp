// The statistics page of whole conversions: element counts, contour lines of
// both flavours, warnings, layers, escaping of drawn names, what is opened
// afterwards, a page that cannot be written; and how a file is opened for the
// user (the path as one argument, never through a shell, nothing without a display).
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "report/report.h"
#include "support/dxf_text.h"
#include "support/runs.h"
#include "support/support.h"

namespace fs = std::filesystem;

namespace {

// A square of side s at x with its start hole (none when hole is false).
DxfText& Square(DxfText& d, double x, double s, bool hole = true) {
  d.Line("DXF_MAIN", x, 0, x + s, 0).Line("DXF_MAIN", x + s, 0, x + s, s).Line("DXF_MAIN", x + s, s, x, s)
      .Line("DXF_MAIN", x, s, x, 0);
  if (hole) d.Circle("DXF_MAIN", x + s / 2, 2, 0.5);
  return d;
}

}  // namespace

// Every type counted with its used records; orphans are a warning, and a page with a warning is opened.
TEST(ReportPage, RowsCountEveryTypeAndAWarningOpensThePage) {
  DxfText d("AC1009");
  d.Layer("DXF_MAIN");
  Square(d, 0, 20).Circle("DXF_MAIN", 50, 50, 3).Circle("DXF_MAIN", 80, 80, 1.5);
  d.Line("DXF_MAIN", 100, 0, 110, 5).Arc("DXF_MAIN", 200, 0, 5, 0, 90).Point("DXF_MAIN", 300, 300)
      .Text("DXF_MAIN", 400, 400, "hello").Insert("DXF_MAIN", "#1", 500, 500);
  const Conversion r = ConvertHere(d.Str(), "");
  EXPECT_TRUE(Has(r.page, "  VERSION: AC1009 \t\tEDMLAYER: DXF_MAIN \n   DEVICE: MAK_EE3.SYN \n TECHFILE: DEFAULT.TCH "
                          "\t\tDATAMODE: PLATE \n")) << r.page;
  EXPECT_TRUE(Has(r.page, "\nTYPE     :    SUM |   USED \n---------------------------\n"
                          "LINES    :      5 |      5 \nARC      :      1 |      1 \nCIRCLE   :      1 |      1 \n"
                          "CIR-SP   :      2 |      1 \nINSERT   :      1 |      0 \nPOINTS   :      1 |      0 \n"
                          "TEXT     :      1 |      0 \n---------------------------\nunknown  :      4 |      0 \n")) << r.page;
  EXPECT_TRUE(Has(r.page, "CONTOURS  :      2 , with 1 HOLES \n")) << r.page;
  EXPECT_TRUE(Has(r.page, "\n OOPS - 2 vermisste Technologie(n)\n Verwaiste Elemente: 2 \n\n Version: korvex_")) << r.page;
  EXPECT_EQ(r.opened, std::vector<std::string>{"_results.htm"});
  // Without any contour the page also asks to check the layer.
  DxfText none("AC1009");
  EXPECT_TRUE(Has(ConvertHere(none.Layer("DXF_MAIN").Line("DXF_MAIN", 0, 0, 5, 5).Str()).page,
                  "  ..pruefe EDMLAYER  Verwaiste Elemente: 1 \n"));
}

// Lengths aligned without losing a digit and summed; drawn names escaped; the desktop
// writes its own words; no warning and no program wanted: nothing is opened.
TEST(ReportPage, ContourLinesAlignLengthsAndSumThem) {
  DxfText d("AC1009");
  d.Layer("DXF_MAIN");
  Square(d, 0, 10).Text("DXF_MAIN", 6, 3, "Q1_ST20");
  Square(d, 20, 3086.375).Text("DXF_MAIN", 1563, 3, "Q1_ST20 *<Stempel> rest");
  for (int flavour : {0, 1}) {
    const Conversion r = ConvertHere(d.Str(), "", flavour);
    const char* lines[][2] = {{"CONTOURS  :      2 , with 0 HOLES \n\n", "CONTOURES :      2 , with 0 HOLES \n\n"},
                              {"\n$K01   +40.000  (NoName)", "\n$K01    40.000  (NoName)"},
                              {"\n$K02  +12345.500  (&lt;STEMPEL&gt;)\n", "\n$K02  12345.500  (&lt;STEMPEL&gt;)\n"}};
    for (const auto& line : lines) EXPECT_TRUE(Has(r.page, line[flavour])) << line[flavour] << r.page;
    EXPECT_TRUE(Has(r.page, "\n1-cut sum: 12385.500 mm\n\n")) << r.page;
    EXPECT_FALSE(Has(r.page, "pruefe EDMLAYER"));
    EXPECT_TRUE(r.opened.empty());
  }
}

// The warnings in their order, singular and plural; with a program wanted it is opened after the page.
TEST(ReportPage, WarningsComeInOrderWithSingularAndPlural) {
  DxfText d("AC1009");
  d.Layer("DXF_MAIN");
  Square(d, 0, 10).Text("DXF_MAIN", 6, 3, "Q2_NOPE99");
  Square(d, 20, 10, false);
  d.Line("DXF_MAIN", 40, 0, 50, 0).Line("DXF_MAIN", 50, 0, 50, 10).Line("DXF_MAIN", 50, 10, 40, 10).Circle("DXF_MAIN", 45, 2, 0.5);
  d.Line("DXF_MAIN", 100, 0, 110, 5).Line("DXF_MAIN", 200, 0, 200.001, 0).Line("DXF_MAIN", 300, 0, 300.004, 0);
  const Conversion r = ConvertHere(d.Str(), "NextElemTol: 0.005\nOpenDataFile: 1\n", 1);
  EXPECT_TRUE(Has(r.page, "\n1-cut sum: 110.000 mm\n\n OOPS - 1 offene Kontur(en) \n OOPS - 4 vermisste Technologie(n)\n"
                          " OOPS - 1 Fehlende Startpunkte \n Verwaiste Elemente: 1 \n"
                          " 2 ignorierte Elemente (&lt;0.0050)\n\n Version: ")) << r.page;
  EXPECT_EQ(r.opened, (std::vector<std::string>{"_results.htm", "_nwd_out.NC"}));
}

// Only a drawing of several layers lists them; drawn names and the file's name are escaped.
TEST(ReportPage, LayerSectionOnlyWithSeveralLayersAndNamesEscaped) {
  DxfText one("AC1009");
  one.Layer("DXF_MAIN");
  EXPECT_FALSE(Has(ConvertHere(Square(one, 0, 10).Str()).page, "used Layer"));

  DxfText d("AC1009");
  d.Layer("DXF_MAIN").Layer("EDMX_A").Layer("EDMX_<b>&'\"");
  Square(d, 0, 10).Line("EDMX_<b>&'\"", 30, 0, 40, 0);
  const Conversion r = ConvertHere(d.Str(), "", 0, "a<script>&'x\".dxf");
  EXPECT_TRUE(Has(r.page, "1-cut sum: 40.000 mm\n\n\tused Layer: \n 00 'DXF_MAIN' \n"
                          " 02 'EDMX_&lt;b&gt;&amp;&#39;&quot;' \n\n")) << r.page;
  EXPECT_TRUE(Has(r.page, "     FILE: ")) << r.page;
  EXPECT_TRUE(Has(r.page, "a&lt;script&gt;&amp;&#39;x&quot;.dxf \n")) << r.page;
  EXPECT_FALSE(Has(r.page, "<script>"));
}

// A folder at the page's name: the run says so and goes on to write its program.
TEST(ReportPageFile, UnwritablePageIsReportedAndTheRunGoesOn) {
  ProgramFolder home;
  fs::copy(SourceDir() + "/devices", home.File("devices"), fs::copy_options::recursive);
  WriteFile(home.File("korvex.ini"), "OpenDataFile: 0\n");
  DxfText d("AC1009");
  WriteFile(home.File("part.dxf"), Square(d.Layer("DXF_MAIN"), 0, 10).Str());
  fs::create_directory(home.File("_results.htm"));
  const ProcessResult r = RunProcess({home.Binary(), "part.dxf"}, home.Path());
  EXPECT_TRUE(Has(r.output, " -result page not written: '" + home.File("_results.htm"))) << r.output;
  EXPECT_FALSE(ReadFile(home.File("_nwd_out.NC")).empty());
}

// Opening a file for the user.
TEST(ReportOpener, PlanHandsThePathOverAsOneArgumentOrRefuses) {
  KxOpenPlan plan;
  const char* hostile = "/tmp/a b;$(touch x)`id`|'q'\"&.htm";
  ASSERT_EQ(KxPlanOpen(hostile, ":0", nullptr, &plan), kxOPEN_SPAWNED);
  EXPECT_STREQ(plan.argv[0], "xdg-open");
  EXPECT_STREQ(plan.argv[1], hostile);
  EXPECT_EQ(plan.argv[2], nullptr);
  // A leading dash must never be taken for an option of the opener.
  ASSERT_EQ(KxPlanOpen("--help.htm", nullptr, "wayland-0", &plan), kxOPEN_SPAWNED);
  EXPECT_STREQ(plan.argv[1], "./--help.htm");
  // However long the path, it goes over whole.
  const std::string longPath = "/tmp/" + std::string(2000, 'a') + ".htm";
  ASSERT_EQ(KxPlanOpen(longPath.c_str(), ":0", nullptr, &plan), kxOPEN_SPAWNED);
  EXPECT_EQ(plan.argv[1], longPath);

  // Path, display, Wayland display, where the plan goes, and the answer.
  const struct { const char* path; const char* x; const char* wl; KxOpenPlan* plan; int result; } refused[] = {
      {"/tmp/p.htm", nullptr, nullptr, &plan, kxOPEN_NO_SESSION}, {"/tmp/p.htm", "", "", &plan, kxOPEN_NO_SESSION},
      {"", ":0", nullptr, &plan, kxOPEN_NO_PATH}, {nullptr, ":0", nullptr, &plan, kxOPEN_NO_PATH},
      {"/tmp/p.htm", ":0", nullptr, nullptr, kxOPEN_NO_PATH}};
  for (const auto& r : refused) EXPECT_EQ(KxPlanOpen(r.path, r.x, r.wl, r.plan), r.result) << &r - refused;
  EXPECT_STREQ(plan.argv[1], "");
}
