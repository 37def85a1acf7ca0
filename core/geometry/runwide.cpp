// Run-wide names and streams of a conversion, the flavour switch, and the one
// place through which console diagnostics and log lines leave the core
// (declared in runwide.h).
#include "geometry/runwide.h"

#include "geometry/base.h"
#include "geometry/limits.h"   // kMaxTraceLines
#include "kxrun.h"

#include <cstdlib>
#include <cstring>

const char gAPPNAME[] = "korvex";

const char* KxVersionText(int flavour) { return flavour == kxCONSOLE ? "_081024" : "_081112"; }

bool KxConsole(const KxSettings& cfg) { return cfg.flavour == kxCONSOLE; }

bool KxConsole(const KxRun& run) { return KxConsole(run.cfg); }



// What the count line of each kind calls the traces it left out.
static const char* const kTraceNames[kTraceKinds] = {
    "start holes passed over",
    "approach tests from further start holes",
    "region comparisons [regB]",
    "circles without contour (etCIR no Konturname)",
};


bool KxTraceNext(KxRun& run, int kind) {
  if (kind < 0 || kind >= kTraceKinds) return true;
  if (run.gTraceShown[kind] < kMaxTraceLines) {
    ++run.gTraceShown[kind];
    return true;
  }
  ++run.gTraceLeftOut[kind];
  return false;
}

bool KxTraceSpent(KxRun& run, int kind) { return kind >= 0 && kind < kTraceKinds && run.gTraceShown[kind] >= kMaxTraceLines; }

void KxTraceLeaveOut(KxRun& run, int kind, long count) {
  if (KxTraceSpent(run, kind) && count > 0) run.gTraceLeftOut[kind] += count;
}

void KxTraceQuiet(KxRun& run, bool quiet) { run.gTraceQuiet = quiet; }


BaseRun::~BaseRun() {
  if (i_stream) fclose(i_stream);
  if (log_stream) fclose(log_stream);
}


static void deliver(KxRun& run, const char* text, size_t len) {
  if (run.gConsoleSink) run.gConsoleSink(text, len);
  else fwrite_unlocked(text, 1, len, stdout);
}

// The text of fmt with ap, into *text and *len, when it is plain text (many
// messages are: the nesting test prints single letters) or KxFormat can make it
// in buf; false when vsnprintf must do it. ap is left as it was.
static bool quickText(const char* fmt, va_list ap, char* buf, size_t size, const char** text, size_t* len) {
  if (!strchr(fmt, '%')) {
    *text = fmt;
    *len = strlen(fmt);
    return true;
  }
  va_list copy;
  va_copy(copy, ap);
  const int n = KxFormat(buf, size, fmt, copy);
  va_end(copy);
  if (n < 0) return false;
  *text = buf;
  *len = (size_t)n;
  return true;
}

static void emit(KxRun& run, const char* fmt, va_list ap) {
  char buf[4096];
  const char* text;
  size_t len;
  if (quickText(fmt, ap, buf, sizeof buf, &text, &len)) {
    deliver(run, text, len);
    return;
  }
  if (!run.gConsoleSink) {
    vfprintf(stdout, fmt, ap);
    return;
  }
  va_list copy;
  va_copy(copy, ap);
  const int n = vsnprintf(buf, sizeof buf, fmt, copy);
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
  if (run.gTraceQuiet || run.gQuiet) return;
  va_list ap;
  va_start(ap, fmt);
  emit(run, fmt, ap);
  va_end(ap);
}

void KxSay(KxRun& run, const char* fmt, ...) {
  va_list ap;
  va_start(ap, fmt);
  if (!run.gQuiet) {
    if (!run.gTraceQuiet) emit(run, fmt, ap);
    va_end(ap);
    return;
  }
  // Alone on the console, the lines keep no blank lines between them.
  va_list copy;
  va_copy(copy, ap);
  const int n = vsnprintf(nullptr, 0, fmt, copy);
  va_end(copy);
  std::string text(n > 0 ? (size_t)n : 0, '\0');
  if (n > 0) vsnprintf(text.data(), text.size() + 1, fmt, ap);
  va_end(ap);
  size_t from = 0;
  if (run.gSaidLineEnd) from = text.find_first_not_of('\n');
  if (text.empty() || from == std::string::npos) return;
  run.gSaidLineEnd = text.back() == '\n';
  if (run.gConsoleSink) run.gConsoleSink(text.data() + from, text.size() - from);
  else fwrite(text.data() + from, 1, text.size() - from, stdout);
}

void KxTraceCounts(KxRun& run) {
  for (int kind = 0; kind < kTraceKinds; ++kind) {
    if (run.gTraceLeftOut[kind] == 0) continue;
    KxPrint(run, "\n ... %ld more traces left out: %s\n", run.gTraceLeftOut[kind], kTraceNames[kind]);
    run.gTraceLeftOut[kind] = 0;
  }
}

// The program, log, page and picture are written line by line in the tens of
// thousands; glibc's vfprintf spends most of that time in its general number
// formatting, so the common formats go through KxFormat and one fwrite.
void KxFilePrintV(FILE* f, const char* fmt, va_list ap) {
  if (!f) return;
  char buf[1024];
  const char* text;
  size_t len;
  if (quickText(fmt, ap, buf, sizeof buf, &text, &len)) fwrite_unlocked(text, 1, len, f);
  else vfprintf(f, fmt, ap);
}

void KxFilePrint(FILE* f, const char* fmt, ...) {
  va_list ap;
  va_start(ap, fmt);
  KxFilePrintV(f, fmt, ap);
  va_end(ap);
}

void KxLog(KxRun& run, const char* fmt, ...) {
  if (!run.log_stream) return;
  va_list ap;
  va_start(ap, fmt);
  KxFilePrintV(run.log_stream, fmt, ap);
  va_end(ap);
}

void KxFlushConsole(KxRun& run) {
  if (!run.gConsoleSink) fflush(stdout);
}
