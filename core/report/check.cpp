// korvex --check: follows a written NC program as the machine does (the core's
// follower) and reports what would spoil the part or the machine's day, in bounded output;
// with the drawing also what the program leaves uncut or cuts off the drawn lines.
// Writes _check.htm, the picture of the program as followed with its faults.
#include <algorithm>
#include <climits>
#include <sys/stat.h>
#include <unistd.h>
#include <cmath>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

#include "config/config.h"
#include "contours/contours.h"
#include "dxf/dxf.h"
#include "elements/elements.h"
#include "geometry/base.h"
#include "geometry/limits.h"
#include "geometry/runwide.h"
#include "report/report.h"
#include "run/run.h"

namespace {

constexpr double kArcTolerance = 0.001;      // an arc's end this far off its circle still meets it
constexpr double kWritten = 0.0005;          // half the last digit of the program's numbers
constexpr double kUpperReach = 0.005;        // four-axis: how far a guide's point may lie off its contour (chords and rounding)
// The drawing's numbers and the program's moves come from single floats: a point
// far from the origin is only that exact (a relative 2^-23), which a drawing in
// inches or metres, scaled to millimetres, makes plain.
inline double floatSlack(double magnitude) { return 4 * 1.2e-7 * magnitude; }
constexpr double kCloseTolerance = 0.0015;   // a loop's end this close to its split point closes it
using Move = KxNcMove;

struct Loop {
  int quote;             // its compensation line
  int block;             // index of the block that cuts it
  int side;              // 41 or 42
  double holeX, holeY;   // where the wire was threaded
  std::vector<Move> moves;   // from the lead-in to the lead-out
  int cuts = 0;
  bool byHand = false;   // cut only in a block nothing calls: its place in the order is the user's
  bool orphan = false;   // and that block should have been called: the machine never cuts it
  // Filled after the program was followed.
  int first = 0, last = -1;  // the path: moves[first..last]
  bool closed = false;
  std::vector<std::pair<double, double>> pts;   // the path as a polygon
  double bx0 = 1e300, by0 = 1e300, bx1 = -1e300, by1 = -1e300;
  double area = 0;
  int drawn = 0;         // the drawn contour it follows, 0 when none
  double deviation = 0;  // largest distance of the path from the drawing
};

// A fault found: where, what, and the place it marks in the picture.
struct Found {
  int quote;             // its line; -1: the fault is the drawing's, -2: the whole program's
  std::string what;
  bool at;               // x, y mark the place in the picture
  double x, y;
};

// One element of the drawing a cut may run along.
struct Drawn {
  int type;              // etLINE, etARC, etCIR
  double sx, sy, ex, ey, cx, cy, r, sw, ew;   // angles in radians
  int contour;
};

std::string baseName(const std::string& path) {
  size_t s = path.find_last_of('/');
  return s == std::string::npos ? path : path.substr(s + 1);
}

double segDist(double x, double y, double x1, double y1, double x2, double y2) {
  const double dx = x2 - x1, dy = y2 - y1, len2 = dx * dx + dy * dy;
  double t = len2 > 0 ? ((x - x1) * dx + (y - y1) * dy) / len2 : 0;
  t = t < 0 ? 0 : t > 1 ? 1 : t;
  return hypot(x1 + t * dx - x, y1 + t * dy - y);
}

// Start angle and signed sweep of an arc move; start and end on one point is a full circle.
void sweepOf(const Move& m, double* a0, double* sweep) {
  double s = atan2(m.y0 - m.cy, m.x0 - m.cx), e = atan2(m.y1 - m.cy, m.x1 - m.cx);
  double d = m.g == 3 ? e - s : s - e;
  while (d <= 1e-9) d += 2 * M_PI;
  while (d > 2 * M_PI + 1e-9) d -= 2 * M_PI;
  if (hypot(m.x0 - m.x1, m.y0 - m.y1) < 1e-4) d = 2 * M_PI;
  *a0 = s;
  *sweep = m.g == 3 ? d : -d;
}

// Points along a move, its ends included; an arc's radius runs from its start's to its end's.
void samples(const Move& m, int n, std::vector<std::pair<double, double>>* out) {
  out->clear();
  if (m.g < 2) {
    for (int k = 0; k <= n; ++k) out->push_back({m.x0 + (m.x1 - m.x0) * k / n, m.y0 + (m.y1 - m.y0) * k / n});
    return;
  }
  double a0, sw;
  sweepOf(m, &a0, &sw);
  const double r0 = hypot(m.x0 - m.cx, m.y0 - m.cy), r1 = hypot(m.x1 - m.cx, m.y1 - m.cy);
  for (int k = 0; k <= n; ++k) {
    const double t = (double)k / n, a = a0 + sw * t, r = r0 + (r1 - r0) * t;
    out->push_back({m.cx + r * cos(a), m.cy + r * sin(a)});
  }
}

double drawnDist(const Drawn& d, double x, double y) {
  if (d.type == etLINE) return segDist(x, y, d.sx, d.sy, d.ex, d.ey);
  const double toCentre = hypot(x - d.cx, y - d.cy);
  if (d.type == etCIR) return fabs(toCentre - d.r);
  // In one step: an arc drawn at 1e30 degrees must not turn for ever.
  double a = fmod(atan2(y - d.cy, x - d.cx) - d.sw, 2 * M_PI), span = fmod(d.ew - d.sw, 2 * M_PI);
  if (a < 0) a += 2 * M_PI;
  if (span <= 0) span += 2 * M_PI;
  if (a <= span + 1e-9) return fabs(toCentre - d.r);
  return std::min(hypot(x - d.sx, y - d.sy), hypot(x - d.ex, y - d.ey));
}

bool inside(const std::vector<std::pair<double, double>>& p, double x, double y) {
  bool in = false;
  for (size_t i = 0, j = p.size() - 1; i < p.size(); j = i++)
    if ((p[i].second > y) != (p[j].second > y) &&
        x < (p[j].first - p[i].first) * (y - p[i].second) / (p[j].second - p[i].second) + p[i].first)
      in = !in;
  return in;
}

// Whether two moves run along the same element, either way round.
bool sameElement(Move a, Move b) {
  const double t = kCloseTolerance;
  if ((a.g >= 2) != (b.g >= 2)) return false;
  if (a.g == 2) std::swap(a.x0, a.x1), std::swap(a.y0, a.y1);
  if (b.g == 2) std::swap(b.x0, b.x1), std::swap(b.y0, b.y1);
  auto near = [t](double ax, double ay, double bx, double by) { return hypot(ax - bx, ay - by) <= t; };
  if (a.g >= 2) return near(a.cx, a.cy, b.cx, b.cy) && near(a.x0, a.y0, b.x0, b.y0) && near(a.x1, a.y1, b.x1, b.y1);
  return (near(a.x0, a.y0, b.x0, b.y0) && near(a.x1, a.y1, b.x1, b.y1)) ||
         (near(a.x0, a.y0, b.x1, b.y1) && near(a.x1, a.y1, b.x0, b.y0));
}

// The drawing's elements in square cells, so that a move asks only its neighbours.
struct Grid {
  double x0 = 0, y0 = 0, cell = 1;
  int nx = 1, ny = 1;
  std::vector<std::vector<int>> cells;
  std::vector<int> wide;   // elements over too many cells: always asked

