// The units a drawing may be drawn in, as its header names them ($INSUNITS) and
// as a user names them (DrawingUnits, --units). Every length korvex works with
// is in millimetres; a drawing in other units is scaled as it is read.
#include <cstring>
#include <string>

#include "geometry/base.h"

namespace {

// Units a part can sensibly be drawn in. The other codes of $INSUNITS (miles,
// kilometres, light years, ...) describe no part a wire machine cuts: such a
// drawing is read in millimetres, and the log says so.
const KxUnit kUnits[] = {
    {4, "mm", "millimetres", 1.0},
    {5, "cm", "centimetres", 10.0},
    {6, "m", "metres", 1000.0},
    {1, "inch", "inches", 25.4},
    {2, "feet", "feet", 304.8},
    {14, "dm", "decimetres", 100.0},
    {13, "micron", "microns", 0.001},
    {9, "mil", "mils", 0.0254},
    {8, "microinch", "microinches", 0.0000254},
    {10, "yard", "yards", 914.4},
    {21, "usfeet", "US survey feet", 1200.0 / 3937.0 * 1000.0},
};

}  // namespace

const KxUnit* KxUnitByCode(int code) {
  for (const KxUnit& u : kUnits)
    if (u.code == code) return &u;
  return nullptr;
}

const KxUnit* KxUnitByKey(const char* key) {
  for (const KxUnit& u : kUnits)
    if (strcmp(u.key, key) == 0) return &u;
  return nullptr;
}

std::string KxUnitKeys() {
  std::string keys = "auto";
  for (const KxUnit& u : kUnits) keys += std::string(", ") + u.key;
  return keys;
}
