// Entity conversion: applies the group-code/value pairs of one entity on a
// selected layer to the staging registers, follows the subclass markers, turns
// object coordinates into drawing coordinates, and appends the element records
// (polylines as start/vertex/close records, each vertex with its bulge).
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "config/config.h"
#include "dxf/dxf.h"
#include "elements/elements.h"
#include "geometry/base.h"

namespace {

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
};

Entity gEnt;
Polyline gPoly;
KxSpline gSpline;

// The staging registers as the drawing's entities left them. An entity that does
// not set a register inherits it from the entity before; block definitions, placed
// blocks and curves must not change what the drawing's next entity inherits.
struct Staging {
  float sx, sy, ex, ey, cx, cy, sw, ew, rd;
};
Staging gSaved;
bool gSavedValid = false;
Staging saveStaging() { return Staging{sx, sy, ex, ey, cx, cy, sw, ew, rd}; }
void restoreStaging(const Staging& s) {
  sx = s.sx, sy = s.sy, ex = s.ex, ey = s.ey, cx = s.cx, cy = s.cy, sw = s.sw, ew = s.ew, rd = s.rd;
}
// Records of a block's entity go into its definition; the registers are as before it.
void takeIntoBlock(long from) {
  BlockTake(from);
  if (gSavedValid) restoreStaging(gSaved);
  gSavedValid = false;
}

// Console notes of an entity; the entities of block definitions are read quietly,
// since most of them are never placed.
void say(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
void say(const char* fmt, ...) {
  if (gEnt.captured || gEnt.foreign) return;
  char text[kDxfLineSize + 64];
  va_list ap;
  va_start(ap, fmt);
  vsnprintf(text, sizeof text, fmt, ap);
  va_end(ap);
  KxPrint("%s", text);
}

// A point computed from huge coordinates may overflow; the table only takes finite values.
float finite(float v) { return std::isfinite(v) ? v : 0.0f; }

// Appends a record from the staging registers; true when the table took it.
bool add(int typ, const char* text) {
  long before = eldsCounter;
  AddElement(typ, text);
  return eldsCounter > before;
}

// Entities whose coordinates are given in the object coordinate system of their
// extrusion direction; lines, points and multi-line texts are in drawing coordinates.
bool inObjectCoordinates(int kind) {
  switch (kind) {
    case dkARC: case dkCIRCLE: case dkTEXT: case dkINSERT: case dkPOLYLINE: case dkLWPOLYLINE:
      return true;
    default:
      return false;
  }
}

// 0: extrusion along +Z; 1: along -Z (object X is drawing -X); 2: any other direction.
int extrusionCase() {
  if (!inObjectCoordinates(gEnt.kind)) return 0;
  const double* n = gEnt.extrusion;
  constexpr double eps = 1e-6;
  if (std::fabs(n[0]) > eps || std::fabs(n[1]) > eps || !(std::fabs(n[2]) > eps)) return 2;
  return n[2] < 0 ? 1 : 0;
}

void dropSince(long start) {
  if (start >= 0 && start < eldsCounter) eldsCounter = start;
}

const char* kindName(int kind) {
  static const char* const names[] = {"ENTITY", "LINE", "ARC", "CIRCLE", "POINT", "INSERT", "TEXT",
                                      "MTEXT", "POLYLINE", "LWPOLYLINE", "VERTEX", "SEQEND", "ELLIPSE", "SPLINE"};
  return kind >= 0 && kind <= dkSPLINE ? names[kind] : names[0];
}

void logSkipped(const char* what, const char* handle) {
  KxLog(" %s [%s] skipped: %s\n", kindName(gEnt.kind), handle[0] ? handle : "-", what);
}

// Mirrors the vertices of records from..eldsCounter-1 in X; the turning sense of their bulges reverses.
void mirrorVertices(long from) {
  for (long i = from; i < eldsCounter; ++i) {
    elementdaten& e = elds[i];
    if (e.type != etVERT) continue;
    e.sx = -e.sx;
    e.cx = -e.cx;
    e.bulge = -e.bulge;
  }
}

// Effective type after a subclass marker, or -1 when the marker ends the entity.
int typeOfMarker(const char* marker) {
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
    say("  <return>\n");
    return -1;
  }
  for (const Switch& s : switches) {
    if (DxfIs(marker, s.marker)) {
      say("%s", s.note);
      return s.type;
    }
  }
  say(" ...BAD TYPE (%s)\n", marker);
  return -1;
}

