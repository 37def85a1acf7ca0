// NC program checker used by the end-to-end tests.
#include "support/nc_check.h"

#include <cmath>
#include <map>
#include <regex>
#include <set>
#include <sstream>

namespace {

bool startsWith(const std::string& s, const std::string& p) { return !p.empty() && s.compare(0, p.size(), p) == 0; }

bool word(const std::string& line, char address, double* v) {
  // An address letter followed by a signed decimal number, e.g..
  for (size_t i = 0; i + 1 < line.size(); ++i) {
    if (line[i] != address) continue;
    if (i > 0 && std::isalpha((unsigned char)line[i - 1])) continue;
    const char* p = line.c_str() + i + 1;
    if (!(std::isdigit((unsigned char)*p) || *p == '-' || *p == '+' || *p == '.')) continue;
    char* end = nullptr;
    double d = strtod(p, &end);
    if (end == p) continue;
    *v = d;
    return true;
  }
  return false;
}

bool isMove(const std::string& line, int* g) {
  static const std::regex move("^(G00|G01|G02|G03)( |$)");
  std::smatch m;
  if (!std::regex_search(line, m, move)) return false;
  *g = std::stoi(m[1].str().substr(1));
  return true;
}

}  // namespace

std::string NcCheck::Report() const {
  std::string out;
  for (const auto& p : problems) out += p + "\n";
  return out;
}

NcCheck CheckNcProgram(const std::string& program, const devSyntax& dev) {
  NcCheck r;
  std::vector<std::string> lines;
  std::stringstream ss(program);
  for (std::string l; std::getline(ss, l);) {
    if (!l.empty() && l.back() == '\r') l.pop_back();
    lines.push_back(l);
  }
  auto problem = [&](size_t i, const std::string& what) {
    r.problems.push_back("line " + std::to_string(i + 1) + ": " + what + " [" + (i < lines.size() ? lines[i] : "") + "]");
  };
  const std::string epilog = std::string(dev.ProEpilog) + dev.EOL;
  if (lines.empty() || lines.front() != epilog) problem(0, "program does not open with " + epilog);
  if (lines.empty() || lines.back() != epilog) problem(lines.empty() ? 0 : lines.size() - 1, "program does not close with " + epilog);

  static const std::regex nonFinite("(^|[^A-Za-z])-?(nan|inf|NAN|INF)([^A-Za-z]|$)");
  static const std::regex blockStart("^N([0-9]+)");
  const std::string jump = dev.SubJump;
  const std::string ret = dev.SubReturn;
  const std::string foot = std::string(dev.RemarkOn) + "-----" + dev.RemarkOff + dev.EOL;

  std::multiset<int> called;
  std::map<int, size_t> blocks;
  int open = -1;          // block number whose return is still missing
  size_t openLine = 0;
  bool havePos = false;
  double px = 0, py = 0;
  // Per block: the split point (end of the first move after the compensation line)
  // and the position before the lead-out, to test that a closed cut comes back.
  bool afterComp = false, haveSplit = false, closedRemark = false;
  double splitX = 0, splitY = 0, beforeX = 0, beforeY = 0, prevX = 0, prevY = 0;
  bool havePrev = false;

  auto closeBlock = [&](size_t i) {
    if (open >= 0) problem(openLine, "block N" + std::to_string(open) + " has no " + ret + " before line " + std::to_string(i + 1));
  };
  for (size_t i = 0; i < lines.size(); ++i) {
    const std::string& l = lines[i];
    if (std::regex_search(l, nonFinite)) problem(i, "non-finite number");
    std::smatch m;
    if (std::regex_search(l, m, blockStart)) {
      closeBlock(i);
      int n = std::stoi(m[1]);
      if (blocks.count(n)) problem(i, "block N" + m[1].str() + " twice");
      blocks[n] = i;
      open = n;
      openLine = i;
      ++r.blocks;
      havePos = afterComp = haveSplit = closedRemark = havePrev = false;
      continue;
    }
    if (l == foot) {
      closeBlock(i);
      open = -1;
    }
    for (size_t at = l.find(jump); !jump.empty() && at != std::string::npos; at = l.find(jump, at + 1)) {
      const char* p = l.c_str() + at + jump.size();
      if (std::isdigit((unsigned char)*p)) {
        called.insert(atoi(p));
        ++r.calls;
      }
    }
    if (startsWith(l, ret)) {
      if (l.find("CLOSED") != std::string::npos) closedRemark = true;
      if (closedRemark && haveSplit) {
        ++r.closedCuts;
        if (std::fabs(beforeX - splitX) > 0.0015 || std::fabs(beforeY - splitY) > 0.0015)
          problem(i, "closed cut ends at " + std::to_string(beforeX) + "," + std::to_string(beforeY) +
                         " instead of its split point " + std::to_string(splitX) + "," + std::to_string(splitY));
      }
      open = -1;
    }
    if (startsWith(l, "G40G43G50") && havePrev) {
      beforeX = prevX;
      beforeY = prevY;
    }
    if (startsWith(l, "G90G4")) afterComp = true;
    if (startsWith(l, "G92")) {
      double x, y;
      if (word(l, 'X', &x) && word(l, 'Y', &y)) {
        px = x;
        py = y;
        havePos = true;
      }
      continue;
    }
    int g;
    if (!isMove(l, &g)) continue;
    double x, y;
    if (!word(l, 'X', &x) || !word(l, 'Y', &y)) continue;
    if ((g == 2 || g == 3) && havePos) {
      double ci, cj;
      if (!word(l, 'I', &ci) || !word(l, 'J', &cj)) {
        problem(i, "arc without I/J");
      } else {
        ++r.arcs;
        double ccx = px + ci, ccy = py + cj;
        double r0 = std::hypot(px - ccx, py - ccy), r1 = std::hypot(x - ccx, y - ccy);
        if (std::fabs(r0 - r1) > 0.005) problem(i, "arc centre not equidistant (" + std::to_string(r0) + " vs " + std::to_string(r1) + ")");
      }
    }
    if (havePos) {
      prevX = px;
      prevY = py;
      havePrev = true;
    }
    px = x;
    py = y;
    havePos = true;
    if (afterComp && !haveSplit) {
      splitX = x;
      splitY = y;
      haveSplit = true;
    }
  }
  for (int n : called)
    if (!blocks.count(n)) r.problems.push_back("call of N" + std::to_string(n) + " has no block");
  return r;
}
