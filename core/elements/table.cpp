// The element table: clearing it, appending records from the staging registers,
// copying records into working slots and rotating a copied arc, finding a
// contour's region record, and the one-record console prints of the analysis.
#include <cstring>
#include <vector>

#include "contours/contours.h"
#include "elements/elements.h"
#include "geometry/base.h"

KxGrowingTable<elementdaten> elds;
long eldsMaximum = kMaxElementRecords;
long eldsCounter = 0;
int StructsChecked = 0;
int gMaxELemBarrier = 0;
int gAktLayName = 0;
float sx, sy, ex, ey, cx, cy, sw, ew, rd;
const char* const gNoText = "-na-";
const char* const gtRegInfo = "-region info-";

void ResetElementState() {
  elds.Clear();
  eldsMaximum = kMaxElementRecords;
  eldsCounter = 0;
  gMaxELemBarrier = 0;
  ResetElementRun();
}

void ResetElementRun() {
  ClearElements();
  StructsChecked = 0;
  gAktLayName = 0;
  gKilledElements = 0;
  gDuplicateElements = 0;
  // A polyline's start record takes the registers as the entity before it left them.
  sx = sy = ex = ey = cx = cy = sw = ew = rd = 0;
}

void ClearElements() {
  for (long i = 0; i <= eldsCounter; ++i) {
    elementdaten& e = elds[i];
    e.type = etERA;
    e.child = 0;
    e.fLayer = -1;
    e.used = 0;
    e.IsFirst = 0;
    e.kElemX = 0;
    e.kontur[0] = '\0';
    e.text[0] = '\0';
  }
  eldsCounter = 0;
}

void AddReservedElements() {
  AddElement(etDELETE, "feedbuf");
  AddElement(etDELETE, "sortbuf");
  AddElement(etCPY, "arc copy");
  AddElement(etCPY, "arc rotiert");
  AddElement(etCPY, "point copy");
  AddElement(etCPY, "point rotiert");
  AddElement(etDELETE, "dabei");
}

void AddClosingElements() {
  AddElement(etDELETE, gNoText);
  AddElement(etDELETE, "end");
}

void AddElement(int typ, const char* opttext) {
  if (eldsCounter >= eldsMaximum) {
    // Said once: a drawing at the bound would otherwise print a line per refused entity.
    if (!gMaxELemBarrier) {
      KxPrint("\n -more than %ld element records: nothing more is added, the drawing is cut short-\n", eldsMaximum);
      KxLog("\n -more than %ld element records: nothing more is added, the drawing is cut short-\n", eldsMaximum);
    }
    gMaxELemBarrier = 1;
    return;
  }
  elementdaten& e = elds[eldsCounter];
  e.num = eldsCounter;
  e.type = typ;
  e.sx = sx;
  e.sy = sy;
  e.ex = ex;
  e.ey = ey;
  e.cx = cx;
  e.cy = cy;
  e.sw = sw;
  e.ew = ew;
  e.r = rd;
  e.used = e.IsFirst = 0;
  e.kElemX = 0;
  e.child = 0;
  e.bulge = 0;
  e.polyOpen = 0;
  e.curve = 0;
  e.fLayer = gAktLayName;
  if (opttext && strlen(opttext) > 2) KxCopy(e.text, sizeof e.text, opttext);
  if (typ == etPNT || typ == etTEXT) {
    e.cx = e.ex = sx;
    e.cy = e.ey = sy;
  }
  sw = 0;
  ew = 360;
  ++eldsCounter;
}

static bool isCopySlot(long i) { return i >= 2 && i <= 5; }

