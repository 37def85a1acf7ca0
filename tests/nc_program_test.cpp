// Whole NC programs from drawings, through the console program in a program
// folder: the worked square example line for line in both drawing layouts, a
// hole, inset contours, a multi-cut contour and a program that cannot be
// written.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include "support/dxf_text.h"
#include "support/support.h"

namespace {

std::string SquareDrawing(const std::string& version) {
  DxfText d(version);
  d.Layer("DXF_MAIN")
      .Line("DXF_MAIN", 0, 0, 10, 0)
      .Line("DXF_MAIN", 10, 0, 10, 10)
      .Line("DXF_MAIN", 10, 10, 0, 10)
      .Line("DXF_MAIN", 0, 10, 0, 0)
      .Circle("DXF_MAIN", 5, 2, 0.5);
  return d.Str();
}

// The head of the worked example with the plate reference that the run derives
// from the feed point, and the console's block head.
const char* kSquareProgram =
    "%;\n"
    "(-Plattenmodus-);\n"
    "G54G90;\n"
    "G10L80P0R30.000;\n"
    "G10L80P1R15.000;\n"
    "G10L80P1R30.500;\n"
    "G92 X5.000 Y2.000;\n"
    "(-Groups: 10 -);\n"
    "M98P10 (NoName);\n"
    "G00 X5.000 Y2.000;\n"
    "G92 X0.0 Y0.0;\n"
    "M02;\n"
    "(- - - - - - - - - - - -);\n"
    "N10(-- Contour: $K01 --);\n"
    "(-missing-TechData- reset);\n"
    "G00 X5.000 Y2.000;\n"
    "M06;\n"
    "M17;\n"
    "G90G42G44G52;\n"
    "G01 X5.000 Y0.000 D0T0;\n"
    "G01 X10.000 Y0.000 D#1 T0.000;\n"
    "G01 X10.000 Y10.000;\n"
    "G01 X0.000 Y10.000;\n"
    "G01 X0.000 Y0.000;\n"
    "G01 X4.000 Y0.000;\n"
    "/2M01;/1M07;\n"
    "G01 X5.000 Y0.000;\n"
    "G01 X5.000 Y2.000 D0T0;\n"
    "G40G43G50;\n"
    "M07;\n"
    "M99;\n"
    "(-----);\n"
    "M02;\n"
    "%;\n";

ProcessResult Convert(const ProgramFolder& pf, const std::string& drawing, const std::string& name = "part.dxf") {
  WriteFile(pf.File(name), drawing);
  return RunProcess({pf.Binary(), name}, pf.Path());
}

}  // namespace

TEST(NcProgram, WorkedSquareComesOutLineForLineInBothLayouts) {
  for (const char* version : {"AC1009", "AC1015"}) {
    SCOPED_TRACE(version);
    ProgramFolder pf;
    ProcessResult r = Convert(pf, SquareDrawing(version));
    EXPECT_EQ(r.status, 0) << r.output;
    EXPECT_EQ(ReadFile(pf.File("_nwd_out.txt")), kSquareProgram) << r.output;
    EXPECT_FALSE(FileExists(pf.File("_nwd_out.txt.kxtmp")));
  }
}

TEST(NcProgram, LargeCircleBecomesAHoleProgram) {
  ProgramFolder pf;
  DxfText d("AC1009");
  d.Layer("DXF_MAIN").Circle("DXF_MAIN", 10, 10, 4);
  ProcessResult r = Convert(pf, d.Str());
  ASSERT_EQ(r.status, 0) << r.output;
  std::string nc = ReadFile(pf.File("_nwd_out.txt"));
  const char* block =
      "N10(-- Contour: $K01 --);\n"
      "(--HOLE-R4.000--);\n"
      "(-missing-TechData- reset);\n"
      "#4=#1-0.002;\n"
      "G00 X10.000 Y10.000;\n"
      "M06;\n"
      "M17;\n"
      "G90G42G44G52;\n"
      "G01 X14.000 Y10.000 D0T0;\n"
      "G02 X8.000 Y6.536 I-4.000 J0.000 D#4 T0.000;\n"
      "G02 X8.000 Y13.464 I2.000 J3.464;\n"
      "G02 X13.864 Y11.035 I2.000 J-3.464;\n"
      "/2M01;/1M07;\n"
      "G02 X13.939 Y9.305 I-3.864 J-1.035;\n"
      "G01 X10.000 Y10.000 D0T0;\n"
      "G40G43G50;\n"
      "M07;\n"
      "M99;\n"
      "(-----);\n";
  EXPECT_NE(nc.find(block), std::string::npos) << nc;
}

