// Start holes korvex places itself (setting AutoStartHoles): every closed contour
// that the start-point search left without feed point gets a small circle beside
// one of its elements, on the side its nesting asks for (half the anchor length off,
// else in the widest free room with a shorter lead-in), and then runs through the
// ordinary feed-point search, so lead-in, direction and output treat it as drawn.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "config/config.h"
#include "contours/contours.h"
#include "elements/elements.h"
#include "geometry/base.h"
#include "run/run.h"


namespace {

enum Verdict : signed char { kvNONE = 0, kvPLACED, kvTOO_SMALL, kvCROWDED, kvTABLE_FULL, kvCROSSING, kvOPEN };

// Per contour number: what became of it, the neighbour that crowded it out, and
// the room measured at its best place (diameter of the widest free circle beside
// one of its elements, mm; negative when none was measured).
// The room found for a hole, in mm; -1 while none was measured.
struct Room {
  float mm = -1.0f;
};
}  // namespace

// What the placing of start holes finds for each contour while it works, for the
// reason it gives when it places none.
struct Placing {
  KxGrowingTable<signed char> verdicts;
  KxGrowingTable<int> crowdedBy;
  KxGrowingTable<Room> roomOf;
  KxGrowingTable<bool> onlyShortArcs;   // no line, and no arc the lead-in may end on
  float roomNeeded = 0;   // hole diameter and twice the clearance, as measured against in this run
};

namespace {


struct Seg {
  double ax, ay, bx, by;
};

// One contour as the placement sees it: its lines, arcs and circles, whether they
// close into a loop, the loop as segments (arcs in short chords) and its box.
struct Contour {
  std::vector<long> members;
  std::vector<Seg> segs;
  bool closed = false;
  bool hole = false;   // a single large circle, cut by the hole writer
  double l = 1e30, r = -1e30, b = 1e30, t = -1e30;
};

const double kChordDegrees = 3.0;   // arc sampling of the loops for the inside test
const double kMaxChords = 3000;     // per loop, so that the crossing test stays quick on any drawing
const double kSideProbe = 0.01;     // mm beside an element where its inside is looked for
// mm the edge of a start hole korvex places in the room left beside a contour keeps
// from every contour: the drill must not touch the outline the wire is to cut.
const double kAutoHoleClearance = 0.3;
const double kHoleStep = 0.05;      // mm the lead-in shortens by while another start hole is in the way

double sweepOf(const elementdaten& a) { return BOGENWINKEL(a.sw, a.ew); }

double segDist(double px, double py, const Seg& s) {
  const double dx = s.bx - s.ax, dy = s.by - s.ay, len2 = dx * dx + dy * dy;
  double u = len2 > 0 ? ((px - s.ax) * dx + (py - s.ay) * dy) / len2 : 0;
  u = u < 0 ? 0 : u > 1 ? 1 : u;
  return std::hypot(s.ax + u * dx - px, s.ay + u * dy - py);
}

// Distance from a point to a line, an arc (counter-clockwise from sw to ew) or a circle.
double elemDist(const elementdaten& e, double px, double py) {
  if (e.type == etLINE) return segDist(px, py, {e.sx, e.sy, e.ex, e.ey});
  const double d = std::hypot(px - e.cx, py - e.cy);
  if (e.type == etCIR) return std::fabs(d - e.r);
  const double w = KxWithinTurn(std::atan2(py - e.cy, px - e.cx) * RAD2DEG - e.sw);
  if (w <= sweepOf(e)) return std::fabs(d - e.r);
  return std::min(std::hypot(px - e.sx, py - e.sy), std::hypot(px - e.ex, py - e.ey));
}

// The point halfway along a line or an arc, and the unit normal there.
void midAndNormal(const elementdaten& e, double* mx, double* my, double* nx, double* ny) {
  if (e.type == etLINE) {
    *mx = (e.sx + (double)e.ex) / 2;
    *my = (e.sy + (double)e.ey) / 2;
    const double dx = e.ex - (double)e.sx, dy = e.ey - (double)e.sy, len = std::hypot(dx, dy);
    *nx = len > 0 ? -dy / len : 0;
    *ny = len > 0 ? dx / len : 0;
    return;
  }
  const double w = (e.sw + sweepOf(e) / 2) / RAD2DEG;
  *nx = std::cos(w);
  *ny = std::sin(w);
  *mx = e.cx + e.r * *nx;
  *my = e.cy + e.r * *ny;
}

bool isGeometry(int type) { return type == etLINE || type == etARC || type == etCIR; }

// Contour number of a record named exactly "$Knn", else 0.
int contourNumber(const char* kn, int konturs) {
  if (kn[0] != '$' || kn[1] != 'K') return 0;
  const long k = strtol(kn + 2, nullptr, 10);
  if (k < 1 || k > konturs) return 0;
  char name[16];
  KxContourName(name, sizeof name, (int)k);
  return KxSameName(kn, name) ? (int)k : 0;
}

// The end points of a contour's members, filed in a grid, so that finding where an
// end meets another member costs no more than the contour's size.
class MemberEnds {
 public:
  MemberEnds(KxRun& run, const std::vector<long>& m) : run_(run), m_(m) {
    grid_.Reset(std::max(std::fabs((double)run.cfg.fPlusTol), std::fabs((double)run.cfg.fMinusTol)));
    if (!grid_.Usable()) return;
    grid_.Reserve((long)(2 * m.size()));
    for (size_t a = 0; a < m.size(); ++a) {
      grid_.Add(run.table.elds[m[a]].sx, run.table.elds[m[a]].sy, (long)a);
      grid_.Add(run.table.elds[m[a]].ex, run.table.elds[m[a]].ey, (long)a);
    }
  }
  // The first other member (in the members' order) with an end within the tolerance
  // band of (x, y), its start asked before its end: its place in the members, -1 for none.
  long Meeting(size_t a, float x, float y, bool* atStart) {
    near_.clear();
    if (grid_.Usable()) grid_.Near(x, y, near_);
    const size_t n = grid_.Usable() ? near_.size() : m_.size();
    for (size_t q = 0; q < n; ++q) {
      const size_t b = grid_.Usable() ? (size_t)near_[q] : q;
      if (b == a) continue;
      const elementdaten& o = run_.table.elds[m_[b]];
      *atStart = IsTolLenB2P(run_.cfg, x, y, o.sx, o.sy);
      if (*atStart || IsTolLenB2P(run_.cfg, x, y, o.ex, o.ey)) return (long)b;
    }
    return -1;
  }

