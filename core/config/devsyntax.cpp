// Second configuration step: reads the device syntax file that names every
// machine word of the NC program into the record mS, or installs the built-in
// syntax when the file cannot be read.
#include <cstring>
#include <string>

#include "config/config.h"
#include "geometry/base.h"
#include "run/run.h"


namespace {

struct SyntaxKey {
  const char* key;
  size_t field;     // offset of the word in devSyntax
  size_t width;
  const char* fallback;
};

// Table order matters: when a line holds several keys, the last one wins.
const SyntaxKey kKeys[] = {
    {"$Device", offsetof(devSyntax, Device), sizeof devSyntax::Device, "DefaultSyntax"},
    {"$TechFile", offsetof(devSyntax, TechFile), sizeof devSyntax::TechFile, "DEFAULT.TCH"},
    {"$RemarkOn", offsetof(devSyntax, RemarkOn), sizeof devSyntax::RemarkOn, "("},
    {"$RemarkOff", offsetof(devSyntax, RemarkOff), sizeof devSyntax::RemarkOff, ")"},
    {"$SubJump", offsetof(devSyntax, SubJump), sizeof devSyntax::SubJump, "M98P"},
    {"$SubReturn", offsetof(devSyntax, SubReturn), sizeof devSyntax::SubReturn, "M99"},
    {"$WireCut", offsetof(devSyntax, WireCut), sizeof devSyntax::WireCut, "M07"},
    {"$OptStop", offsetof(devSyntax, OptStop), sizeof devSyntax::OptStop, "M01"},
    {"$HoldPoint", offsetof(devSyntax, HoldPoint), sizeof devSyntax::HoldPoint, "/2M01;/1M07"},
    {"$PrgEnd", offsetof(devSyntax, PrgEnd), sizeof devSyntax::PrgEnd, "M02"},
    {"$Angel", offsetof(devSyntax, Angel), sizeof devSyntax::Angel, "T"},
    {"$VReg", offsetof(devSyntax, VReg), sizeof devSyntax::VReg, "#"},
    {"$OffsetR", offsetof(devSyntax, OffsetR), sizeof devSyntax::OffsetR, "D#"},
    {"$OffsetC", offsetof(devSyntax, OffsetC), sizeof devSyntax::OffsetC, "D"},
    {"$NullOffset", offsetof(devSyntax, NylOffset), sizeof devSyntax::NylOffset, " D0"},
    {"$SingleIsoRad", offsetof(devSyntax, SingleIsoRad), sizeof devSyntax::SingleIsoRad, "G24L"},
    {"$PrgPlane", offsetof(devSyntax, PrgPlane), sizeof devSyntax::PrgPlane, "G10L80P0R"},
    {"$HlpPlane", offsetof(devSyntax, HlpPlane), sizeof devSyntax::HlpPlane, "G10L80P1R"},
    {"$TopPlane", offsetof(devSyntax, TopPlane), sizeof devSyntax::TopPlane, "G10L80P1R"},
    {"$ProEpilog", offsetof(devSyntax, ProEpilog), sizeof devSyntax::ProEpilog, "%"},
    {"$EOL", offsetof(devSyntax, EOL), sizeof devSyntax::EOL, ";"},
    {"$Extension", offsetof(devSyntax, Extension), sizeof devSyntax::Extension, ".txt"},
    {"$AfterRapid", offsetof(devSyntax, AfterRapid), sizeof devSyntax::AfterRapid, "(M17);\n"},
    {"$WireFeed", offsetof(devSyntax, WireFeed), sizeof devSyntax::WireFeed, "M06"},
    {"$GenOn", offsetof(devSyntax, GenOn), sizeof devSyntax::GenOn, "M17"},
    {"$GenOff", offsetof(devSyntax, GenOff), sizeof devSyntax::GenOff, "M18"},
    {"$RotateOn", offsetof(devSyntax, RotateOn), sizeof devSyntax::RotateOn, "G68R"},
    {"$RotateOff", offsetof(devSyntax, RotateOff), sizeof devSyntax::RotateOff, "G69"},
    {"$MirrorOn", offsetof(devSyntax, MirrorOn), sizeof devSyntax::MirrorOn, "G71X1Y0"},
    {"$MirrorOff", offsetof(devSyntax, MirrorOff), sizeof devSyntax::MirrorOff, "G70"},
    {"$TechLine", offsetof(devSyntax, TechLine), sizeof devSyntax::TechLine, "RO T H"},
    {"$Header", offsetof(devSyntax, Header), sizeof devSyntax::Header, ""},
    {"$Footer", offsetof(devSyntax, Footer), sizeof devSyntax::Footer, ""},
    {"$Reserv_C", offsetof(devSyntax, Reserv_C), sizeof devSyntax::Reserv_C, "(na)"},
    {"$Reserv_B", offsetof(devSyntax, Reserv_B), sizeof devSyntax::Reserv_B, "(na)"},
    {"$Reserv_A", offsetof(devSyntax, Reserv_A), sizeof devSyntax::Reserv_A, "(na)"},
    {"$FourAxisOn", offsetof(devSyntax, FourAxisOn), sizeof devSyntax::FourAxisOn, "G151"},
    {"$FourAxisOff", offsetof(devSyntax, FourAxisOff), sizeof devSyntax::FourAxisOff, "G150"},
    {"$UpperAxes", offsetof(devSyntax, UpperAxes), sizeof devSyntax::UpperAxes, "UV"},
    {"$UVAbsolute", offsetof(devSyntax, UVAbsolute), sizeof devSyntax::UVAbsolute, "0"},
    {"$UpperArc", offsetof(devSyntax, UpperArc), sizeof devSyntax::UpperArc, "(na)"},
};

static_assert(sizeof kKeys / sizeof kKeys[0] == kDeviceKeyCount, "one entry per keyword of the device file");

char* wordOf(devSyntax& syntax, const SyntaxKey& k) { return (char*)&syntax + k.field; }

void installDefaultSyntax(devSyntax& syntax) {
  for (const SyntaxKey& k : kKeys) KxCopy(wordOf(syntax, k), k.width, k.fallback);
}

// What the reading of one device file finds besides the words it sets.
struct SyntaxReading {
  int keysRead = 0;   // keys of the device file being read
  bool techFileCut = false;   // its $TechFile value does not fit the name: another file would be read
};

// One line of the file: "(na)" marks a key without value; the value stands in
// double quotes, and "|" and "<" after its first character spell CR and LF so
// that one line can carry a multi-line header.
void applyLine(KxRun& run, SyntaxReading& reading, char* line) {
  const SyntaxKey* target = nullptr;
  for (const SyntaxKey& k : kKeys)
    if (strstr(line, k.key)) target = &k;
  if (target) {
    KxCopy(wordOf(run.cfg.mS, *target), target->width, "(na)");
    ++reading.keysRead;
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
  if (target->field == offsetof(devSyntax, TechFile) && strlen(value) >= target->width) reading.techFileCut = true;
  else KxCopy(wordOf(run.cfg.mS, *target), target->width, value);
}

}  // namespace

void SetDevSyntax(KxRun& run, const char* dev) {
  if (!dev) dev = "";
  const std::string file = DeviceFilePath(run.cfg, dev);
  const char* path = file.c_str();
  KxPrint(run, "  SetDevSyntax: ");
  KxPrint(run, " '%s' \n", path);

  FILE* f = ConfigOpenFile(run, path, "device syntax file");
  if (!f) {
    KxPrint(run, "reset/open Error  ");
    installDefaultSyntax(run.cfg.mS);
    KxPrint(run, " now set to: [%s]\n", run.cfg.mS.Device);
    return;
  }

  run.cfg.mS.Header[0] = '\0';
  run.cfg.mS.Footer[0] = '\0';
  SyntaxReading reading;
  ForEachTextLine(f, [&](char* line) { applyLine(run, reading, line); }, ';');
  fclose(f);
  if (reading.techFileCut) {
    const std::string why = "its $TechFile value is longer than " + std::to_string(sizeof run.cfg.mS.TechFile - 1) + " characters";
    ConfigRefuse(run, "device syntax file", path, why.c_str());
  }
  // A file without a single key would leave a program without machine words.
  if (reading.keysRead == 0) {
    ConfigRefuse(run, "device syntax file", path, "it holds none of the device keys such as $RemarkOn or $EOL");
    installDefaultSyntax(run.cfg.mS);
  }
  KxPrint(run, " now set to: [%s]\n", run.cfg.mS.Device);
}

std::string NcRemarkText(KxSettings& cfg, const char* text) {
  std::string out = text ? text : "";
  // A remark delimiter inside the text would close the remark early (or open a
  // second one), and what followed would reach the control as machine words.
  for (const char* word : {cfg.mS.RemarkOff, cfg.mS.RemarkOn}) {
    const size_t n = strlen(word);
    if (n == 0) continue;
    for (size_t at = out.find(word); at != std::string::npos; at = out.find(word, at + n)) out.replace(at, n, n, ' ');
  }
  // The block end, the program delimiter and line breaks end the line itself.
  for (char& c : out) {
    const unsigned char u = (unsigned char)c;
    if (u < 0x20 || u == 0x7f || c == '%' || (cfg.mS.EOL[0] && strchr(cfg.mS.EOL, c))) c = ' ';
  }
  return out;
}