TEST(NcProgram, InsetSquareIsCalledFromItsParentWithOneAndThreeCuts) {
  for (bool threeCuts : {false, true}) {
    SCOPED_TRACE(threeCuts ? "three cuts" : "one cut");
    ProgramFolder pf;
    DxfText d("AC1015");
    d.Layer("DXF_MAIN")
        .Line("DXF_MAIN", 0, 0, 100, 0)
        .Line("DXF_MAIN", 100, 0, 100, 100)
        .Line("DXF_MAIN", 100, 100, 0, 100)
        .Line("DXF_MAIN", 0, 100, 0, 0)
        .Circle("DXF_MAIN", 50, -2, 0.5)
        .Line("DXF_MAIN", 40, 40, 60, 40)
        .Line("DXF_MAIN", 60, 40, 60, 60)
        .Line("DXF_MAIN", 60, 60, 40, 60)
        .Line("DXF_MAIN", 40, 60, 40, 40)
        .Circle("DXF_MAIN", 50, 42, 0.5);
    if (threeCuts) d.Text("DXF_MAIN", 52, -4, "CQ=3");
    ProcessResult r = Convert(pf, d.Str());
    ASSERT_EQ(r.status, 0) << r.output;
    std::string nc = ReadFile(pf.File("_nwd_out.txt"));
    EXPECT_NE(nc.find("(-Groups: 10 -);\nM98P10 (NoName);\nG00"), std::string::npos) << nc;
    const std::string tech = "(-missing-TechData- reset);\n";
    const std::string calls = "M98P20;\nM98P12;\nM99;\nN12(---);\nG00 X50.000 Y-2.000;\nM06;\n";
    std::string block = "N10(-- Contour: $K01 --);\n";
    if (threeCuts)
      block += "G00 X50.000 Y-2.000;\n" + tech + "M98P11;\n" + tech + "M98P11;\n" + tech + "M98P11;\n" +
               "G00 X50.000 Y-2.000 ;\nM99;\n(- - - - - - - - - - - -);\nN11(----);\n" + calls;
    else
      block += tech + calls;
    EXPECT_NE(nc.find(block), std::string::npos) << nc;
    EXPECT_NE(nc.find("N20(-- child of N10 --);\nG00 X50.000 Y42.000;\nM06;\n"), std::string::npos) << nc;
  }
}

TEST(NcProgram, UnwritableProgramEndsWithStatus4AndKeepsTheEarlierFile) {
  ProgramFolder pf;
  // The target path is a folder: the composed program cannot replace it.
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
  ProcessResult r2 = Convert(pf2, SquareDrawing("AC1009"));
  EXPECT_EQ(r2.status, 4) << r2.output;
  EXPECT_EQ(ReadFile(pf2.File("_nwd_out.txt")), "earlier\n");
}

// Drawing texts come out upper-cased by the structure check.
TEST(NcProgram, TwoCutsMakeAMultiCutSubProgramNamedByTheText) {
  ProgramFolder pf;
  DxfText d("AC1009");
  d.Layer("DXF_MAIN")
      .Line("DXF_MAIN", 0, 0, 10, 0)
      .Line("DXF_MAIN", 10, 0, 10, 10)
      .Line("DXF_MAIN", 10, 10, 0, 10)
      .Line("DXF_MAIN", 0, 10, 0, 0)
      .Circle("DXF_MAIN", 5, 2, 0.5)
      .Text("DXF_MAIN", 6, 3, "CQ=2 *Matrize");
  ProcessResult r = Convert(pf, d.Str());
  ASSERT_EQ(r.status, 0) << r.output;
  std::string nc = ReadFile(pf.File("_nwd_out.txt"));
  EXPECT_NE(nc.find("M98P10 (MATRIZE);\n"), std::string::npos) << nc;
  EXPECT_NE(nc.find("N10(-- Contour: $K01 --);\nG00 X5.000 Y2.000;\n(-missing-TechData- reset);\nM98P11;\n"
                    "(-missing-TechData- reset);\nM98P11;\nG00 X5.000 Y2.000 ;\nM99;\n(- - - - - - - - - - - -);\n"
                    "N11(--MATRIZE--);\nG00 X5.000 Y2.000;\nM06;\n"),
            std::string::npos)
      << nc;
}
