// Test support: a fresh core state per case, console capture, files in a
// temporary program folder, and running the console program as a process.
#pragma once

#include <string>
#include <vector>

// Whether part occurs in text.
inline bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// Resets every subsystem and selects the flavour (console unless told otherwise).
struct KxRun;
KxRun& TestRun();                  // the run the in-process tests work on
void FreshCore(int flavour = 0);   // a new run of that flavour (0 console, 1 desktop) for TestRun

// Collects everything the core prints while it lives.
class ConsoleCapture {
 public:
  ConsoleCapture();
  ~ConsoleCapture();
  const std::string& Text() const;
  void Clear();
};

// What the core prints while f runs.
template <class F> std::string Printed(F f) {
  ConsoleCapture cap;
  f();
  return cap.Text();
}

// A temporary folder that is removed with the object.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  const std::string& Path() const { return path_; }
  std::string File(const std::string& name) const { return path_ + "/" + name; }
 private:
  std::string path_;
};

void WriteFile(const std::string& path, const std::string& text);
std::string ReadFile(const std::string& path);   // empty when missing
bool FileExists(const std::string& path);

// A temporary program folder with the korvex binary hard-linked (or copied) into it.
class ProgramFolder : public TempDir {
 public:
  ProgramFolder();
  std::string Binary() const { return File("korvex"); }
};

struct ProcessResult {
  int status = -1;       // exit status, or -1 when the process did not exit normally
  std::string output;    // standard output and standard error
};

// Runs argv[0] with the given arguments in folder cwd, stdin from /dev/null.
ProcessResult RunProcess(const std::vector<std::string>& argv, const std::string& cwd);

// The repository's source folder and the shared corpus folder (empty when absent).
std::string SourceDir();
std::string CorpusDir();
