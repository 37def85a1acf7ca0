// Entity conversion: reads the group-code/value pairs of one accepted entity
// into the staging registers, follows the subclass markers of 2000-format
// drawings, and appends the element records (polylines as start/vertex/close).
#include <cmath>
#include <cstring>

#include "dxf/dxf.h"
#include "elements/elements.h"
#include "geometry/base.h"

// A point computed from huge coordinates may overflow; the table only takes finite values.
static float finite(float v) { return std::isfinite(v) ? v : 0.0f; }

// Appends a record from the staging registers; true when the table took it.
static bool add(int typ, const char* text) {
  long before = eldsCounter;
  AddElement(typ, text);
  return eldsCounter > before;
}

// The records an entity leaves when its ending group 0 is reached.
static void addAtEnd(int eftype, int argument) {
  switch (eftype) {
    case etLINE:
      add(etLINE, gNoText);
      break;
    case etPOLY:
      sx = sy = ex = ey = 0;
      add(etDELETE, "next PYL");
      add(etPOLY, gNoText);
      break;
    case etVERT:
      ex = ey = 0;
      add(etVERT, gNoText);
      break;
    case etARC:
      if (sw < 0) sw += 360;
      if (ew < 0) ew += 360;
      sx = finite(XARC(sw, rd) + cx);
      sy = finite(YARC(sw, rd) + cy);
      ex = finite(XARC(ew, rd) + cx);
      ey = finite(YARC(ew, rd) + cy);
      add(etARC, gNoText);
      break;
    case etCIR:
      sx = ex = finite(cx + rd);
      sy = ey = cy;
      add(etCIR, gNoText);
      break;
    case etINSE:
    case etPNT:
      add(eftype, gNoText);
      break;
    case etTEXT:
      // A text was already added at its group 1.
      if (argument != etTEXT) add(etTEXT, gNoText);
      break;
    default:
      break;
  }
}

// Effective type after a subclass marker, or -1 when the marker ends the entity.
static int typeOfMarker(const char* marker) {
  struct Switch { const char* marker; int type; const char* note; };
  static const Switch switches[] = {
      {"AcDbLine", etLINE, " ..eftype changed2line\n"},
      {"AcDbCircle", etCIR, " ..eftype changed2circle\n"},
      {"AcDbArc", etARC, " ..eftype changed2arc\n"},
      {"AcDbPolyline", etPOLY, " ..eftype changed2poly\n"},
      {"AcDbVertex", etVERT, " ..eftype changed2vert\n"},
      {"AcDb2dVertex", etVERT, " ..eftype changed2vert\n"},
  };
  if (DxfIs(marker, "AcDbDictionary")) {
    KxPrint("  <return>\n");
    return -1;
  }
  for (const Switch& s : switches) {
    if (DxfIs(marker, s.marker)) {
      KxPrint("%s", s.note);
      return s.type;
    }
  }
  KxPrint(" ...BAD TYPE (%s)\n", marker);
  return -1;
}

int getElementsPoints(int etype) {
  int eftype = etype;
  char line[kDxfLineSize];
  char value[kDxfLineSize];
  while (DxfReadLine(line)) {
    if (DxfIs(line, "SEQEND")) {
      KxPrint(" ..<SEQEND break>\n");
      return 0;
    }
    int code = DxfCode(line);
    float number = DxfValue(line);
    if (code == 100) {
      if (!DxfReadLine(value)) return 0;
      KxPrint(" ..%s \n", value);
      eftype = typeOfMarker(value);
      if (eftype < 0) return 0;
      // The next group code is taken as it comes; the end test below still sees
      // the number 100, so a 0 right after a marker does not end the entity.
      if (!DxfReadLine(line)) return 0;
      code = DxfCode(line);
    }
    if (code == 0 && number == 0) {
      addAtEnd(eftype, etype);
      return 0;
    }
    if (code == 0) continue;  // a code 0 with another number reads no value
    if (!DxfReadLine(value)) return 0;
    float v = DxfValue(value);
    switch (code) {
      case 10: sx = cx = v; break;
      case 20: sy = cy = v; break;
      case 11: ex = v; break;
      case 21: ey = v; break;
      case 40: rd = v; break;
      case 50: sw = v; break;
      case 51: ew = v; break;
      case 1:
        if (add(eftype, gNoText)) KxCopy(elds[eldsCounter - 1].text, sizeof elds[0].text, value);
        break;
      case 2:
        KxPrint("[Name:%s]", value);
        // Only inserts of blocks named below "$" (such as "#1") stand for a point;
        // any other block is a drawing of its own and is left out.
        if (strcmp(value, "$") >= 0) {
          KxPrint(" ..<Name break>\n");
          return 0;
        }
        break;
      case 8:
        KxPrint("[8 CckL]");
        break;
      default:
        break;
    }
    // Lightweight polylines give their vertices as repeated 10/20 pairs.
    if (code == 20 && eftype == etPOLY && acad_IntVers > 1014) {
      ex = ey = 0;
      add(etVERT, gNoText);
    }
  }
  return 0;
}
