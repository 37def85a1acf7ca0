// The run: the object holding everything one conversion reads and finds, the
// channel its console text and log leave through, the files it writes, the
// pipeline that takes a drawing through every step, and on top the job that goes
// in and the result that comes out, for one drawing or a batch of them. A run is
// created for one drawing and deleted after it; a second run shares nothing with it.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "config/config.h"
#include "contours/contours.h"
#include "dxf/dxf.h"
#include "elements/elements.h"
#include "geometry/base.h"
#include "nc/nc.h"
#include "report/report.h"

// --- output (channel.cpp) ---
bool KxConsole(const KxRun& run);        // true when the run works for the console program
typedef std::function<void(const char* text, size_t len)> KxSink;   // where a run's console text goes instead of stdout
void KxPrint(KxRun& run, const char* fmt, ...) __attribute__((format(printf, 2, 3)));  // console diagnostics (stdout or the sink)
void KxSay(KxRun& run, const char* fmt, ...) __attribute__((format(printf, 2, 3)));    // a warning, error or the summary: printed even when the run is quiet
void KxLog(KxRun& run, const char* fmt, ...) __attribute__((format(printf, 2, 3)));    // appends to the log when it is open
void KxFlushConsole(KxRun& run);          // flushes buffered console output

// --- bounded traces ---
// A trace printed once per pair of contours or elements would grow with the
// square of the drawing: of each such kind a run prints the first
// kMaxTraceLines and counts the rest, told in one line at the end of the step.
enum KxTraceKind {
  ktPASSED_OVER = 0,   // feed-point search: a circle or insert of another contour, too big or outside the region
  ktFURTHER_APPROACH,  // feed-point search: approach test from the second and later start hole of a contour
  ktREGION_PAIR,       // nesting search: one contour's box against another's
  ktTEXT_CIRCLE,       // texts to holes: a circle without contour met by a text
  kTraceKinds
};
bool KxTraceNext(KxRun& run, int kind);              // counts one trace of kind; true when it is to be printed
bool KxTraceSpent(KxRun& run, int kind);             // true when no further trace of kind is printed in this run (it would only be counted)
void KxTraceLeaveOut(KxRun& run, int kind, long count);  // counts count traces of a spent kind as left out, without making them
void KxTraceQuiet(KxRun& run, bool quiet);           // KxPrint drops its text while quiet (the calls of a trace left out)
void KxTraceCounts(KxRun& run);                    // prints a count line for each kind left out since its last one

// --- output files (outfile.cpp) ---
struct KxOutFile {              // an output composed in a temporary file beside its target
  FILE* f = nullptr;            // the temporary, open for writing until commit or abort
  char* temp = nullptr;         // its path; removed by SIGINT/SIGTERM while it exists
  char* target = nullptr;       // the path it is renamed to when complete
  int slot = -1;                // its entry in the signal handler's list, -1 when none
  int error = 0;                // errno of the step that failed, 0 when none did
  bool drawing = false;         // the target is the drawing itself: nothing was opened
};
bool KxIsDrawing(KxRun& run, const char* path);                  // true when path leads to the drawing's file (same device and inode)
FILE* KxOutOpen(KxRun& run, KxOutFile* out, const char* target);  // opens a temporary beside target with a new file's mode; null (error or drawing set) when it cannot or target is the drawing
bool KxOutCommit(KxOutFile* out);                     // closes the temporary and renames it over target (a link there is replaced, not followed); false with error set, temporary removed
void KxOutAbort(KxOutFile* out);                      // closes and removes the temporary; the target stays as it was
FILE* KxOpenLog(const char* path, std::string* why);  // opens the log for writing, never through a symbolic link at path; null with the reason line in why

// --- state ---

// The file names and streams of one conversion and the trace budget of its console text.
struct BaseRun {
  std::string in_filename = "-not-set-";  // path of the DXF drawing as given
  std::string dataPath = "unset";  // full path of the NC program file
  char fAktDate[20] = "not-set";  // date and time of the run as text
  FILE* i_stream = nullptr;  // the drawing, read by every DXF pass from its start; closed with the run
  FILE* log_stream = nullptr;  // the log file, open while the conversion runs; closed with the run
  KxSink consoleSink;  // receives the run's console output instead of stdout when set (tests, desktop)
  long traceShown[kTraceKinds]{};  // traces of each kind printed in this run
  long traceLeftOut[kTraceKinds]{};  // traces of each kind left out since its last count line
  bool traceQuiet = false;  // true while KxPrint drops its text: a trace left out is running
  bool quiet = false;  // --quiet: KxPrint drops its text, only KxSay's reaches the console
  bool saidLineEnd = true;  // quiet: the last text said ended a line (the next one's leading blank lines are dropped)
  std::string namePrefix;  // put before the names of the page, check page and element dump ("plate" -> plate_results.htm); "" as ever
  BaseRun() = default;
  BaseRun(const BaseRun&) = delete;
  BaseRun& operator=(const BaseRun&) = delete;
  ~BaseRun();
};

