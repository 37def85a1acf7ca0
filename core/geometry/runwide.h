// What one conversion run shares beyond its tables: the file names and streams
// of the run, the console and log output every step reports through, the way
// its output files are written, and the switch between the console and the
// desktop flavour of the core.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <string>

struct KxRun;        // the state of one conversion (kxrun.h)
struct KxSettings;   // the settings a run reads (config.h)

// --- process-wide state ---
// Everything a conversion finds lives in its run (kxrun.h). What is left here is
// the program's own: the sieve's vector width (chosen once for the processor;
// tests narrow it between runs), the temporaries the signal handler removes
// (outfile.cpp, atomic) and the opener processes started for the user (report.h,
// under a lock).

// --- flavour of the core ---
// Which program a run works for is the run's own: its settings carry it
// (KxSettings::flavour), so every run made from the desktop's settings is a desktop run.
enum KxFlavour { kxCONSOLE = 0, kxDESKTOP = 1 };
bool KxConsole(const KxRun& run);        // true when the run works for the console program
bool KxConsole(const KxSettings& cfg);   // true when runs on these settings work for the console program

// --- program identity ---
extern const char gAPPNAME[];   // program name
const char* KxVersionText(int flavour);    // version text of the banner of that flavour

// --- output ---
typedef std::function<void(const char* text, size_t len)> KxSink;   // where a run's console text goes instead of stdout
void KxPrint(KxRun& run, const char* fmt, ...) __attribute__((format(printf, 2, 3)));  // console diagnostics (stdout or the sink)
void KxSay(KxRun& run, const char* fmt, ...) __attribute__((format(printf, 2, 3)));    // a warning, error or the summary: printed even when the run is quiet
void KxLog(KxRun& run, const char* fmt, ...) __attribute__((format(printf, 2, 3)));    // appends to the log when it is open
void KxFlushConsole(KxRun& run);          // flushes buffered console output
bool KxScaledDecimal(double v, int prec, uint64_t* scaled);  // |v| rounded to prec (0-9) decimals as printf rounds it, times 10^prec; false where that is not certain
int KxFormat(char* out, size_t size, const char* fmt, va_list ap);  // printf's text for common formats (consumes ap); -1 where vsnprintf must do it
void KxFilePrint(FILE* f, const char* fmt, ...) __attribute__((format(printf, 2, 3)));  // fprintf through KxFormat: the same text, written faster
void KxFilePrintV(FILE* f, const char* fmt, va_list ap);  // the same with a va_list (consumes ap)

// --- bounded traces ---
// A trace printed once per pair of contours or elements would grow with the
// square of the drawing: of each such kind a run prints the first
// kMaxTraceLines and counts the rest, told in one line at the end of the step.
enum KxTraceKind {
  ktPASSED_OVER = 0,   // feed-point search: a circle or insert of another contour, too big or outside the region
  ktFURTHER_APPROACH,  // feed-point search: approach test from the second and later start hole of a contour
  ktREGION_PAIR,       // nesting search: one contour's box against another's
  ktTEXT_CIRCLE,       // texts to holes: a circle without contour met by a text
  kTraceKinds
};
bool KxTraceNext(KxRun& run, int kind);              // counts one trace of kind; true when it is to be printed
bool KxTraceSpent(KxRun& run, int kind);             // true when no further trace of kind is printed in this run (it would only be counted)
void KxTraceLeaveOut(KxRun& run, int kind, long count);  // counts count traces of a spent kind as left out, without making them
void KxTraceQuiet(KxRun& run, bool quiet);           // KxPrint drops its text while quiet (the calls of a trace left out)
void KxTraceCounts(KxRun& run);                    // prints a count line for each kind left out since its last one

// --- output files (outfile.cpp) ---
struct KxOutFile {              // an output composed in a temporary file beside its target
  FILE* f = nullptr;            // the temporary, open for writing until commit or abort
  char* temp = nullptr;         // its path; removed by SIGINT/SIGTERM while it exists
  char* target = nullptr;       // the path it is renamed to when complete
  int slot = -1;                // its entry in the signal handler's list, -1 when none
  int error = 0;                // errno of the step that failed, 0 when none did
  bool drawing = false;         // the target is the drawing itself: nothing was opened
};
bool KxIsDrawing(KxRun& run, const char* path);                  // true when path leads to the drawing's file (same device and inode)
FILE* KxOutOpen(KxRun& run, KxOutFile* out, const char* target);  // opens a temporary beside target with a new file's mode; null (error or drawing set) when it cannot or target is the drawing
bool KxOutCommit(KxOutFile* out);                     // closes the temporary and renames it over target (a link there is replaced, not followed); false with error set, temporary removed
void KxOutAbort(KxOutFile* out);                      // closes and removes the temporary; the target stays as it was
FILE* KxOpenLog(const char* path, std::string* why);  // opens the log for writing, never through a symbolic link at path; null with the reason line in why
int KxOpenInput(const std::string& path, struct stat* st, std::string* why);  // a descriptor reading path (blocking), a named pipe waited for a writer a while; -1 with the reason in why (a folder, no writer, errno)

// --- state ---

// The file names and streams of one conversion and the trace budget of its console text.
// State a source file keeps to itself: its type is defined and the object created
// there, on first use, and the run that owns it deletes it.
template <class T>
struct KxPart {
  std::unique_ptr<T, void (*)(T*)> p{nullptr, nullptr};
  T& get() {
    if (!p) p = std::unique_ptr<T, void (*)(T*)>(new T(), [](T* t) { delete t; });
    return *p;
  }
};

struct BaseRun {
  std::string in_filename = "-not-set-";  // path of the DXF drawing as given
  std::string dataPath = "unset";  // full path of the NC program file
  char fAktDate[20] = "not-set";  // date and time of the run as text
  FILE* i_stream = nullptr;  // the drawing, read by every DXF pass from its start; closed with the run
  FILE* log_stream = nullptr;  // the log file, open while the conversion runs; closed with the run
  KxSink gConsoleSink;  // receives the run's console output instead of stdout when set (tests, desktop)
  long gTraceShown[kTraceKinds]{};  // traces of each kind printed in this run
  long gTraceLeftOut[kTraceKinds]{};  // traces of each kind left out since its last count line
  bool gTraceQuiet = false;  // true while KxPrint drops its text: a trace left out is running
  bool gQuiet = false;  // --quiet: KxPrint drops its text, only KxSay's reaches the console
  bool gSaidLineEnd = true;  // quiet: the last text said ended a line (the next one's leading blank lines are dropped)
  std::string namePrefix;  // put before the names of the page, check page and element dump ("plate" -> plate_results.htm); "" as ever
  BaseRun() = default;
  BaseRun(const BaseRun&) = delete;
  BaseRun& operator=(const BaseRun&) = delete;
  ~BaseRun();
};
