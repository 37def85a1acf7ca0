// Real drawings end to end: the examples and every drawing of the shared corpus
// are converted by the console program with the shipped device files; each run
// must finish, write log and page, and every NC program must pass the checker.
// The contours (outlines), holes among them and open chains of each drawing are
// kept in corpus_expectations.tsv, with the reason where a drawing yields
// nothing, so that a change in behaviour shows.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <regex>
#include <sstream>

#include "config/config.h"
#include "geometry/base.h"
#include "support/nc_check.h"
#include "support/support.h"

namespace fs = std::filesystem;

namespace {

// The device record the shipped MAK_EE3.SYN gives, for the checker.
devSyntax shippedDevice() {
  FreshCore();
  KxCopy(homepath, sizeof homepath, (SourceDir() + "/").c_str());
  ConsoleCapture quiet;
  SetDevSyntax("MAK_EE3.SYN");
  return mS;
}

// The most used layer of each corpus drawing, from the first name of the
// "Layers (top)" column of SOURCES.md.
std::map<std::string, std::string> mainLayers(const std::string& corpus) {
  std::map<std::string, std::string> layers;
  std::ifstream f(corpus + "/SOURCES.md");
  static const std::regex row(R"(^\| *[0-9]+ *\| *([^ |]+\.dxf) *\|.*\| *`([^`]*)` *[0-9]+[^|]*\|\s*$)");
  for (std::string line; std::getline(f, line);) {
    std::smatch m;
    if (std::regex_match(line, m, row)) layers[m[1]] = m[2];
  }
  return layers;
}

struct Counts {
  int outlines = -1, holes = -1, open = -1;
  bool operator==(const Counts& o) const { return outlines == o.outlines && holes == o.holes && open == o.open; }
};

struct Expectation {
  Counts counts;
  std::string autoHoles;   // with AutoStartHoles 1: "placed/too small/crowded/crossing itself"
  std::string reason;
};

std::map<std::string, Expectation> expectations() {
  std::map<std::string, Expectation> out;
  std::ifstream f(SourceDir() + "/tests/corpus_expectations.tsv");
  for (std::string line; std::getline(f, line);) {
    if (line.empty() || line[0] == '#') continue;
    std::stringstream ss(line);
    std::string name, outlines, holes, open, autoHoles, reason;
    std::getline(ss, name, '\t');
    std::getline(ss, outlines, '\t');
    std::getline(ss, holes, '\t');
    std::getline(ss, open, '\t');
    std::getline(ss, autoHoles, '\t');
    std::getline(ss, reason);
    out[name] = {{atoi(outlines.c_str()), atoi(holes.c_str()), atoi(open.c_str())}, autoHoles, reason};
  }
  return out;
}

struct RunResult {
  int status = -1;
  Counts counts;
  std::string program;
  std::string output;
  std::string page;
  bool logAndPage = false;
};

RunResult convert(const std::string& drawing, const std::string& layer, const std::string& settings = "") {
  ProgramFolder home;
  fs::copy(SourceDir() + "/devices", home.File("devices"), fs::copy_options::recursive);
  WriteFile(home.File("korvex.ini"), "LayerName: '" + layer + "'\nAddDataInfo: 1\nOpenDataFile: 0\n" + settings);
  fs::copy_file(drawing, home.File("in.dxf"));
  RunResult r;
  ProcessResult p = RunProcess({home.Binary(), "in.dxf"}, home.Path());
  r.status = p.status;
  r.output = p.output;
  std::smatch m;
  static const std::regex outlines("= ([0-9]+) OUTLINES");
  if (std::regex_search(p.output, m, outlines)) r.counts.outlines = std::stoi(m[1]);
  r.logAndPage = FileExists(home.File("_outlog.txt")) && FileExists(home.File("_results.htm"));
  r.page = ReadFile(home.File("_results.htm"));
  static const std::regex holes(", with ([0-9]+) HOLES");
  static const std::regex open("OOPS - ([0-9]+) offene Kontur");
  if (std::regex_search(r.page, m, holes)) r.counts.holes = std::stoi(m[1]);
  r.counts.open = std::regex_search(r.page, m, open) ? std::stoi(m[1]) : 0;
  for (const auto& e : fs::directory_iterator(home.Path()))
    if (e.path().filename().string().rfind("_nwd_out", 0) == 0) r.program = ReadFile(e.path().string());
  return r;
}

}  // namespace

TEST(Corpus, ExamplesConvertIntoSoundPrograms) {
  const devSyntax dev = shippedDevice();
  for (const char* name : {"die_plate.dxf", "bracket_2000.dxf"}) {
    SCOPED_TRACE(name);
    RunResult r = convert(SourceDir() + "/examples/" + name, "DXF_MAIN");
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(r.logAndPage);
    ASSERT_FALSE(r.program.empty());
    NcCheck c = CheckNcProgram(r.program, dev);
    EXPECT_TRUE(c.Ok()) << c.Report();
    EXPECT_GT(c.closedCuts, 0);
    EXPECT_GT(c.sideChecks, 2);
  }
}

