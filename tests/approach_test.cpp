// Approach test between a feed point and a line or arc: feasibility, the anchor
// point written into the feed point, and the running best length.
#include <gtest/gtest.h>

#include "support/table_rows.h"

namespace {
struct Probe {
  int result;
  float al;
  std::string out;
};

// One call with a fresh feed circle at (fx, fy); a refused pair must leave its anchor point alone.
Probe probe(long elem, float fx, float fy, float al = 4.5f) {
  long feed = AddCircle(fx, fy, 1);
  elds[feed].ex = elds[feed].ey = -99;
  ConsoleCapture cap;
  Probe p{ApproachRWPossible(elem, feed, &al), al, cap.Text()};
  if (!p.result) {
    EXPECT_EQ(elds[feed].ex, -99);
  }
  return p;
}
const elementdaten& lastFeed() { return elds[eldsCounter - 1]; }

// Feed point, best length so far, expected answer and a decisive part of the output ("" for none).
struct Case {
  float fx, fy, al;
  int result;
  const char* out;
};
void run(long elem, const Case& c) {
  Probe p = probe(elem, c.fx, c.fy, c.al);
  EXPECT_EQ(p.result, c.result) << c.fx << "," << c.fy;
  EXPECT_NE(p.out.find(c.out), std::string::npos) << p.out;
}
}  // namespace

TEST(Approach, LineNeedsTheFootOnTheSegmentWithinTheAnchorLength) {
  StartTable();
  long line = AddLine(0, 0, 10, 0, "$K01");
  Probe p = probe(line, 4, 3);
  EXPECT_EQ(p.result, 1);
  EXPECT_FLOAT_EQ(p.al, 3);
  EXPECT_NEAR(lastFeed().ex, 4, 1e-5);
  EXPECT_NEAR(lastFeed().ey, 0, 1e-5);
  EXPECT_NE(p.out.find("\n >zu unterbieten: 4.480 (3.000) "), std::string::npos);
  // A foot at the segment's start is on it; lines must beat the best by more than 0.02.
  const Case cases[] = {{4, -3, 4.5f, 1, " (ankL <0)"}, {12, 2, 4.5f, 0, " =FALSE "}, {4, 5, 4.5f, 0, " 5.000 =FALSE "},
                        {0, 2, 4.5f, 1, ""}, {4, 2.99f, 3, 0, ""}, {4, 2.97f, 3, 1, ""}};
  for (const Case& c : cases) run(line, c);
  EXPECT_EQ(probe(AddLine(0, 0, 10, 10, "$K01"), 2, 6).result, 1);
  EXPECT_NEAR(lastFeed().ex, 4, 1e-4);
  EXPECT_NEAR(lastFeed().ey, 4, 1e-4);

  float al = 4.5f;
  ConsoleCapture cap;
  EXPECT_EQ(ApproachRWPossible(line, line, &al), 0);
  EXPECT_EQ(ApproachRWPossible(eldsCounter - 1, line, &al), 0);
  EXPECT_NE(cap.Text().find(" ..oops same Element"), std::string::npos);
  EXPECT_NE(cap.Text().find(" ..BAD INSE/CIR etTYPE!"), std::string::npos);
  EXPECT_EQ(ApproachRWPossible(line, 5000, &al), 0);
}

TEST(Approach, ArcNeedsRadiusSweepAndTheAngleWindow) {
  StartTable();
  long arc = AddArc(0, 0, 10, 0, 90, "$K01");
  const float d = 8.485281f;   // 12 from the centre at 45 degrees
  Probe p = probe(arc, d, d);
  EXPECT_EQ(p.result, 1);
  EXPECT_NEAR(p.al, 2, 1e-4);
  EXPECT_NEAR(lastFeed().ex, 7.071068f, 1e-4);
  EXPECT_NEAR(lastFeed().ey, 7.071068f, 1e-4);
  // Scratch slots: the arc, the arc turned to start at 0 with the anchor point, the feed point.
  EXPECT_EQ(elds[2].kElemX, arc);
  EXPECT_FLOAT_EQ(elds[3].ew, 90);
  EXPECT_NEAR(elds[3].ex, 7.071068f, 1e-4);
  EXPECT_EQ(elds[4].kElemX, eldsCounter - 1);
  EXPECT_EQ(probe(arc, d, d, p.al).result, 0);   // equal length is no gain
  const Case cases[] = {{0, 12, 4.5f, 0, "..ausserhalb aeWink D =FASLE"}, {12, 0.5f, 4.5f, 0, "..ausserhalb asWink C =FASLE"},
                        {10.6066f, 10.6066f, 4.5f, 0, "..ausserhalb gMaxAnkerLen A =FASLE"}};
  for (const Case& c : cases) run(arc, c);
  run(AddArc(0, 0, 4, 0, 90, "$K01"), {4, 4, 4.5f, 0, "..Radius 4.000 zu klein =FASLE"});
  run(AddArc(0, 0, 10, 40, 50, "$K01"), {d, d, 4.5f, 0, ".. Bogenwinkel zu klein =FASLE"});
  // Through 0 degrees only directions from sw + 5 up to 360 pass.
  long wrap = AddArc(0, 0, 10, 350, 20, "$K01");
  run(wrap, {XARC(10, 12), YARC(10, 12), 4.5f, 0, "..ausserhalb asWink C =FASLE"});
  EXPECT_EQ(probe(wrap, XARC(356, 12), YARC(356, 12)).result, 1);
}
