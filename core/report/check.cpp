// korvex --check: follows a written NC program the way the machine does and
// reports, one line each, what would spoil the part or the machine's day; with
// the drawing also what the program leaves uncut or cuts off the drawn lines.
// Writes _check.htm, the picture of the program as followed with its faults.
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdarg>
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
#include "report/report.h"
#include "kxrun.h"

namespace {

constexpr double kArcTolerance = 0.001;      // an arc's end this far off its circle still meets it
constexpr double kWritten = 0.0005;          // half the last digit of the program's numbers
// The drawing's numbers and the program's moves come from single floats: a point
// far from the origin is only that exact (a relative 2^-23), which a drawing in
// inches or metres, scaled to millimetres, makes plain.
inline double floatSlack(double magnitude) { return 4 * 1.2e-7 * magnitude; }
constexpr double kCloseTolerance = 0.0015;   // a loop's end this close to its split point closes it
constexpr int kMaxDepth = 16;                // calls deeper than this are a cycle
constexpr long kMaxExecuted = 400000;        // steps followed at most (more per step for long programs)

struct Line {
  std::string text;      // as written, line end removed
  int others = 0;        // lines before it (this one included) the reader takes nothing from: technology and register lines
};

struct Block {
  int number;            // N number, -1 for the main program
  int line;              // its head line (index)
  int first = 0, count = 0;   // its steps
  bool returns = false;
  bool open = false;     // the writer says its contour is open
  bool uncut = false;    // the writer says its contour is not cut (no start hole)
  bool reached = false;
};

struct Step {
  KxStep s;
  int line;
};

struct Move {
  int g;
  double x0, y0, x1, y1, cx, cy;
  int line;
};

struct Loop {
  int line;              // its compensation line
  int block;             // index of the block that cuts it
  int side;              // 41 or 42
  double holeX, holeY;   // where the wire was threaded
  std::vector<Move> moves;   // from the lead-in to the lead-out
  int cuts = 0;
  bool byHand = false;   // cut only in a block nothing calls: its place in the order is the user's
  // Filled after the program was followed.
  int first = 0, last = -1;  // the path: moves[first..last]
  bool closed = false;
  std::vector<std::pair<double, double>> pts;   // the path as a polygon
  double bx0 = 1e300, by0 = 1e300, bx1 = -1e300, by1 = -1e300;
  double area = 0;
  int drawn = 0;         // the drawn contour it follows, 0 when none
  double deviation = 0;  // largest distance of the path from the drawing
};

struct Fault {
  int line;              // -1: the fault is the drawing's
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

std::string fmt(const char* f, ...) __attribute__((format(printf, 1, 2)));
std::string fmt(const char* f, ...) {
  va_list ap;
  va_start(ap, f);
  char small[256];
  va_list copy;
  va_copy(copy, ap);
  int n = vsnprintf(small, sizeof small, f, copy);
  va_end(copy);
  std::string out;
  if (n < (int)sizeof small) {
    out = small;
  } else {
    out.resize((size_t)n + 1);
    vsnprintf(&out[0], (size_t)n + 1, f, ap);
    out.resize((size_t)n);
  }
  va_end(ap);
  return out;
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
  double a = atan2(y - d.cy, x - d.cx) - d.sw, span = d.ew - d.sw;
  while (a < 0) a += 2 * M_PI;
  while (span <= 0) span += 2 * M_PI;
  if (fmod(a, 2 * M_PI) <= span + 1e-9) return fabs(toCentre - d.r);
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

// The checker of one program, with the drawing (when it was read) in run.elds.
struct Checker {
  KxRun& run;
  std::string name;            // the program as the user named it
  std::string drawing;         // and the drawing, empty when none
  std::vector<Line> lines;
  std::vector<Block> blocks;
  std::unordered_map<int, int> blockOf;   // N number -> block index (the first of that number)
  std::vector<Step> steps;
  std::vector<char> seen;                 // per step: followed before
  std::vector<Loop> loops;
  std::vector<int> order;                 // loops in the order they are cut, each cut once
  std::unordered_map<int, int> loopOfStep;
  std::vector<Fault> faults;
  std::set<std::pair<int, std::string>> said;
  std::vector<std::pair<double, double>> rapids;   // positioning moves, pairs of points
  std::string afterRapid;                 // the first line of the device's after-rapid word
  bool pieceMode = false;

  // Drawing.
  std::vector<Drawn> drawn;
  std::map<int, bool> drawnClosed;        // contour number -> its ends meet
  std::map<int, std::pair<double, double>> drawnAt;   // a point of each contour, for the report
  int drawnLoops = 0, drawnCut = 0, drawnReported = 0;
  double largest = 0;

  // Following.
  double px = 0, py = 0, feedX = 0, feedY = 0;
  bool fed = false, threaded = false;
  int loop = -1;
  bool record = false;
  bool byHand = false;   // following a block nothing calls
  long executed = 0, maxExecuted = kMaxExecuted;

  explicit Checker(KxRun& r) : run(r) {}

  void fault(int line, const std::string& what, bool at = false, double x = 0, double y = 0) {
    if (!said.insert({line, what}).second) return;
    faults.push_back({line, what, at, x, y});
  }

  std::string where(int line) const {
    if (line < 0) return "";
    std::string t = lines[(size_t)line].text;
    const std::string eol = run.cfg.mS.EOL;
    if (!eol.empty() && t.size() >= eol.size() && t.compare(t.size() - eol.size(), eol.size(), eol) == 0) t.resize(t.size() - eol.size());
    return fmt("%d: %s: ", line + 1, t.c_str());
  }

  // A fault as the console and the page tell it: file, line and block, what is wrong.
  std::string told(const Fault& x) const {
    if (x.line < 0) return drawing + ": " + x.what;
    return name + ":" + where(x.line) + x.what;
  }

  bool read(const std::string& path) {
    FILE* f = fopen(path.c_str(), "r");
    if (!f) return false;
    blocks.push_back({-1, 0});
    std::string text;
    int c;
    bool any = true;
    int others = 0;
    while (any) {
      text.clear();
      while ((c = fgetc(f)) != EOF && c != '\n') text += (char)c;
      any = c != EOF;
      if (!any && text.empty()) break;
      while (!text.empty() && (text.back() == '\r' || text.back() == '\n')) text.pop_back();
      const int at = (int)lines.size();
      std::vector<char> buf(text.begin(), text.end());
      buf.push_back('\0');
      KxProgramLine pl;
      KxReadProgramLine(run.cfg, buf.data(), &pl);
      if (pl.opens) {
        blockOf.emplace(pl.number, (int)blocks.size());
        blocks.push_back({pl.number, at});
        blocks.back().first = (int)steps.size();
      }
      Block& b = blocks.back();
      if (pl.trouble || text.find("NO FEED-POINT FOUND") != std::string::npos) b.uncut = true;
      if (text.find("OPEN CONTOUR TROUBLE") != std::string::npos) b.open = true;
      if (text.find("-Teilemodus-") != std::string::npos) pieceMode = true;
      // What is left of a line without remarks and block end: a technology or register
      // line; a cut without technology data still has its line, then only the block end.
      std::string rest = buf.data();
      const std::string eol = run.cfg.mS.EOL;
      if (!eol.empty() && rest.size() >= eol.size() && rest.compare(rest.size() - eol.size(), eol.size(), eol) == 0)
        rest.resize(rest.size() - eol.size());
      if (!pl.opens && pl.steps.empty() && (rest.find_first_not_of(" \t") != std::string::npos || text == eol)) ++others;
      for (const KxStep& s : pl.steps) {
        steps.push_back({s, at});
        ++b.count;
        if (s.kind == kxSTEP_RETURN) b.returns = true;
      }
      lines.push_back({text, others});
    }
    fclose(f);
    std::string a = run.cfg.mS.AfterRapid;
    if (size_t nl = a.find('\n'); nl != std::string::npos) a.resize(nl);
    if (a != "(na)") afterRapid = a;
    maxExecuted = std::max(kMaxExecuted, 64L * (long)steps.size());
    seen.assign(steps.size(), 0);
    return true;
  }

  // A rapid inside a cut the drawing asks for: the writer puts the device's
  // after-rapid word in front of the feed move that follows it.
  bool askedRapid(int line) const {
    if (afterRapid.empty()) return false;
    for (size_t i = (size_t)line + 1; i < lines.size(); ++i) {
      const std::string& t = lines[i].text;
      if (t.compare(0, 3, "G00") == 0) continue;
      return t.compare(0, afterRapid.size(), afterRapid) == 0;
    }
    return false;
  }

  void move(const Step& st, bool first) {
    const KxStep& s = st.s;
    Move m = {s.g, px, py, s.x, s.y, 0, 0, st.line};
    if (s.g >= 2 && first) {
      m.cx = px + s.i;
      m.cy = py + s.j;
      const double r0 = hypot(s.i, s.j), r1 = hypot(m.x1 - m.cx, m.y1 - m.cy);
      // Start, end and centre are written to 0.001: what their rounding can move the
      // two radii apart is no fault of the arc.
      double ux = 0, uy = 0, vx = 0, vy = 0;
      if (r0 > 0) ux = -s.i / r0, uy = -s.j / r0;
      if (r1 > 0) vx = (m.x1 - m.cx) / r1, vy = (m.y1 - m.cy) / r1;
      const double rounding = kWritten * (2 * (fabs(vx) + fabs(vy)) + fabs(ux - vx) + fabs(uy - vy));
      if (fabs(r0 - r1) > kArcTolerance + rounding + floatSlack(fabs(m.cx) + fabs(m.cy) + r0) + 1e-6)
        fault(st.line, fmt("arc end point is %.4f mm off its circle (radius %.3f from its start, %.3f from its end)",
                           fabs(r0 - r1), r0, r1), true, m.x1, m.y1);
    }
    if (s.g == 0 && loop >= 0 && threaded && !askedRapid(st.line))
      fault(st.line, "rapid move while the wire is threaded and compensation is on", true, m.x1, m.y1);
    px = s.x;
    py = s.y;
    if (loop < 0) {
      if (first && (m.x0 != m.x1 || m.y0 != m.y1)) rapids.push_back({m.x0, m.y0}), rapids.push_back({m.x1, m.y1});
      return;
    }
    if (record) loops[(size_t)loop].moves.push_back(m);
  }

  void comp(int k, const Step& st, int block) {
    loop = -1;
    record = false;
    if (st.s.g != 41 && st.s.g != 42) return;
    auto at = loopOfStep.find(k);
    if (at != loopOfStep.end()) {
      loop = at->second;
    } else {
      loop = (int)loops.size();
      loopOfStep.emplace(k, loop);
      record = true;
      Loop l;
      l.line = st.line;
      l.block = block;
      l.side = st.s.g;
      l.holeX = fed ? feedX : px;
      l.holeY = fed ? feedY : py;
      l.byHand = byHand;
      loops.push_back(l);
    }
    ++loops[(size_t)loop].cuts;
    order.push_back(loop);
  }

  void follow(int block, int depth) {
    if (block < 0 || depth > kMaxDepth) return;
    Block& b = blocks[(size_t)block];
    b.reached = true;
    std::unordered_map<int, int> calledAt;   // callee -> technology lines before its last call
    for (int k = b.first; k < b.first + b.count; ++k) {
      if (++executed > maxExecuted) return;
      const Step& st = steps[(size_t)k];
      const bool again = seen[(size_t)k];
      seen[(size_t)k] = 1;
      switch (st.s.kind) {
        case kxSTEP_CALL: {
          auto callee = blockOf.find(st.s.g);
          if (callee == blockOf.end()) {
            fault(st.line, fmt("call of N%d, a block the program does not have", st.s.g));
            break;
          }
          const int others = lines[(size_t)st.line].others;
          auto prev = calledAt.find(st.s.g);
          if (prev != calledAt.end() && prev->second == others)
            fault(st.line, fmt("N%d called again with no technology line between: its cuts are made twice in one cut", st.s.g));
          calledAt[st.s.g] = others;
          follow(callee->second, depth + 1);
          break;
        }
        case kxSTEP_G92: px = st.s.x; py = st.s.y; break;
        case kxSTEP_MOVE: move(st, !again); break;
        case kxSTEP_FEED: feedX = px; feedY = py; fed = threaded = true; break;
        case kxSTEP_WIRECUT: threaded = false; break;
        case kxSTEP_COMP: comp(k, st, block); break;
        case kxSTEP_COMPOFF: loop = -1; record = false; fed = false; break;
        case kxSTEP_RETURN: return;
        default: break;
      }
    }
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
        fault(z.line, fmt("cut loop ends at X%.3f Y%.3f, %.4f mm from its split point X%.3f Y%.3f", z.x1, z.y1,
                          hypot(z.x1 - a.x0, z.y1 - a.y0), a.x0, a.y0), true, z.x1, z.y1);
      // Every element once: cells of the chord's middle, a little larger than the tolerance.
      std::unordered_map<long long, std::vector<int>> byCell;
      auto key = [](long long u, long long v) { return u * 1000003LL + v; };
      for (int m = l.first; m <= l.last; ++m) {
        const Move& mv = l.moves[(size_t)m];
        const long long u = (long long)floor((mv.x0 + mv.x1) / 2 / 0.01), v = (long long)floor((mv.y0 + mv.y1) / 2 / 0.01);
        bool twice = false;
        for (long long du = -1; du <= 1 && !twice; ++du)
          for (long long dv = -1; dv <= 1 && !twice; ++dv) {
            auto it = byCell.find(key(u + du, v + dv));
            if (it == byCell.end()) continue;
            for (int o : it->second) twice = twice || sameElement(l.moves[(size_t)o], mv);
          }
        if (twice) fault(mv.line, "element cut a second time in the same cut", true, (mv.x0 + mv.x1) / 2, (mv.y0 + mv.y1) / 2);
        byCell[key(u, v)].push_back(m);
      }
      // The wire goes to the side of the start hole: that is the scrap side.
      if (!l.closed || l.pts.size() < 4 || fabs(l.area) < 1e-6) continue;
      double toHole = 1e300;
      for (size_t i = 0, j = l.pts.size() - 1; i < l.pts.size(); j = i++)
        toHole = std::min(toHole, segDist(l.holeX, l.holeY, l.pts[j].first, l.pts[j].second, l.pts[i].first, l.pts[i].second));
      if (toHole < 0.01) continue;   // a start hole on the loop has no side
      const bool wireInside = (l.side == 41) == (l.area > 0);
      const bool holeInside = inside(l.pts, l.holeX, l.holeY);
      if (wireInside != holeInside)
        fault(l.line, fmt("G%d puts the wire %s the loop, but its start hole X%.3f Y%.3f lies %s", l.side,
                          wireInside ? "inside" : "outside", l.holeX, l.holeY, holeInside ? "inside" : "outside"),
              true, a.x0, a.y0);
    }
  }

  // A loop inside another is cut before it, each time: else the inner part falls out
  // uncut. Each loop is held to the smallest loop around it; loops that touch are
  // not nested (their order is the drawing's).
  void checkNesting() {
    std::vector<int> parent(loops.size(), -1);
    for (size_t i = 0; i < loops.size(); ++i) {
      const Loop& c = loops[i];
      if (!c.closed || c.pts.empty() || c.byHand) continue;
      double smallest = 1e300;
      for (size_t o = 0; o < loops.size(); ++o) {
        const Loop& p = loops[o];
        if (o == i || !p.closed || p.pts.size() < 3 || p.byHand) continue;
        if (c.bx0 < p.bx0 || c.by0 < p.by0 || c.bx1 > p.bx1 || c.by1 > p.by1) continue;
        const double area = fabs(p.area);
        if (area <= fabs(c.area) || area >= smallest) continue;
        if (inside(p.pts, c.pts[0].first, c.pts[0].second)) smallest = area, parent[i] = (int)o;
      }
      if (parent[i] < 0) continue;
      const Loop& p = loops[(size_t)parent[i]];
      bool touches = false;
      for (size_t q = 0; q < c.pts.size() && !touches; ++q)
        for (size_t k = 0, j = p.pts.size() - 1; k < p.pts.size() && !touches; j = k++)
          touches = segDist(c.pts[q].first, c.pts[q].second, p.pts[j].first, p.pts[j].second, p.pts[k].first,
                            p.pts[k].second) <= 0.01;
      if (touches) parent[i] = -1;
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
          fault(loops[(size_t)c].line, fmt("loop cut after the loop that contains it (N%d, line %d)",
                                           blocks[(size_t)p.block].number, p.line + 1),
                true, loops[(size_t)c].holeX, loops[(size_t)c].holeY);
        }
    }
  }

