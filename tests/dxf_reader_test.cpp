// The line reader every DXF pass uses: whatever the drawing holds (long lines,
// DOS, Unix or old Mac line ends, NUL bytes, no final line end), it must hand
// out exactly the lines that reading each whole (getline) and stripLFCR give.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <gtest/gtest.h>
#include <random>
#include <string>
#include <vector>

#include "dxf/dxf.h"
#include "dxf/reading.h"   // DxfSearch
#include "elements/elements.h"
#include "geometry/base.h"
#include "support/dxf_passes.h"
#include "support/dxf_text.h"
#include "support/runs.h"
#include "support/support.h"
#include "run/run.h"

using Lines = std::vector<std::string>;

// The straightforward reading the passes were written against: a line of any
// length is one line, of which stripLFCR keeps the first 254 characters.
static Lines ReferenceLines(const std::string& path) {
  Lines out;
  FILE* f = fopen(path.c_str(), "r");
  if (!f) return out;
  char* line = nullptr;
  size_t size = 0;
  while (getline(&line, &size, f) >= 0) out.push_back(stripLFCR(line));
  free(line);
  fclose(f);
  return out;
}

// What the reader hands out from where i_stream stands: every line, or with words each line a
// search for them finds (with the word's index) and the line after it, which the search leaves
// to the pass.
static Lines Read(const char* const* words = nullptr, int count = 0) {
  Lines out;
  char buf[kDxfLineSize];
  int k = 0;
  DxfSearch search{};   // kept from one search to the next, as a pass keeps it
  while (words ? (k = DxfFindLine(TestRun(), search, buf, words, count)) >= 0 : DxfReadLine(TestRun(), buf)) {
    out.push_back(words ? std::to_string(k) + ":" + buf : std::string(buf));
    if (words && DxfReadLine(TestRun(), buf)) out.back() += "|" + std::string(buf);
  }
  EXPECT_STREQ(buf, "");  // the end leaves an empty line behind
  EXPECT_FALSE(DxfReadLine(TestRun(), buf));
  return out;
}

// The same from the reference lines: each line equal to a word, and the line after it.
static Lines Wanted(const Lines& lines, const char* const* words, int count) {
  if (!words) return lines;
  Lines out;
  for (size_t i = 0; i < lines.size(); ++i)
    for (int k = 0; k < count; ++k)
      if (lines[i] == words[k]) {
        out.push_back(std::to_string(k) + ":" + lines[i]);
        if (i + 1 < lines.size()) out.back() += "|" + lines[++i];
        break;
      }
  return out;
}

// Searches and reads mixed as the passes mix them (a search, then the lines after
// the word), in an order drawn from seed, against the same steps over want.
static void ExpectSameMixedSteps(const Lines& want, unsigned seed, const std::string& what) {
  static const char* const words[] = {"LINE", "  0", "aB", "LAYER", "B", "7a"};
  std::mt19937 rng(seed);
  size_t next = 0;  // the reference's next line
  char buf[kDxfLineSize];
  DxfSearch search{};
  for (int step = 0; step < 400; ++step) {
    if (rng() % 3 == 0) {
      const bool got = DxfReadLine(TestRun(), buf);
      ASSERT_EQ(got ? buf : "(end)", next < want.size() ? want[next++] : "(end)") << what << " step " << step;
      continue;
    }
    int count = 1 + (int)(rng() % 6);
    int k = DxfFindLine(TestRun(), search, buf, words, count);
    int expect = -1;
    for (; next < want.size() && expect < 0; ++next)
      for (int w = 0; w < count && expect < 0; ++w)
        if (want[next] == words[w]) expect = w;
    ASSERT_EQ(k, expect) << what << " step " << step;
    EXPECT_STREQ(buf, k >= 0 ? words[k] : "") << what << " step " << step;
  }
}

