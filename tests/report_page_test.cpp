// The statistics page: element counts, contour lines, warnings, layers, the
// flavour differences, escaping of drawn names, what is opened afterwards, a
// page or dump that cannot be written; and how a file is opened for the user
// (the path as one argument, never through a shell, nothing without a display).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dxf/dxf.h"
#include "nc/nc.h"
#include "report/report.h"
#include "support/table_rows.h"
#include "kxrun.h"

static std::vector<std::string> gOpened;
static void recordOpen(const char* path) { gOpened.push_back(path); }

struct ReportPage : ::testing::Test {
  ConsoleCapture out;
  TempDir dir;
  void TearDown() override { gOpenHook = nullptr; }
  // A fresh core whose program folder is dir, with the reserved records of a run.
  void Core(int flavour) {
    StartTable(flavour);
    TestRun().cfg.homepath = dir.Path() + "/";
    gOpened.clear();
    gOpenHook = recordOpen;
    TestRun().cfg.OpenDataFile = 0;
  }
  std::string Page() {
    SaveStatistic(TestRun());
    return ReadFile(dir.File("_results.htm"));
  }
};

// A run without contours: every type counted with its used records, the warning about the main
// layer, and the page opened for the user.
TEST_F(ReportPage, RowsCountEveryTypeAndARunWithoutContoursOpensThePage) {
  Core(kxCONSOLE);
  struct { int type; float r; int used; const char* kontur; } rows[] = {
      {etLINE, 0, 1, ""}, {etLINE, 0, 0, "$ORPHAN"}, {etPOLY, 0, 0, ""}, {etVERT, 0, 2, ""}, {etARC, 5, 1, ""},
      {etCIR, 3, 1, ""}, {etCIR, 3, 0, ""},   // above the grid radius: circles
      {etCIR, 1.5f, 1, ""}, {etCIR, 2.605f, 0, ""},   // feed points, up to the grid radius
      {etINSE, 0, 0, ""}, {etPNT, 0, 1, ""}, {etTEXT, 0, 0, "$ORPHAN"}, {etERA, 0, 1, ""}, {42, 0, 0, ""},
      {etDELETE, 0, 1, ""}};   // markers are never counted
  for (const auto& r : rows) TestRun().elds[AddRecord(r.type, r.kontur, 0, 0, 0, 0, gNoText, r.r)].used = r.used;
  CloseTable();
  KxCopy(TestRun().fAktDate, sizeof TestRun().fAktDate, "06/12/2026  10:00");
  TestRun().in_filename = "plate.dxf";
  KxCopy(TestRun().acad_VersInfo, sizeof TestRun().acad_VersInfo, "AC1009");
  KxCopy(TestRun().cfg.mS.TechFile, sizeof TestRun().cfg.mS.TechFile, "DEFAULT.TCH");
  TestRun().cfg.log_filename = "/p/_outlog.txt";
  // Everything but the picture between the version line and the end line, byte for byte; unknown: the
  // four copy slots, the erased record and the type 42.
  std::string whole = Page();
  size_t fig = whole.find("</pre>\n<style>"), end = whole.rfind("<pre></pre></font>");
  ASSERT_NE(fig, std::string::npos);
  ASSERT_NE(end, std::string::npos);
  EXPECT_EQ(whole.substr(0, fig) + whole.substr(end + 5),
            "<html>\n<head>\n<META http-equiv='Content-Type' content='text/html; charset=UTF-8'>\n"
            "<title> KORVEX-Statistics </title>\n</head>\n"
            "<body bgcolor='#ebf5ed'><basefont size='4' face='verdana,arial'><pre>\n"
            "     DATE: 06/12/2026  10:00 \n     FILE: plate.dxf \n  VERSION: AC1009 \t\tEDMLAYER: DXF_MAIN \n"
            "   DEVICE: MAK_EE3.SYN \n TECHFILE: DEFAULT.TCH \t\tDATAMODE: PLATE \n"
            "  LOGFILE: <A HREF='/p/_outlog.txt'> /p/_outlog.txt </A>\n"
            "\nTYPE     :    SUM |   USED \n---------------------------\n"
            "LINES    :      4 |      2 \nARC      :      1 |      1 \nCIRCLE   :      2 |      1 \n"
            "CIR-SP   :      2 |      1 \nINSERT   :      1 |      0 \nPOINTS   :      1 |      1 \n"
            "TEXT     :      1 |      0 \n---------------------------\nunknown  :      6 |      1 \n"
            "---------------------------\nCONTOURS  :      0 , with 0 HOLES \n\n\n1-cut sum: 0.000 mm\n\n"
            "  ..pruefe EDMLAYER  Verwaiste Elemente: 2 \n\n Version: korvex_081024 \n</pre></font></body></html>\n");
  EXPECT_EQ(gOpened, std::vector<std::string>{dir.File("_results.htm")});
}

