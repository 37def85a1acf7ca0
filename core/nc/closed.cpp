// The closed contour writer: one contour's sub-program from its feed point,
// with technology and register lines, threading, lead-in to the split point,
// every element in chain order, hold point, lead-out and wire cut. Contours
// without feed point are checked for being a single hole.
#include <algorithm>
#include <cstring>
#include <vector>

#include "config/config.h"
#include "contours/contours.h"
#include "dxf/dxf.h"
#include "elements/elements.h"
#include "geometry/base.h"
#include "nc/nc.h"
#include "run/run.h"


static bool isContourMember(KxRun& run, long i, const char* kN) { return KxSameName(run.table.marks[i].kontur, kN); }

static float radiusAt(KxRun& run, long i) { return NcValidElement(run, i) ? run.table.elds[i].r : 0.0f; }

// The survey of a contour: its members that accept takes, counted, with the
// lowest and highest index; visit sees each of them in table order.
struct Members {
  long count = 0;
  long lowest = 0;   // set to the end of the table by the survey
  long highest = 0;
};

template <class Accept, class Visit>
static Members surveyMembers(KxRun& run, const char* kN, Accept accept, Visit visit) {
  Members m;
  m.lowest = run.table.eldsCounter;
  std::vector<long> members;
  KxMemberCandidates(run, kN, run.table.eldsCounter, members);
  for (long i : members) {
    const elementdaten& e = run.table.elds[i];
    if (!isContourMember(run, i, kN) || !accept(e)) continue;
    ++m.count;
    if (i < m.lowest) m.lowest = i;
    if (i > m.highest) m.highest = i;
    visit(e);
  }
  return m;
}

static void writeTechnologyLine(KxRun& run, FILE* os) {
  const eTechnologieData& e = run.nc.eTD[1];
  NcNoteTechLine(run, os, e.nwd, e.Speed, e.ist);
  NcPut(os, "%s%s\n", run.nc.eTD[1].nwd, run.cfg.mS.EOL);
  if (run.nc.eTD[1].ist == 0) ++run.nc.missETechnologie;
}

// A contour without feed-point record: a single large circle is a hole, anything else is trouble.
static void writeHoleOrTrouble(KxRun& run, FILE* os, int k, const char* kN, long feedElem, long firstElem, int child) {
  KxPrint(run, "\n -(%s) Bohrungen abfangen:", kN);
  KxPrint(run, " - fKMenge:%ld Erste:%ld  Letzte:%ld  \n ", 0L, run.table.eldsCounter, 0L);
  const Members m = surveyMembers(run, kN, [&run](const elementdaten& e) { return e.type == etCIR && e.r > run.cfg.gridRadius; },
                                  [](const elementdaten&) {});
  const long count = m.count, lowest = m.lowest, highest = m.highest;
  KxPrint(run, " - fKMenge:%ld Erste:%ld  Letzte:%ld  \n ", count, lowest, highest);

  if (count == 1) {
    const elementdaten& h = run.table.elds[lowest];
    // The wire goes in at a start hole drawn inside the hole, else at its centre.
    const long start = HoleStartFor(run, kN, lowest);
    const elementdaten& in = start >= 0 ? run.table.elds[start] : h;
    NcPut(os, "%s--HOLE-R%.3f--%s%s\n", run.cfg.mS.RemarkOn, h.r, run.cfg.mS.RemarkOff, run.cfg.mS.EOL);
    if (child == 0) {
      if (run.nc.techno.dQuali > 1) SimpleAsSubKontur(run, os, k, in.cx, in.cy);
      else writeTechnologyLine(run, os);
    }
    // Contours inside the hole are cut before it, as inside any other contour.
    SimpleAddChilds(run, os, k);
    KxPrint(run, " into: SimpleHoleForElement()\n");
    SimpleHoleForElement(run, os, lowest, start);
    KxLog(run, "\n %s: [%ld] HOLE", kN, lowest);
    return;
  }
  // The contour itself cannot be cut, but what lies inside it has start holes of
  // its own: call it, so that no block of the program is left without a caller.
  SimpleAddChilds(run, os, k);
  // Without an element behind an index the radius reads 0.
  NcPut(os, "%s--HOLE-FI-R%.3f--%s%s\n", run.cfg.mS.RemarkOn, radiusAt(run, firstElem), run.cfg.mS.RemarkOff, run.cfg.mS.EOL);
  NcPut(os, "%s--HOLE-FE-R%.3f--%s%s\n", run.cfg.mS.RemarkOn, radiusAt(run, feedElem), run.cfg.mS.RemarkOff, run.cfg.mS.EOL);
  NcPut(os, "%s%s-- %s HOLE TROUBLE --%s%s\n", run.cfg.mS.SubReturn, run.cfg.mS.RemarkOn, kN, run.cfg.mS.RemarkOff, run.cfg.mS.EOL);
  ++run.nc.bigTrouble;
  // A chain whose ends do not meet is open whether or not a start hole would have
  // let the wire in (with start holes placed by korvex it is left without one for that).
  if (KxChainIsOpen(run, k)) ++run.nc.openKoCounter;
}

