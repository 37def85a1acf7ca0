// Technology of the contour being written: the record ktechno that the
// drawing's texts steer (quality, taper, planes, registers, switches,
// directives), each text read as the writer meets it.
#include <cstring>
#include <string>

#include "config/config.h"
#include "dxf/dxf.h"
#include "geometry/base.h"
#include "nc/nc.h"
#include "run/run.h"

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
  if (run.nc.techno.dQuali > kCutCount) {
    run.nc.techno.dQuali = 1;
    KxPrint(run, "[oops]");
  }
}

// A technology code starts at a Q; its digit after the Q is the number of cuts.
void technologyCode(KxRun& run, const char* fromQ, const char* closing) {
  KxPrint(run, "[TECHDATA: '%s'] ", fromQ);
  SetTechData(run, fromQ);
  run.nc.techno.dQuali = (int)KxInteger(fromQ + 1);
  run.nc.techno.modif++;
  KxPrint(run, "[Quality now: %d]%s", run.nc.techno.dQuali, closing);
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
  run.nc.techno.modif = 0;
  run.nc.techno.dVMod = 1;
  run.nc.techno.dReg = 1;
  run.nc.techno.dDLage = 42;
  run.nc.techno.dKLage = 52;
  run.nc.techno.dQuali = 1;
  run.nc.techno.HatRotation = 0;
  run.nc.techno.dRotate = 0;
  run.nc.techno.HatKonik = 0;
  run.nc.techno.dkonik = 0;
  run.nc.techno.dLWe = 0;
  run.nc.techno.dAktL = 0;
  run.nc.techno.dAktR = 0;
  run.nc.techno.NoFeed = 0;
  run.nc.techno.NoStop = 0;
  run.nc.techno.NoCut = 0;
  run.nc.techno.RoughOff = 0;
  run.nc.techno.dROff[0] = run.nc.techno.dHole;
  for (int i = 1; i < kRegisterCount; ++i) run.nc.techno.dROff[i] = 0;
  KxCopy(run.nc.moveType, sizeof run.nc.moveType, "G01");
  KxPrint(run, " SetTechnologie RESET\n");
}


// PE=, HE= and OE= set the programming, auxiliary and top plane heights. A PE=
// also nudges the taper angle so that taper output is switched on.
void planeHeights(KxRun& run, const char* t, bool markTaper) {
  if (strstr(t, "PE=")) {
    run.nc.techno.dPE = numberAfter(t, "PE=");
    run.nc.techno.dkonik += 0.0001f;
    if (markTaper) run.nc.techno.HatKonik = 1;
    run.nc.techno.modif++;
    KxPrint(run, "[PE]");
  }
  if (strstr(t, "HE=")) {
    run.nc.techno.dHE = numberAfter(t, "HE=");
    run.nc.techno.modif++;
    KxPrint(run, "[HE]");
  }
  if (strstr(t, "OE=")) {
    run.nc.techno.dOE = numberAfter(t, "OE=");
    run.nc.techno.modif++;
    KxPrint(run, "[OE]");
  }
}