  void build(const std::vector<Drawn>& all) {
    double bx0 = 1e300, by0 = 1e300, bx1 = -1e300, by1 = -1e300;
    for (const Drawn& d : all) {
      double a, b, c, e;
      box(d, &a, &b, &c, &e);
      bx0 = std::min(bx0, a), by0 = std::min(by0, b), bx1 = std::max(bx1, c), by1 = std::max(by1, e);
    }
    if (all.empty()) return;
    x0 = bx0, y0 = by0;
    const double size = std::max({bx1 - bx0, by1 - by0, 1.0});
    nx = ny = (int)std::min(512.0, std::max(1.0, sqrt((double)all.size()) * 2));
    cell = size / nx;
    nx = (int)((bx1 - bx0) / cell) + 1;
    ny = (int)((by1 - by0) / cell) + 1;
    cells.assign((size_t)nx * ny, {});
    for (int i = 0; i < (int)all.size(); ++i) {
      double a, b, c, e;
      box(all[i], &a, &b, &c, &e);
      int i0, j0, i1, j1;
      range(a, b, c, e, &i0, &j0, &i1, &j1);
      if ((long)(i1 - i0 + 1) * (j1 - j0 + 1) > 4096) {
        wide.push_back(i);
        continue;
      }
      for (int u = i0; u <= i1; ++u)
        for (int v = j0; v <= j1; ++v) cells[(size_t)v * nx + u].push_back(i);
    }
  }
  static void box(const Drawn& d, double* a, double* b, double* c, double* e) {
    if (d.type == etLINE) {
      *a = std::min(d.sx, d.ex), *b = std::min(d.sy, d.ey), *c = std::max(d.sx, d.ex), *e = std::max(d.sy, d.ey);
    } else {
      *a = d.cx - d.r, *b = d.cy - d.r, *c = d.cx + d.r, *e = d.cy + d.r;
    }
  }
  void range(double a, double b, double c, double e, int* i0, int* j0, int* i1, int* j1) const {
    auto clampI = [](double v, int n) { return v < 0 ? 0 : v >= n ? n - 1 : (int)v; };
    *i0 = clampI((a - x0) / cell, nx), *i1 = clampI((c - x0) / cell, nx);
    *j0 = clampI((b - y0) / cell, ny), *j1 = clampI((e - y0) / cell, ny);
  }
  // Elements whose cells meet the box, each once.
  void near(double a, double b, double c, double e, std::vector<int>* out, std::vector<char>* mark) const {
    out->clear();
    if (cells.empty()) return;
    int i0, j0, i1, j1;
    range(a, b, c, e, &i0, &j0, &i1, &j1);
    for (int u = i0; u <= i1; ++u)
      for (int v = j0; v <= j1; ++v)
        for (int i : cells[(size_t)v * nx + u])
          if (!(*mark)[i]) (*mark)[i] = 1, out->push_back(i);
    for (int i : wide)
      if (!(*mark)[i]) (*mark)[i] = 1, out->push_back(i);
    for (int i : *out) (*mark)[i] = 0;
  }
};

// A loop's edges filed by their boxes, so that whether a point lies inside the loop
// or near its path asks the edges around the point, not every edge.
struct EdgeGrid {
  const std::vector<std::pair<double, double>>* p = nullptr;   // edge k runs from point k-1 (the last for k = 0) to point k
  double right = 0;                                            // the loop's right side, where a ray from a point ends
  KxBoxGrid grid;
  mutable std::vector<long> found;

  void build(const std::vector<std::pair<double, double>>& pts, double bx0, double by0, double bx1, double by1) {
    p = &pts;
    right = bx1;
    const size_t n = pts.size();
    grid.Reset(std::max(bx1 - bx0, by1 - by0) / std::min(1024.0, std::max(1.0, sqrt((double)n))));
    grid.Reserve((long)n);
    for (size_t k = 0; k < n; ++k) {
      const auto& a = from((int)k);
      grid.Add(a.first, a.second, pts[k].first, pts[k].second, (long)k);
    }
  }
  std::pair<double, double> from(int k) const { return (*p)[k ? (size_t)k - 1 : p->size() - 1]; }
  bool near(double x, double y, double tol) const {
    grid.Overlapping(x - tol, y - tol, x + tol, y + tol, found);
    for (long k : found) {
      const auto a = from((int)k), b = (*p)[(size_t)k];
      if (segDist(x, y, a.first, a.second, b.first, b.second) <= tol) return true;
    }
    return false;
  }
  // A ray to the right crosses only edges whose boxes it meets.
  bool inside(double x, double y) const {
    if (p->empty()) return false;
    bool in = false;
    grid.Overlapping(x, y, std::max(x, right), y, found);
    for (long k : found) {
      const auto a = from((int)k), b = (*p)[(size_t)k];
      if ((b.second > y) != (a.second > y) && x < (a.first - b.first) * (y - b.second) / (a.second - b.second) + b.first)
        in = !in;
    }
    return in;
  }
};

// The checker of one program, with the drawing (when it was read) in run.table.elds:
// it hears the follower's steps and judges them.
struct Checker : KxNcFollower {
  KxRun& run;
  std::string name;            // the program as the user named it, escaped
  std::string programPath;     // and as it is opened
  std::string drawing;         // and the drawing, empty when none
  std::vector<Loop> loops;
  std::vector<int> order;                 // loops in the order they are cut, each cut once
  std::vector<Found> faults;              // those told with their block
  std::set<std::pair<int, std::string>> said;
  std::map<std::string, long> ofKind, leftOut;   // faults of each kind, and those only counted
  std::map<std::string, std::string> firstOf;    // the first fault of each kind, to name the kind
  long faultCount = 0;
  std::vector<std::pair<double, double>> rapids;   // positioning moves, pairs of points
  std::vector<KxWirePair> passed;                  // four-axis: where both guides stood together while cutting
  bool orphan = false;   // following a block that should have been called

