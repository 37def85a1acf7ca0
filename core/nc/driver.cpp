// The NC output driver: opens the NC program, writes its head (remarks, mode,
// planes, plate reference, group list, main program of sub-program calls), one
// block per contour through the contour writers, and the foot. The file is
// composed beside its target and only renamed over it once it is complete.
#include <cstdarg>
#include <cstring>
#include <ctime>
#include <map>
#include <string>
#include <vector>

#include "config/config.h"
#include "contours/contours.h"
#include "dxf/dxf.h"
#include "elements/elements.h"
#include "geometry/base.h"
#include "nc/nc.h"
#include "run/run.h"



void NcPut(FILE* ostream, const char* fmt, ...) {
  if (!ostream) return;
  // Written straight into the stream: no line can outgrow a buffer, whatever
  // the number of contours in the group line or the length of a device word.
  va_list ap;
  va_start(ap, fmt);
  KxFilePrintV(ostream, fmt, ap);
  va_end(ap);
}

void NcPlaneLines(KxRun& run, FILE* ostream) {
  const KxSettings& cfg = run.cfg;
  NcPut(ostream, "%s%.3f%s\n", cfg.mS.PrgPlane, run.nc.techno.dPE, cfg.mS.EOL);
  NcPut(ostream, "%s%.3f%s\n", cfg.mS.HlpPlane, run.nc.techno.dHE, cfg.mS.EOL);
  // A top plane word that already names a register takes its height from there.
  NcPut(ostream, "%s", cfg.mS.TopPlane);
  if (!strstr(cfg.mS.TopPlane, cfg.mS.VReg)) NcPut(ostream, "%.3f", run.nc.techno.dOE);
  NcPut(ostream, "%s\n", cfg.mS.EOL);
}

const dxfLayerList& NcLayer(KxRun& run, int nr) {
  static const dxfLayerList none = {};
  return nr >= 0 && nr < kMaxLayerEntries ? run.dxf.fLL[nr] : none;
}

// Without the layer list the move type stays as it is.
const char* SetMoveTypeForLayer(KxRun& run, int nr) {
  if (run.dxf.multiLayer == 0) return run.nc.moveType;
  const char* name = NcLayer(run, nr).Name;
  if (strstr(name, "G0MOVE") || strstr(name, "EILGANG")) {
    KxCopy(run.nc.moveType, sizeof run.nc.moveType, "G00");
    return run.nc.moveType;
  }
  if (!KxConsole(run) || strstr(run.nc.moveType, "G01")) {
    KxCopy(run.nc.moveType, sizeof run.nc.moveType, "G01");
    return run.nc.moveType;
  }
  // The console control needs its after-rapid word in front of the first feed move;
  // the word must never cut off the G01 behind it, or every later move stays rapid.
  static_assert(sizeof run.nc.moveType >= sizeof run.cfg.mS.AfterRapid + 3, "after-rapid word and G01 must fit");
  char word[sizeof run.nc.moveType];
  KxCopy(word, sizeof word, run.cfg.mS.AfterRapid);
  KxCat(word, sizeof word, "G01");
  KxCopy(run.nc.moveType, sizeof run.nc.moveType, word);
  return run.nc.moveType;
}

bool NcValidElement(KxRun& run, long i) { return i >= 0 && i < run.table.eldsCounter; }

void NcNoteTechLine(KxRun& run, FILE* ostream, const char* line, float feed, int known) {
  if (!ostream) return;
  const long at = ftell(ostream);
  if (at < 0) return;
  run.nc.techNotes.push_back({at, feed, known, std::string(line) + run.cfg.mS.EOL});
}

// What register reg adds to register 1 as the program defines it.
static float registerOffset(const coTechno& t, int reg) {
  return reg > 1 && reg < kRegisterCount ? t.dROff[reg] : 0.0f;
}

static void resetTechnology(KxRun& run) {
  SetTechnologie(run, nullptr, 0);
  SetTechData(run, "reset");
}

// Contour kN's parent (0: top level) and its length.
static int regionChild(KxRun& run, const char* kN, float* len) {
  const KxContour* c = KxContourNamed(run, kN);
  if (!c || !NcValidElement(run, c->region)) {
    // Without a region the contour is treated as a top-level contour of length 0.
    if (len) *len = 0;
    return 0;
  }
  if (len) *len = c->length;
  return c->parent;
}

