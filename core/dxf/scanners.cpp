// The entity pass: one forward scan over the drawing's group-code/value pairs.
// An entity begins at a group 0 naming its type and ends at the next group 0;
// its layer is its group 8 wherever that stands. Entities of the selected layers
// outside block definitions go to the entity conversion.
#include <cstring>

#include "config/config.h"
#include "dxf/dxf.h"
#include "elements/elements.h"
#include "geometry/base.h"

namespace {

void logHeader() {
  KxLog("\n %s (ACAD_VERSION: %s)\n Worklayer:%s\n\n-- Elements: ---\n", in_filename, acad_VersInfo, edmLayer);
}

// A group-code line: blanks, an optional sign, digits, blanks. Anything else is
// a stray line (the rest of a value longer than a line piece, or damage); the
// pairs go on after it.
bool codeOf(const char* line, int& code) {
  const char* p = line;
  while (*p == ' ' || *p == '\t') ++p;
  bool negative = *p == '-';
  if (negative) ++p;
  if (*p < '0' || *p > '9') return false;
  long v = 0;
  for (; *p >= '0' && *p <= '9'; ++p)
    if (v < 100000000) v = v * 10 + (*p - '0');
  while (*p == ' ' || *p == '\t') ++p;
  if (*p != '\0') return false;
  code = (int)(negative ? -v : v);
  return true;
}

// Groups of an entity that come before its layer group wait here until the
// layer decides whether the entity is read. Writers put the layer among the
// first groups, so a few places are enough.
constexpr int kHeldGroups = 24;
struct HeldGroup {
  int code;
  char value[kDxfLineSize];
};
HeldGroup gHeld[kHeldGroups];
int gHeldCount = 0;
int gHeldLost = 0;

void hold(int code, const char* value) {
  if (gHeldCount >= kHeldGroups) {
    ++gHeldLost;
    return;
  }
  gHeld[gHeldCount].code = code;
  KxCopy(gHeld[gHeldCount].value, sizeof gHeld[0].value, value);
  ++gHeldCount;
}

enum ScanState { ssNone, ssPending, ssReading };

struct Scan {
  ScanState state = ssNone;
  int kind = dkNONE;
  bool layerSeen = false;   // the entity's first group 8 was taken as its layer
  bool sectionName = false; // the last group 0 was SECTION: its group 2 names it
  bool readable = true;     // in the ENTITIES section or outside any section
  bool inBlock = false;     // between BLOCK and ENDBLK
};

// The layer decides: the held groups are then read in their order.
void decide(Scan& s, const char* layer) {
  s.layerSeen = true;
  if (!LayerSelected(layer)) {
    s.state = ssNone;
    return;
  }
  EntityStart(s.kind);
  for (int i = 0; i < gHeldCount; ++i) EntityGroup(gHeld[i].code, gHeld[i].value);
  if (gHeldLost) KxLog(" entity: %d groups before its layer not read\n", gHeldLost);
  s.state = ssReading;
}

// The group 0 that ends the current entity.
void endEntity(Scan& s) {
  // An entity without layer group lies on layer 0.
  if (s.state == ssPending) decide(s, "0");
  if (s.state == ssReading) EntityFinish();
  s.state = ssNone;
}

// A group 0: the end of the current entity and the start of whatever it names.
// False at the end of the drawing.
bool groupZero(Scan& s, const char* value) {
  endEntity(s);
  s.sectionName = false;
  int kind = DxfEntityKind(value);
  if (kind != dkVERTEX) PolylineEnd();
  if (kind == dkNONE) {
    if (DxfIs(value, "SECTION")) {
      s.sectionName = true;
      s.readable = false;
    } else if (DxfIs(value, "ENDSEC")) {
      s.readable = true;
    } else if (DxfIs(value, "BLOCK")) {
      s.inBlock = true;
    } else if (DxfIs(value, "ENDBLK")) {
      s.inBlock = false;
    } else if (DxfIs(value, "EOF")) {
      return false;
    }
    return true;
  }
  // Block definitions are placed where the drawing inserts them, not at their own coordinates.
  if (!s.readable || s.inBlock || kind == dkSEQEND) return true;
  s.kind = kind;
  s.layerSeen = false;
  if (kind == dkVERTEX) {
    // A vertex belongs to its polyline, whatever its own layer.
    if (PolylineTakesVertices()) {
      EntityStart(kind);
      s.state = ssReading;
    }
    return true;
  }
  gHeldCount = gHeldLost = 0;
  s.state = ssPending;
  return true;
}

}  // namespace

int getElementsFromLayer() {
  logHeader();
  Scan s;
  char line[kDxfLineSize];
  char value[kDxfLineSize];
  while (DxfReadLine(line)) {
    int code;
    if (!codeOf(line, code)) continue;
    // Most values of a drawing belong to entities that are not read: passed unread.
    if (code != 0 && s.state == ssNone && !(code == 2 && s.sectionName)) {
      if (!DxfSkipLine()) break;
      continue;
    }
    if (!DxfReadLine(value)) break;
    if (code == 0) {
      if (!groupZero(s, value)) break;
      continue;
    }
    if (s.sectionName) {
      if (code == 2) {
        s.sectionName = false;
        s.readable = DxfIs(value, "ENTITIES");
      }
      continue;
    }
    if (s.state == ssPending) {
      if (code == 8)
        decide(s, value);
      else
        hold(code, value);
      continue;
    }
    if (code == 8 && !s.layerSeen) {
      s.layerSeen = true;
      continue;
    }
    EntityGroup(code, value);
  }
  // An entity cut off by the end of the file adds nothing more.
  PolylineEnd();
  if (DxfTwelveRules()) {
    KxPrint(" %ld Elemente found\n\n", eldsCounter);
    KxLog(" %ld Elemente found\n\n", eldsCounter);
  } else {
    KxPrint("found %ld Elements\n\n", eldsCounter);
    KxLog("found %ld Elements\n\n", eldsCounter);
  }
  return 0;
}
