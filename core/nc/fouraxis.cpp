// The cut of a contour with a top contour of its own: the upper guide moves on
// its own axes (U, V), every block a straight move that carries both planes, from
// the split point round the contour and back, the wire upright at the start hole.
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

// The upper guide's words for a wire from bottom (bx, by) to top (tx, ty).
void putUpper(KxRun& run, FILE* os, double bx, double by, double tx, double ty) {
  const devSyntax& s = run.cfg.mS;
  const bool absolute = strcmp(s.UVAbsolute, "1") == 0;
  const char u = s.UpperAxes[0] ? s.UpperAxes[0] : 'U', v = s.UpperAxes[0] && s.UpperAxes[1] ? s.UpperAxes[1] : 'V';
  const double uu = absolute ? tx : tx - bx, vv = absolute ? ty : ty - by;
  NcPut(os, " %c%.3f %c%.3f", u, uu + 0.0, v, vv + 0.0);   // + 0.0: no "-0.000"
}

void putPair(KxRun& run, FILE* os, const KxWirePair& p) {
  NcPut(os, "G01 X%.3f Y%.3f", p.bx, p.by);
  putUpper(run, os, p.bx, p.by, p.tx, p.ty);
}

}  // namespace

bool NcFourAxisPath(KxRun& run, FILE* os, const KxContour& c, double splitX, double splitY, double towardX,
                    double towardY, const elementdaten& feed) {
  // In these steps:
  //   1. the pairs from the split point, the way the two-axis rule leads in;
  //   2. the top plane at the part's height, four-axis on, the lead-in tilting the wire;
  //   3. the pairs, the first with the register, the hold point short of the last one;
  //   4. back to the start hole with the wire upright, four-axis off.
  const std::vector<KxCurvePiece> bottom = KxLoopOf(run, c.members);
  if (bottom.empty() || c.topLoop.empty()) return false;
  const double tol = run.cfg.chordTolerance;
  std::vector<KxWirePair> pairs = KxRuledPairs(bottom, c.topLoop, c.ties, splitX, splitY, tol);
  if (pairs.size() < 3) return false;
  if ((pairs[1].bx - pairs[0].bx) * (towardX - splitX) + (pairs[1].by - pairs[0].by) * (towardY - splitY) < 0)
    pairs = KxRuledPairs(KxReversedLoop(bottom), c.topLoop, c.ties, splitX, splitY, tol);
  if (pairs.size() < 3) return false;

  const devSyntax& s = run.cfg.mS;
  const coTechno& t = run.nc.techno;
  NcPut(os, "%s%.3f%s\n", s.TopPlane, (double)c.height, s.EOL);
  NcPut(os, "%s%s\n", s.FourAxisOn, s.EOL);
  putPair(run, os, pairs[0]);
  NcPut(os, "%s", s.NylOffset);
  if (run.cfg.dataInfo) NcPut(os, " (SplittPoint)");
  NcPut(os, "%s\n", s.EOL);
  const size_t last = pairs.size() - 1;
  for (size_t i = 1; i < last; ++i) {
    putPair(run, os, pairs[i]);
    if (i == 1) NcPut(os, " %s%d", s.OffsetR, t.dReg);
    NcPut(os, "%s\n", s.EOL);
  }
  // The wire stops short of the split point so the part still hangs on.
  const KxWirePair& a = pairs[last - 1];
  const KxWirePair& b = pairs[last];
  const KxWirePair stop{a.bx + 0.8 * (b.bx - a.bx), a.by + 0.8 * (b.by - a.by), a.tx + 0.8 * (b.tx - a.tx),
                        a.ty + 0.8 * (b.ty - a.ty)};
  putPair(run, os, stop);
  if (run.cfg.dataInfo) NcPut(os, " (StopPoint)");
  NcPut(os, "%s\n", s.EOL);
  if (t.NoStop) NcPut(os, "%sNoStop%s%s\n", s.RemarkOn, s.RemarkOff, s.EOL);
  else NcPut(os, "%s%s\n", s.HoldPoint, s.EOL);
  putPair(run, os, b);
  NcPut(os, "%s\n", s.EOL);
  NcPut(os, "G01 X%.3f Y%.3f", feed.cx, feed.cy);
  putUpper(run, os, feed.cx, feed.cy, feed.cx, feed.cy);
  NcPut(os, "%s%s\n", s.NylOffset, s.EOL);
  NcPut(os, "%s%s\n", s.FourAxisOff, s.EOL);
  return true;
}
