// In-process DXF passes for tests.
#include "support/dxf_passes.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "config/config.h"
#include "contours/contours.h"
#include "dxf/dxf.h"
#include "elements/elements.h"
#include "geometry/base.h"
#include "support/support.h"
#include "run/run.h"

bool OpenDrawing(const std::string& path) {
  if (TestRun().io.i_stream) fclose(TestRun().io.i_stream);
  TestRun().io.i_stream = fopen(path.c_str(), "r");
  return TestRun().io.i_stream != nullptr;
}

bool RunDxfPasses(const std::string& path) {
  TestRun().io.in_filename = path;
  if (TestRun().dxf.aktLayEntry == 0) fLayerList(TestRun(), ll_ADD, 0, TestRun().cfg.edmLayer, 0);
  if (!OpenDrawing(path)) return false;
  getAcadVersion(TestRun());
  if (!OpenDrawing(path)) return false;
  getLayers(TestRun());
  if (!OpenDrawing(path)) return false;
  ClearElements(TestRun());
  AddReservedElements(TestRun());
  getElementsFromLayer(TestRun());
  DxfCloseDrawing(TestRun());
  return true;
}

std::string PassText(const std::string& text) {
  std::string console;
  PassLog(text, &console);
  return console;
}

long RecordsOfType(int type) {
  long n = 0;
  for (long i = 7; i < TestRun().table.eldsCounter; ++i) n += TestRun().table.elds[i].type == type;
  return n;
}

std::string RecordsText() {
  auto r4 = [](float v) { return std::round(v * 1e4) / 1e4 + 0.0; };
  std::string out;
  for (long i = 7; i < TestRun().table.eldsCounter; ++i) {
    const elementdaten& e = TestRun().table.elds[i];
    char b[256];
    snprintf(b, sizeof b, "%c(%g,%g)(%g,%g)c(%g,%g)r%g a%g-%g %s\n", "LPVACITXDY"[e.type], r4(e.sx), r4(e.sy),
             r4(e.ex), r4(e.ey), r4(e.cx), r4(e.cy), r4(e.r), r4(e.sw), r4(e.ew),
             strcmp(e.text, gNoText) ? e.text : "");
    out += b;
  }
  return out;
}

std::string PassLog(const std::string& text, std::string* console) {
  FreshCore();
  ConsoleCapture cap;
  TempDir d;
  TestRun().io.log_stream = fopen(d.File("log.txt").c_str(), "w");
  WriteFile(d.File("drawing.dxf"), text);
  RunDxfPasses(d.File("drawing.dxf"));
  fclose(TestRun().io.log_stream);
  TestRun().io.log_stream = nullptr;
  if (console) *console = cap.Text();
  return ReadFile(d.File("log.txt"));
}

std::map<std::string, double> ContourLengths() {
  ConsoleCapture quiet;
  AddClosingElements(TestRun());
  CheckStructs(TestRun());
  SearchKontur(TestRun());
  std::map<std::string, double> len;
  for (long i = 0; i < TestRun().table.eldsCounter; ++i)
    if (strncmp(TestRun().table.marks[i].kontur, "$K", 2) == 0) len[TestRun().table.marks[i].kontur] += TestRun().table.elds[i].len;
  return len;
}
