// The conversion run and its reports: the HTML statistics page, opening the
// page and the NC program for the user without any shell, and the one reset
// that brings the whole core back to a fresh process's state.
#pragma once

struct KxRun;        // the state of one conversion (run/run.h)
struct KxSettings;   // the settings a run reads (config.h)

#include <cstdio>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "elements/elements.h"   // KxNameKey
#include "geometry/base.h"       // KxWirePair

// --- the statistics page (statistic.cpp) ---
void SaveStatistic(KxRun& run);            // writes the statistics page into the program folder and opens what is due

// --- the element table dumped for inspection, -bulk (dump.cpp) ---
void SaveStructs(KxRun& run, const char* fname, const char* info);  // dumps the table into homepath + fname

// --- opening a file for the user (opener.cpp) ---
inline constexpr int kxOPEN_SPAWNED = 0;      // the desktop opener was started for the path
inline constexpr int kxOPEN_NO_SESSION = 1;   // no graphical session: nothing was started
inline constexpr int kxOPEN_NO_PATH = 2;      // empty or missing path: nothing was started
inline constexpr int kxOPEN_FAILED = 3;       // the opener could not be started (not installed, ...)
inline constexpr int kxOPEN_HOOKED = 4;       // the request went to the run's openHook instead
inline constexpr int kxOPEN_MISSING = 6;      // there is no such file: nothing was started

struct KxOpenPlan {
  int verdict;            // kxOPEN_SPAWNED when the opener is to be started, else the reason not to
  std::string path;       // the path as handed over; "./" put before a leading '-' so it is never an option
  const char* argv[3];    // opener, path, terminating null: for posix_spawnp, never for a shell
};


int KxPlanOpen(const char* path, const char* display, const char* wayland, KxOpenPlan* plan);  // decides and builds the argument vector
int KxOpenForUser(KxRun& run, const char* path);   // starts the desktop opener for path without waiting; kxOPEN_... result

// --- page helpers (statistic.cpp) ---
void KxHtmlText(FILE* out, const char* text);   // writes text with &, <, >, quotes as HTML entities
void KxWriteDrillList(KxRun& run, FILE* page);  // drawn start holes that give no lead-in, the start holes korvex placed and the contours that got none (drill.cpp)

// --- run statuses ---
inline constexpr int kxSTATUS_OK = 0;           // the run went through
inline constexpr int kxSTATUS_USAGE = 1;        // no argument: usage shown
inline constexpr int kxSTATUS_NO_DRAWING = 2;   // the drawing could not be opened
inline constexpr int kxSTATUS_NO_LOG = 3;       // the log could not be opened (or is the drawing itself)
inline constexpr int kxSTATUS_NO_PROGRAM = 4;   // the NC program could not be written
inline constexpr int kxSTATUS_NOTHING_CUT = 5;  // the drawing was read, but no contour is cut
inline constexpr int kxSTATUS_NO_DXF = 6;       // no argument names a DXF file
inline constexpr int kxSTATUS_BAD_CONFIG = 7;   // a settings, device syntax or technology file could not be used
inline constexpr int kxSTATUS_FAULTS = 8;       // korvex --check found faults in the program
// --- the units the drawing was read in (units.cpp) ---
std::string KxUnitsText(KxRun& run);    // "drawing in inches, scaled by 25.4; parts 93.0 x 305.0 mm"; "" for a drawing read in millimetres as ever
std::string KxUnitsWarning(KxRun& run); // why the scaled parts make the drawing's units doubtful, and how to override them; "" when they are plausible
void KxReportUnits(KxRun& run);         // after the chaining: measures the parts and says both on the console and in the log


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
  int tech;               // the technology line in force, an index into the run's nc.techNotes; -1 none
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
  std::vector<KxRapid> upper;       // four-axis: the upper guide's moves while it stands off the lower one (order: the move's index)
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
std::vector<KxWirePair> KxRulingLines(KxRun& run);   // four-axis: the wire at every corner and sync point of the contours cut with a top contour


// --- an NC program read and followed as the control does (follow.cpp) ---
struct devSyntax;   // the device syntax (config.h)
// What a block does, one step each, in the order the control does it.
enum KxNcKind : unsigned char { kxNC_CALL, kxNC_G92, kxNC_MOVE, kxNC_FEED, kxNC_COMP, kxNC_COMPOFF, kxNC_RETURN, kxNC_WIRECUT,
                                kxNC_END, kxNC_STOP, kxNC_HOME, kxNC_NOCUT, kxNC_HOLD, kxNC_MARK };
struct KxNcStep {
  KxNcKind kind;           // a kxNC_ value
  bool hasX = false, hasY = false, ij = false;   // the words it has
  bool asked = false;      // a rapid the device's after-rapid word follows: a rapid-move layer asks for it
  int g = -1;              // move: 0..3, -1 for the motion word in force; compensation: 41, 42; end: 1 for '%'; mark: the reader's
  int quote = 0;           // the line it is on, an index into the quotes
  int others = 0;          // a call: technology and register lines before it
  long long n = 0;         // the block a call names, -1 none, -2 one the control cannot hold
  double x = 0, y = 0, i = 0, j = 0;   // X/Y of a move, G92 or G28, I/J of an arc
};
// A block of the program: the main program (number -1) or an N block.
struct KxNcBlock {
  long long number;        // N number, -1 for the main program
  int quote;               // its head line
  int first = 0, count = 0;   // its steps
  bool returns = false;    // it has a return word
  bool open = false;       // the writer says its contour is open
  bool uncut = false;      // the writer says its contour is not cut (no start hole or no feed point)
  bool trouble = false;    // the writer says it returns uncut for want of a start hole
  bool reached = false;    // followed at least once
};
// A line named in a fault or a cut: its number and a short, escaped copy of its text.
struct KxNcQuote {
  int line;                // its number, from 0
  size_t at;               // where its text starts in the quoted texts
  unsigned len;            // and how long it is
};
// A move as followed: motion word, from where the wire was to where it goes, arc centre, its line.
struct KxNcMove {
  int g;                           // 0..3: the motion word in force, an arc without centre as 1
  double x0, y0, x1, y1, cx, cy;   // from, to, the arc's centre (the start plus I/J)
  int quote;                       // its line
  bool tilted = false;             // the upper guide stands off the lower one at either end (four-axis)
  double tx0 = 0, ty0 = 0, tx1 = 0, ty1 = 0;   // where the upper guide goes from and to, in the program's coordinates
};
std::string KxNcText(const char* f, ...) __attribute__((format(printf, 1, 2)));   // printf into a string
std::string KxNcShown(const char* p, size_t n, size_t most);   // text with control characters escaped, cut to most characters

