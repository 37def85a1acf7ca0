// The keyword sieve: the passes search the drawing for lines that equal one of
// a few fixed words (SECTION, ENTITIES, an entity type). The window is sieved 64
// bytes at a time for line starts that can hold such a word, and only those
// lines are read; whatever the sieve cannot take goes line by line.
#include <cstdint>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#endif

#include "dxf/dxf.h"
#include "dxf/reading.h"
#include "dxf/window.h"
#include "geometry/base.h"
#include "run/run.h"

using namespace dxfwindow;

namespace {

constexpr int kCompareSeconds = 2;  // first characters up to which the second one is sieved too

// Starts whose next byte is a second character (bits of those bytes in sec); the
// last byte's next one lies in the next block and is not asked.
inline uint64_t beforeSeconds(uint64_t sec) { return (sec >> 1) | (1ULL << 63); }

constexpr size_t kChunkBlocks = kDxfChunkBlocks;
constexpr size_t kChunk = kChunkBlocks * kBlock;

// Where the text of a short line can end among the 64 bytes at p: '\n', '\r'
// and the zero bytes behind the text, found in one compare as every byte up to
// '\r'. The few other control characters only add candidates that are read and
// refused.
constexpr char kLastStop = '\r';

inline uint64_t stopsOf(const char* p) {
#if defined(__SSE2__)
  const __m128i last = _mm_set1_epi8(kLastStop);
  uint64_t stops = 0;
  for (int j = 0; j < 4; ++j) {
    const __m128i v = _mm_loadu_si128((const __m128i*)(p + 16 * j));
    const __m128i stop = _mm_cmpeq_epi8(_mm_min_epu8(v, last), v);
    stops |= (uint64_t)(uint32_t)_mm_movemask_epi8(stop) << (16 * j);
  }
  return stops;
#else
  uint64_t stops = 0;
  for (size_t i = 0; i < kBlock; ++i) stops |= (uint64_t)((unsigned char)p[i] <= (unsigned char)kLastStop) << i;
  return stops;
#endif
}

#if defined(__x86_64__) && defined(__GNUC__)
// Up to two first characters are compared one by one; more are looked up by nibbles.
constexpr int kCompareFirsts = 2;

// The bits of the 32 bytes of v that are a keyword's first character.
__attribute__((target("avx2"))) inline uint32_t startsAvx2(__m256i v, const DxfKeywords& kw, const __m256i* firsts,
                                                         __m256i lowTab, __m256i highTab) {
  const __m256i nibble = _mm256_set1_epi8(0x0f), zero = _mm256_setzero_si256();
  if (kw.firstCount > kCompareFirsts) {
    const __m256i l = _mm256_shuffle_epi8(lowTab, _mm256_and_si256(v, nibble));
    const __m256i h = _mm256_shuffle_epi8(highTab, _mm256_and_si256(_mm256_srli_epi16(v, 4), nibble));
    return ~(uint32_t)_mm256_movemask_epi8(_mm256_cmpeq_epi8(_mm256_and_si256(l, h), zero));
  }
  __m256i a = zero;
  for (int i = 0; i < kw.firstCount; ++i) a = _mm256_or_si256(a, _mm256_cmpeq_epi8(v, firsts[i]));
  return (uint32_t)_mm256_movemask_epi8(a);
}

__attribute__((target("avx2"))) void classifyAvx2(const char* p, const DxfKeywords& kw, DxfChunkBits& c) {
  const __m256i nl = _mm256_set1_epi8('\n'), last = _mm256_set1_epi8(kLastStop);
  const __m256i lowTab = _mm256_load_si256((const __m256i*)kw.lowNibble);
  const __m256i highTab = _mm256_load_si256((const __m256i*)kw.highNibble);
  __m256i firsts[kCompareFirsts] = {};
  for (int i = 0; i < kw.firstCount && i < kCompareFirsts; ++i) firsts[i] = _mm256_set1_epi8((char)kw.firsts[i]);
  for (size_t b = 0; b < kChunkBlocks; ++b, p += kBlock) {
    const __m256i lo = _mm256_loadu_si256((const __m256i*)p);
    const __m256i hi = _mm256_loadu_si256((const __m256i*)(p + 32));
    const __m256i nlLo = _mm256_cmpeq_epi8(lo, nl), nlHi = _mm256_cmpeq_epi8(hi, nl);
    const __m256i stopLo = _mm256_cmpeq_epi8(_mm256_min_epu8(lo, last), lo);
    const __m256i stopHi = _mm256_cmpeq_epi8(_mm256_min_epu8(hi, last), hi);
    c.ends[b] = (uint64_t)(uint32_t)_mm256_movemask_epi8(nlLo) | (uint64_t)(uint32_t)_mm256_movemask_epi8(nlHi) << 32;
    c.stops[b] = (uint64_t)(uint32_t)_mm256_movemask_epi8(stopLo) | (uint64_t)(uint32_t)_mm256_movemask_epi8(stopHi) << 32;
    c.starts[b] = (uint64_t)startsAvx2(lo, kw, firsts, lowTab, highTab) |
                  (uint64_t)startsAvx2(hi, kw, firsts, lowTab, highTab) << 32;
    if (kw.secondCount) {
      __m256i secLo = _mm256_setzero_si256(), secHi = _mm256_setzero_si256();
      for (int i = 0; i < kw.secondCount; ++i) {
        const __m256i s = _mm256_set1_epi8((char)kw.seconds[i]);
        secLo = _mm256_or_si256(secLo, _mm256_cmpeq_epi8(lo, s));
        secHi = _mm256_or_si256(secHi, _mm256_cmpeq_epi8(hi, s));
      }
      c.starts[b] &= beforeSeconds((uint64_t)(uint32_t)_mm256_movemask_epi8(secLo) |
                                   (uint64_t)(uint32_t)_mm256_movemask_epi8(secHi) << 32);
    }
  }
}

// One compare per 64-byte block, straight into a bit mask.
__attribute__((target("avx512f,avx512bw"))) void classifyAvx512(const char* p, const DxfKeywords& kw, DxfChunkBits& c) {
  const __m512i nl = _mm512_set1_epi8('\n'), last = _mm512_set1_epi8(kLastStop);
  const __m512i lowTab = _mm512_load_si512((const void*)kw.lowNibble);
  const __m512i highTab = _mm512_load_si512((const void*)kw.highNibble);
  const __m512i nibble = _mm512_set1_epi8(0x0f);
  __m512i firsts[kCompareFirsts] = {};
  for (int i = 0; i < kw.firstCount && i < kCompareFirsts; ++i) firsts[i] = _mm512_set1_epi8((char)kw.firsts[i]);
  const bool lookUp = kw.firstCount > kCompareFirsts;
  for (size_t b = 0; b < kChunkBlocks; ++b, p += kBlock) {
    const __m512i v = _mm512_loadu_si512((const void*)p);
    __mmask64 starts = 0;
    if (lookUp) {
      const __m512i l = _mm512_shuffle_epi8(lowTab, _mm512_and_si512(v, nibble));
      const __m512i h = _mm512_shuffle_epi8(highTab, _mm512_and_si512(_mm512_srli_epi16(v, 4), nibble));
      starts = _mm512_test_epi8_mask(l, h);
    } else {
      for (int i = 0; i < kw.firstCount; ++i) starts |= _mm512_cmpeq_epi8_mask(v, firsts[i]);
    }
    if (kw.secondCount) {
      __mmask64 sec = 0;
      for (int i = 0; i < kw.secondCount; ++i) sec |= _mm512_cmpeq_epi8_mask(v, _mm512_set1_epi8((char)kw.seconds[i]));
      starts &= beforeSeconds(sec);
    }
    c.ends[b] = _mm512_cmpeq_epi8_mask(v, nl);
    c.stops[b] = _mm512_cmple_epu8_mask(v, last);
    c.starts[b] = starts;
  }
}
#endif

void classifyPlain(const char* p, const DxfKeywords& kw, DxfChunkBits& c) {
  for (size_t b = 0; b < kChunkBlocks; ++b, p += kBlock) {
    c.ends[b] = newlinesOf(p);
    c.stops[b] = stopsOf(p);
#if defined(__SSE2__)
    uint64_t starts = 0, sec = 0;
    for (int j = 0; j < 4; ++j) {
      const __m128i v = _mm_loadu_si128((const __m128i*)(p + 16 * j));
      __m128i any = _mm_setzero_si128();
      for (int i = 0; i < kw.firstCount; ++i) any = _mm_or_si128(any, _mm_cmpeq_epi8(v, _mm_set1_epi8((char)kw.firsts[i])));
      starts |= (uint64_t)(uint32_t)_mm_movemask_epi8(any) << (16 * j);
      __m128i second = _mm_setzero_si128();
      for (int i = 0; i < kw.secondCount; ++i)
        second = _mm_or_si128(second, _mm_cmpeq_epi8(v, _mm_set1_epi8((char)kw.seconds[i])));
      sec |= (uint64_t)(uint32_t)_mm_movemask_epi8(second) << (16 * j);
    }
    c.starts[b] = kw.secondCount ? starts & beforeSeconds(sec) : starts;
#else
    uint64_t starts = 0, sec = 0;
    for (size_t i = 0; i < kBlock; ++i) {
      unsigned char ch = (unsigned char)p[i];
      starts |= (uint64_t)((kw.firstSet[ch >> 6] >> (ch & 63)) & 1) << i;
      for (int k = 0; k < kw.secondCount; ++k) sec |= (uint64_t)(ch == kw.seconds[k]) << i;
    }
    c.starts[b] = kw.secondCount ? starts & beforeSeconds(sec) : starts;
#endif
  }
}

using Classifier = void (*)(const char*, const DxfKeywords&, DxfChunkBits&);

// The widest sieve this processor has, up to `bits` wide: 512 (AVX-512BW), 256
// (AVX2), 128 (SSE2, which every x86-64 has). All give the same bits.
Classifier pickClassifier(int bits, int& width) {
#if defined(__x86_64__) && defined(__GNUC__)
  __builtin_cpu_init();
  if (bits >= 512 && __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw")) {
    width = 512;
    return classifyAvx512;
  }
  if (bits >= 256 && __builtin_cpu_supports("avx2")) {
    width = 256;
    return classifyAvx2;
  }
#endif
  (void)bits;
  width = 128;
  return classifyPlain;
}

int gSieveWidth = 128;
Classifier gClassify = pickClassifier(512, gSieveWidth);
}  // namespace

