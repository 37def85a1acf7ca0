// First configuration step of a conversion: finds the program folder, forms the
// settings and log paths, puts every global setting to its built-in default and
// then overrides the defaults from the settings file korvex.ini.
#include <cctype>
#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "config/config.h"
#include "dxf/dxf.h"
#include "geometry/base.h"
#include "kxrun.h"


KxSettings::KxSettings(int flavour) : flavour(flavour == kxDESKTOP ? kxDESKTOP : kxCONSOLE) {
  if (!KxConsole(*this)) log_filename = "_outlogBe.txt";
}


// What the settings file said that was no number, for the console at once and for
// the log of each conversion (which is opened after the settings are read).

float ConfigFloat(const char* text) {
  double v = KxNumber(text);
  if (v > FLT_MAX) return FLT_MAX;
  if (v < -FLT_MAX) return -FLT_MAX;
  return (float)v;
}

// The folder of the running executable with every symlink resolved, ending with
// its separator; empty when it cannot be found.
static std::string executableFolder() {
  char* real = realpath("/proc/self/exe", nullptr);
  std::string folder = real ? real : "";
  free(real);
  size_t slash = folder.rfind('/');
  return slash == std::string::npos ? std::string() : folder.substr(0, slash + 1);
}

// Cuts the path after its last backslash, then after its last slash. A bare
// program name says nothing about where the program lives, and a link (say
// ~/bin/korvex) lives elsewhere than its settings and devices: then the folder
// of the running executable is taken instead.
static void deriveHomepath(KxRun& run, const char* arg) {
  run.cfg.homepath = arg;
  size_t cut = run.cfg.homepath.rfind('\\');
  if (cut != std::string::npos) {
    run.cfg.homepath.erase(cut + 1);
    KxPrint(run, " WIN?  ");
  }
  cut = run.cfg.homepath.rfind('/');
  if (cut != std::string::npos) {
    run.cfg.homepath.erase(cut + 1);
    KxPrint(run, " UNIX? ");
  }
  struct stat st;
  const bool link = lstat(arg, &st) == 0 && S_ISLNK(st.st_mode);
  if (!link && run.cfg.homepath.find_first_of("/\\") != std::string::npos) return;
  std::string exe = executableFolder();
  if (!exe.empty()) run.cfg.homepath = exe;
}

void ForEachTextLine(FILE* f, const std::function<void(char* line)>& use, char comment) {
  char buf[kTextLineSize];
  char line[kTextLineSize];
  while (fgets(buf, sizeof buf, f)) {
    KxCopy(line, sizeof line, stripLFCR(buf).c_str());
    if (comment && line[0] == comment) continue;
    use(line);
  }
}

// The settings' own globals as a fresh program has them.
static void settingsDefaults(KxSettings& cfg) {
  cfg.gNpTolerance = 0.002f;
  cfg.fPlusTol = 0.002f;
  cfg.fMinusTol = -0.002f;
  cfg.gStartPosition = 2.605f;
  cfg.gMaxAnkerLen = 4.5f;
  KxCopy(cfg.edmLayer, sizeof cfg.edmLayer, "DXF_MAIN");
  KxCopy(cfg.optLayer, sizeof cfg.optLayer, "EDMX_");
  cfg.gGlobTextInfo = 0;
  cfg.gDataInfo = 0;
  cfg.gCancelTextInfo = 1;
  cfg.OpenDataFile = 1;
  cfg.gAutoStartHoles = 0;
  cfg.gCheckProgram = 0;
  cfg.gCurveTolerance = kDefaultCurveTolerance;
  cfg.gAutoHoleDiameter = kDefaultAutoHoleDiameter;
  cfg.gThreadingTime = kDefaultThreadingTime;
  cfg.gRapidFeed = kDefaultRapidFeed;
  cfg.gWireSpeed = 0;
  cfg.drawingUnits = nullptr;
}

static void setDefaults(KxSettings& cfg) {
  settingsDefaults(cfg);
  cfg.data_filename = "_nwd_out";
  cfg.ktechno.dHole = -0.002f;
  cfg.ktechno.dPE = 30.0f;
  cfg.ktechno.dHE = 15.0f;
  cfg.ktechno.dOE = 30.5f;
}

// A quoted value runs from the line's first single quote to the next one that
// stands at least one character later; without that closing quote the line
// leaves the value alone (false).
static bool quotedValue(const char* line, std::string* value) {
  const char* open = strchr(line, '\'');
  if (!open || open[1] == '\0') return false;
  const char* close = strchr(open + 2, '\'');
  if (!close) return false;
  value->assign(open + 1, (size_t)(close - open - 1));
  return true;
}

