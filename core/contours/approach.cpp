// Approach test of the feed-point search: can the wire run straight from a feed
// point to a contour element, meeting it at a right angle within the anchor
// length, and is that anchor path shorter than the best one found so far?
#include <cmath>
#include <cstring>
#include <vector>

#include "config/config.h"
#include "contours/contours.h"
#include "elements/elements.h"
#include "geometry/base.h"
#include "run/run.h"

namespace {

const float kArcEndMargin = 5.0f;    // degrees kept free at either end of an arc
const double kLineImprovement = 0.02;  // a line must beat the best by more than this (mm)

// How close to its end on the target the anchor path may meet another element:
// the target's neighbours touch it at its end points.
const double kMeetMargin = 0.01;

// Parameters t in [0, 1] where the segment p + t*d meets the circle (c, r), at most two.
int segmentCircle(double px, double py, double dx, double dy, double cx, double cy, double r, double t[2]) {
  const double fx = px - cx, fy = py - cy;
  const double a = dx * dx + dy * dy, b = 2 * (fx * dx + fy * dy), c = fx * fx + fy * fy - r * r;
  const double disc = b * b - 4 * a * c;
  if (a <= 0 || disc < 0) return 0;
  const double root = std::sqrt(disc);
  int n = 0;
  const double roots[2] = {(-b - root) / (2 * a), (-b + root) / (2 * a)};
  for (double v : roots)
    if (v >= 0 && v <= 1) t[n++] = v;
  return n;
}

}  // namespace

// Whether contour element e meets the path p + t*d before tMax.
static bool meetsPath(KxSettings& cfg, const elementdaten& e, const KxMarks& m, double px, double py, double dx, double dy, double tMax) {
  // Only the drawn contours are material; start holes and marks are not.
  if (strncmp(m.kontur, "$K", 2) != 0) return false;
  if (e.type == etLINE) {
    const double ex = e.ex - e.sx, ey = e.ey - e.sy;
    const double den = dx * ey - dy * ex;
    if (den == 0) return false;
    const double qx = e.sx - px, qy = e.sy - py;
    const double t = (qx * ey - qy * ex) / den;
    const double u = (qx * dy - qy * dx) / den;
    if (t >= 0 && t < tMax && u >= 0 && u <= 1) return true;
  } else if (e.type == etARC || (e.type == etCIR && e.r > cfg.gridRadius)) {
    double t[2];
    const int k = segmentCircle(px, py, dx, dy, e.cx, e.cy, e.r, t);
    for (int j = 0; j < k; ++j) {
      if (t[j] >= tMax) continue;
      if (e.type == etCIR) return true;
      float w = (float)WIV(e.cx, e.cy, (float)(px + t[j] * dx), (float)(py + t[j] * dy));
      float from = w - e.sw;
      from = KxWithinTurn(from);
      if (from <= BOGENWINKEL(e.sw, e.ew)) return true;
    }
  }
  return false;
}


// What a KxMaterialIndex files. Records added meanwhile are filed on the next
// question; lines, arcs and circles keep their place while the start-point
// search runs (it moves only the split points of feed points).
struct KxMaterialIndex::Grid {
  KxBoxGrid boxes;                     // lines, arcs and circles by their boxes
  double cell = 1;                     // the side of its cells
  long upTo = 0;                       // records below this are filed
  std::vector<long> near;              // candidates of the current question
  Grid* outer = nullptr;               // the filing in use before this one
};

static void fileMaterial(KxRun& run, KxMaterialIndex::Grid& g, long top) {
  for (long i = g.upTo; i < top; ++i) {
    const elementdaten& e = run.table.elds[i];
    if (e.type == etLINE)
      g.boxes.Add(e.sx, e.sy, e.ex, e.ey, i);
    else if (e.type == etARC || e.type == etCIR)
      g.boxes.Add((double)e.cx - e.r, (double)e.cy - e.r, (double)e.cx + e.r, (double)e.cy + e.r, i);
  }
  if (top > g.upTo) g.upTo = top;
}

KxMaterialIndex::KxMaterialIndex(KxRun& run) : run_(run), grid_(new Grid) {
  const long n = run.table.eldsCounter;
  // Cells about the size of an anchor path or of an average element, whichever is larger.
  double sizes = 0;
  long counted = 0;
  for (long i = 0; i < n; ++i) {
    const elementdaten& e = run.table.elds[i];
    double s = -1;
    if (e.type == etLINE) s = std::fmax(std::fabs((double)e.ex - e.sx), std::fabs((double)e.ey - e.sy));
    else if (e.type == etARC || e.type == etCIR) s = 2.0 * e.r;
    if (s >= 0 && std::isfinite(s)) {
      sizes += s;
      ++counted;
    }
  }
  double cell = counted ? sizes / (double)counted : 1.0;
  if ((double)run.cfg.anchorLength > cell) cell = run.cfg.anchorLength;
  grid_->cell = cell;
  grid_->boxes.Reset(cell);
  grid_->boxes.Reserve(counted);
  fileMaterial(run, *grid_, n);
  grid_->outer = run.contours.material;
  run.contours.material = grid_.get();
}

