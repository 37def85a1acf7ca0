// The picture on the statistics page: every cut loop of the written NC program
// in the program's own coordinates, with start holes, leads, direction, wire
// side, positioning moves and what was left uncut, then a table per contour.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <initializer_list>
#include <map>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "config/config.h"
#include "contours/contours.h"
#include "elements/elements.h"
#include "geometry/base.h"
#include "nc/nc.h"
#include "report/report.h"
#include "run/run.h"

namespace {

// A point as a key: -0 and 0 are the same point, as == says.
float samePoint(float v) { return v + 0.0f; }

bool drawable(const elementdaten& e) {
  return (e.type == etLINE || e.type == etARC || e.type == etCIR) && std::isfinite(e.sx) && std::isfinite(e.sy) &&
         std::isfinite(e.ex) && std::isfinite(e.ey) && std::isfinite(e.cx) && std::isfinite(e.cy) &&
         std::isfinite(e.r) && fabs(e.r) < 1e7;
}

// The arc's own part of a path: one A command, or two for a full circle.
void arcData(FILE* f, const KxMove& m, double r) {
  double a0, sweep;
  KxArcSweep(m, &a0, &sweep);
  int flag = sweep > 0 ? 1 : 0;   // counter-clockwise in the program's coordinates
  if (fabs(sweep) >= 2 * M_PI - 1e-6) {
    double mx = 2.0 * m.cx - m.x0, my = 2.0 * m.cy - m.y0;
    KxFilePrint(f, " A %.3f %.3f 0 0 %d %.3f %.3f", r, r, flag, mx, my);
    KxFilePrint(f, " A %.3f %.3f 0 0 %d %.3f %.3f", r, r, flag, (double)m.x1, (double)m.y1);
    return;
  }
  KxFilePrint(f, " A %.3f %.3f 0 %d %d %.3f %.3f", r, r, fabs(sweep) > M_PI ? 1 : 0, flag, (double)m.x1, (double)m.y1);
}

void moveData(FILE* f, const KxMove& m) {
  if (m.g >= 2) arcData(f, m, hypot((double)m.x0 - m.cx, (double)m.y0 - m.cy));
  else KxFilePrint(f, " L %.3f %.3f", (double)m.x1, (double)m.y1);
}

// The wire side: each move shifted by d toward the side the compensation puts the wire.
void sideData(FILE* f, const KxMove& m, int side, double d) {
  double s = side == 41 ? 1.0 : -1.0;   // left of the direction of travel is positive
  if (m.g < 2) {
    double dx = m.x1 - m.x0, dy = m.y1 - m.y0, len = hypot(dx, dy);
    if (len <= 0) return;
    double nx = -dy / len * d * s, ny = dx / len * d * s;
    KxFilePrint(f, " M %.3f %.3f L %.3f %.3f", m.x0 + nx, m.y0 + ny, m.x1 + nx, m.y1 + ny);
    return;
  }
  double r = hypot((double)m.x0 - m.cx, (double)m.y0 - m.cy);
  // Counter-clockwise, the left side is toward the centre.
  double r2 = r + (m.g == 3 ? -s * d : s * d);
  if (r <= 0 || r2 <= 0) return;
  double k = r2 / r;
  KxMove o = m;
  o.x0 = m.cx + (m.x0 - m.cx) * k;
  o.y0 = m.cy + (m.y0 - m.cy) * k;
  double r1 = hypot((double)m.x1 - m.cx, (double)m.y1 - m.cy);
  double k1 = r1 > 0 ? r2 / r1 : k;
  o.x1 = m.cx + (m.x1 - m.cx) * k1;
  o.y1 = m.cy + (m.y1 - m.cy) * k1;
  KxFilePrint(f, " M %.3f %.3f", (double)o.x0, (double)o.y0);
  arcData(f, o, r2);
}

void elementData(FILE* f, const elementdaten& e) {
  if (e.type == etLINE) {
    KxFilePrint(f, "M %.3f %.3f L %.3f %.3f", e.sx, e.sy, e.ex, e.ey);
    return;
  }
  if (e.type == etCIR) {
    KxFilePrint(f, "M %.3f %.3f A %.3f %.3f 0 0 1 %.3f %.3f A %.3f %.3f 0 0 1 %.3f %.3f", e.cx + e.r, e.cy, e.r, e.r,
            e.cx - e.r, e.cy, e.r, e.r, e.cx + e.r, e.cy);
    return;
  }
  double sw = e.sw / RAD2DEG, ew = e.ew / RAD2DEG;
  double span = BOGENWINKEL(e.sw, e.ew);
  KxFilePrint(f, "M %.3f %.3f A %.3f %.3f 0 %d 1 %.3f %.3f", e.cx + e.r * cos(sw), e.cy + e.r * sin(sw), e.r, e.r,
          span > 180.0 ? 1 : 0, e.cx + e.r * cos(ew), e.cy + e.r * sin(ew));
}


// Ends of a contour's lines and arcs (members: its records) that meet no other end of it.
int openEnds(KxRun& run, const std::vector<long>& members, float* xs, float* ys, int room) {
  // The ends sorted by X: an end within the tolerance lies in a narrow window.
  struct End {
    float x, y;
    long elem;
  };
  std::vector<End> all;
  for (long i : members) {
    const elementdaten& b = run.table.elds[i];
    if (b.type != etLINE && b.type != etARC) continue;
    // An end that is no number meets nothing.
    if (!std::isnan(b.sx)) all.push_back({b.sx, b.sy, i});
    if (!std::isnan(b.ex)) all.push_back({b.ex, b.ey, i});
  }
  std::sort(all.begin(), all.end(), [](const End& p, const End& q) { return p.x < q.x; });
  const double reach = run.cfg.elementTolerance + 1e-4;
  const double window = reach * (1 + 1e-5) + 1e-6;   // wider than any distance LENC keeps within reach
  int n = 0;
  for (long i : members) {
    const elementdaten& a = run.table.elds[i];
    if (a.type != etLINE && a.type != etARC) continue;
    for (int end = 0; end < 2; ++end) {
      float x = end ? a.ex : a.sx, y = end ? a.ey : a.sy;
      bool met = false;
      auto b = std::lower_bound(all.begin(), all.end(), (double)x - window,
                                [](const End& p, double v) { return (double)p.x < v; });
      for (; b != all.end() && (double)b->x <= (double)x + window && !met; ++b)
        met = b->elem != i && LENC(x, y, b->x, b->y) <= reach;
      if (!met && n < room) {
        xs[n] = x;
        ys[n] = y;
        ++n;
      }
    }
  }
  return n;
}

// Per contour number 1..contours.count: 1 where one of the blocks holds it.
std::vector<char> contoursOf(KxRun& run, const std::vector<int>& blocks, int count) {
  std::vector<char> has((size_t)(run.contours.count > 0 ? run.contours.count : 0) + 1, 0);
  for (int i = 0; i < count; ++i) {
    const int k = KxBlockContour(blocks[(size_t)i]);
    if (k >= 1 && k <= run.contours.count) has[(size_t)k] = 1;
  }
  return has;
}

// For each positioning move the first one along the same way (either
// direction): itself when it is the first, -1 for a way that is no number.
std::vector<int> firstOfWays(const KxToolpath& tp) {
  std::vector<int> first((size_t)tp.rapidCount, -1);
  std::map<std::array<float, 4>, int> seen;
  for (int r = 0; r < tp.rapidCount; ++r) {
    const KxRapid& p = tp.rapids[(size_t)r];
    if (std::isnan(p.x0) || std::isnan(p.y0) || std::isnan(p.x1) || std::isnan(p.y1)) continue;
    std::array<float, 4> way = {samePoint(p.x0), samePoint(p.y0), samePoint(p.x1), samePoint(p.y1)};
    // Both directions of a way give one key: its ends in order.
    if (std::make_pair(way[2], way[3]) < std::make_pair(way[0], way[1])) way = {way[2], way[3], way[0], way[1]};
    first[(size_t)r] = seen.emplace(way, r).first->second;
  }
  return first;
}

double loopLength(const KxToolpath& tp, const KxLoop& l) {
  double len = 0;
  for (int m = l.firstMove; m < l.firstMove + l.moveCount && m < tp.moveCount; ++m) len += KxMoveLength(tp.moves[m]);
  return len;
}

// The taper and the wire offset contour k is cut with, and the contour whose
// text set a value it did not set itself (on a plate they carry over).
std::string cutSetting(KxRun& run, int k) {
  if (k < 1 || (size_t)k >= run.nc.cutSettings.size() || !run.nc.cutSettings[(size_t)k].noted) return "";
  const NcCutSetting& c = run.nc.cutSettings[(size_t)k];
  if (c.perLayer) return "per layer";
  auto from = [](int who) {
    if (who < 0) return std::string(" (from a directive)");
    if (who == 0) return std::string();
    char name[16];
    KxContourName(name, sizeof name, who);
    return " (from " + std::string(name) + ")";
  };
  char buf[64];
  snprintf(buf, sizeof buf, "%.3f\u00b0", c.taper);
  std::string out = buf + from(c.taperFrom);
  snprintf(buf, sizeof buf, " / %+.3f D#%d", c.offset, c.reg);
  return out + buf + from(c.offsetFrom);
}

constexpr int kPictureWidth = 960;   // width of the picture on the page, pixels
constexpr double kLabelPixels = 13;  // height of its labels, pixels
constexpr double kMostTall = 0.75;   // narrowest picture, width over height

// The labels of the picture and where they stand: a label goes only where it
// overlaps no other one and stays inside the picture. The places taken are
// kept in cells, so that a drawing of thousands of contours is labelled fast.
class LabelPlaces {
 public:
  LabelPlaces(double x, double y, double w, double h, double fs) : x0_(x), y0_(y), x1_(x + w), y1_(y + h), fs_(fs), cell_(fs * 6) {}

