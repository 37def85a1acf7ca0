// One place that brings every subsystem back to the state of a fresh process,
// so tests and fuzz targets can run conversion after conversion.
#include "config/config.h"
#include "contours/contours.h"
#include "dxf/dxf.h"
#include "elements/elements.h"
#include "geometry/base.h"
#include "nc/nc.h"
#include "report/report.h"

void ResetAllState(KxRun& run) {
  ResetBaseState(run);
  ResetElementState(run);
  ResetDxfState(run);
  run.gRefusedEntities = 0;   // the entity conversion's count, which the reader's reset leaves alone
  ResetConfigState(run.cfg);
  ResetContourState(run);
  ResetNcState(run);
  ReadToolpath(run, nullptr, &run.gToolpath);
}
