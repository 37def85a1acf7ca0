// The fast console formatter must give printf's text to the byte, or decline;
// the coordinates' rounding must equal printing and reading back; the geometry
// and string helpers give the numbers the rest of the conversion relies on.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "geometry/base.h"

namespace {

struct Result {
  int fast;           // KxFormat's length, -1 when it declined
  std::string text;   // KxFormat's text
  std::string libc;   // vsnprintf's text
};

// KxFormat's and vsnprintf's text of the same message, each into N bytes.
template <size_t N = 512>
__attribute__((format(printf, 1, 2))) Result both(const char* fmt, ...) {
  char a[N + 1], b[N];
  memset(a, 'x', N);
  a[N] = '\0';   // a text left without its end shows as the x's behind it
  va_list ap, copy;
  va_start(ap, fmt);
  va_copy(copy, ap);
  int n = KxFormat(a, N, fmt, copy);
  va_end(copy);
  vsnprintf(b, sizeof b, fmt, ap);
  va_end(ap);
  return {n, n >= 0 ? std::string(a) : std::string(), b};
}

// Formatted here, not declined, and printf's text.
void ExpectFastSame(const Result& r) {
  EXPECT_GE(r.fast, 0) << r.libc;
  EXPECT_EQ(r.text, r.libc);
}

}  // namespace

TEST(Format, CommonMessagesAreFormattedHereAndMatchPrintf) {
  ExpectFastSame(both("\n [CIR %ld|r:%6.2f]  -> used A (%s)", 123L, 0.5f * 1.0, "$K07"));
  ExpectFastSame(both(" [regB %ld]", 959L));
  ExpectFastSame(both("l"));
  ExpectFastSame(both("%d%%|%5d|%-5d|%05d|%+d|% d|%.3d|%.0d|%i", -42, 42, 42, -42, 0, 7, 5, 0, -1));
  ExpectFastSame(both("%ld %lld %lu %u %zu %zd", -9223372036854775807L - 1, 123456789012345LL,
                        18446744073709551615UL, 4294967295u, (size_t)99, (ptrdiff_t)-3));
  ExpectFastSame(both("[%s|%10s|%-10s|%.2s|%5.1s|%c|%3c|%-3c]", "abc", "abc", "abc", "abc", "abc", 'x', 'y', 'z'));
  ExpectFastSame(both("%.3f %.3f %.4f", -0.0, 0.0, 999999.99995e-3));
  ExpectFastSame(both(" SPLITT = x%.3fld y:%.3f ", 10.0, -20.0));
}

TEST(Format, DeclinesWhatItCannotPromiseOrFit) {
  // Formats and values outside the subset, and texts that do not fit (declined, not cut).
  const char* volatile none = nullptr;
  for (Result r : {both("%x", 255), both("%p", (void*)nullptr), both("%e", 1.0), both("%g", 1.0),
                   both("%*d", 3, 1), both("%.*s", 2, "abc"), both("%s", none), both("%f", NAN),
                   both("%f", INFINITY), both("%hd", 1), both("%Lf", 1.0L), both("%#x", 1),
                   both<8>("%s", "12345678"), both<8>("%20d", 1), both<8>("abcdefgh"), both<64>("%.3f", 1e300)})
    EXPECT_EQ(r.fast, -1) << r.libc;
  ExpectFastSame(both<8>("%s", "1234567"));
  // Exact ties of the binary value (printf rounds them to even), huge numbers and long precisions
  // are expanded exactly rather than declined.
  for (Result r : {both("%.2f", 0.125), both("%.0f", 2.5), both("%.0f", 3.5), both("%.3f", 1e300),
                   both("%12.12f", -1.0), both("%.3f", -0x1.fffffffffffffp1023), both("%.40f", 0x1p-60)})
    ExpectFastSame(r);
}