void DxfKeywords::prepare(const char* const* w, int n) {
  *this = DxfKeywords();
  words = w;
  count = n;
  for (int k = 0; k < count; ++k) {
    given[k] = words[k];
    lengths[k] = strlen(words[k]);
    memcpy(head[k], words[k], lengths[k] < 16 ? lengths[k] : 16);
    if (lengths[k] == 0) anyEmpty = true;
    if (lengths[k] >= 64) anyLong = true;
    for (size_t i = 0; i < lengths[k]; ++i)
      if ((unsigned char)words[k][i] <= (unsigned char)'\r') plainWords = false;
    if (lengths[k] > 0 && lengths[k] < 64) lengthsOf[(unsigned char)words[k][0]] |= (uint64_t)1 << lengths[k];
    lengthSet |= (uint64_t)1 << (lengths[k] < 63 ? lengths[k] : 63);
    unsigned char c = (unsigned char)words[k][0];
    if (!((firstSet[c >> 6] >> (c & 63)) & 1)) {
      for (int r = 0; r < 64; r += 16) {
        lowNibble[r + (c & 15)] |= (unsigned char)(1u << (firstCount & 7));
        highNibble[r + (c >> 4)] |= (unsigned char)(1u << (firstCount & 7));
      }
      firsts[firstCount++] = c;
    }
    firstSet[c >> 6] |= (uint64_t)1 << (c & 63);
  }
  for (int k = 0; k < count && secondCount >= 0; ++k) {
    unsigned char c2 = lengths[k] >= 2 ? (unsigned char)words[k][1] : 0;
    bool known = false;
    for (int i = 0; i < secondCount; ++i) known = known || seconds[i] == c2;
    if (known) continue;
    if (c2 == 0 || secondCount == 2) secondCount = -1;  // a word of one character, or too many
    else seconds[secondCount++] = c2;
  }
  if (firstCount > kCompareSeconds || secondCount <= 0) secondCount = 0;
}

