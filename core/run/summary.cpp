// The last word of a console run: one plain line saying what was cut and where
// the program went, or why nothing was, so that a run that cuts nothing never
// passes for a success.
#include <cstring>
#include <sys/stat.h>

#include <memory>

#include "contours/contours.h"
#include "config/config.h"
#include "dxf/dxf.h"
#include "elements/elements.h"
#include "geometry/base.h"
#include "nc/nc.h"
#include "report/report.h"
#include "run/run.h"

int KxNothingCut(KxRun& run) { return run.contours.count < 1 || run.nc.bigTrouble >= run.contours.count; }

// The layers that do hold geometry, so the user sees what to put into LayerName;
// for a file that is no ASCII drawing at all, what it is instead.
static void printLayersWithGeometry(KxRun& run) {
  auto owned = std::make_unique<DxfLayerCensus>();   // large: kept out of the stack
  DxfLayerCensus& census = *owned;
  if (DxfCountLayerGeometry(run, &census) == 0) {
    char why[128];
    if (const char* cause = DxfWhyNotADrawing(run, nullptr, why, sizeof why)) KxSay(run, "; %s", cause);
    else KxSay(run, "; the drawing holds no lines, arcs, circles or polylines");
    return;
  }
  KxSay(run, "; geometry on layer%s", census.count > 1 ? "s" : "");
  const int shown = census.count < 8 ? census.count : 8;
  for (int i = 0; i < shown; ++i)
    KxSay(run, "%s '%s' (%ld element%s)", i ? "," : "", census.layers[i].name, census.layers[i].entities,
            census.layers[i].entities == 1 ? "" : "s");
  if (census.count > shown || census.moreLayers) KxSay(run, " and more");
}

// Entities the reading refused for their numbers: left out of the drawing, named in the log.
static void printRefused(KxRun& run, const char* lead) {
  if (run.dxf.refusedEntities > 0)
    KxSay(run, "%s%d entit%s refused (see log)", lead, run.dxf.refusedEntities, run.dxf.refusedEntities == 1 ? "y" : "ies");
}

// A drawing read in other units than millimetres: which, and how large it came out.
static void printUnits(KxRun& run) {
  const std::string units = KxUnitsText(run);
  if (!units.empty()) KxSay(run, "; %s", units.c_str());
}

void KxPrintRunSummary(KxRun& run, int status) {
  if (status == kxSTATUS_BAD_CONFIG) {
    KxSay(run, "\nkorvex: %s - nothing converted\n", ConfigRefusal(run.cfg));
    return;
  }
  // A drawing cut short by the table's size must not read like one without contours.
  if (run.table.maxElemBarrier > 0) {
    KxSay(run, "\nkorvex: the drawing holds more elements than korvex can take (%ld); nothing beyond was read - no NC "
            "program written\n", run.table.eldsMaximum);
    return;
  }
  if (run.contours.count < 1) {
    KxSay(run, "\nkorvex: no contour on layer '%s' - no NC program written", run.cfg.edmLayer);
    printLayersWithGeometry(run);
    printRefused(run, "; ");
    struct stat st;
    const std::string target = NcTargetPath(run);
    if (stat(target.c_str(), &st) == 0) KxSay(run, "; %s is from an earlier run", target.c_str());
    printUnits(run);
    KxSay(run, "\n");
    return;
  }
  KxSay(run, "\nkorvex: %d contour%s (%d hole%s), %d without start hole", run.contours.count, run.contours.count == 1 ? "" : "s",
          run.nc.holesCounter, run.nc.holesCounter == 1 ? "" : "s", run.nc.bigTrouble);
  if (run.contours.autoStartCount > 0) KxSay(run, ", %d start hole%s to drill", run.contours.autoStartCount, run.contours.autoStartCount == 1 ? "" : "s");
  if (run.nc.openKoCounter > 0) KxSay(run, ", %d open (not cut round)", run.nc.openKoCounter);
  if (run.nc.contoursWithoutTech > 0) KxSay(run, ", %d without technology data", run.nc.contoursWithoutTech);
  printRefused(run, ", ");
  if (status == kxSTATUS_NO_PROGRAM && run.nc.ncWriteFailed == kxNC_ONTO_DRAWING)
    KxSay(run, " - the NC program %s would be the drawing itself - not written, the drawing is left as it is", run.io.dataPath.c_str());
  else if (status == kxSTATUS_NO_PROGRAM) KxSay(run, " - the NC program %s could not be written", run.io.dataPath.c_str());
  else KxSay(run, " -> %s%s", run.io.dataPath.c_str(), KxNothingCut(run) ? " (nothing to cut)" : "");
  if (run.report.checkFaults >= 0)
    KxSay(run, ", program checked: %d fault%s%s", run.report.checkFaults, run.report.checkFaults == 1 ? "" : "s",
            run.report.checkFaults > 0 ? " (see above and _check.htm)" : "");
  else if (run.cfg.gCheckProgram && status != kxSTATUS_NO_PROGRAM) KxSay(run, ", program not checked: it cannot be read");
  // Behaviour that is meant, but easily missed when reading the program.
  if (run.nc.insetTechIgnored > 0)
    KxSay(run, "; note: %d inset contour%s cut with the parent's cuts, not with %s own technology", run.nc.insetTechIgnored,
            run.nc.insetTechIgnored == 1 ? "" : "s", run.nc.insetTechIgnored == 1 ? "its" : "their");
  if (run.nc.piecesUncalled > 0)
    KxSay(run, "; note: piece mode - the main program calls the last piece only, %d piece%s to call by hand",
            run.nc.piecesUncalled, run.nc.piecesUncalled == 1 ? "" : "s");
  // How long the machine is busy, when the program was written and its feeds are known.
  if (status != kxSTATUS_NO_PROGRAM) {
    const std::string time = KxMachineTimeText(run);
    if (!time.empty()) KxSay(run, ", %s", time.c_str());
  }
  printUnits(run);
  KxSay(run, "\n");
}
