// The drill list of the statistics page: where korvex placed start holes of its
// own (setting AutoStartHoles), so the shop drills them before the wire is
// threaded, which closed contours found no place for one, and which drawn start
// holes give their contour no lead-in, and why.
#include "contours/contours.h"
#include "elements/elements.h"
#include "report/report.h"

// The contours left uncut although start holes are drawn for them.
static void writeUnusableHoles(FILE* page) {
  char kn[16], why[160];
  int unusable = 0;
  for (int k = 1; k <= gKonturCounter; ++k) unusable += FeedPointRefusal(k, why, sizeof why) != nullptr;
  if (unusable < 1) return;
  fputs("start holes that give no lead-in: \n", page);
  for (int k = 1; k <= gKonturCounter; ++k) {
    KxContourName(kn, sizeof kn, k);
    if (FeedPointRefusal(k, why, sizeof why)) fprintf(page, "%-9s: %s \n", kn, why);
  }
  fputs("\n", page);
}

void KxWriteDrillList(FILE* page) {
  if (!page || gKonturCounter < 1) return;
  writeUnusableHoles(page);
  char kn[16], why[48];
  int refused = 0;
  for (int k = 1; k <= gKonturCounter; ++k) refused += AutoStartRefusal(k, why, sizeof why) != nullptr;
  if (gAutoStartCount < 1 && refused < 1) return;

  fputs("start holes to drill: \n", page);
  fputs("CONTOUR  :        X |        Y | DIAMETER \n", page);
  fputs("------------------------------------------\n", page);
  const KxContourRecords records(eldsCounter);
  for (int k = 1; k <= gKonturCounter; ++k) {
    KxContourName(kn, sizeof kn, k);
    const long h = records.AutoStartHole(kn);
    if (h >= 0) fprintf(page, "%-9s: %8.3f | %8.3f | %8.3f \n", kn, elds[h].cx, elds[h].cy, 2 * elds[h].r);
    else if (AutoStartRefusal(k, why, sizeof why)) fprintf(page, "%-9s: no place for a start hole (%s) \n", kn, why);
  }
  fputs("------------------------------------------\n\n", page);
}
