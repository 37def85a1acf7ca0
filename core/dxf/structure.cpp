// Structure check of the records just read, before the contour search:
// polylines become chains of lines, coordinates are rounded, too short lines and
// duplicates are marked deleted, lengths are computed and texts prepared.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "config/config.h"
#include "dxf/dxf.h"
#include "elements/elements.h"
#include "geometry/base.h"
#include "run/run.h"


// Live part of the table, never past its physical end.
static long liveCount(KxRun& run) { return run.table.eldsCounter; }

static void makeLineTo(elementdaten& e, float toX, float toY) {
  e.type = etLINE;
  e.ex = toX;
  e.ey = toY;
}

// True when record k continues the polyline whose etPOLY record stands just
// before it: a vertex, or the "next PYL" marker that a polyline header adds
// between its start record and its closing record. Anything else belongs to
// another entity and must come out of the check unchanged.
static bool continuesPolyline(KxRun& run, long k, long n) {
  if (k >= n) return false;
  if (run.table.elds[k].type == etVERT) return true;
  return run.table.elds[k].type == etDELETE && strcmp(run.table.elds[k].text, "next PYL") == 0;
}

// The segment from vertex e to the point (toX, toY): a line, or an arc when the
// vertex carries a bulge (the tangent of a quarter of the arc's sweep, positive
// when the arc turns counter-clockwise). Arcs are stored counter-clockwise, so a
// clockwise segment is stored from its end; its end points are the vertices
// themselves, so that the chaining finds them exactly.
static void makeSegment(elementdaten& e, float toX, float toY) {
  const double b = e.bulge;
  const double x1 = e.sx, y1 = e.sy, x2 = toX, y2 = toY;
  const double dx = x2 - x1, dy = y2 - y1;
  const double chord = std::sqrt(dx * dx + dy * dy);
  if (b == 0 || !std::isfinite(b) || !(chord > 0) || !std::isfinite(chord)) {
    makeLineTo(e, toX, toY);
    return;
  }
  // The centre lies on the chord's perpendicular, to its left for a positive bulge.
  const double off = chord * (1 - b * b) / (4 * b);
  const double ccx = (x1 + x2) / 2 - off * dy / chord;
  const double ccy = (y1 + y2) / 2 + off * dx / chord;
  const double r = chord * (1 + b * b) / (4 * std::fabs(b));
  auto angle = [&](double x, double y) {
    double a = std::atan2(y - ccy, x - ccx) * RAD2DEG;
    return (float)(a < 0 ? a + 360 : a);
  };
  if (!std::isfinite(ccx) || !std::isfinite(ccy) || !std::isfinite(r) || r > 3e38) {
    makeLineTo(e, toX, toY);
    return;
  }
  e.type = etARC;
  e.cx = (float)ccx;
  e.cy = (float)ccy;
  e.r = (float)r;
  if (b > 0) {
    e.sw = angle(x1, y1);
    e.ew = angle(x2, y2);
    e.ex = toX;
    e.ey = toY;
  } else {
    e.sw = angle(x2, y2);
    e.ew = angle(x1, y1);
    e.ex = e.sx;
    e.ey = e.sy;
    e.sx = toX;
    e.sy = toY;
  }
}

// Each vertex becomes the segment to the next vertex, and the last one closes
// the figure back to the first record after the etPOLY, unless its polyline is
// open: then it adds nothing. In a 2000-format drawing the vertices stand
// before the closing etPOLY record; that record is then followed by no vertex
// and becomes a line of its own without taking in the records that follow it.
static void convertPolylines(KxRun& run) {
  long n = liveCount(run);
  for (long i = 0; i < n; ++i) {
    elementdaten& head = run.table.elds[i];
    if (head.type != etPOLY) continue;
    head.type = etLINE;
    KxMarks& mark = run.table.marks[i];
    ++mark.used;
    KxCopy(mark.kontur, sizeof mark.kontur, "xPF");
    KxPrint(run, "%ld-", i);
    if (!continuesPolyline(run, i + 1, n)) continue;
    // The first vertex's own point: its record may turn into a clockwise arc stored from its end.
    const float firstX = run.table.elds[i + 1].sx, firstY = run.table.elds[i + 1].sy;
    for (long j = i + 1; j < n; ++j) {
      if (j + 1 < n && run.table.elds[j + 1].type == etVERT) {
        makeSegment(run.table.elds[j], run.table.elds[j + 1].sx, run.table.elds[j + 1].sy);
        continue;
      }
      if (run.table.elds[j].polyOpen) {
        run.table.elds[j].type = etDELETE;
      } else {
        makeSegment(run.table.elds[j], firstX, firstY);
        ++run.table.marks[j].used;
      }
      i = j;
      break;
    }
  }
}