// Register lines before the threading: per layer for a multi-layer contour, else for dReg.
static void writeRegisterLines(KxRun& run, FILE* os) {
  coTechno& t = run.nc.techno;
  if (t.dLWe > 0) {
    for (int y = 0; y < run.dxf.aktLayEntry; ++y) {
      const dxfLayerList& l = run.dxf.fLL[y];
      if (l.useReg == 0 || l.used <= 0) continue;
      NcPut(os, "%s%d=%s1%+.3f", run.cfg.mS.VReg, l.useReg, run.cfg.mS.VReg, l.useOft);
      if (run.cfg.dataInfo) NcPut(os, "%sLayer %s%s", run.cfg.mS.RemarkOn, NcRemarkText(run.cfg, l.Name).c_str(), run.cfg.mS.RemarkOff);
      NcPut(os, "%s\n", run.cfg.mS.EOL);
    }
    if (t.RoughOff != 0.0f) {
      NcPut(os, "(Rough)%s\n", run.cfg.mS.EOL);
      for (int y = 0; y < run.dxf.aktLayEntry; ++y) {
        const dxfLayerList& l = run.dxf.fLL[y];
        if (l.useReg == 0 || l.used <= 0) continue;
        NcPut(os, "%s%d=%s%d%+.3f", run.cfg.mS.VReg, l.useReg, run.cfg.mS.VReg, l.useReg, t.RoughOff);
        NcPut(os, "%s\n", run.cfg.mS.EOL);
      }
      NcPut(os, "(Rough-End)%s\n", run.cfg.mS.EOL);
    }
    return;
  }
  // Register 1 is the base every other register is defined from; it is never redefined.
  if (t.dReg == 1) return;
  NcPut(os, "%s%d=%s1", run.cfg.mS.VReg, t.dReg, run.cfg.mS.VReg);
  if (t.dReg >= 0 && t.dReg < kRegisterCount && t.dROff[t.dReg] != 0.0f) NcPut(os, "%+.3f", t.dROff[t.dReg]);
  if (run.cfg.dataInfo) NcPut(os, "%sDefault%s", run.cfg.mS.RemarkOn, run.cfg.mS.RemarkOff);
  NcPut(os, "%s\n", run.cfg.mS.EOL);
  if (t.RoughOff != 0.0f) {
    NcPut(os, "(Rough)%s\n", run.cfg.mS.EOL);
    NcPut(os, "%s%d=%s%d", run.cfg.mS.VReg, t.dReg, run.cfg.mS.VReg, t.dReg);
    NcPut(os, "%+.3f", t.RoughOff);
    NcPut(os, "%s\n", run.cfg.mS.EOL);
    NcPut(os, "(Rough-End)%s\n", run.cfg.mS.EOL);
    KxPrint(run, "\n ROUGH offset: %+.3f \n", t.RoughOff);
  }
}

// The word after an arc on an ISO layer: the single-radius word, with the radius where it says "$rad".
static void writeIsoRadius(KxSettings& cfg, FILE* os, float r) {
  const char* at = strstr(cfg.mS.SingleIsoRad, "$rad");
  if (at) {
    char head[sizeof cfg.mS.SingleIsoRad];
    size_t n = (size_t)(at - cfg.mS.SingleIsoRad);
    KxCopy(head, n + 1 < sizeof head ? n + 1 : sizeof head, cfg.mS.SingleIsoRad);
    NcPut(os, " %s%.3f", head, r);
  } else {
    NcPut(os, " %s", cfg.mS.SingleIsoRad);
  }
  if (cfg.dataInfo) NcPut(os, " (ISO)");
}