 private:
  KxRun& run_;
  const std::vector<long>& m_;
  KxPointGrid grid_;
  std::vector<long> near_;
};

// Every end point meets an end point of another member: the chain is a loop.
bool closesIntoLoop(KxRun& run, const std::vector<long>& m) {
  if (m.size() < 2) return false;
  for (long i : m)
    if (run.table.elds[i].type != etLINE && run.table.elds[i].type != etARC) return false;
  MemberEnds ends(run, m);
  bool atStart;
  for (size_t a = 0; a < m.size(); ++a) {
    const elementdaten& e = run.table.elds[m[a]];
    if (ends.Meeting(a, e.sx, e.sy, &atStart) < 0 || ends.Meeting(a, e.ex, e.ey, &atStart) < 0) return false;
  }
  return true;
}

// The ends of the loop's members, each moved onto the joint it forms: ends that
// meet within the element tolerance (a line and an arc that the rounding of the
// drawing leaves a thousandth apart) are one point of the outline, so that the
// crossing test sees no crossing at a joint. Per member: start x, y, end x, y.
std::vector<std::array<double, 4>> jointEnds(KxRun& run, const std::vector<long>& m) {
  std::vector<std::array<double, 4>> ends;
  for (long i : m) ends.push_back({run.table.elds[i].sx, run.table.elds[i].sy, run.table.elds[i].ex, run.table.elds[i].ey});
  MemberEnds filed(run, m);
  for (size_t a = 0; a < m.size(); ++a) {
    const elementdaten& e = run.table.elds[m[a]];
    for (int end = 0; end < 2; ++end) {
      const float px = end ? e.ex : e.sx, py = end ? e.ey : e.sy;
      bool toStart;
      const long b = filed.Meeting(a, px, py, &toStart);
      if (b < 0) continue;
      const elementdaten& o = run.table.elds[m[(size_t)b]];
      // The midpoint of the two ends, the same whichever of them asks.
      ends[a][2 * end] = ((double)px + (toStart ? o.sx : o.ex)) / 2;
      ends[a][2 * end + 1] = ((double)py + (toStart ? o.sy : o.ey)) / 2;
    }
  }
  return ends;
}

void buildLoop(KxRun& run, Contour& c) {
  double arcDegrees = 0;
  for (long i : c.members)
    if (run.table.elds[i].type == etARC) arcDegrees += sweepOf(run.table.elds[i]);
  const double step = std::max(kChordDegrees, arcDegrees / kMaxChords);
  const std::vector<std::array<double, 4>> ends = jointEnds(run, c.members);
  for (size_t m = 0; m < c.members.size(); ++m) {
    const elementdaten& e = run.table.elds[c.members[m]];
    const auto& [sx, sy, ex, ey] = ends[m];
    if (e.type == etLINE) {
      c.segs.push_back({sx, sy, ex, ey});
      continue;
    }
    const double sweep = sweepOf(e);
    const int n = std::max(1, (int)std::ceil(sweep / step));
    double px = sx, py = sy;
    for (int s = 1; s <= n; ++s) {
      const double w = (e.sw + sweep * s / n) / RAD2DEG;
      const double qx = s == n ? ex : e.cx + e.r * std::cos(w), qy = s == n ? ey : e.cy + e.r * std::sin(w);
      c.segs.push_back({px, py, qx, qy});
      px = qx;
      py = qy;
    }
  }
  for (const Seg& s : c.segs) {
    c.l = std::min({c.l, s.ax, s.bx});
    c.r = std::max({c.r, s.ax, s.bx});
    c.b = std::min({c.b, s.ay, s.by});
    c.t = std::max({c.t, s.ay, s.by});
  }
}

// Even-odd test of a point against a closed contour (a hole contour is its circle).
bool insideOf(KxRun& run, const Contour& c, double x, double y) {
  if (c.hole) {
    const elementdaten& e = run.table.elds[c.members[0]];
    return std::hypot(x - e.cx, y - e.cy) < e.r;
  }
  if (x < c.l || x > c.r || y < c.b || y > c.t) return false;
  bool in = false;
  for (const Seg& s : c.segs)
    if ((s.ay > y) != (s.by > y) && x < (s.bx - s.ax) * (y - s.ay) / (s.by - s.ay) + s.ax) in = !in;
  return in;
}

// A loop whose outline crosses itself has no one inside: the side of the wire
// and of the start hole would contradict each other somewhere along it.
bool crossesItself(const Contour& c) {
  auto orient = [](double ax, double ay, double bx, double by, double px, double py) {
    const double v = (bx - ax) * (py - ay) - (by - ay) * (px - ax);
    return v > 1e-9 ? 1 : v < -1e-9 ? -1 : 0;
  };
  for (size_t i = 0; i < c.segs.size(); ++i) {
    const Seg& p = c.segs[i];
    for (size_t j = i + 1; j < c.segs.size(); ++j) {
      const Seg& q = c.segs[j];
      if (std::max(p.ax, p.bx) < std::min(q.ax, q.bx) || std::max(q.ax, q.bx) < std::min(p.ax, p.bx) ||
          std::max(p.ay, p.by) < std::min(q.ay, q.by) || std::max(q.ay, q.by) < std::min(p.ay, p.by))
        continue;
      if (orient(p.ax, p.ay, p.bx, p.by, q.ax, q.ay) * orient(p.ax, p.ay, p.bx, p.by, q.bx, q.by) < 0 &&
          orient(q.ax, q.ay, q.bx, q.by, p.ax, p.ay) * orient(q.ax, q.ay, q.bx, q.by, p.bx, p.by) < 0)
        return true;
    }
  }
  return false;
}

// A loop that passes through one of its corners twice (three or more element ends
// meet there) has no one inside either: the cut may take the corner either way,
// and the start hole's side then need not be the wire's.
bool touchesItself(KxRun& run, const Contour& c) {
  for (long i : c.members) {
    const elementdaten& a = run.table.elds[i];
    for (int end = 0; end < 2; ++end) {
      const float px = end ? a.ex : a.sx, py = end ? a.ey : a.sy;
      int met = 0;
      for (long j : c.members) {
        if (j == i) continue;
        const elementdaten& o = run.table.elds[j];
        met += IsTolLenB2P(run.cfg, px, py, o.sx, o.sy) + IsTolLenB2P(run.cfg, px, py, o.ex, o.ey);
      }
      if (met > 1) return true;
    }
  }
  return false;
}

double distToContour(KxRun& run, const Contour& c, double x, double y) {
  double d = 1e30;
  for (long i : c.members) d = std::min(d, elemDist(run.table.elds[i], x, y));
  return d;
}

// How many closed contours enclose contour k: a member's midpoint clear of the
// other contour's outline decides. Even: an outer profile; odd: an opening.
int nestingDepth(KxRun& run, const std::vector<Contour>& all, int k) {
  int depth = 0;
  for (size_t j = 1; j < all.size(); ++j) {
    const Contour& o = all[j];
    if ((int)j == k || !(o.closed || o.hole)) continue;
    for (long i : all[(size_t)k].members) {
      double mx, my, nx, ny;
      midAndNormal(run.table.elds[i], &mx, &my, &nx, &ny);
      if (distToContour(run, o, mx, my) < 0.01) continue;
      if (insideOf(run, o, mx, my)) ++depth;
      break;
    }
  }
  return depth;
}

// Contour k has a marked start hole, or an insert of its own in use.
bool hasFeedPoint(KxRun& run, int k, const char* kn) {
  if (KxStillFed(run, run.contours.all[(size_t)k])) return true;
  for (long i = 0; i < run.table.eldsCounter; ++i) {
    const elementdaten& e = run.table.elds[i];
    if (KxSameName(run.table.marks[i].kontur, kn) && e.type == etINSE && run.table.marks[i].used > 0) return true;
  }
  return false;
}

// The places to try, best first: line midpoints by falling length, then the
// midpoints of arcs the approach test can reach (any piece of a curve), by
// falling length.
std::vector<long> candidateBases(KxRun& run, const Contour& c) {
  std::vector<long> lines, arcs;
  for (long i : c.members) {
    const elementdaten& e = run.table.elds[i];
    if (e.type == etLINE) lines.push_back(i);
    else if (e.type == etARC && (e.curve || (!(e.r < run.cfg.anchorLength) && sweepOf(e) >= kMinLeadInSweep))) arcs.push_back(i);
  }
  auto length = [&run](long i) {
    const elementdaten& e = run.table.elds[i];
    return e.type == etLINE ? (double)LENC(e.sx, e.sy, e.ex, e.ey) : e.r * sweepOf(e) / RAD2DEG;
  };
  auto longer = [&](long a, long b) { return length(a) > length(b); };
  std::stable_sort(lines.begin(), lines.end(), longer);
  std::stable_sort(arcs.begin(), arcs.end(), longer);
  lines.insert(lines.end(), arcs.begin(), arcs.end());
  return lines;
}

// Appends the start hole of contour kn at (x, y) as a claimed candidate and lets
// the feed-point search take it. False (and the record gone again) when the
// search does not choose it.
bool tryHole(KxRun& run, int k, const char* kn, long base, double x, double y, double radius) {
  KxNewElement circle;
  circle.sx = circle.ex = (float)(x + radius);
  circle.sy = circle.ey = (float)y;
  circle.cx = (float)x;
  circle.cy = (float)y;
  circle.r = (float)radius;
  AddElement(run, etCIR, circle, gtStartPoint);
  const long h = run.table.eldsCounter - 1;
  elementdaten& hole = run.table.elds[h];
  KxCopy(run.table.marks[h].kontur, sizeof run.table.marks[h].kontur, kn);
  KxNoteMember(run, h);
  run.table.marks[h].kElemX = kAutoStartMark;
  run.contours.placedHoles.push_back(h);
  hole.fLayer = run.table.elds[base].fLayer;
  hole.len = 0;
  KxContour& contour = run.contours.all[(size_t)k];
  const KxLeadInChoice choice = FindFirstElemFor(run, contour, nullptr);
  if (choice.element != 0 && choice.hole == h) {
    KxTakeLeadIn(run, contour, choice);
    return true;
  }
  hole = elementdaten{};
  --run.table.eldsCounter;
  run.contours.placedHoles.pop_back();
  if (choice.element != 0) KxTakeLeadIn(run, contour, choice);
  return false;
}

// The radius of the start holes korvex places: AutoHoleDiameter, at most the grid
// radius wide, so that the circle stays a start hole and is not cut as a hole.
double holeRadius(KxSettings& cfg) { return std::min((double)cfg.autoHoleDiameter, (double)cfg.gridRadius) / 2; }

// A place beside a base element: its midpoint and the unit normal toward the side the
// nesting asks for, the elements near enough to matter, and the room found there.
struct Beside {
  long base = 0;
  double mx = 0, my = 0, ux = 0, uy = 0;
  std::vector<long> near;    // contour elements but the base: the own contour's and the other contours'
  std::vector<long> holes;   // start holes and inserts
  double room = 0;           // radius of the widest free circle touching the base at its midpoint
  long binder = -1;          // the element that ends that circle (-1: it reached its limit)
};

// Which way from the base's midpoint the material of the contour lies, seen right
// beside the element; the place goes that way for an opening, the other way for an
// outer profile. False when both sides look alike.
bool sideOf(KxRun& run, const Contour& c, long base, bool wantInside, Beside* b) {
  double nx, ny;
  midAndNormal(run.table.elds[base], &b->mx, &b->my, &nx, &ny);
  const bool plusIn = insideOf(run, c, b->mx + kSideProbe * nx, b->my + kSideProbe * ny);
  if (plusIn == insideOf(run, c, b->mx - kSideProbe * nx, b->my - kSideProbe * ny)) return false;
  const double dir = plusIn == wantInside ? 1 : -1;
  b->base = base;
  b->ux = dir * nx;
  b->uy = dir * ny;
  return true;
}

bool isSmallCircle(KxSettings& cfg, const elementdaten& e) { return e.type == etCIR && !(e.r > cfg.gridRadius); }

// The contour elements within reach of the base's midpoint, and the start holes
// whose edge is within holeReach of it.
void gatherNear(KxRun& run, int konturs, Beside* b, double reach, double holeReach) {
  const long top = run.table.eldsCounter;
  for (long i = 0; i < top; ++i) {
    const elementdaten& e = run.table.elds[i];
    if (isSmallCircle(run.cfg, e) || e.type == etINSE) {
      if (std::hypot(e.cx - b->mx, e.cy - b->my) < holeReach + (e.type == etCIR ? e.r : 0)) b->holes.push_back(i);
    } else if (i != b->base && isGeometry(e.type) && contourNumber(run.table.marks[i].kontur, konturs) != 0 &&
               elemDist(e, b->mx, b->my) < reach) {
      b->near.push_back(i);
    }
  }
}

// The widest circle, up to radius limit, that touches the base at its midpoint on
// the wanted side and holds no other contour element. A distance changes no faster
// than the circle's radius grows, so an element stays outside the circle from
// radius 0 up to one radius and lies inside beyond it: halving finds the room.
void measureRoom(KxRun& run, Beside* b, double limit) {
  auto firstInside = [&run, b](double d) -> long {
    const double x = b->mx + d * b->ux, y = b->my + d * b->uy;
    for (long i : b->near)
      if (elemDist(run.table.elds[i], x, y) < d) return i;
    return -1;
  };
  b->binder = firstInside(limit);
  b->room = limit;
  if (b->binder < 0) return;
  double lo = 0, hi = limit;
  for (int n = 0; n < 40; ++n) {
    const double mid = (lo + hi) / 2;
    const long i = firstInside(mid);
    if (i < 0) {
      lo = mid;
    } else {
      hi = mid;
      b->binder = i;
    }
  }
  b->room = lo;
}

// The point of element e nearest to (px, py).
void nearestPoint(const elementdaten& e, double px, double py, double* fx, double* fy) {
  if (e.type == etLINE) {
    const double dx = e.ex - (double)e.sx, dy = e.ey - (double)e.sy, len2 = dx * dx + dy * dy;
    double u = len2 > 0 ? ((px - e.sx) * dx + (py - e.sy) * dy) / len2 : 0;
    u = u < 0 ? 0 : u > 1 ? 1 : u;
    *fx = e.sx + u * dx;
    *fy = e.sy + u * dy;
    return;
  }
  const double d = std::hypot(px - e.cx, py - e.cy);
  double w = std::atan2(py - e.cy, px - e.cx) * RAD2DEG - e.sw;
  while (w < 0) w += 360;
  while (w >= 360) w -= 360;
  if (d > 0 && (e.type == etCIR || w <= sweepOf(e))) {
    *fx = e.cx + (px - e.cx) * e.r / d;
    *fy = e.cy + (py - e.cy) * e.r / d;
    return;
  }
  const bool toStart = std::hypot(px - e.sx, py - e.sy) <= std::hypot(px - e.ex, py - e.ey);
  *fx = toStart ? e.sx : e.ex;
  *fy = toStart ? e.sy : e.ey;
}

// The largest circle inside an opening that holds no contour element, its centre
// clear of the material of the parts inside the opening: cells over the loop's box
// are split, widest promise first, while a cell may still hold a wider circle than
// the widest found (a distance grows no faster than the way to it, so a cell holds
// none wider than its centre's room and half its diagonal), up to a bounded number
// of probes. The place is given as the base the circle touches (the nearest of
// bases), the foot there and the way to the centre. False when none is found.
bool widestInside(KxRun& run, const std::vector<Contour>& all, int k, const std::vector<long>& bases, double limit,
                  Beside* b) {
  const Contour& c = all[(size_t)k];
  const int konturs = (int)all.size() - 1;
  // The other contours' elements that reach into the box, and the closed ones among them.
  std::vector<long> others;
  std::vector<int> inside;
  const long top = run.table.eldsCounter;
  for (long i = 0; i < top; ++i) {
    const elementdaten& e = run.table.elds[i];
    const int o = contourNumber(run.table.marks[i].kontur, konturs);
    if (!isGeometry(e.type) || o == 0 || o == k || isSmallCircle(run.cfg, e)) continue;
    const double reach = e.type == etLINE ? 0 : e.r;
    const double l = std::min(e.sx, e.ex) - reach, r = std::max(e.sx, e.ex) + reach;
    const double lo = std::min(e.sy, e.ey) - reach, hi = std::max(e.sy, e.ey) + reach;
    if (r < c.l || l > c.r || hi < c.b || lo > c.t) continue;
    others.push_back(i);
    if ((all[(size_t)o].closed || all[(size_t)o].hole) && (inside.empty() || inside.back() != o)) inside.push_back(o);
  }
  std::sort(inside.begin(), inside.end());
  inside.erase(std::unique(inside.begin(), inside.end()), inside.end());
  struct Probe {
    double x, y, room;
    long binder;   // the nearest element of another contour when it is as near as the own outline, else -1
    bool usable;   // the own outline is the nearest: the lead-in reaches it first
  };
  // The room at a point: its distance from every contour element; -1 outside the
  // opening or within the material of a part in it (inside an odd count of others).
  auto probe = [&](double x, double y) {
    Probe p{x, y, -1, -1, false};
    if (!insideOf(run, c, x, y)) return p;
    int parts = 0;
    for (int o : inside) parts += insideOf(run, all[(size_t)o], x, y);
    if (parts % 2) return p;
    const double own = distToContour(run, c, x, y);
    double other = 1e30;
    for (long i : others) {
      const double d = elemDist(run.table.elds[i], x, y);
      if (d < other) other = d, p.binder = i;
    }
    if (other > own + 0.001) p.binder = -1;
    p.room = std::min(own, other);
    p.usable = !(other < own - 0.001);
    return p;
  };
  const double w = c.r - c.l, h = c.t - c.b;
  if (!(w > 0) || !(h > 0)) return false;
  struct Cell {
    Probe p;
    double half;    // half the cell's side
    double bound;   // the widest room the cell can hold
  };
  auto cell = [&](double x, double y, double half) {
    const Probe p = probe(x, y);
    return Cell{p, half, std::max(p.room, 0.0) + half * M_SQRT2};
  };
  auto lessPromising = [](const Cell& a, const Cell& q) { return a.bound < q.bound; };
  std::vector<Cell> queue;
  const double side = std::max(std::min(w, h), std::max(w, h) / 64);
  for (double x = c.l; x < c.r; x += side)
    for (double y = c.b; y < c.t; y += side) queue.push_back(cell(x + side / 2, y + side / 2, side / 2));
  std::make_heap(queue.begin(), queue.end(), lessPromising);
  // The widest usable place: a bound of a cell holds for it too, as its room is never wider.
  Probe best{0, 0, -1, -1, false};
  auto better = [&best](const Probe& p) {
    if (p.usable && p.room > best.room) best = p;
  };
  for (const Cell& q : queue) better(q.p);
  const double precision = 0.0002;   // mm; well below what the program writes
  for (int probes = 0; !queue.empty() && probes < 4000; probes += 4) {
    std::pop_heap(queue.begin(), queue.end(), lessPromising);
    const Cell q = queue.back();
    queue.pop_back();
    better(q.p);
    if (q.bound - best.room <= precision) break;   // the rest promise no more
    const double hh = q.half / 2;
    for (int dx = -1; dx <= 1; dx += 2)
      for (int dy = -1; dy <= 1; dy += 2) {
        queue.push_back(cell(q.p.x + dx * hh, q.p.y + dy * hh, hh));
        std::push_heap(queue.begin(), queue.end(), lessPromising);
      }
  }
  for (const Cell& q : queue) better(q.p);
  if (!(best.room > 0)) return false;
  // The base: the nearest element the approach can end on, touching the circle.
  long base = -1;
  double baseDist = 1e30;
  for (long i : bases) {
    const double d = elemDist(run.table.elds[i], best.x, best.y);
    if (d < baseDist) baseDist = d, base = i;
  }
  if (base < 0) return false;
  double fx, fy;
  nearestPoint(run.table.elds[base], best.x, best.y, &fx, &fy);
  const double len = std::hypot(best.x - fx, best.y - fy);
  if (!(len > 0)) return false;
  b->base = base;
  b->mx = fx;
  b->my = fy;
  b->ux = (best.x - fx) / len;
  b->uy = (best.y - fy) / len;
  // Measured as the circle's radius; a base farther than that leaves the place to the check.
  b->room = std::min(best.room, limit);
  b->binder = best.binder;
  return true;
}

enum PlaceCheck { kFits, kContourInTheWay, kHoleInTheWay };

// The place d along the base's normal, rounded as the program writes it: on the
// wanted side, its base the nearest element (so the approach takes it and the
// lead-in meets nothing else), the hole's edge the clearance away from every
// contour and from every other start hole.
PlaceCheck placeAt(KxRun& run, const Contour& c, bool wantInside, const Beside& b, double d, double radius, double* x,
                   double* y) {
  *x = FL3NKS((float)(b.mx + d * b.ux));
  *y = FL3NKS((float)(b.my + d * b.uy));
  if (insideOf(run, c, *x, *y) != wantInside) return kContourInTheWay;
  const double need = radius + kAutoHoleClearance - 0.001;
  const double toBase = elemDist(run.table.elds[b.base], *x, *y);
  // Far from the origin a float cannot hold the place to a thousandth.
  if (std::fabs(toBase - d) > 0.002 || toBase < need) return kContourInTheWay;
  for (long i : b.near) {
    const double gap = elemDist(run.table.elds[i], *x, *y);
    if (gap < need || gap < toBase - 0.002) return kContourInTheWay;
  }
  for (long i : b.holes) {
    const elementdaten& e = run.table.elds[i];
    if (std::hypot(*x - e.cx, *y - e.cy) < (e.type == etCIR ? e.r : 0) + radius + kAutoHoleClearance)
      return kHoleInTheWay;
  }
  return kFits;
}

// No element has a free place half the anchor length off: the hole goes where the
// room beside an element is widest, with a lead-in as long as that room's radius
// (at the centre of an opening's largest inscribed circle, in the middle of the gap
// between an outer profile and its neighbours). What has too little room for the
// hole and its clearance on both sides is refused with the room measured.
signed char placeCloser(KxRun& run, Placing& pl, const std::vector<Contour>& all, int k, const char* kn, bool wantInside,
                        double radius, signed char firstVerdict) {
  const Contour& c = all[(size_t)k];
  // Half the anchor length off, such a loop usually has room enough for either
  // way of the cut; closer to it, it does not.
  if (touchesItself(run, c)) return kvCROSSING;
  const int konturs = (int)all.size() - 1;
  const double half = run.cfg.anchorLength / 2, need = radius + kAutoHoleClearance;
  std::vector<Beside> places;
  const std::vector<long> bases = candidateBases(run, c);
  pl.onlyShortArcs[k] = bases.empty();
  for (long base : bases) {
    Beside b;
    if (!sideOf(run, c, base, wantInside, &b)) continue;
    // Farther than twice the room's largest radius an element cannot come into it.
    gatherNear(run, konturs, &b, 2 * half + 0.01, half + need);
    measureRoom(run, &b, half);
    places.push_back(std::move(b));
  }
  std::stable_sort(places.begin(), places.end(), [](const Beside& p, const Beside& q) { return p.room > q.room; });
  bool holeInTheWay = false;
  // The places from the first on, up to the first with too little room: the verdict
  // when one of them settles the contour, -1 while none does.
  auto tryPlaces = [&](size_t from) -> int {
    for (size_t p = from; p < places.size(); ++p) {
      const Beside& b = places[p];
      if (b.room < need - 0.001) break;
      // The room holds no contour at any shorter distance either; another start
      // hole may still be in the way, and a shorter lead-in may pass it.
      for (double d = b.room; d >= need - 0.001; d -= kHoleStep) {
        double x, y;
        const PlaceCheck fit = placeAt(run, c, wantInside, b, d, radius, &x, &y);
        if (fit == kContourInTheWay) break;
        if (fit == kHoleInTheWay) {
          holeInTheWay = true;
          continue;
        }
        if (run.table.eldsCounter + 1 >= run.table.eldsMaximum) return kvTABLE_FULL;
        if (tryHole(run, k, kn, b.base, x, y, radius)) return kvPLACED;
        if (hasFeedPoint(run, k, kn)) return kvNONE;
        break;
      }
    }
    return -1;
  };
  if (const int v = tryPlaces(0); v >= 0) return (signed char)v;
  // An opening's widest room need not touch an element at its midpoint (a flat side
  // drawn as two lines): its largest inscribed circle is the last place tried, and
  // the room it measures is the one reported.
  if (Beside b; wantInside && widestInside(run, all, k, bases, half, &b)) {
    gatherNear(run, konturs, &b, 2 * half + 0.01, half + need);
    places.push_back(std::move(b));
    if (const int v = tryPlaces(places.size() - 1); v >= 0) return (signed char)v;
    std::stable_sort(places.begin(), places.end(), [](const Beside& p, const Beside& q) { return p.room > q.room; });
  }
  if (places.empty() || !(places[0].room < need - 0.001)) {
    if (!holeInTheWay) return firstVerdict;
    pl.crowdedBy[k] = -1;
    return kvCROWDED;
  }
  const Beside& best = places[0];
  pl.roomOf[k].mm = (float)(2 * best.room);
  // Without a binder the room is half the anchor length, and that is too small for the hole.
  const int o = best.binder < 0 ? k : contourNumber(run.table.marks[best.binder].kontur, konturs);
  if (o == k || o == 0) return kvTOO_SMALL;
  pl.crowdedBy[k] = (int)o;
  return kvCROWDED;
}

// Looks for a free place for contour k; the verdict says what became of it.
// First half the anchor length off an element with every other contour an anchor
// length away, as a drawn start hole would usually lie; else closer (placeCloser).
signed char placeFor(KxRun& run, Placing& pl, const std::vector<Contour>& all, int k, const char* kn) {
  const Contour& c = all[(size_t)k];
  const double anchor = run.cfg.anchorLength;
  const double half = anchor / 2;
  const double radius = holeRadius(run.cfg);
  const bool wantInside = nestingDepth(run, all, k) % 2 == 1;
  // A hole as wide as the anchor path is long would reach into its own contour.
  if (!(radius < half)) return kvTOO_SMALL;
  if (crossesItself(c)) return kvCROSSING;
  signed char verdict = kvTOO_SMALL;
  const long top = run.table.eldsCounter;
  for (long base : candidateBases(run, c)) {
    // The place must still be on the wanted side at its full distance.
    Beside b;
    if (!sideOf(run, c, base, wantInside, &b)) continue;
    const double x = FL3NKS((float)(b.mx + half * b.ux)), y = FL3NKS((float)(b.my + half * b.uy));
    if (insideOf(run, c, x, y) != wantInside) continue;
    // Far from the origin a float cannot hold the place to a thousandth.
    if (std::fabs(elemDist(run.table.elds[base], x, y) - half) > 0.002) continue;

    // Nothing of the own contour nearer than the element it starts from: the
    // approach then takes that element, and the anchor path meets nothing else.
    bool free = true;
    for (long i : c.members)
      if (i != base && elemDist(run.table.elds[i], x, y) < half - 0.001) free = false;
    if (!free) continue;

    // Every other contour at least an anchor length away (then the anchor path,
    // half as long, cannot reach one), and no other start hole overlapping.
    int neighbour = 0;
    for (long i = 0; i < top && !neighbour; ++i) {
      const elementdaten& e = run.table.elds[i];
      const int o = contourNumber(run.table.marks[i].kontur, (int)all.size() - 1);
      if (isGeometry(e.type) && o != 0 && o != k && !isSmallCircle(run.cfg, e)) {
        if (elemDist(e, x, y) < anchor) neighbour = o;
      } else if (isSmallCircle(run.cfg, e) || e.type == etINSE) {
        if (std::hypot(x - e.cx, y - e.cy) < (e.type == etCIR ? e.r : 0) + radius) neighbour = o && o != k ? o : -1;
      }
    }
    if (neighbour) {
      verdict = kvCROWDED;
      pl.crowdedBy[k] = (int)neighbour;
      continue;
    }
    // The last record stays free: the approach test and the NC output need it.
    if (run.table.eldsCounter + 1 >= run.table.eldsMaximum) return kvTABLE_FULL;
    if (tryHole(run, k, kn, base, x, y, radius)) return kvPLACED;
    if (hasFeedPoint(run, k, kn)) return kvNONE;
  }
  return placeCloser(run, pl, all, k, kn, wantInside, radius, verdict);
}

}  // namespace

