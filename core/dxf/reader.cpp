// Line reading shared by every pass: a line of any length is one line (its
// first 254 characters handed out, the rest passed), line ends removed so DOS
// and Unix drawings read alike, group codes and values converted. Every pass
// reads forward through one reused window (window.h): memory stays the same for
// drawings of any size; a rewind reads the file again.
#include <cerrno>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "dxf/dxf.h"
#include "dxf/window.h"
#include "geometry/base.h"
#include "run/run.h"

namespace dxfwindow {


// Empties the window; the next refill reads from source offset from.
void restartAt(KxRun& run, uint64_t from) {
  Window& w = run.dxf.win;
  forgetBlocks(w);
  w.cap = run.dxf.windowSize;
  w.len = 0;
  w.hold = SIZE_MAX;
  w.start = w.next = from;
  w.eof = false;
  w.hasNul = false;
  memset(w.data, 0, kSlack);
  seekLine(w, 0);
}

// Moves the text from the next line on (and from the held line start) to the
// window's front, in whole blocks so that block masks keep their meaning, and
// fills the rest from the file. Offsets in the window go down by the bytes
// dropped, which the callers learn from start. False when nothing more came.
bool refill(KxRun& run) {
  Window& w = run.dxf.win;
  if (w.eof) return false;
  size_t from = w.pos < w.hold ? w.pos : w.hold;
  if (from > w.len) from = w.len;
  from &= ~(kBlock - 1);
  // The held line start lies at most two blocks before the next line, so this
  // only guards against a window left without room to read into.
  if (w.len - from >= w.cap) {
    w.hold = SIZE_MAX;
    from = w.pos & ~(kBlock - 1);
  }
  size_t kept = w.len - from;
  if (from) memmove(w.data, w.data + from, kept);
  w.start += from;
  w.len = kept;
  w.pos -= from;
  w.blockAt = w.blockAt >= from ? w.blockAt - from : 0;
  if (w.hold != SIZE_MAX) w.hold -= from;
  forgetBlocks(w);
  bool got = false;
  while (w.len < w.cap) {
    ssize_t n = pread(w.fd, w.data + w.len, w.cap - w.len, (off_t)w.next);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {  // the end of the file (a read error ends the drawing there too)
      w.eof = true;
      break;
    }
    w.len += (size_t)n;
    w.next += (uint64_t)n;
    got = true;
  }
  memset(w.data + w.len, 0, kSlack);
  // Looked at while the text is still in the cache, rather than in a pass of its own.
  w.hasNul = memchr(w.data, '\0', w.len) != nullptr;
  return got;
}

void dropSpool(KxRun& run) {
  if (run.dxf.win.spool) fclose(run.dxf.win.spool);
  run.dxf.win.spool = nullptr;
}

// Copies the rest of f into a temporary file, which the passes then read like
// the drawing itself: a pipe cannot be read a second time, and memory would
// have to grow with the drawing. A stream without end (a device such as
// /dev/zero, a writer that never stops) must not fill the disk: one that holds
// more than kMaxStreamDrawing bytes is refused.
bool spool(KxRun& run, FILE* f) {
  auto refuse = [&run](const char* why, int err) {
    snprintf(run.dxf.refusal, sizeof run.dxf.refusal, "is not a regular file and %s (%s)", why, strerror(err));
    return false;
  };
  FILE* s = tmpfile();
  if (!s) return refuse("could not be copied into a temporary file", errno);
  unsigned long long total = 0;
  for (;;) {
    size_t got = fread(run.dxf.bytes, 1, kWindow, f);
    total += got;
    if (total > kMaxStreamDrawing) {
      fclose(s);
      snprintf(run.dxf.refusal, sizeof run.dxf.refusal, "is not a regular file and holds more than %g GiB",
               (double)kMaxStreamDrawing / (double)(1ULL << 30));
      return false;
    }
    if (got && fwrite(run.dxf.bytes, 1, got, s) != got) {
      const int err = errno;
      fclose(s);
      return refuse("could not be copied into a temporary file", err);
    }
    if (got < kWindow) {
      // The end of the stream, or a read error (a folder, a device that fails).
      if (ferror(f)) {
        const int err = errno;
        fclose(s);
        return refuse("could not be read", err);
      }
      break;
    }
  }
  if (fflush(s) != 0) {
    const int err = errno;
    fclose(s);
    return refuse("could not be copied into a temporary file", err);
  }
  run.dxf.win.spool = s;
  run.dxf.win.fd = fileno(s);
  return true;
}

// Takes the drawing over from f, from where f stands. A file is read through
// its descriptor at explicit offsets, and f is left at its end.
bool takeOver(KxRun& run, FILE* f) {
  Window& w = run.dxf.win;
  dropSpool(run);
  w.owner = nullptr;
  w.fd = -1;
  long at = ftell(f);
  int fd = fileno(f);
  struct stat st;
  bool plain = at >= 0 && fd >= 0 && fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
  if (plain) {
    w.fd = fd;
#if defined(POSIX_FADV_SEQUENTIAL)
    posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
#endif
    if (fseek(f, 0, SEEK_END) != 0) return false;
    while (getc(f) != EOF) {
    }
  } else {
    at = 0;
    if (!spool(run, f)) return false;
  }
  restartAt(run, (uint64_t)at);
  w.owner = f;
  return true;
}

}  // namespace dxfwindow