  // Drawing.
  std::vector<Drawn> drawn;
  std::map<int, bool> drawnClosed;        // contour number -> its ends meet
  std::map<int, std::pair<double, double>> drawnAt;   // a point of each contour, for the report
  int drawnLoops = 0, drawnCut = 0, drawnReported = 0;
  double largest = 0;

  explicit Checker(KxRun& r) : KxNcFollower(r.cfg.mS), run(r) {}

  // The edge grid of loop k, made once when first asked.
  std::unordered_map<int, EdgeGrid> edgeGrids;
  const EdgeGrid& edges(int k) {
    auto it = edgeGrids.find(k);
    if (it != edgeGrids.end()) return it->second;
    EdgeGrid& g = edgeGrids[k];
    const Loop& l = loops[(size_t)k];
    g.build(l.pts, l.bx0, l.by0, l.bx1, l.by1);
    return g;
  }

  // A fault at a line (quote; -1: the drawing's, -2: the whole program's); kind
  // groups faults of one sort, of which only the first are told one by one.
  void fault(int quote, const char* kind, const std::string& what, bool at = false, double x = 0, double y = 0) {
    if (!said.insert({quote, what}).second) return;
    ++faultCount;
    if (++ofKind[kind] == 1) firstOf[kind] = what;
    if (ofKind[kind] > kCheckFaultsShown) {
      ++leftOut[kind];
      return;
    }
    faults.push_back({quote, what, at, x, y});
  }

  void Fault(int quote, const char* kind, const std::string& what) override { fault(quote, kind, what); }

  std::string where(int quote) const {
    if (quote < 0) return "";
    const KxNcQuote& q = quotes[(size_t)quote];
    return KxNcText("%d: %s: ", q.line + 1, quoted.substr(q.at, q.len).c_str());
  }

  // A fault as the console and the page tell it: file, line and block, what is wrong.
  std::string told(const Found& x) const {
    if (x.quote == -1) return drawing + ": " + x.what;
    if (x.quote == -2) return name + ": " + x.what;
    return name + ":" + where(x.quote) + x.what;
  }

  // A move: an arc's end against its circle, a rapid where the wire cuts, the path.
  void Moved(const KxNcStep& st, const Move& m, bool first) override {
    const int g = m.g;
    if (g >= 2 && first) {
      const double r0 = hypot(st.i, st.j), r1 = hypot(m.x1 - m.cx, m.y1 - m.cy);
      // Start, end and centre are written to 0.001: what their rounding can move the
      // two radii apart is no fault of the arc.
      double ux = 0, uy = 0, vx = 0, vy = 0;
      if (r0 > 0) ux = -st.i / r0, uy = -st.j / r0;
      if (r1 > 0) vx = (m.x1 - m.cx) / r1, vy = (m.y1 - m.cy) / r1;
      const double rounding = kWritten * (2 * (fabs(vx) + fabs(vy)) + fabs(ux - vx) + fabs(uy - vy));
      if (fabs(r0 - r1) > kArcTolerance + rounding + floatSlack(fabs(m.cx) + fabs(m.cy) + r0) + 1e-6)
        fault(st.quote, "arc", KxNcText("arc end point is %.4f mm off its circle (radius %.3f from its start, %.3f from its end)",
                                   fabs(r0 - r1), r0, r1), true, m.x1, m.y1);
    }
    if (g == 0 && !st.asked) {
      if (loop >= 0 && threaded)
        fault(st.quote, "rapid", "rapid move while the wire is threaded and compensation is on", true, m.x1, m.y1);
      else if (loop >= 0)
        fault(st.quote, "rapid", "rapid move while compensation is on", true, m.x1, m.y1);
      else if (threaded && !noCut)
        fault(st.quote, "rapid", "rapid move while the wire is threaded (compensation off)", true, m.x1, m.y1);
    }
    if (loop < 0) {
      if (first && (m.x0 != m.x1 || m.y0 != m.y1)) rapids.push_back({m.x0, m.y0}), rapids.push_back({m.x1, m.y1});
      return;
    }
    if (record) loops[(size_t)loop].moves.push_back(m);
    if (m.tilted && first) checkUpper(st, m);
  }

  // Four-axis: the wire's angle within MaxTaper, the upper guide on a top contour
  // of the drawing, and the sync lines' points passed together.
  void checkUpper(const KxNcStep& st, const Move& m) {
    const KxWirePair end{m.x1, m.y1, m.tx1, m.ty1};
    double off = 1e300;
    const KxContour* nearest = nullptr;
    for (const KxContour& c : run.contours.all) {
      if (!c.upper) continue;
      const double d = KxLoopDistance(c.upper->loop, m.tx1, m.ty1);
      if (d < off) off = d, nearest = &c;
    }
    // The height the contour's text or the settings give; without a top contour the settings'.
    const double height = nearest && nearest->upper->height > 0 ? nearest->upper->height : run.cfg.partHeight;
    if (height > 0 && KxWireTilt(end, height) > run.cfg.maxTaper + 0.005)
      fault(st.quote, "tilt", KxNcText("the wire leans %.2f degrees, more than MaxTaper %.2f", KxWireTilt(end, height),
                                       (double)run.cfg.maxTaper), true, m.x1, m.y1);
    // At the start hole and back to it the upper guide is off the contour: only moves that cut count.
    const bool onBottom = nearest && KxLoopDistance(nearest->upper->bottom, m.x1, m.y1) <= kUpperReach;
    if (nearest && onBottom && off > kUpperReach)
      fault(st.quote, "upper", KxNcText("the upper guide is %.4f mm off the top contour of %s", off, nearest->name), true, m.x1, m.y1);
    if (nearest && onBottom) passed.push_back(end);
  }

  // Every sync line of a contour that was cut four-axis: its two points passed together.
  void checkTies() {
    if (passed.empty()) return;
    for (const KxContour& c : run.contours.all)
      for (const KxWirePair& tie : c.upper ? c.upper->ties : std::vector<KxWirePair>{}) {
        bool met = false;
        for (const KxWirePair& p : passed)
          if (std::hypot(p.bx - tie.bx, p.by - tie.by) <= kUpperReach && std::hypot(p.tx - tie.tx, p.ty - tie.ty) <= kUpperReach) {
            met = true;
            break;
          }
        if (!met)
          fault(-1, "sync", KxNcText("%s: the sync line from X%.3f Y%.3f to X%.3f Y%.3f is not passed: the wire never joins its ends",
                                     c.name, tie.bx, tie.by, tie.tx, tie.ty));
      }
  }

