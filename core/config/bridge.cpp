// The numbered bridge through which the desktop front end reads and sets core
// values (settings path, anchor length, grid radius, tolerance, data mode,
// hole offset, NC file extension), and the program's version line.
#include <cmath>
#include <cstring>
#include <string>

#include "config/config.h"
#include "geometry/base.h"

// The path the last text request handed out; it stays valid until the next one.
static std::string gBridgeText;

// Reports an absent place and tells whether the request can go on.
static bool given(const void* place, const char* name) {
  if (place) return true;
  KxPrint("%s==NULL\n", name);
  return false;
}

// A set request carries a float that must be a number: infinity or NaN would
// poison every comparison of the conversion, so they change nothing.
static bool givenNumber(const float* place) {
  if (!given(place, "backFL")) return false;
  if (std::isfinite(*place)) return true;
  KxPrint("backFL not a number\n");
  return false;
}

void GuiBridge(int ask, char* backCH, float* backFL, long* backLG) {
  switch (ask) {
    case kxASK_ANCHOR:
      if (given(backFL, "backFL")) *backFL = gMaxAnkerLen;
      break;
    case kxASK_GRID_RADIUS:
      if (given(backFL, "backFL")) *backFL = gStartPosition;
      break;
    case kxASK_TOLERANCE:
      if (given(backFL, "backFL")) *backFL = gNpTolerance;
      break;
    case kxASK_DATA_MODE:
      if (given(backLG, "backLG")) *backLG = ktechno.G92Mode;
      break;
    case kxASK_HOLE_OFFSET:
      if (given(backFL, "backFL")) *backFL = ktechno.dHole;
      break;
    case kxASK_EXTENSION:
      if (given(backCH, "backCH")) KxCopy(backCH, sizeof mS.Extension, mS.Extension);
      break;
    case kxSET_ANCHOR:
      if (!givenNumber(backFL)) break;
      gMaxAnkerLen = *backFL;
      KxPrint("gMaxAnkerLen=%.3f\n", gMaxAnkerLen);
      break;
    case kxSET_GRID_RADIUS:
      if (!givenNumber(backFL)) break;
      gStartPosition = *backFL;
      KxPrint("gStartPosition=%.3f\n", gStartPosition);
      break;
    case kxSET_TOLERANCE:
      if (!givenNumber(backFL)) break;
      // The chaining compares against the band, so a tolerance typed into the
      // window must move the band as the settings file does.
      gNpTolerance = *backFL;
      fPlusTol = gNpTolerance;
      fMinusTol = 0 - gNpTolerance;
      KxPrint("gNpTolerance=%.3f\n", gNpTolerance);
      break;
    case kxSET_DATA_MODE:
      if (!given(backLG, "backLG")) break;
      ktechno.G92Mode = (int)*backLG;
      KxPrint("G92M=%d\n", ktechno.G92Mode);
      break;
    case kxSET_HOLE_OFFSET:
      if (!givenNumber(backFL)) break;
      ktechno.dHole = *backFL;
      KxPrint("hOFF=%.3f\n", ktechno.dHole);
      break;
    case kxSET_EXTENSION:
      if (given(backCH, "backCH")) KxCopy(mS.Extension, sizeof mS.Extension, backCH);
      break;
    default:
      break;
  }
}

const char* GuiBridgeText(int ask) {
  switch (ask) {
    case kxASK_SETTINGS_PATH: gBridgeText = homepath + ini_filename; break;
    default: gBridgeText.clear(); break;
  }
  return gBridgeText.c_str();
}

void ContactInfo(FILE* out) { fprintf(out, "\n Version: %s%s \n", gAPPNAME, gVersInf); }
