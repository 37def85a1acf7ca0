// Regions of contours (boxes, claiming of feed-point candidates), the nesting of
// contours inside contours, and the choice of feed point and lead-in element with
// what the search leaves in the element table for the NC output. The plain case,
// inserts as start holes, arc lead-ins and an inset keeping the start hole it found
// itself are seen in whole programs (nc_program_test, cut_faults_test).
#include <cstring>
#include <gtest/gtest.h>

#include "support/table_rows.h"
#include "kxrun.h"

static const elementdaten& region(const char* name) { return TestRun().elds[GetRegionElement(TestRun(), name)]; }

// The box's widening by the anchor length and the bulges of its arcs decide which
// start holes a contour claims: narrowing either fails the corpus, start-hole and
// fault tests. Here what their drawings do not show.
TEST(Region, ClaimsCandidatesStrictlyInsideTheWidenedBox) {
  StartTable();
  AddRect(0, 0, 20, 10, "$K01");
  AddRect(23, 0, 40, 10, "$K02");
  long near = AddCircle(-3, 5, 1), far = AddCircle(-5, 5, 1), onEdge = AddCircle(-4.5f, 5, 1);
  long gridSize = AddCircle(10, 5, 2.605f), chosen = AddCircle(18, 5, 1), between = AddCircle(21.5f, 5, 1);
  TestRun().elds[chosen].child = -1;
  long ins = AddRecord(etINSE, "$K07", 10, -2, 10, -2);
  CloseTable();
  GetRegionFor(TestRun(), "$K01");
  EXPECT_EQ(IsCircleInRegion(TestRun(), TestRun().eldsCounter - 1, near), 1);
  EXPECT_EQ(IsCircleInRegion(TestRun(), TestRun().eldsCounter - 1, onEdge), 0);
  EXPECT_EQ(IsCircleInRegion(TestRun(), TestRun().eldsCounter - 1, -1), 0);
  EXPECT_STREQ(TestRun().elds[near].text, "-possible Startpoint-");
  for (long i : {far, onEdge, gridSize, chosen}) EXPECT_STREQ(TestRun().elds[i].kontur, "") << i;
  EXPECT_STREQ(TestRun().elds[ins].kontur, "$K01");
  EXPECT_EQ(region("$K01").kElemX, 4 + 1 + 2);
  EXPECT_STREQ(TestRun().elds[between].kontur, "$K01");
  GetRegionFor(TestRun(), "$K02");
  EXPECT_STREQ(TestRun().elds[between].kontur, "$K02");   // the last claim wins
}

TEST(Inset, StrictlyContainedBoxesBecomeChildrenOfTheSmallestParent) {
  StartTable();
  // Parent count of each: beside contour 1, touching its left edge from inside, inside 2 inside 1.
  const struct { float x0, y0, x1, y1; const char* name; int parents; } boxes[] = {
      {0, 0, 100, 50, "$K01", 0}, {40, 20, 60, 30, "$K02", 1}, {150, 0, 200, 50, "$K03", 0},
      {0, 10, 20, 20, "$K04", 0}, {45, 22, 55, 28, "$K05", 2}};
  for (const auto& b : boxes) AddRect(b.x0, b.y0, b.x1, b.y1, b.name);
  TestRun().gKonturCounter = 5;
  CloseTable();
  ConsoleCapture cap;
  SearchStartPoints(TestRun());
  // Which parent calls a child is seen in the programs (cut_faults_test).
  for (const auto& b : boxes) EXPECT_EQ(region(b.name).child, b.parents) << b.name;
}