void marker(const char* value) {
  if (DxfIs(value, "AcDbEntity")) return;
  if (!gEnt.classSeen) {
    // The entity's own class: its type is known from its group 0 already.
    gEnt.classSeen = true;
    if (!DxfTwelveRules()) say("  AcDbEntity Element: %s\n", value);
    return;
  }
  // An array insert names its own class after the one of every insert.
  if (gEnt.kind == dkINSERT && DxfIs(value, "AcDbMInsertBlock")) return;
  say(" ..%s \n", value);
  int t = typeOfMarker(value);
  if (t < 0) {
    gEnt.rest = gEnt.nothing = true;
    return;
  }
  gEnt.type = t;
}

// The end of a polyline header: its closing records, or nothing for a mesh.
void finishPolylineHeader(int ext) {
  if (gEnt.kind == dkPOLYLINE) {
    gPoly.open = true;
    gPoly.captured = gEnt.captured;
    gPoly.start = gEnt.start;
    KxCopy(gPoly.handle, sizeof gPoly.handle, gEnt.handle);
    if (gEnt.flags & (16 | 64)) {
      dropSince(gEnt.start);
      gPoly.skip = true;
      logSkipped("polyface or polygon mesh", gEnt.handle);
      return;
    }
    gPoly.closed = (gEnt.flags & 1) != 0;
    gPoly.mirror = ext == 1;
    gPoly.threeD = (gEnt.flags & 8) != 0;
  } else {
    if (ext == 1) mirrorVertices(gEnt.start);
    if (!(gEnt.flags & 1))
      for (long i = gEnt.start; i < eldsCounter; ++i)
        if (elds[i].type == etVERT) elds[i].polyOpen = 1;
  }
  sx = sy = ex = ey = 0;
  add(etDELETE, "next PYL");
  add(etPOLY, gNoText);
}

void finishVertex() {
  // Frame control points of a spline-fitted polyline do not lie on its path.
  if (gEnt.flags & 16) return;
  if (gPoly.threeD) {
    float z = gEnt.hasZ ? gEnt.z : 0;
    if (!gPoly.zSet) {
      gPoly.z0 = z;
      gPoly.zSet = true;
    } else if (std::fabs(z - gPoly.z0) > 1e-6f * (1 + std::fabs(gPoly.z0))) {
      gPoly.zDiffers = true;
    }
  }
  if (gPoly.mirror) {
    sx = cx = -sx;
    gEnt.bulge = -gEnt.bulge;
  }
  ex = ey = 0;
  if (!add(etVERT, gNoText)) return;
  elds[eldsCounter - 1].bulge = gEnt.bulge;
  elds[eldsCounter - 1].polyOpen = gPoly.closed ? 0 : 1;
}

void finishEntity();

// Groups of splines, ellipses and inserts that mean something else for them; true when taken.
bool curveOrInsertGroup(int code, const char* value) {
  const double v = KxNumber(value);
  if (gEnt.kind == dkINSERT) {
    DxfInsert& in = gEnt.insert;
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
    return false;   // the staging registers take point and angle as well
  }
  if (gEnt.kind == dkELLIPSE) {
    switch (code) {
      case 10: gEnt.d10 = v; break;
      case 20: gEnt.d20 = v; break;
      case 11: gEnt.d11 = v; return true;
      case 21: gEnt.d21 = v; return true;
      case 40: gEnt.d40 = v; return true;
      case 41: gEnt.d41 = v; return true;
      case 42: gEnt.d42 = v; return true;
      default: break;
    }
    return false;
  }
  // A spline: points, knots and weights come as repeated groups.
  KxSpline& sp = gSpline;
  switch (code) {
    case 10: gEnt.d10 = v; return true;
    case 20:
      if (sp.nControl < kKxSplineMaxPoints) {
        sp.x[sp.nControl] = gEnt.d10;
        sp.y[sp.nControl] = v;
        sp.weights[sp.nControl] = 1;
        ++sp.nControl;
      } else {
        gEnt.splineBad = true;
      }
      return true;
    case 11: gEnt.d11 = v; return true;
    case 21:
      if (sp.nFit < kKxSplineMaxPoints) {
        sp.fx[sp.nFit] = gEnt.d11;
        sp.fy[sp.nFit] = v;
        ++sp.nFit;
      } else {
        gEnt.splineBad = true;
      }
      return true;
    case 40:
      if (sp.nKnots < kKxSplineMaxPoints + kKxSplineMaxDegree + 1)
        sp.knots[sp.nKnots++] = v;
      else
        gEnt.splineBad = true;
      return true;
    case 41:
      // Weights follow the control points, in their order.
      if (gEnt.d41 < kKxSplineMaxPoints) sp.weights[(int)gEnt.d41] = v;
      gEnt.d41 += 1;
      return true;
    case 71: sp.degree = (int)KxInteger(value); return true;
    case 42: case 43: case 44: case 70: case 72: case 73: case 74: return true;
    default: return false;
  }
}