static void roundCoordinates(KxRun& run) {
  // The first free record is rounded too; it is harmless and keeps the
  // table's tail in the same state as the drawing's records.
  for (long i = 0; i <= run.table.eldsCounter; ++i) {
    elementdaten& e = run.table.elds[i];
    e.sx = FL3NKS(e.sx);
    e.sy = FL3NKS(e.sy);
    e.ex = FL3NKS(e.ex);
    e.ey = FL3NKS(e.ey);
    e.cx = FL3NKS(e.cx);
    e.cy = FL3NKS(e.cy);
    e.r = FL3NKS(e.r);
    run.table.marks[i].child = 0;
  }
}

// A record the check leaves out: no contour takes it, and the dump shows it as deleted.
static void markDeleted(KxMarks& m) {
  KxCopy(m.kontur, sizeof m.kontur, "-del-");
  m.note = kNoteDeleted;
  m.used = 1;
}

// A line or an arc not longer than the element tolerance is a point: it cannot
// be chained sensibly, and an arc whose ends round to one point would be cut as
// a whole circle. It is kept in the table but marked so that no contour takes it.
// An arc whose start and end angles are equal may mean a full circle or nothing;
// it is taken as nothing, and the log says so.
static void deleteShortElements(KxRun& run) {
  long n = liveCount(run);
  for (long i = 0; i < n; ++i) {
    elementdaten& e = run.table.elds[i];
    float d;
    if (e.type == etLINE) d = LENC(e.sx, e.sy, e.ex, e.ey);
    else if (e.type == etARC) d = (float)(BOGENWINKEL(e.sw, e.ew) / RAD2DEG * e.r);
    else continue;
    if (!(d <= run.cfg.elementTolerance || std::isnan(d))) continue;
    markDeleted(run.table.marks[i]);
    if (e.type == etLINE) {
      KxPrint(run, " ## %ld LINE TOO SHORT ! ##\n", i);
    } else {
      KxPrint(run, " ## %ld ARC TOO SHORT ! ##\n", i);
      if (e.sw == e.ew)
        KxLog(run, " ARC %ld at (%.3f, %.3f): start and end angle are both %.6g degrees - a full circle or nothing; taken "
              "as nothing\n", i, e.cx, e.cy, e.sw);
      else
        KxLog(run, " ARC %ld at (%.3f, %.3f): sweep %.6g degrees, %.6f mm long - left out as a point\n", i, e.cx, e.cy,
              BOGENWINKEL(e.sw, e.ew), d);
    }
    ++run.table.killedElements;
  }
}

static bool samePoint(KxSettings& cfg, float ax, float ay, float bx, float by) {
  float d = LENC(ax, ay, bx, by);
  return d <= cfg.elementTolerance;
}

// Whether record b repeats record a: same type, the same end points (a line in
// either direction), and for arcs and circles the same centre and radius.
static bool sameElement(KxSettings& cfg, const elementdaten& a, const elementdaten& b) {
  if (a.type != b.type) return false;
  if (a.type == etLINE)
    return (samePoint(cfg, a.sx, a.sy, b.sx, b.sy) && samePoint(cfg, a.ex, a.ey, b.ex, b.ey)) ||
           (samePoint(cfg, a.sx, a.sy, b.ex, b.ey) && samePoint(cfg, a.ex, a.ey, b.sx, b.sy));
  if (a.type != etARC && a.type != etCIR) return false;
  if (!samePoint(cfg, a.cx, a.cy, b.cx, b.cy) || std::fabs(a.r - b.r) > cfg.elementTolerance) return false;
  return a.type == etCIR || (samePoint(cfg, a.sx, a.sy, b.sx, b.sy) && samePoint(cfg, a.ex, a.ey, b.ex, b.ey));
}

// The records already checked that later ones may repeat, filed by their start
// point (lines) or centre (arcs, circles): a repeat lies within the tolerance of
// one of them, so only the records near it need the full comparison.

static bool mayRepeat(const elementdaten& e, const KxMarks& m) {
  return (e.type == etLINE || e.type == etARC || e.type == etCIR) && strnlen(m.kontur, 2) <= 1;
}