bool NcNamedAfterDrawing(KxSettings& cfg) { return cfg.data_filename.find("*infile*") != std::string::npos; }

std::string NcTargetPath(KxRun& run) {
  // Named after the drawing: its own folder (or the one --output chose), its name without ".dxf".
  if (NcNamedAfterDrawing(run.cfg)) {
    std::string stem = run.io.in_filename.substr(0, run.io.in_filename.size() < 4 ? 0 : run.io.in_filename.size() - 4);
    if (!run.cfg.outputGiven.empty()) stem = KxOutputFolder(run.cfg) + stem.substr(stem.rfind('/') + 1);
    return stem + run.cfg.mS.Extension;
  }
  return KxOutputFolder(run.cfg) + run.cfg.data_filename + run.cfg.mS.Extension;
}

static void writeHead(KxRun& run, NcWriting& w, FILE* f) {
  NcPut(f, "%s%s\n", run.cfg.mS.ProEpilog, run.cfg.mS.EOL);
  if (run.cfg.globTextInfo == 1) NcPut(f, "%sFILE: %s %s%s\n", run.cfg.mS.RemarkOn, NcRemarkText(run.cfg, run.io.in_filename.c_str()).c_str(), run.cfg.mS.RemarkOff, run.cfg.mS.EOL);
  for (long i = 0; i < run.table.eldsCounter; ++i) {
    if (run.table.elds[i].type != etTEXT || run.table.marks[i].kontur[0] != '\0') continue;
    if (run.cfg.globTextInfo == 1) NcPut(f, "%s %s %s%s\n", run.cfg.mS.RemarkOn, NcRemarkText(run.cfg, run.table.elds[i].text).c_str(), run.cfg.mS.RemarkOff, run.cfg.mS.EOL);
    SetTechnologie(run, run.table.elds[i].text, i);
  }
  w.headNoCut = run.nc.techno.NoCut;
  w.headNoFeed = run.nc.techno.NoFeed;
  w.taperFrom = run.nc.techno.dkonik != 0.0f ? -1 : 0;
  w.offsetFrom = run.nc.techno.dReg != 1 ? -1 : 0;
  const bool plate = run.nc.techno.G92Mode == dmPLATE;
  NcPut(f, plate ? "%s-Plattenmodus-%s%s\n" : "%s-Teilemodus-%s%s\n", run.cfg.mS.RemarkOn, run.cfg.mS.RemarkOff, run.cfg.mS.EOL);
  NcPut(f, "G54G90%s\n", run.cfg.mS.EOL);
  if (run.cfg.mS.Header[0]) NcPut(f, "%s%s\n", run.cfg.mS.Header, run.cfg.mS.EOL);
  if (plate) {
    NcPlaneLines(run, f);
    NcPut(f, "G92 X%.3f Y%.3f%s\n", run.nc.techno.PltX, run.nc.techno.PltY, run.cfg.mS.EOL);
    KxLog(run, "\nPLATE LEFT/BOTTOM: G92 X%.3f Y%.3f%s\n", run.nc.techno.PltX, run.nc.techno.PltY, run.cfg.mS.EOL);
  }

  // The group list names every top-level contour; the last one is called in piece mode.
  int lastTop = 0, tops = 0;
  char name[16];
  NcPut(f, "%s-Groups: ", run.cfg.mS.RemarkOn);
  for (int k = 1; k <= run.contours.count; ++k) {
    KxContourName(name, sizeof name, k);
    if (regionChild(run, name, nullptr) != 0) continue;
    lastTop = KxContourBlock(k);
    NcPut(f, "%d ", lastTop);
    ++tops;
  }
  // In piece mode the main program calls the last piece only; the others wait
  // in the program for the operator to call them.
  run.nc.piecesUncalled = plate || tops < 2 ? 0 : tops - 1;
  NcPut(f, "-%s%s\n", run.cfg.mS.RemarkOff, run.cfg.mS.EOL);

  if (plate) {
    for (int k = 1; k <= run.contours.count; ++k) {
      KxContourName(name, sizeof name, k);
      if (regionChild(run, name, nullptr) != 0) continue;
      NcPut(f, "%s%d", run.cfg.mS.SubJump, KxContourBlock(k));
      GetKonturName(run, name, f);
      NcPut(f, "%s\n", run.cfg.mS.EOL);
    }
    NcPut(f, "G00 X%.3f Y%.3f%s\n", run.nc.techno.PltX, run.nc.techno.PltY, run.cfg.mS.EOL);
  } else {
    NcPut(f, "%s%d%s\n", run.cfg.mS.SubJump, lastTop, run.cfg.mS.EOL);
  }
  NcPut(f, "G92 X0.0 Y0.0%s\n", run.cfg.mS.EOL);
  NcPut(f, "%s%s\n", run.cfg.mS.PrgEnd, run.cfg.mS.EOL);
}

