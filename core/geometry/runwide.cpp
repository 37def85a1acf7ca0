// Run-wide names and streams of a conversion, the flavour switch, and the one
// place through which console diagnostics and log lines leave the core
// (declared in runwide.h).
#include "geometry/runwide.h"

#include "geometry/base.h"   // KxCopy
#include "geometry/limits.h"   // kMaxTraceLines

#include <cstdlib>
#include <cstring>

int gFlavour = kxCONSOLE;

std::string in_filename;
std::string log_filename;
std::string ini_filename;
std::string homepath;
std::string data_filename;
std::string dataPath;
char fAktDate[20];
FILE* i_stream = nullptr;
FILE* log_stream = nullptr;
char gAPPNAME[8];
char gVersInf[16];
int gBulkOut = 0;
int gLogNameGiven = 0;
int gIniNameGiven = 0;

KxSinkFn gConsoleSink = nullptr;

long gTraceShown[kTraceKinds];
long gTraceLeftOut[kTraceKinds];
bool gTraceQuiet = false;

// What the count line of each kind calls the traces it left out.
static const char* const kTraceNames[kTraceKinds] = {
    "start holes passed over",
    "approach tests from further start holes",
    "region comparisons [regB]",
    "circles without contour (etCIR no Konturname)",
};

void ResetTraceState(KxRun& run) {
  memset(run.gTraceShown, 0, sizeof run.gTraceShown);
  memset(run.gTraceLeftOut, 0, sizeof run.gTraceLeftOut);
  run.gTraceQuiet = false;
}

bool KxTraceNext(KxRun& run, int kind) {
  if (kind < 0 || kind >= kTraceKinds) return true;
  if (run.gTraceShown[kind] < kMaxTraceLines) {
    ++run.gTraceShown[kind];
    return true;
  }
  ++run.gTraceLeftOut[kind];
  return false;
}

void KxTraceQuiet(KxRun& run, bool quiet) { run.gTraceQuiet = quiet; }

static void closeStream(FILE*& f) {
  if (f) fclose(f);
  f = nullptr;
}

void ResetBaseState(KxRun& run) {
  closeStream(run.i_stream);
  closeStream(run.log_stream);
  run.in_filename = "-not-set-";
  run.cfg.log_filename = KxConsole() ? "_outlog.txt" : "_outlogBe.txt";
  run.cfg.ini_filename = "korvex.ini";
  run.cfg.homepath = "/boot/home/VL-Source/korvex/";
  run.cfg.data_filename = "_nwd_out_.txt";
  run.dataPath = "unset";
  KxCopy(run.fAktDate, sizeof run.fAktDate, "not-set");
  KxCopy(gAPPNAME, sizeof gAPPNAME, "korvex");
  KxCopy(gVersInf, sizeof gVersInf, KxConsole() ? "_081024" : "_081112");
  run.cfg.gBulkOut = 0;
  run.cfg.gLogNameGiven = 0;
  run.cfg.gIniNameGiven = 0;
  ResetTraceState(run);
}

void KxSetFlavour(KxRun& run, int flavour) {
  gFlavour = flavour == kxDESKTOP ? kxDESKTOP : kxCONSOLE;
  ResetBaseState(run);
}

// Initial values for a fresh process, before any program chose its flavour.
static const bool gBaseInitialised = (ResetBaseState(), true);

static void deliver(KxRun& run, const char* text, size_t len) {
  if (run.gConsoleSink) run.gConsoleSink(text, len);
  else fwrite_unlocked(text, 1, len, stdout);
}

static void emit(KxRun& run, const char* fmt, va_list ap) {
  // Many messages are plain text (the nesting test prints single letters).
  if (!strchr(fmt, '%')) {
    deliver(run, fmt, strlen(fmt));
    return;
  }
  char buf[4096];
  va_list copy;
  va_copy(copy, ap);
  int n = KxFormat(buf, sizeof buf, fmt, copy);
  va_end(copy);
  if (n >= 0) {
    deliver(run, buf, (size_t)n);
    return;
  }
  if (!run.gConsoleSink) {
    vfprintf(stdout, fmt, ap);
    return;
  }
  va_copy(copy, ap);
  n = vsnprintf(buf, sizeof buf, fmt, copy);
  va_end(copy);
  if (n < 0) return;
  if ((size_t)n < sizeof buf) {
    run.gConsoleSink(buf, (size_t)n);
    return;
  }
  // Rare long message: format once more into a buffer of its own size.
  char* big = (char*)malloc((size_t)n + 1);
  if (!big) {
    run.gConsoleSink(buf, sizeof buf - 1);
    return;
  }
  vsnprintf(big, (size_t)n + 1, fmt, ap);
  run.gConsoleSink(big, (size_t)n);
  free(big);
}

void KxPrint(KxRun& run, const char* fmt, ...) {
  if (run.gTraceQuiet) return;
  va_list ap;
  va_start(ap, fmt);
  emit(run, fmt, ap);
  va_end(ap);
}

void KxTraceCounts(KxRun& run) {
  for (int kind = 0; kind < kTraceKinds; ++kind) {
    if (run.gTraceLeftOut[kind] == 0) continue;
    KxPrint(run, "\n ... %ld more traces left out: %s\n", run.gTraceLeftOut[kind], kTraceNames[kind]);
    run.gTraceLeftOut[kind] = 0;
  }
}

void KxLog(KxRun& run, const char* fmt, ...) {
  if (!run.log_stream) return;
  va_list ap;
  va_start(ap, fmt);
  vfprintf(run.log_stream, fmt, ap);
  va_end(ap);
}

void KxFlushConsole(KxRun& run) {
  if (!run.gConsoleSink) fflush(stdout);
}
