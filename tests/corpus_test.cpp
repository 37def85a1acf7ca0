// Real drawings end to end: the examples and every drawing of the shared corpus
// are converted once by the console program with the shipped device files; that
// one run must finish, write log and page, give a program the checker accepts,
// the contour counts kept in corpus_expectations.tsv, and a page picture whose
// paths are the program's moves. The picture's warning layer is checked on
// small drawings below.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
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

namespace fs = std::filesystem;

namespace {

struct Node {
  std::string tag;
  std::map<std::string, std::string> attrs;
  std::vector<Node> kids;
};

// Reads well-formed XML elements (no DTD, no CDATA); text content is skipped.
class Xml {
 public:
  explicit Xml(const std::string& s) : s_(s) {}
  bool Parse(Node* root) { return content(root) && pos_ == s_.size(); }
  std::string error;

 private:
  bool fail(const std::string& why) {
    error = why + " at " + std::to_string(pos_);
    return false;
  }
  void ws() {
    while (pos_ < s_.size() && isspace((unsigned char)s_[pos_])) ++pos_;
  }
  bool at(const char* s) const { return s_.compare(pos_, strlen(s), s) == 0; }
  bool content(Node* n) {
    while (pos_ < s_.size() && !at("</")) {
      if (s_[pos_] != '<') {
        ++pos_;
      } else if (at("<!--")) {
        size_t e = s_.find("-->", pos_);
        if (e == std::string::npos) return fail("open comment");
        pos_ = e + 3;
      } else {
        n->kids.emplace_back();
        if (!element(&n->kids.back())) return false;
      }
    }
    return true;
  }
  bool name(std::string* out) {
    size_t b = pos_;
    while (pos_ < s_.size() && (isalnum((unsigned char)s_[pos_]) || strchr("-_:.", s_[pos_]))) ++pos_;
    *out = s_.substr(b, pos_ - b);
    return !out->empty();
  }
  bool element(Node* n) {
    ++pos_;
    if (!name(&n->tag)) return fail("element without name");
    for (ws(); !at(">"); ws()) {
      if (at("/>")) return pos_ += 2, true;
      std::string key;
      if (!name(&key)) return fail("bad attribute in <" + n->tag + ">");
      ws();
      if (!at("=")) return fail("attribute without value");
      ++pos_;
      ws();
      char q = pos_ < s_.size() ? s_[pos_] : 0;
      size_t e = s_.find(q, pos_ + 1);
      if ((q != '\'' && q != '"') || e == std::string::npos) return fail("badly quoted attribute");
      if (n->attrs.count(key)) return fail("attribute twice");
      n->attrs[key] = s_.substr(pos_ + 1, e - pos_ - 1);
      if (n->attrs[key].find('<') != std::string::npos) return fail("< in attribute");
      pos_ = e + 1;
    }
    ++pos_;
    if (!content(n)) return false;
    std::string end;
    pos_ += 2;
    if (!name(&end) || end != n->tag) return fail("</" + end + "> closes <" + n->tag + ">");
    ws();
    if (!at(">")) return fail("bad end tag");
    ++pos_;
    return true;
  }
  const std::string& s_;
  size_t pos_ = 0;
};

// Every element below n, with whether it lies inside a group of class "notcut".
void collect(const Node& n, std::vector<std::pair<const Node*, bool>>* out, bool notcut = false) {
  for (const Node& k : n.kids) {
    bool in = notcut || (k.attrs.count("class") && k.attrs.at("class") == "notcut");
    out->push_back({&k, in});
    collect(k, out, in);
  }
}

Node picture(const std::string& html) {
  Node svg;
  size_t a = html.find("<svg"), b = html.find("</svg>");
  EXPECT_NE(b, std::string::npos);
  if (a == std::string::npos || b == std::string::npos) return svg;
  const std::string text = html.substr(a, b + 6 - a);
  Xml x(text);
  EXPECT_TRUE(x.Parse(&svg)) << x.error;
  return svg;
}

struct Move {
  int g;
  double x0, y0, x1, y1, cx, cy;
};

double num(const std::string& line, char a) {
  static const std::regex w("(^|[^A-Za-z])([XYIJ])(-?[0-9.]+)");
  for (std::sregex_iterator it(line.begin(), line.end(), w), e; it != e; ++it)
    if ((*it)[2].str()[0] == a) return std::stod((*it)[3]);
  return NAN;
}

// Per block that cuts: the moves between lead-in and lead-out, from the program text.
std::map<int, std::vector<Move>> programLoops(const std::string& program, std::vector<int>* called) {
  std::map<int, std::vector<Move>> out;
  std::stringstream ss(program);
  int block = -1;
  bool cutting = false;
  std::vector<Move> cur;
  double px = 0, py = 0;
  static const std::regex call("M98P([0-9]+)"), move("^G0([0-3])[ XY]");
  for (std::string l; std::getline(ss, l);) {
    for (std::sregex_iterator it(l.begin(), l.end(), call), e; it != e; ++it) called->push_back(std::stoi((*it)[1]));
    std::smatch m;
    if (l.size() > 1 && l[0] == 'N' && isdigit((unsigned char)l[1])) {
      block = std::stoi(l.substr(1));
    } else if (l.rfind("G90G4", 0) == 0) {
      cutting = true;
      cur.clear();
    } else if (l.rfind("G40", 0) == 0 && cutting) {
      cutting = false;
      if (cur.size() >= 3 && !out.count(block)) out[block] = std::vector<Move>(cur.begin() + 1, cur.end() - 1);
    } else if (l.rfind("G92", 0) == 0) {
      px = num(l, 'X');
      py = num(l, 'Y');
    } else if (std::regex_search(l, m, move)) {
      Move mv{std::stoi(m[1]), px, py, num(l, 'X'), num(l, 'Y'), 0, 0};
      if (mv.g >= 2) mv.cx = px + num(l, 'I'), mv.cy = py + num(l, 'J');
      px = mv.x1;
      py = mv.y1;
      if (cutting) cur.push_back(mv);
    }
  }
  return out;
}

struct Cmd {
  char c;
  std::vector<double> v;
};

std::vector<Cmd> pathData(const std::string& d) {
  std::vector<Cmd> out;
  std::stringstream ss(d);
  for (std::string t; ss >> t;) {
    if (isalpha((unsigned char)t[0])) out.push_back({t[0], {}});
    else if (!out.empty()) out.back().v.push_back(std::stod(t));
  }
  return out;
}

// Every called block that cuts has one path whose commands are the program's moves;
// returns how many such paths there are.
int checkPaths(const std::string& program, const std::string& html) {
  const Node svg = picture(html);
  std::vector<int> called;
  auto loops = programLoops(program, &called);
  std::vector<std::pair<const Node*, bool>> all;
  collect(svg, &all);
  std::map<std::string, const Node*> paths;
  for (const auto& [n, notcut] : all)
    if (n->tag == "path" && n->attrs.count("data-block")) paths[n->attrs.at("data-block")] = n;
  int checked = 0;
  for (int block : called) {
    auto l = loops.find(block);
    if (l == loops.end()) continue;
    SCOPED_TRACE("N" + std::to_string(block));
    auto it = paths.find("N" + std::to_string(block));
    if (it == paths.end()) {
      ADD_FAILURE() << "no path for a called block that cuts";
      continue;
    }
    ++checked;
    std::vector<Cmd> d = pathData(it->second->attrs.at("d"));
    const std::vector<Move>& moves = l->second;
    if (d.empty() || d[0].c != 'M' || d[0].v.size() != 2) {
      ADD_FAILURE() << "path does not start with a move";
      continue;
    }
    EXPECT_NEAR(d[0].v[0], moves[0].x0, 0.001);
    EXPECT_NEAR(d[0].v[1], moves[0].y0, 0.001);
    size_t c = 1;
    for (const Move& m : moves) {
      bool full = m.g >= 2 && std::fabs(m.x0 - m.x1) < 1e-4 && std::fabs(m.y0 - m.y1) < 1e-4;
      if (c + full >= d.size() || d[c + full].v.size() < 2) {
        ADD_FAILURE() << "path shorter than the program";
        break;
      }
      const Cmd& k = d[c + full];
      c += full ? 2 : 1;
      EXPECT_NEAR(k.v[k.v.size() - 2], m.x1, 0.001);
      EXPECT_NEAR(k.v.back(), m.y1, 0.001);
      EXPECT_EQ(k.c, m.g < 2 ? 'L' : 'A');
      if (m.g < 2 || k.c != 'A' || k.v.size() != 7) continue;
      // Radius, sweep and large-arc flag pin the centre down to the program's I/J.
      double r = std::hypot(m.x0 - m.cx, m.y0 - m.cy);
      EXPECT_NEAR(k.v[0], r, 0.001);
      EXPECT_NEAR(std::hypot(m.x1 - m.cx, m.y1 - m.cy), k.v[0], 0.002);
      EXPECT_EQ(k.v[4], m.g == 3 ? 1.0 : 0.0);
      double a0 = std::atan2(m.y0 - m.cy, m.x0 - m.cx), a1 = std::atan2(m.y1 - m.cy, m.x1 - m.cx);
      double sweep = m.g == 3 ? a1 - a0 : a0 - a1;
      while (sweep <= 0) sweep += 2 * M_PI;
      // A half circle may take either flag.
      EXPECT_TRUE(full || std::fabs(sweep - M_PI) < 1e-3 || k.v[3] == (sweep > M_PI ? 1.0 : 0.0));
    }
    EXPECT_EQ(c, d.size()) << "path longer than the program";
  }
  return checked;
}

struct Expectation {
  int outlines = -1, holes = -1, open = -1;
  std::string autoHoles;   // with AutoStartHoles 1: "placed/too small/crowded/crossing itself"
};

std::map<std::string, Expectation> expectations() {
  std::map<std::string, Expectation> out;
  std::ifstream f(SourceDir() + "/tests/corpus_expectations.tsv");
  for (std::string line; std::getline(f, line);) {
    if (line.empty() || line[0] == '#') continue;
    std::stringstream ss(line);
    std::string name, outlines, holes, open, autoHoles;
    std::getline(ss, name, '\t');
    std::getline(ss, outlines, '\t');
    std::getline(ss, holes, '\t');
    std::getline(ss, open, '\t');
    std::getline(ss, autoHoles, '\t');
    out[name] = {atoi(outlines.c_str()), atoi(holes.c_str()), atoi(open.c_str()), autoHoles};
  }
  return out;
}

int captured(const std::string& text, const std::regex& re, int none) {
  std::smatch m;
  return std::regex_search(text, m, re) ? std::stoi(m[1]) : none;
}

std::vector<CorpusDrawing> examplesAndCorpus() {
  std::vector<CorpusDrawing> all = CorpusDrawings();
  // Without the corpus beside the project only the examples are converted (the test then says it skipped).
  if (!CorpusDir().empty()) {
    EXPECT_GE(all.size(), 30u) << "SOURCES.md table of the corpus not understood";
  }
  for (const char* name : {"die_plate.dxf", "bracket_2000.dxf"})
    all.push_back({name, SourceDir() + "/examples/" + name, "DXF_MAIN", 0});
  return all;
}

}  // namespace

