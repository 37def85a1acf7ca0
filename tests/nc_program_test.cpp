// Whole NC programs from drawings, through the console program in a program
// folder: the worked square example line for line in both drawing layouts, a
// hole, inset contours, a multi-cut contour and a program that cannot be
// written.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include "support/dxf_text.h"
#include "support/support.h"

namespace {

// A square of side s at (x, y) on the main layer with its feed circle at (x + s/2, feedY);
// the top side is drawn right to left unless flipped (the cut runs the same way).
DxfText& Square(DxfText& d, double x, double y, double s, double feedY, bool flipTop = false) {
  d.Line("DXF_MAIN", x, y, x + s, y).Line("DXF_MAIN", x + s, y, x + s, y + s);
  if (flipTop) d.Line("DXF_MAIN", x, y + s, x + s, y + s);
  else d.Line("DXF_MAIN", x + s, y + s, x, y + s);
  return d.Line("DXF_MAIN", x, y + s, x, y).Circle("DXF_MAIN", x + s / 2, feedY, 0.5);
}

std::string SquareDrawing(const std::string& version) {
  DxfText d(version);
  return Square(d.Layer("DXF_MAIN"), 0, 0, 10, 2, version == "AC1015").Str();
}

// The head of the worked example with the plate reference that the run derives
// from the feed point, and the console's block head.
const char* kSquareProgram =
    "%;\n(-Plattenmodus-);\nG54G90;\nG10L80P0R30.000;\nG10L80P1R15.000;\nG10L80P1R30.500;\n"
    "G92 X5.000 Y2.000;\n(-Groups: 10 -);\nM98P10 (NoName);\nG00 X5.000 Y2.000;\nG92 X0.0 Y0.0;\nM02;\n"
    "(- - - - - - - - - - - -);\nN10(-- Contour: $K01 --);\n(-missing-TechData- reset);\nG00 X5.000 Y2.000;\n"
    "M06;\nM17;\nG90G42G44G52;\nG01 X5.000 Y0.000 D0T0;\nG01 X0.000 Y0.000 D#1 T0.000;\nG01 X0.000 Y10.000;\n"
    "G01 X10.000 Y10.000;\nG01 X10.000 Y0.000;\nG01 X6.000 Y0.000;\n/2M01;/1M07;\nG01 X5.000 Y0.000;\n"
    "G01 X5.000 Y2.000 D0T0;\nG40G43G50;\nM07;\nM99;\n(-----);\nM02;\n%;\n";

ProcessResult Convert(const ProgramFolder& pf, const std::string& drawing) {
  WriteFile(pf.File("part.dxf"), drawing);
  return RunProcess({pf.Binary(), "part.dxf"}, pf.Path());
}

// Converts in a fresh program folder; the run succeeds and leaves no temporary file.
std::string Program(const std::string& drawing) {
  ProgramFolder pf;
  ProcessResult r = Convert(pf, drawing);
  EXPECT_EQ(r.status, 0) << r.output;
  EXPECT_FALSE(FileExists(pf.File("_nwd_out.txt.kxtmp")));
  return ReadFile(pf.File("_nwd_out.txt"));
}

}  // namespace

TEST(NcProgram, WorkedSquareComesOutLineForLineInBothLayouts) {
  for (const char* version : {"AC1009", "AC1015"}) EXPECT_EQ(Program(SquareDrawing(version)), kSquareProgram) << version;
}

TEST(NcProgram, LargeCircleBecomesAHoleProgram) {
  DxfText d("AC1009");
  std::string nc = Program(d.Layer("DXF_MAIN").Circle("DXF_MAIN", 10, 10, 4).Str());
  EXPECT_NE(nc.find("N10(-- Contour: $K01 --);\n(--HOLE-R4.000--);\n(-missing-TechData- reset);\n#4=#1-0.002;\n"
                    "G00 X10.000 Y10.000;\nM06;\nM17;\nG90G42G44G52;\nG01 X14.000 Y10.000 D0T0;\n"
                    "G02 X8.000 Y6.536 I-4.000 J0.000 D#4 T0.000;\nG02 X8.000 Y13.464 I2.000 J3.464;\n"
                    "G02 X13.864 Y11.035 I2.000 J-3.464;\n/2M01;/1M07;\nG02 X13.939 Y9.305 I-3.864 J-1.035;\n"
                    "G01 X10.000 Y10.000 D0T0;\nG40G43G50;\nM07;\nM99;\n(-----);\n"),
            std::string::npos) << nc;
}