TEST(StartPoint, ShortestAnchorWinsAndReleasesTheEarlierChoice) {
  StartTable();
  long bottom = AddRect(0, 0, 10, 10, "$K01");
  long worse = AddCircle(5, -3, 1), better = AddCircle(5, 12, 1);
  long tie = AddCircle(-2, 5, 1);   // as short as the better one, but met later
  TestRun().gKonturCounter = 1;
  CloseTable();
  ConsoleCapture cap;
  SearchStartPoints(TestRun());
  EXPECT_EQ(region("$K01").IsFirst, bottom + 2);
  EXPECT_EQ(TestRun().elds[better].used, 2);   // recorded for its own turn and again after the tie
  EXPECT_EQ(TestRun().elds[worse].kontur[0], '\0');
  EXPECT_EQ(TestRun().elds[worse].used, 0);
  EXPECT_STREQ(TestRun().elds[worse].text, "-na-");
  EXPECT_STREQ(TestRun().elds[tie].text, "-possible Startpoint-");
}

// A circle above the grid radius, one used already, one of another contour.
TEST(StartPoint, CandidatesThatCannotServe) {
  const struct { float r; int used; const char* kontur; } cases[] = {{3, 0, "$K01"}, {1, 1, "$K01"}, {1, 0, "$K02"}};
  for (const auto& c : cases) {
    StartTable();
    AddRect(0, 0, 10, 10, "$K01");
    long circle = AddCircle(5, -2, c.r);
    CloseTable();
    GetRegionFor(TestRun(), "$K01");
    KxCopy(TestRun().elds[circle].kontur, sizeof TestRun().elds[circle].kontur, c.kontur);
    TestRun().elds[circle].used = c.used;
    ConsoleCapture cap;
    EXPECT_EQ(FindFirstElemFor(TestRun(), "$K01", TestRun().eldsCounter - 1).element, 0) << c.r << " " << c.used << " " << c.kontur;
  }
}

// Nothing to search, or no room in the table (its bound lowered): no record is written over.
TEST(StartPoint, NoContoursOrNoRoom) {
  StartTable();
  TestRun().eldsMaximum = 200;
  AddRect(0, 0, 20, 10, "$K01");
  while (TestRun().eldsCounter < TestRun().eldsMaximum) AddCircle(500, 500, 1, "xx");
  const elementdaten full = TestRun().elds[TestRun().eldsCounter - 1];
  ConsoleCapture cap;
  GetRegionFor(TestRun(), "$K01");
  EXPECT_EQ(cap.Text(), "\n -more than 200 element records: nothing more is added, the drawing is cut short-\n");
  EXPECT_EQ(memcmp(&full, &TestRun().elds[TestRun().eldsCounter - 1], sizeof full), 0);
  EXPECT_EQ(GetRegionElement(TestRun(), "$K01"), -1);

  StartTable();
  TestRun().eldsMaximum = 200;
  AddRect(0, 0, 10, 10, "$K01");
  AddCircle(5, -2, 1);
  long before = TestRun().eldsCounter;
  cap.Clear();
  EXPECT_EQ(SearchStartPoints(TestRun()), 0);   // gKonturCounter is 0
  EXPECT_EQ(TestRun().eldsCounter, before);
  EXPECT_EQ(cap.Text(), "");
  // One record short of full: contour 1 takes the last record, contour 2 is left alone.
  AddRect(20, 0, 30, 10, "$K02");
  TestRun().gKonturCounter = 2;
  while (TestRun().eldsCounter < TestRun().eldsMaximum - 1) AddCircle(500, 500, 1, "xx");
  const elementdaten last = TestRun().elds[TestRun().eldsMaximum - 2];
  SearchStartPoints(TestRun());
  EXPECT_EQ(GetRegionElement(TestRun(), "$K01"), TestRun().eldsMaximum - 1);
  EXPECT_EQ(GetRegionElement(TestRun(), "$K02"), -1);
  EXPECT_EQ(memcmp(&last, &TestRun().elds[TestRun().eldsMaximum - 2], sizeof last), 0);
  cap.Clear();
  SearchStartPoints(TestRun());
  EXPECT_TRUE(Has(cap.Text(), "-Limit E-"));
}