static void forgetPlacements(KxRun& run) {
  run.contours.autoStartCount = 0;
  run.contours.placedHoles.clear();
}

// A measured room to hundredths, cut rather than rounded: a room just short of
// what is needed must not read as enough.
static double roomShown(float room) { return std::floor(room * 100.0 + 1e-4) / 100.0; }

// Why contour k got no start hole (into buf), or null.
static const char* refusalOf(KxRun& run, const Placing& pl, int k, char* buf, size_t size) {
  if (!buf || size == 0 || k < 1 || k > run.contours.count) return nullptr;
  // A reason longer than buf is cut short there.
  int n = 0;
  switch (pl.verdicts[k]) {
    case kvTOO_SMALL:
      if (pl.onlyShortArcs[k])
        n = snprintf(buf, size, "too small (only arcs under R%.2f mm/%.1f deg)", run.cfg.anchorLength, kMinLeadInSweep);
      else if (pl.roomOf[k].mm < 0)
        n = snprintf(buf, size, "too small");
      else
        n = snprintf(buf, size, "too small (room %.2f mm, needs %.2f mm)", roomShown(pl.roomOf[k].mm), pl.roomNeeded);
      break;
    case kvTABLE_FULL: n = snprintf(buf, size, "element table full"); break;
    case kvCROSSING: n = snprintf(buf, size, "outline crosses itself"); break;
    case kvOPEN: n = snprintf(buf, size, "open: its ends do not meet"); break;
    case kvCROWDED:
      if (pl.crowdedBy[k] > 0) {
        char name[16];
        KxContourName(name, sizeof name, pl.crowdedBy[k]);
        if (pl.roomOf[k].mm < 0)
          n = snprintf(buf, size, "crowded by %s", name);
        else
          n = snprintf(buf, size, "crowded by %s (gap %.2f mm, needs %.2f mm)", name, roomShown(pl.roomOf[k].mm), pl.roomNeeded);
      } else {
        n = snprintf(buf, size, "crowded by a start hole");
      }
      break;
    default: return nullptr;
  }
  return n < 0 ? nullptr : buf;
}

