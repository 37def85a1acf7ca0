// Line reading shared by every pass over the drawing: lines of at most 254
// characters (longer ones arrive in pieces), line ends removed so DOS and Unix
// drawings read alike, and the conversion of group codes and values. The drawing
// is read into memory once, so a later pass starts again by a rewind.
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>
#if defined(__linux__)
#include <sys/mman.h>
#endif
#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#endif

#include "dxf/dxf.h"
#include "geometry/base.h"

namespace {

// The drawing as taken over from i_stream: everything from the stream's position
// at that moment up to its end. Passes read lines out of it instead of the stream.
struct DrawingImage {
  size_t len = 0;              // bytes of the drawing
  size_t pos = 0;              // start of the next line
  size_t blockAt = 0;          // start of the 64-byte block whose line ends are in ends
  uint64_t ends = 0;           // the '\n' of that block at or after pos, one bit each
  char* data = nullptr;        // the bytes as read, followed by kSlack zero bytes
  size_t cap = 0;              // usable bytes at data
  void* block = nullptr;       // the allocation holding data
  size_t blockSize = 0;        // its size (0: taken from malloc)
  long base = -1;              // stream offset of data[0] (-1: not seekable)
  FILE* owner = nullptr;       // the stream the bytes came from
  bool hasNul = false;         // a NUL byte ends a line's text early: the careful path is needed
  bool cut = false;            // memory ran out before the stream's end: the image ends early
};

DrawingImage gImage;

void forgetBlocks();  // the search's memory of sieved blocks no longer holds

// Zero bytes after the image: the keyword search reads whole chunks of 512 bytes,
// the line search whole 64-byte blocks, the copy of a short line 32 bytes at once.
constexpr size_t kSlack = 576;
constexpr size_t kBlock = 64;
constexpr size_t kPiece = kDxfLineSize - 1;       // characters of one line, as fgets(buf, 255) reads them
constexpr size_t kReadPiece = (size_t)2 << 20;    // bytes of one read while the drawing is taken in

#if defined(__GLIBC__) || defined(__APPLE__) || defined(__FreeBSD__)
inline bool streamDone(FILE* f) { return feof_unlocked(f) || ferror_unlocked(f); }
#else
inline bool streamDone(FILE* f) { return feof(f) || ferror(f); }
#endif

// The image stays valid while its stream is the drawing stream and stands at its
// end. A stream reopened by someone else (even at the same address) or rewound
// has no end-of-file mark yet, and is taken over afresh.
inline bool imageCurrent(FILE* f) { return f == gImage.owner && (streamDone(f) || gImage.cut); }

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

inline void scanBlock(DrawingImage& im) { im.ends = newlinesOf(im.data + im.blockAt); }

// Starts the line-end search at the image's first byte.
inline void startSearch(DrawingImage& im) {
  im.pos = 0;
  im.blockAt = 0;
  scanBlock(im);
}

// Offset of the first '\n' in [pos, limitEnd), or limitEnd when there is none.
// Drawing lines are short, so a block's mask usually serves several lines; every
// '\n' between pos and the current block was used already.
inline size_t nextNewline(DrawingImage& im, size_t limitEnd) {
  for (;;) {
    if (im.ends) {
      size_t at = im.blockAt + (size_t)__builtin_ctzll(im.ends);
      if (at >= limitEnd) return limitEnd;  // stays for a later piece
      im.ends &= im.ends - 1;
      return at;
    }
    if (im.blockAt + kBlock >= limitEnd) return limitEnd;
    im.blockAt += kBlock;
    scanBlock(im);
  }
}

void releaseBlock(void* block, size_t size) {
#if defined(__linux__)
  if (size) {
    munmap(block, size);
    return;
  }
#endif
  (void)size;
  free(block);
}

// Large drawings go to huge pages where the system offers them. Measured on a
// 34 MB drawing: in small pages the page faults and TLB misses cost more than
// the scan itself; mapping the file directly saves the copy but keeps the small
// pages, and a pass over it is slower than a pass over the huge-page copy.
bool allocateBlock(size_t need, void*& block, size_t& blockSize, char*& data) {
#if defined(__linux__)
  constexpr size_t kHuge = (size_t)2 << 20;
  if (need >= kHuge) {
    size_t size = (need + 2 * kHuge - 1) & ~(kHuge - 1);
    void* m = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (m != MAP_FAILED) {
      uintptr_t aligned = ((uintptr_t)m + kHuge - 1) & ~(uintptr_t)(kHuge - 1);
#ifdef MADV_HUGEPAGE
      madvise((void*)aligned, size - (aligned - (uintptr_t)m), MADV_HUGEPAGE);
#endif
      block = m;
      blockSize = size;
      data = (char*)aligned;
      return true;
    }
  }
#endif
  block = malloc(need);
  blockSize = 0;
  data = (char*)block;
  return block != nullptr;
}

// Makes room for need bytes plus the slack, keeping the bytes read so far.
bool reserve(size_t need) {
  if (need + kSlack <= gImage.cap) return true;
  size_t cap = gImage.cap ? gImage.cap : 64 * 1024;
  while (cap < need + kSlack) cap *= 2;
  void* block;
  size_t blockSize;
  char* data;
  if (!allocateBlock(cap, block, blockSize, data)) return false;
  if (gImage.len) memcpy(data, gImage.data, gImage.len);
  if (gImage.block) releaseBlock(gImage.block, gImage.blockSize);
  gImage.block = block;
  gImage.blockSize = blockSize;
  gImage.data = data;
  gImage.cap = cap;
  return true;
}

// Reads the rest of f (about expect bytes) into the buffer, leaving f at its end
// (or in error). Without memory for all of it the image ends early.
bool readRest(FILE* f, size_t expect) {
  if (!reserve(expect) && !reserve(4096)) return false;
  for (;;) {
    if (gImage.cap - kSlack - gImage.len < 4096 && !reserve(gImage.len + gImage.len / 2 + 4096)) {
      gImage.cut = true;
      break;
    }
    // Pieces of 2 MB: each is looked at for NUL bytes while it is still in the
    // cache, rather than in a pass of its own over the whole drawing.
    size_t want = gImage.cap - kSlack - gImage.len;
    if (want > kReadPiece) want = kReadPiece;
    size_t got = fread(gImage.data + gImage.len, 1, want, f);
    if (!gImage.hasNul && memchr(gImage.data + gImage.len, '\0', got)) gImage.hasNul = true;
    gImage.len += got;
    if (got < want) break;  // end of file or read error: the stream now says which
  }
  memset(gImage.data + gImage.len, 0, kSlack);
  return true;
}

// Takes the rest of f into the image, from where f stands.
bool takeOver(FILE* f) {
  DrawingImage& im = gImage;
  forgetBlocks();
  im.owner = nullptr;
  im.len = 0;
  im.hasNul = false;
  im.cut = false;
  im.base = ftell(f);
  struct stat st;
  bool plain = fstat(fileno(f), &st) == 0 && S_ISREG(st.st_mode) && im.base >= 0 && st.st_size >= im.base;
  // One byte more than the file holds: the read then meets the end at once.
  size_t expect = plain ? (size_t)(st.st_size - im.base) + 1 : 64 * 1024;
  if (!readRest(f, expect)) return false;
  startSearch(im);
  im.owner = f;
  return true;
}

inline bool lineEnd(char c) { return c == '\n' || c == '\r'; }

// The text of a piece with a NUL byte in it ends at that byte, as with a C string;
// then the line end goes as stripLFCR removes it.
size_t carefulLength(const char* p, size_t n) {
  n = strnlen(p, n);
  if (n >= 2 && lineEnd(p[n - 2])) return n - 2;
  if (n >= 1 && lineEnd(p[n - 1])) return n - 1;
  return n;
}

// Puts the n characters at p into buf as a C string. Most lines fit one fixed
// 32-byte copy (buf holds 255 bytes, the image has slack behind its end).
inline void give(char* buf, const char* p, size_t n) {
  if (n <= 32) memcpy(buf, p, 32);
  else memcpy(buf, p, n);
  buf[n] = '\0';
}

// Every case the common one below leaves: the first read of a stream, a line
// end in a later block, pieces of long lines, NUL bytes, the end of the file.
// The piece's text is the n characters at p.
bool slowPiece(const char*& p, size_t& n) {
  if (!i_stream) return false;
  if (!imageCurrent(i_stream) && !takeOver(i_stream)) return false;
  DrawingImage& im = gImage;
  if (im.pos >= im.len) return false;
  // A piece ends after its '\n', after 254 characters, or at the end of the file.
  size_t rest = im.len - im.pos;
  size_t limitEnd = im.pos + (rest < kPiece ? rest : kPiece);
  size_t nl = nextNewline(im, limitEnd);
  p = im.data + im.pos;
  if (im.hasNul) {
    size_t end = nl < limitEnd ? nl + 1 : limitEnd;
    n = carefulLength(p, end - im.pos);
    im.pos = end;
  } else if (nl < limitEnd) {
    // As stripLFCR: the '\n' goes, and a '\r' before it.
    n = nl - im.pos;
    if (n >= 1 && p[n - 1] == '\r') --n;
    im.pos = nl + 1;
  } else {
    // A piece without '\n': a line end in its last place goes, and one in the place
    // before it, which also takes whatever followed it.
    n = limitEnd - im.pos;
    if (n >= 2 && lineEnd(p[n - 2])) n -= 2;
    else if (lineEnd(p[n - 1])) n -= 1;
    im.pos = limitEnd;
  }
  return true;
}

// The next line as fgets(buf, 255) and stripLFCR would give it, left in place:
// its text is the n characters at p. False at the end of the drawing.
inline bool nextPiece(const char*& p, size_t& n) {
  DrawingImage& im = gImage;
  FILE* f = i_stream;
  // The common case: a short line whose '\n' is in this block or a later one before
  // the image's end. A '\n' lies inside the image, so the end of the file needs no
  // test of its own; blocks without one are passed, as nextNewline would.
  if (f == im.owner && f && !im.hasNul && (streamDone(f) || im.cut)) {
    while (!im.ends) {
      if (im.blockAt + kBlock >= im.len) return slowPiece(p, n);
      im.blockAt += kBlock;
      scanBlock(im);
    }
    size_t at = im.blockAt + (size_t)__builtin_ctzll(im.ends);
    size_t len = at - im.pos;
    if (len < kPiece) {
      im.ends &= im.ends - 1;
      p = im.data + im.pos;
      im.pos = at + 1;
      if (len >= 1 && p[len - 1] == '\r') --len;
      n = len;
      return true;
    }
  }
  return slowPiece(p, n);
}

// Moves the next piece's start to offset at, which must be a piece boundary.
void seekPiece(DrawingImage& im, size_t at) {
  im.pos = at;
  im.blockAt = at & ~(kBlock - 1);
  scanBlock(im);
  size_t skip = at - im.blockAt;
  im.ends &= skip < 64 ? ~0ULL << skip : 0;
}

// The keywords of a search, with the two quick sieves every piece passes first:
// the lengths of the words (63 standing for all longer ones) and their first
// characters. Group codes and values rarely pass both.
struct Keywords {
  const char* const* words = nullptr;
  int count = 0;
  const char* given[16] = {};     // the word pointers the sieves were made for
  size_t lengths[16] = {};
  uint64_t lengthSet = 0;
  uint64_t firstSet[4] = {0, 0, 0, 0};
  unsigned char firsts[16] = {};  // the distinct first characters
  int firstCount = 0;
  bool anyEmpty = false;
  bool anyLong = false;           // a word of 64 characters or more: no line-end sieve

