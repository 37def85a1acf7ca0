// What the passes over a drawing keep while they work, created by the pass and
// handed to the steps it calls: the keyword search's prepared words and sieved
// chunk (every pass), and the entity pass's reading with the entity being
// converted, the block store, the held groups and the curve pieces. Used only by
// the DXF files; nothing of it outlives its pass.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <string>
#include <vector>

#include "dxf/dxf.h"
#include "elements/elements.h"   // KxNewElement
#include "geometry/base.h"       // KxSpline, KxCurvePiece
#include "geometry/limits.h"     // KxGrowingTable

// --- the keyword search of one pass (sieve.cpp) ---

// The keywords of a search, with the two quick sieves every line passes first:
// the lengths of the words (63 standing for all longer ones) and their first
// characters. Group codes and values rarely pass both.
struct DxfKeywords {
  const char* const* words = nullptr;
  int count = 0;
  const char* given[16] = {};     // the word pointers the sieves were made for
  size_t lengths[16] = {};
  uint64_t lengthSet = 0;
  uint64_t firstSet[4] = {0, 0, 0, 0};
  unsigned char firsts[16] = {};  // the distinct first characters
  int firstCount = 0;
  // With one or two first characters the sieve also asks for a second one, when
  // the words have one or two: a search for LAYER then passes over every LINE.
  unsigned char seconds[2] = {};
  int secondCount = 0;
  bool anyEmpty = false;
  bool anyLong = false;           // a word of 64 characters or more: no line-end sieve
  bool plainWords = true;         // no word holds a byte up to '\r': its line's text ends at the first stop after it
  uint64_t lengthsOf[256] = {};   // per first character, the lengths of the words starting with it
  alignas(16) char head[16][16];  // each word's first 16 characters, zero-padded: one compare for a short word
  // The first characters as a set for a table look-up by nibbles: a character
  // is in it when the bits of its low and its high nibble meet. Eight bits keep up
  // to eight characters apart; more share bits and let a few others through.
  // Written four times over, so a vector of any width loads its table at once.
  alignas(64) unsigned char lowNibble[64] = {};
  alignas(64) unsigned char highNibble[64] = {};

  void prepare(const char* const* w, int n);   // makes the sieves for these n words (sieve.cpp)

  // The passes search for the same fixed words again and again (the entity pass
  // once per entity); the sieves are made once for them.
  bool preparedFor(const char* const* w, int n) const {
    if (w != words || n != count) return false;
    uintptr_t differ = 0;  // no branch and no call per word: the entity pass asks once per entity
    for (int k = 0; k < n; ++k) differ |= (uintptr_t)w[k] ^ (uintptr_t)given[k];
    return differ == 0;
  }

  // The index of the word the line equals, or -1.
  int match(const char* p, size_t n) const {
    if (!((lengthSet >> (n < 63 ? n : 63)) & 1)) return -1;
    unsigned char c = n ? (unsigned char)p[0] : 0;
    if (!((firstSet[c >> 6] >> (c & 63)) & 1)) return -1;
    for (int k = 0; k < count; ++k)
      if (n == lengths[k] && (n <= 16 ? sameHead(p, k, n) : memcmp(p, words[k], n) == 0)) return k;
    return -1;
  }

  // Whether the n (at most 16) characters at p are word k. The line lies in the
  // window or in the reader's copy of a long line's start, both with zero bytes
  // behind them, so 16 bytes can always be loaded.
  bool sameHead(const char* p, int k, size_t n) const {
#if defined(__SSE2__)
    const __m128i eq = _mm_cmpeq_epi8(_mm_loadu_si128((const __m128i*)p), _mm_load_si128((const __m128i*)head[k]));
    const unsigned want = (1u << n) - 1;
    return ((unsigned)_mm_movemask_epi8(eq) & want) == want;
#else
    return memcmp(p, head[k], n) == 0;
#endif
  }
};

// Eight 64-byte blocks (a chunk), one bit per byte: the line ends and the
// keywords' first characters. The entity pass searches again a few lines after
// each entity type it found, mostly in the chunk it stopped in, which is then
// sieved already.
inline constexpr size_t kDxfChunkBlocks = 8;

struct DxfChunkBits {
  size_t at = SIZE_MAX;           // offset of the chunk in the window
  uint64_t moves = 0;             // the window's count of changes it was sieved at (Window::moves)
  uint64_t ends[kDxfChunkBlocks];    // '\n'
  uint64_t starts[kDxfChunkBlocks];  // a keyword's first character
  uint64_t stops[kDxfChunkBlocks];   // control characters up to '\r': where the text of a short line can end
};

