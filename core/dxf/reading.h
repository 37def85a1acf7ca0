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

#include "dxf/dxf.h"

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
