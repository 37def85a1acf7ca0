// Real drawings end to end: the examples and every drawing of the shared corpus
// are converted by the console program with the shipped device files; each run
// must give a program the checker accepts, the contour counts kept in
// corpus_expectations.tsv, and a page picture whose paths are the program's moves.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <list>
#include <map>
#include <regex>
#include <sstream>

#include "dxf/dxf.h"
#include "elements/elements.h"
#include "support/dxf_passes.h"
#include "support/dxf_text.h"
#include "support/nc_check.h"
#include "support/runs.h"
#include "support/support.h"
#include "run/run.h"

namespace {

struct Node {
  std::string tag;
  std::map<std::string, std::string> attrs;
  std::list<Node> kids;
  std::string Attr(const std::string& key) const { return attrs.count(key) ? attrs.at(key) : ""; }
};
using Elements = std::vector<std::pair<const Node*, bool>>;   // each with whether it lies in a "notcut" group

// Reads the picture's elements: every tag closed in order, attributes quoted once
// each, no "<" outside a tag or comment; text content is skipped.
bool parseXml(const std::string& s, Node* root, Elements* all, std::string* error) {
  // A comment, or a tag: end mark, name, attributes, empty-element mark.
  static const std::regex tag(R"x(<!--[^]*?-->|<(/?)([A-Za-z][-\w:.]*))x"
                              R"x(((?:\s+[-\w:.]+\s*=\s*(?:"[^"<]*"|'[^'<]*'))*)\s*(/?)>)x");
  static const std::regex attr(R"x(([-\w:.]+)\s*=\s*(?:"([^"]*)"|'([^']*)'))x");
  std::vector<std::pair<Node*, bool>> open{{root, false}};
  size_t at = 0;
  for (std::sregex_iterator m(s.begin(), s.end(), tag), end; m != end; at = m->position() + m->length(), ++m) {
    *error = "at " + std::to_string(m->position()) + ": ";
    if (s.find('<', at) < (size_t)m->position()) return *error += "not a tag", false;
    if ((*m)[2].length() == 0) continue;   // a comment
    if ((*m)[1] == "/") {
      if (open.size() < 2 || open.back().first->tag != (*m)[2])
        return *error += "</" + (*m)[2].str() + "> out of order", false;
      open.pop_back();
      continue;
    }
    Node& n = open.back().first->kids.emplace_back();
    n.tag = (*m)[2];
    const std::string a = (*m)[3];
    for (std::sregex_iterator k(a.begin(), a.end(), attr); k != end; ++k)
      if (!n.attrs.emplace((*k)[1], (*k)[2].matched ? (*k)[2] : (*k)[3]).second)
        return *error += "attribute twice", false;
    all->push_back({&n, open.back().second || n.Attr("class") == "notcut"});
    if ((*m)[4] != "/") open.push_back({&n, all->back().second});
  }
  *error = open.size() == 1 ? "" : "<" + open.back().first->tag + "> not closed";
  return open.size() == 1 && s.find('<', at) == std::string::npos;
}

// Every element of the page's picture.
Elements pictureElements(const std::string& html, Node* svg) {
  size_t a = html.find("<svg"), b = html.find("</svg>");
  EXPECT_LT(a, b) << "no picture";
  Elements out;
  std::string error;
  if (a < b && b != std::string::npos) {
    EXPECT_TRUE(parseXml(html.substr(a, b + 6 - a), svg, &out, &error)) << error;
  }
  return out;
}

// A path's commands: letter and numbers.
std::vector<std::pair<char, std::vector<double>>> pathData(const std::string& d) {
  std::vector<std::pair<char, std::vector<double>>> out;
  std::stringstream ss(d);
  for (std::string t; ss >> t;) {
    if (isalpha((unsigned char)t[0])) out.push_back({t[0], {}});
    else if (!out.empty()) out.back().second.push_back(std::stod(t));
  }
  return out;
}

// Every called block that cuts has one path whose commands are the program's moves
// (as the checker read them); returns how many such paths there are.
int checkPaths(const NcCheck& program, const std::string& html) {
  Node svg;
  std::map<std::string, const Node*> paths;
  for (const auto& [n, notcut] : pictureElements(html, &svg))
    if (n->tag == "path" && n->attrs.count("data-block")) paths[n->Attr("data-block")] = n;
  int checked = 0;
  for (int block : program.called) {
    auto l = program.cuts.find(block);
    if (l == program.cuts.end()) continue;
    SCOPED_TRACE("N" + std::to_string(block));
    auto it = paths.find("N" + std::to_string(block));
    if (it == paths.end()) {
      ADD_FAILURE() << "no path for a called block that cuts";
      continue;
    }
    ++checked;
    const auto d = pathData(it->second->Attr("d"));
    const std::vector<NcMove>& moves = l->second.moves;
    if (d.empty() || d[0].first != 'M' || d[0].second.size() != 2) {
      ADD_FAILURE() << "path does not start with a move";
      continue;
    }
    EXPECT_NEAR(d[0].second[0], moves[0].x0, 0.001);
    EXPECT_NEAR(d[0].second[1], moves[0].y0, 0.001);
    size_t c = 1;
    for (const NcMove& m : moves) {
      // A full circle is drawn as two halves.
      bool full = m.g >= 2 && std::fabs(m.x0 - m.x1) < 1e-4 && std::fabs(m.y0 - m.y1) < 1e-4;
      if (c + full >= d.size() || d[c + full].second.size() < 2) {
        ADD_FAILURE() << "path shorter than the program";
        break;
      }
      const auto& [k, v] = d[c + full];
      c += full ? 2 : 1;
      EXPECT_NEAR(v[v.size() - 2], m.x1, 0.001);
      EXPECT_NEAR(v.back(), m.y1, 0.001);
      EXPECT_EQ(k, m.g < 2 ? 'L' : 'A');
      if (m.g < 2 || k != 'A' || v.size() != 7) continue;
      // Radius, sweep and large-arc flag pin the centre down to the program's I/J.
      double r = std::hypot(m.x0 - m.cx, m.y0 - m.cy);
      EXPECT_NEAR(v[0], r, 0.001);
      EXPECT_NEAR(std::hypot(m.x1 - m.cx, m.y1 - m.cy), v[0], 0.002);
      EXPECT_EQ(v[4], m.g == 3 ? 1.0 : 0.0);
      double a0 = std::atan2(m.y0 - m.cy, m.x0 - m.cx), a1 = std::atan2(m.y1 - m.cy, m.x1 - m.cx);
      double sweep = m.g == 3 ? a1 - a0 : a0 - a1;
      while (sweep <= 0) sweep += 2 * M_PI;
      // A half circle may take either flag.
      EXPECT_TRUE(full || std::fabs(sweep - M_PI) < 1e-3 || v[3] == (sweep > M_PI ? 1.0 : 0.0));
    }
    EXPECT_EQ(c, d.size()) << "path longer than the program";
  }
  return checked;
}

// corpus_expectations.tsv: outlines, holes, open chains and, with AutoStartHoles 1,
// "placed/too small/crowded/crossing itself/open" per drawing.
struct Expectation {
  int outlines = -1, holes = -1, open = -1;
  int placed = -1, small = -1, crowded = -1, crossing = -1, openChains = -1;
};

std::map<std::string, Expectation> expectations() {
  std::map<std::string, Expectation> out;
  std::ifstream f(SourceDir() + "/tests/corpus_expectations.tsv");
  for (std::string line, name; std::getline(f, line);) {
    std::istringstream row(line);
    if (line.empty() || line[0] == '#' || !(row >> name)) continue;
    Expectation& e = out[name];
    std::string autoHoles;
    row >> e.outlines >> e.holes >> e.open >> autoHoles;
    sscanf(autoHoles.c_str(), "%d/%d/%d/%d/%d", &e.placed, &e.small, &e.crowded, &e.crossing, &e.openChains);
  }
  return out;
}

int captured(const std::string& text, const std::regex& re, int none) {
  std::smatch m;
  return std::regex_search(text, m, re) ? std::stoi(m[1]) : none;
}

// Without the corpus beside the project only the examples are converted (the tests then say they skipped).
std::vector<CorpusDrawing> examplesAndCorpus() {
  std::vector<CorpusDrawing> all = CorpusDrawings();
  if (!CorpusDir().empty()) {
    EXPECT_GE(all.size(), 30u) << "SOURCES.md table of the corpus not understood";
  }
  for (const char* name : {"die_plate.dxf", "bracket_2000.dxf"})
    all.push_back({name, SourceDir() + "/examples/" + name, "DXF_MAIN", 0});
  return all;
}

bool isExample(const CorpusDrawing& d) { return d.path.find("/examples/") != std::string::npos; }

}  // namespace

// Per drawing: the version the reader finds, the run, the program, the counts and the
// picture (the die plate's program is the one kept beside it), and a run with
// AutoStartHoles.
TEST(Corpus, EveryDrawingConvertsIntoASoundProgramAndItsPicture) {
  const devSyntax dev = ShippedDevice();
  const auto expected = expectations();
  static const std::regex outlines("= ([0-9]+) OUTLINES"), holes(", with ([0-9]+) HOLES"),
      open("OOPS - ([0-9]+) offene Kontur"), placed(R"(\(AUTO START HOLE X(-?[0-9.]+) Y(-?[0-9.]+)\);)");
  int withPaths = 0;
  for (const CorpusDrawing& d : examplesAndCorpus()) {
    SCOPED_TRACE(d.name + " on layer " + d.layer);
    if (!isExample(d)) {
      FreshCore();
      ConsoleCapture quiet;
      EXPECT_TRUE(RunDxfPasses(d.path));
      EXPECT_EQ(TestRun().dxf.acad_IntVers, d.version);
      EXPECT_EQ(TestRun().table.maxElemBarrier, 0);
    }
    const bool diePlate = d.name == "die_plate.dxf";
    // Every run also checks its own program against the drawing (korvex --check's checker).
    Conversion r = ConvertFile(d.path, d.layer, std::string(diePlate ? "AddDataInfo: 0\n" : "") + "CheckProgram: 1\n");
    if (diePlate) {
      EXPECT_EQ(r.program, ReadFile(SourceDir() + "/examples/die_plate.NC"));
    }
    // Nothing to cut is status 5, and certainly so without any contour.
    EXPECT_TRUE(r.status == 0 || r.status == 5) << r.status;
    EXPECT_TRUE(captured(r.output, outlines, 0) != 0 || r.status == 5);
    EXPECT_FALSE(r.log.empty());
    NcCheck c = CheckNcProgram(r.program, dev);
    EXPECT_TRUE(r.program.empty() || c.Ok()) << c.Report();
    EXPECT_TRUE(r.program.empty() || r.output.find(", program checked: 0 faults") != std::string::npos) << r.output;
    if (isExample(d)) {
      EXPECT_TRUE(c.Ok()) << c.Report();
      EXPECT_GT(c.closedCuts, 0);
      EXPECT_GT(c.sideChecks, 2);
    }
    // The page's own text comes before the picture, its end line after it.
    EXPECT_LT(r.page.find(" Version: "), r.page.find("<figure"));
    EXPECT_EQ(r.page.substr(r.page.size() - std::min<size_t>(28, r.page.size())), "</pre></font></body></html>\n");
    withPaths += checkPaths(c, r.page) > 0;

    // With start holes placed by korvex every closed contour is cut unless it is too
    // small, too crowded or crosses itself, with every placed hole on the drill list.
    Conversion a = ConvertFile(d.path, d.layer, "AutoStartHoles: 1\nCheckProgram: 1\n");
    EXPECT_TRUE(a.status == 0 || a.status == 5) << a.status;
    EXPECT_TRUE(a.program.empty() || a.output.find(", program checked: 0 faults") != std::string::npos) << a.output;
    NcCheck ac = CheckNcProgram(a.program, dev);
    EXPECT_TRUE(a.program.empty() || ac.Ok()) << ac.Report();
    size_t placedHoles = 0;
    for (std::sregex_iterator m(a.program.begin(), a.program.end(), placed), end; m != end; ++m, ++placedHoles) {
      char row[64];
      snprintf(row, sizeof row, "%8.3f | %8.3f |", atof((*m)[1].str().c_str()), atof((*m)[2].str().c_str()));
      EXPECT_NE(a.page.find(row), std::string::npos) << "drill list lacks " << row;
    }
    const size_t small = CountOf(a.output, ": too small"), crowded = CountOf(a.output, ": crowded"),
                 crossing = CountOf(a.output, ": outline crosses itself"), openChains = CountOf(a.output, ": open: ");
    EXPECT_EQ(CountOf(a.output, "NO PLACE FOR A START HOLE $K"), small + crowded + crossing + openChains)
        << "a reason not known";
    if (isExample(d)) continue;
    ASSERT_TRUE(expected.count(d.name)) << "missing from tests/corpus_expectations.tsv";
    const Expectation& e = expected.at(d.name);
    EXPECT_EQ(captured(r.output, outlines, -1), e.outlines);
    EXPECT_EQ(captured(r.page, holes, -1), e.holes);
    EXPECT_EQ(captured(r.page, open, 0), e.open);
    EXPECT_EQ(placedHoles, (size_t)e.placed);
    EXPECT_EQ(small, (size_t)e.small);
    EXPECT_EQ(crowded, (size_t)e.crowded);
    EXPECT_EQ(crossing, (size_t)e.crossing);
    EXPECT_EQ(openChains, (size_t)e.openChains);
  }
  if (CorpusDir().empty()) GTEST_SKIP() << "corpus not found at ../shared/corpus/dxf: only the examples were converted";
  EXPECT_GE(withPaths, 10);
}

// What was not cut is drawn in the warning layer, inside the "notcut" group,
// each group titled, with the reasons on the page.
TEST(Corpus, UncutContoursOrphansAndShortLinesAreInTheWarningLayer) {
  DxfText d;
  d.Layer("DXF_MAIN");
  for (double x : {0, 50}) {
    d.Line("DXF_MAIN", x, 0, x + 20, 0).Line("DXF_MAIN", x + 20, 0, x + 20, 20);
    d.Line("DXF_MAIN", x + 20, 20, x, 20).Line("DXF_MAIN", x, 20, x, 0);
  }
  d.Circle("DXF_MAIN", 3, 10, 1);   // start hole of the first square only
  // A U of three lines with its start hole, two joined lines, one line too short to keep.
  d.Line("DXF_MAIN", 100, 20, 100, 0).Line("DXF_MAIN", 100, 0, 120, 0).Line("DXF_MAIN", 120, 0, 120, 20);
  d.Circle("DXF_MAIN", 103, 10, 1);
  d.Line("DXF_MAIN", 200, 0, 210, 0).Line("DXF_MAIN", 210, 0, 210, 10);
  d.Line("DXF_MAIN", 300, 0, 300.001, 0);
  Conversion r = ConvertText(d.Str());
  Node svg;
  std::string titles, drawn;
  int cut = 0;
  for (const auto& [n, notcut] : pictureElements(r.page, &svg)) {
    cut += n->tag == "path" && n->attrs.count("data-block");
    if (n->tag != "g" || n->Attr("class") != "warn") continue;
    EXPECT_TRUE(notcut);
    EXPECT_EQ(n->kids.empty() ? "" : n->kids.front().tag, "title");
    titles += (n->attrs.count("data-contour") ? n->Attr("data-contour") : "-") + ";";
    int paths = 0, ends = 0;
    for (const Node& k : n->kids) paths += k.tag == "path", ends += k.tag == "circle";
    drawn += std::to_string(paths) + "/" + std::to_string(ends) + ";";
  }
  EXPECT_EQ(cut, 2);   // the square with its start hole and the open U
  EXPECT_EQ(titles, "$K02;$K03;-;-;-;") << "the square without hole, the open U, two orphans, one short line";
  EXPECT_EQ(drawn.substr(0, 8), "4/0;3/2;") << "four sides; three lines and two loose ends";
  for (const char* want : {"no start hole", "<li>1 contour without start hole (not cut)</li>",
                           "open contour: its ends do not meet", "orphan: too few elements", "short line removed",
                           "<li>2 orphan elements (not part of any contour)</li>", "<li>1 short line removed</li>"})
    EXPECT_NE(r.page.find(want), std::string::npos) << want;
  // Counted by the writer, or else named from the drawing's loose ends.
  EXPECT_TRUE(r.page.find("<li>1 open contour</li>") != std::string::npos ||
              r.page.find("<li>1 contour whose drawn ends do not meet (red in the picture)</li>") != std::string::npos);
}