TEST(NcProgram, InsetSquareIsCalledFromItsParentWithOneAndThreeCuts) {
  for (bool threeCuts : {false, true}) {
    DxfText d("AC1015");
    Square(Square(d.Layer("DXF_MAIN"), 0, 0, 100, -2), 40, 40, 20, 42);
    if (threeCuts) d.Text("DXF_MAIN", 52, -4, "CQ=3");
    std::string nc = Program(d.Str());
    EXPECT_NE(nc.find("(-Groups: 10 -);\nM98P10 (NoName);\nG00"), std::string::npos) << nc;
    const std::string tech = "(-missing-TechData- reset);\n", cut = tech + "M98P11;\n";
    const std::string calls = "M98P20;\nM98P12;\nM99;\nN12(---);\nG00 X50.000 Y-2.000;\nM06;\n";
    std::string block = "N10(-- Contour: $K01 --);\n" +
                        (threeCuts ? "G00 X50.000 Y-2.000;\n" + cut + cut + cut +
                                         "G00 X50.000 Y-2.000 ;\nM99;\n(- - - - - - - - - - - -);\nN11(----);\n"
                                   : tech) + calls;
    EXPECT_NE(nc.find(block), std::string::npos) << nc;
    EXPECT_NE(nc.find("N20(-- child of N10 --);\nG00 X50.000 Y42.000;\nM06;\n"), std::string::npos) << nc;
  }
}

TEST(NcProgram, UnwritableProgramEndsWithStatus4AndKeepsTheEarlierFile) {
  // The target path is a folder: the composed program cannot replace it.
  ProgramFolder pf;
  mkdir(pf.File("_nwd_out.txt").c_str(), 0755);
  ProcessResult r = Convert(pf, SquareDrawing("AC1009"));
  EXPECT_EQ(r.status, 4) << r.output;
  EXPECT_NE(r.output.find("could not be written"), std::string::npos) << r.output;
  EXPECT_FALSE(FileExists(pf.File("_nwd_out.txt.kxtmp")));
  // An earlier program stays as it was when the new one cannot be composed
  // (here a folder stands where the program is composed).
  ProgramFolder pf2;
  WriteFile(pf2.File("_nwd_out.txt"), "earlier\n");
  mkdir(pf2.File("_nwd_out.txt.kxtmp").c_str(), 0755);
  EXPECT_EQ(Convert(pf2, SquareDrawing("AC1009")).status, 4);
  EXPECT_EQ(ReadFile(pf2.File("_nwd_out.txt")), "earlier\n");
}

// Drawing texts come out upper-cased by the structure check.
TEST(NcProgram, TwoCutsMakeAMultiCutSubProgramNamedByTheText) {
  DxfText d("AC1009");
  std::string nc = Program(Square(d.Layer("DXF_MAIN"), 0, 0, 10, 2).Text("DXF_MAIN", 6, 3, "CQ=2 *Matrize").Str());
  EXPECT_NE(nc.find("M98P10 (MATRIZE);\n"), std::string::npos) << nc;
  EXPECT_NE(nc.find("N10(-- Contour: $K01 --);\nG00 X5.000 Y2.000;\n(-missing-TechData- reset);\nM98P11;\n"
                    "(-missing-TechData- reset);\nM98P11;\nG00 X5.000 Y2.000 ;\nM99;\n(- - - - - - - - - - - -);\n"
                    "N11(--MATRIZE--);\nG00 X5.000 Y2.000;\nM06;\n"),
            std::string::npos) << nc;
}
