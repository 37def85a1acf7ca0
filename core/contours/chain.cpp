// Contour chaining: turns the loose lines, arcs and points of the element table
// into named contours by growing chains through coinciding end points, makes
// holes of large circles, and holds the tolerance tests the NC writers reuse.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <cstdlib>
#include <vector>

#include "config/config.h"
#include "contours/contours.h"
#include "dxf/dxf.h"
#include "elements/elements.h"
#include "geometry/base.h"
#include "run/run.h"


// What the chaining keeps while it runs. The end points of the elements are
// filed in grids, so that a growth step looks only at the elements near the
// chain's end; everything it skips would have failed the tolerance test.
// usedTwice holds the elements taken more than once, which end a chain wherever they lie.
struct Chaining {
  bool indexed = false;          // the grids below are filled
  KxPointGrid ends;              // start and end points of the lines and arcs
  KxPointGrid points;            // the point elements
  std::vector<long> usedTwice;   // elements with used above 1
  std::vector<long> near;        // candidates of the current step
  std::vector<char> open;        // by contour number: 1 when its chain came back to no end
};

// Live part of the table, never past its physical end.
static long liveCount(KxRun& run) { return run.table.eldsCounter; }

// A name of at most one character counts as no contour at all.
static bool unnamed(const KxMarks& e) { return e.kontur[0] == '\0' || e.kontur[1] == '\0'; }

// As strncmp over the name's size, without the library call: every growth step
// asks it for every element of the table.
static bool named(const KxMarks& e, const char* kn) {
  for (size_t i = 0; i < sizeof e.kontur; ++i) {
    if (e.kontur[i] != kn[i]) return false;
    if (kn[i] == '\0') return true;
  }
  return true;
}

static bool onPositionLayer(KxRun& run, const elementdaten& e) {
  if (e.fLayer < 0 || e.fLayer >= kMaxLayerEntries) return false;
  return fLayerList(run, ll_APOSITION, e.fLayer, "xx", 0) == 1;
}


// False when the two points lie farther apart than the tolerance on either axis,
// which a point farther than the tolerance is, without the root; the margin
// covers the rounding of the distance, so no answer differs from the full test.
static double toleranceReach(KxSettings& cfg) { return (double)cfg.fPlusTol * (1.0 + 1e-6) + 1e-30; }

static bool mayCoincide(float ax, float ay, float bx, float by, double reach) {
  return !(std::fabs((double)bx - ax) > reach || std::fabs((double)by - ay) > reach);
}

int IsTolLenB2P(KxSettings& cfg, float ax, float ay, float bx, float by) {
  // Chaining asks this for every free element at every step.
  if (!mayCoincide(ax, ay, bx, by, toleranceReach(cfg))) return 0;
  float d = LENC(ax, ay, bx, by);
  return (cfg.fMinusTol <= d && d <= cfg.fPlusTol) ? 1 : 0;
}

int IsTolLenBetween(KxRun& run, long aElem, long bElem, int view) {
  if (aElem < 0 || aElem >= run.table.eldsMaximum || bElem < 0 || bElem >= run.table.eldsMaximum) return 0;
  const elementdaten& a = run.table.elds[aElem];
  const elementdaten& b = run.table.elds[bElem];
  if (view) KxPrint(run, " [%.4f|%.4f] ", run.cfg.fMinusTol, run.cfg.fPlusTol);

  struct Probe {
    const char* label;
    float ax, ay, bx, by;
  } probes[4] = {
      {" SPSP %.3f ", a.sx, a.sy, b.sx, b.sy},
      {" SPEP %.3f ", a.sx, a.sy, b.ex, b.ey},
      {" EPSP %.3f ", a.ex, a.ey, b.sx, b.sy},
      {" EPEP %.3f ", a.ex, a.ey, b.ex, b.ey},
  };
  float smallest = 999.99f;
  const double reach = toleranceReach(run.cfg);
  for (const Probe& p : probes) {
    // The NC writer asks this for every pair of members while it walks a
    // contour; only the view needs the distance of a pair that is far apart.
    if (!view && !mayCoincide(p.ax, p.ay, p.bx, p.by, reach)) continue;
    const float d = LENC(p.ax, p.ay, p.bx, p.by);
    if (run.cfg.fMinusTol <= d && d <= run.cfg.fPlusTol) {
      KxPrint(run, p.label, d);
      return 1;
    }
    if (d < smallest) smallest = d;
  }
  if (view) KxPrint(run, "\n OUT OF: [min was:%.4f | (+/-) %.4f] \n", smallest, run.cfg.elementTolerance);
  return 0;
}