static void writeContourBlock(KxRun& run, NcWriting& w, FILE* f, int k) {
  char name[16];
  KxContourName(name, sizeof name, k);
  int feedMarker = 0;
  long pathCount = 0;
  KxPrint(run, " %s-", name);

  NcPut(f, "%s- - - - - - - - - - - -%s%s\n", run.cfg.mS.RemarkOn, run.cfg.mS.RemarkOff, run.cfg.mS.EOL);
  float len = 0;
  int child = regionChild(run, name, &len);
  if (child == 0)
    NcPut(f, KxConsole(run) ? "N%d%s-- Contour: %s --%s%s\n" : "N%d%s-- contour: %s --%s%s\n", KxContourBlock(k),
          run.cfg.mS.RemarkOn, name, run.cfg.mS.RemarkOff, run.cfg.mS.EOL);
  else
    NcPut(f, "N%d%s-- child of N%d --%s%s\n", KxContourBlock(k), run.cfg.mS.RemarkOn, KxContourBlock(child), run.cfg.mS.RemarkOff,
          run.cfg.mS.EOL);
  if (run.cfg.dataInfo) NcPut(f, "%s--Len:%.3f--%s%s\n", run.cfg.mS.RemarkOn, len, run.cfg.mS.RemarkOff, run.cfg.mS.EOL);

  // Every piece starts from the defaults; on a plate the technology carries over.
  if (run.nc.techno.G92Mode == dmPIECE) {
    resetTechnology(run);
    w.taperFrom = w.offsetFrom = 0;
  } else {
    run.nc.techno.NoCut = w.headNoCut;
    run.nc.techno.NoFeed = w.headNoFeed;
  }
  fLayerList(run, ll_CLR_U, 0, nullptr, 0);
  run.nc.techno.sInfo[0] = '\0';
  // An inset contour is cut with its parent's cuts: its own number of cuts or
  // technology code is not used, which the run reports.
  const int quality = run.nc.techno.dQuali;
  char techLine[sizeof run.nc.eTD[1].nwd];
  KxCopy(techLine, sizeof techLine, run.nc.eTD[1].nwd);
  const float taper = run.nc.techno.dkonik;
  const int reg = run.nc.techno.dReg;
  const float offset = registerOffset(run.nc.techno, reg);

  std::vector<long> members;
  KxMemberCandidates(run, name, run.table.eldsCounter, members);
  for (long i : members) {
    const elementdaten& e = run.table.elds[i];
    if (!KxSameName(run.table.marks[i].kontur, name)) continue;
    switch (e.type) {
      case etTEXT:
        if (run.cfg.cancelTextInfo == 0) NcPut(f, "%s--%s%s%s\n", run.cfg.mS.RemarkOn, NcRemarkText(run.cfg, e.text).c_str(), run.cfg.mS.RemarkOff, run.cfg.mS.EOL);
        SetTechnologie(run, e.text, i);
        run.table.marks[i].used += 1;
        break;
      case etLINE:
      case etARC:
      case etPNT:
        ++pathCount;
        break;
      default:
        break;
    }
    if (e.fLayer >= 0 && e.fLayer < kMaxLayerEntries) run.dxf.fLL[e.fLayer].used = run.dxf.fLL[e.fLayer].GlobUsed = 1;
  }
  if (child != 0 && (run.nc.techno.dQuali != quality || strcmp(techLine, run.nc.eTD[1].nwd) != 0)) {
    ++run.nc.insetTechIgnored;
    KxPrint(run, "\n -%s: inset contour, its own technology is not used (cut with its parent's cuts)\n", name);
    KxLog(run, "\n %s: inset contour, own technology not used", name);
  }
  KxContour& contour = run.contours.all[(size_t)k];
  // A start hole the search claimed but could not lead in from is no feed point.
  if (KxStillFed(run, contour)) {
    const elementdaten& hole = run.table.elds[contour.startHole];
    if (hole.type == etINSE || hole.r < run.cfg.gridRadius) feedMarker = 1;
  }
  // Tens of thousands of contours share a few lines: each is kept once.
  const auto [line, added] = w.techIndex.try_emplace(run.nc.eTD[1].nwd, (int)run.contours.techLines.size());
  if (added) run.contours.techLines.push_back(line->first);
  contour.technology = line->second;
  contour.quality = run.nc.techno.dQuali;
  if (pathCount > 0 && !feedMarker) NcPut(f, "(NO FEED-POINT FOUND : %ld ELEMENTS)%s\n", pathCount, run.cfg.mS.EOL);
  const long drill = contour.holePlaced ? contour.startHole : -1;
  if (drill >= 0)
    NcPut(f, "%sAUTO START HOLE X%.3f Y%.3f%s%s\n", run.cfg.mS.RemarkOn, run.table.elds[drill].cx, run.table.elds[drill].cy, run.cfg.mS.RemarkOff, run.cfg.mS.EOL);

  // Taper and register as this contour's texts leave them: a value they did not
  // change is the one an earlier contour (or a directive) set.
  const coTechno& t = run.nc.techno;
  if (t.dkonik != taper) w.taperFrom = k;
  if (t.dReg != reg || registerOffset(t, t.dReg) != offset) w.offsetFrom = k;
  NcCutSetting cut;
  cut.noted = 1;
  cut.taper = t.dkonik;
  cut.taperFrom = w.taperFrom == k ? 0 : w.taperFrom;
  cut.reg = t.dReg;
  cut.offset = registerOffset(t, t.dReg);
  cut.offsetFrom = w.offsetFrom == k ? 0 : w.offsetFrom;

  KxPrint(run, "\n -Sortiere Kontur '%s' ", name);
  const int missing = run.nc.missETechnologie;
  const int holes = run.nc.holesCounter;
  SortKontur(run, w, f, k);
  contour.side = t.dDLage == 41 || t.dDLage == 42 ? t.dDLage : 0;
  if (run.nc.missETechnologie > missing) ++run.nc.contoursWithoutTech;
  // The layers of a contour may leave their taper and register to the contours after it.
  if (t.dkonik != cut.taper) w.taperFrom = k;
  if (t.dReg != cut.reg) w.offsetFrom = k;
  // A hole is cut with register 4, the hole offset on top of the register in force.
  if (run.nc.holesCounter > holes) {
    cut.reg = 4;
    cut.offset += t.dHole;
  } else {
    cut.perLayer = t.dLWe > 0;
  }
  if ((size_t)k >= run.nc.cutSettings.size()) run.nc.cutSettings.resize((size_t)k + 1);
  run.nc.cutSettings[(size_t)k] = cut;
}

