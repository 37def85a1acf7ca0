// Entity conversion: applies the group-code/value pairs of one entity on a
// selected layer to the element being staged, follows the subclass markers, turns
// object coordinates into drawing coordinates, and appends the element records
// (polylines as start/vertex/close records, each vertex with its bulge).
#include <cfloat>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "config/config.h"
#include "dxf/dxf.h"
#include "dxf/reading.h"
#include "elements/elements.h"
#include "geometry/base.h"
#include "run/run.h"

namespace {

// Records of a block's entity go into its definition; the staged element is as before it.
void takeIntoBlock(KxRun& run, DxfReading& rd, long from) {
  BlockTake(run, rd.blocks, from);
  if (rd.savedValid) rd.staged = rd.saved;
  rd.savedValid = false;
}

// Console notes of an entity; the entities of block definitions are read quietly,
// since most of them are never placed.
void say(KxRun& run, DxfReading& rd, const char* fmt, ...) __attribute__((format(printf, 3, 4)));
void say(KxRun& run, DxfReading& rd, const char* fmt, ...) {
  if (rd.ent.captured || rd.ent.foreign) return;
  char text[kDxfLineSize + 64];
  va_list ap;
  va_start(ap, fmt);
  vsnprintf(text, sizeof text, fmt, ap);
  va_end(ap);
  KxPrint(run, "%s", text);
}

// A point computed from huge coordinates may overflow; the table only takes finite values.
float finite(float v) { return std::isfinite(v) ? v : 0.0f; }

// Appends a record of the staged element; true when the table took it.
bool add(KxRun& run, DxfReading& rd, int typ, const char* text) { return AddNextElement(run, typ, rd.staged, text); }

// 0: extrusion along +Z; 1: along -Z (object X is drawing -X); 2: any other direction.
int extrusionCase(DxfReading& rd) {
  if (!DxfKindOf(rd.ent.kind).objectCoords) return 0;
  const double* n = rd.ent.extrusion;
  constexpr double eps = 1e-6;
  if (std::fabs(n[0]) > eps || std::fabs(n[1]) > eps || !(std::fabs(n[2]) > eps)) return 2;
  return n[2] < 0 ? 1 : 0;
}

// Drops the records from start on; a record added there later must not inherit
// the contour mark of a polyline start.
void dropSince(KxRun& run, long start) {
  if (start < 0 || start >= run.table.eldsCounter) return;
  for (long i = start; i < run.table.eldsCounter; ++i) run.table.marks[i].kontur[0] = '\0';
  run.table.eldsCounter = start;
}

const char* kindName(int kind) { return DxfKindOf(kind).name; }

void logSkipped(KxRun& run, DxfReading& rd, const char* what, const char* handle) {
  KxLog(run, " %s [%s] skipped: %s\n", kindName(rd.ent.kind), handle[0] ? handle : "-", what);
}

// --- values that refuse an entity ---

// How the entity being read uses a group for its geometry: not at all, as a
// coordinate or radius (mm), as a scale, as another number (angle, bulge, knot,
// weight, axis ratio, curve parameter, extrusion), or as a whole number (flags,
// array size, degree). Values of the groups it does not use are never judged.
enum GroupUse { guNone, guCoordinate, guScale, guNumber, guWhole };

GroupUse groupUse(DxfReading& rd, int code) {
  if (code == 210 || code == 220 || code == 230)
    return DxfKindOf(rd.ent.kind).objectCoords || rd.ent.kind == dkELLIPSE ? guNumber : guNone;
  switch (rd.ent.kind) {
    case dkINSERT:
      switch (code) {
        case 10: case 20: case 44: case 45: return guCoordinate;
        case 41: case 42: return guScale;
        case 50: return guNumber;
        case 70: case 71: return guWhole;
        default: return guNone;
      }
    case dkELLIPSE:
      switch (code) {
        case 10: case 20: case 11: case 21: return guCoordinate;
        case 40: case 41: case 42: return guNumber;
        default: return guNone;
      }
    case dkSPLINE:
      switch (code) {
        case 10: case 20: case 11: case 21: return guCoordinate;
        case 40: case 41: return guNumber;
        case 71: return guWhole;
        default: return guNone;
      }
    case dkLWPOLYLINE:
      switch (code) {
        case 10: case 20: return guCoordinate;
        case 42: return guNumber;
        case 70: return guWhole;
        default: return guNone;
      }
    case dkPOLYLINE:
      // The header's point only carries the elevation, which is not read.
      return code == 70 ? guWhole : guNone;
    case dkVERTEX:
      switch (code) {
        case 10: case 20: return guCoordinate;
        case 30: return rd.poly.threeD ? guCoordinate : guNone;   // a 3-D polyline must lie in one plane
        case 42: return guNumber;
        case 70: return guWhole;
        default: return guNone;
      }
    default:
      break;
  }
  switch (rd.ent.type) {
    case etLINE:
      return code == 10 || code == 20 || code == 11 || code == 21 ? guCoordinate : guNone;
    case etARC:
      if (code == 10 || code == 20 || code == 40) return guCoordinate;
      return code == 50 || code == 51 ? guNumber : guNone;
    case etCIR:
      return code == 10 || code == 20 || code == 40 ? guCoordinate : guNone;
    case etPNT: case etINSE: case etTEXT: case etVERT:
      return code == 10 || code == 20 ? guCoordinate : guNone;
    default:
      return guNone;
  }
}

bool onlyBlanks(const char* p) {
  while (*p == ' ' || *p == '\t' || *p == '\r') ++p;
  return *p == '\0';
}

// The value as the log quotes it: a long one is cut.
std::string quoted(const char* value) {
  constexpr size_t kShown = 40;
  std::string q = "'";
  const size_t n = strlen(value);
  q.append(value, n < kShown ? n : kShown);
  return q + (n > kShown ? "...'" : "'");
}

std::string numberText(const char* fmt, double v) {
  char b[64];
  snprintf(b, sizeof b, fmt, v);
  return b;
}

// Judges the value of a group the entity uses and keeps the first reason that
// refuses it; the number, when it is one.
bool checkGroup(KxRun& run, DxfReading& rd, int code, const char* value, double* v) {
  const GroupUse use = groupUse(rd, code);
  if (use == guNone) return false;
  // The reason is only put into words for a value that refuses the entity.
  const char* quotedWhy = nullptr;   // said of the value as written
  const char* valueWhy = nullptr;    // said of the number it is
  double limit = 0;
  if (use == guWhole) {
    char* end = nullptr;
    strtol(value, &end, 10);
    *v = (double)KxInteger(value);
    if (end == value || !onlyBlanks(end)) quotedWhy = " is no whole number";
  } else {
    const int read = DxfNumber(value, v);
    // Lengths are millimetres from here on, whatever unit the drawing is drawn in.
    if (use == guCoordinate) *v *= run.dxf.UnitScale();
    const double a = std::fabs(*v);
    if (read == kxNO_NUMBER) quotedWhy = " is no number";
    else if (read == kxNOT_FINITE) quotedWhy = " is no finite number";
    else if (use == guCoordinate && !(a <= kMaxCoordinate)) valueWhy = " beyond %.0f mm", limit = kMaxCoordinate;
    else if (use == guScale && !(a <= kMaxScale && a != 0)) valueWhy = " is no scale (at most %.0f, not 0)", limit = kMaxScale;
    else if (!(a <= FLT_MAX)) valueWhy = " beyond the float range";
  }
  if (!quotedWhy && !valueWhy) return true;
  // An insert that stands for a feed point is not placed: its placement groups say nothing.
  const bool placement = rd.ent.kind == dkINSERT && code != 10 && code != 20 && code < 210;
  std::string& slot = placement ? rd.ent.placement : rd.ent.refusal;
  if (slot.empty()) {
    slot = "group " + std::to_string(code) + " ";
    if (quotedWhy) slot += quoted(value) + quotedWhy;
    else slot += numberText("%g", *v) + numberText(valueWhy, limit);
  }
  *v = 0;
  return false;
}

// The reason for geometry that reaches too far: what reaches it, and how far.
std::string reaches(const std::string& what, double v) {
  if (!std::isfinite(v)) return what + " holds a value that is no finite number";
  return what + numberText(" reaches %.10g mm", v) + numberText(", beyond %.0f mm", kMaxCoordinate);
}

bool beyond(double v, double* value) {
  if (std::fabs(v) <= kMaxCoordinate) return false;
  *value = v;
  return true;
}

// Whether a record from from on lies beyond the coordinate limit or holds no
// finite number: the points of every record and the radius of a circle (and,
// with arcRadius, of an arc: an arc a curve is cut into may be nearly straight,
// with any radius). *value: the first such value.
bool recordBeyond(KxRun& run, long from, bool arcRadius, double* value) {
  const long n = run.table.eldsCounter;
  for (long i = from < 0 ? 0 : from; i < n; ++i) {
    const elementdaten& e = run.table.elds[i];
    switch (e.type) {
      case etARC:
        if (!std::isfinite(e.cx) || !std::isfinite(e.cy) || !std::isfinite(e.r)) {
          *value = NAN;
          return true;
        }
        if (arcRadius && beyond(e.r, value)) return true;
        [[fallthrough]];
      case etLINE:
        if (beyond(e.sx, value) || beyond(e.sy, value) || beyond(e.ex, value) || beyond(e.ey, value)) return true;
        break;
      case etCIR:
        if (beyond(e.cx, value) || beyond(e.cy, value) || beyond(e.r, value) || beyond(e.sx, value)) return true;
        break;
      case etVERT: case etPNT: case etINSE: case etTEXT:
        if (beyond(e.sx, value) || beyond(e.sy, value)) return true;
        break;
      default:
        break;
    }
  }
  return false;
}

// Whether a bulged segment of the vertex records from from on reaches beyond the
// coordinate limit: the middle of its arc, and for more than a half turn the
// circle it lies on. A nearly straight segment has a huge radius and is no fault.
bool bulgeBeyond(KxRun& run, long from, double* value) {
  const long n = run.table.eldsCounter;
  for (long i = from < 0 ? 0 : from; i < n; ++i) {
    if (run.table.elds[i].type != etVERT) continue;
    long j = i;
    while (j + 1 < n && run.table.elds[j + 1].type == etVERT) ++j;
    for (long k = i; k <= j; ++k) {
      const elementdaten& a = run.table.elds[k];
      const elementdaten* b = k < j ? &run.table.elds[k + 1] : (j > i && !a.polyOpen) ? &run.table.elds[i] : nullptr;
      if (!b || a.bulge == 0) continue;
      const double bu = a.bulge, dx = (double)b->sx - a.sx, dy = (double)b->sy - a.sy;
      const double mx = ((double)a.sx + b->sx) / 2, my = ((double)a.sy + b->sy) / 2;
      // The arc's middle lies off the chord's middle by the bulge times half the chord.
      double far = std::fmax(std::fabs(mx + bu * dy / 2), std::fabs(my - bu * dx / 2));
      const double chord = std::hypot(dx, dy);
      if (std::fabs(bu) > 1 && chord > 0) {
        const double off = chord * (1 - bu * bu) / (4 * bu);
        const double r = chord * (1 + bu * bu) / (4 * std::fabs(bu));
        far = std::fmax(far, std::fmax(std::fabs(mx - off * dy / chord), std::fabs(my + off * dx / chord)) + r);
      }
      if (!(far <= kMaxCoordinate)) {
        *value = far;
        return true;
      }
    }
    i = j;
  }
  return false;
}

// Drops the records from from on, puts the staged element back as it was
// before, and names the entity and the reason in the log.
void refuse(KxRun& run, DxfReading& rd, const char* type, const char* handle, const std::string& why, long from, const KxNewElement& before) {
  dropSince(run, from);
  rd.staged = before;
  KxLog(run, " %s [%s] refused: %s\n", type, handle[0] ? handle : "-", why.c_str());
  ++run.dxf.refusedEntities;
}

// Refuses the entity being read. A polyline without one of its corners would be
// another figure: a vertex refuses its whole polyline.
void refuseEntity(KxRun& run, DxfReading& rd, const std::string& why) {
  if (rd.ent.kind == dkVERTEX) {
    refuse(run, rd, "POLYLINE", rd.poly.handle, "VERTEX [" + std::string(rd.ent.handle[0] ? rd.ent.handle : "-") + "] " + why,
           rd.poly.start, rd.poly.before);
    rd.poly.skip = true;
    return;
  }
  refuse(run, rd, kindName(rd.ent.kind), rd.ent.handle, why, rd.ent.start, rd.ent.before);
  if (rd.ent.kind == dkPOLYLINE) {
    // Its vertices are passed over.
    rd.poly = DxfPolyline();
    rd.poly.open = rd.poly.skip = true;
  }
}

// Mirrors the vertices of records from..eldsCounter-1 in X; the turning sense of their bulges reverses.
void mirrorVertices(KxRun& run, long from) {
  for (long i = from; i < run.table.eldsCounter; ++i) {
    elementdaten& e = run.table.elds[i];
    if (e.type != etVERT) continue;
    e.sx = -e.sx;
    e.cx = -e.cx;
    e.bulge = -e.bulge;
  }
}

// Effective type after a subclass marker, or -1 when the marker ends the entity.
int typeOfMarker(KxRun& run, DxfReading& rd, const char* marker) {
  struct Switch { const char* marker; int type; const char* note; };
  static const Switch switches[] = {
      {"AcDbLine", etLINE, " ..eftype changed2line\n"},
      {"AcDbCircle", etCIR, " ..eftype changed2circle\n"},
      {"AcDbArc", etARC, " ..eftype changed2arc\n"},
      {"AcDbPolyline", etPOLY, " ..eftype changed2poly\n"},
      {"AcDbVertex", etVERT, " ..eftype changed2vert\n"},
      {"AcDb2dVertex", etVERT, " ..eftype changed2vert\n"},
      {"AcDb3dPolylineVertex", etVERT, " ..eftype changed2vert\n"},
  };
  if (DxfIs(marker, "AcDbDictionary")) {
    say(run, rd, "  <return>\n");
    return -1;
  }
  for (const Switch& s : switches) {
    if (DxfIs(marker, s.marker)) {
      say(run, rd, "%s", s.note);
      return s.type;
    }
  }
  say(run, rd, " ...BAD TYPE (%s)\n", marker);
  return -1;
}

void marker(KxRun& run, DxfReading& rd, const char* value) {
  if (DxfIs(value, "AcDbEntity")) return;
  if (!rd.ent.classSeen) {
    // The entity's own class: its type is known from its group 0 already.
    rd.ent.classSeen = true;
    if (!DxfTwelveRules(run)) say(run, rd, "  AcDbEntity Element: %s\n", value);
    return;
  }
  // An array insert names its own class after the one of every insert.
  if (rd.ent.kind == dkINSERT && DxfIs(value, "AcDbMInsertBlock")) return;
  say(run, rd, " ..%s \n", value);
  int t = typeOfMarker(run, rd, value);
  if (t < 0) {
    rd.ent.rest = rd.ent.nothing = true;
    return;
  }
  rd.ent.type = t;
}

// The end of a polyline header: its closing records, or nothing for a mesh.
void finishPolylineHeader(KxRun& run, DxfReading& rd, int ext) {
  if (rd.ent.kind == dkPOLYLINE) {
    rd.poly.open = true;
    rd.poly.captured = rd.ent.captured;
    rd.poly.start = rd.ent.start;
    rd.poly.before = rd.ent.before;
    KxCopy(rd.poly.handle, sizeof rd.poly.handle, rd.ent.handle);
    if (rd.ent.flags & (16 | 64)) {
      dropSince(run, rd.ent.start);
      rd.poly.skip = true;
      logSkipped(run, rd, "polyface or polygon mesh", rd.ent.handle);
      return;
    }
    rd.poly.closed = (rd.ent.flags & 1) != 0;
    rd.poly.mirror = ext == 1;
    rd.poly.threeD = (rd.ent.flags & 8) != 0;
  } else {
    if (ext == 1) mirrorVertices(run, rd.ent.start);
    if (!(rd.ent.flags & 1))
      for (long i = rd.ent.start; i < run.table.eldsCounter; ++i)
        if (run.table.elds[i].type == etVERT) run.table.elds[i].polyOpen = 1;
  }
  rd.staged.sx = rd.staged.sy = rd.staged.ex = rd.staged.ey = 0;
  add(run, rd, etDELETE, "next PYL");
  add(run, rd, etPOLY, gNoText);
}

void finishVertex(KxRun& run, DxfReading& rd) {
  // Frame control points of a spline-fitted polyline do not lie on its path.
  if (rd.ent.flags & 16) return;
  if (rd.poly.threeD) {
    float z = rd.ent.hasZ ? rd.ent.z : 0;
    if (!rd.poly.zSet) {
      rd.poly.z0 = z;
      rd.poly.zSet = true;
    } else if (std::fabs(z - rd.poly.z0) > 1e-6f * (1 + std::fabs(rd.poly.z0))) {
      rd.poly.zDiffers = true;
    }
  }
  if (rd.poly.mirror) {
    rd.staged.sx = rd.staged.cx = -rd.staged.sx;
    rd.ent.bulge = -rd.ent.bulge;
  }
  rd.staged.ex = rd.staged.ey = 0;
  if (!add(run, rd, etVERT, gNoText)) return;
  run.table.elds[run.table.eldsCounter - 1].bulge = rd.ent.bulge;
  run.table.elds[run.table.eldsCounter - 1].polyOpen = rd.poly.closed ? 0 : 1;
}

void finishEntity(KxRun& run, DxfReading& rd);

// The number of a group value: judged when the entity uses the group, else read as ever.
double groupNumber(KxRun& run, DxfReading& rd, int code, const char* value) {
  double v;
  return checkGroup(run, rd, code, value, &v) ? v : KxNumber(value);
}

// Groups of splines, ellipses and inserts that mean something else for them (v: the
// value as a number); true when taken.
bool curveOrInsertGroup(DxfReading& rd, int code, const char* value, double v) {
  if (rd.ent.kind == dkINSERT) {
    DxfInsert& in = rd.ent.insert;
    switch (code) {
      case 10: in.x = v; break;
      case 20: in.y = v; break;
      case 41: in.sx = v; return true;
      case 42: in.sy = v; return true;
      case 50: in.rotation = v; break;
      case 44: in.dx = v; return true;
      case 45: in.dy = v; return true;
      case 70: in.columns = (int)KxInteger(value); return true;
      case 71: in.rows = (int)KxInteger(value); return true;
      default: break;
    }
    return false;   // the staged element takes point and angle as well
  }
  if (rd.ent.kind == dkELLIPSE) {
    switch (code) {
      case 10: rd.ent.d10 = v; break;
      case 20: rd.ent.d20 = v; break;
      case 11: rd.ent.d11 = v; return true;
      case 21: rd.ent.d21 = v; return true;
      case 40: rd.ent.d40 = v; return true;
      case 41: rd.ent.d41 = v; return true;
      case 42: rd.ent.d42 = v; return true;
      default: break;
    }
    return false;
  }
  // A spline: points, knots and weights come as repeated groups.
  KxSpline& sp = rd.spline;
  switch (code) {
    case 10: rd.ent.d10 = v; return true;
    case 20:
      if (sp.nControl < kKxSplineMaxPoints) {
        sp.x[sp.nControl] = rd.ent.d10;
        sp.y[sp.nControl] = v;
        sp.weights[sp.nControl] = 1;
        ++sp.nControl;
      } else {
        rd.ent.splineBad = true;
      }
      return true;
    case 11: rd.ent.d11 = v; return true;
    case 21:
      if (sp.nFit < kKxSplineMaxPoints) {
        sp.fx[sp.nFit] = rd.ent.d11;
        sp.fy[sp.nFit] = v;
        ++sp.nFit;
      } else {
        rd.ent.splineBad = true;
      }
      return true;
    case 40:
      if (sp.nKnots < kKxSplineMaxPoints + kKxSplineMaxDegree + 1)
        sp.knots[sp.nKnots++] = v;
      else
        rd.ent.splineBad = true;
      return true;
    case 41:
      // Weights follow the control points, in their order.
      if (rd.ent.d41 < kKxSplineMaxPoints) sp.weights[(int)rd.ent.d41] = v;
      rd.ent.d41 += 1;
      return true;
    case 71: sp.degree = (int)KxInteger(value); return true;
    case 42: case 43: case 44: case 70: case 72: case 73: case 74: return true;
    default: return false;
  }
}

// An ellipse or a spline becomes arcs within the curve tolerance (a quarter of it,
// so that the arcs stay within it after the program rounds them to thousandths).
void finishCurve(KxRun& run, DxfReading& rd) {
  // A block may be placed enlarged: its curves are cut finer.
  const double tol = run.cfg.curveTolerance / (rd.ent.captured ? 16.0 : 4.0);
  const char* what = kindName(rd.ent.kind);
  int n = -1;
  if (rd.ent.kind == dkELLIPSE) {
    const double* nz = rd.ent.extrusion;
    if (std::fabs(nz[0]) > 1e-6 || std::fabs(nz[1]) > 1e-6 || !(std::fabs(nz[2]) > 1e-6)) {
      logSkipped(run, rd, "its plane is not parallel to XY", rd.ent.handle);
      return;
    }
    // The minor axis lies to the left of the major one, seen from the extrusion side.
    const double side = nz[2] < 0 ? -1 : 1;
    const double mx = rd.ent.d11, my = rd.ent.d21, q = rd.ent.d40 * side;
    const double t0 = rd.ent.d41, t1 = rd.ent.d42;
    do n = ConjugateEllipsePieces(rd.ent.d10, rd.ent.d20, mx, my, -my * q, mx * q, t0, t1, tol, CurvePieceBuffer(rd),
                                  CurvePieceRoom(rd));
    while (n == kKxTooManyPieces && GrowCurvePieces(run, rd));
  } else {
    KxSpline& sp = rd.spline;
    // Weights only for the control points there are; a spline without control points is taken by its fit points.
    if (rd.ent.splineBad) {
      logSkipped(run, rd, "more points than are read", rd.ent.handle);
      say(run, rd, " ..%s: more than %d points, left out\n", what, kKxSplineMaxPoints);
      return;
    }
    do n = KxSplineToPieces(sp, tol, CurvePieceBuffer(rd), CurvePieceRoom(rd));
    while (n == kKxTooManyPieces && GrowCurvePieces(run, rd));
  }
  const KxCurvePiece* pieces = CurvePieceBuffer(rd);
  if (n < 0) {
    logSkipped(run, rd, "degenerate, or more arcs than one curve may become", rd.ent.handle);
    say(run, rd, " ..%s: no arcs can be made of it, left out\n", what);
    return;
  }
  for (int i = 0; i < n; ++i) {
    const KxCurvePiece& p = pieces[i];
    double far;
    if (!p.line && !(std::isfinite(p.cx) && std::isfinite(p.cy) && std::isfinite(p.r))) far = NAN;
    else if (!beyond(p.sx, &far) && !beyond(p.sy, &far) && !beyond(p.ex, &far) && !beyond(p.ey, &far)) continue;
    refuseEntity(run, rd, reaches("an arc of it", far));
    return;
  }
  int arcs = 0;
  // The pieces build on a copy: the drawing's next entity inherits nothing of them.
  KxNewElement pieceValues = rd.staged;
  long added = AddCurvePieces(run, pieceValues, pieces, n, &arcs);
  if (rd.ent.captured) return;
  KxPrint(run, " ..%s: %d arcs", what, arcs);
  KxLog(run, " %s [%s]: %d arcs", what, rd.ent.handle[0] ? rd.ent.handle : "-", arcs);
  if (added > arcs) {
    KxPrint(run, ", %ld lines", added - arcs);
    KxLog(run, ", %ld lines", added - arcs);
  }
  // The length of the arcs, for comparison with what a CAD program measures.
  double length = 0;
  for (int i = 0; i < n; ++i) {
    const KxCurvePiece& p = pieces[i];
    if (p.line) {
      length += std::hypot(p.ex - p.sx, p.ey - p.sy);
      continue;
    }
    double sweep = std::atan2((p.sx - p.cx) * (p.ey - p.cy) - (p.sy - p.cy) * (p.ex - p.cx),
                              (p.sx - p.cx) * (p.ex - p.cx) + (p.sy - p.cy) * (p.ey - p.cy));
    if (p.ccw && sweep < 0) sweep += 2 * M_PI;
    if (!p.ccw && sweep > 0) sweep -= 2 * M_PI;
    length += std::fabs(sweep) * p.r;
  }
  KxPrint(run, "\n");
  KxLog(run, ", length %.3f mm (tolerance %.4f mm)\n", length, run.cfg.curveTolerance);
}

void finishInsert(KxRun& run, DxfReading& rd, int ext) {
  DxfInsert in = rd.ent.insert;
  in.mirror = ext == 1;
  // An array of more copies than the table could ever hold is as good as one of that many.
  constexpr int kMaxArray = 100000;
  in.columns = in.columns < 1 ? 1 : in.columns > kMaxArray ? kMaxArray : in.columns;
  in.rows = in.rows < 1 ? 1 : in.rows > kMaxArray ? kMaxArray : in.rows;
  if (rd.ent.captured) {
    BlockTakeInsert(run, rd.blocks, rd.ent.block, in);
    return;
  }
  const long from = run.table.eldsCounter;
  // The placed records build on their own copy of the staged element.
  long added = BlockPlace(run, rd, rd.ent.block, in, !rd.ent.foreign);
  double far;
  if (BlockPlacedBeyond(rd.blocks, &far) || recordBeyond(run, from, false, &far)) {
    refuse(run, rd, "INSERT", rd.ent.handle, reaches("block " + std::string(rd.ent.block) + " placed", far), from, rd.ent.before);
    return;
  }
  double length = 0;
  for (long i = from; i < run.table.eldsCounter; ++i) {
    const elementdaten& e = run.table.elds[i];
    if (e.type == etLINE) length += std::hypot((double)e.ex - e.sx, (double)e.ey - e.sy);
    if (e.type == etARC) length += BOGENWINKEL(e.sw, e.ew) * M_PI / 180 * e.r;
    if (e.type == etCIR) length += 2 * M_PI * e.r;
  }
  KxPrint(run, " ..<Block placed: %ld elements>\n", added);
  KxLog(run, " INSERT [%s] of block %s: %ld elements placed, length %.3f mm\n", rd.ent.handle[0] ? rd.ent.handle : "-",
        rd.ent.block, added, length);
}

}  // namespace

