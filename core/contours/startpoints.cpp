// Start-point search: builds every contour's region, then picks the feed point
// and lead-in element with the shortest feasible anchor path and leaves them
// marked in the element table for the lead-in point and the NC output.
#include <cstring>

#include "config/config.h"
#include "contours/contours.h"
#include "elements/elements.h"
#include "geometry/base.h"

long statFirstElem = 0;
const char* const gtFeedPoint = "-possible feedpoint-";

void ResetAnalysisState() { statFirstElem = 0; }

static void printCirclePassedOver(long pA, const elementdaten& e) {
  if (!KxConsole()) {
    KxPrint("\n [CIR %ld|r:%6.2f]  -> used (%s)", pA, e.r, e.kontur);
  } else if (e.used > 0) {
    KxPrint("\n [CIR %ld|r:%6.2f]  -> used A (%s)", pA, e.r, e.kontur);
  } else {
    KxPrint("\n [CIR %ld|r:%6.2f]  -> used B (%s)", pA, e.r, e.kontur);
  }
}

// A hole contour (one circle above the grid radius) with no start hole inside it
// but one beside it is a round punch: it is cut from that start hole as an outer
// profile, entering at the circle's nearest point. True when such a start hole
// was chosen.
static bool findPunchFeed(const char* kName, long regElem) {
  long circle = 0;
  for (long i = 0; i < eldsCounter && i < kMaxElements; ++i) {
    const elementdaten& e = elds[i];
    if (!KxSameName(e.kontur, kName)) continue;
    if (e.type == etLINE || e.type == etARC) return false;
    if (e.type == etCIR && e.r > gStartPosition) circle = i;
  }
  if (circle == 0) return false;
  const elementdaten& c = elds[circle];
  auto candidate = [&](long pA) {
    const elementdaten& s = elds[pA];
    return s.type == etCIR && s.used <= 0 && s.r < gStartPosition && KxSameName(s.kontur, kName) &&
           IsCircleInRegion(regElem, pA);
  };
  // A start hole inside the circle: it is a hole and cut as one.
  for (long pA = 0; pA < eldsCounter && pA < kMaxElements; ++pA)
    if (candidate(pA) && LENC(c.cx, c.cy, elds[pA].cx, elds[pA].cy) < c.r) return false;
  long best = 0;
  float bestGap = gMaxAnkerLen;
  for (long pA = 0; pA < eldsCounter && pA < kMaxElements; ++pA) {
    if (!candidate(pA)) continue;
    const elementdaten& s = elds[pA];
    const float gap = LENC(c.cx, c.cy, s.cx, s.cy) - c.r;
    if (!(gap <= bestGap)) continue;
    const float w = (float)WIV(c.cx, c.cy, s.cx, s.cy);
    const float ax = c.cx + XARC(w, c.r), ay = c.cy + YARC(w, c.r);
    if (AnchorCrossesMaterial(circle, pA, ax, ay)) continue;
    best = pA;
    bestGap = gap;
    elds[pA].ex = ax;
    elds[pA].ey = ay;
  }
  if (best == 0) return false;
  elementdaten& feed = elds[best];
  ++feed.used;
  feed.IsFirst = (int)circle;
  KxCopy(feed.text, sizeof feed.text, gtFeedPoint);
  feed.child = -1;
  statFirstElem = circle;
  KxPrint("\n >> B[%s] PUNCH FEED IN = %ld  SPLITT = x%.3f y:%.3f \n", kName, best, feed.ex, feed.ey);
  return true;
}