  // The drawing's elements of the layers read, start holes left out.
  void takeDrawing() {
    for (long i = 0; i < run.eldsCounter; ++i) {
      const elementdaten& e = run.elds[i];
      if (e.type != etLINE && e.type != etARC && e.type != etCIR) continue;
      if (e.kontur[0] != '$' || e.kontur[1] != 'K') continue;
      if (strcmp(e.text, gtRegInfo) == 0 || strcmp(e.text, gtFeedPoint) == 0) continue;
      if (e.type == etCIR && e.r <= run.cfg.gStartPosition) continue;
      if (!std::isfinite(e.sx) || !std::isfinite(e.cx) || !std::isfinite(e.r)) continue;
      const int k = atoi(e.kontur + 2);
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
    const double reach = run.cfg.gNpTolerance + 1e-4;
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
    const double tol = run.cfg.gNpTolerance;
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
          fault(mv.line, fmt("cut runs off the drawing: %.4f mm from the nearest drawn element", best), true,
                (mv.x0 + mv.x1) / 2, (mv.y0 + mv.y1) / 2);
        } else {
          fault(mv.line, "cut runs where nothing is drawn", true, (mv.x0 + mv.x1) / 2, (mv.y0 + mv.y1) / 2);
        }
      }
      int most = 0;
      for (auto& [k, n] : votes)
        if (n > most) most = n, l.drawn = k;
      if (l.drawn > 0) followed.insert(l.drawn);
      largest = std::max(largest, l.deviation);
    }
    // The other way round: a drawn loop is cut when one of its elements lies along a cut.
    std::vector<Drawn> cuts;
    for (const Loop& l : loops)
      for (int m = l.first; m <= l.last && m < (int)l.moves.size(); ++m) cuts.push_back(asDrawn(l.moves[(size_t)m]));
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
      fault(-1, fmt("drawn loop %s at X%.3f Y%.3f: no cut follows it", kn, at.first, at.second), true, at.first, at.second);
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
      const Block& k = blocks[b];
      if (!k.returns) fault(k.line, fmt("block N%d does not return (no %s)", k.number, run.cfg.mS.SubReturn));
    }
    // Blocks nothing calls are followed as well, so that their cuts are checked too.
    for (size_t b = 1; b < blocks.size(); ++b) {
      if (blocks[b].reached) continue;
      // In piece mode the main program calls the last piece only; the others are called by hand.
      const int k = KxBlockContour(blocks[b].number);
      if (!(pieceMode && KxContourBlock(k) == blocks[b].number))
        fault(blocks[b].line, fmt("block N%d: nothing calls it", blocks[b].number));
      loop = -1;
      record = fed = threaded = false;
      byHand = true;
      follow((int)b, 1);
    }
  }

  void writePage(const std::string& path, const std::string& summary);
};