static void takeQuoted(const char* line, std::string* dst) {
  std::string value;
  if (quotedValue(line, &value)) *dst = value;
}

// A value of the settings file that was not taken, for the console and the log.
static void noteSetting(KxRun& run, const std::string& note) {
  KxSay(run, "%s", note.c_str());
  run.cfg.gSettingNotes += note;
}

// A quoted value for a name of fixed size: one that does not fit keeps the name as
// it is and says so, for a cut name would be another layer.
static void takeQuoted(KxRun& run, const char* key, const char* line, char* dst, size_t size) {
  std::string value;
  if (!quotedValue(line, &value)) return;
  if (value.size() < size) {
    memcpy(dst, value.c_str(), value.size() + 1);
    return;
  }
  noteSetting(run, std::string(key) + ": '" + value + "' is longer than " + std::to_string(size - 1) + " characters - '" +
              dst + "' kept\n");
}

// Blanks, tabs, and the end of the line stand between the keys of a line.
static bool keyEnd(const char* p) { return *p == '\0' || *p == ' ' || *p == '\t'; }

// A key's value that is no number (what: "number" or "whole number") keeps the key
// as it is, and says so.
static void notANumber(KxRun& run, const char* key, const char* value, const char* what, const char* kept) {
  while (*value == ' ' || *value == '\t') ++value;
  size_t n = 0;
  while (!keyEnd(value + n)) ++n;
  noteSetting(run, std::string(key) + ": '" + std::string(value, n) + "' is no " + what + " - " + kept + " kept\n");
}

// A decimal key (its value in mm, where "6.25mm" says the same as "6.25"): true
// with *v set when the value is a finite number, else the key is left as it is.
static bool settingNumber(KxRun& run, const char* key, const char* text, float* v, const char* printed) {
  double d;
  const char* rest = nullptr;
  int read = KxReadNumber(text, &d, &rest);
  if (read == kxNUMBER && strncmp(rest, "mm", 2) == 0) rest += 2;
  if (read == kxNUMBER && keyEnd(rest) && std::fabs(d) <= FLT_MAX) {
    *v = (float)d;
    return true;
  }
  char kept[48];
  snprintf(kept, sizeof kept, printed, (double)*v);
  notANumber(run, key, text, "number", kept);
  return false;
}

// A whole-number key: the value is taken as before when it is a whole number.
static void settingWhole(KxRun& run, const char* key, const char* text, int* v) {
  char* end = nullptr;
  strtol(text, &end, 10);
  if (end != text && keyEnd(end)) {
    *v = (int)KxInteger(text);
    return;
  }
  notANumber(run, key, text, "whole number", std::to_string(*v).c_str());
}

// The number of key on line, when it names one: taken when at least (or, with
// orEqual false, above) the lowest value that makes sense, else the fallback.
static void boundedNumber(KxRun& run, const char* line, const char* key, const char* fmt, float* field, float lowest,
                          bool orEqual, float fallback) {
  const std::string tag = std::string(key) + ":";
  const char* p = strstr(line, tag.c_str());
  if (!p) return;
  float v = *field;
  if (settingNumber(run, key, p + tag.size(), &v, fmt)) *field = (orEqual ? v >= lowest : v > lowest) ? v : fallback;
}

const char* ConfigUnitsSource(const KxSettings& cfg) { return cfg.unitsGiven.empty() ? "DrawingUnits" : "--units"; }

bool ConfigUnits(const char* word, const KxUnit** unit) {
  char lower[16];
  size_t n = 0;
  for (; word[n] && n + 1 < sizeof lower; ++n) lower[n] = (char)tolower((unsigned char)word[n]);
  lower[n] = '\0';
  if (word[n]) return false;
  if (strcmp(lower, "auto") == 0) {
    *unit = nullptr;
    return true;
  }
  *unit = KxUnitByKey(lower);
  return *unit != nullptr;
}

// DrawingUnits: a unit's name, quoted or not; another word keeps the units as they were.
static void settingUnits(KxRun& run, const char* text) {
  while (*text == ' ' || *text == '\t' || *text == '\'') ++text;
  size_t n = 0;
  while (!keyEnd(text + n) && text[n] != '\'') ++n;
  const std::string word(text, n);
  if (ConfigUnits(word.c_str(), &run.cfg.drawingUnits)) return;
  noteSetting(run, "DrawingUnits: '" + word + "' is no unit (" + KxUnitKeys() + ") - " +
                       (run.cfg.drawingUnits ? run.cfg.drawingUnits->key : "auto") + " kept\n");
}