// Reads a program's text into blocks and steps and follows it from a block, with
// bounded work however the program is made (line length, call depth, steps
// followed). A user derives from it and hears what it meets through the hooks.
class KxNcFollower {
 public:
  explicit KxNcFollower(const devSyntax& dev) : dev_(dev) {}   // reads the program in the device's words
  virtual ~KxNcFollower() = default;
  bool Read(const std::string& path, std::string* why);   // the whole program (a pipe up to a bound); false with the reason when it is no text or unreadable
  void Follow(int block, int depth);                      // follows a block and what it calls from the state in force
  int LineOf(int quote) const { return quote < 0 ? -1 : quoteTexts ? quotes[(size_t)quote].line : quote; }   // the line of a quote, -1 for none

  std::vector<KxNcBlock> blocks;                     // the main program, then every N block
  std::unordered_map<long long, int> blockOf;        // N number -> its first block
  // A program of a large nest has millions of steps: kept in chunks, so that the
  // list never needs twice its size while it grows.
  std::deque<KxNcStep> steps;                        // every block's steps, block after block
  std::deque<KxNcQuote> quotes;                      // the lines steps and faults name
  std::string quoted, eol;                           // the quotes' texts one after the other; the device's block end
  unsigned long long bytes = 0;                      // bytes read
  int moves = 0;                                     // moves read
  bool pieceMode = false;                            // the writer says it is a program of pieces
  bool quoteTexts = true;                            // keep the quoted lines' texts (for faults); false: a step's quote is its line number
  // The machine's state while following.
  double px = 0, py = 0, feedX = 0, feedY = 0;       // where the wire is, where it was threaded last
  double pu = 0, pv = 0;                             // where the upper guide stands off the lower one (U, V as relative words)
  std::unordered_map<int, std::pair<double, double>> upper;   // four-axis: the U and V words of a move step (kept apart: most programs have none)
  int motion = -1;                                   // the motion word in force, -1 none yet
  bool fed = false, threaded = false, noCut = false;   // threaded since compensation was last off; threaded; a NoCut remark since
  int loop = -1;                                     // the loop being cut (a compensation step's number), -1 outside
  bool record = false;                               // the loop is cut for the first time
  int loopCount = 0;                                 // loops met
  bool byHand = false;                               // following a block nothing calls
  bool halted = false;                               // the machine stops (or repeats for ever): nothing after it runs
  bool ended = false;                                // the main program reached its end word

 protected:
  virtual void Fault(int quote, const char* kind, const std::string& what) { (void)quote, (void)kind, (void)what; }   // a step the reader or follower cannot take as written
  virtual int Mark(long at, const std::string& line) { (void)at, (void)line; return -1; }   // the user's mark for the line at byte at; >= 0 makes it a mark step
  virtual void Moved(const KxNcStep& st, const KxNcMove& m, bool first) { (void)st, (void)m, (void)first; }   // a move followed (first: the first time)
  virtual void Called(const KxNcStep& st, int callee, bool first) { (void)st, (void)callee, (void)first; }   // a call about to be followed
  virtual void Stepped(int k, const KxNcStep& st, int block) { (void)k, (void)st, (void)block; }   // any other step, after the state it sets (compensation off: before)

 private:
  const devSyntax& dev_;
  struct Reading;
  std::vector<char> seen_, active_;                  // per step: followed before; per block: being followed
  std::unordered_map<int, int> loopOf_;              // compensation step -> its loop
  long executed_ = 0, maxExecuted_ = 0;              // steps followed, and at most
  bool runsAfter(const KxNcBlock& b, int k) const;   // a step after k still does something
  bool upperAbsolute_ = false;                       // the device writes U and V as the upper guide's own place
};

// --- the check of a written program against its drawing (check.cpp) ---
int KxCheckProgram(KxRun& run, const std::string& program, const std::string& drawing);  // korvex --check: reads drawing (may be empty) and program, prints the faults; kxSTATUS_OK, _FAULTS or _NO_DRAWING
int KxCheckOwnProgram(KxRun& run);   // with CheckProgram: 1, checks the program the run wrote against the drawing still in the table; the fault count

// The program of one run as read back for the page and the preview.
struct ReportRun {
  KxToolpath toolpath{};  // the program of the last run, read back for the page and the preview
  int checkFaults = -1;   // faults the check of the run's own program found, -1 when it did not run
  bool checkPageFailed = false;   // the check's page _check.htm could not be written
  double partsWidth = 0, partsHeight = 0;   // the box around every chained contour, mm (KxReportUnits, for a drawing in other units)
  bool partsChained = false;                // the box is the contours'; false: no contour, the box of all geometry read
  std::function<void(const char* path)> openHook;   // receives the run's open requests instead of the desktop opener when set (the window, a batch)
};
