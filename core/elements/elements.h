// The element store: one growing table of the drawing's records, the marks the
// steps of the conversion put on each record beside it, the values a new record
// is made of, and the one-record prints of the traces.
#pragma once

struct KxRun;        // the state of one conversion (run/run.h)
struct KxSettings;   // the settings a run reads (config.h)

#include <cstdint>
#include <cstdio>

#include "geometry/limits.h"   // kMaxElementRecords, KxGrowingTable

enum etype {
  etLINE = 0,   // straight line
  etPOLY = 1,   // start or closing record of a polyline
  etVERT = 2,   // polyline vertex
  etARC = 3,    // arc
  etCIR = 4,    // full circle
  etINSE = 5,   // block insertion
  etTEXT = 6,   // text
  etPNT = 7,    // point
  etDELETE = 8, // reserved or marker record
  etCPY = 9,    // reserved record (once a working copy)
  etERA = 10    // erased record
};

// One record of the drawing: what an entity says (its geometry, layer and text),
// or a placeholder that keeps the record numbers the traces print (the reserved,
// closing and region rows). What the steps find of a record is in its marks.
struct elementdaten {
  long num;          // own index in elds
  int type;          // etype
  float sx, sy;      // start point
  float ex, ey;      // end point
  int fLayer;        // index into the layer list, -1 after clearing
  char text[60];     // drawing text or record name
  float cx, cy;      // centre / insertion point
  float sw, ew;      // start and end angle, degrees, counter-clockwise
  float r;           // radius
  float len;         // length
  float bulge;       // polyline vertex: tan(sweep/4) of the segment to the next vertex, 0 for a straight one
  int polyOpen;      // polyline vertex: 1 when its polyline is open, so the last vertex closes nothing
  int curve;         // 1: a piece of an ellipse or spline, tangent to the pieces beside it; 0: drawn as it is
};

// The text the traces and the dump show for a record in place of its own.
enum KxNote : int8_t {
  kNoteOwn = 0,      // the record's own text
  kNoteDeleted,      // "-del-": left out by the structure check (too short, drawn twice)
  kNoteFeedPoint,    // gtFeedPoint: the start hole a contour's search chose
  kNoteStartPoint,   // gtStartPoint: a candidate a region claimed
  kNoteNoText,       // gNoText: a start hole given up again
  kNoteRegion        // gtRegInfo: a contour's region row
};

// What the reading and the analysis mark on one record, kept beside the element
// table index for index (ElementRun::marks): the record stays what the drawing
// says, the marks say what the steps made of it. All zero for a new record.
struct KxMarks {
  char kontur[10];   // contour the record belongs to ($K01 ...), or the reader's "never chain it" mark ("-del-", "xPF", "xPFirst")
  KxNote note;       // the text shown for the record (kNoteOwn: its own)
  int32_t used;      // times a step took it (chained, claimed as start hole, cut, left out); above 0 the chaining passes it over
  int32_t IsFirst;   // shown in traces and dump: a feed point's lead-in element, 1 on that element, a region row's lead-in
  int32_t kElemX;    // shown in the dump: a region row's element count, kAutoStartMark on a start hole korvex placed
  int32_t child;     // -1: a start hole a contour was entered from; a region row: its contour's parent
};

// A record with its marks as traces and the dump show it.
struct KxRecordView {
  elementdaten record{};  // the record's values
  KxMarks marks{};        // its marks
};

const char* KxRecordText(const elementdaten& e, const KxMarks& m);  // the text traces and dump show: m's note, else e's own


// A contour name as a record's marks hold it (at most the field's size, as strncmp
// compares it), packed into two words: the analysis and the page look up
// contours by name hundreds of thousands of times, and a std::string key spent
// that time in allocation and byte hashing.
struct KxNameKey {
  uint64_t lo = 0, hi = 0;
  explicit KxNameKey(const char* name);   // the first sizeof kontur characters of name
  bool operator==(const KxNameKey&) const = default;
};
struct KxNameKeyHash {
  size_t operator()(const KxNameKey& k) const { return (size_t)((k.lo * 0x9E3779B97F4A7C15ull) ^ (k.hi * 0xC2B2AE3D27D4EB4Full) ^ (k.lo >> 29)); }
};

// The box around elements as they are drawn.
struct KxExtent {
  double x0 = 1e30, y0 = 1e30, x1 = -1e30, y1 = -1e30;
  void Add(double x, double y);              // a point; one that is no finite number is passed over
  void AddArc(double cx, double cy, double r, double a0, double sweep);  // an arc's ends and the axis points it passes (radians, signed sweep)
  void AddElement(const elementdaten& e);    // a line, an arc by its own sweep (not its whole circle), or a circle
  bool Empty() const { return x0 > x1; }     // nothing added yet
};

extern const char* const gNoText;        // "-na-", text of records without a name
extern const char* const gtFeedPoint;    // "-possible feedpoint-", shown for the start hole a contour's search chose
extern const char* const gtStartPoint;   // "-possible Startpoint-", shown for a start-hole candidate a region claimed
extern const char* const gtRegInfo;      // "-region info-", text of a contour's region row: passive, it keeps the record numbers the logs print (the contour holds the facts)

void ClearElements(KxRun& run);                              // erases the used part of the table
// The reserved records AddReservedElements puts in front of the drawing's, at indices
// 0 to 6. No step writes or reads them; they keep the drawing's records numbered
// from 7, as the traces and the element dump number them.
void AddReservedElements(KxRun& run);                        // adds the seven reserved records at indices 0 to 6
void AddClosingElements(KxRun& run);                         // adds the two marker records behind the drawing's records

// The geometry a new record is made of; a reader builds it and hands it to AddElement.
struct KxNewElement {
  float sx = 0, sy = 0;   // start point (a point's or text's position)
  float ex = 0, ey = 0;   // end point
  float cx = 0, cy = 0;   // centre / insertion point
  float sw = 0, ew = 360; // start and end angle, degrees, counter-clockwise
  float r = 0;            // radius
};

void AddElement(KxRun& run, int typ, const KxNewElement& el, const char* opttext);  // appends a record made of el
bool AddNextElement(KxRun& run, int typ, KxNewElement& el, const char* opttext);  // appends el; when taken, el's angles start fresh (0, 360) for the reader's next element
KxNewElement DxfLeftover(KxRun& run);                           // the values the DXF reader's entities left (dxf/entities.cpp)
void ePrintToStream(KxRun& run, const elementdaten& e, const KxMarks& m);  // prints one record with its marks to the console
void ePrintTypeToStream(KxRun& run, long elnum);               // prints the type tag of record elnum


// The element table of one run with its counters.
struct ElementRun {
  KxGrowingTable<elementdaten> elds{};  // the element table; references into it survive appends
  KxGrowingTable<KxMarks> marks{};      // the marks of each record, index for index with elds
  long eldsMaximum = kMaxElementRecords;  // bound of the table (kMaxElementRecords; tests lower it)
  long eldsCounter = 0;  // records in use; next add goes here
  int structsChecked = 0;  // completed structure checks
  int maxElemBarrier = 0;  // 1 once an add was refused at the bound of the table
  int aktLayName = 0;  // layer-list index of the entity being read
  int killedElements = 0;  // lines deleted as too short
  int duplicateElements = 0;  // elements deleted as drawn twice (same type, ends, centre, radius)
};
