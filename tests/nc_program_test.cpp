// Whole NC programs from drawings, through the console program in a program
// folder: the worked square example line for line in both drawing layouts
// (programs that cannot be written: outputs_test). Holes, multi-cut blocks and the order of inset
// calls are compared text for text in the die plate example (corpus_test).
#include <gtest/gtest.h>

#include "support/dxf_text.h"
#include "support/support.h"

namespace {

// The worked square of side 10 with its feed circle at (5, 2); in the 2000 layout the
// top side is drawn left to right (the cut runs the same way).
std::string SquareDrawing(const std::string& version) {
  DxfText d(version);
  d.Layer("DXF_MAIN").Line("DXF_MAIN", 0, 0, 10, 0).Line("DXF_MAIN", 10, 0, 10, 10);
  if (version == "AC1015") d.Line("DXF_MAIN", 0, 10, 10, 10);
  else d.Line("DXF_MAIN", 10, 10, 0, 10);
  return d.Line("DXF_MAIN", 0, 10, 0, 0).Circle("DXF_MAIN", 5, 2, 0.5).Str();
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

}  // namespace

// Each in a fresh program folder.
TEST(NcProgram, WorkedSquareComesOutLineForLineInBothLayouts) {
  for (const char* version : {"AC1009", "AC1015"}) {
    ProgramFolder pf;
    EXPECT_EQ(Convert(pf, SquareDrawing(version)).status, 0) << version;
    EXPECT_EQ(ReadFile(pf.File("_nwd_out.txt")), kSquareProgram) << version;
  }
}
