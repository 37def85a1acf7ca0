// Fast formatting of the console diagnostics and the files a run writes: a
// conversion prints tens of thousands of short messages, and the general printf
// machinery cost a third of the run. The common conversions are done here (a
// fixed-point close call expanded exactly); every other conversion is left to
// vsnprintf, so the text is always exactly what printf would give.
#include <charconv>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "geometry/base.h"

namespace {

struct Out {
  char* p;
  char* end;
  bool full = false;

  void put(const char* s, size_t n) {
    if ((size_t)(end - p) < n) {
      full = true;
      return;
    }
    memcpy(p, s, n);
    p += n;
  }
  void fill(char c, long n) {
    if (n <= 0) return;
    if (end - p < n) {
      full = true;
      return;
    }
    memset(p, c, (size_t)n);
    p += n;
  }
};

struct Conversion {
  bool left = false, zero = false, plus = false, space = false;
  long width = 0;
  long prec = -1;  // -1: none given
};

// Decimal digits of v, written backwards from end; returns the first digit.
char* digitsOf(uint64_t v, char* end) {
  do {
    *--end = (char)('0' + v % 10);
    v /= 10;
  } while (v);
  return end;
}

// Sign, padding and body in printf's order: blanks, sign, zeros, body, blanks.
void field(Out& o, const Conversion& s, char sign, const char* body, size_t len, long zeros) {
  long used = (sign ? 1 : 0) + zeros + (long)len;
  long pad = s.width > used ? s.width - used : 0;
  if (!s.left) o.fill(' ', pad);
  if (sign) o.put(&sign, 1);
  o.fill('0', zeros);
  o.put(body, len);
  if (s.left) o.fill(' ', pad);
}

char signFor(bool negative, const Conversion& s) {
  if (negative) return '-';
  if (s.plus) return '+';
  if (s.space) return ' ';
  return 0;
}

void integer(Out& o, const Conversion& s, bool negative, uint64_t magnitude) {
  char buf[24];
  char* end = buf + sizeof buf;
  char* d = digitsOf(magnitude, end);
  size_t len = (size_t)(end - d);
  if (s.prec == 0 && magnitude == 0) len = 0;
  char sign = signFor(negative, s);
  long zeros = 0;
  if (s.prec > (long)len) {
    zeros = s.prec - (long)len;
  } else if (s.zero && !s.left && s.prec < 0) {
    long used = (sign ? 1 : 0) + (long)len;
    if (s.width > used) zeros = s.width - used;
  }
  field(o, s, sign, end - len, len, zeros);
}

constexpr double kPow10[] = {1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9};
constexpr uint64_t kIntPow10[] = {1, 10, 100, 1000, 10000, 100000, 1000000, 10000000, 100000000, 1000000000};

// %f of v; false for no finite number or a precision beyond any use.
bool fixed(Out& o, const Conversion& s, double v) {
  int prec = s.prec < 0 ? 6 : (int)s.prec;
  bool negative = std::signbit(v);
  char buf[400];
  char* end = buf + sizeof buf;
  char* d = end;
  uint64_t n;
  if (KxScaledDecimal(v, prec, &n)) {
    if (prec > 0) {
      uint64_t f = n % kIntPow10[prec];
      for (int i = 0; i < prec; ++i) {
        *--d = (char)('0' + f % 10);
        f /= 10;
      }
      *--d = '.';
    }
    d = digitsOf(n / kIntPow10[prec], d);
  } else {
    // A close call or a large number: to_chars expands the exact binary value
    // and rounds it as printf does.
    if (!std::isfinite(v) || prec > 60) return false;
    auto r = std::to_chars(buf, end, std::fabs(v), std::chars_format::fixed, prec);
    if (r.ec != std::errc()) return false;
    d = buf;
    end = r.ptr;
  }
  size_t len = (size_t)(end - d);
  char sign = signFor(negative, s);
  long zeros = 0;
  if (s.zero && !s.left) {
    long used = (sign ? 1 : 0) + (long)len;
    if (s.width > used) zeros = s.width - used;
  }
  field(o, s, sign, d, len, zeros);
  return true;
}

}  // namespace

