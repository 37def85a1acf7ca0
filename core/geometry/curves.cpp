// Ellipses and splines as chains of circular arcs (biarcs): the wire follows
// lines and arcs only, so every free-form curve of a drawing is replaced by
// arcs that stay within a chord tolerance of it and meet tangentially where the
// curve is smooth.
#include <cmath>
#include <cstring>
#include <initializer_list>
#include <utility>
#include <vector>

#include "geometry/base.h"

namespace {

constexpr double kTwoPi = 6.283185307179586;
constexpr int kMaxDepth = 14;      // halvings of one start span: 16384 pieces at the most
constexpr int kSamples = 12;       // curve points compared with each biarc
constexpr int kJoinSamples = 8;    // curve points per short piece a joining line is checked against
constexpr int kMaxJoined = 64;     // short pieces one joining line covers at the most

struct Vec {
  double x, y;
};
Vec operator+(Vec a, Vec b) { return {a.x + b.x, a.y + b.y}; }
Vec operator-(Vec a, Vec b) { return {a.x - b.x, a.y - b.y}; }
Vec operator*(Vec a, double s) { return {a.x * s, a.y * s}; }
double dot(Vec a, Vec b) { return a.x * b.x + a.y * b.y; }
double cross(Vec a, Vec b) { return a.x * b.y - a.y * b.x; }
double norm(Vec a) { return std::hypot(a.x, a.y); }
Vec unit(Vec a) {
  double n = norm(a);
  return n > 0 ? a * (1 / n) : Vec{0, 0};
}
Vec perp(Vec a) { return {-a.y, a.x}; }

// A parametric curve: point at t.
struct Curve {
  Vec (*at)(const void* ctx, double t);
  const void* ctx;
  Vec P(double t) const { return at(ctx, t); }
  // Direction of travel at t, from the side given (+1 after t, -1 before t),
  // so that a corner of the curve is kept as a corner.
  Vec Tangent(double t, double span, int side) const {
    const double h = span * 1e-4;
    Vec d = side > 0 ? (P(t) * -3 + P(t + h) * 4 - P(t + 2 * h)) * (1 / (2 * h))
                     : (P(t) * 3 - P(t - h) * 4 + P(t - 2 * h)) * (1 / (2 * h));
    return unit(d);
  }
};

// One piece of a biarc: a line or an arc from a to b, turning left (ccw) or right.
struct Piece {
  bool line;
  Vec a, b, c;
  double r;
  bool ccw;
};

// The arc from a with tangent t at a that ends in b; a line when b lies ahead.
Piece arcFrom(Vec a, Vec t, Vec b) {
  Piece p{true, a, b, {0, 0}, 0, true};
  const Vec n = perp(t);
  const Vec ab = b - a;
  const double k = dot(n, ab);
  const double len2 = dot(ab, ab);
  if (std::fabs(k) <= 1e-12 * (len2 > 1 ? len2 : 1) || len2 == 0) return p;
  const double s = len2 / (2 * k);
  if (std::fabs(s) > 1e7) return p;   // flatter than any drawing can show
  p.line = false;
  p.c = a + n * s;
  p.r = std::fabs(s);
  p.ccw = s > 0;
  return p;
}

// Distance of q from a piece.
double distance(const Piece& p, Vec q) {
  if (p.line) {
    const Vec d = p.b - p.a;
    const double l2 = dot(d, d);
    double u = l2 > 0 ? dot(q - p.a, d) / l2 : 0;
    u = u < 0 ? 0 : u > 1 ? 1 : u;
    return norm(p.a + d * u - q);
  }
  // Within the arc's sweep the distance is measured radially, else to the nearer end.
  const Vec qa = q - p.c, sa = p.a - p.c, sb = p.b - p.c;
  double sweep = std::atan2(cross(sa, sb), dot(sa, sb));
  double at = std::atan2(cross(sa, qa), dot(sa, qa));
  if (p.ccw) {
    if (sweep < 0) sweep += kTwoPi;
    if (at < 0) at += kTwoPi;
  } else {
    if (sweep > 0) sweep -= kTwoPi;
    if (at > 0) at -= kTwoPi;
  }
  const bool inside = p.ccw ? at <= sweep : at >= sweep;
  if (inside) return std::fabs(norm(qa) - p.r);
  const double da = norm(q - p.a), db = norm(q - p.b);
  return da < db ? da : db;
}

// The point of a piece at fraction u of its way.
Vec along(const Piece& p, double u) {
  if (p.line) return p.a + (p.b - p.a) * u;
  const Vec sa = p.a - p.c, sb = p.b - p.c;
  double sweep = std::atan2(cross(sa, sb), dot(sa, sb));
  if (p.ccw && sweep < 0) sweep += kTwoPi;
  if (!p.ccw && sweep > 0) sweep -= kTwoPi;
  const double a0 = std::atan2(sa.y, sa.x) + sweep * u;
  return p.c + Vec{std::cos(a0), std::sin(a0)} * p.r;
}

// The biarc from a (tangent ta) to b (tangent tb) whose two tangent lengths are
// equal; false when the tangents give none (then the span is split).
bool biarc(Vec a, Vec ta, Vec b, Vec tb, Piece* first, Piece* second) {
  const Vec v = b - a;
  const Vec t = ta + tb;
  const double vt = dot(v, t);
  const double denom = 2 * (1 - dot(ta, tb));
  double d;
  if (denom < 1e-12) {
    const double vtb = dot(v, tb);
    if (std::fabs(vtb) < 1e-12) return false;
    d = dot(v, v) / (4 * vtb);
  } else {
    d = (-vt + std::sqrt(vt * vt + denom * dot(v, v))) / denom;
  }
  if (!(d > 0) || !std::isfinite(d)) return false;
  const Vec q1 = a + ta * d, q2 = b - tb * d;
  const Vec m = (q1 + q2) * 0.5;
  *first = arcFrom(a, ta, m);
  // The second piece, built backwards from b, then turned round.
  Piece back = arcFrom(b, tb * -1, m);
  *second = back;
  second->a = m;
  second->b = b;
  second->ccw = !back.ccw;
  return true;
}

struct Fitter {
  const Curve& curve;
  double tol;
  KxCurvePiece* out;
  int max;
  int count;
  bool overflow;
  std::vector<std::pair<double, double>> range = {};   // per piece: the curve's parameters at its ends

