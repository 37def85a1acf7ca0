// NC program checker used by the end-to-end tests: the core's follower reads the
// program's words and blocks; the cuts' geometry is checked here by its own means.
#include "support/nc_check.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <map>
#include <sstream>
#include <unistd.h>

#include "report/report.h"

namespace {

bool near(double ax, double ay, double bx, double by, double tol) { return std::hypot(ax - bx, ay - by) <= tol; }

// Whether two moves run along the same element, in either direction (an arc run
// back is compared counter-clockwise).
bool sameElement(NcMove a, NcMove b) {
  const double t = 0.0015;
  if ((a.g >= 2) != (b.g >= 2)) return false;
  if (a.g == 2) std::swap(a.x0, a.x1), std::swap(a.y0, a.y1);
  if (b.g == 2) std::swap(b.x0, b.x1), std::swap(b.y0, b.y1);
  if (a.g >= 2)
    return near(a.cx, a.cy, b.cx, b.cy, t) && near(a.x0, a.y0, b.x0, b.y0, t) && near(a.x1, a.y1, b.x1, b.y1, t);
  return (near(a.x0, a.y0, b.x0, b.y0, t) && near(a.x1, a.y1, b.x1, b.y1, t)) ||
         (near(a.x0, a.y0, b.x1, b.y1, t) && near(a.x1, a.y1, b.x0, b.y0, t));
}

double pointToSegment(double x, double y, double x1, double y1, double x2, double y2) {
  const double dx = x2 - x1, dy = y2 - y1, len2 = dx * dx + dy * dy;
  double t = len2 > 0 ? ((x - x1) * dx + (y - y1) * dy) / len2 : 0;
  t = t < 0 ? 0 : t > 1 ? 1 : t;
  return std::hypot(x1 + t * dx - x, y1 + t * dy - y);
}

// Whether a cutting move runs along one of the drawing's elements.
bool alongElement(const NcMove& s, const std::vector<NcPathElement>& elements) {
  const double t = 0.003;
  for (const NcPathElement& e : elements) {
    if ((s.g >= 2) != e.arc) continue;
    if (!e.arc) {
      if (pointToSegment(s.x0, s.y0, e.x1, e.y1, e.x2, e.y2) <= t &&
          pointToSegment(s.x1, s.y1, e.x1, e.y1, e.x2, e.y2) <= t)
        return true;
    } else if (near(s.cx, s.cy, e.cx, e.cy, t) && std::fabs(std::hypot(s.x0 - e.cx, s.y0 - e.cy) - e.r) <= t) {
      return true;
    }
  }
  return false;
}

// One cut loop between a compensation line and the lead-out: the start hole (the
// position when compensation is switched on), the side and the path as points,
// arcs sampled finely enough for the area sign and the inside test.
struct CutLoop {
  bool active = false;
  int side = 0;               // 41: wire left of the path, 42: right
  NcPolygon pts;
  NcCut cut;                  // start hole and the cutting moves after the lead-in
  size_t line = 0;
};

void addArc(CutLoop& c, double sx, double sy, double ex, double ey, double cx, double cy, bool clockwise) {
  const double r = std::hypot(sx - cx, sy - cy);
  double a0 = std::atan2(sy - cy, sx - cx), a1 = std::atan2(ey - cy, ex - cx);
  double sweep = a1 - a0;
  if (clockwise) { while (sweep >= -1e-9) sweep -= 2 * M_PI; }
  else { while (sweep <= 1e-9) sweep += 2 * M_PI; }
  const int n = 32;
  for (int k = 1; k < n; ++k) c.pts.push_back({cx + r * std::cos(a0 + sweep * k / n), cy + r * std::sin(a0 + sweep * k / n)});
  c.pts.push_back({ex, ey});
}

// Whether segment p-q meets segment a-b (touching counts).
bool segmentsMeet(double px, double py, double qx, double qy, double ax, double ay, double bx, double by) {
  auto orient = [](double ox, double oy, double ux, double uy, double vx, double vy) {
    const double c = (ux - ox) * (vy - oy) - (uy - oy) * (vx - ox);
    return c > 1e-12 ? 1 : c < -1e-12 ? -1 : 0;
  };
  const int d1 = orient(px, py, qx, qy, ax, ay), d2 = orient(px, py, qx, qy, bx, by);
  const int d3 = orient(ax, ay, bx, by, px, py), d4 = orient(ax, ay, bx, by, qx, qy);
  if (d1 * d2 > 0 || d3 * d4 > 0) return false;
  if (d1 != 0 || d2 != 0) return true;
  // On one line: they meet when their extents overlap.
  return std::max(px, qx) >= std::min(ax, bx) && std::max(ax, bx) >= std::min(px, qx) &&
         std::max(py, qy) >= std::min(ay, by) && std::max(ay, by) >= std::min(py, qy);
}

// A lead-in: from the start hole to the split point.
struct LeadIn {
  double hx, hy, sx, sy;
  size_t line;
};

// Signed area (positive: counter-clockwise) of a closed polygon.
double signedArea(const NcPolygon& p) {
  double a = 0;
  for (size_t i = 0, j = p.size() - 1; i < p.size(); j = i++) a += p[j].first * p[i].second - p[i].first * p[j].second;
  return a / 2;
}

// A number of the program as strtod reads its text, which the tests compare with: the
// follower reads digit by digit, a few units of the last place apart, and the writer's
// numbers have far fewer than 12 digits.
double written(double v) { return strtod(KxNcText("%.12g", v).c_str(), nullptr); }

// The core's follower, heard only for the blocks it cannot read (a non-finite number, a stray character).
struct Reader : KxNcFollower {
  using KxNcFollower::KxNcFollower;
  std::vector<int> unread;   // their quotes
  void Fault(int quote, const char* kind, const std::string&) override {
    if (strcmp(kind, "unread") == 0) unread.push_back(quote);
  }
};

}  // namespace