// Reads path in every way the passes read: opened by DxfOpenDrawing, after a rewind, and as a
// stream opened by someone else, each through the normal window (0) and the smallest one (512
// bytes, whose borders fall everywhere); each must equal the reference reading. Searches for
// words must find what a line-by-line comparison finds, with every sieve width this machine has
// (AVX-512, AVX2, SSE2; a width it lacks runs the widest one below it once more).
static void ExpectSameLines(const std::string& path, const std::string& what,
                            const std::vector<int>& windows = {0, 512}) {
  const Lines want = ReferenceLines(path);
  // With the empty word the search goes line by line; without it the search sieves, also for
  // more different first characters than the sieve keeps apart; one word takes another road.
  static const char* const stepwise[] = {"LINE", "  0", "AcDbEntity", "SECTION", "", "aB", "LAYER"};
  static const char* const sieved[] = {"LINE", "  0", "AcDbEntity", "SECTION", "-none-", "aB", "LAYER"};
  static const char* const many[] = {"LINE", "  0", "AcDbEntity", "SECTION", "-none-", "aB", "LAYER", "B",
                                     "7a", "CIRCLE", "POINT", "TEXT", "VERTEX", "\r", "ppp"};
  static const char* const single[] = {"LAYER", "aB", "LINE", "  0"};
  for (int window : windows) {
    const std::string how = what + (window ? " (small window)" : "");
    const int was = DxfSetWindowSize(TestRun(), window);
    ASSERT_EQ(DxfOpenDrawing(TestRun(), path.c_str()), 1) << how;
    EXPECT_EQ(Read(), want) << how;
    for (int width : {512, 256, 128}) {
      const std::string sieve = how + " (" + std::to_string(width) + "-bit sieve)";
      const int wasWidth = DxfSetSieveWidth(TestRun(), width);
      const unsigned seed = (unsigned)width / 128u + 8u * (unsigned)(window != 0);
      const std::pair<const char* const*, int> searches[] = {
          {nullptr, 0}, {stepwise, 7}, {sieved, 7}, {many, 15}, {&single[seed % 4], 1},
          {&single[(seed + 1) % 4], 1}};
      for (const auto& [words, count] : searches) {
        ASSERT_EQ(DxfRewindDrawing(TestRun()), 1) << sieve;
        EXPECT_EQ(Read(words, count), Wanted(want, words, count))
            << sieve << " " << (words ? words[0] : "rewound");
      }
      ASSERT_EQ(DxfRewindDrawing(TestRun()), 1) << sieve;
      ExpectSameMixedSteps(want, seed, sieve + " (mixed, seed " + std::to_string(seed) + ")");
      DxfSetSieveWidth(TestRun(), wasWidth);
    }
    ASSERT_TRUE(OpenDrawing(path)) << how;
    EXPECT_EQ(Read(), want) << how << " (plain stream)";
    DxfCloseDrawing(TestRun());
    DxfSetWindowSize(TestRun(), was);
  }
}

static std::string Repeat(char c, size_t n) { return std::string(n, c); }

// Short lines filling a text up to offset at, so that what is appended starts there.
static std::string LinesUpTo(size_t at) {
  std::string text;
  while (text.size() + 41 < at) text += Repeat('q', 39) + "\n";
  if (at > text.size()) text += Repeat('q', at - text.size() - 1) + "\n";
  return text;
}

TEST(DxfReader, CorpusDrawingsReadAsLineByLine) {
  FreshCore();
  if (CorpusDir().empty()) GTEST_SKIP() << "corpus not found at ../shared/corpus/dxf";
  const auto drawings = CorpusDrawings();
  EXPECT_GE(drawings.size(), 30u);
  for (const CorpusDrawing& d : drawings) ExpectSameLines(d.path, d.name);
}

