// The layer list that selects which drawing layers are converted, with the
// per-layer technology overrides, the layer pass over the drawing's layer
// table, and the layer test of the entities.
#include <cstring>

#include "config/config.h"
#include "dxf/dxf.h"
#include "elements/elements.h"
#include "geometry/base.h"

KxGrowingTable<dxfLayerList, 6> fLL;
int gAktLayEntry = 0;
int gMultiLayer = 1;
int gPositionLayer = 0;
char moveType[24] = "G01";
KxLayerNameFn gLayerNameHook = nullptr;

static bool contains(const char* text, const char* part) { return strstr(text, part) != nullptr; }

// Name of entry nr, or "" for an index outside the list (an element without layer has -1).
static const char* entryName(int nr) { return nr >= 0 && nr < kMaxLayerEntries ? fLL[nr].Name : ""; }

static int layerAdd(const char* lName) {
  if (gAktLayEntry >= kMaxLayerEntries) {
    KxLog("(full)");
    KxPrint("(full)");
    return 0;
  }
  if (contains(lName, edmLayer)) KxPrint(" default-");
  // Entry 0 is always the main layer; after it only names with the optional prefix.
  if (!contains(lName, optLayer) && gAktLayEntry != 0) {
    KxPrint(KxConsole() ? " nope\n" : "\n");
    return 0;
  }
  if (log_stream) {
    fprintf(log_stream, "%s : ", optLayer);
    if (gAktLayEntry == 0) fprintf(log_stream, "%s\n", lName);
  }
  dxfLayerList& e = fLL[gAktLayEntry];
  KxCopy(e.Name, sizeof e.Name, lName);
  e.GlobUsed = e.used = e.useReg = 0;
  e.useOft = e.useKonik = 0;
  if (gAktLayEntry == 0) KxPrint("%s\n", lName);
  KxPrint(" fLL ADD\n");
  if (contains(lName, "POSITION")) gPositionLayer = 1;
  ++gAktLayEntry;
  return 1;
}

// A technology text with layer values ("A=", "OF=", "R=") for a listed layer, or,
// with "L>", for the layer of the text's own element.
static int layerVaria(const char* text, long elnum) {
  if (gAktLayEntry == 0) return 0;
  int ownLayer = elnum >= 0 && elnum < eldsMaximum ? elds[elnum].fLayer : -1;
  int y = 0;
  for (; y < gAktLayEntry; ++y) {
    if (contains(text, fLL[y].Name)) break;
    if (ownLayer == y && contains(text, "L>")) break;
  }
  if (y >= gAktLayEntry) return 0;

  const bool console = KxConsole();
  if (!console) KxPrint("%d var LayerValues: (%s)", ll_VARIA, text);
  KxLog("\nvar LayerValues: '%s' ", text);
  dxfLayerList& e = fLL[y];
  if (const char* p = strstr(text, "A=")) {
    e.useKonik = DxfValue(p + 2);
    ktechno.HatKonik = 1;
    if (!console) KxPrint("[LAngle]");
    KxLog("[LAngle]");
    if (e.useKonik > kMaxTaper) {
      e.useKonik = 0;
      KxPrint(console ? "[useAng. oops]" : "[oops]");
    }
  }
  if (const char* p = strstr(text, "OF=")) {
    e.useOft = DxfValue(p + 3);
    if (!console) KxPrint("[LOffset]");
    KxLog("[LOffset]");
  }
  if (const char* p = strstr(text, "R=")) {
    e.useReg = (int)KxInteger(p + 2);
    if (!console) KxPrint("[LRegister]");
    KxLog("[LRegister]");
    if (e.useReg < 2 || e.useReg > 5) {
      e.useReg = 2;
      KxPrint(console ? "[use Reg. oops]" : "[oops]");
    }
  }
  return 1;
}

// Without the layer list the move type stays as it is.
const char* SetMoveTypeForLayer(int nr) {
  if (gMultiLayer == 0) return moveType;
  const char* name = entryName(nr);
  if (contains(name, "G0MOVE") || contains(name, "EILGANG")) {
    KxCopy(moveType, sizeof moveType, "G00");
    return moveType;
  }
  if (!KxConsole() || contains(moveType, "G01")) {
    KxCopy(moveType, sizeof moveType, "G01");
    return moveType;
  }
  // The console control needs its after-rapid word in front of the first feed move;
  // the word must never cut off the G01 behind it, or every later move stays rapid.
  static_assert(sizeof moveType >= sizeof mS.AfterRapid + 3, "after-rapid word and G01 must fit");
  char word[sizeof moveType];
  KxCopy(word, sizeof word, mS.AfterRapid);
  KxCat(word, sizeof word, "G01");
  KxCopy(moveType, sizeof moveType, word);
  return moveType;
}

