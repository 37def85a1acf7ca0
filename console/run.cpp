// The console program: the command line, the opening of drawing and log, the
// core's conversion run, and the lines that close the log and end every run.
// Its result is the program's exit status.
#include "run.h"

#include <cerrno>
#include <cstring>
#include <termios.h>
#include <unistd.h>

#include "config/config.h"
#include "dxf/dxf.h"
#include "geometry/base.h"
#include "report/report.h"

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
    // Classified by their ending only: a folder named "old.logs" or "v2.initial"
    // must not turn a drawing's path into the log or the settings name.
    if (KxEndsWith(a, ".dxf") || KxEndsWith(a, ".DXF")) storeArgument(in_filename, sizeof in_filename, a, "drawing name");
    if (KxEndsWith(a, ".ini") || KxEndsWith(a, ".INI")) {
      const char* name = a;
      if (const char* s = strrchr(a, '/')) name = s + 1;
      else if (const char* b = strrchr(a, '\\')) name = b + 1;
      if (storeArgument(ini_filename, sizeof ini_filename, name, "settings name")) gIniNameGiven = 1;
    }
    if (KxEndsWith(a, ".log") || KxEndsWith(a, ".LOG")) {
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

static void printHelp() {
  KxPrint("Usage: korvex [-bulk] DRAWING.dxf [SETTINGS.ini] [LOGFILE.log]\n"
          "Converts a 2-D ASCII DXF drawing into an NC program for a wire EDM machine.\n\n"
          "  DRAWING.dxf   the drawing (the argument ending in .dxf or .DXF)\n"
          "  SETTINGS.ini  settings file, looked up in the program folder and its devices/\n"
          "                folder (default korvex.ini)\n"
          "  LOGFILE.log   write the log there instead of _outlog.txt in the program folder\n"
          "  -bulk         also dump the element table into _elemblk.txt\n"
          "  -h, --help    show this text;  --version  show the version\n\n"
          "The program folder (where the korvex binary really lies) holds korvex.ini and\n"
          "devices/; the NC program, the log _outlog.txt and the statistics page\n"
          "_results.htm are written there (or, with DataName '*infile*', the NC program\n"
          "beside the drawing).\n\n"
          "Exit status: 0 converted; 1 no argument; 2 drawing not readable; 3 log not\n"
          "writable; 4 NC program not written; 5 nothing to cut (no contour, or none\n"
          "with a start hole); 6 no argument names a .dxf file.\n");
}

// Why a run that never reached the conversion ended; printed as its last line.
static char failure[400];

int KorvexConsoleMain(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    if (!argv[i]) continue;
    if (strcmp(argv[i], "--help") == 0 || strcmp(argv[i], "-h") == 0) {
      printHelp();
      KxFlushConsole();
      return kxSTATUS_OK;
    }
    if (strcmp(argv[i], "--version") == 0) {
      KxPrint("%s %s\n", gAPPNAME, gVersInf);
      KxFlushConsole();
      return kxSTATUS_OK;
    }
  }
  int status = kxSTATUS_OK;
  failure[0] = '\0';
  KxPrint("\n KORVEX  V%s ", gVersInf);
  if (argc < 2) {
    KxPrint("\n Bitte so anwenden:\n KORVEX INFILE.DXF \n\n");
    status = kxSTATUS_USAGE;
  }
  ParseOptions(argc, argv);

  if (status == kxSTATUS_OK) {
    KxPrint("\n  INFILE: <%s> ", in_filename);
    if (!KxEndsWith(in_filename, ".dxf") && !KxEndsWith(in_filename, ".DXF")) {
      KxPrint(" no dxf-file \n");
      status = kxSTATUS_NO_DXF;
    } else {
      if (!DxfOpenDrawing(in_filename)) {
        const int err = errno;
        status = kxSTATUS_NO_DRAWING;
        KxPrint("open error\n");
        if (const char* why = DxfOpenRefusal())
          snprintf(failure, sizeof failure, "the drawing '%s' %s - not read", in_filename, why);
        else
          snprintf(failure, sizeof failure, "cannot read the drawing '%s' (%s)", in_filename, strerror(err));
      }
    }
  }
  if (status == kxSTATUS_USAGE) snprintf(failure, sizeof failure, "no drawing given - korvex --help shows the usage");
  if (status == kxSTATUS_NO_DXF) snprintf(failure, sizeof failure, "no argument ends in .dxf or .DXF - nothing converted");
  if (status != kxSTATUS_OK) {
    KxPrint("\n ...press any key\n");
    KxWaitKey();
  }

  if (status == kxSTATUS_OK) {
    SetGlobals(argc > 0 && argv[0] ? argv[0] : "");
    if (ConfigRefusal()[0]) {
      status = kxSTATUS_BAD_CONFIG;
      snprintf(failure, sizeof failure, "%s - nothing converted", ConfigRefusal());
    }
  }
  if (status == kxSTATUS_OK) {
    if (log_stream) fclose(log_stream);
    KxPrint("\n LOGFILE: <%s> ", log_filename);
    // Never over the drawing (whatever names lead to it), never through a link at its name.
    if (KxIsDrawing(log_filename)) {
      status = kxSTATUS_NO_LOG;
      snprintf(failure, sizeof failure, "the log '%s' is the drawing itself - not opened, the drawing is left as it is",
               log_filename);
    } else {
      log_stream = KxOpenLog(log_filename, failure, sizeof failure);
      if (!log_stream) {
        status = kxSTATUS_NO_LOG;
        KxPrint("open error");
      }
    }
  }

  if (status == kxSTATUS_OK) status = KxConvertDrawing();

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
  if (failure[0]) KxPrint("\nkorvex: %s\n", failure);
  KxFlushConsole();
  return status;
}
