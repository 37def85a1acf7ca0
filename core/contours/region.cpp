// Regions of the contours: each contour's bounding box widened by the anchor
// length, its length and element count, kept in the contour (its row in the table
// only keeps the record numbers); the small circles and inserts inside the region
// are claimed as the contour's feed-point candidates.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "config/config.h"
#include "contours/contours.h"
#include "elements/elements.h"
#include "geometry/base.h"
#include "run/run.h"


int IsCircleInRegion(const KxContour& c, const elementdaten& e) {
  if (c.region < 0) return 0;
  // Strict on every side: a centre on the widened edge does not belong to the region.
  return c.reachLeft < e.cx && e.cx < c.reachRight && c.reachBottom < e.cy && e.cy < c.reachTop ? 1 : 0;
}

KxCandidateIndex::KxCandidateIndex(KxRun& run, double cell) : run_(run) {
  grid_.Reset(cell);
  fileUpTo(run.table.eldsCounter);
}

void KxCandidateIndex::fileUpTo(long top) {
  for (long i = upTo_; i < top; ++i) {
    const elementdaten& e = run_.table.elds[i];
    if (e.type == etCIR || e.type == etINSE) {
      grid_.Add(e.cx, e.cy, e.cx, e.cy, i);
      records_.push_back(i);
    }
  }
  if (top > upTo_) upTo_ = top;
}

const std::vector<long>& KxCandidateIndex::Records() {
  fileUpTo(run_.table.eldsCounter);
  return records_;
}

void KxCandidateIndex::In(const KxContour& c, std::vector<long>& out) {
  out.clear();
  const long n = run_.table.eldsCounter;
  if (c.region < 0) {
    for (long i = 0; i < n; ++i) out.push_back(i);
    return;
  }
  fileUpTo(n);
  std::vector<long> near;
  grid_.Overlapping(c.reachLeft, c.reachBottom, c.reachRight, c.reachTop, near);
  for (long i : near)
    if (i < n) out.push_back(i);
}

long KxCandidateIndex::Near(const KxContour& c, std::vector<long>& out) {
  In(c, out);
  if (c.region < 0) return -1;
  const long n = run_.table.eldsCounter;
  // The filed records below n, less those given: the ones the box cannot hold.
  const long filed = (long)(std::lower_bound(records_.begin(), records_.end(), n) - records_.begin());
  return filed - (long)out.size();
}

// A claimed candidate is free again (used 0) and carries the contour's name; the
// last region that claims it wins, and an insert an earlier contour was entered
// from loses its feed-point mark (KxStillFed).
static void claimCandidate(KxRun& run, long j, const char* kName) {
  KxMarks& m = run.table.marks[j];
  KxCopy(m.kontur, sizeof m.kontur, kName);
  KxNoteMember(run, j);
  m.used = 0;
  m.note = kNoteStartPoint;
}

