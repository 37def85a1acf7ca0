// The console program: the command line, the opening of drawing and log, the
// core's conversion run, and the lines that close the log and end every run.
// Its result is the program's exit status.
#include "run.h"

#include <cerrno>
#include <memory>
#include <cstring>
#include <string>
#include <termios.h>
#include <unistd.h>

#include "config/config.h"
#include "dxf/dxf.h"
#include "geometry/base.h"
#include "report/report.h"
#include "kxrun.h"

int ParseOptions(KxRun& run, int argc, char** argv) {
  KxPrint(run, "\n");
  for (int i = 0; i < argc; ++i) {
    const char* a = argv[i] ? argv[i] : "";
    KxPrint(run, " argv[%d]: %s \n", i, a);
    if (strcmp(a, "-bulk") == 0) {
      run.cfg.gBulkOut = 1;
      KxPrint(run, " %d found: -bulk \n", i);
    }
    // Classified by their ending only: a folder named "old.logs" or "v2.initial"
    // must not turn a drawing's path into the log or the settings name.
    if (KxEndsWith(a, ".dxf") || KxEndsWith(a, ".DXF")) run.in_filename = a;
    if (KxEndsWith(a, ".ini") || KxEndsWith(a, ".INI")) {
      const char* name = a;
      if (const char* s = strrchr(a, '/')) name = s + 1;
      else if (const char* b = strrchr(a, '\\')) name = b + 1;
      run.cfg.ini_filename = name;
      run.cfg.gIniNameGiven = 1;
    }
    if (KxEndsWith(a, ".log") || KxEndsWith(a, ".LOG")) {
      run.cfg.log_filename = a;
      run.cfg.gLogNameGiven = 1;
    }
  }
  return 0;
}

