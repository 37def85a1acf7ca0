// The contour writers on element tables built by hand, as the analysis leaves
// them, for what the whole programs (nc_program_test, the die plate example) do
// not show: action points, rough and layer registers, hole registers and trouble,
// piece mode, long group lines, naming and failures. Arc directions and centres
// are checked on every program of the corpus (the checker's wire side and centres).
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "dxf/dxf.h"
#include "nc/nc.h"
#include "support/table_rows.h"
#include "run/run.h"

namespace {

long Put(int type, const char* kontur, float x1, float y1, float x2, float y2, int layer = 0) {
  TestRun().gAktLayName = layer;
  long i = AddRecord(type, kontur, x1, y1, x2, y2);
  TestRun().elds[i].used = 1;
  return i;
}
long Line(const char* k, float x1, float y1, float x2, float y2, int layer = 0) { return Put(etLINE, k, x1, y1, x2, y2, layer); }
long Arc(const char* k, float ccx, float ccy, float r, float a0, float a1, int layer = 0) {
  // End points rounded to three decimals, as the structure check leaves them.
  long i = Put(etARC, k, FL3NKS(ccx + XARC(a0, r)), FL3NKS(ccy + YARC(a0, r)), FL3NKS(ccx + XARC(a1, r)),
               FL3NKS(ccy + YARC(a1, r)), layer);
  TestRun().elds[i].cx = ccx; TestRun().elds[i].cy = ccy; TestRun().elds[i].r = r; TestRun().elds[i].sw = a0; TestRun().elds[i].ew = a1;
  return i;
}

// A fresh core with the default device words, the reserved records and a reset technology.
void Fresh(int flavour = kxCONSOLE) {
  FreshCore(flavour);
  SetDevSyntax(TestRun(), "no-such-device.SYN");
  ClearElements(TestRun());
  for (int i = 0; i < 7; ++i) AddElement(TestRun(), i < 2 || i == 6 ? etDELETE : etCPY, "reserved");
  SetTechnologie(TestRun(), nullptr, 0);
  SetTechData(TestRun(), "reset");
}

std::string Closed(long feed, long first) { return Written([&](FILE* f) { SimpleClosedKontur(TestRun(), f, 1, feed, first); }); }

// Contour k as a square of side 10 at (x, y) with its feed point feedDy off the bottom's
// middle, the split point; returns the feed point.
long SquareContour(const char* k, float x, float y, float feedDy) {
  return AddFeed(k, x + 5, y + feedDy, x + 5, y, AddRect(x, y, x + 10, y + 10, k));
}

// The worked square with feed (5, 2) and split (5, 0), written as contour 1.
std::string Square() {
  long feed = SquareContour("$K01", 0, 0, 2);
  AddRegions({0});
  return Closed(feed, TestRun().elds[feed].IsFirst);
}

// Runs the whole writer with the program folder dir and returns the program.
std::string Probe(const TempDir& dir) {
  TestRun().cfg.homepath = dir.Path() + "/";
  ProbeNwdOut(TestRun());
  return ReadFile(TestRun().dataPath);
}

}  // namespace

TEST(NcClosed, ActionPointsAndDataRemarks) {
  ConsoleCapture cap;
  for (int flavour : {kxCONSOLE, kxDESKTOP}) {
    Fresh(flavour);
    TestRun().cfg.gDataInfo = 1;
    Put(etPNT, "$K01", 0, 10, 0, 10);
    Put(etPNT, "$K01", 0, 10.001f, 0, 10.001f);   // a second point at the same place is dropped
    std::string nc = Square();
    EXPECT_NE(nc.find("G01 X0.000 Y10.000;\n(-actionpoint-);\nG01 X10.000 Y10.000;"), std::string::npos) << nc;
    EXPECT_EQ(nc.find("-actionpoint-"), nc.rfind("-actionpoint-")) << nc;
    EXPECT_STREQ(TestRun().elds[8].text, gNoText);
    for (const char* remark : {"G00 X5.000 Y2.000 (FeedPoint);", "G01 X5.000 Y0.000 D0T0 (SplittPoint);",
                               flavour == kxCONSOLE ? "M99(-CLOSED.CONTOUR-);" : "M99(-CLOSED KONTOUR-);"})
      EXPECT_NE(nc.find(remark), std::string::npos) << nc;
  }
}