int DxfNumber(const char* value, double* v) {
  const char* rest = nullptr;
  const int read = KxReadNumber(value, v, &rest);
  if (read == kxNUMBER && !onlyBlanks(rest)) {
    *v = 0;
    return kxNO_NUMBER;
  }
  return read;
}

void DxfStageArcEnds(KxNewElement& el) {
  el.sx = finite(XARC(el.sw, el.r) + el.cx);
  el.sy = finite(YARC(el.sw, el.r) + el.cy);
  el.ex = finite(XARC(el.ew, el.r) + el.cx);
  el.ey = finite(YARC(el.ew, el.r) + el.cy);
}

KxNewElement DxfLeftover(KxRun& run) { return run.dxf.leftover; }

bool PolylineTakesVertices(const DxfReading& rd) { return rd.poly.open && !rd.poly.skip; }

void PolylineEnd(KxRun& run, DxfReading& rd) {
  if (!rd.poly.open) return;
  double far;
  if (!rd.poly.skip && rd.poly.threeD && rd.poly.zDiffers) {
    dropSince(run, rd.poly.start);
    KxLog(run, " POLYLINE [%s] skipped: 3-D, its vertices are not in one plane parallel to XY\n",
          rd.poly.handle[0] ? rd.poly.handle : "-");
  } else if (!rd.poly.skip && bulgeBeyond(run, rd.poly.start, &far)) {
    refuse(run, rd, "POLYLINE", rd.poly.handle, reaches("a bulged segment", far), rd.poly.start, rd.poly.before);
  }
  if (rd.poly.captured) takeIntoBlock(run, rd, rd.poly.start);
  rd.poly = DxfPolyline();
}

