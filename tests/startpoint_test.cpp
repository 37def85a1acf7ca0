// Choice of feed point and lead-in element per contour, and what the search
// leaves in the element table for the NC output. The plain case, inserts as start
// holes and arc lead-ins are seen in whole programs (nc_program_test, cut_faults_test).
#include <cstring>
#include <gtest/gtest.h>

#include "support/table_rows.h"

static void Claim(long i, const char* kontur) { KxCopy(elds[i].kontur, sizeof elds[i].kontur, kontur); }

TEST(StartPoint, ShortestAnchorWinsAndReleasesTheEarlierChoice) {
  StartTable();
  long bottom = AddRect(0, 0, 10, 10, "$K01");
  long worse = AddCircle(5, -3, 1), better = AddCircle(5, 12, 1);
  long tie = AddCircle(-2, 5, 1);   // as short as the better one, but met later
  gKonturCounter = 1;
  CloseTable();
  ConsoleCapture cap;
  SearchStartPoints();
  EXPECT_EQ(statFirstElem, bottom + 2);
  EXPECT_EQ(elds[better].used, 2);   // recorded for its own turn and again after the tie
  EXPECT_EQ(elds[worse].kontur[0], '\0');
  EXPECT_EQ(elds[worse].used, 0);
  EXPECT_STREQ(elds[worse].text, "-na-");
  EXPECT_STREQ(elds[tie].text, "-possible Startpoint-");
}

// A circle above the grid radius, one used already, one of another contour.
TEST(StartPoint, CandidatesThatCannotServe) {
  const struct { float r; int used; const char* kontur; } cases[] = {{3, 0, "$K01"}, {1, 1, "$K01"}, {1, 0, "$K02"}};
  for (const auto& c : cases) {
    StartTable();
    AddRect(0, 0, 10, 10, "$K01");
    long circle = AddCircle(5, -2, c.r);
    CloseTable();
    GetRegionFor("$K01");
    Claim(circle, c.kontur);
    elds[circle].used = c.used;
    ConsoleCapture cap;
    FindFirstElemFor("$K01", eldsCounter - 1);
    EXPECT_EQ(statFirstElem, 0) << c.r << " " << c.used << " " << c.kontur;
  }
}

TEST(StartPoint, NoContoursOrNoRoom) {
  StartTable();
  AddRect(0, 0, 10, 10, "$K01");
  AddCircle(5, -2, 1);
  long before = eldsCounter;
  ConsoleCapture cap;
  EXPECT_EQ(SearchStartPoints(), 0);   // gKonturCounter is 0
  EXPECT_EQ(eldsCounter, before);
  EXPECT_EQ(cap.Text(), "");
  // One record short of full: contour 1 takes the last record, contour 2 is left alone.
  AddRect(20, 0, 30, 10, "$K02");
  gKonturCounter = 2;
  while (eldsCounter < eldsMaximum - 1) AddCircle(500, 500, 1, "xx");
  const elementdaten last = elds[eldsMaximum - 2];
  SearchStartPoints();
  EXPECT_EQ(GetRegionElement("$K01"), eldsMaximum - 1);
  EXPECT_EQ(GetRegionElement("$K02"), -1);
  EXPECT_EQ(memcmp(&last, &elds[eldsMaximum - 2], sizeof last), 0);
  cap.Clear();
  SearchStartPoints();
  EXPECT_TRUE(Has(cap.Text(), "-Limit E-"));
}
