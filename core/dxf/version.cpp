// The version pass: finds the header variable $ACADVER, whose number decides
// how the layer table and the entities of the drawing are read.
#include "dxf/dxf.h"
#include "geometry/base.h"
#include "kxrun.h"

#include <cstring>


int getAcadVersion(KxRun& run) {
  static const char* const kVersion[] = {"$ACADVER"};
  char line[kDxfLineSize];
  bool found = DxfFindLine(run, line, kVersion, 1) == 0;
  // The group-code line, then the value; a file that ends before it keeps the old text.
  if (found && DxfReadLine(run, line) && DxfReadLine(run, line)) KxCopy(run.acad_VersInfo, sizeof run.acad_VersInfo, line);

  // "AC1015" -> "001015" -> 1015; only characters that exist are replaced.
  char digits[sizeof run.acad_VersInfo];
  KxCopy(digits, sizeof digits, run.acad_VersInfo);
  for (int i = 0; i < 2 && digits[i] != '\0'; ++i) digits[i] = '0';
  run.acad_IntVers = (int)KxInteger(digits);

  KxPrint(run, "\n ACAD-Version: %s", run.acad_VersInfo);
  KxPrint(run, "  Int-Version: %d \n", run.acad_IntVers);
  return 0;
}

bool DxfTwelveRules(KxRun& run) { return run.acad_IntVers < 1012; }
