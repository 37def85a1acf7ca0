// The wire between two loops: which top point goes with which bottom point, how
// ties and the split point place the pairs, and the chord tolerance on both paths.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "geometry/base.h"

namespace {

std::vector<KxCurvePiece> polygon(const std::vector<std::pair<double, double>>& v) {
  std::vector<KxCurvePiece> out;
  for (size_t i = 0; i < v.size(); ++i) {
    const auto& a = v[i];
    const auto& b = v[(i + 1) % v.size()];
    out.push_back({true, a.first, a.second, b.first, b.second, 0, 0, 0, true});
  }
  return out;
}

std::vector<KxCurvePiece> square(double half, double turnDegrees) {
  std::vector<std::pair<double, double>> v;
  for (int k = 0; k < 4; ++k) {
    const double a = (225 + 90 * k + turnDegrees) * M_PI / 180, r = half * std::sqrt(2.0);
    v.push_back({r * std::cos(a), r * std::sin(a)});
  }
  return polygon(v);
}

std::vector<KxCurvePiece> circle(double r, double startDegrees) {
  const double a = startDegrees * M_PI / 180;
  const double x = r * std::cos(a), y = r * std::sin(a);
  return {{false, x, y, x, y, 0, 0, r, true}};
}

bool near(double x0, double y0, double x1, double y1, double tol = 1e-6) { return std::hypot(x1 - x0, y1 - y0) <= tol; }

bool hasPair(const std::vector<KxWirePair>& pairs, double bx, double by, double tx, double ty) {
  for (const KxWirePair& p : pairs)
    if (near(p.bx, p.by, bx, by) && near(p.tx, p.ty, tx, ty)) return true;
  return false;
}

}  // namespace

// As many pieces on both loops: corner goes with corner, the nearest one round
// the loops' centres, so a top turned by 15 degrees gives a turned ruled surface.
TEST(RuledSurface, EqualCountsPairPieceStartsOneToOne) {
  const auto bottom = square(10, 0), top = square(8, 15);
  const auto pairs = KxRuledPairs(bottom, top, {}, bottom[0].sx, bottom[0].sy, 0.001);
  ASSERT_EQ(pairs.size(), 5u);   // four corners, back to the first
  for (size_t k = 0; k < 4; ++k)
    EXPECT_TRUE(hasPair(pairs, bottom[k].sx, bottom[k].sy, top[k].sx, top[k].sy)) << k;
  // A top drawn the other way round is walked the bottom's way.
  auto backwards = top;
  std::reverse(backwards.begin(), backwards.end());
  for (KxCurvePiece& p : backwards) std::swap(p.sx, p.ex), std::swap(p.sy, p.ey);
  const auto again = KxRuledPairs(bottom, backwards, {}, bottom[0].sx, bottom[0].sy, 0.001);
  ASSERT_EQ(again.size(), pairs.size());
  for (size_t i = 0; i < pairs.size(); ++i) EXPECT_TRUE(near(again[i].tx, again[i].ty, pairs[i].tx, pairs[i].ty)) << i;
}

// A square bottom and a round top: points pair by equal fractions of length, the
// corners with the circle's points at the same angle, and both paths are within
// the chord tolerance between the pairs.
TEST(RuledSurface, UnequalCountsPairByFractionsWithinTheChordTolerance) {
  const double tol = 0.001;
  const auto bottom = square(10, 0), top = circle(6, 0);
  const auto pairs = KxRuledPairs(bottom, top, {}, 0, -10, tol);
  ASSERT_GT(pairs.size(), 20u);
  EXPECT_TRUE(near(pairs.front().bx, pairs.front().by, 0, -10));
  EXPECT_TRUE(near(pairs.back().bx, pairs.back().by, 0, -10));
  const double c = 6 / std::sqrt(2.0);
  for (auto [x, y] : {std::pair{-10.0, -10.0}, {10.0, -10.0}, {10.0, 10.0}, {-10.0, 10.0}})
    EXPECT_TRUE(hasPair(pairs, x, y, x > 0 ? c : -c, y > 0 ? c : -c)) << x << " " << y;
  double worst = 0;
  for (size_t i = 0; i + 1 < pairs.size(); ++i) {
    const double mx = (pairs[i].tx + pairs[i + 1].tx) / 2, my = (pairs[i].ty + pairs[i + 1].ty) / 2;
    worst = std::max(worst, 6 - std::hypot(mx, my));
    EXPECT_NEAR(std::hypot(pairs[i].tx, pairs[i].ty), 6, 1e-9);
  }
  EXPECT_LE(worst, tol);
  EXPECT_GT(worst, tol / 4);   // no more steps than the tolerance asks for
}

// A tie fixes which points go together; ties that cross give no surface.
TEST(RuledSurface, TiesPlaceThePairsAndMustNotCross) {
  const auto bottom = square(10, 0), top = circle(6, 0);
  const std::vector<KxWirePair> ties{{-10, -10, 0, -6}, {10, 10, 0, 6}};
  const auto pairs = KxRuledPairs(bottom, top, ties, -10, -10, 0.001);
  EXPECT_TRUE(hasPair(pairs, -10, -10, 0, -6));
  EXPECT_TRUE(hasPair(pairs, 10, 10, 0, 6));
  EXPECT_TRUE(hasPair(pairs, 10, -10, 6, 0));   // halfway between the ties on both sides
  const std::vector<KxWirePair> crossing{{-10, -10, 0, -6}, {10, -10, -6, 0}, {10, 10, 0, 6}};
  EXPECT_TRUE(KxRuledPairs(bottom, top, crossing, -10, -10, 0.001).empty());
  EXPECT_NEAR(KxWireTilt({0, 0, 1, 0}, 1), 45, 1e-9);
  EXPECT_NEAR(KxWireTilt({2, 3, 2, 3}, 20), 0, 1e-12);
}
