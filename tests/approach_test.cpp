// Approach test between a feed point and a line or arc: feasibility, the anchor
// point written into the feed point, and the running best length; then the end
// point and arc direction of the first cut from the split point, by the
// compensation side G41/G42.
#include <gtest/gtest.h>

#include "support/table_rows.h"
#include "run/run.h"

namespace {

// Feed point, best length so far and the expected answer.
struct Case {
  float fx, fy, al;
  int result;
};

// One call with a fresh feed circle; a refused pair must leave its anchor point alone.
int probe(long elem, const Case& c, float* al = nullptr) {
  long feed = AddCircle(c.fx, c.fy, 1);
  TestRun().elds[feed].ex = TestRun().elds[feed].ey = -99;
  float best = c.al;
  ConsoleCapture quiet;
  int result = ApproachRWPossible(TestRun(), elem, feed, al ? al : &best);
  EXPECT_EQ(result, c.result) << c.fx << "," << c.fy << " best " << c.al;
  if (!c.result) {
    EXPECT_EQ(TestRun().elds[feed].ex, -99);
  }
  return result;
}

const elementdaten& lastFeed() { return TestRun().elds[TestRun().eldsCounter - 1]; }

struct Cut {
  float x = -1, y = -1;
  int fS = 0;
};

// Feed circle at (fx, fy) with split point (px, py); outputs preset to (-1, -1) and 0.
Cut leadIn(long first, float fx, float fy, float px, float py, int side) {
  long feed = AddCircle(fx, fy, 1);
  TestRun().elds[feed].ex = px;
  TestRun().elds[feed].ey = py;
  TestRun().cfg.ktechno.dDLage = side;
  Cut c;
  GetFirstDLagePnt(TestRun(), feed, first, &c.x, &c.y, &c.fS);
  return c;
}

}  // namespace

TEST(Approach, LineNeedsTheFootOnTheSegmentWithinTheAnchorLength) {
  StartTable();
  long line = AddLine(0, 0, 10, 0, "$K01");
  float al = 4.5f;
  probe(line, {4, 3, al, 1}, &al);
  EXPECT_FLOAT_EQ(al, 3);
  EXPECT_NEAR(lastFeed().ex, 4, 1e-5);
  EXPECT_NEAR(lastFeed().ey, 0, 1e-5);
  // A foot at the segment's start is on it; lines must beat the best by more than 0.02.
  for (const Case& c : {Case{4, -3, 4.5f, 1}, Case{12, 2, 4.5f, 0}, Case{4, 5, 4.5f, 0}, Case{0, 2, 4.5f, 1},
                        Case{4, 2.99f, 3, 0}, Case{4, 2.97f, 3, 1}})
    probe(line, c);
  probe(AddLine(0, 0, 10, 10, "$K01"), {2, 6, 4.5f, 1});
  EXPECT_NEAR(lastFeed().ex, 4, 1e-4);
  EXPECT_NEAR(lastFeed().ey, 4, 1e-4);
  // The same element twice, a line as feed point, an index outside the table.
  ConsoleCapture cap;
  EXPECT_EQ(ApproachRWPossible(TestRun(), line, line, &al), 0);
  EXPECT_EQ(ApproachRWPossible(TestRun(), TestRun().eldsCounter - 1, line, &al), 0);
  EXPECT_EQ(ApproachRWPossible(TestRun(), line, 5000, &al), 0);
}

TEST(Approach, ArcNeedsRadiusSweepAndTheAngleWindow) {
  StartTable();
  long arc = AddArc(0, 0, 10, 0, 90, "$K01");
  const float d = 8.485281f;   // 12 from the centre at 45 degrees
  float al = 4.5f;
  probe(arc, {d, d, al, 1}, &al);
  EXPECT_NEAR(al, 2, 1e-4);
  EXPECT_NEAR(lastFeed().ex, 7.071068f, 1e-4);
  EXPECT_NEAR(lastFeed().ey, 7.071068f, 1e-4);
  // Equal length is no gain; beyond the end or the start angle; farther than the anchor length.
  for (const Case& c : {Case{d, d, al, 0}, Case{0, 12, 4.5f, 0}, Case{12, 0.5f, 4.5f, 0},
                        Case{10.6066f, 10.6066f, 4.5f, 0}})
    probe(arc, c);
  probe(AddArc(0, 0, 4, 0, 90, "$K01"), {4, 4, 4.5f, 0});     // radius below the anchor length
  probe(AddArc(0, 0, 10, 40, 50, "$K01"), {d, d, 4.5f, 0});   // sweep too small
  // Through 0 degrees only directions from sw + 5 up to 360 pass.
  long wrap = AddArc(0, 0, 10, 350, 20, "$K01");
  probe(wrap, {XARC(10, 12), YARC(10, 12), 4.5f, 0});
  probe(wrap, {XARC(356, 12), YARC(356, 12), 4.5f, 1});
}

// Which end the first cut runs to, by the side, is checked on every program of the
// examples and the corpus (the checker's wire side: swapping a side for lines or
// arcs fails them); here the cases those drawings do not show.
TEST(LeadIn, OtherSideWordsTheExtensionAndCasesWithoutAnAnswer) {
  StartTable();
  ConsoleCapture cap;
  // Any side other than 41 is 42; a line never sets the arc direction.
  Cut c = leadIn(AddLine(0, 0, 0, 10, "$K01"), 3, 5, 0, 5, 40);
  EXPECT_FLOAT_EQ(c.y, 10);
  EXPECT_EQ(c.fS, 0);
  EXPECT_EQ(TestRun().cfg.ktechno.dDLage, 42);
  // A feed point on the line's extension: the end point, with the angles printed as before.
  EXPECT_FLOAT_EQ(leadIn(AddLine(0, 0, 10, 0, "$K01"), 5, 0, 5, 0, 42).x, 10);
  EXPECT_NE(cap.Text().find("added 360 to both Winkel    |masterWinkel: 360.00    DiffWinkel zum FP:360.00\n"),
            std::string::npos);
  EXPECT_NE(cap.Text().find("OOPS Winkel sind gleich !!\n"), std::string::npos);
  // An arc through 0 degrees with the feed point inside, G41: to its end, counter-clockwise.
  long wrap = AddArc(0, 0, 10, 300, 30, "$K01");
  c = leadIn(wrap, 8, 0, 10, 0, 41);
  EXPECT_FLOAT_EQ(c.y, TestRun().elds[wrap].ey);
  EXPECT_EQ(c.fS, 3);
  // Feed as far from the centre as the split point: no case, the caller's values stay.
  const float s = 0.7071068f;
  long arc = AddArc(0, 0, 10, 0, 90, "$K01");
  c = leadIn(arc, 10 * s, 10 * s, 10 * s, 10 * s, 42);
  EXPECT_EQ(c.x, -1);
  EXPECT_EQ(c.fS, 0);
  // Wrong types end the call before anything is changed.
  float x = -1, y = -1;
  int fS = 7;
  TestRun().cfg.ktechno.dDLage = 40;
  GetFirstDLagePnt(TestRun(), arc, arc, &x, &y, &fS);
  GetFirstDLagePnt(TestRun(), TestRun().eldsCounter - 1, 5000, &x, &y, &fS);
  EXPECT_EQ(fS, 7);
  EXPECT_EQ(TestRun().cfg.ktechno.dDLage, 40);
}
