// The ruled surface a tilted wire cuts between two loops, one in each guide's
// plane: which point of the top loop the wire passes while it passes a point of
// the bottom loop, sampled so that both paths stay within a chord tolerance.
#include <algorithm>
#include <cmath>
#include <vector>

#include "geometry/base.h"

namespace {

constexpr double kTwoPi = 2 * M_PI;

// A loop measured along its length: where each piece starts and how long it is.
struct Measured {
  const std::vector<KxCurvePiece>& pieces;
  std::vector<double> at;   // length from the loop's start to each piece's start, and the whole length last
  double Length() const { return at.back(); }
};

double sweepOf(const KxCurvePiece& p) { return KxPieceSweep(p); }

double lengthOf(const KxCurvePiece& p) { return p.line ? std::hypot(p.ex - p.sx, p.ey - p.sy) : p.r * sweepOf(p); }

Measured measure(const std::vector<KxCurvePiece>& pieces) {
  Measured m{pieces, {0.0}};
  for (const KxCurvePiece& p : pieces) m.at.push_back(m.at.back() + lengthOf(p));
  return m;
}

// The piece at length s of the loop (s within 0 .. length) and how far into it.
size_t pieceAt(const Measured& m, double s, double* into) {
  size_t i = (size_t)(std::upper_bound(m.at.begin(), m.at.end() - 1, s) - m.at.begin());
  i = i == 0 ? 0 : i - 1;
  if (i >= m.pieces.size()) i = m.pieces.size() - 1;
  *into = s - m.at[i];
  return i;
}

// The point at length s, taken round the loop.
void pointAt(const Measured& m, double s, double* x, double* y) {
  const double len = m.Length();
  s = std::fmod(s, len);
  if (s < 0) s += len;
  double into;
  const KxCurvePiece& p = m.pieces[pieceAt(m, s, &into)];
  const double l = lengthOf(p), f = l > 0 ? std::clamp(into / l, 0.0, 1.0) : 0;
  if (p.line) {
    *x = p.sx + f * (p.ex - p.sx);
    *y = p.sy + f * (p.ey - p.sy);
    return;
  }
  const double a = std::atan2(p.sy - p.cy, p.sx - p.cx) + (p.ccw ? 1 : -1) * f * sweepOf(p);
  *x = p.cx + p.r * std::cos(a);
  *y = p.cy + p.r * std::sin(a);
}

// The length along the loop of its point nearest (x, y).
double nearestAt(const Measured& m, double x, double y) {
  double best = 1e300, at = 0;
  for (size_t i = 0; i < m.pieces.size(); ++i) {
    const KxCurvePiece& p = m.pieces[i];
    double f;
    if (p.line) {
      const double dx = p.ex - p.sx, dy = p.ey - p.sy, l2 = dx * dx + dy * dy;
      f = l2 > 0 ? std::clamp(((x - p.sx) * dx + (y - p.sy) * dy) / l2, 0.0, 1.0) : 0;
    } else {
      const double a0 = std::atan2(p.sy - p.cy, p.sx - p.cx), a = std::atan2(y - p.cy, x - p.cx);
      double d = (p.ccw ? a - a0 : a0 - a);
      d = std::fmod(d, kTwoPi);
      if (d < 0) d += kTwoPi;
      const double sw = sweepOf(p);
      // Beyond the arc's end the nearer of its two ends.
      f = d <= sw ? d / sw : (d - sw < kTwoPi - d ? 1.0 : 0.0);
    }
    const double s = m.at[i] + f * lengthOf(p);
    double px, py;
    pointAt(m, s, &px, &py);
    const double dist = std::hypot(px - x, py - y);
    if (dist < best) {
      best = dist;
      at = s;
    }
  }
  return at;
}

// Twice the signed area the loop encloses (counter-clockwise positive).
double twiceArea(const std::vector<KxCurvePiece>& pieces) {
  double twice = 0;
  for (const KxCurvePiece& p : pieces) {
    twice += p.sx * p.ey - p.ex * p.sy;
    if (!p.line) {
      const double s = sweepOf(p), segment = p.r * p.r * (s - std::sin(s));
      twice += p.ccw ? segment : -segment;
    }
  }
  return twice;
}

std::vector<KxCurvePiece> reversed(const std::vector<KxCurvePiece>& pieces) {
  std::vector<KxCurvePiece> out(pieces.rbegin(), pieces.rend());
  for (KxCurvePiece& p : out) {
    std::swap(p.sx, p.ex);
    std::swap(p.sy, p.ey);
    p.ccw = !p.ccw;
  }
  return out;
}

// The mean of points spread evenly along the loop, to line the two loops up
// without ties (the mean of the piece starts would put a circle's centre on it).
void centreOf(const Measured& m, double* x, double* y) {
  constexpr int kSamples = 256;
  *x = *y = 0;
  for (int i = 0; i < kSamples; ++i) {
    double px, py;
    pointAt(m, m.Length() * i / kSamples, &px, &py);
    *x += px / kSamples;
    *y += py / kSamples;
  }
}

// A point of the bottom loop and the point of the top loop the wire passes with it.
struct Knot {
  double b, t;   // lengths along the loops; t runs on beyond the top's length where it wraps
};

// The lengths of the loop's piece starts strictly between from and to (to may pass the length).
std::vector<double> startsBetween(const Measured& m, double from, double to) {
  std::vector<double> out;
  const double len = m.Length();
  for (int lap = 0; lap < 3; ++lap)
    for (size_t i = 0; i + 1 < m.at.size(); ++i) {
      const double s = m.at[i] + lap * len;
      if (s > from + 1e-9 && s < to - 1e-9) out.push_back(s);
    }
  std::sort(out.begin(), out.end());
  return out;
}

// Where one loop stands while the other stands at v (from, to: the knots' fields
// of the two): in proportion between the knots either side.
double along(const std::vector<Knot>& knots, double v, double Knot::*from, double Knot::*to) {
  auto k = std::upper_bound(knots.begin(), knots.end(), v, [from](double x, const Knot& n) { return x < n.*from; });
  if (k == knots.begin()) return knots.front().*to;
  if (k == knots.end()) return knots.back().*to;
  const Knot& lo = *(k - 1);
  const Knot& hi = *k;
  return hi.*from > lo.*from ? lo.*to + (v - lo.*from) / (hi.*from - lo.*from) * (hi.*to - lo.*to) : lo.*to;
}

double topAt(const std::vector<Knot>& knots, double b) { return along(knots, b, &Knot::b, &Knot::t); }
double bottomAt(const std::vector<Knot>& knots, double t) { return along(knots, t, &Knot::t, &Knot::b); }

// The piece an interval of the loop lies on (taken at its middle).
const KxCurvePiece* pieceAround(const Measured& m, double from, double to) {
  double into;
  const double len = m.Length();
  double mid = std::fmod((from + to) / 2, len);
  if (mid < 0) mid += len;
  return &m.pieces[pieceAt(m, mid, &into)];
}

// Steps an interval of the loop needs so that its chords stay within tol of it.
int stepsFor(const Measured& m, double from, double to, double tol) {
  const KxCurvePiece& p = *pieceAround(m, from, to);
  if (p.line || !(p.r > 0)) return 1;
  const double sweep = (to - from) / p.r;
  const double step = tol < p.r ? 2 * std::acos(1 - tol / p.r) : M_PI;
  return std::max(1, (int)std::ceil(sweep / std::max(step, 1e-6) - 1e-9));
}

}  // namespace