// One run per drawing: the version the reader finds, the run, the program, the
// counts and the picture.
TEST(Corpus, EveryDrawingConvertsIntoASoundProgramAndItsPicture) {
  const devSyntax dev = ShippedDevice();
  const auto expected = expectations();
  static const std::regex outlines("= ([0-9]+) OUTLINES"), holes(", with ([0-9]+) HOLES"),
      open("OOPS - ([0-9]+) offene Kontur");
  int withPaths = 0;
  for (const CorpusDrawing& d : examplesAndCorpus()) {
    SCOPED_TRACE(d.name + " on layer " + d.layer);
    const bool example = d.path.find("/examples/") != std::string::npos;
    if (!example) {
      FreshCore();
      ConsoleCapture quiet;
      EXPECT_TRUE(RunDxfPasses(d.path));
      EXPECT_EQ(acad_IntVers, d.version);
      EXPECT_LE(eldsCounter, kMaxElements);
    }
    Conversion r = ConvertFile(d.path, d.layer);
    // Nothing to cut is status 5, and certainly so without any contour.
    EXPECT_TRUE(r.status == 0 || r.status == 5) << r.status;
    EXPECT_TRUE(captured(r.output, outlines, 0) != 0 || r.status == 5);
    EXPECT_FALSE(r.log.empty());
    NcCheck c = CheckNcProgram(r.program, dev);
    EXPECT_TRUE(r.program.empty() || c.Ok()) << c.Report();
    EXPECT_TRUE(!example || (c.Ok() && c.closedCuts > 0 && c.sideChecks > 2)) << c.Report();
    // The page's own text comes before the picture, its end line after it.
    EXPECT_LT(r.page.find(" Version: "), r.page.find("<figure"));
    EXPECT_EQ(r.page.substr(r.page.size() - std::min<size_t>(28, r.page.size())), "</pre></font></body></html>\n");
    withPaths += checkPaths(r.program, r.page) > 0;
    if (example) continue;
    ASSERT_TRUE(expected.count(d.name)) << "missing from tests/corpus_expectations.tsv";
    const Expectation& e = expected.at(d.name);
    EXPECT_EQ(captured(r.output, outlines, -1), e.outlines);
    EXPECT_EQ(captured(r.page, holes, -1), e.holes);
    EXPECT_EQ(captured(r.page, open, 0), e.open);
  }
  if (CorpusDir().empty()) GTEST_SKIP() << "corpus not found at ../shared/corpus/dxf: only the examples were converted";
  EXPECT_GE(withPaths, 10);
}

