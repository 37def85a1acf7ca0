// Start-point search: builds every contour's region, then picks the feed point
// and lead-in element with the shortest feasible anchor path and leaves them
// marked in the element table for the lead-in point and the NC output.
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

#include "config/config.h"
#include "contours/contours.h"
#include "elements/elements.h"
#include "geometry/base.h"
#include "run/run.h"

namespace {

// The point of line or arc e nearest to (x, y).
void nearestOn(const elementdaten& e, double x, double y, float* px, float* py) {
  if (e.type == etLINE) {
    const double dx = (double)e.ex - e.sx, dy = (double)e.ey - e.sy, len2 = dx * dx + dy * dy;
    double u = len2 > 0 ? ((x - e.sx) * dx + (y - e.sy) * dy) / len2 : 0;
    u = u < 0 ? 0 : u > 1 ? 1 : u;
    *px = (float)(e.sx + u * dx);
    *py = (float)(e.sy + u * dy);
    return;
  }
  const double w = std::atan2(y - e.cy, x - e.cx) * RAD2DEG;
  double from = w - e.sw;
  from = KxWithinTurn(from);
  if (from <= BOGENWINKEL(e.sw, e.ew)) {
    *px = e.cx + (float)(e.r * std::cos(w / RAD2DEG));
    *py = e.cy + (float)(e.r * std::sin(w / RAD2DEG));
  } else {
    const bool start = std::hypot(x - e.sx, y - e.sy) <= std::hypot(x - e.ex, y - e.ey);
    *px = start ? e.sx : e.ex;
    *py = start ? e.sy : e.ey;
  }
}

// The contour got no lead-in from any of its drawn start holes: the reason is
// told for the one nearest to it, by its straight way to the nearest point.
// Without a drawn start hole the reason told before stays.
void noteRefusal(KxRun& run, KxContour& c, const std::vector<long>& candidates) {
  const char* kName = c.name;
  double best = 1e30;
  long hole = -1, target = -1;
  float tx = 0, ty = 0;
  std::vector<long> members;
  KxMemberCandidates(run, kName, run.table.eldsCounter, members);
  for (long pA : candidates) {
    // A hole korvex tried itself is gone again when it was not taken.
    if (run.table.elds[pA].type == etCIR && KxHolePlaced(run, pA)) continue;
    for (long i : members) {
      const elementdaten& e = run.table.elds[i];
      if ((e.type != etLINE && e.type != etARC) || !KxSameName(run.table.marks[i].kontur, kName)) continue;
      float px, py;
      nearestOn(e, run.table.elds[pA].cx, run.table.elds[pA].cy, &px, &py);
      const double d = std::hypot((double)px - run.table.elds[pA].cx, (double)py - run.table.elds[pA].cy);
      if (d < best) {
        best = d;
        hole = pA;
        target = i;
        tx = px;
        ty = py;
      }
    }
  }
  if (hole < 0) return;
  const char* why = !(best <= run.cfg.anchorLength)                    ? "farther from the contour than the anchor length"
                    : AnchorCrossesMaterial(run, target, hole, tx, ty) ? "material on the way to the contour"
                                                                       : "no element to meet square and no corner facing it";
  char text[160];
  snprintf(text, sizeof text, "start hole X%.3f Y%.3f: %s", run.table.elds[hole].cx, run.table.elds[hole].cy, why);
  run.contours.feedRefusals[c.number] = text;
}

}  // namespace

static void printCirclePassedOver(KxRun& run, long pA, const elementdaten& e, const KxMarks& m) {
  if (!KxTraceNext(run, ktPASSED_OVER)) return;
  if (!KxConsole(run)) {
    KxPrint(run, "\n [CIR %ld|r:%6.2f]  -> used (%s)", pA, e.r, m.kontur);
  } else if (m.used > 0) {
    KxPrint(run, "\n [CIR %ld|r:%6.2f]  -> used A (%s)", pA, e.r, m.kontur);
  } else {
    KxPrint(run, "\n [CIR %ld|r:%6.2f]  -> used B (%s)", pA, e.r, m.kontur);
  }
}