double KxPieceSweep(const KxCurvePiece& p) {
  if (p.line) return 0;
  double a0 = std::atan2(p.sy - p.cy, p.sx - p.cx), a1 = std::atan2(p.ey - p.cy, p.ex - p.cx);
  double s = p.ccw ? a1 - a0 : a0 - a1;
  while (s <= 1e-12) s += kTwoPi;   // start and end alike: a full circle
  return s;
}

std::vector<KxCurvePiece> KxReversedLoop(const std::vector<KxCurvePiece>& loop) { return reversed(loop); }

double KxLoopDistance(const std::vector<KxCurvePiece>& loop, double x, double y) {
  if (loop.empty()) return 1e300;
  const Measured m = measure(loop);
  double px, py;
  pointAt(m, nearestAt(m, x, y), &px, &py);
  return std::hypot(px - x, py - y);
}

double KxWireTilt(const KxWirePair& p, double height) {
  return std::atan2(std::hypot(p.tx - p.bx, p.ty - p.by), height) * 180.0 / M_PI;
}

// In these steps:
//   1. both loops measured, the top one turned to run the way the bottom one runs;
//   2. the knots: each tie, or without ties the bottom's first vertex and the top
//      point that lies as the bottom's does from its loop's centre;
//   3. between two knots with as many piece starts on each side, starts paired
//      one to one (more knots); otherwise the top follows by equal fractions;
//   4. the breaks (every piece start of either side) from the split point round,
//      and between them steps within the chord tolerance on both sides.
std::vector<KxWirePair> KxRuledPairs(const std::vector<KxCurvePiece>& bottomIn, const std::vector<KxCurvePiece>& topIn,
                                     const std::vector<KxWirePair>& ties, double startX, double startY, double tol,
                                     bool arcs) {
  std::vector<KxWirePair> out;
  if (bottomIn.empty() || topIn.empty() || !(tol > 0)) return out;
  const std::vector<KxCurvePiece> top =
      (twiceArea(bottomIn) > 0) == (twiceArea(topIn) > 0) ? topIn : reversed(topIn);
  const Measured b = measure(bottomIn), t = measure(top);
  const double lb = b.Length(), lt = t.Length();
  if (!(lb > 0) || !(lt > 0)) return out;

  // 2. The anchors, in the bottom's order; the top must come round in the same order.
  std::vector<Knot> anchors;
  if (ties.empty()) {
    double bcx, bcy, tcx, tcy;
    centreOf(b, &bcx, &bcy);
    centreOf(t, &tcx, &tcy);
    double at = nearestAt(t, tcx + bottomIn[0].sx - bcx, tcy + bottomIn[0].sy - bcy);
    // With as many pieces on both loops the anchor is the nearest piece start.
    if (top.size() == bottomIn.size()) {
      double best = 1e300;
      for (size_t i = 0; i + 1 < t.at.size(); ++i) {
        const double d = std::min(std::fabs(t.at[i] - at), lt - std::fabs(t.at[i] - at));
        if (d < best) best = d, at = t.at[i];
      }
    }
    anchors.push_back({0.0, at});
  } else {
    for (const KxWirePair& tie : ties) anchors.push_back({nearestAt(b, tie.bx, tie.by), nearestAt(t, tie.tx, tie.ty)});
    std::sort(anchors.begin(), anchors.end(), [](const Knot& x, const Knot& y) { return x.b < y.b; });
  }
  // Unwrapped top lengths rising from the first anchor; ties that cross give nothing.
  for (size_t i = 1; i < anchors.size(); ++i) {
    while (anchors[i].t <= anchors[i - 1].t) anchors[i].t += lt;
    if (anchors[i].t - anchors[0].t >= lt) return out;
  }

  // 3. The knots of each section, the last one closing the loop at the first anchor.
  std::vector<Knot> knots;
  for (size_t i = 0; i < anchors.size(); ++i) {
    const Knot from = anchors[i];
    const Knot to = i + 1 < anchors.size() ? anchors[i + 1] : Knot{anchors[0].b + lb, anchors[0].t + lt};
    knots.push_back(from);
    const std::vector<double> bs = startsBetween(b, from.b, to.b), ts = startsBetween(t, from.t, to.t);
    if (bs.size() == ts.size())
      for (size_t k = 0; k < bs.size(); ++k) knots.push_back({bs[k], ts[k]});
  }
  knots.push_back({anchors[0].b + lb, anchors[0].t + lt});
  // The knots once more a lap on, so that a walk from the split point finds them.
  const size_t lap = knots.size();
  for (size_t i = 1; i < lap; ++i) knots.push_back({knots[i].b + lb, knots[i].t + lt});

  // 4. From the split point once round the bottom loop.
  double s0 = nearestAt(b, startX, startY);
  while (s0 < anchors[0].b) s0 += lb;
  std::vector<double> breaks{s0, s0 + lb};
  for (double s : startsBetween(b, s0, s0 + lb)) breaks.push_back(s);
  for (const Knot& k : knots)
    if (k.b > s0 && k.b < s0 + lb) breaks.push_back(k.b);
  const double t0 = topAt(knots, s0);
  for (double s : startsBetween(t, t0, t0 + lt)) breaks.push_back(bottomAt(knots, s));
  std::sort(breaks.begin(), breaks.end());
  breaks.erase(std::unique(breaks.begin(), breaks.end(), [](double x, double y) { return y - x < 1e-9; }), breaks.end());

  auto emit = [&](double s, bool knot) {
    KxWirePair p;
    pointAt(b, s, &p.bx, &p.by);
    pointAt(t, topAt(knots, s), &p.tx, &p.ty);
    p.knot = knot;
    out.push_back(p);
  };
  emit(breaks.front(), false);
  for (size_t i = 0; i + 1 < breaks.size(); ++i) {
    const double s = breaks[i], e = breaks[i + 1];
    const double ts = topAt(knots, s), te = topAt(knots, e);
    if (arcs) {
      // Both on an arc turning alike through the same angle: one block for both.
      const KxCurvePiece* pb = pieceAround(b, s, e);
      const KxCurvePiece* pt = pieceAround(t, ts, te);
      if (!pb->line && !pt->line && pb->ccw == pt->ccw && pb->r > 0 && pt->r > 0 &&
          std::fabs((e - s) / pb->r - (te - ts) / pt->r) <= 1e-9 * std::max(1.0, (e - s) / pb->r)) {
        emit(e, i + 2 < breaks.size());
        KxWirePair& p = out.back();
        p.arc = true;
        p.ccw = pb->ccw;
        p.bcx = pb->cx, p.bcy = pb->cy, p.tcx = pt->cx, p.tcy = pt->cy;
        continue;
      }
    }
    const int n = std::max(stepsFor(b, s, e, tol), stepsFor(t, ts, te, tol));
    // Every break but the split point's return is a piece start or a tie.
    for (int k = 1; k <= n; ++k) emit(k == n ? e : s + (e - s) * k / n, k == n && i + 2 < breaks.size());
  }
  return out;
}