  // Compensation on starts a cut (a new loop the first time); a reference return or
  // a program stop is told.
  void Stepped(int, const KxNcStep& st, int block) override {
    if (st.kind == kxNC_FEED && (pu != 0 || pv != 0))
      fault(st.quote, "tilt", KxNcText("the wire is threaded tilted (U%.3f V%.3f off the lower guide): it is threaded upright", pu, pv));
    if (st.kind == kxNC_HOME && threaded) fault(st.quote, "home", "G28 (reference return) with the wire threaded");
    if (st.kind == kxNC_STOP) fault(st.quote, "stop", "M00 (program stop): the machine waits for the operator here");
    if (st.kind != kxNC_COMP) return;
    if (!threaded) fault(st.quote, "thread", KxNcText("G%d: the cut begins without the wire threaded (no %s before it)", st.g, run.cfg.mS.WireFeed));
    if (record) {
      Loop l;
      l.quote = st.quote;
      l.block = block;
      l.side = st.g;
      l.holeX = fed ? feedX : px;
      l.holeY = fed ? feedY : py;
      l.byHand = byHand;
      l.orphan = orphan;
      loops.push_back(l);
    }
    ++loops[(size_t)loop].cuts;
    order.push_back(loop);
  }

  // The path of each loop, closed or not, as a polygon with its box and area.
  void shapeLoops() {
    std::vector<std::pair<double, double>> pts;
    for (Loop& l : loops) {
      l.first = 1;
      l.last = (int)l.moves.size() - 2;   // the last move returns to the start hole
      if (l.last < l.first) {
        l.last = (int)l.moves.size() - 1;
        if (l.last < l.first) continue;
      }
      const Move& a = l.moves[(size_t)l.first];
      l.pts.push_back({a.x0, a.y0});
      for (int m = l.first; m <= l.last; ++m) {
        samples(l.moves[(size_t)m], l.moves[(size_t)m].g >= 2 ? 32 : 1, &pts);
        l.pts.insert(l.pts.end(), pts.begin() + 1, pts.end());
      }
      for (auto& p : l.pts)
        l.bx0 = std::min(l.bx0, p.first), l.by0 = std::min(l.by0, p.second), l.bx1 = std::max(l.bx1, p.first),
        l.by1 = std::max(l.by1, p.second);
      const Move& z = l.moves[(size_t)l.last];
      l.closed = hypot(z.x1 - a.x0, z.y1 - a.y0) <= kCloseTolerance;
      // A hole's last arc runs on past its split point: passing it closes the loop too.
      for (size_t i = 2; i < l.pts.size() && !l.closed; ++i)
        l.closed = segDist(a.x0, a.y0, l.pts[i - 1].first, l.pts[i - 1].second, l.pts[i].first, l.pts[i].second) <= kCloseTolerance;
      double area = 0;
      for (size_t i = 0, j = l.pts.size() - 1; i < l.pts.size(); j = i++)
        area += l.pts[j].first * l.pts[i].second - l.pts[i].first * l.pts[j].second;
      l.area = area / 2;
    }
  }

  void checkLoops() {
    for (Loop& l : loops) {
      if (l.pts.size() < 2) continue;
      const Move& a = l.moves[(size_t)l.first];
      const Move& z = l.moves[(size_t)l.last];
      if (!l.closed && !blocks[(size_t)l.block].open)
        fault(z.quote, "open", KxNcText("cut loop ends at X%.3f Y%.3f, %.4f mm from its split point X%.3f Y%.3f", z.x1, z.y1,
                          hypot(z.x1 - a.x0, z.y1 - a.y0), a.x0, a.y0), true, z.x1, z.y1);
      // Every element once: each move filed in the cells of its two ends (a little
      // larger than the tolerance), asked of the cells around its start; a cell
      // with very many ends (moves of no length) is asked for its first ones only.
      std::unordered_map<long long, std::vector<int>> byCell;
      constexpr double kEndCell = 0.004;
      auto cellOf = [](double x, double y) {
        return std::make_pair((long long)floor(x / kEndCell), (long long)floor(y / kEndCell));
      };
      auto key = [](long long u, long long v) { return u * 1000003LL + v; };
      for (int m = l.first; m <= l.last; ++m) {
        const Move& mv = l.moves[(size_t)m];
        const auto [u, v] = cellOf(mv.x0, mv.y0);
        bool twice = false;
        for (long long du = -1; du <= 1 && !twice; ++du)
          for (long long dv = -1; dv <= 1 && !twice; ++dv) {
            auto it = byCell.find(key(u + du, v + dv));
            if (it == byCell.end()) continue;
            const size_t most = std::min<size_t>(it->second.size(), 64);
            for (size_t o = 0; o < most && !twice; ++o) twice = sameElement(l.moves[(size_t)it->second[o]], mv);
          }
        if (twice) fault(mv.quote, "twice", "element cut a second time in the same cut", true, (mv.x0 + mv.x1) / 2, (mv.y0 + mv.y1) / 2);
        const auto a0 = cellOf(mv.x0, mv.y0), a1 = cellOf(mv.x1, mv.y1);
        byCell[key(a0.first, a0.second)].push_back(m);
        if (a1 != a0) byCell[key(a1.first, a1.second)].push_back(m);
      }
      // The wire goes to the side of the start hole: that is the scrap side.
      if (!l.closed || l.pts.size() < 4 || fabs(l.area) < 1e-6) continue;
      double toHole = 1e300;
      for (size_t i = 0, j = l.pts.size() - 1; i < l.pts.size(); j = i++)
        toHole = std::min(toHole, segDist(l.holeX, l.holeY, l.pts[j].first, l.pts[j].second, l.pts[i].first, l.pts[i].second));
      if (toHole < 0.01) continue;   // a start hole on the loop has no side
      // The lead-in meets the loop at its split point only: crossing it on the way
      // there drags the wire through the part.
      if (const Move& lead = l.moves[0]; leadCrosses(l, lead.x0, lead.y0, lead.x1, lead.y1)) {
        fault(l.quote, "across", KxNcText("lead-in from X%.3f Y%.3f crosses the cut loop on its way to the split point",
                                     lead.x0, lead.y0), true, lead.x0, lead.y0);
        continue;
      }
      const bool wireInside = (l.side == 41) == (l.area > 0);
      const bool holeInside = inside(l.pts, l.holeX, l.holeY);
      if (wireInside != holeInside)
        fault(l.quote, "side", KxNcText("G%d puts the wire %s the loop, but its start hole X%.3f Y%.3f lies %s", l.side,
                          wireInside ? "inside" : "outside", l.holeX, l.holeY, holeInside ? "inside" : "outside"),
              true, a.x0, a.y0);
    }
  }

