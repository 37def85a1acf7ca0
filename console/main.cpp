// Entry point of the console program korvex: one drawing per start.
#include "geometry/base.h"
#include "run.h"

int main(int argc, char** argv) {
  KxSetFlavour(kxCONSOLE);
  return KorvexConsoleMain(argc, argv);
}
