// Block definitions and their inserts: the entity pass keeps the geometry of
// every block (lines, arcs, circles, polyline segments, curves as arcs, nested
// inserts) in a store that grows with them, and an INSERT on a layer being read places that
// geometry into the drawing with its transform, MINSERT arrays included.
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <vector>

#include "config/config.h"
#include "dxf/dxf.h"
#include "dxf/reading.h"
#include "elements/elements.h"
#include "geometry/base.h"
#include "run/run.h"

namespace {

enum ItemKind : uint8_t { ikLine, ikArc, ikCircle, ikInsert, ikInsertMore };

// Work of one placement; a drawing that nests inserts into a huge tree is cut off here.
constexpr long kMaxPlacementSteps = 4000000;

int storeName(DxfBlockStore& bs, const char* name) {
  size_t n = strlen(name) + 1;
  if (bs.nameUsed + (long)n > INT32_MAX) return -1;
  bs.names.resize((size_t)bs.nameUsed + n);
  memcpy(bs.names.data() + bs.nameUsed, name, n);
  int at = bs.nameUsed;
  bs.nameUsed += (int)n;
  return at;
}

int findBlock(DxfBlockStore& bs, const char* name) {
  for (int i = 0; i < bs.blockCount; ++i)
    if (bs.defs[i].name >= 0 && strcmp(bs.names.data() + bs.defs[i].name, name) == 0) return i;
  return -1;
}

const char* blockName(DxfBlockStore& bs, int b) { return bs.defs[b].name >= 0 ? bs.names.data() + bs.defs[b].name : "?"; }

bool addItem(KxRun& run, DxfBlockStore& bs, const DxfBlockItem& it) {
  if (bs.open < 0) return false;
  DxfBlock& b = bs.defs[bs.open];
  if (bs.itemCount >= run.table.eldsMaximum) {
    if (!b.full) KxLog(run, " BLOCK %s: the block store is full (%ld items), the rest of it is left out\n", blockName(bs, bs.open),
                       run.table.eldsMaximum);
    b.full = true;
    return false;
  }
  bs.items[bs.itemCount++] = it;
  ++b.count;
  return true;
}

void addLine(KxRun& run, DxfBlockStore& bs, double x1, double y1, double x2, double y2) {
  if (x1 == x2 && y1 == y2) return;
  addItem(run, bs, DxfBlockItem{ikLine, (int32_t)bs.layer, 0, {(float)x1, (float)y1, (float)x2, (float)y2, 0}});
}

void addArc(KxRun& run, DxfBlockStore& bs, double ccx, double ccy, double r, double a0, double a1) {
  addItem(run, bs, DxfBlockItem{ikArc, (int32_t)bs.layer, 0, {(float)ccx, (float)ccy, (float)r, (float)a0, (float)a1}});
}

// A polyline segment from (x1, y1) with bulge b to (x2, y2): a line or an arc.
void addSegment(KxRun& run, DxfBlockStore& bs, double x1, double y1, double b, double x2, double y2) {
  const double dx = x2 - x1, dy = y2 - y1;
  const double chord = std::sqrt(dx * dx + dy * dy);
  if (b == 0 || !std::isfinite(b) || !(chord > 0)) {
    addLine(run, bs, x1, y1, x2, y2);
    return;
  }
  const double off = chord * (1 - b * b) / (4 * b);
  const double ccx = (x1 + x2) / 2 - off * dy / chord;
  const double ccy = (y1 + y2) / 2 + off * dx / chord;
  const double r = chord * (1 + b * b) / (4 * std::fabs(b));
  if (!std::isfinite(ccx) || !std::isfinite(ccy) || !std::isfinite(r) || r > 3e38) {
    addLine(run, bs, x1, y1, x2, y2);
    return;
  }
  auto angle = [&](double x, double y) {
    double a = std::atan2(y - ccy, x - ccx) * RAD2DEG;
    return a < 0 ? a + 360 : a;
  };
  if (b > 0)
    addArc(run, bs, ccx, ccy, r, angle(x1, y1), angle(x2, y2));
  else
    addArc(run, bs, ccx, ccy, r, angle(x2, y2), angle(x1, y1));
}

// x' = a x + b y + e, y' = c x + d y + f
struct Affine {
  double a = 1, b = 0, c = 0, d = 1, e = 0, f = 0;
  void apply(double x, double y, double& ox, double& oy) const {
    ox = a * x + b * y + e;
    oy = c * x + d * y + f;
  }
};

Affine compose(const Affine& outer, const Affine& inner) {
  Affine r;
  r.a = outer.a * inner.a + outer.b * inner.c;
  r.b = outer.a * inner.b + outer.b * inner.d;
  r.c = outer.c * inner.a + outer.d * inner.c;
  r.d = outer.c * inner.b + outer.d * inner.d;
  r.e = outer.a * inner.e + outer.b * inner.f + outer.e;
  r.f = outer.c * inner.e + outer.d * inner.f + outer.f;
  return r;
}

// Where one copy of a block goes: base point to the insertion point, scaled,
// turned, shifted by its place in a MINSERT array, and mirrored when the insert
// is seen from below.
Affine insertTransform(const DxfInsert& ins, double bx, double by, int column, int row) {
  const double w = ins.rotation / RAD2DEG;
  const double cs = std::cos(w), sn = std::sin(w);
  Affine t;
  t.a = cs * ins.sx;
  t.b = -sn * ins.sy;
  t.c = sn * ins.sx;
  t.d = cs * ins.sy;
  const double ox = column * ins.dx, oy = row * ins.dy;
  t.e = ins.x + cs * ox - sn * oy - (t.a * bx + t.b * by);
  t.f = ins.y + sn * ox + cs * oy - (t.c * bx + t.d * by);
  if (ins.mirror) {
    t.a = -t.a;
    t.b = -t.b;
    t.e = -t.e;
  }
  return t;
}

DxfInsert insertOf(const DxfBlockItem& it, const DxfBlockItem& more) {
  DxfInsert ins;
  ins.x = it.v[0];
  ins.y = it.v[1];
  ins.sx = it.v[2];
  ins.sy = it.v[3];
  ins.rotation = it.v[4];
  ins.columns = (int)more.v[0];
  ins.rows = (int)more.v[1];
  ins.dx = more.v[2];
  ins.dy = more.v[3];
  ins.mirror = more.v[4] != 0;
  return ins;
}

// A placed coordinate or circle radius; one beyond the coordinate limit is noted
// (its insert is refused) and recorded as 0 meanwhile.
float placed(DxfBlockStore& bs, double v) {
  if (std::fabs(v) <= kMaxCoordinate) return (float)v;
  if (!bs.beyond) bs.beyondValue = v;
  bs.beyond = true;
  return 0.0f;
}

// The centre and radius of a placed arc: an arc a curve was cut into may be nearly
// straight, with a far centre; only a value its end points cannot be computed from
// is noted. The end points themselves are checked with the records.
float placedFar(DxfBlockStore& bs, double v) {
  if (std::fabs(v) < 1e37) return (float)v;
  if (!bs.beyond) bs.beyondValue = v;
  bs.beyond = true;
  return 0.0f;
}

double norm360(double a) {
  a = std::fmod(a, 360.0);
  if (a < 0) a += 360;
  return a;
}

// A circle or an arc (a0..a1 degrees) seen through t: an arc again when t keeps
// shapes, else an elliptical arc cut into arcs.
void emitRound(KxRun& run, DxfReading& rd, const DxfBlockItem& it, const Affine& t, bool full) {
  const double r = it.v[2];
  double ocx, ocy;
  t.apply(it.v[0], it.v[1], ocx, ocy);
  const double k1 = std::hypot(t.a, t.c), k2 = std::hypot(t.b, t.d);
  const double det = t.a * t.d - t.b * t.c;
  const double skew = t.a * t.b + t.c * t.d;
  const bool similar = std::fabs(k1 - k2) <= 1e-9 * (k1 + k2) && std::fabs(skew) <= 1e-9 * (k1 * k2 + 1e-300);
  KxNewElement& el = rd.blocks.placing;
  if (similar) {
    if (full) {
      el.cx = placed(rd.blocks, ocx);
      el.cy = placed(rd.blocks, ocy);
      el.r = placed(rd.blocks, r * k1);
      el.sx = el.ex = placed(rd.blocks, el.cx + (double)el.r);
      el.sy = el.ey = el.cy;
      AddNextElement(run, etCIR, el, gNoText);
      return;
    }
    el.cx = placedFar(rd.blocks, ocx);
    el.cy = placedFar(rd.blocks, ocy);
    el.r = placedFar(rd.blocks, r * k1);
    const double phi = std::atan2(t.c, t.a) * RAD2DEG;
    double a0 = det > 0 ? it.v[3] + phi : phi - it.v[4];
    double a1 = det > 0 ? it.v[4] + phi : phi - it.v[3];
    el.sw = (float)norm360(a0);
    el.ew = (float)norm360(a1);
    DxfStageArcEnds(el);
    AddNextElement(run, etARC, el, gNoText);
    return;
  }
  double t0 = 0, t1 = 2 * M_PI;
  if (!full) {
    t0 = it.v[3] / RAD2DEG;
    t1 = it.v[4] / RAD2DEG;
  }
  int n;
  do n = ConjugateEllipsePieces(ocx, ocy, t.a * r, t.c * r, t.b * r, t.d * r, t0, t1, run.cfg.curveTolerance / 4,
                                CurvePieceBuffer(rd), CurvePieceRoom(rd));
  while (n == kKxTooManyPieces && GrowCurvePieces(run, rd));
  const KxCurvePiece* pieces = CurvePieceBuffer(rd);
  if (n < 0) {
    KxLog(run, " INSERT: an arc of radius %.3f scaled unevenly could not be cut into arcs, left out\n", r);
    return;
  }
  for (int i = 0; i < n; ++i)
    for (double v : {pieces[i].sx, pieces[i].sy, pieces[i].ex, pieces[i].ey}) placed(rd.blocks, v);
  AddCurvePieces(run, el, pieces, n, nullptr);
}

bool stop(KxRun& run, DxfBlockStore& bs) {
  if (bs.cut) return true;
  if (++bs.steps > kMaxPlacementSteps || run.table.eldsCounter >= run.table.eldsMaximum) {
    bs.cut = true;
    KxLog(run, " INSERT: placing stopped, %s\n", run.table.eldsCounter >= run.table.eldsMaximum ? "the element table is full"
                                                                        : "the inserts nest into too many copies");
  }
  return bs.cut;
}

void place(KxRun& run, DxfReading& rd, int bi, const Affine& t, int inherit, int depth) {
  const DxfBlock& b = rd.blocks.defs[bi];
  for (int i = b.first; i < b.first + b.count; ++i) {
    if (stop(run, rd.blocks)) return;
    const DxfBlockItem& it = rd.blocks.items[i];
    const int layer = it.layer == kBlockLayerZero ? inherit : it.layer;
    if (it.kind == ikInsertMore) continue;
    if (it.kind == ikInsert) {
      if (i + 1 >= b.first + b.count) continue;
      const int child = findBlock(rd.blocks, rd.blocks.names.data() + it.ref);
      if (child < 0) continue;
      if (depth + 1 >= kMaxInsertDepth) {
        KxLog(run, " INSERT of %s: nested deeper than %d inserts, left out\n", blockName(rd.blocks, child), kMaxInsertDepth);
        continue;
      }
      const DxfInsert ins = insertOf(it, rd.blocks.items[i + 1]);
      for (int r = 0; r < ins.rows; ++r)
        for (int c = 0; c < ins.columns; ++c) {
          if (stop(run, rd.blocks)) return;
          place(run, rd, child, compose(t, insertTransform(ins, rd.blocks.defs[child].bx, rd.blocks.defs[child].by, c, r)), layer,
                depth + 1);
        }
      continue;
    }
    if (layer < 0) continue;
    run.table.aktLayName = layer;
    if (it.kind == ikLine) {
      double x1, y1, x2, y2;
      t.apply(it.v[0], it.v[1], x1, y1);
      t.apply(it.v[2], it.v[3], x2, y2);
      KxNewElement& el = rd.blocks.placing;
      el.sx = el.cx = placed(rd.blocks, x1);
      el.sy = el.cy = placed(rd.blocks, y1);
      el.ex = placed(rd.blocks, x2);
      el.ey = placed(rd.blocks, y2);
      AddNextElement(run, etLINE, el, gNoText);
    } else {
      emitRound(run, rd, it, t, it.kind == ikCircle);
    }
  }
}

// state: 1 no, 2 yes, 3 being asked (a block inserting itself adds nothing)
bool hasGeometry(DxfBlockStore& bs, int bi, bool zeroRead, int depth) {
  int8_t& m = bs.memo[bi].m[zeroRead ? 1 : 0];
  if (m == 1 || m == 3) return false;
  if (m == 2) return true;
  if (depth >= kMaxInsertDepth) return false;
  m = 3;
  bool yes = false;
  const DxfBlock& b = bs.defs[bi];
  for (int i = b.first; i < b.first + b.count && !yes; ++i) {
    const DxfBlockItem& it = bs.items[i];
    const bool read = it.layer >= 0 || (it.layer == kBlockLayerZero && zeroRead);
    if (it.kind == ikInsertMore) continue;
    if (it.kind != ikInsert) {
      yes = read;
      continue;
    }
    const int child = findBlock(bs, bs.names.data() + it.ref);
    const DxfInsert ins = i + 1 < b.first + b.count ? insertOf(it, bs.items[i + 1]) : DxfInsert();
    if (child >= 0 && ins.columns > 0 && ins.rows > 0) yes = hasGeometry(bs, child, read, depth + 1);
  }
  m = yes ? 2 : 1;
  return yes;
}

}  // namespace

