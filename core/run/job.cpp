// The run shell of one conversion, shared by the console and the desktop: the
// job's options into the run, the drawing opened, the settings read, the log
// opened (never over the drawing), the conversion, the streams closed, and what
// the run found gathered into its result.

#include <cerrno>
#include <cstring>
#include <sys/stat.h>

#include "config/config.h"
#include "dxf/dxf.h"
#include "elements/elements.h"
#include "geometry/base.h"
#include "nc/nc.h"
#include "report/report.h"
#include "run/run.h"

void KxTakeJob(KxRun& run, const KxJob& job) {
  KxSettings& cfg = run.cfg;
  if (!job.drawing.empty()) run.io.in_filename = job.drawing;
  if (!job.layer.empty()) cfg.layerGiven = job.layer;
  if (!job.output.empty()) cfg.outputGiven = job.output;
  if (!job.settingsFile.empty()) {
    cfg.ini_filename = job.settingsFile;
    cfg.iniNameGiven = 1;
  }
  if (job.autoStartHoles) cfg.autoGiven = true;
  if (!job.units.empty()) cfg.unitsGiven = job.units;
  if (!job.log.empty()) {
    cfg.log_filename = job.log;
    cfg.logNameGiven = 1;
  }
  if (job.bulk) cfg.bulkDump = 1;
  run.io.quiet = job.quiet;
  run.io.namePrefix = job.namePrefix;
  if (job.opener) {
    auto opener = job.opener;
    run.report.openHook = [opener](const char* path) { opener(path); };
  } else if (!job.openFiles) {
    run.report.openHook = [](const char*) {};
  }
}

// The console's shell: the drawing is opened before the settings are read, a run
// that cannot start says why in its last line, and the log ends with the reference points.
// Steps: open the drawing; wait for a key after an early failure; read the settings;
// open the log; convert; close log and drawing; the failure line.
static int consoleShell(KxRun& run, const KxJob& job, std::string* failure) {
  int status = job.drawing.empty() ? kxSTATUS_USAGE : kxSTATUS_OK;
  if (status == kxSTATUS_OK) {
    const char* drawing = run.io.in_filename.c_str();
    KxPrint(run, "\n  INFILE: <%s> ", drawing);
    if (!KxEndsWith(drawing, ".dxf") && !KxEndsWith(drawing, ".DXF")) {
      KxPrint(run, " no dxf-file \n");
      status = kxSTATUS_NO_DXF;
    } else if (!DxfOpenDrawing(run, drawing)) {
      const int err = errno;
      status = kxSTATUS_NO_DRAWING;
      KxPrint(run, "open error\n");
      if (const char* why = DxfOpenRefusal(run))
        *failure = "the drawing '" + run.io.in_filename + "' " + why + " - not read";
      else
        *failure = "cannot read the drawing '" + run.io.in_filename + "' (" + strerror(err) + ")";
    }
  }
  if (status == kxSTATUS_USAGE) *failure = "no drawing given - korvex --help shows the usage";
  if (status == kxSTATUS_NO_DXF) *failure = "no argument ends in .dxf or .DXF - nothing converted";
  if (status != kxSTATUS_OK && !run.io.quiet) {
    KxPrint(run, "\n ...press any key\n");
    if (job.pause) job.pause(run);
  }

  if (status == kxSTATUS_OK && job.readSettings) {
    SetGlobals(run, job.program.c_str());
    if (ConfigRefusal(run.cfg)[0]) {
      status = kxSTATUS_BAD_CONFIG;
      *failure = std::string(ConfigRefusal(run.cfg)) + " - nothing converted";
    }
  }
  if (status == kxSTATUS_OK && !job.programName.empty()) run.cfg.data_filename = job.programName;
  if (status == kxSTATUS_OK) {
    if (run.io.log_stream) fclose(run.io.log_stream);
    KxPrint(run, "\n LOGFILE: <%s> ", run.cfg.log_filename.c_str());
    // Never over the drawing (whatever names lead to it), never through a link at its name.
    if (KxIsDrawing(run, run.cfg.log_filename.c_str())) {
      status = kxSTATUS_NO_LOG;
      *failure = "the log '" + run.cfg.log_filename + "' is the drawing itself - not opened, the drawing is left as it is";
    } else {
      run.io.log_stream = KxOpenLog(run.cfg.log_filename.c_str(), failure);
      if (!run.io.log_stream) {
        status = kxSTATUS_NO_LOG;
        KxPrint(run, "open error");
      }
    }
  }

  if (status == kxSTATUS_OK) status = KxConvertDrawing(run);

  if (run.io.log_stream) {
    fprintf(run.io.log_stream, "\n\n Ref X:%.3f Y:%.3f ", run.nc.techno.PltX, run.nc.techno.PltY);
    fprintf(run.io.log_stream, " Kon X:%.3f Y:%.3f \n", run.nc.techno.KonX, run.nc.techno.KonY);
    fprintf(run.io.log_stream, "\n");
    fflush(run.io.log_stream);
    fclose(run.io.log_stream);
    run.io.log_stream = nullptr;
  } else {
    KxPrint(run, " no LOG_STREAM\n");
  }
  if (run.io.i_stream) {
    DxfCloseDrawing(run);
  } else {
    KxPrint(run, " no IN_STREAM\n");
  }
  if (!failure->empty()) KxSay(run, "\nkorvex: %s\n", failure->c_str());
  KxFlushConsole(run);
  return status;
}

