// Pieces of a contour's block that the closed contour writer calls at fixed
// places: the hold point before the contour is cut free, the calls of a
// multi-cut sub-program, and the calls of inset contours before the own cut.
#include <cstring>
#include <vector>

#include "config/config.h"
#include "contours/contours.h"
#include "dxf/dxf.h"
#include "elements/elements.h"
#include "geometry/base.h"
#include "nc/nc.h"
#include "run/run.h"

void SimpleHoldPoint(KxRun& run, FILE* ostream, float sX, float sY, long firstElem, float qX, float qY, int arcWord) {
  if (!NcValidElement(run, firstElem)) return;
  const elementdaten& f = run.table.elds[firstElem];
  const coTechno& t = run.nc.techno;

  if (f.type == etLINE) {
    const char* move = SetMoveTypeForLayer(run, f.fLayer);
    // The wire stops short of the split point so the part still hangs on.
    float px = qX + 0.8 * (sX - qX);
    float py = qY + 0.8 * (sY - qY);
    NcPut(ostream, "%s X%.3f Y%.3f", move, px, py);
    if (t.dLWe > 0) {
      NcPut(ostream, " %s%d", run.cfg.mS.OffsetR, t.dReg);
      NcPut(ostream, " %s%.3f", run.cfg.mS.Angel, NcLayer(run, f.fLayer).useKonik);
    }
    if (run.cfg.dataInfo) NcPut(ostream, " (StopPoint)");
    NcPut(ostream, "%s\n", run.cfg.mS.EOL);
    if (t.NoStop) NcPut(ostream, "%sNoStop%s%s\n", run.cfg.mS.RemarkOn, run.cfg.mS.RemarkOff, run.cfg.mS.EOL);
    else NcPut(ostream, "%s%s\n", run.cfg.mS.HoldPoint, run.cfg.mS.EOL);
    NcPut(ostream, "%s X%.3f Y%.3f", move, sX, sY);
    if (run.cfg.dataInfo) NcPut(ostream, " (SplittPoint)");
    NcPut(ostream, "%s\n", run.cfg.mS.EOL);
    return;
  }
  if (f.type != etARC) return;

  KxPrint(run, "\n >Holdpoint ");
  const int d = arcWord;
  // The stop point lies 4 degrees before the split point in the direction of
  // travel; on a shorter remainder (a piece of a curve) halfway there.
  double a = WIV(f.cx, f.cy, sX, sY);
  double rest = d == kxG02 ? WIV(f.cx, f.cy, qX, qY) - a : a - WIV(f.cx, f.cy, qX, qY);
  rest = KxWithinTurn(rest);
  const double back = rest < 4.5 ? rest / 2 : 4.0;
  if (d == kxG02) a += back;
  if (d == kxG03) a -= back;
  const float px = f.cx + XARC(a, f.r);
  const float py = f.cy + YARC(a, f.r);
  NcPut(ostream, "G0%d X%.3f Y%.3f", d, px, py);
  NcPut(ostream, " I%.3f J%.3f", f.cx - qX, f.cy - qY);
  if (t.dLWe > 0) {
    NcPut(ostream, " %s%d", run.cfg.mS.OffsetR, t.dReg);
    NcPut(ostream, " %s%.3f", run.cfg.mS.Angel, NcLayer(run, f.fLayer).useKonik);
  }
  if (run.cfg.dataInfo) NcPut(ostream, " (StopPoint)");
  NcPut(ostream, "%s\n", run.cfg.mS.EOL);
  NcPut(ostream, "%s%s\n", run.cfg.mS.HoldPoint, run.cfg.mS.EOL);
  NcPut(ostream, "G0%d X%.3f Y%.3f", d, sX, sY);
  NcPut(ostream, " I%.3f J%.3f", f.cx - px, f.cy - py);
  if (run.cfg.dataInfo) NcPut(ostream, " (SplittPoint)");
  NcPut(ostream, "%s\n", run.cfg.mS.EOL);
}