// A hole contour (one circle above the grid radius) with no start hole inside it
// but one beside it is a round punch: it is cut from that start hole as an outer
// profile, entering at the circle's nearest point. True when such a start hole
// was chosen (into *choice).
static bool findPunchFeed(KxRun& run, const KxContour& contour, KxLeadInChoice* choice) {
  const char* kName = contour.name;
  long circle = 0;
  std::vector<long> members;
  KxMemberCandidates(run, kName, run.table.eldsCounter, members);
  for (long i : members) {
    const elementdaten& e = run.table.elds[i];
    if (!KxSameName(run.table.marks[i].kontur, kName)) continue;
    if (e.type == etLINE || e.type == etARC) return false;
    if (e.type == etCIR && e.r > run.cfg.gridRadius) circle = i;
  }
  if (circle == 0) return false;
  const elementdaten& c = run.table.elds[circle];
  auto candidate = [&](long pA) {
    const elementdaten& s = run.table.elds[pA];
    const KxMarks& m = run.table.marks[pA];
    return s.type == etCIR && m.used <= 0 && s.r < run.cfg.gridRadius && KxSameName(m.kontur, kName) &&
           IsCircleInRegion(contour, s);
  };
  // A start hole inside the circle: it is a hole and cut as one.
  for (long pA : members)
    if (candidate(pA) && LENC(c.cx, c.cy, run.table.elds[pA].cx, run.table.elds[pA].cy) < c.r) return false;
  long best = 0;
  float bestGap = run.cfg.anchorLength;
  float splitX = 0, splitY = 0;   // where the best start hole's anchor meets the circle
  for (long pA : members) {
    if (!candidate(pA)) continue;
    const elementdaten& s = run.table.elds[pA];
    const float gap = LENC(c.cx, c.cy, s.cx, s.cy) - c.r;
    if (!(gap <= bestGap)) continue;
    const float w = (float)WIV(c.cx, c.cy, s.cx, s.cy);
    const float ax = c.cx + XARC(w, c.r), ay = c.cy + YARC(w, c.r);
    if (AnchorCrossesMaterial(run, circle, pA, ax, ay)) continue;
    best = pA;
    bestGap = gap;
    splitX = ax;
    splitY = ay;
  }
  if (best == 0) return false;
  KxMarks& mark = run.table.marks[best];
  ++mark.used;
  mark.IsFirst = (int)circle;
  mark.note = kNoteFeedPoint;
  mark.child = -1;
  *choice = {circle, best, splitX, splitY};
  KxPrint(run, "\n >> B[%s] PUNCH FEED IN = %ld  SPLITT = x%.3f y:%.3f \n", kName, best, splitX, splitY);
  return true;
}