  void emit(const Piece& p, double ta, double tb) {
    if (count >= max) {
      overflow = true;
      return;
    }
    range.emplace_back(ta, tb);
    KxCurvePiece& o = out[count++];
    o.line = p.line;
    o.sx = p.a.x;
    o.sy = p.a.y;
    o.ex = p.b.x;
    o.ey = p.b.y;
    o.cx = p.c.x;
    o.cy = p.c.y;
    o.r = p.r;
    o.ccw = p.ccw;
  }

  // Largest distance between the curve on [t0, t1] and the biarc, both ways.
  double error(double t0, double t1, const Piece& p1, const Piece& p2) const {
    double worst = 0;
    for (int i = 1; i < kSamples; ++i) {
      const Vec q = curve.P(t0 + (t1 - t0) * i / kSamples);
      const double d1 = distance(p1, q), d2 = distance(p2, q);
      const double d = d1 < d2 ? d1 : d2;
      if (d > worst) worst = d;
    }
    // The biarc's own middles against the curve's polygon: catches a biarc that
    // swings away between the curve points.
    Vec poly[4 * kSamples + 1];
    for (int i = 0; i <= 4 * kSamples; ++i) poly[i] = curve.P(t0 + (t1 - t0) * i / (4 * kSamples));
    for (const Piece* p : {&p1, &p2}) {
      for (double u : {0.25, 0.5, 0.75}) {
        const Vec q = along(*p, u);
        double best = 1e300;
        for (int i = 0; i < 4 * kSamples; ++i) {
          Piece seg{true, poly[i], poly[i + 1], {0, 0}, 0, true};
          const double d = distance(seg, q);
          if (d < best) best = d;
        }
        if (best > worst) worst = best;
      }
    }
    return worst;
  }

  void fit(double t0, double t1, Vec a, Vec ta, Vec b, Vec tb, int depth) {
    if (overflow) return;
    Piece p1, p2;
    const bool made = biarc(a, ta, b, tb, &p1, &p2);
    if (made && (depth >= kMaxDepth || error(t0, t1, p1, p2) <= tol)) {
      const double tj = nearestOn(t0, t1, p1.b);
      emit(p1, t0, tj);
      emit(p2, tj, t1);
      return;
    }
    if (depth >= kMaxDepth) {
      emit(Piece{true, a, b, {0, 0}, 0, true}, t0, t1);
      return;
    }
    const double tm = 0.5 * (t0 + t1);
    const Vec m = curve.P(tm);
    const double span = t1 - t0;
    fit(t0, tm, a, ta, m, curve.Tangent(tm, span, -1), depth + 1);
    fit(tm, t1, m, curve.Tangent(tm, span, +1), b, tb, depth + 1);
  }

