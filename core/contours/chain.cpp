// Contour chaining: turns the loose lines, arcs and points of the element table
// into named contours by growing chains through coinciding end points, makes
// holes of large circles, and holds the tolerance tests the NC writers reuse.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "config/config.h"
#include "contours/contours.h"
#include "dxf/dxf.h"
#include "elements/elements.h"
#include "geometry/base.h"

int gKonturCounter = 0;
char gOrphan[8] = "$ORPHAN";

// While SearchKontur runs, the end points of the elements are filed in grids, so
// that a growth step looks only at the elements near the chain's end; everything
// it skips would have failed the tolerance test. gChainUsedTwice holds the
// elements taken more than once, which end a chain wherever they lie.
static bool gChainIndexed = false;          // the grids below are filled and current
static KxPointGrid gChainEnds;              // start and end points of the lines and arcs
static KxPointGrid gChainPoints;            // the point elements
static std::vector<long> gChainUsedTwice;   // elements with used above 1
static std::vector<long> gChainNear;        // candidates of the current step

void ResetContourState() {
  // chaining
  gKonturCounter = 0;
  gChainIndexed = false;
  KxCopy(gOrphan, sizeof gOrphan, "$ORPHAN");
  // analysis: regions, feed points, lead-in and nesting
  ResetAnalysisState();
  ResetAutoStartState();
}

// Live part of the table, never past its physical end.
static long liveCount() { return eldsCounter; }

// A name of at most one character counts as no contour at all.
static bool unnamed(const elementdaten& e) { return e.kontur[0] == '\0' || e.kontur[1] == '\0'; }

// As strncmp over the name's size, without the library call: every growth step
// asks it for every element of the table.
static bool named(const elementdaten& e, const char* kn) {
  for (size_t i = 0; i < sizeof e.kontur; ++i) {
    if (e.kontur[i] != kn[i]) return false;
    if (kn[i] == '\0') return true;
  }
  return true;
}

static bool onPositionLayer(const elementdaten& e) {
  if (e.fLayer < 0 || e.fLayer >= kMaxLayerEntries) return false;
  return fLayerList(ll_APOSITION, e.fLayer, "xx", 0) == 1;
}


// False when the two points lie farther apart than the tolerance on either axis,
// which a point farther than the tolerance is, without the root; the margin
// covers the rounding of the distance, so no answer differs from the full test.
static double toleranceReach() { return (double)fPlusTol * (1.0 + 1e-6) + 1e-30; }

static bool mayCoincide(float ax, float ay, float bx, float by, double reach = toleranceReach()) {
  return !(std::fabs((double)bx - ax) > reach || std::fabs((double)by - ay) > reach);
}

int IsTolLenB2P(float ax, float ay, float bx, float by) {
  // Chaining asks this for every free element at every step.
  if (!mayCoincide(ax, ay, bx, by)) return 0;
  float d = LENC(ax, ay, bx, by);
  return (fMinusTol <= d && d <= fPlusTol) ? 1 : 0;
}

int IsTolLenBetween(long aElem, long bElem, int view) {
  if (aElem < 0 || aElem >= eldsMaximum || bElem < 0 || bElem >= eldsMaximum) return 0;
  const elementdaten& a = elds[aElem];
  const elementdaten& b = elds[bElem];
  if (view) KxPrint(" [%.4f|%.4f] ", fMinusTol, fPlusTol);

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
  const double reach = toleranceReach();
  for (const Probe& p : probes) {
    // The NC writer asks this for every pair of members while it walks a
    // contour; only the view needs the distance of a pair that is far apart.
    if (!view && !mayCoincide(p.ax, p.ay, p.bx, p.by, reach)) continue;
    const float d = LENC(p.ax, p.ay, p.bx, p.by);
    if (fMinusTol <= d && d <= fPlusTol) {
      KxPrint(p.label, d);
      return 1;
    }
    if (d < smallest) smallest = d;
  }
  if (view) KxPrint("\n OUT OF: [min was:%.4f | (+/-) %.4f] \n", smallest, gNpTolerance);
  return 0;
}

static bool chainable(int type) {
  switch (type) {
    case etDELETE: case etINSE: case etTEXT: case etCIR: case etPNT:
    // Working slots and erased records hold no drawing geometry; a contour
    // through the origin would otherwise swallow them.
    case etCPY: case etERA:
      return false;
    default:
      return true;
  }
}

static void noteUse(long i) {
  if (gChainIndexed && elds[i].used == 2) gChainUsedTwice.push_back(i);
}

