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
#include "elements/elements.h"
#include "geometry/base.h"
#include "run/run.h"


namespace {

// An empty element, angles included: what an entity or polyline found before it
// until it is read.
constexpr KxNewElement kNothingStaged{0, 0, 0, 0, 0, 0, 0, 0, 0};

// The entity being read.
struct Entity {
  int kind = dkNONE;
  int argument = -1;        // the type the entity began as
  int type = -1;            // effective type; a subclass marker may change it
  long start = 0;           // first record the entity added
  long lastVertex = -1;     // lightweight polyline: the vertex its bulge belongs to
  bool classSeen = false;   // the entity's own subclass marker (the first after AcDbEntity) was met
  bool rest = false;        // a foreign subclass marker or a block name ended the reading of its groups
  bool nothing = false;     // ... and the entity adds no record at its end
  double extrusion[3] = {0, 0, 1};
  int flags = 0;            // group 70
  float z = 0;              // group 30
  bool hasZ = false;
  float bulge = 0;          // group 42 of a VERTEX
  char handle[32] = "";
  bool captured = false;    // read into a block definition, not into the drawing
  bool foreign = false;     // an INSERT on a layer not read: only its block's geometry on layers read counts
  bool expand = false;      // an INSERT whose block holds geometry that is read
  char block[kDxfLineSize] = "";  // an INSERT's block name
  DxfInsert insert;         // an INSERT's placement
  double d10 = 0, d20 = 0, d11 = 0, d21 = 0, d40 = 0, d41 = 0, d42 = 0;  // an ELLIPSE's groups, unrounded
  bool splineBad = false;   // a SPLINE with more points than are read
  KxNewElement before = kNothingStaged;  // the staged element as the entity found it
  std::string refusal;      // why a value of a group it uses refuses it ("" while none does)
  std::string placement;    // the same for an insert's scale, rotation and array groups: they count when its block is placed
};

// The polyline whose VERTEX entities are being read (up to its SEQEND).
struct Polyline {
  bool open = false;
  bool skip = false;        // its vertices are not read
  bool closed = false;      // flag 70 bit 1: the last vertex joins the first
  bool mirror = false;      // extrusion (0,0,-1)
  bool captured = false;    // its records go into a block definition
  bool threeD = false;      // flag 70 bit 8
  bool zSet = false;
  bool zDiffers = false;    // the vertices do not lie in one plane parallel to XY
  float z0 = 0;
  long start = 0;           // its start record
  char handle[32] = "";
  KxNewElement before = kNothingStaged;  // the staged element as its header found it
};

}  // namespace

// What this file keeps of a run, owned by the run.
struct EntitiesState {
  Entity ent;
  Polyline poly;
  KxSpline spline;
  // The element the drawing's entities stage. An entity that does not set a value
  // inherits it from the entity before (the first from an empty one with fresh
  // angles); block definitions, placed blocks, curves and refused entities must
  // not change what the drawing's next entity inherits.
  KxNewElement staged;
  KxNewElement saved = kNothingStaged;  // the staged element before a block definition's entities, which leave it as it was
  bool savedValid = false;
};

