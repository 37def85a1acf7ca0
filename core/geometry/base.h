// Shared ground of every conversion step: the geometry and string helpers and
// the curves that become arcs, with the program's identity and the printf-exact
// formatting from runwide.h. A run's channel and files are the run layer's.
#pragma once

struct KxRun;        // the state of one conversion (run/run.h)
struct KxSettings;   // the settings a run reads (config.h)

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <unordered_map>
#include <vector>

#include "geometry/runwide.h"

// --- numeric constants (rounded on purpose: results are reproduced with them) ---
inline constexpr double awPI = 3.14159265;     // pi as used for every degree/radian conversion
inline constexpr double RAD2DEG = 57.29577951; // radians to degrees

// --- bounded string helpers ---
void KxCopy(char* dst, size_t size, const char* src);   // copies src into dst, cut to size - 1 characters, always terminated
void KxCat(char* dst, size_t size, const char* src);    // appends src to dst within size bytes, always terminated
bool KxEndsWith(const char* text, const char* end);   // true when text ends with end (case as given)
enum KxNumberRead { kxNUMBER = 0, kxNO_NUMBER, kxNOT_FINITE };   // what KxReadNumber found
int KxReadNumber(const char* text, double* v, const char** rest);   // the finite number after leading blanks into *v (0 otherwise), a decimal comma read as the end of it ("1,5" gives 1); *rest (when given): what follows it
double KxNumber(const char* text);   // decimal conversion; no number, infinity or NaN give 0
long KxInteger(const char* text);    // base-10 conversion with leading blanks; no digits give 0, clamped to the int range

// --- geometry helpers ---
float YARC(double w, float a);        // y offset of the point at angle w (degrees) on a circle of radius a
float XARC(double w, float a);        // x offset of the point at angle w on a circle of radius a
double WIV(float xa1, float ya1, float xb2, float yb2);   // direction of a segment in degrees, (-180, 180]
float LENC(float xa1, float ya1, float xb2, float yb2);   // length of a segment
float BOGENWINKEL(float sW, float eW);                    // counter-clockwise sweep of an arc from sW to eW
// An angle in degrees brought into [0, 360): a few turns come off one by one, as they
// always did (the same numbers); an absurd angle (1e30, where adding 360 changes
// nothing) in one step, an infinite one is 0, so that no turning loops for ever.
template <class T>
T KxWithinTurn(T a) {
  if (std::isnan(a)) return a;
  if (std::isinf(a)) return T(0);
  if (a >= T(1e6) || a <= T(-1e6)) a = (T)std::fmod((double)a, 360.0);
  while (a < 0) a += 360;
  while (a >= 360) a -= 360;
  return a;
}
float FL3NKS(float in);               // value rounded to three decimals through its "%10.3f" text
void S2UP(char* fn);                  // upper-cases fn in place
std::string stripLFCR(const char* text);    // text without its line end, at most kTextLineSize - 1 characters

// --- drawing units (units.cpp) ---
// A unit a drawing may be drawn in; every length korvex works with is in millimetres.
struct KxUnit {
  int code;           // its number in a drawing's header ($INSUNITS)
  const char* key;    // its name in DrawingUnits and --units ("inch")
  const char* name;   // its name in the reports ("inches")
  double mm;          // millimetres in one unit
};
const KxUnit* KxUnitByCode(int code);        // the unit of a header's $INSUNITS number; null for unitless and units no part is drawn in
const KxUnit* KxUnitByKey(const char* key);  // the unit a user names ("mm", "inch", ...); null for another word
std::string KxUnitKeys();                    // the words a user may name, "auto" first, for messages and help

// --- search near a point (grid.cpp) ---
// The cells of both grids: one open-addressed table of cell numbers, each cell
// a chain of ids, newest first. A hash map of vectors spent most
// of a large drawing's search time in allocation and pointer chasing.
class KxCellTable {
 public:
  void Clear();                               // empties the table and gives its memory back
  void Add(uint64_t key, long id);            // files id under the cell key
  void Reserve(size_t cells);                 // makes room for that many cells at once
  void Append(uint64_t key, std::vector<long>& out) const;  // appends the ids filed under key, newest first
 private:
  struct Slot {
    uint64_t key;
    long head;   // newest entry of the cell's chain; -1: slot free
  };
  size_t find(uint64_t key) const;   // the slot holding key, or the free one where it belongs
  void grow(size_t size);                      // rehashes into that many slots
  std::vector<Slot> slots_;          // a power of two in size, at most half full
  std::vector<size_t> filled_;       // the slots in use, so that a small table empties without a sweep
  struct Entry {
    long id, next;   // the id filed, and the next entry of the same cell (-1: last)
  };
  std::vector<Entry> entries_;
};


// The analysis asks, element after element, which others lie near one point;
// scanning the table for each makes a large drawing take the square of its size.
// The grid files points by square cells, so that a search looks at the few
// points in the cells around it. It only narrows the search: the caller still
// applies its own exact test to what comes back.
class KxPointGrid {
 public:
  void Reset(double reach);                  // empties the grid for searches reaching reach on each axis
  void Add(double x, double y, long id);     // files id under (x, y); a point that is no finite number is never found
  void Reserve(long points) { cells_.Reserve(points > 0 ? (size_t)points : 0); }  // makes room for that many points at once
  void Near(double x, double y, std::vector<long>& out) const;  // the ids within reach of (x, y) on both axes, and some beyond, ascending, each once
  bool Usable() const { return cell_ > 0; }  // false when reach is no finite number of at least 0: search everything then
 private:
  static constexpr long kSpan = 1L << 30;    // cell numbers beyond this are held at it
  long cellOf(double v) const;
  double reach_ = 0, cell_ = 0;
  KxCellTable cells_;
};

