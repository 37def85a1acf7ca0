// Test support shared by all test files.
#include "support/support.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <new>
#include <sys/wait.h>

#include "geometry/base.h"
#include "report/report.h"
#include "run/run.h"

namespace fs = std::filesystem;

// The run the in-process tests work on; FreshCore replaces it by a new one.
static std::unique_ptr<KxRun> gTestRun;

KxRun& TestRun() {
  if (!gTestRun) gTestRun = std::make_unique<KxRun>();
  return *gTestRun;
}

void FreshCore(int flavour) {
  // Tests never open files for a person, even when run inside a desktop session.
  unsetenv("DISPLAY");
  unsetenv("WAYLAND_DISPLAY");
  // The new run takes the place of the old one, so that what a test holds of the
  // run (a field it watches) stays where it was; an open capture goes on listening.
  KxSink sink = gTestRun ? gTestRun->io.consoleSink : KxSink();
  if (!gTestRun) {
    gTestRun = std::make_unique<KxRun>(KxSettings(flavour));
  } else {
    gTestRun->~KxRun();
    new (gTestRun.get()) KxRun(KxSettings(flavour));
  }
  gTestRun->io.consoleSink = sink;
}

static std::string gCaptured;
static void captureSink(const char* text, size_t len) { gCaptured.append(text, len); }

ConsoleCapture::ConsoleCapture() {
  gCaptured.clear();
  TestRun().io.consoleSink = captureSink;
}
ConsoleCapture::~ConsoleCapture() { TestRun().io.consoleSink = nullptr; }
const std::string& ConsoleCapture::Text() const { return gCaptured; }
void ConsoleCapture::Clear() { gCaptured.clear(); }

TempDir::TempDir() {
  char tmpl[] = "/tmp/korvex-test-XXXXXX";
  char* p = mkdtemp(tmpl);
  path_ = p ? p : "/tmp";
}
TempDir::~TempDir() {
  std::error_code ec;
  if (path_ != "/tmp") fs::remove_all(path_, ec);
}

void WriteFile(const std::string& path, const std::string& text) {
  std::ofstream f(path, std::ios::binary);
  f << text;
}

std::string ReadFile(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(f), {});
}

bool FileExists(const std::string& path) { return fs::exists(path); }

// A hard link (a copy across file systems): a symbolic link would lead korvex
// back to its build folder as its program folder.
ProgramFolder::ProgramFolder() {
  std::error_code ec;
  fs::create_hard_link(KORVEX_BINARY, Binary(), ec);
  if (ec) fs::copy_file(KORVEX_BINARY, Binary());
}

// One word for the shell, whatever characters it holds.
static std::string quoted(std::string s) {
  for (size_t p = s.find('\''); p != std::string::npos; p = s.find('\'', p + 4)) s.replace(p, 1, "'\\''");
  return "'" + s + "'";
}

ProcessResult RunProcess(const std::vector<std::string>& argv, const std::string& cwd) {
  std::string command = "cd " + quoted(cwd) + " && exec env -u DISPLAY -u WAYLAND_DISPLAY";
  for (const auto& a : argv) command += " " + quoted(a);
  ProcessResult r;
  FILE* out = popen((command + " </dev/null 2>&1").c_str(), "r");
  if (!out) return r;
  char buf[4096];
  for (size_t n; (n = fread(buf, 1, sizeof buf, out)) > 0;) r.output.append(buf, n);
  int st = pclose(out);
  r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
  return r;
}

std::string SourceDir() { return KORVEX_SOURCE_DIR; }

std::string CorpusDir() {
  std::string dir = SourceDir() + "/../shared/corpus/dxf";
  return fs::exists(dir) ? dir : std::string();
}