void FindFirstElemFor(const char* kName, long regElem) {
  if (!kName || regElem < 0 || regElem >= eldsCounter || regElem >= kMaxElements) return;
  if (findPunchFeed(kName, regElem)) return;
  float AnkerLen = 20.0f;             // best anchor length accepted so far
  float AnkerLenBuf = gMaxAnkerLen;   // running bound, lowered by the approach test
  long lastFeedBuf = 0;               // chosen feed point (0: none yet, the "feedbuf" slot)
  long AnfahrElemBuf = 0;             // chosen lead-in element
  long CheckedCirIns = 0;             // candidates inside the region

  KxPrint(KxConsole() ? "\n [FindFirstElementFor:%s %ld items)] " : " [FindFirstElementFor:%s %ld items)] ",
          kName, eldsCounter);
  KxPrint("[Region]:");
  ePrintToStream(elds[regElem]);

  for (long pA = 0; pA < eldsCounter; ++pA) {
    elementdaten& cand = elds[pA];
    if (cand.type == etCIR) {
      if (cand.used > 0 || !KxSameName(cand.kontur, kName)) {
        printCirclePassedOver(pA, cand);
        continue;
      }
      if (cand.r > gStartPosition) {
        KxPrint("\n [CIR %ld|r:%6.2f]  -> r2big ", pA, cand.r);
        continue;
      }
    } else if (cand.type != etINSE) {
      continue;
    } else if (cand.child == -1 && cand.used > 0 && !KxSameName(cand.kontur, kName)) {
      // An insert chosen as another contour's feed point stays with it.
      KxPrint("\n [INSE %ld]  -> used (%s)", pA, cand.kontur);
      continue;
    }

    KxPrint("\n [INSE/CIR %ld] ->", pA);
    if (!IsCircleInRegion(regElem, pA)) {
      KxPrint("OUT ");
      continue;
    }
    ++CheckedCirIns;
    KxPrint(" IN ");
    if (CheckedCirIns > 1) {
      KxPrint("\n ..oops, next poss.Feedpoint <break>\n");
      ePrintToStream(elds[AnfahrElemBuf]);
    }
    KxPrint(" r:%6.2f]", cand.r);

    for (long pB = 0; pB < eldsCounter; ++pB) {
      const elementdaten& el = elds[pB];
      if ((el.type != etLINE && el.type != etARC) || !KxSameName(el.kontur, kName)) continue;
      if (ApproachRWPossible(pB, pA, &AnkerLenBuf) == 1 && AnkerLen > AnkerLenBuf) {
        // The better pair frees the feed point chosen before it.
        elementdaten& old = elds[lastFeedBuf];
        old.used = 0;
        old.kontur[0] = '\0';
        KxCopy(old.text, sizeof old.text, gNoText);
        KxPrint(" | used removed by %ld |", lastFeedBuf);
        AnkerLen = AnkerLenBuf;
        lastFeedBuf = pA;
        AnfahrElemBuf = pB;
        KxPrint(" used new set by %ld\n", pB);
      }
    }

    if (AnfahrElemBuf > 0) {
      elementdaten& feed = elds[lastFeedBuf];
      KxPrint("\n >> B[%s] ANFAHREL. = %ld ", kName, AnfahrElemBuf);
      ePrintTypeToStream(AnfahrElemBuf);
      KxCopy(feed.kontur, sizeof feed.kontur, kName);
      ++feed.used;
      KxPrint("\n >> B[%s] FEED IN = %ld  ", kName, lastFeedBuf);
      ePrintTypeToStream(lastFeedBuf);
      feed.IsFirst = (int)AnfahrElemBuf;
      KxPrint("\n >> B[%s] SPLITT = x%.3fld y:%.3f \n", kName, feed.ex, feed.ey);
      elds[AnfahrElemBuf].IsFirst = 1;
      statFirstElem = AnfahrElemBuf;
      // The feed-point text is how the NC output finds the feed point, for an
      // insert as for a circle; -1 keeps it from being claimed by a later region.
      KxCopy(feed.text, sizeof feed.text, gtFeedPoint);
      feed.child = -1;
    }
  }
}

int SearchStartPoints() {
  if (gKonturCounter < 1) return 0;
  KxPrint("\n ...SearchStartPoints()\n");
  if (eldsCounter >= eldsMaximum) {
    KxPrint("-Limit E-");
    return 0;
  }
  char name[16];
  for (int k = 1; k <= gKonturCounter; ++k) {
    KxContourName(name, sizeof name, k);
    const long before = eldsCounter;
    GetRegionFor(name);
    // No room for the region record: the contour goes without region and feed point.
    if (eldsCounter != before + 1) continue;
    const long reg = eldsCounter - 1;
    statFirstElem = 0;
    FindFirstElemFor(name, reg);
    elds[reg].IsFirst = (int)statFirstElem;
    if (statFirstElem != 0) KxPrint("\n >>  [%s AnfahrElement %ld]\n", name, statFirstElem);
  }
  KxPrint(" > gKonturCounter <break>\n");
  SearchInsetRegions(nullptr);
  static const char kEnd[] = "\n ...SearchStartPoints() END\n";
  KxPrint("%s", kEnd);
  return (int)strlen(kEnd);
}