KxMaterialIndex::~KxMaterialIndex() { run_.contours.material = grid_->outer; }

double KxMaterialIndex::Cell() const { return grid_->cell; }

int AnchorCrossesMaterial(KxRun& run, long elem, long sPelem, float ax, float ay) {
  if (sPelem < 0 || sPelem >= run.table.eldsCounter) return 0;
  const double px = run.table.elds[sPelem].cx, py = run.table.elds[sPelem].cy;
  const double dx = ax - px, dy = ay - py;
  const double len = std::sqrt(dx * dx + dy * dy);
  if (len <= 0) return 0;
  // Meetings closer than the margin to the anchor point are the target's own corner.
  const double tMax = 1.0 - kMeetMargin / len;
  const long n = run.table.eldsCounter;
  KxMaterialIndex::Grid* g = run.contours.material;
  if (!g) {
    for (long i = 0; i < n; ++i)
      if (i != elem && i != sPelem && meetsPath(run.cfg, run.table.elds[i], run.table.marks[i], px, py, dx, dy, tMax)) return 1;
    return 0;
  }
  fileMaterial(run, *g, n);
  // A little more than the path's box: the crossing tests round.
  const double margin = 1e-4 + 1e-6 * (std::fabs(px) + std::fabs(py) + len);
  g->boxes.Overlapping(std::fmin(px, (double)ax) - margin, std::fmin(py, (double)ay) - margin,
                       std::fmax(px, (double)ax) + margin, std::fmax(py, (double)ay) + margin, g->near);
  for (long i : g->near)
    if (i < n && i != elem && i != sPelem && meetsPath(run.cfg, run.table.elds[i], run.table.marks[i], px, py, dx, dy, tMax)) return 1;
  return 0;
}

