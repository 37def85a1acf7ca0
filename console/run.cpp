// The console program: the command line, the opening of drawing and log, the
// core's conversion run, and the lines that close the log and end every run.
// Its result is the program's exit status.
#include "run.h"

#include <algorithm>
#include <cerrno>
#include <getopt.h>
#include <mutex>
#include <vector>
#include <memory>
#include <cstring>
#include <string>
#include <termios.h>
#include <thread>
#include <unistd.h>

#include "config/config.h"
#include "dxf/dxf.h"
#include "geometry/base.h"
#include "report/report.h"
#include "run/run.h"

// The command line: GNU-style options (parsed by getopt_long), and the positional
// arguments classified by their ending as they always were.
struct CommandLine {
  bool help = false, version = false, quiet = false;
  KxJob job;                           // the drawing and the options of the conversion
  bool batch = false;                  // --batch: every positional argument is a drawing
  int threads = 0;                     // -j: conversions at once in a batch; 0 when not given
  std::string unknown;                 // the first option korvex does not know (or that lacks its value)
  std::string check;                   // --check: the NC program to check instead of a conversion
  bool checking = false;
  std::vector<std::string> positional;
};

// getopt keeps its place in globals of the C library: one parse at a time, even
// when conversions run side by side.
static std::mutex gGetoptLock;

static const option kLongOptions[] = {
    {"layer", required_argument, nullptr, 'l'}, {"output", required_argument, nullptr, 'o'},
    {"config", required_argument, nullptr, 'c'}, {"auto-start-holes", no_argument, nullptr, 'a'},
    {"quiet", no_argument, nullptr, 'q'},      {"help", no_argument, nullptr, 'h'},
    {"version", no_argument, nullptr, 'V'},    {"check", required_argument, nullptr, 'K'},
    {"units", required_argument, nullptr, 'U'},   {"batch", no_argument, nullptr, 'b'},
    {"jobs", required_argument, nullptr, 'j'},
    {nullptr, 0, nullptr, 0}};

static void takeSettingsName(KxJob& job, const char* a) {
  // A name with folders is that very file; a bare name is looked up where settings
  // live. Of a Windows path (c:\jobs\my.ini) only the name counts, as it always did.
  if (!strchr(a, '/'))
    if (const char* b = strrchr(a, '\\')) a = b + 1;
  job.settingsFile = a;
}

// -j N: a whole number of conversions at once within the batch's bounds; 0 when it is none.
static int threadCount(const char* text) {
  char* end = nullptr;
  errno = 0;
  const long n = strtol(text, &end, 10);
  if (errno || end == text || *end || n < 1 || n > kMaxBatchThreads) return 0;
  return (int)n;
}

