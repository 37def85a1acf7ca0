// First configuration step of a conversion: finds the program folder, forms the
// settings and log paths, puts every global setting to its built-in default and
// then overrides the defaults from the settings file korvex.ini.
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

float gNpTolerance = 0.002f;
float fPlusTol = 0.002f;
float fMinusTol = -0.002f;
float gStartPosition = 2.605f;
float gMaxAnkerLen = 4.5f;
char edmLayer[80] = "DXF_MAIN";
char optLayer[20] = "EDMX_";
std::string gDevTarget = "MAK_EE3.SYN";
int gGlobTextInfo = 0;
int gDataInfo = 0;
int gCancelTextInfo = 1;
int OpenDataFile = 1;
int gAutoStartHoles = 0;
float gCurveTolerance = kDefaultCurveTolerance;
float gAutoHoleDiameter = kDefaultAutoHoleDiameter;

static const char kDevicesFolder[] = "devices/";

// What the settings file said that was no number, for the console at once and for
// the log of each conversion (which is opened after the settings are read).
static std::string gSettingNotes;

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
static void deriveHomepath(const char* arg) {
  homepath = arg;
  size_t cut = homepath.rfind('\\');
  if (cut != std::string::npos) {
    homepath.erase(cut + 1);
    KxPrint(" WIN?  ");
  }
  cut = homepath.rfind('/');
  if (cut != std::string::npos) {
    homepath.erase(cut + 1);
    KxPrint(" UNIX? ");
  }
  struct stat st;
  const bool link = lstat(arg, &st) == 0 && S_ISLNK(st.st_mode);
  if (!link && homepath.find_first_of("/\\") != std::string::npos) return;
  std::string exe = executableFolder();
  if (!exe.empty()) homepath = exe;
}

void ForEachTextLine(FILE* f, void (*use)(char* line), char comment) {
  char buf[kTextLineSize];
  char line[kTextLineSize];
  while (fgets(buf, sizeof buf, f)) {
    KxCopy(line, sizeof line, stripLFCR(buf));
    if (comment && line[0] == comment) continue;
    use(line);
  }
}

// The settings' own globals as a fresh program has them.
static void settingsDefaults() {
  gNpTolerance = 0.002f;
  fPlusTol = 0.002f;
  fMinusTol = -0.002f;
  gStartPosition = 2.605f;
  gMaxAnkerLen = 4.5f;
  KxCopy(edmLayer, sizeof edmLayer, "DXF_MAIN");
  KxCopy(optLayer, sizeof optLayer, "EDMX_");
  gGlobTextInfo = 0;
  gDataInfo = 0;
  gCancelTextInfo = 1;
  OpenDataFile = 1;
  gAutoStartHoles = 0;
  gCurveTolerance = kDefaultCurveTolerance;
  gAutoHoleDiameter = kDefaultAutoHoleDiameter;
}