static void writeFoot(KxSettings& cfg, FILE* f) {
  NcPut(f, "%s-----%s%s\n%s%s\n", cfg.mS.RemarkOn, cfg.mS.RemarkOff, cfg.mS.EOL, cfg.mS.PrgEnd, cfg.mS.EOL);
  if (cfg.mS.Footer[0]) NcPut(f, "%s%s\n", cfg.mS.Footer, cfg.mS.EOL);
  NcPut(f, "%s%s\n", cfg.mS.ProEpilog, cfg.mS.EOL);
}

static void reportWriteError(KxRun& run, const char* path, int err) {
  run.nc.ncWriteFailed = 1;
  run.nc.ncWriteErrno = err;
  KxSay(run, "\n -Error: the NC program '%s' could not be written: %s-\n", path, strerror(err));
  KxLog(run, "\n -Error: the NC program '%s' could not be written: %s-\n", path, strerror(err));
}

// The program's path leads to the drawing (a device extension ".dxf" with the
// program named after the drawing): writing it would take the drawing's place.
static void reportOntoDrawing(KxRun& run, const char* path) {
  run.nc.ncWriteFailed = kxNC_ONTO_DRAWING;
  KxSay(run, "\n -Error: the NC program '%s' would be the drawing itself - not written, the drawing is left as it is-\n",
          path);
  KxLog(run, "\n -Error: the NC program '%s' would be the drawing itself - not written, the drawing is left as it is-\n",
        path);
}

