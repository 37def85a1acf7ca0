// Fuzz target: the settings file reader.
#include <string>

#include "config/config.h"
#include "fuzz_support.h"
#include "run/run.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string& home = FuzzStart();
  FuzzWrite(home + "korvex.ini", data, size);
  SetGlobals(FuzzRun(), (home + "korvex").c_str());
  return 0;
}
