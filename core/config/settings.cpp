// First configuration step of a conversion: finds the program folder, forms the
// settings and log paths, puts every settings key to its default and then reads
// the settings file korvex.ini, each key as the keys' table (keys.cpp) describes
// it, and prints the settings block.
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
#include "geometry/base.h"
#include "run/run.h"


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

// A value of the settings file that was not taken, for the console and the log
// (ConfigReadSettings says a line's notes once the line is read).
static void noteSetting(KxSettings& cfg, const std::string& note) { cfg.settingNotes += note; }

// A quoted value for a name of fixed size: one that does not fit keeps the name as
// it is and says so, for a cut name would be another layer.
static void takeQuoted(KxSettings& cfg, const char* key, const char* line, KxName dst) {
  std::string value;
  if (!quotedValue(line, &value)) return;
  if (value.size() < dst.size) {
    memcpy(dst.text, value.c_str(), value.size() + 1);
    return;
  }
  noteSetting(cfg, std::string(key) + ": '" + value + "' is longer than " + std::to_string(dst.size - 1) +
                       " characters - '" + dst.text + "' kept\n");
}

// Blanks, tabs, and the end of the line stand between the keys of a line.
static bool keyEnd(const char* p) { return *p == '\0' || *p == ' ' || *p == '\t'; }

// A key's value that is no number (what: "number" or "whole number") keeps the key
// as it is, and says so.
static void notANumber(KxSettings& cfg, const char* key, const char* value, const char* what, const char* kept) {
  while (*value == ' ' || *value == '\t') ++value;
  size_t n = 0;
  while (!keyEnd(value + n)) ++n;
  noteSetting(cfg, std::string(key) + ": '" + std::string(value, n) + "' is no " + what + " - " + kept + " kept\n");
}

// A decimal key (its value in mm, where "6.25mm" says the same as "6.25"): true
// with *v set when the value is a finite number, else the key is left as it is.
static bool settingNumber(KxSettings& cfg, const KxSettingKey& k, const char* text, float* v) {
  double d;
  const char* rest = nullptr;
  int read = KxReadNumber(text, &d, &rest);
  if (read == kxNUMBER && strncmp(rest, "mm", 2) == 0) rest += 2;
  if (read == kxNUMBER && keyEnd(rest) && std::fabs(d) <= FLT_MAX) {
    *v = (float)d;
    return true;
  }
  char kept[64];
  snprintf(kept, sizeof kept, k.format, (double)*v);
  notANumber(cfg, k.key, text, "number", kept);
  return false;
}

