// Entry point of the console program korvex: one drawing per start.
#include <cstdio>
#include <malloc.h>
#include <unistd.h>

#include "geometry/base.h"
#include "run.h"
#include "run/run.h"

int main(int argc, char** argv) {
  // The diagnostics of a large drawing run to a megabyte; written to a file or a
  // pipe they go out in large pieces. A terminal keeps its line buffering.
  if (!isatty(STDOUT_FILENO)) setvbuf(stdout, nullptr, _IOFBF, 1 << 16);
  // The analysis of a large drawing allocates and frees tables of megabytes in
  // turn; handed back to the system each time, every one is faulted in afresh.
  // Kept in the heap they are reused (a one-shot process gives all back at exit).
  mallopt(M_MMAP_THRESHOLD, 64 << 20);
  mallopt(M_TRIM_THRESHOLD, 128 << 20);
  return KorvexConsoleMain(argc, argv);
}
