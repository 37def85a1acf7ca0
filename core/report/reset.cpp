// One place that brings every subsystem back to the state of a fresh process,
// so tests and fuzz targets can run conversion after conversion.
#include "config/config.h"
#include "contours/contours.h"
#include "dxf/dxf.h"
#include "elements/elements.h"
#include "geometry/base.h"
#include "nc/nc.h"
#include "report/report.h"

void ResetAllState() {
  ResetBaseState();
  ResetElementState();
  ResetDxfState();
  gRefusedEntities = 0;   // the entity conversion's count, which the reader's reset leaves alone
  ResetConfigState();
  ResetContourState();
  ResetNcState();
  ReadToolpath(nullptr, &gToolpath);
}
