// The technology file: whether the device's file can be used at all, and the
// per-cut lines of one technology read into eTD in the device's words.
#include <cstring>
#include <string>

#include "config/config.h"
#include "geometry/base.h"
#include "run/run.h"


namespace {

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
  eTechnologieData& e = run.nc.eTD[index];
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

  for (eTechnologieData& e : run.nc.eTD) clearEntry(run.cfg, e, tx);
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