void directive(KxRun& run, const char* t) {
  run.nc.techno.G92Mode = dmPLATE;
  if (KxConsole(run))
    KxPrint(run, "[DIRECTIVE] '%s' ", t);
  else
    KxPrint(run, "%s [DIRECTIVE]", t);
  // Each word found switches in this order; the last one found wins.
  static const struct { const char* word; int mode; } kModes[] = {
      {"G92_ALL_SEPARAT", dmPIECE}, {"G92_ALL_SAME", dmPLATE}, {"G92_PIECES", dmPIECE}, {"G92_PLATE", dmPLATE}};
  for (const auto& m : kModes) {
    if (!strstr(t, m.word)) continue;
    run.nc.techno.G92Mode = m.mode;
    KxPrint(run, "[G92Mode=%d]", m.mode == dmPIECE ? 1 : 0);
    if (m.mode == dmPIECE) run.nc.techno.modif++;
  }
  // Plane heights in a directive mark a taper only in the console program.
  planeHeights(run, t, KxConsole(run));
  if (const char* q = technologyCodeIn(t, false)) technologyCode(run, q, "");
  if (strchr(t, '*')) {
    starText(t, run.nc.techno.dInfo, sizeof run.nc.techno.dInfo);
    KxPrint(run, "[dINFO: '%s'] ", run.nc.techno.dInfo);
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
    run.nc.techno.dQuali = integerAfter(t, "CQ=");
    run.nc.techno.modif++;
    KxPrint(run, "[Quality]");
    correctQuality(run);
  }
  if (const char* q = technologyCodeIn(t, true)) technologyCode(run, q, "\n");
  if (strstr(t, "!NOFEED")) {
    run.nc.techno.NoFeed = 1;
    run.nc.techno.modif++;
    KxPrint(run, "[NoFeed]");
  }
  if (strstr(t, "!NOSTOP")) {
    run.nc.techno.NoStop = 1;
    run.nc.techno.modif++;
    KxPrint(run, "[NoStop]");
  }
  if (strstr(t, "!NOCUT")) {
    run.nc.techno.NoCut = 1;
    run.nc.techno.modif++;
    KxPrint(run, "[NoCut]");
  }
  // The console program never learnt the quoted compensation switch.
  if (!KxConsole(run) && strstr(t, "'G41'")) {
    run.nc.techno.dDLage = 41;
    run.nc.techno.modif++;
    KxPrint(run, "[G41]");
  }
  if (strstr(t, "ROT=")) {
    run.nc.techno.dRotate = numberAfter(t, "ROT=");
    run.nc.techno.HatRotation = 1;
    run.nc.techno.modif++;
    KxPrint(run, "[ROTA]");
  }
  if (strstr(t, "ROUGH=")) {
    run.nc.techno.RoughOff = numberAfter(t, "ROUGH=");
    KxPrint(run, "[+ROUGH]");
  }
  planeHeights(run, t, true);
  if (strstr(t, "A=")) {
    run.nc.techno.dkonik = numberAfter(t, "A=");
    run.nc.techno.modif++;
    KxPrint(run, "[Angle]");
    if (run.nc.techno.dkonik > kMaxTaper) {
      run.nc.techno.dkonik = 0;
      KxPrint(run, KxConsole(run) ? "[Ang. oops]" : "[oops]");
    }
  }
  if (const char* r = strstr(t, "R=")) {
    run.nc.techno.dReg = integerAfter(t, "R=");
    run.nc.techno.modif++;
    KxPrint(run, "[Register]");
    if (run.nc.techno.dReg < kFirstTextRegister || run.nc.techno.dReg > kLastTextRegister) {
      run.nc.techno.dReg = kFirstTextRegister;
      KxPrint(run, KxConsole(run) ? "[Reg. oops]" : "[oops]");
    }
    // Only an offset written behind the register belongs to it.
    if (strstr(r, "OF=")) {
      run.nc.techno.dROff[run.nc.techno.dReg] = numberAfter(r, "OF=");
      KxPrint(run, "[Offset]");
    }
  }
  if (strchr(t, '*')) {
    starText(t, run.nc.techno.sInfo, sizeof run.nc.techno.sInfo);
    // A name keeps at most two words.
    char* first = strchr(run.nc.techno.sInfo, ' ');
    if (first) {
      char* second = strchr(first + 1, ' ');
      *(second ? second : first) = '\0';
    }
    KxPrint(run, "[sINFO: '%s'] ", run.nc.techno.sInfo);
  }
  if (strstr(t, "#DIRECTIVE")) directive(run, t);
  if (run.dxf.multiLayer == 1) fLayerList(run, ll_VARIA, 0, t, elnum);
  KxPrint(run, "\n");
}

}  // namespace

void SetTechnologie(KxRun& run, const char* tLine, long elnum) {
  if (!tLine)
    resetTechnologie(run);
  else
    interpret(run, tLine, elnum);
}