TEST(Format, RandomNumbersMatchPrintf) {
  std::mt19937_64 rng(20261206);
  const char* fmts[] = {"%.3f", "%8.3f", "%6.2f", "%.4f", "%f",   "%-10.1f", "%010.5f",
                        "%+.2f", "%.0f",  "%.9f", "% .1f", "%lf", "%-9.2f|", "%08.3f"};
  long declined = 0;
  for (int i = 0; i < 200000; ++i) {
    double v;
    switch (i % 4) {
      case 0: v = std::ldexp((double)(rng() >> 11), -(int)(rng() % 60)); break;   // any binary value
      case 1: v = (double)(long)(rng() % 2000001 - 1000000) / 1000.0; break;     // drawing coordinates
      case 2: v = (double)(float)((double)(rng() % 100000) / 1024.0); break;        // float radii, many ties
      default: v = (double)(rng() % 1000) + 0.5 + (double)(rng() % 3 - 1) * 1e-12; break;  // near halves
    }
    if (rng() & 1) v = -v;
    const char* f = fmts[i % 14];
    const Result r = both(f, v);
    declined += r.fast < 0;   // declined, or printf's text
    ASSERT_EQ(r.fast < 0 ? r.libc : r.text, r.libc) << f << " of " << std::hexfloat << v;
  }
  // Every finite number is formatted here.
  EXPECT_EQ(declined, 0);
  // Integers: every flag, width and precision, always formatted here.
  const char* ints[] = {"%d", "%5d", "%-6d|", "%07d", "%+d", "% d", "%.4d", "%8.3d", "%-+8.3d|", "%0+6d", "% 05d"};
  for (int i = 0; i < 50000; ++i) {
    int v = i % 97 == 0 ? INT32_MIN : (int)(rng() % 2000001) - 1000000;
    ExpectFastSame(both(ints[i % 11], v));
  }
}

TEST(Format, RoundingToThreeDecimalsEqualsTheTextRoundTrip) {
  // The coordinates' rounding must give what printing with "%10.3f" and reading
  // the text back gives, bit for bit, ties and negative zero included.
  auto viaText = [](float in) {
    char buf[20];
    int n = snprintf(buf, sizeof buf, "%10.3f", (double)in);
    if (n < 0 || (size_t)n >= sizeof buf) return in;
    return (float)strtod(buf, nullptr);
  };
  std::mt19937 rng(3);
  std::vector<float> values = {0.0f, -0.0f, 0.0005f, -0.0005f, 0.125f, 2.5f, 1e-7f, 123456.789f, 3e9f, 1e30f, -1e30f,
                               -3e38f, NAN, INFINITY, -INFINITY, 0.0015f, 0.0025f};
  for (int i = 0; i < 300000; ++i) {
    uint32_t bits = (uint32_t)rng();
    float f;
    memcpy(&f, &bits, sizeof f);
    values.push_back(i % 2 ? f : (float)((double)(int)(rng() % 2000000 - 1000000) / 1024.0));
  }
  for (float v : values) {
    const float a = FL3NKS(v), b = viaText(v);
    ASSERT_TRUE(std::isnan(b) ? std::isnan(a) : memcmp(&a, &b, sizeof a) == 0)
        << std::hexfloat << v << " " << a << " " << b;
  }
}

// Numbers of a drawing are read as strtod reads them, bit for bit, with the same rest.
TEST(Format, NumbersReadAsStrtodReadsThem) {
  std::vector<std::string> texts = {"326.060000", "-12", ".5", "1.", "-0.000", "+7.25", "0x1A", "1e3", "1.5e-3", "1,5",
                                    " 42", "inf", "nan", "-", ".", "", "abc", "12abc", "9007199254740993",
                                    "9007199254740992.5", "0.1234567890123456789012", "00000000000000000000001",
                                    "1.5.3", "123456789012345678901234567890", "4.35", "2.675", "1e400"};
  std::mt19937_64 rng(31);
  for (int i = 0; i < 200000; ++i) {
    // Drawing coordinates with 0 to 12 decimals, and integers of every size.
    char buf[64];
    const double x = std::ldexp((double)(rng() >> 11), -(int)(rng() % 50)) * (rng() & 1 ? -1 : 1);
    snprintf(buf, sizeof buf, "%.*f", (int)(rng() % 13), x);
    texts.push_back(i % 3 ? buf : std::to_string((long long)(rng() >> (rng() % 64))));
  }
  for (const std::string& t : texts) {
    double v = -1;
    const char* rest = nullptr;
    const int kind = KxReadNumber(t.c_str(), &v, &rest);
    char* end = nullptr;
    const double d = strtod(t.c_str(), &end);
    if (end == t.c_str()) {
      EXPECT_EQ(kind, kxNO_NUMBER) << t;
      continue;
    }
    if (!std::isfinite(d)) {
      EXPECT_EQ(kind, kxNOT_FINITE) << t;
      continue;
    }
    ASSERT_EQ(kind, kxNUMBER) << t;
    ASSERT_EQ(memcmp(&v, &d, sizeof d), 0) << t << " " << std::hexfloat << v << " " << d;
    if (*end != ',') {
      EXPECT_EQ(rest, end) << t;
    }
  }
}
