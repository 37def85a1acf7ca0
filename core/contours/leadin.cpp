// Lead-in point of a contour: from the split point on the lead-in element the
// first cut runs to the end point that keeps the wire on the compensation side
// (G41/G42); for an arc lead-in also whether that part is cut G02 or G03.
#include "config/config.h"
#include "contours/contours.h"
#include "elements/elements.h"
#include "geometry/base.h"
#include "run/run.h"

static bool validIndex(KxRun& run, long i) { return i >= 0 && i < run.table.eldsCounter; }

static void lineLeadIn(KxRun& run, int side, const elementdaten& feed, const elementdaten& ln, float* nX, float* nY) {
  KxPrint(run, " Erstes element = LINE\n");
  float masterWinkel = (float)WIV(ln.sx, ln.sy, ln.ex, ln.ey);
  float diffFeedWinkel = (float)WIV(ln.sx, ln.sy, feed.cx, feed.cy);
  if (masterWinkel <= 0 && diffFeedWinkel <= 0) {
    masterWinkel += 360;
    diffFeedWinkel += 360;
    KxPrint(run, "added 360 to both Winkel    |");
  }
  if (masterWinkel <= 0) {
    masterWinkel += 360;
    KxPrint(run, "added 360 to masterWinkel   |");
  }
  if (diffFeedWinkel <= 0) {
    diffFeedWinkel += 360;
    KxPrint(run, "added 360 to diffFeedWinkel |");
  }
  KxPrint(run, "masterWinkel: %6.2f    DiffWinkel zum FP:%6.2f\n", masterWinkel, diffFeedWinkel);
  KxLog(run, "masterWinkel: %6.2f    DiffWinkel zum FP:%6.2f\n", masterWinkel, diffFeedWinkel);

  // The side is decided by the sign of the cross product of the line's direction
  // and the vector to the feed point: comparing the two angles breaks wherever
  // they lie on either side of 0 degrees. Feed point on the right: for G42 the
  // wire stays on its side when the cut runs toward the end point.
  const bool g42 = side == 42;
  KxPrint(run, g42 ? "ask for ktechno.dDLage == 42 \n" : "ask for ktechno.dDLage == 41 \n");
  const double cross = ((double)ln.ex - ln.sx) * ((double)feed.cy - ln.sy) -
                       ((double)ln.ey - ln.sy) * ((double)feed.cx - ln.sx);
  bool toStart;
  if (cross > 0) {          // feed point left of the line
    toStart = g42;
    KxLog(run, g42 ? " use 80222 42 sp\n" : " use 80222 41 ep\n");
  } else if (cross < 0) {   // feed point right of the line
    toStart = !g42;
    KxLog(run, g42 ? " use 80222 42 ep\n" : " use 80222 41 sp\n");
  } else {
    toStart = false;
    KxPrint(run, "OOPS Winkel sind gleich !!\n");
  }
  *nX = toStart ? ln.sx : ln.ex;
  *nY = toStart ? ln.sy : ln.ey;
}

static void arcLeadIn(KxRun& run, int side, const elementdaten& feed, float splitX, float splitY, const elementdaten& arc,
                      float* nX, float* nY, int* fS) {
  KxPrint(run, " Erstes element = ARC\n");
  const float arSW = arc.sw, arEW = arc.ew;
  const float ioBLen = LENC(arc.cx, arc.cy, splitX, splitY);
  const float ioFLen = LENC(arc.cx, arc.cy, feed.cx, feed.cy);
  const float toSplit = (float)WIV(arc.cx, arc.cy, splitX, splitY);
  KxPrint(run, " ioBLen:%.3f  ioFLen:%.3f (R:%.3f)\n", ioBLen, ioFLen, arc.r);
  KxPrint(run, " Wink zum SP:%.3f |", arSW);
  KxPrint(run, " zum BP:%.3f |", toSplit);
  KxPrint(run, " zum EP:%.3f \n ", arEW);

  const bool outside = ioFLen > ioBLen;
  const bool inside = ioBLen > ioFLen;
  const bool forward = arEW > arSW;   // otherwise the arc runs through 0 degrees
  const bool through0 = arSW > arEW;
  if ((outside || inside) && (forward || through0)) {
    // Toward the start point the part is cut clockwise, toward the end point
    // counter-clockwise; the side decides which end is the right one.
    const bool toStart = side == 42 ? inside : outside;
    const char* label = nullptr;
    if (side == 42) {
      if (outside) label = forward ? "a42 arEW>arSW EP G03" : "a42 arSW>arEW EP G03";
      else label = forward ? "i42 arEW>arSW SP G02" : "i42 arSW>arEW SP G02";
    } else if (inside && through0) {
      label = "i41 arSW>arEW EP G03";
    }
    *nX = toStart ? arc.sx : arc.ex;
    *nY = toStart ? arc.sy : arc.ey;
    *fS = toStart ? kxG02 : kxG03;
    if (label) KxPrint(run, "%s", label);
  }
  KxPrint(run, " | X:%.3f  Y:%.3f |", *nX, *nY);
  KxPrint(run, " *fS: G0%d \n", *fS);
}

int GetFirstDLagePnt(KxRun& run, long feedE, long firstE, float splitX, float splitY, int side, float* nX, float* nY, int* fS) {
  if (!nX || !nY || !fS) return side;
  if (!validIndex(run, feedE) || (run.table.elds[feedE].type != etCIR && run.table.elds[feedE].type != etINSE)) {
    KxPrint(run, "\n ..GFDP-Feed=bad Type <return>\n");
    return side;
  }
  if (!validIndex(run, firstE) || (run.table.elds[firstE].type != etLINE && run.table.elds[firstE].type != etARC)) {
    KxPrint(run, "\n ..GFDP-First=bad Type <return>\n");
    return side;
  }
  if (side != 41 && side != 42) side = 42;
  const elementdaten& feed = run.table.elds[feedE];
  const elementdaten& first = run.table.elds[firstE];
  KxPrint(run, " --GetFirstDLagePnt(%d)\n ", side);
  KxLog(run, "\n --GetFirstDLagePnt(%s)(%d)\n", run.table.marks[firstE].kontur, side);
  KxPrint(run, " splittpoint bei X:%3.3f Y:%3.3f\n", splitX, splitY);
  if (first.type == etLINE)
    lineLeadIn(run, side, feed, first, nX, nY);
  else
    arcLeadIn(run, side, feed, splitX, splitY, first, nX, nY, fS);
  return side;
}
