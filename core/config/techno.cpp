// Technology of the contour being written: the record ktechno that the
// drawing's texts steer (quality, taper, planes, registers, switches,
// directives) and the per-cut lines of the technology file in eTD.
#include <cstring>
#include <string>

#include "config/config.h"
#include "dxf/dxf.h"
#include "geometry/base.h"
#include "nc/nc.h"

coTechno ktechno;
eTechnologieData eTD[kTechEntries];

namespace {

// The number or integer standing right after a keyword found in the text.
float numberAfter(const char* text, const char* key) {
  const char* p = strstr(text, key);
  return p ? ConfigFloat(p + strlen(key)) : 0.0f;
}

int integerAfter(const char* text, const char* key) {
  const char* p = strstr(text, key);
  return p ? (int)KxInteger(p + strlen(key)) : 0;
}

void correctQuality() {
  if (ktechno.dQuali > kCutCount) {
    ktechno.dQuali = 1;
    KxPrint("[oops]");
  }
}

// A technology code starts at a Q; its digit after the Q is the number of cuts.
void technologyCode(const char* fromQ, const char* closing) {
  KxPrint("[TECHDATA: '%s'] ", fromQ);
  SetTechData(fromQ);
  ktechno.dQuali = (int)KxInteger(fromQ + 1);
  ktechno.modif++;
  KxPrint("[Quality now: %d]%s", ktechno.dQuali, closing);
  correctQuality();
}

// The technology code of a text: a Q at the start of a word, before any star
// (the name behind a star may hold both letters, as *SQUARE_PUNCH does); in a
// contour's text the word must also hold a "_". Null when the text names none.
const char* technologyCodeIn(const char* text, bool needUnderscore) {
  const char* star = strchr(text, '*');
  for (const char* q = strchr(text, 'Q'); q && (!star || q < star); q = strchr(q + 1, 'Q')) {
    if (q > text && q[-1] != ' ' && q[-1] != '\t') continue;
    if (!needUnderscore) return q;
    for (const char* c = q; *c && *c != ' ' && *c != '\t' && *c != '*'; ++c)
      if (*c == '_') return q;
  }
  return nullptr;
}

// At most 38 characters after the first star.
void starText(const char* text, char* dst, size_t size) {
  const char* star = strchr(text, '*');
  char info[39];
  KxCopy(info, sizeof info, star ? star + 1 : "");
  KxCopy(dst, size, info);
}

void resetTechnologie() {
  ktechno.modif = 0;
  ktechno.dVMod = 1;
  ktechno.dReg = 1;
  ktechno.dDLage = 42;
  ktechno.dKLage = 52;
  ktechno.dQuali = 1;
  ktechno.HatRotation = 0;
  ktechno.dRotate = 0;
  ktechno.HatKonik = 0;
  ktechno.dkonik = 0;
  ktechno.dLWe = 0;
  ktechno.dAktL = 0;
  ktechno.dAktR = 0;
  ktechno.NoFeed = 0;
  ktechno.NoStop = 0;
  ktechno.NoCut = 0;
  ktechno.RoughOff = 0;
  ktechno.dROff[0] = ktechno.dHole;
  for (int i = 1; i < kRegisterCount; ++i) ktechno.dROff[i] = 0;
  KxCopy(moveType, sizeof moveType, "G01");
  KxPrint(" SetTechnologie RESET\n");
}


// PE=, HE= and OE= set the programming, auxiliary and top plane heights. A PE=
// also nudges the taper angle so that taper output is switched on.
void planeHeights(const char* t, bool markTaper) {
  if (strstr(t, "PE=")) {
    ktechno.dPE = numberAfter(t, "PE=");
    ktechno.dkonik += 0.0001f;
    if (markTaper) ktechno.HatKonik = 1;
    ktechno.modif++;
    KxPrint("[PE]");
  }
  if (strstr(t, "HE=")) {
    ktechno.dHE = numberAfter(t, "HE=");
    ktechno.modif++;
    KxPrint("[HE]");
  }
  if (strstr(t, "OE=")) {
    ktechno.dOE = numberAfter(t, "OE=");
    ktechno.modif++;
    KxPrint("[OE]");
  }
}

void directive(const char* t) {
  ktechno.G92Mode = dmPLATE;
  if (KxConsole())
    KxPrint("[DIRECTIVE] '%s' ", t);
  else
    KxPrint("%s [DIRECTIVE]", t);
  // Each word found switches in this order; the last one found wins.
  static const struct { const char* word; int mode; } kModes[] = {
      {"G92_ALL_SEPARAT", dmPIECE}, {"G92_ALL_SAME", dmPLATE}, {"G92_PIECES", dmPIECE}, {"G92_PLATE", dmPLATE}};
  for (const auto& m : kModes) {
    if (!strstr(t, m.word)) continue;
    ktechno.G92Mode = m.mode;
    KxPrint("[G92Mode=%d]", m.mode == dmPIECE ? 1 : 0);
    if (m.mode == dmPIECE) ktechno.modif++;
  }
  // Plane heights in a directive mark a taper only in the console program.
  planeHeights(t, KxConsole());
  if (const char* q = technologyCodeIn(t, false)) technologyCode(q, "");
  if (strchr(t, '*')) {
    starText(t, ktechno.dInfo, sizeof ktechno.dInfo);
    KxPrint("[dINFO: '%s'] ", ktechno.dInfo);
  }
  if (KxConsole()) KxPrint("[DIRECTIVE-end]\n");
}

// One technology text, in these steps: a text without any keyword character is
// left; quality (CQ= and a technology code Q.._..); switches !NOFEED, !NOSTOP,
// !NOCUT and 'G41'; rotation ROT=, rough offset ROUGH=, planes PE= HE= OE=; taper
// A= (at most kMaxTaper); register R= with its offset OF=; the name after *; a
// #DIRECTIVE; the per-layer values of the layer list.
void interpret(const char* t, long elnum) {
  if (!strpbrk(t, "=#_*!")) {
    KxPrint("'%s' =no Keywords return\n", t);
    return;
  }
  if (strstr(t, "CQ=")) {
    ktechno.dQuali = integerAfter(t, "CQ=");
    ktechno.modif++;
    KxPrint("[Quality]");
    correctQuality();
  }
  if (const char* q = technologyCodeIn(t, true)) technologyCode(q, "\n");
  if (strstr(t, "!NOFEED")) {
    ktechno.NoFeed = 1;
    ktechno.modif++;
    KxPrint("[NoFeed]");
  }
  if (strstr(t, "!NOSTOP")) {
    ktechno.NoStop = 1;
    ktechno.modif++;
    KxPrint("[NoStop]");
  }
  if (strstr(t, "!NOCUT")) {
    ktechno.NoCut = 1;
    ktechno.modif++;
    KxPrint("[NoCut]");
  }
  // The console program never learnt the quoted compensation switch.
  if (!KxConsole() && strstr(t, "'G41'")) {
    ktechno.dDLage = 41;
    ktechno.modif++;
    KxPrint("[G41]");
  }
  if (strstr(t, "ROT=")) {
    ktechno.dRotate = numberAfter(t, "ROT=");
    ktechno.HatRotation = 1;
    ktechno.modif++;
    KxPrint("[ROTA]");
  }
  if (strstr(t, "ROUGH=")) {
    ktechno.RoughOff = numberAfter(t, "ROUGH=");
    KxPrint("[+ROUGH]");
  }
  planeHeights(t, true);
  if (strstr(t, "A=")) {
    ktechno.dkonik = numberAfter(t, "A=");
    ktechno.modif++;
    KxPrint("[Angle]");
    if (ktechno.dkonik > kMaxTaper) {
      ktechno.dkonik = 0;
      KxPrint(KxConsole() ? "[Ang. oops]" : "[oops]");
    }
  }
  if (const char* r = strstr(t, "R=")) {
    ktechno.dReg = integerAfter(t, "R=");
    ktechno.modif++;
    KxPrint("[Register]");
    if (ktechno.dReg < kFirstTextRegister || ktechno.dReg > kLastTextRegister) {
      ktechno.dReg = kFirstTextRegister;
      KxPrint(KxConsole() ? "[Reg. oops]" : "[oops]");
    }
    // Only an offset written behind the register belongs to it.
    if (strstr(r, "OF=")) {
      ktechno.dROff[ktechno.dReg] = numberAfter(r, "OF=");
      KxPrint("[Offset]");
    }
  }
  if (strchr(t, '*')) {
    starText(t, ktechno.sInfo, sizeof ktechno.sInfo);
    // A name keeps at most two words.
    char* first = strchr(ktechno.sInfo, ' ');
    if (first) {
      char* second = strchr(first + 1, ' ');
      *(second ? second : first) = '\0';
    }
    KxPrint("[sINFO: '%s'] ", ktechno.sInfo);
  }
  if (strstr(t, "#DIRECTIVE")) directive(t);
  if (gMultiLayer == 1) fLayerList(ll_VARIA, 0, t, elnum);
  KxPrint("\n");
}

// The entry's NC line from the device template: R register prefix, O offset,
// T technology name, V integer value, S speed; other characters stay.
void buildTechLine(eTechnologieData& e) {
  e.nwd[0] = '\0';
  char part[48];
  for (const char* c = mS.TechLine; *c; ++c) {
    switch (*c) {
      case 'R': KxCopy(part, sizeof part, mS.VReg); break;
      case 'O': snprintf(part, sizeof part, "%.3f", e.Oft); break;
      case 'T': KxCopy(part, sizeof part, e.eTechn); break;
      case 'V': snprintf(part, sizeof part, "%d", e.Verz); break;
      case 'S': snprintf(part, sizeof part, "%.1f", e.Speed); break;
      default: part[0] = *c; part[1] = '\0'; break;
    }
    KxCat(e.nwd, sizeof e.nwd, part);
  }
}

int cutIndex(const char* line) {
  int index = -1;
  if (strstr(line, "_A*")) index = 0;
  if (strstr(line, "_S*")) index = 1;
  if (strstr(line, "_1*")) index = 1;
  if (strstr(line, "_2*")) index = 2;
  if (strstr(line, "_3*")) index = 3;
  if (strstr(line, "_4*")) index = 4;
  return index;
}

// One line of the technology file: code with cut marker, then technology
// name, offset, integer value and speed, each closed by a star.
void clearEntry(eTechnologieData& e, const char* tx) {
  memset(&e, 0, sizeof e);
  // A remark in the device's words, cut inside so that it is always closed.
  std::string head = mS.RemarkOn;
  head += "-missing-TechData- ";
  std::string text = NcRemarkText(tx);
  const size_t room = sizeof e.nwd - 1 - head.size() - strlen(mS.RemarkOff);
  if (head.size() + strlen(mS.RemarkOff) < sizeof e.nwd && text.size() > room) text.resize(room);
  snprintf(e.nwd, sizeof e.nwd, "%s%s%s", head.c_str(), text.c_str(), mS.RemarkOff);
}

// A later line of the same cut replaces the whole entry, so an incomplete
// line never leaves a ready technology line of an earlier one behind.
void readTechLine(const char* line, const char* key, const char* tx) {
  int index = cutIndex(line);
  if (index < 0) return;
  eTechnologieData& e = eTD[index];
  clearEntry(e, tx);
  KxPrint("\n in: %d ", index);
  char head[13];
  KxCopy(head, sizeof head, line);
  if (char* s = strchr(head, '*')) *s = '\0';
  KxCopy(e.eTLine, sizeof e.eTLine, head);

  const char* at = strstr(line, key);
  const char* star = strlen(at) >= 3 ? strchr(at + 3, '*') : nullptr;
  if (!star) return;
  KxPrint(" E");
  char name[10];
  KxCopy(name, sizeof name, star + 1);
  if (char* s = strchr(name, '*')) *s = '\0';
  KxCopy(e.eTechn, sizeof e.eTechn, name);

  if (!(star = strchr(star + 1, '*'))) return;
  KxPrint("|O");
  e.Oft = ConfigFloat(star + 1);
  if (!(star = strchr(star + 1, '*'))) return;
  KxPrint("|V");
  e.Verz = (int)KxInteger(star + 1);
  if (!(star = strchr(star + 1, '*'))) return;
  KxPrint("|S");
  e.Speed = ConfigFloat(star + 1);
  if (!strchr(star + 1, '*')) return;
  KxPrint("|T:'%s' ", mS.TechLine);
  buildTechLine(e);
  KxPrint("> '%s'", e.nwd);
  e.ist = 1;
  KxPrint(" -ok");
}

}  // namespace

