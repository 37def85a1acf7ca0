// The console run: the command line, the opening of drawing and log, the fixed
// order of the conversion steps, and the closing lines that end every run.
// Its result is the program's exit status.
#include "run.h"

#include <cstring>
#include <termios.h>
#include <unistd.h>

#include "config/config.h"
#include "dxf/dxf.h"
#include "elements/elements.h"
#include "geometry/base.h"
#include "nc/nc.h"
#include "report/report.h"

// Run statuses, which are also the exit codes of the program.
enum {
  kStatusOk = 0,
  kStatusUsage = 1,
  kStatusNoDrawing = 2,
  kStatusNoLog = 3,
  kStatusNoProgram = 4,
  kStatusNoDxfArgument = 6
};

// Stores an argument into a fixed name buffer, or refuses it when it does not fit.
static bool storeArgument(char* dst, size_t size, const char* value, const char* what) {
  size_t n = strlen(value);
  if (n < size) {
    KxCopy(dst, size, value);
    return true;
  }
  KxPrint(" %s too long (%zu characters, at most %zu): '%s' ignored;\n"
          " run korvex from the drawing's folder with a shorter relative path\n",
          what, n, size - 1, value);
  return false;
}

int ParseOptions(int argc, char** argv) {
  KxPrint("\n");
  for (int i = 0; i < argc; ++i) {
    const char* a = argv[i] ? argv[i] : "";
    KxPrint(" argv[%d]: %s \n", i, a);
    if (strcmp(a, "-bulk") == 0) {
      gBulkOut = 1;
      KxPrint(" %d found: -bulk \n", i);
    }
    if (strstr(a, ".dxf") || strstr(a, ".DXF")) storeArgument(in_filename, sizeof in_filename, a, "drawing name");
    if (strstr(a, ".ini") || strstr(a, ".INI")) {
      const char* name = a;
      if (const char* s = strrchr(a, '/')) name = s + 1;
      else if (const char* b = strrchr(a, '\\')) name = b + 1;
      storeArgument(ini_filename, sizeof ini_filename, name, "settings name");
    }
    if (strstr(a, ".log") || strstr(a, ".LOG")) {
      if (storeArgument(log_filename, sizeof log_filename, a, "log name")) gLogNameGiven = 1;
    }
  }
  return 0;
}

void KxWaitKey() {
  // Only a person at a terminal is asked; a script, a pipe or CI must never hang.
  if (!isatty(STDIN_FILENO)) return;
  KxFlushConsole();
  termios saved;
  if (tcgetattr(STDIN_FILENO, &saved) != 0) return;
  termios raw = saved;
  raw.c_lflag &= ~(ICANON | ECHO);
  raw.c_cc[VMIN] = 1;
  raw.c_cc[VTIME] = 0;
  tcsetattr(STDIN_FILENO, TCSANOW, &raw);
  char c;
  ssize_t got = read(STDIN_FILENO, &c, 1);
  (void)got;
  tcsetattr(STDIN_FILENO, TCSANOW, &saved);
}

// Every pass reads the drawing from its first line. The drawing stays in memory
// after the first pass, so going back is cheap; a stream that cannot go back is
// opened again by its name.
static bool reopenDrawing() {
  if (DxfRewindDrawing() || DxfOpenDrawing(in_filename)) return true;
  KxPrint("open error\n");
  return false;
}

static int runConversion() {
  SetDevSyntax(gDevTarget);

  int status = getAcadVersion();
  if (!reopenDrawing()) return kStatusNoDrawing;

  KxPrint("\n --Details--\n");
  status = getLayers();
  if (!reopenDrawing()) return kStatusNoDrawing;

  ClearElements();
  if (ConvertDrawingElements() >= 1) {
    if (gNcWriteFailed) status = kStatusNoProgram;
    if (gBulkOut) SaveStructs("_elemblk.txt", "nach ProbeNwdOut()");
  }
  SaveStatistic();
  return status;
}

int KorvexConsoleMain(int argc, char** argv) {
  int status = kStatusOk;
  KxPrint("\n KORVEX  V%s ", gVersInf);
  if (argc < 2) {
    KxPrint("\n Bitte so anwenden:\n KORVEX INFILE.DXF \n\n");
    status = kStatusUsage;
  }
  ParseOptions(argc, argv);

  if (status == kStatusOk) {
    KxPrint("\n  INFILE: <%s> ", in_filename);
    if (!strstr(in_filename, ".dxf") && !strstr(in_filename, ".DXF")) {
      KxPrint(" no dxf-file \n");
      status = kStatusNoDxfArgument;
    } else {
      if (!DxfOpenDrawing(in_filename)) {
        status = kStatusNoDrawing;
        KxPrint("open error\n");
      }
    }
  }
  if (status != kStatusOk) {
    KxPrint("\n ...press any key\n");
    KxWaitKey();
  }

  if (status == kStatusOk) {
    SetGlobals(argc > 0 && argv[0] ? argv[0] : "");
    if (log_stream) fclose(log_stream);
    KxPrint("\n LOGFILE: <%s> ", log_filename);
    log_stream = fopen(log_filename, "w");
    if (!log_stream) {
      status = kStatusNoLog;
      KxPrint("open error");
    }
  }

  if (status == kStatusOk) status = runConversion();

  if (log_stream) {
    fprintf(log_stream, "\n\n Ref X:%.3f Y:%.3f ", ktechno.PltX, ktechno.PltY);
    fprintf(log_stream, " Kon X:%.3f Y:%.3f \n", ktechno.KonX, ktechno.KonY);
    fprintf(log_stream, "\n");
    fflush(log_stream);
    fclose(log_stream);
    log_stream = nullptr;
  } else {
    KxPrint(" no LOG_STREAM\n");
  }
  if (i_stream) {
    DxfCloseDrawing();
  } else {
    KxPrint(" no IN_STREAM\n");
  }
  KxFlushConsole();
  return status;
}