bool KxScaledDecimal(double v, int prec, uint64_t* scaled) {
  if (prec < 0 || prec > 9 || !std::isfinite(v)) return false;
  double x = std::fabs(v) * kPow10[prec];
  if (!(x < 4.0e15)) return false;
  // The product is within half a unit in its last place of the exact value; only
  // a fraction that close to one half leaves the rounding in doubt.
  double whole = std::floor(x);
  double frac = x - whole;
  if (std::fabs(frac - 0.5) <= x * 0x1p-50 + 0x1p-60) return false;
  *scaled = (uint64_t)whole + (frac > 0.5 ? 1 : 0);
  return true;
}

// printf's text for fmt, in these steps per conversion: the text before it
// copied; flags, width and precision read; length modifiers (l, ll, z) read;
// the conversion written (d i u f F s c %). Any other conversion, modifier or
// rounding in doubt, and a full buffer, give -1 so that vsnprintf does it.
int KxFormat(char* out, size_t size, const char* fmt, va_list ap) {
  if (!out || size == 0 || !fmt) return -1;
  Out o{out, out + size - 1};
  const char* f = fmt;
  while (*f) {
    const char* pct = strchr(f, '%');
    if (!pct) {
      o.put(f, strlen(f));
      break;
    }
    o.put(f, (size_t)(pct - f));
    f = pct + 1;
    Conversion s;
    for (;; ++f) {
      if (*f == '-') s.left = true;
      else if (*f == '0') s.zero = true;
      else if (*f == '+') s.plus = true;
      else if (*f == ' ') s.space = true;
      else break;
    }
    while (*f >= '0' && *f <= '9' && s.width < 100000) s.width = s.width * 10 + (*f++ - '0');
    if (*f == '.') {
      ++f;
      s.prec = 0;
      while (*f >= '0' && *f <= '9' && s.prec < 100000) s.prec = s.prec * 10 + (*f++ - '0');
    }
    if (s.width >= 100000 || s.prec >= 100000) return -1;
    int longs = 0;
    while (*f == 'l') {
      ++longs;
      ++f;
    }
    bool sized = false;
    if (*f == 'z' && longs == 0) {
      sized = true;
      ++f;
    }
    if (longs > 2) return -1;
    switch (*f) {
      case 'd':
      case 'i': {
        long long v = sized ? (long long)va_arg(ap, ptrdiff_t)
                            : longs == 2 ? va_arg(ap, long long)
                            : longs == 1 ? (long long)va_arg(ap, long)
                                         : (long long)va_arg(ap, int);
        uint64_t m = v < 0 ? (uint64_t)0 - (uint64_t)v : (uint64_t)v;
        integer(o, s, v < 0, m);
        break;
      }
      case 'u': {
        unsigned long long v = sized ? (unsigned long long)va_arg(ap, size_t)
                               : longs == 2 ? va_arg(ap, unsigned long long)
                               : longs == 1 ? (unsigned long long)va_arg(ap, unsigned long)
                                            : (unsigned long long)va_arg(ap, unsigned);
        Conversion u = s;
        u.plus = u.space = false;
        integer(o, u, false, v);
        break;
      }
      case 'f':
      case 'F':
        if (sized || longs > 1 || !fixed(o, s, va_arg(ap, double))) return -1;
        break;
      case 's': {
        if (s.zero || longs || sized) return -1;
        const char* str = va_arg(ap, const char*);
        if (!str) return -1;
        size_t len = s.prec >= 0 ? strnlen(str, (size_t)s.prec) : strlen(str);
        Conversion t = s;
        t.zero = false;
        field(o, t, 0, str, len, 0);
        break;
      }
      case 'c': {
        if (s.zero || longs || sized) return -1;
        char c = (char)va_arg(ap, int);
        field(o, s, 0, &c, 1, 0);
        break;
      }
      case '%':
        if (f != pct + 1) return -1;
        o.put("%", 1);
        break;
      default:
        return -1;
    }
    if (o.full) return -1;
    ++f;
  }
  if (o.full) return -1;
  *o.p = '\0';
  return (int)(o.p - out);
}