namespace {

// The chunk holding the block at `at`, sieved for the search's keywords.
inline const DxfChunkBits& chunkFor(const Window& w, DxfSearch& search, size_t at) {
  size_t c = at & ~(kChunk - 1);
  DxfChunkBits& chunk = search.chunk;
  if (chunk.at != c || chunk.moves != w.moves) {
    chunk.at = c;
    chunk.moves = w.moves;
    gClassify(w.data + c, search.kw, chunk);
  }
  return chunk;
}

constexpr int kNoLine = -2;
constexpr int kCareful = -3;  // the search meets NUL bytes: it goes on line by line

// Reads the next line and compares it: the word's index with the line in buf,
// -1 for another line, kNoLine at the end of the drawing.
int matchNext(KxRun& run, char* buf, const DxfKeywords& kw) {
  const char* p;
  size_t n;
  if (!nextLine(run, p, n)) return kNoLine;
  int k = kw.match(p, n);
  if (k >= 0) give(buf, p, n);
  return k;
}

// Line starts (bits of the block whose line ends are stops) whose line may end
// right after a word: a stop `length` bytes further on, in this block or the next.
inline uint64_t fitting(const DxfKeywords& kw, uint64_t stops, uint64_t nextStops) {
  if (kw.anyLong) return ~0ULL;
  uint64_t fit = 0;
  for (uint64_t set = kw.lengthSet; set; set &= set - 1) {
    unsigned l = (unsigned)__builtin_ctzll(set);
    fit |= (stops >> l) | (nextStops << (64 - l));
  }
  return fit;
}

// The stops of the block after block i of the chunk (at its offset at). The zero
// bytes behind the text end a line everywhere.
inline uint64_t nextStopsOf(KxRun& run, const DxfChunkBits& ch, size_t i, size_t at) {
  return i + 1 < kChunkBlocks ? ch.stops[i + 1] : stopsOf(run.dxf.win.data + at + kBlock);
}

// Reads the line at offset at (a line start) and compares it, as matchNext.
int lineAt(KxRun& run, char* buf, const DxfKeywords& kw, size_t at) {
  seekLine(run.dxf.win, at);
  return matchNext(run, buf, kw);
}

// The search through the window. A line that can equal a keyword begins with a
// keyword's first character and ends where a keyword would end. The blocks are
// sieved for such line starts 64 bytes at a time and only those lines are read.
// A line that runs past its block, read or found in a block without any line
// end, is read whole, and the sieve starts again after it. A block reaching past
// the text read so far is sieved after a refill, which moves the text (and so
// every offset held here) towards the front. Every read leaves the window at a
// line start, so the search always starts at one.
int findInWindow(KxRun& run, DxfSearch& search, char* buf) {
  const DxfKeywords& kw = search.kw;
  Window& w = run.dxf.win;
  for (;;) {
    int k;
    ensure(run, 1);
    if (w.pos >= w.len) break;
    if (w.hasNul) return kCareful;
    // w.pos starts a line: the sieve runs from there.
    size_t lineStart = w.pos;  // start of the line the sieve is in
    size_t at = w.pos & ~(kBlock - 1);
    uint64_t carry = 0;        // the block before ended with a line end
    uint64_t below = (uint64_t)1 << (w.pos - at);
    bool longLine = false;
    bool again = false;   // a line read ran past its block: the sieve starts after it
    const bool exact = kw.plainWords && !kw.anyLong;
    for (;;) {
      if (at + kBlock > w.len) {
        if (w.eof) {
          if (at >= w.len) break;
        } else {
          // No line before lineStart can match: the reader may drop them.
          w.pos = lineStart;
          uint64_t was = w.start;
          refill(run);
          size_t moved = (size_t)(w.start - was);
          at -= moved;
          lineStart -= moved;
          if (w.hasNul) {
            seekLine(w, lineStart);
            return kCareful;
          }
          continue;
        }
      }
      const DxfChunkBits& ch = chunkFor(w, search, at);
      const size_t i = (at / kBlock) & (kChunkBlocks - 1);
      uint64_t ends = ch.ends[i];
      const uint64_t starts = ch.starts[i];
      uint64_t lineStarts;
      if (below) {
        // The first block: nothing before w.pos counts, and w.pos starts a line.
        ends &= ~(below - 1);
        lineStarts = (ends << 1) | below;
        below = 0;
      } else {
        lineStarts = (ends << 1) | carry;
      }
      carry = ends >> 63;
      uint64_t cand = lineStarts & starts;
      // Words without control characters are checked one candidate at a time
      // below, by the length of the candidate's line; the others here, by every
      // length a word has.
      if (cand && !exact) cand &= fitting(kw, ch.stops[i], nextStopsOf(run, ch, i, at));
      const uint64_t blockEnds = ch.ends[i];
      bool done = false;
      while (cand) {
        const unsigned off = (unsigned)__builtin_ctzll(cand);
        size_t c = at + off;
        cand &= cand - 1;
        if (c >= w.len) break;
        if (exact) {
          // The line's text ends at its first stop; only a line as long as a word
          // beginning with its first character is read (most candidates are
          // group values such as AcDbLine or CONTINUOUS).
          const uint64_t here = ch.stops[i] >> off;
          const uint64_t after = off ? nextStopsOf(run, ch, i, at) << (64 - off) : 0;
          // Past the text read so far the zero bytes are no line end yet: such a
          // line is read, which brings in the rest of it.
          const uint64_t from = here | after;
          const unsigned len = from ? (unsigned)__builtin_ctzll(from) : 64;
          if ((w.eof || c + len < w.len) && (len == 64 || !((kw.lengthsOf[(unsigned char)w.data[c]] >> len) & 1)))
            continue;
        }
        // Reading the line may refill the window; the held line start survives
        // unless the line runs on past the block.
        uint64_t was = w.start;
        w.hold = lineStart;
        seekLine(w, c, blockEnds);
        k = matchNext(run, buf, kw);
        w.hold = SIZE_MAX;
        if (k >= 0) return k;
        if (k == kNoLine) {
          done = true;
          break;
        }
        if (w.start + w.pos > was + at + kBlock) {
          again = true;
          break;
        }
        size_t moved = (size_t)(w.start - was);
        at -= moved;
        lineStart -= moved;
      }
      if (done || again) break;
      if (!ends) {
        longLine = true;
        break;
      }
      lineStart = at + 64 - (size_t)__builtin_clzll(ends);
      at += kBlock;
    }
    if (again) continue;
    if (!longLine) break;
    // The long line, read whole from its start.
    k = lineAt(run, buf, kw, lineStart);
    if (k >= 0) return k;
    if (k == kNoLine) break;
  }
  seekLine(w, w.len);
  buf[0] = '\0';
  return -1;
}

}  // namespace

