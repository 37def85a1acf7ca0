// The NC program checker itself: it must name each kind of fault, or the end-to-end
// tests that rely on it prove nothing (that it accepts sound programs, counting what
// it checked, is seen on the examples and the corpus).
#include <gtest/gtest.h>

#include "support/nc_check.h"
#include "support/support.h"
#include "run/run.h"

namespace {

// The words of a device file that cannot be found.
devSyntax defaultWords() {
  FreshCore();
  ConsoleCapture quiet;
  SetDevSyntax(TestRun(), "no-such-device.SYN");
  return TestRun().cfg.mS;
}

const char* kSound =
    "%;\n(-Plattenmodus-);\nG54G90;\nG92 X0.000 Y0.000;\n(-Groups: 10 -);\nM98P10 (NoName);\n"
    "G00 X0.000 Y0.000;\nG92 X0.0 Y0.0;\nM02;\n(- - - - - - - - - - - -);\nN10(-- Contour: $K01 --);\n"
    "(-missing-TechData- reset);\nG00 X5.000 Y2.000;\nM06;\nM17;\nG90G42G44G52;\n"
    "G01 X5.000 Y0.000 D0T0;\nG01 X0.000 Y0.000 D#1 T0.000;\nG01 X0.000 Y10.000;\n"
    "G01 X10.000 Y10.000;\nG02 X10.000 Y0.000 I0.000 J-5.000;\nG01 X6.000 Y0.000;\n/2M01;/1M07;\nG01 X5.000 Y0.000;\n"
    "G01 X5.000 Y2.000 D0T0;\nG40G43G50;\nM07;\nM99(-CLOSED.CONTOUR-);\n(-----);\nM02;\n%;\n";

}  // namespace

TEST(NcChecker, NamesEachKindOfFault) {
  const devSyntax d = defaultWords();
  auto faults = [&](std::string text, const std::string& from, const std::string& to, const NcCheckOptions& o = {}) {
    size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    text.replace(at, from.size(), to);
    return CheckNcProgram(text, d, o);
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
  // A start hole outside, the wire outside: sound from below, through the top side from above.
  const std::string inside = "G00 X5.000 Y2.000;\nM06;\nM17;\nG90G42";
  EXPECT_TRUE(faults(kSound, inside, "G00 X5.000 Y-2.000;\nM06;\nM17;\nG90G41").Ok());
  NcCheck across = faults(kSound, inside, "G00 X5.000 Y12.000;\nM06;\nM17;\nG90G41");
  ASSERT_EQ(across.problems.size(), 1u) << across.Report();
  EXPECT_NE(across.problems[0].find("lead-in crosses a cut contour"), std::string::npos);

  // Rapid moves with the wire threaded: an explicit G00, and a move that keeps G00 in force.
  const std::string top = "G01 X0.000 Y10.000;\nG01 X10.000 Y10.000;\n";
  EXPECT_FALSE(faults(kSound, top, "G00 X0.000 Y10.000;\nG01 X10.000 Y10.000;\n").Ok());
  NcCheckOptions oneRapid;
  oneRapid.askedRapids = 1;   // a rapid-move layer asks for one
  EXPECT_TRUE(faults(kSound, top, "G00 X0.000 Y10.000;\nG01 X10.000 Y10.000;\n", oneRapid).Ok());
  EXPECT_FALSE(faults(kSound, top, "G00 X0.000 Y10.000;\n X10.000 Y10.000;\n", oneRapid).Ok());
  // The wire left threaded by a NoCut may travel at rapid to the next contour.
  EXPECT_FALSE(faults(kSound, "G40G43G50;\nM07;\n", "G40G43G50;\nM07;\nM06;\nG00 X0.000 Y0.000;\n").Ok());
  EXPECT_TRUE(faults(kSound, "G40G43G50;\nM07;\n", "G40G43G50;\n(NoCut);\nG00 X0.000 Y0.000;\n").Ok());
  // An element cut twice: the path turns back along the top side.
  EXPECT_FALSE(faults(kSound, top, top + "G01 X0.000 Y10.000;\nG01 X10.000 Y10.000;\n").Ok());
  // A cut that does not come back is sound only when the writer reports the contour open.
  const std::string close = "G01 X6.000 Y0.000;\n/2M01;/1M07;\nG01 X5.000 Y0.000;\n";
  EXPECT_FALSE(faults(kSound, close, "").Ok());
  std::string open = kSound;
  open.replace(open.find("M99(-CLOSED"), 22, "M99(-- $K01 OPEN CONTOUR TROUBLE --);");
  EXPECT_TRUE(faults(open, close, "").Ok());
  // With the drawing's elements, every cutting move must run along one of them.
  NcCheckOptions drawn;
  drawn.elements = {{false, 0, 0, 10, 0}, {false, 0, 0, 0, 10}, {true, 0, 0, 0, 0, 10, 5, 5}};
  NcCheck missingTop = CheckNcProgram(kSound, d, drawn);
  EXPECT_FALSE(missingTop.Ok());
  drawn.elements.push_back({false, 0, 10, 10, 10});
  NcCheck along = CheckNcProgram(kSound, d, drawn);
  EXPECT_TRUE(along.Ok()) << along.Report();
  EXPECT_EQ(along.pathChecks, 6);
}
