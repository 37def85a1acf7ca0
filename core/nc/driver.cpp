// The NC output driver: opens the NC program, writes its head (remarks, mode,
// planes, plate reference, group list, main program of sub-program calls), one
// block per contour through the contour writers, and the foot. The file is
// composed beside its target and only renamed over it once it is complete.
#include <cstdarg>
#include <cstring>
#include <vector>
#include <ctime>

#include "config/config.h"
#include "contours/contours.h"
#include "dxf/dxf.h"
#include "elements/elements.h"
#include "geometry/base.h"
#include "nc/nc.h"

int gNcWriteFailed = 0;
int gOpenKoCounter = 0;
int gBigTrouble = 0;
int gMissETechnologie = 0;
int gContoursWithoutTech = 0;
int gHolesCounter = 0;
int gInsetTechIgnored = 0;
int gPiecesUncalled = 0;

// The wire switches as the program head's directives leave them: every contour
// starts from these, so a !NOCUT or !NOFEED of one contour never reaches the next.
static int headNoCut = 0, headNoFeed = 0;

void ResetNcState() {
  gNcWriteFailed = 0;
  gOpenKoCounter = 0;
  gBigTrouble = 0;
  gMissETechnologie = 0;
  gContoursWithoutTech = 0;
  gHolesCounter = 0;
  gInsetTechIgnored = 0;
  gPiecesUncalled = 0;
  headNoCut = headNoFeed = 0;
}

void NcPut(FILE* ostream, const char* fmt, ...) {
  if (!ostream) return;
  // Written straight into the stream: no line can outgrow a buffer, whatever
  // the number of contours in the group line or the length of a device word.
  va_list ap;
  va_start(ap, fmt);
  vfprintf(ostream, fmt, ap);
  va_end(ap);
}

std::string NcRemarkText(const char* text) {
  std::string out = text ? text : "";
  // A remark delimiter inside the text would close the remark early (or open a
  // second one), and what followed would reach the control as machine words.
  for (const char* word : {mS.RemarkOff, mS.RemarkOn}) {
    const size_t n = strlen(word);
    if (n == 0) continue;
    for (size_t at = out.find(word); at != std::string::npos; at = out.find(word, at + n)) out.replace(at, n, n, ' ');
  }
  // The block end, the program delimiter and line breaks end the line itself.
  for (char& c : out) {
    const unsigned char u = (unsigned char)c;
    if (u < 0x20 || u == 0x7f || c == '%' || (mS.EOL[0] && strchr(mS.EOL, c))) c = ' ';
  }
  return out;
}

void NcPlaneLines(FILE* ostream) {
  NcPut(ostream, "%s%.3f%s\n", mS.PrgPlane, ktechno.dPE, mS.EOL);
  NcPut(ostream, "%s%.3f%s\n", mS.HlpPlane, ktechno.dHE, mS.EOL);
  // A top plane word that already names a register takes its height from there.
  NcPut(ostream, "%s", mS.TopPlane);
  if (!strstr(mS.TopPlane, mS.VReg)) NcPut(ostream, "%.3f", ktechno.dOE);
  NcPut(ostream, "%s\n", mS.EOL);
}

const dxfLayerList& NcLayer(int nr) {
  static const dxfLayerList none = {};
  return nr >= 0 && nr < kMaxLayerEntries ? fLL[nr] : none;
}

bool NcValidElement(long i) { return i >= 0 && i < eldsCounter; }

static void resetTechnology() {
  SetTechnologie(nullptr, 0);
  SetTechData("reset");
}

// Region record of contour kN: whether it is top level (no parent), its length.
static int regionChild(const char* kN, float* len) {
  long r = GetRegionElement(kN);
  if (!NcValidElement(r)) {
    // Without a region record the contour is treated as a top-level contour of length 0.
    if (len) *len = 0;
    return 0;
  }
  if (len) *len = elds[r].len;
  return elds[r].child;
}

bool NcNamedAfterDrawing() { return data_filename.find("*infile*") != std::string::npos; }

