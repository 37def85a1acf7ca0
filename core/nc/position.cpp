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

static bool isPositionLine(long i, const char* kN) {
  const elementdaten& e = elds[i];
  if (e.type != etLINE || e.fLayer < 0 || e.fLayer >= kMaxLayerEntries) return false;
  return fLayerList(ll_APOSITION, e.fLayer, kN, i) == 1;
}

// Where the wire starts: the centre of the previous contour's first circle, else the origin.
static void chainStart(const char* kN, float* x, float* y) {
  *x = 0;
  *y = 0;
  long n = strncmp(kN, "$K", 2) == 0 ? KxInteger(kN + 2) : 0;
  if (n <= 1) return;
  char prev[24];
  KxContourName(prev, sizeof prev, (int)(n - 1));
  for (long i = 0; i < eldsCounter; ++i) {
    if (elds[i].type == etCIR && strstr(elds[i].kontur, prev)) {
      *x = elds[i].cx;
      *y = elds[i].cy;
      return;
    }
  }
}

void SimplePosition_Chain(FILE* ostream, const char* kN, long feedElem) {
  if (!kN) return;
  char line[128];
  if (gPositionLayer == 0) {
    if (KxConsole()) {
      KxPrint("[%s] Without Position-Layer\n", kN);
    } else {
      snprintf(line, sizeof line, "%s-- No Position-Layer! -DIRECTLY-%s%s\n", mS.RemarkOn, mS.RemarkOff, mS.EOL);
      KxPrint("%s", line);
    }
    return;
  }
  if (!NcValidElement(feedElem)) return;
  const float fx = elds[feedElem].cx, fy = elds[feedElem].cy;
  if (ktechno.KonX == fx && ktechno.KonY == fy) {
    snprintf(line, sizeof line, "%sOn Position%s%s\n", mS.RemarkOn, mS.RemarkOff, mS.EOL);
    KxPrint("%s", line);
    if (gDataInfo) NcPut(ostream, "%s", line);
    return;
  }

  KxPrint(" >> SimplePosition_Chain\n");
  float qx, qy;
  chainStart(kN, &qx, &qy);
  NcPut(ostream, "G00 X%.3f Y%.3f", qx, qy);
  if (gDataInfo) NcPut(ostream, " %sPosVector%s", mS.RemarkOn, mS.RemarkOff);
  NcPut(ostream, "%s\n", mS.EOL);

  for (long i = 0; i < eldsCounter; ++i)
    if (isPositionLine(i, kN)) elds[i].used = 0;

  // Lines must meet end to end exactly; the first matching line in table order is followed.
  KxPrint(" Suche position-kette:\n");
  for (long i = 0; i < eldsCounter; ++i) {
    if (!isPositionLine(i, kN) || elds[i].used != 0) continue;
    if (qx == fx && qy == fy) break;
    elementdaten& e = elds[i];
    if (e.sx == qx && e.sy == qy) {
      qx = e.ex;
      qy = e.ey;
    } else if (e.ex == qx && e.ey == qy) {
      qx = e.sx;
      qy = e.sy;
    } else {
      continue;
    }
    e.used = 1;
    NcPut(ostream, "G00 X%.3f Y%.3f", qx, qy);
    if (gDataInfo) NcPut(ostream, " %sN-PosVector%s", mS.RemarkOn, mS.RemarkOff);
    NcPut(ostream, "%s\n", mS.EOL);
    i = -1;   // every followed line restarts the scan from the top of the table
  }

  if (qx != fx && qy != fy)
    snprintf(line, sizeof line, KxConsole() ? "%sPosition: -DIRECTLY-%s%s\n" : "%sPosition-Trouble -DIRECTLY-%s%s\n",
             mS.RemarkOn, mS.RemarkOff, mS.EOL);
  else
    snprintf(line, sizeof line, "%sOn Position%s%s\n", mS.RemarkOn, mS.RemarkOff, mS.EOL);
  if (gDataInfo) NcPut(ostream, "%s", line);
}
