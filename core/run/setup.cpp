// The first step of every run: where the program lives and what its settings
// say, then the layer list started with the main layer those settings name.
#include "run/run.h"

void SetGlobals(KxRun& run, const char* arg) {
  ConfigReadSettings(run, arg);
  fLayerList(run, ll_ADD, 0, run.cfg.edmLayer, 0);
}
