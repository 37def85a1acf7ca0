// Ellipses and splines become tangent arcs within the curve tolerance: sampled
// against the true curve, end points on the curve's own, no corner where the
// curve is smooth.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <vector>

#include "geometry/base.h"

namespace {

using Fn = std::function<void(double, double*, double*)>;

// The curve as a fine polygon (its chords stay far below any tolerance tested).
std::vector<std::pair<double, double>> polygon(const Fn& f, double t0, double t1) {
  std::vector<std::pair<double, double>> p(5001);
  for (size_t i = 0; i < p.size(); ++i) f(t0 + (t1 - t0) * i / (p.size() - 1), &p[i].first, &p[i].second);
  return p;
}

double polygonDistance(const std::vector<std::pair<double, double>>& p, double x, double y) {
  double best = 1e300;
  for (size_t i = 0; i + 1 < p.size(); ++i) {
    const double dx = p[i + 1].first - p[i].first, dy = p[i + 1].second - p[i].second, l2 = dx * dx + dy * dy;
    double u = l2 > 0 ? ((x - p[i].first) * dx + (y - p[i].second) * dy) / l2 : 0;
    u = u < 0 ? 0 : u > 1 ? 1 : u;
    best = std::min(best, std::hypot(p[i].first + u * dx - x, p[i].second + u * dy - y));
  }
  return best;
}

// Every piece sampled against the curve; the pieces joined end to end and tangent.
void expectFollows(const std::vector<KxCurvePiece>& pieces, const Fn& f, double t0, double t1, double tol) {
  ASSERT_FALSE(pieces.empty());
  double x0, y0, x1, y1;
  f(t0, &x0, &y0);
  f(t1, &x1, &y1);
  EXPECT_NEAR(pieces.front().sx, x0, 1e-9);
  EXPECT_NEAR(pieces.front().sy, y0, 1e-9);
  EXPECT_NEAR(pieces.back().ex, x1, 1e-9);
  EXPECT_NEAR(pieces.back().ey, y1, 1e-9);
  double worst = 0;
  const auto curve = polygon(f, t0, t1);
  for (size_t i = 0; i < pieces.size(); ++i) {
    const KxCurvePiece& p = pieces[i];
    EXPECT_FALSE(p.line) << i;
    EXPECT_NEAR(std::hypot(p.sx - p.cx, p.sy - p.cy), p.r, 1e-9);
    EXPECT_NEAR(std::hypot(p.ex - p.cx, p.ey - p.cy), p.r, 1e-9);
    double a0 = std::atan2(p.sy - p.cy, p.sx - p.cx), a1 = std::atan2(p.ey - p.cy, p.ex - p.cx);
    double sweep = a1 - a0;
    if (p.ccw) while (sweep < 0) sweep += 2 * M_PI;
    else while (sweep > 0) sweep -= 2 * M_PI;
    for (int k = 0; k <= 8; ++k) {
      const double a = a0 + sweep * k / 8;
      worst = std::max(worst, polygonDistance(curve, p.cx + p.r * std::cos(a), p.cy + p.r * std::sin(a)));
    }
    if (i + 1 < pieces.size()) {
      const KxCurvePiece& q = pieces[i + 1];
      EXPECT_NEAR(p.ex, q.sx, 1e-9);
      EXPECT_NEAR(p.ey, q.sy, 1e-9);
      // Tangent directions at the joint: perpendicular to the radii, in the direction of travel.
      double tx = -(p.ey - p.cy) * (p.ccw ? 1 : -1) / p.r, ty = (p.ex - p.cx) * (p.ccw ? 1 : -1) / p.r;
      double ux = -(q.sy - q.cy) * (q.ccw ? 1 : -1) / q.r, uy = (q.sx - q.cx) * (q.ccw ? 1 : -1) / q.r;
      EXPECT_LT(std::fabs(tx * uy - ty * ux), 1e-5) << "corner at piece " << i;
      EXPECT_GT(tx * ux + ty * uy, 0) << i;
    }
  }
  EXPECT_LE(worst, tol);
}

std::vector<KxCurvePiece> pieces(int n, const KxCurvePiece* p) { return n > 0 ? std::vector<KxCurvePiece>(p, p + n) : std::vector<KxCurvePiece>{}; }

}  // namespace