  // Whether the segment from (x0, y0) to (x1, y1) crosses the loop's path farther than a
  // hundredth from its end.
  static bool leadCrosses(const Loop& l, double x0, double y0, double x1, double y1) {
    const double dx = x1 - x0, dy = y1 - y0;
    for (size_t i = 1; i < l.pts.size(); ++i) {
      const double ax = l.pts[i - 1].first, ay = l.pts[i - 1].second, ex = l.pts[i].first - ax, ey = l.pts[i].second - ay;
      const double den = dx * ey - dy * ex;
      if (fabs(den) < 1e-12) continue;
      const double t = ((ax - x0) * ey - (ay - y0) * ex) / den, u = ((ax - x0) * dy - (ay - y0) * dx) / den;
      if (t < 0 || t > 1 || u < 0 || u > 1) continue;
      if (hypot(x0 + t * dx - x1, y0 + t * dy - y1) > 0.01) return true;
    }
    return false;
  }

  // A loop inside another is cut before it, each time: else the inner part falls out
  // uncut. Each loop is held to the smallest loop around it; loops that touch are
  // not nested (their order is the drawing's).
  void checkNesting() {
    // Steps: the closed loops filed by their boxes; for each loop the smallest larger
    // loop around its first point (asked of the loops filed where that point lies);
    // a parent that the loop touches is none; then the order of cuts.
    std::vector<int> parent(loops.size(), -1);
    std::vector<int> candidates;
    for (size_t i = 0; i < loops.size(); ++i) {
      const Loop& p = loops[i];
      if (p.closed && p.pts.size() >= 3 && !p.byHand) candidates.push_back((int)i);
    }
    // Loops filed by their boxes: the loops whose box holds a point.
    KxBoxGrid file;
    double bx0 = 1e300, by0 = 1e300, bx1 = -1e300, by1 = -1e300;
    for (int k : candidates) {
      const Loop& l = loops[(size_t)k];
      bx0 = std::min(bx0, l.bx0), by0 = std::min(by0, l.by0), bx1 = std::max(bx1, l.bx1), by1 = std::max(by1, l.by1);
    }
    file.Reset(std::max(bx1 - bx0, by1 - by0) / std::min(512.0, std::max(1.0, sqrt((double)candidates.size()))));
    for (int k : candidates) file.Add(loops[(size_t)k].bx0, loops[(size_t)k].by0, loops[(size_t)k].bx1, loops[(size_t)k].by1, k);
    std::vector<long> near;
    for (size_t i = 0; i < loops.size(); ++i) {
      const Loop& c = loops[i];
      if (!c.closed || c.pts.empty() || c.byHand) continue;
      double smallest = 1e300;
      file.Overlapping(c.pts[0].first, c.pts[0].second, c.pts[0].first, c.pts[0].second, near);
      // Smallest first: the first loop around the point is the one.
      std::sort(near.begin(), near.end(), [this](long a, long b) {
        const double x = fabs(loops[(size_t)a].area), y = fabs(loops[(size_t)b].area);
        return x != y ? x < y : a < b;
      });
      for (long o : near) {
        const Loop& p = loops[(size_t)o];
        if (o == (long)i) continue;
        if (c.bx0 < p.bx0 || c.by0 < p.by0 || c.bx1 > p.bx1 || c.by1 > p.by1) continue;
        const double area = fabs(p.area);
        if (area <= fabs(c.area) || area >= smallest) continue;
        if (edges(o).inside(c.pts[0].first, c.pts[0].second)) {
          smallest = area, parent[i] = (int)o;
          break;
        }
      }
      if (parent[i] < 0) continue;
      const EdgeGrid& p = edges(parent[i]);
      for (size_t q = 0; q < c.pts.size(); ++q)
        if (p.near(c.pts[q].first, c.pts[q].second, 0.01)) {
          parent[i] = -1;
          break;
        }
    }
    std::vector<std::vector<int>> inner(loops.size());
    for (size_t i = 0; i < loops.size(); ++i)
      if (parent[i] >= 0) inner[(size_t)parent[i]].push_back((int)i);
    std::vector<int> cut(loops.size(), 0);
    for (int l : order) {
      ++cut[(size_t)l];
      for (int c : inner[(size_t)l])
        if (cut[(size_t)c] < cut[(size_t)l]) {
          const Loop& p = loops[(size_t)l];
          fault(loops[(size_t)c].quote, "order", KxNcText("loop cut after the loop that contains it (N%lld, line %d)",
                                                     blocks[(size_t)p.block].number, LineOf(p.quote) + 1),
                true, loops[(size_t)c].holeX, loops[(size_t)c].holeY);
        }
    }
  }

  // The drawing's elements of the layers read, start holes left out.
  void takeDrawing() {
    for (long i = 0; i < run.table.eldsCounter; ++i) {
      const elementdaten& e = run.table.elds[i];
      if (e.type != etLINE && e.type != etARC && e.type != etCIR) continue;
      if (run.table.marks[i].kontur[0] != '$' || run.table.marks[i].kontur[1] != 'K') continue;
      if (e.type == etCIR && e.r <= run.cfg.gridRadius) continue;
      if (!std::isfinite(e.sx) || !std::isfinite(e.cx) || !std::isfinite(e.r)) continue;
      const int k = atoi(run.table.marks[i].kontur + 2);
      Drawn d = {e.type, e.sx, e.sy, e.ex, e.ey, e.cx, e.cy, e.r, e.sw / RAD2DEG, e.ew / RAD2DEG, k};
      if (e.type == etARC) {
        d.sx = e.cx + e.r * cos(d.sw), d.sy = e.cy + e.r * sin(d.sw);
        d.ex = e.cx + e.r * cos(d.ew), d.ey = e.cy + e.r * sin(d.ew);
      }
      if (e.type == etCIR) d.sx = e.cx + e.r, d.sy = e.cy;
      drawn.push_back(d);
      drawnAt.emplace(k, std::make_pair(d.sx, d.sy));
    }
    // A contour is a loop when each end of its lines and arcs meets another end.
    std::map<int, std::vector<std::pair<double, double>>> ends;
    for (const Drawn& d : drawn) {
      drawnClosed.emplace(d.contour, true);
      if (d.type != etCIR) ends[d.contour].push_back({d.sx, d.sy}), ends[d.contour].push_back({d.ex, d.ey});
    }
    const double reach = run.cfg.elementTolerance + 1e-4;
    for (auto& entry : ends) {
      const auto& k = entry.first;   // named references: clang 14 lambdas cannot capture structured bindings
      auto& pts = entry.second;
      std::vector<size_t> idx(pts.size());
      for (size_t i = 0; i < idx.size(); ++i) idx[i] = i;
      std::sort(idx.begin(), idx.end(), [&](size_t a, size_t b) { return pts[a].first < pts[b].first; });
      for (size_t n = 0; n < idx.size() && drawnClosed[k]; ++n) {
        const auto& p = pts[idx[n]];
        bool met = false;
        for (size_t m = n; m-- > 0 && pts[idx[m]].first >= p.first - reach && !met;)
          met = (idx[m] ^ idx[n]) != 1 && hypot(pts[idx[m]].first - p.first, pts[idx[m]].second - p.second) <= reach;
        for (size_t m = n + 1; m < idx.size() && pts[idx[m]].first <= p.first + reach && !met; ++m)
          met = (idx[m] ^ idx[n]) != 1 && hypot(pts[idx[m]].first - p.first, pts[idx[m]].second - p.second) <= reach;
        if (!met) drawnClosed[k] = false;
      }
    }
  }