static bool chainable(int type) {
  switch (type) {
    case etDELETE: case etINSE: case etTEXT: case etCIR: case etPNT:
    // Reserved and erased records hold no drawing geometry; a contour
    // through the origin would otherwise swallow them.
    case etCPY: case etERA:
      return false;
    default:
      return true;
  }
}

static void noteUse(Chaining& ch, KxRun& run, long i) {
  if (ch.indexed && run.table.marks[i].used == 2) ch.usedTwice.push_back(i);
}

static void indexChaining(Chaining& ch, KxRun& run) {
  const double reach = toleranceReach(run.cfg);
  ch.ends.Reset(reach);
  ch.points.Reset(reach);
  ch.usedTwice.clear();
  ch.indexed = ch.ends.Usable();
  if (!ch.indexed) return;
  const long n = liveCount(run);
  ch.ends.Reserve(n);
  for (long i = 0; i < n; ++i) {
    const elementdaten& e = run.table.elds[i];
    if (e.type == etPNT) ch.points.Add(e.sx, e.sy, i);
    if (!chainable(e.type)) continue;
    ch.ends.Add(e.sx, e.sy, i);
    ch.ends.Add(e.ex, e.ey, i);
    if (run.table.marks[i].used > 1) ch.usedTwice.push_back(i);
  }
}

// Takes element i into contour kn.
static void take(Chaining& ch, KxRun& run, long i, const char* kn) {
  KxMarks& m = run.table.marks[i];
  ++m.used;
  noteUse(ch, run, i);
  KxCopy(m.kontur, sizeof m.kontur, kn);
}

// Takes the next element of contour kn at (fx, fy) other than knX: 1 when it
// starts there, 2 when it ends there, 0 none (foundIn: the element, -1 none).
static int findNextWithPoint(Chaining& ch, KxRun& run, float fx, float fy, const char* kn, long knX, long* foundIn) {
  long dummy = -1;
  if (!foundIn) foundIn = &dummy;
  long n = liveCount(run);
  // The elements to look at, in table order: all of them, or those the grids give.
  std::vector<long>& near = ch.near;
  auto each = [&](const KxPointGrid& grid, bool usedTwice, auto&& visit) {
    if (!ch.indexed) {
      for (long i = 0; i < n; ++i)
        if (int r = visit(i)) return r;
      return 0;
    }
    grid.Near(fx, fy, near);
    if (usedTwice && !ch.usedTwice.empty()) {
      near.insert(near.end(), ch.usedTwice.begin(), ch.usedTwice.end());
      std::sort(near.begin(), near.end());
      near.erase(std::unique(near.begin(), near.end()), near.end());
    }
    for (long i : near)
      if (i < n)
        if (int r = visit(i)) return r;
    return 0;
  };

  // Points first: a point at the chain's end belongs to the contour before any
  // line or arc that also ends there.
  int found = each(ch.points, false, [&](long i) {
    const elementdaten& e = run.table.elds[i];
    const KxMarks& m = run.table.marks[i];
    if (i == knX || e.type != etPNT || m.used > 0) return 0;
    if (!unnamed(m) && !named(m, kn)) return 0;
    if (!IsTolLenB2P(run.cfg, e.sx, e.sy, fx, fy)) return 0;
    take(ch, run, i, kn);
    *foundIn = i;
    KxPrint(run, " >PNT,%ld ", i);
    ePrintTypeToStream(run, i);
    return 1;
  });
  if (found) return 1;

  // 3: the chain meets an element of its own contour taken twice.
  found = each(ch.ends, true, [&](long i) {
    const elementdaten& e = run.table.elds[i];
    const KxMarks& m = run.table.marks[i];
    if (i == knX || !chainable(e.type)) return 0;
    if (!unnamed(m)) {
      if (!named(m, kn)) return 0;
      if (m.used > 1) {
        KxPrint(run, " -second used (closed) \n");
        *foundIn = -1;
        return 3;
      }
      return 0;
    }
    int side = 0;
    if (IsTolLenB2P(run.cfg, e.sx, e.sy, fx, fy))
      side = 1;
    else if (IsTolLenB2P(run.cfg, e.ex, e.ey, fx, fy))
      side = 2;
    if (!side) return 0;
    // Lines and arcs of a positioning layer guide the rapid moves; they never
    // become contour members.
    if (onPositionLayer(run, e)) return 0;
    take(ch, run, i, kn);
    *foundIn = i;
    KxPrint(run, " >%ld ", i);
    ePrintTypeToStream(run, i);
    return side;
  });
  if (found == 3) return 0;
  if (found) return found;

  *foundIn = -1;
  KxPrint(run, " >-- ");
  return 0;
}

struct ChainCounts {
  long lines = 0, arcs = 0, points = 0;
  void add(int type) {
    if (type == etLINE) ++lines;
    else if (type == etARC) ++arcs;
    else if (type == etPNT) ++points;
  }
};

