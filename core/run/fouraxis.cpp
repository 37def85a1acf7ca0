// Four-axis cuts: the contours on the top layer, read from the drawing in a run
// of their own, each given to the contour below it, the lines of the sync layer
// that tie points of the two, and the largest angle the wire takes between them.
#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "config/config.h"
#include "contours/contours.h"
#include "dxf/dxf.h"
#include "elements/elements.h"
#include "geometry/base.h"
#include "run/run.h"

namespace {

// How far a tie's end may lie off its contour and still be on it, mm.
constexpr double kTieReach = 0.01;

// A run that reads one more layer of the same drawing, quietly, into its own table.
struct LayerRun {
  KxRun run;
  bool read = false;   // the drawing was read
  LayerRun(const KxRun& main, const std::string& layer) : run(main.cfg) {
    KxCopy(run.cfg.edmLayer, sizeof run.cfg.edmLayer, layer.c_str());
    // No further layer joins it: every name that holds the optional prefix would.
    KxCopy(run.cfg.optLayer, sizeof run.cfg.optLayer, "\x01");
    run.io.in_filename = main.io.in_filename;
    run.io.quiet = true;
    run.io.consoleSink = [](const char*, size_t) {};
    StartLayerList(run);
    read = DxfOpenDrawing(run, main.io.in_filename.c_str()) && KxReadDrawing(run) == kxSTATUS_OK;
  }
};

KxCurvePiece pieceOf(const elementdaten& e) {
  KxCurvePiece p{};
  p.line = e.type == etLINE;
  p.sx = e.sx, p.sy = e.sy, p.ex = e.ex, p.ey = e.ey;
  p.cx = e.cx, p.cy = e.cy, p.r = e.r;
  p.ccw = true;
  if (e.type == etCIR) p.sx = p.ex = e.cx + e.r, p.sy = p.ey = e.cy;
  return p;
}

// Members (lines, arcs, circles) walked end to end from the first one; empty
// when they do not close into one loop.
std::vector<KxCurvePiece> loopOf(const KxRun& r, const std::vector<long>& members) {
  std::vector<KxCurvePiece> pieces;
  for (long i : members) {
    const elementdaten& e = r.table.elds[i];
    if (e.type == etLINE || e.type == etARC || e.type == etCIR) pieces.push_back(pieceOf(e));
  }
  if (pieces.empty() || (pieces.size() == 1 && !(pieces[0].sx == pieces[0].ex && pieces[0].sy == pieces[0].ey)))
    return {};
  const double reach = std::max((double)r.cfg.elementTolerance, 1e-6);
  KxPointGrid ends;
  ends.Reset(reach);
  for (size_t i = 0; i < pieces.size(); ++i) {
    ends.Add(pieces[i].sx, pieces[i].sy, (long)i);
    ends.Add(pieces[i].ex, pieces[i].ey, (long)i);
  }
  std::vector<char> taken(pieces.size(), 0);
  std::vector<KxCurvePiece> loop{pieces[0]};
  taken[0] = 1;
  std::vector<long> near;
  while (loop.size() < pieces.size()) {
    const double x = loop.back().ex, y = loop.back().ey;
    ends.Near(x, y, near);
    bool found = false;
    for (long i : near) {
      if (taken[(size_t)i]) continue;
      KxCurvePiece p = pieces[(size_t)i];
      if (std::hypot(p.ex - x, p.ey - y) <= reach && !(std::hypot(p.sx - x, p.sy - y) <= reach)) {
        std::swap(p.sx, p.ex);
        std::swap(p.sy, p.ey);
        p.ccw = !p.ccw;
      }
      if (!(std::hypot(p.sx - x, p.sy - y) <= reach)) continue;
      taken[(size_t)i] = 1;
      loop.push_back(p);
      found = true;
      break;
    }
    if (!found) return {};
  }
  if (!(std::hypot(loop.back().ex - loop.front().sx, loop.back().ey - loop.front().sy) <= reach)) return {};
  return loop;
}

void centre(const KxContour& c, double* x, double* y) {
  *x = (c.left + c.right) / 2.0;
  *y = (c.bottom + c.top) / 2.0;
}

bool overlap(const KxContour& a, const KxContour& b) {
  return a.left <= b.right && b.left <= a.right && a.bottom <= b.top && b.bottom <= a.top;
}

// Why top contour t belongs to no bottom contour, or its number.
int partnerOf(KxRun& run, const KxContour& t, std::string* why) {
  double tx, ty;
  centre(t, &tx, &ty);
  int best = 0, second = 0;
  double bestD = 0, bestArea = 0;
  for (size_t k = 1; k < run.contours.all.size(); ++k) {
    const KxContour& b = run.contours.all[k];
    if (b.open || !overlap(b, t)) continue;
    double bx, by;
    centre(b, &bx, &by);
    const double d = std::hypot(bx - tx, by - ty), area = ((double)b.right - b.left) * ((double)b.top - b.bottom);
    // The nearest centre; of two alike, the smaller box: an opening before the plate around it.
    const bool closer = best == 0 || d < bestD - 1e-9 || (std::fabs(d - bestD) <= 1e-9 && area < bestArea - 1e-9);
    const bool tie = best != 0 && std::fabs(d - bestD) <= 1e-9 && std::fabs(area - bestArea) <= 1e-9;
    if (closer) {
      second = tie ? best : 0;
      best = (int)k, bestD = d, bestArea = area;
    } else if (tie) {
      second = (int)k;
    }
  }
  if (best == 0) *why = "lies over no contour of the main layer";
  else if (second != 0)
    *why = std::string("lies over ") + run.contours.all[(size_t)best].name + " and " +
           run.contours.all[(size_t)second].name + " alike";
  return second != 0 ? 0 : best;
}

// The box of a loop.
void box(const std::vector<KxCurvePiece>& loop, KxContour* c) {
  KxExtent e;
  for (const KxCurvePiece& p : loop) {
    if (p.line) {
      e.Add(p.sx, p.sy);
      e.Add(p.ex, p.ey);
    } else {
      const double a0 = std::atan2(p.sy - p.cy, p.sx - p.cx), a1 = std::atan2(p.ey - p.cy, p.ex - p.cx);
      double sweep = p.ccw ? a1 - a0 : a0 - a1;
      while (sweep <= 1e-12) sweep += 2 * M_PI;
      e.AddArc(p.cx, p.cy, p.r, a0, p.ccw ? sweep : -sweep);
    }
  }
  c->left = (float)e.x0, c->right = (float)e.x1, c->bottom = (float)e.y0, c->top = (float)e.y1;
}

void refuse(KxRun& run, double x, double y, const std::string& why) {
  char text[300];
  snprintf(text, sizeof text, "top contour at X%.3f Y%.3f %s: not cut", x, y, why.c_str());
  run.contours.topRefusals.push_back(text);
  KxSay(run, "\nkorvex: warning: %s\n", text);
  KxLog(run, "\n four-axis: %s", text);
}

}  // namespace