  // Each cutting move against the drawing: how far it runs from the nearest element.
  void compareWithDrawing() {
    Grid grid;
    grid.build(drawn);
    std::vector<int> near;
    std::vector<char> mark(drawn.size(), 0);
    std::vector<std::pair<double, double>> pts;
    const double tol = run.cfg.elementTolerance;
    std::set<int> followed;
    for (Loop& l : loops) {
      std::map<int, int> votes;
      for (int m = l.first; m <= l.last && m < (int)l.moves.size(); ++m) {
        const Move& mv = l.moves[(size_t)m];
        samples(mv, mv.g >= 2 ? 16 : 8, &pts);
        double a = 1e300, b = 1e300, c = -1e300, e = -1e300;
        for (auto& p : pts) a = std::min(a, p.first), b = std::min(b, p.second), c = std::max(c, p.first), e = std::max(e, p.second);
        const double pad = std::max(tol * 4, 0.05);
        grid.near(a - pad, b - pad, c + pad, e + pad, &near, &mark);
        double best = 1e300;
        int bestContour = 0;
        for (int i : near) {
          // The drawing's numbers are single floats: a big radius or far-off centre is that much less exact.
          const Drawn& d = drawn[(size_t)i];
          const double slack = d.type == etLINE ? floatSlack(std::max(fabs(d.sx), fabs(d.ex)) + std::max(fabs(d.sy), fabs(d.ey)))
                                                : floatSlack(fabs(d.cx) + fabs(d.cy) + d.r);
          double worst = 0;
          for (auto& p : pts) {
            worst = std::max(worst, std::max(0.0, drawnDist(d, p.first, p.second) - slack));
            if (worst >= best) break;
          }
          if (worst < best) best = worst, bestContour = drawn[(size_t)i].contour;
        }
        if (best <= tol + kWritten * M_SQRT2) {
          ++votes[bestContour];
          l.deviation = std::max(l.deviation, best);
        } else if (best < 1e300) {
          fault(mv.quote, "off", KxNcText("cut runs off the drawing: %.4f mm from the nearest drawn element", best), true,
                (mv.x0 + mv.x1) / 2, (mv.y0 + mv.y1) / 2);
        } else {
          fault(mv.quote, "off", "cut runs where nothing is drawn", true, (mv.x0 + mv.x1) / 2, (mv.y0 + mv.y1) / 2);
        }
      }
      int most = 0;
      for (auto& [k, n] : votes)
        if (n > most) most = n, l.drawn = k;
      if (l.drawn > 0 && !l.orphan) followed.insert(l.drawn);   // a loop the machine never reaches cuts nothing
      largest = std::max(largest, l.deviation);
    }
    // The other way round: a drawn loop is cut when one of its elements lies along a cut.
    std::vector<Drawn> cuts;
    for (const Loop& l : loops)
      for (int m = l.first; m <= l.last && m < (int)l.moves.size() && !l.orphan; ++m) cuts.push_back(asDrawn(l.moves[(size_t)m]));
    Grid cutGrid;
    cutGrid.build(cuts);
    std::vector<char> cutMark(cuts.size(), 0);
    for (const Drawn& d : drawn) {
      if (followed.count(d.contour) || !drawnClosed[d.contour]) continue;
      Move as = {d.type == etLINE ? 1 : 3, d.sx, d.sy, d.ex, d.ey, d.cx, d.cy, 0};
      samples(as, 8, &pts);
      double a = 1e300, b = 1e300, c = -1e300, e = -1e300;
      for (auto& p : pts) a = std::min(a, p.first), b = std::min(b, p.second), c = std::max(c, p.first), e = std::max(e, p.second);
      cutGrid.near(a - 0.05, b - 0.05, c + 0.05, e + 0.05, &near, &cutMark);
      for (int i : near) {
        double worst = 0;
        for (auto& p : pts) worst = std::max(worst, drawnDist(cuts[(size_t)i], p.first, p.second));
        if (worst <= tol + kWritten * M_SQRT2) {
          followed.insert(d.contour);
          break;
        }
      }
    }
    for (auto& [k, closed] : drawnClosed) {
      if (!closed) continue;
      ++drawnLoops;
      if (followed.count(k)) {
        ++drawnCut;
        continue;
      }
      // A contour the program itself says it cannot cut is told there, not here.
      auto b = blockOf.find(KxContourBlock(k));
      if (b != blockOf.end() && blocks[(size_t)b->second].uncut) {
        ++drawnReported;
        continue;
      }
      char kn[16];
      KxContourName(kn, sizeof kn, k);
      const auto at = drawnAt[k];
      fault(-1, "uncut", KxNcText("drawn loop %s at X%.3f Y%.3f: no cut follows it", kn, at.first, at.second), true, at.first, at.second);
    }
  }

  // A cutting move as an element a drawn one can be measured against.
  static Drawn asDrawn(const Move& m) {
    Drawn d = {etLINE, m.x0, m.y0, m.x1, m.y1, m.cx, m.cy, 0, 0, 0, 0};
    if (m.g < 2) return d;
    d.r = hypot(m.x0 - m.cx, m.y0 - m.cy);
    double a0, sw;
    sweepOf(m, &a0, &sw);
    if (fabs(sw) >= 2 * M_PI - 1e-9) {
      d.type = etCIR;
      return d;
    }
    d.type = etARC;
    d.sw = sw > 0 ? a0 : a0 + sw;
    d.ew = sw > 0 ? a0 + sw : a0;
    d.sx = d.cx + d.r * cos(d.sw), d.sy = d.cy + d.r * sin(d.sw);
    d.ex = d.cx + d.r * cos(d.ew), d.ey = d.cy + d.r * sin(d.ew);
    return d;
  }