// Grows the chain from (x, y) until no element continues it.
static void growChain(Chaining& ch, KxRun& run, float x, float y, const char* name, long opener, long& count, long& last,
                      ChainCounts& counts) {
  long found = -1;
  for (;;) {
    int side = findNextWithPoint(ch, run, x, y, name, opener, &found);
    if (side == 0 || found < 0) return;
    const elementdaten& f = run.table.elds[found];
    if (side == 1) {
      x = f.ex;
      y = f.ey;
    } else {
      x = f.sx;
      y = f.sy;
    }
    last = found;
    ++count;
    KxCopy(run.table.marks[found].kontur, sizeof run.table.marks[found].kontur, name);
    counts.add(f.type);
    KxLog(run, " %d", f.type);
    KxLog(run, "[%ld]", found);
  }
}

// Opens the next contour number for element i and says which search found it
// (A: a hole, B: a chain).
static void openContour(Chaining& ch, KxRun& run, long i, char search, char* name, size_t size) {
  ++run.contours.count;
  KxContourName(name, size, run.contours.count);
  // A number given up by a rejected chain starts afresh.
  ch.open.resize((size_t)run.contours.count + 1);
  ch.open[(size_t)run.contours.count] = 0;
  KxPrint(run, "\n ..%c search for %s ", search, name);
  ePrintTypeToStream(run, i);
  KxPrint(run, " :%ld\n", i);
}

static void makeHole(Chaining& ch, KxRun& run, long i) {
  const elementdaten& e = run.table.elds[i];
  char name[16];
  openContour(ch, run, i, 'A', name, sizeof name);
  KxPrint(run, "%ld =CIRCLE %s Radius:%6.3f ", i, name, e.r);
  KxPrint(run, "  cx:%8.3f  cy:%8.3f \n", e.cx, e.cy);
  KxMarks& m = run.table.marks[i];
  ++m.used;
  noteUse(ch, run, i);
  KxCopy(m.kontur, sizeof m.kontur, name);
  m.kElemX = 0;
  KxLog(run, "\n %s: ", name);
  KxLog(run, "[%ld] HOLE ", i);
}

// A chain of one or two elements is no contour: every element it took is
// renamed, so that the number used again cannot pick up a stale member.
static void rejectChain(KxRun& run, const char* name) {
  long n = liveCount(run);
  for (long k = 0; k < n; ++k)
    if (named(run.table.marks[k], name)) KxCopy(run.table.marks[k].kontur, sizeof run.table.marks[k].kontur, run.contours.orphan);
  --run.contours.count;
  KxPrint(run, "!! kECounter <=2  ELEMENTS NOT SUPPORTED !!\n");
}

// Whether elements a and b meet at both of their ends; two lines that do are one
// line drawn twice, which encloses nothing.
static bool closedPair(KxRun& run, long a, long b) {
  if (a < 0 || b < 0 || a >= liveCount(run) || b >= liveCount(run)) return false;
  const elementdaten& p = run.table.elds[a];
  const elementdaten& q = run.table.elds[b];
  if (p.type == etLINE && q.type == etLINE) return false;
  return (IsTolLenB2P(run.cfg, p.sx, p.sy, q.ex, q.ey) && IsTolLenB2P(run.cfg, p.ex, p.ey, q.sx, q.sy)) ||
         (IsTolLenB2P(run.cfg, p.sx, p.sy, q.sx, q.sy) && IsTolLenB2P(run.cfg, p.ex, p.ey, q.ex, q.ey));
}