  // Width of a text at the height fs, from the widest letters of the fonts the page names.
  static double Width(const std::string& text, double fs) {
    size_t letters = 0;
    for (unsigned char c : text) letters += (c & 0xC0) != 0x80;
    return letters * fs * 0.62;
  }

  // Writes text at the first free one of the places (its baseline's start); false when none is free.
  bool Place(FILE* f, const std::string& text, const char* attributes, std::initializer_list<std::pair<double, double>> at) {
    const double tw = Width(text, fs_);
    for (const auto& [x, y] : at) {
      const Rect r{x, y - fs_ * 0.85, x + tw, y + fs_ * 0.25};
      if (!free(r)) continue;
      take(r);
      KxFilePrint(f, "<text x='%.3f' y='%.3f'%s>%s</text>\n", x, y, attributes, text.c_str());
      return true;
    }
    return false;
  }

 private:
  struct Rect { double x0, y0, x1, y1; };
  long long key(long cx, long cy) const { return (long long)cx * 2000003LL + cy; }
  long cellOf(double v, double origin) const { return (long)floor((v - origin) / cell_); }
  template <class F> void cells(const Rect& r, F use) const {
    for (long cx = cellOf(r.x0, x0_); cx <= cellOf(r.x1, x0_); ++cx)
      for (long cy = cellOf(r.y0, y0_); cy <= cellOf(r.y1, y0_); ++cy) use(key(cx, cy));
  }
  bool free(const Rect& r) const {
    if (!(r.x0 >= x0_ && r.y0 >= y0_ && r.x1 <= x1_ && r.y1 <= y1_)) return false;
    bool clear = true;
    cells(r, [&](long long k) {
      const auto at = taken_.find(k);
      if (at == taken_.end()) return;
      for (int i : at->second) {
        const Rect& o = rects_[(size_t)i];
        if (r.x0 < o.x1 && o.x0 < r.x1 && r.y0 < o.y1 && o.y0 < r.y1) clear = false;
      }
    });
    return clear;
  }
  void take(const Rect& r) {
    rects_.push_back(r);
    cells(r, [&](long long k) { taken_[k].push_back((int)rects_.size() - 1); });
  }
  double x0_, y0_, x1_, y1_, fs_, cell_;
  std::vector<Rect> rects_;
  std::unordered_map<long long, std::vector<int>> taken_;
};

const char* kCss =
    "<style>\n"
    ".kxfig svg{display:block;max-width:100%;height:auto;background:#fff;border:1px solid #9ab}\n"
    ".kxfig svg.kxlegend{border-top:none}\n"
    ".kxfig path,.kxfig line,.kxfig circle,.kxfig polygon{vector-effect:non-scaling-stroke}\n"
    ".cut{fill:none;stroke:#1040c0;stroke-width:1.6}\n"
    ".lead{fill:none;stroke:#108030;stroke-width:1.2}\n"
    ".side{fill:none;stroke:#c07000;stroke-width:0.7}\n"
    ".hole{fill:none;stroke:#108030;stroke-width:1.2}\n"
    ".hold{fill:#d02090;stroke:none}\n"
    ".dir{fill:#1040c0;stroke:none}\n"
    ".rapid{fill:none;stroke:#666;stroke-width:0.9;stroke-dasharray:6 4}\n"
    ".notcut path,.notcut circle{fill:none;stroke:#e00000;stroke-width:2.2;stroke-dasharray:2 2}\n"
    ".kxfig text{font-family:verdana,arial,sans-serif;fill:#222}\n"
    ".kxtab{border-collapse:collapse;font-family:verdana,arial,sans-serif;font-size:13px}\n"
    ".kxtab td,.kxtab th{border:1px solid #9ab;padding:2px 8px;text-align:left}\n"
    ".kxtime{font-family:verdana,arial,sans-serif;font-weight:bold}\n"
    "</style>\n";

}  // namespace

