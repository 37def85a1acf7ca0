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
#include "elements/elements.h"
#include "geometry/base.h"
#include "run/run.h"

namespace {

enum ItemKind : uint8_t { ikLine, ikArc, ikCircle, ikInsert, ikInsertMore };

// One piece of a block's geometry, in the block's own coordinates.
//   line: x1 y1 x2 y2; arc: cx cy r sw ew (degrees, counter-clockwise); circle: cx cy r;
//   insert: x y sx sy rotation, ref = the block name; insert-more (always behind it):
//   columns rows dx dy mirror.
struct Item {
  uint8_t kind;
  int32_t layer;  // layer-list index, kBlockLayerZero or kBlockLayerOther
  int32_t ref;
  float v[5];
};

struct Block {
  int32_t name;   // offset into names
  float bx, by;   // base point
  int32_t first, count;
  bool full;      // items were left out
};

// The stores grow as the definitions come; placing holds references into them,
// which their fixed chunks keep valid. The items are bounded like the element
// table, as every item may become a record.
// BlockHasGeometry per block and whether layer 0 is read: 0 unknown, 1 no, 2 yes, 3 asked
struct Memo {
  int8_t m[2];
};

// Work of one placement; a drawing that nests inserts into a huge tree is cut off here.
constexpr long kMaxPlacementSteps = 4000000;
}  // namespace

// What this file keeps of a run, owned by the run.
struct BlocksState {
  KxGrowingTable<Item> items;
  int itemCount = 0;
  KxGrowingTable<Block> blocks;
  int blockCount = 0;
  std::vector<char> names;   // every block name, each ended by its '\0'; the offsets stay, the pointers do not
  int nameUsed = 0;
  int open = -1;            // the definition being read
  bool named = false;       // its name was taken
  bool entityIn = false;    // the entity being read goes into it
  bool foreign = false;     // the entity being read is an INSERT on a layer not read
  int layer = kBlockLayerZero;
  KxGrowingTable<Memo> memo;
  KxNewElement placing;     // the placed records' values: each takes what it does not set from the one placed before
  long steps = 0;           // work of the placement under way
  bool cut = false;         // it reached kMaxPlacementSteps
  // A placement whose geometry reaches beyond the coordinate limit refuses its insert.
  bool beyond = false;
  double beyondValue = 0;
};

