// The conversion run and its reports: the HTML statistics page, opening the
// page and the NC program for the user without any shell, and the one reset
// that brings the whole core back to a fresh process's state.
#pragma once

struct KxRun;        // the state of one conversion (kxrun.h)
struct KxSettings;   // the settings a run reads (config.h)

#include <cstdio>
#include <string>
#include <vector>

// --- the conversion run (pipeline.cpp) ---
int KxConvertDrawing(KxRun& run);         // the whole run over the drawing opened at its start, log open; a kxSTATUS_ value
bool KxRewindDrawing(KxRun& run);         // puts the drawing back to its first line for the next pass (reopens it by name if need be)
int KxReadLayers(KxRun& run);             // version and layer passes over the drawing opened at its start; kxSTATUS_OK or _NO_DRAWING
int KxReadDrawing(KxRun& run);            // KxReadLayers, then the chosen layers' elements, checked; kxSTATUS_OK or _NO_DRAWING
void SaveStatistic(KxRun& run);            // writes the statistics page into the program folder and opens what is due

// --- opening a file for the user (opener.cpp) ---
inline constexpr int kxOPEN_SPAWNED = 0;      // the desktop opener was started for the path
inline constexpr int kxOPEN_NO_SESSION = 1;   // no graphical session: nothing was started
inline constexpr int kxOPEN_NO_PATH = 2;      // empty or missing path: nothing was started
inline constexpr int kxOPEN_FAILED = 3;       // the opener could not be started (not installed, ...)
inline constexpr int kxOPEN_HOOKED = 4;       // the request went to gOpenHook instead
inline constexpr int kxOPEN_MISSING = 6;      // there is no such file: nothing was started

struct KxOpenPlan {
  int verdict;            // kxOPEN_SPAWNED when the opener is to be started, else the reason not to
  std::string path;       // the path as handed over; "./" put before a leading '-' so it is never an option
  const char* argv[3];    // opener, path, terminating null: for posix_spawnp, never for a shell
};

typedef void (*KxOpenFn)(const char* path);
extern KxOpenFn gOpenHook;  // receives open requests instead of the desktop opener when set (tests, front ends: set before runs, only read by them)

int KxPlanOpen(const char* path, const char* display, const char* wayland, KxOpenPlan* plan);  // decides and builds the argument vector
int KxOpenForUser(KxRun& run, const char* path);   // starts the desktop opener for path without waiting; kxOPEN_... result

// --- page helpers (statistic.cpp) ---
void KxHtmlText(FILE* out, const char* text);   // writes text with &, <, >, quotes as HTML entities
void KxWriteDrillList(KxRun& run, FILE* page);  // drawn start holes that give no lead-in, the start holes korvex placed and the contours that got none (drill.cpp)

// --- run statuses and the closing summary (summary.cpp) ---
inline constexpr int kxSTATUS_OK = 0;           // the run went through
inline constexpr int kxSTATUS_USAGE = 1;        // no argument: usage shown
inline constexpr int kxSTATUS_NO_DRAWING = 2;   // the drawing could not be opened
inline constexpr int kxSTATUS_NO_LOG = 3;       // the log could not be opened (or is the drawing itself)
inline constexpr int kxSTATUS_NO_PROGRAM = 4;   // the NC program could not be written
inline constexpr int kxSTATUS_NOTHING_CUT = 5;  // the drawing was read, but no contour is cut
inline constexpr int kxSTATUS_NO_DXF = 6;       // no argument names a DXF file
inline constexpr int kxSTATUS_BAD_CONFIG = 7;   // a settings, device syntax or technology file could not be used
inline constexpr int kxSTATUS_FAULTS = 8;       // korvex --check found faults in the program
int KxNothingCut(KxRun& run);                 // 1 when the run found no contour or none of its contours can be cut
// --- the units the drawing was read in (units.cpp) ---
std::string KxUnitsText(KxRun& run);    // "drawing in inches, scaled by 25.4; parts 93.0 x 305.0 mm"; "" for a drawing read in millimetres as ever
std::string KxUnitsWarning(KxRun& run); // why the scaled parts make the drawing's units doubtful, and how to override them; "" when they are plausible
void KxReportUnits(KxRun& run);         // after the chaining: measures the parts and says both on the console and in the log

void KxPrintRunSummary(KxRun& run, int status);  // the closing line of a conversion: contours, holes, target, or why nothing is cut

// --- the written NC program followed like the machine does (toolpath.cpp) ---
struct KxMove {
  int g;                  // 0 rapid, 1 straight, 2 clockwise arc, 3 counter-clockwise arc
  float x0, y0, x1, y1;   // from where the wire was to the move's own X/Y
  float cx, cy;           // arc centre: start point plus the move's I/J
};

struct KxLoop {
  int block;              // N number of the block whose moves cut it
  int side;               // 41 wire left of the path, 42 right
  int cuts;               // how often the program cuts it
  int leadIn, leadOut;    // move index of the lead-in and the lead-out, -1 when missing
  int firstMove, moveCount;  // the cut loop itself, from the split point on
  float holeX, holeY;     // where the wire was threaded
  int hold;               // 1 when the program stops at a hold point in the loop
  float holdX, holdY;
};

