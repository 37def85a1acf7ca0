// DXF input: the version pass, the layer table and the layer list with its
// per-layer overrides, the conversion of entities into element records, and
// the entity scanners of the 12-format and 2000-format drawing layouts.
#pragma once

struct KxRun;        // the state of one conversion (run/run.h)
struct KxSettings;   // the settings a run reads (config.h)

#include <functional>

#include <cstring>

#include "elements/elements.h"   // KxNewElement
#include "geometry/base.h"     // KxUnit
#include "geometry/limits.h"   // kMaxLayerEntries, kTextLineSize, KxGrowingTable

// --- line reading shared by every pass ---
inline constexpr int kDxfLineSize = kTextLineSize;   // a line buffer: the reader hands out at most 254 characters of a line
bool DxfReadLine(KxRun& run, char* buf);               // next line of i_stream (buf: kDxfLineSize bytes) without its line end, a longer one cut there and passed whole; false at end of file
bool DxfSkipLine(KxRun& run);                        // passes over the next line as DxfReadLine would read it; false at end of file
int DxfReadCode(KxRun& run, int* code);                // reads the next line as a group code line, in place: 1 with its code, 0 for a line that is no group code, -1 at end of file
int DxfCode(const char* line);             // a group-code line as a base-10 integer (no digits give 0)
float DxfValue(const char* line);          // a value line as a finite float (no number, overflow, inf or nan give 0)
int DxfOpenDrawing(KxRun& run, const char* path);      // closes i_stream and opens path as i_stream for the passes; 0 when it cannot be opened or is refused
const char* DxfOpenRefusal(KxRun& run);              // why the last DxfOpenDrawing refused a file it opened, completing "the drawing 'name' ..." (a stream too large to copy); null when it did not
int DxfRewindDrawing(KxRun& run);                    // the next pass reads from the drawing's first line (a piped drawing from its temporary copy); 0 when there is no stream or it cannot go back
void DxfCloseDrawing(KxRun& run);                    // closes i_stream and drops the temporary copy of a piped drawing
struct DxfSearch;   // what a pass's keyword searches keep from one to the next, for speed (reading.h)
int DxfFindLine(KxRun& run, DxfSearch& search, char* buf, const char* const* words, int count);  // reads lines until one equals one of words (at most 16, fixed strings: search keeps them prepared per array) and puts it into buf; its index, or -1 at end of file
int DxfPassForeignHead(KxRun& run, int code, bool (*refused)(KxRun& run, const char* layer, size_t length));  // entity pass, the value of group code next: passes the groups up to the layer group when refused says yes to that layer (1), else reads nothing (0; also at a group 0 or a long line)
int DxfSetSieveWidth(KxRun& run, int bits);            // tests: the search's vector width, 512, 256 or 128 bits (0: the widest), or the widest below it this processor has; returns the width in use before
int DxfSetWindowSize(KxRun& run, int bytes);           // tests: the reading window's size for drawings taken over from now on (512 bytes up to the normal size, 0 restores it); returns the previous size
// true when line is exactly word; the first characters are compared inline, since nearly no line of a drawing starts like a keyword
inline bool DxfIs(const char* line, const char* word) { return line[0] == word[0] && strcmp(line, word) == 0; }

// --- version ---
int getAcadVersion(KxRun& run);            // version pass: $ACADVER (or, without it, the layout the entities are written in) and $INSUNITS

// --- layer list ---
enum fllmod {
  ll_ADD = 0,        // add a layer
  ll_VARIA = 1,      // apply per-layer values from a technology text
  ll_CLR_U = 2,      // clear usage marks and per-layer values
  ll_LIST = 3,       // print the list
  ll_AISO = 4,       // does the layer's name contain "ISO"
  ll_APOSITION = 6,  // is the layer a positioning layer
  ll_ERR = 7         // no operation
};

struct dxfLayerList {
  char Name[32];
  int GlobUsed;
  int used;
  int useReg;
  float useOft;
  float useKonik;
};


typedef std::function<void(const char* name)> KxLayerNameFn;   // receives the layer names of a layer pass (desktop)