  void checkBlocks() {
    for (size_t b = 1; b < blocks.size(); ++b) {
      const KxNcBlock& k = blocks[b];
      if (!k.returns) fault(k.quote, "return", KxNcText("block N%lld does not return (no %s)", k.number, run.cfg.mS.SubReturn));
    }
    // Blocks nothing calls are followed as well, so that their cuts are checked too.
    for (size_t b = 1; b < blocks.size(); ++b) {
      if (blocks[b].reached) continue;
      // In piece mode the main program calls the last piece only; the others are called by hand.
      const int k = KxBlockContour((int)blocks[b].number);
      orphan = !(pieceMode && KxContourBlock(k) == blocks[b].number);
      if (orphan) fault(blocks[b].quote, "uncalled", KxNcText("block N%lld: nothing calls it", blocks[b].number));
      loop = -1;
      record = fed = threaded = noCut = halted = false;
      byHand = true;
      Follow((int)b, 1);
    }
  }

  bool writePage(const std::string& path, const std::string& summary, std::string* why);
};

// The page is written as the conversion's outputs are: composed beside its place
// and renamed over it, never through a link planted at its name, never over the
// program or the drawing it tells of.
bool Checker::writePage(const std::string& path, const std::string& summary, std::string* why) {
  struct stat page, program;
  if (stat(path.c_str(), &page) == 0 && stat(programPath.c_str(), &program) == 0 && page.st_dev == program.st_dev &&
      page.st_ino == program.st_ino) {
    *why = "it is the program checked";
    return false;
  }
  KxOutFile out;
  FILE* f = KxOutOpen(run, &out, path.c_str());
  if (!f) {
    *why = out.drawing ? "it is the drawing itself" : strerror(out.error);
    return false;
  }
  fputs("<html>\n<head>\n<META http-equiv='Content-Type' content='text/html; charset=UTF-8'>\n"
        "<title> KORVEX-Check </title>\n<style>\n"
        "svg{max-width:100%;height:auto;background:#fff;border:1px solid #9ab}\n"
        "svg path,svg line,svg circle{vector-effect:non-scaling-stroke}\n"
        ".cut{fill:none;stroke:#1040c0;stroke-width:1.6}\n.lead{fill:none;stroke:#108030;stroke-width:1.2}\n"
        ".rapid{fill:none;stroke:#666;stroke-width:0.9;stroke-dasharray:6 4}\n"
        ".fault{fill:none;stroke:#e00000;stroke-width:2.2}\ntext{font-family:verdana,arial,sans-serif;fill:#e00000}\n"
        "li.fault{color:#e00000}\n</style>\n</head>\n"
        "<body bgcolor='#ebf5ed'><basefont size='4' face='verdana,arial'>\n<pre>\n",
        f);
  KxHtmlText(f, summary.c_str());
  fputs("\n</pre>\n", f);
  double bx0 = 1e300, by0 = 1e300, bx1 = -1e300, by1 = -1e300;
  auto add = [&](double x, double y) {
    if (!std::isfinite(x) || !std::isfinite(y)) return;
    bx0 = std::min(bx0, x), by0 = std::min(by0, y), bx1 = std::max(bx1, x), by1 = std::max(by1, y);
  };
  for (const Loop& l : loops)
    for (auto& p : l.pts) add(p.first, p.second);
  for (auto& p : rapids) add(p.first, p.second);
  for (const Found& x : faults)
    if (x.at) add(x.x, x.y);
  if (bx0 > bx1) bx0 = by0 = 0, bx1 = by1 = 10;
  const double size = std::max({bx1 - bx0, by1 - by0, 1.0}), margin = size * 0.06, mark = size * 0.012, fs = size * 0.022;
  KxFilePrint(f, "<svg xmlns='http://www.w3.org/2000/svg' width='960' viewBox='%.3f %.3f %.3f %.3f'>\n", bx0 - margin,
          -by1 - margin, bx1 - bx0 + 2 * margin, by1 - by0 + 2 * margin);
  fputs("<title>The NC program as followed, faults in red</title>\n<g transform='scale(1,-1)'>\n", f);
  for (size_t r = 0; r + 1 < rapids.size(); r += 2)
    KxFilePrint(f, "<line class='rapid' x1='%.3f' y1='%.3f' x2='%.3f' y2='%.3f'/>\n", rapids[r].first, rapids[r].second,
            rapids[r + 1].first, rapids[r + 1].second);
  for (const Loop& l : loops) {
    if (l.pts.empty()) continue;
    KxFilePrint(f, "<path class='cut' d='M %.3f %.3f", l.pts[0].first, l.pts[0].second);
    for (size_t i = 1; i < l.pts.size(); ++i) KxFilePrint(f, " L %.3f %.3f", l.pts[i].first, l.pts[i].second);
    KxFilePrint(f, "'><title>N%lld line %d: G%d, %d cut%s</title></path>\n", blocks[(size_t)l.block].number, LineOf(l.quote) + 1, l.side,
            l.cuts, l.cuts == 1 ? "" : "s");
    KxFilePrint(f, "<path class='lead' d='M %.3f %.3f L %.3f %.3f'/>\n", l.holeX, l.holeY, l.pts[0].first, l.pts[0].second);
  }
  for (const Found& x : faults) {
    if (!x.at) continue;
    KxFilePrint(f, "<circle class='fault' cx='%.3f' cy='%.3f' r='%.3f'><title>", x.x, x.y, mark);
    if (x.quote >= 0) KxFilePrint(f, "line %d: ", LineOf(x.quote) + 1);
    KxHtmlText(f, x.what.c_str());
    fputs("</title></circle>\n", f);
  }
  fputs("</g>\n", f);
  // Texts upright, outside the turned group.
  KxFilePrint(f, "<g font-size='%.3f'>\n", fs);
  for (const Found& x : faults)
    if (x.at && x.quote >= 0) KxFilePrint(f, "<text x='%.3f' y='%.3f'>%d</text>\n", x.x + mark * 1.2, -x.y - mark * 1.2, LineOf(x.quote) + 1);
  fputs("</g>\n</svg>\n<ul>\n", f);
  for (const Found& x : faults) {
    fputs("<li class='fault'>", f);
    KxHtmlText(f, told(x).c_str());
    fputs("</li>\n", f);
  }
  for (auto& [kind, n] : leftOut) {
    fputs("<li class='fault'>", f);
    KxHtmlText(f, KxNcText("%s: %ld more fault%s like: %s", name.c_str(), n, n == 1 ? "" : "s", firstOf[kind].c_str()).c_str());
    fputs("</li>\n", f);
  }
  if (faults.empty()) fputs("<li>no faults</li>\n", f);
  fputs("</ul>\n</body></html>\n", f);
  if (!KxOutCommit(&out)) {
    *why = strerror(out.error);
    return false;
  }
  return true;
}

// Follows the program at path and reports; the drawing (when given) is in the table.
// Returns the faults found, -1 when the program cannot be read; *pageFailed tells
// that _check.htm could not be written.
int checkAndReport(KxRun& run, const std::string& program, const std::string& drawing, bool own, bool* pageFailed) {
  const bool withDrawing = !drawing.empty();
  Checker c(run);
  c.name = KxNcShown(program.data(), program.size(), 4096);
  c.programPath = program;
  c.drawing = KxNcShown(drawing.data(), drawing.size(), 4096);
  std::string why;
  bool read = c.Read(program, &why);
  if (read && c.bytes == 0) why = "the file is empty", read = false;
  else if (read && c.moves == 0) why = "no line of it is read as a move (G00 to G03 with X or Y)", read = false;
  if (!read) {
    KxPrint(run, "korvex: cannot read the NC program '%s' (%s) - not checked\n", c.name.c_str(), why.c_str());
    return -1;
  }
  c.Follow(0, 0);
  if (!c.ended && !c.halted)
    c.fault(-2, "end", KxNcText("the main program has no end word (%s): the machine runs on into what follows", run.cfg.mS.PrgEnd));
  c.checkBlocks();
  c.shapeLoops();
  c.checkLoops();
  c.checkNesting();
  if (withDrawing) {
    c.takeDrawing();
    c.compareWithDrawing();
    c.checkTies();
  }
  std::stable_sort(c.faults.begin(), c.faults.end(), [&c](const Found& a, const Found& b) { return c.LineOf(a.quote) < c.LineOf(b.quote); });
  for (const Found& x : c.faults) KxPrint(run, "korvex: %s\n", c.told(x).c_str());
  for (auto& [kind, n] : c.leftOut)
    KxPrint(run, "korvex: %s: %ld more fault%s like: %s\n", c.name.c_str(), n, n == 1 ? "" : "s", c.firstOf[kind].c_str());
  const long n = c.faultCount;
  const std::string shownName = KxNcShown(baseName(program).data(), baseName(program).size(), 4096);
  std::string summary = KxNcText("korvex: checked %s: %d cut%s, %ld fault%s", shownName.c_str(), (int)c.loops.size(),
                            c.loops.size() == 1 ? "" : "s", n, n == 1 ? "" : "s");
  if (withDrawing) {
    summary += KxNcText("; %d of %d drawn loops cut", c.drawnCut, c.drawnLoops);
    if (c.drawnReported > 0) summary += KxNcText(" (%d without start hole, as the program says)", c.drawnReported);
    summary += KxNcText(", largest deviation %.4f mm", c.largest);
  }
  if (!own) {
    std::vector<const Loop*> byLine;
    for (const Loop& l : c.loops) byLine.push_back(&l);
    std::stable_sort(byLine.begin(), byLine.end(), [&c](const Loop* a, const Loop* b) { return c.LineOf(a->quote) < c.LineOf(b->quote); });
    for (const Loop* lp : byLine) {
      const Loop& l = *lp;
      if (l.pts.empty()) continue;
      char kn[16] = "";
      if (l.drawn > 0) KxContourName(kn, sizeof kn, l.drawn);
      KxPrint(run, "korvex: %s:%sN%lld cut %d time%s, G%d%s%s%s\n", c.name.c_str(), c.where(l.quote).c_str(),
              c.blocks[(size_t)l.block].number, l.cuts, l.cuts == 1 ? "" : "s", l.side, kn[0] ? ", follows " : "", kn,
              l.drawn > 0 ? KxNcText(" within %.4f mm", l.deviation).c_str() : "");
    }
    KxPrint(run, "%s\n", summary.c_str());
  }
  const std::string page = KxOutputFolder(run.cfg) + run.io.namePrefix + "_check.htm";
  *pageFailed = !c.writePage(page, summary, &why);
  if (*pageFailed) KxPrint(run, "korvex: cannot write the check page '%s' (%s)\n", page.c_str(), why.c_str());
  return n > INT_MAX ? INT_MAX : (int)n;
}

}  // namespace

