// The structure check and the reorganisation: rounding and the short-line limit,
// lengths, prepared texts, copies deleted, and points moved to the front of their
// contour. Polylines of both layouts turned into lines are seen in the corpus (a
// closed one left open, or an open one closed, changes its counts).
#include <cstring>
#include <gtest/gtest.h>

#include "dxf/dxf.h"
#include "support/table_rows.h"
#include "run/run.h"

static bool isLine(long i, float x1, float y1, float x2, float y2) {
  const elementdaten& e = TestRun().elds[i];
  return e.type == etLINE && e.sx == x1 && e.sy == y1 && e.ex == x2 && e.ey == y2;
}

TEST(Structure, RoundingShortLinesLengthsAndTexts) {
  StartTable();
  TestRun().gKilledElements = 0;
  ConsoleCapture cap;
  long r = AddRecord(etLINE, "", 1.23449f, 1.2346f, 4.23449f, 5.2346f);
  long at = AddRecord(etLINE, "", 0, 0, 0.002f, 0);
  long rounded = AddRecord(etLINE, "", 0, 1, 0.0021f, 1);   // rounds to a length of 0.002
  long kept = AddRecord(etLINE, "", 0, 2, 0.003f, 2);
  long c = AddCircle(7, 7, 1), quarter = AddArc(0, 0, 2, 0, 90), across = AddArc(0, 0, 1, 350, 10);
  KxCopy(TestRun().fLL[1].Name, sizeof TestRun().fLL[1].Name, "EDMX_A");
  TestRun().gAktLayName = 1;
  long t = AddRecord(etTEXT, "", 0, 0, 0, 0, "l>test");
  TestRun().gAktLayName = 0;
  long plain = AddRecord(etTEXT, "", 0, 0, 0, 0, "q=2 abc");
  long cut = AddRecord(etTEXT, "", 0, 0, 0, 0, ("L>" + std::string(56, 'x')).c_str());
  CloseTable();
  CheckStructs(TestRun());

  EXPECT_TRUE(isLine(r, 1.234f, 1.235f, 4.234f, 5.235f));
  EXPECT_FLOAT_EQ(TestRun().elds[r].len, 5);
  for (long d : {at, rounded}) {
    EXPECT_STREQ(TestRun().elds[d].kontur, "-del-");
    EXPECT_STREQ(TestRun().elds[d].text, "-del-");
    EXPECT_EQ(TestRun().elds[d].used, 1);
  }
  EXPECT_EQ(TestRun().elds[kept].used, 0);
  EXPECT_EQ(TestRun().gKilledElements, 2);
  EXPECT_NEAR(TestRun().elds[c].len, 8.2831853, 1e-5);   // circumference plus diameter
  EXPECT_NEAR(TestRun().elds[quarter].len, 3.14159265, 1e-5);
  EXPECT_NEAR(TestRun().elds[across].len, 20 * 2 * 3.14159265 / 360, 1e-5);
  EXPECT_EQ(TestRun().elds[t].len, 0);
  EXPECT_STREQ(TestRun().elds[t].text, "L>TEST EDMX_A");
  EXPECT_STREQ(TestRun().elds[plain].text, "Q=2 ABC");
  EXPECT_EQ(strlen(TestRun().elds[cut].text), 59u);

  // A second check in the same run changes nothing; a full table is not checked.
  TestRun().elds[r].ex = 1.23456f;
  CheckStructs(TestRun());
  EXPECT_FLOAT_EQ(TestRun().elds[r].ex, 1.23456f);
  StartTable();
  TestRun().eldsMaximum = TestRun().eldsCounter;
  cap.Clear();
  CheckStructs(TestRun());
  ReorgStructs(TestRun());
  EXPECT_EQ(cap.Text(), "CheckStructs -Limit C--Limit RS-");
  EXPECT_EQ(TestRun().StructsChecked, 0);
}

TEST(Structure, ReorgMovesPointsToTheFront) {
  StartTable();
  ConsoleCapture cap;
  long a = AddLine(0, 0, 1, 0, "$K01");
  AddLine(1, 0, 2, 0, "$K01");
  long p = AddRow(etPNT, "$K01", 1);
  long other = AddLine(9, 9, 8, 8);
  long p2 = AddRow(etPNT, "$K02", 1);   // the only point, first of its contour
  long e = AddLine(5, 5, 6, 6, "$K02");
  AddLine(2, 0, 0, 0, "$K01");
  CloseTable();
  for (long i = 7; i < TestRun().eldsCounter; ++i) TestRun().elds[i].len = (float)i;
  TestRun().gKonturCounter = 2;
  ReorgStructs(TestRun());
  EXPECT_EQ(TestRun().elds[a].type, etPNT);
  EXPECT_TRUE(isLine(p, 0, 0, 1, 0));     // the first line now stands at the point's place
  EXPECT_FLOAT_EQ(TestRun().elds[p].len, (float)p);  // lengths stay with the index
  EXPECT_EQ(TestRun().elds[other].kontur[0], '\0');
  EXPECT_EQ(TestRun().elds[p2].type, etLINE);
  EXPECT_EQ(TestRun().elds[e].type, etPNT);
  EXPECT_EQ(TestRun().elds[1].type, etDELETE);
  EXPECT_EQ(TestRun().elds[1].kontur[0], '\0');
}

TEST(Structure, ElementsDrawnTwiceAreDeletedOnce) {
  StartTable();
  TestRun().gDuplicateElements = TestRun().gKilledElements = 0;
  ConsoleCapture cap;
  long line = AddRecord(etLINE, "", 0, 0, 40, 0);
  long reversed = AddRecord(etLINE, "", 40.001f, 0, 0, 0);       // the same line drawn the other way, within the tolerance
  long longer = AddRecord(etLINE, "", 0, 0, 40.01f, 0);          // ends farther apart than the tolerance
  long arc = AddArc(0, 0, 10, 0, 90), again = AddArc(0, 0, 10, 0, 90);
  long wider = AddArc(0, 0, 10.01f, 0, 90), rest = AddArc(0, 0, 10, 90, 0);   // other radius; the other part of the circle
  long hole = AddCircle(50, 50, 4), copy = AddCircle(50, 50, 4), other = AddCircle(50, 50, 3);
  CloseTable();
  CheckStructs(TestRun());
  for (long d : {reversed, again, copy}) {
    EXPECT_STREQ(TestRun().elds[d].kontur, "-del-") << d;
    EXPECT_EQ(TestRun().elds[d].used, 1) << d;
  }
  for (long k : {line, longer, arc, wider, rest, hole, other}) EXPECT_STREQ(TestRun().elds[k].kontur, "") << k;
  EXPECT_EQ(TestRun().gDuplicateElements, 3);
  EXPECT_EQ(TestRun().gKilledElements, 0);
}
