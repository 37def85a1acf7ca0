// Ellipses and splines of the drawing as element records: the curve module
// turns a curve into tangent arcs, which are appended here as ARC records (and
// LINE records where the curve is straight) that the chaining joins like any other.
#include <cmath>
#include <cstdint>
#include <vector>

#include "dxf/dxf.h"
#include "dxf/reading.h"
#include "elements/elements.h"
#include "geometry/base.h"
#include "run/run.h"

namespace {

// Starts at what most curves need and doubles for a curve that needs more: every
// piece becomes a record, so the room left in the element table bounds it.
constexpr size_t kFirstCurvePieces = 4096;

float angleOf(double x, double y, double ccx, double ccy) {
  double a = std::atan2(y - ccy, x - ccx) * (180.0 / M_PI);
  if (a < 0) a += 360;
  if (a >= 360) a -= 360;
  return (float)a;
}

bool finitePiece(const KxCurvePiece& p) {
  return std::isfinite(p.sx) && std::isfinite(p.sy) && std::isfinite(p.ex) && std::isfinite(p.ey) &&
         (p.line || (std::isfinite(p.cx) && std::isfinite(p.cy) && std::isfinite(p.r) && p.r < 3e38));
}

}  // namespace

KxCurvePiece* CurvePieceBuffer(DxfReading& rd) {
  if (rd.pieces.empty()) rd.pieces.resize(kFirstCurvePieces);
  return rd.pieces.data();
}

int CurvePieceRoom(const DxfReading& rd) { return rd.pieces.empty() ? (int)kFirstCurvePieces : (int)rd.pieces.size(); }

bool GrowCurvePieces(KxRun& run, DxfReading& rd) {
  const long room = CurvePieceRoom(rd);
  if (room >= run.table.eldsMaximum - run.table.eldsCounter || room > INT32_MAX / 2) return false;
  rd.pieces.resize((size_t)room * 2);
  return true;
}

int ConjugateEllipsePieces(double cx, double cy, double ax, double ay, double bx, double by, double t0, double t1,
                           double tol, KxCurvePiece* out, int max) {
  // The principal axes: the parameter shift phi makes the two half-axes
  // u and v perpendicular, with u the longer one.
  const double aa = ax * ax + ay * ay, bb = bx * bx + by * by, ab = ax * bx + ay * by;
  const double phi = 0.5 * std::atan2(2 * ab, aa - bb);
  const double c = std::cos(phi), s = std::sin(phi);
  const double ux = ax * c + bx * s, uy = ay * c + by * s;
  const double vx = -ax * s + bx * c, vy = -ay * s + by * c;
  const double lu = std::hypot(ux, uy), lv = std::hypot(vx, vy);
  if (!(lu > 0) || !(lv > 1e-9 * lu) || !std::isfinite(lu) || !std::isfinite(t0) || !std::isfinite(t1)) return -1;
  // Parameters of any size: the start within one turn, the sweep up to one turn
  // (a sweep of a whole turn, or of nothing, is the full ellipse).
  constexpr double kTurn = 2 * M_PI;
  double sweep = std::fmod(t1 - t0, kTurn);
  if (!(sweep > 1e-12)) sweep += kTurn;
  if (!std::isfinite(sweep)) return -1;
  t0 = std::fmod(t0, kTurn);
  t1 = t0 + sweep;
  KxEllipse e{cx, cy, ux, uy, lv / lu, t0 - phi, t1 - phi};
  if (ux * vy - uy * vx < 0) {
    // A mirrored ellipse runs clockwise: the same points counter-clockwise, from its end.
    e.t0 = -(t1 - phi);
    e.t1 = -(t0 - phi);
  }
  return KxEllipseToPieces(e, tol, out, max);
}

// A record takes from el what its piece does not give (a line keeps the radius
// and angles before it, which the duplicate check compares); el ends as the last left it.
long AddCurvePieces(KxRun& run, KxNewElement& el, const KxCurvePiece* pieces, int n, int* arcs) {
  long before = run.table.eldsCounter;
  int arcCount = 0;
  // Pieces whose ends the rounding may bring within the element tolerance of each
  // other (a knot span of almost nothing) are joined into one line: a run of pieces
  // each too short to chain would leave a gap. The curve module has already joined
  // what a line can replace within the curve tolerance.
  const double tooShort = 2.0 * run.cfg.elementTolerance;
  int runFrom = -1;
  for (int i = 0; i <= n; ++i) {
    const bool tiny = i < n && finitePiece(pieces[i]) &&
                      std::hypot(pieces[i].ex - pieces[i].sx, pieces[i].ey - pieces[i].sy) < tooShort;
    if (tiny) {
      if (runFrom < 0) runFrom = i;
      continue;
    }
    if (runFrom >= 0) {
      const KxCurvePiece& a = pieces[runFrom];
      const KxCurvePiece& b = pieces[i - 1];
      if (a.sx != b.ex || a.sy != b.ey) {
        el.sx = el.cx = (float)a.sx;
        el.sy = el.cy = (float)a.sy;
        el.ex = (float)b.ex;
        el.ey = (float)b.ey;
        AddNextElement(run, etLINE, el, gNoText);
      }
      runFrom = -1;
    }
    if (i == n) break;
    const KxCurvePiece& p = pieces[i];
    if (!finitePiece(p)) continue;
    if (p.line) {
      el.sx = el.cx = (float)p.sx;
      el.sy = el.cy = (float)p.sy;
      el.ex = (float)p.ex;
      el.ey = (float)p.ey;
      AddNextElement(run, etLINE, el, gNoText);
      continue;
    }
    // Arcs are stored counter-clockwise: a clockwise piece from its end.
    const bool ccw = p.ccw;
    const double x1 = ccw ? p.sx : p.ex, y1 = ccw ? p.sy : p.ey;
    const double x2 = ccw ? p.ex : p.sx, y2 = ccw ? p.ey : p.sy;
    el.cx = (float)p.cx;
    el.cy = (float)p.cy;
    el.r = (float)p.r;
    el.sw = angleOf(x1, y1, p.cx, p.cy);
    el.ew = angleOf(x2, y2, p.cx, p.cy);
    el.sx = (float)x1;
    el.sy = (float)y1;
    el.ex = (float)x2;
    el.ey = (float)y2;
    AddNextElement(run, etARC, el, gNoText);
    ++arcCount;
  }
  // The pieces join tangentially: the feed-point search may meet any of them.
  for (long i = before; i < run.table.eldsCounter; ++i) run.table.elds[i].curve = 1;
  if (arcs) *arcs = arcCount;
  return run.table.eldsCounter - before;
}
