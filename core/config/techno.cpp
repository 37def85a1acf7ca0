// Technology of the contour being written: the record ktechno that the
// drawing's texts steer (quality, taper, planes, registers, switches,
// directives) and the per-cut lines of the technology file in eTD.
#include <cstring>
#include <string>

#include "config/config.h"
#include "dxf/dxf.h"
#include "geometry/base.h"
#include "nc/nc.h"
#include "kxrun.h"


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

void correctQuality(KxRun& run) {
  if (run.cfg.ktechno.dQuali > kCutCount) {
    run.cfg.ktechno.dQuali = 1;
    KxPrint(run, "[oops]");
  }
}

// A technology code starts at a Q; its digit after the Q is the number of cuts.
void technologyCode(KxRun& run, const char* fromQ, const char* closing) {
  KxPrint(run, "[TECHDATA: '%s'] ", fromQ);
  SetTechData(run, fromQ);
  run.cfg.ktechno.dQuali = (int)KxInteger(fromQ + 1);
  run.cfg.ktechno.modif++;
  KxPrint(run, "[Quality now: %d]%s", run.cfg.ktechno.dQuali, closing);
  correctQuality(run);
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

void resetTechnologie(KxRun& run) {
  run.cfg.ktechno.modif = 0;
  run.cfg.ktechno.dVMod = 1;
  run.cfg.ktechno.dReg = 1;
  run.cfg.ktechno.dDLage = 42;
  run.cfg.ktechno.dKLage = 52;
  run.cfg.ktechno.dQuali = 1;
  run.cfg.ktechno.HatRotation = 0;
  run.cfg.ktechno.dRotate = 0;
  run.cfg.ktechno.HatKonik = 0;
  run.cfg.ktechno.dkonik = 0;
  run.cfg.ktechno.dLWe = 0;
  run.cfg.ktechno.dAktL = 0;
  run.cfg.ktechno.dAktR = 0;
  run.cfg.ktechno.NoFeed = 0;
  run.cfg.ktechno.NoStop = 0;
  run.cfg.ktechno.NoCut = 0;
  run.cfg.ktechno.RoughOff = 0;
  run.cfg.ktechno.dROff[0] = run.cfg.ktechno.dHole;
  for (int i = 1; i < kRegisterCount; ++i) run.cfg.ktechno.dROff[i] = 0;
  KxCopy(run.moveType, sizeof run.moveType, "G01");
  KxPrint(run, " SetTechnologie RESET\n");
}


// PE=, HE= and OE= set the programming, auxiliary and top plane heights. A PE=
// also nudges the taper angle so that taper output is switched on.
void planeHeights(KxRun& run, const char* t, bool markTaper) {
  if (strstr(t, "PE=")) {
    run.cfg.ktechno.dPE = numberAfter(t, "PE=");
    run.cfg.ktechno.dkonik += 0.0001f;
    if (markTaper) run.cfg.ktechno.HatKonik = 1;
    run.cfg.ktechno.modif++;
    KxPrint(run, "[PE]");
  }
  if (strstr(t, "HE=")) {
    run.cfg.ktechno.dHE = numberAfter(t, "HE=");
    run.cfg.ktechno.modif++;
    KxPrint(run, "[HE]");
  }
  if (strstr(t, "OE=")) {
    run.cfg.ktechno.dOE = numberAfter(t, "OE=");
    run.cfg.ktechno.modif++;
    KxPrint(run, "[OE]");
  }
}

void directive(KxRun& run, const char* t) {
  run.cfg.ktechno.G92Mode = dmPLATE;
  if (KxConsole(run))
    KxPrint(run, "[DIRECTIVE] '%s' ", t);
  else
    KxPrint(run, "%s [DIRECTIVE]", t);
  // Each word found switches in this order; the last one found wins.
  static const struct { const char* word; int mode; } kModes[] = {
      {"G92_ALL_SEPARAT", dmPIECE}, {"G92_ALL_SAME", dmPLATE}, {"G92_PIECES", dmPIECE}, {"G92_PLATE", dmPLATE}};
  for (const auto& m : kModes) {
    if (!strstr(t, m.word)) continue;
    run.cfg.ktechno.G92Mode = m.mode;
    KxPrint(run, "[G92Mode=%d]", m.mode == dmPIECE ? 1 : 0);
    if (m.mode == dmPIECE) run.cfg.ktechno.modif++;
  }
  // Plane heights in a directive mark a taper only in the console program.
  planeHeights(run, t, KxConsole(run));
  if (const char* q = technologyCodeIn(t, false)) technologyCode(run, q, "");
  if (strchr(t, '*')) {
    starText(t, run.cfg.ktechno.dInfo, sizeof run.cfg.ktechno.dInfo);
    KxPrint(run, "[dINFO: '%s'] ", run.cfg.ktechno.dInfo);
  }
  if (KxConsole(run)) KxPrint(run, "[DIRECTIVE-end]\n");
}

// One technology text, in these steps: a text without any keyword character is
// left; quality (CQ= and a technology code Q.._..); switches !NOFEED, !NOSTOP,
// !NOCUT and 'G41'; rotation ROT=, rough offset ROUGH=, planes PE= HE= OE=; taper
// A= (at most kMaxTaper); register R= with its offset OF=; the name after *; a
// #DIRECTIVE; the per-layer values of the layer list.
void interpret(KxRun& run, const char* t, long elnum) {
  if (!strpbrk(t, "=#_*!")) {
    KxPrint(run, "'%s' =no Keywords return\n", t);
    return;
  }
  if (strstr(t, "CQ=")) {
    run.cfg.ktechno.dQuali = integerAfter(t, "CQ=");
    run.cfg.ktechno.modif++;
    KxPrint(run, "[Quality]");
    correctQuality(run);
  }
  if (const char* q = technologyCodeIn(t, true)) technologyCode(run, q, "\n");
  if (strstr(t, "!NOFEED")) {
    run.cfg.ktechno.NoFeed = 1;
    run.cfg.ktechno.modif++;
    KxPrint(run, "[NoFeed]");
  }
  if (strstr(t, "!NOSTOP")) {
    run.cfg.ktechno.NoStop = 1;
    run.cfg.ktechno.modif++;
    KxPrint(run, "[NoStop]");
  }
  if (strstr(t, "!NOCUT")) {
    run.cfg.ktechno.NoCut = 1;
    run.cfg.ktechno.modif++;
    KxPrint(run, "[NoCut]");
  }
  // The console program never learnt the quoted compensation switch.
  if (!KxConsole(run) && strstr(t, "'G41'")) {
    run.cfg.ktechno.dDLage = 41;
    run.cfg.ktechno.modif++;
    KxPrint(run, "[G41]");
  }
  if (strstr(t, "ROT=")) {
    run.cfg.ktechno.dRotate = numberAfter(t, "ROT=");
    run.cfg.ktechno.HatRotation = 1;
    run.cfg.ktechno.modif++;
    KxPrint(run, "[ROTA]");
  }
  if (strstr(t, "ROUGH=")) {
    run.cfg.ktechno.RoughOff = numberAfter(t, "ROUGH=");
    KxPrint(run, "[+ROUGH]");
  }
  planeHeights(run, t, true);
  if (strstr(t, "A=")) {
    run.cfg.ktechno.dkonik = numberAfter(t, "A=");
    run.cfg.ktechno.modif++;
    KxPrint(run, "[Angle]");
    if (run.cfg.ktechno.dkonik > kMaxTaper) {
      run.cfg.ktechno.dkonik = 0;
      KxPrint(run, KxConsole(run) ? "[Ang. oops]" : "[oops]");
    }
  }
  if (const char* r = strstr(t, "R=")) {
    run.cfg.ktechno.dReg = integerAfter(t, "R=");
    run.cfg.ktechno.modif++;
    KxPrint(run, "[Register]");
    if (run.cfg.ktechno.dReg < kFirstTextRegister || run.cfg.ktechno.dReg > kLastTextRegister) {
      run.cfg.ktechno.dReg = kFirstTextRegister;
      KxPrint(run, KxConsole(run) ? "[Reg. oops]" : "[oops]");
    }
    // Only an offset written behind the register belongs to it.
    if (strstr(r, "OF=")) {
      run.cfg.ktechno.dROff[run.cfg.ktechno.dReg] = numberAfter(r, "OF=");
      KxPrint(run, "[Offset]");
    }
  }
  if (strchr(t, '*')) {
    starText(t, run.cfg.ktechno.sInfo, sizeof run.cfg.ktechno.sInfo);
    // A name keeps at most two words.
    char* first = strchr(run.cfg.ktechno.sInfo, ' ');
    if (first) {
      char* second = strchr(first + 1, ' ');
      *(second ? second : first) = '\0';
    }
    KxPrint(run, "[sINFO: '%s'] ", run.cfg.ktechno.sInfo);
  }
  if (strstr(t, "#DIRECTIVE")) directive(run, t);
  if (run.gMultiLayer == 1) fLayerList(run, ll_VARIA, 0, t, elnum);
  KxPrint(run, "\n");
}

// The entry's NC line from the device template: R register prefix, O offset,
// T technology name, V integer value, S speed; other characters stay.
void buildTechLine(KxSettings& cfg, eTechnologieData& e) {
  e.nwd[0] = '\0';
  char part[48];
  for (const char* c = cfg.mS.TechLine; *c; ++c) {
    switch (*c) {
      case 'R': KxCopy(part, sizeof part, cfg.mS.VReg); break;
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
void clearEntry(KxSettings& cfg, eTechnologieData& e, const char* tx) {
  memset(&e, 0, sizeof e);
  // A remark in the device's words, cut inside so that it is always closed.
  std::string head = cfg.mS.RemarkOn;
  head += "-missing-TechData- ";
  std::string text = NcRemarkText(cfg, tx);
  const size_t room = sizeof e.nwd - 1 - head.size() - strlen(cfg.mS.RemarkOff);
  if (head.size() + strlen(cfg.mS.RemarkOff) < sizeof e.nwd && text.size() > room) text.resize(room);
  snprintf(e.nwd, sizeof e.nwd, "%s%s%s", head.c_str(), text.c_str(), cfg.mS.RemarkOff);
}

// A later line of the same cut replaces the whole entry, so an incomplete
// line never leaves a ready technology line of an earlier one behind.
void readTechLine(KxRun& run, const char* line, const char* key, const char* tx) {
  int index = cutIndex(line);
  if (index < 0) return;
  eTechnologieData& e = run.cfg.eTD[index];
  clearEntry(run.cfg, e, tx);
  KxPrint(run, "\n in: %d ", index);
  char head[13];
  KxCopy(head, sizeof head, line);
  if (char* s = strchr(head, '*')) *s = '\0';
  KxCopy(e.eTLine, sizeof e.eTLine, head);

  const char* at = strstr(line, key);
  const char* star = strlen(at) >= 3 ? strchr(at + 3, '*') : nullptr;
  if (!star) return;
  KxPrint(run, " E");
  char name[10];
  KxCopy(name, sizeof name, star + 1);
  if (char* s = strchr(name, '*')) *s = '\0';
  KxCopy(e.eTechn, sizeof e.eTechn, name);

  if (!(star = strchr(star + 1, '*'))) return;
  KxPrint(run, "|O");
  e.Oft = ConfigFloat(star + 1);
  if (!(star = strchr(star + 1, '*'))) return;
  KxPrint(run, "|V");
  e.Verz = (int)KxInteger(star + 1);
  if (!(star = strchr(star + 1, '*'))) return;
  KxPrint(run, "|S");
  e.Speed = ConfigFloat(star + 1);
  if (!strchr(star + 1, '*')) return;
  KxPrint(run, "|T:'%s' ", run.cfg.mS.TechLine);
  buildTechLine(run.cfg, e);
  KxPrint(run, "> '%s'", e.nwd);
  e.ist = 1;
  KxPrint(run, " -ok");
}

}  // namespace

void SetTechnologie(KxRun& run, const char* tLine, long elnum) {
  if (!tLine)
    resetTechnologie(run);
  else
    interpret(run, tLine, elnum);
}

// The technology file the device names into path; false when it names none
// (path is then the devices folder, as the log has always said).
static bool techFilePath(KxSettings& cfg, std::string* path) {
  *path = DeviceFilePath(cfg, cfg.mS.TechFile);
  return cfg.mS.TechFile[0] && strcmp(cfg.mS.TechFile, "(na)") != 0;
}

void CheckTechFile(KxRun& run) {
  std::string file;
  const bool named = techFilePath(run.cfg, &file);
  const char* path = file.c_str();
  FILE* f = named ? ConfigOpenFile(run, path, "technology file") : nullptr;
  if (!f) return;   // missing: every contour's technology line says so, as always
  char buf[kTextLineSize];
  bool any = false;
  while (!any && fgets(buf, sizeof buf, f)) any = buf[0] != ';' && cutIndex(buf) >= 0;
  fclose(f);
  if (!any) ConfigRefuse(run, "technology file", path, "it holds no technology line such as Q1_ST20_S*C120*0.145*1*3.8*");
}

void SetTechData(KxRun& run, const char* tx) {
  if (!tx) tx = "";
  char key[17];
  KxCopy(key, sizeof key, tx);
  if (char* b = strchr(key, ' ')) *b = '\0';

  std::string file;
  const bool named = techFilePath(run.cfg, &file);
  const char* path = file.c_str();

  for (eTechnologieData& e : run.cfg.eTD) clearEntry(run.cfg, e, tx);
  if (strcmp(tx, "reset") == 0) return;

  KxLog(run, "\n\tSetTechData '%s'", tx);
  FILE* f = named ? ConfigOpenFile(run, path, "technology file") : nullptr;
  if (!f) {
    KxPrint(run, "  -open Error\n");
    KxLog(run, "(err '%s' )", path);
    return;
  }
  char buf[kTextLineSize];
  char line[kTextLineSize];
  while (fgets(buf, sizeof buf, f)) {
    KxCopy(line, sizeof line, stripLFCR(buf).c_str());
    if (strstr(line, key)) readTechLine(run, line, key, tx);
  }
  fclose(f);
}
