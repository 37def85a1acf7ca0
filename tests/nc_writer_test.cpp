// The contour writers on element tables built by hand, as the analysis leaves
// them: chain order and directions, closed and open contours, action points,
// register and rough lines, ISO radius, holes and trouble, hold points,
// multi-cut blocks, inset calls and position chains.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <functional>
#include <sys/stat.h>

#include "config/config.h"
#include "contours/contours.h"
#include "dxf/dxf.h"
#include "elements/elements.h"
#include "geometry/base.h"
#include "nc/nc.h"
#include "support/support.h"

namespace {

long Put(int type, const char* kontur, float x1, float y1, float x2, float y2, int layer = 0) {
  sx = x1; sy = y1; ex = x2; ey = y2;
  gAktLayName = layer;
  AddElement(type, gNoText);
  long i = eldsCounter - 1;
  KxCopy(elds[i].kontur, sizeof elds[i].kontur, kontur);
  elds[i].used = 1;
  return i;
}
long Line(const char* k, float x1, float y1, float x2, float y2, int layer = 0) {
  return Put(etLINE, k, x1, y1, x2, y2, layer);
}
long Arc(const char* k, float ccx, float ccy, float r, float a0, float a1, int layer = 0) {
  // End points rounded to three decimals, as the structure check leaves them.
  long i = Put(etARC, k, FL3NKS(ccx + XARC(a0, r)), FL3NKS(ccy + YARC(a0, r)), FL3NKS(ccx + XARC(a1, r)),
               FL3NKS(ccy + YARC(a1, r)), layer);
  elds[i].cx = ccx; elds[i].cy = ccy; elds[i].r = r; elds[i].sw = a0; elds[i].ew = a1;
  return i;
}
long Circle(const char* k, float ccx, float ccy, float r) {
  long i = Put(etCIR, k, ccx, ccy, ccx, ccy);
  elds[i].cx = ccx; elds[i].cy = ccy; elds[i].r = r;
  return i;
}
long Feed(const char* k, float ccx, float ccy, float splitX, float splitY, long first) {
  long i = Circle(k, ccx, ccy, 0.5f);
  elds[i].ex = splitX; elds[i].ey = splitY; elds[i].IsFirst = (int)first; elds[i].child = -1;
  KxCopy(elds[i].text, sizeof elds[i].text, gtFeedPoint);
  return i;
}
long Region(const char* k, int child) {
  long i = Put(etDELETE, k, 0, 0, 0, 0);
  KxCopy(elds[i].text, sizeof elds[i].text, gtRegInfo);
  elds[i].child = child; elds[i].kElemX = 5;
  return i;
}

// A fresh core with the default device words, the reserved records and a reset technology.
void Fresh(int flavour = kxCONSOLE) {
  FreshCore(flavour);
  SetDevSyntax("no-such-device.SYN");
  ClearElements();
  for (int i = 0; i < 7; ++i) AddElement(i < 2 || i == 6 ? etDELETE : etCPY, "reserved");
  SetTechnologie(nullptr, 0);
  SetTechData("reset");
}

std::string Written(const std::function<void(FILE*)>& write) {
  char* buf = nullptr;
  size_t n = 0;
  FILE* f = open_memstream(&buf, &n);
  write(f);
  fclose(f);
  std::string s(buf, n);
  free(buf);
  return s;
}

// The worked square: bottom (first), right, top (drawn as given), left; feed (5, 2), split (5, 0).
std::string Square(bool topLeftToRight, long* feedOut = nullptr) {
  long first = Line("$K01", 0, 0, 10, 0);
  Line("$K01", 10, 0, 10, 10);
  if (topLeftToRight) Line("$K01", 0, 10, 10, 10);
  else Line("$K01", 10, 10, 0, 10);
  Line("$K01", 0, 10, 0, 0);
  long feed = Feed("$K01", 5, 2, 5, 0, first);
  if (feedOut) *feedOut = feed;
  Region("$K01", 0);
  sPKonturCounter = 1;
  gKonturCounter = 1;
  return Written([&](FILE* f) { SimpleClosedKontur(f, "$K01", feed, first); });
}

}  // namespace

