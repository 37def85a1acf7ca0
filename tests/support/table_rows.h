// Test support for every test that composes element tables directly, as the
// reader, the chaining and the analysis leave them, without going through a drawing.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "config/config.h"
#include "contours/contours.h"
#include "elements/elements.h"
#include "geometry/base.h"
#include "support/support.h"
#include "run/run.h"

// Fresh core, default anchor length and grid radius, and the seven reserved records.
inline void StartTable(int flavour = 0) {
  FreshCore(flavour);
  TestRun().cfg.gMaxAnkerLen = 4.5f;
  TestRun().cfg.gStartPosition = 2.605f;
  ClearElements(TestRun());
  for (const char* name : {"feedbuf", "sortbuf"}) AddElement(TestRun(), etDELETE, name);
  for (const char* name : {"arc copy", "arc rotiert", "point copy", "point rotiert"}) AddElement(TestRun(), etCPY, name);
  AddElement(TestRun(), etDELETE, "dabei");
}

// The two closing records the run driver adds behind the drawing.
inline void CloseTable() {
  AddElement(TestRun(), etDELETE, gNoText);
  AddElement(TestRun(), etDELETE, "end");
}

// A record of the staged geometry with its text, in contour kontur, used as given.
inline long AddRow(int type, const char* kontur, int used, const char* text = "") {
  AddElement(TestRun(), type, text);
  long i = TestRun().eldsCounter - 1;
  KxCopy(TestRun().elds[i].kontur, sizeof TestRun().elds[i].kontur, kontur);
  TestRun().elds[i].used = used;
  return i;
}

// Any record: start (also the centre) and end point, text, radius, in contour kontur.
inline long AddRecord(int type, const char* kontur, float x1, float y1, float x2 = 0, float y2 = 0,
                      const char* text = gNoText, float r = 0) {
  TestRun().sx = TestRun().cx = x1; TestRun().sy = TestRun().cy = y1; TestRun().ex = x2; TestRun().ey = y2; TestRun().rd = r;
  return AddRow(type, kontur, 0, text);
}

// A contour line as the chaining leaves it (named, used 1, length computed).
inline long AddLine(float x1, float y1, float x2, float y2, const char* kontur = "") {
  TestRun().sx = x1; TestRun().sy = y1; TestRun().ex = x2; TestRun().ey = y2; TestRun().cx = x1; TestRun().cy = y1; TestRun().rd = 0;
  long i = AddRow(etLINE, kontur, kontur[0] ? 1 : 0);
  TestRun().elds[i].len = LENC(x1, y1, x2, y2);
  return i;
}

inline long AddArc(float acx, float acy, float r, float a0, float a1, const char* kontur = "") {
  TestRun().cx = acx; TestRun().cy = acy; TestRun().rd = r; TestRun().sw = a0; TestRun().ew = a1;
  TestRun().sx = acx + XARC(a0, r); TestRun().sy = acy + YARC(a0, r);
  TestRun().ex = acx + XARC(a1, r); TestRun().ey = acy + YARC(a1, r);
  long i = AddRow(etARC, kontur, kontur[0] ? 1 : 0);
  TestRun().elds[i].len = (float)(BOGENWINKEL(a0, a1) * awPI / 180.0 * r);
  return i;
}

inline long AddCircle(float ccx, float ccy, float r, const char* kontur = "", int used = 0) {
  TestRun().cx = ccx; TestRun().cy = ccy; TestRun().rd = r; TestRun().sx = TestRun().ex = ccx + r; TestRun().sy = TestRun().ey = ccy;
  long i = AddRow(etCIR, kontur, used);
  TestRun().elds[i].len = (float)(2 * awPI * r);
  return i;
}

// A closed rectangle as four named lines, counter-clockwise from the bottom side;
// returns the index of the bottom line (the others follow).
inline long AddRect(float x0, float y0, float x1, float y1, const char* kontur) {
  long first = AddLine(x0, y0, x1, y0, kontur);
  AddLine(x1, y0, x1, y1, kontur);
  AddLine(x1, y1, x0, y1, kontur);
  AddLine(x0, y1, x0, y0, kontur);
  return first;
}

// The feed point circle of contour k at (x, y) with its split point and first element.
inline long AddFeed(const char* k, float x, float y, float splitX, float splitY, long first) {
  long i = AddRecord(etCIR, k, x, y, x, y, gtFeedPoint, 0.5f);
  TestRun().elds[i].r = 0.5f; TestRun().elds[i].ex = splitX; TestRun().elds[i].ey = splitY; TestRun().elds[i].IsFirst = (int)first; TestRun().elds[i].child = -1;
  TestRun().elds[i].used = 1;
  return i;
}

// Region records of contours $K<from>.. with their parents; the contour count follows.
inline void AddRegions(const std::vector<int>& parents, int from = 1) {
  char name[16];
  for (size_t k = 0; k < parents.size(); ++k) {
    snprintf(name, sizeof name, "$K%02d", (int)k + from);
    long i = AddRecord(etDELETE, name, 0, 0, 0, 0, gtRegInfo);
    TestRun().elds[i].used = 1; TestRun().elds[i].child = parents[k]; TestRun().elds[i].kElemX = 5;
  }
  TestRun().gKonturCounter = (int)parents.size() + from - 1;
}

// What write(FILE*) writes, as text (the writers' output without a file).
template <class Write> std::string Written(Write write) {
  char* buf = nullptr;
  size_t n = 0;
  FILE* f = open_memstream(&buf, &n);
  write(f);
  fclose(f);
  std::string s(buf, n);
  free(buf);
  return s;
}