TEST(Corpus, EveryDrawingConvertsAndEveryProgramIsSound) {
  const std::string corpus = CorpusDir();
  if (corpus.empty()) GTEST_SKIP() << "corpus not found at ../shared/corpus/dxf";
  const devSyntax dev = shippedDevice();
  const auto layers = mainLayers(corpus);
  const auto expected = expectations();
  ASSERT_GE(layers.size(), 30u) << "SOURCES.md table not understood";
  std::string table;  // the actual table, printed when it differs
  bool differs = false;
  for (const auto& [name, layer] : layers) {
    SCOPED_TRACE(name + " on layer " + layer);
    RunResult r = convert(corpus + "/" + name, layer);
    // Nothing to cut is status 5, and certainly so without any contour.
    EXPECT_TRUE(r.status == 0 || r.status == 5) << r.status;
    EXPECT_TRUE(r.counts.outlines != 0 || r.status == 5);
    EXPECT_TRUE(r.logAndPage);
    if (!r.program.empty()) {
      NcCheck c = CheckNcProgram(r.program, dev);
      EXPECT_TRUE(c.Ok()) << c.Report();
    }
    auto e = expected.find(name);
    std::string reason = e != expected.end() ? e->second.reason : "";
    const std::string autoHoles = e != expected.end() ? e->second.autoHoles : "";
    table += name + "\t" + std::to_string(r.counts.outlines) + "\t" + std::to_string(r.counts.holes) + "\t" +
             std::to_string(r.counts.open) + "\t" + autoHoles + "\t" + reason + "\n";
    if (e == expected.end() || !(e->second.counts == r.counts)) differs = true;
  }
  EXPECT_FALSE(differs) << "counts differ from tests/corpus_expectations.tsv; now:\n" << table;
}

// With start holes placed by korvex every closed contour is cut unless it is too
// small, too crowded or crosses itself; each program stays sound, with every
// placed hole on the drill list. How many holes each drawing gets, and why the
// others get none, is kept in corpus_expectations.tsv.
TEST(Corpus, WithAutoStartHolesEveryProgramIsSound) {
  const std::string corpus = CorpusDir();
  if (corpus.empty()) GTEST_SKIP() << "corpus not found at ../shared/corpus/dxf";
  const devSyntax dev = shippedDevice();
  const auto expected = expectations();
  std::map<std::string, std::string> drawings;
  for (const auto& [name, layer] : mainLayers(corpus)) drawings[corpus + "/" + name] = layer;
  for (const char* name : {"die_plate.dxf", "bracket_2000.dxf"}) drawings[SourceDir() + "/examples/" + name] = "DXF_MAIN";
  static const std::regex placed(R"(\(AUTO START HOLE X(-?[0-9.]+) Y(-?[0-9.]+)\);)");
  static const std::regex refused(R"(NO PLACE FOR A START HOLE (\$K[0-9]+): ([^\n]*))");
  std::string table;
  bool differs = false;
  for (const auto& [drawing, layer] : drawings) {
    const std::string name = fs::path(drawing).filename().string();
    SCOPED_TRACE(name + " on layer " + layer);
    RunResult r = convert(drawing, layer, "AutoStartHoles: 1\n");
    EXPECT_TRUE(r.status == 0 || r.status == 5) << r.status;
    int holes = 0, small = 0, crowded = 0, crossing = 0;
    if (!r.program.empty()) {
      NcCheck c = CheckNcProgram(r.program, dev);
      EXPECT_TRUE(c.Ok()) << c.Report();
    }
    for (std::sregex_iterator m(r.program.begin(), r.program.end(), placed), end; m != end; ++m, ++holes) {
      char row[64];
      snprintf(row, sizeof row, "%8.3f | %8.3f |", atof((*m)[1].str().c_str()), atof((*m)[2].str().c_str()));
      EXPECT_NE(r.page.find(row), std::string::npos) << "drill list lacks " << row;
    }
    for (std::sregex_iterator m(r.output.begin(), r.output.end(), refused), end; m != end; ++m) {
      const std::string why = (*m)[2].str();
      if (why.rfind("too small", 0) == 0) ++small;
      else if (why.rfind("crowded", 0) == 0) ++crowded;
      else if (why.rfind("outline crosses itself", 0) == 0) ++crossing;
      else ADD_FAILURE() << "unknown reason: " << why;
    }
    const std::string got = std::to_string(holes) + "/" + std::to_string(small) + "/" + std::to_string(crowded) +
                            "/" + std::to_string(crossing);
    table += name + "\t" + got + "\n";
    auto e = expected.find(name);
    if (e != expected.end() && e->second.autoHoles != got) differs = true;
  }
  EXPECT_FALSE(differs) << "start holes differ from tests/corpus_expectations.tsv; now:\n" << table;
}