// What the keyword search of one pass keeps from one search to the next, only
// for speed: the words last prepared and the chunk last sieved for them.
struct DxfSearch {
  DxfChunkBits chunk;   // the chunk sieved last
  DxfKeywords kw;       // the keywords prepared last
};

// --- the entity conversion (entities.cpp) ---

// An empty element, angles included: what an entity or polyline found before it
// until it is read.
inline constexpr KxNewElement kDxfNothingStaged{0, 0, 0, 0, 0, 0, 0, 0, 0};

// The entity being read.
struct DxfEntity {
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
  KxNewElement before = kDxfNothingStaged;  // the staged element as the entity found it
  std::string refusal;      // why a value of a group it uses refuses it ("" while none does)
  std::string placement;    // the same for an insert's scale, rotation and array groups: they count when its block is placed
};

// The polyline whose VERTEX entities are being read (up to its SEQEND).
struct DxfPolyline {
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
  KxNewElement before = kDxfNothingStaged;  // the staged element as its header found it
};

// --- the block store (blocks.cpp) ---

// One piece of a block's geometry, in the block's own coordinates.
//   line: x1 y1 x2 y2; arc: cx cy r sw ew (degrees, counter-clockwise); circle: cx cy r;
//   insert: x y sx sy rotation, ref = the block name; insert-more (always behind it):
//   columns rows dx dy mirror.
struct DxfBlockItem {
  uint8_t kind;   // line, arc, circle, insert or insert-more (blocks.cpp)
  int32_t layer;  // layer-list index, kBlockLayerZero or kBlockLayerOther
  int32_t ref;
  float v[5];
};

struct DxfBlock {
  int32_t name;   // offset into names
  float bx, by;   // base point
  int32_t first, count;
  bool full;      // items were left out
};

// BlockHasGeometry per block and whether layer 0 is read: 0 unknown, 1 no, 2 yes, 3 asked
struct DxfBlockMemo {
  int8_t m[2];
};

// The block definitions read so far and the placement under way. The stores grow
// as the definitions come; placing holds references into them, which their
// fixed chunks keep valid. The items are bounded like the element table, as
// every item may become a record.
struct DxfBlockStore {
  KxGrowingTable<DxfBlockItem> items;
  int itemCount = 0;
  KxGrowingTable<DxfBlock> defs;   // the definitions, in the drawing's order
  int blockCount = 0;
  std::vector<char> names;   // every block name, each ended by its '\0'; the offsets stay, the pointers do not
  int nameUsed = 0;
  int open = -1;            // the definition being read
  bool named = false;       // its name was taken
  bool entityIn = false;    // the entity being read goes into it
  bool foreign = false;     // the entity being read is an INSERT on a layer not read
  int layer = kBlockLayerZero;
  KxGrowingTable<DxfBlockMemo> memo;
  KxNewElement placing;     // the placed records' values: each takes what it does not set from the one placed before
  long steps = 0;           // work of the placement under way
  bool cut = false;         // it reached the bound of placement steps
  // A placement whose geometry reaches beyond the coordinate limit refuses its insert.
  bool beyond = false;
  double beyondValue = 0;
};

// --- the entity pass's reading (scanners.cpp creates it for one pass) ---

// A group of an entity that came before its layer group (scanners.cpp).
struct DxfHeldGroup {
  int code;
  std::string value;
};

// Everything the entity pass keeps while it reads one drawing and nothing longer:
// the steps it calls take it by reference. What the run keeps of it (the element
// the last entity left) is put into the run when the pass ends.
struct DxfReading {
  DxfSearch search;   // the pass's keyword search
  // Groups of an entity that come before its layer group wait here until the
  // layer decides whether the entity is read. Writers put the layer among the
  // first groups; the places grow for one that does not, up to the bound of the
  // element table, and are kept for the next entity.
  std::vector<DxfHeldGroup> held;
  int heldCount = 0;
  int heldLost = 0;
  DxfEntity ent;       // the entity being read
  DxfPolyline poly;    // the polyline whose vertices are being read
  KxSpline spline{};   // the spline being read
  // The element the drawing's entities stage. An entity that does not set a value
  // inherits it from the entity before (the first from what the run's last read
  // left); block definitions, placed blocks, curves and refused entities must
  // not change what the drawing's next entity inherits.
  KxNewElement staged;
  KxNewElement saved = kDxfNothingStaged;  // the staged element before a block definition's entities, which leave it as it was
  bool savedValid = false;
  DxfBlockStore blocks;   // the block definitions and the placement under way
  // The curve cutters' scratch buffer of pieces (shapes.cpp): it starts at what most
  // curves need and doubles for a curve that needs more.
  std::vector<KxCurvePiece> pieces;
};
