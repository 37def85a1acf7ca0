// Fuzz target: the technology text interpreter together with the technology
// file reader. The first line of the input is the drawing's text, the rest the
// technology file it may name.
#include <cstring>
#include <string>

#include "config/config.h"
#include "dxf/dxf.h"
#include "elements/elements.h"
#include "fuzz_support.h"
#include "run/run.h"
#include "geometry/base.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string& home = FuzzStart();
  KxRun& run = FuzzRun();
  run.cfg.homepath = home;
  SetDevSyntax(run, "NONE.SYN");  // default syntax: technology file DEFAULT.TCH
  const uint8_t* nl = static_cast<const uint8_t*>(memchr(data, '\n', size));
  size_t textLen = nl ? (size_t)(nl - data) : size;
  // The drawing's texts never hold a NUL: the text ends at the first one.
  std::string text(reinterpret_cast<const char*>(data), strnlen(reinterpret_cast<const char*>(data), textLen));
  FuzzWrite(home + "devices/DEFAULT.TCH", nl ? nl + 1 : data, nl ? size - textLen - 1 : 0);
  fLayerList(run, ll_ADD, 0, run.cfg.edmLayer, 0);
  for (int i = 0; i < 8; ++i) AddElement(run, etTEXT, KxNewElement{}, "x");
  SetTechnologie(run, nullptr, 0);
  SetTechnologie(run, text.c_str(), 7);
  SetTechData(run, text.c_str());
  return 0;
}