std::string NcTargetPath() {
  // Named after the drawing: its own folder, its name without ".dxf".
  if (NcNamedAfterDrawing())
    return in_filename.substr(0, in_filename.size() < 4 ? 0 : in_filename.size() - 4) + mS.Extension;
  return homepath + data_filename + mS.Extension;
}

static void writeHead(FILE* f) {
  NcPut(f, "%s%s\n", mS.ProEpilog, mS.EOL);
  if (gGlobTextInfo == 1) NcPut(f, "%sFILE: %s %s%s\n", mS.RemarkOn, NcRemarkText(in_filename.c_str()).c_str(), mS.RemarkOff, mS.EOL);
  for (long i = 0; i < eldsCounter; ++i) {
    if (elds[i].type != etTEXT || elds[i].kontur[0] != '\0') continue;
    if (gGlobTextInfo == 1) NcPut(f, "%s %s %s%s\n", mS.RemarkOn, NcRemarkText(elds[i].text).c_str(), mS.RemarkOff, mS.EOL);
    SetTechnologie(elds[i].text, i);
  }
  headNoCut = ktechno.NoCut;
  headNoFeed = ktechno.NoFeed;
  const bool plate = ktechno.G92Mode == dmPLATE;
  NcPut(f, plate ? "%s-Plattenmodus-%s%s\n" : "%s-Teilemodus-%s%s\n", mS.RemarkOn, mS.RemarkOff, mS.EOL);
  NcPut(f, "G54G90%s\n", mS.EOL);
  if (mS.Header[0]) NcPut(f, "%s%s\n", mS.Header, mS.EOL);
  if (plate) {
    NcPlaneLines(f);
    NcPut(f, "G92 X%.3f Y%.3f%s\n", ktechno.PltX, ktechno.PltY, mS.EOL);
    KxLog("\nPLATE LEFT/BOTTOM: G92 X%.3f Y%.3f%s\n", ktechno.PltX, ktechno.PltY, mS.EOL);
  }

  // The group list names every top-level contour; the last one is called in piece mode.
  int lastTop = 0, tops = 0;
  char name[16];
  NcPut(f, "%s-Groups: ", mS.RemarkOn);
  for (int k = 1; k <= gKonturCounter; ++k) {
    KxContourName(name, sizeof name, k);
    if (regionChild(name, nullptr) != 0) continue;
    lastTop = KxContourBlock(k);
    NcPut(f, "%d ", lastTop);
    ++tops;
  }
  // In piece mode the main program calls the last piece only; the others wait
  // in the program for the operator to call them.
  gPiecesUncalled = plate || tops < 2 ? 0 : tops - 1;
  NcPut(f, "-%s%s\n", mS.RemarkOff, mS.EOL);

  if (plate) {
    for (int k = 1; k <= gKonturCounter; ++k) {
      KxContourName(name, sizeof name, k);
      if (regionChild(name, nullptr) != 0) continue;
      NcPut(f, "%s%d", mS.SubJump, KxContourBlock(k));
      GetKonturName(name, f);
      NcPut(f, "%s\n", mS.EOL);
    }
    NcPut(f, "G00 X%.3f Y%.3f%s\n", ktechno.PltX, ktechno.PltY, mS.EOL);
  } else {
    NcPut(f, "%s%d%s\n", mS.SubJump, lastTop, mS.EOL);
  }
  NcPut(f, "G92 X0.0 Y0.0%s\n", mS.EOL);
  NcPut(f, "%s%s\n", mS.PrgEnd, mS.EOL);
}