TEST(NcClosed, SquareChainsEverySideAndCountsOpenContours) {
  ConsoleCapture cap;
  for (bool topLeftToRight : {false, true}) {
    Fresh();
    std::string nc = Square(topLeftToRight);
    EXPECT_EQ(nc,
              "(-missing-TechData- reset);\nG00 X5.000 Y2.000;\nM06;\nM17;\nG90G42G44G52;\n"
              "G01 X5.000 Y0.000 D0T0;\nG01 X10.000 Y0.000 D#1 T0.000;\nG01 X10.000 Y10.000;\n"
              "G01 X0.000 Y10.000;\nG01 X0.000 Y0.000;\nG01 X4.000 Y0.000;\n/2M01;/1M07;\n"
              "G01 X5.000 Y0.000;\nG01 X5.000 Y2.000 D0T0;\nG40G43G50;\nM07;\nM99;\n");
    EXPECT_EQ(gOpenKoCounter, 0);
    EXPECT_EQ(gMissETechnologie, 1);
  }
  // A gap larger than the tolerance leaves the contour open.
  Fresh();
  long first = Line("$K01", 0, 0, 10, 0);
  Line("$K01", 10, 0, 10, 10);
  Line("$K01", 10, 10, 0, 10);
  Line("$K01", 0, 10, 0, 0.01f);
  long feed = Feed("$K01", 5, 2, 5, 0, first);
  std::string nc = Written([&](FILE* f) { SimpleClosedKontur(f, "$K01", feed, first); });
  EXPECT_NE(nc.find("G01 X0.000 Y0.010;\nG01 X4.000 Y0.002;\n"), std::string::npos) << nc;
  EXPECT_EQ(gOpenKoCounter, 1);
}

TEST(NcClosed, ArcsForwardG03AndBackwardG02WithCentreFromTheirStart) {
  ConsoleCapture cap;
  for (int side : {42, 41}) {
    Fresh();
    long first = Line("$K01", 0, 0, 20, 0);
    Arc("$K01", 10, 0, 10, 0, 180);
    long feed = Feed("$K01", 10, -2, 10, 0, first);
    ktechno.dDLage = side;
    std::string nc = Written([&](FILE* f) { SimpleClosedKontur(f, "$K01", feed, first); });
    const char* path = side == 42 ? "G01 X20.000 Y0.000 D#1 T0.000;\nG03 X0.000 Y0.000 I-10.000 J0.000;\n"
                                   : "G01 X0.000 Y0.000 D#1 T0.000;\nG02 X20.000 Y0.000 I10.000 J0.000;\n";
    EXPECT_NE(nc.find(path), std::string::npos) << nc;
    EXPECT_EQ(gOpenKoCounter, 0);
  }
}

TEST(NcClosed, ActionPointsAndDataRemarks) {
  ConsoleCapture cap;
  for (int flavour : {kxCONSOLE, kxDESKTOP}) {
    Fresh(flavour);
    gDataInfo = 1;
    Put(etPNT, "$K01", 10, 0, 10, 0);
    Put(etPNT, "$K01", 10.001f, 0, 10.001f, 0);
    std::string nc = Square(false);
    EXPECT_NE(nc.find("D#1 T0.000;\n(-actionpoint-);\nG01 X10.000 Y10.000;"), std::string::npos) << nc;
    EXPECT_EQ(nc.find("-actionpoint-"), nc.rfind("-actionpoint-")) << nc;
    EXPECT_EQ(std::string(elds[7].text), "-actionpoint-");
    EXPECT_EQ(std::string(elds[8].text), gNoText);
    EXPECT_NE(nc.find("G00 X5.000 Y2.000 (FeedPoint);"), std::string::npos);
    EXPECT_NE(nc.find("G01 X5.000 Y0.000 D0T0 (SplittPoint);"), std::string::npos);
    EXPECT_NE(nc.find(flavour == kxCONSOLE ? "M99(-CLOSED.CONTOUR-);" : "M99(-CLOSED KONTOUR-);"), std::string::npos) << nc;
  }
}

