// Numbers of the geometry and string helpers that the rest of the conversion relies on.
#include <cstring>
#include <gtest/gtest.h>

#include "geometry/base.h"

TEST(Geometry, ArcSweepIsCounterClockwiseAndZeroForEqualAngles) {
  EXPECT_FLOAT_EQ(BOGENWINKEL(350, 10), 20);
  EXPECT_FLOAT_EQ(BOGENWINKEL(10, 350), 340);
  EXPECT_FLOAT_EQ(BOGENWINKEL(90, 90), 0);
  EXPECT_FLOAT_EQ(BOGENWINKEL(0, 360), 360);
}

TEST(Geometry, PolarOffsetsUseTheRoundedPi) {
  EXPECT_EQ(XARC(0, 2.5f), 2.5f);
  EXPECT_EQ(YARC(0, 2.5f), 0.0f);
  float x = XARC(90, 1);
  EXPECT_NE(x, 0.0f);  // the rounded pi leaves about 1.8e-9
  EXPECT_NEAR(x, 1.79e-9, 0.02e-9);
  EXPECT_NEAR(YARC(90, 1), 1.0f, 1e-7);
}

TEST(Geometry, SegmentDirectionFallsJustShortOfRightAngles) {
  EXPECT_NEAR(WIV(0, 0, 0, 1), 89.9999999952, 1e-10);
  EXPECT_NEAR(WIV(0, 0, -1, 0), 179.9999999903, 1e-10);
  EXPECT_LT(WIV(0, 0, 0, 1), 90.0);
  EXPECT_EQ(WIV(1, 1, 1, 1), 0.0);
  EXPECT_FLOAT_EQ(LENC(0, 0, 3, 4), 5.0f);
}

TEST(Geometry, LineEndsAreRemoved) {
  EXPECT_STREQ(stripLFCR("LINE\r\n"), "LINE");
  EXPECT_STREQ(stripLFCR("LINE\n"), "LINE");
  EXPECT_STREQ(stripLFCR("LINE\r"), "LINE");
  EXPECT_STREQ(stripLFCR("a\rb"), "a");
  EXPECT_STREQ(stripLFCR(""), "");
  EXPECT_STREQ(stripLFCR("\n"), "");
  std::string longer(400, 'x');
  EXPECT_EQ(strlen(stripLFCR(longer.c_str())), 254u);
}

TEST(Geometry, NumbersNeverBecomeNonFinite) {
  EXPECT_EQ(KxNumber("1e999"), 0);
  EXPECT_EQ(KxNumber("-1e999"), 0);
  EXPECT_EQ(KxNumber("nan"), 0);
  EXPECT_EQ(KxNumber("abc"), 0);
  EXPECT_DOUBLE_EQ(KxNumber("  12.5xyz"), 12.5);
  EXPECT_EQ(KxInteger("  70"), 70);
  EXPECT_EQ(KxInteger("99999999999999999999"), 2147483647);
  EXPECT_EQ(KxInteger("x"), 0);
}

TEST(Geometry, BoundedCopies) {
  char buf[5];
  KxCopy(buf, sizeof buf, "abcdefgh");
  EXPECT_STREQ(buf, "abcd");
  KxCopy(buf, sizeof buf, "ab");
  KxCat(buf, sizeof buf, "cdef");
  EXPECT_STREQ(buf, "abcd");
}
