// The technology assignment: reference points from the feed-point holes, texts
// attached to the nearest circle's contour or left as directives, and the drawn
// contour names in remarks.
#include <gtest/gtest.h>

#include "support/table_rows.h"
#include "run/run.h"

// A fresh core with the default device words and the reserved records.
static void Fresh() {
  FreshCore();
  SetDevSyntax(TestRun(), "no-such-device.SYN");
  ClearElements(TestRun());
  for (int i = 0; i < 7; ++i) AddElement(TestRun(), etDELETE, "reserved");
}

// A circle (r > 0) or a text record of contour k.
static long Add(const char* k, float x, float y, float r, const char* text) {
  return AddRecord(r > 0 ? etCIR : etTEXT, k, x, y, x, y, text, r);
}

TEST(AssignHoles, ReferencePointsFromTheContoursHoles) {
  ConsoleCapture cap;
  Fresh();
  HolesAndTechno(TestRun());
  EXPECT_FLOAT_EQ(TestRun().cfg.ktechno.PltX, 2899.9f);
  EXPECT_FLOAT_EQ(TestRun().cfg.ktechno.KonY, 2999.9f);

  // The reference from the feed points is in the die plate's program (G92 X3.000 Y23.000);
  // a used hole circle far right is both points, whatever lies beyond the start marks.
  Fresh();
  TestRun().elds[Add("$K01", 6000, 7, 5, nullptr)].used = 1;
  TestRun().gKonturCounter = 1;
  HolesAndTechno(TestRun());
  EXPECT_FLOAT_EQ(TestRun().cfg.ktechno.KonX, 6000);
  EXPECT_FLOAT_EQ(TestRun().cfg.ktechno.KonY, 7);
  EXPECT_FLOAT_EQ(TestRun().cfg.ktechno.PltX, 6000);
}

TEST(AssignTexts, KeywordTextsGoToTheNearestCircle) {
  ConsoleCapture cap;
  Fresh();
  Add("$K01", 0, 0, 0.5f, gtFeedPoint);
  Add("$K02", 20, 0, 0.5f, gtFeedPoint);
  Add("$", 9, 0, 0.5f, nullptr);
  struct { float x, y; const char* text; const char* kontur; } texts[] = {
      {14, 1, "A=1.2", "$K02"}, {10, 0, "Q *tie", "$K01"}, {1, 1, "just words", "info"},
      {1, 1, "#DIRECTIVE G92_PIECES", ""}, {9000, 9000, "!NOSTOP", "info"}};
  long first = TestRun().eldsCounter;
  for (const auto& t : texts) Add("", t.x, t.y, 0, t.text);
  TestRun().gKonturCounter = 2;
  HolesAndTechno(TestRun());
  for (const auto& t : texts) EXPECT_STREQ(TestRun().elds[first + (&t - texts)].kontur, t.kontur) << t.text;
  EXPECT_FLOAT_EQ(TestRun().elds[first + 1].len, 10);  // the tie goes to the first circle
  // Every text was still free when the directives ran.
  EXPECT_EQ(TestRun().cfg.ktechno.G92Mode, 1);
}

// Star names in the programs: die plate and nc_program_test; here the first word only, at most 32 characters.
TEST(AssignNames, StarTextNamesTheContour) {
  ConsoleCapture cap;
  Fresh();
  Add("$K01", 0, 0, 0, "Q1_A *Stempel links");
  Add("$K02", 0, 0, 0, "*ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789");
  EXPECT_EQ(Written([](FILE* f) { GetKonturName(TestRun(), "$K01", f); }), " (Stempel)");
  EXPECT_EQ(Written([](FILE* f) { GetKonturName(TestRun(), "$K02", f); }), " (ABCDEFGHIJKLMNOPQRSTUVWXYZ012345)");
  GetKonturName(TestRun(), "$K01", nullptr);
}
