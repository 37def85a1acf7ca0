// The NC program checker itself: it must accept a sound program and name each
// kind of fault, or the end-to-end tests that rely on it prove nothing.
#include <gtest/gtest.h>

#include "support/nc_check.h"

namespace {

devSyntax defaultWords() {
  devSyntax d{};
  snprintf(d.ProEpilog, sizeof d.ProEpilog, "%%");
  snprintf(d.EOL, sizeof d.EOL, ";");
  snprintf(d.RemarkOn, sizeof d.RemarkOn, "(");
  snprintf(d.RemarkOff, sizeof d.RemarkOff, ")");
  snprintf(d.SubJump, sizeof d.SubJump, "M98P");
  snprintf(d.SubReturn, sizeof d.SubReturn, "M99");
  return d;
}

const char* kSound =
    "%;\n(-Plattenmodus-);\nG54G90;\nG92 X0.000 Y0.000;\n(-Groups: 10 -);\nM98P10 (NoName);\n"
    "G00 X0.000 Y0.000;\nG92 X0.0 Y0.0;\nM02;\n(- - - - - - - - - - - -);\nN10(-- Contour: $K01 --);\n"
    "(-missing-TechData- reset);\nG00 X5.000 Y2.000;\nM06;\nM17;\nG90G42G44G52;\n"
    "G01 X5.000 Y0.000 D0T0;\nG01 X0.000 Y0.000 D#1 T0.000;\nG01 X0.000 Y10.000;\n"
    "G01 X10.000 Y10.000;\nG02 X10.000 Y0.000 I0.000 J-5.000;\nG01 X6.000 Y0.000;\n/2M01;/1M07;\nG01 X5.000 Y0.000;\n"
    "G01 X5.000 Y2.000 D0T0;\nG40G43G50;\nM07;\nM99(-CLOSED.CONTOUR-);\n(-----);\nM02;\n%;\n";

}  // namespace

TEST(NcChecker, AcceptsASoundProgram) {
  NcCheck c = CheckNcProgram(kSound, defaultWords());
  EXPECT_TRUE(c.Ok()) << c.Report();
  EXPECT_EQ(c.blocks, 1);
  EXPECT_EQ(c.calls, 1);
  EXPECT_EQ(c.arcs, 1);
  EXPECT_EQ(c.closedCuts, 1);
  EXPECT_EQ(c.sideChecks, 1);
}

TEST(NcChecker, NamesEachKindOfFault) {
  const devSyntax d = defaultWords();
  auto faults = [&](std::string text, const std::string& from, const std::string& to) {
    size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    text.replace(at, from.size(), to);
    return CheckNcProgram(text, d);
  };
  EXPECT_FALSE(faults(kSound, "%;\n(-P", "(-P").Ok());                    // no opening delimiter
  EXPECT_FALSE(faults(kSound, "M98P10 ", "M98P20 ").Ok());                // call without block
  EXPECT_FALSE(faults(kSound, "M99(-CLOSED.CONTOUR-);\n", "").Ok());      // block without return
  EXPECT_FALSE(faults(kSound, "G01 X0.000 Y10.000", "G01 X-nan Y10.000").Ok());
  EXPECT_FALSE(faults(kSound, "J-5.000", "J-4.000").Ok());                 // centre off the arc
  EXPECT_FALSE(faults(kSound, "G90G42", "G90G41").Ok());                  // wire in the material
  EXPECT_FALSE(faults(kSound, "G00 X5.000 Y2.000;\nM06", "G00 X5.000 Y-2.000;\nM06").Ok());  // hole outside, wire inside
  EXPECT_FALSE(faults(kSound, "(-----);\nM02", "(-----);\nN20(-- Contour: $K02 --);\nM99;\n(-----);\nM02").Ok());  // never called
  EXPECT_FALSE(faults(kSound, "G01 X5.000 Y0.000;\nG01 X5.000 Y2.000", "G01 X5.500 Y0.000;\nG01 X5.000 Y2.000").Ok());
  EXPECT_TRUE(faults(kSound, "(-missing-TechData- reset)", "(info: inferred)").Ok());  // words are no numbers
}
