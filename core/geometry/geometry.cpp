// Small geometry and string helpers shared by every step: polar offsets, segment
// angle and length, arc sweep, three-decimal rounding, upper-casing, and the
// line-end removal used by every text-file reader.
#include <cctype>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "geometry/base.h"
#include "geometry/limits.h"

float YARC(double w, float a) { return (float)(sin(w * awPI / 180.0) * a); }

float XARC(double w, float a) { return (float)(cos(w * awPI / 180.0) * a); }

double WIV(float xa1, float ya1, float xb2, float yb2) {
  return atan2((double)yb2 - ya1, (double)xb2 - xa1) * RAD2DEG;
}

float LENC(float xa1, float ya1, float xb2, float yb2) {
  double dy = (double)yb2 - ya1, dx = (double)xb2 - xa1;
  return (float)sqrt(dy * dy + dx * dx);
}

float BOGENWINKEL(float sW, float eW) {
  if (eW < sW) return (float)(eW + 360.0f) - sW;
  return eW - sW;
}

float FL3NKS(float in) {
  // Every coordinate of the drawing passes here: the rounding is done without a
  // detour through text where it is certain to agree with it.
  uint64_t scaled;
  if (KxScaledDecimal(in, 3, &scaled)) {
    double d = (double)scaled / 1000.0;
    return (float)(std::signbit(in) ? -d : d);
  }
  char buf[20];
  int n = snprintf(buf, sizeof buf, "%10.3f", (double)in);
  // A value too large for the buffer lies far outside any drawing; it is kept as it is.
  if (n < 0 || (size_t)n >= sizeof buf) return in;
  return (float)strtod(buf, nullptr);
}

void S2UP(char* fn) {
  if (!fn) return;
  for (; *fn; ++fn) *fn = (char)toupper((unsigned char)*fn);
}

std::string stripLFCR(const char* text) {
  char buf[kTextLineSize];
  KxCopy(buf, sizeof buf, text);
  size_t n = strlen(buf);
  if (n >= 1 && (buf[n - 1] == '\n' || buf[n - 1] == '\r')) buf[n - 1] = '\0';
  if (n >= 2 && (buf[n - 2] == '\n' || buf[n - 2] == '\r')) buf[n - 2] = '\0';
  return buf;
}

// --- bounded strings and numbers from text ---

void KxCopy(char* dst, size_t size, const char* src) {
  if (!dst || size == 0) return;
  if (!src) src = "";
  size_t n = strnlen(src, size - 1);
  memmove(dst, src, n);
  dst[n] = '\0';
}

void KxCat(char* dst, size_t size, const char* src) {
  if (!dst || size == 0) return;
  size_t used = strnlen(dst, size);
  if (used >= size) {
    dst[size - 1] = '\0';
    return;
  }
  KxCopy(dst + used, size - used, src);
}

bool KxEndsWith(const char* text, const char* end) {
  if (!text || !end) return false;
  const size_t n = strlen(text), m = strlen(end);
  return n >= m && memcmp(text + n - m, end, m) == 0;
}

// The plain decimals a drawing is made of ("326.060000", "-12", ".5"), read
// without strtod: with at most 19 digits whose value stays below 2^53 and at
// most 22 decimals, both the digits and the power of ten are exact doubles, and
// their one correctly rounded division is what strtod gives. Anything else
// (blanks, exponents, more digits, hex, inf and nan) returns false.
static bool plainDecimal(const char* text, double* v, const char** end) {
  static constexpr double kTens[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                     1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
  const char* p = text;
  const bool negative = *p == '-';
  if (*p == '-' || *p == '+') ++p;
  uint64_t m = 0;
  int digits = 0, decimals = 0;
  for (; *p >= '0' && *p <= '9'; ++p, ++digits) m = m * 10 + (uint64_t)(*p - '0');
  if (*p == '.') {
    for (++p; *p >= '0' && *p <= '9'; ++p, ++digits, ++decimals) m = m * 10 + (uint64_t)(*p - '0');
  }
  if (digits == 0 || digits > 19 || decimals > 22 || m > (1ULL << 53)) return false;
  if (*p == 'e' || *p == 'E' || *p == 'x' || *p == 'X') return false;
  const double d = decimals ? (double)m / kTens[decimals] : (double)m;
  *v = negative ? -d : d;
  *end = p;
  return true;
}

int KxReadNumber(const char* text, double* v, const char** rest) {
  *v = 0;
  if (rest) *rest = text ? text : "";
  if (!text) return kxNO_NUMBER;
  char* end = nullptr;
  double d;
  const char* plainEnd = nullptr;
  if (plainDecimal(text, &d, &plainEnd)) end = const_cast<char*>(plainEnd);
  else d = strtod(text, &end);
  if (end == text) return kxNO_NUMBER;
  // strtod reads "nan", "inf" and overflowing digits as what they are; none is a usable number.
  if (!std::isfinite(d)) return kxNOT_FINITE;
  // Drawings written with a decimal comma have always been read up to the comma:
  // "1,5" stays 1, and the comma with its digits is no rest to complain about.
  if (*end == ',' && isdigit((unsigned char)end[1]))
    for (++end; isdigit((unsigned char)*end);) ++end;
  *v = d;
  if (rest) *rest = end;
  return kxNUMBER;
}

double KxNumber(const char* text) {
  double v;
  KxReadNumber(text, &v, nullptr);
  return v;
}

long KxInteger(const char* text) {
  if (!text) return 0;
  errno = 0;
  long v = strtol(text, nullptr, 10);
  if (v > INT_MAX) return INT_MAX;
  if (v < INT_MIN) return INT_MIN;
  return v;
}
