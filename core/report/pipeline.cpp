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

// Every pass reads the drawing from its first line: the reader reads the file
// again from its start (a piped drawing from the copy it kept); a stream that
// cannot go back is opened again by its name.
bool KxRewindDrawing() {
  if (DxfRewindDrawing() || DxfOpenDrawing(in_filename.c_str())) return true;
  KxPrint("open error\n");
  return false;
}

void KxResetRun() {
  ResetTraceState();
  ResetDxfRun();
  ResetElementRun();
  ResetContourState();
  ResetNcState();
  ReadToolpath(nullptr, &gToolpath);
}

int KxReadLayers() {
  getAcadVersion();
  if (!KxRewindDrawing()) return kxSTATUS_NO_DRAWING;
  KxPrint("\n --Details--\n");
  getLayers();
  if (!KxRewindDrawing()) return kxSTATUS_NO_DRAWING;
  return kxSTATUS_OK;
}

int KxReadDrawing() {
  if (int status = KxReadLayers(); status != kxSTATUS_OK) return status;
  AddReservedElements();
  getElementsFromLayer();
  AddClosingElements();
  CheckStructs();
  return kxSTATUS_OK;
}

// Contours and NC program from the checked table; the number of contours.
static int ConvertDrawingElements() {
  SearchKontur();
  ReorgStructs();

  KxPrint("\n\t = %d OUTLINES\n", gKonturCounter);
  if (gKonturCounter >= 1) {
    SearchStartPoints();
    PlaceAutoStartHoles();
    HolesAndTechno();
    ProbeNwdOut();
  } else {
    KxPrint(" PLEASE CHECK THE EDM-LAYER %c", 7);
  }
  return gKonturCounter;
}

int KxConvertDrawing() {
  KxLogSettingNotes();
  KxResetRun();
  ConfigClearRefusal();
  SetDevSyntax(gDevTarget.c_str());
  CheckTechFile();
  // Without its machine words or cutting data a program must not be written.
  if (ConfigRefusal()[0]) {
    KxPrintRunSummary(kxSTATUS_BAD_CONFIG);
    return kxSTATUS_BAD_CONFIG;
  }
  int status = KxReadDrawing();
  if (status != kxSTATUS_OK) return status;
  if (ConvertDrawingElements() >= 1) {
    if (gNcWriteFailed) status = kxSTATUS_NO_PROGRAM;
    if (gBulkOut) SaveStructs("_elemblk.txt", "nach ProbeNwdOut()");
  }
  SaveStatistic();
  if (status == kxSTATUS_OK && KxNothingCut()) status = kxSTATUS_NOTHING_CUT;
  KxPrintRunSummary(status);
  return status;
}