KxLeadInChoice FindFirstElemFor(KxRun& run, KxContour& contour, KxCandidateIndex* candidateIndex) {
  KxLeadInChoice choice;
  const char* kName = contour.name;
  if (contour.region < 0 || contour.region >= run.table.eldsCounter) return choice;
  if (findPunchFeed(run, contour, &choice)) return choice;
  float AnkerLen = 20.0f;             // best anchor length accepted so far
  KxAnchor anchor{run.cfg.anchorLength};   // running bound, lowered by the approach test, and the anchor it found
  float splitX = 0, splitY = 0;       // where the chosen pair's anchor meets the lead-in element
  long lastFeedBuf = 0;               // chosen feed point (0: none yet, the "feedbuf" slot)
  long AnfahrElemBuf = 0;             // chosen lead-in element
  long CheckedCirIns = 0;             // candidates inside the region
  std::vector<long> candidates;       // their indices, for the passes when no element admits one
  std::vector<long> members;          // records that may be lines and arcs of the contour

  // A better pair: it frees the feed point chosen before it.
  auto take = [&](long pA, long pB) {
    KxMarks& old = run.table.marks[lastFeedBuf];
    old.used = 0;
    old.kontur[0] = '\0';
    old.note = kNoteNoText;
    KxPrint(run, " | used removed by %ld |", lastFeedBuf);
    AnkerLen = anchor.length;
    splitX = anchor.x;
    splitY = anchor.y;
    lastFeedBuf = pA;
    AnfahrElemBuf = pB;
    KxPrint(run, " used new set by %ld\n", pB);
  };
  // The pair accepted so far is recorded in the table.
  auto record = [&]() {
    if (AnfahrElemBuf <= 0) return;
    KxMarks& mark = run.table.marks[lastFeedBuf];
    KxPrint(run, "\n >> B[%s] ANFAHREL. = %ld ", kName, AnfahrElemBuf);
    ePrintTypeToStream(run, AnfahrElemBuf);
    KxCopy(mark.kontur, sizeof mark.kontur, kName);
    KxNoteMember(run, lastFeedBuf);
    ++mark.used;
    KxPrint(run, "\n >> B[%s] FEED IN = %ld  ", kName, lastFeedBuf);
    ePrintTypeToStream(run, lastFeedBuf);
    mark.IsFirst = (int)AnfahrElemBuf;
    KxPrint(run, "\n >> B[%s] SPLITT = x%.3fld y:%.3f \n", kName, splitX, splitY);
    run.table.marks[AnfahrElemBuf].IsFirst = 1;
    choice = {AnfahrElemBuf, lastFeedBuf, splitX, splitY};
    // The feed-point note is how a later contour's search knows the hole is
    // taken (KxStillFed), for an insert as for a circle; -1 keeps it from being
    // claimed by a later region.
    mark.note = kNoteFeedPoint;
    mark.child = -1;
  };

  KxPrint(run, KxConsole(run) ? "\n [FindFirstElementFor:%s %ld items)] " : " [FindFirstElementFor:%s %ld items)] ",
          kName, run.table.eldsCounter);
  KxPrint(run, "[Region]:");
  const KxRecordView row = KxRegionRow(run, contour);
  ePrintToStream(run, row.record, row.marks);

  // Only circles and inserts are candidates; the walk keeps their table order.
  // Once the traces of those passed over are only counted, the walk looks at the
  // ones near the region alone: every other one would be passed over (the box
  // cannot hold it) with one trace each, so they are counted without the walk.
  // Without the filing every record is looked at.
  std::vector<long> near, every;
  long beyond = -1;
  if (KxTraceSpent(run, ktPASSED_OVER) && candidateIndex) beyond = candidateIndex->Near(contour, near);
  if (beyond >= 0) KxTraceLeaveOut(run, ktPASSED_OVER, beyond);
  if (!candidateIndex)
    for (long i = 0; i < run.table.eldsCounter; ++i) every.push_back(i);
  const std::vector<long>& circles = beyond >= 0 ? near : candidateIndex ? candidateIndex->Records() : every;
  for (size_t c = 0; c < circles.size() && circles[c] < run.table.eldsCounter; ++c) {
    const long pA = circles[c];
    const elementdaten& cand = run.table.elds[pA];
    const KxMarks& mark = run.table.marks[pA];
    if (cand.type == etCIR) {
      if (mark.used > 0 || !KxSameName(mark.kontur, kName)) {
        printCirclePassedOver(run, pA, cand, mark);
        continue;
      }
      if (cand.r > run.cfg.gridRadius) {
        if (KxTraceNext(run, ktPASSED_OVER)) KxPrint(run, "\n [CIR %ld|r:%6.2f]  -> r2big ", pA, cand.r);
        continue;
      }
    } else if (cand.type != etINSE) {
      continue;
    } else if (mark.child == -1 && mark.used > 0 && !KxSameName(mark.kontur, kName)) {
      // An insert chosen as another contour's feed point stays with it.
      if (KxTraceNext(run, ktPASSED_OVER)) KxPrint(run, "\n [INSE %ld]  -> used (%s)", pA, mark.kontur);
      continue;
    }

    if (!IsCircleInRegion(contour, cand)) {
      if (KxTraceNext(run, ktPASSED_OVER)) KxPrint(run, "\n [INSE/CIR %ld] ->OUT ", pA);
      continue;
    }
    KxPrint(run, "\n [INSE/CIR %ld] ->", pA);
    ++CheckedCirIns;
    candidates.push_back(pA);
    KxPrint(run, " IN ");
    if (CheckedCirIns > 1) {
      KxPrint(run, "\n ..oops, next poss.Feedpoint <break>\n");
      ePrintToStream(run, run.table.elds[AnfahrElemBuf], run.table.marks[AnfahrElemBuf]);
    }
    KxPrint(run, " r:%6.2f]", cand.r);

    KxMemberCandidates(run, kName, run.table.eldsCounter, members);
    for (long pB : members) {
      const elementdaten& el = run.table.elds[pB];
      if ((el.type != etLINE && el.type != etARC) || !KxSameName(run.table.marks[pB].kontur, kName)) continue;
      // The first start hole is tested against each element once; the further
      // ones of the same contour would repeat that for every hole.
      KxTraceQuiet(run, CheckedCirIns > 1 && !KxTraceNext(run, ktFURTHER_APPROACH));
      if (ApproachRWPossible(run, pB, pA, &anchor) == 1 && AnkerLen > anchor.length) take(pA, pB);
      KxTraceQuiet(run, false);
    }
    record();
  }

  // No element admits a square lead-in from any candidate: next the pieces of a
  // curve, which may be met anywhere since they join tangentially, then the
  // corners, entered from outside their angle.
  for (int pass = 0; pass < 2 && AnfahrElemBuf == 0 && !candidates.empty(); ++pass) {
    for (long pA : candidates) {
      KxMemberCandidates(run, kName, run.table.eldsCounter, members);
      for (long pB : members) {
        const elementdaten& el = run.table.elds[pB];
        if ((el.type != etLINE && el.type != etARC) || !KxSameName(run.table.marks[pB].kontur, kName)) continue;
        KxTraceQuiet(run, pA != candidates.front() && !KxTraceNext(run, ktFURTHER_APPROACH));
        const int ok = pass == 0 ? CurveApproachPossible(run, pB, pA, &anchor) : CornerApproachPossible(run, pB, pA, &anchor);
        if (ok == 1 && AnkerLen > anchor.length) take(pA, pB);
        KxTraceQuiet(run, false);
      }
    }
    record();
  }
  if (AnfahrElemBuf > 0) run.contours.feedRefusals.erase(contour.number);
  else noteRefusal(run, contour, candidates);
  return choice;
}

