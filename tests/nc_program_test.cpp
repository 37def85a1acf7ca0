// Whole NC programs from drawings, through the console program in a program
// folder: the worked square example line for line in both drawing layouts, and
// texts from outside that must stay remarks (programs that cannot be written:
// outputs_test). Holes, multi-cut blocks and the order of inset calls are
// compared text for text in the die plate example (corpus_test).
#include <gtest/gtest.h>

#include <filesystem>

#include "support/dxf_text.h"
#include "support/runs.h"
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

// What the control executes: the program without its remarks.
static std::string MachineWords(const std::string& program, const std::string& on, const std::string& off) {
  std::string out;
  for (size_t i = 0; i < program.size();) {
    if (program.compare(i, on.size(), on) != 0) {
      out += program[i++];
      continue;
    }
    const size_t end = program.find(off, i + on.size());
    const size_t line = program.find('\n', i);
    i = end != std::string::npos && end < line ? end + off.size() : line;
  }
  return out;
}

// A drawing's texts, its file name and its layer reach the program only as
// remarks: with the characters that end a remark or a block in them, the
// machine words are those of the same drawing with plain texts.
TEST(NcProgram, TextsFromOutsideNeverBecomeMachineWords) {
  struct Device { const char* name; const char* file; const char* on; const char* off; };
  const Device devices[] = {
      {"built-in words", nullptr, "(", ")"},
      {"shipped", "MAK_EE3.SYN", "(", ")"},
      {"braces", "BRACES.SYN", "{", "}"},
  };
  const std::string hostile = "*A);G00X-500;M30;({G01}$%\t\x1b|<";
  const std::string plain(hostile.size(), 'X');
  for (const Device& dev : devices) {
    std::string programs[2];
    for (int variant = 0; variant < 2; ++variant) {
      const std::string& t = variant ? plain : hostile;
      ProgramFolder pf;
      std::string ini = "GlobTextInfo: 1\nRemTextInfo: 0\nOpenDataFile: 0\nAddDataInfo: 1\n";
      if (dev.file) {
        std::filesystem::copy(SourceDir() + "/devices", pf.File("devices"), std::filesystem::copy_options::recursive);
        ini += std::string("DevTarget: '") + dev.file + "'\n";
        WriteFile(pf.File("devices/BRACES.SYN"),
                  "$RemarkOn \"{\"\n$RemarkOff \"}\"\n$EOL \"$\"\n$Extension \".NC\"\n$SubJump \"M98P\"\n");
      }
      WriteFile(pf.File("korvex.ini"), ini);
      const std::string layer = "DXF_MAIN";
      DxfText d("AC1009");
      d.Layer(layer).Line(layer, 0, 0, 10, 0).Line(layer, 10, 0, 10, 10).Line(layer, 10, 10, 0, 10);
      d.Line(layer, 0, 10, 0, 0).Circle(layer, 5, 2, 0.5).Text(layer, 5, 1, "Q2_ST20 " + t);
      d.Text(layer, 500, 500, "#DIRECTIVE Q2 " + t);
      const std::string name = variant ? "pXXXXXXXXXXXX.dxf" : "p;)(%{}$%;)(%.dxf";
      WriteFile(pf.File(name), d.Str());
      ProcessResult r = RunProcess({pf.Binary(), name}, pf.Path());
      ASSERT_EQ(r.status, 0) << dev.name << r.output;
      for (const auto& e : std::filesystem::directory_iterator(pf.Path()))
        if (e.path().filename().string().rfind("_nwd_out", 0) == 0) programs[variant] = ReadFile(e.path().string());
    }
    SCOPED_TRACE(dev.name);
    ASSERT_TRUE(Has(programs[1], "XXXXXXXX")) << programs[1];  // the texts are in the program
    EXPECT_EQ(MachineWords(programs[0], dev.on, dev.off), MachineWords(programs[1], dev.on, dev.off))
        << programs[0];
  }
}

// The analysis looks only at records near a point or a box; what it picks must be
// what a scan of the whole table in its order picked. Four parts far apart: a
// start hole as near to two sides (the side drawn first is entered), ends
// joined at exactly the tolerance across x 1000 and one just beyond it, three
// nested squares (each the child of the next larger one) and a side drawn twice.
TEST(NcProgram, NearestAndFirstAreTheSameWithTheSearchNarrowedByPlace) {
  const std::string L = "DXF_MAIN";
  DxfText d("AC1009");
  d.Layer(L).Line(L, 0, 0, 10, 0).Line(L, 10, 0, 10, 10).Line(L, 10, 10, 0, 10).Line(L, 0, 10, 0, 0);
  d.Circle(L, 2, 2, 0.5);
  d.Line(L, 999.999, 0, 1009.999, 0).Line(L, 1009.999, 0, 1009.999, 10).Line(L, 1009.999, 10, 1000.001, 10);
  d.Line(L, 1000.001, 10, 1000.001, 0).Circle(L, 1005, 2, 0.5);
  d.Line(L, 2000, 0, 2010, 0).Line(L, 2010, 0, 2010, 10).Line(L, 2010, 10, 2000.003, 10);
  d.Line(L, 2000.003, 10, 2000.003, 0).Circle(L, 2005, 2, 0.5);
  for (double s : {20.0, 28.0, 36.0}) {
    const double x = -486 - s / 2, y = 14 - s / 2;
    d.Line(L, x, y, x + s, y).Line(L, x + s, y, x + s, y + s).Line(L, x + s, y + s, x, y + s).Line(L, x, y + s, x, y);
    d.Circle(L, x + s / 2, y + 2, 0.5);
  }
  d.Line(L, 3000, 0, 3010, 0).Line(L, 3010, 0, 3010, 10).Line(L, 3010, 10, 3000, 10).Line(L, 3000, 10, 3000, 0);
  d.Line(L, 3010.001, 0, 3000, 0).Circle(L, 3005, 2, 0.5);
  for (const char* more : {"", "AutoStartHoles: 1\n"}) {
    const Conversion r = ConvertText(d.Str(), more);
    ASSERT_EQ(r.status, 0) << r.output;
    EXPECT_TRUE(Has(r.program, "G01 X2.000 Y0.000 D0A0")) << r.program;
    EXPECT_FALSE(Has(r.program, "$K02 OPEN CONTOUR")) << r.program;
    EXPECT_TRUE(Has(r.program, "$K03 OPEN CONTOUR")) << r.program;
    EXPECT_TRUE(Has(r.program, "N40(-- child of N50 --)")) << r.program;
    EXPECT_TRUE(Has(r.program, "N50(-- child of N60 --)")) << r.program;
    EXPECT_EQ(CountOf(r.output, "DUPLICATE OF"), 1u) << r.output;
  }
}