TEST(NcClosed, RegisterAndRoughLines) {
  ConsoleCapture cap;
  // Single layer: register dReg defined from register 1; register 1 itself never.
  Fresh();
  ktechno.dReg = 3;
  ktechno.dROff[3] = 0.1f;
  ktechno.RoughOff = -0.02f;
  std::string nc = Square(false);
  EXPECT_NE(nc.find("G00 X5.000 Y2.000;\n#3=#1+0.100;\n(Rough);\n#3=#3-0.020;\n(Rough-End);\nM06;"), std::string::npos) << nc;
  EXPECT_NE(nc.find("D#3 T0.000;"), std::string::npos);
  Fresh();
  ktechno.RoughOff = 0.5f;
  nc = Square(false);
  EXPECT_NE(nc.find("G00 X5.000 Y2.000;\nM06;"), std::string::npos) << nc;

  // Several layers with registers 2 and 3, an ISO layer whose radius word drops what follows "$rad".
  Fresh();
  gAktLayEntry = 3;
  KxCopy(fLL[0].Name, sizeof fLL[0].Name, "DXF_MAIN");
  KxCopy(fLL[1].Name, sizeof fLL[1].Name, "EDMX_A");
  KxCopy(fLL[2].Name, sizeof fLL[2].Name, "EDMX_ISO");
  fLL[1].useReg = 2; fLL[1].useOft = 0.01f; fLL[1].used = 1;
  fLL[2].useReg = 3; fLL[2].useOft = 0.02f; fLL[2].useKonik = 1.5f;
  KxCopy(mS.SingleIsoRad, sizeof mS.SingleIsoRad, "G24L$radXX");
  ktechno.RoughOff = 0.05f;
  long first = Line("$K01", 0, 0, 10, 0, 1);
  Line("$K01", 10, 0, 10, 10, 1);
  Arc("$K01", 5, 10, 5, 0, 180, 2);
  Line("$K01", 0, 10, 0, 0, 2);
  long feed = Feed("$K01", 5, 2, 5, 0, first);
  nc = Written([&](FILE* f) { SimpleClosedKontur(f, "$K01", feed, first); });
  EXPECT_NE(nc.find("#2=#1+0.010;\n#3=#1+0.020;\n(Rough);\n#2=#2+0.050;\n#3=#3+0.050;\n(Rough-End);\nM06;"), std::string::npos) << nc;
  EXPECT_NE(nc.find("G01 X10.000 Y0.000 D#2 T0.000;\nG01 X10.000 Y10.000 T0.000;\n"
                    "G03 X0.000 Y10.000 I-5.000 J0.000 D#3 G24L5.000;\nG01 X0.000 Y0.000 T1.500;\n"), std::string::npos) << nc;
  EXPECT_EQ(ktechno.dLWe, 1);
}

TEST(NcHole, SingleLargeCircleIsCutAsAHoleAndEverythingElseIsTrouble) {
  ConsoleCapture cap;
  Fresh();
  ktechno.dHole = -0.002f;
  ktechno.dROff[0] = -0.002f;
  Circle("$K01", 10, 10, 2);
  Region("$K01", 0);
  gStartPosition = 1.0f;
  std::string nc = Written([&](FILE* f) { SimpleClosedKontur(f, "$K01", -1, -1); });
  EXPECT_EQ(nc,
            "(--HOLE-R2.000--);\n(-missing-TechData- reset);\n#4=#1-0.002;\nG00 X10.000 Y10.000;\nM06;\nM17;\n"
            "G90G42G44G52;\nG01 X12.000 Y10.000 D0T0;\nG02 X9.000 Y8.268 I-2.000 J0.000 D#4 T0.000;\n"
            "G02 X9.000 Y11.732 I1.000 J1.732;\nG02 X11.932 Y10.518 I1.000 J-1.732;\n/2M01;/1M07;\n"
            "G02 X11.970 Y9.653 I-1.932 J-0.518;\nG01 X10.000 Y10.000 D0T0;\nG40G43G50;\nM07;\nM99;\n");
  EXPECT_EQ(gHolesCounter, 1);

  // Register lines of the hole for other registers.
  struct { int reg; float off, hole; const char* lines; } cases[] = {
      {2, 0.0f, -0.002f, "#2=#1;\n#4=#2-0.002;\nG00"},
      {4, 0.0f, 0.0f, "M02;\n#4=#1;\nG00"},
      {4, 0.0f, 0.01f, "#4=#1;\n#4=#4+0.010;\nG00"},
  };
  for (const auto& c : cases) {
    ktechno.dReg = c.reg;
    ktechno.dROff[c.reg] = c.off;
    ktechno.dHole = c.hole;
    nc = Written([&](FILE* f) { fputs("M02;\n", f); SimpleHoleForElement(f, 7); });
    EXPECT_NE(nc.find(c.lines), std::string::npos) << nc;
  }
  // Piece mode with taper: the plane lines come first.
  ktechno.HatKonik = 1;
  ktechno.G92Mode = dmPIECE;
  ktechno.dPE = 30; ktechno.dHE = 15; ktechno.dOE = 30.5f;
  nc = Written([&](FILE* f) { SimpleHoleForElement(f, 7); });
  EXPECT_EQ(nc.substr(0, 51), "G10L80P0R30.000;\nG10L80P1R15.000;\nG10L80P1R30.500;\n");
  // Not a circle: the sub-program still returns.
  nc = Written([&](FILE* f) { SimpleHoleForElement(f, 8); });
  EXPECT_EQ(nc, "M99;\n");
  EXPECT_NE(cap.Text().find("-Err HoT-"), std::string::npos);

  // Two large circles and no feed point: trouble, radius 0 for the missing indices.
  Circle("$K01", 30, 10, 2);
  nc = Written([&](FILE* f) { SimpleClosedKontur(f, "$K01", -1, -1); });
  EXPECT_EQ(nc, "(--HOLE-FI-R0.000--);\n(--HOLE-FE-R0.000--);\nM99(-- $K01 HOLE TROUBLE --);\n");
  EXPECT_EQ(gBigTrouble, 1);
}

