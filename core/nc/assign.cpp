// Technology assignment: relates the drawing's texts and holes to the contours
// before the NC output. Derives the plate and contour reference points from the
// feed-point holes, applies free texts as directives, attaches keyword texts to
// the contour of the nearest circle, and names contours by their star text.
#include <cstring>
#include <vector>

#include "config/config.h"
#include "contours/contours.h"
#include "elements/elements.h"
#include "geometry/base.h"
#include "nc/nc.h"
#include "run/run.h"

// Hole centre of contour kn: its feed point, else the first member that is a marker or a used circle.
// The feed point wins wherever it stands in the table: a start hole placed by
// korvex comes after the contour's region row, and the wire is threaded there.
// A contour without a hole falls back on its region's top left corner, in the
// place its region row has in the table.
static bool contourHole(KxRun& run, const char* kn, long* at, float* x, float* y) {
  const KxContour* contour = KxContourNamed(run, kn);
  auto found = [&](long i, float fx, float fy, const char* tag) {
    *x = fx;
    *y = fy;
    KxPrint(run, "%s", tag);
    KxLog(run, "%s", tag);
    *at = i;
    return true;
  };
  if (contour && KxStillFed(run, *contour))
    return found(contour->startHole, run.table.elds[contour->startHole].cx, run.table.elds[contour->startHole].cy, "(F)");
  std::vector<long> members;
  KxMemberCandidates(run, kn, run.table.eldsCounter, members);
  for (long i : members) {
    const elementdaten& e = run.table.elds[i];
    const KxMarks& m = run.table.marks[i];
    if (strcmp(m.kontur, kn) != 0) continue;
    if (contour && i == contour->region && contour->elementCount > 0) return found(i, contour->reachLeft, contour->reachTop, "(D)");
    if (e.type == etCIR && m.used > 0) return found(i, e.sx, e.sy, "(C)");
  }
  return false;
}

void HolesAndTechno(KxRun& run) {
  coTechno& t = run.nc.techno;
  t.PltX = t.KonX = 2899.9f;
  t.PltY = t.KonY = 2999.9f;
  KxLog(run, "\n\n Bohrungsliste:");
  KxPrint(run, " Bohrungsliste:");
  char name[16];
  // The reference points start from the first hole: a fixed start value would
  // stand in for every hole beyond it, and a drawing in machine coordinates got a
  // plate point no hole lies at. Without a hole they keep their marks.
  bool anyHole = false;
  // The hole search renames nothing: the contours' records are filed once.
  KxMemberIndex members(run, false);
  for (int k = 1; k <= run.contours.count; ++k) {
    KxContourName(name, sizeof name, k);
    KxPrint(run, "\n %s:", name);
    KxLog(run, "\n %s", name);
    t.KonX = 1899.9f;
    t.KonY = 1999.9f;
    long at = -1;
    float x = 0, y = 0;
    if (!contourHole(run, name, &at, &x, &y)) continue;
    KxPrint(run, " r:%.2f ", run.table.elds[at].r);
    KxPrint(run, " x:%8.3f  y:%8.3f ", x, y);
    // The contour point is the contour's hole; the plate point ends as the
    // smallest x and the smallest y over all holes.
    t.KonX = x;
    t.KonY = y;
    if (!anyHole || x <= t.PltX) t.PltX = x;
    if (!anyHole || y <= t.PltY) t.PltY = y;
    anyHole = true;
    KxLog(run, " R:%.3f", run.table.elds[at].r);
    KxLog(run, " x:%8.3f  y:%8.3f ", x, y);
  }
  KxLog(run, "\n\n Plt X:%8.3f Y:%8.3f ", t.PltX, t.PltY);
  KxLog(run, "\n Kon X:%8.3f Y:%8.3f \n", t.KonX, t.KonY);
  KxPrint(run, "\n -ktechno.KonX: %8.3f   ktechno.KonY: %8.3f\n", t.KonX, t.KonY);
  KxPrint(run, " -ktechno.PltX: %8.3f   ktechno.PltY: %8.3f\n", t.PltX, t.PltY);
  KxPrint(run, "\n");

  KxPrint(run, "\n >Direktiven:\n");
  KxLog(run, "\n\n Direktiven:");
  for (long i = 0; i < run.table.eldsCounter; ++i)
    if (run.table.elds[i].type == etTEXT && run.table.marks[i].kontur[0] == '\0') SetTechnologie(run, run.table.elds[i].text, i);
  KxPrint(run, "\n >Direktiven end\n\n");

  KxPrint(run, "\n >TEXT to holes:\n");
  KxLog(run, "\n\n TEXT to holes::");
  for (long i = 0; i < run.table.eldsCounter; ++i)
    if (run.table.elds[i].type == etTEXT) TextToFeedPointKontur(run, i);
  KxTraceCounts(run);
  // What each contour holds now that every record has its contour; the first
  // star text a contour got names it.
  std::vector<size_t> member(run.contours.all.size(), 0);   // per contour: its members passed so far
  for (KxContour& c : run.contours.all) {
    c.extras.clear();
    c.nameText = -1;
  }
  for (long i = 0; i < run.table.eldsCounter; ++i) {
    const elementdaten& e = run.table.elds[i];
    KxContour* c = KxContourNamed(run, run.table.marks[i].kontur);
    if (!c) continue;
    size_t& m = member[(size_t)c->number];
    while (m < c->members.size() && c->members[m] < i) ++m;   // the chaining's members keep their name
    if (m < c->members.size() && c->members[m] == i) ++m;
    else c->extras.push_back(i);
    if (e.type == etTEXT && strchr(e.text, '*') && c->nameText < 0) c->nameText = i;
  }
  // Kept to the end of the run, for tens of thousands of contours: no room to spare.
  for (KxContour& c : run.contours.all) c.extras.shrink_to_fit();
  KxPrint(run, " >TEXT to holes end\n\n");
}

