// Nesting of contours: a contour whose region lies strictly inside another
// contour's region becomes that contour's child, claims the free small circles
// inside its own region and gets a second feed-point search among them.
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "contours/contours.h"
#include "elements/elements.h"
#include "geometry/base.h"
#include "run/run.h"

// The region records of contours 1..K, newest first: the nesting test asks for
// them K*K times, and a scan of the table for each question made the nesting of
// a few hundred contours cost more than reading the drawing. Only circle and
// insert records and the regions' child marks change while the test runs, so the
// lists stay valid as long as no record is added.
struct RegionIndex {
  std::vector<long> newest;  // by contour number: newest region record, -1 for none
  std::vector<long> older;   // by record: the next older region record of the same name
  long builtFor = -1;        // eldsCounter when the lists were made

  void build(KxRun& run, int konturs) {
    long top = run.table.eldsCounter;
    newest.assign((size_t)konturs + 1, -1);
    older.assign((size_t)(top > 0 ? top : 0), -1);
    builtFor = run.table.eldsCounter;
    char name[16];
    for (long i = 1; i < top; ++i) {
      const elementdaten& e = run.table.elds[i];
      if (e.kontur[0] != '$' || e.kontur[1] != 'K' || !KxSameName(e.text, gtRegInfo)) continue;
      long k = strtol(e.kontur + 2, nullptr, 10);
      if (k < 1 || k > konturs) continue;
      // Only the exact name counts: "$K1" is not contour 1's "$K01".
      KxContourName(name, sizeof name, (int)k);
      if (!KxSameName(e.kontur, name)) continue;
      older[(size_t)i] = newest[(size_t)k];
      newest[(size_t)k] = i;
    }
  }

  // The newest region record of contour k (1..konturs); with onlyTopLevel, the
  // newest that has no parent yet. -1 when there is none.
  long find(KxRun& run, int k, int konturs, bool onlyTopLevel) {
    if (builtFor != run.table.eldsCounter) build(run, konturs);
    for (long i = newest[(size_t)k]; i >= 0; i = older[(size_t)i])
      if (!onlyTopLevel || run.table.elds[i].child < 1) return i;
    return -1;
  }
};