TEST(DxfReader, EdgeCasesRandomAndLargeTextsReadAsLineByLine) {
  FreshCore();
  TempDir d;
  std::string nul(1, '\0');
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"empty", ""},
      {"one line end", "\n"},
      {"no final line end", "  0\nSECTION"},
      {"cr only, long", Repeat('a', 100) + "\r" + Repeat('b', 300) + "\r" + Repeat('c', 10)},
      {"lone cr at the end", "LINE\r"},
      {"cr cr lf", "LINE\r\r\n  8\n"},
      {"cr inside", "a\rb\nAC\r1\n"},
      {"253 characters", Repeat('x', 253) + "\n" + "next\n"},
      {"254 characters", Repeat('x', 254) + "\n" + "next\n"},
      {"254 characters with cr", Repeat('x', 253) + "\r\n" + "next\n"},
      {"255 characters", Repeat('x', 255) + "\r\n" + "next\n"},
      {"several pieces", Repeat('y', 254 * 3 + 17) + "\n" + Repeat('z', 508)},
      {"piece ends in cr", Repeat('w', 253) + "\r" + "rest\n"},
      {"piece ends in cr before last", Repeat('w', 252) + "\rq" + "rest\n"},
      {"nul inside", "LI" + nul + "NE\n  8\nAcDb" + nul + "\r\n"},
      {"nul in a long line", Repeat('n', 100) + nul + Repeat('m', 400) + "\n"},
      {"only nul bytes", Repeat('\0', 600)},
      {"block edges", Repeat('e', 63) + "\n" + Repeat('f', 64) + "\n" + Repeat('g', 31) + "\r\n" +
                          Repeat('h', 32) + "\n" + Repeat('i', 33) + "\n" + Repeat('j', 127) + "\n"},
      {"keywords at the end of long lines",
       Repeat('y', 508) + "LINE\n" + Repeat('z', 254) + "LINE\r\n" + Repeat('v', 2000) + "\nLINE\n"},
      {"a line longer than the window", "  0\n" + Repeat('k', 600000) + "LINE\r\nLINE\n" + Repeat('k', 300)},
  };
  for (const auto& [name, text] : cases) {
    WriteFile(d.File("edge.dxf"), text);
    ExpectSameLines(d.File("edge.dxf"), name);
  }
  // Random texts of line ends (LF, CR/LF, CR alone, empty lines), NUL bytes anywhere and
  // characters, at every length from one character to several times what is handed out: the
  // quick path and the careful one must agree.
  std::mt19937 rng(20261206);
  const char alphabet[] = {'a', 'B', ' ', '7', '\n', '\n', '\r', '\0'};
  for (int round = 0; round < 300; ++round) {
    std::string text;
    size_t lines = rng() % 120;
    for (size_t i = 0; i < lines; ++i) {
      size_t len = rng() % 4 == 0 ? rng() % 700 : rng() % 40;
      // Most texts are plain; some get line ends and NUL bytes anywhere.
      for (size_t k = 0; k < len; ++k) text += alphabet[round % 3 == 0 ? rng() % 8 : rng() % 4];
      text += round % 5 == 0 ? "\r\n" : "\n";
    }
    if (round % 7 == 0 && !text.empty()) text.pop_back();
    WriteFile(d.File("random.dxf"), text);
    ExpectSameLines(d.File("random.dxf"), "round " + std::to_string(round));
  }
  // Several megabytes: the drawing goes to the large-buffer path.
  DxfText dxf("AC1015");
  for (int i = 0; i < 24000; ++i) dxf.Line(i % 2 ? "OTHER" : "DXF_MAIN", i, i * 0.5, i + 1.25, i * 0.5 + 3);
  std::string text = dxf.Str(true);
  ASSERT_GT(text.size(), (size_t)(2 << 20));
  WriteFile(d.File("large.dxf"), text);
  ExpectSameLines(d.File("large.dxf"), "large");
  // A drawing that ends exactly at a page end: the bytes behind it are not the file's.
  text.resize((text.size() / 4096 + 1) * 4096, 'x');
  WriteFile(d.File("paged.dxf"), text);
  ExpectSameLines(d.File("paged.dxf"), "paged", {0});
}

// Window borders fall inside whatever the drawing holds there. With the smallest
// window, a keyword, a line end, a CR/LF pair and lines of 254 characters and
// more are put at every offset of the window and across its first border.
TEST(DxfReader, WindowBordersSplitNothing) {
  FreshCore();
  TempDir d;
  const std::string items[] = {
      "  0\nLINE\n  8\n",                // a keyword and the line ends around it
      "  0\r\nAcDbEntity\r\n  8\r\n",      // CR/LF pairs
      Repeat('p', 300) + "\nLAYER\n",      // a line longer than what is handed out
      Repeat('r', 253) + "\r\nSECTION\n",  // its CR the last character handed out
      Repeat('s', 254) + "\nLINE\r\n",     // its LF just after what is handed out
  };
  for (const std::string& item : items) {
    for (size_t at = 0; at < 512 + 300; ++at) {
      WriteFile(d.File("border.dxf"), LinesUpTo(at) + item + "  0\nEOF\n" + Repeat('t', 100) + "\n");
      const std::string what = "item " + item.substr(0, 12) + " at " + std::to_string(at);
      ExpectSameLines(d.File("border.dxf"), what, {512});
    }
  }
}