static void chainFrom(Chaining& ch, KxRun& run, long i) {
  const elementdaten& e = run.table.elds[i];
  char name[16];
  openContour(ch, run, i, 'B', name, sizeof name);
  const int k = run.contours.count;
  KxLog(run, "\n %s: ", name);
  KxLog(run, "%d", e.type);
  KxLog(run, "[%ld]", i);
  ChainCounts counts;
  counts.add(e.type);

  if (onPositionLayer(run, e)) {
    KxPrint(run, " %ld EDM_POS ", i);
    --run.contours.count;
    return;
  }

  KxMarks& m = run.table.marks[i];
  ++m.used;
  noteUse(ch, run, i);
  KxCopy(m.kontur, sizeof m.kontur, name);
  m.kElemX = 0;
  float ax = e.ex, ay = e.ey;
  float bx = e.sx, by = e.sy;
  long count = 1;
  long last = -1;

  if (i + 1 < liveCount(run)) {
    const elementdaten& next = run.table.elds[i + 1];
    if (next.type == etPNT) KxPrint(run, " ## ATTENTION SEARCH FROM PNT ##\n");
    if (next.type == etARC && next.sx == e.sx && next.sy == e.sy) {
      ax = e.sx;
      ay = e.sy;
      KxPrint(run, " ## ATTENTION SEARCH FROM ARC ##\n");
    }
  }

  KxPrint(run, " CHAIN:A| ");
  growChain(ch, run, ax, ay, name, i, count, last, counts);
  KxPrint(run, "\t CHAIN:B| ");
  growChain(ch, run, bx, by, name, i, count, last, counts);
  KxPrint(run, "\n");
  KxPrint(run, " ..%s-ELEMENTS LINES:%ld  ARCS:%ld  POINTS:%ld \n", name, counts.lines, counts.arcs,
          counts.points);

  // Two elements that meet at both ends (a D-shaped bore, a circle drawn as two
  // half arcs) close a contour; any other chain of fewer than three does not.
  if (count < 3 && !(count == 2 && closedPair(run, i, last))) rejectChain(run, name);

  const bool closed = last >= 0 && IsTolLenBetween(run, i, last, 0);
  if (last < 0)
    KxPrint(run, " [%ld|-1] SEEMS OPEN VERTEX..\n", i);
  else if (!closed)
    KxPrint(run, " [%ld|%ld] SEEMS OPEN VERTEX..\n", i, last);
  else
    KxPrint(run, " SEEMS CLOSED..\n");
  if (k == run.contours.count) ch.open[(size_t)k] = !closed;
  KxPrint(run, "\n");
}

// An entry, numbered and named, for each of the contours found: every later step
// reads run.contours.all[1 .. count], so the chaining leaves it so on every return.
static void keepContours(KxRun& run) {
  const int konturs = run.contours.count > 0 ? run.contours.count : 0;
  run.contours.all.resize((size_t)konturs + 1);
  for (int k = 1; k <= konturs; ++k) {
    KxContour& c = run.contours.all[(size_t)k];
    if (c.number == k) continue;
    c.number = k;
    KxContourName(c.name, sizeof c.name, k);
  }
}

int SearchKontur(KxRun& run) {
  run.contours.count = 0;
  run.contours.all.clear();
  run.contours.feedRefusals.clear();
  run.contours.autoRefusals.clear();
  Chaining ch;
  ch.open.assign(1, 0);
  if (run.table.eldsCounter >= run.table.eldsMaximum) {
    KxPrint(run, "-Limit E-");
    keepContours(run);
    return run.contours.count;
  }
  KxLog(run, "\n SearchKontur(): \n");
  indexChaining(ch, run);

  for (long i = 0; i < liveCount(run); ++i) {
    const elementdaten& e = run.table.elds[i];
    const KxMarks& m = run.table.marks[i];
    if (m.used == 0 && e.type == etCIR && run.cfg.gridRadius < e.r) {
      makeHole(ch, run, i);
      continue;
    }
    if (strnlen(m.kontur, sizeof m.kontur) >= 3 || m.used != 0) continue;
    if (e.type != etLINE && e.type != etARC) continue;
    chainFrom(ch, run, i);
  }

  for (long i = 0; i < liveCount(run); ++i)
    if (run.table.elds[i].type == etLINE && onPositionLayer(run, run.table.elds[i])) KxPrint(run, "POSITION: %ld\n", i);
  ch.ends.Reset(0);   // the grids' memory goes before the contours' entries are made
  ch.points.Reset(0);
  std::vector<long>().swap(ch.usedTwice);
  // The contours' entries are made once their number is known: for tens of
  // thousands of contours a table grown one by one held two copies at times.
  keepContours(run);
  for (int k = 1; k <= run.contours.count; ++k) run.contours.all[(size_t)k].open = ch.open[(size_t)k] != 0;
  return run.contours.count;
}

void KxContourName(char* buf, size_t size, int k) { snprintf(buf, size, "$K%02d", k); }


std::vector<long> KxContourRecords(const KxContour& c) {
  std::vector<long> all(c.members.size() + c.extras.size());
  std::merge(c.members.begin(), c.members.end(), c.extras.begin(), c.extras.end(), all.begin());
  return all;
}

KxContour* KxContourNamed(KxRun& run, const char* name) {
  if (!name || name[0] != '$' || name[1] != 'K' || name[2] < '0' || name[2] > '9') return nullptr;
  const long k = strtol(name + 2, nullptr, 10);
  if (k < 1 || k > run.contours.count || (size_t)k >= run.contours.all.size()) return nullptr;
  // Only the exact name counts: "$K1" is not contour 1's "$K01".
  return KxSameName(run.contours.all[(size_t)k].name, name) ? &run.contours.all[(size_t)k] : nullptr;
}

int KxContourBlock(int k, KxBlockPart part) { return 10 * k + part; }

int KxBlockContour(int block) { return block / 10; }