void Checker::writePage(const std::string& path, const std::string& summary) {
  FILE* f = fopen(path.c_str(), "w");
  if (!f) return;
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
  for (const Fault& x : faults)
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
    KxFilePrint(f, "'><title>N%d line %d: G%d, %d cut%s</title></path>\n", blocks[(size_t)l.block].number, l.line + 1, l.side,
            l.cuts, l.cuts == 1 ? "" : "s");
    KxFilePrint(f, "<path class='lead' d='M %.3f %.3f L %.3f %.3f'/>\n", l.holeX, l.holeY, l.pts[0].first, l.pts[0].second);
  }
  for (const Fault& x : faults) {
    if (!x.at) continue;
    KxFilePrint(f, "<circle class='fault' cx='%.3f' cy='%.3f' r='%.3f'><title>", x.x, x.y, mark);
    if (x.line >= 0) KxFilePrint(f, "line %d: ", x.line + 1);
    KxHtmlText(f, x.what.c_str());
    fputs("</title></circle>\n", f);
  }
  fputs("</g>\n", f);
  // Texts upright, outside the turned group.
  KxFilePrint(f, "<g font-size='%.3f'>\n", fs);
  for (const Fault& x : faults)
    if (x.at && x.line >= 0) KxFilePrint(f, "<text x='%.3f' y='%.3f'>%d</text>\n", x.x + mark * 1.2, -x.y - mark * 1.2, x.line + 1);
  fputs("</g>\n</svg>\n<ul>\n", f);
  for (const Fault& x : faults) {
    fputs("<li class='fault'>", f);
    KxHtmlText(f, told(x).c_str());
    fputs("</li>\n", f);
  }
  if (faults.empty()) fputs("<li>no faults</li>\n", f);
  fputs("</ul>\n</body></html>\n", f);
  fclose(f);
}