// Every key found anywhere in the line takes effect, in this order.
static void applyLine(KxRun& run, char* line) {
  const char* p;
  if ((p = strstr(line, "GridRadius:"))) settingNumber(run, "GridRadius", p + 11, &run.cfg.gStartPosition, "%.3f");
  if ((p = strstr(line, "HoleOffset:"))) settingNumber(run, "HoleOffset", p + 11, &run.cfg.ktechno.dHole, "%.3f");
  if ((p = strstr(line, "NextElemTol:")) && settingNumber(run, "NextElemTol", p + 12, &run.cfg.gNpTolerance, "%.3f")) {
    run.cfg.fPlusTol = run.cfg.gNpTolerance;
    run.cfg.fMinusTol = 0 - run.cfg.gNpTolerance;
  }
  if ((p = strstr(line, "AnchorLength:"))) settingNumber(run, "AnchorLength", p + 13, &run.cfg.gMaxAnkerLen, "%.3f");
  if ((p = strstr(line, "OpenDataFile:"))) settingWhole(run, "OpenDataFile", p + 13, &run.cfg.OpenDataFile);
  if ((p = strstr(line, "AddDataInfo:"))) settingWhole(run, "AddDataInfo", p + 12, &run.cfg.gDataInfo);
  if ((p = strstr(line, "RemTextInfo:"))) settingWhole(run, "RemTextInfo", p + 12, &run.cfg.gCancelTextInfo);
  if ((p = strstr(line, "GlobTextInfo:"))) settingWhole(run, "GlobTextInfo", p + 13, &run.cfg.gGlobTextInfo);
  if ((p = strstr(line, "G92Modus:"))) settingWhole(run, "G92Modus", p + 9, &run.cfg.ktechno.G92Mode);
  if (strstr(line, "DevTarget:")) takeQuoted(line, &run.cfg.gDevTarget);
  if (strstr(line, "LayerName:")) takeQuoted(run, "LayerName", line, run.cfg.edmLayer, sizeof run.cfg.edmLayer);
  if (strstr(line, "LayerOptN:")) takeQuoted(run, "LayerOptN", line, run.cfg.optLayer, sizeof run.cfg.optLayer);
  if (strstr(line, "DataName:")) takeQuoted(line, &run.cfg.data_filename);
  if ((p = strstr(line, "AutoStartHoles:"))) {
    int on = run.cfg.gAutoStartHoles;
    settingWhole(run, "AutoStartHoles", p + 15, &on);
    run.cfg.gAutoStartHoles = on != 0;
  }
  if ((p = strstr(line, "CheckProgram:"))) {
    int on = run.cfg.gCheckProgram;
    settingWhole(run, "CheckProgram", p + 13, &on);
    run.cfg.gCheckProgram = on != 0;
  }
  // A value outside what can be cut with keeps the default: a tolerance of nothing
  // would split a curve forever, a hole of no width cannot be drilled, and a
  // negative time or speed, or no rapid speed at all, says nothing.
  boundedNumber(run, line, "CurveTolerance", "%.4f", &run.cfg.gCurveTolerance, 0.00001f, true, kDefaultCurveTolerance);
  boundedNumber(run, line, "AutoHoleDiameter", "%.3f", &run.cfg.gAutoHoleDiameter, 0, false, kDefaultAutoHoleDiameter);
  boundedNumber(run, line, "ThreadingTime", "%.2f", &run.cfg.gThreadingTime, 0, true, kDefaultThreadingTime);
  boundedNumber(run, line, "RapidFeed", "%.0f", &run.cfg.gRapidFeed, 0, false, kDefaultRapidFeed);
  boundedNumber(run, line, "WireSpeed", "%.1f", &run.cfg.gWireSpeed, 0, true, 0);
  if ((p = strstr(line, "DrawingUnits:"))) settingUnits(run, p + 13);
}

static const char* yesNo(int v) { return v ? "Yes" : "No"; }