// An element drawn twice would let the contour walk turn back along the copy and
// leave the rest of the contour uncut: the later copy is marked deleted.
static void deleteDuplicates(KxRun& run) {
  long n = liveCount(run);
  KxPointGrid grid;          // checked records by start point or centre
  std::vector<long> near;    // candidates for the record being checked
  grid.Reset(run.cfg.elementTolerance < 0 ? 0.0 : (double)run.cfg.elementTolerance);
  const bool indexed = grid.Usable();
  if (indexed) grid.Reserve(n);
  for (long i = 0; i < n; ++i) {
    elementdaten& e = run.table.elds[i];
    // Only records the chaining may take count: marked ones ("-del-", "xPF") never join a contour.
    if (!mayRepeat(e, run.table.marks[i])) continue;
    near.clear();
    if (!indexed) {
      for (long j = 0; j < i; ++j) near.push_back(j);
    } else if (e.type == etLINE) {
      // The earlier line starts where this one starts or, drawn the other way, ends.
      std::vector<long> other;
      grid.Near(e.sx, e.sy, near);
      grid.Near(e.ex, e.ey, other);
      near.insert(near.end(), other.begin(), other.end());
      std::sort(near.begin(), near.end());
      near.erase(std::unique(near.begin(), near.end()), near.end());
    } else {
      grid.Near(e.cx, e.cy, near);
    }
    for (long j : near) {
      const elementdaten& o = run.table.elds[j];
      if (strnlen(run.table.marks[j].kontur, 2) > 1 || !sameElement(run.cfg, o, e)) continue;
      markDeleted(run.table.marks[i]);
      KxPrint(run, " ## %ld DUPLICATE OF %ld ! ##\n", i, j);
      KxLog(run, "\n ## %ld DUPLICATE OF %ld ! ##", i, j);
      ++run.table.duplicateElements;
      break;
    }
    if (indexed && mayRepeat(e, run.table.marks[i])) {
      if (e.type == etLINE) grid.Add(e.sx, e.sy, i);
      else grid.Add(e.cx, e.cy, i);
    }
  }
}

static void computeLengths(KxRun& run) {
  long n = liveCount(run);
  for (long i = 0; i < n; ++i) {
    elementdaten& e = run.table.elds[i];
    e.len = 0;
    if (e.type == etLINE) {
      e.len = LENC(e.sx, e.sy, e.ex, e.ey);
    } else if (e.type == etCIR) {
      // The diameter is added on purpose: a hole is entered and left across it.
      e.len = (float)(2.0 * e.r * awPI + 2.0 * e.r);
    } else if (e.type == etARC) {
      e.len = (float)(BOGENWINKEL(e.sw, e.ew) * 2.0 * e.r * awPI / 360.0);
    }
  }
}

// Texts asking for their layer ("L>") get the layer's name appended, so that
// the technology texts can later be matched to per-layer values.
static void prepareTexts(KxRun& run) {
  long n = liveCount(run);
  for (long i = 0; i < n; ++i)
    if (run.table.elds[i].type == etTEXT) S2UP(run.table.elds[i].text);
  KxPrint(run, "\n --event. Layername einfuegen:\n");
  for (long i = 0; i < n; ++i) {
    elementdaten& e = run.table.elds[i];
    if (e.type != etTEXT || !strstr(e.text, "L>")) continue;
    // A record without a valid layer index has no name to append.
    if (e.fLayer < 0 || e.fLayer >= kMaxLayerEntries) continue;
    char formed[128];
    snprintf(formed, sizeof formed, "%s %s", e.text, run.dxf.fLL[e.fLayer].Name);
    KxCopy(e.text, sizeof e.text, formed);
    KxPrint(run, "%ld  %s - \n", i, formed);
  }
}

void CheckStructs(KxRun& run) {
  KxPrint(run, "CheckStructs ");
  if (run.table.structsChecked > 0) {
    KxPrint(run, "-was checked-");
    return;
  }
  if (run.table.eldsCounter >= run.table.eldsMaximum) {
    KxPrint(run, "-Limit C-");
    return;
  }
  convertPolylines(run);
  roundCoordinates(run);
  deleteShortElements(run);
  deleteDuplicates(run);
  computeLengths(run);
  prepareTexts(run);
  ++run.table.structsChecked;
  KxPrint(run, "-checked- \n");
}