void TextToFeedPointKontur(KxRun& run, long telem) {
  if (telem < 0 || telem >= run.table.eldsCounter) return;
  const elementdaten& t = run.table.elds[telem];
  KxMarks& tm = run.table.marks[telem];
  float nearest = 5000.0f;   // distance to the circle that has the text so far
  KxCopy(tm.kontur, sizeof tm.kontur, "info");
  bool candidate = strchr(t.text, '=') || strchr(t.text, '*') || strchr(t.text, '!') || strchr(t.text, 'Q');
  if (strstr(t.text, "#DIR")) {
    // A directive stays a global text for the program head.
    KxPrint(run, " '#DIR' Directive found \n");
    tm.kontur[0] = '\0';
    candidate = false;
  }
  if (candidate) {
    bool anyCircle = false;
    for (long i = 0; i < run.table.eldsCounter; ++i) {
      const elementdaten& c = run.table.elds[i];
      const KxMarks& cm = run.table.marks[i];
      if (c.type != etCIR) continue;
      if (strcmp(cm.kontur, "$") == 0) {
        if (KxTraceNext(run, ktTEXT_CIRCLE)) KxPrint(run, "etCIR no Konturname\n");
        continue;
      }
      anyCircle = true;
      // Only a circle of a contour can carry a text: a start hole that no contour
      // uses (released, or never claimed) would turn it into a global directive.
      if (strncmp(cm.kontur, "$K", 2) != 0) continue;
      // Strictly nearer only: of two circles at the same distance the first one keeps the text.
      float d = LENC(t.sx, t.sy, c.cx, c.cy);
      if (d < nearest) {
        nearest = d;
        KxCopy(tm.kontur, sizeof tm.kontur, cm.kontur);
      }
    }
    if (anyCircle && strcmp(tm.kontur, "info") == 0) {
      KxPrint(run, "Textelement %ld belongs to no contour, not applied: %s \n", telem, t.text);
      KxLog(run, "\n Textelement %ld belongs to no contour, not applied: %s", telem, t.text);
    }
  }
  KxPrint(run, "Textelement %ld  an Kontur: %s  ", telem, tm.kontur);
  KxPrint(run, " (len:%f) %s \n", nearest, t.text);
}

void GetKonturName(KxRun& run, const char* kn, FILE* ostream) {
  long found = -1;
  std::vector<long> members;
  if (kn) KxMemberCandidates(run, kn, run.table.eldsCounter, members);
  for (long i : members) {
    const elementdaten& e = run.table.elds[i];
    if (e.type == etTEXT && strcmp(run.table.marks[i].kontur, kn) == 0 && strchr(e.text, '*')) {
      found = i;
      break;
    }
  }
  PutKonturName(run, found, ostream);
}

void PutKonturName(KxRun& run, long textElem, FILE* ostream) {
  char result[sizeof run.cfg.mS.RemarkOn + 40 + sizeof run.cfg.mS.RemarkOff];
  snprintf(result, sizeof result, " %sNoName%s", run.cfg.mS.RemarkOn, run.cfg.mS.RemarkOff);
  const bool valid = textElem >= 0 && textElem < run.table.eldsCounter;
  const char* star = valid ? strchr(run.table.elds[textElem].text, '*') : nullptr;
  if (star) {
    char drawn[33];
    KxCopy(drawn, sizeof drawn, star + 1);
    if (char* blank = strchr(drawn, ' ')) *blank = '\0';
    snprintf(result, sizeof result, " %s%s%s", run.cfg.mS.RemarkOn, NcRemarkText(run.cfg, drawn).c_str(), run.cfg.mS.RemarkOff);
  }
  if (ostream) fputs(result, ostream);
}