TEST(NcClosed, RegisterAndRoughLines) {
  ConsoleCapture cap;
  // Single layer: register dReg defined from register 1; register 1 itself never; a positive rough offset adds nothing.
  std::string nc;
  for (float rough : {-0.02f, 0.5f}) {
    Fresh();
    TestRun().cfg.ktechno.dReg = rough < 0 ? 3 : 1;
    TestRun().cfg.ktechno.dROff[3] = 0.1f;
    TestRun().cfg.ktechno.RoughOff = rough;
    nc = Square();
    EXPECT_NE(nc.find(rough < 0 ? "G00 X5.000 Y2.000;\n#3=#1+0.100;\n(Rough);\n#3=#3-0.020;\n(Rough-End);\nM06;"
                                : "G00 X5.000 Y2.000;\nM06;"), std::string::npos) << nc;
    EXPECT_NE(nc.find(rough < 0 ? "D#3 T0.000;" : "D#1 T0.000;"), std::string::npos);
  }
  // Several layers with registers 2 and 3, an ISO layer whose radius word drops what follows "$rad".
  Fresh();
  TestRun().gAktLayEntry = 3;
  const char* names[] = {"DXF_MAIN", "EDMX_A", "EDMX_ISO"};
  for (int i = 0; i < 3; ++i) KxCopy(TestRun().fLL[i].Name, sizeof TestRun().fLL[i].Name, names[i]);
  TestRun().fLL[1].useReg = 2; TestRun().fLL[1].useOft = 0.01f; TestRun().fLL[1].used = 1;
  TestRun().fLL[2].useReg = 3; TestRun().fLL[2].useOft = 0.02f; TestRun().fLL[2].useKonik = 1.5f;
  KxCopy(TestRun().cfg.mS.SingleIsoRad, sizeof TestRun().cfg.mS.SingleIsoRad, "G24L$radXX");
  TestRun().cfg.ktechno.RoughOff = 0.05f;
  long first = Line("$K01", 0, 0, 10, 0, 1);
  Line("$K01", 10, 0, 10, 10, 1);
  Arc("$K01", 5, 10, 5, 0, 180, 2);
  Line("$K01", 0, 10, 0, 0, 2);
  nc = Closed(AddFeed("$K01", 5, 2, 5, 0, first), first);
  EXPECT_NE(nc.find("#2=#1+0.010;\n#3=#1+0.020;\n(Rough);\n#2=#2+0.050;\n#3=#3+0.050;\n(Rough-End);\nM06;"), std::string::npos) << nc;
  EXPECT_NE(nc.find("G01 X0.000 Y0.000 D#2 T0.000;\nG01 X0.000 Y10.000 D#3 T1.500;\n"
                    "G02 X10.000 Y10.000 I5.000 J0.000 G24L5.000;\nG01 X10.000 Y0.000 D#2 T0.000;\n"), std::string::npos) << nc;
  EXPECT_EQ(TestRun().cfg.ktechno.dLWe, 1);
}

TEST(NcHole, RegistersPieceModeAndTrouble) {
  ConsoleCapture cap;
  Fresh();
  TestRun().cfg.ktechno.dHole = TestRun().cfg.ktechno.dROff[0] = -0.002f;
  AddCircle(10, 10, 2, "$K01", 1);
  AddRegions({0});
  auto hole = [](long elem) { return Written([&](FILE* f) { fputs("M02;\n", f); SimpleHoleForElement(TestRun(), f, elem); }); };
  // Register lines of the hole for other registers.
  struct { int reg; float hole; const char* lines; } cases[] = {
      {2, -0.002f, "#2=#1;\n#4=#2-0.002;\nG00"}, {4, 0.0f, "M02;\n#4=#1;\nG00"}, {4, 0.01f, "#4=#1;\n#4=#4+0.010;\nG00"}};
  for (const auto& c : cases) {
    TestRun().cfg.ktechno.dReg = c.reg;
    TestRun().cfg.ktechno.dROff[c.reg] = 0;
    TestRun().cfg.ktechno.dHole = c.hole;
    EXPECT_NE(hole(7).find(c.lines), std::string::npos) << c.lines;
  }
  // Piece mode with taper: the plane lines come first.
  TestRun().cfg.ktechno.HatKonik = 1;
  TestRun().cfg.ktechno.G92Mode = dmPIECE;
  TestRun().cfg.ktechno.dPE = 30; TestRun().cfg.ktechno.dHE = 15; TestRun().cfg.ktechno.dOE = 30.5f;
  EXPECT_EQ(hole(7).substr(0, 56), "M02;\nG10L80P0R30.000;\nG10L80P1R15.000;\nG10L80P1R30.500;\n");
  // Not a circle: the sub-program still returns.
  EXPECT_EQ(hole(8), "M02;\nM99;\n");
  EXPECT_NE(cap.Text().find("-Err HoT-"), std::string::npos);

  // Two large circles and no feed point: trouble, radius 0 for the missing indices.
  AddCircle(30, 10, 2, "$K01", 1);
  EXPECT_EQ(Closed(-1, -1), "(--HOLE-FI-R0.000--);\n(--HOLE-FE-R0.000--);\nM99(-- $K01 HOLE TROUBLE --);\n");
  EXPECT_EQ(TestRun().gBigTrouble, 1);
}