void KxWaitKey(KxRun& run) {
  // Only a person at a terminal is asked; a script, a pipe or CI must never hang.
  if (!isatty(STDIN_FILENO)) return;
  KxFlushConsole(run);
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

static void printHelp(KxRun& run) {
  KxPrint(run, "Usage: korvex [-bulk] DRAWING.dxf [SETTINGS.ini] [LOGFILE.log]\n"
          "Converts a 2-D ASCII DXF drawing into an NC program for a wire EDM machine.\n\n"
          "  DRAWING.dxf   the drawing (the argument ending in .dxf or .DXF)\n"
          "  SETTINGS.ini  settings file, looked up in the program folder and its devices/\n"
          "                folder (default korvex.ini)\n"
          "  LOGFILE.log   write the log there instead of _outlog.txt in the program folder\n"
          "  -bulk         also dump the element table into _elemblk.txt\n"
          "  -h, --help    show this text;  --version  show the version\n"
          "  --check PROGRAM [DRAWING]  follow an NC program as the machine does and report\n"
          "                its faults (against the drawing when given); writes _check.htm\n\n"
          "The program folder (where the korvex binary really lies) holds korvex.ini and\n"
          "devices/; the NC program, the log _outlog.txt and the statistics page\n"
          "_results.htm are written there (or, with DataName '*infile*', the NC program\n"
          "beside the drawing).\n\n"
          "Exit status: 0 converted; 1 no argument; 2 drawing not readable; 3 log not\n"
          "writable; 4 NC program not written; 5 nothing to cut (no contour, or none\n"
          "with a start hole); 6 no argument names a .dxf file; 8 the check found faults.\n");
}

int KorvexConsoleMain(int argc, char** argv) {
  auto run = std::make_unique<KxRun>();   // large: kept off the stack
  return KorvexConsoleRun(*run, argc, argv);
}

int KorvexConsoleRun(KxRun& run, int argc, char** argv) {
  // korvex --check PROGRAM [DRAWING]: settings as a conversion reads them, then the check alone.
  if (argc >= 2 && argv[1] && strcmp(argv[1], "--check") == 0) {
    if (argc < 3 || !argv[2]) {
      KxPrint(run, "korvex: --check needs the NC program to check - korvex --help shows the usage\n");
      KxFlushConsole(run);
      return kxSTATUS_USAGE;
    }
    KxTraceQuiet(run, true);
    SetGlobals(run, argv[0] ? argv[0] : "");
    KxTraceQuiet(run, false);
    const int status = KxCheckProgram(run, argv[2], argc > 3 && argv[3] ? argv[3] : "");
    KxFlushConsole(run);
    return status;
  }
  std::string failure;   // why a run that never reached the conversion ended; printed as its last line
  for (int i = 1; i < argc; ++i) {
    if (!argv[i]) continue;
    if (strcmp(argv[i], "--help") == 0 || strcmp(argv[i], "-h") == 0) {
      printHelp(run);
      KxFlushConsole(run);
      return kxSTATUS_OK;
    }
    if (strcmp(argv[i], "--version") == 0) {
      KxPrint(run, "%s %s\n", gAPPNAME, gVersInf);
      KxFlushConsole(run);
      return kxSTATUS_OK;
    }
  }
  int status = kxSTATUS_OK;
  KxPrint(run, "\n KORVEX  V%s ", gVersInf);
  if (argc < 2) {
    KxPrint(run, "\n Bitte so anwenden:\n KORVEX INFILE.DXF \n\n");
    status = kxSTATUS_USAGE;
  }
  ParseOptions(run, argc, argv);

  if (status == kxSTATUS_OK) {
    const char* drawing = run.in_filename.c_str();
    KxPrint(run, "\n  INFILE: <%s> ", drawing);
    if (!KxEndsWith(drawing, ".dxf") && !KxEndsWith(drawing, ".DXF")) {
      KxPrint(run, " no dxf-file \n");
      status = kxSTATUS_NO_DXF;
    } else {
      if (!DxfOpenDrawing(run, drawing)) {
        const int err = errno;
        status = kxSTATUS_NO_DRAWING;
        KxPrint(run, "open error\n");
        if (const char* why = DxfOpenRefusal(run))
          failure = "the drawing '" + run.in_filename + "' " + why + " - not read";
        else
          failure = "cannot read the drawing '" + run.in_filename + "' (" + strerror(err) + ")";
      }
    }
  }
  if (status == kxSTATUS_USAGE) failure = "no drawing given - korvex --help shows the usage";
  if (status == kxSTATUS_NO_DXF) failure = "no argument ends in .dxf or .DXF - nothing converted";
  if (status != kxSTATUS_OK) {
    KxPrint(run, "\n ...press any key\n");
    KxWaitKey(run);
  }

  if (status == kxSTATUS_OK) {
    SetGlobals(run, argc > 0 && argv[0] ? argv[0] : "");
    if (ConfigRefusal(run.cfg)[0]) {
      status = kxSTATUS_BAD_CONFIG;
      failure = std::string(ConfigRefusal(run.cfg)) + " - nothing converted";
    }
  }
  if (status == kxSTATUS_OK) {
    if (run.log_stream) fclose(run.log_stream);
    KxPrint(run, "\n LOGFILE: <%s> ", run.cfg.log_filename.c_str());
    // Never over the drawing (whatever names lead to it), never through a link at its name.
    if (KxIsDrawing(run, run.cfg.log_filename.c_str())) {
      status = kxSTATUS_NO_LOG;
      failure = "the log '" + run.cfg.log_filename + "' is the drawing itself - not opened, the drawing is left as it is";
    } else {
      run.log_stream = KxOpenLog(run.cfg.log_filename.c_str(), &failure);
      if (!run.log_stream) {
        status = kxSTATUS_NO_LOG;
        KxPrint(run, "open error");
      }
    }
  }

  if (status == kxSTATUS_OK) status = KxConvertDrawing(run);

  if (run.log_stream) {
    fprintf(run.log_stream, "\n\n Ref X:%.3f Y:%.3f ", run.cfg.ktechno.PltX, run.cfg.ktechno.PltY);
    fprintf(run.log_stream, " Kon X:%.3f Y:%.3f \n", run.cfg.ktechno.KonX, run.cfg.ktechno.KonY);
    fprintf(run.log_stream, "\n");
    fflush(run.log_stream);
    fclose(run.log_stream);
    run.log_stream = nullptr;
  } else {
    KxPrint(run, " no LOG_STREAM\n");
  }
  if (run.i_stream) {
    DxfCloseDrawing(run);
  } else {
    KxPrint(run, " no IN_STREAM\n");
  }
  if (!failure.empty()) KxPrint(run, "\nkorvex: %s\n", failure.c_str());
  KxFlushConsole(run);
  return status;
}