TEST_F(ReportPage, ContourLinesAlignLengthsAndSumThem) {
  for (int flavour : {kxCONSOLE, kxDESKTOP}) {
    Core(flavour);
    TestRun().gKonturCounter = 4;
    TestRun().gHolesCounter = 1;
    KxKeepContours(TestRun());
    for (auto [k, len] : {std::pair{1, 123.4567f}, {2, 5.0f}, {3, 12345.5f}}) {  // $K03: no digit lost
      TestRun().contours[k].region = AddRecord(etDELETE, TestRun().contours[k].name, 0, 0, 0, 0, gtRegInfo);
      TestRun().contours[k].length = len;
    }
    KxCopy(TestRun().cfg.mS.RemarkOn, sizeof TestRun().cfg.mS.RemarkOn, "(");   // $K04 has no region, only its drawn name
    KxCopy(TestRun().cfg.mS.RemarkOff, sizeof TestRun().cfg.mS.RemarkOff, ")");
    TestRun().contours[4].nameText = AddRecord(etTEXT, "$K04", 0, 0, 0, 0, "Q2 *<Stempel> rest");
    std::string p = Page();
    const char* lines[][2] = {{"CONTOURS  :      4 , with 1 HOLES \n\n", "CONTOURES :      4 , with 1 HOLES \n\n"},
                              {"\n$K01  +123.457 ", "\n$K01   123.457 "},
                              {"\n$K02    +5.000 ", "\n$K02     5.000 "},
                              {"\n$K03  +12345.500  (NoName)", "\n$K03  12345.500  (NoName)"},
                              {"\n$K04    +0.000  (&lt;Stempel&gt;)\n1-cut",
                               "\n$K04     0.000  (&lt;Stempel&gt;)\n1-cut"}};
    for (const auto& line : lines) EXPECT_TRUE(Has(p, line[flavour == kxDESKTOP])) << line[0] << p;
    EXPECT_TRUE(Has(p, "\n1-cut sum: 12473.957 mm\n\n")) << p;
    EXPECT_FALSE(Has(p, "pruefe EDMLAYER"));
    EXPECT_TRUE(gOpened.empty());   // no warning, no NC program wanted
  }
}

TEST_F(ReportPage, WarningsComeInOrderWithSingularAndPlural) {
  Core(kxDESKTOP);
  TestRun().gMaxELemBarrier = TestRun().gBigTrouble = TestRun().gKilledElements = 1;
  TestRun().gOpenKoCounter = 2;
  TestRun().gMissETechnologie = 3;
  AddRow(etLINE, "$ORPHAN", 0);
  std::string p = Page();
  EXPECT_TRUE(Has(p, "\n1-cut sum: 0.000 mm\n\n Abbruch, mehr als " + std::to_string(kMaxElementRecords) +
                         " DXF-Elemente \n  ..pruefe EDMLAYER  OOPS - 2 offene Kontur(en) \n"
                         " OOPS - 3 vermisste Technologie(n)\n OOPS - 1 Fehlende Startpunkte \n"
                         " Verwaiste Elemente: 1 \n"
                         " 1 ignoriertes Element (&lt;0.0020)\n\n Version: korvex_081112 \n")) << p;
  EXPECT_EQ(gOpened, std::vector<std::string>{dir.File("_results.htm")});

  // Deleted short lines alone are a warning too; two take the plural.
  Core(kxDESKTOP);
  TestRun().gKonturCounter = TestRun().cfg.OpenDataFile = 1;
  TestRun().gKilledElements = 2;
  TestRun().cfg.gNpTolerance = 0.005f;
  TestRun().dataPath = "/nc/_nwd_out.txt";
  p = Page();
  EXPECT_TRUE(Has(p, "\n1-cut sum: 0.000 mm\n\n 2 ignorierte Elemente (&lt;0.0050)\n\n Version:")) << p;
  EXPECT_EQ(gOpened, (std::vector<std::string>{dir.File("_results.htm"), "/nc/_nwd_out.txt"}));
}

TEST_F(ReportPage, LayerSectionOnlyWithSeveralLayersAndNamesEscaped) {
  Core(kxCONSOLE);
  TestRun().gKonturCounter = TestRun().gAktLayEntry = 1;
  KxCopy(TestRun().fLL[0].Name, sizeof TestRun().fLL[0].Name, "DXF_MAIN");
  TestRun().fLL[0].GlobUsed = 1;
  EXPECT_FALSE(Has(Page(), "used Layer"));

  TestRun().gAktLayEntry = 3;
  KxCopy(TestRun().fLL[1].Name, sizeof TestRun().fLL[1].Name, "EDMX_A");
  KxCopy(TestRun().fLL[2].Name, sizeof TestRun().fLL[2].Name, "EDMX_<b>&'\"");
  TestRun().fLL[2].GlobUsed = 1;
  TestRun().in_filename = "a<script>&'x\".dxf";
  TestRun().cfg.log_filename = "l'og.txt";
  std::string p = Page();
  EXPECT_TRUE(Has(p, "1-cut sum: 0.000 mm\n\n\tused Layer: \n 00 'DXF_MAIN' \n"
                     " 02 'EDMX_&lt;b&gt;&amp;&#39;&quot;' \n\n")) << p;
  EXPECT_TRUE(Has(p, "     FILE: a&lt;script&gt;&amp;&#39;x&quot;.dxf \n"));
  EXPECT_TRUE(Has(p, "<A HREF='l&#39;og.txt'> l&#39;og.txt </A>"));
  EXPECT_FALSE(Has(p, "<script>"));
}

TEST_F(ReportPage, UnwritablePageOrDumpIsReportedAndTheRunGoesOn) {
  Core(kxDESKTOP);
  TestRun().cfg.homepath = dir.Path() + "/missing/";
  TestRun().cfg.OpenDataFile = 1;
  TestRun().dataPath = "/nc/a.txt";
  SaveStatistic(TestRun());
  SaveStructs(TestRun(), "_elemblk.txt", "x");
  for (const char* what : {" -result page not written: '", " -dump not written: '"})
    EXPECT_TRUE(Has(out.Text(), what + dir.Path() + "/missing/_")) << out.Text();
  EXPECT_EQ(gOpened, std::vector<std::string>{"/nc/a.txt"});   // only the NC program, never the missing page
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