int KxCheckProgram(KxRun& run, const std::string& program, const std::string& drawing) {
  // What loading settings, device and drawing tell is the log's matter here.
  KxTraceQuiet(run, true);
  StartLayerList(run);
  ConfigClearRefusal(run.cfg);
  SetDevSyntax(run, run.cfg.devTarget.c_str());
  int status = kxSTATUS_OK;
  std::string why;
  if (!drawing.empty()) {
    run.io.in_filename = drawing;
    // Held open while the drawing is opened: a pipe keeps its writer and its data
    // (the reader copies what a pipe brings, as it does for a conversion).
    struct stat st;
    const int probe = KxOpenInput(drawing, &st, &why);
    char cause[128];
    if (probe >= 0 && S_ISREG(st.st_mode))
      if (const char* no = DxfWhyNotADrawing(run, drawing.c_str(), cause, sizeof cause)) why = no;
    if (probe < 0 || !why.empty() || !DxfOpenDrawing(run, drawing.c_str()) || KxReadDrawing(run) != kxSTATUS_OK) {
      if (why.empty() && DxfOpenRefusal(run)) why = std::string("it ") + DxfOpenRefusal(run);
      status = kxSTATUS_NO_DRAWING;
    } else {
      SearchKontur(run);
      KxFindTopContours(run);
      ReorgStructs(run);
    }
    if (run.io.i_stream) DxfCloseDrawing(run);
    if (probe >= 0) close(probe);
  }
  KxTraceQuiet(run, false);
  if (ConfigRefusal(run.cfg)[0]) {
    KxPrint(run, "korvex: %s - nothing checked\n", ConfigRefusal(run.cfg));
    return kxSTATUS_BAD_CONFIG;
  }
  if (status != kxSTATUS_OK) {
    if (why.empty()) KxPrint(run, "korvex: cannot read the drawing '%s' - not checked\n", KxNcShown(drawing.data(), drawing.size(), 4096).c_str());
    else KxPrint(run, "korvex: cannot read the drawing '%s' (%s) - not checked\n", KxNcShown(drawing.data(), drawing.size(), 4096).c_str(), why.c_str());
    return status;
  }
  bool pageFailed = false;
  const int faults = checkAndReport(run, program, drawing, false, &pageFailed);
  if (faults < 0) return kxSTATUS_NO_DRAWING;
  if (faults > 0) return kxSTATUS_FAULTS;
  return pageFailed ? kxSTATUS_NO_PROGRAM : kxSTATUS_OK;
}

int KxCheckOwnProgram(KxRun& run) {
  bool pageFailed = false;
  run.report.checkFaults = checkAndReport(run, run.io.dataPath, run.io.in_filename, true, &pageFailed);
  run.report.checkPageFailed = pageFailed;
  return run.report.checkFaults;
}
