// The cut of a contour with a top contour of its own: the upper guide moves on
// its own axes (U, V), every block a straight move that carries both planes, from
// the split point round the contour and back, the wire upright at the start hole.
#include <cctype>
#include <cmath>
#include <cstring>
#include <vector>

#include "config/config.h"
#include "contours/contours.h"
#include "elements/elements.h"
#include "geometry/base.h"
#include "nc/nc.h"
#include "run/run.h"

namespace {

// A value as the program writes it, to 0.001; a nothing below zero is written as 0.000, not -0.000.
double written(double v) { return std::round(v * 1000) / 1000 + 0.0; }

// The upper guide's words for a wire from bottom (bx, by) to top (tx, ty).
void putUpper(KxRun& run, FILE* os, double bx, double by, double tx, double ty) {
  const devSyntax& s = run.cfg.mS;
  const bool absolute = strcmp(s.UVAbsolute, "1") == 0;
  const char u = s.UpperAxes[0] ? s.UpperAxes[0] : 'U', v = s.UpperAxes[0] && s.UpperAxes[1] ? s.UpperAxes[1] : 'V';
  const double uu = absolute ? tx : tx - bx, vv = absolute ? ty : ty - by;
  NcPut(os, " %c%.3f %c%.3f", u, written(uu), v, written(vv));
}

// The device's letters of the upper arc's centre, or none when it writes arcs as straight moves.
bool upperArcLetters(const devSyntax& s, char* k, char* l) {
  if (strlen(s.UpperArc) != 2 || !isalpha((unsigned char)s.UpperArc[0]) || !isalpha((unsigned char)s.UpperArc[1])) return false;
  *k = (char)toupper((unsigned char)s.UpperArc[0]);
  *l = (char)toupper((unsigned char)s.UpperArc[1]);
  return true;
}

// The pair a fraction f of the way from a to b: on the chords, or on both arcs.
KxWirePair shortOf(const KxWirePair& a, const KxWirePair& b, double f) {
  KxWirePair p = b;
  auto along = [&](double x0, double y0, double x1, double y1, double cx, double cy, double* x, double* y) {
    if (!b.arc) {
      *x = x0 + f * (x1 - x0), *y = y0 + f * (y1 - y0);
      return;
    }
    const double a0 = std::atan2(y0 - cy, x0 - cx), a1 = std::atan2(y1 - cy, x1 - cx), r = std::hypot(x0 - cx, y0 - cy);
    double sweep = b.ccw ? a1 - a0 : a0 - a1;
    while (sweep <= 1e-12) sweep += 2 * M_PI;
    const double at = a0 + (b.ccw ? f : -f) * sweep;
    *x = cx + r * std::cos(at), *y = cy + r * std::sin(at);
  };
  along(a.bx, a.by, b.bx, b.by, b.bcx, b.bcy, &p.bx, &p.by);
  along(a.tx, a.ty, b.tx, b.ty, b.tcx, b.tcy, &p.tx, &p.ty);
  p.knot = false;
  return p;
}

// A block to pair p from pair from: straight, or an arc in both planes.
void putPair(KxRun& run, FILE* os, const KxWirePair& p, const KxWirePair* from = nullptr) {
  char k, l;
  if (!p.arc || !from || !upperArcLetters(run.cfg.mS, &k, &l)) {
    NcPut(os, "G01 X%.3f Y%.3f", p.bx, p.by);
    putUpper(run, os, p.bx, p.by, p.tx, p.ty);
    return;
  }
  NcPut(os, "G%02d X%.3f Y%.3f I%.3f J%.3f", p.ccw ? kxG03 : kxG02, p.bx, p.by, p.bcx - from->bx, p.bcy - from->by);
  putUpper(run, os, p.bx, p.by, p.tx, p.ty);
  NcPut(os, " %c%.3f %c%.3f", k, written(p.tcx - from->tx), l, written(p.tcy - from->ty));
}

}  // namespace

bool NcFourAxisPath(KxRun& run, FILE* os, const KxContour& c, double splitX, double splitY, double towardX,
                    double towardY, const elementdaten& feed) {
  // In these steps:
  //   1. the pairs from the split point, the way the two-axis rule leads in;
  //   2. the top plane at the part's height, four-axis on, the lead-in tilting the wire;
  //   3. the pairs, the first with the register, the hold point short of the last one;
  //   4. back to the start hole with the wire upright, four-axis off.
  if (!c.upper || c.upper->bottom.empty()) return false;
  const std::vector<KxCurvePiece>& bottom = c.upper->bottom;
  const double tol = run.cfg.chordTolerance;
  char k, l;
  const bool arcs = upperArcLetters(run.cfg.mS, &k, &l);
  // The way round is the one the two-axis rule leads in: the first chord's direction tells.
  std::vector<KxWirePair> pairs = KxRuledPairs(bottom, c.upper->loop, c.upper->ties, splitX, splitY, tol);
  if (pairs.size() < 3) return false;
  const bool backwards =
      (pairs[1].bx - pairs[0].bx) * (towardX - splitX) + (pairs[1].by - pairs[0].by) * (towardY - splitY) < 0;
  const std::vector<KxCurvePiece> way = backwards ? KxReversedLoop(bottom) : bottom;
  if (backwards || arcs) pairs = KxRuledPairs(way, c.upper->loop, c.upper->ties, splitX, splitY, tol, arcs);
  if (pairs.size() < 2 || (!arcs && pairs.size() < 3)) return false;

  const devSyntax& s = run.cfg.mS;
  const coTechno& t = run.nc.techno;
  NcPut(os, "%s%.3f%s\n", s.TopPlane, (double)c.upper->height, s.EOL);
  NcPut(os, "%s%s\n", s.FourAxisOn, s.EOL);
  putPair(run, os, pairs[0]);
  NcPut(os, "%s", s.NylOffset);
  if (run.cfg.dataInfo) NcPut(os, " (SplittPoint)");
  NcPut(os, "%s\n", s.EOL);
  const size_t last = pairs.size() - 1;
  for (size_t i = 1; i < last; ++i) {
    putPair(run, os, pairs[i], &pairs[i - 1]);
    if (i == 1) NcPut(os, " %s%d", s.OffsetR, t.dReg);
    NcPut(os, "%s\n", s.EOL);
  }
  // The wire stops short of the split point so the part still hangs on.
  const KxWirePair& a = pairs[last - 1];
  const KxWirePair& b = pairs[last];
  const KxWirePair stop = shortOf(a, b, 0.8);
  putPair(run, os, stop, &a);
  if (run.cfg.dataInfo) NcPut(os, " (StopPoint)");
  NcPut(os, "%s\n", s.EOL);
  if (t.NoStop) NcPut(os, "%sNoStop%s%s\n", s.RemarkOn, s.RemarkOff, s.EOL);
  else NcPut(os, "%s%s\n", s.HoldPoint, s.EOL);
  putPair(run, os, b, &stop);
  NcPut(os, "%s\n", s.EOL);
  NcPut(os, "G01 X%.3f Y%.3f", feed.cx, feed.cy);
  putUpper(run, os, feed.cx, feed.cy, feed.cx, feed.cy);
  NcPut(os, "%s%s\n", s.NylOffset, s.EOL);
  NcPut(os, "%s%s\n", s.FourAxisOff, s.EOL);
  return true;
}