TEST(NcHoldPoint, LineStopsAtFourFifthsArcFourDegreesBefore) {
  ConsoleCapture cap;
  Fresh();
  long line = Line("$K01", -10, 0, 20, 0);
  long feed = Feed("$K01", 10, 2, 10, 0, line);
  auto hold = [&](long first, float qx, float qy) {
    return Written([&](FILE* f) { SimpleHoldPoint(f, feed, first, qx, qy); });
  };
  EXPECT_EQ(hold(line, 0, 0), "G01 X8.000 Y0.000;\n/2M01;/1M07;\nG01 X10.000 Y0.000;\n");
  ktechno.NoStop = 1;
  EXPECT_EQ(hold(line, 0, 0), "G01 X8.000 Y0.000;\n(NoStop);\nG01 X10.000 Y0.000;\n");

  long arc = Arc("$K01", 0, 0, 10, 270, 90);
  gLastClockwiseType = 3;
  EXPECT_EQ(hold(arc, 0, -10),
            "G03 X9.976 Y-0.698 I0.000 J10.000;\n/2M01;/1M07;\nG03 X10.000 Y0.000 I-9.976 J0.698;\n");
}

TEST(NcMultiCut, CutsCallTheSubProgramAndInsetsAreCalledFirst) {
  ConsoleCapture cap;
  Fresh();
  sPKonturCounter = 2;
  ktechno.dQuali = 3;
  KxCopy(ktechno.sInfo, sizeof ktechno.sInfo, "Stempel");
  std::string nc = Written([&](FILE* f) { SimpleAsSubKontur(f, 5, 2); });
  EXPECT_EQ(nc,
            "G00 X5.000 Y2.000;\n(-missing-TechData- reset);\nM98P21;\n(-missing-TechData- reset);\nM98P21;\n"
            "(-missing-TechData- reset);\nM98P21;\nG00 X5.000 Y2.000 ;\nM99;\n(- - - - - - - - - - - -);\n"
            "N21(--Stempel--);\n");
  EXPECT_EQ(gMissETechnologie, 3);
  ktechno.G92Mode = dmPIECE;
  ktechno.dQuali = 2;
  nc = Written([&](FILE* f) { SimpleAsSubKontur(f, 5, 2); });
  EXPECT_EQ(nc.substr(0, 19), "G92 X5.000 Y2.000;\n");
  EXPECT_EQ(gMissETechnologie, 5);

  // Contour 1 with inset contours 2 and 3.
  Fresh();
  gKonturCounter = 3;
  Region("$K01", 0);
  Region("$K02", 1);
  Region("$K03", 1);
  sPKonturCounter = 1;
  nc = Written([&](FILE* f) { SimpleAddChilds(f); });
  EXPECT_EQ(nc, "M98P20;\nM98P30;\nM98P12;\nM99;\nN12(---);\n");
  sPKonturCounter = 2;
  EXPECT_EQ(Written([&](FILE* f) { SimpleAddChilds(f); }), "");
}

