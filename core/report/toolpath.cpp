// Reads the NC program back after it was written and follows it the way the
// machine does (main program, sub-program calls, threading, compensation, cuts),
// so the picture of the page and the desktop's preview show what will be cut.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "config/config.h"
#include "geometry/base.h"
#include "report/report.h"
#include "run/run.h"


namespace {

// One line of the program reduced to what moves the wire.
enum StepKind { stCALL = kxSTEP_CALL, stG92 = kxSTEP_G92, stMOVE = kxSTEP_MOVE, stFEED = kxSTEP_FEED, stCOMP = kxSTEP_COMP,
                stCOMPOFF = kxSTEP_COMPOFF, stHOLD = kxSTEP_HOLD, stRETURN = kxSTEP_RETURN, stWIRECUT = kxSTEP_WIRECUT,
                stTECH = 100 /* the reader's own: a technology line the output noted (g: the note) */ };

struct Step : KxStep {
  int loop;          // loop record of a compensation line once it was executed
  bool seen;         // executed before: its moves are in the picture already
};

struct Block {
  int number;        // N number, 0 for the main program
  int first, count;  // its steps
  bool trouble;      // returns without a cut because no start hole was found
};

// Steps followed, so call cycles cannot hang the reader: a program that cuts
// each contour a few times follows each step a few times, a cycle without end.
constexpr long kMaxExecuted = 400000;
constexpr long kMaxRunsPerStep = 64;
constexpr int kMaxDepth = 16;

}  // namespace

// What this file keeps of a run, owned by the run.
struct ToolpathState {
  std::vector<Step> steps;                       // the program's steps, block after block
  int stepCount;                                 // steps.size()
  std::vector<Block> blocks;                     // the main program, then every N block
  int blockCount;                                // blocks.size()
  std::unordered_map<int, int> blockOfNumber;    // N number -> its first block (the main program is none)
  size_t nextNote = 0;                           // the first technology note not yet met while reading
};