void BlockBegin(DxfBlockStore& bs) {
  BlockEnd(bs);
  bs.memo.Clear();
  bs.open = bs.blockCount++;
  bs.defs[bs.open] = DxfBlock{-1, 0, 0, bs.itemCount, 0, false};
  bs.named = false;
}

void BlockHeadGroup(KxRun& run, DxfBlockStore& bs, int code, const char* value) {
  if (bs.open < 0) return;
  DxfBlock& b = bs.defs[bs.open];
  if (code == 2 && !bs.named) {
    bs.named = true;
    b.name = storeName(bs, value);
    if (b.name < 0) KxLog(run, " BLOCK: the names of the block definitions take more than %d characters\n", INT32_MAX);
  } else if (code == 10 || code == 20) {
    // A base point that is no plausible number makes every placement of the block
    // unusable: it stays no number, and each insert of the block is refused.
    double v;
    const int read = DxfNumber(value, &v);
    v *= run.dxf.UnitScale();
    float& at = code == 10 ? b.bx : b.by;
    at = read == kxNUMBER && std::fabs(v) <= kMaxCoordinate ? (float)v : NAN;
    if (std::isnan(at))
      KxLog(run, " BLOCK %s: base point group %d '%.40s' is no plausible number, its inserts are refused\n",
            blockName(bs, bs.open), code, value);
  }
}