namespace {

// The trace shows the arc turned to start at 0 degrees as the record it was
// once copied into: number 3, a copy of number 2, named "arc rotiert".
void traceTurnedArc(KxRun& run, const elementdaten& arc) {
  if (KxConsole(run)) KxPrint(run, " [rota 2]");
  elementdaten t{};
  t.num = 3;
  t.type = etCPY;
  KxCopy(t.text, sizeof t.text, "arc rotiert");
  const float ccx = arc.cx, ccy = arc.cy, r = arc.r;
  t.cx = ccx;
  t.cy = ccy;
  t.r = r;
  t.sx = XARC(0, r) + ccx;
  t.sy = YARC(0, r) + ccy;
  t.sw = 0;
  const float b = BOGENWINKEL(arc.sw, arc.ew);
  t.ex = XARC(b, r) + ccx;
  t.ey = YARC(b, r) + ccy;
  t.ew = b;
  KxMarks copied{};
  copied.kElemX = 2;
  ePrintToStream(run, t, copied);
}

int arcApproach(KxRun& run, long elem, long sPelem, KxAnchor* a) {
  const elementdaten& arc = run.table.elds[elem];
  const elementdaten& feed = run.table.elds[sPelem];
  if (arc.r < run.cfg.anchorLength) {
    KxPrint(run, "..Radius %.3f zu klein =FASLE", arc.r);
    return 0;
  }
  traceTurnedArc(run, arc);
  KxPrint(run, "..[elem:%ld]", elem);

  if (BOGENWINKEL(arc.sw, arc.ew) < kMinLeadInSweep) {
    KxPrint(run, ".. Bogenwinkel zu klein =FASLE");
    return 0;
  }
  float cSPWink = (float)WIV(arc.cx, arc.cy, feed.cx, feed.cy);
  const float px = arc.cx + XARC(cSPWink, arc.r);
  const float py = arc.cy + YARC(cSPWink, arc.r);
  const float d1 = LENC(feed.cx, feed.cy, px, py);
  const float d2 = LENC(px, py, feed.cx, feed.cy);
  KxPrint(run, "\n Laengen FP(sPE)-SP(E3): %.3f mm | SP(E3)-FP(sPE): %.3f mm\n", d1, d2);
  if (d1 > run.cfg.anchorLength) {
    KxPrint(run, "..ausserhalb gMaxAnkerLen A =FASLE");
    return 0;
  }
  if (d2 > run.cfg.anchorLength) {
    KxPrint(run, "..ausserhalb gMaxAnkerLen B =FASLE");
    return 0;
  }
  KxPrint(run, "  normaler Winkelbereich: SW:%.3f  EW:%.3f  (CPFP-Wink %.3f)\n", arc.sw, arc.ew, cSPWink);

  // The window keeps 5 degrees off both ends. For an arc through 0 degrees the
  // window becomes asWink .. aeWink + 360 while the feed direction stays at or
  // below 360, so only directions from asWink up to 360 pass.
  float aeWink = arc.ew - kArcEndMargin;
  if (aeWink < 0) aeWink += 360;
  float asWink = arc.sw + kArcEndMargin;
  if (aeWink < 0) asWink += 360;
  if (cSPWink <= 0) cSPWink += 360;
  if (aeWink < asWink) aeWink += 360;
  if (asWink > cSPWink) {
    KxPrint(run, "..ausserhalb asWink C =FASLE");
    return 0;
  }
  if (aeWink < cSPWink) {
    KxPrint(run, "..ausserhalb aeWink D =FASLE");
    return 0;
  }

  KxPrint(run, " =TRUE \n");
  const float ankL = LENC(feed.cx, feed.cy, px, py);
  KxPrint(run, " >A> Ankerposition an Elem:%ld  x:%.3f y:%.3f \n", elem, px, py);
  KxPrint(run, " >A> Ankerlaenge:%.3f Ankerwinkel CP-SpP %.3f \n", ankL, (float)WIV(feed.cx, feed.cy, px, py));
  // A lead-in through another element would cut through material.
  if (a->length > ankL && ankL < run.cfg.anchorLength && AnchorCrossesMaterial(run, elem, sPelem, px, py)) {
    KxPrint(run, " anchor crosses an element ");
    return 0;
  }
  if (a->length > ankL && ankL < run.cfg.anchorLength) {
    KxPrint(run, " ankL:%.3f al:%.3f  ", ankL, a->length);
    a->length = ankL;
    KxPrint(run, " | al wurde neu gesetzt al:%.3f \n", a->length);
    a->x = px;
    a->y = py;
    return 1;
  }
  return 0;
}

int lineApproach(KxRun& run, long elem, long sPelem, KxAnchor* a) {
  const elementdaten& ln = run.table.elds[elem];
  const elementdaten& feed = run.table.elds[sPelem];
  const float len = LENC(ln.sx, ln.sy, ln.ex, ln.ey);
  float lineW = (float)WIV(ln.sx, ln.sy, ln.ex, ln.ey);
  if (lineW < 0) lineW += 360;
  const float dSP = LENC(ln.sx, ln.sy, feed.cx, feed.cy);
  float w2 = (float)WIV(ln.sx, ln.sy, feed.cx, feed.cy) - lineW;
  if (w2 < 0) w2 += 360;
  if (w2 < 0) w2 += 360;

  // Feed centre in the line's own frame: along the line from its start, and off it.
  const float along = XARC(w2, dSP);
  float perp = YARC(w2, dSP);
  if (perp < 0) {
    perp = -perp;
    KxPrint(run, " (ankL <0)");
  }
  if (perp > run.cfg.anchorLength) {
    KxPrint(run, " %.3f =FALSE ", perp);
    return 0;
  }
  const float x0 = ln.sx;
  const float xa = ln.sx + along;
  const float x1 = ln.sx + len;
  if (xa < x0 || xa > x1) {
    KxPrint(run, " =FALSE ");
    return 0;
  }
  const float fx = ln.sx + XARC(lineW, along);
  const float fy = ln.sy + YARC(lineW, along);
  const float ankL = LENC(feed.cx, feed.cy, fx, fy);
  const double beat = a->length - kLineImprovement;
  KxPrint(run, "\n >zu unterbieten: %.3f (%.3f) ", beat, ankL);
  int result = 0;
  // A lead-in through another element would cut through material.
  if (ankL < beat && AnchorCrossesMaterial(run, elem, sPelem, fx, fy)) KxPrint(run, " anchor crosses an element ");
  else if (ankL < beat) {
    KxPrint(run, " >ankL:%.3f al:%.3f  ", ankL, a->length);
    a->length = ankL;
    KxPrint(run, " | al wurde neu gesetzt al:%.3f \n", a->length);
    a->x = fx;
    a->y = fy;
    KxPrint(run, " >L> Ankerposition an Elem:%ld  x:%.3f y:%.3f \n", elem, fx, fy);
    KxPrint(run, " >L> Ankerlaenge:%.3f Ankerwinkel CP-SpP %.3f \n", ankL, (float)WIV(feed.cx, feed.cy, fx, fy));
    result = 1;
  }
  KxPrint(run, " back: %d=%s ", result, result ? "TRUE" : "FALSE");
  return result;
}

}  // namespace

