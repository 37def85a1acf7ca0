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
  if (run.io.traceShown[kind] < kMaxTraceLines) {
    ++run.io.traceShown[kind];
    return true;
  }
  ++run.io.traceLeftOut[kind];
  return false;
}

bool KxTraceSpent(KxRun& run, int kind) { return kind >= 0 && kind < kTraceKinds && run.io.traceShown[kind] >= kMaxTraceLines; }

void KxTraceLeaveOut(KxRun& run, int kind, long count) {
  if (KxTraceSpent(run, kind) && count > 0) run.io.traceLeftOut[kind] += count;
}

void KxTraceQuiet(KxRun& run, bool quiet) { run.io.traceQuiet = quiet; }


bool KxConsole(const KxRun& run) { return KxConsole(run.cfg); }

BaseRun::~BaseRun() {
  if (i_stream) fclose(i_stream);
  if (log_stream) fclose(log_stream);
}


static void deliver(KxRun& run, const char* text, size_t len) {
  if (run.io.consoleSink) run.io.consoleSink(text, len);
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
  if (!run.io.consoleSink) {
    vfprintf(stdout, fmt, ap);
    return;
  }
  va_list copy;
  va_copy(copy, ap);
  const int n = vsnprintf(buf, sizeof buf, fmt, copy);
  va_end(copy);
  if (n < 0) return;
  if ((size_t)n < sizeof buf) {
    run.io.consoleSink(buf, (size_t)n);
    return;
  }
  // Rare long message: format once more into a buffer of its own size.
  char* big = (char*)malloc((size_t)n + 1);
  if (!big) {
    run.io.consoleSink(buf, sizeof buf - 1);
    return;
  }
  vsnprintf(big, (size_t)n + 1, fmt, ap);
  run.io.consoleSink(big, (size_t)n);
  free(big);
}

void KxPrint(KxRun& run, const char* fmt, ...) {
  if (run.io.traceQuiet || run.io.quiet) return;
  va_list ap;
  va_start(ap, fmt);
  emit(run, fmt, ap);
  va_end(ap);
}

void KxSay(KxRun& run, const char* fmt, ...) {
  va_list ap;
  va_start(ap, fmt);
  if (!run.io.quiet) {
    if (!run.io.traceQuiet) emit(run, fmt, ap);
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
  if (run.io.saidLineEnd) from = text.find_first_not_of('\n');
  if (text.empty() || from == std::string::npos) return;
  run.io.saidLineEnd = text.back() == '\n';
  if (run.io.consoleSink) run.io.consoleSink(text.data() + from, text.size() - from);
  else fwrite(text.data() + from, 1, text.size() - from, stdout);
}

void KxTraceCounts(KxRun& run) {
  for (int kind = 0; kind < kTraceKinds; ++kind) {
    if (run.io.traceLeftOut[kind] == 0) continue;
    KxPrint(run, "\n ... %ld more traces left out: %s\n", run.io.traceLeftOut[kind], kTraceNames[kind]);
    run.io.traceLeftOut[kind] = 0;
  }
}

void KxLog(KxRun& run, const char* fmt, ...) {
  if (!run.io.log_stream) return;
  va_list ap;
  va_start(ap, fmt);
  KxFilePrintV(run.io.log_stream, fmt, ap);
  va_end(ap);
}

void KxFlushConsole(KxRun& run) {
  if (!run.io.consoleSink) fflush(stdout);
}