TEST(NcPosition, ChainFollowsPositionLinesExactly) {
  ConsoleCapture cap;
  // First line from the origin up to y0, second line as given; the feed point is (30, 50).
  struct { float y0, x1, y1, x2, y2; const char* tail; } cases[] = {
      {50, 0, 50, 30, 50, "G00 X0.000 Y50.000 (N-PosVector);\nG00 X30.000 Y50.000 (N-PosVector);\n(On Position);\n"},
      {50, 30, 50, 0, 50, "G00 X0.000 Y50.000 (N-PosVector);\nG00 X30.000 Y50.000 (N-PosVector);\n(On Position);\n"},
      {50.001f, 0, 50, 30, 50, "G00 X0.000 Y50.001 (N-PosVector);\n(Position: -DIRECTLY-);\n"},
  };
  for (const auto& c : cases) {
    Fresh();
    gDataInfo = 1;
    gPositionLayer = 1;
    gAktLayEntry = 2;
    KxCopy(fLL[1].Name, sizeof fLL[1].Name, "EDMX_POSITION");
    Line("", 0, 0, 0, c.y0, 1);
    Line("", c.x1, c.y1, c.x2, c.y2, 1);
    long feed = Feed("$K01", 30, 50, 30, 52, 0);
    std::string nc = Written([&](FILE* f) { SimplePosition_Chain(f, "$K01", feed); });
    EXPECT_EQ(nc, std::string("G00 X0.000 Y0.000 (PosVector);\n") + c.tail);
  }
  // Standing on the feed point already (piece mode): no moves.
  ktechno.KonX = 30;
  ktechno.KonY = 50;
  long feed = eldsCounter - 1;
  EXPECT_EQ(Written([&](FILE* f) { SimplePosition_Chain(f, "$K01", feed); }), "(On Position);\n");
  gPositionLayer = 0;
  EXPECT_EQ(Written([&](FILE* f) { SimplePosition_Chain(f, "$K01", feed); }), "");
}

namespace {

// Contour k as a square of side 10 at (x, y) with its feed point 2 below the bottom's middle.
void SquareContour(int k, float x, float y) {
  char name[16];
  snprintf(name, sizeof name, "$K%02d", k);
  long first = Line(name, x, y, x + 10, y);
  Line(name, x + 10, y, x + 10, y + 10);
  Line(name, x + 10, y + 10, x, y + 10);
  Line(name, x, y + 10, x, y);
  Feed(name, x + 5, y - 2, x + 5, y, first);
}

void Regions(int n, const int* parents) {
  char name[16];
  for (int k = 1; k <= n; ++k) {
    snprintf(name, sizeof name, "$K%02d", k);
    Region(name, parents[k - 1]);
  }
  gKonturCounter = n;
}

}  // namespace

TEST(NcDriver, HeadGroupsAndMainProgramInPlateAndPieceMode) {
  ConsoleCapture cap;
  TempDir dir;
  for (int mode : {dmPLATE, dmPIECE}) {
    Fresh(kxDESKTOP);
    KxCopy(homepath, sizeof homepath, (dir.Path() + "/").c_str());
    KxCopy(data_filename, sizeof data_filename, "_nwd_out");
    ktechno.G92Mode = mode;
    ktechno.dPE = 30; ktechno.dHE = 15; ktechno.dOE = 30.5f;
    KxCopy(mS.TopPlane, sizeof mS.TopPlane, "Z");
    KxCopy(mS.VReg, sizeof mS.VReg, "H");
    SquareContour(1, 0, 0);
    SquareContour(2, 20, 20);
    SquareContour(3, 100, 0);
    const int parents[] = {0, 1, 0};
    Regions(3, parents);
    ProbeNwdOut();
    EXPECT_EQ(gNcWriteFailed, 0);
    EXPECT_EQ(std::string(dataPath), dir.Path() + "/_nwd_out.txt");
    std::string nc = ReadFile(dataPath);
    if (mode == dmPLATE)
      EXPECT_EQ(nc.substr(0, nc.find("(- - -")),
                "%;\n(-Plattenmodus-);\nG54G90;\nG10L80P0R30.000;\nG10L80P1R15.000;\nZ30.500;\nG92 X0.000 Y0.000;\n"
                "(-Groups: 10 30 -);\nM98P10 (NoName);\nM98P30 (NoName);\nG00 X0.000 Y0.000;\nG92 X0.0 Y0.0;\nM02;\n");
    else
      EXPECT_EQ(nc.substr(0, nc.find("(- - -")),
                "%;\n(-Teilemodus-);\nG54G90;\n(-Groups: 10 30 -);\nM98P30;\nG92 X0.0 Y0.0;\nM02;\n");
    EXPECT_NE(nc.find("N10(-- contour: $K01 --);\n"), std::string::npos) << nc;
    EXPECT_NE(nc.find("N20(-- child of N10 --);\n"), std::string::npos) << nc;
    // Piece mode: every piece gets its own coordinate origin at its feed point.
    EXPECT_EQ(nc.find("G92 X105.000 Y-2.000;\n") != std::string::npos, mode == dmPIECE) << nc;
    EXPECT_EQ(nc.substr(nc.size() - 17), "(-----);\nM02;\n%;\n");
  }
  // A top plane word holding the register word takes no height.
  KxCopy(mS.TopPlane, sizeof mS.TopPlane, "ZH");
  EXPECT_EQ(Written([](FILE* f) { NcPlaneLines(f); }), "G10L80P0R30.000;\nG10L80P1R15.000;\nZH;\n");
}

