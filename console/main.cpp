// Entry point of the console program korvex: one drawing per start.
#include <cstdio>
#include <unistd.h>

#include "geometry/base.h"
#include "run.h"
#include "kxrun.h"

int main(int argc, char** argv) {
  // The diagnostics of a large drawing run to a megabyte; written to a file or a
  // pipe they go out in large pieces. A terminal keeps its line buffering.
  if (!isatty(STDOUT_FILENO)) setvbuf(stdout, nullptr, _IOFBF, 1 << 16);
  KxSetFlavour(kxCONSOLE);
  return KorvexConsoleMain(argc, argv);
}