// The search marks the start hole it chose with the contour's name and the
// feed-point text; a later contour's region or search that claims the hole
// renames it, and the first contour is then left without a feed point.
bool KxStillFed(KxRun& run, const KxContour& c) {
  if (c.leadIn == 0 || c.startHole < 0 || c.startHole >= run.table.eldsCounter) return false;
  const KxMarks& hole = run.table.marks[c.startHole];
  return KxSameName(hole.kontur, c.name) && hole.note == kNoteFeedPoint;
}

void KxTakeLeadIn(KxRun& run, KxContour& c, const KxLeadInChoice& choice) {
  c.leadIn = choice.element;
  c.startHole = -1;
  c.holePlaced = false;
  c.holeX = c.holeY = c.holeR = c.splitX = c.splitY = 0;
  if (choice.element == 0) return;
  const elementdaten& hole = run.table.elds[choice.hole];
  c.startHole = choice.hole;
  c.holePlaced = hole.type == etCIR && KxHolePlaced(run, choice.hole);
  c.holeX = hole.cx;
  c.holeY = hole.cy;
  c.holeR = hole.r;
  c.splitX = choice.splitX;
  c.splitY = choice.splitY;
}

int SearchStartPoints(KxRun& run) {
  if (run.contours.count < 1) return 0;
  KxPrint(run, "\n ...SearchStartPoints()\n");
  if (run.table.eldsCounter >= run.table.eldsMaximum) {
    KxPrint(run, "-Limit E-");
    return 0;
  }
  KxMemberIndex members(run, false);
  KxMaterialIndex material(run);
  // Regions are the contours' boxes widened by the anchor length on every side.
  KxCandidateIndex candidates(run, 2 * material.Cell());
  for (int k = 1; k <= run.contours.count; ++k) {
    KxContour& c = run.contours.all[(size_t)k];
    // No room for the region's row: the contour goes without region and feed point.
    if (GetRegionFor(run, c, candidates) < 0) continue;
    const KxLeadInChoice choice = FindFirstElemFor(run, c, &candidates);
    KxTakeLeadIn(run, c, choice);
    if (choice.element != 0) KxPrint(run, "\n >>  [%s AnfahrElement %ld]\n", c.name, choice.element);
  }
  KxTraceCounts(run);
  KxPrint(run, " > gKonturCounter <break>\n");
  SearchInsetRegions(run, nullptr, candidates);
  KxPrint(run, "\n ...SearchStartPoints() END\n");
  int leadIns = 0;
  for (int k = 1; k <= run.contours.count; ++k) leadIns += run.contours.all[(size_t)k].leadIn != 0;
  return leadIns;
}
