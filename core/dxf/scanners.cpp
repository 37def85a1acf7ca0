// The entity pass: one forward scan over the drawing's group-code/value pairs.
// An entity begins at a group 0 naming its type and ends at the next group 0;
// its layer is its group 8 wherever that stands. Entities of the selected layers
// outside block definitions go to the entity conversion.
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "config/config.h"
#include "dxf/dxf.h"
#include "dxf/reading.h"
#include "elements/elements.h"
#include "geometry/base.h"
#include "run/run.h"

namespace {

void logHeader(KxRun& run) {
  KxLog(run, "\n %s (ACAD_VERSION: %s)\n Worklayer:%s\n\n-- Elements: ---\n", run.io.in_filename.c_str(), run.dxf.acad_VersInfo, run.cfg.edmLayer);
}

// Holds a group that came before the entity's layer group.
void hold(KxRun& run, DxfReading& rd, int code, const char* value) {
  // The marker every entity of a 2000-format drawing carries says nothing.
  if (code == 100 && value[0] == 'A' && memcmp(value, "AcDbEntity", 11) == 0) return;
  if (rd.heldCount >= run.table.eldsMaximum) {
    ++rd.heldLost;
    return;
  }
  if ((size_t)rd.heldCount == rd.held.size()) rd.held.emplace_back();
  rd.held[rd.heldCount].code = code;
  rd.held[rd.heldCount].value.assign(value, strnlen(value, kDxfLineSize - 1));
  ++rd.heldCount;
}

enum ScanState { ssNone, ssPending, ssReading, ssBlockHead };

struct Scan {
  ScanState state = ssNone;
  int kind = dkNONE;
  bool layerSeen = false;   // the entity's first group 8 was taken as its layer
  bool sectionName = false; // the last group 0 was SECTION: its group 2 names it
  bool readable = true;     // in the ENTITIES section or outside any section
  bool blocks = false;      // in the BLOCKS section
  bool inBlock = false;     // between BLOCK and ENDBLK
  bool capture = false;     // the entity goes into the open block definition
};

// Some writers pad values with blanks; a layer name is the same without them.
bool trimmedSelected(KxRun& run, const char* layer) {
  size_t n = strlen(layer);
  if (n == 0 || (layer[0] != ' ' && layer[n - 1] != ' ')) return false;
  size_t b = 0;
  while (b < n && layer[b] == ' ') ++b;
  while (n > b && layer[n - 1] == ' ') --n;
  char name[kDxfLineSize];
  memcpy(name, layer + b, n - b);
  name[n - b] = '\0';
  return LayerSelected(run, name) != 0;
}

// Whether the entity pass reads nothing of an entity on this layer (of n characters).
bool foreignLayer(KxRun& run, const char* layer, size_t n) {
  if (LayerSelected(run, layer)) return false;
  // Only a name with a blank at either end may be read trimmed.
  return n == 0 || (layer[0] != ' ' && layer[n - 1] != ' ') || !trimmedSelected(run, layer);
}

// The layer decides: the held groups are then read in their order.
void decide(KxRun& run, DxfReading& rd, Scan& s, const char* layer) {
  s.layerSeen = true;
  if (s.capture) {
    // In a block definition, layer 0 stands for the layer of the insert; an
    // insert on a layer not read may still place geometry of layers that are.
    int as = kBlockLayerOther;
    if (DxfIs(layer, "0"))
      as = kBlockLayerZero;
    else if (LayerSelected(run, layer) || trimmedSelected(run, layer))
      as = run.table.aktLayName;
    // Other geometry of a layer not read is never placed; a definition the store
    // has no room for keeps nothing.
    if ((as == kBlockLayerOther && s.kind != dkINSERT) || !BlockEntityLayer(rd.blocks, as)) {
      s.state = ssNone;
      return;
    }
  } else {
    const bool read = LayerSelected(run, layer) || trimmedSelected(run, layer);
    // An insert on a layer not read may still place geometry of layers that are.
    if (!read && s.kind != dkINSERT) {
      s.state = ssNone;
      return;
    }
    BlockEntityOutside(rd.blocks, read);
  }
  EntityStart(run, rd, s.kind);
  for (int i = 0; i < rd.heldCount; ++i) EntityGroup(run, rd, rd.held[i].code, rd.held[i].value.c_str());
  if (rd.heldLost && !BlockEntityOnLayerNotRead(rd.blocks)) KxLog(run, " entity: %d groups before its layer not read\n", rd.heldLost);
  s.state = ssReading;
}

// The group 0 that ends the current entity.
void endEntity(KxRun& run, DxfReading& rd, Scan& s) {
  // Every entity a CAD program writes has its layer group; a group 0 value without
  // one was a word inside some other group's text, and adds nothing.
  if (s.state == ssReading) EntityFinish(run, rd);
  s.state = ssNone;
}

// A group 0: the end of the current entity and the start of whatever it names,
// of the given kind (DxfEntityKind of the value). False at the end of the drawing.
bool groupZero(KxRun& run, DxfReading& rd, Scan& s, const char* value, int kind) {
  endEntity(run, rd, s);
  s.sectionName = false;
  if (kind != dkVERTEX) PolylineEnd(run, rd);
  if (kind == dkNONE) {
    if (DxfIs(value, "SECTION")) {
      s.sectionName = true;
      s.readable = false;
      s.inBlock = s.blocks = false;
      BlockEnd(rd.blocks);
    } else if (DxfIs(value, "ENDSEC")) {
      s.readable = true;
      s.inBlock = s.blocks = false;
      BlockEnd(rd.blocks);
    } else if (DxfIs(value, "BLOCK")) {
      s.inBlock = true;
      if (s.blocks) {
        // Its name and base point follow as its groups.
        BlockBegin(rd.blocks);
        s.state = ssBlockHead;
      }
    } else if (DxfIs(value, "ENDBLK")) {
      s.inBlock = false;
      BlockEnd(rd.blocks);
    } else if (DxfIs(value, "EOF")) {
      return false;
    }
    return true;
  }
  // Block definitions are placed where the drawing inserts them, not at their own
  // coordinates: their geometry is kept for the inserts.
  if (kind == dkSEQEND) return true;
  s.capture = false;
  if (s.inBlock) {
    if (!s.blocks || kind == dkTEXT || kind == dkMTEXT || kind == dkPOINT) return true;
    s.capture = true;
  } else if (!s.readable) {
    return true;
  }
  s.kind = kind;
  s.layerSeen = false;
  if (kind == dkVERTEX) {
    // A vertex belongs to its polyline, whatever its own layer.
    if (PolylineTakesVertices(rd)) {
      EntityStart(run, rd, kind);
      s.state = ssReading;
    }
    return true;
  }
  rd.heldCount = rd.heldLost = 0;
  s.state = ssPending;
  return true;
}

bool groupZero(KxRun& run, DxfReading& rd, Scan& s, const char* value) { return groupZero(run, rd, s, value, DxfEntityKind(value)); }

// The groups the entity conversion looks at; the values of all others are passed unread.
inline bool relevant(int code) {
  switch (code) {
    case 1: case 2: case 5: case 8: case 10: case 11: case 20: case 21: case 30: case 40: case 41: case 42:
    case 44: case 45: case 50: case 51: case 70: case 71: case 100: case 210: case 220: case 230:
      return true;
    default:
      return false;
  }
}


// Where nothing is read up to the next entity, the lines are passed by a search
// for the words that start what the pass looks at. The search does not know
// which group a line belongs to: a word found may be the value of another
// group. Then it is still followed by a code line, so the pairs stay in step;
// an entity type taken in such a place finds no layer group and adds nothing.
// The words that change where the pass stands are checked by the group after them.
// Lightweight polylines and splines exist from AC1012 on; every further word
// costs the search time. ENDBLK is not searched: a block definition is followed
// by the next BLOCK or the ENDSEC, which close it as well.
constexpr int kSectionWords = 3;
// The words searched: the section words, then the entity kinds of 12-format
// drawings, then those that exist from AC1012 on; the kind of each word.
struct StartWords {
  const char* words[kSectionWords + dkKindCount];
  int kinds[kSectionWords + dkKindCount];
  int twelve = kSectionWords;   // words of a 12-format drawing
  int all = kSectionWords;      // words of a 2000-format drawing
};
const StartWords& startWords() {
  static const StartWords w = [] {
    StartWords s{{"SECTION", "ENDSEC", "BLOCK"}, {}};
    for (int later = 0; later < 2; ++later) {
      for (int k = dkNONE + 1; k < dkKindCount; ++k) {
        if (kDxfKinds[k].twelve == (later != 0)) continue;
        s.kinds[s.all] = k;
        s.words[s.all++] = kDxfKinds[k].name;
      }
      if (!later) s.twelve = s.all;
    }
    return s;
  }();
  return w;
}

bool knownSection(const char* name) {
  static const char* const names[] = {"HEADER", "CLASSES", "TABLES", "BLOCKS", "ENTITIES", "OBJECTS",
                                      "THUMBNAILIMAGE", "ACDSDATA"};
  for (const char* n : names)
    if (DxfIs(name, n)) return true;
  return false;
}

}  // namespace

