// Shared ground of every conversion step: the geometry and string helpers, the
// run-wide file names and streams, the console and log output, and the choice
// between the console and the desktop flavour of the core.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <cstdio>

// --- numeric constants (rounded on purpose: results are reproduced with them) ---
inline constexpr double awPI = 3.14159265;     // pi as used for every degree/radian conversion
inline constexpr double RAD2DEG = 57.29577951; // radians to degrees

// --- flavour of the core ---
enum KxFlavour { kxCONSOLE = 0, kxDESKTOP = 1 };
extern int gFlavour;                 // kxCONSOLE or kxDESKTOP, chosen by the program at start
void KxSetFlavour(int flavour);      // selects the flavour and resets the run-wide names to its initial values
inline bool KxConsole() { return gFlavour == kxCONSOLE; }  // true in the console flavour

// --- run-wide names and streams ---
extern char in_filename[80];    // path of the DXF drawing as given
extern char log_filename[255];  // path of the log file
extern char ini_filename[80];   // name of the settings file below homepath
extern char homepath[255];      // folder of the program, ending with its separator
extern char data_filename[80];  // name of the NC program file
extern char dataPath[256];      // full path of the NC program file
extern char fAktDate[20];       // date and time of the run as text
extern FILE* i_stream;          // the drawing, read by every DXF pass from its start
extern FILE* log_stream;        // the log file, open while the conversion runs
extern char gAPPNAME[8];        // program name
extern char gVersInf[16];       // version text of the banner
extern int gBulkOut;            // 1: write the element dump after the NC program
extern int gNameByInfile;       // 1 while the NC program is named after the drawing
extern int gLogNameGiven;       // 1 when the command line named the log file; it then wins over the default

// --- output ---
typedef void (*KxSinkFn)(const char* text, size_t len);
extern KxSinkFn gConsoleSink;   // receives console output instead of stdout when set (tests, desktop)
void KxPrint(const char* fmt, ...) __attribute__((format(printf, 1, 2)));  // console diagnostics (stdout or the sink)
void KxLog(const char* fmt, ...) __attribute__((format(printf, 1, 2)));    // appends to the log when it is open
void KxFlushConsole();          // flushes buffered console output
bool KxScaledDecimal(double v, int prec, uint64_t* scaled);  // |v| rounded to prec (0-9) decimals as printf rounds it, times 10^prec; false where that is not certain
int KxFormat(char* out, size_t size, const char* fmt, va_list ap);  // printf's text for common formats (consumes ap); -1 where vsnprintf must do it

// --- bounded string helpers ---
void KxCopy(char* dst, size_t size, const char* src);   // copies src into dst, cut to size - 1 characters, always terminated
void KxCat(char* dst, size_t size, const char* src);    // appends src to dst within size bytes, always terminated
bool KxEndsWith(const char* text, const char* end);   // true when text ends with end (case as given)
double KxNumber(const char* text);   // decimal conversion; no number, infinity or NaN give 0
long KxInteger(const char* text);    // base-10 conversion with leading blanks; no digits give 0, clamped to the int range

// --- geometry helpers ---
float YARC(double w, float a);        // y offset of the point at angle w (degrees) on a circle of radius a
float XARC(double w, float a);        // x offset of the point at angle w on a circle of radius a
double WIV(float xa1, float ya1, float xb2, float yb2);   // direction of a segment in degrees, (-180, 180]
float LENC(float xa1, float ya1, float xb2, float yb2);   // length of a segment
float BOGENWINKEL(float sW, float eW);                    // counter-clockwise sweep of an arc from sW to eW
float FL3NKS(float in);               // value rounded to three decimals through its "%10.3f" text
void S2UP(char* fn);                  // upper-cases fn in place
char* stripLFCR(const char* text);    // copy of text without its line end, in a static buffer

// --- curves as arcs (curves.cpp) ---
inline constexpr int kKxSplineMaxDegree = 7;     // highest spline degree read
inline constexpr int kKxSplineMaxPoints = 512;   // control or fit points of one spline
struct KxCurvePiece {
  bool line;              // a straight piece (the curve is flat there); otherwise an arc
  double sx, sy, ex, ey;  // start and end, in the curve's direction
  double cx, cy, r;       // centre and radius of an arc
  bool ccw;               // the arc turns counter-clockwise from start to end
};
struct KxEllipse {
  double cx, cy;          // centre
  double mx, my;          // end of the major axis, relative to the centre
  double ratio;           // minor to major axis
  double t0, t1;          // start and end parameter in radians (0 to 2 pi: full ellipse)
};
struct KxSpline {
  int degree;
  int nKnots, nControl, nFit;
  double knots[kKxSplineMaxPoints + kKxSplineMaxDegree + 1];
  double x[kKxSplineMaxPoints], y[kKxSplineMaxPoints], weights[kKxSplineMaxPoints];
  double fx[kKxSplineMaxPoints], fy[kKxSplineMaxPoints];   // fit points, used when there are no control points
};
int KxEllipseToPieces(const KxEllipse& e, double tol, KxCurvePiece* out, int max);  // tangent arcs within tol; count, -1 when unusable or more than max
int KxSplineToPieces(const KxSpline& s, double tol, KxCurvePiece* out, int max);    // the same for a spline

// --- state ---
void ResetBaseState();   // restores the run-wide names, streams and flavour-dependent texts (tests, fuzzing)