void BlockEnd(DxfBlockStore& bs) {
  bs.open = -1;
  bs.entityIn = false;
}

bool BlockEntityLayer(DxfBlockStore& bs, int layer) {
  bs.foreign = false;
  bs.entityIn = bs.open >= 0;
  bs.layer = layer;
  return bs.entityIn;
}

void BlockEntityOutside(DxfBlockStore& bs, bool layerRead) {
  bs.entityIn = false;
  bs.foreign = !layerRead;
}

bool BlockEntityOnLayerNotRead(const DxfBlockStore& bs) { return bs.foreign; }

bool BlockEntity(const DxfBlockStore& bs) { return bs.entityIn; }

void BlockTake(KxRun& run, DxfBlockStore& bs, long from) {
  if (from < 0) from = 0;
  const long n = run.table.eldsCounter;
  for (long i = from; i < n; ++i) {
    const elementdaten& e = run.table.elds[i];
    switch (e.type) {
      case etLINE:
        addLine(run, bs, e.sx, e.sy, e.ex, e.ey);
        break;
      case etARC:
        addArc(run, bs, e.cx, e.cy, e.r, e.sw, e.ew);
        break;
      case etCIR:
        addItem(run, bs, DxfBlockItem{ikCircle, (int32_t)bs.layer, 0, {e.cx, e.cy, e.r, 0, 360}});
        break;
      case etVERT: {
        // A run of vertices is one polyline: each vertex to the next, the last
        // back to the first unless the polyline is open.
        long j = i;
        while (j + 1 < n && run.table.elds[j + 1].type == etVERT) ++j;
        for (long k = i; k < j; ++k) addSegment(run, bs, run.table.elds[k].sx, run.table.elds[k].sy, run.table.elds[k].bulge, run.table.elds[k + 1].sx, run.table.elds[k + 1].sy);
        if (j > i && !run.table.elds[j].polyOpen) addSegment(run, bs, run.table.elds[j].sx, run.table.elds[j].sy, run.table.elds[j].bulge, run.table.elds[i].sx, run.table.elds[i].sy);
        i = j;
        break;
      }
      default:
        break;  // polyline start and closing records, points, texts
    }
  }
  // The records are free again, as after clearing: a record added there later
  // must not inherit the marks of a polyline start.
  for (long i = from; i < n; ++i) {
    elementdaten& e = run.table.elds[i];
    e.type = etERA;
    e.fLayer = -1;
    e.text[0] = '\0';
    run.table.marks[i] = KxMarks{};
  }
  if (from < run.table.eldsCounter) run.table.eldsCounter = from;
}

