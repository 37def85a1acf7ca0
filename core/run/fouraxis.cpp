// Four-axis cuts: the contours on the top layer, read from the drawing in a run
// of their own, each given to the contour below it, the lines of the sync layer
// that tie points of the two, and the largest angle the wire takes between them.
#include <algorithm>
#include <cmath>
#include <cstring>
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

// A loop with its box, while the top contours are given to the ones below.
struct Shape {
  std::vector<KxCurvePiece> loop;   // empty for a contour that closes into no loop
  float left = 0, bottom = 0, right = 0, top = 0;
};

void centre(const Shape& c, double* x, double* y) {
  *x = (c.left + c.right) / 2.0;
  *y = (c.bottom + c.top) / 2.0;
}

bool overlap(const Shape& a, const Shape& b) {
  return a.left <= b.right && b.left <= a.right && a.bottom <= b.top && b.bottom <= a.top;
}

// Why top contour t belongs to no bottom contour, or its number; shapes holds
// the bottom contours' boxes (an empty loop for one that makes none).
int partnerOf(KxRun& run, const std::vector<Shape>& shapes, const Shape& t, std::string* why) {
  double tx, ty;
  centre(t, &tx, &ty);
  int best = 0, second = 0;
  double bestD = 0, bestArea = 0;
  for (size_t k = 1; k < run.contours.all.size(); ++k) {
    const Shape& b = shapes[k];
    if (b.loop.empty() || !overlap(b, t)) continue;
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
void box(const std::vector<KxCurvePiece>& loop, Shape* c) {
  KxExtent e;
  for (const KxCurvePiece& p : loop) {
    if (p.line) {
      e.Add(p.sx, p.sy);
      e.Add(p.ex, p.ey);
    } else {
      const double sweep = KxPieceSweep(p);
      e.AddArc(p.cx, p.cy, p.r, std::atan2(p.sy - p.cy, p.sx - p.cx), p.ccw ? sweep : -sweep);
    }
  }
  c->left = (float)e.x0, c->right = (float)e.x1, c->bottom = (float)e.y0, c->top = (float)e.y1;
}

// The part height of each contour: a text "TH=<mm>" within its box widened by the
// anchor length (of two contours the smaller), else one in a directive, else PartHeight.
std::vector<float> partHeights(KxRun& run, const std::vector<Shape>& shapes) {
  std::vector<float> height(shapes.size(), 0);
  float directive = run.cfg.partHeight;
  const float reach = run.cfg.anchorLength;
  for (long i = 0; i < run.table.eldsCounter; ++i) {
    const elementdaten& e = run.table.elds[i];
    const char* th = e.type == etTEXT ? strstr(e.text, "TH=") : nullptr;
    if (!th) continue;
    const float value = (float)KxNumber(th + 3);
    if (!(value > 0)) continue;
    if (strstr(e.text, "#DIR")) {
      directive = value;
      continue;
    }
    size_t owner = 0;
    double least = 1e300;
    for (size_t k = 1; k < shapes.size(); ++k) {
      const Shape& s = shapes[k];
      if (s.loop.empty() || e.sx < s.left - reach || e.sx > s.right + reach || e.sy < s.bottom - reach || e.sy > s.top + reach)
        continue;
      const double a = ((double)s.right - s.left) * ((double)s.top - s.bottom);
      if (a < least) least = a, owner = k;
    }
    if (owner) height[owner] = value;
  }
  for (float& h : height)
    if (!(h > 0)) h = directive;
  return height;
}

// The records of each contour by number, as the chaining named them.
std::vector<std::vector<long>> membersOf(KxRun& r) {
  std::vector<std::vector<long>> members(r.contours.all.size());
  for (long i = 0; i < r.table.eldsCounter; ++i)
    if (const KxContour* c = KxContourNamed(r, r.table.marks[i].kontur)) members[(size_t)c->number].push_back(i);
  return members;
}

void refuse(KxRun& run, double x, double y, const std::string& why, const std::string& uncut = "not cut") {
  char text[300];
  snprintf(text, sizeof text, "top contour at X%.3f Y%.3f %s: %s", x, y, why.c_str(), uncut.c_str());
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
  const std::vector<std::vector<long>> members = membersOf(top.run);
  // The bottom contours as loops with their boxes. A check's run has no regions:
  // its contours get their members here, as the chaining named them.
  const std::vector<std::vector<long>> drawnBelow = membersOf(run);
  std::vector<Shape> shapes(run.contours.all.size());
  for (size_t k = 1; k < run.contours.all.size(); ++k) {
    if (run.contours.all[k].members.empty()) run.contours.all[k].members = drawnBelow[k];
    shapes[k].loop = KxLoopOf(run, run.contours.all[k].members);
    if (!shapes[k].loop.empty()) box(shapes[k].loop, &shapes[k]);
  }
  // What each bottom contour gets, filed into it once complete.
  std::vector<KxTopContour> tops(run.contours.all.size());

  for (int k = 1; k <= top.run.contours.count; ++k) {
    const std::vector<long>& drawn = members[(size_t)k];
    Shape shape;
    shape.loop = KxLoopOf(top.run, drawn);
    if (shape.loop.empty()) {
      double x = 0, y = 0;
      if (!drawn.empty()) x = top.run.table.elds[drawn[0]].sx, y = top.run.table.elds[drawn[0]].sy;
      refuse(run, x, y, "is no closed loop");
      continue;
    }
    box(shape.loop, &shape);
    double x, y;
    centre(shape, &x, &y);
    std::string why;
    const int b = partnerOf(run, shapes, shape, &why);
    if (b && !tops[(size_t)b].loop.empty()) why = std::string("is the second one over ") + run.contours.all[(size_t)b].name;
    if (!b || !tops[(size_t)b].loop.empty()) {
      refuse(run, x, y, why);
      continue;
    }
    tops[(size_t)b].loop = std::move(shape.loop);
    tops[(size_t)b].x = (float)x, tops[(size_t)b].y = (float)y;
  }

  if (run.dxf.syncDrawn) {
    LayerRun sync(run, run.dxf.syncLayer);
    for (long i = 0; sync.read && i < sync.run.table.eldsCounter; ++i) {
      const elementdaten& e = sync.run.table.elds[i];
      if (e.type != etLINE || sync.run.table.marks[i].used > 0) continue;
      for (size_t k = 1; k < run.contours.all.size(); ++k) {
        KxTopContour& c = tops[k];
        if (c.loop.empty()) continue;
        auto on = [&](const std::vector<KxCurvePiece>& loop, double x, double y) { return KxLoopDistance(loop, x, y) <= kTieReach; };
        if (on(shapes[k].loop, e.sx, e.sy) && on(c.loop, e.ex, e.ey)) c.ties.push_back({e.sx, e.sy, e.ex, e.ey});
        else if (on(shapes[k].loop, e.ex, e.ey) && on(c.loop, e.sx, e.sy)) c.ties.push_back({e.ex, e.ey, e.sx, e.sy});
      }
    }
  }

  const std::vector<float> heights = partHeights(run, shapes);
  for (size_t k = 1; k < run.contours.all.size(); ++k) {
    KxTopContour& t = tops[k];
    if (t.loop.empty()) continue;
    KxContour& c = run.contours.all[k];
    const std::vector<KxCurvePiece>& bottomLoop = shapes[k].loop;
    const std::vector<KxWirePair> pairs =
        KxRuledPairs(bottomLoop, t.loop, t.ties, bottomLoop[0].sx, bottomLoop[0].sy, run.cfg.chordTolerance);
    if (pairs.empty()) {
      refuse(run, t.x, t.y, std::string("cannot be paired with ") + c.name + (t.ties.empty() ? "" : ": its sync lines cross"));
      continue;
    }
    const double height = heights[k];
    t.height = (float)height;
    double tilt = 0;
    for (const KxWirePair& p : pairs) tilt = std::max(tilt, height > 0 ? KxWireTilt(p, height) : 90.0);
    t.tilt = (float)tilt;
    KxLog(run, "\n four-axis: %s with the top contour at X%.3f Y%.3f, %zu sync lines, largest wire angle %.2f degrees",
          c.name, t.x, t.y, t.ties.size(), tilt);
    if (!(height > 0)) {
      refuse(run, t.x, t.y, std::string("over ") + c.name + ": no part height (TH= or PartHeight)", std::string(c.name) + " not cut");
      c.topRefused = true;
    } else if (tilt > run.cfg.maxTaper) {
      char why[160];
      snprintf(why, sizeof why, "over %s: the wire would lean %.2f degrees, more than MaxTaper %.2f", c.name, tilt,
               (double)run.cfg.maxTaper);
      refuse(run, t.x, t.y, why, std::string(c.name) + " not cut");
      c.topRefused = true;
    } else {
      t.bottom = bottomLoop;
      c.upper = std::make_shared<const KxTopContour>(std::move(t));
    }
  }
}