namespace {

static BlocksState& fileState(KxRun& run) { return run.blocksState.get(); }

int storeName(KxRun& run, const char* name) {
  size_t n = strlen(name) + 1;
  if (fileState(run).nameUsed + (long)n > INT32_MAX) return -1;
  fileState(run).names.resize((size_t)fileState(run).nameUsed + n);
  memcpy(fileState(run).names.data() + fileState(run).nameUsed, name, n);
  int at = fileState(run).nameUsed;
  fileState(run).nameUsed += (int)n;
  return at;
}

int findBlock(KxRun& run, const char* name) {
  for (int i = 0; i < fileState(run).blockCount; ++i)
    if (fileState(run).blocks[i].name >= 0 && strcmp(fileState(run).names.data() + fileState(run).blocks[i].name, name) == 0) return i;
  return -1;
}

const char* blockName(KxRun& run, int b) { return fileState(run).blocks[b].name >= 0 ? fileState(run).names.data() + fileState(run).blocks[b].name : "?"; }

bool addItem(KxRun& run, const Item& it) {
  if (fileState(run).open < 0) return false;
  Block& b = fileState(run).blocks[fileState(run).open];
  if (fileState(run).itemCount >= run.table.eldsMaximum) {
    if (!b.full) KxLog(run, " BLOCK %s: the block store is full (%ld items), the rest of it is left out\n", blockName(run, fileState(run).open),
                       run.table.eldsMaximum);
    b.full = true;
    return false;
  }
  fileState(run).items[fileState(run).itemCount++] = it;
  ++b.count;
  return true;
}

void addLine(KxRun& run, double x1, double y1, double x2, double y2) {
  if (x1 == x2 && y1 == y2) return;
  addItem(run, Item{ikLine, (int32_t)fileState(run).layer, 0, {(float)x1, (float)y1, (float)x2, (float)y2, 0}});
}

void addArc(KxRun& run, double ccx, double ccy, double r, double a0, double a1) {
  addItem(run, Item{ikArc, (int32_t)fileState(run).layer, 0, {(float)ccx, (float)ccy, (float)r, (float)a0, (float)a1}});
}

// A polyline segment from (x1, y1) with bulge b to (x2, y2): a line or an arc.
void addSegment(KxRun& run, double x1, double y1, double b, double x2, double y2) {
  const double dx = x2 - x1, dy = y2 - y1;
  const double chord = std::sqrt(dx * dx + dy * dy);
  if (b == 0 || !std::isfinite(b) || !(chord > 0)) {
    addLine(run, x1, y1, x2, y2);
    return;
  }
  const double off = chord * (1 - b * b) / (4 * b);
  const double ccx = (x1 + x2) / 2 - off * dy / chord;
  const double ccy = (y1 + y2) / 2 + off * dx / chord;
  const double r = chord * (1 + b * b) / (4 * std::fabs(b));
  if (!std::isfinite(ccx) || !std::isfinite(ccy) || !std::isfinite(r) || r > 3e38) {
    addLine(run, x1, y1, x2, y2);
    return;
  }
  auto angle = [&](double x, double y) {
    double a = std::atan2(y - ccy, x - ccx) * RAD2DEG;
    return a < 0 ? a + 360 : a;
  };
  if (b > 0)
    addArc(run, ccx, ccy, r, angle(x1, y1), angle(x2, y2));
  else
    addArc(run, ccx, ccy, r, angle(x2, y2), angle(x1, y1));
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

DxfInsert insertOf(const Item& it, const Item& more) {
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
float placed(KxRun& run, double v) {
  if (std::fabs(v) <= kMaxCoordinate) return (float)v;
  if (!fileState(run).beyond) fileState(run).beyondValue = v;
  fileState(run).beyond = true;
  return 0.0f;
}

// The centre and radius of a placed arc: an arc a curve was cut into may be nearly
// straight, with a far centre; only a value its end points cannot be computed from
// is noted. The end points themselves are checked with the records.
float placedFar(KxRun& run, double v) {
  if (std::fabs(v) < 1e37) return (float)v;
  if (!fileState(run).beyond) fileState(run).beyondValue = v;
  fileState(run).beyond = true;
  return 0.0f;
}

double norm360(double a) {
  a = std::fmod(a, 360.0);
  if (a < 0) a += 360;
  return a;
}

// A circle or an arc (a0..a1 degrees) seen through t: an arc again when t keeps
// shapes, else an elliptical arc cut into arcs.
void emitRound(KxRun& run, const Item& it, const Affine& t, bool full) {
  const double r = it.v[2];
  double ocx, ocy;
  t.apply(it.v[0], it.v[1], ocx, ocy);
  const double k1 = std::hypot(t.a, t.c), k2 = std::hypot(t.b, t.d);
  const double det = t.a * t.d - t.b * t.c;
  const double skew = t.a * t.b + t.c * t.d;
  const bool similar = std::fabs(k1 - k2) <= 1e-9 * (k1 + k2) && std::fabs(skew) <= 1e-9 * (k1 * k2 + 1e-300);
  KxNewElement& el = fileState(run).placing;
  if (similar) {
    if (full) {
      el.cx = placed(run, ocx);
      el.cy = placed(run, ocy);
      el.r = placed(run, r * k1);
      el.sx = el.ex = placed(run, el.cx + (double)el.r);
      el.sy = el.ey = el.cy;
      AddNextElement(run, etCIR, el, gNoText);
      return;
    }
    el.cx = placedFar(run, ocx);
    el.cy = placedFar(run, ocy);
    el.r = placedFar(run, r * k1);
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
  do n = ConjugateEllipsePieces(ocx, ocy, t.a * r, t.c * r, t.b * r, t.d * r, t0, t1, run.cfg.gCurveTolerance / 4,
                                CurvePieceBuffer(run), CurvePieceRoom(run));
  while (n == kKxTooManyPieces && GrowCurvePieces(run));
  const KxCurvePiece* pieces = CurvePieceBuffer(run);
  if (n < 0) {
    KxLog(run, " INSERT: an arc of radius %.3f scaled unevenly could not be cut into arcs, left out\n", r);
    return;
  }
  for (int i = 0; i < n; ++i)
    for (double v : {pieces[i].sx, pieces[i].sy, pieces[i].ex, pieces[i].ey}) placed(run, v);
  AddCurvePieces(run, el, pieces, n, nullptr);
}

bool stop(KxRun& run) {
  if (fileState(run).cut) return true;
  if (++fileState(run).steps > kMaxPlacementSteps || run.table.eldsCounter >= run.table.eldsMaximum) {
    fileState(run).cut = true;
    KxLog(run, " INSERT: placing stopped, %s\n", run.table.eldsCounter >= run.table.eldsMaximum ? "the element table is full"
                                                                        : "the inserts nest into too many copies");
  }
  return fileState(run).cut;
}

void place(KxRun& run, int bi, const Affine& t, int inherit, int depth) {
  const Block& b = fileState(run).blocks[bi];
  for (int i = b.first; i < b.first + b.count; ++i) {
    if (stop(run)) return;
    const Item& it = fileState(run).items[i];
    const int layer = it.layer == kBlockLayerZero ? inherit : it.layer;
    if (it.kind == ikInsertMore) continue;
    if (it.kind == ikInsert) {
      if (i + 1 >= b.first + b.count) continue;
      const int child = findBlock(run, fileState(run).names.data() + it.ref);
      if (child < 0) continue;
      if (depth + 1 >= kMaxInsertDepth) {
        KxLog(run, " INSERT of %s: nested deeper than %d inserts, left out\n", blockName(run, child), kMaxInsertDepth);
        continue;
      }
      const DxfInsert ins = insertOf(it, fileState(run).items[i + 1]);
      for (int r = 0; r < ins.rows; ++r)
        for (int c = 0; c < ins.columns; ++c) {
          if (stop(run)) return;
          place(run, child, compose(t, insertTransform(ins, fileState(run).blocks[child].bx, fileState(run).blocks[child].by, c, r)), layer,
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
      KxNewElement& el = fileState(run).placing;
      el.sx = el.cx = placed(run, x1);
      el.sy = el.cy = placed(run, y1);
      el.ex = placed(run, x2);
      el.ey = placed(run, y2);
      AddNextElement(run, etLINE, el, gNoText);
    } else {
      emitRound(run, it, t, it.kind == ikCircle);
    }
  }
}

// state: 1 no, 2 yes, 3 being asked (a block inserting itself adds nothing)
bool hasGeometry(KxRun& run, int bi, bool zeroRead, int depth) {
  int8_t& m = fileState(run).memo[bi].m[zeroRead ? 1 : 0];
  if (m == 1 || m == 3) return false;
  if (m == 2) return true;
  if (depth >= kMaxInsertDepth) return false;
  m = 3;
  bool yes = false;
  const Block& b = fileState(run).blocks[bi];
  for (int i = b.first; i < b.first + b.count && !yes; ++i) {
    const Item& it = fileState(run).items[i];
    const bool read = it.layer >= 0 || (it.layer == kBlockLayerZero && zeroRead);
    if (it.kind == ikInsertMore) continue;
    if (it.kind != ikInsert) {
      yes = read;
      continue;
    }
    const int child = findBlock(run, fileState(run).names.data() + it.ref);
    const DxfInsert ins = i + 1 < b.first + b.count ? insertOf(it, fileState(run).items[i + 1]) : DxfInsert();
    if (child >= 0 && ins.columns > 0 && ins.rows > 0) yes = hasGeometry(run, child, read, depth + 1);
  }
  m = yes ? 2 : 1;
  return yes;
}

}  // namespace

void BlocksClear(KxRun& run) {
  fileState(run).itemCount = fileState(run).blockCount = fileState(run).nameUsed = 0;
  fileState(run).open = -1;
  fileState(run).entityIn = false;
  fileState(run).memo.Clear();
}

void BlockBegin(KxRun& run) {
  BlockEnd(run);
  fileState(run).memo.Clear();
  fileState(run).open = fileState(run).blockCount++;
  fileState(run).blocks[fileState(run).open] = Block{-1, 0, 0, fileState(run).itemCount, 0, false};
  fileState(run).named = false;
}

void BlockHeadGroup(KxRun& run, int code, const char* value) {
  if (fileState(run).open < 0) return;
  Block& b = fileState(run).blocks[fileState(run).open];
  if (code == 2 && !fileState(run).named) {
    fileState(run).named = true;
    b.name = storeName(run, value);
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
            blockName(run, fileState(run).open), code, value);
  }
}

void BlockEnd(KxRun& run) {
  fileState(run).open = -1;
  fileState(run).entityIn = false;
}

bool BlockEntityLayer(KxRun& run, int layer) {
  fileState(run).foreign = false;
  fileState(run).entityIn = fileState(run).open >= 0;
  fileState(run).layer = layer;
  return fileState(run).entityIn;
}

void BlockEntityOutside(KxRun& run, bool layerRead) {
  fileState(run).entityIn = false;
  fileState(run).foreign = !layerRead;
}

bool BlockEntityOnLayerNotRead(KxRun& run) { return fileState(run).foreign; }

bool BlockEntity(KxRun& run) { return fileState(run).entityIn; }

void BlockTake(KxRun& run, long from) {
  if (from < 0) from = 0;
  const long n = run.table.eldsCounter;
  for (long i = from; i < n; ++i) {
    const elementdaten& e = run.table.elds[i];
    switch (e.type) {
      case etLINE:
        addLine(run, e.sx, e.sy, e.ex, e.ey);
        break;
      case etARC:
        addArc(run, e.cx, e.cy, e.r, e.sw, e.ew);
        break;
      case etCIR:
        addItem(run, Item{ikCircle, (int32_t)fileState(run).layer, 0, {e.cx, e.cy, e.r, 0, 360}});
        break;
      case etVERT: {
        // A run of vertices is one polyline: each vertex to the next, the last
        // back to the first unless the polyline is open.
        long j = i;
        while (j + 1 < n && run.table.elds[j + 1].type == etVERT) ++j;
        for (long k = i; k < j; ++k) addSegment(run, run.table.elds[k].sx, run.table.elds[k].sy, run.table.elds[k].bulge, run.table.elds[k + 1].sx, run.table.elds[k + 1].sy);
        if (j > i && !run.table.elds[j].polyOpen) addSegment(run, run.table.elds[j].sx, run.table.elds[j].sy, run.table.elds[j].bulge, run.table.elds[i].sx, run.table.elds[i].sy);
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
    e.used = e.IsFirst = e.child = 0;
    e.kElemX = 0;
    e.fLayer = -1;
    e.kontur[0] = e.text[0] = '\0';
  }
  if (from < run.table.eldsCounter) run.table.eldsCounter = from;
}

void BlockTakeInsert(KxRun& run, const char* name, const DxfInsert& ins) {
  if (fileState(run).open < 0) return;
  if (fileState(run).itemCount + 2 > run.table.eldsMaximum) {
    fileState(run).itemCount = (int)run.table.eldsMaximum;  // an insert is kept whole or not at all
    addItem(run, Item{});              // reports the full store
    return;
  }
  int ref = storeName(run, name);
  if (ref < 0) return;
  addItem(run, Item{ikInsert, (int32_t)fileState(run).layer, ref,
               {(float)ins.x, (float)ins.y, (float)ins.sx, (float)ins.sy, (float)ins.rotation}});
  addItem(run, Item{ikInsertMore, (int32_t)fileState(run).layer, 0,
               {(float)ins.columns, (float)ins.rows, (float)ins.dx, (float)ins.dy, ins.mirror ? 1.0f : 0.0f}});
}

bool BlockHasGeometry(KxRun& run, const char* name, bool layerRead) {
  const int b = findBlock(run, name);
  return b >= 0 && hasGeometry(run, b, layerRead, 0);
}

long BlockPlace(KxRun& run, const char* name, const DxfInsert& ins, bool layerRead) {
  fileState(run).beyond = false;
  const int b = findBlock(run, name);
  if (b < 0) return 0;
  const long before = run.table.eldsCounter;
  const int own = run.table.aktLayName;
  const int layer = layerRead ? own : kBlockLayerOther;
  fileState(run).steps = 0;
  fileState(run).cut = false;
  // The first placed record takes what it does not set from the drawing's entities.
  fileState(run).placing = DxfLeftover(run);
  for (int r = 0; r < ins.rows; ++r)
    for (int c = 0; c < ins.columns; ++c) {
      if (stop(run)) break;
      place(run, b, insertTransform(ins, fileState(run).blocks[b].bx, fileState(run).blocks[b].by, c, r), layer, 0);
    }
  run.table.aktLayName = own;
  return run.table.eldsCounter - before;
}

bool BlockPlacedBeyond(KxRun& run, double* value) {
  if (fileState(run).beyond) *value = fileState(run).beyondValue;
  return fileState(run).beyond;
}