void ProbeNwdOut(KxRun& run) {
  run.nc.ncWriteFailed = 0;
  run.contours.techLines.clear();
  NcWriting w;   // what the writer keeps while it writes this program
  KxCopy(run.nc.moveType, sizeof run.nc.moveType, "G01");
  if (run.table.eldsCounter >= run.table.eldsMaximum) {
    KxPrint(run, "-Limit D-");
    // No program comes out of this run; the caller must not report success.
    run.nc.ncWriteFailed = 1;
    return;
  }

  time_t now = time(nullptr);
  struct tm local = {};
  localtime_r(&now, &local);
  char date[64];
  snprintf(date, sizeof date, "%02i/%02i/%d  %02i:%02i", local.tm_mday, local.tm_mon + 1, local.tm_year + 1900,
           local.tm_hour, local.tm_min);
  KxCopy(run.io.fAktDate, sizeof run.io.fAktDate, date);

  resetTechnology(run);

  run.io.dataPath = NcTargetPath(run);
  KxPrint(run, "-NwdOut-\n");
  KxLog(run, "\n\nNwdOut()\n");

  // The program is composed in a temporary file of its own beside its target,
  // so an earlier program survives every failure, a run beside it never mixes
  // into it, and it replaces the target only when it is complete.
  KxOutFile out;
  FILE* f = KxOutOpen(run, &out, run.io.dataPath.c_str());
  if (!f) {
    if (out.drawing) reportOntoDrawing(run, run.io.dataPath.c_str());
    else reportWriteError(run, run.io.dataPath.c_str(), out.error);
  }
  // Composed even when it cannot be written (into nothing): the summary and the
  // page then count the holes, open contours and missing technologies as found.
  // Writing renames no record; it only adds working records of its own.
  KxMemberIndex members(run, true);
  run.nc.techNotes.clear();
  run.nc.cutSettings.assign((size_t)run.contours.count + 1, NcCutSetting());
  writeHead(run, w, f);
  for (int k = 1; k <= run.contours.count; ++k) {
    writeContourBlock(run, w, f, k);
    if (k >= run.contours.count) KxPrint(run, "\n > gKonturCounter <break>\n");
    else KxPrint(run, "-\n");
  }
  writeFoot(run.cfg, f);
  if (!f) return;
  if (KxOutCommit(&out)) KxPrint(run, " -saved (nwdout)-\n");
  else reportWriteError(run, run.io.dataPath.c_str(), out.error);
}

void SortKontur(KxRun& run, NcWriting& w, FILE* ostream, int k) {
  char kN[16];
  KxContourName(kN, sizeof kN, k);
  long keep = run.table.eldsCounter;
  // Element count, feed point and lead-in are the contour's.
  const KxContour& c = run.contours.all[(size_t)k];
  const long count = NcValidElement(run, c.region) ? c.elementCount : 0, regFirst = c.leadIn;
  const bool fed = KxStillFed(run, c);
  const long feed = fed ? c.startHole : -1, first = fed ? c.leadIn : -1;
  KxPrint(run, "\n[%s] : %ld Elemente | %ld=FirstElement | %ld=FeedPoint \n", kN, count, regFirst, feed);
  if (count > 0) SimpleClosedKontur(run, w, ostream, k, feed, first);
  else NcPut(ostream, "%s%s\n", run.cfg.mS.SubReturn, run.cfg.mS.EOL);   // the called block still returns
  // Working records appended while the contour was written are dropped.
  run.table.eldsCounter = keep;
}