namespace {

// A split point closer than this to an end of a curve piece is put on that end:
// a remainder of almost nothing would be written as an arc whose start and end
// print alike, which a control reads as a full circle.
const double kCurveEndSnap = 0.01;

bool validPair(KxRun& run, long elem, long sPelem, const KxAnchor* a) {
  return a && elem >= 0 && sPelem >= 0 && elem != sPelem && elem < run.table.eldsCounter && sPelem < run.table.eldsCounter;
}

// Unit tangent of a line or an arc at one of its ends, pointing along the element
// away from that end.
void tangentFrom(const elementdaten& e, bool atStart, double* tx, double* ty) {
  if (e.type == etLINE) {
    const double dx = (double)e.ex - e.sx, dy = (double)e.ey - e.sy, len = std::hypot(dx, dy);
    *tx = len > 0 ? (atStart ? dx : -dx) / len : 0;
    *ty = len > 0 ? (atStart ? dy : -dy) / len : 0;
    return;
  }
  // Counter-clockwise from the start angle, clockwise from the end angle.
  const double w = (atStart ? e.sw : e.ew) / RAD2DEG;
  *tx = atStart ? -std::sin(w) : std::sin(w);
  *ty = atStart ? std::cos(w) : -std::cos(w);
}

// How far the hole (wx, wy from the corner) lies off element e's side away from
// its neighbour (tangents te, tn at the corner): above 0 when e may take the lead-in
// there, so that the side of e the lead-in rule sees is the side the hole is on.
double cornerSide(const elementdaten& e, double vx, double vy, double tex, double tey, double tnx, double tny,
                  double wx, double wy) {
  const double hole = tex * wy - tey * wx, other = tex * tny - tey * tnx;
  if (!(hole * other < 0)) return 0;
  if (e.type == etARC) {
    // An arc tells the side by its circle: a hole on the centre's side of the
    // tangent must also lie inside the circle.
    const double centre = tex * (e.cy - vy) - tey * (e.cx - vx);
    if (centre * hole > 0 && !(std::hypot(vx + wx - e.cx, vy + wy - e.cy) < e.r)) return 0;
  }
  return std::fabs(hole) / std::hypot(wx, wy);
}

}  // namespace

// The other line or arc of elem's contour that has an end at (vx, vy), or -1;
// *atStart says which of its ends it is.
// The corner test asks this for both ends of every element of a contour: only
// the records that may belong to the contour are looked at, in table order.
long ContourNeighbourAt(KxRun& run, long elem, float vx, float vy, bool* atStart) {
  if (elem < 0 || elem >= run.table.eldsCounter || !atStart) return -1;
  const long n = run.table.eldsCounter;
  // Records without a name are not filed: for such an element every record is looked at.
  std::vector<long> members;
  const char* name = run.table.marks[elem].kontur;
  KxMemberCandidates(run, name[0] ? name : nullptr, n, members);
  for (long i : members) {
    const elementdaten& e = run.table.elds[i];
    if (i == elem || (e.type != etLINE && e.type != etARC) || !KxSameName(run.table.marks[i].kontur, name)) continue;
    const bool s = IsTolLenB2P(run.cfg, e.sx, e.sy, vx, vy) == 1, t = IsTolLenB2P(run.cfg, e.ex, e.ey, vx, vy) == 1;
    if (!s && !t) continue;
    *atStart = s && (!t || LENC(e.sx, e.sy, vx, vy) <= LENC(e.ex, e.ey, vx, vy));
    return i;
  }
  return -1;
}

