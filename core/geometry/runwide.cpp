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

void ResetTraceState() {
  memset(gTraceShown, 0, sizeof gTraceShown);
  memset(gTraceLeftOut, 0, sizeof gTraceLeftOut);
  gTraceQuiet = false;
}

bool KxTraceNext(int kind) {
  if (kind < 0 || kind >= kTraceKinds) return true;
  if (gTraceShown[kind] < kMaxTraceLines) {
    ++gTraceShown[kind];
    return true;
  }
  ++gTraceLeftOut[kind];
  return false;
}

bool KxTraceSpent(int kind) { return kind >= 0 && kind < kTraceKinds && gTraceShown[kind] >= kMaxTraceLines; }

void KxTraceLeaveOut(int kind, long count) {
  if (KxTraceSpent(kind) && count > 0) gTraceLeftOut[kind] += count;
}

void KxTraceQuiet(bool quiet) { gTraceQuiet = quiet; }

static void closeStream(FILE*& f) {
  if (f) fclose(f);
  f = nullptr;
}

void ResetBaseState() {
  closeStream(i_stream);
  closeStream(log_stream);
  in_filename = "-not-set-";
  log_filename = KxConsole() ? "_outlog.txt" : "_outlogBe.txt";
  ini_filename = "korvex.ini";
  homepath = "/boot/home/VL-Source/korvex/";
  data_filename = "_nwd_out_.txt";
  dataPath = "unset";
  KxCopy(fAktDate, sizeof fAktDate, "not-set");
  KxCopy(gAPPNAME, sizeof gAPPNAME, "korvex");
  KxCopy(gVersInf, sizeof gVersInf, KxConsole() ? "_081024" : "_081112");
  gBulkOut = 0;
  gLogNameGiven = 0;
  gIniNameGiven = 0;
  ResetTraceState();
}

void KxSetFlavour(int flavour) {
  gFlavour = flavour == kxDESKTOP ? kxDESKTOP : kxCONSOLE;
  ResetBaseState();
}

// Initial values for a fresh process, before any program chose its flavour.
static const bool gBaseInitialised = (ResetBaseState(), true);

static void deliver(const char* text, size_t len) {
  if (gConsoleSink) gConsoleSink(text, len);
  else fwrite_unlocked(text, 1, len, stdout);
}

static void emit(const char* fmt, va_list ap) {
  // Many messages are plain text (the nesting test prints single letters).
  if (!strchr(fmt, '%')) {
    deliver(fmt, strlen(fmt));
    return;
  }
  char buf[4096];
  va_list copy;
  va_copy(copy, ap);
  int n = KxFormat(buf, sizeof buf, fmt, copy);
  va_end(copy);
  if (n >= 0) {
    deliver(buf, (size_t)n);
    return;
  }
  if (!gConsoleSink) {
    vfprintf(stdout, fmt, ap);
    return;
  }
  va_copy(copy, ap);
  n = vsnprintf(buf, sizeof buf, fmt, copy);
  va_end(copy);
  if (n < 0) return;
  if ((size_t)n < sizeof buf) {
    gConsoleSink(buf, (size_t)n);
    return;
  }
  // Rare long message: format once more into a buffer of its own size.
  char* big = (char*)malloc((size_t)n + 1);
  if (!big) {
    gConsoleSink(buf, sizeof buf - 1);
    return;
  }
  vsnprintf(big, (size_t)n + 1, fmt, ap);
  gConsoleSink(big, (size_t)n);
  free(big);
}

void KxPrint(const char* fmt, ...) {
  if (gTraceQuiet) return;
  va_list ap;
  va_start(ap, fmt);
  emit(fmt, ap);
  va_end(ap);
}

void KxTraceCounts() {
  for (int kind = 0; kind < kTraceKinds; ++kind) {
    if (gTraceLeftOut[kind] == 0) continue;
    KxPrint("\n ... %ld more traces left out: %s\n", gTraceLeftOut[kind], kTraceNames[kind]);
    gTraceLeftOut[kind] = 0;
  }
}

void KxLog(const char* fmt, ...) {
  if (!log_stream) return;
  va_list ap;
  va_start(ap, fmt);
  vfprintf(log_stream, fmt, ap);
  va_end(ap);
}

void KxFlushConsole() {
  if (!gConsoleSink) fflush(stdout);
}