// With start holes placed by korvex every closed contour is cut unless it is too
// small, too crowded or crosses itself; each program stays sound, with every
// placed hole on the drill list.
TEST(Corpus, WithAutoStartHolesEveryProgramIsSound) {
  const devSyntax dev = ShippedDevice();
  const auto expected = expectations();
  static const std::regex placed(R"(\(AUTO START HOLE X(-?[0-9.]+) Y(-?[0-9.]+)\);)");
  static const std::regex refused(R"(NO PLACE FOR A START HOLE (\$K[0-9]+): ([^\n]*))");
  for (const CorpusDrawing& d : examplesAndCorpus()) {
    SCOPED_TRACE(d.name + " on layer " + d.layer);
    Conversion r = ConvertFile(d.path, d.layer, "AutoStartHoles: 1\n");
    EXPECT_TRUE(r.status == 0 || r.status == 5) << r.status;
    NcCheck c = CheckNcProgram(r.program, dev);
    EXPECT_TRUE(r.program.empty() || c.Ok()) << c.Report();
    int found[4] = {0, 0, 0, 0};   // placed, too small, crowded, crossing itself
    for (std::sregex_iterator m(r.program.begin(), r.program.end(), placed), end; m != end; ++m, ++found[0]) {
      char row[64];
      snprintf(row, sizeof row, "%8.3f | %8.3f |", atof((*m)[1].str().c_str()), atof((*m)[2].str().c_str()));
      EXPECT_NE(r.page.find(row), std::string::npos) << "drill list lacks " << row;
    }
    for (std::sregex_iterator m(r.output.begin(), r.output.end(), refused), end; m != end; ++m) {
      const std::string why = (*m)[2].str();
      int k = why.rfind("too small", 0) == 0 ? 1 : why.rfind("crowded", 0) == 0 ? 2 : 3;
      EXPECT_TRUE(k < 3 || why.rfind("outline crosses itself", 0) == 0) << "unknown reason: " << why;
      ++found[k];
    }
    char got[64];
    snprintf(got, sizeof got, "%d/%d/%d/%d", found[0], found[1], found[2], found[3]);
    const bool example = d.path.find("/examples/") != std::string::npos;
    EXPECT_EQ(got, example ? std::string(got) : expected.at(d.name).autoHoles);
  }
  if (CorpusDir().empty()) GTEST_SKIP() << "corpus not found at ../shared/corpus/dxf: only the examples were converted";
}