void EntityStart(KxRun& run, DxfReading& rd, int kind) {
  rd.ent = DxfEntity();
  rd.ent.before = rd.staged;
  rd.ent.kind = kind;
  rd.ent.argument = rd.ent.type = DxfKindOf(kind).record;
  rd.ent.start = run.table.eldsCounter;
  rd.ent.captured = BlockEntity(rd.blocks);
  // An insert on a layer not read adds nothing unless its block has geometry that is read.
  rd.ent.foreign = !rd.ent.captured && kind == dkINSERT && BlockEntityOnLayerNotRead(rd.blocks);
  if (rd.ent.foreign) rd.ent.nothing = true;
  if (rd.ent.captured && !rd.savedValid) {
    rd.saved = rd.staged;
    rd.savedValid = true;
  }
  if (kind == dkSPLINE) {
    rd.spline.degree = 3;
    rd.spline.nKnots = rd.spline.nControl = rd.spline.nFit = 0;
  }
  // The texts of a block definition are not read: they are no geometry.
  if (rd.ent.captured && (kind == dkTEXT || kind == dkMTEXT || kind == dkPOINT)) rd.ent.rest = rd.ent.nothing = true;
  if (kind != dkPOLYLINE && kind != dkLWPOLYLINE) return;
  // The start record carries the staging values of the entity before it; the
  // structure check marks it so that no contour takes it.
  if (!add(run, rd, etPOLY, "begPoly") || DxfTwelveRules(run)) return;
  KxMarks& m = run.table.marks[run.table.eldsCounter - 1];
  KxCopy(m.kontur, sizeof m.kontur, "xPFirst");
  m.used += 1;
}

