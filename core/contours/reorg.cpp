// After the contour search: the point elements of each contour are moved
// towards the front of its records, where the start-point search looks first.
#include <cstring>
#include <utility>
#include <vector>

#include "contours/contours.h"
#include "elements/elements.h"
#include "run/run.h"

// Exchanges what records p and q hold, their marks with them. Each keeps its
// number, and also its bulge and polyline mark: only contours' points move.
static void exchange(KxRun& run, long p, long q) {
  elementdaten& a = run.table.elds[p];
  elementdaten& b = run.table.elds[q];
  std::swap(a, b);
  std::swap(a.num, b.num);
  std::swap(a.bulge, b.bulge);
  std::swap(a.polyOpen, b.polyOpen);
  std::swap(run.table.marks[p], run.table.marks[q]);
}

// Moves the contour's points towards its first records, one exchange per point.
// Exchanges stay among the contour's own records, so the records holding its
// name stay the same ones throughout.

static void reorgContour(KxRun& run, const char* name, std::vector<long>& members) {
  long n = run.table.eldsCounter;
  KxMemberCandidates(run, name, n, members);
  long first = -1, last = -1;
  for (long i : members) {
    if (strcmp(run.table.marks[i].kontur, name) != 0) continue;
    if (first < 0) first = i;
    last = i;
  }
  long points = 0;
  if (first >= 0)
    for (long i : members)
      if (i >= first && i <= last && run.table.elds[i].type == etPNT && strcmp(run.table.marks[i].kontur, name) == 0) ++points;
  KxPrint(run, " movable PNTs:%ld ", points);

  for (long t = 0; t < points; ++t) {
    long start = first + t;
    if (start > last) break;
    long p = 0, q = 0;
    for (long k : members) {
      if (k < start || k > last) continue;
      if (strcmp(run.table.marks[k].kontur, name) != 0) continue;
      if (run.table.elds[k].type == etPNT)
        p = k;
      else if (q < 1)
        q = k;
      if (p >= 1 && q >= 1) {
        exchange(run, p, q);
        break;
      }
    }
  }
}

void ReorgStructs(KxRun& run) {
  if (run.table.eldsCounter >= run.table.eldsMaximum) {
    KxPrint(run, "-Limit RS-");
    return;
  }
  const KxMemberIndex filed(run, false);
  std::vector<long> members;   // records that may belong to the contour being reorganised
  for (int k = 1; k <= run.contours.count; ++k) {
    char name[16];
    KxContourName(name, sizeof name, k);
    KxPrint(run, "\n [%ld] reorg: %s ", run.table.eldsCounter, name);
    reorgContour(run, name, members);
  }
}
