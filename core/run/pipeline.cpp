// The conversion run that the console program and the desktop's Make share:
// the per-run resets, the passes over the open drawing (version, layers,
// entities), the structure check, contours, NC program, page and closing line.
#include "config/config.h"
#include "contours/contours.h"
#include "dxf/dxf.h"
#include "elements/elements.h"
#include "geometry/base.h"
#include "nc/nc.h"
#include "report/report.h"
#include "run/run.h"

// Every pass reads the drawing from its first line: the reader reads the file
// again from its start (a piped drawing from the copy it kept); a stream that
// cannot go back is opened again by its name.
bool KxRewindDrawing(KxRun& run) {
  if (DxfRewindDrawing(run) || DxfOpenDrawing(run, run.io.in_filename.c_str())) return true;
  KxPrint(run, "open error\n");
  return false;
}

int KxReadLayers(KxRun& run) {
  getAcadVersion(run);
  if (!KxRewindDrawing(run)) return kxSTATUS_NO_DRAWING;
  KxPrint(run, "\n --Details--\n");
  getLayers(run);
  if (!KxRewindDrawing(run)) return kxSTATUS_NO_DRAWING;
  return kxSTATUS_OK;
}

int KxReadDrawing(KxRun& run) {
  if (int status = KxReadLayers(run); status != kxSTATUS_OK) return status;
  AddReservedElements(run);
  getElementsFromLayer(run);
  AddClosingElements(run);
  CheckStructs(run);
  return kxSTATUS_OK;
}

// Contours and NC program from the checked table; the number of contours.
static int ConvertDrawingElements(KxRun& run) {
  SearchKontur(run);
  ReorgStructs(run);
  KxReportUnits(run);

  KxPrint(run, "\n\t = %d OUTLINES\n", run.contours.count);
  if (run.contours.count >= 1) {
    SearchStartPoints(run);
    KxFindTopContours(run);
    PlaceAutoStartHoles(run);
    HolesAndTechno(run);
    ProbeNwdOut(run);
  } else {
    KxPrint(run, " PLEASE CHECK THE EDM-LAYER %c", 7);
  }
  return run.contours.count;
}

int KxConvertDrawing(KxRun& run) {
  // The writer's technology starts as the settings leave it; the settings stay as read.
  run.nc.techno = run.cfg.ktechno;
  // The layer list starts from the settings as they are now: the console reads
  // them into this run after creating it.
  StartLayerList(run);
  run.report.checkFaults = -1;
  KxLogSettingNotes(run);
  ConfigClearRefusal(run.cfg);
  SetDevSyntax(run, run.cfg.devTarget.c_str());
  CheckTechFile(run);
  KxLogLayout(run);
  // Without its machine words or cutting data a program must not be written.
  if (ConfigRefusal(run.cfg)[0]) {
    KxPrintRunSummary(run, kxSTATUS_BAD_CONFIG);
    return kxSTATUS_BAD_CONFIG;
  }
  int status = KxReadDrawing(run);
  if (status != kxSTATUS_OK) return status;
  if (ConvertDrawingElements(run) >= 1) {
    if (run.nc.ncWriteFailed) status = kxSTATUS_NO_PROGRAM;
    if (run.cfg.bulkDump) SaveStructs(run, (run.io.namePrefix + "_elemblk.txt").c_str(), "nach ProbeNwdOut()");
  }
  SaveStatistic(run);
  if (status == kxSTATUS_OK && KxNothingCut(run)) status = kxSTATUS_NOTHING_CUT;
  // The program just written, followed as the machine will: a fault found is the run's failure.
  if (run.cfg.checkProgram && run.contours.count >= 1 && !run.nc.ncWriteFailed && KxCheckOwnProgram(run) > 0 &&
      status == kxSTATUS_OK)
    status = kxSTATUS_FAULTS;
  KxPrintRunSummary(run, status);
  // A check whose page could not be written (said above) ends the run as an output
  // not written does; the summary still tells of the program, which was written.
  if (run.report.checkPageFailed && status == kxSTATUS_OK) status = kxSTATUS_NO_PROGRAM;
  return status;
}

KxRun::KxRun(const KxSettings& settings) : cfg(settings) {}