// The entity pass passes the head of an entity on a layer it does not read in
// place: exactly the lines up to the layer's value, or nothing at all, wherever
// the window's borders fall.
TEST(DxfReader, ForeignEntityHeadsArePassedUpToTheirLayer) {
  FreshCore();
  TempDir d;
  // The entity's lines after its first group code "  5", and how many of them are
  // passed (up to and including the layer's value), or -1 when nothing may be.
  const std::pair<std::string, int> heads[] = {
      {"1A\n330\n1F\n100\nAcDbEntity\n  8\nOTHER\n 10\n1.0\n", 7},
      {"1A\r\n330\r\n1F\r\n  8\r\nOTHER\r\n 10\r\n1.0\r\n", 5},
      {"1A\nstray line\n\t-3 \nx\n 8\nOTHER\n", 6},            // a line that is no code is passed alone
      {"1A\n  8\nDXF_MAIN\n 10\n1.0\n", -1},                   // a layer that is read
      {"1A\n  0\nLINE\n  8\nOTHER\n", -1},                     // a group 0 before the layer
      {"1A\n  1\n" + Repeat('v', 300) + "\n  8\nOTHER\n", -1},  // a value longer than what is handed out
      {"1A\n  8\n" + Repeat('o', 253) + "\n", 3},
  };
  constexpr int kWindowBytes = 512;
  int was = DxfSetWindowSize(TestRun(), kWindowBytes);
  static const char* const kLine[] = {"LINE"};
  auto refused = [](KxRun&, const char* layer, size_t n) { return n != 8 || strcmp(layer, "DXF_MAIN") != 0; };
  for (const auto& [head, passed] : heads) {
    int passes = 0;
    for (size_t at = 0; at < kWindowBytes + 100; ++at) {
      std::string path = d.File("head.dxf");
      WriteFile(path, LinesUpTo(at) + "  0\nLINE\n  5\n" + head + "  0\nEOF\n");
      const Lines want = ReferenceLines(path);
      const long code = std::find(want.begin(), want.end(), "LINE") - want.begin() + 1;  // the line "  5"
      std::string what = "head " + head.substr(0, 12) + " at " + std::to_string(at);
      ASSERT_EQ(DxfOpenDrawing(TestRun(), path.c_str()), 1);
      char buf[kDxfLineSize];
      DxfSearch search{};
      ASSERT_EQ(DxfFindLine(TestRun(), search, buf, kLine, 1), 0) << what;
      ASSERT_TRUE(DxfReadLine(TestRun(), buf)) << what;
      int got = DxfPassForeignHead(TestRun(), DxfCode(buf), refused);
      EXPECT_TRUE(got == 0 || passed >= 0) << what;
      passes += got;
      Lines rest(want.begin() + code + 1 + (got ? passed : 0), want.end());
      EXPECT_EQ(Read(), rest) << what;
      DxfCloseDrawing(TestRun());
    }
    // Only heads across the window's end are left to the line reading.
    EXPECT_GT(passes, passed >= 0 ? kWindowBytes / 2 : -1) << head;
  }
  DxfSetWindowSize(TestRun(), was);
}

// Values longer than what is handed out, as CAD programs write texts: each is one value, whatever
// follows it in the line, so no text becomes geometry: a value of any length, one that looks like a
// group code and its value where a piece of 254 characters would end, and texts whose layer and
// alignment point follow such a value (read in pieces, four were a square and the fifth its start hole).
TEST(DxfReader, LongValuesStayOneValue) {
  const std::string x(254, 'x'), pad(251, ' ');   // a group code of three characters and pad: 254
  const std::string texts[] = {std::string(512, 'A'), "B" + std::string(4999, 'b'), x + " 10" + pad + "99"};
  std::string raw;
  const double corners[][4] = {{50, 0, 60, 0}, {60, 0, 60, 10}, {60, 10, 50, 10}, {50, 10, 50, 0}, {55, 2, 0, 0}};
  for (const auto& c : corners) {
    raw += "  0\nTEXT\n 10\n" + std::to_string(c[0]) + "\n 20\n" + std::to_string(c[1]) + "\n 40\n0.5\n  1\n" + x +
           "  0" + pad + (c[2] == 0 ? "CIRCLE" : "LINE") + "\n  8\nDXF_MAIN\n 11\n" + std::to_string(c[2]) +
           "\n 21\n" + std::to_string(c[3]) + "\n";
  }
  for (const char* version : {"AC1009", "AC1015"}) {
    for (bool crlf : {false, true}) {
      SCOPED_TRACE(std::string(version) + (crlf ? " CR/LF" : " LF"));
      DxfText dxf(version);
      dxf.Layer("DXF_MAIN").Line("DXF_MAIN", 0, 0, 10, 0).Line("DXF_MAIN", 10, 0, 10, 10)
          .Line("DXF_MAIN", 10, 10, 0, 10).Line("DXF_MAIN", 0, 10, 0, 0).Circle("DXF_MAIN", 5, 2, 0.5);
      for (size_t i = 0; i < std::size(texts); ++i)
        dxf.Text("DXF_MAIN", 20 + (double)i, 3, texts[i]).Line("DXF_MAIN", 0, 20 + (double)i, 5, 25)
            .Arc("DXF_MAIN", 30, 0, 2, 0, 90);
      const Conversion r = ConvertText(dxf.Raw(raw).Str(crlf));
      EXPECT_TRUE(Has(r.output, "korvex: 1 contour (0 holes), 0 without start hole")) << r.output;
      EXPECT_TRUE(Has(r.page, "LINES    :      7 |      7 \nARC      :      3 |      3 \nCIRCLE   :      0 |      0 \n"
                              "CIR-SP   :      1 |      1 \n")) << r.page;
      EXPECT_TRUE(Has(r.page, "TEXT     :      8 |")) << r.page;
    }
  }
}