// The technology part of a contour cut from a start hole (a round punch or a
// closed contour): rotation, then, for a contour no other one calls, its cuts as
// a multi-cut sub-contour or its one technology line (with the piece origin in
// piece mode), the inset contours, the positioning chain and the rapid move to
// the feed point.
static void writeTechnologyPart(KxRun& run, FILE* os, int k, const char* kN, long feedElem, int child) {
  coTechno& t = run.nc.techno;
  const elementdaten& feed = run.table.elds[feedElem];
  if (t.HatRotation) NcPut(os, "%s%.3f%s\n", run.cfg.mS.RotateOn, t.dRotate, run.cfg.mS.EOL);
  if (child == 0) {
    if (t.dQuali > 1) {
      SimpleAsSubKontur(run, os, k, feed.cx, feed.cy);
    } else {
      if (t.G92Mode == dmPIECE) {
        NcPut(os, "G92 X%.3f Y%.3f", feed.cx, feed.cy);
        if (run.cfg.dataInfo) NcPut(os, " (SetCoord)");
        NcPut(os, "%s\n", run.cfg.mS.EOL);
        t.KonX = feed.cx;
        t.KonY = feed.cy;
      }
      writeTechnologyLine(run, os);
    }
  }
  SimpleAddChilds(run, os, k);
  SimplePosition_Chain(run, os, kN, feedElem);
  NcPut(os, "G00 X%.3f Y%.3f", feed.cx, feed.cy);
  if (run.cfg.dataInfo) NcPut(os, " (FeedPoint)");
  NcPut(os, "%s\n", run.cfg.mS.EOL);
}

// Planes (taper in piece mode), register lines, threading and generator on.
static void writeThreading(KxRun& run, FILE* os) {
  const coTechno& t = run.nc.techno;
  if (t.HatKonik == 1 && t.G92Mode == dmPIECE) NcPlaneLines(run, os);
  writeRegisterLines(run, os);
  if (t.NoFeed == 0) NcPut(os, "%s%s\n%s%s\n", run.cfg.mS.WireFeed, run.cfg.mS.EOL, run.cfg.mS.GenOn, run.cfg.mS.EOL);
  else NcPut(os, "%sNoFeed%s%s\n%s%s\n", run.cfg.mS.RemarkOn, run.cfg.mS.RemarkOff, run.cfg.mS.EOL, run.cfg.mS.GenOn, run.cfg.mS.EOL);
}