// The area the loop of members (lines and arcs) encloses and its turn when it is
// walked from the first member in that member's direction: +1 counter-clockwise,
// -1 clockwise. Each step goes on with the nearest end within the tolerance band;
// a walk that does not come round through every member leaves area and turn 0.
static void measureLoop(KxRun& run, const std::vector<long>& members, double* area, int* turn) {
  *area = 0;
  *turn = 0;
  struct End {
    float x, y;
    size_t m;
    bool start;
  };
  std::vector<long> edges;
  for (long i : members)
    if (run.table.elds[i].type == etLINE || run.table.elds[i].type == etARC) edges.push_back(i);
  if (edges.size() < 2) return;
  std::vector<End> ends;
  for (size_t m = 0; m < edges.size(); ++m) {
    const elementdaten& e = run.table.elds[edges[m]];
    ends.push_back({e.sx, e.sy, m, true});
    ends.push_back({e.ex, e.ey, m, false});
  }
  std::sort(ends.begin(), ends.end(), [](const End& p, const End& q) { return p.x < q.x; });
  const double reach = (double)run.cfg.fPlusTol * (1.0 + 1e-6) + 1e-4;
  std::vector<char> walked(edges.size(), 0);
  double twice = 0;   // twice the signed area
  size_t at = 0;
  bool forward = true;
  for (size_t step = 0; step < edges.size(); ++step) {
    walked[at] = 1;
    const elementdaten& e = run.table.elds[edges[at]];
    const double x0 = forward ? e.sx : e.ex, y0 = forward ? e.sy : e.ey;
    const double x1 = forward ? e.ex : e.sx, y1 = forward ? e.ey : e.sy;
    twice += x0 * y1 - x1 * y0;
    if (e.type == etARC) {
      // The segment between chord and arc, on the arc's side of the chord.
      const double sweep = BOGENWINKEL(e.sw, e.ew) / RAD2DEG;
      const double segment = (double)e.r * e.r * (sweep - std::sin(sweep));
      twice += forward ? segment : -segment;
    }
    if (step + 1 == edges.size()) {
      const elementdaten& first = run.table.elds[edges[0]];
      if (std::hypot(x1 - first.sx, y1 - first.sy) > reach) return;
      break;
    }
    double best = reach;
    const End* next = nullptr;
    auto b = std::lower_bound(ends.begin(), ends.end(), x1 - reach, [](const End& p, double v) { return (double)p.x < v; });
    for (; b != ends.end() && (double)b->x <= x1 + reach; ++b) {
      const double d = std::hypot((double)b->x - x1, (double)b->y - y1);
      if (!walked[b->m] && d <= best) {
        best = d;
        next = &*b;
      }
    }
    if (!next) return;
    at = next->m;
    forward = next->start;
  }
  if (!std::isfinite(twice)) return;
  *area = std::fabs(twice) / 2;
  *turn = twice > 0 ? 1 : twice < 0 ? -1 : 0;
}

KxRecordView KxRegionRow(const KxRun& run, const KxContour& c) {
  if (c.region < 0 || c.region >= run.table.eldsCounter) return KxRecordView{};
  KxRecordView v{run.table.elds[c.region], run.table.marks[c.region]};
  v.marks.used = 1;
  KxCopy(v.marks.kontur, sizeof v.marks.kontur, c.name);
  v.marks.note = kNoteRegion;
  v.record.sx = c.reachLeft;
  v.record.sy = c.reachTop;
  v.record.ex = c.reachRight;
  v.record.ey = c.reachBottom;
  v.record.len = c.length;
  v.marks.kElemX = c.elementCount;
  v.marks.IsFirst = (int)c.leadIn;
  v.marks.child = c.parent;
  return v;
}

