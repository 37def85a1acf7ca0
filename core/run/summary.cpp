// The last word of a console run: one plain line saying what was cut and where
// the program went, or why nothing was, so that a run that cuts nothing never
// passes for a success. Worded from the run's result, as the desktop's and the
// batch's words are (words.cpp); here what only the open drawing can tell is added.
#include <memory>

#include "contours/contours.h"
#include "dxf/dxf.h"
#include "nc/nc.h"
#include "run/run.h"

int KxNothingCut(KxRun& run) { return run.contours.count < 1 || run.nc.bigTrouble + run.nc.topRefused >= run.contours.count; }

// The layers that do hold geometry, so the user sees what to put into LayerName;
// for a file that is no ASCII drawing at all, what it is instead. Reads the drawing again.
static void countGeometry(KxRun& run, KxResult* r) {
  auto owned = std::make_unique<DxfLayerCensus>();   // large: kept out of the stack
  DxfLayerCensus& census = *owned;
  if (DxfCountLayerGeometry(run, &census) == 0) {
    char why[128];
    if (const char* cause = DxfWhyNotADrawing(run, nullptr, why, sizeof why)) r->notADrawing = cause;
    return;
  }
  for (int i = 0; i < census.count; ++i) r->geometry.push_back({census.layers[i].name, census.layers[i].entities});
  r->moreGeometry = census.moreLayers > 0;
}

void KxPrintRunSummary(KxRun& run, int status) {
  KxResult r = KxResultOf(run, status);
  // Only a drawing read in full that gave no contour is looked into again.
  if (status != kxSTATUS_BAD_CONFIG && r.elementBound == 0 && r.contours < 1) countGeometry(run, &r);
  KxSay(run, "%s", KxSummaryWords(r).c_str());
}