// What was not cut is drawn in the warning layer, inside the "notcut" group,
// each group titled, with the reasons on the page.
TEST(Corpus, UncutContoursOrphansAndShortLinesAreInTheWarningLayer) {
  DxfText d;
  d.Layer("DXF_MAIN");
  auto square = [&](double x, double y) {
    d.Line("DXF_MAIN", x, y, x + 20, y).Line("DXF_MAIN", x + 20, y, x + 20, y + 20);
    d.Line("DXF_MAIN", x + 20, y + 20, x, y + 20).Line("DXF_MAIN", x, y + 20, x, y);
  };
  square(0, 0);
  d.Circle("DXF_MAIN", 3, 10, 1);   // start hole of the first square only
  square(50, 0);
  // A U of three lines with its start hole, two joined lines, one line too short to keep.
  d.Line("DXF_MAIN", 100, 20, 100, 0).Line("DXF_MAIN", 100, 0, 120, 0).Line("DXF_MAIN", 120, 0, 120, 20);
  d.Circle("DXF_MAIN", 103, 10, 1);
  d.Line("DXF_MAIN", 200, 0, 210, 0).Line("DXF_MAIN", 210, 0, 210, 10);
  d.Line("DXF_MAIN", 300, 0, 300.001, 0);
  Conversion r = ConvertText(d.Str());
  const Node svg = picture(r.page);
  std::vector<std::pair<const Node*, bool>> all;
  collect(svg, &all);
  std::string titles, drawn;
  int cut = 0;
  for (const auto& [n, notcut] : all) {
    cut += n->tag == "path" && n->attrs.count("data-block");
    if (n->tag != "g" || !n->attrs.count("class") || n->attrs.at("class") != "warn") continue;
    EXPECT_TRUE(notcut);
    EXPECT_EQ(n->kids.empty() ? "" : n->kids[0].tag, "title");
    titles += (n->attrs.count("data-contour") ? n->attrs.at("data-contour") : "-") + ";";
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
