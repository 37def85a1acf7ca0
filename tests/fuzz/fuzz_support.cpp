// Fuzz target support: every input starts from the state of a fresh process.
#include "fuzz_support.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

#include "geometry/base.h"
#include "report/report.h"

static void quiet(const char*, size_t) {}

static std::string gHome;
static void removeHome() {
  std::error_code ec;
  if (!gHome.empty()) std::filesystem::remove_all(gHome, ec);
}

const std::string& FuzzHome() {
  static std::string home = [] {
    // Nothing may be opened for a person while fuzzing.
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
    // Every input is written to and read from a file: keep them in memory.
    char tmpl[] = "/dev/shm/korvex-fuzz-XXXXXX";
    if (!mkdtemp(tmpl)) abort();
    std::string h = tmpl;
    // The shipped settings, device and technology files lie beside the program.
    std::error_code ec;
    std::filesystem::copy(KORVEX_SOURCE_DIR "/devices", h + "/devices", std::filesystem::copy_options::recursive, ec);
    std::filesystem::copy_file(KORVEX_SOURCE_DIR "/korvex.ini", h + "/korvex.ini", ec);
    mkdir((h + "/devices").c_str(), 0755);
    gHome = h;
    atexit(removeHome);
    return h + "/";
  }();
  return home;
}

void FuzzFreshCore() {
  ResetAllState();
  KxSetFlavour(kxCONSOLE);
  gConsoleSink = quiet;
}

void FuzzWrite(const std::string& path, const uint8_t* data, size_t size) {
  FILE* f = fopen(path.c_str(), "wb");
  if (!f) abort();
  if (size && fwrite(data, 1, size, f) != size) abort();
  fclose(f);
}
