// Nesting of contours: a contour whose region lies strictly inside another
// contour's region becomes that contour's child, claims the free small circles
// inside its own region and gets a second feed-point search among them.
#include <cstring>

#include "contours/contours.h"
#include "elements/elements.h"
#include "geometry/base.h"

// Backward scan so that the newest region record of a name wins; with
// onlyTopLevel, records that already have a parent are not considered.
static long findRegion(const char* name, bool onlyTopLevel) {
  long top = eldsCounter < kMaxElements ? eldsCounter : kMaxElements;
  for (long i = top - 1; i >= 1; --i) {
    const elementdaten& e = elds[i];
    if (strcmp(e.kontur, name) != 0 || strcmp(e.text, gtRegInfo) != 0) continue;
    if (onlyTopLevel && e.child >= 1) continue;
    return i;
  }
  return -1;
}

int SearchInsetRegions(FILE* stream) {
  KxPrint("\n ...suche innenliegende Konturen\n");
  KxPrint(" ... sPKonturCounter %d  Stream: %p \n", sPKonturCounter, (void*)stream);

  char nameA[16], nameB[16];
  for (int a = 1; a <= gKonturCounter; ++a) {
    snprintf(nameA, sizeof nameA, "$K%02d", a);
    KxPrint("\n >%s", nameA);
    const long regA = findRegion(nameA, false);
    if (regA < 0) continue;
    KxPrint(" [regA %ld]", regA);

    for (int b = 1; b <= gKonturCounter; ++b) {
      snprintf(nameB, sizeof nameB, "$K%02d", b);
      const long regB = findRegion(nameB, true);
      if (regB < 0) continue;
      KxPrint(" [regB %ld]", regB);

      // All four strict: B's box must lie inside A's without touching an edge,
      // so a contour is never its own child.
      const elementdaten& ra = elds[regA];
      const elementdaten& rb = elds[regB];
      int inside = 0;
      if (ra.sx < rb.sx) { KxPrint("l"); ++inside; }
      if (ra.ex > rb.ex) { KxPrint("r"); ++inside; }
      if (ra.sy > rb.sy) { KxPrint("o"); ++inside; }
      if (ra.ey < rb.ey) { KxPrint("u"); ++inside; }
      if (inside != 4) continue;

      KxPrint("\n >%s InsetChild: %s[regB %ld par:%d] ", nameA, nameB, regB, a);
      for (long j = 0; j < eldsCounter; ++j) {
        elementdaten& c = elds[j];
        if (c.type != etCIR || c.used != 0 || !IsCircleInRegion(regB, j)) continue;
        KxPrint("\n ( ex: %s)", c.kontur);
        KxCopy(c.kontur, sizeof c.kontur, nameB);
        KxCopy(c.text, sizeof c.text, gtStartPoint);
        KxPrint(" %s (%s)", c.kontur, nameB);
      }

      const long r = GetRegionElement(nameB);
      if (r >= 0) {
        statFirstElem = 0;
        FindFirstElemFor(nameB, r);
        elds[r].IsFirst = (int)statFirstElem;
        if (statFirstElem != 0) KxPrint("\n >>  [%s AnfahrElement %ld Child]\n", nameA, statFirstElem);
      }
      if (elds[regB].child == 0) elds[regB].child = a;
    }
  }
  KxPrint("\n > gKonturCounter <break>\n");
  static const char kEnd[] = "\n- SearchInsetRegions() END-\n";
  KxPrint("%s", kEnd);
  return (int)strlen(kEnd);
}