// In these steps:
//   1. the top layer read in a run of its own and chained into contours;
//   2. each closed one given to the bottom contour below it (none, or two alike: refused);
//   3. the sync layer's lines tied to the pair whose contours their ends lie on;
//   4. the largest wire angle of each pair, which MaxTaper bounds.
void KxFindTopContours(KxRun& run) {
  if (!run.dxf.topDrawn || run.contours.count < 1) return;
  LayerRun top(run, run.dxf.topLayer);
  if (!top.read) return;
  SearchKontur(top.run);
  // The chaining names its contours' records; their members are gathered here.
  std::vector<std::vector<long>> members(top.run.contours.all.size());
  for (long i = 0; i < top.run.table.eldsCounter; ++i)
    if (const KxContour* t = KxContourNamed(top.run, top.run.table.marks[i].kontur)) members[(size_t)t->number].push_back(i);

  for (int k = 1; k <= top.run.contours.count; ++k) {
    const std::vector<long>& drawn = members[(size_t)k];
    KxContour shape;
    shape.topLoop = loopOf(top.run, drawn);
    if (shape.topLoop.empty()) {
      double x = 0, y = 0;
      if (!drawn.empty()) x = top.run.table.elds[drawn[0]].sx, y = top.run.table.elds[drawn[0]].sy;
      refuse(run, x, y, "is no closed loop");
      continue;
    }
    box(shape.topLoop, &shape);
    double x, y;
    centre(shape, &x, &y);
    std::string why;
    const int b = partnerOf(run, shape, &why);
    KxContour* bottom = b ? &run.contours.all[(size_t)b] : nullptr;
    if (bottom && !bottom->topLoop.empty()) {
      why = std::string("is the second one over ") + bottom->name;
      bottom = nullptr;
    }
    if (!bottom) {
      refuse(run, x, y, why);
      continue;
    }
    bottom->topLoop = std::move(shape.topLoop);
    bottom->topX = (float)x, bottom->topY = (float)y;
  }

  std::vector<std::vector<KxCurvePiece>> bottoms(run.contours.all.size());
  for (size_t k = 1; k < run.contours.all.size(); ++k)
    if (!run.contours.all[k].topLoop.empty()) bottoms[k] = loopOf(run, run.contours.all[k].members);

  if (run.dxf.syncDrawn) {
    LayerRun sync(run, run.dxf.syncLayer);
    for (long i = 0; sync.read && i < sync.run.table.eldsCounter; ++i) {
      const elementdaten& e = sync.run.table.elds[i];
      if (e.type != etLINE || sync.run.table.marks[i].used > 0) continue;
      for (size_t k = 1; k < run.contours.all.size(); ++k) {
        KxContour& c = run.contours.all[k];
        if (c.topLoop.empty()) continue;
        auto on = [&](const std::vector<KxCurvePiece>& loop, double x, double y) { return KxLoopDistance(loop, x, y) <= kTieReach; };
        if (on(bottoms[k], e.sx, e.sy) && on(c.topLoop, e.ex, e.ey)) c.ties.push_back({e.sx, e.sy, e.ex, e.ey});
        else if (on(bottoms[k], e.ex, e.ey) && on(c.topLoop, e.sx, e.sy)) c.ties.push_back({e.ex, e.ey, e.sx, e.sy});
      }
    }
  }

  for (size_t k = 1; k < run.contours.all.size(); ++k) {
    KxContour& c = run.contours.all[k];
    if (c.topLoop.empty()) continue;
    const std::vector<KxCurvePiece>& bottomLoop = bottoms[k];
    const std::vector<KxWirePair> pairs =
        bottomLoop.empty() ? std::vector<KxWirePair>{}
                           : KxRuledPairs(bottomLoop, c.topLoop, c.ties, bottomLoop[0].sx, bottomLoop[0].sy, run.cfg.chordTolerance);
    if (pairs.empty()) {
      refuse(run, c.topX, c.topY, std::string("cannot be paired with ") + c.name + (c.ties.empty() ? "" : ": its sync lines cross"));
      c.topLoop.clear();
      continue;
    }
    const double height = run.cfg.partHeight;
    double tilt = 0;
    for (const KxWirePair& p : pairs) tilt = std::max(tilt, height > 0 ? KxWireTilt(p, height) : 90.0);
    c.tilt = (float)tilt;
    KxLog(run, "\n four-axis: %s with the top contour at X%.3f Y%.3f, %zu sync lines, largest wire angle %.2f degrees",
          c.name, c.topX, c.topY, c.ties.size(), tilt);
    if (!(height > 0)) {
      refuse(run, c.topX, c.topY, std::string("over ") + c.name + ": no part height (PartHeight)");
      c.topLoop.clear();
    } else if (tilt > run.cfg.maxTaper) {
      char why[160];
      snprintf(why, sizeof why, "over %s: the wire would lean %.2f degrees, more than MaxTaper %.2f", c.name, tilt,
               (double)run.cfg.maxTaper);
      refuse(run, c.topX, c.topY, why);
      c.topLoop.clear();
    } else {
      // The program's moves for the upper guide come with a later version: said, not hidden.
      KxSay(run, "\nkorvex: warning: %s has a top contour (largest wire angle %.2f degrees); four-axis moves are not "
                 "written yet, it is cut with an upright wire\n", c.name, tilt);
    }
  }
}