void EntityGroup(KxRun& run, DxfReading& rd, int code, const char* value) {
  switch (code) {
    case 5: KxCopy(rd.ent.handle, sizeof rd.ent.handle, value); return;
    case 210: case 220: case 230: rd.ent.extrusion[(code - 210) / 10] = groupNumber(run, rd, code, value); return;
    case 100: if (!rd.ent.rest) marker(run, rd, value); return;
    default: break;
  }
  if (rd.ent.rest) return;
  const double number = groupNumber(run, rd, code, value);
  if (rd.ent.kind == dkSPLINE || rd.ent.kind == dkELLIPSE || rd.ent.kind == dkINSERT) {
    if (curveOrInsertGroup(rd, code, value, number)) return;
  }
  // A finite number beyond the float range would become infinite in the table.
  float v = std::fabs(number) <= (double)FLT_MAX ? (float)number : 0.0f;
  switch (code) {
    case 10: rd.staged.sx = rd.staged.cx = v; break;
    case 20: rd.staged.sy = rd.staged.cy = v; break;
    case 11: rd.staged.ex = v; break;
    case 21: rd.staged.ey = v; break;
    case 30: rd.ent.z = v; rd.ent.hasZ = true; break;
    case 40: rd.staged.r = v; break;
    case 42:
      if (rd.ent.kind == dkLWPOLYLINE) {
        if (rd.ent.lastVertex >= rd.ent.start && rd.ent.lastVertex < run.table.eldsCounter) run.table.elds[rd.ent.lastVertex].bulge = v;
      } else {
        rd.ent.bulge = v;
      }
      break;
    case 50: rd.staged.sw = v; break;
    case 51: rd.staged.ew = v; break;
    case 70: rd.ent.flags = (int)KxInteger(value); break;
    case 1:
      if (rd.ent.type >= 0 && add(run, rd, rd.ent.type, gNoText)) KxCopy(run.table.elds[run.table.eldsCounter - 1].text, sizeof run.table.elds[0].text, value);
      break;
    case 2:
      say(run, rd, "[Name:%s]", value);
      if (rd.ent.kind == dkINSERT) {
        KxCopy(rd.ent.block, sizeof rd.ent.block, value);
        // A block holding geometry that is read is placed where the insert puts it.
        if (rd.ent.captured || BlockHasGeometry(rd.blocks, value, !rd.ent.foreign)) {
          rd.ent.expand = true;
          rd.ent.nothing = false;
          break;
        }
        if (rd.ent.foreign) {
          rd.ent.rest = true;
          break;
        }
      }
      // Only inserts of blocks named below "$" (such as "#1") stand for a point;
      // any other block is a drawing of its own and is left out.
      if (strcmp(value, "$") >= 0) {
        say(run, rd, " ..<Name break>\n");
        rd.ent.rest = rd.ent.nothing = true;
      }
      break;
    case 8:
      say(run, rd, "[8 CckL]");
      break;
    default:
      break;
  }
  // Lightweight polylines give their vertices as repeated 10/20 pairs.
  if (code == 20 && rd.ent.kind == dkLWPOLYLINE && rd.ent.type == etPOLY) {
    rd.staged.ex = rd.staged.ey = 0;
    if (add(run, rd, etVERT, gNoText)) rd.ent.lastVertex = run.table.eldsCounter - 1;
  }
}

