// The element table: clearing it, appending records a reader built, the
// reserved and closing records, and the one-record console prints of the analysis.
#include <cmath>
#include <cstring>
#include <vector>

#include "elements/elements.h"
#include "geometry/base.h"
#include "run/run.h"

const char* const gNoText = "-na-";
const char* const gtRegInfo = "-region info-";
const char* const gtFeedPoint = "-possible feedpoint-";
const char* const gtStartPoint = "-possible Startpoint-";

KxNameKey::KxNameKey(const char* name) {
  char buf[16] = {};
  static_assert(sizeof(KxMarks::kontur) <= sizeof buf);
  if (name) memcpy(buf, name, strnlen(name, sizeof(KxMarks::kontur)));
  memcpy(&lo, buf, 8);
  memcpy(&hi, buf + 8, 8);
}

void ClearElements(KxRun& run) {
  for (long i = 0; i <= run.table.eldsCounter; ++i) {
    elementdaten& e = run.table.elds[i];
    e.type = etERA;
    e.fLayer = -1;
    e.text[0] = '\0';
    run.table.marks[i] = KxMarks{};
  }
  run.table.eldsCounter = 0;
}

// The reserved records keep the names of the working copies they once were. The
// first one has always kept an end angle of 0, every later one 360, as the dump shows.
void AddReservedElements(KxRun& run) {
  KxNewElement first;
  first.ew = 0;
  AddElement(run, etDELETE, first, "feedbuf");
  AddElement(run, etDELETE, KxNewElement{}, "sortbuf");
  AddElement(run, etCPY, KxNewElement{}, "arc copy");
  AddElement(run, etCPY, KxNewElement{}, "arc rotiert");
  AddElement(run, etCPY, KxNewElement{}, "point copy");
  AddElement(run, etCPY, KxNewElement{}, "point rotiert");
  AddElement(run, etDELETE, KxNewElement{}, "dabei");
}

// The marker records carry what the drawing's last entity left (the dump prints
// their centre); the first keeps its angles as well, the second has the fresh ones.
void AddClosingElements(KxRun& run) {
  const KxNewElement left = DxfLeftover(run);
  KxNewElement fresh = left;
  fresh.sw = 0;
  fresh.ew = 360;
  AddElement(run, etDELETE, left, gNoText);
  AddElement(run, etDELETE, fresh, "end");
}

void AddElement(KxRun& run, int typ, const KxNewElement& el, const char* opttext) {
  if (run.table.eldsCounter >= run.table.eldsMaximum) {
    // Said once: a drawing at the bound would otherwise print a line per refused entity.
    if (!run.table.maxElemBarrier) {
      KxPrint(run, "\n -more than %ld element records: nothing more is added, the drawing is cut short-\n", run.table.eldsMaximum);
      KxLog(run, "\n -more than %ld element records: nothing more is added, the drawing is cut short-\n", run.table.eldsMaximum);
    }
    run.table.maxElemBarrier = 1;
    return;
  }
  elementdaten& e = run.table.elds[run.table.eldsCounter];
  e.num = run.table.eldsCounter;
  e.type = typ;
  e.sx = el.sx;
  e.sy = el.sy;
  e.ex = el.ex;
  e.ey = el.ey;
  e.cx = el.cx;
  e.cy = el.cy;
  e.sw = el.sw;
  e.ew = el.ew;
  e.r = el.r;
  // A new record starts unmarked but for its contour name, which it has always
  // kept from a record once cleared at its place (none: clearing empties it).
  KxMarks& m = run.table.marks[run.table.eldsCounter];
  m.used = m.IsFirst = m.kElemX = m.child = 0;
  m.note = kNoteOwn;
  e.bulge = 0;
  e.polyOpen = 0;
  e.curve = 0;
  e.fLayer = run.table.aktLayName;
  if (opttext && strlen(opttext) > 2) KxCopy(e.text, sizeof e.text, opttext);
  if (typ == etPNT || typ == etTEXT) {
    e.cx = e.ex = el.sx;
    e.cy = e.ey = el.sy;
  }
  ++run.table.eldsCounter;
}