void StartLayerList(KxRun& run);                 // the layer list of the main layer alone, as the settings leave it (start of a conversion)
int fLayerList(KxRun& run, int modus, int nr, const char* lName, long elnum);  // the questions and changes of the layer list
int LayerSelected(KxRun& run, const char* name);  // is an entity on this layer read (a listed layer or the main layer)? sets table.aktLayName
int getLayers(KxRun& run);                      // layer pass

// --- entities ---
// The entity types the entity pass reads, from the value of an entity's group 0.
enum dxfKind {
  dkNONE = 0,     // not read
  dkLINE, dkARC, dkCIRCLE, dkPOINT, dkINSERT, dkTEXT, dkMTEXT,
  dkPOLYLINE,     // header of a polyline whose VERTEX entities follow up to SEQEND
  dkLWPOLYLINE,   // lightweight polyline with its vertices as repeated groups
  dkVERTEX, dkSEQEND,
  dkELLIPSE,      // cut as a chain of arcs
  dkSPLINE,       // the same
  dkKindCount     // kinds in all, dkNONE included
};
// What korvex knows of a kind (kinds.cpp, one row per kind in dxfKind order).
struct DxfKind {
  const char* name;    // the value of its group 0 ("ENTITY" for dkNONE, as messages name it)
  int record;          // the element record type it begins as (etype); -1: none of its own
  bool twelve;         // read in 12-format drawings too (lightweight polylines and splines exist from AC1012 on)
  bool objectCoords;   // its points are given in the object coordinate system of its extrusion
  bool geometry;       // it can become part of a contour or a feed point (texts and polyline pieces cannot)
};
extern const DxfKind kDxfKinds[dkKindCount];   // indexed by dxfKind
const DxfKind& DxfKindOf(int kind);            // the row of a kind; dkNONE's for one out of range
bool DxfTwelveRules(KxRun& run);  // no header, or a version up to AC1011
int DxfEntityKind(const char* name);  // the kind of a group-0 value (kinds.cpp); dkNONE for types that are not read
struct DxfReading;   // what the entity pass keeps while it reads one drawing (reading.h)
void EntityStart(KxRun& run, DxfReading& rd, int kind);           // an entity on a selected layer begins (a polyline adds its start record)
void EntityGroup(KxRun& run, DxfReading& rd, int code, const char* value);  // one group of the entity being read, in the drawing's order
void EntityFinish(KxRun& run, DxfReading& rd);                  // the entity's ending group 0: its records, in drawing coordinates
int DxfNumber(const char* value, double* v);  // a group value as a number with nothing but blanks after it (a decimal comma ends it: "1,5" gives 1): kxNUMBER, kxNO_NUMBER or kxNOT_FINITE, *v 0 unless a number
void DxfStageArcEnds(KxNewElement& el);        // el's arc end points from its centre, radius and angles (non-finite ones become 0)
bool PolylineTakesVertices(const DxfReading& rd);   // is a polyline open whose VERTEX entities are read?
void PolylineEnd(KxRun& run, DxfReading& rd);       // SEQEND, or anything else that ends the open polyline
int getElementsFromLayer(KxRun& run);           // entity pass, both layouts: one forward scan over the group pairs

// --- ellipses and splines as arc records (shapes.cpp) ---
struct KxEllipse;
struct KxCurvePiece;
// The ellipse c + a cos t + b sin t for t from t0 to t1 (radians, t1 > t0) with any two conjugate
// half-axes a and b (a mirrored one included), as pieces within tol; count, -1 when it cannot be made,
// kKxTooManyPieces when it needs more than max.
int ConjugateEllipsePieces(double cx, double cy, double ax, double ay, double bx, double by, double t0, double t1,
                           double tol, KxCurvePiece* out, int max);
long AddCurvePieces(KxRun& run, KxNewElement& el, const KxCurvePiece* pieces, int n, int* arcs);  // appends them as ARC and LINE records built on el; records added, arcs counted in *arcs
KxCurvePiece* CurvePieceBuffer(DxfReading& rd);     // the reading's one scratch buffer of pieces; it moves when it grows
int CurvePieceRoom(const DxfReading& rd);           // pieces the scratch buffer holds now
bool GrowCurvePieces(KxRun& run, DxfReading& rd);   // doubles the buffer while the element table has room for its pieces; false when it may not