namespace {

static ToolpathState& fileState(KxRun& run) { return run.toolpathState.get(); }

// Record i of a table that grows on writing: every record up to i exists afterwards.
template <class T>
T& slot(std::vector<T>& v, int i) {
  if ((size_t)i >= v.size()) v.resize((size_t)i + 1);
  return v[i];
}

bool startsWord(const char* line, const char* w) {
  size_t n = strlen(w);
  if (n == 0 || strncmp(line, w, n) != 0) return false;
  return !(line[n] >= '0' && line[n] <= '9');   // "M9" is no prefix of "M98P10"
}

// An address letter followed by a number; the letter must not end a longer word.
bool word(const char* line, char address, float* v) {
  for (const char* p = line; *p; ++p) {
    if (*p != address) continue;
    if (p > line && ((p[-1] >= 'A' && p[-1] <= 'Z') || (p[-1] >= 'a' && p[-1] <= 'z'))) continue;
    char* end = nullptr;
    double d = strtod(p + 1, &end);
    // No drawing reaches a kilometre: larger numbers are no coordinates we can draw.
    if (end == p + 1 || !std::isfinite(d) || fabs(d) > 1e6) continue;
    *v = (float)d;
    return true;
  }
  return false;
}

void addStep(KxRun& run, const KxStep& k) {
  if (fileState(run).blockCount == 0) return;
  Step s = {};
  static_cast<KxStep&>(s) = k;
  s.loop = -1;
  fileState(run).steps.push_back(s);
  ++fileState(run).stepCount;
  ++fileState(run).blocks[fileState(run).blockCount - 1].count;
}

void openBlock(KxRun& run, int number) {
  if (fileState(run).blockCount > 0) fileState(run).blockOfNumber.emplace(number, fileState(run).blockCount);
  fileState(run).blocks.push_back({number, fileState(run).stepCount, 0, false});
  ++fileState(run).blockCount;
}

// Remarks removed, so that text inside them is never read as a word.
void stripRemarks(KxSettings& cfg, char* line) {
  const char* on = cfg.mS.RemarkOn;
  const char* off = cfg.mS.RemarkOff;
  if (!on[0] || !off[0]) return;
  char* at;
  while ((at = strstr(line, on)) != nullptr) {
    char* end = strstr(at + strlen(on), off);
    if (!end) {
      *at = '\0';
      return;
    }
    memmove(at, end + strlen(off), strlen(end + strlen(off)) + 1);
  }
}

// The words of one line, in the order the machine takes them.
void parseLine(KxSettings& cfg, char* line, KxProgramLine* out) {
  if (line[0] == 'N' && line[1] >= '0' && line[1] <= '9') {
    out->opens = true;
    out->number = atoi(line + 1);
    return;
  }
  if (strstr(line, "HOLE TROUBLE")) out->trouble = true;
  stripRemarks(cfg, line);
  KxStep s = {};
  const char* jump = cfg.mS.SubJump;
  if (jump[0]) {
    for (const char* at = strstr(line, jump); at; at = strstr(at + 1, jump)) {
      const char* p = at + strlen(jump);
      if (*p < '0' || *p > '9') continue;
      s.kind = stCALL;
      s.g = atoi(p);
      out->steps.push_back(s);
    }
  }
  if (startsWord(line, cfg.mS.SubReturn)) {
    s.kind = stRETURN;
    out->steps.push_back(s);
    return;
  }
  if (startsWord(line, cfg.mS.WireFeed)) s.kind = stFEED;
  else if (startsWord(line, cfg.mS.HoldPoint)) s.kind = stHOLD;
  else if (strncmp(line, "G90G4", 5) == 0) {
    s.kind = stCOMP;
    s.g = atoi(line + 4);
  } else if (strncmp(line, "G40", 3) == 0) s.kind = stCOMPOFF;
  else if (strncmp(line, "G92", 3) == 0) {
    if (!word(line, 'X', &s.x) || !word(line, 'Y', &s.y)) return;
    s.kind = stG92;
  } else if (line[0] == 'G' && line[1] == '0' && line[2] >= '0' && line[2] <= '3' &&
             (line[3] == ' ' || line[3] == 'X' || line[3] == 'Y')) {
    if (!word(line, 'X', &s.x) || !word(line, 'Y', &s.y)) return;
    s.kind = stMOVE;
    s.g = line[2] - '0';
    s.ij = word(line, 'I', &s.i) && word(line, 'J', &s.j);
    if (s.g >= 2 && !s.ij) s.g = 1;   // an arc without centre is followed as a straight move
  } else if (startsWord(line, cfg.mS.WireCut)) {
    s.kind = stWIRECUT;
  } else {
    return;
  }
  out->steps.push_back(s);
}

// The technology line the output noted at this place of the program, -1 for none:
// the feed of the cuts that follow it is known from the technology file.
int techNoteAt(KxRun& run, const char* line, long at) {
  const std::vector<NcTechNote>& notes = run.gTechNotes;
  size_t& next = fileState(run).nextNote;
  while (next < notes.size() && notes[next].at < at) ++next;
  if (next >= notes.size() || notes[next].at != at || notes[next].text != line) return -1;
  return (int)next++;
}

void readLine(KxRun& run, char* line, long at) {
  if (const int note = techNoteAt(run, line, at); note >= 0) {
    KxStep t = {};
    t.kind = stTECH;
    t.g = note;
    addStep(run, t);
    return;
  }
  KxProgramLine pl;
  parseLine(run.cfg, line, &pl);
  if (pl.opens) {
    openBlock(run, pl.number);
    return;
  }
  if (pl.trouble && fileState(run).blockCount > 0) fileState(run).blocks[fileState(run).blockCount - 1].trouble = true;
  // The picture has no use for the cut word.
  for (const KxStep& k : pl.steps)
    if (k.kind != stWIRECUT) addStep(run, k);
}

int findBlock(KxRun& run, int number) {
  const auto at = fileState(run).blockOfNumber.find(number);
  return at == fileState(run).blockOfNumber.end() ? -1 : at->second;
}

struct Runner {
  KxToolpath& tp;
  float px = 0, py = 0;        // where the wire is
  float feedX = 0, feedY = 0;  // where it was threaded last
  bool fed = false;
  int loop = -1;               // loop being cut, -1 outside compensation
  bool record = false;         // the loop is cut the first time: its moves are taken
  int phase = 0;               // 0 lead-in next, 1 cutting
  int tech = -1;               // technology note in force
  int threadPending = 0;       // threaded since the last cut began
  long executed = 0;
  long maxExecuted = 0;        // steps followed at most
  std::unordered_set<int> calledSeen{};   // the block numbers in tp.called

