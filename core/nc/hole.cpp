// The hole writer: a contour made of one circle larger than the grid radius is
// cut from the start hole drawn inside it, else from its centre (entering at 0
// degrees), along the radius through that point and round clockwise in four arcs
// with the hold point before the last, which overlaps the start by 10 degrees.
#include <vector>

#include "config/config.h"
#include "contours/contours.h"
#include "dxf/dxf.h"
#include "elements/elements.h"
#include "geometry/base.h"
#include "nc/nc.h"
#include "run/run.h"

// End angles of the four arcs, counter-clockwise from the split point (at 0
// degrees when the hole is threaded at its centre).
static const double kHoleAngles[4] = {240.0, 120.0, 15.0, 350.0};

long HoleStartFor(KxRun& run, const char* kN, long elem) {
  if (!kN || !NcValidElement(run, elem) || run.table.elds[elem].type != etCIR) return -1;
  const elementdaten& c = run.table.elds[elem];
  long best = -1;
  float bestGap = 0;
  std::vector<long> members;
  KxMemberCandidates(run, kN, run.table.eldsCounter, members);
  for (long i : members) {
    const elementdaten& s = run.table.elds[i];
    if (i == elem || s.type != etCIR || !(s.r < run.cfg.gridRadius) || run.table.marks[i].used > 0 || !KxSameName(run.table.marks[i].kontur, kN)) continue;
    const float d = LENC(c.cx, c.cy, s.cx, s.cy);
    if (!(d < c.r)) continue;
    // A start hole at the centre is where a hole is threaded anyway.
    if (IsTolLenB2P(run.cfg, c.cx, c.cy, s.cx, s.cy)) return -1;
    // Of several, the one with the shortest lead-in, as for any contour; of
    // lead-ins equal within the tolerance the first drawn, so that rounding
    // never decides between them.
    if (best < 0 || c.r - d < bestGap - run.cfg.fPlusTol) {
      best = i;
      bestGap = c.r - d;
    }
  }
  return best;
}

void SimpleHoleForElement(KxRun& run, FILE* ostream, long elem, long startHole) {
  const char* refusal = nullptr;
  if (elem >= run.table.eldsMaximum || elem < 0) refusal = "-Limit Ho-";
  else if (run.table.elds[elem].type != etCIR) refusal = "-Err HoT-";
  if (refusal) {
    KxPrint(run, "%s", refusal);
    // The contour's sub-program was opened by its caller: it still gets its return.
    NcPut(ostream, "%s%s\n", run.cfg.mS.SubReturn, run.cfg.mS.EOL);
    return;
  }

  const elementdaten& c = run.table.elds[elem];
  const coTechno& t = run.nc.techno;
  if (t.HatKonik == 1 && t.G92Mode == dmPIECE) NcPlaneLines(run, ostream);
  if (t.dReg != 1) {
    NcPut(ostream, "%s%d=%s1", run.cfg.mS.VReg, t.dReg, run.cfg.mS.VReg);
    if (t.dReg >= 0 && t.dReg < kRegisterCount && t.dROff[t.dReg] != 0.0f) NcPut(ostream, "%+.3f", t.dROff[t.dReg]);
    NcPut(ostream, "%s\n", run.cfg.mS.EOL);
  }
  // Register 4 carries the hole offset on top of the register in force.
  if (!(t.dReg == 4 && t.dHole == 0.0f)) {
    NcPut(ostream, "%s4=%s%d", run.cfg.mS.VReg, run.cfg.mS.VReg, t.dReg);
    if (t.dHole != 0.0f) NcPut(ostream, "%+.3f", t.dHole);
    if (run.cfg.dataInfo) NcPut(ostream, "(HoleOffset)");
    NcPut(ostream, "%s\n", run.cfg.mS.EOL);
  }

  // The wire is threaded where the shop drilled: at the start hole drawn inside
  // the circle, else at the centre. The lead-in runs along the radius through
  // the threading point, so the circle is split where that radius meets it and
  // every arc, the hold point and the overlap turn with the split point.
  const bool drawn = NcValidElement(run, startHole) && startHole != elem;
  const float tx = drawn ? run.table.elds[startHole].cx : c.cx, ty = drawn ? run.table.elds[startHole].cy : c.cy;
  const double a0 = drawn ? WIV(c.cx, c.cy, tx, ty) : 0.0;
  float sx = c.cx + c.r, sy = c.cy;
  if (drawn) {
    sx = c.cx + XARC(a0, c.r);
    sy = c.cy + YARC(a0, c.r);
    KxPrint(run, " threaded at the start hole %ld drawn inside the hole\n", startHole);
  }
  NcPut(ostream, "G00 X%.3f Y%.3f;\n", tx, ty);
  NcPut(ostream, "%s%s\n%s%s\n", run.cfg.mS.WireFeed, run.cfg.mS.EOL, run.cfg.mS.GenOn, run.cfg.mS.EOL);
  NcPut(ostream, "G90G%dG44G%d%s\n", t.dDLage, t.dKLage, run.cfg.mS.EOL);
  NcPut(ostream, "G01 X%.3f Y%.3f", sx, sy);
  NcPut(ostream, "%s%s0%s\n", run.cfg.mS.NylOffset, run.cfg.mS.Angel, run.cfg.mS.EOL);

  float px[4], py[4];
  for (int a = 0; a < 4; ++a) {
    px[a] = c.cx + XARC(a0 + kHoleAngles[a], c.r);
    py[a] = c.cy + YARC(a0 + kHoleAngles[a], c.r);
  }
  if (drawn) NcPut(ostream, "G02 X%.3f Y%.3f I%.3f J%.3f ", px[0], py[0], c.cx - sx, c.cy - sy);
  else NcPut(ostream, "G02 X%.3f Y%.3f I%.3f J%.3f ", px[0], py[0], -c.r, 0.0);
  NcPut(ostream, "%s4", run.cfg.mS.OffsetR);
  // The hole is cut with the contour's taper, as every other contour.
  NcPut(ostream, " %s%.3f", run.cfg.mS.Angel, t.dkonik);
  NcPut(ostream, "%s\n", run.cfg.mS.EOL);
  NcPut(ostream, "G02 X%.3f Y%.3f I%.3f J%.3f;\n", px[1], py[1], c.cx - px[0], c.cy - py[0]);
  NcPut(ostream, "G02 X%.3f Y%.3f I%.3f J%.3f;\n", px[2], py[2], c.cx - px[1], c.cy - py[1]);
  NcPut(ostream, "%s%s\n", run.cfg.mS.HoldPoint, run.cfg.mS.EOL);
  NcPut(ostream, "G02 X%.3f Y%.3f I%.3f J%.3f;\n", px[3], py[3], c.cx - px[2], c.cy - py[2]);
  NcPut(ostream, "G01 X%.3f Y%.3f%s%s0%s\n", tx, ty, run.cfg.mS.NylOffset, run.cfg.mS.Angel, run.cfg.mS.EOL);
  NcPut(ostream, "G40G43G50%s\n", run.cfg.mS.EOL);
  NcPut(ostream, "%s%s\n%s", run.cfg.mS.WireCut, run.cfg.mS.EOL, run.cfg.mS.SubReturn);
  if (run.cfg.dataInfo) NcPut(ostream, "(--END HOLE--)");
  NcPut(ostream, "%s\n", run.cfg.mS.EOL);

  fLayerList(run, ll_LIST, 1, nullptr, 0);
  fLayerList(run, ll_CLR_U, 0, nullptr, 0);
  ++run.nc.holesCounter;
}
