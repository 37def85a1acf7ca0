// Fuzz target: the device syntax file reader, read twice so that a second file
// meets the fields the first one left.
#include <string>

#include "config/config.h"
#include "fuzz_support.h"
#include "run/run.h"
#include "geometry/base.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string& home = FuzzStart();
  KxRun& run = FuzzRun();
  run.cfg.homepath = home;
  FuzzWrite(home + "devices/FUZZ.SYN", data, size);
  SetDevSyntax(run, "FUZZ.SYN");
  SetDevSyntax(run, "FUZZ.SYN");
  return 0;
}
