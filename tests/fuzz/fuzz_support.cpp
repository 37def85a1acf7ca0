// Fuzz target support: every input starts from the state of a fresh process.
#include "fuzz_support.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <sys/stat.h>

#include "geometry/base.h"
#include "report/report.h"
#include "run/run.h"

namespace fs = std::filesystem;

static void quiet(const char*, size_t) {}

// The program folder of this process with the shipped settings, device and
// technology files beside the program; removed when the process ends.
struct FuzzFolder {
  std::string path;
  FuzzFolder() {
    // Nothing may be opened for a person while fuzzing.
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
    // Every input is written to and read from a file: keep them in memory.
    char tmpl[] = "/dev/shm/korvex-fuzz-XXXXXX";
    if (!mkdtemp(tmpl)) abort();
    path = std::string(tmpl) + "/";
    std::error_code ec;
    fs::copy(KORVEX_SOURCE_DIR "/devices", path + "devices", fs::copy_options::recursive, ec);
    fs::copy_file(KORVEX_SOURCE_DIR "/korvex.ini", path + "korvex.ini", ec);
    mkdir((path + "devices").c_str(), 0755);
  }
  ~FuzzFolder() {
    std::error_code ec;
    fs::remove_all(path, ec);
  }
};

static std::unique_ptr<KxRun> gRun;

const std::string& FuzzStart() {
  static FuzzFolder home;
  // The console program's own runs print to stdout: nobody reads it here.
  static const bool silenced = freopen("/dev/null", "w", stdout) != nullptr;
  (void)silenced;
  gRun = std::make_unique<KxRun>();
  gRun->io.consoleSink = quiet;
  return home.path;
}

KxRun& FuzzRun() { return *gRun; }

void FuzzWrite(const std::string& path, const uint8_t* data, size_t size) {
  FILE* f = fopen(path.c_str(), "wb");
  if (!f) abort();
  if (size && fwrite(data, 1, size, f) != size) abort();
  fclose(f);
}