using namespace dxfwindow;

namespace {

inline bool lineEnd(char c) { return c == '\n' || c == '\r'; }

// The text of a line whose first m bytes lie at p, as stripLFCR gives it: up to
// a NUL byte, as a C string, of at most kLineChars characters; a line end in its
// last place goes, and one in the place before it, which also takes whatever
// followed it. Only a line's first kLineChars bytes decide its text.
size_t lineText(const char* p, size_t m) {
  size_t n = strnlen(p, m < kLineChars ? m : kLineChars);
  if (n >= 2 && lineEnd(p[n - 2])) return n - 2;
  if (n >= 1 && lineEnd(p[n - 1])) return n - 1;
  return n;
}

// Offset of the first '\n' in [pos, limitEnd), or limitEnd when there is none.
// Drawing lines are short, so a block's mask usually serves several lines; every
// '\n' between pos and the current block was used already.
inline size_t nextNewline(Window& w, size_t limitEnd) {
  for (;;) {
    if (w.ends) {
      size_t at = w.blockAt + (size_t)__builtin_ctzll(w.ends);
      if (at >= limitEnd) return limitEnd;  // stays for a later line
      w.ends &= w.ends - 1;
      return at;
    }
    if (w.blockAt + kBlock >= limitEnd) return limitEnd;
    w.blockAt += kBlock;
    scanBlock(w);
  }
}

// Passes the rest of the line the search for '\n' stands in, up to and with its
// '\n' or to the end of the drawing, reading on as far as that is. A line start
// the keyword search held is given up: the search goes on after the line.
void passLine(KxRun& run, Window& w) {
  w.hold = SIZE_MAX;
  for (;;) {
    const size_t nl = nextNewline(w, w.len);
    if (nl < w.len) {
      w.pos = nl + 1;
      return;
    }
    w.pos = w.len;
    if (w.eof) return;
    refill(run);
    seekLine(w, w.pos);
  }
}

}  // namespace

