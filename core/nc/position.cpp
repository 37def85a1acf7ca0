// The position chain writer: rapid moves that follow the lines of a position
// layer from the previous contour's hole to the feed point of the contour being
// written, so the wire avoids clamps and parts on its way.
#include <cstring>

#include "config/config.h"
#include "contours/contours.h"
#include "dxf/dxf.h"
#include "elements/elements.h"
#include "geometry/base.h"
#include "nc/nc.h"
#include "run/run.h"

static bool isPositionLine(KxRun& run, long i, const char* kN) {
  const elementdaten& e = run.table.elds[i];
  if (e.type != etLINE || e.fLayer < 0 || e.fLayer >= kMaxLayerEntries) return false;
  return fLayerList(run, ll_APOSITION, e.fLayer, kN, i) == 1;
}

// Where the wire starts: the centre of the previous contour's first circle, else the origin.
static void chainStart(KxRun& run, const char* kN, float* x, float* y) {
  *x = 0;
  *y = 0;
  long n = strncmp(kN, "$K", 2) == 0 ? KxInteger(kN + 2) : 0;
  if (n <= 1) return;
  char prev[24];
  KxContourName(prev, sizeof prev, (int)(n - 1));
  for (long i = 0; i < run.table.eldsCounter; ++i) {
    if (run.table.elds[i].type == etCIR && strstr(run.table.marks[i].kontur, prev)) {
      *x = run.table.elds[i].cx;
      *y = run.table.elds[i].cy;
      return;
    }
  }
}

void SimplePosition_Chain(KxRun& run, FILE* ostream, const char* kN, long feedElem) {
  if (!kN) return;
  char line[128];
  if (run.dxf.positionLayer == 0) {
    if (KxConsole(run)) {
      KxPrint(run, "[%s] Without Position-Layer\n", kN);
    } else {
      snprintf(line, sizeof line, "%s-- No Position-Layer! -DIRECTLY-%s%s\n", run.cfg.mS.RemarkOn, run.cfg.mS.RemarkOff, run.cfg.mS.EOL);
      KxPrint(run, "%s", line);
    }
    return;
  }
  if (!NcValidElement(run, feedElem)) return;
  const float fx = run.table.elds[feedElem].cx, fy = run.table.elds[feedElem].cy;
  if (run.nc.techno.KonX == fx && run.nc.techno.KonY == fy) {
    snprintf(line, sizeof line, "%sOn Position%s%s\n", run.cfg.mS.RemarkOn, run.cfg.mS.RemarkOff, run.cfg.mS.EOL);
    KxPrint(run, "%s", line);
    if (run.cfg.dataInfo) NcPut(ostream, "%s", line);
    return;
  }

  KxPrint(run, " >> SimplePosition_Chain\n");
  float qx, qy;
  chainStart(run, kN, &qx, &qy);
  NcPut(ostream, "G00 X%.3f Y%.3f", qx, qy);
  if (run.cfg.dataInfo) NcPut(ostream, " %sPosVector%s", run.cfg.mS.RemarkOn, run.cfg.mS.RemarkOff);
  NcPut(ostream, "%s\n", run.cfg.mS.EOL);

  for (long i = 0; i < run.table.eldsCounter; ++i)
    if (isPositionLine(run, i, kN)) run.table.marks[i].used = 0;

  // Lines must meet end to end exactly; the first matching line in table order is followed.
  KxPrint(run, " Suche position-kette:\n");
  for (long i = 0; i < run.table.eldsCounter; ++i) {
    if (!isPositionLine(run, i, kN) || run.table.marks[i].used != 0) continue;
    if (qx == fx && qy == fy) break;
    const elementdaten& e = run.table.elds[i];
    if (e.sx == qx && e.sy == qy) {
      qx = e.ex;
      qy = e.ey;
    } else if (e.ex == qx && e.ey == qy) {
      qx = e.sx;
      qy = e.sy;
    } else {
      continue;
    }
    run.table.marks[i].used = 1;
    NcPut(ostream, "G00 X%.3f Y%.3f", qx, qy);
    if (run.cfg.dataInfo) NcPut(ostream, " %sN-PosVector%s", run.cfg.mS.RemarkOn, run.cfg.mS.RemarkOff);
    NcPut(ostream, "%s\n", run.cfg.mS.EOL);
    i = -1;   // every followed line restarts the scan from the top of the table
  }

  if (qx != fx && qy != fy)
    snprintf(line, sizeof line, KxConsole(run) ? "%sPosition: -DIRECTLY-%s%s\n" : "%sPosition-Trouble -DIRECTLY-%s%s\n",
             run.cfg.mS.RemarkOn, run.cfg.mS.RemarkOff, run.cfg.mS.EOL);
  else
    snprintf(line, sizeof line, "%sOn Position%s%s\n", run.cfg.mS.RemarkOn, run.cfg.mS.RemarkOff, run.cfg.mS.EOL);
  if (run.cfg.dataInfo) NcPut(ostream, "%s", line);
}
