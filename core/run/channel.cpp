// The one place through which a run's console diagnostics and log lines leave
// the core, and the budget of its repeated traces.
#include "run/run.h"

#include "geometry/base.h"
#include "geometry/limits.h"   // kMaxTraceLines

#include <cstdlib>
#include <cstring>

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


bool KxConsole(const KxRun& run) { return KxConsole(run.cfg); }

BaseRun::~BaseRun() {
  if (i_stream) fclose(i_stream);
  if (log_stream) fclose(log_stream);
}


static void deliver(KxRun& run, const char* text, size_t len) {
  if (run.gConsoleSink) run.gConsoleSink(text, len);
  else fwrite_unlocked(text, 1, len, stdout);
}

static void emit(KxRun& run, const char* fmt, va_list ap) {
  char buf[4096];
  const char* text;
  size_t len;
  if (KxQuickText(fmt, ap, buf, sizeof buf, &text, &len)) {
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