int SearchInsetRegions(KxRun& run, FILE* stream) {
  KxPrint(run, "\n ...suche innenliegende Konturen\n");
  // The number of contours to search, under the name earlier traces gave it.
  KxPrint(run, " ... sPKonturCounter %d  Stream: %p \n", run.contours.count, (void*)stream);

  char nameA[16], nameB[16];
  KxKeepContours(run);
  RegionIndex regions;
  std::vector<long> inBox;   // the circles region B may hold
  // The parent of a contour is the smallest contour whose box holds its box, so
  // a part inside an opening inside a plate is the opening's child, not the
  // plate's, and is cut before the opening frees it.
  std::vector<int> parent((size_t)(run.contours.count > 0 ? run.contours.count : 0) + 1, 0);
  // A box holding another overlaps it: the contours are filed by their region
  // boxes, and only those overlapping B's box are tried, in number order.
  std::vector<long> newest((size_t)(run.contours.count > 0 ? run.contours.count : 0) + 1, -1);
  double sizes = 0;
  long boxes = 0;
  for (int a = 1; a <= run.contours.count; ++a) {
    const long ra = newest[(size_t)a] = regions.find(run, a, run.contours.count, false);
    if (ra < 0) continue;
    const double s = std::fmax(std::fabs((double)run.table.elds[ra].ex - run.table.elds[ra].sx), std::fabs((double)run.table.elds[ra].sy - run.table.elds[ra].ey));
    if (std::isfinite(s)) {
      sizes += s;
      ++boxes;
    }
  }
  KxBoxGrid holders;
  holders.Reset(boxes ? sizes / (double)boxes : 1.0);
  for (int a = 1; a <= run.contours.count; ++a) {
    const long ra = newest[(size_t)a];
    if (ra >= 0) holders.Add(run.table.elds[ra].sx, run.table.elds[ra].ey, run.table.elds[ra].ex, run.table.elds[ra].sy, a);
  }
  std::vector<long> near;
  for (int b = 1; b <= run.contours.count; ++b) {
    const long rb = regions.find(run, b, run.contours.count, true);
    if (rb < 0) continue;
    double smallest = 0;
    holders.Overlapping(run.table.elds[rb].sx, run.table.elds[rb].ey, run.table.elds[rb].ex, run.table.elds[rb].sy, near);
    for (long na : near) {
      const int a = (int)na;
      const long ra = newest[(size_t)a];
      if (ra < 0 || a == b) continue;
      const elementdaten& A = run.table.elds[ra];
      const elementdaten& B = run.table.elds[rb];
      if (!(A.sx < B.sx && A.ex > B.ex && A.sy > B.sy && A.ey < B.ey)) continue;
      const double area = ((double)A.ex - A.sx) * ((double)A.sy - A.ey);
      if (parent[(size_t)b] == 0 || area < smallest) {
        parent[(size_t)b] = a;
        smallest = area;
      }
    }
  }
  // Each contour with a region record still without parent mark is compared
  // with every contour A, one trace each. Once those traces are only counted,
  // only A's children are compared, and the others counted: the number of such
  // contours, which falls as the children get their marks.
  std::vector<std::vector<int>> children((size_t)(run.contours.count > 0 ? run.contours.count : 0) + 1);
  for (int b = 1; b <= run.contours.count; ++b)
    if (parent[(size_t)b] > 0) children[(size_t)parent[(size_t)b]].push_back(b);
  long topLevel = 0;
  long countedFor = -1;   // eldsCounter when topLevel was counted
  std::vector<int> everyone;
  for (int b = 1; b <= run.contours.count; ++b) everyone.push_back(b);
  for (int a = 1; a <= run.contours.count; ++a) {
    KxContourName(nameA, sizeof nameA, a);
    KxPrint(run, "\n >%s", nameA);
    const long regA = regions.find(run, a, run.contours.count, false);
    if (regA < 0) continue;
    KxPrint(run, " [regA %ld]", regA);

    if (countedFor != run.table.eldsCounter) {
      topLevel = 0;
      for (int b = 1; b <= run.contours.count; ++b)
        if (regions.find(run, b, run.contours.count, true) >= 0) ++topLevel;
      countedFor = run.table.eldsCounter;
    }
    const bool counted = KxTraceSpent(run, ktREGION_PAIR);
    if (counted) KxTraceLeaveOut(run, ktREGION_PAIR, topLevel);
    for (int b : counted ? children[(size_t)a] : everyone) {
      const long regB = regions.find(run, b, run.contours.count, true);
      if (regB < 0) continue;
      const bool shown = !counted && KxTraceNext(run, ktREGION_PAIR);
      if (shown) KxPrint(run, " [regB %ld]", regB);

      // All four strict: B's box must lie inside A's without touching an edge,
      // so a contour is never its own child.
      const elementdaten& ra = run.table.elds[regA];
      const elementdaten& rb = run.table.elds[regB];
      int inside = 0;
      if (ra.sx < rb.sx) { if (shown) KxPrint(run, "l"); ++inside; }
      if (ra.ex > rb.ex) { if (shown) KxPrint(run, "r"); ++inside; }
      if (ra.sy > rb.sy) { if (shown) KxPrint(run, "o"); ++inside; }
      if (ra.ey < rb.ey) { if (shown) KxPrint(run, "u"); ++inside; }
      if (inside != 4 || parent[(size_t)b] != a) continue;
      KxContourName(nameB, sizeof nameB, b);

      KxPrint(run, "\n >%s InsetChild: %s[regB %ld par:%d] ", nameA, nameB, regB, a);
      const long r = regions.find(run, b, run.contours.count, false);
      // A child that found its own start hole keeps it: a second search could
      // only trade it for a hole in the web between the contours.
      if (r >= 0 && run.table.elds[r].IsFirst != 0) {
        KxPrint(run, " (feed point kept)");
        if (run.table.elds[regB].child == 0) run.table.elds[regB].child = a;
        if (regB == run.contours.all[(size_t)b].region) run.contours.all[(size_t)b].parent = run.table.elds[regB].child;
        if (regions.find(run, b, run.contours.count, true) < 0) --topLevel;
        continue;
      }
      KxCandidatesIn(run, regB, inBox);
      for (long j : inBox) {
        elementdaten& c = run.table.elds[j];
        if (c.type != etCIR || c.used != 0 || !IsCircleInRegion(run, regB, j)) continue;
        KxPrint(run, "\n ( ex: %s)", c.kontur);
        KxCopy(c.kontur, sizeof c.kontur, nameB);
        KxNoteMember(run, j);
        KxCopy(c.text, sizeof c.text, gtStartPoint);
        KxPrint(run, " %s (%s)", c.kontur, nameB);
      }

      if (r >= 0) {
        const KxLeadInChoice choice = FindFirstElemFor(run, nameB, r);
        if (r == run.contours.all[(size_t)b].region) KxTakeLeadIn(run, b, choice);
        run.table.elds[r].IsFirst = (int)choice.element;
        if (choice.element != 0) KxPrint(run, "\n >>  [%s AnfahrElement %ld Child]\n", nameA, choice.element);
      }
      if (run.table.elds[regB].child == 0) run.table.elds[regB].child = a;
      if (regB == run.contours.all[(size_t)b].region) run.contours.all[(size_t)b].parent = run.table.elds[regB].child;
      if (regions.find(run, b, run.contours.count, true) < 0) --topLevel;
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