int DxfSetSieveWidth(KxRun& run, int bits) {
  int was = gSieveWidth;
  gClassify = pickClassifier(bits > 0 ? bits : 512, gSieveWidth);
  forgetBlocks(run.dxf.win);
  return was;
}

int DxfFindLine(KxRun& run, DxfSearch& search, char* buf, const char* const* words, int count) {
  if (!buf) return -1;
  if (count < 0) count = 0;
  if (count > 16) count = 16;
  DxfKeywords& kw = search.kw;
  if (!kw.preparedFor(words, count)) {
    kw.prepare(words, count);
    search.chunk.at = SIZE_MAX;
  }
  if (run.io.i_stream && !windowCurrent(run, run.io.i_stream)) takeOver(run, run.io.i_stream);
  // A window without NUL bytes is sieved; anything else (NUL bytes, an empty
  // keyword) goes line by line.
  if (count > 0 && !kw.anyEmpty && run.io.i_stream && windowCurrent(run, run.io.i_stream)) {
    int k = findInWindow(run, search, buf);
    if (k != kCareful) return k;
  }
  // The lines in between are looked at where they lie: no copy, no call per line.
  for (;;) {
    int k = matchNext(run, buf, kw);
    if (k >= 0) return k;
    if (k == kNoLine) break;
  }
  buf[0] = '\0';
  return -1;
}
