// The reading window that the line reader (reader.cpp) and the keyword sieve
// (sieve.cpp) share: the part of the drawing in memory, the position of the next
// line in it and the few steps both need to move through it. Used only there.
// The steps that read the run are templates on it, so this header needs only
// the reader's own part of the run and never the run layer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "dxf/dxf.h"
#include "geometry/base.h"

namespace dxfwindow {


inline void forgetBlocks(Window& w) { ++w.moves; }   // the searches' sieved blocks of the window no longer hold
bool refill(KxRun& run);                // moves the unread text to the front and reads on; false when nothing more came
bool takeOver(KxRun& run, FILE* f);       // takes the drawing over from f, from where f stands
bool slowLine(KxRun& run, const char*& p, size_t& n);   // nextLine for every case but the common one

#if defined(__GLIBC__) || defined(__APPLE__) || defined(__FreeBSD__)
inline bool streamDone(FILE* f) { return feof_unlocked(f) || ferror_unlocked(f); }
#else
inline bool streamDone(FILE* f) { return feof(f) || ferror(f); }
#endif

// The window belongs to f while f is the drawing stream and stands at its end:
// the reader reads the file itself and leaves the stream there. A stream reopened
// by someone else (even at the same address) or rewound has no end-of-file mark
// yet, and is taken over afresh.
template <class Run>
inline bool windowCurrent(Run& run, FILE* f) { return f == run.dxf.win.owner && streamDone(f); }

// One bit for every '\n' among the 64 bytes at p.
inline uint64_t newlinesOf(const char* p) {
#if defined(__SSE2__)
  const __m128i nl = _mm_set1_epi8('\n');
  uint64_t ends = 0;
  for (int i = 0; i < 4; ++i) {
    __m128i v = _mm_loadu_si128((const __m128i*)(p + 16 * i));
    ends |= (uint64_t)(uint32_t)_mm_movemask_epi8(_mm_cmpeq_epi8(v, nl)) << (16 * i);
  }
  return ends;
#else
  uint64_t ends = 0;
  for (size_t i = 0; i < kBlock; ++i) ends |= (uint64_t)(p[i] == '\n') << i;
  return ends;
#endif
}

inline void scanBlock(Window& w) { w.ends = newlinesOf(w.data + w.blockAt); }

// Moves the next line's start to offset at, which must be a line start,
// with the line ends of its block when they are known already.
inline void seekLine(Window& w, size_t at, uint64_t blockEnds) {
  w.pos = at;
  w.blockAt = at & ~(kBlock - 1);
  size_t skip = at - w.blockAt;
  w.ends = blockEnds & (skip < 64 ? ~0ULL << skip : 0);
}

inline void seekLine(Window& w, size_t at) { seekLine(w, at, newlinesOf(w.data + (at & ~(kBlock - 1)))); }

// Makes sure the window holds the next `need` bytes, or the drawing's end.
template <class Run>
inline void ensure(Run& run, size_t need) {
  Window& w = run.dxf.win;
  if (w.len - w.pos >= need || w.eof) return;
  while (w.len - w.pos < need && !w.eof) refill(run);
  seekLine(w, w.pos);
}

// Puts the n characters at p into buf as a C string. Most lines fit one fixed
// 32-byte copy (buf holds 255 bytes, the window has slack behind its text).
inline void give(char* buf, const char* p, size_t n) {
  if (n <= 32) memcpy(buf, p, 32);
  else memcpy(buf, p, n);
  buf[n] = '\0';
}

// The next line, whatever its length, as reading it whole (getline) and
// stripLFCR would give it, left in place: its text is the n characters at p, at
// most kLineChars. False at the end of the drawing.
template <class Run>
inline bool nextLine(Run& run, const char*& p, size_t& n) {
  Window& w = run.dxf.win;
  FILE* f = run.io.i_stream;
  // The common case: a short line whose '\n' is in this block or a later one of
  // the window. Behind the text lie zero bytes, so a '\n' found is the text's;
  // blocks without one are passed, as nextNewline would.
  if (f == w.owner && f && !w.hasNul && streamDone(f)) {
    while (!w.ends) {
      if (w.blockAt + kBlock >= w.len) return slowLine(run, p, n);
      w.blockAt += kBlock;
      scanBlock(w);
    }
    size_t at = w.blockAt + (size_t)__builtin_ctzll(w.ends);
    size_t len = at - w.pos;
    if (len < kLineChars) {
      w.ends &= w.ends - 1;
      p = w.data + w.pos;
      w.pos = at + 1;
      if (len >= 1 && p[len - 1] == '\r') --len;
      n = len;
      return true;
    }
  }
  return slowLine(run, p, n);
}

}  // namespace dxfwindow
