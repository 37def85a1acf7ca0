// The picture of the statistics page, read with a small XML reader and held
// against the NC program written in the same run: every called block that cuts
// has its path with the program's end points and arcs, and what was not cut
// shows in the warning layer.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <sstream>

#include "support/dxf_text.h"
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
  bool Parse(Node* root) {
    root->tag = "#root";
    return content(root) && pos_ == s_.size();
  }
  std::string error;

 private:
  bool fail(const std::string& why) {
    error = why + " at " + std::to_string(pos_);
    return false;
  }
  void ws() {
    while (pos_ < s_.size() && isspace((unsigned char)s_[pos_])) ++pos_;
  }
  bool content(Node* n) {
    while (pos_ < s_.size()) {
      if (s_[pos_] != '<') {
        ++pos_;
        continue;
      }
      if (s_.compare(pos_, 2, "</") == 0) return true;
      if (s_.compare(pos_, 4, "<!--") == 0) {
        size_t e = s_.find("-->", pos_);
        if (e == std::string::npos) return fail("open comment");
        pos_ = e + 3;
        continue;
      }
      Node kid;
      if (!element(&kid)) return false;
      n->kids.push_back(std::move(kid));
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
    for (;;) {
      ws();
      if (s_.compare(pos_, 2, "/>") == 0) {
        pos_ += 2;
        return true;
      }
      if (pos_ < s_.size() && s_[pos_] == '>') break;
      std::string key;
      if (!name(&key)) return fail("bad attribute in <" + n->tag + ">");
      ws();
      if (pos_ >= s_.size() || s_[pos_] != '=') return fail("attribute without value");
      ++pos_;
      ws();
      char q = pos_ < s_.size() ? s_[pos_] : 0;
      if (q != '\'' && q != '"') return fail("unquoted attribute");
      size_t e = s_.find(q, pos_ + 1);
      if (e == std::string::npos) return fail("open attribute");
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
    if (pos_ >= s_.size() || s_[pos_] != '>') return fail("bad end tag");
    ++pos_;
    return true;
  }
  const std::string& s_;
  size_t pos_ = 0;
};

void collect(const Node& n, std::vector<const Node*>* out) {
  for (const Node& k : n.kids) {
    out->push_back(&k);
    collect(k, out);
  }
}

bool hasAncestorClass(const Node& root, const Node* target, const std::string& cls, bool inside = false) {
  for (const Node& k : root.kids) {
    bool in = inside || (k.attrs.count("class") && k.attrs.at("class") == cls);
    if (&k == target) return in;
    if (hasAncestorClass(k, target, cls, in)) return true;
  }
  return false;
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
      continue;
    }
    if (l.rfind("G90G4", 0) == 0) {
      cutting = true;
      cur.clear();
      continue;
    }
    if (l.rfind("G40", 0) == 0 && cutting) {
      cutting = false;
      if (cur.size() >= 3 && !out.count(block)) out[block] = std::vector<Move>(cur.begin() + 1, cur.end() - 1);
      continue;
    }
    if (l.rfind("G92", 0) == 0) {
      px = num(l, 'X');
      py = num(l, 'Y');
      continue;
    }
    if (!std::regex_search(l, m, move)) continue;
    Move mv{std::stoi(m[1]), px, py, num(l, 'X'), num(l, 'Y'), 0, 0};
    if (mv.g >= 2) {
      mv.cx = px + num(l, 'I');
      mv.cy = py + num(l, 'J');
    }
    px = mv.x1;
    py = mv.y1;
    if (cutting) cur.push_back(mv);
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
  std::string t;
  while (ss >> t) {
    if (isalpha((unsigned char)t[0])) out.push_back({t[0], {}});
    else if (!out.empty()) out.back().v.push_back(std::stod(t));
  }
  return out;
}

struct Page {
  std::string program, html;
  Node svg;
};

Page convert(const std::string& drawing, const std::string& layer) {
  ProgramFolder home;
  fs::copy(SourceDir() + "/devices", home.File("devices"), fs::copy_options::recursive);
  WriteFile(home.File("korvex.ini"), "LayerName: '" + layer + "'\nOpenDataFile: 0\n");
  fs::copy_file(drawing, home.File("in.dxf"));
  RunProcess({home.Binary(), "in.dxf"}, home.Path());
  Page p;
  p.html = ReadFile(home.File("_results.htm"));
  for (const auto& e : fs::directory_iterator(home.Path()))
    if (e.path().filename().string().rfind("_nwd_out", 0) == 0) p.program = ReadFile(e.path().string());
  size_t a = p.html.find("<svg"), b = p.html.find("</svg>");
  if (a == std::string::npos || b == std::string::npos) return p;
  std::string svg = p.html.substr(a, b + 6 - a);
  Xml x(svg);
  EXPECT_TRUE(x.Parse(&p.svg)) << x.error;
  return p;
}

