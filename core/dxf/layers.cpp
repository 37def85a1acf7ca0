// The layer list that selects which drawing layers are converted, with the
// per-layer technology overrides, the layer pass over the drawing's layer
// table, and the layer test of the entities.
#include <cstring>

#include "config/config.h"
#include "dxf/dxf.h"
#include "dxf/reading.h"
#include "elements/elements.h"
#include "geometry/base.h"
#include "run/run.h"


static bool contains(const char* text, const char* part) { return strstr(text, part) != nullptr; }

// Name of entry nr, or "" for an index outside the list (an element without layer has -1).
static const char* entryName(KxRun& run, int nr) { return nr >= 0 && nr < kMaxLayerEntries ? run.dxf.fLL[nr].Name : ""; }

static int layerAdd(KxRun& run, const char* lName) {
  if (run.dxf.aktLayEntry >= kMaxLayerEntries) {
    KxLog(run, "(full)");
    KxPrint(run, "(full)");
    return 0;
  }
  if (contains(lName, run.cfg.edmLayer)) KxPrint(run, " default-");
  // Entry 0 is always the main layer; after it only names with the optional prefix.
  if (!contains(lName, run.cfg.optLayer) && run.dxf.aktLayEntry != 0) {
    KxPrint(run, KxConsole(run) ? " nope\n" : "\n");
    return 0;
  }
  if (run.io.log_stream) {
    KxFilePrint(run.io.log_stream, "%s : ", run.cfg.optLayer);
    if (run.dxf.aktLayEntry == 0) KxFilePrint(run.io.log_stream, "%s\n", lName);
  }
  dxfLayerList& e = run.dxf.fLL[run.dxf.aktLayEntry];
  KxCopy(e.Name, sizeof e.Name, lName);
  e.GlobUsed = e.used = e.useReg = 0;
  e.useOft = e.useKonik = 0;
  if (run.dxf.aktLayEntry == 0) KxPrint(run, "%s\n", lName);
  KxPrint(run, " fLL ADD\n");
  if (contains(lName, "POSITION")) run.dxf.positionLayer = 1;
  ++run.dxf.aktLayEntry;
  return 1;
}

// A technology text with layer values ("A=", "OF=", "R=") for a listed layer, or,
// with "L>", for the layer of the text's own element.
static int layerVaria(KxRun& run, const char* text, long elnum) {
  if (run.dxf.aktLayEntry == 0) return 0;
  int ownLayer = elnum >= 0 && elnum < run.table.eldsMaximum ? run.table.elds[elnum].fLayer : -1;
  int y = 0;
  for (; y < run.dxf.aktLayEntry; ++y) {
    if (contains(text, run.dxf.fLL[y].Name)) break;
    if (ownLayer == y && contains(text, "L>")) break;
  }
  if (y >= run.dxf.aktLayEntry) return 0;

  const bool console = KxConsole(run);
  if (!console) KxPrint(run, "%d var LayerValues: (%s)", ll_VARIA, text);
  KxLog(run, "\nvar LayerValues: '%s' ", text);
  dxfLayerList& e = run.dxf.fLL[y];
  if (const char* p = strstr(text, "A=")) {
    e.useKonik = DxfValue(p + 2);
    run.nc.techno.HatKonik = 1;
    if (!console) KxPrint(run, "[LAngle]");
    KxLog(run, "[LAngle]");
    if (e.useKonik > kMaxTaper) {
      e.useKonik = 0;
      KxPrint(run, console ? "[useAng. oops]" : "[oops]");
    }
  }
  if (const char* p = strstr(text, "OF=")) {
    e.useOft = DxfValue(p + 3);
    if (!console) KxPrint(run, "[LOffset]");
    KxLog(run, "[LOffset]");
  }
  if (const char* p = strstr(text, "R=")) {
    e.useReg = (int)KxInteger(p + 2);
    if (!console) KxPrint(run, "[LRegister]");
    KxLog(run, "[LRegister]");
    if (e.useReg < 2 || e.useReg > 5) {
      e.useReg = 2;
      KxPrint(run, console ? "[use Reg. oops]" : "[oops]");
    }
  }
  return 1;
}

void StartLayerList(KxRun& run) {
  run.dxf.fLL.Clear();
  // The list starts as the settings leave it: the main layer alone, as entry 0.
  KxCopy(run.dxf.fLL[0].Name, sizeof run.dxf.fLL[0].Name, run.cfg.edmLayer);
  run.dxf.aktLayEntry = 1;
  run.dxf.multiLayer = 1;
  run.dxf.positionLayer = contains(run.cfg.edmLayer, "POSITION") ? 1 : 0;
  run.dxf.refusedEntities = 0;
  run.dxf.topLayer = run.cfg.topLayer[0] ? run.cfg.topLayer : std::string(run.cfg.edmLayer) + "_TOP";
  run.dxf.syncLayer = run.cfg.syncLayer[0] ? run.cfg.syncLayer : std::string(run.cfg.edmLayer) + "_SYNC";
  run.dxf.topDrawn = run.dxf.syncDrawn = false;
}

