// Fuzz target: korvex --check of a program given as bytes, with the shipped
// settings and device files; the bytes after a line "==== DXF ====" (when there
// is one) are the drawing the program is checked against.
#include <cstring>
#include <string>

#include "fuzz_support.h"
#include "run.h"
#include "run/run.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string& home = FuzzStart();
  static const char kMark[] = "\n==== DXF ====\n";
  const uint8_t* mark = (const uint8_t*)memmem(data, size, kMark, sizeof kMark - 1);
  const size_t programSize = mark ? (size_t)(mark - data) : size;
  std::string program = home + "in.NC", drawing = home + "in.dxf";
  FuzzWrite(program, data, programSize);
  std::string binary = home + "korvex", check = "--check";
  char* argv[] = {binary.data(), check.data(), program.data(), drawing.data(), nullptr};
  if (mark) {
    const size_t at = programSize + sizeof kMark - 1;
    FuzzWrite(drawing, data + at, size - at);
  }
  KorvexConsoleMain(mark ? 4 : 3, argv);
  return 0;
}