// One cut as the machine makes it: the wire runs a loop once more.
struct KxCutRun {
  int loop;               // the loop cut, an index into the loops
  int tech;               // the technology line in force, an index into the run's gTechNotes; -1 none
  int threaded;           // 1 when the wire was threaded for this cut
  double length;          // lead-in, loop and lead-out as travelled, mm
};

struct KxRapid {
  float x0, y0, x1, y1;   // a positioning move between start holes
  int order;              // its number in cutting order, from 1
};

// As long as the program is: the page and the preview show every move of it.
struct KxToolpath {
  int valid = 0;          // 1 when a program was read
  int moveCount = 0, loopCount = 0, rapidCount = 0, calledCount = 0, troubleCount = 0;   // the sizes of the lists below
  std::vector<KxMove> moves;
  std::vector<KxLoop> loops;        // in the order the program cuts them
  std::vector<KxRapid> rapids;
  std::vector<int> called;          // every block number some call names
  std::vector<int> trouble;         // blocks that return uncut for want of a start hole
  std::vector<KxCutRun> cutRuns;    // every cut in the order the machine makes them
  int threadings = 0;               // how often the wire is threaded
  double rapidLength = 0;           // positioning travelled outside the cuts, mm
};

// One line of a written program as the reader takes it apart.
enum KxStepKind { kxSTEP_CALL, kxSTEP_G92, kxSTEP_MOVE, kxSTEP_FEED, kxSTEP_COMP, kxSTEP_COMPOFF, kxSTEP_HOLD, kxSTEP_RETURN, kxSTEP_WIRECUT };
struct KxStep {
  int kind;          // a kxSTEP_ value
  int g;             // move word 0..3, compensation side 40..42, called block number
  float x, y, i, j;  // X/Y of a move or G92, I/J of an arc
  bool ij;           // the move names its centre
};
struct KxProgramLine {
  bool opens = false;          // the line opens block N number
  int number = 0;
  bool trouble = false;        // the line says its block returns uncut for want of a start hole
  std::vector<KxStep> steps;   // what the line does, in order
};

int ReadToolpath(KxRun& run, const char* path, KxToolpath* tp);     // reads and follows the NC program at path; 0 when unreadable
void KxMoveStartTangent(const KxMove& m, double* tx, double* ty);   // unit direction of travel where a move starts
void KxArcSweep(const KxMove& m, double* a0, double* sweep);   // start angle and signed sweep of an arc move (radians)
double KxMoveLength(const KxMove& m);                  // length of a move along its path

// --- machine time (machinetime.cpp) ---
struct KxLoopTime {
  int cuts = 0, threadings = 0;   // how often the loop is cut and how often threaded for it
  int known = 1;                  // 1 when every cut of it had a feed
  double minutes = 0;             // its cuts' time, when known
};

struct KxMachineTime {
  int valid = 0;                  // 1 when at least one contour got a time
  std::vector<KxLoopTime> loops;  // per loop of the tool path
  int contours = 0, cuts = 0, threadings = 0;   // of the contours with a time
  double cutMinutes = 0, threadMinutes = 0, rapidMinutes = 0, total = 0;
  double wireMetres = 0;          // wire run off while cutting (WireSpeed)
  std::vector<int> unknown;       // contour numbers without technology data: no time, left out of the total
};

void KxComputeMachineTime(KxRun& run, const KxToolpath& tp, KxMachineTime* mt);  // the machine time of a followed program
std::string KxDurationText(double minutes);   // "about 42 min", "about 5 h 38 min" (whole minutes, at least 1)
std::string KxMachineTimeLine(KxRun& run, const KxMachineTime& mt);   // the job's total in words for the page and the log; "" without cuts
std::string KxMachineTimeText(KxRun& run);    // the finished run's machine time ("about 5 h 38 min"), "" when none could be computed
void KxLogMachineTime(KxRun& run, const KxToolpath& tp);   // every cut's length, feed and time and the total into the log

// --- the picture of the page (picture.cpp) ---
void WriteToolpathFigure(KxRun& run, FILE* page, const KxToolpath& tp);  // the SVG figure, the contour table and the run's warnings


// --- the check of a written program against its drawing (check.cpp) ---
int KxCheckProgram(KxRun& run, const std::string& program, const std::string& drawing);  // korvex --check: reads drawing (may be empty) and program, prints the faults; kxSTATUS_OK, _FAULTS or _NO_DRAWING
int KxCheckOwnProgram(KxRun& run);   // with CheckProgram: 1, checks the program the run wrote against the drawing still in the table; the fault count

// The program of one run as read back for the page and the preview.
struct ReportRun {
  KxToolpath gToolpath{};  // the program of the last run, read back for the page and the preview
  int gCheckFaults = -1;   // faults the check of the run's own program found, -1 when it did not run
  bool gCheckPageFailed = false;   // the check's page _check.htm could not be written
  double partsWidth = 0, partsHeight = 0;   // the box around every chained contour, mm (KxReportUnits, for a drawing in other units)
  bool partsChained = false;                // the box is the contours'; false: no contour, the box of all geometry read
};
