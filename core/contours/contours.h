// Contour analysis: chaining elements into named contours within the tolerance
// band, the region of each contour, the choice of feed point and lead-in
// element, the approach test, the lead-in point and the nesting of contours.
#pragma once

extern int gKonturCounter;       // contours found by the chaining
int SearchKontur();              // chains the elements into contours $K01, $K02, ...
int SearchStartPoints();         // regions, feed points and lead-in elements of all contours

void ResetContourState();        // restores the counters of the analysis (tests, fuzzing)