// Every case the common one below leaves: the first read of a stream, a line
// end in a later block, a line that runs past the window, long lines, NUL bytes,
// the end of the file. The line's text is the n characters at p.
bool dxfwindow::slowLine(KxRun& run, const char*& p, size_t& n) {
  if (!run.io.i_stream) return false;
  if (!windowCurrent(run, run.io.i_stream) && !takeOver(run, run.io.i_stream)) return false;
  Window& w = run.dxf.win;
  ensure(run, kLineChars);
  if (w.pos >= w.len) return false;
  const size_t rest = w.len - w.pos;
  const size_t limitEnd = w.pos + (rest < kLineChars ? rest : kLineChars);
  const size_t nl = nextNewline(w, limitEnd);
  p = w.data + w.pos;
  if (nl < limitEnd) {
    n = lineText(p, nl + 1 - w.pos);
    w.pos = nl + 1;
    return true;
  }
  // No '\n' in the bytes that decide the text (or the drawing's last line
  // without one): the text is kept aside, the rest of the line passed.
  n = lineText(p, limitEnd - w.pos);
  memcpy(run.dxf.longHead, p, n);
  p = run.dxf.longHead;
  passLine(run, w);
  return true;
}

int DxfSetWindowSize(KxRun& run, int bytes) {
  int was = (int)run.dxf.windowSize;
  size_t want = bytes <= 0 ? kWindow : (size_t)bytes;
  run.dxf.windowSize = want < kMinWindow ? kMinWindow : want > kWindow ? kWindow : want;
  return was;
}

bool DxfReadLine(KxRun& run, char* buf) {
  if (!buf) return false;
  const char* p;
  size_t n;
  if (!nextLine(run, p, n)) {
    buf[0] = '\0';
    return false;
  }
  give(buf, p, n);
  return true;
}

bool DxfSkipLine(KxRun& run) {
  const char* p;
  size_t n;
  return nextLine(run, p, n);
}

namespace {

// A group-code line as the entity pass takes it: blanks, an optional minus,
// digits, blanks, and nothing else.
bool plainCode(const char* p, size_t n, int& code) {
  // Most code lines are three characters: blanks, then digits.
  if (n == 3) {
    // Digits as unsigned differences: anything else is more than 9.
    const unsigned a = (unsigned char)p[0] - (unsigned)'0', b = (unsigned char)p[1] - (unsigned)'0';
    const unsigned c = (unsigned char)p[2] - (unsigned)'0';
    const unsigned blank = (unsigned)' ' - (unsigned)'0';
    if (c <= 9 && (a <= 9 || a == blank) && (b <= 9 || (b == blank && a == blank))) {
      code = (int)((a <= 9 ? a * 100 : 0) + (b <= 9 ? b * 10 : 0) + c);
      return true;
    }
  }
  size_t i = 0;
  while (i < n && (p[i] == ' ' || p[i] == '\t')) ++i;
  bool negative = i < n && p[i] == '-';
  if (negative) ++i;
  if (i >= n || p[i] < '0' || p[i] > '9') return false;
  long v = 0;
  for (; i < n && p[i] >= '0' && p[i] <= '9'; ++i)
    if (v < 100000000) v = v * 10 + (p[i] - '0');
  while (i < n && (p[i] == ' ' || p[i] == '\t')) ++i;
  if (i != n) return false;
  code = (int)(negative ? -v : v);
  return true;
}

}  // namespace

int DxfReadCode(KxRun& run, int* code) {
  const char* p;
  size_t n;
  if (!nextLine(run, p, n)) return -1;
  return plainCode(p, n, *code) ? 1 : 0;
}