void BlockTakeInsert(KxRun& run, DxfBlockStore& bs, const char* name, const DxfInsert& ins) {
  if (bs.open < 0) return;
  if (bs.itemCount + 2 > run.table.eldsMaximum) {
    bs.itemCount = (int)run.table.eldsMaximum;  // an insert is kept whole or not at all
    addItem(run, bs, DxfBlockItem{});              // reports the full store
    return;
  }
  int ref = storeName(bs, name);
  if (ref < 0) return;
  addItem(run, bs, DxfBlockItem{ikInsert, (int32_t)bs.layer, ref,
               {(float)ins.x, (float)ins.y, (float)ins.sx, (float)ins.sy, (float)ins.rotation}});
  addItem(run, bs, DxfBlockItem{ikInsertMore, (int32_t)bs.layer, 0,
               {(float)ins.columns, (float)ins.rows, (float)ins.dx, (float)ins.dy, ins.mirror ? 1.0f : 0.0f}});
}

bool BlockHasGeometry(DxfBlockStore& bs, const char* name, bool layerRead) {
  const int b = findBlock(bs, name);
  return b >= 0 && hasGeometry(bs, b, layerRead, 0);
}

long BlockPlace(KxRun& run, DxfReading& rd, const char* name, const DxfInsert& ins, bool layerRead) {
  rd.blocks.beyond = false;
  const int b = findBlock(rd.blocks, name);
  if (b < 0) return 0;
  const long before = run.table.eldsCounter;
  const int own = run.table.aktLayName;
  const int layer = layerRead ? own : kBlockLayerOther;
  rd.blocks.steps = 0;
  rd.blocks.cut = false;
  // The first placed record takes what it does not set from the drawing's entities.
  rd.blocks.placing = rd.staged;
  for (int r = 0; r < ins.rows; ++r)
    for (int c = 0; c < ins.columns; ++c) {
      if (stop(run, rd.blocks)) break;
      place(run, rd, b, insertTransform(ins, rd.blocks.defs[b].bx, rd.blocks.defs[b].by, c, r), layer, 0);
    }
  run.table.aktLayName = own;
  return run.table.eldsCounter - before;
}

bool BlockPlacedBeyond(const DxfBlockStore& bs, double* value) {
  if (bs.beyond) *value = bs.beyondValue;
  return bs.beyond;
}
