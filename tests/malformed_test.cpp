// Whatever a user hands korvex as a drawing, the console program finishes: it
// exits with a status, writes its log and its page, and never writes a
// non-finite number into an NC program. Each case runs in its own program folder.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <regex>
#include <string>

#include "elements/elements.h"
#include "support/dxf_text.h"
#include "support/support.h"

namespace {

std::string g(int code, const std::string& value) { return std::to_string(code) + "\n" + value + "\n"; }

std::string squareWithFeed(const std::string& version) {
  return DxfText(version).Layer("DXF_MAIN").Line("DXF_MAIN", 0, 0, 10, 0).Line("DXF_MAIN", 10, 0, 10, 10)
      .Line("DXF_MAIN", 10, 10, 0, 10).Line("DXF_MAIN", 0, 10, 0, 0).Circle("DXF_MAIN", 5, 2, 0.5).Str();
}

std::string truncatedAt(const std::string& text, const std::string& marker) {
  size_t at = text.find(marker);
  return at == std::string::npos ? text : text.substr(0, at + marker.size() + 3);
}

// The square with coordinates and a radius that are no finite numbers.
std::string nonFiniteSquare(const std::string& version) {
  std::string s = squareWithFeed(version);
  for (const char* bad : {"1e999", "-1e999", "nan"}) s.replace(s.find("10.000000"), 9, bad);
  s.replace(s.find("0.500000"), 8, "inf");
  return s;
}

struct Case {
  const char* name;
  std::function<std::string()> drawing;
};

const Case kCases[] = {
    {"empty file", [] { return std::string(); }},
    {"binary junk",
     [] {
       std::string s;
       unsigned x = 7;
       for (int i = 0; i < 20000; ++i) s += (char)((x = x * 1103515245 + 12345) >> 16);
       return s;
     }},
    {"no header", [] { return squareWithFeed(""); }},
    {"header only", [] { return g(0, "SECTION") + g(2, "HEADER") + g(9, "$ACADVER") + g(1, "AC1009") + g(0, "ENDSEC"); }},
    {"truncated inside an entity", [] { return truncatedAt(squareWithFeed("AC1009"), "CIRCLE"); }},
    {"truncated inside a polyline",
     [] { return truncatedAt(DxfText("AC1009").Layer("DXF_MAIN").Polyline("DXF_MAIN", {{0, 0}, {5, 0}, {5, 5}}).Str(), "VERTEX"); }},
    {"truncated inside a 2000 polyline",
     [] { return truncatedAt(DxfText("AC1015").Layer("DXF_MAIN").Polyline("DXF_MAIN", {{0, 0}, {5, 0}, {5, 5}}).Str(), "AcDbPolyline"); }},
    {"truncated inside the layer table", [] { return truncatedAt(squareWithFeed("AC1015"), "AcDbLayerTableRecord"); }},
    {"one 10 MB line", [] { return g(9, "$ACADVER") + g(1, "AC1009") + std::string(10 << 20, 'L') + "\n" + squareWithFeed("AC1009"); }},
    {"group codes that are no numbers or huge",
     [] {
       std::string s = squareWithFeed("AC1009");
       for (const char* from : {" 10\n", " 20\n", " 40\n"}) s.replace(s.find(from), 4, "x9\n");
       s.replace(s.find(" 11\n"), 4, "99999999999999999999\n");
       s.replace(s.find(" 21\n"), 4, "-2147483649\n");
       return s;
     }},
    {"non-finite coordinates in 12-format", [] { return nonFiniteSquare("AC1009"); }},
    {"non-finite coordinates in 2000-format", [] { return nonFiniteSquare("AC1015"); }},
    {"NUL bytes inside lines",
     [] {
       std::string s = squareWithFeed("AC1009");
       for (size_t at = s.find("LINE"); at != std::string::npos; at = s.find("LINE", at + 6)) s.insert(at + 2, 1, '\0');
       s.replace(s.find("DXF_MAIN", s.find("ENTITIES")), 8, std::string("DXF\0MAIN", 8));
       return s;
     }},
    {"5000 layers",
     [] {
       DxfText d("AC1015");
       for (int i = 0; i < 5000; ++i) d.Layer("EDMX_L" + std::to_string(i));
       return d.Layer("DXF_MAIN").Line("DXF_MAIN", 0, 0, 1, 1).Str();
     }},
    {"more entities on the main layer than the table holds",
     [] {
       DxfText d("AC1009");
       d.Layer("DXF_MAIN");
       for (long i = 0; i < kMaxElements / 4 + 50; ++i) {
         double x = (i % 20) * 20, y = (i / 20) * 20.0;
         d.Line("DXF_MAIN", x, y, x + 10, y).Line("DXF_MAIN", x + 10, y, x + 10, y + 10)
             .Line("DXF_MAIN", x + 10, y + 10, x, y).Circle("DXF_MAIN", x + 5, y + 1, 0.4);
       }
       return d.Str();
     }},
    {"a thousand SEQEND lines",
     [] {
       std::string s = squareWithFeed("AC1009");
       std::string seq;
       for (int i = 0; i < 1000; ++i) seq += g(0, "SEQEND");
       s.insert(s.find("  0\nCIRCLE"), seq);
       return s;
     }},
    {"CR-only line ends",
     [] {
       std::string s = squareWithFeed("AC1009");
       std::replace(s.begin(), s.end(), '\n', '\r');
       return s;
     }},
    {"square with feed circle (sound)", [] { return squareWithFeed("AC1009"); }},
};

}  // namespace

TEST(Malformed, EveryDrawingEndsWithLogPageAndFiniteProgram) {
  static const std::regex nonFinite("(^|[^A-Za-z])-?(nan|inf)([^A-Za-z]|$)", std::regex::icase);
  int programs = 0;
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    ProgramFolder home;
    WriteFile(home.File("in.dxf"), c.drawing());
    ProcessResult r = RunProcess({home.Binary(), "in.dxf"}, home.Path());
    // Converted, or read with nothing to cut.
    EXPECT_TRUE(r.status == 0 || r.status == 5) << r.output.substr(r.output.size() > 2000 ? r.output.size() - 2000 : 0);
    EXPECT_TRUE(FileExists(home.File("_outlog.txt")));
    EXPECT_TRUE(FileExists(home.File("_results.htm")));
    const std::string nc = ReadFile(home.File("_nwd_out.txt"));   // empty when no program was written
    programs += !nc.empty();
    EXPECT_FALSE(std::regex_search(nc, nonFinite)) << nc;
  }
  EXPECT_GE(programs, 1);  // the sound drawing at least gives a program
}
