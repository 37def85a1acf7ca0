// Regions of the contours: each contour gets a record with its bounding box,
// widened by the anchor length, its length and element count; the small circles
// and inserts inside that box are claimed as the contour's feed-point candidates.
#include <algorithm>
#include <cstring>

#include "config/config.h"
#include "contours/contours.h"
#include "elements/elements.h"
#include "geometry/base.h"

const char* const gtStartPoint = "-possible Startpoint-";

static std::vector<long> gRegionMembers;   // records that may belong to the contour whose region is built

static bool validIndex(long i) { return i >= 0 && i < eldsCounter; }

int IsCircleInRegion(long Regi, long InCi) {
  if (!validIndex(Regi) || !validIndex(InCi)) return 0;
  const elementdaten& rg = elds[Regi];
  const elementdaten& c = elds[InCi];
  // Strict on every side: a centre on the widened edge does not belong to the region.
  return rg.sx < c.cx && c.cx < rg.ex && rg.ey < c.cy && c.cy < rg.sy ? 1 : 0;
}

// While the start-point search runs, the circles and inserts are filed by their
// centres, which it never moves: a region looks only at those its box may hold.
// Records added meanwhile are filed on the next question.
static bool gCandidatesIndexed = false;      // gCandidateGrid is in use
static KxBoxGrid gCandidateGrid;             // circles and inserts by their centres
static long gCandidatesUpTo = 0;             // records below this are filed
static std::vector<long> gCandidateRecords;  // the working records, then the filed circles and inserts, ascending
static constexpr long kCandidateWorkingRecords = 7;   // the working records in front, looked at always

static void fileCandidates(long top) {
  for (long i = gCandidatesUpTo > kCandidateWorkingRecords ? gCandidatesUpTo : kCandidateWorkingRecords; i < top; ++i) {
    const elementdaten& e = elds[i];
    if (e.type == etCIR || e.type == etINSE) {
      gCandidateGrid.Add(e.cx, e.cy, e.cx, e.cy, i);
      gCandidateRecords.push_back(i);
    }
  }
  if (top > gCandidatesUpTo) gCandidatesUpTo = top;
}

void KxIndexCandidates(double cell) {
  gCandidateGrid.Reset(cell);
  gCandidatesUpTo = 0;
  gCandidateRecords.clear();
  for (long i = 0; i < kCandidateWorkingRecords; ++i) gCandidateRecords.push_back(i);
  gCandidatesIndexed = true;
  fileCandidates(eldsCounter);
}

void KxForgetCandidates() {
  gCandidatesIndexed = false;
  gCandidateGrid.Reset(1);
  gCandidatesUpTo = 0;
  gCandidateRecords.clear();
}

const std::vector<long>& KxCandidateRecords() {
  const long n = eldsCounter;
  if (gCandidatesIndexed) {
    fileCandidates(n);
    return gCandidateRecords;
  }
  gCandidateRecords.clear();
  for (long i = 0; i < n; ++i) gCandidateRecords.push_back(i);
  return gCandidateRecords;
}

void KxCandidatesIn(long reg, std::vector<long>& out) {
  out.clear();
  const long n = eldsCounter;
  if (!gCandidatesIndexed || !validIndex(reg)) {
    for (long i = 0; i < n; ++i) out.push_back(i);
    return;
  }
  fileCandidates(n);
  const elementdaten& rg = elds[reg];
  std::vector<long> near;
  gCandidateGrid.Overlapping(rg.sx, rg.ey, rg.ex, rg.sy, near);
  for (long i = 0; i < kCandidateWorkingRecords && i < n; ++i) out.push_back(i);
  for (long i : near)
    if (i < n) out.push_back(i);
}

long KxCandidatesNear(long reg, std::vector<long>& out) {
  if (!gCandidatesIndexed || !validIndex(reg)) {
    KxCandidatesIn(reg, out);
    return -1;
  }
  KxCandidatesIn(reg, out);
  const long n = eldsCounter;
  // The filed records below n, less those given: the ones the box cannot hold.
  const long filed = (long)(std::lower_bound(gCandidateRecords.begin(), gCandidateRecords.end(), n) -
                            gCandidateRecords.begin()) - kCandidateWorkingRecords;
  long given = 0;
  for (long i : out)
    if (i >= kCandidateWorkingRecords) ++given;
  return filed - given;
}