// An ellipse or a spline becomes arcs within the curve tolerance (a quarter of it,
// so that the arcs stay within it after the program rounds them to thousandths).
void finishCurve() {
  KxCurvePiece* pieces = CurvePieceBuffer();
  // A block may be placed enlarged: its curves are cut finer.
  const double tol = gCurveTolerance / (gEnt.captured ? 16.0 : 4.0);
  const char* what = kindName(gEnt.kind);
  int n = -1;
  if (gEnt.kind == dkELLIPSE) {
    const double* nz = gEnt.extrusion;
    if (std::fabs(nz[0]) > 1e-6 || std::fabs(nz[1]) > 1e-6 || !(std::fabs(nz[2]) > 1e-6)) {
      logSkipped("its plane is not parallel to XY", gEnt.handle);
      return;
    }
    // The minor axis lies to the left of the major one, seen from the extrusion side.
    const double side = nz[2] < 0 ? -1 : 1;
    const double mx = gEnt.d11, my = gEnt.d21, q = gEnt.d40 * side;
    const double t0 = gEnt.d41, t1 = gEnt.d42;
    n = ConjugateEllipsePieces(gEnt.d10, gEnt.d20, mx, my, -my * q, mx * q, t0, t1, tol, pieces, kMaxCurvePieces);
  } else {
    KxSpline& sp = gSpline;
    // Weights only for the control points there are; a spline without control points is taken by its fit points.
    if (gEnt.splineBad) {
      logSkipped("more points than are read", gEnt.handle);
      say(" ..%s: more than %d points, left out\n", what, kKxSplineMaxPoints);
      return;
    }
    n = KxSplineToPieces(sp, tol, pieces, kMaxCurvePieces);
  }
  if (n < 0) {
    logSkipped("degenerate, or more arcs than one curve may become", gEnt.handle);
    say(" ..%s: no arcs can be made of it, left out\n", what);
    return;
  }
  int arcs = 0;
  const Staging before = saveStaging();
  long added = AddCurvePieces(pieces, n, &arcs);
  restoreStaging(before);
  if (gEnt.captured) return;
  KxPrint(" ..%s: %d arcs", what, arcs);
  KxLog(" %s [%s]: %d arcs", what, gEnt.handle[0] ? gEnt.handle : "-", arcs);
  if (added > arcs) {
    KxPrint(", %ld lines", added - arcs);
    KxLog(", %ld lines", added - arcs);
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
  KxPrint("\n");
  KxLog(", length %.3f mm (tolerance %.4f mm)\n", length, gCurveTolerance);
}

void finishInsert(int ext) {
  DxfInsert in = gEnt.insert;
  in.mirror = ext == 1;
  // An array of more copies than the table could ever hold is as good as one of that many.
  constexpr int kMaxArray = 100000;
  in.columns = in.columns < 1 ? 1 : in.columns > kMaxArray ? kMaxArray : in.columns;
  in.rows = in.rows < 1 ? 1 : in.rows > kMaxArray ? kMaxArray : in.rows;
  if (gEnt.captured) {
    BlockTakeInsert(gEnt.block, in);
    return;
  }
  const long from = eldsCounter;
  const Staging before = saveStaging();
  long added = BlockPlace(gEnt.block, in, !gEnt.foreign);
  restoreStaging(before);
  double length = 0;
  for (long i = from; i < eldsCounter && i < kMaxElements; ++i) {
    const elementdaten& e = elds[i];
    if (e.type == etLINE) length += std::hypot((double)e.ex - e.sx, (double)e.ey - e.sy);
    if (e.type == etARC) length += BOGENWINKEL(e.sw, e.ew) * M_PI / 180 * e.r;
    if (e.type == etCIR) length += 2 * M_PI * e.r;
  }
  KxPrint(" ..<Block placed: %ld elements>\n", added);
  KxLog(" INSERT [%s] of block %s: %ld elements placed, length %.3f mm\n", gEnt.handle[0] ? gEnt.handle : "-",
        gEnt.block, added, length);
}

}  // namespace

void DxfStageArcEnds() {
  sx = finite(XARC(sw, rd) + cx);
  sy = finite(YARC(sw, rd) + cy);
  ex = finite(XARC(ew, rd) + cx);
  ey = finite(YARC(ew, rd) + cy);
}

