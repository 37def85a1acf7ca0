// The entity pass: finds the entities of the selected layers, by their type
// line in 12-format drawings and by their AcDbEntity subclass marker in
// 2000-format drawings, and hands each to the entity conversion.
#include <cstring>

#include "config/config.h"
#include "dxf/dxf.h"
#include "elements/elements.h"
#include "geometry/base.h"

static void logHeader() {
  KxLog("\n %s (ACAD_VERSION: %s)\n Worklayer:%s\n\n-- Elements: ---\n", in_filename, acad_VersInfo, edmLayer);
}

// 2000-format polylines start with a record marked as the first of its polyline.
static void addPolylineStart() {
  long before = eldsCounter;
  AddElement(etPOLY, "begPoly");
  if (eldsCounter == before) return;
  elementdaten& e = elds[eldsCounter - 1];
  KxCopy(e.kontur, sizeof e.kontur, "xPFirst");
  e.used += 1;
}

int get1009ElementsFromLayer() {
  static const char* const keywords[] = {"LINE", "ARC", "CIRCLE", "POLYLINE", "VERTEX", "INSERT", "TEXT", "POINT"};
  static const int types[] = {etLINE, etARC, etCIR, etPOLY, etVERT, etINSE, etTEXT, etPNT};
  logHeader();
  char line[kDxfLineSize];
  int k;
  while ((k = DxfFindLine(line, keywords, 8)) >= 0) {
    if (IsValidLayer(acad_IntVers) == 1) {
      if (types[k] == etPOLY) AddElement(etPOLY, "begPoly");
      getElementsPoints(types[k]);
    }
  }
  KxPrint(" %ld Elemente found\n\n", eldsCounter);
  KxLog(" %ld Elemente found\n\n", eldsCounter);
  return 0;
}

int get1015ElementsFromLayer() {
  logHeader();
  static const char* const kEntity[] = {"AcDbEntity"};
  char line[kDxfLineSize];
  while (DxfFindLine(line, kEntity, 1) == 0) {
    // Group code 8, then the layer name.
    if (!DxfReadLine(line) || !DxfReadLine(line)) break;
    if (DxfIs(line, "AcDbDictionary") || DxfIs(line, "AcDbAlignedDimension") ||
        DxfIs(line, "AcDbIdBuffer")) {
      KxPrint("  <break>\n");
      break;
    }
    if (!DxfIs(line, edmLayer)) continue;
    // Group code 100, then the subclass marker.
    if (!DxfReadLine(line) || !DxfReadLine(line)) break;
    KxPrint("  AcDbEntity Element: %s\n", line);
    if (DxfIs(line, "AcDbLine")) {
      getElementsPoints(etLINE);
    } else if (DxfIs(line, "AcDbPolyline") || DxfIs(line, "AcDb2dPolyline")) {
      addPolylineStart();
      getElementsPoints(etPOLY);
    } else if (DxfIs(line, "AcDbVertex")) {
      getElementsPoints(etVERT);
    } else if (DxfIs(line, "AcDbCircle")) {
      getElementsPoints(etCIR);  // arcs switch to etARC at their AcDbArc marker
    } else if (DxfIs(line, "AcDbArc")) {
      getElementsPoints(etARC);
    } else if (DxfIs(line, "AcDbMText") || DxfIs(line, "AcDbText")) {
      getElementsPoints(etTEXT);
    } else if (DxfIs(line, "AcDbEllipse")) {
      KxPrint("\t\t\t\t [NOT SUPPORTED]\n ");
    }
  }
  KxPrint("found %ld Elements\n\n", eldsCounter);
  KxLog("found %ld Elements\n\n", eldsCounter);
  return 0;
}