  // The parameter in [t0, t1] of the curve point nearest to q: the best of a few
  // samples, then narrowed around it.
  double nearestOn(double t0, double t1, Vec q) const {
    constexpr int n = 16;
    double best = t0, bestD = 1e300, step = (t1 - t0) / n;
    for (int i = 0; i <= n; ++i) {
      const double t = t0 + step * i, d = norm(curve.P(t) - q);
      if (d < bestD) bestD = d, best = t;
    }
    for (int round = 0; round < 20; ++round) {
      step /= 2;
      for (double t : {best - step, best + step}) {
        if (t < t0 || t > t1) continue;
        const double d = norm(curve.P(t) - q);
        if (d < bestD) bestD = d, best = t;
      }
    }
    return best;
  }

  // The line from the start of piece i to the end of piece e stays within the
  // tolerance of the curve between them.
  bool lineFits(int i, int e) const {
    const Piece line{true, {out[i].sx, out[i].sy}, {out[e].ex, out[e].ey}, {0, 0}, 0, true};
    const double ta = range[(size_t)i].first, tb = range[(size_t)e].second;
    const int n = kJoinSamples * (e - i + 1);
    for (int k = 1; k < n; ++k)
      if (distance(line, curve.P(ta + (tb - ta) * k / n)) > tol) return false;
    return true;
  }

  // Pieces shorter than kKxMinCurvePiece chain badly: a run of them becomes lines,
  // each as long as it stays within the tolerance of the curve; a piece that no
  // line can replace so stays as it is.
  void joinShort() {
    auto isShort = [this](int i) { return std::hypot(out[i].ex - out[i].sx, out[i].ey - out[i].sy) < kKxMinCurvePiece; };
    int w = 0;
    for (int i = 0; i < count;) {
      int e = i - 1;
      while (isShort(i) && e + 1 < count && e + 1 - i < kMaxJoined && isShort(e + 1) && lineFits(i, e + 1)) ++e;
      if (e < i) {
        out[w] = out[i];
        range[(size_t)w++] = range[(size_t)i++];
        continue;
      }
      KxCurvePiece joined{true, out[i].sx, out[i].sy, out[e].ex, out[e].ey, 0, 0, 0, true};
      range[(size_t)w] = {range[(size_t)i].first, range[(size_t)e].second};
      out[w++] = joined;
      i = e + 1;
    }
    count = w;
    range.resize((size_t)w);
  }

  // The count of pieces, or kKxTooManyPieces.
  int finish() {
    if (overflow) return kKxTooManyPieces;
    joinShort();
    return count;
  }