// A round punch: the circle is cut as an outer profile from a start hole beside
// it, so the wire stays outside and the punch keeps its size. The lead-in meets
// the circle at its nearest point; the circle goes round in the direction that
// keeps the wire on the start hole's side, with the hold point 4 degrees before
// the split point.
static void writePunch(KxRun& run, FILE* os, int k, const char* kN, long feedElem, long circleElem, int child, float splitX, float splitY) {
  coTechno& t = run.nc.techno;
  const elementdaten& feed = run.table.elds[feedElem];
  const elementdaten& c = run.table.elds[circleElem];
  KxPrint(run, "\n -(%s) round punch R%.3f from outside\n", kN, c.r);
  KxLog(run, "\n %s: [%ld] PUNCH", kN, circleElem);
  t.dLWe = 0;
  t.dAktL = c.fLayer;
  t.dAktR = t.dReg;
  writeTechnologyPart(run, os, k, kN, feedElem, child);
  writeThreading(run, os);

  if (t.dDLage != 41 && t.dDLage != 42) t.dDLage = 42;
  // Wire right of the path (G42) stays outside when the circle runs counter-clockwise.
  const int dir = t.dDLage == 42 ? kxG03 : kxG02;
  const double step = dir == kxG03 ? 1.0 : -1.0;
  NcPut(os, "G90G%dG44G%d%s\n", t.dDLage, t.dKLage, run.cfg.mS.EOL);
  NcPut(os, "G01 X%.3f Y%.3f", splitX, splitY);
  NcPut(os, "%s%s0", run.cfg.mS.NylOffset, run.cfg.mS.Angel);
  if (run.cfg.dataInfo) NcPut(os, " (SplittPoint)");
  NcPut(os, "%s\n", run.cfg.mS.EOL);
  const double a0 = WIV(c.cx, c.cy, splitX, splitY);
  const double ends[3] = {a0 + step * 180.0, a0 + step * 356.0, a0};
  float px = splitX, py = splitY;
  for (int n = 0; n < 3; ++n) {
    const float x = n == 2 ? splitX : c.cx + XARC(ends[n], c.r);
    const float y = n == 2 ? splitY : c.cy + YARC(ends[n], c.r);
    NcPut(os, "G%02d X%.3f Y%.3f I%.3f J%.3f", dir, x, y, c.cx - px, c.cy - py);
    if (n == 0) NcPut(os, " %s%d %s%.3f", run.cfg.mS.OffsetR, t.dReg, run.cfg.mS.Angel, t.dkonik);
    if (n == 1 && run.cfg.dataInfo) NcPut(os, " (StopPoint)");
    NcPut(os, "%s\n", run.cfg.mS.EOL);
    if (n == 1) {
      if (t.NoStop) NcPut(os, "%sNoStop%s%s\n", run.cfg.mS.RemarkOn, run.cfg.mS.RemarkOff, run.cfg.mS.EOL);
      else NcPut(os, "%s%s\n", run.cfg.mS.HoldPoint, run.cfg.mS.EOL);
    }
    px = x;
    py = y;
  }
  NcPut(os, "G01 X%.3f Y%.3f", feed.cx, feed.cy);
  NcPut(os, "%s%s0%s\n", run.cfg.mS.NylOffset, run.cfg.mS.Angel, run.cfg.mS.EOL);
  NcPut(os, "G40G43G50%s\n", run.cfg.mS.EOL);
  if (t.HatRotation && t.dQuali == 1) NcPut(os, "%s%s\n", run.cfg.mS.RotateOff, run.cfg.mS.EOL);
  if (t.NoCut == 0) NcPut(os, "%s%s\n%s", run.cfg.mS.WireCut, run.cfg.mS.EOL, run.cfg.mS.SubReturn);
  else NcPut(os, "%sNoCut%s%s\n%s", run.cfg.mS.RemarkOn, run.cfg.mS.RemarkOff, run.cfg.mS.EOL, run.cfg.mS.SubReturn);
  if (run.cfg.dataInfo) NcPut(os, KxConsole(run) ? "(-CLOSED.CONTOUR-)" : "(-CLOSED KONTOUR-)");
  NcPut(os, "%s\n", run.cfg.mS.EOL);
  fLayerList(run, ll_CLR_U, 0, nullptr, 0);
}

// A split point on an end of the first element, a corner: the cut leaves the
// corner along one of the two elements that meet there, the one the lead-in rule
// points along, and comes back along the other, which is cut last, with the hold
// point on it (the first element keeps nothing to hold the part by).
struct CornerSplit {
  long lead;     // the element cut from the split point
  long back;     // the element cut last, back into the corner; -1: the split point lies inside the first element
  int backDir;   // its arc word toward the corner, kxG02 or kxG03 (forward: toward its end point)
};

static CornerSplit cornerSplit(KxRun& run, float splitX, float splitY, long firstElem, float* qX, float* qY, int* clockType) {
  CornerSplit c{firstElem, -1, kxG03};
  const elementdaten& first = run.table.elds[firstElem];
  // Closer than half a thousandth the two points are written alike.
  const float kSame = 0.0005f;
  const bool atStart = LENC(splitX, splitY, first.sx, first.sy) <= kSame;
  if (!atStart && !(LENC(splitX, splitY, first.ex, first.ey) <= kSame)) return c;
  bool nStart = false;
  const long nb = ContourNeighbourAt(run, firstElem, splitX, splitY, &nStart);
  if (nb < 0) return c;
  const elementdaten& n = run.table.elds[nb];
  if (LENC(*qX, *qY, splitX, splitY) <= kSame) {
    // The rule runs the first element into the corner: the cut leaves along the
    // neighbour and comes back along the first element.
    c.lead = nb;
    c.back = firstElem;
    c.backDir = atStart ? kxG02 : kxG03;
    *qX = nStart ? n.ex : n.sx;
    *qY = nStart ? n.ey : n.sy;
    *clockType = nStart ? kxG03 : kxG02;
  } else {
    c.back = nb;
    c.backDir = nStart ? kxG02 : kxG03;
  }
  KxPrint(run, "\n corner split: lead %ld, back %ld G%02d\n", c.lead, c.back, c.backDir);
  return c;
}