  void prepare(const char* const* w, int n) {
    forgetBlocks();
    *this = Keywords();
    words = w;
    count = n;
    for (int k = 0; k < count; ++k) {
      given[k] = words[k];
      lengths[k] = strlen(words[k]);
      if (lengths[k] == 0) anyEmpty = true;
      if (lengths[k] >= 64) anyLong = true;
      lengthSet |= (uint64_t)1 << (lengths[k] < 63 ? lengths[k] : 63);
      unsigned char c = (unsigned char)words[k][0];
      if (!((firstSet[c >> 6] >> (c & 63)) & 1)) firsts[firstCount++] = c;
      firstSet[c >> 6] |= (uint64_t)1 << (c & 63);
    }
  }

  // The passes search for the same fixed words again and again (the entity pass
  // once per entity); the sieves are made once for them.
  bool preparedFor(const char* const* w, int n) const {
    if (w != words || n != count) return false;
    for (int k = 0; k < n; ++k)
      if (w[k] != given[k]) return false;
    return true;
  }

  // The index of the word the piece equals, or -1.
  int match(const char* p, size_t n) const {
    if (!((lengthSet >> (n < 63 ? n : 63)) & 1)) return -1;
    unsigned char c = n ? (unsigned char)p[0] : 0;
    if (!((firstSet[c >> 6] >> (c & 63)) & 1)) return -1;
    for (int k = 0; k < count; ++k)
      if (n == lengths[k] && memcmp(p, words[k], n) == 0) return k;
    return -1;
  }
};

// Eight 64-byte blocks (a chunk), one bit per byte: the line ends and the
// keywords' first characters. The entity pass searches again a few lines after
// each entity type it found, mostly in the chunk it stopped in, which is then
// sieved already.
constexpr size_t kChunkBlocks = 8;
constexpr size_t kChunk = kChunkBlocks * kBlock;

struct ChunkBits {
  size_t at = SIZE_MAX;           // offset of the chunk in the image
  uint64_t ends[kChunkBlocks];    // '\n'
  uint64_t starts[kChunkBlocks];  // a keyword's first character
  uint64_t stops[kChunkBlocks];   // '\n', '\r' or NUL: where the text of a short line can end
};

// '\n', '\r' or NUL among the 64 bytes at p: where the text of a short line can
// end (behind the image lie zero bytes).
inline uint64_t stopsOf(const char* p) {
#if defined(__SSE2__)
  const __m128i nl = _mm_set1_epi8('\n'), cr = _mm_set1_epi8('\r'), nul = _mm_setzero_si128();
  uint64_t stops = 0;
  for (int j = 0; j < 4; ++j) {
    const __m128i v = _mm_loadu_si128((const __m128i*)(p + 16 * j));
    const __m128i stop = _mm_or_si128(_mm_cmpeq_epi8(v, nl), _mm_or_si128(_mm_cmpeq_epi8(v, cr), _mm_cmpeq_epi8(v, nul)));
    stops |= (uint64_t)(uint32_t)_mm_movemask_epi8(stop) << (16 * j);
  }
  return stops;
#else
  uint64_t stops = 0;
  for (size_t i = 0; i < kBlock; ++i) stops |= (uint64_t)(p[i] == '\n' || p[i] == '\r' || p[i] == '\0') << i;
  return stops;
#endif
}

#if defined(__x86_64__) && defined(__GNUC__)
__attribute__((target("avx2"))) void classifyAvx2(const char* p, const Keywords& kw, ChunkBits& c) {
  const __m256i nl = _mm256_set1_epi8('\n'), cr = _mm256_set1_epi8('\r'), nul = _mm256_setzero_si256();
  __m256i firsts[16];
  for (int i = 0; i < kw.firstCount; ++i) firsts[i] = _mm256_set1_epi8((char)kw.firsts[i]);
  for (size_t b = 0; b < kChunkBlocks; ++b, p += kBlock) {
    const __m256i lo = _mm256_loadu_si256((const __m256i*)p);
    const __m256i hi = _mm256_loadu_si256((const __m256i*)(p + 32));
    __m256i a = _mm256_setzero_si256(), h = _mm256_setzero_si256();
    for (int i = 0; i < kw.firstCount; ++i) {
      a = _mm256_or_si256(a, _mm256_cmpeq_epi8(lo, firsts[i]));
      h = _mm256_or_si256(h, _mm256_cmpeq_epi8(hi, firsts[i]));
    }
    const __m256i nlLo = _mm256_cmpeq_epi8(lo, nl), nlHi = _mm256_cmpeq_epi8(hi, nl);
    const __m256i stopLo = _mm256_or_si256(nlLo, _mm256_or_si256(_mm256_cmpeq_epi8(lo, cr), _mm256_cmpeq_epi8(lo, nul)));
    const __m256i stopHi = _mm256_or_si256(nlHi, _mm256_or_si256(_mm256_cmpeq_epi8(hi, cr), _mm256_cmpeq_epi8(hi, nul)));
    c.ends[b] = (uint64_t)(uint32_t)_mm256_movemask_epi8(nlLo) | (uint64_t)(uint32_t)_mm256_movemask_epi8(nlHi) << 32;
    c.stops[b] = (uint64_t)(uint32_t)_mm256_movemask_epi8(stopLo) | (uint64_t)(uint32_t)_mm256_movemask_epi8(stopHi) << 32;
    c.starts[b] = (uint64_t)(uint32_t)_mm256_movemask_epi8(a) | (uint64_t)(uint32_t)_mm256_movemask_epi8(h) << 32;
  }
}
#endif

void classifyPlain(const char* p, const Keywords& kw, ChunkBits& c) {
  for (size_t b = 0; b < kChunkBlocks; ++b, p += kBlock) {
    c.ends[b] = newlinesOf(p);
    c.stops[b] = stopsOf(p);
#if defined(__SSE2__)
    uint64_t starts = 0;
    for (int j = 0; j < 4; ++j) {
      const __m128i v = _mm_loadu_si128((const __m128i*)(p + 16 * j));
      __m128i any = _mm_setzero_si128();
      for (int i = 0; i < kw.firstCount; ++i) any = _mm_or_si128(any, _mm_cmpeq_epi8(v, _mm_set1_epi8((char)kw.firsts[i])));
      starts |= (uint64_t)(uint32_t)_mm_movemask_epi8(any) << (16 * j);
    }
    c.starts[b] = starts;
#else
    uint64_t starts = 0;
    for (size_t i = 0; i < kBlock; ++i) {
      unsigned char ch = (unsigned char)p[i];
      starts |= (uint64_t)((kw.firstSet[ch >> 6] >> (ch & 63)) & 1) << i;
    }
    c.starts[b] = starts;
#endif
  }
}

using Classifier = void (*)(const char*, const Keywords&, ChunkBits&);

Classifier pickClassifier() {
#if defined(__x86_64__) && defined(__GNUC__)
  __builtin_cpu_init();
  if (__builtin_cpu_supports("avx2")) return classifyAvx2;
#endif
  return classifyPlain;
}

Classifier gClassify = pickClassifier();
ChunkBits gChunk;   // the chunk sieved last

void forgetBlocks() { gChunk.at = SIZE_MAX; }

// The chunk holding the block at `at`, sieved.
inline const ChunkBits& chunkFor(const Keywords& kw, size_t at) {
  size_t c = at & ~(kChunk - 1);
  if (gChunk.at != c) {
    gChunk.at = c;
    gClassify(gImage.data + c, kw, gChunk);
  }
  return gChunk;
}

constexpr int kNoPiece = -2;

// Reads the next piece and compares it: the word's index with the piece in buf,
// -1 for another piece, kNoPiece at the end of the drawing.
int matchNext(char* buf, const Keywords& kw) {
  const char* p;
  size_t n;
  if (!nextPiece(p, n)) return kNoPiece;
  int k = kw.match(p, n);
  if (k >= 0) give(buf, p, n);
  return k;
}

// Reads pieces one by one, as the plain search does, up to and including the
// next piece that ends a line. Used where pieces start inside a line: a line
// longer than a piece, or the position the search was started at.
int stepToLineStart(char* buf, const Keywords& kw) {
  DrawingImage& im = gImage;
  while (im.pos < im.len && im.pos != 0 && im.data[im.pos - 1] != '\n') {
    int k = matchNext(buf, kw);
    if (k >= 0) return k;
    if (k == kNoPiece) break;
  }
  return -1;
}

// Line starts (bits of the block whose line ends are stops) whose line may end
// right after a word: a stop `length` bytes further on, in this block or the next.
inline uint64_t fitting(const Keywords& kw, uint64_t stops, uint64_t nextStops) {
  if (kw.anyLong) return ~0ULL;
  uint64_t fit = 0;
  for (uint64_t set = kw.lengthSet; set; set &= set - 1) {
    unsigned l = (unsigned)__builtin_ctzll(set);
    fit |= (stops >> l) | (nextStops << (64 - l));
  }
  return fit;
}

// Reads the piece at offset at (a piece boundary) and compares it, as matchNext.
int pieceAt(char* buf, const Keywords& kw, size_t at) {
  seekPiece(gImage, at);
  return matchNext(buf, kw);
}

// The search over a drawing held in memory. A piece that can equal a keyword
// starts a line (or lies inside a line longer than a piece), begins with a
// keyword's first character, and its line ends where a keyword would end. The
// blocks are sieved for such line starts 64 bytes at a time and only those pieces
// are read. A block without any line end belongs to a long line, whose pieces
// are read one by one.
int findInImage(char* buf, const Keywords& kw) {
  DrawingImage& im = gImage;
  for (;;) {
    int k = stepToLineStart(buf, kw);
    if (k >= 0) return k;
    if (im.pos >= im.len) break;
    // im.pos starts a line: the sieve runs from there.
    size_t lineStart = im.pos;  // start of the line the sieve is in
    size_t at = im.pos & ~(kBlock - 1);
    uint64_t carry = 0;         // the block before ended with a line end
    uint64_t below = (uint64_t)1 << (im.pos - at);
    bool longLine = false;
    for (; at < im.len; at += kBlock) {
      const ChunkBits& ch = chunkFor(kw, at);
      const size_t i = (at / kBlock) & (kChunkBlocks - 1);
      uint64_t ends = ch.ends[i];
      const uint64_t starts = ch.starts[i];
      uint64_t lineStarts;
      if (below) {
        // The first block: nothing before im.pos counts, and im.pos starts a line.
        ends &= ~(below - 1);
        lineStarts = (ends << 1) | below;
        below = 0;
      } else {
        lineStarts = (ends << 1) | carry;
      }
      carry = ends >> 63;
      uint64_t cand = lineStarts & starts;
      if (cand) {
        // The zero bytes behind the drawing end a line everywhere.
        uint64_t nextStops = i + 1 < kChunkBlocks ? ch.stops[i + 1] : stopsOf(im.data + at + kBlock);
        cand &= fitting(kw, ch.stops[i], nextStops);
      }
      while (cand) {
        size_t c = at + (size_t)__builtin_ctzll(cand);
        cand &= cand - 1;
        if (c >= im.len) break;
        k = pieceAt(buf, kw, c);
        if (k >= 0) return k;
        if (k == kNoPiece) break;
      }
      if (!ends) {
        longLine = true;
        break;
      }
      lineStart = at + 64 - (size_t)__builtin_clzll(ends);
    }
    if (!longLine) break;
    // The pieces of the long line, read in order from its start.
    k = pieceAt(buf, kw, lineStart);
    if (k >= 0) return k;
    if (k == kNoPiece) break;
  }
  seekPiece(im, im.len);
  buf[0] = '\0';
  return -1;
}

}  // namespace