void SimpleAsSubKontur(KxRun& run, FILE* ostream, int k, float ssX, float ssY) {
  coTechno& t = run.nc.techno;
  if (t.dQuali <= 0) return;
  KxPrint(run, " Quality: --AsSubKontur--\n");
  const int n = KxContourBlock(k, kxBLOCK_CUTS);
  NcPut(ostream, "%s X%.3f Y%.3f%s\n", t.G92Mode == dmPIECE ? "G92" : "G00", ssX, ssY, run.cfg.mS.EOL);
  // One technology line and one call of the sub-program per cut; there are four cut entries.
  const int cuts = t.dQuali <= kCutCount ? t.dQuali : kCutCount;
  for (int q = 1; q <= cuts; ++q) {
    NcNoteTechLine(run, ostream, run.nc.eTD[q].nwd, run.nc.eTD[q].Speed, run.nc.eTD[q].ist);
    NcPut(ostream, "%s%s\n", run.nc.eTD[q].nwd, run.cfg.mS.EOL);
    if (run.nc.eTD[q].ist == 0) ++run.nc.missETechnologie;
    NcPut(ostream, "%s%d%s\n", run.cfg.mS.SubJump, n, run.cfg.mS.EOL);
  }
  NcPut(ostream, "G00 X%.3f Y%.3f %s\n", ssX, ssY, run.cfg.mS.EOL);
  if (t.HatRotation) NcPut(ostream, "%s%s\n", run.cfg.mS.RotateOff, run.cfg.mS.EOL);
  NcPut(ostream, "%s%s\n", run.cfg.mS.SubReturn, run.cfg.mS.EOL);
  NcPut(ostream, "%s- - - - - - - - - - - -%s%s\n", run.cfg.mS.RemarkOn, run.cfg.mS.RemarkOff, run.cfg.mS.EOL);
  NcPut(ostream, "N%d%s--%.39s--%s%s\n", n, run.cfg.mS.RemarkOn, NcRemarkText(run.cfg, t.sInfo).c_str(), run.cfg.mS.RemarkOff, run.cfg.mS.EOL);
}

int SimpleAddChilds(KxRun& run, FILE* ostream, int k) {
  KxPrint(run, " --SimpleAddChilds >");
  // The calls reach as far back as the region rows, which stand at the end of
  // the table, after the two closing markers; only the start holes korvex
  // placed itself follow them.
  long from = run.table.eldsCounter - 3 - run.contours.count - run.contours.autoStartCount;
  if (from < 0) from = 0;
  int found = 0;
  const std::vector<int> none;
  const std::vector<int>& children = k >= 1 && (size_t)k < run.contours.all.size() ? run.contours.all[(size_t)k].children : none;
  for (int b : children) {
    const KxContour& child = run.contours.all[(size_t)b];
    if (child.region < from || child.region >= run.table.eldsCounter) continue;
    ++found;
    const long m = KxContourBlock(b);
    KxPrint(run, " ADD CHILD(%s->%ld)  ", child.name, m);
    NcPut(ostream, "%s%ld%s\n", run.cfg.mS.SubJump, m, run.cfg.mS.EOL);
  }
  if (found > 0) {
    const int own = KxContourBlock(k, kxBLOCK_OWN_CUT);
    NcPut(ostream, "%s%d%s\n", run.cfg.mS.SubJump, own, run.cfg.mS.EOL);
    NcPut(ostream, "%s%s\n", run.cfg.mS.SubReturn, run.cfg.mS.EOL);
    NcPut(ostream, "N%d%s--%.39s-%s%s\n", own, run.cfg.mS.RemarkOn, NcRemarkText(run.cfg, run.nc.techno.sInfo).c_str(), run.cfg.mS.RemarkOff, run.cfg.mS.EOL);
  } else {
    KxPrint(run, " <keine>");
  }
  KxPrint(run, "\n");
  return found;
}
