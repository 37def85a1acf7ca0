// Whatever a user hands korvex as a drawing, the console program finishes: it
// exits with a status, writes its log and its page, and never writes a
// non-finite number into an NC program. Each case runs in its own program folder.
#include <gtest/gtest.h>

#include <algorithm>
#include <regex>
#include <string>
#include <vector>

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

// Every malformed drawing, by name.
std::vector<std::pair<std::string, std::string>> Drawings() {
  const std::string square = squareWithFeed("AC1009");
  std::string junk, badCodes = square, nuls = square, seqends = square, crOnly = square;
  for (unsigned i = 0, x = 7; i < 20000; ++i) junk += (char)((x = x * 1103515245 + 12345) >> 16);
  for (const char* from : {" 10\n", " 20\n", " 40\n"}) badCodes.replace(badCodes.find(from), 4, "x9\n");
  badCodes.replace(badCodes.find(" 11\n"), 4, "99999999999999999999\n");
  badCodes.replace(badCodes.find(" 21\n"), 4, "-2147483649\n");
  for (size_t at = nuls.find("LINE"); at != std::string::npos; at = nuls.find("LINE", at + 6))
    nuls.insert(at + 2, 1, '\0');
  nuls.replace(nuls.find("DXF_MAIN", nuls.find("ENTITIES")), 8, std::string("DXF\0MAIN", 8));
  for (int i = 0; i < 1000; ++i) seqends.insert(seqends.find("  0\nCIRCLE"), g(0, "SEQEND"));
  std::replace(crOnly.begin(), crOnly.end(), '\n', '\r');
  DxfText layers("AC1015"), full("AC1009");
  for (int i = 0; i < 5000; ++i) layers.Layer("EDMX_L" + std::to_string(i));
  full.Layer("DXF_MAIN");
  for (long i = 0; i < 1100; ++i) {
    double x = (i % 20) * 20, y = (i / 20) * 20.0;
    full.Line("DXF_MAIN", x, y, x + 10, y).Line("DXF_MAIN", x + 10, y, x + 10, y + 10)
        .Line("DXF_MAIN", x + 10, y + 10, x, y).Circle("DXF_MAIN", x + 5, y + 1, 0.4);
  }
  const std::vector<std::pair<double, double>> open = {{0, 0}, {5, 0}, {5, 5}};
  return {
      {"empty file", ""},
      {"binary junk", junk},
      {"no header", squareWithFeed("")},
      {"header only", g(0, "SECTION") + g(2, "HEADER") + g(9, "$ACADVER") + g(1, "AC1009") + g(0, "ENDSEC")},
      {"truncated inside an entity", truncatedAt(square, "CIRCLE")},
      {"truncated inside a polyline",
       truncatedAt(DxfText("AC1009").Layer("DXF_MAIN").Polyline("DXF_MAIN", open).Str(), "VERTEX")},
      {"truncated inside a 2000 polyline",
       truncatedAt(DxfText("AC1015").Layer("DXF_MAIN").Polyline("DXF_MAIN", open).Str(), "AcDbPolyline")},
      {"truncated inside the layer table", truncatedAt(squareWithFeed("AC1015"), "AcDbLayerTableRecord")},
      {"one 10 MB line", g(9, "$ACADVER") + g(1, "AC1009") + std::string(10 << 20, 'L') + "\n" + square},
      {"group codes that are no numbers or huge", badCodes},
      {"non-finite coordinates in 12-format", nonFiniteSquare("AC1009")},
      {"non-finite coordinates in 2000-format", nonFiniteSquare("AC1015")},
      {"NUL bytes inside lines", nuls},
      {"5000 layers", layers.Layer("DXF_MAIN").Line("DXF_MAIN", 0, 0, 1, 1).Str()},
      {"more entities on the main layer than one chunk of the table holds", full.Str()},
      {"a thousand SEQEND lines", seqends},
      {"CR-only line ends", crOnly},
      {"square with feed circle (sound)", square},
  };
}

}  // namespace

TEST(Malformed, EveryDrawingEndsWithLogPageAndFiniteProgram) {
  static const std::regex nonFinite("(^|[^A-Za-z])-?(nan|inf)([^A-Za-z]|$)", std::regex::icase);
  int programs = 0;
  for (const auto& [name, drawing] : Drawings()) {
    SCOPED_TRACE(name);
    ProgramFolder home;
    WriteFile(home.File("in.dxf"), drawing);
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
