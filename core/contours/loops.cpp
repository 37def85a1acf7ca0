// A contour's members as the pieces of one closed loop, for the four-axis cut:
// walked end to end from the first member, each turned to run on from the one
// before it.
#include <cmath>
#include <vector>

#include "config/config.h"
#include "contours/contours.h"
#include "elements/elements.h"
#include "geometry/base.h"
#include "run/run.h"

namespace {

KxCurvePiece pieceOf(const elementdaten& e) {
  KxCurvePiece p{};
  p.line = e.type == etLINE;
  p.sx = e.sx, p.sy = e.sy, p.ex = e.ex, p.ey = e.ey;
  p.cx = e.cx, p.cy = e.cy, p.r = e.r;
  p.ccw = true;
  if (e.type == etCIR) p.sx = p.ex = e.cx + e.r, p.sy = p.ey = e.cy;
  return p;
}

}  // namespace

std::vector<KxCurvePiece> KxLoopOf(const KxRun& r, const std::vector<long>& members) {
  std::vector<KxCurvePiece> pieces;
  for (long i : members) {
    const elementdaten& e = r.table.elds[i];
    if (e.type == etLINE || e.type == etARC || e.type == etCIR) pieces.push_back(pieceOf(e));
  }
  if (pieces.empty() || (pieces.size() == 1 && !(pieces[0].sx == pieces[0].ex && pieces[0].sy == pieces[0].ey)))
    return {};
  const double reach = std::max((double)r.cfg.elementTolerance, 1e-6);
  KxPointGrid ends;
  ends.Reset(reach);
  for (size_t i = 0; i < pieces.size(); ++i) {
    ends.Add(pieces[i].sx, pieces[i].sy, (long)i);
    ends.Add(pieces[i].ex, pieces[i].ey, (long)i);
  }
  std::vector<char> taken(pieces.size(), 0);
  std::vector<KxCurvePiece> loop{pieces[0]};
  taken[0] = 1;
  std::vector<long> near;
  while (loop.size() < pieces.size()) {
    const double x = loop.back().ex, y = loop.back().ey;
    ends.Near(x, y, near);
    bool found = false;
    for (long i : near) {
      if (taken[(size_t)i]) continue;
      KxCurvePiece p = pieces[(size_t)i];
      if (std::hypot(p.ex - x, p.ey - y) <= reach && !(std::hypot(p.sx - x, p.sy - y) <= reach)) {
        std::swap(p.sx, p.ex);
        std::swap(p.sy, p.ey);
        p.ccw = !p.ccw;
      }
      if (!(std::hypot(p.sx - x, p.sy - y) <= reach)) continue;
      taken[(size_t)i] = 1;
      loop.push_back(p);
      found = true;
      break;
    }
    if (!found) return {};
  }
  if (!(std::hypot(loop.back().ex - loop.front().sx, loop.back().ey - loop.front().sy) <= reach)) return {};
  return loop;
}