double NcDistanceTo(const NcPolygon& p, double x, double y) {
  double best = 1e300;
  for (size_t i = 0, j = p.size() - 1; i < p.size(); j = i++)
    best = std::min(best, pointToSegment(x, y, p[j].first, p[j].second, p[i].first, p[i].second));
  return best;
}

bool NcInside(const NcPolygon& p, double x, double y) {
  bool in = false;
  for (size_t i = 0, j = p.size() - 1; i < p.size(); j = i++) {
    if ((p[i].second > y) != (p[j].second > y) &&
        x < (p[j].first - p[i].first) * (y - p[i].second) / (p[j].second - p[i].second) + p[i].first)
      in = !in;
  }
  return in;
}

std::string NcCheck::Report() const {
  std::string out;
  for (const auto& p : problems) out += p + "\n";
  return out;
}

// Steps: the delimiters; the program read by the core's follower; its steps walked in
// written order (blocks, calls, threading, cuts as polygons judged as each ends); the
// lead-ins against every cut loop; the calls against the blocks.
NcCheck CheckNcProgram(const std::string& program, const devSyntax& dev, const NcCheckOptions& opt) {
  NcCheck r;
  std::vector<std::string> lines;
  std::stringstream ss(program);
  for (std::string l; std::getline(ss, l);) {
    if (!l.empty() && l.back() == '\r') l.pop_back();
    lines.push_back(l);
  }
  auto problem = [&](size_t i, const std::string& what) {
    r.problems.push_back("line " + std::to_string(i + 1) + ": " + what + " [" + (i < lines.size() ? lines[i] : "") + "]");
  };
  const std::string epilog = std::string(dev.ProEpilog) + dev.EOL;
  if (lines.empty() || lines.front() != epilog) problem(0, "program does not open with " + epilog);
  if (lines.empty() || lines.back() != epilog) problem(lines.empty() ? 0 : lines.size() - 1, "program does not close with " + epilog);

  // The program read by the core's follower, through a file as every program is.
  char path[] = "/tmp/korvex_nc_checkXXXXXX";
  const int fd = mkstemp(path);
  const bool saved = fd >= 0 && write(fd, program.data(), program.size()) == (ssize_t)program.size();
  if (fd >= 0) close(fd);
  Reader read(dev);
  std::string why;
  const bool readable = saved && read.Read(path, &why);
  unlink(path);
  if (!readable) {
    r.problems.push_back("program not read: " + why);
    return r;
  }
  for (int q : read.unread) problem((size_t)read.LineOf(q), "block not understood");
  const std::string ret = dev.SubReturn;

  std::map<int, size_t> blocks;
  std::vector<LeadIn> leadIns;     // of the closed cuts
  std::vector<std::pair<NcPolygon, std::array<double, 4>>> loops;  // the closed cuts with their boxes, material for every lead-in
  int open = -1;          // the block being read
  bool havePos = false;
  double px = 0, py = 0;
  CutLoop loop;
  bool openPending = false;   // a loop of this block did not come back to its split point
  size_t openLoopLine = 0;
  int modalG = -1;            // the move word in force
  // The wire is threaded from the threading word to the cut word; after a NoCut
  // remark the drawing itself keeps it threaded on the way to the next contour.
  bool threaded = false, noCutAsked = false;
  size_t firstThreadedRapid = 0;

  // A loop that comes back to its split point has the wire inside when it runs
  // counter-clockwise with G41 or clockwise with G42; its start hole must lie there too.
  auto endLoop = [&]() {
    if (!loop.active) return;
    loop.active = false;
    if (open >= 0 && !loop.cut.moves.empty()) r.cuts.emplace(open, loop.cut);
    // A cut takes every element once: running an element again means the path turned back.
    const std::vector<NcMove>& moves = loop.cut.moves;
    for (size_t i = 0; i < moves.size(); ++i)
      for (size_t j = i + 1; j < moves.size(); ++j)
        if (sameElement(moves[i], moves[j])) problem(moves[j].line, "element cut a second time");
    if (!opt.elements.empty())
      for (const NcMove& m : moves) {
        ++r.pathChecks;
        if (!alongElement(m, opt.elements)) problem(m.line, "cutting move along no element of the drawing");
      }
    if (loop.pts.size() < 2) return;
    // The first point is the split point; the last move before the lead-out returns to it.
    const auto& a = loop.pts.front();
    const auto& b = loop.pts.back();
    // A hole's last arc runs on beyond its split point: passing it closes the cut too.
    bool passes = false;
    for (size_t i = 2; i < loop.pts.size() && !passes; ++i)
      passes = pointToSegment(a.first, a.second, loop.pts[i - 1].first, loop.pts[i - 1].second, loop.pts[i].first,
                              loop.pts[i].second) <= 0.0015;
    if (std::hypot(a.first - b.first, a.second - b.second) > 0.0015 && !passes) {
      // Only a contour the writer reports as open may end elsewhere.
      openLoopLine = loop.line;
      openPending = true;
      return;
    }
    ++r.closedCuts;
    leadIns.push_back({loop.cut.holeX, loop.cut.holeY, a.first, a.second, loop.line});
    std::array<double, 4> box{1e300, 1e300, -1e300, -1e300};
    for (const auto& q : loop.pts)
      box = {std::min(box[0], q.first), std::min(box[1], q.second), std::max(box[2], q.first), std::max(box[3], q.second)};
    loops.emplace_back(loop.pts, box);
    if (loop.pts.size() < 4) return;
    const double area = signedArea(loop.pts);
    // A start hole on the loop itself has no side to be checked.
    if (std::fabs(area) < 1e-6 || NcDistanceTo(loop.pts, loop.cut.holeX, loop.cut.holeY) < 0.01) return;
    ++r.sideChecks;
    const bool wireInside = (loop.side == 41) == (area > 0);
    const bool holeInside = NcInside(loop.pts, loop.cut.holeX, loop.cut.holeY);
    if (wireInside != holeInside)
      problem(loop.line, std::string("wire ") + (wireInside ? "inside" : "outside") + " the loop, start hole " +
                             (holeInside ? "inside" : "outside"));
  };

  // The steps in the order they are written, block after block.
  for (size_t b = 0; b < read.blocks.size(); ++b) {
    const KxNcBlock& blk = read.blocks[b];
    if (b > 0) {
      const size_t at = (size_t)read.LineOf(blk.quote);
      const int n = (int)blk.number;
      if (blocks.count(n)) problem(at, "block N" + std::to_string(n) + " twice");
      if (!blk.returns) problem(at, "block N" + std::to_string(n) + " has no " + ret);
      blocks.emplace(n, at);
      open = n;
      havePos = openPending = false;
    }
    for (int k = blk.first; k < blk.first + blk.count; ++k) {
      const KxNcStep& st = read.steps[(size_t)k];
      const size_t i = (size_t)read.LineOf(st.quote);
      switch (st.kind) {
        case kxNC_CALL:
          if (st.n >= 0) r.called.insert((int)st.n);
          break;
        case kxNC_FEED: threaded = true, noCutAsked = false; break;
        case kxNC_WIRECUT: threaded = false; break;
        case kxNC_NOCUT: noCutAsked = true; break;
        case kxNC_RETURN:
          if (openPending && !blk.open && !blk.uncut) problem(openLoopLine, "cut does not come back to its split point and is not reported open");
          openPending = false;
          open = -1;
          break;
        case kxNC_COMPOFF:
          if (loop.active && !loop.pts.empty()) loop.pts.pop_back();   // the lead-out itself
          if (loop.active && !loop.cut.moves.empty()) loop.cut.moves.pop_back();
          endLoop();
          break;
        case kxNC_COMP:
          loop = CutLoop{};
          loop.active = havePos;
          loop.side = st.g;
          loop.cut.holeX = px;
          loop.cut.holeY = py;
          loop.line = i;
          break;
        case kxNC_G92:
          if (st.hasX && st.hasY) px = written(st.x), py = written(st.y), havePos = true;
          break;
        case kxNC_MOVE: {
          const int g = st.g >= 0 ? st.g : modalG;
          if (g < 0) break;
          modalG = g;
          if (g == 0 && threaded && !noCutAsked && r.threadedRapids++ == 0) firstThreadedRapid = i;
          if (!st.hasX || !st.hasY) break;
          const double x = written(st.x), y = written(st.y), ci = written(st.i), cj = written(st.j);
          const bool arc = (g == 2 || g == 3) && st.ij;
          if ((g == 2 || g == 3) && havePos && !arc) problem(i, "arc without I/J");
          if (arc && havePos) {
            double r0 = std::hypot(ci, cj), r1 = std::hypot(x - px - ci, y - py - cj);
            if (std::fabs(r0 - r1) > 0.005) problem(i, "arc centre not equidistant (" + std::to_string(r0) + " vs " + std::to_string(r1) + ")");
          }
          if (loop.active) {
            if (!loop.pts.empty()) loop.cut.moves.push_back({arc ? g : 1, px, py, x, y, px + ci, py + cj, i});
            if (!loop.pts.empty() && arc)
              addArc(loop, px, py, x, y, px + ci, py + cj, g == 2);
            else
              loop.pts.push_back({x, y});
          }
          px = x;
          py = y;
          havePos = true;
          break;
        }
        default: break;
      }
    }
  }
  if (r.threadedRapids > opt.askedRapids)
    problem(firstThreadedRapid, std::to_string(r.threadedRapids) + " rapid move(s) with the wire threaded, " +
                                    std::to_string(opt.askedRapids) + " asked for");
  // No lead-in runs through a cut loop, its own short of its split point or another
  // one; inside an opening (its start hole within its loop) all is scrap, and the
  // loops there may be crossed.
  for (size_t k = 0; k < leadIns.size(); ++k) {
    const LeadIn& l = leadIns[k];
    const double len = std::hypot(l.sx - l.hx, l.sy - l.hy);
    if (len <= 0.01) continue;
    ++r.leadInChecks;
    const double ex = l.sx - (l.sx - l.hx) * 0.01 / len, ey = l.sy - (l.sy - l.hy) * 0.01 / len;
    const NcPolygon& own = loops[k].first;
    const bool opening = own.size() >= 3 && NcInside(own, l.hx, l.hy);
    bool crosses = false;
    for (size_t j = 0; j < loops.size() && !crosses; ++j) {
      const auto& [p, box] = loops[j];
      if (std::max(l.hx, ex) < box[0] || std::min(l.hx, ex) > box[2] || std::max(l.hy, ey) < box[1] ||
          std::min(l.hy, ey) > box[3])
        continue;
      if (j != k && opening && !p.empty() && NcInside(own, p[0].first, p[0].second)) continue;
      for (size_t i = 0, h = p.size() - 1; i < p.size() && !crosses; h = i++)
        crosses = segmentsMeet(l.hx, l.hy, ex, ey, p[h].first, p[h].second, p[i].first, p[i].second);
    }
    if (crosses) problem(l.line, "lead-in crosses a cut contour");
  }
  for (int n : r.called)
    if (!blocks.count(n)) r.problems.push_back("call of N" + std::to_string(n) + " has no block");
  for (const auto& [n, at] : blocks)
    if (!r.called.count(n)) problem(at, "block N" + std::to_string(n) + " is never called");
  return r;
}
