// What one conversion run shares beyond its tables: the file names and streams
// of the run, the console and log output every step reports through, and the
// switch between the console and the desktop flavour of the core.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <cstdio>

// --- flavour of the core ---
enum KxFlavour { kxCONSOLE = 0, kxDESKTOP = 1 };
extern int gFlavour;                 // kxCONSOLE or kxDESKTOP, chosen by the program at start
void KxSetFlavour(int flavour);      // selects the flavour and resets the run-wide names to its initial values
inline bool KxConsole() { return gFlavour == kxCONSOLE; }  // true in the console flavour

// --- run-wide names and streams ---
extern char in_filename[80];    // path of the DXF drawing as given
extern char log_filename[255];  // path of the log file
extern char ini_filename[80];   // name of the settings file below homepath
extern char homepath[255];      // folder of the program, ending with its separator
extern char data_filename[80];  // name of the NC program file
extern char dataPath[256];      // full path of the NC program file
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

// --- state ---
void ResetBaseState();   // restores the run-wide names, streams and flavour-dependent texts (tests, fuzzing)