// The desktop's Make: the window read the settings; the log is opened first and
// the run goes on without one; the drawing is read anew from disk (it may have
// changed since it was chosen).
static int desktopShell(KxRun& run) {
  KxPrint(run, "\n\n:: MakeNwdFile() \n");
  const char* log = run.cfg.log_filename.c_str();
  KxPrint(run, "\n LOGFILE: <%s> ", log);
  std::string why;
  if (KxIsDrawing(run, log))
    why = "the log '" + run.cfg.log_filename + "' is the drawing itself - not opened, the drawing is left as it is";
  else run.io.log_stream = KxOpenLog(log, &why);
  if (!run.io.log_stream) KxPrint(run, "open error: %s\n", why.c_str());

  int status = kxSTATUS_NO_DRAWING;
  if (DxfOpenDrawing(run, run.io.in_filename.c_str())) status = KxConvertDrawing(run);
  else KxPrint(run, "open error\n");
  if (run.io.log_stream) {
    fprintf(run.io.log_stream, "\n\n");
    fflush(run.io.log_stream);
    fclose(run.io.log_stream);
  } else {
    KxPrint(run, " bad LOG_STREAM\n");
  }
  run.io.log_stream = nullptr;
  if (run.io.i_stream) DxfCloseDrawing(run);
  else KxPrint(run, " bad IN_STREAM\n");
  return status;
}

KxResult KxConvert(KxRun& run, const KxJob& job) {
  KxTakeJob(run, job);
  std::string failure;
  const int status = KxConsole(run) ? consoleShell(run, job, &failure) : desktopShell(run);
  KxResult r = KxResultOf(run, status);
  r.failure = failure;
  r.drawing = job.drawing;
  return r;
}

KxResult KxResultOf(KxRun& run, int status) {
  KxResult r;
  r.status = status;
  r.drawing = run.io.in_filename;
  r.refusal = ConfigRefusal(run.cfg);
  r.contours = run.contours.count;
  r.holes = run.nc.holesCounter;
  r.missing = run.nc.bigTrouble;
  r.open = run.nc.openKoCounter;
  r.toDrill = run.contours.autoStartCount;
  r.programOntoDrawing = run.nc.ncWriteFailed == kxNC_ONTO_DRAWING;
  r.programErrno = run.nc.ncWriteErrno;
  r.programWritten = status != kxSTATUS_NO_DRAWING && status != kxSTATUS_NO_PROGRAM && run.contours.count >= 1;
  r.program = run.io.dataPath;
  r.log = run.cfg.log_filename;
  r.page = KxOutputFolder(run.cfg) + run.io.namePrefix + "_results.htm";
  // How long the machine will be busy, when the program was written and its feeds are known.
  if (status != kxSTATUS_NO_PROGRAM) {
    KxMachineTime mt;
    KxComputeMachineTime(run, run.report.toolpath, &mt);
    if (mt.valid) {
      r.machineTime = KxDurationText(mt.total);
      r.minutes = mt.total;
    }
  }
  r.units = KxUnitsText(run);
  r.unitsWarning = KxUnitsWarning(run);
  r.layer = run.cfg.edmLayer;
  r.elementBound = run.table.maxElemBarrier > 0 ? run.table.eldsMaximum : 0;
  r.refused = run.dxf.refusedEntities;
  r.withoutTech = run.nc.contoursWithoutTech;
  r.nothingCut = KxNothingCut(run);
  r.checkFaults = run.report.checkFaults;
  r.checkAsked = run.cfg.checkProgram;
  r.insetTechIgnored = run.nc.insetTechIgnored;
  r.piecesUncalled = run.nc.piecesUncalled;
  // Without contour nothing is written: a program at the target is an earlier run's.
  if (r.contours < 1) {
    struct stat st;
    const std::string target = NcTargetPath(run);
    if (stat(target.c_str(), &st) == 0) r.earlierProgram = target;
  }
  r.outlines = run.contours.all;
  if (run.contours.autoStartCount > 0) {
    for (int k = 1; k <= run.contours.count; ++k) {
      const KxContour& c = run.contours.all[(size_t)k];
      if (c.holePlaced) r.drill.push_back({c.name, c.holeX, c.holeY, 2 * c.holeR});
    }
  }
  return r;
}
