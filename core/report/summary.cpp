// The last word of a console run: one plain line saying what was cut and where
// the program went, or why nothing was, so that a run that cuts nothing never
// passes for a success.
#include <cstring>
#include <sys/stat.h>

#include "contours/contours.h"
#include "config/config.h"
#include "dxf/dxf.h"
#include "elements/elements.h"
#include "geometry/base.h"
#include "nc/nc.h"
#include "report/report.h"

int KxNothingCut() { return gKonturCounter < 1 || gBigTrouble >= gKonturCounter; }

// The layers that do hold geometry, so the user sees what to put into LayerName;
// for a file that is no ASCII drawing at all, what it is instead.
static void printLayersWithGeometry() {
  static DxfLayerCensus census;   // large: kept out of the stack
  if (DxfCountLayerGeometry(&census) == 0) {
    char why[128];
    if (const char* cause = DxfWhyNotADrawing(nullptr, why, sizeof why)) KxPrint("; %s", cause);
    else KxPrint("; the drawing holds no lines, arcs, circles or polylines");
    return;
  }
  KxPrint("; geometry on layer%s", census.count > 1 ? "s" : "");
  const int shown = census.count < 8 ? census.count : 8;
  for (int i = 0; i < shown; ++i)
    KxPrint("%s '%s' (%ld element%s)", i ? "," : "", census.layers[i].name, census.layers[i].entities,
            census.layers[i].entities == 1 ? "" : "s");
  if (census.count > shown || census.moreLayers) KxPrint(" and more");
}

// Entities the reading refused for their numbers: left out of the drawing, named in the log.
static void printRefused(const char* lead) {
  if (gRefusedEntities > 0)
    KxPrint("%s%d entit%s refused (see log)", lead, gRefusedEntities, gRefusedEntities == 1 ? "y" : "ies");
}

void KxPrintRunSummary(int status) {
  if (status == kxSTATUS_BAD_CONFIG) {
    KxPrint("\nkorvex: %s - nothing converted\n", ConfigRefusal());
    return;
  }
  // A drawing cut short by the table's size must not read like one without contours.
  if (gMaxELemBarrier > 0) {
    KxPrint("\nkorvex: the drawing holds more elements than korvex can take (%ld); nothing beyond was read - no NC "
            "program written\n", eldsMaximum);
    return;
  }
  if (gKonturCounter < 1) {
    KxPrint("\nkorvex: no contour on layer '%s' - no NC program written", edmLayer);
    printLayersWithGeometry();
    printRefused("; ");
    struct stat st;
    const std::string target = NcTargetPath();
    if (stat(target.c_str(), &st) == 0) KxPrint("; %s is from an earlier run", target.c_str());
    KxPrint("\n");
    return;
  }
  KxPrint("\nkorvex: %d contour%s (%d hole%s), %d without start hole", gKonturCounter, gKonturCounter == 1 ? "" : "s",
          gHolesCounter, gHolesCounter == 1 ? "" : "s", gBigTrouble);
  if (gAutoStartCount > 0) KxPrint(", %d start hole%s to drill", gAutoStartCount, gAutoStartCount == 1 ? "" : "s");
  if (gOpenKoCounter > 0) KxPrint(", %d open (not cut round)", gOpenKoCounter);
  if (gContoursWithoutTech > 0) KxPrint(", %d without technology data", gContoursWithoutTech);
  printRefused(", ");
  if (status == kxSTATUS_NO_PROGRAM && gNcWriteFailed == kxNC_ONTO_DRAWING)
    KxPrint(" - the NC program %s would be the drawing itself - not written, the drawing is left as it is", dataPath.c_str());
  else if (status == kxSTATUS_NO_PROGRAM) KxPrint(" - the NC program %s could not be written", dataPath.c_str());
  else KxPrint(" -> %s%s", dataPath.c_str(), KxNothingCut() ? " (nothing to cut)" : "");
  // Behaviour that is meant, but easily missed when reading the program.
  if (gInsetTechIgnored > 0)
    KxPrint("; note: %d inset contour%s cut with the parent's cuts, not with %s own technology", gInsetTechIgnored,
            gInsetTechIgnored == 1 ? "" : "s", gInsetTechIgnored == 1 ? "its" : "their");
  if (gPiecesUncalled > 0)
    KxPrint("; note: piece mode - the main program calls the last piece only, %d piece%s to call by hand",
            gPiecesUncalled, gPiecesUncalled == 1 ? "" : "s");
  KxPrint("\n");
}
