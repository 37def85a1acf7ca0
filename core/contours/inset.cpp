// Nesting of contours: a contour whose region lies strictly inside another
// contour's region becomes that contour's child, claims the free small circles
// inside its own region and gets a second feed-point search among them.
#include <cmath>
#include <cstring>
#include <vector>

#include "contours/contours.h"
#include "elements/elements.h"
#include "geometry/base.h"
#include "run/run.h"

// c's region row when it has a region (with onlyTopLevel: and no parent yet), else -1.
static long regionOf(const KxContour& c, bool onlyTopLevel) {
  if (c.region < 0 || (onlyTopLevel && c.parent >= 1)) return -1;
  return c.region;
}

// B's region lies inside A's without touching an edge.
static bool holdsRegion(const KxContour& A, const KxContour& B) {
  return A.reachLeft < B.reachLeft && A.reachRight > B.reachRight && A.reachTop > B.reachTop && A.reachBottom < B.reachBottom;
}

// The nesting, in these steps:
//   1. the regions filed by their boxes; each contour's parent is the smallest
//      contour whose region holds its own;
//   2. every contour A against the contours still without parent (their traces);
//   3. a child without lead-in claims the free small circles in its region and
//      gets a second feed-point search; it is marked as A's child;
//   4. the children lists of the contours.
int SearchInsetRegions(KxRun& run, FILE* stream, KxCandidateIndex& candidates) {
  KxPrint(run, "\n ...suche innenliegende Konturen\n");
  // The number of contours to search, under the name earlier traces gave it.
  KxPrint(run, " ... sPKonturCounter %d  Stream: %p \n", run.contours.count, (void*)stream);

  std::vector<KxContour>& all = run.contours.all;
  std::vector<long> inBox;   // the circles region B may hold
  // The parent of a contour is the smallest contour whose box holds its box, so
  // a part inside an opening inside a plate is the opening's child, not the
  // plate's, and is cut before the opening frees it.
  std::vector<int> parent((size_t)(run.contours.count > 0 ? run.contours.count : 0) + 1, 0);
  // A box holding another overlaps it: the contours are filed by their region
  // boxes, and only those overlapping B's box are tried, in number order.
  std::vector<long> rows((size_t)(run.contours.count > 0 ? run.contours.count : 0) + 1, -1);
  double sizes = 0;
  long boxes = 0;
  for (int a = 1; a <= run.contours.count; ++a) {
    const KxContour& A = all[(size_t)a];
    const long ra = rows[(size_t)a] = regionOf(A, false);
    if (ra < 0) continue;
    const double s = std::fmax(std::fabs((double)A.reachRight - A.reachLeft), std::fabs((double)A.reachTop - A.reachBottom));
    if (std::isfinite(s)) {
      sizes += s;
      ++boxes;
    }
  }
  KxBoxGrid holders;
  holders.Reset(boxes ? sizes / (double)boxes : 1.0);
  for (int a = 1; a <= run.contours.count; ++a) {
    const KxContour& A = all[(size_t)a];
    if (rows[(size_t)a] >= 0) holders.Add(A.reachLeft, A.reachBottom, A.reachRight, A.reachTop, a);
  }
  std::vector<long> near;
  for (int b = 1; b <= run.contours.count; ++b) {
    const KxContour& B = all[(size_t)b];
    if (regionOf(B, true) < 0) continue;
    double smallest = 0;
    holders.Overlapping(B.reachLeft, B.reachBottom, B.reachRight, B.reachTop, near);
    for (long na : near) {
      const int a = (int)na;
      if (rows[(size_t)a] < 0 || a == b) continue;
      const KxContour& A = all[(size_t)a];
      if (!holdsRegion(A, B)) continue;
      const double area = ((double)A.reachRight - A.reachLeft) * ((double)A.reachTop - A.reachBottom);
      if (parent[(size_t)b] == 0 || area < smallest) {
        parent[(size_t)b] = a;
        smallest = area;
      }
    }
  }
  // Each contour with a region still without parent is compared
  // with every contour A, one trace each. Once those traces are only counted,
  // only A's children are compared, and the others counted: the number of such
  // contours, which falls as the children get their marks.
  std::vector<std::vector<int>> children((size_t)(run.contours.count > 0 ? run.contours.count : 0) + 1);
  for (int b = 1; b <= run.contours.count; ++b)
    if (parent[(size_t)b] > 0) children[(size_t)parent[(size_t)b]].push_back(b);
  // The contours still without parent, counted once: each child found lowers it.
  long topLevel = 0;
  for (int b = 1; b <= run.contours.count; ++b)
    if (regionOf(all[(size_t)b], true) >= 0) ++topLevel;
  std::vector<int> everyone;
  for (int b = 1; b <= run.contours.count; ++b) everyone.push_back(b);
  for (int a = 1; a <= run.contours.count; ++a) {
    KxContour& A = all[(size_t)a];
    KxPrint(run, "\n >%s", A.name);
    const long regA = regionOf(A, false);
    if (regA < 0) continue;
    KxPrint(run, " [regA %ld]", regA);

    const bool counted = KxTraceSpent(run, ktREGION_PAIR);
    if (counted) KxTraceLeaveOut(run, ktREGION_PAIR, topLevel);
    for (int b : counted ? children[(size_t)a] : everyone) {
      KxContour& B = all[(size_t)b];
      const long regB = regionOf(B, true);
      if (regB < 0) continue;
      const bool shown = !counted && KxTraceNext(run, ktREGION_PAIR);
      if (shown) KxPrint(run, " [regB %ld]", regB);

      // All four strict: B's box must lie inside A's without touching an edge,
      // so a contour is never its own child.
      int inside = 0;
      if (A.reachLeft < B.reachLeft) { if (shown) KxPrint(run, "l"); ++inside; }
      if (A.reachRight > B.reachRight) { if (shown) KxPrint(run, "r"); ++inside; }
      if (A.reachTop > B.reachTop) { if (shown) KxPrint(run, "o"); ++inside; }
      if (A.reachBottom < B.reachBottom) { if (shown) KxPrint(run, "u"); ++inside; }
      if (inside != 4 || parent[(size_t)b] != a) continue;

      KxPrint(run, "\n >%s InsetChild: %s[regB %ld par:%d] ", A.name, B.name, regB, a);
      // A child that found its own start hole keeps it: a second search could
      // only trade it for a hole in the web between the contours.
      if (B.leadIn != 0) {
        KxPrint(run, " (feed point kept)");
      } else {
        candidates.In(B, inBox);
        for (long j : inBox) {
          const elementdaten& c = run.table.elds[j];
          KxMarks& m = run.table.marks[j];
          if (c.type != etCIR || m.used != 0 || !IsCircleInRegion(B, c)) continue;
          KxPrint(run, "\n ( ex: %s)", m.kontur);
          KxCopy(m.kontur, sizeof m.kontur, B.name);
          KxNoteMember(run, j);
          m.note = kNoteStartPoint;
          KxPrint(run, " %s (%s)", m.kontur, B.name);
        }
        const KxLeadInChoice choice = FindFirstElemFor(run, B, &candidates);
        KxTakeLeadIn(run, B, choice);
        if (choice.element != 0) KxPrint(run, "\n >>  [%s AnfahrElement %ld Child]\n", A.name, choice.element);
      }
      B.parent = a;
      --topLevel;
    }
  }
  KxTraceCounts(run);
  for (KxContour& c : run.contours.all) c.children.clear();
  for (int k = 1; k <= run.contours.count; ++k)
    if (const int p = run.contours.all[(size_t)k].parent; p >= 1 && p <= run.contours.count) run.contours.all[(size_t)p].children.push_back(k);
  KxPrint(run, "\n > gKonturCounter <break>\n");
  KxPrint(run, "\n- SearchInsetRegions() END-\n");
  int inside = 0;
  for (int k = 1; k <= run.contours.count; ++k) inside += run.contours.all[(size_t)k].parent >= 1;
  return inside;
}