  void move(const Step& s, bool first) {
    KxMove m = {};
    m.g = s.g;
    m.x0 = px;
    m.y0 = py;
    m.x1 = s.x;
    m.y1 = s.y;
    if (s.g >= 2) {
      m.cx = px + s.i;
      m.cy = py + s.j;
    }
    px = s.x;
    py = s.y;
    const double length = KxMoveLength(m);
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

  void comp(KxRun& run, Step& s, int block) {
    loop = -1;
    record = false;
    if (s.g != 41 && s.g != 42) return;
    tp.cutRuns.push_back({s.loop >= 0 ? s.loop : tp.loopCount, tech, threadPending, 0.0});
    threadPending = 0;
    if (s.loop >= 0) {
      loop = s.loop;
      ++tp.loops[loop].cuts;
      return;
    }
    loop = s.loop = tp.loopCount++;
    record = true;
    phase = 0;
    KxLoop& l = tp.loops.emplace_back();
    l.block = fileState(run).blocks[block].number;
    l.side = s.g;
    l.cuts = 1;
    l.leadIn = l.leadOut = -1;
    l.firstMove = tp.moveCount;
    l.holeX = fed ? feedX : px;
    l.holeY = fed ? feedY : py;
  }

  void compOff() {
    if (loop >= 0 && record) {
      KxLoop& l = tp.loops[loop];
      // The last move back to the start hole is the lead-out, not part of the loop.
      if (l.moveCount >= 2) {
        --l.moveCount;
        l.leadOut = l.firstMove + l.moveCount;
      }
    }
    loop = -1;
    record = false;
    fed = false;
  }

  void follow(KxRun& run, int block, int depth) {
    if (block < 0 || depth > kMaxDepth) return;
    const Block& b = fileState(run).blocks[block];
    for (int k = b.first; k < b.first + b.count && k < fileState(run).stepCount; ++k) {
      if (++executed > maxExecuted) return;
      Step& s = fileState(run).steps[k];
      bool first = !s.seen;
      s.seen = true;
      switch (s.kind) {
        case stCALL: {
          int callee = findBlock(run, s.g);
          if (callee < 0) break;
          if (fileState(run).blocks[callee].number >= 0 && first) {
            // Remember every called block, for the reader's check and the table.
            if (calledSeen.insert(s.g).second) {
              tp.called.push_back(s.g);
              ++tp.calledCount;
            }
          }
          follow(run, callee, depth + 1);
          break;
        }
        case stG92: px = s.x; py = s.y; break;
        case stMOVE: move(s, first); break;
        case stFEED:
          feedX = px;
          feedY = py;
          fed = true;
          ++tp.threadings;
          threadPending = 1;
          break;
        case stTECH: tech = s.g; break;
        case stCOMP: comp(run, s, block); break;
        case stCOMPOFF: compOff(); break;
        case stHOLD:
          if (loop >= 0 && record) {
            tp.loops[loop].hold = 1;
            tp.loops[loop].holdX = px;
            tp.loops[loop].holdY = py;
          }
          break;
        case stRETURN: return;
        default: break;
      }
    }
  }
};

}  // namespace

int ReadToolpath(KxRun& run, const char* path, KxToolpath* tp) {
  if (!tp) return 0;
  *tp = KxToolpath();
  fileState(run).steps.clear();
  fileState(run).stepCount = 0;
  fileState(run).blocks.clear();
  fileState(run).blockCount = 0;
  fileState(run).blockOfNumber.clear();
  fileState(run).nextNote = 0;
  FILE* f = path && path[0] ? fopen(path, "r") : nullptr;
  if (!f) return 0;
  openBlock(run, -1);   // the main program
  char line[1024];
  long at = 0, next = 0;   // where the line read starts in the file, and where the next one does
  while (fgets(line, sizeof line, f)) {
    size_t n = strlen(line);
    next = at + (long)n;
    if (n > 0 && line[n - 1] != '\n' && !feof(f)) {
      // A line longer than the buffer: the rest carries no move words we follow.
      int c;
      while ((c = fgetc(f)) != EOF) {
        ++next;
        if (c == '\n') break;
      }
    }
    n = strlen(line);
    while (n > 0 && (line[n - 1] == '\n' || line[n - 1] == '\r')) line[--n] = '\0';
    readLine(run, line, at);
    at = next;
  }
  fclose(f);
  for (int b = 1; b < fileState(run).blockCount; ++b) {
    if (!fileState(run).blocks[b].trouble) continue;
    tp->trouble.push_back(fileState(run).blocks[b].number);
    ++tp->troubleCount;
  }
  Runner r{*tp};
  r.maxExecuted = std::max(kMaxExecuted, kMaxRunsPerStep * fileState(run).stepCount);
  r.follow(run, 0, 0);
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
