// Contour chaining on element tables: the inclusive tolerance band, holes versus
// feed circles, three lines at one point, points on a contour, a full table.
// Elements in any order and direction, open chains grown both ways, orphans,
// position lines and working slots: changing their rules fails the corpus and
// program tests.
#include <gtest/gtest.h>

#include "support/table_rows.h"

static std::string K(long i) { return elds[i].kontur; }

TEST(Chain, ToleranceBandIsInclusive) {
  for (float gap : {0.002f, 0.0021f}) {
    StartTable();
    AddLine(-2, 0, 0, 0);
    AddLine(gap, 0, 2, 0);
    AddLine(2, 0, 4, 0);
    CloseTable();
    ConsoleCapture cap;
    SearchKontur();
    bool joins = gap <= 0.002f;
    EXPECT_EQ(IsTolLenB2P(0, 0, gap, 0), joins ? 1 : 0);
    EXPECT_EQ(K(7), joins ? "$K01" : "$ORPHAN");
  }
  ConsoleCapture cap;
  EXPECT_EQ(IsTolLenBetween(7, 8, 0), 0);
  EXPECT_EQ(IsTolLenBetween(8, 9, 0), 1);
}

TEST(Chain, LargeCirclesBecomeHolesSmallOnesStayFree) {
  StartTable();
  ConsoleCapture cap;
  long hole = AddCircle(5, 6, 3), grid = AddCircle(0, 0, gStartPosition);
  CloseTable();
  SearchKontur();
  EXPECT_EQ(gKonturCounter, 1);
  EXPECT_EQ(K(hole), "$K01");
  EXPECT_EQ(elds[hole].used, 1);
  EXPECT_EQ(K(grid), "");
  EXPECT_EQ(elds[grid].used, 0);
  // A full table is not searched.
  eldsMaximum = eldsCounter;
  cap.Clear();
  EXPECT_EQ(SearchKontur(), 0);
  EXPECT_EQ(cap.Text(), "-Limit E-");
}

// Of three lines at one point the lowest index wins, whichever end lies there.
TEST(Chain, ForksGoToTheLowestIndex) {
  StartTable();
  ConsoleCapture cap;
  AddLine(0, 0, 10, 0);
  long low = AddLine(10, 10, 10, 0), spur = AddLine(10, 0, 20, 0);
  AddLine(10, 10, 0, 0);
  AddLine(20, 0, 30, 0);
  AddLine(30, 0, 40, 0);
  CloseTable();
  SearchKontur();
  EXPECT_EQ(gKonturCounter, 2);
  EXPECT_EQ(K(low), "$K01");
  EXPECT_EQ(K(spur), "$K02");
}

// A point on a contour joins it (an action point), one beside it stays free; a search
// that meets an arc at its start turns.
TEST(Chain, PointsJoinTheirContourAndArcsMayTurnTheSearch) {
  StartTable();
  ConsoleCapture cap;
  AddLine(5, 0, 0, 0);
  AddArc(0, 0, 5, 0, 180);   // starts where the line starts
  long p = AddRecord(etPNT, "", 0, 0), off = AddRecord(etPNT, "", 50, 50);
  AddLine(0, 0, -5, 0);
  CloseTable();
  SearchKontur();
  EXPECT_EQ(gKonturCounter, 1);
  EXPECT_EQ(K(p), "$K01");
  EXPECT_EQ(K(off), "");
}