int PlaceAutoStartHoles(KxRun& run) {
  forgetPlacements(run);
  if (!run.cfg.autoStartHoles || run.contours.count < 1) return 0;
  const int konturs = run.contours.count;
  KxPrint(run, "\n ...AutoStartHoles()\n");
  KxLog(run, "\n\n AutoStartHoles:");
  Placing pl;
  pl.roomNeeded = (float)(2 * (holeRadius(run.cfg) + kAutoHoleClearance));

  std::vector<Contour> all((size_t)konturs + 1);
  const long top = run.table.eldsCounter;
  for (long i = 0; i < top; ++i) {
    if (!isGeometry(run.table.elds[i].type)) continue;
    const int k = contourNumber(run.table.marks[i].kontur, konturs);
    // Small circles are start holes, not contour geometry.
    if (k && !(run.table.elds[i].type == etCIR && !(run.table.elds[i].r > run.cfg.gridRadius))) all[(size_t)k].members.push_back(i);
  }
  for (int k = 1; k <= konturs; ++k) {
    Contour& c = all[(size_t)k];
    c.hole = c.members.size() == 1 && run.table.elds[c.members[0]].type == etCIR;
    c.closed = closesIntoLoop(run, c.members);
    if (c.closed) buildLoop(run, c);
  }

  char kn[16];
  for (int k = 1; k <= konturs; ++k) {
    KxContourName(kn, sizeof kn, k);
    const long reg = run.contours.all[(size_t)k].region;
    const Contour& c = all[(size_t)k];
    if (c.hole || reg < 0 || hasFeedPoint(run, k, kn)) continue;
    // An open chain has no side to place a hole on; it is said to be open, as a drawn hole would show.
    pl.verdicts[k] = c.closed ? placeFor(run, pl, all, k, kn) : (signed char)kvOPEN;
    if (pl.verdicts[k] == kvPLACED) {
      ++run.contours.autoStartCount;
      const KxContour& h = run.contours.all[(size_t)k];
      KxPrint(run, "\n AUTO START HOLE %s X%.3f Y%.3f D%.3f\n", kn, h.holeX, h.holeY, 2 * h.holeR);
      KxLog(run, "\n %s: AUTO START HOLE X%.3f Y%.3f D%.3f", kn, h.holeX, h.holeY, 2 * h.holeR);
    } else if (pl.verdicts[k] != kvNONE) {
      char why[48];
      const char* refusal = refusalOf(run, pl, k, why, sizeof why);
      if (refusal) run.contours.autoRefusals[k] = refusal;
      else run.contours.autoRefusals.erase(k);
      KxPrint(run, "\n NO PLACE FOR A START HOLE %s: %s\n", kn, why);
      KxLog(run, "\n %s: NO PLACE FOR A START HOLE: %s", kn, why);
    }
  }
  KxTraceCounts(run);
  KxPrint(run, "\n ...AutoStartHoles() END: %d\n", run.contours.autoStartCount);
  return run.contours.autoStartCount;
}

bool KxHolePlaced(KxRun& run, long i) {
  const std::vector<long>& placed = run.contours.placedHoles;
  return std::binary_search(placed.begin(), placed.end(), i);
}

bool KxChainIsOpen(KxRun& run, int k) {
  if (k < 1 || k > run.contours.count) return false;
  char kn[16];
  KxContourName(kn, sizeof kn, k);
  std::vector<long> candidates, members;
  KxMemberCandidates(run, kn, run.table.eldsCounter, candidates);
  for (long i : candidates) {
    const elementdaten& e = run.table.elds[i];
    // Small circles are start holes, not contour geometry.
    if (KxSameName(run.table.marks[i].kontur, kn) && isGeometry(e.type) && !(e.type == etCIR && !(e.r > run.cfg.gridRadius)))
      members.push_back(i);
  }
  const bool hole = members.size() == 1 && run.table.elds[members[0]].type == etCIR;
  return !hole && !members.empty() && !closesIntoLoop(run, members);
}

