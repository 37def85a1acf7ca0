// Fuzz target: a whole console conversion of a drawing given as bytes, with the
// shipped settings, device and technology files beside the program.
#include <string>

#include "fuzz_support.h"
#include "run.h"
#include "run/run.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string& home = FuzzStart();
  std::string drawing = home + "in.dxf";
  FuzzWrite(drawing, data, size);
  std::string program = home + "korvex";
  char* argv[] = {program.data(), drawing.data(), nullptr};
  KorvexConsoleMain(2, argv);
  return 0;
}