std::vector<KxWirePair> KxRulingLines(KxRun& run) {
  std::vector<KxWirePair> lines;
  for (const KxContour& c : run.contours.all) {
    if (!c.upper) continue;
    for (const KxWirePair& p : KxRuledPairs(c.upper->bottom, c.upper->loop, c.upper->ties, c.splitX, c.splitY, run.cfg.chordTolerance))
      if (p.knot) lines.push_back(p);
  }
  return lines;
}

void WriteToolpathFigure(KxRun& run, FILE* f, const KxToolpath& tp) {
  if (!f) return;
  char name[16];

  // Extent: everything the picture shows.
  KxExtent b;
  for (int m = 0; m < tp.moveCount; ++m) {
    const KxMove& mv = tp.moves[m];
    b.Add(mv.x0, mv.y0);
    b.Add(mv.x1, mv.y1);
    if (mv.g >= 2) {
      double a0, sweep;
      KxArcSweep(mv, &a0, &sweep);
      b.AddArc(mv.cx, mv.cy, hypot((double)mv.x0 - mv.cx, (double)mv.y0 - mv.cy), a0, sweep);
    }
  }
  for (int r = 0; r < tp.rapidCount; ++r) {
    b.Add(tp.rapids[r].x0, tp.rapids[r].y0);
    b.Add(tp.rapids[r].x1, tp.rapids[r].y1);
  }
  for (const KxRapid& u : tp.upper) b.Add(u.x1, u.y1);
  long top = run.table.eldsCounter;
  for (long i = 0; i < top; ++i) {
    const elementdaten& e = run.table.elds[i];
    if (!drawable(e) || run.table.marks[i].kontur[0] == '\0') continue;
    if (run.table.marks[i].kontur[0] == '$' || strcmp(run.table.marks[i].kontur, "-del-") == 0) b.AddElement(e);
  }
  if (b.Empty()) {
    b.Add(0, 0);
    b.Add(10, 10);
  }
  double w = b.x1 - b.x0, h = b.y1 - b.y0;
  double size = w > h ? w : h;
  if (size < 1) size = 1;
  double margin = size * 0.06;
  double vx = b.x0 - margin, vy = -b.y1 - margin, vw = w + 2 * margin, vh = h + 2 * margin;
  if (vw < vh * kMostTall) {   // a tall drawing is drawn no taller than 4:3 of the picture's width
    vx -= (vh * kMostTall - vw) / 2;
    vw = vh * kMostTall;
  }
  const double fs = vw * kLabelPixels / kPictureWidth;   // text height: the same on the page for every drawing
  double mark = size * 0.008;

  fputs("</pre>\n", f);
  fputs(kCss, f);
  fputs("<figure class='kxfig'>\n", f);
  KxFilePrint(f, "<svg xmlns='http://www.w3.org/2000/svg' width='%d' viewBox='%.3f %.3f %.3f %.3f'>\n", kPictureWidth, vx, vy, vw,
          vh);
  fputs("<title>Toolpath of the NC program</title>\n", f);
  fputs("<g transform='scale(1,-1)'>\n", f);

  // Positioning moves first, so the cuts are drawn over them.
  fputs("<g class='rapids'>\n", f);
  for (int r = 0; r < tp.rapidCount; ++r) {
    const KxRapid& p = tp.rapids[r];
    KxFilePrint(f, "<line class='rapid' data-order='%d' x1='%.3f' y1='%.3f' x2='%.3f' y2='%.3f'><title>G00 #%d</title></line>\n",
            p.order, p.x0, p.y0, p.x1, p.y1, p.order);
  }
  fputs("</g>\n", f);

  // Four-axis: the upper guide's path dashed, and the wire (a ruling line) now and then.
  if (!tp.upper.empty()) {
    fputs("<g class='upper' style='fill:none;stroke:#8040c0;stroke-width:1.1;stroke-dasharray:5 3'><title>top contour (upper guide)</title>\n", f);
    for (const KxRapid& u : tp.upper)
      KxFilePrint(f, "<line x1='%.3f' y1='%.3f' x2='%.3f' y2='%.3f'/>\n", u.x0, u.y0, u.x1, u.y1);
    fputs("</g>\n<g class='wire' style='fill:none;stroke:#8040c0;stroke-width:0.5'><title>the wire at corners and sync points</title>\n", f);
    for (const KxWirePair& p : KxRulingLines(run))
      KxFilePrint(f, "<line x1='%.3f' y1='%.3f' x2='%.3f' y2='%.3f'/>\n", p.bx, p.by, p.tx, p.ty);
    fputs("</g>\n", f);
  }

  fputs("<g class='cuts'>\n", f);
  for (int l = 0; l < tp.loopCount; ++l) {
    const KxLoop& lp = tp.loops[l];
    KxContourName(name, sizeof name, KxBlockContour(lp.block));
    KxFilePrint(f, "<g class='loop' data-contour='%s'>\n", name);
    KxFilePrint(f, "<title>%s N%d: %d cut%s, G%d</title>\n", name, lp.block, lp.cuts, lp.cuts == 1 ? "" : "s", lp.side);
    if (lp.moveCount > 0 && lp.firstMove < tp.moveCount) {
      const KxMove& m0 = tp.moves[lp.firstMove];
      KxFilePrint(f, "<path class='cut' data-block='N%d' d='M %.3f %.3f", lp.block, m0.x0, m0.y0);
      for (int m = lp.firstMove; m < lp.firstMove + lp.moveCount && m < tp.moveCount; ++m) moveData(f, tp.moves[m]);
      fputs("'/>\n", f);
      fputs("<path class='side' d='", f);
      for (int m = lp.firstMove; m < lp.firstMove + lp.moveCount && m < tp.moveCount; ++m)
        sideData(f, tp.moves[m], lp.side, mark * 0.8);
      fputs("'/>\n", f);
      // The cutting direction, an arrow just after the split point.
      double tx, ty;
      KxMoveStartTangent(m0, &tx, &ty);
      double ax = m0.x0 + tx * mark * 2, ay = m0.y0 + ty * mark * 2, a = mark * 1.6;
      KxFilePrint(f, "<polygon class='dir' points='%.3f,%.3f %.3f,%.3f %.3f,%.3f'/>\n", ax + tx * a, ay + ty * a,
              ax - ty * a * 0.5, ay + tx * a * 0.5, ax + ty * a * 0.5, ay - tx * a * 0.5);
    }
    for (int lead : {lp.leadIn, lp.leadOut}) {
      if (lead < 0 || lead >= tp.moveCount) continue;
      const KxMove& m = tp.moves[lead];
      KxFilePrint(f, "<path class='lead' d='M %.3f %.3f", m.x0, m.y0);
      moveData(f, m);
      fputs("'/>\n", f);
    }
    KxFilePrint(f, "<circle class='hole' cx='%.3f' cy='%.3f' r='%.3f'/>\n", lp.holeX, lp.holeY, mark);
    if (lp.hold)
      KxFilePrint(f, "<rect class='hold' x='%.3f' y='%.3f' width='%.3f' height='%.3f'><title>hold point</title></rect>\n",
              lp.holdX - mark * 0.6, lp.holdY - mark * 0.6, mark * 1.2, mark * 1.2);
    fputs("</g>\n", f);
  }
  fputs("</g>\n", f);

  // What was left uncut, each with its reason as a tooltip.
  int openSeen = 0;   // cut contours whose drawn ends do not meet
  std::vector<int> loopBlocks;
  for (int l = 0; l < tp.loopCount; ++l) loopBlocks.push_back(tp.loops[(size_t)l].block);
  const std::vector<char> cutContours = contoursOf(run, loopBlocks, tp.loopCount);
  const std::vector<char> troubleContours = contoursOf(run, tp.trouble, tp.troubleCount);
  fputs("<g class='notcut'>\n", f);
  for (int k = 1; k <= run.contours.count; ++k) {
    KxContourName(name, sizeof name, k);
    const KxContour& contour = run.contours.all[(size_t)k];
    const std::vector<long> members = KxContourRecords(contour);
    bool cut = cutContours[(size_t)k];
    float ox[64], oy[64];
    int ends = cut ? openEnds(run, members, ox, oy, 64) : 0;
    if (cut && ends == 0) continue;
    if (cut) ++openSeen;
    char refused[96];
    const char* why = !cut ? (troubleContours[(size_t)k] ? "no start hole: not cut" : "not cut")
                           : "open contour: its ends do not meet";
    // With start holes placed by korvex, why this one got none.
    if (const std::string& placement = KxReasonFor(run.contours.autoRefusals, k); !cut && !placement.empty()) {
      snprintf(refused, sizeof refused, "no start hole (%s): not cut", placement.c_str());
      why = refused;
    }
    KxFilePrint(f, "<g class='warn' data-contour='%s'><title>%s %s</title>\n", name, name, why);
    for (long i : members) {
      const elementdaten& e = run.table.elds[i];
      if (!drawable(e) || (cut && e.type == etCIR)) continue;
      fputs("<path d='", f);
      elementData(f, e);
      fputs("'/>\n", f);
    }
    for (int o = 0; o < ends; ++o) KxFilePrint(f, "<circle cx='%.3f' cy='%.3f' r='%.3f'/>\n", ox[o], oy[o], mark * 1.5);
    fputs("</g>\n", f);
  }
  for (long i = 0; i < top; ++i) {
    const elementdaten& e = run.table.elds[i];
    if (!drawable(e)) continue;
    bool orphan = strncmp(run.table.marks[i].kontur, run.contours.orphan, sizeof(KxMarks::kontur)) == 0;
    bool killed = strcmp(run.table.marks[i].kontur, "-del-") == 0;
    if (!orphan && !killed) continue;
    if (orphan) fputs("<g class='warn'><title>orphan: too few elements for a contour, not cut</title><path d='", f);
    else KxFilePrint(f, "<g class='warn'><title>short line removed (&lt;%.4f)</title><path d='", run.cfg.elementTolerance);
    elementData(f, e);
    fputs("'/>", f);
    if (killed) KxFilePrint(f, "<circle cx='%.3f' cy='%.3f' r='%.3f'/>", e.sx, e.sy, mark * 1.5);
    fputs("</g>\n", f);
  }
  fputs("</g>\n", f);
  fputs("</g>\n", f);

  // Texts stand upright: drawn outside the turned group at (x, -y). Each label
  // takes the first free place beside its point, in full or shortened; one that
  // finds none is left out: the table below names every contour.
  LabelPlaces places(vx, vy, vw, vh, fs);
  KxFilePrint(f, "<g class='labels' font-size='%.3f'>\n", fs);
  const double gap = mark * 1.5, lift = fs * 0.8;
  for (int l = 0; l < tp.loopCount; ++l) {
    const KxLoop& lp = tp.loops[l];
    if (std::isnan(lp.holeX) || std::isnan(lp.holeY)) continue;
    char name[16];
    KxContourName(name, sizeof name, KxBlockContour(lp.block));
    const std::string full = std::string(name) + " \u00d7" + std::to_string(lp.cuts);
    const double hx = lp.holeX, hy = -lp.holeY;
    for (const std::string& text : {full, std::string(name)}) {
      const double tw = LabelPlaces::Width(text, fs);
      if (places.Place(f, text, "", {{hx + gap, hy - gap}, {hx + gap, hy + gap + lift}, {hx - gap - tw, hy - gap},
                                     {hx - gap - tw, hy + gap + lift}}))
        break;
    }
  }
  // A way travelled again is labelled once, with all its numbers (shortened: the first).
  const std::vector<int> first = firstOfWays(tp);
  std::vector<std::vector<int>> again((size_t)tp.rapidCount);   // the later moves along the way of each first one
  for (int q = 0; q < tp.rapidCount; ++q)
    if (first[(size_t)q] >= 0 && first[(size_t)q] != q) again[(size_t)first[(size_t)q]].push_back(q);
  for (int r = 0; r < tp.rapidCount; ++r) {
    const KxRapid& p = tp.rapids[r];
    if (first[(size_t)r] >= 0 && first[(size_t)r] != r) continue;
    const double mx = (p.x0 + p.x1) / 2.0, my = -(p.y0 + p.y1) / 2.0;
    if (!std::isfinite(mx) || !std::isfinite(my)) continue;
    std::string all = std::to_string(p.order);
    for (int q : again[(size_t)r]) {
      all += ',';
      all += std::to_string(tp.rapids[(size_t)q].order);
    }
    const std::string shortened = std::to_string(p.order) + (again[(size_t)r].empty() ? "" : ",\u2026");
    for (const std::string& text : {all, shortened}) {
      const double tw = LabelPlaces::Width(text, fs);
      if (places.Place(f, text, " fill='#666'", {{mx, my - fs * 0.2}, {mx, my + lift}, {mx - tw, my - fs * 0.2}, {mx - tw, my + lift}}))
        break;
    }
  }
  fputs("</g>\n", f);
  fputs("</svg>\n", f);

  // The legend and the scale bar in a row of their own below the drawing, as
  // wide as the picture: they never set the drawing's scale.
  const double pixels = kPictureWidth / vw;   // picture pixels per mm
  KxFilePrint(f, "<svg class='kxlegend' xmlns='http://www.w3.org/2000/svg' width='%d' viewBox='0 0 %d 50'>\n", kPictureWidth,
          kPictureWidth);
  fputs("<g class='legend' font-size='13'>\n", f);
  double lx = 12;
  const double ly = 20;
  struct Item { const char* cls; const char* text; };
  const Item items[] = {{"cut", "cut"}, {"lead", "lead-in/out"}, {"side", "wire side"}, {"rapid", "G00"},
                        {"notcut", "not cut"}};
  for (const Item& it : items) {
    if (strcmp(it.cls, "notcut") == 0) KxFilePrint(f, "<g class='notcut'><path d='M %.0f %.0f h 26'/></g>", lx, ly - 4);
    else KxFilePrint(f, "<path class='%s' d='M %.0f %.0f h 26'/>", it.cls, lx, ly - 4);
    KxFilePrint(f, "<text x='%.0f' y='%.0f'>%s</text>\n", lx + 31, ly, it.text);
    lx += 31 + LabelPlaces::Width(it.text, 13) + 18;
  }
  KxFilePrint(f, "<circle class='hole' cx='%.0f' cy='%.0f' r='5'/><text x='%.0f' y='%.0f'>start hole</text>\n", lx + 5, ly - 4,
          lx + 15, ly);
  lx += 15 + LabelPlaces::Width("start hole", 13) + 18;
  KxFilePrint(f, "<rect class='hold' x='%.0f' y='%.0f' width='8' height='8'/><text x='%.0f' y='%.0f'>hold point</text>\n", lx,
          ly - 8, lx + 13, ly);
  // A round length of about 150 pixels in the picture.
  const double want = 150 / pixels, unit = pow(10.0, floor(log10(want)));
  const double bar = want / unit >= 5 ? 5 * unit : want / unit >= 2 ? 2 * unit : unit;
  KxFilePrint(f, "<path class='cut' d='M 12 38 v 5 h %.1f v -5'/><text x='%.1f' y='%.0f'>%g mm</text>\n", bar * pixels,
          bar * pixels + 18, 44.0, bar);
  fputs("</g>\n", f);
  fputs("</svg>\n", f);
  fputs("<figcaption>What the NC program cuts, in its own coordinates: blue the cut loops with their cutting "
        "direction, orange the side the wire is offset to, green start holes and leads, grey dashed the "
        "positioning moves in order, red what was left uncut (hover for the reason).</figcaption>\n",
        f);
  fputs("</figure>\n", f);

  // One row per cut loop, with its time and the taper and offset it is cut with.
  KxMachineTime mt;
  KxComputeMachineTime(run, tp, &mt);
  // A job with four-axis contours gives each row its top contour and largest wire angle.
  bool fourAxis = false;
  for (const KxContour& c : run.contours.all) fourAxis = fourAxis || c.upper;
  fputs("<table class='kxtab'>\n<tr><th>contour</th><th>block</th><th>cuts</th><th>length per cut</th>"
        "<th>side</th><th>position</th><th>start hole</th><th>cuts time</th><th>threadings</th><th>taper / offset</th>",
        f);
  fputs(fourAxis ? "<th>top contour</th><th>largest wire angle</th></tr>\n" : "</tr>\n", f);
  for (int l = 0; l < tp.loopCount; ++l) {
    const KxLoop& lp = tp.loops[l];
    int k = KxBlockContour(lp.block);
    KxContourName(name, sizeof name, k);
    const int parent = k >= 1 && k <= run.contours.count ? run.contours.all[(size_t)k].parent : 0;
    KxFilePrint(f, "<tr><td>%s</td><td>N%d", name, KxContourBlock(k));
    if (lp.block != KxContourBlock(k)) KxFilePrint(f, " (cut in N%d)", lp.block);
    KxFilePrint(f, "</td><td>%d</td><td>%.3f mm</td><td>G%d (wire %s)</td>", lp.cuts, loopLength(tp, lp), lp.side,
            lp.side == 41 ? "left" : "right");
    if (parent > 0) {
      char outer[16];
      KxContourName(outer, sizeof outer, parent);
      KxFilePrint(f, "<td>inside %s</td>", outer);
    } else {
      fputs("<td>outside</td>", f);
    }
    KxFilePrint(f, "<td>X%.3f Y%.3f</td>", lp.holeX, lp.holeY);
    const KxLoopTime& lt = mt.loops[(size_t)l];
    if (lt.known) KxFilePrint(f, "<td>%.1f min</td>", lt.minutes);
    else fputs("<td>no technology data</td>", f);
    KxFilePrint(f, "<td>%d</td><td>%s</td>", lt.threadings, cutSetting(run, k).c_str());
    const KxTopContour* top = k >= 1 && k <= run.contours.count ? run.contours.all[(size_t)k].upper.get() : nullptr;
    if (fourAxis && top)
      KxFilePrint(f, "<td>at X%.3f Y%.3f, %.0f mm up</td><td>%.2f degrees</td>", top->x, top->y, top->height, top->tilt);
    else if (fourAxis)
      fputs("<td>-</td><td>-</td>", f);
    fputs("</tr>\n", f);
  }
  fputs("</table>\n", f);
  const std::string total = KxMachineTimeLine(run, mt);
  if (!total.empty()) {
    fputs("<p class='kxtime'>", f);
    KxHtmlText(f, total.c_str());
    fputs("</p>\n", f);
  }

  // The run's warnings in words.
  long orphans = 0;
  for (long i = 0; i < top; ++i)
    if (strncmp(run.table.marks[i].kontur, run.contours.orphan, sizeof(KxMarks::kontur)) == 0) ++orphans;
  fputs("<ul class='kxwarn'>\n", f);
  int said = 0;
  auto say = [&](long n, const char* one, const char* many) {
    if (n <= 0) return;
    KxFilePrint(f, "<li>%ld %s</li>\n", n, n == 1 ? one : many);
    ++said;
  };
  if (run.table.maxElemBarrier > 0) {
    KxFilePrint(f, "<li>the drawing has more than %ld elements: the rest was not read</li>\n", run.table.eldsMaximum);
    ++said;
  }
  if (run.contours.count < 1) {
    fputs("<li>no contour found on the EDM layer</li>\n", f);
    ++said;
  }
  say(run.nc.openKoCounter, "open contour", "open contours");
  // The writer counts a contour as open by where its path ends; a chain with loose
  // ends can still end at its split point, so the drawing's ends are told as well.
  if (openSeen > run.nc.openKoCounter)
    say(openSeen, "contour whose drawn ends do not meet (red in the picture)",
        "contours whose drawn ends do not meet (red in the picture)");
  say(run.nc.bigTrouble, "contour without start hole (not cut)", "contours without start hole (not cut)");
  say(run.nc.missETechnologie, "cut without technology data", "cuts without technology data");
  say(orphans, "orphan element (not part of any contour)", "orphan elements (not part of any contour)");
  say(run.table.killedElements, "short line removed", "short lines removed");
  say(run.nc.topRefused, "four-axis contour not cut (see below)", "four-axis contours not cut (see below)");
  for (const std::string& why : run.contours.topRefusals) {
    fputs("<li>", f);
    KxHtmlText(f, why.c_str());
    fputs("</li>\n", f);
    ++said;
  }
  if (said == 0) fputs("<li>no warnings</li>\n", f);
  // Four-axis contours: what the top contour is and how far the wire leans.
  for (const KxContour& c : run.contours.all)
    if (c.upper)
      KxFilePrint(f, "<li class='fouraxis'>%s: four-axis, top contour at X%.3f Y%.3f (dashed), largest wire angle %.2f degrees; "
                     "its machine time counts the longer of the two guides' paths</li>\n", c.name, c.upper->x, c.upper->y, c.upper->tilt);
  fputs("</ul>\n<pre>", f);
}