int DxfEntityKind(const char* name) {
  // Every group 0 of the drawing comes by here: compared without library calls.
  struct Kind { const char* name; size_t size; int kind; };
  static const Kind kinds[] = {
      {"LINE", 5, dkLINE}, {"ARC", 4, dkARC}, {"CIRCLE", 7, dkCIRCLE}, {"POINT", 6, dkPOINT},
      {"INSERT", 7, dkINSERT}, {"TEXT", 5, dkTEXT}, {"MTEXT", 6, dkMTEXT}, {"POLYLINE", 9, dkPOLYLINE},
      {"LWPOLYLINE", 11, dkLWPOLYLINE}, {"VERTEX", 7, dkVERTEX}, {"SEQEND", 7, dkSEQEND}, {"ELLIPSE", 8, dkELLIPSE},
      {"SPLINE", 7, dkSPLINE},
  };
  for (const Kind& k : kinds) {
    if (name[0] != k.name[0]) continue;
    size_t i = 1;
    while (i < k.size && name[i] == k.name[i]) ++i;
    if (i == k.size) return k.kind;
  }
  return dkNONE;
}

bool PolylineTakesVertices() { return gPoly.open && !gPoly.skip; }

void PolylineEnd() {
  if (!gPoly.open) return;
  if (!gPoly.skip && gPoly.threeD && gPoly.zDiffers) {
    dropSince(gPoly.start);
    KxLog(" POLYLINE [%s] skipped: 3-D, its vertices are not in one plane parallel to XY\n",
          gPoly.handle[0] ? gPoly.handle : "-");
  }
  if (gPoly.captured) takeIntoBlock(gPoly.start);
  gPoly = Polyline();
}

void EntityStart(int kind) {
  static const int types[] = {-1, etLINE, etARC, etCIR, etPNT, etINSE, etTEXT, etTEXT,
                              etPOLY, etPOLY, etVERT, -1, -1, -1};
  gEnt = Entity();
  gEnt.kind = kind;
  gEnt.argument = gEnt.type = kind >= 0 && kind <= dkSPLINE ? types[kind] : -1;
  gEnt.start = eldsCounter;
  gEnt.captured = BlockEntity();
  // An insert on a layer not read adds nothing unless its block has geometry that is read.
  gEnt.foreign = !gEnt.captured && kind == dkINSERT && BlockEntityOnLayerNotRead();
  if (gEnt.foreign) gEnt.nothing = true;
  if (gEnt.captured && !gSavedValid) {
    gSaved = saveStaging();
    gSavedValid = true;
  }
  if (kind == dkSPLINE) {
    gSpline.degree = 3;
    gSpline.nKnots = gSpline.nControl = gSpline.nFit = 0;
  }
  // The texts of a block definition are not read: they are no geometry.
  if (gEnt.captured && (kind == dkTEXT || kind == dkMTEXT || kind == dkPOINT)) gEnt.rest = gEnt.nothing = true;
  if (kind != dkPOLYLINE && kind != dkLWPOLYLINE) return;
  // The start record carries the staging values of the entity before it; the
  // structure check marks it so that no contour takes it.
  if (!add(etPOLY, "begPoly") || DxfTwelveRules()) return;
  elementdaten& e = elds[eldsCounter - 1];
  KxCopy(e.kontur, sizeof e.kontur, "xPFirst");
  e.used += 1;
}

