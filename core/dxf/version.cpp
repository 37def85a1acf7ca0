// The version pass: finds the header variable $ACADVER, whose number decides
// how the layer table and the entities of the drawing are read, and $INSUNITS,
// the unit the drawing is drawn in. A drawing without $ACADVER is read in the
// layout its entities are written in.
#include "config/config.h"
#include "dxf/dxf.h"
#include "dxf/reading.h"
#include "geometry/base.h"
#include "run/run.h"

#include <cstring>

namespace {

// The value of a header variable: the group-code line, then the value; false at the end of the file.
bool headerValue(KxRun& run, char* line) { return DxfReadLine(run, line) && DxfReadLine(run, line); }

}  // namespace

// The unit the drawing is read in: the one DrawingUnits or --units chose, else the
// one its header declares.
static void chooseUnits(KxRun& run) {
  const KxUnit* declared = run.dxf.declaredUnits > 0 ? KxUnitByCode(run.dxf.declaredUnits) : nullptr;
  const KxUnit* chosen = run.cfg.drawingUnits ? run.cfg.drawingUnits : declared;
  // Millimetres, declared or not, are what every drawing was always read in:
  // nothing is said of them unless a choice overrides another declaration.
  const bool overridden = run.cfg.drawingUnits && declared != run.cfg.drawingUnits && run.dxf.declaredUnits > 0;
  run.dxf.unitsRead = chosen && (chosen->mm != 1.0 || overridden) ? chosen : nullptr;
  if (run.dxf.declaredUnits > 0 && !declared && !run.cfg.drawingUnits) {
    KxSay(run, " the drawing's $INSUNITS %d names no unit a part is drawn in - read in millimetres\n", run.dxf.declaredUnits);
    KxLog(run, " the drawing's $INSUNITS %d names no unit a part is drawn in - read in millimetres\n", run.dxf.declaredUnits);
  }
  if (!run.dxf.unitsRead) return;
  KxPrint(run, " drawing in %s, scaled by %g to millimetres\n", run.dxf.unitsRead->name, run.dxf.UnitScale());
  KxLog(run, " drawing in %s (%s), scaled by %g to millimetres\n", run.dxf.unitsRead->name,
        run.cfg.drawingUnits ? ConfigUnitsSource(run.cfg) : "$INSUNITS", run.dxf.UnitScale());
}

int getAcadVersion(KxRun& run) {
  // The header names its variables up to its ENDSEC; $ACADVER comes first in
  // every writer's header, $INSUNITS later. Without $ACADVER (small writers
  // leave the header out), a subclass marker or a lightweight polyline met
  // first says the entities follow the 2000-format rules; a $ACADVER further on
  // is taken as it always was.
  enum { kVersion, kUnits, kEnd, kMarker, kLightweight };
  static const char* const kWords[] = {"$ACADVER", "$INSUNITS", "ENDSEC", "AcDbEntity", "LWPOLYLINE"};
  char line[kDxfLineSize];
  run.dxf.declaredUnits = -1;
  run.dxf.layoutByEntities = false;
  bool found = false, inHeader = true;
  DxfSearch search{};
  for (int k; (k = DxfFindLine(run, search, line, kWords, 5)) >= 0;) {
    if (k == kEnd) {
      inHeader = false;
      if (found) break;
      continue;
    }
    if (k == kMarker || k == kLightweight) {
      if (found) continue;
      run.dxf.layoutByEntities = true;
      break;
    }
    if (!headerValue(run, line)) break;
    if (k == kUnits) {
      if (inHeader) run.dxf.declaredUnits = (int)KxInteger(line);
      continue;
    }
    if (!found) KxCopy(run.dxf.acad_VersInfo, sizeof run.dxf.acad_VersInfo, line);
    found = true;
    if (!inHeader) break;
  }

  // "AC1015" -> "001015" -> 1015; only characters that exist are replaced.
  char digits[sizeof run.dxf.acad_VersInfo];
  KxCopy(digits, sizeof digits, run.dxf.acad_VersInfo);
  for (int i = 0; i < 2 && digits[i] != '\0'; ++i) digits[i] = '0';
  run.dxf.acad_IntVers = (int)KxInteger(digits);
  if (run.dxf.layoutByEntities) run.dxf.acad_IntVers = 1015;

  KxPrint(run, "\n ACAD-Version: %s", run.dxf.acad_VersInfo);
  KxPrint(run, "  Int-Version: %d \n", run.dxf.acad_IntVers);
  if (run.dxf.layoutByEntities) {
    KxPrint(run, " no $ACADVER: the entities carry subclass markers, read as a 2000-format drawing\n");
    KxLog(run, " no $ACADVER: the entities carry subclass markers, read as a 2000-format drawing\n");
  }
  chooseUnits(run);
  return 0;
}

bool DxfTwelveRules(KxRun& run) { return run.dxf.acad_IntVers < 1012; }
