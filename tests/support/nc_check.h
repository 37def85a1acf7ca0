// Checks an NC program written with a given device syntax for the properties a
// machine relies on: program delimiters, every called sub-program present and
// returning and called, no non-finite numbers, consistent arc centres, closed
// cuts, the wire on the start hole's side of every closed cut, no rapid move
// with the wire threaded, and no element of a cut taken twice.
#pragma once

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

struct NcCheckOptions {
  int askedRapids = 0;                  // G00 moves with the wire threaded that the drawing asks for (rapid-move layer)
  std::vector<NcPathElement> elements;  // when given, every cutting move must run along one of them
};

struct NcCheck {
  std::vector<std::string> problems;  // empty when the program passed
  int blocks = 0;                     // sub-program blocks found
  int calls = 0;                      // sub-program calls found
  int arcs = 0;                       // G02/G03 moves whose centre was checked
  int closedCuts = 0;                 // closed contours whose return to the split point was checked
  int sideChecks = 0;                 // closed cut loops whose wire side was checked against the start hole
  int threadedRapids = 0;             // G00 moves written while the wire was threaded (not after a NoCut)
  int pathChecks = 0;                 // cutting moves checked against the drawing's elements
  bool Ok() const { return problems.empty(); }
  std::string Report() const;         // the problems, one a line
};

NcCheck CheckNcProgram(const std::string& program, const devSyntax& dev, const NcCheckOptions& opt = {});