// A claimed candidate is free again (used 0) and carries the contour's name; the
// last region that claims it wins.
static void claimCandidate(long j, const char* kName) {
  KxCopy(elds[j].kontur, sizeof elds[j].kontur, kName);
  KxNoteMember(j);
  elds[j].used = 0;
  KxCopy(elds[j].text, sizeof elds[j].text, gtStartPoint);
}

// The region record of contour kName, in these steps:
//   1. append the record (a full table leaves the contour without one);
//   2. bounding box, length and element counts of the members (arcs with their bulges);
//   3. the box widened by the anchor length on every side, stored in the record;
//   4. inserts and small circles inside the box claimed as the contour's start points;
//   5. the element count stored and reported.
void GetRegionFor(const char* kName) {
  if (!kName) return;
  // The box starts from the first member, so that it holds at any coordinate: a
  // fixed start value would stay one side of every contour lying beyond it, and
  // the nesting test could no longer tell an opening inside its part. A contour
  // without a member keeps the empty box.
  float left = 5000, right = -5000, top = -5000, bottom = 5000, length = 0;
  bool boxed = false;
  long circles = 0, lines = 0, arcs = 0, points = 0, inserts = 0;
  const long n = eldsCounter;

  AddElement(etDELETE, gNoText);
  // A full table refused the record ("-Limit B-" is out): writing at n - 1 would
  // overwrite a drawing element, so this contour simply gets no region.
  if (eldsCounter != n + 1) return;
  const long reg = n;
  elementdaten& rg = elds[reg];
  rg.used = 1;
  KxCopy(rg.kontur, sizeof rg.kontur, kName);
  KxNoteMember(reg);

  KxPrint("\n - - - - - - - - - ");
  KxPrint("\n [Region:%s] ", kName);

  std::vector<long>& members = gRegionMembers;
  KxMemberCandidates(kName, n, members);
  for (long i : members) {
    const elementdaten& e = elds[i];
    if (!KxSameName(e.kontur, kName)) continue;
    KxPrint("[%ld]", i);
    if (e.type == etCIR) {
      // A hole contour is its circle alone: the box is the circle's square.
      KxPrint(" =[BOHRUNG R:%7.3f]", e.r);
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
          while (from < 0) from += 360;
          while (from >= 360) from -= 360;
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

  const float l = left - gMaxAnkerLen;
  const float r = right + gMaxAnkerLen;
  const float t = top + gMaxAnkerLen;
  const float b = bottom - gMaxAnkerLen;
  rg.sx = l;
  rg.sy = t;
  rg.ex = r;
  rg.ey = b;
  KxCopy(rg.text, sizeof rg.text, gtRegInfo);
  rg.len = length;

  KxPrint("\n [Region:%s] l:%7.3f  r:%7.3f t:%7.3f b:%7.3f \n", kName, l, r, t, b);
  KxPrint(" [Region:%s] h:%7.3f  W:%7.3f ", kName, t - b, r - l);
  KxPrint(" Konturlaenge:%.3f ", length);
  KxPrint("\n [Region:%s] punch :", kName);

  std::vector<long> inBox;
  KxCandidatesIn(reg, inBox);
  for (long j : inBox) {
    if (elds[j].type != etINSE || !IsCircleInRegion(reg, j)) continue;
    claimCandidate(j, kName);
    KxPrint(" insert-%ld", j);
    ++inserts;
  }
  // Circles chosen as another contour's feed point (child -1) stay with it.
  for (long j : inBox) {
    const elementdaten& e = elds[j];
    if (e.type != etCIR || !(e.r < gStartPosition) || e.child == -1 || !IsCircleInRegion(reg, j)) continue;
    claimCandidate(j, kName);
    KxPrint(" circle-%ld", j);
    ++circles;
  }

  const long sum = circles + lines + arcs + points + inserts;
  rg.kElemX = sum;
  KxPrint("\n [Region:%s] %ld Elemente ", kName, sum);
  KxPrint(" -davon %ld LINE | %ld ARC | %ld PNT", lines, arcs, points);
  KxPrint("| %ld TXT | %ld INS| %ld CIR\n", 0L, inserts, circles);
}
