// NC program output: the NC file with head, main program and foot, and one
// sub-program per contour with threading, lead-in, compensation, cutting path,
// holes, hold points, multi-cut sub-programs, inset contours and positioning.
#pragma once

struct KxRun;        // the state of one conversion (run/run.h)
struct KxSettings;   // the settings a run reads (config.h)

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "config/config.h"   // coTechno, eTechnologieData
#include "geometry/base.h"     // KxPointGrid
struct KxContour;   // one contour as the analysis found it (contours/contours.h)

struct dxfLayerList;

// --- counters and state of the output ---
inline constexpr int kxNC_ONTO_DRAWING = 2;   // nc.ncWriteFailed: the program's path leads to the drawing, nothing was written

// --- the technology the drawing's texts set (technology.cpp) ---
void SetTechnologie(KxRun& run, const char* tLine, long elnum);  // resets ktechno (null text) or interprets a technology text

// --- technology assignment to contours (assign.cpp) ---
void HolesAndTechno(KxRun& run);                               // hole list and reference points, directives, texts to contours
void TextToFeedPointKontur(KxRun& run, long telem);              // attaches text element telem to the contour of the nearest circle
void GetKonturName(KxRun& run, const char* kn, FILE* ostream);   // writes the remark with contour kn's drawn name
void PutKonturName(KxRun& run, long textElem, FILE* ostream);   // writes that remark from text record textElem ("NoName" for -1)

// What the writer keeps while it writes one program.
struct NcWriting {
  std::map<std::string, int> techIndex;   // the distinct technology lines of run.contours.techLines, by their text
  // The wire switches as the program head's directives leave them: every contour
  // starts from these, so a !NOCUT or !NOFEED of one contour never reaches the next.
  int headNoCut = 0, headNoFeed = 0;
  int taperFrom = 0, offsetFrom = 0;   // who set the taper and the register in force (as NcCutSetting says)
  KxPointGrid walkGrid;                // ends of the members of the contour being walked (closed.cpp)
};

// --- driver (driver.cpp) ---
void ProbeNwdOut(KxRun& run);                                   // writes the NC program of the run into its file
bool NcNamedAfterDrawing(KxSettings& cfg);                           // true when the program name setting holds "*infile*": the program takes the drawing's name and folder
std::string NcTargetPath(KxRun& run);                          // where the run's NC program goes
void SortKontur(KxRun& run, NcWriting& w, FILE* ostream, int k);                // finds contour k's region and feed records and writes its path

// --- closed contour writer (closed.cpp) ---
void SimpleClosedKontur(KxRun& run, NcWriting& w, FILE* ostream, int k, long feedElem, long firstElem);  // writes contour k's cutting program

// --- hole writer (hole.cpp) ---
long HoleStartFor(KxRun& run, const char* kN, long elem);         // the start hole drawn inside contour kN's hole circle elem, off its centre; -1: none (threaded at the centre)
void SimpleHoleForElement(KxRun& run, FILE* ostream, long elem, long startHole = -1);  // writes the cutting program of the hole circle elem, threaded at startHole or the centre

// --- position chain writer (position.cpp) ---
void SimplePosition_Chain(KxRun& run, FILE* ostream, const char* kN, long feedElem);  // rapid moves along the position layer to the feed point

// --- hold point, multi-cut and inset contours (multicut.cpp) ---
bool NcFourAxisPath(KxRun& run, FILE* ostream, const KxContour& c, double splitX, double splitY, double towardX, double towardY,
                    const elementdaten& feed);  // c's cut with its top contour from the split point (leaving toward toward), back to the start hole feed; false when none can be paired
void SimpleHoldPoint(KxRun& run, FILE* ostream, float sX, float sY, long firstElem, float qX, float qY, int arcWord);  // last part of the first element, back to the split point (sX, sY), with the hold point; arcWord kxG02/kxG03 on an arc
void SimpleAsSubKontur(KxRun& run, FILE* ostream, int k, float ssX, float ssY);  // calls of contour k's multi-cut sub-program and its head
int SimpleAddChilds(KxRun& run, FILE* ostream, int k);            // calls of contour k's inset contours and the head of its own cut; result unused

// --- shared writing helpers (driver.cpp) ---
void NcPut(FILE* ostream, const char* fmt, ...) __attribute__((format(printf, 2, 3)));  // writes formatted text into the NC file (nothing when null)
void NcPlaneLines(KxRun& run, FILE* ostream);                           // the programming, auxiliary and top plane lines
const dxfLayerList& NcLayer(KxRun& run, int nr);                  // layer entry nr, or an empty entry for a number outside the list
const char* SetMoveTypeForLayer(KxRun& run, int nr);             // sets moveType for a path element on layer nr and returns it ("G00" on a rapid-move layer)
bool NcValidElement(KxRun& run, long i);                          // true when i addresses a record in use
void NcNoteTechLine(KxRun& run, FILE* ostream, const char* line, float feed, int known);  // notes where the technology line line (without block end) is about to be written, with its feed

// A technology line as written: the machine time finds it again in the program.
struct NcTechNote {
  long at;            // where the line starts in the program (byte offset)
  float feed;         // the feed of the cuts after it, mm/min, from the technology file
  int known;          // 1 when the technology file gave the line
  std::string text;   // the line as written, block end included, line end not
};

// The taper and wire offset a contour is cut with, and where they were set: in
// plate mode they carry over from the contours written before.
struct NcCutSetting {
  int noted = 0;        // 1 once the contour was written
  float taper = 0;      // taper angle, degrees
  int taperFrom = 0;    // contour whose text set it; 0 its own text or the default, -1 a directive
  int reg = 1;          // register the cut's offset word names
  float offset = 0;     // what that register adds to register 1, mm
  int offsetFrom = 0;   // as taperFrom
  int perLayer = 0;     // 1 when the layers of the contour set taper and register
};


// The counters of one run's output.
struct NcRun {
  // The technology in force while the program is written: it starts as the
  // settings leave it and the drawing's texts steer it contour by contour, so the
  // settings themselves stay as they were read.
  coTechno techno{};
  eTechnologieData eTD[kTechEntries]{};  // the technology file's lines of the code in force: 0 = entry A, 1..4 = cuts 1..4
  char moveType[24] = "G01";  // move word of the path being written: "G00", "G01", or the after-rapid word and "G01"
  int ncWriteErrno = 0;    // why the NC program could not be written (the system's errno), 0 when it was
  int ncWriteFailed = 0;  // 1 when the last ProbeNwdOut could not write its NC file, kxNC_ONTO_DRAWING when it would have been the drawing
  int openKoCounter = 0;  // open contours: the walk did not come back to the first element (written without closing, with a trouble remark)
  int bigTrouble = 0;  // contours without feed point that are no single hole
  int topRefused = 0;  // four-axis contours not cut: the wire would lean beyond MaxTaper, or no part height
  int missETechnologie = 0;  // technology lines written without an entry in the technology file
  int contoursWithoutTech = 0;  // contours with at least one such line
  int holesCounter = 0;  // holes written by the hole writer
  int insetTechIgnored = 0;  // inset contours whose own technology text (cuts, code) is not used: they run with the parent's cuts
  int piecesUncalled = 0;  // piece mode: pieces the main program does not call (it calls the last piece only)
  std::vector<NcTechNote> techNotes;      // every technology line of the program, in writing order
  std::vector<NcCutSetting> cutSettings;  // per contour number: the taper and offset it is cut with
};