// The same for boxes: a box is filed in every cell it covers, one covering many
// cells in a list that every search returns; a search gives the boxes that may
// overlap its own box.
class KxBoxGrid {
 public:
  void Reset(double cell);   // empties the grid, with cells of that side (at least 1e-3)
  void Add(double x0, double y0, double x1, double y1, long id);  // files the box from (x0, y0) to (x1, y1); one not made of finite numbers is always returned
  void Reserve(long boxes) { cells_.Reserve(boxes > 0 ? (size_t)boxes : 0); }  // makes room for that many small boxes at once
  void Overlapping(double x0, double y0, double x1, double y1, std::vector<long>& out) const;  // the ids whose boxes may overlap that box, and some more, ascending, each once
  long Size() const { return count_; }   // boxes filed
 private:
  static constexpr long kSpan = 1L << 30;      // cell numbers beyond this are held at it
  static constexpr long kWideCells = 64;       // a box covering more cells goes to the wide list
  long cellOf(double v) const;
  double cell_ = 1;
  long count_ = 0;
  KxCellTable cells_;
  std::vector<long> wide_;   // boxes every search returns
  std::vector<long> all_;    // every filed id, for a search covering more cells than that
};

// --- curves as arcs (curves.cpp) ---
inline constexpr int kKxSplineMaxDegree = 7;     // highest spline degree read
inline constexpr int kKxSplineMaxPoints = 512;   // control or fit points of one spline
struct KxCurvePiece {
  bool line;              // a straight piece (the curve is flat there); otherwise an arc
  double sx, sy, ex, ey;  // start and end, in the curve's direction
  double cx, cy, r;       // centre and radius of an arc
  bool ccw;               // the arc turns counter-clockwise from start to end
};
struct KxEllipse {
  double cx, cy;          // centre
  double mx, my;          // end of the major axis, relative to the centre
  double ratio;           // minor to major axis
  double t0, t1;          // start and end parameter in radians (0 to 2 pi: full ellipse)
};
struct KxSpline {
  int degree;
  int nKnots, nControl, nFit;
  double knots[kKxSplineMaxPoints + kKxSplineMaxDegree + 1];
  double x[kKxSplineMaxPoints], y[kKxSplineMaxPoints], weights[kKxSplineMaxPoints];
  double fx[kKxSplineMaxPoints], fy[kKxSplineMaxPoints];   // fit points, used when there are no control points
};
inline constexpr double kKxMinCurvePiece = 0.01;   // pieces shorter than this are joined into lines where a line stays within the tolerance
inline constexpr int kKxTooManyPieces = -2;   // what the curve cutters return when the curve needs more than max pieces
int KxEllipseToPieces(const KxEllipse& e, double tol, KxCurvePiece* out, int max);  // tangent arcs within tol; count, -1 when unusable, kKxTooManyPieces when more than max
int KxSplineToPieces(const KxSpline& s, double tol, KxCurvePiece* out, int max);    // the same for a spline

// --- ruled surfaces: a wire tilted between two loops (ruled.cpp) ---
// A point of the bottom loop and the point of the top loop the wire passes with it.
struct KxWirePair {
  double bx = 0, by = 0;   // in the bottom plane (X, Y)
  double tx = 0, ty = 0;   // in the top plane
  bool knot = false;       // KxRuledPairs: a piece start of either loop or a tie (a ruling line worth drawing)
  bool arc = false;        // KxRuledPairs with arcs: reached on an arc of each loop of the same sweep from the pair before
  bool ccw = false;        // that arc turns counter-clockwise (both do)
  double bcx = 0, bcy = 0, tcx = 0, tcy = 0;   // the two arcs' centres
};
// The pairs the wire passes from the bottom loop's point nearest (startX, startY) once round and
// back to it: closed loops of end-to-end pieces, the top run the bottom's way round. Ties join a
// bottom point to a top point passed together; between two of them (round the loop without ties,
// from the bottom's first piece start and the top point lying as it does from its loop's centre)
// piece starts pair one to one when both sides have as many, otherwise points pair by equal
// fractions of length. Every piece start of either side is a pair, and between them the chords
// of both paths stay within tol. Empty when a loop is empty or the ties cross.
// With arcs, two arcs of the same sweep between two breaks give one pair (arc set) instead of their chords.
std::vector<KxWirePair> KxRuledPairs(const std::vector<KxCurvePiece>& bottom, const std::vector<KxCurvePiece>& top,
                                     const std::vector<KxWirePair>& ties, double startX, double startY, double tol,
                                     bool arcs = false);
double KxWireTilt(const KxWirePair& p, double height);   // the wire's angle to the vertical in degrees, planes height apart
double KxPieceSweep(const KxCurvePiece& p);   // how far an arc piece turns, radians, above 0 (a full circle when it ends where it starts); 0 for a line
std::vector<KxCurvePiece> KxReversedLoop(const std::vector<KxCurvePiece>& loop);   // the same loop walked the other way round
double KxLoopDistance(const std::vector<KxCurvePiece>& loop, double x, double y);   // how far (x, y) lies from the loop