static void writeContourBlock(FILE* f, int k) {
  char name[16];
  KxContourName(name, sizeof name, k);
  int feedMarker = 0;
  long pathCount = 0;
  KxPrint(" %s-", name);

  NcPut(f, "%s- - - - - - - - - - - -%s%s\n", mS.RemarkOn, mS.RemarkOff, mS.EOL);
  float len = 0;
  int child = regionChild(name, &len);
  if (child == 0)
    NcPut(f, KxConsole() ? "N%d%s-- Contour: %s --%s%s\n" : "N%d%s-- contour: %s --%s%s\n", KxContourBlock(k),
          mS.RemarkOn, name, mS.RemarkOff, mS.EOL);
  else
    NcPut(f, "N%d%s-- child of N%d --%s%s\n", KxContourBlock(k), mS.RemarkOn, KxContourBlock(child), mS.RemarkOff,
          mS.EOL);
  if (gDataInfo) NcPut(f, "%s--Len:%.3f--%s%s\n", mS.RemarkOn, len, mS.RemarkOff, mS.EOL);

  // Every piece starts from the defaults; on a plate the technology carries over.
  if (ktechno.G92Mode == dmPIECE) {
    resetTechnology();
  } else {
    ktechno.NoCut = headNoCut;
    ktechno.NoFeed = headNoFeed;
  }
  fLayerList(ll_CLR_U, 0, nullptr, 0);
  ktechno.sInfo[0] = '\0';
  // An inset contour is cut with its parent's cuts: its own number of cuts or
  // technology code is not used, which the run reports.
  const int quality = ktechno.dQuali;
  char techLine[sizeof eTD[1].nwd];
  KxCopy(techLine, sizeof techLine, eTD[1].nwd);

  std::vector<long> members;
  KxMemberCandidates(name, eldsCounter, members);
  for (long i : members) {
    elementdaten& e = elds[i];
    if (!KxSameName(e.kontur, name)) continue;
    switch (e.type) {
      case etTEXT:
        if (gCancelTextInfo == 0) NcPut(f, "%s--%s%s%s\n", mS.RemarkOn, NcRemarkText(e.text).c_str(), mS.RemarkOff, mS.EOL);
        SetTechnologie(e.text, i);
        e.used += 1;
        break;
      case etCIR:
      case etINSE:
        // A start hole the search claimed but could not lead in from is no feed point.
        if ((e.type == etINSE || e.r < gStartPosition) && KxSameName(e.text, gtFeedPoint)) feedMarker = 1;
        break;
      case etLINE:
      case etARC:
      case etPNT:
        ++pathCount;
        break;
      default:
        break;
    }
    if (e.fLayer >= 0 && e.fLayer < kMaxLayerEntries) fLL[e.fLayer].used = fLL[e.fLayer].GlobUsed = 1;
  }
  if (child != 0 && (ktechno.dQuali != quality || strcmp(techLine, eTD[1].nwd) != 0)) {
    ++gInsetTechIgnored;
    KxPrint("\n -%s: inset contour, its own technology is not used (cut with its parent's cuts)\n", name);
    KxLog("\n %s: inset contour, own technology not used", name);
  }
  if (pathCount > 0 && !feedMarker) NcPut(f, "(NO FEED-POINT FOUND : %ld ELEMENTS)%s\n", pathCount, mS.EOL);
  const long drill = AutoStartHoleOf(name);
  if (drill >= 0)
    NcPut(f, "%sAUTO START HOLE X%.3f Y%.3f%s%s\n", mS.RemarkOn, elds[drill].cx, elds[drill].cy, mS.RemarkOff, mS.EOL);

  KxPrint("\n -Sortiere Kontur '%s' ", name);
  const int missing = gMissETechnologie;
  SortKontur(f, k);
  if (gMissETechnologie > missing) ++gContoursWithoutTech;
}

static void writeFoot(FILE* f) {
  NcPut(f, "%s-----%s%s\n%s%s\n", mS.RemarkOn, mS.RemarkOff, mS.EOL, mS.PrgEnd, mS.EOL);
  if (mS.Footer[0]) NcPut(f, "%s%s\n", mS.Footer, mS.EOL);
  NcPut(f, "%s%s\n", mS.ProEpilog, mS.EOL);
}

static void reportWriteError(const char* path, int err) {
  gNcWriteFailed = 1;
  KxPrint("\n -Error: the NC program '%s' could not be written: %s-\n", path, strerror(err));
  KxLog("\n -Error: the NC program '%s' could not be written: %s-\n", path, strerror(err));
}

