// End point and arc direction of the first cut from the split point, by the
// compensation side G41/G42.
#include <gtest/gtest.h>

#include "support/table_rows.h"

namespace {
struct Cut {
  float x = -1, y = -1;
  int fS = 0;
};

// Feed circle at (fx, fy) with split point (px, py); outputs preset to (-1, -1) and 0.
Cut leadIn(long first, float fx, float fy, float px, float py, int side) {
  long feed = AddCircle(fx, fy, 1);
  elds[feed].ex = px;
  elds[feed].ey = py;
  ktechno.dDLage = side;
  Cut c;
  GetFirstDLagePnt(feed, first, &c.x, &c.y, &c.fS);
  return c;
}
}  // namespace

TEST(LeadIn, LineEndByCompensationSide) {
  StartTable();
  long up = AddLine(0, 0, 0, 10, "$K01");
  // Feed right or left of an upward line, the side, and the end point reached; any other side is 42.
  const struct { float fx; int side; float y; } cases[] = {{3, 42, 10}, {3, 41, 0}, {-3, 42, 0}, {-3, 41, 10}, {3, 40, 10}};
  for (const auto& c : cases) {
    Cut cut = leadIn(up, c.fx, 5, 0, 5, c.side);
    EXPECT_FLOAT_EQ(cut.y, c.y) << c.fx << " " << c.side;
    EXPECT_EQ(cut.fS, 0);   // a line never sets the arc direction
  }
  EXPECT_EQ(ktechno.dDLage, 42);
  // The side of lines whose directions lie around 0 degrees is checked on every
  // program of the examples and the corpus (the checker's wire side).
  // A feed point on the line's extension: the end point, with the angles printed as before.
  long right = AddLine(0, 0, 10, 0, "$K01");
  ConsoleCapture cap;
  EXPECT_FLOAT_EQ(leadIn(right, 5, 0, 5, 0, 42).x, 10);
  EXPECT_NE(cap.Text().find("added 360 to both Winkel    |masterWinkel: 360.00    DiffWinkel zum FP:360.00\n"),
            std::string::npos);
  EXPECT_NE(cap.Text().find("OOPS Winkel sind gleich !!\n"), std::string::npos);
}

TEST(LeadIn, ArcEndAndDirectionByFeedSide) {
  StartTable();
  long arc = AddArc(0, 0, 10, 0, 90, "$K01");
  const float s = 0.7071068f;
  ConsoleCapture cap;
  // Feed outside (12) or inside (8) the circle, side, end at the arc's start (x = 10) or end (y = 10), direction.
  const struct { float r; int side; bool atStart; int fS; } cases[] = {
      {12, 42, false, 3}, {12, 41, true, 2}, {8, 42, true, 2}, {8, 41, false, 3}};
  for (const auto& c : cases) {
    Cut cut = leadIn(arc, c.r * s, c.r * s, 10 * s, 10 * s, c.side);
    EXPECT_NEAR(c.atStart ? cut.x : cut.y, 10, 1e-5) << c.r << " " << c.side;
    EXPECT_EQ(cut.fS, c.fS) << c.r << " " << c.side;
  }
  long wrap = AddArc(0, 0, 10, 300, 30, "$K01");
  Cut c = leadIn(wrap, 8, 0, 10, 0, 41);
  EXPECT_FLOAT_EQ(c.y, elds[wrap].ey);
  EXPECT_EQ(c.fS, 3);
  // Feed as far from the centre as the split point: no case, the caller's values stay.
  c = leadIn(arc, 10 * s, 10 * s, 10 * s, 10 * s, 42);
  EXPECT_EQ(c.x, -1);
  EXPECT_EQ(c.fS, 0);

  // Wrong types end the call before anything is changed.
  float x = -1, y = -1;
  int fS = 7;
  ktechno.dDLage = 40;
  GetFirstDLagePnt(arc, arc, &x, &y, &fS);
  GetFirstDLagePnt(eldsCounter - 1, 5000, &x, &y, &fS);
  EXPECT_EQ(fS, 7);
  EXPECT_EQ(ktechno.dDLage, 40);
}