// One closed contour's sub-program, in these steps:
//   A. a contour without a usable feed point: hole or trouble (writeHoleOrTrouble);
//   B. a circle entered from outside: round punch (writePunch);
//   C. survey: members, their index range and the layer changes;
//   D. technology part, register lines and threading (shared with the punch);
//   E. lead-in to the split point and along the first element;
//   F. the path: walked member by member from the split point, then written;
//   G. closing: hold point, lead-out, wire cut and return, or open-contour trouble.
// The end of a contour's block: compensation and taper off, the wire cut (or
// the remark that it is not) and the return, and what the walk came to.
static void closeContour(KxRun& run, FILE* os, const char* kN, bool closed) {
  const coTechno& t = run.nc.techno;
  NcPut(os, "G40G43G50%s\n", run.cfg.mS.EOL);
  if (t.HatRotation && t.dQuali == 1) NcPut(os, "%s%s\n", run.cfg.mS.RotateOff, run.cfg.mS.EOL);
  if (t.NoCut == 0 || !closed) NcPut(os, "%s%s\n%s", run.cfg.mS.WireCut, run.cfg.mS.EOL, run.cfg.mS.SubReturn);
  else NcPut(os, "%sNoCut%s%s\n%s", run.cfg.mS.RemarkOn, run.cfg.mS.RemarkOff, run.cfg.mS.EOL, run.cfg.mS.SubReturn);

  if (closed) {
    if (run.cfg.dataInfo) NcPut(os, KxConsole(run) ? "(-CLOSED.CONTOUR-)" : "(-CLOSED KONTOUR-)");
    KxPrint(run, " -CLOSED KONTOUR -\n");
    KxLog(run, " (CLOSED)");
  } else {
    NcPut(os, "%s-- %s OPEN CONTOUR TROUBLE --%s", run.cfg.mS.RemarkOn, kN, run.cfg.mS.RemarkOff);
    KxPrint(run, KxConsole(run) ? " -OPEN CONTOUR -\n" : " -OPEN KONTOUR -\n");
    KxLog(run, " (OPEN)");
  }
  NcPut(os, "%s\n", run.cfg.mS.EOL);
  fLayerList(run, ll_CLR_U, 0, nullptr, 0);
  if (!closed) ++run.nc.openKoCounter;
}