int DxfSetWideSieve(int on) {
  int was = gClassify != classifyPlain;
  gClassify = on ? pickClassifier() : classifyPlain;
  forgetBlocks();
  return was;
}

bool DxfReadLine(char* buf) {
  if (!buf) return false;
  const char* p;
  size_t n;
  if (!nextPiece(p, n)) {
    buf[0] = '\0';
    return false;
  }
  give(buf, p, n);
  return true;
}

bool DxfSkipLine() {
  const char* p;
  size_t n;
  return nextPiece(p, n);
}

int DxfFindLine(char* buf, const char* const* words, int count) {
  if (!buf) return -1;
  if (count < 0) count = 0;
  if (count > 16) count = 16;
  static Keywords kw;
  if (!kw.preparedFor(words, count)) kw.prepare(words, count);
  // A drawing in memory without NUL bytes is sieved; anything else (the first
  // read of a stream, NUL bytes, an empty keyword) goes line by line.
  if (count > 0 && !kw.anyEmpty && i_stream && imageCurrent(i_stream) && !gImage.hasNul && !gImage.cut)
    return findInImage(buf, kw);
  // The lines in between are looked at where they lie: no copy, no call per line.
  for (;;) {
    int k = matchNext(buf, kw);
    if (k >= 0) return k;
    if (k == kNoPiece) break;
  }
  buf[0] = '\0';
  return -1;
}