static CommandLine readCommandLine(int argc, char** argv) {
  CommandLine cmd;
  // "-bulk" is older than the options and spelt with one dash; getopt would read it as -b -u -l k.
  std::vector<char*> args;
  for (int i = 0; i < argc; ++i)
    if (i == 0 || !argv[i] || strcmp(argv[i], "-bulk") != 0) args.push_back(argv[i] ? argv[i] : const_cast<char*>(""));
    else cmd.job.bulk = true;
  args.push_back(nullptr);
  std::lock_guard<std::mutex> hold(gGetoptLock);
  optind = 0;   // glibc: start a fresh scan
  opterr = 0;
  int c;
  while ((c = getopt_long((int)args.size() - 1, args.data(), ":l:o:c:aqhVbj:", kLongOptions, nullptr)) != -1) {
    switch (c) {
      case 'l': cmd.job.layer = optarg; break;
      case 'o': cmd.job.output = optarg; break;
      case 'c': takeSettingsName(cmd.job, optarg); break;
      case 'a': cmd.job.autoStartHoles = true; break;
      case 'b': cmd.batch = true; break;
      case 'j':
        cmd.threads = threadCount(optarg);
        if (!cmd.threads && cmd.unknown.empty())
          cmd.unknown = std::string("-j '") + optarg + "' is no number of conversions at once (1.." + std::to_string(kMaxBatchThreads) + ")";
        break;
      case 'U': {
        const KxUnit* unit;
        if (ConfigUnits(optarg, &unit)) cmd.job.units = optarg;
        else if (cmd.unknown.empty()) cmd.unknown = std::string("--units '") + optarg + "' is no unit (" + KxUnitKeys() + ")";
        break;
      }
      case 'q': cmd.job.quiet = cmd.quiet = true; break;
      case 'h': cmd.help = true; break;
      case 'V': cmd.version = true; break;
      case 'K':
        cmd.checking = true;
        cmd.check = optarg;
        break;
      default:
        if (cmd.unknown.empty()) {
          const char* opt = args[optind - 1] ? args[optind - 1] : "";
          // getopt leaves optopt 0 for a long option it does not know.
          if (c == ':') cmd.unknown = std::string("option '") + opt + "' needs a value";
          else if (optopt) cmd.unknown = std::string("unknown option '-") + (char)optopt + "'";
          else cmd.unknown = std::string("unknown option '") + opt + "'";
        }
    }
  }
  for (int i = optind; i < (int)args.size() - 1; ++i) cmd.positional.push_back(args[i]);
  if (cmd.threads && !cmd.batch && cmd.unknown.empty()) cmd.unknown = "-j goes with --batch only";
  cmd.job.program = argc > 0 && argv[0] ? argv[0] : "";
  return cmd;
}

int ParseOptions(KxRun& run, int argc, char** argv) {
  KxPrint(run, "\n");
  for (int i = 0; i < argc; ++i) {
    const char* a = argv[i] ? argv[i] : "";
    KxPrint(run, " argv[%d]: %s \n", i, a);
    if (strcmp(a, "-bulk") == 0) {
      run.cfg.bulkDump = 1;
      KxPrint(run, " %d found: -bulk \n", i);
    }
  }
  return 0;
}

