// The numbered bridge through which the desktop front end reads and sets core
// values (settings path, anchor length, grid radius, tolerance, data mode,
// hole offset, NC file extension), and the program's version line.
#include <cmath>
#include <cstring>
#include <string>

#include "config/config.h"
#include "geometry/base.h"
#include "run/run.h"

// Reports an absent place and tells whether the request can go on.
static bool given(KxRun& run, const void* place, const char* name) {
  if (place) return true;
  KxPrint(run, "%s==NULL\n", name);
  return false;
}

// A set request carries a float that must be a number: infinity or NaN would
// poison every comparison of the conversion, so they change nothing.
static bool givenNumber(KxRun& run, const float* place) {
  if (!given(run, place, "backFL")) return false;
  if (std::isfinite(*place)) return true;
  KxPrint(run, "backFL not a number\n");
  return false;
}

void GuiBridge(KxRun& run, int ask, char* backCH, float* backFL, long* backLG) {
  switch (ask) {
    case kxASK_ANCHOR:
      if (given(run, backFL, "backFL")) *backFL = run.cfg.anchorLength;
      break;
    case kxASK_GRID_RADIUS:
      if (given(run, backFL, "backFL")) *backFL = run.cfg.gridRadius;
      break;
    case kxASK_TOLERANCE:
      if (given(run, backFL, "backFL")) *backFL = run.cfg.elementTolerance;
      break;
    case kxASK_DATA_MODE:
      if (given(run, backLG, "backLG")) *backLG = run.cfg.ktechno.G92Mode;
      break;
    case kxASK_HOLE_OFFSET:
      if (given(run, backFL, "backFL")) *backFL = run.cfg.ktechno.dHole;
      break;
    case kxASK_EXTENSION:
      if (given(run, backCH, "backCH")) KxCopy(backCH, sizeof run.cfg.mS.Extension, run.cfg.mS.Extension);
      break;
    case kxSET_ANCHOR:
      if (!givenNumber(run, backFL)) break;
      run.cfg.anchorLength = *backFL;
      KxPrint(run, "gMaxAnkerLen=%.3f\n", run.cfg.anchorLength);
      break;
    case kxSET_GRID_RADIUS:
      if (!givenNumber(run, backFL)) break;
      run.cfg.gridRadius = *backFL;
      KxPrint(run, "gStartPosition=%.3f\n", run.cfg.gridRadius);
      break;
    case kxSET_TOLERANCE:
      if (!givenNumber(run, backFL)) break;
      // The chaining compares against the band, so a tolerance typed into the
      // window must move the band as the settings file does.
      run.cfg.elementTolerance = *backFL;
      ConfigToleranceBand(run.cfg);
      KxPrint(run, "gNpTolerance=%.3f\n", run.cfg.elementTolerance);
      break;
    case kxSET_DATA_MODE:
      if (!given(run, backLG, "backLG")) break;
      run.cfg.ktechno.G92Mode = (int)*backLG;
      KxPrint(run, "G92M=%d\n", run.cfg.ktechno.G92Mode);
      break;
    case kxSET_HOLE_OFFSET:
      if (!givenNumber(run, backFL)) break;
      run.cfg.ktechno.dHole = *backFL;
      KxPrint(run, "hOFF=%.3f\n", run.cfg.ktechno.dHole);
      break;
    case kxSET_EXTENSION:
      if (given(run, backCH, "backCH")) KxCopy(run.cfg.mS.Extension, sizeof run.cfg.mS.Extension, backCH);
      break;
    default:
      break;
  }
}

std::string GuiBridgeText(const KxRun& run, int ask) {
  switch (ask) {
    case kxASK_SETTINGS_PATH: return run.cfg.settingsPath.empty() ? run.cfg.homepath + run.cfg.ini_filename : run.cfg.settingsPath;
    default: return "";
  }
}

void ContactInfo(const KxSettings& cfg, FILE* out) { fprintf(out, "\n Version: %s%s \n", gAPPNAME, KxVersionText(cfg.flavour)); }