namespace {

static EntitiesState& fileState(KxRun& run) { return run.entitiesState.get(); }
// The element the drawing's entities stage, its copy, and putting a copy back.
KxNewElement& staged(KxRun& run) { return fileState(run).staged; }
KxNewElement saveStaging(KxRun& run) { return staged(run); }
void restoreStaging(KxRun& run, const KxNewElement& s) { staged(run) = s; }

// Records of a block's entity go into its definition; the staged element is as before it.
void takeIntoBlock(KxRun& run, long from) {
  BlockTake(run, from);
  if (fileState(run).savedValid) restoreStaging(run, fileState(run).saved);
  fileState(run).savedValid = false;
}

// Console notes of an entity; the entities of block definitions are read quietly,
// since most of them are never placed.
void say(KxRun& run, const char* fmt, ...) __attribute__((format(printf, 2, 3)));
void say(KxRun& run, const char* fmt, ...) {
  if (fileState(run).ent.captured || fileState(run).ent.foreign) return;
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
bool add(KxRun& run, int typ, const char* text) { return AddNextElement(run, typ, staged(run), text); }

// 0: extrusion along +Z; 1: along -Z (object X is drawing -X); 2: any other direction.
int extrusionCase(KxRun& run) {
  if (!DxfKindOf(fileState(run).ent.kind).objectCoords) return 0;
  const double* n = fileState(run).ent.extrusion;
  constexpr double eps = 1e-6;
  if (std::fabs(n[0]) > eps || std::fabs(n[1]) > eps || !(std::fabs(n[2]) > eps)) return 2;
  return n[2] < 0 ? 1 : 0;
}

// Drops the records from start on; a record added there later must not inherit
// the contour mark of a polyline start.
void dropSince(KxRun& run, long start) {
  if (start < 0 || start >= run.table.eldsCounter) return;
  for (long i = start; i < run.table.eldsCounter; ++i) run.table.elds[i].kontur[0] = '\0';
  run.table.eldsCounter = start;
}

const char* kindName(int kind) { return DxfKindOf(kind).name; }

void logSkipped(KxRun& run, const char* what, const char* handle) {
  KxLog(run, " %s [%s] skipped: %s\n", kindName(fileState(run).ent.kind), handle[0] ? handle : "-", what);
}

// --- values that refuse an entity ---

// How the entity being read uses a group for its geometry: not at all, as a
// coordinate or radius (mm), as a scale, as another number (angle, bulge, knot,
// weight, axis ratio, curve parameter, extrusion), or as a whole number (flags,
// array size, degree). Values of the groups it does not use are never judged.
enum GroupUse { guNone, guCoordinate, guScale, guNumber, guWhole };

GroupUse groupUse(KxRun& run, int code) {
  if (code == 210 || code == 220 || code == 230)
    return DxfKindOf(fileState(run).ent.kind).objectCoords || fileState(run).ent.kind == dkELLIPSE ? guNumber : guNone;
  switch (fileState(run).ent.kind) {
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
        case 30: return fileState(run).poly.threeD ? guCoordinate : guNone;   // a 3-D polyline must lie in one plane
        case 42: return guNumber;
        case 70: return guWhole;
        default: return guNone;
      }
    default:
      break;
  }
  switch (fileState(run).ent.type) {
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
bool checkGroup(KxRun& run, int code, const char* value, double* v) {
  const GroupUse use = groupUse(run, code);
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
  const bool placement = fileState(run).ent.kind == dkINSERT && code != 10 && code != 20 && code < 210;
  std::string& slot = placement ? fileState(run).ent.placement : fileState(run).ent.refusal;
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
void refuse(KxRun& run, const char* type, const char* handle, const std::string& why, long from, const KxNewElement& before) {
  dropSince(run, from);
  restoreStaging(run, before);
  KxLog(run, " %s [%s] refused: %s\n", type, handle[0] ? handle : "-", why.c_str());
  ++run.dxf.refusedEntities;
}

// Refuses the entity being read. A polyline without one of its corners would be
// another figure: a vertex refuses its whole polyline.
void refuseEntity(KxRun& run, const std::string& why) {
  if (fileState(run).ent.kind == dkVERTEX) {
    refuse(run, "POLYLINE", fileState(run).poly.handle, "VERTEX [" + std::string(fileState(run).ent.handle[0] ? fileState(run).ent.handle : "-") + "] " + why,
           fileState(run).poly.start, fileState(run).poly.before);
    fileState(run).poly.skip = true;
    return;
  }
  refuse(run, kindName(fileState(run).ent.kind), fileState(run).ent.handle, why, fileState(run).ent.start, fileState(run).ent.before);
  if (fileState(run).ent.kind == dkPOLYLINE) {
    // Its vertices are passed over.
    fileState(run).poly = Polyline();
    fileState(run).poly.open = fileState(run).poly.skip = true;
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
int typeOfMarker(KxRun& run, const char* marker) {
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
    say(run, "  <return>\n");
    return -1;
  }
  for (const Switch& s : switches) {
    if (DxfIs(marker, s.marker)) {
      say(run, "%s", s.note);
      return s.type;
    }
  }
  say(run, " ...BAD TYPE (%s)\n", marker);
  return -1;
}

void marker(KxRun& run, const char* value) {
  if (DxfIs(value, "AcDbEntity")) return;
  if (!fileState(run).ent.classSeen) {
    // The entity's own class: its type is known from its group 0 already.
    fileState(run).ent.classSeen = true;
    if (!DxfTwelveRules(run)) say(run, "  AcDbEntity Element: %s\n", value);
    return;
  }
  // An array insert names its own class after the one of every insert.
  if (fileState(run).ent.kind == dkINSERT && DxfIs(value, "AcDbMInsertBlock")) return;
  say(run, " ..%s \n", value);
  int t = typeOfMarker(run, value);
  if (t < 0) {
    fileState(run).ent.rest = fileState(run).ent.nothing = true;
    return;
  }
  fileState(run).ent.type = t;
}

// The end of a polyline header: its closing records, or nothing for a mesh.
void finishPolylineHeader(KxRun& run, int ext) {
  if (fileState(run).ent.kind == dkPOLYLINE) {
    fileState(run).poly.open = true;
    fileState(run).poly.captured = fileState(run).ent.captured;
    fileState(run).poly.start = fileState(run).ent.start;
    fileState(run).poly.before = fileState(run).ent.before;
    KxCopy(fileState(run).poly.handle, sizeof fileState(run).poly.handle, fileState(run).ent.handle);
    if (fileState(run).ent.flags & (16 | 64)) {
      dropSince(run, fileState(run).ent.start);
      fileState(run).poly.skip = true;
      logSkipped(run, "polyface or polygon mesh", fileState(run).ent.handle);
      return;
    }
    fileState(run).poly.closed = (fileState(run).ent.flags & 1) != 0;
    fileState(run).poly.mirror = ext == 1;
    fileState(run).poly.threeD = (fileState(run).ent.flags & 8) != 0;
  } else {
    if (ext == 1) mirrorVertices(run, fileState(run).ent.start);
    if (!(fileState(run).ent.flags & 1))
      for (long i = fileState(run).ent.start; i < run.table.eldsCounter; ++i)
        if (run.table.elds[i].type == etVERT) run.table.elds[i].polyOpen = 1;
  }
  staged(run).sx = staged(run).sy = staged(run).ex = staged(run).ey = 0;
  add(run, etDELETE, "next PYL");
  add(run, etPOLY, gNoText);
}

void finishVertex(KxRun& run) {
  // Frame control points of a spline-fitted polyline do not lie on its path.
  if (fileState(run).ent.flags & 16) return;
  if (fileState(run).poly.threeD) {
    float z = fileState(run).ent.hasZ ? fileState(run).ent.z : 0;
    if (!fileState(run).poly.zSet) {
      fileState(run).poly.z0 = z;
      fileState(run).poly.zSet = true;
    } else if (std::fabs(z - fileState(run).poly.z0) > 1e-6f * (1 + std::fabs(fileState(run).poly.z0))) {
      fileState(run).poly.zDiffers = true;
    }
  }
  if (fileState(run).poly.mirror) {
    staged(run).sx = staged(run).cx = -staged(run).sx;
    fileState(run).ent.bulge = -fileState(run).ent.bulge;
  }
  staged(run).ex = staged(run).ey = 0;
  if (!add(run, etVERT, gNoText)) return;
  run.table.elds[run.table.eldsCounter - 1].bulge = fileState(run).ent.bulge;
  run.table.elds[run.table.eldsCounter - 1].polyOpen = fileState(run).poly.closed ? 0 : 1;
}

void finishEntity(KxRun& run);

// The number of a group value: judged when the entity uses the group, else read as ever.
double groupNumber(KxRun& run, int code, const char* value) {
  double v;
  return checkGroup(run, code, value, &v) ? v : KxNumber(value);
}

// Groups of splines, ellipses and inserts that mean something else for them (v: the
// value as a number); true when taken.
bool curveOrInsertGroup(KxRun& run, int code, const char* value, double v) {
  if (fileState(run).ent.kind == dkINSERT) {
    DxfInsert& in = fileState(run).ent.insert;
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
  if (fileState(run).ent.kind == dkELLIPSE) {
    switch (code) {
      case 10: fileState(run).ent.d10 = v; break;
      case 20: fileState(run).ent.d20 = v; break;
      case 11: fileState(run).ent.d11 = v; return true;
      case 21: fileState(run).ent.d21 = v; return true;
      case 40: fileState(run).ent.d40 = v; return true;
      case 41: fileState(run).ent.d41 = v; return true;
      case 42: fileState(run).ent.d42 = v; return true;
      default: break;
    }
    return false;
  }
  // A spline: points, knots and weights come as repeated groups.
  KxSpline& sp = fileState(run).spline;
  switch (code) {
    case 10: fileState(run).ent.d10 = v; return true;
    case 20:
      if (sp.nControl < kKxSplineMaxPoints) {
        sp.x[sp.nControl] = fileState(run).ent.d10;
        sp.y[sp.nControl] = v;
        sp.weights[sp.nControl] = 1;
        ++sp.nControl;
      } else {
        fileState(run).ent.splineBad = true;
      }
      return true;
    case 11: fileState(run).ent.d11 = v; return true;
    case 21:
      if (sp.nFit < kKxSplineMaxPoints) {
        sp.fx[sp.nFit] = fileState(run).ent.d11;
        sp.fy[sp.nFit] = v;
        ++sp.nFit;
      } else {
        fileState(run).ent.splineBad = true;
      }
      return true;
    case 40:
      if (sp.nKnots < kKxSplineMaxPoints + kKxSplineMaxDegree + 1)
        sp.knots[sp.nKnots++] = v;
      else
        fileState(run).ent.splineBad = true;
      return true;
    case 41:
      // Weights follow the control points, in their order.
      if (fileState(run).ent.d41 < kKxSplineMaxPoints) sp.weights[(int)fileState(run).ent.d41] = v;
      fileState(run).ent.d41 += 1;
      return true;
    case 71: sp.degree = (int)KxInteger(value); return true;
    case 42: case 43: case 44: case 70: case 72: case 73: case 74: return true;
    default: return false;
  }
}

// An ellipse or a spline becomes arcs within the curve tolerance (a quarter of it,
// so that the arcs stay within it after the program rounds them to thousandths).
void finishCurve(KxRun& run) {
  // A block may be placed enlarged: its curves are cut finer.
  const double tol = run.cfg.gCurveTolerance / (fileState(run).ent.captured ? 16.0 : 4.0);
  const char* what = kindName(fileState(run).ent.kind);
  int n = -1;
  if (fileState(run).ent.kind == dkELLIPSE) {
    const double* nz = fileState(run).ent.extrusion;
    if (std::fabs(nz[0]) > 1e-6 || std::fabs(nz[1]) > 1e-6 || !(std::fabs(nz[2]) > 1e-6)) {
      logSkipped(run, "its plane is not parallel to XY", fileState(run).ent.handle);
      return;
    }
    // The minor axis lies to the left of the major one, seen from the extrusion side.
    const double side = nz[2] < 0 ? -1 : 1;
    const double mx = fileState(run).ent.d11, my = fileState(run).ent.d21, q = fileState(run).ent.d40 * side;
    const double t0 = fileState(run).ent.d41, t1 = fileState(run).ent.d42;
    do n = ConjugateEllipsePieces(fileState(run).ent.d10, fileState(run).ent.d20, mx, my, -my * q, mx * q, t0, t1, tol, CurvePieceBuffer(run),
                                  CurvePieceRoom(run));
    while (n == kKxTooManyPieces && GrowCurvePieces(run));
  } else {
    KxSpline& sp = fileState(run).spline;
    // Weights only for the control points there are; a spline without control points is taken by its fit points.
    if (fileState(run).ent.splineBad) {
      logSkipped(run, "more points than are read", fileState(run).ent.handle);
      say(run, " ..%s: more than %d points, left out\n", what, kKxSplineMaxPoints);
      return;
    }
    do n = KxSplineToPieces(sp, tol, CurvePieceBuffer(run), CurvePieceRoom(run));
    while (n == kKxTooManyPieces && GrowCurvePieces(run));
  }
  const KxCurvePiece* pieces = CurvePieceBuffer(run);
  if (n < 0) {
    logSkipped(run, "degenerate, or more arcs than one curve may become", fileState(run).ent.handle);
    say(run, " ..%s: no arcs can be made of it, left out\n", what);
    return;
  }
  for (int i = 0; i < n; ++i) {
    const KxCurvePiece& p = pieces[i];
    double far;
    if (!p.line && !(std::isfinite(p.cx) && std::isfinite(p.cy) && std::isfinite(p.r))) far = NAN;
    else if (!beyond(p.sx, &far) && !beyond(p.sy, &far) && !beyond(p.ex, &far) && !beyond(p.ey, &far)) continue;
    refuseEntity(run, reaches("an arc of it", far));
    return;
  }
  int arcs = 0;
  // The pieces build on a copy: the drawing's next entity inherits nothing of them.
  KxNewElement pieceValues = staged(run);
  long added = AddCurvePieces(run, pieceValues, pieces, n, &arcs);
  if (fileState(run).ent.captured) return;
  KxPrint(run, " ..%s: %d arcs", what, arcs);
  KxLog(run, " %s [%s]: %d arcs", what, fileState(run).ent.handle[0] ? fileState(run).ent.handle : "-", arcs);
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
  KxLog(run, ", length %.3f mm (tolerance %.4f mm)\n", length, run.cfg.gCurveTolerance);
}

void finishInsert(KxRun& run, int ext) {
  DxfInsert in = fileState(run).ent.insert;
  in.mirror = ext == 1;
  // An array of more copies than the table could ever hold is as good as one of that many.
  constexpr int kMaxArray = 100000;
  in.columns = in.columns < 1 ? 1 : in.columns > kMaxArray ? kMaxArray : in.columns;
  in.rows = in.rows < 1 ? 1 : in.rows > kMaxArray ? kMaxArray : in.rows;
  if (fileState(run).ent.captured) {
    BlockTakeInsert(run, fileState(run).ent.block, in);
    return;
  }
  const long from = run.table.eldsCounter;
  // The placed records build on their own copy of the staged element.
  long added = BlockPlace(run, fileState(run).ent.block, in, !fileState(run).ent.foreign);
  double far;
  if (BlockPlacedBeyond(run, &far) || recordBeyond(run, from, false, &far)) {
    refuse(run, "INSERT", fileState(run).ent.handle, reaches("block " + std::string(fileState(run).ent.block) + " placed", far), from, fileState(run).ent.before);
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
  KxLog(run, " INSERT [%s] of block %s: %ld elements placed, length %.3f mm\n", fileState(run).ent.handle[0] ? fileState(run).ent.handle : "-",
        fileState(run).ent.block, added, length);
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

KxNewElement DxfLeftover(KxRun& run) { return staged(run); }

bool PolylineTakesVertices(KxRun& run) { return fileState(run).poly.open && !fileState(run).poly.skip; }

void PolylineEnd(KxRun& run) {
  if (!fileState(run).poly.open) return;
  double far;
  if (!fileState(run).poly.skip && fileState(run).poly.threeD && fileState(run).poly.zDiffers) {
    dropSince(run, fileState(run).poly.start);
    KxLog(run, " POLYLINE [%s] skipped: 3-D, its vertices are not in one plane parallel to XY\n",
          fileState(run).poly.handle[0] ? fileState(run).poly.handle : "-");
  } else if (!fileState(run).poly.skip && bulgeBeyond(run, fileState(run).poly.start, &far)) {
    refuse(run, "POLYLINE", fileState(run).poly.handle, reaches("a bulged segment", far), fileState(run).poly.start, fileState(run).poly.before);
  }
  if (fileState(run).poly.captured) takeIntoBlock(run, fileState(run).poly.start);
  fileState(run).poly = Polyline();
}

void EntityStart(KxRun& run, int kind) {
  fileState(run).ent = Entity();
  fileState(run).ent.before = saveStaging(run);
  fileState(run).ent.kind = kind;
  fileState(run).ent.argument = fileState(run).ent.type = DxfKindOf(kind).record;
  fileState(run).ent.start = run.table.eldsCounter;
  fileState(run).ent.captured = BlockEntity(run);
  // An insert on a layer not read adds nothing unless its block has geometry that is read.
  fileState(run).ent.foreign = !fileState(run).ent.captured && kind == dkINSERT && BlockEntityOnLayerNotRead(run);
  if (fileState(run).ent.foreign) fileState(run).ent.nothing = true;
  if (fileState(run).ent.captured && !fileState(run).savedValid) {
    fileState(run).saved = saveStaging(run);
    fileState(run).savedValid = true;
  }
  if (kind == dkSPLINE) {
    fileState(run).spline.degree = 3;
    fileState(run).spline.nKnots = fileState(run).spline.nControl = fileState(run).spline.nFit = 0;
  }
  // The texts of a block definition are not read: they are no geometry.
  if (fileState(run).ent.captured && (kind == dkTEXT || kind == dkMTEXT || kind == dkPOINT)) fileState(run).ent.rest = fileState(run).ent.nothing = true;
  if (kind != dkPOLYLINE && kind != dkLWPOLYLINE) return;
  // The start record carries the staging values of the entity before it; the
  // structure check marks it so that no contour takes it.
  if (!add(run, etPOLY, "begPoly") || DxfTwelveRules(run)) return;
  elementdaten& e = run.table.elds[run.table.eldsCounter - 1];
  KxCopy(e.kontur, sizeof e.kontur, "xPFirst");
  e.used += 1;
}

void EntityGroup(KxRun& run, int code, const char* value) {
  switch (code) {
    case 5: KxCopy(fileState(run).ent.handle, sizeof fileState(run).ent.handle, value); return;
    case 210: case 220: case 230: fileState(run).ent.extrusion[(code - 210) / 10] = groupNumber(run, code, value); return;
    case 100: if (!fileState(run).ent.rest) marker(run, value); return;
    default: break;
  }
  if (fileState(run).ent.rest) return;
  const double number = groupNumber(run, code, value);
  if (fileState(run).ent.kind == dkSPLINE || fileState(run).ent.kind == dkELLIPSE || fileState(run).ent.kind == dkINSERT) {
    if (curveOrInsertGroup(run, code, value, number)) return;
  }
  // A finite number beyond the float range would become infinite in the table.
  float v = std::fabs(number) <= (double)FLT_MAX ? (float)number : 0.0f;
  switch (code) {
    case 10: staged(run).sx = staged(run).cx = v; break;
    case 20: staged(run).sy = staged(run).cy = v; break;
    case 11: staged(run).ex = v; break;
    case 21: staged(run).ey = v; break;
    case 30: fileState(run).ent.z = v; fileState(run).ent.hasZ = true; break;
    case 40: staged(run).r = v; break;
    case 42:
      if (fileState(run).ent.kind == dkLWPOLYLINE) {
        if (fileState(run).ent.lastVertex >= fileState(run).ent.start && fileState(run).ent.lastVertex < run.table.eldsCounter) run.table.elds[fileState(run).ent.lastVertex].bulge = v;
      } else {
        fileState(run).ent.bulge = v;
      }
      break;
    case 50: staged(run).sw = v; break;
    case 51: staged(run).ew = v; break;
    case 70: fileState(run).ent.flags = (int)KxInteger(value); break;
    case 1:
      if (fileState(run).ent.type >= 0 && add(run, fileState(run).ent.type, gNoText)) KxCopy(run.table.elds[run.table.eldsCounter - 1].text, sizeof run.table.elds[0].text, value);
      break;
    case 2:
      say(run, "[Name:%s]", value);
      if (fileState(run).ent.kind == dkINSERT) {
        KxCopy(fileState(run).ent.block, sizeof fileState(run).ent.block, value);
        // A block holding geometry that is read is placed where the insert puts it.
        if (fileState(run).ent.captured || BlockHasGeometry(run, value, !fileState(run).ent.foreign)) {
          fileState(run).ent.expand = true;
          fileState(run).ent.nothing = false;
          break;
        }
        if (fileState(run).ent.foreign) {
          fileState(run).ent.rest = true;
          break;
        }
      }
      // Only inserts of blocks named below "$" (such as "#1") stand for a point;
      // any other block is a drawing of its own and is left out.
      if (strcmp(value, "$") >= 0) {
        say(run, " ..<Name break>\n");
        fileState(run).ent.rest = fileState(run).ent.nothing = true;
      }
      break;
    case 8:
      say(run, "[8 CckL]");
      break;
    default:
      break;
  }
  // Lightweight polylines give their vertices as repeated 10/20 pairs.
  if (code == 20 && fileState(run).ent.kind == dkLWPOLYLINE && fileState(run).ent.type == etPOLY) {
    staged(run).ex = staged(run).ey = 0;
    if (add(run, etVERT, gNoText)) fileState(run).ent.lastVertex = run.table.eldsCounter - 1;
  }
}

void EntityFinish(KxRun& run) {
  if (fileState(run).ent.kind == dkNONE) return;
  finishEntity(run);
  // A block's entity leaves its records to the definition; a polyline's when its vertices are read.
  if (fileState(run).ent.captured && !(fileState(run).poly.open && fileState(run).poly.captured)) takeIntoBlock(run, fileState(run).ent.start);
  fileState(run).ent = Entity();
}

namespace {

void finishEntity(KxRun& run) {
  // An insert on a layer not read whose block has nothing that is read: as if never seen.
  if (fileState(run).ent.foreign && !fileState(run).ent.expand) return;
  // A value that refuses the entity counts when the entity would add something (a
  // spline frame's control point is no corner of its polyline).
  const std::string& why = fileState(run).ent.refusal.empty() && fileState(run).ent.kind == dkINSERT && fileState(run).ent.expand ? fileState(run).ent.placement : fileState(run).ent.refusal;
  const bool adds = !fileState(run).ent.nothing || fileState(run).ent.kind == dkPOLYLINE || fileState(run).ent.kind == dkLWPOLYLINE;
  if (!why.empty() && adds && !(fileState(run).ent.kind == dkVERTEX && (fileState(run).ent.flags & 16))) {
    refuseEntity(run, why);
    return;
  }
  const int ext = extrusionCase(run);
  if (ext == 2) {
    // Drawn in a plane that is not parallel to the drawing's: nothing of it can be cut.
    dropSince(run, fileState(run).ent.start);
    char what[96];
    snprintf(what, sizeof what, "extrusion %.6g %.6g %.6g is not along Z", fileState(run).ent.extrusion[0], fileState(run).ent.extrusion[1],
             fileState(run).ent.extrusion[2]);
    logSkipped(run, what, fileState(run).ent.handle);
    if (fileState(run).ent.kind == dkPOLYLINE) {
      fileState(run).poly = Polyline();
      fileState(run).poly.open = fileState(run).poly.skip = true;
    }
    return;
  }
  if (fileState(run).ent.nothing) {
    // A polyline header always gets its closing records: its vertices follow.
    if (fileState(run).ent.kind == dkPOLYLINE || fileState(run).ent.kind == dkLWPOLYLINE) finishPolylineHeader(run, ext);
    return;
  }
  if (fileState(run).ent.kind == dkELLIPSE || fileState(run).ent.kind == dkSPLINE) {
    finishCurve(run);
    return;
  }
  if (fileState(run).ent.kind == dkINSERT && fileState(run).ent.expand) {
    finishInsert(run, ext);
    return;
  }
  switch (fileState(run).ent.type) {
    case etLINE:
      add(run, etLINE, gNoText);
      break;
    case etPOLY:
      finishPolylineHeader(run, ext);
      break;
    case etVERT:
      if (fileState(run).ent.kind == dkVERTEX) {
        finishVertex(run);
      } else {
        staged(run).ex = staged(run).ey = 0;
        add(run, etVERT, gNoText);
      }
      break;
    case etARC:
      if (ext == 1) {
        // Seen from below, the arc turns the other way: its end becomes its start.
        staged(run).cx = -staged(run).cx;
        float s = staged(run).sw;
        staged(run).sw = 180 - staged(run).ew;
        staged(run).ew = 180 - s;
      }
      if (staged(run).sw < 0) staged(run).sw += 360;
      if (staged(run).ew < 0) staged(run).ew += 360;
      DxfStageArcEnds(staged(run));
      add(run, etARC, gNoText);
      break;
    case etCIR:
      if (ext == 1) staged(run).cx = -staged(run).cx;
      staged(run).sx = staged(run).ex = finite(staged(run).cx + staged(run).r);
      staged(run).sy = staged(run).ey = staged(run).cy;
      add(run, etCIR, gNoText);
      break;
    case etINSE:
    case etPNT:
      if (ext == 1) staged(run).sx = staged(run).cx = -staged(run).sx;
      add(run, fileState(run).ent.type, gNoText);
      break;
    case etTEXT:
      // A text was already added at its group 1.
      if (fileState(run).ent.argument != etTEXT) {
        if (ext == 1) staged(run).sx = staged(run).cx = -staged(run).sx;
        add(run, etTEXT, gNoText);
      } else if (ext == 1) {
        for (long i = fileState(run).ent.start; i < run.table.eldsCounter; ++i) {
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
  if (recordBeyond(run, fileState(run).ent.start, true, &far) || (fileState(run).ent.kind == dkLWPOLYLINE && bulgeBeyond(run, fileState(run).ent.start, &far)))
    refuseEntity(run, reaches("its geometry", far));
}

}  // namespace