int fLayerList(KxRun& run, int modus, int nr, const char* lName, long elnum) {
  if (run.dxf.multiLayer == 0) return 0;
  if (!lName) lName = "";
  switch (modus) {
    case ll_ADD:
      return layerAdd(run, lName);
    case ll_VARIA:
      return layerVaria(run, lName, elnum);
    case ll_CLR_U:
      for (int y = 0; y < run.dxf.aktLayEntry; ++y) {
        run.dxf.fLL[y].used = run.dxf.fLL[y].useReg = 0;
        run.dxf.fLL[y].useOft = run.dxf.fLL[y].useKonik = 0;
      }
      return 1;
    case ll_LIST:
      for (int y = 0; y < run.dxf.aktLayEntry; ++y) {
        const dxfLayerList& e = run.dxf.fLL[y];
        if (nr == 1 && e.used > 0)
          KxPrint(run, " %02d U:%d '%20s' R:%d OFS:%+.3f A%+.3f \n", y, e.used, e.Name, e.useReg, e.useOft,
                  e.useKonik);
        else if (nr == 0)
          KxPrint(run, " %02d U:%d '%20s' \n", y, e.GlobUsed, e.Name);
      }
      return 1;
    case ll_AISO:
      return contains(entryName(run, nr), "ISO") ? 1 : 0;
    case ll_APOSITION:
      return contains(entryName(run, nr), "POSITION") ? 1 : 0;
    default:
      return 0;
  }
}

int LayerSelected(KxRun& run, const char* name) {
  // Stored names are cut to 31 characters; a longer drawing name matches on those.
  // Every entity of the drawing comes by here: compared without a library call.
  for (int y = 0; y < run.dxf.aktLayEntry; ++y) {
    const char* stored = run.dxf.fLL[y].Name;
    size_t i = 0;
    while (i < sizeof run.dxf.fLL[0].Name - 1 && stored[i] && stored[i] == name[i]) ++i;
    if (stored[i] == '\0' && (name[i] == '\0' || i == sizeof run.dxf.fLL[0].Name - 1)) {
      run.table.aktLayName = y;
      return 1;
    }
  }
  if (run.dxf.aktLayEntry == 0) run.table.aktLayName = 0;
  if (DxfIs(name, run.cfg.edmLayer)) return 1;
  // The four-axis layers are read apart, and only when the drawing has them.
  if (!run.dxf.topDrawn && DxfIs(name, run.dxf.topLayer.c_str())) run.dxf.topDrawn = true;
  if (!run.dxf.syncDrawn && DxfIs(name, run.dxf.syncLayer.c_str())) run.dxf.syncDrawn = true;
  return 0;
}

static void handOver(KxRun& run, const char* name) {
  if (!KxConsole(run) && run.dxf.layerNameHook) run.dxf.layerNameHook(name);
}

// 2000-format table: every AcDbLayerTableRecord is followed by group 2 and the name.
static void read2000Table(KxRun& run, long& count) {
  char line[kDxfLineSize];
  while (DxfReadLine(run, line)) {
    if (DxfIs(line, "AcDbLayerTableRecord")) {
      if (!DxfReadLine(run, line)) break;
      if (DxfCode(line) == 2) {
        if (!DxfReadLine(run, line)) break;
        KxLog(run, "%s\n", line);
        ++count;
        fLayerList(run, ll_ADD, 0, line, 0);
        KxPrint(run, "(AcDbLay.)\t%s \n", line);
        handOver(run, line);
      }
    }
    if (count > 2) {
      if (DxfIs(line, "ENDTAB")) {
        KxPrint(run, " ..ENDTAB  <break>\n");
        break;
      }
      if (DxfIs(line, "AcDbDictionary")) {
        KxPrint(run, "..nach AcDbDictionary <break>");
        break;
      }
    }
  }
}

// 12-format table: the first "LAYER" is the table's own name line, the others
// are followed by group 2 and the layer's name. The search ends where the
// entities begin: tables and blocks come before them, and going on to the end
// read a large drawing twice for nothing but a "LAYER" among the entities' values.
static void read1009Table(KxRun& run, long& count) {
  static const char* const kLayer[] = {"LAYER", "ENTITIES"};
  char line[kDxfLineSize];
  DxfSearch search{};
  while (DxfFindLine(run, search, line, kLayer, 2) == 0) {
    if (!DxfReadLine(run, line) || !DxfReadLine(run, line)) break;
    ++count;
    if (count == 1) KxPrint(run, "..possible Layer:\n");
    if (count > 1) {
      KxPrint(run, "(Layer %d)\t %16s ", run.dxf.aktLayEntry, line);
      fLayerList(run, ll_ADD, 0, line, 0);
      KxLog(run, "%s\n", line);
      handOver(run, line);
    }
    if (DxfIs(line, "ENTITIES")) {
      KxPrint(run, "..nach ENTITIES <break>");
      break;
    }
    if (DxfIs(line, "ENDSEC")) {
      KxPrint(run, "..nach ENDSEC <break>\n");
      break;
    }
  }
}

int getLayers(KxRun& run) {
  long count = 0;
  KxPrint(run, "\n");
  KxLog(run, "\n-- Layers: ---\n");
  fLayerList(run, ll_ADD, 0, run.cfg.edmLayer, 0);
  // The console keeps the POSITION mark only for layers found in the drawing.
  if (KxConsole(run)) run.dxf.positionLayer = 0;
  // Versions from AC1012 on write the subclass markers of the 2000-format table.
  if (run.dxf.acad_IntVers >= 1012) read2000Table(run, count);
  if (DxfTwelveRules(run)) read1009Table(run, count);
  --count;
  KxPrint(run, ".. %ld Layer found\n\n", count);
  fLayerList(run, ll_LIST, KxConsole(run) ? 1 : 0, nullptr, 0);
  return 0;
}