static void setDefaults() {
  settingsDefaults();
  data_filename = "_nwd_out";
  ktechno.dHole = -0.002f;
  ktechno.dPE = 30.0f;
  ktechno.dHE = 15.0f;
  ktechno.dOE = 30.5f;
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
static void noteSetting(const std::string& note) {
  KxPrint("%s", note.c_str());
  gSettingNotes += note;
}

// A quoted value for a name of fixed size: one that does not fit keeps the name as
// it is and says so, for a cut name would be another layer.
static void takeQuoted(const char* key, const char* line, char* dst, size_t size) {
  std::string value;
  if (!quotedValue(line, &value)) return;
  if (value.size() < size) {
    memcpy(dst, value.c_str(), value.size() + 1);
    return;
  }
  noteSetting(std::string(key) + ": '" + value + "' is longer than " + std::to_string(size - 1) + " characters - '" +
              dst + "' kept\n");
}

// Blanks, tabs, and the end of the line stand between the keys of a line.
static bool keyEnd(const char* p) { return *p == '\0' || *p == ' ' || *p == '\t'; }

// A key's value that is no number (what: "number" or "whole number") keeps the key
// as it is, and says so.
static void notANumber(const char* key, const char* value, const char* what, const char* kept) {
  while (*value == ' ' || *value == '\t') ++value;
  size_t n = 0;
  while (!keyEnd(value + n)) ++n;
  noteSetting(std::string(key) + ": '" + std::string(value, n) + "' is no " + what + " - " + kept + " kept\n");
}

// A decimal key (its value in mm, where "6.25mm" says the same as "6.25"): true
// with *v set when the value is a finite number, else the key is left as it is.
static bool settingNumber(const char* key, const char* text, float* v, const char* printed) {
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
  notANumber(key, text, "number", kept);
  return false;
}

// A whole-number key: the value is taken as before when it is a whole number.
static void settingWhole(const char* key, const char* text, int* v) {
  char* end = nullptr;
  strtol(text, &end, 10);
  if (end != text && keyEnd(end)) {
    *v = (int)KxInteger(text);
    return;
  }
  notANumber(key, text, "whole number", std::to_string(*v).c_str());
}

// Every key found anywhere in the line takes effect, in this order.
static void applyLine(char* line) {
  const char* p;
  if ((p = strstr(line, "GridRadius:"))) settingNumber("GridRadius", p + 11, &gStartPosition, "%.3f");
  if ((p = strstr(line, "HoleOffset:"))) settingNumber("HoleOffset", p + 11, &ktechno.dHole, "%.3f");
  if ((p = strstr(line, "NextElemTol:")) && settingNumber("NextElemTol", p + 12, &gNpTolerance, "%.3f")) {
    fPlusTol = gNpTolerance;
    fMinusTol = 0 - gNpTolerance;
  }
  if ((p = strstr(line, "AnchorLength:"))) settingNumber("AnchorLength", p + 13, &gMaxAnkerLen, "%.3f");
  if ((p = strstr(line, "OpenDataFile:"))) settingWhole("OpenDataFile", p + 13, &OpenDataFile);
  if ((p = strstr(line, "AddDataInfo:"))) settingWhole("AddDataInfo", p + 12, &gDataInfo);
  if ((p = strstr(line, "RemTextInfo:"))) settingWhole("RemTextInfo", p + 12, &gCancelTextInfo);
  if ((p = strstr(line, "GlobTextInfo:"))) settingWhole("GlobTextInfo", p + 13, &gGlobTextInfo);
  if ((p = strstr(line, "G92Modus:"))) settingWhole("G92Modus", p + 9, &ktechno.G92Mode);
  if (strstr(line, "DevTarget:")) takeQuoted(line, &gDevTarget);
  if (strstr(line, "LayerName:")) takeQuoted("LayerName", line, edmLayer, sizeof edmLayer);
  if (strstr(line, "LayerOptN:")) takeQuoted("LayerOptN", line, optLayer, sizeof optLayer);
  if (strstr(line, "DataName:")) takeQuoted(line, &data_filename);
  if ((p = strstr(line, "AutoStartHoles:"))) {
    int on = gAutoStartHoles;
    settingWhole("AutoStartHoles", p + 15, &on);
    gAutoStartHoles = on != 0;
  }
  if ((p = strstr(line, "CurveTolerance:"))) {
    // A tolerance of nothing (or less) would split a curve forever: such a value keeps the default.
    float v = gCurveTolerance;
    if (settingNumber("CurveTolerance", p + 15, &v, "%.4f")) gCurveTolerance = v >= 0.00001f ? v : kDefaultCurveTolerance;
  }
  if ((p = strstr(line, "AutoHoleDiameter:"))) {
    // A hole of no width cannot be drilled: such a value keeps the default.
    float v = gAutoHoleDiameter;
    if (settingNumber("AutoHoleDiameter", p + 17, &v, "%.3f")) gAutoHoleDiameter = v > 0 ? v : kDefaultAutoHoleDiameter;
  }
}

static const char* yesNo(int v) { return v ? "Yes" : "No"; }

static void printSettingsBlock() {
  KxPrint("\n ---Globals:\n");
  KxPrint("  NextElemToleranz: %.3f\n", gNpTolerance);
  KxPrint("    gStartPosition: %.3f\n", gStartPosition);
  KxPrint("      gMaxAnkerLen: %.3f\n", gMaxAnkerLen);
  KxPrint("        HoleOffset: %.3f\n", ktechno.dHole);
  KxPrint("          edmLayer: '%s'\n", edmLayer);
  KxPrint("          optLayer: '%s'\n", optLayer);
  KxPrint("          G92Modus: '%s'\n", ktechno.G92Mode == 0 ? "PLATE" : "PIECES");
  KxPrint("     data-filename: '%s'\n\n", data_filename.c_str());
  KxPrint("   GlobaleTextInfo: '%d=%s'\t", gGlobTextInfo, yesNo(gGlobTextInfo));
  KxPrint("OpenDataFile: '%d=%s'\n", OpenDataFile, yesNo(OpenDataFile));
  KxPrint("       AddDataInfo: '%d=%s'\t", gDataInfo, yesNo(gDataInfo));
  KxPrint(" RemTextInfo: '%d=%s'\n", gCancelTextInfo, yesNo(gCancelTextInfo));
  // Shown only when on, so that a run without it prints what it always printed.
  if (gAutoStartHoles) KxPrint("    AutoStartHoles: '%d=%s'\n", gAutoStartHoles, yesNo(gAutoStartHoles));
  if (gCurveTolerance != kDefaultCurveTolerance) KxPrint("    CurveTolerance: %.4f\n", gCurveTolerance);
  if (gAutoHoleDiameter != kDefaultAutoHoleDiameter) KxPrint("  AutoHoleDiameter: %.3f\n", gAutoHoleDiameter);
  KxPrint(" ---Globals end\n");
}

// Opens the settings file in the program folder, else below its devices
// folder. The name then keeps the devices prefix (once) so that a reload and the
// bridge look there.
static FILE* openSettings() {
  const std::string first = homepath + ini_filename;
  KxPrint("\n\nINI-FILE: <%s> ", first.c_str());
  FILE* f = ConfigOpenFile(first.c_str(), "settings file");
  if (f || ConfigRefusal()[0]) return f;
  const std::string second = homepath + kDevicesFolder + ini_filename;
  KxPrint("\nINI-FILE: <%s> (sec.try)", second.c_str());
  f = ConfigOpenFile(second.c_str(), "settings file");
  // A settings file the user named must be there: a run on the defaults would
  // cut with tolerances and layers nobody chose.
  if (!f && gIniNameGiven) ConfigRefuse("settings file", first.c_str(), "No such file, nor below devices/");
  if (ini_filename.compare(0, strlen(kDevicesFolder), kDevicesFolder) != 0) ini_filename.insert(0, kDevicesFolder);
  return f;
}

void SetGlobals(const char* arg) {
  deriveHomepath(arg);
  KxPrint("\n-(homepath) '%s'\n", homepath.c_str());
  KxPrint("-(ini_filename) '%s'\n", ini_filename.c_str());
  if (!gLogNameGiven) log_filename = homepath + "_outlog.txt";
  setDefaults();
  gSettingNotes.clear();

  ConfigClearRefusal();
  FILE* f = openSettings();
  if (!f) {
    KxPrint(" OPEN ERROR! ...using defaults\n");
  } else {
    KxPrint(" OK\n");
    ForEachTextLine(f, applyLine, ';');
    fclose(f);
  }

  printSettingsBlock();
  ktechno.dInfo[0] = '\0';
  ktechno.sInfo[0] = '\0';
  fLayerList(ll_ADD, 0, edmLayer, 0);
}

void KxLogSettingNotes() {
  if (!gSettingNotes.empty()) KxLog("%s", gSettingNotes.c_str());
}

void ResetConfigState() {
  settingsDefaults();
  gSettingNotes.clear();
  gDevTarget = "MAK_EE3.SYN";
  memset(&mS, 0, sizeof mS);
  memset(&ktechno, 0, sizeof ktechno);
  memset(eTD, 0, sizeof eTD);
  ConfigClearRefusal();
}
