// Four-axis drawings: the contours of the top layer given to the contours below
// them, the sync lines tying the two, the wire angle MaxTaper bounds, the program
// that moves both guides, and the check that follows it.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <string>

#include "support/dxf_text.h"
#include "support/runs.h"
#include "support/support.h"

namespace {

// A square opening 20 mm wide with its start hole; a round top above it.
DxfText die(const std::string& version, double topX, double topR) {
  DxfText d(version);
  d.Polyline("DXF_MAIN", {{20, 10}, {40, 10}, {40, 30}, {20, 30}}).Circle("DXF_MAIN", 22, 20, 0.5);
  d.Circle("DXF_MAIN_TOP", topX, 20, topR);
  return d;
}

size_t count(const std::string& text, const std::string& part) {
  size_t n = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

// A program folder with the shipped devices, the drawing and a program to check.
struct Folder : ProgramFolder {
  Folder(const std::string& drawing, const std::string& program) {
    std::filesystem::copy(SourceDir() + "/devices", File("devices"), std::filesystem::copy_options::recursive);
    WriteFile(File("korvex.ini"), "OpenDataFile: 0\nPartHeight: 40\n");
    WriteFile(File("part.dxf"), drawing);
    WriteFile(File("part.NC"), program);
  }
  std::string Check() const { return RunProcess({Binary(), "--check", "part.NC", "part.dxf"}, Path()).output; }
};

std::string replaced(std::string text, const std::string& from, const std::string& to) {
  const size_t at = text.find(from);
  return at == std::string::npos ? text : text.replace(at, from.size(), to);
}

}  // namespace

TEST(FourAxis, ATopContourBelongsToTheContourBelowIt) {
  for (const char* version : {"AC1009", "AC1015"}) {
    const Conversion r = ConvertHere(die(version, 30, 9.5).Str(), "PartHeight: 40\nCheckProgram: 1");
    ASSERT_EQ(r.contours.size(), 2u) << version;
    ASSERT_TRUE(r.contours[1].upper) << version;
    EXPECT_EQ(r.contours[1].upper->loop.size(), 1u) << version;
    // Corner (20, 10) goes with the circle's point at 225 degrees: 4.64 mm off over 40 mm.
    EXPECT_NEAR(r.contours[1].upper->tilt, std::atan(std::hypot(10 - 9.5 / std::sqrt(2.0), 10 - 9.5 / std::sqrt(2.0)) / 40) * 180 / M_PI,
                0.01) << version;
    EXPECT_TRUE(Has(r.output, "program checked: 0 faults")) << r.output;
    // Upright at the start hole, tilted to the split point's pair, upright again at the end.
    EXPECT_TRUE(Has(r.program, "G10L80P2R40.000;\nG151;\nG01 X20.000 Y20.000 U0.500 V0.000 D0 (SplittPoint);\n")) << r.program;
    EXPECT_TRUE(Has(r.program, "/M01;\nG01 X20.000 Y20.000 U0.500 V0.000;\nG01 X22.000 Y20.000 U0.000 V0.000 D0;\nG150;\n"));
  }
  // Without its top layer the same drawing is the two-axis one.
  EXPECT_FALSE(Has(ConvertHere(die("AC1009", 30, 9.5).Str(), "PartHeight: 40\nTopLayer: 'ELSEWHERE'").program, "G151"));
  // Beside every contour, or over two alike: refused, named by where it lies.
  const Conversion beside = ConvertHere(die("AC1009", 130, 9.5).Str(), "PartHeight: 40");
  EXPECT_TRUE(Has(beside.output, "warning: top contour at X130.000 Y20.000 lies over no contour of the main layer: not cut"))
      << beside.output;
  DxfText two("AC1015");
  two.Polyline("DXF_MAIN", {{0, 0}, {10, 0}, {10, 10}, {0, 10}}).Circle("DXF_MAIN", 2, 5, 0.5);
  two.Polyline("DXF_MAIN", {{20, 0}, {30, 0}, {30, 10}, {20, 10}}).Circle("DXF_MAIN", 22, 5, 0.5);
  two.Circle("DXF_MAIN_TOP", 15, 5, 7);
  const Conversion both = ConvertHere(two.Str(), "PartHeight: 40");
  EXPECT_TRUE(Has(both.output, "top contour at X15.000 Y5.000 lies over $K01 and $K02 alike: not cut")) << both.output;
  EXPECT_TRUE(!both.contours[1].upper && !both.contours[2].upper);
  EXPECT_EQ(both.status, 0);   // both cut upright
}

TEST(FourAxis, SyncLinesThePartHeightAndMaxTaper) {
  for (const char* version : {"AC1009", "AC1015"}) {
    // A sync line from the corner to the circle's left point twists the surface.
    DxfText d = die(version, 30, 9.5);
    d.Line("DXF_MAIN_SYNC", 20, 10, 20.5, 20);
    const Conversion twisted = ConvertHere(d.Str(), "PartHeight: 40");
    EXPECT_TRUE(Has(twisted.log, "$K01 with the top contour at X30.000 Y20.000, 1 sync lines, largest wire angle 14.05 degrees"))
        << twisted.log;
    EXPECT_TRUE(Has(twisted.output, "over $K01: the wire would lean 14.05 degrees, more than MaxTaper 10.50: $K01 not cut"))
        << twisted.output;
    EXPECT_EQ(twisted.status, 5) << version;   // nothing is cut
    EXPECT_FALSE(Has(twisted.program, "G01 X20.000 Y30.000"));
    const Conversion allowed = ConvertHere(d.Str(), "PartHeight: 40\nMaxTaper: 15\nCheckProgram: 1");
    EXPECT_TRUE(Has(allowed.program, "G01 X20.000 Y10.000 U0.500 V10.000")) << allowed.program;   // the tie, passed together
    EXPECT_TRUE(Has(allowed.output, "program checked: 0 faults")) << allowed.output;
  }
  // The height from a text beside the contour, over PartHeight.
  DxfText high = die("AC1009", 30, 9.5);
  high.Text("DXF_MAIN", 25, 21, "TH=80");
  const Conversion tall = ConvertHere(high.Str(), "PartHeight: 40");
  EXPECT_TRUE(Has(tall.program, "G10L80P2R80.000;\nG151;")) << tall.program;
  const Conversion flat = ConvertHere(die("AC1009", 30, 9.5).Str());
  EXPECT_TRUE(Has(flat.output, "over $K01: no part height (TH= or PartHeight): $K01 not cut")) << flat.output;
}

// A device that names the upper arc's centre gets one block for two arcs of the
// same sweep; the shipped one writes their chords.
TEST(FourAxis, ArcsOfTheSameSweepInOneBlock) {
  DxfText d("AC1015");
  d.Line("DXF_MAIN", 20, 15, 40, 15).Arc("DXF_MAIN", 40, 20, 5, 270, 90).Line("DXF_MAIN", 40, 25, 20, 25).Arc("DXF_MAIN", 20, 20, 5, 90, 270);
  d.Circle("DXF_MAIN", 22, 18, 0.5);
  d.Line("DXF_MAIN_TOP", 20, 16, 40, 16).Arc("DXF_MAIN_TOP", 40, 20, 4, 270, 90).Line("DXF_MAIN_TOP", 40, 24, 20, 24);
  d.Arc("DXF_MAIN_TOP", 20, 20, 4, 90, 270);
  TempDir dir;
  WriteFile(dir.File("ARCS.SYN"), ReadFile(SourceDir() + "/devices/MAK_EE3.SYN") + "$UpperArc    \"KL\"\n");
  const Conversion arcs = ConvertHere(d.Str(), "PartHeight: 30\nCheckProgram: 1\nDevTarget: '" + dir.File("ARCS.SYN") + "'");
  EXPECT_TRUE(Has(arcs.program, "G02 X20.000 Y25.000 I0.000 J5.000 U0.000 V-1.000 K0.000 L4.000;")) << arcs.program;
  EXPECT_TRUE(Has(arcs.output, "program checked: 0 faults")) << arcs.output;
  const Conversion chords = ConvertHere(d.Str(), "PartHeight: 30\nCheckProgram: 1");
  EXPECT_FALSE(Has(chords.program, "G02")) << chords.program;
  EXPECT_GT(count(chords.program, "G01 X"), 50u);
  EXPECT_TRUE(Has(chords.output, "program checked: 0 faults")) << chords.output;
}

// What the check finds in a four-axis program that was changed by hand.
TEST(FourAxis, TheCheckFollowsBothGuides) {
  DxfText d = die("AC1009", 30, 9.5);
  d.Line("DXF_MAIN_SYNC", 20, 10, 20.5, 20);
  const std::string drawing = d.Str();
  const std::string program = ConvertHere(drawing, "PartHeight: 40\nMaxTaper: 15").program;
  ASSERT_TRUE(Has(program, "U0.500 V10.000")) << program;
  // The program as written, checked with MaxTaper 15: no fault.
  Folder same(drawing, program);
  WriteFile(same.File("korvex.ini"), "OpenDataFile: 0\nPartHeight: 40\nMaxTaper: 15\n");
  EXPECT_TRUE(Has(same.Check(), "1 cut, 0 faults")) << same.Check();
  // A top point shifted off the circle.
  Folder shifted(drawing, replaced(program, "U0.500 V10.000", "U0.600 V10.000"));
  WriteFile(shifted.File("korvex.ini"), "OpenDataFile: 0\nPartHeight: 40\nMaxTaper: 15\n");
  EXPECT_TRUE(Has(shifted.Check(), "the upper guide is 0.1000 mm off the top contour of $K01")) << shifted.Check();
  // The sync line's points never passed together: the tie's pair dropped.
  Folder missed(drawing, replaced(program, "G01 X20.000 Y10.000 U0.500 V10.000;\n", ""));
  WriteFile(missed.File("korvex.ini"), "OpenDataFile: 0\nPartHeight: 40\nMaxTaper: 15\n");
  EXPECT_TRUE(Has(missed.Check(), "$K01: the sync line from X20.000 Y10.000 to X20.500 Y20.000 is not passed")) << missed.Check();
  // The same program under the default MaxTaper: every block beyond it is a fault.
  Folder steep(drawing, program);
  const std::string told = steep.Check();
  EXPECT_TRUE(Has(told, "more than MaxTaper 10.50")) << told;
  EXPECT_GT(count(told, "leans"), 0u);
  // Threaded with the wire tilted.
  Folder tilted(drawing, replaced(program, "G00 X22.000 Y20.000 (FeedPoint);\nM60;", "G00 X22.000 Y20.000 U1.000 V0.000;\nM60;"));
  WriteFile(tilted.File("korvex.ini"), "OpenDataFile: 0\nPartHeight: 40\nMaxTaper: 15\n");
  EXPECT_TRUE(Has(tilted.Check(), "the wire is threaded tilted (U1.000 V0.000 off the lower guide)")) << tilted.Check();
}