// The region of contour c, in these steps:
//   1. append its row (a full table leaves the contour without region);
//   2. bounding box, length and element counts of the members (arcs with their bulges);
//   3. the box widened by the anchor length on every side: the region;
//   4. inserts and small circles inside the region claimed as the contour's start points;
//   5. the element count reported, the contour's facts filed and written to its row.
long GetRegionFor(KxRun& run, KxContour& c, KxCandidateIndex& candidates) {
  const char* kName = c.name;
  // The box starts from the first member, so that it holds at any coordinate: a
  // fixed start value would stay one side of every contour lying beyond it, and
  // the nesting test could no longer tell an opening inside its part. A contour
  // without a member keeps the empty box.
  float left = 5000, right = -5000, top = -5000, bottom = 5000, length = 0;
  bool boxed = false;
  long circles = 0, lines = 0, arcs = 0, points = 0, inserts = 0;
  const long n = run.table.eldsCounter;

  // Its box is set below; its centre and radius stay what the drawing's last
  // entity left, with fresh angles, as the dump has always shown them.
  KxNewElement region = DxfLeftover(run);
  region.sw = 0;
  region.ew = 360;
  AddElement(run, etDELETE, region, gNoText);
  // A full table refused the row ("-Limit B-" is out): writing at n - 1 would
  // overwrite a drawing element, so this contour simply gets no region.
  if (run.table.eldsCounter != n + 1) return -1;
  const long reg = n;
  c.members.clear();
  // The row carries the contour's name, so the member questions find it in its place.
  KxMarks& rg = run.table.marks[reg];
  rg.used = 1;
  KxCopy(rg.kontur, sizeof rg.kontur, kName);
  KxNoteMember(run, reg);

  KxPrint(run, "\n - - - - - - - - - ");
  KxPrint(run, "\n [Region:%s] ", kName);

  std::vector<long> members;
  KxMemberCandidates(run, kName, n, members);
  for (long i : members) {
    const elementdaten& e = run.table.elds[i];
    if (!KxSameName(run.table.marks[i].kontur, kName)) continue;
    KxPrint(run, "[%ld]", i);
    c.members.push_back(i);
    if (e.type == etCIR) {
      // A hole contour is its circle alone: the box is the circle's square.
      KxPrint(run, " =[BOHRUNG R:%7.3f]", e.r);
      left = e.cx - e.r;
      right = e.cx + e.r;
      bottom = e.cy - e.r;
      top = e.cy + e.r;
      ++circles;
      boxed = true;
    } else {
      if (!boxed) {
        left = right = e.sx;
        bottom = top = e.sy;
        boxed = true;
      }
      // The end points, and for an arc the points where it bulges beyond them.
      if (e.sx < left) left = e.sx;
      if (e.ex < left) left = e.ex;
      if (e.sx > right) right = e.sx;
      if (e.ex > right) right = e.ex;
      if (e.sy < bottom) bottom = e.sy;
      if (e.ey < bottom) bottom = e.ey;
      if (e.sy > top) top = e.sy;
      if (e.ey > top) top = e.ey;
      // An arc bulges beyond its end points: every axis direction within its
      // sweep is one of its extreme points.
      if (e.type == etARC) {
        const float sweep = BOGENWINKEL(e.sw, e.ew);
        for (int q = 0; q < 4; ++q) {
          float from = (float)(90 * q) - e.sw;
          from = KxWithinTurn(from);
          if (from > sweep) continue;
          const float x = e.cx + XARC(90.0 * q, e.r), y = e.cy + YARC(90.0 * q, e.r);
          if (x < left) left = x;
          if (x > right) right = x;
          if (y < bottom) bottom = y;
          if (y > top) top = y;
        }
      }
      if (e.type == etLINE) ++lines;
      else if (e.type == etARC) ++arcs;
      else if (e.type == etPNT) ++points;
    }
    length += e.len;
  }

  const float l = left - run.cfg.anchorLength;
  const float r = right + run.cfg.anchorLength;
  const float t = top + run.cfg.anchorLength;
  const float b = bottom - run.cfg.anchorLength;
  c.region = reg;
  c.reachLeft = l;
  c.reachTop = t;
  c.reachRight = r;
  c.reachBottom = b;
  c.length = length;

  KxPrint(run, "\n [Region:%s] l:%7.3f  r:%7.3f t:%7.3f b:%7.3f \n", kName, l, r, t, b);
  KxPrint(run, " [Region:%s] h:%7.3f  W:%7.3f ", kName, t - b, r - l);
  KxPrint(run, " Konturlaenge:%.3f ", length);
  KxPrint(run, "\n [Region:%s] punch :", kName);

  std::vector<long> inBox;
  candidates.In(c, inBox);
  for (long j : inBox) {
    if (run.table.elds[j].type != etINSE || !IsCircleInRegion(c, run.table.elds[j])) continue;
    claimCandidate(run, j, kName);
    KxPrint(run, " insert-%ld", j);
    ++inserts;
  }
  // Circles chosen as another contour's feed point (child -1) stay with it.
  for (long j : inBox) {
    const elementdaten& e = run.table.elds[j];
    if (e.type != etCIR || !(e.r < run.cfg.gridRadius) || run.table.marks[j].child == -1 || !IsCircleInRegion(c, e)) continue;
    claimCandidate(run, j, kName);
    KxPrint(run, " circle-%ld", j);
    ++circles;
  }

  const long sum = circles + lines + arcs + points + inserts;
  c.elementCount = sum;
  KxPrint(run, "\n [Region:%s] %ld Elemente ", kName, sum);
  KxPrint(run, " -davon %ld LINE | %ld ARC | %ld PNT", lines, arcs, points);
  KxPrint(run, "| %ld TXT | %ld INS| %ld CIR\n", 0L, inserts, circles);
  c.members.shrink_to_fit();   // kept to the end of the run
  if (boxed) {
    c.left = left;
    c.bottom = bottom;
    c.right = right;
    c.top = top;
  }
  measureLoop(run, c.members, &c.area, &c.orientation);
  // A hole contour is its circle alone.
  if (c.members.size() == 1 && run.table.elds[c.members[0]].type == etCIR) {
    const elementdaten& hole = run.table.elds[c.members[0]];
    c.area = awPI * (double)hole.r * hole.r;
  }
  return reg;
}
