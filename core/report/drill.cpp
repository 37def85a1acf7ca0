// The drill list of the statistics page: where korvex placed start holes of its
// own (setting AutoStartHoles), so the shop drills them before the wire is
// threaded, which closed contours found no place for one, and which drawn start
// holes give their contour no lead-in, and why.
#include "contours/contours.h"
#include "elements/elements.h"
#include "report/report.h"
#include "run/run.h"

// The contours left uncut although start holes are drawn for them.
static void writeUnusableHoles(KxRun& run, FILE* page) {
  char kn[16], why[160];
  int unusable = 0;
  for (int k = 1; k <= run.gKonturCounter; ++k) unusable += FeedPointRefusal(run, k, why, sizeof why) != nullptr;
  if (unusable < 1) return;
  fputs("start holes that give no lead-in: \n", page);
  for (int k = 1; k <= run.gKonturCounter; ++k) {
    KxContourName(kn, sizeof kn, k);
    if (FeedPointRefusal(run, k, why, sizeof why)) KxFilePrint(page, "%-9s: %s \n", kn, why);
  }
  fputs("\n", page);
}

void KxWriteDrillList(KxRun& run, const KxContourRecords& records, FILE* page) {
  if (!page || run.gKonturCounter < 1) return;
  writeUnusableHoles(run, page);
  char kn[16], why[48];
  int refused = 0;
  for (int k = 1; k <= run.gKonturCounter; ++k) refused += AutoStartRefusal(run, k, why, sizeof why) != nullptr;
  if (run.gAutoStartCount < 1 && refused < 1) return;

  fputs("start holes to drill: \n", page);
  fputs("CONTOUR  :        X |        Y | DIAMETER \n", page);
  fputs("------------------------------------------\n", page);
  for (int k = 1; k <= run.gKonturCounter; ++k) {
    KxContourName(kn, sizeof kn, k);
    const long h = records.AutoStartHole(run, kn);
    if (h >= 0) KxFilePrint(page, "%-9s: %8.3f | %8.3f | %8.3f \n", kn, run.elds[h].cx, run.elds[h].cy, 2 * run.elds[h].r);
    else if (AutoStartRefusal(run, k, why, sizeof why)) KxFilePrint(page, "%-9s: no place for a start hole (%s) \n", kn, why);
  }
  fputs("------------------------------------------\n\n", page);
}
