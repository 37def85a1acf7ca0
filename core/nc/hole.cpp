// The hole writer: a contour made of one circle larger than the grid radius is
// cut from its centre, entering at 0 degrees and going round clockwise in four
// arcs with the hold point before the last, which overlaps the start by 10 degrees.
#include "config/config.h"
#include "dxf/dxf.h"
#include "elements/elements.h"
#include "geometry/base.h"
#include "nc/nc.h"

// End angles of the four arcs, counter-clockwise from the positive x axis.
static const double kHoleAngles[4] = {240.0, 120.0, 15.0, 350.0};

void SimpleHoleForElement(FILE* ostream, long elem) {
  const char* refusal = nullptr;
  if (elem >= eldsMaximum || elem < 0 || elem >= kMaxElements) refusal = "-Limit Ho-";
  else if (elds[elem].type != etCIR) refusal = "-Err HoT-";
  if (refusal) {
    KxPrint("%s", refusal);
    // The contour's sub-program was opened by its caller: it still gets its return.
    NcPut(ostream, "%s%s\n", mS.SubReturn, mS.EOL);
    return;
  }

  const elementdaten& c = elds[elem];
  const coTechno& t = ktechno;
  if (t.HatKonik == 1 && t.G92Mode == dmPIECE) NcPlaneLines(ostream);
  if (t.dReg != 1) {
    NcPut(ostream, "%s%d=%s1", mS.VReg, t.dReg, mS.VReg);
    if (t.dReg >= 0 && t.dReg < kRegisterCount && t.dROff[t.dReg] != 0.0f) NcPut(ostream, "%+.3f", t.dROff[t.dReg]);
    NcPut(ostream, "%s\n", mS.EOL);
  }
  // Register 4 carries the hole offset on top of the register in force.
  if (!(t.dReg == 4 && t.dHole == 0.0f)) {
    NcPut(ostream, "%s4=%s%d", mS.VReg, mS.VReg, t.dReg);
    if (t.dHole != 0.0f) NcPut(ostream, "%+.3f", t.dHole);
    if (gDataInfo) NcPut(ostream, "(HoleOffset)");
    NcPut(ostream, "%s\n", mS.EOL);
  }

  NcPut(ostream, "G00 X%.3f Y%.3f;\n", c.cx, c.cy);
  NcPut(ostream, "%s%s\n%s%s\n", mS.WireFeed, mS.EOL, mS.GenOn, mS.EOL);
  NcPut(ostream, "G90G%dG44G%d%s\n", t.dDLage, t.dKLage, mS.EOL);
  NcPut(ostream, "G01 X%.3f Y%.3f", c.cx + c.r, c.cy);
  NcPut(ostream, "%s%s0%s\n", mS.NylOffset, mS.Angel, mS.EOL);

  float px[4], py[4];
  for (int a = 0; a < 4; ++a) {
    px[a] = c.cx + XARC(kHoleAngles[a], c.r);
    py[a] = c.cy + YARC(kHoleAngles[a], c.r);
  }
  NcPut(ostream, "G02 X%.3f Y%.3f I%.3f J%.3f ", px[0], py[0], -c.r, 0.0);
  NcPut(ostream, "%s4", mS.OffsetR);
  // The hole is cut with the contour's taper, as every other contour.
  NcPut(ostream, " %s%.3f", mS.Angel, t.dkonik);
  NcPut(ostream, "%s\n", mS.EOL);
  NcPut(ostream, "G02 X%.3f Y%.3f I%.3f J%.3f;\n", px[1], py[1], c.cx - px[0], c.cy - py[0]);
  NcPut(ostream, "G02 X%.3f Y%.3f I%.3f J%.3f;\n", px[2], py[2], c.cx - px[1], c.cy - py[1]);
  NcPut(ostream, "%s%s\n", mS.HoldPoint, mS.EOL);
  NcPut(ostream, "G02 X%.3f Y%.3f I%.3f J%.3f;\n", px[3], py[3], c.cx - px[2], c.cy - py[2]);
  NcPut(ostream, "G01 X%.3f Y%.3f%s%s0%s\n", c.cx, c.cy, mS.NylOffset, mS.Angel, mS.EOL);
  NcPut(ostream, "G40G43G50%s\n", mS.EOL);
  NcPut(ostream, "%s%s\n%s", mS.WireCut, mS.EOL, mS.SubReturn);
  if (gDataInfo) NcPut(ostream, "(--END HOLE--)");
  NcPut(ostream, "%s\n", mS.EOL);

  fLayerList(ll_LIST, 1, nullptr, 0);
  fLayerList(ll_CLR_U, 0, nullptr, 0);
  ++gHolesCounter;
}
