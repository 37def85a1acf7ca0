// In-process DXF passes for tests.
#include "support/dxf_passes.h"

#include <cstdio>

#include "config/config.h"
#include "dxf/dxf.h"
#include "elements/elements.h"
#include "geometry/base.h"
#include "support/support.h"

bool OpenDrawing(const std::string& path) {
  if (i_stream) fclose(i_stream);
  i_stream = fopen(path.c_str(), "r");
  return i_stream != nullptr;
}

bool RunDxfPasses(const std::string& path) {
  KxCopy(in_filename, sizeof in_filename, path.c_str());
  if (gAktLayEntry == 0) fLayerList(ll_ADD, 0, edmLayer, 0);
  if (!OpenDrawing(path)) return false;
  getAcadVersion();
  if (!OpenDrawing(path)) return false;
  getLayers();
  if (!OpenDrawing(path)) return false;
  ClearElements();
  AddReservedElements();
  getElementsFromLayer();
  fclose(i_stream);
  i_stream = nullptr;
  return true;
}

bool RunDxfText(const std::string& dir, const std::string& text, const std::string& name) {
  std::string path = dir + "/" + name;
  WriteFile(path, text);
  return RunDxfPasses(path);
}

std::string PassText(const std::string& text) {
  FreshCore();
  ConsoleCapture cap;
  TempDir d;
  RunDxfText(d.Path(), text);
  return cap.Text();
}

long RecordsOfType(int type) {
  long n = 0;
  for (long i = 7; i < eldsCounter; ++i) n += elds[i].type == type;
  return n;
}