void SetTechnologie(const char* tLine, long elnum) {
  if (!tLine)
    resetTechnologie();
  else
    interpret(tLine, elnum);
}

// The technology file the device names into path; false when it names none
// (path is then the devices folder, as the log has always said).
static bool techFilePath(std::string* path) {
  *path = DeviceFilePath(mS.TechFile);
  return mS.TechFile[0] && strcmp(mS.TechFile, "(na)") != 0;
}

void CheckTechFile() {
  std::string file;
  const bool named = techFilePath(&file);
  const char* path = file.c_str();
  FILE* f = named ? ConfigOpenFile(path, "technology file") : nullptr;
  if (!f) return;   // missing: every contour's technology line says so, as always
  char buf[kTextLineSize];
  bool any = false;
  while (!any && fgets(buf, sizeof buf, f)) any = buf[0] != ';' && cutIndex(buf) >= 0;
  fclose(f);
  if (!any) ConfigRefuse("technology file", path, "it holds no technology line such as Q1_ST20_S*C120*0.145*1*3.8*");
}

void SetTechData(const char* tx) {
  if (!tx) tx = "";
  char key[17];
  KxCopy(key, sizeof key, tx);
  if (char* b = strchr(key, ' ')) *b = '\0';

  std::string file;
  const bool named = techFilePath(&file);
  const char* path = file.c_str();

  for (eTechnologieData& e : eTD) clearEntry(e, tx);
  if (strcmp(tx, "reset") == 0) return;

  KxLog("\n\tSetTechData '%s'", tx);
  FILE* f = named ? ConfigOpenFile(path, "technology file") : nullptr;
  if (!f) {
    KxPrint("  -open Error\n");
    KxLog("(err '%s' )", path);
    return;
  }
  char buf[kTextLineSize];
  char line[kTextLineSize];
  while (fgets(buf, sizeof buf, f)) {
    KxCopy(line, sizeof line, stripLFCR(buf));
    if (strstr(line, key)) readTechLine(line, key, tx);
  }
  fclose(f);
}