TEST(NcDriver, ContourTextsFeedRemarkAndLongGroupLine) {
  ConsoleCapture cap;
  TempDir dir;
  for (int cancel : {0, 1}) {
    Fresh();
    KxCopy(homepath, sizeof homepath, (dir.Path() + "/").c_str());
    gCancelTextInfo = cancel;
    gDataInfo = 1;
    SquareContour(1, 0, 0);
    long t = Put(etTEXT, "$K01", 5, -3, 5, -3);
    KxCopy(elds[t].text, sizeof elds[t].text, "A=1.5 *Stempel");
    // Contour 2: four lines and a circle of exactly the grid radius, which is no feed point.
    Line("$K02", 50, 0, 60, 0);
    Line("$K02", 60, 0, 60, 10);
    Line("$K02", 60, 10, 50, 10);
    Line("$K02", 50, 10, 50, 0);
    Circle("$K02", 55, -2, gStartPosition);
    Circle("$K03", 100, 100, 10);   // a hole: no path elements, no remark
    const int parents[] = {0, 0, 0};
    Regions(3, parents);
    ProbeNwdOut();
    std::string nc = ReadFile(dataPath);
    EXPECT_EQ(nc.find("(--A=1.5 *Stempel);\n") != std::string::npos, cancel == 0) << nc;
    EXPECT_NE(nc.find("G01 X10.000 Y0.000 D#1 T1.500;"), std::string::npos) << nc;
    EXPECT_EQ(elds[t].used, 2);
    EXPECT_NE(nc.find("(--Len:0.000--);\n(NO FEED-POINT FOUND : 4 ELEMENTS);\n"), std::string::npos) << nc;
    EXPECT_EQ(nc.find("NO FEED-POINT"), nc.rfind("NO FEED-POINT"));
    EXPECT_NE(nc.find("(--HOLE-R10.000--);"), std::string::npos);
  }
  // Hundreds of top-level contours: the group line is written whole.
  Fresh();
  KxCopy(homepath, sizeof homepath, (dir.Path() + "/").c_str());
  static int parents[300] = {};
  Regions(300, parents);
  ProbeNwdOut();
  std::string nc = ReadFile(dataPath);
  EXPECT_NE(nc.find("-Groups: 10 20 30 "), std::string::npos);
  EXPECT_NE(nc.find(" 2990 3000 -);\n"), std::string::npos);
  EXPECT_NE(nc.find("N3000(-- Contour: $K300 --);\n"), std::string::npos);
}

TEST(NcDriver, NamingAfterTheDrawingAndFailedOutput) {
  ConsoleCapture cap;
  TempDir dir;
  Fresh();
  std::string parts = dir.Path() + "/parts";
  mkdir(parts.c_str(), 0755);
  KxCopy(in_filename, sizeof in_filename, (parts + "/plate7.dxf").c_str());
  KxCopy(data_filename, sizeof data_filename, "x*infile*");
  KxCopy(mS.Extension, sizeof mS.Extension, ".nc");
  SquareContour(1, 0, 0);
  const int parents[] = {0};
  Regions(1, parents);
  ProbeNwdOut();
  EXPECT_EQ(std::string(dataPath), parts + "/plate7.nc");
  EXPECT_TRUE(FileExists(parts + "/plate7.nc"));
  EXPECT_EQ(std::string(data_filename), "*infile*");
  EXPECT_EQ(gNcWriteFailed, 0);

  // A folder that does not exist: reported, flagged, nothing left behind.
  gNameByInfile = 0;
  KxCopy(homepath, sizeof homepath, (dir.Path() + "/missing/").c_str());
  KxCopy(data_filename, sizeof data_filename, "_nwd_out");
  ProbeNwdOut();
  EXPECT_EQ(gNcWriteFailed, 1);
  EXPECT_NE(cap.Text().find("could not be written"), std::string::npos);

  // A full table: no program at all.
  eldsMaximum = eldsCounter;
  cap.Clear();
  ProbeNwdOut();
  EXPECT_EQ(cap.Text(), "-Limit D-");
  EXPECT_EQ(gNcWriteFailed, 1);
}
