// Checks an NC program written with a given device syntax for the properties a
// machine relies on: program delimiters, every called sub-program present and
// returning and called, no non-finite numbers, consistent arc centres, closed
// cuts, and the wire on the start hole's side of every closed cut.
#pragma once

#include <string>
#include <vector>

#include "config/config.h"

struct NcCheck {
  std::vector<std::string> problems;  // empty when the program passed
  int blocks = 0;                     // sub-program blocks found
  int calls = 0;                      // sub-program calls found
  int arcs = 0;                       // G02/G03 moves whose centre was checked
  int closedCuts = 0;                 // closed contours whose return to the split point was checked
  int sideChecks = 0;                 // closed cut loops whose wire side was checked against the start hole
  bool Ok() const { return problems.empty(); }
  std::string Report() const;         // the problems, one a line
};

NcCheck CheckNcProgram(const std::string& program, const devSyntax& dev);