TEST(Curves, EllipsesFullPartialAndTurnedStayWithinTheTolerance) {
  static KxCurvePiece out[4096];
  struct Case { KxEllipse e; double tol; int atMost; };
  const Case cases[] = {
      {{0, 0, 20, 0, 0.5, 0, 2 * M_PI}, 0.001, 80},                       // semi-axes 20 and 10
      {{5, -3, 14.142, 14.142, 0.3, 0.5, 4.0}, 0.001, 80},                // turned by 45 degrees, partial
      {{100, 50, 0, 40, 0.9, 5.5, 1.0}, 0.0003, 120},                    // through 0: end below start
      {{0, 0, 30, 0, 1, 0, 2 * M_PI}, 0.001, 16},                         // a circle: arcs of its own radius
  };
  for (const Case& c : cases) {
    const KxEllipse& e = c.e;
    int n = KxEllipseToPieces(e, c.tol, out, 4096);
    ASSERT_GT(n, 0);
    EXPECT_LE(n, c.atMost);
    double t1 = e.t1 <= e.t0 ? e.t1 + 2 * M_PI : e.t1;
    Fn f = [&](double t, double* x, double* y) {
      *x = e.cx + std::cos(t) * e.mx - std::sin(t) * e.ratio * e.my;
      *y = e.cy + std::cos(t) * e.my + std::sin(t) * e.ratio * e.mx;
    };
    expectFollows(pieces(n, out), f, e.t0, t1, c.tol);
  }
  EXPECT_EQ(KxEllipseToPieces({0, 0, 0, 0, 0.5, 0, 1}, 0.001, out, 4096), -1);   // no axis
  EXPECT_EQ(KxEllipseToPieces({0, 0, 20, 0, 0.5, 0, 2 * M_PI}, 1e-9, out, 8), -1);   // too many pieces
}

TEST(Curves, SplinesOfDegreeTwoAndThreeAndFitPoints) {
  static KxSpline s;
  static KxCurvePiece out[4096];
  // Quadratic: a clamped parabola-like arch; cubic: an S through four control points (an inflection).
  struct Case { int degree; std::vector<double> knots, x, y; };
  const Case cases[] = {
      {2, {0, 0, 0, 1, 1, 1}, {0, 10, 20}, {0, 20, 0}},
      {3, {0, 0, 0, 0, 1, 1, 1, 1}, {0, 10, 20, 30}, {0, 15, -15, 0}},
      {3, {0, 0, 0, 0, 1, 2, 2, 2, 2}, {0, 5, 15, 25, 30}, {0, 10, 10, -5, 0}},
  };
  for (const Case& c : cases) {
    s = KxSpline{};
    s.degree = c.degree;
    s.nKnots = (int)c.knots.size();
    s.nControl = (int)c.x.size();
    for (int i = 0; i < s.nKnots; ++i) s.knots[i] = c.knots[i];
    for (int i = 0; i < s.nControl; ++i) {
      s.x[i] = c.x[i];
      s.y[i] = c.y[i];
      s.weights[i] = 1;
    }
    int n = KxSplineToPieces(s, 0.001, out, 4096);
    ASSERT_GT(n, 0) << c.degree;
    EXPECT_LE(n, 200);
    // The curve by its own definition (Cox-de Boor basis functions).
    Fn f = [&](double t, double* x, double* y) {
      std::function<double(int, int, double)> N = [&](int i, int p, double u) -> double {
        if (p == 0) {
          const double last = c.knots.back();
          return (u >= c.knots[i] && u < c.knots[i + 1]) || (u == last && c.knots[i] < u && c.knots[i + 1] == last) ? 1 : 0;
        }
        double a = 0, b = 0;
        if (c.knots[i + p] > c.knots[i]) a = (u - c.knots[i]) / (c.knots[i + p] - c.knots[i]) * N(i, p - 1, u);
        if (c.knots[i + p + 1] > c.knots[i + 1]) b = (c.knots[i + p + 1] - u) / (c.knots[i + p + 1] - c.knots[i + 1]) * N(i + 1, p - 1, u);
        return a + b;
      };
      *x = *y = 0;
      for (size_t i = 0; i < c.x.size(); ++i) {
        const double w = N((int)i, c.degree, t);
        *x += w * c.x[i];
        *y += w * c.y[i];
      }
    };
    expectFollows(pieces(n, out), f, c.knots.front(), c.knots.back(), 0.001);
  }
  // Fit points only: the arcs pass through every fit point.
  s = KxSpline{};
  s.degree = 3;
  const double fx[] = {0, 10, 20, 30}, fy[] = {0, 5, -5, 0};
  s.nFit = 4;
  for (int i = 0; i < 4; ++i) {
    s.fx[i] = fx[i];
    s.fy[i] = fy[i];
  }
  int n = KxSplineToPieces(s, 0.001, out, 4096);
  ASSERT_GT(n, 0);
  for (double px : fx) {
    bool through = false;
    for (int i = 0; i < n; ++i) through |= std::fabs(out[i].ex - px) < 1e-9 || std::fabs(out[i].sx - px) < 1e-9;
    EXPECT_TRUE(through) << px;
  }
  s.nFit = 1;
  EXPECT_EQ(KxSplineToPieces(s, 0.001, out, 4096), -1);
}