int DxfPassForeignHead(KxRun& run, int code, bool (*refused)(KxRun& run, const char* layer, size_t length)) {
  Window& w = run.dxf.win;
  FILE* f = run.io.i_stream;
  if (code == 0 || !refused || !(f == w.owner && f && !w.hasNul && streamDone(f))) return 0;
  // Only whole short lines inside the window are looked at; anything else (a
  // line at the window's end, a long line) is left to the line by line reading.
  constexpr int kMostLines = 64;
  size_t at = w.pos;
  size_t blockAt = w.blockAt;  // the line ends as nextLine finds them, from the same masks
  uint64_t ends = w.ends;
  bool value = true;  // the line at `at` is the value of group `code`
  for (int lines = 0; lines < kMostLines; ++lines) {
    while (!ends) {
      blockAt += kBlock;
      if (blockAt >= w.len) return 0;
      ends = newlinesOf(w.data + blockAt);
    }
    const size_t nl = blockAt + (size_t)__builtin_ctzll(ends);
    ends &= ends - 1;
    if (nl >= w.len) return 0;
    const char* p = w.data + at;
    size_t n = nl - at;
    if (n >= kLineChars) return 0;
    const size_t next = nl + 1;
    if (n >= 1 && p[n - 1] == '\r') --n;
    if (value) {
      if (code == 8) {
        char layer[kDxfLineSize];
        memcpy(layer, p, n);
        layer[n] = '\0';
        if (!refused(run, layer, n)) return 0;
        w.pos = next;
        w.blockAt = blockAt;
        w.ends = ends;
        return 1;
      }
      value = false;
    } else {
      int c;
      // A line that is no group code is passed alone, as the entity pass does.
      if (plainCode(p, n, c)) {
        if (c == 0) return 0;
        code = c;
        value = true;
      }
    }
    at = next;
  }
  return 0;
}

int DxfOpenDrawing(KxRun& run, const char* path) {
  DxfCloseDrawing(run);
  run.dxf.refusal[0] = '\0';
  if (!path) return 0;
  struct stat st;
  if (stat(path, &st) == 0 && S_ISFIFO(st.st_mode)) {
    // Opening a named pipe would wait for a writer for ever: one is waited for a
    // while, and what it writes is then copied as any stream is.
    std::string why;
    const int fd = KxOpenInput(path, &st, &why);
    if (fd < 0) {
      const char* said = why.c_str();
      if (strncmp(said, "it ", 3) == 0) said += 3;   // the reason completes "the drawing 'name' ..."
      snprintf(run.dxf.refusal, sizeof run.dxf.refusal, "%s", said);
      return 0;
    }
    run.io.i_stream = fdopen(fd, "r");
    if (!run.io.i_stream) close(fd);
  } else {
    run.io.i_stream = fopen(path, "r");
  }
  if (!run.io.i_stream) return 0;
  if (!takeOver(run, run.io.i_stream)) {
    // Nothing of it is read: every pass would try the stream again.
    fclose(run.io.i_stream);
    run.io.i_stream = nullptr;
    if (!run.dxf.refusal[0]) snprintf(run.dxf.refusal, sizeof run.dxf.refusal, "cannot be read from its start");
    return 0;
  }
  return 1;
}

const char* DxfOpenRefusal(KxRun& run) { return run.dxf.refusal[0] ? run.dxf.refusal : nullptr; }

int DxfRewindDrawing(KxRun& run) {
  if (!run.io.i_stream) return 0;
  Window& w = run.dxf.win;
  if (windowCurrent(run, run.io.i_stream)) {
    // A drawing that fits the window is still there whole.
    if (w.start == 0 && w.eof && w.cap == run.dxf.windowSize) {
      forgetBlocks(w);
      seekLine(w, 0);
    } else {
      restartAt(run, 0);
    }
    return 1;
  }
  // Not taken over yet: the stream itself goes back, and the next read takes it
  // over from its start. A pipe cannot go back.
  if (fseek(run.io.i_stream, 0, SEEK_SET) != 0) return 0;
  clearerr(run.io.i_stream);
  return 1;
}

void DxfCloseDrawing(KxRun& run) {
  if (run.io.i_stream) fclose(run.io.i_stream);
  run.io.i_stream = nullptr;
  dropSpool(run);
  run.dxf.win.owner = nullptr;
  run.dxf.win.fd = -1;
  restartAt(run, 0);
}

int DxfCode(const char* line) { return (int)KxInteger(line); }

float DxfValue(const char* line) {
  double v = KxNumber(line);
  // A finite double beyond the float range would become infinite in the table.
  if (!(std::fabs(v) <= (double)FLT_MAX)) return 0.0f;
  return (float)v;
}