// Every called block that cuts has one path whose commands are the program's moves.
void checkPaths(const Page& p) {
  std::vector<int> called;
  auto loops = programLoops(p.program, &called);
  std::vector<const Node*> all;
  collect(p.svg, &all);
  std::map<std::string, const Node*> paths;
  for (const Node* n : all)
    if (n->tag == "path" && n->attrs.count("data-block")) paths[n->attrs.at("data-block")] = n;
  for (int block : called) {
    auto l = loops.find(block);
    if (l == loops.end()) continue;
    SCOPED_TRACE("N" + std::to_string(block));
    auto it = paths.find("N" + std::to_string(block));
    ASSERT_NE(it, paths.end()) << "no path for a called block that cuts";
    std::vector<Cmd> d = pathData(it->second->attrs.at("d"));
    const std::vector<Move>& moves = l->second;
    ASSERT_FALSE(d.empty());
    ASSERT_EQ(d[0].c, 'M');
    EXPECT_NEAR(d[0].v[0], moves[0].x0, 0.001);
    EXPECT_NEAR(d[0].v[1], moves[0].y0, 0.001);
    size_t c = 1;
    for (const Move& m : moves) {
      ASSERT_LT(c, d.size()) << "path shorter than the program";
      bool full = m.g >= 2 && std::fabs(m.x0 - m.x1) < 1e-4 && std::fabs(m.y0 - m.y1) < 1e-4;
      const Cmd& k = d[full ? c + 1 : c];
      c += full ? 2 : 1;
      EXPECT_NEAR(k.v[k.v.size() - 2], m.x1, 0.001);
      EXPECT_NEAR(k.v.back(), m.y1, 0.001);
      if (m.g < 2) {
        EXPECT_EQ(k.c, 'L');
        continue;
      }
      ASSERT_EQ(k.c, 'A');
      ASSERT_EQ(k.v.size(), 7u);
      // Radius, sweep and large-arc flag pin the centre down to the program's I/J.
      double r = std::hypot(m.x0 - m.cx, m.y0 - m.cy);
      EXPECT_NEAR(k.v[0], r, 0.001);
      EXPECT_NEAR(std::hypot(m.x1 - m.cx, m.y1 - m.cy), k.v[0], 0.002);
      EXPECT_EQ(k.v[4], m.g == 3 ? 1.0 : 0.0);
      double a0 = std::atan2(m.y0 - m.cy, m.x0 - m.cx), a1 = std::atan2(m.y1 - m.cy, m.x1 - m.cx);
      double sweep = m.g == 3 ? a1 - a0 : a0 - a1;
      while (sweep <= 0) sweep += 2 * M_PI;
      if (!full && std::fabs(sweep - M_PI) > 1e-3) {
        EXPECT_EQ(k.v[3], sweep > M_PI ? 1.0 : 0.0);
      }
    }
    EXPECT_EQ(c, d.size()) << "path longer than the program";
  }
}

}  // namespace

TEST(ReportPicture, PathsAreTheProgramsMovesForExamplesAndCorpus) {
  std::vector<std::pair<std::string, std::string>> drawings = {
      {SourceDir() + "/examples/die_plate.dxf", "DXF_MAIN"}, {SourceDir() + "/examples/bracket_2000.dxf", "DXF_MAIN"}};
  const std::string corpus = CorpusDir();
  if (!corpus.empty()) {
    std::ifstream f(corpus + "/SOURCES.md");
    static const std::regex row(R"(^\| *[0-9]+ *\| *([^ |]+\.dxf) *\|.*\| *`([^`]*)` *[0-9]+[^|]*\|\s*$)");
    for (std::string line; std::getline(f, line);) {
      std::smatch m;
      if (std::regex_match(line, m, row)) drawings.push_back({corpus + "/" + m[1].str(), m[2]});
    }
  }
  int withPaths = 0;
  for (const auto& [drawing, layer] : drawings) {
    SCOPED_TRACE(drawing);
    Page p = convert(drawing, layer);
    ASSERT_NE(p.html.find("<figure"), std::string::npos);
    // The page's own text comes before the picture, its end line after it.
    EXPECT_LT(p.html.find(" Version: "), p.html.find("<figure"));
    EXPECT_EQ(p.html.substr(p.html.size() - 28), "</pre></font></body></html>\n");
    checkPaths(p);
    if (p.html.find("data-block=") != std::string::npos) ++withPaths;
  }
  EXPECT_GE(withPaths, 2);
}