// --- block definitions and their inserts (blocks.cpp) ---
inline constexpr int kMaxInsertDepth = 8;        // inserts within inserts followed
inline constexpr int kBlockLayerZero = -1;       // item layer: "0", takes the layer of the insert
inline constexpr int kBlockLayerOther = -2;      // item layer: a layer that is not read (nested inserts only)
struct DxfInsert {
  double x = 0, y = 0;          // insertion point (object coordinates)
  double sx = 1, sy = 1;        // scale factors 41, 42
  double rotation = 0;          // degrees, 50
  int columns = 1, rows = 1;    // 70, 71
  double dx = 0, dy = 0;        // column and row spacing 44, 45
  bool mirror = false;          // extrusion along -Z
};
// The definitions live in the reading's block store (reading.h): a pass starts without any.
struct DxfBlockStore;   // the block definitions read so far and the placement under way (reading.h)
void BlockBegin(DxfBlockStore& bs);                           // a BLOCK entity opens a definition; its groups follow
void BlockHeadGroup(KxRun& run, DxfBlockStore& bs, int code, const char* value);  // name (2) and base point (10, 20) of the open definition
void BlockEnd(DxfBlockStore& bs);                             // ENDBLK, or anything else that closes the open definition
bool BlockEntityLayer(DxfBlockStore& bs, int layer);            // the next entity belongs to the open definition with this layer (or kBlockLayer...); false when none is open
void BlockEntityOutside(DxfBlockStore& bs, bool layerRead);     // the next entity is drawing geometry (an INSERT may stand on a layer not read)
bool BlockEntity(const DxfBlockStore& bs);                    // does the entity being read go into a definition?
bool BlockEntityOnLayerNotRead(const DxfBlockStore& bs);      // is the entity being read an INSERT on a layer not read?
void BlockTake(KxRun& run, DxfBlockStore& bs, long from);       // moves records from..eldsCounter-1 into the open definition as its items
void BlockTakeInsert(KxRun& run, DxfBlockStore& bs, const char* name, const DxfInsert& ins);  // a nested insert of the entity being read
bool BlockHasGeometry(DxfBlockStore& bs, const char* name, bool layerRead);  // does the block hold geometry on a layer being read (through nested inserts too), its layer-0 entities on a layer read or not?
long BlockPlace(KxRun& run, DxfReading& rd, const char* name, const DxfInsert& ins, bool layerRead);  // adds the block's geometry as records where the insert puts it (layer 0 as table.aktLayName, or not read); records added
bool BlockPlacedBeyond(const DxfBlockStore& bs, double* value);   // did the last BlockPlace meet a coordinate or circle radius beyond kMaxCoordinate or one that is no finite number (then recorded as 0)? *value: the first such

// --- layers holding geometry (census.cpp) ---
inline constexpr int kCensusLayers = 64;  // layers told apart; the rest are only counted
struct DxfLayerCensus {
  struct Layer {
    char name[64];
    long entities;
  } layers[kCensusLayers];   // most entities first
  int count;                 // entries of layers in use
  int moreLayers;            // entities on layers beyond the table
};
int DxfCountLayerGeometry(KxRun& run, DxfLayerCensus* census);  // rereads the drawing and counts its drawn entities per layer; layers found
const char* DxfWhyNotADrawing(KxRun& run, const char* path, char* why, size_t size);  // why the file at path (null: the open drawing, reread) is no ASCII DXF drawing, written into why; null when it is one (or a pipe or device, not looked into)


