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
  int unusable = 0;
  for (int k = 1; k <= run.contours.count; ++k) unusable += !KxReasonFor(run.contours.feedRefusals, k).empty();
  if (unusable < 1) return;
  fputs("start holes that give no lead-in: \n", page);
  for (int k = 1; k <= run.contours.count; ++k) {
    const KxContour& c = run.contours.all[(size_t)k];
    const std::string& why = KxReasonFor(run.contours.feedRefusals, k);
    if (!why.empty()) KxFilePrint(page, "%-9s: %s \n", c.name, why.c_str());
  }
  fputs("\n", page);
}

void KxWriteDrillList(KxRun& run, FILE* page) {
  if (!page || run.contours.count < 1) return;
  writeUnusableHoles(run, page);
  int refused = 0;
  for (int k = 1; k <= run.contours.count; ++k) refused += !KxReasonFor(run.contours.autoRefusals, k).empty();
  if (run.contours.autoStartCount < 1 && refused < 1) return;

  fputs("start holes to drill: \n", page);
  fputs("CONTOUR  :        X |        Y | DIAMETER \n", page);
  fputs("------------------------------------------\n", page);
  for (int k = 1; k <= run.contours.count; ++k) {
    const KxContour& c = run.contours.all[(size_t)k];
    if (c.holePlaced) KxFilePrint(page, "%-9s: %8.3f | %8.3f | %8.3f \n", c.name, c.holeX, c.holeY, 2 * c.holeR);
    else if (const std::string& why = KxReasonFor(run.contours.autoRefusals, k); !why.empty())
      KxFilePrint(page, "%-9s: no place for a start hole (%s) \n", c.name, why.c_str());
  }
  fputs("------------------------------------------\n\n", page);
}
