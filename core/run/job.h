// The top layer of the core: one conversion as a job that goes in and a result
// that comes out, the run shell around it (drawing, settings, log, streams) that
// the console and the desktop share, the words for a result, and the batch that
// converts many drawings side by side and lists them on a job sheet.
#pragma once

#include <functional>
#include <string>
#include <vector>

struct KxRun;   // the state of one conversion (kxrun.h)

// What one conversion is asked to do; empty texts leave the settings' value.
struct KxJob {
  std::string drawing;         // the drawing's path; "" when none was given (usage)
  std::string program;         // the program's argv[0]: where its settings are found
  bool readSettings = true;    // read the settings for the run (console); false: the run's own are used (desktop)
  std::string settingsFile;    // the settings file: a path with folders, or a bare name looked up
  std::string layer;           // the layer to cut instead of LayerName
  std::string output;          // the folder for NC program, log and page
  std::string units;           // the units the drawing is read in (DrawingUnits)
  std::string log;             // the log's path instead of _outlog.txt
  std::string programName;     // the NC program's name instead of DataName (batch: the drawing's)
  std::string namePrefix;      // put before the page, check page and dump names (batch: the drawing's)
  bool autoStartHoles = false; // place a start hole where a contour has none
  bool bulk = false;           // also dump the element table
  bool quiet = false;          // only warnings, errors and the summary reach the console
  bool openFiles = true;       // hand page and program to the desktop's opener as the settings say
  std::function<void(const std::string&)> opener;   // receives the open requests instead of the desktop opener when set
  std::function<void(KxRun&)> pause;   // console: waits for a key after a failure that ends the run early
};

// A start hole korvex placed, to be drilled before the wire is threaded.
struct KxDrillRow {
  std::string contour;   // the contour's name
  double x, y, diameter;
};

// What one conversion found and wrote.
struct KxResult {
  int status = -1;             // a kxSTATUS_ value
  std::string drawing;         // the drawing's path as given
  std::string failure;         // why the run ended before the conversion; "" when it got there
  std::string refusal;         // the settings, device or technology file that could not be used, and why
  int contours = 0, holes = 0, missing = 0, open = 0;   // contours, of them holes, without start hole, open
  int toDrill = 0;             // start holes korvex placed
  std::vector<KxDrillRow> drill;   // where they are
  bool programWritten = false; // the NC program was written (and is this run's)
  bool programOntoDrawing = false;  // it was not written: it would have been the drawing itself
  int programErrno = 0;        // errno of the failed write, 0 when none
  std::string program;         // the NC program's path
  std::string log, page;       // the log's and the statistics page's paths
  std::string machineTime;     // "about 5 h 38 min"; "" when none could be computed
  double minutes = -1;         // the same in minutes, -1 when none
  std::string units, unitsWarning;   // the units read in and a doubt about them; "" for millimetres
};

KxResult KxConvert(KxRun& run, const KxJob& job);   // the whole run shell over a new run: drawing, settings, log, conversion, closing; the run keeps what it found
void KxTakeJob(KxRun& run, const KxJob& job);       // puts the job's drawing and options into the run's settings (before they are read)
KxResult KxResultOf(KxRun& run, int status);        // what a finished run found

// --- the words for a result (words.cpp) ---
std::string KxResultWords(const KxResult& r);     // the desktop's result text: counts, time, units, start holes to drill, program, status in words
bool KxResultSerious(const KxResult& r);          // the result is worth a message box: the drawing, program or a device file could not be used
std::string KxResultLine(const KxResult& r);      // one line for the batch: drawing, status, counts, time, program or why not
const char* KxStatusName(int status);             // a status in a few words ("converted", "nothing to cut", ...)

// --- many drawings side by side (batch.cpp) ---
inline constexpr int kMaxBatchThreads = 64;   // -j: at most this many conversions at once
int KxWorstStatus(const std::vector<KxResult>& results);   // the batch's status: the highest of its drawings', 0 when all converted
std::vector<KxResult> KxConvertBatch(const KxJob& base, const std::vector<std::string>& drawings, int threads,
                                     const std::function<void(const KxResult&)>& done);   // converts each drawing on its own run, threads at once; done is called in input order
std::string KxBatchStem(const std::vector<std::string>& drawings, size_t i);   // drawing i's name without folder and .dxf, numbered when an earlier one has it
bool KxWriteJobSheet(const std::string& path, const std::vector<KxResult>& results, std::string* why);   // the job sheet _jobs.htm: one row per drawing