void EntityFinish(KxRun& run, DxfReading& rd) {
  if (rd.ent.kind == dkNONE) return;
  finishEntity(run, rd);
  // A block's entity leaves its records to the definition; a polyline's when its vertices are read.
  if (rd.ent.captured && !(rd.poly.open && rd.poly.captured)) takeIntoBlock(run, rd, rd.ent.start);
  rd.ent = DxfEntity();
}

namespace {

void finishEntity(KxRun& run, DxfReading& rd) {
  // An insert on a layer not read whose block has nothing that is read: as if never seen.
  if (rd.ent.foreign && !rd.ent.expand) return;
  // A value that refuses the entity counts when the entity would add something (a
  // spline frame's control point is no corner of its polyline).
  const std::string& why = rd.ent.refusal.empty() && rd.ent.kind == dkINSERT && rd.ent.expand ? rd.ent.placement : rd.ent.refusal;
  const bool adds = !rd.ent.nothing || rd.ent.kind == dkPOLYLINE || rd.ent.kind == dkLWPOLYLINE;
  if (!why.empty() && adds && !(rd.ent.kind == dkVERTEX && (rd.ent.flags & 16))) {
    refuseEntity(run, rd, why);
    return;
  }
  const int ext = extrusionCase(rd);
  if (ext == 2) {
    // Drawn in a plane that is not parallel to the drawing's: nothing of it can be cut.
    dropSince(run, rd.ent.start);
    char what[96];
    snprintf(what, sizeof what, "extrusion %.6g %.6g %.6g is not along Z", rd.ent.extrusion[0], rd.ent.extrusion[1],
             rd.ent.extrusion[2]);
    logSkipped(run, rd, what, rd.ent.handle);
    if (rd.ent.kind == dkPOLYLINE) {
      rd.poly = DxfPolyline();
      rd.poly.open = rd.poly.skip = true;
    }
    return;
  }
  if (rd.ent.nothing) {
    // A polyline header always gets its closing records: its vertices follow.
    if (rd.ent.kind == dkPOLYLINE || rd.ent.kind == dkLWPOLYLINE) finishPolylineHeader(run, rd, ext);
    return;
  }
  if (rd.ent.kind == dkELLIPSE || rd.ent.kind == dkSPLINE) {
    finishCurve(run, rd);
    return;
  }
  if (rd.ent.kind == dkINSERT && rd.ent.expand) {
    finishInsert(run, rd, ext);
    return;
  }
  switch (rd.ent.type) {
    case etLINE:
      add(run, rd, etLINE, gNoText);
      break;
    case etPOLY:
      finishPolylineHeader(run, rd, ext);
      break;
    case etVERT:
      if (rd.ent.kind == dkVERTEX) {
        finishVertex(run, rd);
      } else {
        rd.staged.ex = rd.staged.ey = 0;
        add(run, rd, etVERT, gNoText);
      }
      break;
    case etARC:
      if (ext == 1) {
        // Seen from below, the arc turns the other way: its end becomes its start.
        rd.staged.cx = -rd.staged.cx;
        float s = rd.staged.sw;
        rd.staged.sw = 180 - rd.staged.ew;
        rd.staged.ew = 180 - s;
      }
      if (rd.staged.sw < 0) rd.staged.sw += 360;
      if (rd.staged.ew < 0) rd.staged.ew += 360;
      DxfStageArcEnds(rd.staged);
      add(run, rd, etARC, gNoText);
      break;
    case etCIR:
      if (ext == 1) rd.staged.cx = -rd.staged.cx;
      rd.staged.sx = rd.staged.ex = finite(rd.staged.cx + rd.staged.r);
      rd.staged.sy = rd.staged.ey = rd.staged.cy;
      add(run, rd, etCIR, gNoText);
      break;
    case etINSE:
    case etPNT:
      if (ext == 1) rd.staged.sx = rd.staged.cx = -rd.staged.sx;
      add(run, rd, rd.ent.type, gNoText);
      break;
    case etTEXT:
      // A text was already added at its group 1.
      if (rd.ent.argument != etTEXT) {
        if (ext == 1) rd.staged.sx = rd.staged.cx = -rd.staged.sx;
        add(run, rd, etTEXT, gNoText);
      } else if (ext == 1) {
        for (long i = rd.ent.start; i < run.table.eldsCounter; ++i) {
          run.table.elds[i].sx = run.table.elds[i].cx = run.table.elds[i].ex = -run.table.elds[i].sx;
        }
      }
      break;
    default:
      break;
  }
  // What the numbers give must lie within the plausible size of a drawing as well:
  // an arc's end points, a circle's point on its rim, a polyline's bulged segments.
  double far;
  if (recordBeyond(run, rd.ent.start, true, &far) || (rd.ent.kind == dkLWPOLYLINE && bulgeBeyond(run, rd.ent.start, &far)))
    refuseEntity(run, rd, reaches("its geometry", far));
}

}  // namespace

