// Test support for whole conversions: runs the console program in a program
// folder of its own and reads the corpus table once for every corpus check.
#include "support/runs.h"

#include <filesystem>
#include <fstream>
#include <sstream>

#include "geometry/base.h"
#include "run.h"
#include "support/support.h"
#include "run/run.h"

namespace fs = std::filesystem;

Conversion ConvertText(const std::string& dxf, const std::string& extraIni, const std::string& layer) {
  TempDir dir;
  WriteFile(dir.File("part.dxf"), dxf);
  return ConvertFile(dir.File("part.dxf"), layer, extraIni);
}

// The program folder of a conversion: the shipped devices and the settings.
static void prepare(const TempDir& home, const std::string& layer, const std::string& extraIni) {
  fs::copy(SourceDir() + "/devices", home.File("devices"), fs::copy_options::recursive);
  WriteFile(home.File("korvex.ini"),
            "LayerName: '" + layer + "'\nAddDataInfo: 1\nOpenDataFile: 0\n" + extraIni);
}

// What a run left in its program folder.
static void collect(const TempDir& home, Conversion& r) {
  r.page = ReadFile(home.File("_results.htm"));
  r.log = ReadFile(home.File("_outlog.txt"));
  for (const auto& e : fs::directory_iterator(home.Path()))
    if (e.path().filename().string().rfind("_nwd_out", 0) == 0) r.program = ReadFile(e.path().string());
}

Conversion ConvertHere(const std::string& dxf, const std::string& extraIni, int flavour, const std::string& name) {
  TempDir home;
  prepare(home, "DXF_MAIN", extraIni);
  WriteFile(home.File(name), dxf);
  FreshCore(flavour);
  Conversion r;
  KxRun run{KxSettings(flavour)};
  static std::string* printed;
  printed = &r.output;
  run.io.consoleSink = [](const char* text, size_t len) { printed->append(text, len); };
  std::vector<std::string>& opened = r.opened;
  auto open = [&opened](const std::string& path) { opened.push_back(fs::path(path).filename().string()); };
  std::string program = home.File("korvex"), drawing = home.File(name);
  if (flavour == kxDESKTOP) {
    // As the window does: its settings read once, then Make on the drawing chosen.
    SetGlobals(run, program.c_str());
    KxJob job;
    job.drawing = drawing;
    job.readSettings = false;
    job.opener = open;
    const KxResult result = KxConvert(run, job);
    r.status = result.status;
    r.contours = result.outlines;
  } else {
    run.report.openHook = [&open](const char* path) { open(path); };
    char* argv[] = {program.data(), drawing.data(), nullptr};
    r.status = KorvexConsoleRun(run, 2, argv);
  }
  collect(home, r);
  if (flavour != kxDESKTOP) r.contours = run.contours.all;
  for (long i = 0; i < run.table.eldsCounter; ++i) r.records.push_back(run.table.elds[i]);
  FreshCore();
  return r;
}

Conversion ConvertFile(const std::string& drawing, const std::string& layer, const std::string& extraIni) {
  ProgramFolder home;
  prepare(home, layer, extraIni);
  fs::copy_file(drawing, home.File("part.dxf"));
  ProcessResult p = RunProcess({home.Binary(), "part.dxf"}, home.Path());
  Conversion r;
  r.status = p.status;
  r.output = p.output;
  collect(home, r);
  return r;
}

devSyntax ShippedDevice() {
  FreshCore();
  TestRun().cfg.homepath = (SourceDir() + "/");
  ConsoleCapture quiet;
  SetDevSyntax(TestRun(), "MAK_EE3.SYN");
  devSyntax d = TestRun().cfg.mS;
  FreshCore();
  return d;
}

static std::string trimmed(const std::string& s) {
  size_t b = s.find_first_not_of(' '), e = s.find_last_not_of(' ');
  return b == std::string::npos ? std::string() : s.substr(b, e - b + 1);
}

std::vector<CorpusDrawing> CorpusDrawings() {
  std::vector<CorpusDrawing> out;
  const std::string dir = CorpusDir();
  if (dir.empty()) return out;
  std::ifstream f(dir + "/SOURCES.md");
  for (std::string row; std::getline(f, row);) {
    std::vector<std::string> cols;
    std::stringstream ss(row);
    for (std::string c; std::getline(ss, c, '|');) cols.push_back(trimmed(c));
    // | # | File | Source | Path | License | $ACADVER | Size | Entities | Other | Layers (top) |
    if (cols.size() < 11 || cols[2].size() < 5 || cols[2].substr(cols[2].size() - 4) != ".dxf") continue;
    CorpusDrawing d;
    d.name = cols[2];
    d.path = dir + "/" + d.name;
    d.version = cols[6] == "-" ? 0 : atoi(cols[6].c_str() + 2);
    size_t a = cols[10].find('`'), b = cols[10].find('`', a + 1);
    if (a != std::string::npos && b != std::string::npos) d.layer = cols[10].substr(a + 1, b - a - 1);
    out.push_back(d);
  }
  return out;
}

size_t CountOf(const std::string& text, const std::string& part) {
  size_t n = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}