// Follows the program at path and reports; the drawing (when given) is in the table.
int checkAndReport(KxRun& run, const std::string& program, const std::string& drawing, bool own) {
  const bool withDrawing = !drawing.empty();
  Checker c(run);
  c.name = program;
  c.drawing = drawing;
  if (!c.read(program)) {
    KxPrint(run, "korvex: cannot read the NC program '%s' (%s) - not checked\n", program.c_str(), strerror(errno));
    return -1;
  }
  c.follow(0, 0);
  c.checkBlocks();
  c.shapeLoops();
  c.checkLoops();
  c.checkNesting();
  if (withDrawing) {
    c.takeDrawing();
    c.compareWithDrawing();
  }
  std::stable_sort(c.faults.begin(), c.faults.end(), [](const Fault& a, const Fault& b) { return a.line < b.line; });
  for (const Fault& x : c.faults) KxPrint(run, "korvex: %s\n", c.told(x).c_str());
  const int n = (int)c.faults.size();
  std::string summary = fmt("korvex: checked %s: %d cut%s, %d fault%s", baseName(program).c_str(), (int)c.loops.size(),
                            c.loops.size() == 1 ? "" : "s", n, n == 1 ? "" : "s");
  if (withDrawing) {
    summary += fmt("; %d of %d drawn loops cut", c.drawnCut, c.drawnLoops);
    if (c.drawnReported > 0) summary += fmt(" (%d without start hole, as the program says)", c.drawnReported);
    summary += fmt(", largest deviation %.4f mm", c.largest);
  }
  if (!own) {
    std::vector<const Loop*> byLine;
    for (const Loop& l : c.loops) byLine.push_back(&l);
    std::stable_sort(byLine.begin(), byLine.end(), [](const Loop* a, const Loop* b) { return a->line < b->line; });
    for (const Loop* lp : byLine) {
      const Loop& l = *lp;
      if (l.pts.empty()) continue;
      char kn[16] = "";
      if (l.drawn > 0) KxContourName(kn, sizeof kn, l.drawn);
      KxPrint(run, "korvex: %s:%sN%d cut %d time%s, G%d%s%s%s\n", program.c_str(), c.where(l.line).c_str(),
              c.blocks[(size_t)l.block].number, l.cuts, l.cuts == 1 ? "" : "s", l.side, kn[0] ? ", follows " : "", kn,
              l.drawn > 0 ? fmt(" within %.4f mm", l.deviation).c_str() : "");
    }
    KxPrint(run, "%s\n", summary.c_str());
  }
  c.writePage(KxOutputFolder(run.cfg) + "_check.htm", summary);
  return n;
}

}  // namespace