int CurveApproachPossible(KxRun& run, long elem, long sPelem, KxAnchor* a) {
  if (!validPair(run, elem, sPelem, a)) return 0;
  const elementdaten& arc = run.table.elds[elem];
  const elementdaten& feed = run.table.elds[sPelem];
  if (arc.type != etARC || !arc.curve) return 0;
  KxPrint(run, "\n CurveApproach: %ld zu: %ld ", sPelem, elem);
  // The nearest point of the arc's circle, which must lie on the arc itself.
  const double w = std::atan2((double)feed.cy - arc.cy, (double)feed.cx - arc.cx) * RAD2DEG;
  double from = w - arc.sw;
  from = KxWithinTurn(from);
  const double sweep = BOGENWINKEL(arc.sw, arc.ew);
  if (from > sweep) {
    KxPrint(run, " ..ausserhalb =FALSE ");
    return 0;
  }
  float px = arc.cx + (float)(arc.r * std::cos(w / RAD2DEG));
  float py = arc.cy + (float)(arc.r * std::sin(w / RAD2DEG));
  const double toStart = arc.r * from / RAD2DEG, toEnd = arc.r * (sweep - from) / RAD2DEG;
  if (toStart < kCurveEndSnap && toStart <= toEnd) {
    px = arc.sx;
    py = arc.sy;
  } else if (toEnd < kCurveEndSnap) {
    px = arc.ex;
    py = arc.ey;
  }
  const float ankL = LENC(feed.cx, feed.cy, px, py);
  KxPrint(run, " Ankerlaenge:%.3f ", ankL);
  if (!(ankL < run.cfg.anchorLength) || !(ankL < a->length)) return 0;
  if (AnchorCrossesMaterial(run, elem, sPelem, px, py)) {
    KxPrint(run, " anchor crosses an element ");
    return 0;
  }
  a->length = ankL;
  a->x = px;
  a->y = py;
  KxPrint(run, " >C> Ankerposition an Elem:%ld  x:%.3f y:%.3f \n", elem, px, py);
  return 1;
}

int CornerApproachPossible(KxRun& run, long elem, long sPelem, KxAnchor* a) {
  if (!validPair(run, elem, sPelem, a)) return 0;
  const elementdaten& e = run.table.elds[elem];
  const elementdaten& feed = run.table.elds[sPelem];
  if (e.type != etLINE && e.type != etARC) return 0;
  int result = 0;
  for (int end = 0; end < 2; ++end) {
    const bool atStart = end == 0;
    const float vx = atStart ? e.sx : e.ex, vy = atStart ? e.sy : e.ey;
    bool nStart = false;
    const long nb = ContourNeighbourAt(run, elem, vx, vy, &nStart);
    if (nb < 0) continue;
    const double wx = (double)feed.cx - vx, wy = (double)feed.cy - vy;
    const float ankL = LENC(feed.cx, feed.cy, vx, vy);
    if (!(ankL > 0) || !(ankL < run.cfg.anchorLength) || !(ankL < a->length)) continue;
    double tex, tey, tnx, tny;
    tangentFrom(e, atStart, &tex, &tey);
    tangentFrom(run.table.elds[nb], nStart, &tnx, &tny);
    // The corner is the nearest point of both elements: the hole lies between
    // their normals there, on the side where they enclose the wider angle.
    if (wx * tex + wy * tey > 0 || wx * tnx + wy * tny > 0) continue;
    // Of the two elements, the one the hole lies farther off takes the lead-in
    // (on a tie the lower index).
    const double mine = cornerSide(e, vx, vy, tex, tey, tnx, tny, wx, wy);
    const double theirs = cornerSide(run.table.elds[nb], vx, vy, tnx, tny, tex, tey, wx, wy);
    if (!(mine > 0) || theirs > mine || (theirs == mine && nb < elem)) continue;
    KxPrint(run, "\n CornerApproach: %ld zu: %ld (%ld) x:%.3f y:%.3f Ankerlaenge:%.3f ", sPelem, elem, nb, vx, vy, ankL);
    if (AnchorCrossesMaterial(run, elem, sPelem, vx, vy)) {
      KxPrint(run, " anchor crosses an element ");
      continue;
    }
    a->length = ankL;
    a->x = vx;
    a->y = vy;
    result = 1;
  }
  return result;
}

int ApproachRWPossible(KxRun& run, long elem, long sPelem, KxAnchor* a) {
  if (!a || elem < 0 || sPelem < 0 || elem >= run.table.eldsCounter || sPelem >= run.table.eldsCounter)
    return 0;
  KxPrint(run, "\n ApproachRWPossible: %ld  ", sPelem);
  ePrintTypeToStream(run, sPelem);
  KxPrint(run, " zu: %ld ", elem);
  ePrintTypeToStream(run, elem);
  if (elem == sPelem) {
    KxPrint(run, " ..oops same Element");
    return 0;
  }
  const int t = run.table.elds[elem].type;
  if (t == etCIR || t == etINSE) {
    KxPrint(run, " ..BAD INSE/CIR etTYPE!");
    return 0;
  }
  if (t == etARC) return arcApproach(run, elem, sPelem, a);
  if (t == etLINE) return lineApproach(run, elem, sPelem, a);
  return 0;
}