// The positional arguments, classified by their ending only: a folder named
// "old.logs" or "v2.initial" must not turn a drawing's path into the log or the
// settings name. Of each kind the last one counts.
static void takePositional(KxJob& job, const std::vector<std::string>& positional) {
  for (const std::string& arg : positional) {
    const char* a = arg.c_str();
    if (KxEndsWith(a, ".dxf") || KxEndsWith(a, ".DXF")) job.drawing = a;
    if (KxEndsWith(a, ".ini") || KxEndsWith(a, ".INI")) takeSettingsName(job, a);
    if (KxEndsWith(a, ".log") || KxEndsWith(a, ".LOG")) job.log = a;
  }
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

static const char kUsage[] =
    "Usage: korvex [OPTION]... DRAWING.dxf [SETTINGS.ini] [LOGFILE.log]\n";

static void printHelp(KxRun& run, bool full, const char* program = "") {
  KxSay(run, "%s", kUsage);
  if (!full) {
    KxSay(run, "Try 'korvex --help' for more information.\n");
    return;
  }
  KxSay(run, "   or: korvex --batch [-j N] [OPTION]... DRAWING...\n"
        "Converts a 2-D ASCII DXF drawing into an NC program for a wire EDM machine.\n\n"
        "  -l, --layer NAME         cut the contours of layer NAME (instead of LayerName)\n"
        "  -o, --output DIR         write the NC program, log and page into DIR\n"
        "  -c, --config FILE        read the settings from FILE (same as a SETTINGS.ini argument)\n"
        "  -a, --auto-start-holes   place a start hole where a contour has none\n"
        "                           (same as AutoStartHoles: 1)\n"
        "      --units UNIT         read the drawing in UNIT (auto, mm, cm, m, inch,\n"
        "                           feet, ...) whatever it declares (same as\n"
        "                           DrawingUnits: UNIT); auto: as its header says\n"
        "  -q, --quiet              print only warnings, errors and the summary line\n"
        "                           (the log keeps everything)\n"
        "  -bulk                    also dump the element table into _elemblk.txt\n"
        "  -b, --batch              convert every DRAWING named, several side by side;\n"
        "                           each one's outputs are named after it (plate.dxf:\n"
        "                           program plate, plate_outlog.txt, plate_results.htm)\n"
        "                           in the --output folder (default: the current one),\n"
        "                           one line each here, all in the job sheet _jobs.htm;\n"
        "                           the exit status is the highest of the drawings'\n"
        "  -j, --jobs N             with --batch: N conversions at once (1..64; default:\n"
        "                           the processor cores)\n"
        "      --check PROGRAM [DRAWING]\n"
        "                           follow an NC program as the machine does and report\n"
        "                           its faults (against the drawing when given); writes\n"
        "                           _check.htm\n"
        "  -h, --help               show this text\n"
        "  -V, --version            show the version\n\n"
        "  DRAWING.dxf   the drawing (the argument ending in .dxf or .DXF)\n"
        "  SETTINGS.ini  the settings file: a path with folders is that file; a bare name\n"
        "                is looked up where the settings live (see below)\n"
        "  LOGFILE.log   write the log there instead of _outlog.txt\n\n");
  // Where this very program would read and write, found as a conversion finds it.
  SetGlobals(run, program);
  const KxSettings& cfg = run.cfg;
  if (cfg.installed) {
    KxSay(run, "Installed: the settings file is the first found of\n"
          "  the FILE given, when it has folders\n");
    if (!KxUserConfigFolder().empty()) KxSay(run, "  %s%s\n", KxUserConfigFolder().c_str(), cfg.ini_filename.c_str());
    KxSay(run, "  /etc/korvex/%s\n  %s%s\n"
          "Device syntax and technology files: devices/ beside it, then %sdevices/.\n"
          "The NC program, the log _outlog.txt and the statistics page _results.htm go\n"
          "into the current folder (or the --output folder).\n",
          cfg.ini_filename.c_str(), cfg.shareDir.c_str(), cfg.ini_filename.c_str(), cfg.shareDir.c_str());
  } else {
    KxSay(run, "Program folder %s: it holds the settings file and devices/ and\n"
          "receives the NC program, the log _outlog.txt and the statistics page\n"
          "_results.htm (or the --output folder does; with DataName '*infile*' the NC\n"
          "program goes beside the drawing).\n", cfg.homepath.c_str());
  }
  KxSay(run, "Settings file now: %s\nDevice syntax file now: %s\n\n",
        cfg.settingsPath.empty() ? "none found (built-in defaults)" : cfg.settingsPath.c_str(),
        DeviceFilePath(run.cfg, cfg.devTarget.c_str(), "devices/").c_str());
  KxSay(run, "Exit status: 0 converted; 1 no argument; 2 drawing not readable; 3 log not\n"
        "writable; 4 NC program not written; 5 nothing to cut (no contour, or none\n"
        "with a start hole); 6 no argument names a .dxf file, or an unknown option;\n"
        "7 a settings, device syntax or technology file could not be used; 8 the check\n"
        "found faults.\n");
}

// korvex --check PROGRAM [DRAWING]: the settings as a conversion reads them (options
// included), then the check alone. The drawing is the argument ending in .dxf, else the first.
static int checkProgram(KxRun& run, const char* program, CommandLine& cmd) {
  takePositional(cmd.job, cmd.positional);
  KxTakeJob(run, cmd.job);
  std::string drawing = run.io.in_filename;
  if (!KxEndsWith(drawing.c_str(), ".dxf") && !KxEndsWith(drawing.c_str(), ".DXF"))
    drawing = cmd.positional.empty() ? "" : cmd.positional[0];
  const bool quiet = run.io.quiet;
  run.io.quiet = true;
  SetGlobals(run, program);
  run.io.quiet = quiet;
  const int status = KxCheckProgram(run, cmd.check, drawing);
  KxFlushConsole(run);
  return status;
}

int KorvexConsoleMain(int argc, char** argv) {
  auto run = std::make_unique<KxRun>();   // large: kept off the stack
  return KorvexConsoleRun(*run, argc, argv);
}

// korvex --batch DRAWING...: every drawing on a run of its own, a few at once; one
// line each in input order, the job sheet, and the worst of their statuses.
static int convertBatch(KxRun& run, CommandLine& cmd) {
  std::vector<std::string> drawings;
  for (const std::string& arg : cmd.positional) {
    if (KxEndsWith(arg.c_str(), ".ini") || KxEndsWith(arg.c_str(), ".INI")) takeSettingsName(cmd.job, arg.c_str());
    else drawings.push_back(arg);
  }
  if (drawings.empty()) {
    KxSay(run, "korvex: --batch names no drawing - korvex --help shows the usage\n");
    KxFlushConsole(run);
    return kxSTATUS_USAGE;
  }
  const unsigned cores = std::thread::hardware_concurrency();
  const int threads = cmd.threads ? cmd.threads : (int)std::clamp(cores, 1u, (unsigned)kMaxBatchThreads);
  const std::vector<KxResult> results = KxConvertBatch(cmd.job, drawings, threads, [&run](const KxResult& r) {
    KxSay(run, "%s\n", KxResultLine(r).c_str());
    KxFlushConsole(run);
  });
  const std::string folder = cmd.job.output.empty() ? "" : (cmd.job.output.back() == '/' ? cmd.job.output : cmd.job.output + "/");
  const std::string sheet = folder + "_jobs.htm";
  std::string why;
  const int worst = KxWorstStatus(results);
  int converted = 0;
  for (const KxResult& r : results) converted += r.status == kxSTATUS_OK;
  if (KxWriteJobSheet(sheet, results, &why))
    KxSay(run, "korvex: %d of %zu drawing%s converted, status %d; job sheet %s\n", converted, results.size(),
          results.size() == 1 ? "" : "s", worst, sheet.c_str());
  else KxSay(run, "korvex: %d of %zu drawing%s converted, status %d; job sheet %s not written (%s)\n", converted,
             results.size(), results.size() == 1 ? "" : "s", worst, sheet.c_str(), why.c_str());
  KxFlushConsole(run);
  return worst;
}

int KorvexConsoleRun(KxRun& run, int argc, char** argv) {
  const char* program = argc > 0 && argv[0] ? argv[0] : "";
  CommandLine cmd = readCommandLine(argc, argv);
  KxTakeJob(run, cmd.job);
  if (!cmd.unknown.empty()) {
    KxSay(run, "korvex: %s\n", cmd.unknown.c_str());
    printHelp(run, false);
    KxFlushConsole(run);
    return kxSTATUS_NO_DXF;
  }
  if (cmd.help) {
    run.io.quiet = true;   // the help alone, without the settings' trace
    printHelp(run, true, program);
    KxFlushConsole(run);
    return kxSTATUS_OK;
  }
  if (cmd.version) {
    KxSay(run, "%s %s\n", gAPPNAME, KxVersionText(run.cfg.flavour));
    KxFlushConsole(run);
    return kxSTATUS_OK;
  }
  if (run.cfg.layerGiven.size() >= sizeof run.cfg.edmLayer) {
    KxSay(run, "korvex: the layer name '%s' is longer than %zu characters - nothing converted\n", run.cfg.layerGiven.c_str(),
          sizeof run.cfg.edmLayer - 1);
    KxFlushConsole(run);
    return kxSTATUS_NO_DXF;
  }
  if (cmd.checking) return checkProgram(run, program, cmd);
  if (cmd.batch) return convertBatch(run, cmd);
  KxPrint(run, "\n KORVEX  V%s ", KxVersionText(run.cfg.flavour));
  if (argc < 2) KxPrint(run, "\n Bitte so anwenden:\n KORVEX INFILE.DXF \n\n");
  ParseOptions(run, argc, argv);
  takePositional(cmd.job, cmd.positional);
  // Arguments that name no drawing: the run's placeholder name is shown and refused as no DXF file.
  if (argc >= 2 && cmd.job.drawing.empty()) cmd.job.drawing = run.io.in_filename;
  if (argc < 2) cmd.job.drawing.clear();
  cmd.job.pause = KxWaitKey;
  return KxConvert(run, cmd.job).status;
}
