// Line reading shared by every pass over the drawing: lines of at most 254
// characters (longer ones arrive in pieces), line ends removed so DOS and Unix
// drawings read alike, and the conversion of group codes and values.
#include <cfloat>
#include <cmath>
#include <cstring>

#include "dxf/dxf.h"
#include "geometry/base.h"

bool DxfReadLine(char* buf) {
  if (!buf) return false;
  buf[0] = '\0';
  if (!i_stream) return false;
  // fgets stops after 254 characters: the rest of a longer line is the next "line".
  if (!fgets(buf, kDxfLineSize, i_stream)) {
    buf[0] = '\0';
    return false;
  }
  KxCopy(buf, kDxfLineSize, stripLFCR(buf));
  return true;
}

int DxfCode(const char* line) { return (int)KxInteger(line); }

float DxfValue(const char* line) {
  double v = KxNumber(line);
  // A finite double beyond the float range would become infinite in the table.
  if (!(std::fabs(v) <= (double)FLT_MAX)) return 0.0f;
  return (float)v;
}

void ResetDxfState() {
  KxCopy(acad_VersInfo, sizeof acad_VersInfo, "....");
  acad_IntVers = 0;
  memset(fLL, 0, sizeof fLL);
  gAktLayEntry = 0;
  gMultiLayer = 1;
  gPositionLayer = 0;
  KxCopy(moveType, sizeof moveType, "G01");
  gLayerNameHook = nullptr;
}