// --- the reading window over the drawing (reader.cpp, sieve.cpp; its steps in window.h) ---
namespace dxfwindow {
// Zero bytes after the window's text: the keyword search reads whole chunks of
// 512 bytes, the line search whole 64-byte blocks, the copy of a short line 32
// bytes at once. Zero bytes end no line, and the sieve takes them for places
// where a line can end, so text not read yet can add candidates, never hide one.
constexpr size_t kSlack = 576;
constexpr size_t kBlock = 64;
constexpr size_t kLineChars = kDxfLineSize - 1;   // characters of a line handed out; a longer one's rest is passed
// A window of 512 KB stays in the second-level cache while the sieve and the
// passes go over what one read brought in; 128 KB to 1 MB measured within 5%.
constexpr size_t kWindow = (size_t)512 << 10;
// The smallest window still has room for the bytes that decide a line's text
// (its first kLineChars) after the text a refill keeps (the held line start up to
// two blocks before the line, and the block the line starts in: under 450 bytes).
constexpr size_t kMinWindow = 512;

// The part of the drawing in memory: bytes [start, start + len) of the source,
// read from fd. Offsets in the window (pos, blockAt, hold) count from data[0].
struct Window {
  char* data = nullptr;       // the run's dxf.bytes
  size_t cap = kWindow;       // bytes a refill may fill
  size_t len = 0;             // bytes of text in the window
  size_t pos = 0;             // start of the next line
  size_t blockAt = 0;         // start of the 64-byte block whose line ends are in ends
  uint64_t ends = 0;          // the '\n' of that block at or after pos, one bit each
  size_t hold = SIZE_MAX;     // a line start the keyword search may go back to: a refill keeps it
  uint64_t start = 0;         // source offset of data[0]
  uint64_t next = 0;          // source offset of the next read
  int fd = -1;                // the drawing file, or the temporary copy of a stream
  FILE* owner = nullptr;      // the stream the drawing came from
  FILE* spool = nullptr;      // temporary copy of a stream that cannot be read twice
  bool eof = false;           // the window holds the drawing's last byte
  bool hasNul = false;        // a NUL byte ends a line's text early: the careful path is needed
  uint64_t moves = 0;         // counts the changes of the text and its offsets (refill, restart, rewind): a search's sieved chunk holds only at the count it was sieved at
};

}  // namespace dxfwindow

// The reading side of one run: the window over the drawing and its text.
struct ReaderRun {
  alignas(64) char bytes[dxfwindow::kWindow + dxfwindow::kSlack];  // the window's text with its slack
  dxfwindow::Window win;                      // the window of the drawing stream i_stream
  size_t windowSize = dxfwindow::kWindow;     // the window's size for drawings taken over from now on
  // A long line's first characters, kept while its rest is passed: the line handed
  // out lies here until the next one is read (the bytes behind it serve the
  // fixed-size copies and compares as the window's slack does).
  alignas(64) char longHead[dxfwindow::kLineChars + 64] = {};
  char refusal[200] = "";   // why the last DxfOpenDrawing refused a stream it opened, completing "the drawing ..."; empty when it did not
  ReaderRun() { win.data = bytes; }
};

// --- structure check of the records read (structure.cpp) ---
void CheckStructs(KxRun& run);                               // polylines to lines, rounding, short lines, lengths, texts

// The drawing side of one run: version, layer list and what the entity pass refused.
struct DxfRun : ReaderRun {
  char acad_VersInfo[30] = "....";  // text of $ACADVER
  int acad_IntVers = 0;  // version as a number (1009, 1015, ...)
  KxGrowingTable<dxfLayerList, 6> fLL{};  // the layer list, growing up to kMaxLayerEntries
  int aktLayEntry = 0;  // entries in use
  int multiLayer = 1;  // 1: the layer list is in use
  int positionLayer = 0;  // 1 once a POSITION layer was added
  KxLayerNameFn layerNameHook;  // desktop: receives every layer name of the layer pass for the window's list; empty in the console
  int declaredUnits = -1;  // $INSUNITS of the drawing's header; -1 when it names none
  const KxUnit* unitsRead = nullptr;  // the unit the drawing is read in when it is not millimetres as ever (declared or chosen); null otherwise
  // Millimetres per drawing unit: every coordinate and radius is multiplied by it as it is read.
  double UnitScale() const { return unitsRead ? unitsRead->mm : 1.0; }
  bool layoutByEntities = false;  // no $ACADVER: the entities' subclass markers chose the 2000-format layout
  int refusedEntities = 0;  // entities refused for a value that is no number, not finite or beyond the plausibility limits (limits.h), each named in the log; set to 0 per run
  std::string topLayer, syncLayer;  // four-axis: the layers of the top contours and of the lines tying them (settings, or the main layer's name and _TOP, _SYNC)
  bool topDrawn = false, syncDrawn = false;  // an entity of the entity pass lay on the top layer, on the sync layer
  KxNewElement leftover;  // what the entity pass's last entities left staged (DxfLeftover): the next pass and the closing records start from it
};