// --- the conversion run (setup.cpp, pipeline.cpp) ---
void SetGlobals(KxRun& run, const char* arg);   // derives homepath, reads the settings file, adds the main layer to the layer list
int KxConvertDrawing(KxRun& run);         // the whole run over the drawing opened at its start, log open; a kxSTATUS_ value
bool KxRewindDrawing(KxRun& run);         // puts the drawing back to its first line for the next pass (reopens it by name if need be)
int KxReadLayers(KxRun& run);             // version and layer passes over the drawing opened at its start; kxSTATUS_OK or _NO_DRAWING
int KxReadDrawing(KxRun& run);            // KxReadLayers, then the chosen layers' elements, checked; kxSTATUS_OK or _NO_DRAWING
void KxFindTopContours(KxRun& run);       // four-axis: the top layer's contours given to the contours below them, with their sync lines and wire angle

// --- the closing summary (summary.cpp) ---
int KxNothingCut(KxRun& run);                 // 1 when the run found no contour or none of its contours can be cut
void KxPrintRunSummary(KxRun& run, int status);  // says the closing line of a conversion, worded from its result (the drawing still open: without contour, the layers holding geometry are counted)

struct KxRun {
  BaseRun io;          // the drawing's and the log's names and streams, the console text and its trace budget
  DxfRun dxf;          // what the reader found of the drawing: version, layers, units, its reading window
  ElementRun table;    // the element table the reader fills and every step reads
  ContourRun contours; // the contours the analysis found and what it found for each
  NcRun nc;            // the NC program written: its path's fate, counts and technology notes
  ReportRun report;    // the program read back for the page, the check's result, the parts' size
  KxSettings cfg;   // the settings, device words and technology the run reads (its own copy)
  explicit KxRun(const KxSettings& settings = KxSettings());  // a run on these settings; its conversion starts the layer list from them
};

// ==== the job and its result (job.cpp, words.cpp, batch.cpp) ====

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

// A layer of the drawing that holds geometry, and how much.
struct KxLayerCount {
  std::string name;   // the layer's name
  long entities;      // lines, arcs, circles and polylines on it
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
  std::vector<KxContour> outlines; // every contour as the analysis and the writer found it, by number (entry 0 unused)
  bool programWritten = false; // the NC program was written (and is this run's)
  bool programOntoDrawing = false;  // it was not written: it would have been the drawing itself
  int programErrno = 0;        // errno of the failed write, 0 when none
  std::string program;         // the NC program's path
  std::string log, page;       // the log's and the statistics page's paths
  std::string machineTime;     // "about 5 h 38 min"; "" when none could be computed
  double minutes = -1;         // the same in minutes, -1 when none
  std::string units, unitsWarning;   // the units read in and a doubt about them; "" for millimetres
  std::string layer;           // the layer cut (LayerName or the one given)
  long elementBound = 0;       // the element table's bound when the drawing held more (the rest not read); 0 when all was read
  int refused = 0;             // entities refused for their numbers (named in the log)
  int withoutTech = 0;         // contours cut without technology data
  bool nothingCut = false;     // no contour found, or none of them can be cut (KxNothingCut)
  int checkFaults = -1;        // faults the check of the program found, -1 when it did not run
  bool checkAsked = false;     // the settings ask for the written program to be checked (CheckProgram)
  int insetTechIgnored = 0;    // inset contours cut with the parent's cuts, not with their own technology
  int piecesUncalled = 0;      // piece mode: pieces the main program does not call
  std::string earlierProgram;  // no contour found: the NC program at the target, left by an earlier run; "" when none is there
  std::vector<KxLayerCount> geometry;   // no contour found: the layers holding geometry, most first (counted by the console's summary only)
  bool moreGeometry = false;   // geometry on further layers than geometry lists
  std::string notADrawing;     // no contour found and no geometry: why the file is no ASCII drawing; "" when it is one
};

KxResult KxConvert(KxRun& run, const KxJob& job);   // the whole run shell over a new run: drawing, settings, log, conversion, closing; the run keeps what it found
void KxTakeJob(KxRun& run, const KxJob& job);       // puts the job's drawing and options into the run's settings (before they are read)
KxResult KxResultOf(KxRun& run, int status);        // what a finished run found

// --- the words for a result (words.cpp) ---
std::string KxResultWords(const KxResult& r);     // the desktop's result text: counts, time, units, start holes to drill, program, status in words
bool KxResultSerious(const KxResult& r);          // the result is worth a message box: the drawing, program or a device file could not be used
std::string KxResultLine(const KxResult& r);      // one line for the batch: drawing, status, counts, time, program or why not
std::string KxSummaryWords(const KxResult& r);    // the console's closing line: contours, holes, target, checks, notes, or why nothing is cut
const char* KxStatusName(int status);             // a status in a few words ("converted", "nothing to cut", ...)

// --- many drawings side by side (batch.cpp) ---
inline constexpr int kMaxBatchThreads = 64;   // -j: at most this many conversions at once
int KxWorstStatus(const std::vector<KxResult>& results);   // the batch's status: the highest of its drawings', 0 when all converted
std::vector<KxResult> KxConvertBatch(const KxJob& base, const std::vector<std::string>& drawings, int threads,
                                     const std::function<void(const KxResult&)>& done);   // converts each drawing on its own run, threads at once; done is called in input order
std::string KxBatchStem(const std::vector<std::string>& drawings, size_t i);   // drawing i's name without folder and .dxf, numbered when an earlier one has it
bool KxWriteJobSheet(const std::string& path, const std::vector<KxResult>& results, std::string* why);   // the job sheet _jobs.htm: one row per drawing
