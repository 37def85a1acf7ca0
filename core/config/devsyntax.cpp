// Second configuration step: reads the device syntax file that names every
// machine word of the NC program into the record mS, or installs the built-in
// syntax when the file cannot be read.
#include <cstring>

#include "config/config.h"
#include "geometry/base.h"

devSyntax mS;

namespace {

struct SyntaxKey {
  const char* key;
  char* field;
  size_t width;
  const char* fallback;
};

// Table order matters: when a line holds several keys, the last one wins.
const SyntaxKey kKeys[] = {
    {"$Device", mS.Device, sizeof mS.Device, "DefaultSyntax"},
    {"$TechFile", mS.TechFile, sizeof mS.TechFile, "DEFAULT.TCH"},
    {"$RemarkOn", mS.RemarkOn, sizeof mS.RemarkOn, "("},
    {"$RemarkOff", mS.RemarkOff, sizeof mS.RemarkOff, ")"},
    {"$SubJump", mS.SubJump, sizeof mS.SubJump, "M98P"},
    {"$SubReturn", mS.SubReturn, sizeof mS.SubReturn, "M99"},
    {"$WireCut", mS.WireCut, sizeof mS.WireCut, "M07"},
    {"$OptStop", mS.OptStop, sizeof mS.OptStop, "M01"},
    {"$HoldPoint", mS.HoldPoint, sizeof mS.HoldPoint, "/2M01;/1M07"},
    {"$PrgEnd", mS.PrgEnd, sizeof mS.PrgEnd, "M02"},
    {"$Angel", mS.Angel, sizeof mS.Angel, "T"},
    {"$VReg", mS.VReg, sizeof mS.VReg, "#"},
    {"$OffsetR", mS.OffsetR, sizeof mS.OffsetR, "D#"},
    {"$OffsetC", mS.OffsetC, sizeof mS.OffsetC, "D"},
    {"$NullOffset", mS.NylOffset, sizeof mS.NylOffset, " D0"},
    {"$SingleIsoRad", mS.SingleIsoRad, sizeof mS.SingleIsoRad, "G24L"},
    {"$PrgPlane", mS.PrgPlane, sizeof mS.PrgPlane, "G10L80P0R"},
    {"$HlpPlane", mS.HlpPlane, sizeof mS.HlpPlane, "G10L80P1R"},
    {"$TopPlane", mS.TopPlane, sizeof mS.TopPlane, "G10L80P1R"},
    {"$ProEpilog", mS.ProEpilog, sizeof mS.ProEpilog, "%"},
    {"$EOL", mS.EOL, sizeof mS.EOL, ";"},
    {"$Extension", mS.Extension, sizeof mS.Extension, ".txt"},
    {"$AfterRapid", mS.AfterRapid, sizeof mS.AfterRapid, "(M17);\n"},
    {"$WireFeed", mS.WireFeed, sizeof mS.WireFeed, "M06"},
    {"$GenOn", mS.GenOn, sizeof mS.GenOn, "M17"},
    {"$GenOff", mS.GenOff, sizeof mS.GenOff, "M18"},
    {"$RotateOn", mS.RotateOn, sizeof mS.RotateOn, "G68R"},
    {"$RotateOff", mS.RotateOff, sizeof mS.RotateOff, "G69"},
    {"$MirrorOn", mS.MirrorOn, sizeof mS.MirrorOn, "G71X1Y0"},
    {"$MirrorOff", mS.MirrorOff, sizeof mS.MirrorOff, "G70"},
    {"$TechLine", mS.TechLine, sizeof mS.TechLine, "RO T H"},
    {"$Header", mS.Header, sizeof mS.Header, ""},
    {"$Footer", mS.Footer, sizeof mS.Footer, ""},
    {"$Reserv_C", mS.Reserv_C, sizeof mS.Reserv_C, "(na)"},
    {"$Reserv_B", mS.Reserv_B, sizeof mS.Reserv_B, "(na)"},
    {"$Reserv_A", mS.Reserv_A, sizeof mS.Reserv_A, "(na)"},
};

static_assert(sizeof kKeys / sizeof kKeys[0] == kDeviceKeyCount, "one entry per keyword of the device file");

void installDefaultSyntax() {
  for (const SyntaxKey& k : kKeys) KxCopy(k.field, k.width, k.fallback);
}

// One line of the file: "(na)" marks a key without value; the value stands in
// double quotes, and "|" and "<" after its first character spell CR and LF so
// that one line can carry a multi-line header.
}  // namespace

// What this file keeps of a run, owned by the run.
struct DevsyntaxState {
  int keysRead = 0;   // keys of the device file being read
  bool techFileCut = false;   // its $TechFile value does not fit the name: another file would be read
};

namespace {

static DevsyntaxState& fileState(KxRun& run) { return run.devsyntaxState.get(); }

void applyLine(KxRun& run, char* line) {
  const SyntaxKey* target = nullptr;
  for (const SyntaxKey& k : kKeys)
    if (strstr(line, k.key)) target = &k;
  if (target) {
    KxCopy(target->field, target->width, "(na)");
    ++fileState(run).keysRead;
  }

  char* value = strchr(line, '"');
  if (!value) return;
  ++value;
  if (*value != '\0') {
    if (char* close = strchr(value + 1, '"')) *close = '\0';
    for (char* c = value + 1; *c; ++c) {
      if (*c == '|') *c = '\r';
      else if (*c == '<') *c = '\n';
    }
  }
  if (!target) return;
  if (target->field == run.cfg.mS.TechFile && strlen(value) >= target->width) fileState(run).techFileCut = true;
  else KxCopy(target->field, target->width, value);
}

}  // namespace

// Short names are looked up in the devices folder; a longer text is a path.
std::string DeviceFilePath(KxSettings& cfg, const char* name, const char* folder) {
  if (strlen(name) > (size_t)kShortDeviceName) return name;
  return cfg.homepath + folder + name;
}

void SetDevSyntax(KxRun& run, const char* dev) {
  if (!dev) dev = "";
  const std::string file = DeviceFilePath(run.cfg, dev);
  const char* path = file.c_str();
  KxPrint(run, "  SetDevSyntax: ");
  KxPrint(run, " '%s' \n", path);

  FILE* f = ConfigOpenFile(run, path, "device syntax file");
  if (!f) {
    KxPrint(run, "reset/open Error  ");
    installDefaultSyntax();
    KxPrint(run, " now set to: [%s]\n", run.cfg.mS.Device);
    return;
  }

  run.cfg.mS.Header[0] = '\0';
  run.cfg.mS.Footer[0] = '\0';
  fileState(run).keysRead = 0;
  fileState(run).techFileCut = false;
  ForEachTextLine(f, applyLine, ';');
  fclose(f);
  if (fileState(run).techFileCut) {
    const std::string why = "its $TechFile value is longer than " + std::to_string(sizeof run.cfg.mS.TechFile - 1) + " characters";
    ConfigRefuse(run, "device syntax file", path, why.c_str());
  }
  // A file without a single key would leave a program without machine words.
  if (fileState(run).keysRead == 0) {
    ConfigRefuse(run, "device syntax file", path, "it holds none of the device keys such as $RemarkOn or $EOL");
    installDefaultSyntax();
  }
  KxPrint(run, " now set to: [%s]\n", run.cfg.mS.Device);
}