void ResetDxfRun() {
  fLL.Clear();
  // The list starts as the settings leave it: the main layer alone, as entry 0.
  KxCopy(fLL[0].Name, sizeof fLL[0].Name, edmLayer);
  gAktLayEntry = 1;
  gMultiLayer = 1;
  gPositionLayer = contains(edmLayer, "POSITION") ? 1 : 0;
  KxCopy(moveType, sizeof moveType, "G01");
  gRefusedEntities = 0;
}

int fLayerList(int modus, int nr, const char* lName, long elnum) {
  if (gMultiLayer == 0) return 0;
  if (!lName) lName = "";
  switch (modus) {
    case ll_ADD:
      return layerAdd(lName);
    case ll_VARIA:
      return layerVaria(lName, elnum);
    case ll_CLR_U:
      for (int y = 0; y < gAktLayEntry; ++y) {
        fLL[y].used = fLL[y].useReg = 0;
        fLL[y].useOft = fLL[y].useKonik = 0;
      }
      return 1;
    case ll_LIST:
      for (int y = 0; y < gAktLayEntry; ++y) {
        const dxfLayerList& e = fLL[y];
        if (nr == 1 && e.used > 0)
          KxPrint(" %02d U:%d '%20s' R:%d OFS:%+.3f A%+.3f \n", y, e.used, e.Name, e.useReg, e.useOft,
                  e.useKonik);
        else if (nr == 0)
          KxPrint(" %02d U:%d '%20s' \n", y, e.GlobUsed, e.Name);
      }
      return 1;
    case ll_AISO:
      return contains(entryName(nr), "ISO") ? 1 : 0;
    case ll_APOSITION:
      return contains(entryName(nr), "POSITION") ? 1 : 0;
    default:
      return 0;
  }
}

int LayerSelected(const char* name) {
  // Stored names are cut to 31 characters; a longer drawing name matches on those.
  // Every entity of the drawing comes by here: compared without a library call.
  for (int y = 0; y < gAktLayEntry; ++y) {
    const char* stored = fLL[y].Name;
    size_t i = 0;
    while (i < sizeof fLL[0].Name - 1 && stored[i] && stored[i] == name[i]) ++i;
    if (stored[i] == '\0' && (name[i] == '\0' || i == sizeof fLL[0].Name - 1)) {
      gAktLayName = y;
      return 1;
    }
  }
  if (gAktLayEntry == 0) gAktLayName = 0;
  return DxfIs(name, edmLayer) ? 1 : 0;
}

static void handOver(const char* name) {
  if (!KxConsole() && gLayerNameHook) gLayerNameHook(name);
}

// 2000-format table: every AcDbLayerTableRecord is followed by group 2 and the name.
static void read2000Table(long& count) {
  char line[kDxfLineSize];
  while (DxfReadLine(line)) {
    if (DxfIs(line, "AcDbLayerTableRecord")) {
      if (!DxfReadLine(line)) break;
      if (DxfCode(line) == 2) {
        if (!DxfReadLine(line)) break;
        KxLog("%s\n", line);
        ++count;
        fLayerList(ll_ADD, 0, line, 0);
        KxPrint("(AcDbLay.)\t%s \n", line);
        handOver(line);
      }
    }
    if (count > 2) {
      if (DxfIs(line, "ENDTAB")) {
        KxPrint(" ..ENDTAB  <break>\n");
        break;
      }
      if (DxfIs(line, "AcDbDictionary")) {
        KxPrint("..nach AcDbDictionary <break>");
        break;
      }
    }
  }
}

// 12-format table: the first "LAYER" is the table's own name line, the others
// are followed by group 2 and the layer's name.
static void read1009Table(long& count) {
  static const char* const kLayer[] = {"LAYER"};
  char line[kDxfLineSize];
  while (DxfFindLine(line, kLayer, 1) == 0) {
    if (!DxfReadLine(line) || !DxfReadLine(line)) break;
    ++count;
    if (count == 1) KxPrint("..possible Layer:\n");
    if (count > 1) {
      KxPrint("(Layer %d)\t %16s ", gAktLayEntry, line);
      fLayerList(ll_ADD, 0, line, 0);
      KxLog("%s\n", line);
      handOver(line);
    }
    if (DxfIs(line, "ENTITIES")) {
      KxPrint("..nach ENTITIES <break>");
      break;
    }
    if (DxfIs(line, "ENDSEC")) {
      KxPrint("..nach ENDSEC <break>\n");
      break;
    }
  }
}

int getLayers() {
  long count = 0;
  KxPrint("\n");
  KxLog("\n-- Layers: ---\n");
  fLayerList(ll_ADD, 0, edmLayer, 0);
  // The console keeps the POSITION mark only for layers found in the drawing.
  if (KxConsole()) gPositionLayer = 0;
  // Versions from AC1012 on write the subclass markers of the 2000-format table.
  if (acad_IntVers >= 1012) read2000Table(count);
  if (DxfTwelveRules()) read1009Table(count);
  --count;
  KxPrint(".. %ld Layer found\n\n", count);
  fLayerList(ll_LIST, KxConsole() ? 1 : 0, nullptr, 0);
  return 0;
}
