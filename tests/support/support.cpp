// Test support shared by all test files.
#include "support/support.h"

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

#include "geometry/base.h"
#include "report/report.h"

namespace fs = std::filesystem;

// Tests never open files for a person, even when run inside a desktop session.
static void noDesktop() {
  unsetenv("DISPLAY");
  unsetenv("WAYLAND_DISPLAY");
}

void FreshCore(int flavour) {
  noDesktop();
  ResetAllState();
  KxSetFlavour(flavour);
}

static std::string gCaptured;
static void captureSink(const char* text, size_t len) { gCaptured.append(text, len); }

ConsoleCapture::ConsoleCapture() {
  gCaptured.clear();
  gConsoleSink = captureSink;
}
ConsoleCapture::~ConsoleCapture() { gConsoleSink = nullptr; }
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
  std::stringstream ss;
  ss << f.rdbuf();
  return ss.str();
}

bool FileExists(const std::string& path) { return fs::exists(path); }

// A hard link (a copy across file systems): a symbolic link would lead korvex
// back to its build folder as its program folder.
ProgramFolder::ProgramFolder() {
  std::error_code ec;
  fs::create_hard_link(KORVEX_BINARY, Binary(), ec);
  if (ec) fs::copy_file(KORVEX_BINARY, Binary());
}

ProcessResult RunProcess(const std::vector<std::string>& argv, const std::string& cwd) {
  ProcessResult r;
  int pipefd[2];
  if (pipe(pipefd) != 0) return r;
  pid_t pid = fork();
  if (pid == 0) {
    noDesktop();
    if (chdir(cwd.c_str()) != 0) _exit(127);
    int devnull = open("/dev/null", O_RDONLY);
    dup2(devnull, 0);
    dup2(pipefd[1], 1);
    dup2(pipefd[1], 2);
    close(pipefd[0]);
    std::vector<char*> args;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    execv(args[0], args.data());
    _exit(127);
  }
  close(pipefd[1]);
  char buf[4096];
  ssize_t n;
  while ((n = read(pipefd[0], buf, sizeof buf)) > 0) r.output.append(buf, (size_t)n);
  close(pipefd[0]);
  int st = 0;
  waitpid(pid, &st, 0);
  r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
  return r;
}

std::string SourceDir() { return KORVEX_SOURCE_DIR; }

std::string CorpusDir() {
  std::string dir = SourceDir() + "/../shared/corpus/dxf";
  return fs::exists(dir) ? dir : std::string();
}
