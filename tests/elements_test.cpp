// The element table's behaviour that the reader, the analysis and the output rely on:
// reserved indices, text rules, copies into slots and records, the turned copy of an
// arc, the growing table and its bound, and the region lookup.
#include <gtest/gtest.h>

#include "elements/elements.h"
#include "geometry/base.h"
#include "report/report.h"
#include "support/dxf_text.h"
#include "support/runs.h"
#include "support/support.h"
#include "support/table_rows.h"
#include "run/run.h"

TEST(Elements, ReservedRecordsComeFirstAndTextsAreBounded) {
  FreshCore();
  ClearElements(TestRun());
  AddReservedElements(TestRun());
  ASSERT_EQ(TestRun().eldsCounter, 7);
  TestRun().sx = 1;
  // Texts shorter than three characters are not stored, long ones are cut.
  const std::string longText(80, 'T');
  const struct { const char* text; std::string stored; } rows[] = {
      {gNoText, "-na-"}, {"ab", ""}, {"abc", "abc"}, {longText.c_str(), std::string(59, 'T')}, {nullptr, ""}};
  for (const auto& r : rows) {
    AddElement(TestRun(), etLINE, r.text);
    EXPECT_EQ(TestRun().elds[TestRun().eldsCounter - 1].text, r.stored) << &r - rows;
  }
  EXPECT_EQ(TestRun().elds[7].num, 7);
}

// A copy into a working slot keeps the slot's identity (every contour analysis relies on
// that and fails without it); the copy turned to start at 0 degrees keeps its sweep, across
// 0 as well; a copy into a record takes all.
TEST(Elements, TurnedArcCopyKeepsItsSweepCopyIntoRecordTakesAll) {
  StartTable();
  const long arc = AddArc(10, 20, 5, 300, 30, "$K02");
  CopyElementInto(TestRun(), arc, 2);
  ConsoleCapture quiet;
  RotaElementCopy(TestRun());
  EXPECT_EQ(TestRun().elds[3].sw, 0);
  EXPECT_FLOAT_EQ(TestRun().elds[3].ew, 90);
  EXPECT_FLOAT_EQ(TestRun().elds[3].sx, 15);
  EXPECT_NEAR(TestRun().elds[3].ex, 10, 1e-5);
  EXPECT_FLOAT_EQ(TestRun().elds[3].ey, 25);
  CopyElementInto(TestRun(), arc, 1);
  EXPECT_EQ(TestRun().elds[1].type, etARC);
  EXPECT_STREQ(TestRun().elds[1].text, "");
  EXPECT_STREQ(TestRun().elds[1].kontur, "$K02");
  EXPECT_EQ(TestRun().elds[1].num, 1);
  EXPECT_EQ(TestRun().elds[1].len, 0);
}

// The table grows past any chunk with its records in place; at its bound (lowered
// here) the first refused add says so once, and copies beyond it are refused.
TEST(Elements, TheTableGrowsUpToItsBound) {
  StartTable();
  EXPECT_EQ(TestRun().eldsMaximum, kMaxElementRecords);
  const elementdaten& early = TestRun().elds[2];
  for (long i = TestRun().eldsCounter; i < 10000; ++i) {
    TestRun().sx = (float)i;
    AddElement(TestRun(), etLINE, gNoText);
  }
  EXPECT_EQ(&early, &TestRun().elds[2]);   // a reference held while records are appended stays good
  EXPECT_EQ(TestRun().elds[9999].num, 9999);
  EXPECT_EQ(TestRun().elds[9999].sx, 9999.0f);
  EXPECT_EQ(TestRun().elds[123456].type, 0);   // a record never touched reads as zero
  EXPECT_EQ(TestRun().gMaxELemBarrier, 0);
  TestRun().eldsMaximum = 10000;
  ConsoleCapture out;
  CopyElementInto(TestRun(), 10000, 1);
  CopyElementInto(TestRun(), 1, 10000);
  CopyElementInto(TestRun(), -1, 1);
  CopyElementInto(TestRun(), 1, -5);
  EXPECT_EQ(out.Text(), "-Limit BiX--Limit BiX--Limit BiX--Limit BiX-");
  TestRun().eldsMaximum = 10001;
  out.Clear();
  CopyElementInto(TestRun(), 10001, 1);
  CopyElementInto(TestRun(), 1, 10001);
  CopyElementInto(TestRun(), -1, 1);
  CopyElementInto(TestRun(), 1, -5);
  EXPECT_EQ(out.Text(), "-Limit BiD>--Limit BiT>--Limit BiD0--Limit BiT0-");
  out.Clear();
  AddElement(TestRun(), etLINE, gNoText);
  AddElement(TestRun(), etLINE, gNoText);
  EXPECT_EQ(out.Text(), "\n -more than 10001 element records: nothing more is added, the drawing is cut short-\n");
  EXPECT_EQ(TestRun().eldsCounter, 10001);
  EXPECT_EQ(TestRun().gMaxELemBarrier, 1);
  out.Clear();
  KxPrintRunSummary(TestRun(), kxSTATUS_OK);   // the run says it was cut short, not that it found no contour
  EXPECT_EQ(out.Text(), "\nkorvex: the drawing holds more elements than korvex can take (10001); nothing beyond was "
                        "read - no NC program written\n");
  out.Clear();
  ePrintTypeToStream(TestRun(), 5);
  CopyElementInto(TestRun(), 7, 8);
  EXPECT_EQ(out.Text(), "-Limit A--Limit BiX-");
}

TEST(Elements, RegionLookupFindsTheHighestRecord) {
  StartTable();
  AddRecord(etDELETE, "$K01", 0, 0, 0, 0, gtRegInfo);
  const long last = AddRecord(etDELETE, "$K01", 0, 0, 0, 0, gtRegInfo);
  AddRecord(etLINE, "$K01", 0, 0);
  EXPECT_EQ(GetRegionElement(TestRun(), "$K01"), last);
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
    EXPECT_TRUE(Has(c.log, a0 == a1 ? "a full circle or nothing; taken as nothing" : "left out as a point")) << c.log;
  }
}
