// The element table grows up to its bound and says so when a drawing reaches it;
// arcs no longer than the tolerance are points. (The bound is lowered here: no
// drawing of a test can reach the real one.)
#include <gtest/gtest.h>

#include "elements/elements.h"
#include "report/report.h"
#include "support/dxf_text.h"
#include "support/runs.h"
#include "support/support.h"
#include "run/run.h"

TEST(Elements, TheTableGrowsUpToItsBound) {
  FreshCore();
  ClearElements(TestRun());
  AddReservedElements(TestRun());
  EXPECT_EQ(TestRun().table.eldsMaximum, kMaxElementRecords);
  const elementdaten& early = TestRun().table.elds[2];
  for (long i = TestRun().table.eldsCounter; i < 10000; ++i) {
    KxNewElement line;
    line.sx = (float)i;
    AddElement(TestRun(), etLINE, line, gNoText);
  }
  EXPECT_EQ(&early, &TestRun().table.elds[2]);   // a reference held while records are appended stays good
  EXPECT_EQ(TestRun().table.elds[9999].num, 9999);
  EXPECT_EQ(TestRun().table.elds[9999].sx, 9999.0f);
  EXPECT_EQ(TestRun().table.elds[123456].type, 0);   // a record never touched reads as zero
  TestRun().table.eldsMaximum = 10001;
  ConsoleCapture out;
  AddElement(TestRun(), etLINE, KxNewElement{}, gNoText);
  AddElement(TestRun(), etLINE, KxNewElement{}, gNoText);
  out.Clear();
  EXPECT_EQ(TestRun().table.eldsCounter, 10001);
  KxPrintRunSummary(TestRun(), kxSTATUS_OK);   // the run says it was cut short, not that it found no contour
  EXPECT_EQ(out.Text(), "\nkorvex: the drawing holds more elements than korvex can take (10001); nothing beyond was "
                        "read - no NC program written\n");
}

TEST(Elements, ArcsNoLongerThanTheToleranceArePoints) {
  // A square whose right side is drawn in two halves, with an arc at their joint
  // whose sweep is 0.000015 degrees (as some CAD programs write them), or none at all,
  // and the start hole beside that joint.
  for (auto [a0, a1] : {std::pair{0.0, 0.000015}, {0.0, 0.0}, {90.0, 90.0}}) {
    SCOPED_TRACE(a1);
    DxfText d("AC1015");
    d.Line("DXF_MAIN", 0, 0, 10, 0).Line("DXF_MAIN", 10, 0, 10, 5).Line("DXF_MAIN", 10, 5, 10, 10)
        .Line("DXF_MAIN", 10, 10, 0, 10).Line("DXF_MAIN", 0, 10, 0, 0)
        .Arc("DXF_MAIN", a0 == 0 ? 9 : 10, a0 == 0 ? 5 : 4, 1, a0, a1).Circle("DXF_MAIN", 8, 4.5, 0.5);
    const Conversion c = ConvertText(d.Str());
    EXPECT_TRUE(Has(c.output, "korvex: 1 contour (0 holes), 0 without start hole")) << c.output;
    // No whole circle of radius 1 is cut into the edge.
    EXPECT_FALSE(Has(c.program, "I-1.000") || Has(c.program, "I1.000") || Has(c.program, "J1.000") ||
                 Has(c.program, "J-1.000")) << c.program;
    EXPECT_TRUE(Has(c.page, "1 ignoriertes Element")) << c.page;
  }
}