void SimpleClosedKontur(KxRun& run, NcWriting& w, FILE* os, int k, long feedElem, long firstElem) {
  char kN[16];
  KxContourName(kN, sizeof kN, k);
  KxPrint(run, "[%s] SimpleClosedKontur FEED:%ld  FIRST:%ld ", kN, feedElem, firstElem);
  // A rapid move of the previous contour never carries over into this one.
  KxCopy(run.nc.moveType, sizeof run.nc.moveType, "G01");
  const KxContour* contour = KxContourNamed(run, kN);
  const int child = contour && NcValidElement(run, contour->region) ? contour->parent : 0;

  // A four-axis contour whose wire would lean too far is not cut at all.
  if (contour && contour->topRefused) {
    NcPut(os, "%s%s-- %s FOUR-AXIS REFUSED --%s%s\n", run.cfg.mS.SubReturn, run.cfg.mS.RemarkOn, kN,
          run.cfg.mS.RemarkOff, run.cfg.mS.EOL);
    ++run.nc.topRefused;
    return;
  }
  // An index that addresses no record in use is no feed point either.
  if (!contour || !NcValidElement(run, feedElem) || !NcValidElement(run, firstElem)) {
    writeHoleOrTrouble(run, os, k, kN, feedElem, firstElem, child);
    return;
  }

  coTechno& t = run.nc.techno;
  const elementdaten& feed = run.table.elds[feedElem];
  const elementdaten& first = run.table.elds[firstElem];
  // The wire enters at the split point the start-point search found.
  const float splitX = contour->splitX, splitY = contour->splitY;
  // A round punch: a circle entered from a start hole outside it.
  if (first.type == etCIR) {
    writePunch(run, os, k, kN, feedElem, firstElem, child, splitX, splitY);
    return;
  }

  // C. Survey: members, their index range and the layer changes along the contour.
  // The layer changes are this contour's own; the count of an earlier contour
  // would ask for register lines this contour never writes.
  KxPrint(run, "\n");
  t.dLWe = 0;
  t.dAktL = first.fLayer;
  const Members m = surveyMembers(
      run, kN, [](const elementdaten& e) { return e.type == etARC || e.type == etLINE || e.type == etPNT || e.type == etTEXT; },
      [&run](const elementdaten& e) {
        if (e.type == etTEXT) KxPrint(run, " >%s \n", e.text);
        if (e.fLayer != run.nc.techno.dAktL) {
          ++run.nc.techno.dLWe;
          KxPrint(run, "-- Layer:%d (%s)\n", run.nc.techno.dAktL, NcLayer(run, run.nc.techno.dAktL).Name);
          if (e.fLayer >= 0 && e.fLayer < kMaxLayerEntries) run.dxf.fLL[e.fLayer].used = 1;
          run.nc.techno.dAktL = e.fLayer;
        }
      });
  const long count = m.count, lowest = m.lowest, highest = m.highest;
  t.dAktL = first.fLayer;
  t.dAktR = t.dReg;
  KxPrint(run, "\n -gefundene fKMenge:%ld ", count);
  KxPrint(run, " ErsteDerKontur:%ld  LetzteDerKontur:%ld \n", lowest, highest);
  KxPrint(run, " Layerwechsel:%d  FirstLayer:%d (%s)\n", t.dLWe, first.fLayer, NcLayer(run, first.fLayer).Name);
  KxPrint(run, " FeedLayer:%s  FirstLayer: %s \n", NcLayer(run, feed.fLayer).Name, NcLayer(run, first.fLayer).Name);
  if (count < 2) {
    KxPrint(run, " -canceld fKMenge:%ld\n ", count);
    // No path, but the called block must still return to its caller.
    NcPut(os, "%s%s\n", run.cfg.mS.SubReturn, run.cfg.mS.EOL);
    return;
  }
  KxLog(run, "\n %s: [%ld] %d", kN, firstElem, first.type);

  // D. Technology part.
  writeTechnologyPart(run, os, k, kN, feedElem, child);

  const bool multiLayer = t.dLWe > 0;
  if (multiLayer) {
    t.dAktL = first.fLayer;
    const dxfLayerList& l = NcLayer(run, first.fLayer);
    if (l.useReg > 0) t.dAktR = t.dReg = l.useReg;
    if (l.useKonik != 0.0f) t.dkonik = l.useKonik;
  }
  writeThreading(run, os);

  // E. Lead-in: to the split point, then along the first element toward the side dDLage asks for.
  float qX = first.ex, qY = first.ey;
  int clockType = kxG03;   // the arc's own direction, toward its end point, unless the lead-in rule says otherwise
  t.dDLage = GetFirstDLagePnt(run, feedElem, firstElem, splitX, splitY, t.dDLage, &qX, &qY, &clockType);
  const CornerSplit corner = cornerSplit(run, splitX, splitY, firstElem, &qX, &qY, &clockType);
  const elementdaten& lead = run.table.elds[corner.lead];
  NcPut(os, "G90G%dG44G%d%s\n", t.dDLage, t.dKLage, run.cfg.mS.EOL);
  // A contour with a top contour: both guides' paths instead of the two-axis walk.
  if (contour->upper && NcFourAxisPath(run, os, *contour, splitX, splitY, qX, qY, feed)) {
    closeContour(run, os, kN, true);
    return;
  }
  const char* move = SetMoveTypeForLayer(run, first.fLayer);
  NcPut(os, "%s X%.3f Y%.3f", move, splitX, splitY);
  NcPut(os, "%s%s0", run.cfg.mS.NylOffset, run.cfg.mS.Angel);
  if (run.cfg.dataInfo) NcPut(os, " (SplittPoint)");
  NcPut(os, "%s\n", run.cfg.mS.EOL);
  if (lead.type == etARC) {
    NcPut(os, "G%02d X%.3f Y%.3f", clockType, qX, qY);
    NcPut(os, " I%.3f", lead.cx - splitX);
    NcPut(os, " J%.3f", lead.cy - splitY);
  } else {
    NcPut(os, "%s X%.3f Y%.3f", corner.lead == firstElem ? move : SetMoveTypeForLayer(run, lead.fLayer), qX, qY);
  }
  NcPut(os, " %s%d", run.cfg.mS.OffsetR, t.dReg);
  NcPut(os, " %s%.3f%s\n", run.cfg.mS.Angel, multiLayer ? NcLayer(run, first.fLayer).useKonik : t.dkonik, run.cfg.mS.EOL);
  KxLog(run, "First: %ld | Last: %ld (Count:%ld) \n", lowest, highest, count);

  // The far end of the first element: a closed walk comes back to it. From a
  // corner the walk ends where the element back into the corner begins.
  const bool leadToEnd = qX == first.ex && qY == first.ey;
  float farX = leadToEnd ? first.sx : first.ex, farY = leadToEnd ? first.sy : first.ey;
  if (corner.back >= 0) {
    const elementdaten& b = run.table.elds[corner.back];
    farX = corner.backDir == kxG03 ? b.sx : b.ex;
    farY = corner.backDir == kxG03 ? b.sy : b.ey;
  }

  // F. The path: as many passes as members, each taking what joins the current point;
  // the contour keeps the walk as its cutting order.
  // Every element is taken once: turning back along a taken one would cut it again
  // and leave the rest of the contour uncut.
  // Only the member range is kept: a mark per record of the table for every
  // contour would cost the square of the drawing's size.
  std::vector<char> taken(highest >= lowest ? (size_t)(highest - lowest + 1) : 0, 0);
  if (corner.back >= lowest && corner.back <= highest) taken[corner.back - lowest] = 1;   // cut last, with the hold point
  long last = 0, previous = corner.lead;
  std::vector<KxCutStep> path;   // the members as the walk takes them
  path.reserve((size_t)count);
  // One member at the current point: taken (true) or passed over.
  auto visit = [&](long i) -> bool {
    if (i == corner.lead || i == feedElem || i == last || i == previous || taken[i - lowest]) return false;
    if (!isContourMember(run, i, kN)) return false;
    if (IsTolLenBetween(run, i, last, 0) == 1) KxPrint(run, " %ld<>%ld ", i, last);
    const elementdaten& e = run.table.elds[i];
    int dir = 0;
    bool took = false;
    if (e.type == etLINE || e.type == etARC) {
      if (IsTolLenB2P(run.cfg, e.sx, e.sy, qX, qY)) {
        dir = kxG03;
        qX = e.ex;
        qY = e.ey;
        took = true;
      } else if (IsTolLenB2P(run.cfg, e.ex, e.ey, qX, qY)) {
        dir = kxG02;
        qX = e.sx;
        qY = e.sy;
        took = true;
      }
    } else if (e.type == etPNT && e.sx == qX && e.sy == qY) {
      took = true;
    }
    if (!took) return false;
    taken[i - lowest] = 1;
    previous = last;
    last = i;
    path.push_back({(int32_t)i, (int8_t)(e.type == etPNT ? 0 : dir)});
    return true;
  };
  // The members' ends in a grid: a step can only take a member with an end at the
  // current point, or report one that meets the last element taken; the rest of
  // the range would be passed over without a word.
  std::vector<long> members, near, more;
  w.walkGrid.Reset((double)run.cfg.fPlusTol * (1.0 + 1e-6) + 1e-30);
  const bool gridWalk = w.walkGrid.Usable();
  if (gridWalk) {
    KxMemberCandidates(run, kN, run.table.eldsCounter, members);
    for (long i : members)
      if (i >= lowest && i <= highest && isContourMember(run, i, kN)) {
        w.walkGrid.Add(run.table.elds[i].sx, run.table.elds[i].sy, i);
        w.walkGrid.Add(run.table.elds[i].ex, run.table.elds[i].ey, i);
      }
  }
  for (long pass = 0; pass < count; ++pass) {
    KxPrint(run, "\nLoop: ");
    if (!gridWalk) {
      for (long i = lowest; i <= highest && i < run.table.eldsCounter; ++i) visit(i);
      continue;
    }
    for (long from = lowest;;) {
      const elementdaten& l = run.table.elds[last];
      w.walkGrid.Near(qX, qY, near);
      w.walkGrid.Near(l.sx, l.sy, more);
      near.insert(near.end(), more.begin(), more.end());
      w.walkGrid.Near(l.ex, l.ey, more);
      near.insert(near.end(), more.begin(), more.end());
      std::sort(near.begin(), near.end());
      near.erase(std::unique(near.begin(), near.end()), near.end());
      long took = -1;
      for (long i : near) {
        if (i < from || i > highest || i >= run.table.eldsCounter) continue;
        if (visit(i)) {
          took = i;
          break;
        }
      }
      if (took < 0) break;
      from = took + 1;
    }
  }

  // The path written, step by step.
  for (const KxCutStep& step : path) {
    const elementdaten& e = run.table.elds[step.element];
    // Where the wire is after the step: the end it went to.
    const float x = step.dir == kxG02 ? e.sx : e.ex, y = step.dir == kxG02 ? e.sy : e.ey;
    if (e.type == etPNT) {
      NcPut(os, "%s-actionpoint-%s", run.cfg.mS.RemarkOn, run.cfg.mS.RemarkOff);
    } else if (e.type == etLINE) {
      NcPut(os, "%s X%.3f Y%.3f", SetMoveTypeForLayer(run, e.fLayer), x, y);
    } else {
      NcPut(os, "G%02d X%.3f Y%.3f ", step.dir, x, y);
      if (step.dir == kxG03) NcPut(os, "I%.3f J%.3f", e.cx - e.sx, e.cy - e.sy);
      else NcPut(os, "I%.3f J%.3f", e.cx - e.ex, e.cy - e.ey);
    }
    if (multiLayer && e.type != etPNT) {
      if (e.fLayer != t.dAktL) t.dAktL = e.fLayer;
      const dxfLayerList& l = NcLayer(run, e.fLayer);
      if (l.useReg > 0 && l.useReg != t.dAktR) {
        NcPut(os, " %s%d", run.cfg.mS.OffsetR, l.useReg);
        t.dAktR = l.useReg;
      }
      if (e.type == etLINE) NcPut(os, " %s%.3f", run.cfg.mS.Angel, l.useKonik);
      else if (fLayerList(run, ll_AISO, e.fLayer, nullptr, 0)) writeIsoRadius(run.cfg, os, e.r);
      else NcPut(os, " %s%.3f", run.cfg.mS.Angel, l.useKonik);
    }
    NcPut(os, "%s\n", run.cfg.mS.EOL);
    KxLog(run, " %d", e.type);
  }
  if (KxContour* own = KxContourNamed(run, kN)) own->cut = std::move(path);

  // G. Closing. Only a walk that came back to the first element is closed; the
  // hold point and the move to the split point of an open one would cut straight
  // through the part, so it ends where its path ends, reported as trouble.
  const bool closed = IsTolLenB2P(run.cfg, qX, qY, farX, farY) == 1;
  if (closed) {
    if (corner.back >= 0) SimpleHoldPoint(run, os, splitX, splitY, corner.back, qX, qY, corner.backDir);
    else SimpleHoldPoint(run, os, splitX, splitY, firstElem, qX, qY, clockType);
    NcPut(os, "%s X%.3f Y%.3f", SetMoveTypeForLayer(run, first.fLayer), feed.cx, feed.cy);
    NcPut(os, "%s%s0%s\n", run.cfg.mS.NylOffset, run.cfg.mS.Angel, run.cfg.mS.EOL);
  }
  closeContour(run, os, kN, closed);
}
