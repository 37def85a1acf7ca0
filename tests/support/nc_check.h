// Checks an NC program written with a given device syntax for the properties a
// machine relies on: program delimiters, every called sub-program present and
// returning and called, every block readable, consistent arc centres, closed
// cuts, the wire on the start hole's side of every closed cut, no lead-in through
// a cut contour, no rapid move with the wire threaded, no element of a cut taken
// twice, and (given the drawing's elements) every cutting move along one. The
// core's follower reads the program; the geometry is judged here independently.
#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

#include "config/config.h"

// One element of the drawing a cut may run along: a line from (x1, y1) to
// (x2, y2), or a circle or arc around (cx, cy) with radius r.
struct NcPathElement {
  bool arc = false;
  double x1 = 0, y1 = 0, x2 = 0, y2 = 0;
  double cx = 0, cy = 0, r = 0;
};

// One move of a cut as written: G word, start, end, (arcs) centre, line of the program.
struct NcMove {
  int g = 1;
  double x0 = 0, y0 = 0, x1 = 0, y1 = 0, cx = 0, cy = 0;
  size_t line = 0;
};

// The first loop of a block: where the wire was threaded and the moves from the split
// point up to the lead-out.
struct NcCut {
  double holeX = 0, holeY = 0;
  std::vector<NcMove> moves;
};

struct NcCheckOptions {
  int askedRapids = 0;                  // G00 moves with the wire threaded that the drawing asks for (rapid-move layer)
  std::vector<NcPathElement> elements;  // when given, every cutting move must run along one of them
};

struct NcCheck {
  std::vector<std::string> problems;  // empty when the program passed
  int closedCuts = 0;                 // cut loops that came back to their split point
  int sideChecks = 0;                 // closed cut loops whose wire side was checked against the start hole
  int threadedRapids = 0;             // G00 moves written while the wire was threaded (not after a NoCut)
  int pathChecks = 0;                 // cutting moves checked against the drawing's elements
  int leadInChecks = 0;               // lead-ins of closed cuts checked for crossing a cut contour
  std::set<int> called;               // block numbers called
  std::map<int, NcCut> cuts;          // per block, its first loop
  bool Ok() const { return problems.empty(); }
  std::string Report() const;         // the problems, one a line
};

NcCheck CheckNcProgram(const std::string& program, const devSyntax& dev, const NcCheckOptions& opt = {});

// A closed polygon; the distance of (x, y) to its edges and whether it lies inside.
using NcPolygon = std::vector<std::pair<double, double>>;
double NcDistanceTo(const NcPolygon& p, double x, double y);
bool NcInside(const NcPolygon& p, double x, double y);