void EntityGroup(int code, const char* value) {
  switch (code) {
    case 5: KxCopy(gEnt.handle, sizeof gEnt.handle, value); return;
    case 210: case 220: case 230: gEnt.extrusion[(code - 210) / 10] = KxNumber(value); return;
    case 100: if (!gEnt.rest) marker(value); return;
    default: break;
  }
  if (gEnt.rest) return;
  if (gEnt.kind == dkSPLINE || gEnt.kind == dkELLIPSE || gEnt.kind == dkINSERT) {
    if (curveOrInsertGroup(code, value)) return;
  }
  float v = DxfValue(value);
  switch (code) {
    case 10: sx = cx = v; break;
    case 20: sy = cy = v; break;
    case 11: ex = v; break;
    case 21: ey = v; break;
    case 30: gEnt.z = v; gEnt.hasZ = true; break;
    case 40: rd = v; break;
    case 42:
      if (gEnt.kind == dkLWPOLYLINE) {
        if (gEnt.lastVertex >= gEnt.start && gEnt.lastVertex < eldsCounter) elds[gEnt.lastVertex].bulge = v;
      } else {
        gEnt.bulge = v;
      }
      break;
    case 50: sw = v; break;
    case 51: ew = v; break;
    case 70: gEnt.flags = (int)KxInteger(value); break;
    case 1:
      if (gEnt.type >= 0 && add(gEnt.type, gNoText)) KxCopy(elds[eldsCounter - 1].text, sizeof elds[0].text, value);
      break;
    case 2:
      say("[Name:%s]", value);
      if (gEnt.kind == dkINSERT) {
        KxCopy(gEnt.block, sizeof gEnt.block, value);
        // A block holding geometry that is read is placed where the insert puts it.
        if (gEnt.captured || BlockHasGeometry(value, !gEnt.foreign)) {
          gEnt.expand = true;
          gEnt.nothing = false;
          break;
        }
        if (gEnt.foreign) {
          gEnt.rest = true;
          break;
        }
      }
      // Only inserts of blocks named below "$" (such as "#1") stand for a point;
      // any other block is a drawing of its own and is left out.
      if (strcmp(value, "$") >= 0) {
        say(" ..<Name break>\n");
        gEnt.rest = gEnt.nothing = true;
      }
      break;
    case 8:
      say("[8 CckL]");
      break;
    default:
      break;
  }
  // Lightweight polylines give their vertices as repeated 10/20 pairs.
  if (code == 20 && gEnt.kind == dkLWPOLYLINE && gEnt.type == etPOLY) {
    ex = ey = 0;
    if (add(etVERT, gNoText)) gEnt.lastVertex = eldsCounter - 1;
  }
}

void EntityFinish() {
  if (gEnt.kind == dkNONE) return;
  finishEntity();
  // A block's entity leaves its records to the definition; a polyline's when its vertices are read.
  if (gEnt.captured && !(gPoly.open && gPoly.captured)) takeIntoBlock(gEnt.start);
  gEnt = Entity();
}

namespace {

void finishEntity() {
  // An insert on a layer not read whose block has nothing that is read: as if never seen.
  if (gEnt.foreign && !gEnt.expand) return;
  const int ext = extrusionCase();
  if (ext == 2) {
    // Drawn in a plane that is not parallel to the drawing's: nothing of it can be cut.
    dropSince(gEnt.start);
    char what[96];
    snprintf(what, sizeof what, "extrusion %.6g %.6g %.6g is not along Z", gEnt.extrusion[0], gEnt.extrusion[1],
             gEnt.extrusion[2]);
    logSkipped(what, gEnt.handle);
    if (gEnt.kind == dkPOLYLINE) {
      gPoly = Polyline();
      gPoly.open = gPoly.skip = true;
    }
    return;
  }
  if (gEnt.nothing) {
    // A polyline header always gets its closing records: its vertices follow.
    if (gEnt.kind == dkPOLYLINE || gEnt.kind == dkLWPOLYLINE) finishPolylineHeader(ext);
    return;
  }
  if (gEnt.kind == dkELLIPSE || gEnt.kind == dkSPLINE) {
    finishCurve();
    return;
  }
  if (gEnt.kind == dkINSERT && gEnt.expand) {
    finishInsert(ext);
    return;
  }
  switch (gEnt.type) {
    case etLINE:
      add(etLINE, gNoText);
      break;
    case etPOLY:
      finishPolylineHeader(ext);
      break;
    case etVERT:
      if (gEnt.kind == dkVERTEX) {
        finishVertex();
      } else {
        ex = ey = 0;
        add(etVERT, gNoText);
      }
      break;
    case etARC:
      if (ext == 1) {
        // Seen from below, the arc turns the other way: its end becomes its start.
        cx = -cx;
        float s = sw;
        sw = 180 - ew;
        ew = 180 - s;
      }
      if (sw < 0) sw += 360;
      if (ew < 0) ew += 360;
      DxfStageArcEnds();
      add(etARC, gNoText);
      break;
    case etCIR:
      if (ext == 1) cx = -cx;
      sx = ex = finite(cx + rd);
      sy = ey = cy;
      add(etCIR, gNoText);
      break;
    case etINSE:
    case etPNT:
      if (ext == 1) sx = cx = -sx;
      add(gEnt.type, gNoText);
      break;
    case etTEXT:
      // A text was already added at its group 1.
      if (gEnt.argument != etTEXT) {
        if (ext == 1) sx = cx = -sx;
        add(etTEXT, gNoText);
      } else if (ext == 1) {
        for (long i = gEnt.start; i < eldsCounter; ++i) {
          elds[i].sx = elds[i].cx = elds[i].ex = -elds[i].sx;
        }
      }
      break;
    default:
      break;
  }
}

}  // namespace