// A whole-number key: the value is taken as before when it is a whole number.
static void settingWhole(KxSettings& cfg, const char* key, const char* text, int* v) {
  char* end = nullptr;
  strtol(text, &end, 10);
  if (end != text && keyEnd(end)) {
    *v = (int)KxInteger(text);
    return;
  }
  notANumber(cfg, key, text, "whole number", std::to_string(*v).c_str());
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
static void settingUnits(KxSettings& cfg, const char* key, const char* text, const KxUnit** units) {
  while (*text == ' ' || *text == '\t' || *text == '\'') ++text;
  size_t n = 0;
  while (!keyEnd(text + n) && text[n] != '\'') ++n;
  const std::string word(text, n);
  if (ConfigUnits(word.c_str(), units)) return;
  noteSetting(cfg, std::string(key) + ": '" + word + "' is no unit (" + KxUnitKeys() + ") - " +
                       (*units ? (*units)->key : "auto") + " kept\n");
}

// The value of key k on line (value: what follows its colon) into the settings;
// a number below the key's lowest gives its default.
static void readValue(KxSettings& cfg, const KxSettingKey& k, const char* line, const char* value) {
  const KxSettingSlot at = k.at(cfg);
  switch (k.kind) {
    case kxKEY_NUMBER: {
      float v = *std::get<float*>(at);
      if (!settingNumber(cfg, k, value, &v)) return;
      *std::get<float*>(at) = v >= k.lowest ? v : ConfigFloat(k.fallback);
      if (k.then) k.then(cfg);
      return;
    }
    case kxKEY_WHOLE:
    case kxKEY_MODE: settingWhole(cfg, k.key, value, std::get<int*>(at)); return;
    case kxKEY_SWITCH: {
      int on = *std::get<int*>(at);
      settingWhole(cfg, k.key, value, &on);
      *std::get<int*>(at) = on != 0;
      return;
    }
    case kxKEY_TEXT: quotedValue(line, std::get<std::string*>(at)); return;
    case kxKEY_NAME: takeQuoted(cfg, k.key, line, std::get<KxName>(at)); return;
    case kxKEY_UNITS: settingUnits(cfg, k.key, value, std::get<const KxUnit**>(at)); return;
  }
}

// Every key at its default; the keys without one keep their value.
static void keyDefaults(KxSettings& cfg) {
  for (const KxSettingKey& k : KxSettingKeys())
    if (k.fallback) readValue(cfg, k, k.fallback, k.fallback);
}

KxSettings::KxSettings(int flavour) : flavour(flavour == kxDESKTOP ? kxDESKTOP : kxCONSOLE) {
  keyDefaults(*this);
  if (!KxConsole(*this)) log_filename = "_outlogBe.txt";
}

bool KxConsole(const KxSettings& cfg) { return cfg.flavour == kxCONSOLE; }

static void setDefaults(KxSettings& cfg) {
  keyDefaults(cfg);
  cfg.ktechno.dPE = 30.0f;
  cfg.ktechno.dHE = 15.0f;
  cfg.ktechno.dOE = 30.5f;
}

// Every key found anywhere in the line takes effect, in the keys' order.
static void applyLine(KxSettings& cfg, const char* line) {
  for (const KxSettingKey& k : KxSettingKeys()) {
    const std::string tag = std::string(k.key) + ":";
    if (const char* p = strstr(line, tag.c_str())) readValue(cfg, k, line, p + tag.size());
  }
}

// The value of key k as the settings block shows it.
static std::string shown(KxSettings& cfg, const KxSettingKey& k) {
  const KxSettingSlot at = k.at(cfg);
  char text[64];
  switch (k.kind) {
    case kxKEY_NUMBER: snprintf(text, sizeof text, k.format, (double)*std::get<float*>(at)); return text;
    case kxKEY_WHOLE:
    case kxKEY_SWITCH: {
      const int v = *std::get<int*>(at);
      snprintf(text, sizeof text, "'%d=%s'", v, v ? "Yes" : "No");
      return text;
    }
    case kxKEY_MODE: return *std::get<int*>(at) == 0 ? "'PLATE'" : "'PIECES'";
    case kxKEY_TEXT: return std::string("'").append(*std::get<std::string*>(at)).append("'");
    case kxKEY_NAME: return std::string("'").append(std::get<KxName>(at).text).append("'");
    case kxKEY_UNITS: break;
  }
  const KxUnit* unit = *std::get<const KxUnit**>(at);
  return unit ? unit->key : "auto";
}

// Whether a number, whole number or units key holds its default.
static bool atDefault(KxSettings& cfg, const KxSettingKey& k) {
  const KxSettingSlot at = k.at(cfg);
  if (k.kind == kxKEY_NUMBER) return *std::get<float*>(at) == ConfigFloat(k.fallback);
  if (k.kind != kxKEY_UNITS) return *std::get<int*>(at) == (int)KxInteger(k.fallback);
  const KxUnit* unit = nullptr;
  ConfigUnits(k.fallback, &unit);
  return *std::get<const KxUnit**>(at) == unit;
}

static void printSettingsBlock(KxRun& run) {
  KxPrint(run, "\n ---Globals:\n");
  const std::span<const KxSettingKey> keys = KxSettingKeys();
  for (int place = 1; place <= (int)keys.size(); ++place)
    for (const KxSettingKey& k : keys)
      if (k.printAt == place && !(k.onlyChanged && atDefault(run.cfg, k))) KxPrint(run, k.line, shown(run.cfg, k).c_str());
  KxPrint(run, " ---Globals end\n");
}

void ConfigReadSettings(KxRun& run, const char* arg) {
  deriveHomepath(run, arg);
  KxPrint(run, "\n-(homepath) '%s'\n", run.cfg.homepath.c_str());
  KxPrint(run, "-(ini_filename) '%s'\n", run.cfg.ini_filename.c_str());
  KxFindLayout(run);
  if (!run.cfg.logNameGiven) run.cfg.log_filename = KxOutputFolder(run.cfg) + "_outlog.txt";
  setDefaults(run.cfg);
  run.cfg.settingNotes.clear();

  ConfigClearRefusal(run.cfg);
  FILE* f = KxOpenSettingsFile(run);
  if (!f) {
    KxPrint(run, " OPEN ERROR! ...using defaults\n");
  } else {
    KxPrint(run, " OK\n");
    ForEachTextLine(f, [&](char* line) {
      const size_t said = run.cfg.settingNotes.size();
      applyLine(run.cfg, line);
      if (run.cfg.settingNotes.size() > said) KxSay(run, "%s", run.cfg.settingNotes.c_str() + said);
    }, ';');
    fclose(f);
  }
  // The command line's choices win over the file's.
  if (!run.cfg.layerGiven.empty()) KxCopy(run.cfg.edmLayer, sizeof run.cfg.edmLayer, run.cfg.layerGiven.c_str());
  if (run.cfg.autoGiven) run.cfg.autoStartHoles = 1;
  if (!run.cfg.unitsGiven.empty()) ConfigUnits(run.cfg.unitsGiven.c_str(), &run.cfg.drawingUnits);

  printSettingsBlock(run);
  run.cfg.ktechno.dInfo[0] = '\0';
  run.cfg.ktechno.sInfo[0] = '\0';
}

void KxLogSettingNotes(KxRun& run) {
  if (!run.cfg.settingNotes.empty()) KxLog(run, "%s", run.cfg.settingNotes.c_str());
}