// A reader's element takes what it does not set from the one before it, but its
// angles start fresh once the one before is in the table.
bool AddNextElement(KxRun& run, int typ, KxNewElement& el, const char* opttext) {
  const long before = run.table.eldsCounter;
  AddElement(run, typ, el, opttext);
  if (run.table.eldsCounter == before) return false;
  el.sw = 0;
  el.ew = 360;
  return true;
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

const char* KxRecordText(const elementdaten& e, const KxMarks& m) {
  switch (m.note) {
    case kNoteDeleted: return "-del-";
    case kNoteFeedPoint: return gtFeedPoint;
    case kNoteStartPoint: return gtStartPoint;
    case kNoteNoText: return gNoText;
    case kNoteRegion: return gtRegInfo;
    case kNoteOwn: break;
  }
  return e.text;
}

void ePrintToStream(KxRun& run, const elementdaten& e, const KxMarks& m) {
  char kontur[sizeof m.kontur], text[sizeof e.text];
  KxCopy(kontur, sizeof kontur, m.kontur);
  KxCopy(text, sizeof text, KxRecordText(e, m));
  KxPrint(run, "\n [%ld]  (T:%s) (K:%s) IsFirst:%d  used:%d ", e.num, recordName(e.type), kontur, m.IsFirst, m.used);
  KxPrint(run, e.type == etCPY ? " ( orgIs:%ld" : " (kElemX:%ld", (long)m.kElemX);
  KxPrint(run, " )\n");
  KxPrint(run, " sx:%.3f sy:%.3f ex:%.3f ey:%.3f ", e.sx, e.sy, e.ex, e.ey);
  KxPrint(run, " len:%.3f ", e.len);
  if (e.type == etARC || e.type == etCIR || e.type == etINSE || e.type == etCPY)
    KxPrint(run, "\n cx:%.3f cy:%.3f rad:%.3f \n sw:%.3f ew:%.3f  ", e.cx, e.cy, e.r, e.sw, e.ew);
  if (e.type == etARC || e.type == etCPY) KxPrint(run, " bw:%.3f ", BOGENWINKEL(e.sw, e.ew));
  if (strcmp(text, gNoText) != 0) KxPrint(run, "\n text:%s ", text);
  KxPrint(run, "\n");
}

void ePrintTypeToStream(KxRun& run, long elnum) {
  if (run.table.eldsCounter < run.table.eldsMaximum && elnum >= 0 && elnum < run.table.eldsMaximum)
    KxPrint(run, "%s", typeTag(run.table.elds[elnum].type));
  else
    KxPrint(run, "-Limit A-");
}

void KxExtent::Add(double x, double y) {
  if (!std::isfinite(x) || !std::isfinite(y)) return;
  if (x < x0) x0 = x;
  if (y < y0) y0 = y;
  if (x > x1) x1 = x;
  if (y > y1) y1 = y;
}

// The whole circle of a flat arc of a large radius would make the box far too big.
void KxExtent::AddArc(double cx, double cy, double r, double a0, double sweep) {
  Add(cx + r * cos(a0), cy + r * sin(a0));
  Add(cx + r * cos(a0 + sweep), cy + r * sin(a0 + sweep));
  const bool full = fabs(sweep) >= 2 * M_PI - 1e-6;
  for (int q = 0; q < 4; ++q) {
    const double at = q * M_PI / 2;
    double d = fmod(sweep >= 0 ? at - a0 : a0 - at, 2 * M_PI);
    if (d < 0) d += 2 * M_PI;
    if (full || d <= fabs(sweep)) Add(cx + r * cos(at), cy + r * sin(at));
  }
}

void KxExtent::AddElement(const elementdaten& e) {
  if (e.type == etLINE) {
    Add(e.sx, e.sy);
    Add(e.ex, e.ey);
  } else if (e.type == etARC) {
    AddArc(e.cx, e.cy, e.r, e.sw / RAD2DEG, BOGENWINKEL(e.sw, e.ew) / RAD2DEG);
  } else {
    Add(e.cx - e.r, e.cy - e.r);
    Add(e.cx + e.r, e.cy + e.r);
  }
}