int KxCheckProgram(KxRun& run, const std::string& program, const std::string& drawing) {
  // What loading settings, device and drawing tell is the log's matter here.
  KxTraceQuiet(run, true);
  StartLayerList(run);
  ConfigClearRefusal(run.cfg);
  SetDevSyntax(run, run.cfg.gDevTarget.c_str());
  int status = kxSTATUS_OK;
  if (!drawing.empty()) {
    run.in_filename = drawing;
    if (!DxfOpenDrawing(run, drawing.c_str()) || KxReadDrawing(run) != kxSTATUS_OK) status = kxSTATUS_NO_DRAWING;
    else {
      SearchKontur(run);
      ReorgStructs(run);
    }
    if (run.i_stream) DxfCloseDrawing(run);
  }
  KxTraceQuiet(run, false);
  if (ConfigRefusal(run.cfg)[0]) {
    KxPrint(run, "korvex: %s - nothing checked\n", ConfigRefusal(run.cfg));
    return kxSTATUS_BAD_CONFIG;
  }
  if (status != kxSTATUS_OK) {
    KxPrint(run, "korvex: cannot read the drawing '%s' - not checked\n", drawing.c_str());
    return status;
  }
  const int faults = checkAndReport(run, program, drawing, false);
  if (faults < 0) return kxSTATUS_NO_DRAWING;
  return faults > 0 ? kxSTATUS_FAULTS : kxSTATUS_OK;
}

int KxCheckOwnProgram(KxRun& run) {
  run.gCheckFaults = checkAndReport(run, run.dataPath, run.in_filename, true);
  return run.gCheckFaults;
}