// The pass: (1) a reading object for this drawing, its entities starting from what
// the run's last read left; (2) where nothing is read, a keyword search to the next
// word that starts a section, block or entity; (3) within what is read, the
// group pairs one by one: group 0 ends and starts entities, a pending entity's
// groups are held until its layer decides, the others go to the conversion;
// (4) the open polyline ends, the run keeps what the entities left staged, and the
// count is told.
int getElementsFromLayer(KxRun& run) {
  logHeader(run);
  // The pass's working state (large: kept off the stack); the entities start from
  // what the run's last read left.
  auto owned = std::make_unique<DxfReading>();
  DxfReading& rd = *owned;
  rd.staged = run.dxf.leftover;
  Scan s;
  char value[kDxfLineSize];
  char word[kDxfLineSize];
  bool haveLine = false;  // next holds the code of a code line read and not yet looked at
  int next = 0;
  for (;;) {
    if (!haveLine && s.state == ssNone && !s.sectionName) {
      const StartWords& starts = startWords();
      int k = DxfFindLine(run, rd.search, word, starts.words, DxfTwelveRules(run) ? starts.twelve : starts.all);
      if (k < 0) break;
      const int got = DxfReadCode(run, &next);
      if (got < 0) break;
      if (got == 0) continue;
      haveLine = true;
      if (k >= kSectionWords) {
        groupZero(run, rd, s, word, starts.kinds[k]);
        // The head of an entity on a layer not read is passed where it lies (an
        // insert may still place what its block holds, a definition keeps more).
        if (s.state == ssPending && !s.capture && s.kind != dkINSERT && DxfPassForeignHead(run, next, foreignLayer)) {
          haveLine = false;
          s.layerSeen = true;
          s.state = ssNone;
        }
        continue;
      }
      if (DxfIs(word, "SECTION")) {
        if (next != 2) continue;
        haveLine = false;
        if (!DxfReadLine(run, value)) break;
        if (knownSection(value)) {
          groupZero(run, rd, s, word);
          s.sectionName = false;
          s.readable = DxfIs(value, "ENTITIES");
          s.blocks = DxfIs(value, "BLOCKS");
        }
        continue;
      }
      if (DxfIs(word, "ENDSEC")) {
        if (next == 0) groupZero(run, rd, s, word);
        continue;
      }
      // BLOCK and ENDBLK open an entity of their own: a handle, an owner or a layer follows.
      bool entityHead = next == 5 || next == 8 || next == 330 || next == 102 || next == 67;
      if (next == 100) {
        haveLine = false;
        if (!DxfReadLine(run, value)) break;
        entityHead = DxfIs(value, "AcDbEntity");
      }
      if (entityHead) groupZero(run, rd, s, word);
      continue;
    }
    int code = next;
    if (!haveLine) {
      const int got = DxfReadCode(run, &code);
      if (got < 0) break;
      if (got == 0) continue;
    }
    haveLine = false;
    if (code != 0) {
      if (code == 2 && s.sectionName) {
        if (!DxfReadLine(run, value)) break;
        s.sectionName = false;
        s.readable = DxfIs(value, "ENTITIES");
        s.blocks = DxfIs(value, "BLOCKS");
        continue;
      }
      // Values of groups that say nothing here are passed unread.
      if (s.state == ssNone || !relevant(code)) {
        if (!DxfSkipLine(run)) break;
        continue;
      }
    }
    if (!DxfReadLine(run, value)) break;
    if (code == 0) {
      if (!groupZero(run, rd, s, value)) break;
      continue;
    }
    if (s.state == ssBlockHead) {
      BlockHeadGroup(run, rd.blocks, code, value);
      continue;
    }
    if (s.state == ssPending) {
      if (code == 8)
        decide(run, rd, s, value);
      else
        hold(run, rd, code, value);
      continue;
    }
    if (code == 8 && !s.layerSeen) {
      s.layerSeen = true;
      continue;
    }
    EntityGroup(run, rd, code, value);
  }
  // An entity cut off by the end of the file adds nothing more.
  PolylineEnd(run, rd);
  run.dxf.leftover = rd.staged;
  if (DxfTwelveRules(run)) {
    KxPrint(run, " %ld Elemente found\n\n", run.table.eldsCounter);
    KxLog(run, " %ld Elemente found\n\n", run.table.eldsCounter);
  } else {
    KxPrint(run, "found %ld Elements\n\n", run.table.eldsCounter);
    KxLog(run, "found %ld Elements\n\n", run.table.eldsCounter);
  }
  return 0;
}
