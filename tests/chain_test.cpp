// Contour chaining on element tables: the inclusive tolerance band, holes versus
// feed circles, three lines at one point, points on a contour, a full table.
// Elements in any order and direction, open chains grown both ways, orphans,
// position lines and working slots: changing their rules fails the corpus and
// program tests.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>

#include "support/table_rows.h"
#include "run/run.h"

static std::string K(long i) { return TestRun().elds[i].kontur; }

TEST(Chain, ToleranceBandIsInclusive) {
  for (float gap : {0.002f, 0.0021f}) {
    StartTable();
    AddLine(-2, 0, 0, 0);
    AddLine(gap, 0, 2, 0);
    AddLine(2, 0, 4, 0);
    CloseTable();
    ConsoleCapture cap;
    SearchKontur(TestRun());
    bool joins = gap <= 0.002f;
    EXPECT_EQ(IsTolLenB2P(TestRun().cfg, 0, 0, gap, 0), joins ? 1 : 0);
    EXPECT_EQ(K(7), joins ? "$K01" : "$ORPHAN");
  }
  ConsoleCapture cap;
  EXPECT_EQ(IsTolLenBetween(TestRun(), 7, 8, 0), 0);
  EXPECT_EQ(IsTolLenBetween(TestRun(), 8, 9, 0), 1);
}

TEST(Chain, LargeCirclesBecomeHolesSmallOnesStayFree) {
  StartTable();
  ConsoleCapture cap;
  long hole = AddCircle(5, 6, 3), grid = AddCircle(0, 0, TestRun().cfg.gStartPosition);
  CloseTable();
  SearchKontur(TestRun());
  EXPECT_EQ(TestRun().gKonturCounter, 1);
  EXPECT_EQ(K(hole), "$K01");
  EXPECT_EQ(TestRun().elds[hole].used, 1);
  EXPECT_EQ(K(grid), "");
  EXPECT_EQ(TestRun().elds[grid].used, 0);
  // A full table is not searched.
  TestRun().eldsMaximum = TestRun().eldsCounter;
  cap.Clear();
  EXPECT_EQ(SearchKontur(TestRun()), 0);
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
  SearchKontur(TestRun());
  EXPECT_EQ(TestRun().gKonturCounter, 2);
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
  SearchKontur(TestRun());
  EXPECT_EQ(TestRun().gKonturCounter, 1);
  EXPECT_EQ(K(p), "$K01");
  EXPECT_EQ(K(off), "");
}

// The grids only narrow a search: every point within the reach on both axes and
// every box overlapping the asked one must come back, in ascending order, also
// at the reach's edge, far out, in a cluster and when the ask covers everything.
TEST(Chain, GridsGiveEveryPointWithinReachAndEveryOverlappingBox) {
  const double reach = 0.002;
  std::vector<std::array<double, 4>> boxes;
  unsigned s = 7;
  auto next = [&s] { return (s = s * 1103515245u + 12345u) >> 8; };
  for (int i = 0; i < 3000; ++i) {
    const double x = (double)(next() % 4000) * 0.001 + (i % 3 == 0 ? 999999.0 : 0);
    const double y = (double)(next() % 4000) * 0.001 - (i % 5 == 0 ? 999999.0 : 0);
    const double w = i % 97 == 0 ? 5000.0 : (double)(next() % 50) * 0.001;
    boxes.push_back({x, y, x + w, y + w});
  }
  KxPointGrid points;
  points.Reset(reach);
  KxBoxGrid areas;
  areas.Reset(0.01);
  for (size_t i = 0; i < boxes.size(); ++i) {
    points.Add(boxes[i][0], boxes[i][1], (long)i);
    areas.Add(boxes[i][0], boxes[i][1], boxes[i][2], boxes[i][3], (long)i);
  }
  points.Add(std::nan(""), 0, 5000);   // never near anything
  std::vector<long> got;
  for (size_t q = 0; q < boxes.size(); q += 7) {
    // At the reach's edge of a filed point, on each axis.
    const double qx = boxes[q][0] + (q % 2 ? reach : -reach), qy = boxes[q][1] - (q % 3 ? reach : 0);
    points.Near(qx, qy, got);
    EXPECT_TRUE(std::is_sorted(got.begin(), got.end()));
    for (size_t i = 0; i < boxes.size(); ++i)
      if (std::fabs(boxes[i][0] - qx) <= reach && std::fabs(boxes[i][1] - qy) <= reach) {
        EXPECT_TRUE(std::binary_search(got.begin(), got.end(), (long)i)) << q << " misses " << i;
      }
    const double span = q % 11 == 0 ? 2e6 : 0.02;
    areas.Overlapping(qx, qy, qx + span, qy + span, got);
    EXPECT_TRUE(std::is_sorted(got.begin(), got.end()));
    for (size_t i = 0; i < boxes.size(); ++i)
      if (boxes[i][0] <= qx + span && boxes[i][2] >= qx && boxes[i][1] <= qy + span && boxes[i][3] >= qy) {
        EXPECT_TRUE(std::binary_search(got.begin(), got.end(), (long)i)) << q << " misses box " << i;
      }
  }
  EXPECT_FALSE(std::binary_search(got.begin(), got.end(), 5000L));
  points.Near(std::nan(""), 0, got);
  EXPECT_TRUE(got.empty());
}
