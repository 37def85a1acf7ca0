// Follows the NC program after it was written the way the machine does (main
// program, sub-program calls, threading, compensation, cuts) through the core's
// follower, so the picture of the page, the machine time and the desktop's
// preview show what will be cut.
#include <cmath>
#include <cstring>
#include <unordered_set>
#include <vector>

#include "config/config.h"
#include "geometry/base.h"
#include "report/report.h"
#include "run/run.h"

namespace {

// The follower heard for the tool path: the loops with their lead-in and lead-out,
// the positioning moves, every cut with its technology and length.
struct Runner : KxNcFollower {
  KxToolpath& tp;
  const std::vector<NcTechNote>& notes;   // the technology lines the output noted
  size_t nextNote = 0;                    // the first note not yet met while reading
  int phase = 0;                          // 0 lead-in next, 1 cutting
  int tech = -1;                          // technology note in force
  int threadPending = 0;                  // threaded since the last cut began
  std::unordered_set<int> calledSeen{};   // the block numbers in tp.called

  // The picture names no line, so the lines' texts are not kept: a large nest's program has a million.
  Runner(KxRun& run, KxToolpath& t) : KxNcFollower(run.cfg.mS), tp(t), notes(run.nc.techNotes) { quoteTexts = false; }

  // The technology line the output noted at this place of the program: the feed
  // of the cuts that follow it is known from the technology file.
  int Mark(long at, const std::string& line) override {
    while (nextNote < notes.size() && notes[nextNote].at < at) ++nextNote;
    if (nextNote >= notes.size() || notes[nextNote].at != at || notes[nextNote].text != line) return -1;
    return (int)nextNote++;
  }

  void Called(const KxNcStep& st, int, bool first) override {
    // Remember every called block, for the reader's check and the table.
    if (first && calledSeen.insert((int)st.n).second) {
      tp.called.push_back((int)st.n);
      ++tp.calledCount;
    }
  }

  // The machine's moves in single floats, as the page and the preview draw them.
  void Moved(const KxNcStep& st, const KxNcMove& f, bool first) override {
    KxMove m = {};
    m.g = f.g;
    m.x0 = (float)f.x0;
    m.y0 = (float)f.y0;
    m.x1 = (float)f.x1;
    m.y1 = (float)f.y1;
    if (m.g >= 2) {
      m.cx = m.x0 + (float)st.i;
      m.cy = m.y0 + (float)st.j;
    }
    double length = KxMoveLength(m);
    // A four-axis move takes as long as the longer of the two guides' paths.
    if (f.tilted) length = std::max(length, std::hypot(f.tx1 - f.tx0, f.ty1 - f.ty0));
    if (std::isfinite(length)) {
      if (loop >= 0) tp.cutRuns.back().length += length;
      else tp.rapidLength += length;
    }
    if (loop < 0) {
      // Rapid and straight moves outside a cut: positioning, drawn once.
      if (!first || (m.x0 == m.x1 && m.y0 == m.y1)) return;
      ++tp.rapidCount;
      tp.rapids.push_back({m.x0, m.y0, m.x1, m.y1, tp.rapidCount});
      return;
    }
    if (!record) return;
    KxLoop& l = tp.loops[loop];
    if (f.tilted) tp.upper.push_back({(float)f.tx0, (float)f.ty0, (float)f.tx1, (float)f.ty1, tp.moveCount});
    tp.moves.push_back(m);
    if (phase == 0) {
      l.leadIn = tp.moveCount;
      l.firstMove = tp.moveCount + 1;
      phase = 1;
    } else {
      ++l.moveCount;
    }
    ++tp.moveCount;
  }

  void Stepped(int, const KxNcStep& st, int block) override {
    switch (st.kind) {
      case kxNC_MARK: tech = st.g; break;
      case kxNC_FEED:
        ++tp.threadings;
        threadPending = 1;
        break;
      case kxNC_COMP: {
        tp.cutRuns.push_back({loop, tech, threadPending, 0.0});
        threadPending = 0;
        if (!record) {
          ++tp.loops[loop].cuts;
          break;
        }
        tp.loopCount = loopCount;
        phase = 0;
        KxLoop& l = tp.loops.emplace_back();
        l.block = (int)blocks[(size_t)block].number;
        l.side = st.g;
        l.cuts = 1;
        l.leadIn = l.leadOut = -1;
        l.firstMove = tp.moveCount;
        l.holeX = (float)(fed ? feedX : px);
        l.holeY = (float)(fed ? feedY : py);
        break;
      }
      case kxNC_COMPOFF:
        if (loop >= 0 && record) {
          KxLoop& l = tp.loops[loop];
          // The last move back to the start hole is the lead-out, not part of the loop.
          if (l.moveCount >= 2) {
            --l.moveCount;
            l.leadOut = l.firstMove + l.moveCount;
          }
        }
        break;
      case kxNC_HOLD:
        if (loop >= 0 && record) {
          tp.loops[loop].hold = 1;
          tp.loops[loop].holdX = (float)px;
          tp.loops[loop].holdY = (float)py;
        }
        break;
      default: break;
    }
  }
};

}  // namespace

int ReadToolpath(KxRun& run, const char* path, KxToolpath* tp) {
  if (!tp) return 0;
  *tp = KxToolpath();
  std::string why;
  Runner r(run, *tp);
  if (!path || !path[0] || !r.Read(path, &why)) return 0;
  for (size_t b = 1; b < r.blocks.size(); ++b) {
    if (!r.blocks[b].trouble) continue;
    tp->trouble.push_back((int)r.blocks[b].number);
    ++tp->troubleCount;
  }
  r.Follow(0, 0);
  tp->valid = 1;
  return 1;
}

void KxMoveStartTangent(const KxMove& m, double* tx, double* ty) {
  double dx, dy;
  if (m.g < 2) {
    dx = m.x1 - m.x0;
    dy = m.y1 - m.y0;
  } else {
    double rx = m.x0 - m.cx, ry = m.y0 - m.cy;
    dx = m.g == 3 ? -ry : ry;
    dy = m.g == 3 ? rx : -rx;
  }
  double len = hypot(dx, dy);
  *tx = len > 0 ? dx / len : 1;
  *ty = len > 0 ? dy / len : 0;
}

void KxArcSweep(const KxMove& m, double* a0, double* sweep) {
  double s = atan2((double)m.y0 - m.cy, (double)m.x0 - m.cx);
  double e = atan2((double)m.y1 - m.cy, (double)m.x1 - m.cx);
  double d = m.g == 3 ? e - s : s - e;
  while (d <= 1e-9) d += 2 * M_PI;
  while (d > 2 * M_PI + 1e-9) d -= 2 * M_PI;
  // Start and end on the same point: a full circle.
  if (fabs((double)m.x0 - m.x1) < 1e-4 && fabs((double)m.y0 - m.y1) < 1e-4) d = 2 * M_PI;
  if (!std::isfinite(d)) d = 0;
  *a0 = std::isfinite(s) ? s : 0;
  *sweep = m.g == 3 ? d : -d;
}

double KxMoveLength(const KxMove& m) {
  if (m.g < 2) return hypot((double)m.x1 - m.x0, (double)m.y1 - m.y0);
  double a0, sw;
  KxArcSweep(m, &a0, &sw);
  return fabs(sw) * hypot((double)m.x0 - m.cx, (double)m.y0 - m.cy);
}