int DxfOpenDrawing(const char* path) {
  DxfCloseDrawing();
  if (!path) return 0;
  i_stream = fopen(path, "r");
  if (!i_stream) return 0;
  takeOver(i_stream);
  return 1;
}

int DxfRewindDrawing() {
  if (!i_stream) return 0;
  if (imageCurrent(i_stream) && gImage.base == 0) {
    startSearch(gImage);
    return 1;
  }
  // Taken over from the middle (or not at all): the stream itself goes back, and the
  // next read takes it over from its start. A pipe cannot go back.
  if (fseek(i_stream, 0, SEEK_SET) != 0) return 0;
  clearerr(i_stream);
  return 1;
}

void DxfCloseDrawing() {
  if (i_stream) fclose(i_stream);
  i_stream = nullptr;
  forgetBlocks();
  if (gImage.block) releaseBlock(gImage.block, gImage.blockSize);
  gImage = DrawingImage();
}

int DxfCode(const char* line) { return (int)KxInteger(line); }

float DxfValue(const char* line) {
  double v = KxNumber(line);
  // A finite double beyond the float range would become infinite in the table.
  if (!(std::fabs(v) <= (double)FLT_MAX)) return 0.0f;
  return (float)v;
}

void ResetDxfState() {
  KxCopy(acad_VersInfo, sizeof acad_VersInfo, "....");
  acad_IntVers = 0;
  memset(fLL, 0, sizeof fLL);
  gAktLayEntry = 0;
  gMultiLayer = 1;
  gPositionLayer = 0;
  KxCopy(moveType, sizeof moveType, "G01");
  gLayerNameHook = nullptr;
}
