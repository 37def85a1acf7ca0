// What one conversion run shares beyond its tables: the file names and streams
// of the run, the console and log output every step reports through, the way
// its output files are written, and the switch between the console and the
// desktop flavour of the core.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

// --- flavour of the core ---
enum KxFlavour { kxCONSOLE = 0, kxDESKTOP = 1 };
extern int gFlavour;                 // kxCONSOLE or kxDESKTOP, chosen by the program at start
void KxSetFlavour(int flavour);      // selects the flavour and resets the run-wide names to its initial values
inline bool KxConsole() { return gFlavour == kxCONSOLE; }  // true in the console flavour

// --- run-wide names and streams ---
extern std::string in_filename;    // path of the DXF drawing as given
extern std::string log_filename;   // path of the log file
extern std::string ini_filename;   // name of the settings file below homepath
extern std::string homepath;       // folder of the program, ending with its separator
extern std::string data_filename;  // name of the NC program file
extern std::string dataPath;       // full path of the NC program file
extern char fAktDate[20];       // date and time of the run as text
extern FILE* i_stream;          // the drawing, read by every DXF pass from its start
extern FILE* log_stream;        // the log file, open while the conversion runs
extern char gAPPNAME[8];        // program name
extern char gVersInf[16];       // version text of the banner
extern int gBulkOut;            // 1: write the element dump after the NC program
extern int gLogNameGiven;       // 1 when the command line named the log file; it then wins over the default
extern int gIniNameGiven;       // 1 when the command line named the settings file; it must then be there

// --- output ---
typedef void (*KxSinkFn)(const char* text, size_t len);
extern KxSinkFn gConsoleSink;   // receives console output instead of stdout when set (tests, desktop)
void KxPrint(const char* fmt, ...) __attribute__((format(printf, 1, 2)));  // console diagnostics (stdout or the sink)
void KxLog(const char* fmt, ...) __attribute__((format(printf, 1, 2)));    // appends to the log when it is open
void KxFlushConsole();          // flushes buffered console output
bool KxScaledDecimal(double v, int prec, uint64_t* scaled);  // |v| rounded to prec (0-9) decimals as printf rounds it, times 10^prec; false where that is not certain
int KxFormat(char* out, size_t size, const char* fmt, va_list ap);  // printf's text for common formats (consumes ap); -1 where vsnprintf must do it

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
extern long gTraceShown[kTraceKinds];    // traces of each kind printed in this run
extern long gTraceLeftOut[kTraceKinds];  // traces of each kind left out since its last count line
extern bool gTraceQuiet;                 // true while KxPrint drops its text: a trace left out is running
bool KxTraceNext(int kind);              // counts one trace of kind; true when it is to be printed
bool KxTraceSpent(int kind);             // true when no further trace of kind is printed in this run (it would only be counted)
void KxTraceLeaveOut(int kind, long count);  // counts count traces of a spent kind as left out, without making them
void KxTraceQuiet(bool quiet);           // KxPrint drops its text while quiet (the calls of a trace left out)
void KxTraceCounts();                    // prints a count line for each kind left out since its last one
void ResetTraceState();                  // a new run prints every kind again from its first trace

// --- output files (outfile.cpp) ---
struct KxOutFile {              // an output composed in a temporary file beside its target
  FILE* f = nullptr;            // the temporary, open for writing until commit or abort
  char* temp = nullptr;         // its path; removed by SIGINT/SIGTERM while it exists
  char* target = nullptr;       // the path it is renamed to when complete
  int slot = -1;                // its entry in the signal handler's list, -1 when none
  int error = 0;                // errno of the step that failed, 0 when none did
  bool drawing = false;         // the target is the drawing itself: nothing was opened
};
bool KxIsDrawing(const char* path);                  // true when path leads to the drawing's file (same device and inode)
FILE* KxOutOpen(KxOutFile* out, const char* target);  // opens a temporary beside target with a new file's mode; null (error or drawing set) when it cannot or target is the drawing
bool KxOutCommit(KxOutFile* out);                     // closes the temporary and renames it over target (a link there is replaced, not followed); false with error set, temporary removed
void KxOutAbort(KxOutFile* out);                      // closes and removes the temporary; the target stays as it was
FILE* KxOpenLog(const char* path, std::string* why);  // opens the log for writing, never through a symbolic link at path; null with the reason line in why

// --- state ---
void ResetBaseState();   // restores the run-wide names, streams and flavour-dependent texts and the trace counts (tests, fuzzing)