// The program's path leads to the drawing (a device extension ".dxf" with the
// program named after the drawing): writing it would take the drawing's place.
static void reportOntoDrawing(const char* path) {
  gNcWriteFailed = kxNC_ONTO_DRAWING;
  KxPrint("\n -Error: the NC program '%s' would be the drawing itself - not written, the drawing is left as it is-\n",
          path);
  KxLog("\n -Error: the NC program '%s' would be the drawing itself - not written, the drawing is left as it is-\n",
        path);
}

void ProbeNwdOut() {
  gNcWriteFailed = 0;
  if (eldsCounter >= eldsMaximum) {
    KxPrint("-Limit D-");
    // No program comes out of this run; the caller must not report success.
    gNcWriteFailed = 1;
    return;
  }

  time_t now = time(nullptr);
  struct tm local = {};
  localtime_r(&now, &local);
  char date[64];
  snprintf(date, sizeof date, "%02i/%02i/%d  %02i:%02i", local.tm_mday, local.tm_mon + 1, local.tm_year + 1900,
           local.tm_hour, local.tm_min);
  KxCopy(fAktDate, sizeof fAktDate, date);

  resetTechnology();

  dataPath = NcTargetPath();
  KxPrint("-NwdOut-\n");
  KxLog("\n\nNwdOut()\n");

  // The program is composed in a temporary file of its own beside its target,
  // so an earlier program survives every failure, a run beside it never mixes
  // into it, and it replaces the target only when it is complete.
  KxOutFile out;
  FILE* f = KxOutOpen(&out, dataPath.c_str());
  if (!f) {
    if (out.drawing) reportOntoDrawing(dataPath.c_str());
    else reportWriteError(dataPath.c_str(), out.error);
  }
  // Composed even when it cannot be written (into nothing): the summary and the
  // page then count the holes, open contours and missing technologies as found.
  // Writing renames no record; it only adds working records of its own.
  KxIndexMembers(true);
  NcIndexChildren();
  writeHead(f);
  for (int k = 1; k <= gKonturCounter; ++k) {
    writeContourBlock(f, k);
    if (k >= gKonturCounter) KxPrint("\n > gKonturCounter <break>\n");
    else KxPrint("-\n");
  }
  writeFoot(f);
  KxForgetMembers();
  NcForgetChildren();
  if (!f) return;
  if (KxOutCommit(&out)) KxPrint(" -saved (nwdout)-\n");
  else reportWriteError(dataPath.c_str(), out.error);
}

void SortKontur(FILE* ostream, int k) {
  char kN[16];
  KxContourName(kN, sizeof kN, k);
  long keep = eldsCounter;
  long top = eldsCounter;
  long count = 0, regFirst = 0;
  std::vector<long> members;
  KxMemberCandidates(kN, top, members);
  for (auto it = members.rbegin(); it != members.rend(); ++it) {
    const long i = *it;
    if (KxSameName(elds[i].kontur, kN) && KxSameName(elds[i].text, gtRegInfo)) {
      count = elds[i].kElemX;
      regFirst = elds[i].IsFirst;
      break;
    }
  }
  long feed = -1, first = -1;
  for (auto it = members.rbegin(); it != members.rend(); ++it) {
    const long i = *it;
    if (KxSameName(elds[i].kontur, kN) && KxSameName(elds[i].text, gtFeedPoint)) {
      feed = i;
      first = elds[i].IsFirst;
      break;
    }
  }
  KxPrint("\n[%s] : %ld Elemente | %ld=FirstElement | %ld=FeedPoint \n", kN, count, regFirst, feed);
  if (count > 0) SimpleClosedKontur(ostream, k, feed, first);
  else NcPut(ostream, "%s%s\n", mS.SubReturn, mS.EOL);   // the called block still returns
  // Working records appended while the contour was written are dropped.
  eldsCounter = keep;
}