static void printSettingsBlock(KxRun& run) {
  KxPrint(run, "\n ---Globals:\n");
  KxPrint(run, "  NextElemToleranz: %.3f\n", run.cfg.gNpTolerance);
  KxPrint(run, "    gStartPosition: %.3f\n", run.cfg.gStartPosition);
  KxPrint(run, "      gMaxAnkerLen: %.3f\n", run.cfg.gMaxAnkerLen);
  KxPrint(run, "        HoleOffset: %.3f\n", run.cfg.ktechno.dHole);
  KxPrint(run, "          edmLayer: '%s'\n", run.cfg.edmLayer);
  KxPrint(run, "          optLayer: '%s'\n", run.cfg.optLayer);
  KxPrint(run, "          G92Modus: '%s'\n", run.cfg.ktechno.G92Mode == 0 ? "PLATE" : "PIECES");
  KxPrint(run, "     data-filename: '%s'\n\n", run.cfg.data_filename.c_str());
  KxPrint(run, "   GlobaleTextInfo: '%d=%s'\t", run.cfg.gGlobTextInfo, yesNo(run.cfg.gGlobTextInfo));
  KxPrint(run, "OpenDataFile: '%d=%s'\n", run.cfg.OpenDataFile, yesNo(run.cfg.OpenDataFile));
  KxPrint(run, "       AddDataInfo: '%d=%s'\t", run.cfg.gDataInfo, yesNo(run.cfg.gDataInfo));
  KxPrint(run, " RemTextInfo: '%d=%s'\n", run.cfg.gCancelTextInfo, yesNo(run.cfg.gCancelTextInfo));
  // Shown only when on, so that a run without it prints what it always printed.
  if (run.cfg.gAutoStartHoles) KxPrint(run, "    AutoStartHoles: '%d=%s'\n", run.cfg.gAutoStartHoles, yesNo(run.cfg.gAutoStartHoles));
  if (run.cfg.gCheckProgram) KxPrint(run, "      CheckProgram: '%d=%s'\n", run.cfg.gCheckProgram, yesNo(run.cfg.gCheckProgram));
  if (run.cfg.gCurveTolerance != kDefaultCurveTolerance) KxPrint(run, "    CurveTolerance: %.4f\n", run.cfg.gCurveTolerance);
  if (run.cfg.gAutoHoleDiameter != kDefaultAutoHoleDiameter) KxPrint(run, "  AutoHoleDiameter: %.3f\n", run.cfg.gAutoHoleDiameter);
  if (run.cfg.gThreadingTime != kDefaultThreadingTime) KxPrint(run, "     ThreadingTime: %.2f\n", run.cfg.gThreadingTime);
  if (run.cfg.gRapidFeed != kDefaultRapidFeed) KxPrint(run, "         RapidFeed: %.0f\n", run.cfg.gRapidFeed);
  if (run.cfg.gWireSpeed != 0) KxPrint(run, "         WireSpeed: %.1f\n", run.cfg.gWireSpeed);
  if (run.cfg.drawingUnits) KxPrint(run, "      DrawingUnits: %s\n", run.cfg.drawingUnits->key);
  KxPrint(run, " ---Globals end\n");
}

void SetGlobals(KxRun& run, const char* arg) {
  deriveHomepath(run, arg);
  KxPrint(run, "\n-(homepath) '%s'\n", run.cfg.homepath.c_str());
  KxPrint(run, "-(ini_filename) '%s'\n", run.cfg.ini_filename.c_str());
  KxFindLayout(run);
  if (!run.cfg.gLogNameGiven) run.cfg.log_filename = KxOutputFolder(run.cfg) + "_outlog.txt";
  setDefaults(run.cfg);
  run.cfg.gSettingNotes.clear();

  ConfigClearRefusal(run.cfg);
  FILE* f = KxOpenSettingsFile(run);
  if (!f) {
    KxPrint(run, " OPEN ERROR! ...using defaults\n");
  } else {
    KxPrint(run, " OK\n");
    ForEachTextLine(f, [&](char* line) { applyLine(run, line); }, ';');
    fclose(f);
  }
  // The command line's choices win over the file's.
  if (!run.cfg.layerGiven.empty()) KxCopy(run.cfg.edmLayer, sizeof run.cfg.edmLayer, run.cfg.layerGiven.c_str());
  if (run.cfg.autoGiven) run.cfg.gAutoStartHoles = 1;
  if (!run.cfg.unitsGiven.empty()) ConfigUnits(run.cfg.unitsGiven.c_str(), &run.cfg.drawingUnits);

  printSettingsBlock(run);
  run.cfg.ktechno.dInfo[0] = '\0';
  run.cfg.ktechno.sInfo[0] = '\0';
  fLayerList(run, ll_ADD, 0, run.cfg.edmLayer, 0);
}

void KxLogSettingNotes(KxRun& run) {
  if (!run.cfg.gSettingNotes.empty()) KxLog(run, "%s", run.cfg.gSettingNotes.c_str());
}