void CopyElementInto(long des, long tar) {
  if (eldsCounter >= eldsMaximum) { KxPrint("-Limit BiX-"); return; }
  if (des >= eldsMaximum) { KxPrint("-Limit BiD>-"); return; }
  if (tar >= eldsMaximum) { KxPrint("-Limit BiT>-"); return; }
  if (des < 0) { KxPrint("-Limit BiD0-"); return; }
  if (tar < 0) { KxPrint("-Limit BiT0-"); return; }
  const elementdaten& s = elds[des];
  elementdaten& t = elds[tar];
  if (&s == &t) return;
  t.sx = s.sx; t.sy = s.sy; t.ex = s.ex; t.ey = s.ey;
  t.cx = s.cx; t.cy = s.cy; t.sw = s.sw; t.ew = s.ew;
  t.r = s.r; t.child = s.child; t.fLayer = s.fLayer; t.curve = s.curve;
  if (isCopySlot(tar)) {
    t.kElemX = des;
    return;
  }
  t.type = s.type;
  t.used = s.used;
  t.IsFirst = s.IsFirst;
  t.kElemX = s.kElemX;
  memcpy(t.text, s.text, sizeof t.text);
  memcpy(t.kontur, s.kontur, sizeof t.kontur);
}

void RotaElementCopy() {
  CopyElementInto(2, 3);
  elementdaten& t = elds[3];
  float ccx = t.cx, ccy = t.cy, r = t.r;
  t.sx = XARC(0, r) + ccx;
  t.sy = YARC(0, r) + ccy;
  t.sw = 0;
  if (KxConsole()) KxPrint(" [rota 2]");
  float b = BOGENWINKEL(elds[2].sw, elds[2].ew);
  t.ex = XARC(b, r) + ccx;
  t.ey = YARC(b, r) + ccy;
  t.ew = b;
  ePrintToStream(t);
}

static std::vector<long> gRegionLookup;   // records that may be contour kn's, for GetRegionElement

long GetRegionElement(const char* kn) {
  if (!kn) return -1;
  long top = eldsCounter;
  std::vector<long>& members = gRegionLookup;
  KxMemberCandidates(kn, top, members);
  for (auto it = members.rbegin(); it != members.rend(); ++it) {
    const long i = *it;
    if (i >= 1 && strcmp(elds[i].kontur, kn) == 0 && strcmp(elds[i].text, gtRegInfo) == 0) return i;
  }
  return -1;
}

static const char* recordName(int t) {
  static const char* const names[] = {"LINE", "POLY", "VERT", "ARC", "CIRC", "INSE",
                                      "TEXT", "POINT", "-DEL-", "-aCOPY-"};
  return t >= 0 && t <= etCPY ? names[t] : "****";
}

static const char* typeTag(int t) {
  static const char* const tags[] = {"LIN", "POL", "VER", "ARC", "CIR",
                                     "INS", "TEX", "PNT", "DEL", "CPY"};
  return t >= 0 && t <= etCPY ? tags[t] : "***";
}

void ePrintToStream(elementdaten eld) {
  eld.kontur[sizeof eld.kontur - 1] = '\0';
  eld.text[sizeof eld.text - 1] = '\0';
  KxPrint("\n [%ld]  (T:%s) (K:%s) IsFirst:%d  used:%d ", eld.num, recordName(eld.type),
          eld.kontur, eld.IsFirst, eld.used);
  KxPrint(eld.type == etCPY ? " ( orgIs:%ld" : " (kElemX:%ld", eld.kElemX);
  KxPrint(" )\n");
  KxPrint(" sx:%.3f sy:%.3f ex:%.3f ey:%.3f ", eld.sx, eld.sy, eld.ex, eld.ey);
  KxPrint(" len:%.3f ", eld.len);
  if (eld.type == etARC || eld.type == etCIR || eld.type == etINSE || eld.type == etCPY)
    KxPrint("\n cx:%.3f cy:%.3f rad:%.3f \n sw:%.3f ew:%.3f  ", eld.cx, eld.cy, eld.r, eld.sw, eld.ew);
  if (eld.type == etARC || eld.type == etCPY) KxPrint(" bw:%.3f ", BOGENWINKEL(eld.sw, eld.ew));
  if (strcmp(eld.text, gNoText) != 0) KxPrint("\n text:%s ", eld.text);
  KxPrint("\n");
}

void ePrintTypeToStream(long elnum) {
  if (eldsCounter < eldsMaximum && elnum >= 0 && elnum < eldsMaximum)
    KxPrint("%s", typeTag(elds[elnum].type));
  else
    KxPrint("-Limit A-");
}