// A line's hold point (four fifths of the way) and NoStop are in the whole programs.
TEST(NcHoldPoint, ArcStopsFourDegreesBeforeTheSplitPoint) {
  ConsoleCapture cap;
  Fresh();
  long arc = Arc("$K01", 0, 0, 10, 270, 90);
  long feed = AddFeed("$K01", 10, 2, 10, 0, arc);
  EXPECT_EQ(Written([&](FILE* f) { SimpleHoldPoint(TestRun(), f, feed, arc, 0, -10, kxG03); }),
            "G03 X9.976 Y-0.698 I0.000 J10.000;\n/2M01;/1M07;\nG03 X10.000 Y0.000 I-9.976 J0.698;\n");
}

// The heads of both modes are in the whole programs (piece mode: cut_faults_test). In
// piece mode each cut of a multi-cut contour starts at its own origin; a top plane
// word holding the register word takes no height.
TEST(NcMultiCut, PieceModeCutsStartAtTheirOriginAndPlaneWords) {
  ConsoleCapture cap;
  Fresh();
  TestRun().cfg.ktechno.G92Mode = dmPIECE;
  TestRun().cfg.ktechno.dQuali = 2;
  EXPECT_EQ(Written([](FILE* f) { SimpleAsSubKontur(TestRun(), f, 2, 5, 2); }).substr(0, 19), "G92 X5.000 Y2.000;\n");
  EXPECT_EQ(TestRun().gMissETechnologie, 2);
  TestRun().cfg.ktechno.dPE = 30; TestRun().cfg.ktechno.dHE = 15; TestRun().cfg.ktechno.dOE = 30.5f;
  KxCopy(TestRun().cfg.mS.TopPlane, sizeof TestRun().cfg.mS.TopPlane, "ZH");
  KxCopy(TestRun().cfg.mS.VReg, sizeof TestRun().cfg.mS.VReg, "H");
  EXPECT_EQ(Written([](FILE* f) { NcPlaneLines(TestRun().cfg, f); }), "G10L80P0R30.000;\nG10L80P1R15.000;\nZH;\n");
}

// Contours without a start hole keep their remark in the start-hole tests.
TEST(NcDriver, ContourTextsAndLongGroupLine) {
  ConsoleCapture cap;
  TempDir dir;
  for (int cancel : {0, 1}) {
    Fresh();
    TestRun().cfg.gCancelTextInfo = cancel;
    SquareContour("$K01", 0, 0, -2);
    long t = Put(etTEXT, "$K01", 5, -3, 5, -3);
    KxCopy(TestRun().elds[t].text, sizeof TestRun().elds[t].text, "A=1.5 *Stempel");
    AddRegions({0});
    std::string nc = Probe(dir);
    EXPECT_EQ(nc.find("(--A=1.5 *Stempel);\n") != std::string::npos, cancel == 0) << nc;
  }
  // Hundreds of top-level contours: the group line is written whole.
  Fresh();
  AddRegions(std::vector<int>(300, 0));
  std::string nc = Probe(dir);
  for (const char* part : {"-Groups: 10 20 30 ", " 2990 3000 -);\n", "N3000(-- Contour: $K300 --);\n"})
    EXPECT_NE(nc.find(part), std::string::npos) << part;
}

TEST(NcDriver, NamingAfterTheDrawingAndFailedOutput) {
  ConsoleCapture cap;
  TempDir dir;
  Fresh();
  std::string parts = dir.Path() + "/parts";
  mkdir(parts.c_str(), 0755);
  TestRun().in_filename = parts + "/plate7.dxf";
  TestRun().cfg.data_filename = "x*infile*";
  KxCopy(TestRun().cfg.mS.Extension, sizeof TestRun().cfg.mS.Extension, ".nc");
  SquareContour("$K01", 0, 0, -2);
  AddRegions({0});
  ProbeNwdOut(TestRun());
  EXPECT_EQ(TestRun().dataPath, parts + "/plate7.nc");
  EXPECT_TRUE(FileExists(parts + "/plate7.nc"));
  EXPECT_EQ(TestRun().cfg.data_filename, "x*infile*");   // the setting stays as the user gave it
  EXPECT_EQ(TestRun().gNcWriteFailed, 0);
  // A name given after that run (the desktop's field) names the next program.
  TestRun().cfg.data_filename = "plate8";
  EXPECT_EQ(NcTargetPath(TestRun()), TestRun().cfg.homepath + "plate8.nc");

  // A full table: no program at all.
  TestRun().eldsMaximum = TestRun().eldsCounter;
  cap.Clear();
  ProbeNwdOut(TestRun());
  EXPECT_EQ(cap.Text(), "-Limit D-");
  EXPECT_EQ(TestRun().gNcWriteFailed, 1);
}