  // Fits [t0, t1] as given pieces; the end points are the curve's own.
  void span(double t0, double t1) {
    if (!(t1 > t0)) return;
    const Vec a = curve.P(t0), b = curve.P(t1);
    const double s = t1 - t0;
    fit(t0, t1, a, curve.Tangent(t0, s, +1), b, curve.Tangent(t1, s, -1), 0);
  }
};

// --- ellipse ---
Vec ellipseAt(const void* ctx, double t) {
  const KxEllipse& e = *(const KxEllipse*)ctx;
  const double c = std::cos(t), s = std::sin(t);
  // Minor axis: the major axis turned by 90 degrees, scaled by the ratio.
  return {e.cx + c * e.mx - s * e.ratio * e.my, e.cy + c * e.my + s * e.ratio * e.mx};
}

// --- spline ---
// De Boor's evaluation of a (rational) B-spline.
Vec splineAt(const void* ctx, double t) {
  const KxSpline& s = *(const KxSpline*)ctx;
  const int p = s.degree;
  const int n = s.nControl;
  // The knot span holding t, within the spline's domain.
  int k = p;
  while (k < n - 1 && t >= s.knots[k + 1]) ++k;
  double x[kKxSplineMaxDegree + 1], y[kKxSplineMaxDegree + 1], w[kKxSplineMaxDegree + 1];
  for (int j = 0; j <= p; ++j) {
    const int i = k - p + j;
    const double wi = s.weights[i];
    x[j] = s.x[i] * wi;
    y[j] = s.y[i] * wi;
    w[j] = wi;
  }
  for (int r = 1; r <= p; ++r) {
    for (int j = p; j >= r; --j) {
      const int i = k - p + j;
      const double den = s.knots[i + p - r + 1] - s.knots[i];
      const double alpha = den > 0 ? (t - s.knots[i]) / den : 0;
      x[j] = (1 - alpha) * x[j - 1] + alpha * x[j];
      y[j] = (1 - alpha) * y[j - 1] + alpha * y[j];
      w[j] = (1 - alpha) * w[j - 1] + alpha * w[j];
    }
  }
  return w[p] != 0 ? Vec{x[p] / w[p], y[p] / w[p]} : Vec{x[p], y[p]};
}

// Fit-point splines without control points: a smooth curve through the points
// (Catmull-Rom, centripetal tangents are not needed at drawing scale).
struct FitCurve {
  const KxSpline* s;
};
Vec fitAt(const void* ctx, double t) {
  const KxSpline& s = *((const FitCurve*)ctx)->s;
  const int n = s.nFit;
  int i = (int)t;
  if (i < 0) i = 0;
  if (i > n - 2) i = n - 2;
  const double u = t - i;
  auto pt = [&](int j) {
    if (j < 0) return Vec{2 * s.fx[0] - s.fx[1], 2 * s.fy[0] - s.fy[1]};
    if (j > n - 1) return Vec{2 * s.fx[n - 1] - s.fx[n - 2], 2 * s.fy[n - 1] - s.fy[n - 2]};
    return Vec{s.fx[j], s.fy[j]};
  };
  const Vec p0 = pt(i - 1), p1 = pt(i), p2 = pt(i + 1), p3 = pt(i + 2);
  const double u2 = u * u, u3 = u2 * u;
  return (p1 * 2 + (p2 - p0) * u + (p0 * 2 - p1 * 5 + p2 * 4 - p3) * u2 + (p1 * 3 - p0 - p2 * 3 + p3) * u3) * 0.5;
}

}  // namespace

int KxEllipseToPieces(const KxEllipse& e, double tol, KxCurvePiece* out, int max) {
  if (!out || max <= 0 || !(tol > 0) || !(e.ratio > 0) || std::hypot(e.mx, e.my) <= 0) return -1;
  double t0 = e.t0, t1 = e.t1;
  if (!std::isfinite(t0) || !std::isfinite(t1)) return -1;
  while (t1 <= t0) t1 += kTwoPi;
  if (t1 - t0 > kTwoPi) t1 = t0 + kTwoPi;
  const Curve c{ellipseAt, &e};
  Fitter f{c, tol, out, max, 0, false};
  // Start from quarters of the sweep at most, so a full ellipse never becomes one biarc.
  const int spans = (int)std::ceil((t1 - t0) / (kTwoPi / 4) - 1e-9);
  for (int i = 0; i < spans; ++i) f.span(t0 + (t1 - t0) * i / spans, t0 + (t1 - t0) * (i + 1) / spans);
  return f.finish();
}

int KxSplineToPieces(const KxSpline& s, double tol, KxCurvePiece* out, int max) {
  if (!out || max <= 0 || !(tol > 0)) return -1;
  if (s.nControl >= 2 && s.degree >= 1 && s.degree <= kKxSplineMaxDegree && s.nControl <= kKxSplineMaxPoints &&
      s.nKnots == s.nControl + s.degree + 1) {
    for (int i = 0; i < s.nControl; ++i)
      if (!(s.weights[i] > 0)) return -1;
    for (int i = 1; i < s.nKnots; ++i)
      if (!(s.knots[i] >= s.knots[i - 1])) return -1;
    const Curve c{splineAt, &s};
    Fitter f{c, tol, out, max, 0, false};
    // Each knot span is one polynomial piece: fit span by span.
    for (int k = s.degree; k < s.nControl; ++k) f.span(s.knots[k], s.knots[k + 1]);
    return f.finish();
  }
  if (s.nFit >= 2 && s.nFit <= kKxSplineMaxPoints) {
    FitCurve fc{&s};
    const Curve c{fitAt, &fc};
    Fitter f{c, tol, out, max, 0, false};
    for (int i = 0; i + 1 < s.nFit; ++i) f.span(i, i + 1);
    return f.finish();
  }
  return -1;
}