static void indexChaining() {
  const double reach = toleranceReach();
  gChainEnds.Reset(reach);
  gChainPoints.Reset(reach);
  gChainUsedTwice.clear();
  gChainIndexed = gChainEnds.Usable();
  if (!gChainIndexed) return;
  const long n = liveCount();
  for (long i = 0; i < n; ++i) {
    const elementdaten& e = elds[i];
    if (e.type == etPNT) gChainPoints.Add(e.sx, e.sy, i);
    if (!chainable(e.type)) continue;
    gChainEnds.Add(e.sx, e.sy, i);
    gChainEnds.Add(e.ex, e.ey, i);
    if (e.used > 1) gChainUsedTwice.push_back(i);
  }
}

// Takes element i into contour kn.
static void take(long i, const char* kn) {
  ++elds[i].used;
  noteUse(i);
  KxCopy(elds[i].kontur, sizeof elds[i].kontur, kn);
}

int FindNextWithPoint(float fx, float fy, const char* kn, long knX, long* foundIn) {
  long dummy = -1;
  if (!foundIn) foundIn = &dummy;
  long n = liveCount();
  // The elements to look at, in table order: all of them, or those the grids give.
  std::vector<long>& near = gChainNear;
  auto each = [&](const KxPointGrid& grid, bool usedTwice, auto&& visit) {
    if (!gChainIndexed) {
      for (long i = 0; i < n; ++i)
        if (int r = visit(i)) return r;
      return 0;
    }
    grid.Near(fx, fy, near);
    if (usedTwice && !gChainUsedTwice.empty()) {
      near.insert(near.end(), gChainUsedTwice.begin(), gChainUsedTwice.end());
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
  int found = each(gChainPoints, false, [&](long i) {
    const elementdaten& e = elds[i];
    if (i == knX || e.type != etPNT || e.used > 0) return 0;
    if (!unnamed(e) && !named(e, kn)) return 0;
    if (!IsTolLenB2P(e.sx, e.sy, fx, fy)) return 0;
    take(i, kn);
    *foundIn = i;
    KxPrint(" >PNT,%ld ", i);
    ePrintTypeToStream(i);
    return 1;
  });
  if (found) return 1;

  // 3: the chain meets an element of its own contour taken twice.
  found = each(gChainEnds, true, [&](long i) {
    const elementdaten& e = elds[i];
    if (i == knX || !chainable(e.type)) return 0;
    if (!unnamed(e)) {
      if (!named(e, kn)) return 0;
      if (e.used > 1) {
        KxPrint(" -second used (closed) \n");
        *foundIn = -1;
        return 3;
      }
      return 0;
    }
    int side = 0;
    if (IsTolLenB2P(e.sx, e.sy, fx, fy))
      side = 1;
    else if (IsTolLenB2P(e.ex, e.ey, fx, fy))
      side = 2;
    if (!side) return 0;
    // Lines and arcs of a positioning layer guide the rapid moves; they never
    // become contour members.
    if (onPositionLayer(e)) return 0;
    take(i, kn);
    *foundIn = i;
    KxPrint(" >%ld ", i);
    ePrintTypeToStream(i);
    return side;
  });
  if (found == 3) return 0;
  if (found) return found;

  *foundIn = -1;
  KxPrint(" >-- ");
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
static void growChain(float x, float y, const char* name, long opener, long& count, long& last,
                      ChainCounts& counts) {
  long found = -1;
  for (;;) {
    int side = FindNextWithPoint(x, y, name, opener, &found);
    if (side == 0 || found < 0) return;
    const elementdaten& f = elds[found];
    if (side == 1) {
      x = f.ex;
      y = f.ey;
    } else {
      x = f.sx;
      y = f.sy;
    }
    last = found;
    ++count;
    KxCopy(elds[found].kontur, sizeof elds[found].kontur, name);
    counts.add(f.type);
    KxLog(" %d", f.type);
    KxLog("[%ld]", found);
  }
}

// Opens the next contour number for element i and says which search found it
// (A: a hole, B: a chain).
static void openContour(long i, char search, char* name, size_t size) {
  ++gKonturCounter;
  KxContourName(name, size, gKonturCounter);
  KxPrint("\n ..%c search for %s ", search, name);
  ePrintTypeToStream(i);
  KxPrint(" :%ld\n", i);
}

static void makeHole(long i) {
  elementdaten& e = elds[i];
  char name[16];
  openContour(i, 'A', name, sizeof name);
  KxPrint("%ld =CIRCLE %s Radius:%6.3f ", i, name, e.r);
  KxPrint("  cx:%8.3f  cy:%8.3f \n", e.cx, e.cy);
  ++e.used;
  noteUse(i);
  KxCopy(e.kontur, sizeof e.kontur, name);
  e.kElemX = 0;
  KxLog("\n %s: ", name);
  KxLog("[%ld] HOLE ", i);
}

// A chain of one or two elements is no contour: every element it took is
// renamed, so that the number used again cannot pick up a stale member.
static void rejectChain(const char* name) {
  long n = liveCount();
  for (long k = 0; k < n; ++k)
    if (named(elds[k], name)) KxCopy(elds[k].kontur, sizeof elds[k].kontur, gOrphan);
  --gKonturCounter;
  KxPrint("!! kECounter <=2  ELEMENTS NOT SUPPORTED !!\n");
}

// Whether elements a and b meet at both of their ends; two lines that do are one
// line drawn twice, which encloses nothing.
static bool closedPair(long a, long b) {
  if (a < 0 || b < 0 || a >= liveCount() || b >= liveCount()) return false;
  const elementdaten& p = elds[a];
  const elementdaten& q = elds[b];
  if (p.type == etLINE && q.type == etLINE) return false;
  return (IsTolLenB2P(p.sx, p.sy, q.ex, q.ey) && IsTolLenB2P(p.ex, p.ey, q.sx, q.sy)) ||
         (IsTolLenB2P(p.sx, p.sy, q.sx, q.sy) && IsTolLenB2P(p.ex, p.ey, q.ex, q.ey));
}

static void chainFrom(long i) {
  elementdaten& e = elds[i];
  char name[16];
  openContour(i, 'B', name, sizeof name);
  KxLog("\n %s: ", name);
  KxLog("%d", e.type);
  KxLog("[%ld]", i);
  ChainCounts counts;
  counts.add(e.type);

  if (onPositionLayer(e)) {
    KxPrint(" %ld EDM_POS ", i);
    --gKonturCounter;
    return;
  }

  ++e.used;
  noteUse(i);
  KxCopy(e.kontur, sizeof e.kontur, name);
  e.kElemX = 0;
  float ax = e.ex, ay = e.ey;
  float bx = e.sx, by = e.sy;
  long count = 1;
  long last = -1;

  if (i + 1 < liveCount()) {
    const elementdaten& next = elds[i + 1];
    if (next.type == etPNT) KxPrint(" ## ATTENTION SEARCH FROM PNT ##\n");
    if (next.type == etARC && next.sx == e.sx && next.sy == e.sy) {
      ax = e.sx;
      ay = e.sy;
      KxPrint(" ## ATTENTION SEARCH FROM ARC ##\n");
    }
  }

  KxPrint(" CHAIN:A| ");
  growChain(ax, ay, name, i, count, last, counts);
  KxPrint("\t CHAIN:B| ");
  growChain(bx, by, name, i, count, last, counts);
  KxPrint("\n");
  KxPrint(" ..%s-ELEMENTS LINES:%ld  ARCS:%ld  POINTS:%ld \n", name, counts.lines, counts.arcs,
          counts.points);

  // Two elements that meet at both ends (a D-shaped bore, a circle drawn as two
  // half arcs) close a contour; any other chain of fewer than three does not.
  if (count < 3 && !(count == 2 && closedPair(i, last))) rejectChain(name);

  if (last < 0)
    KxPrint(" [%ld|-1] SEEMS OPEN VERTEX..\n", i);
  else if (!IsTolLenBetween(i, last, 0))
    KxPrint(" [%ld|%ld] SEEMS OPEN VERTEX..\n", i, last);
  else
    KxPrint(" SEEMS CLOSED..\n");
  KxPrint("\n");
}

int SearchKontur() {
  gKonturCounter = 0;
  if (eldsCounter >= eldsMaximum) {
    KxPrint("-Limit E-");
    return gKonturCounter;
  }
  KxLog("\n SearchKontur(): \n");
  indexChaining();

  for (long i = 0; i < liveCount(); ++i) {
    const elementdaten& e = elds[i];
    if (e.used == 0 && e.type == etCIR && gStartPosition < e.r) {
      makeHole(i);
      continue;
    }
    if (strnlen(e.kontur, sizeof e.kontur) >= 3 || e.used != 0) continue;
    if (e.type != etLINE && e.type != etARC) continue;
    chainFrom(i);
  }

  for (long i = 0; i < liveCount(); ++i)
    if (elds[i].type == etLINE && onPositionLayer(elds[i])) KxPrint("POSITION: %ld\n", i);
  gChainIndexed = false;
  return gKonturCounter;
}

void KxContourName(char* buf, size_t size, int k) { snprintf(buf, size, "$K%02d", k); }

int KxContourBlock(int k, KxBlockPart part) { return 10 * k + part; }

int KxBlockContour(int block) { return block / 10; }
