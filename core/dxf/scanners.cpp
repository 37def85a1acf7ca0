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
  struct Keyword { const char* line; int type; };
  static const Keyword keywords[] = {
      {"LINE", etLINE}, {"ARC", etARC},     {"CIRCLE", etCIR}, {"POLYLINE", etPOLY},
      {"VERTEX", etVERT}, {"INSERT", etINSE}, {"TEXT", etTEXT}, {"POINT", etPNT},
  };
  logHeader();
  char line[kDxfLineSize];
  while (DxfReadLine(line)) {
    for (const Keyword& k : keywords) {
      if (strcmp(line, k.line) != 0) continue;
      if (IsValidLayer(acad_IntVers) == 1) {
        if (k.type == etPOLY) AddElement(etPOLY, "begPoly");
        getElementsPoints(k.type);
      }
      break;
    }
  }
  KxPrint(" %ld Elemente found\n\n", eldsCounter);
  KxLog(" %ld Elemente found\n\n", eldsCounter);
  return 0;
}

int get1015ElementsFromLayer() {
  logHeader();
  char line[kDxfLineSize];
  while (DxfReadLine(line)) {
    if (strcmp(line, "AcDbEntity") != 0) continue;
    // Group code 8, then the layer name.
    if (!DxfReadLine(line) || !DxfReadLine(line)) break;
    if (strcmp(line, "AcDbDictionary") == 0 || strcmp(line, "AcDbAlignedDimension") == 0 ||
        strcmp(line, "AcDbIdBuffer") == 0) {
      KxPrint("  <break>\n");
      break;
    }
    if (strcmp(line, edmLayer) != 0) continue;
    // Group code 100, then the subclass marker.
    if (!DxfReadLine(line) || !DxfReadLine(line)) break;
    KxPrint("  AcDbEntity Element: %s\n", line);
    if (strcmp(line, "AcDbLine") == 0) {
      getElementsPoints(etLINE);
    } else if (strcmp(line, "AcDbPolyline") == 0 || strcmp(line, "AcDb2dPolyline") == 0) {
      addPolylineStart();
      getElementsPoints(etPOLY);
    } else if (strcmp(line, "AcDbVertex") == 0) {
      getElementsPoints(etVERT);
    } else if (strcmp(line, "AcDbCircle") == 0) {
      getElementsPoints(etCIR);  // arcs switch to etARC at their AcDbArc marker
    } else if (strcmp(line, "AcDbArc") == 0) {
      getElementsPoints(etARC);
    } else if (strcmp(line, "AcDbMText") == 0 || strcmp(line, "AcDbText") == 0) {
      getElementsPoints(etTEXT);
    } else if (strcmp(line, "AcDbEllipse") == 0) {
      KxPrint("\t\t\t\t [NOT SUPPORTED]\n ");
    }
  }
  KxPrint("found %ld Elements\n\n", eldsCounter);
  KxLog("found %ld Elements\n\n", eldsCounter);
  return 0;
}