TEST(ReportPicture, ContourWithoutStartHoleIsInTheWarningLayer) {
  TempDir dir;
  DxfText d;
  d.Layer("DXF_MAIN");
  auto square = [&](double x, double y) {
    d.Line("DXF_MAIN", x, y, x + 20, y).Line("DXF_MAIN", x + 20, y, x + 20, y + 20);
    d.Line("DXF_MAIN", x + 20, y + 20, x, y + 20).Line("DXF_MAIN", x, y + 20, x, y);
  };
  square(0, 0);
  d.Circle("DXF_MAIN", 3, 10, 1);   // start hole of the first square only
  square(50, 0);
  WriteFile(dir.File("two.dxf"), d.Str());
  Page p = convert(dir.File("two.dxf"), "DXF_MAIN");
  std::vector<const Node*> all;
  collect(p.svg, &all);
  int warned = 0, cut = 0;
  for (const Node* n : all) {
    if (n->tag == "path" && n->attrs.count("data-block")) ++cut;
    if (n->tag != "g" || !n->attrs.count("data-contour") || n->attrs.at("class") != "warn") continue;
    EXPECT_TRUE(hasAncestorClass(p.svg, n, "notcut"));
    EXPECT_EQ(n->attrs.at("data-contour"), "$K02");
    ASSERT_FALSE(n->kids.empty());
    EXPECT_EQ(n->kids[0].tag, "title");
    int drawn = 0;
    for (const Node& k : n->kids) drawn += k.tag == "path";
    EXPECT_EQ(drawn, 4);
    ++warned;
  }
  EXPECT_EQ(warned, 1);
  EXPECT_EQ(cut, 1);
  EXPECT_NE(p.html.find("no start hole"), std::string::npos);
  EXPECT_NE(p.html.find("<li>1 contour without start hole (not cut)</li>"), std::string::npos);
}

TEST(ReportPicture, OpenContoursOrphansAndShortLinesAreInTheWarningLayer) {
  TempDir dir;
  DxfText d;
  d.Layer("DXF_MAIN");
  // A U of three lines with its start hole, two joined lines, one line too short to keep.
  d.Line("DXF_MAIN", 0, 20, 0, 0).Line("DXF_MAIN", 0, 0, 20, 0).Line("DXF_MAIN", 20, 0, 20, 20);
  d.Circle("DXF_MAIN", 3, 10, 1);
  d.Line("DXF_MAIN", 100, 0, 110, 0).Line("DXF_MAIN", 110, 0, 110, 10);
  d.Line("DXF_MAIN", 200, 0, 200.001, 0);
  WriteFile(dir.File("odd.dxf"), d.Str());
  Page p = convert(dir.File("odd.dxf"), "DXF_MAIN");
  std::vector<const Node*> all;
  collect(p.svg, &all);
  std::string titles;
  for (const Node* n : all) {
    if (n->tag != "g" || !n->attrs.count("class") || n->attrs.at("class") != "warn") continue;
    EXPECT_TRUE(hasAncestorClass(p.svg, n, "notcut"));
    ASSERT_FALSE(n->kids.empty());
    EXPECT_EQ(n->kids[0].tag, "title");
    titles += (n->attrs.count("data-contour") ? n->attrs.at("data-contour") : "-") + ";";
    if (!n->attrs.count("data-contour")) continue;
    int paths = 0, ends = 0;
    for (const Node& k : n->kids) {
      paths += k.tag == "path";
      ends += k.tag == "circle";
    }
    EXPECT_EQ(paths, 3);   // the three lines of the U
    EXPECT_EQ(ends, 2);    // and its two loose ends
  }
  for (const char* want : {"open contour: its ends do not meet", "orphan: too few elements", "short line removed"})
    EXPECT_NE(p.html.find(want), std::string::npos) << want;
  EXPECT_EQ(titles, "$K01;-;-;-;") << "the open U, two orphans, one short line";
  // Counted by the writer, or else named from the drawing's loose ends.
  EXPECT_TRUE(p.html.find("<li>1 open contour</li>") != std::string::npos ||
              p.html.find("<li>1 contour whose drawn ends do not meet (red in the picture)</li>") != std::string::npos);
  EXPECT_NE(p.html.find("<li>2 orphan elements (not part of any contour)</li>"), std::string::npos);
  EXPECT_NE(p.html.find("<li>1 short line removed</li>"), std::string::npos);
}
