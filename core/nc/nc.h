// NC program output: the NC file with head, main program and foot, and one
// sub-program per contour with threading, lead-in, compensation, cutting path,
// holes, hold points, multi-cut sub-programs, inset contours and positioning.
#pragma once

void ProbeNwdOut();              // writes the NC program

void ResetNcState();             // restores the counters of the output (tests, fuzzing)
