// Contour analysis: chaining elements into named contours within the tolerance
// band, the region of each contour, the choice of feed point and lead-in
// element, the approach test, the lead-in point and the nesting of contours.
#pragma once

struct KxRun;        // the state of one conversion (run/run.h)
struct KxSettings;   // the settings a run reads (config.h)

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "geometry/limits.h"   // kMaxElementRecords
#include "elements/elements.h"   // elementdaten
#include "geometry/base.h"       // KxBoxGrid

// --- chaining ---
// Arc directions as the NC program writes them ("G%02d"): the number of the arc word.
inline constexpr int kxG02 = 2;   // G02: clockwise
inline constexpr int kxG03 = 3;   // G03: counter-clockwise

void KxContourName(char* buf, size_t size, int k);  // the name of contour k: "$K01" ... "$K100"
// The blocks of contour k in the NC program: N(10k), N(10k+1) and N(10k+2).
enum KxBlockPart {
  kxBLOCK_CONTOUR = 0,  // the contour's own block, called by the main program or by its parent
  kxBLOCK_CUTS = 1,     // the multi-cut sub-program, called once per cut
  kxBLOCK_OWN_CUT = 2   // the contour's own cut, called after its inset contours
};
int KxContourBlock(int k, KxBlockPart part = kxBLOCK_CONTOUR);  // the N number of that block of contour k
int KxBlockContour(int block);   // the contour whose block has N number block
int SearchKontur(KxRun& run);              // chains the elements into contours $K01, $K02, ...; returns contours.count
void ReorgStructs(KxRun& run);                               // moves points to the front of their contour
// true when the two names are equal, as strcmp would say; the analysis compares the name of every
// element of the table for every contour, and names are a few characters: inline, no library call
inline bool KxSameName(const char* a, const char* b) {
  for (;; ++a, ++b) {
    if (*a != *b) return false;
    if (*a == '\0') return true;
  }
}
int IsTolLenB2P(KxSettings& cfg, float ax, float ay, float bx, float by);  // 1 when the two points coincide within the tolerance band
int IsTolLenBetween(KxRun& run, long aElem, long bElem, int view);    // 1 when the two elements share an end point within the band

// --- members by name (members.cpp) ---
// While a step that asks for the members of one contour after another runs, the
// records are filed by contour name once. The lists may hold records that have
// lost the name since, so a caller still tests every record it gets; a step that
// gives a record a contour name meanwhile must note it, or file with withLater
// when it names only records it adds itself (the NC output's working records).
// The filing lives as long as the step's KxMemberIndex; the run's member
// questions use it while it exists and scan the whole table otherwise.
class KxMemberIndex {
 public:
  KxMemberIndex(KxRun& run, bool withLater);  // files every record under its contour name; withLater: records added afterwards are always candidates
  ~KxMemberIndex();                           // the run's questions scan the whole table again
  KxMemberIndex(const KxMemberIndex&) = delete;
  KxMemberIndex& operator=(const KxMemberIndex&) = delete;
  struct Lists;                               // the records by name (members.cpp)
 private:
  KxRun& run_;
  std::unique_ptr<Lists> lists_;
};
void KxNoteMember(KxRun& run, long i);       // record i got a new contour name while a KxMemberIndex is in use
void KxMemberCandidates(KxRun& run, const char* name, long n, std::vector<long>& out);  // ascending records below n that may be named name: the filed ones, or all without a KxMemberIndex

// --- start points ---
// The lead-in ends on a line, or on a drawn arc of at least this sweep (degrees) with
// the anchor length as radius: a narrower arc leaves no room for the end margins.
inline constexpr float kMinLeadInSweep = 10.5f;
int SearchStartPoints(KxRun& run);         // regions, feed points and lead-in elements of all contours; how many contours got a lead-in


// --- analysis ---
struct KxContour;   // one contour as the analysis found it (below)
// While the start-point search runs, the circles and inserts are filed by their
// centres, which it never moves: a region looks only at those its box may hold.
// Records added meanwhile are filed on the next question.
class KxCandidateIndex {
 public:
  KxCandidateIndex(KxRun& run, double cell);   // files the circles and inserts by their centres, in cells of that side
  const std::vector<long>& Records();          // ascending records that may be circles or inserts: the filed ones
  void In(const KxContour& c, std::vector<long>& out);    // ascending records that may lie inside c's region: the filed circles and inserts near it
  long Near(const KxContour& c, std::vector<long>& out);  // In, and how many filed circles and inserts it left out as beyond c's region
 private:
  void fileUpTo(long top);                     // files the records below top not filed yet
  KxRun& run_;
  KxBoxGrid grid_;                             // circles and inserts by their centres
  long upTo_ = 0;                              // records below this are filed
  std::vector<long> records_;                  // the filed circles and inserts, ascending
};
long GetRegionFor(KxRun& run, KxContour& c, KxCandidateIndex& candidates);  // c's region, length and element count, its row appended, the candidates in it claimed; the row, -1 when the table is full
int IsCircleInRegion(const KxContour& c, const elementdaten& e);  // 1 when the centre of e lies strictly inside c's region (0 without one)
KxRecordView KxRegionRow(const KxRun& run, const KxContour& c);  // c's region row as traces and dump show it: the table's placeholder with c's facts
// What the feed-point search chose for a contour.
struct KxLeadInChoice {
  long element = 0;         // the lead-in element, 0 = none
  long hole = 0;            // the feed-point record it is entered from, 0 = none
  float splitX = 0, splitY = 0;   // where the anchor meets the lead-in element
};
KxLeadInChoice FindFirstElemFor(KxRun& run, KxContour& c, KxCandidateIndex* candidates);  // chooses c's feed point and lead-in element with the shortest anchor (candidates null: the whole table is looked at)
void KxTakeLeadIn(KxRun& run, KxContour& c, const KxLeadInChoice& choice);  // files the choice as c's lead-in and start hole (none: neither)
// The anchor an approach test looks for: shorter than length, it is taken, and
// the test leaves its length and the point where it meets the element.
struct KxAnchor {
  float length;        // the bound a new anchor must stay below; the new anchor's length once one is found
  float x = 0, y = 0;  // where the anchor found meets the element: the split point
};
int ApproachRWPossible(KxRun& run, long elem, long sPelem, KxAnchor* a);  // 1 when feed point sPelem reaches elem square, shorter than a->length
int CurveApproachPossible(KxRun& run, long elem, long sPelem, KxAnchor* a);  // 1 when feed point sPelem meets curve piece elem square, shorter than a->length
int CornerApproachPossible(KxRun& run, long elem, long sPelem, KxAnchor* a);  // 1 when feed point sPelem reaches a corner of elem from outside its angle, shorter than a->length
long ContourNeighbourAt(KxRun& run, long elem, float x, float y, bool* atStart);  // the other line or arc of elem's contour with an end at (x, y) (*atStart: which end), or -1
// While the start-point search runs, the lines, arcs and circles are filed by
// their boxes: a path meets only elements whose box meets its own. The filing
// lives as long as the step's KxMaterialIndex; AnchorCrossesMaterial scans the
// whole table without one.
class KxMaterialIndex {
 public:
  explicit KxMaterialIndex(KxRun& run);        // files the contour elements by their boxes for AnchorCrossesMaterial
  ~KxMaterialIndex();                          // AnchorCrossesMaterial scans the whole table again
  KxMaterialIndex(const KxMaterialIndex&) = delete;
  KxMaterialIndex& operator=(const KxMaterialIndex&) = delete;
  double Cell() const;                         // the side of its cells
  struct Grid;                                 // the elements by their boxes (approach.cpp)
 private:
  KxRun& run_;
  std::unique_ptr<Grid> grid_;
};
int AnchorCrossesMaterial(KxRun& run, long elem, long sPelem, float ax, float ay);  // 1 when the path from feed sPelem to (ax, ay) on elem meets another contour element
int GetFirstDLagePnt(KxRun& run, long feedE, long firstE, float splitX, float splitY, int side, float* nX, float* nY, int* fS);  // end point and arc direction of the first cut from the split point with the wire on side (41 left, 42 right; anything else taken as 42); the side it worked on
int SearchInsetRegions(KxRun& run, FILE* stream, KxCandidateIndex& candidates);  // finds contours inside contours and gives children a second feed search; how many lie inside another

// --- start holes korvex places itself (autostart.cpp) ---
inline constexpr long kAutoStartMark = -1;  // kElemX of a start hole korvex placed, for the dump; drawing records carry 0 there
bool KxHolePlaced(KxRun& run, long i);                 // record i is a start hole korvex placed
int PlaceAutoStartHoles(KxRun& run);                  // with AutoStartHoles on, a start hole for every closed contour left without one; the count
bool KxChainIsOpen(KxRun& run, int k);                 // contour k is a chain whose ends do not meet (a hole circle is closed)

// Four-axis: the contour the upper guide follows while its bottom contour is cut,
// kept apart from the contour value (a large nest has none, and pays one pointer).
struct KxTopContour {
  std::vector<KxCurvePiece> loop;   // its pieces end to end (turned the bottom's way round when paired)
  std::vector<KxCurvePiece> bottom; // the bottom contour's members as one loop, as the pairing took them
  std::vector<KxWirePair> ties;     // the drawn lines joining a point of the bottom contour to a point of this one
  float x = 0, y = 0;               // its centre, to name it
  float tilt = 0;                   // the largest angle of the wire to the vertical round the contour, degrees
  float height = 0;                 // the distance between the two contours (TH= text or PartHeight), mm
};

// One step of a contour's cut, as its program runs it. Kept small: a large nest
// holds one for every member of every contour.
struct KxCutStep {
  int32_t element = 0;   // the member cut: a line, an arc or a point (record index; the table's bound fits)
  int8_t dir = 0;        // kxG03 from its start to its end, kxG02 the other way; 0 for a point
};
static_assert(sizeof(KxCutStep) == 8);

// One contour as the analysis found it: what the NC program, the page, the
// drill list and the preview tell of it, so that none of them has to find it
// again among the element table's marker records.
struct KxContour {
  std::vector<long> members;       // its lines, arcs, points or hole circle (record indices) as chained, in table order
  std::vector<long> extras;        // the other records carrying its name once the analysis is done (start holes, texts, region), ascending
  std::vector<int> children;       // the contours lying directly inside it, ascending
  std::vector<KxCutStep> cut;      // its members in the order its program cuts them, from the lead-in element's end to the return to it (both not among them); empty until it is written
  double area = 0;                 // the area its loop encloses, mm2; 0 for an open chain
  // Record indices are kept in 32 bits (the table's bound fits): a large nest holds tens of thousands of contours.
  int32_t region = -1;             // its region's row in the element table (kept for the record numbers), -1 when the table had no room
  int32_t elementCount = 0;        // what its region counts: lines, arcs, points, hole circle and the start holes and inserts it claimed
  int32_t nameText = -1;           // the drawn text that names it ('*'), -1 none
  int32_t startHole = -1;          // the start hole its lead-in comes from (drawn or placed), -1 none
  int32_t leadIn = 0;              // the lead-in element, 0 = none
  char name[16] = "";              // "$K01" ...
  int number = 0;                  // 1 .. contours.count (0: the unused entry 0)
  float left = 0, bottom = 0, right = 0, top = 0;   // the box around its members as drawn (its region is this widened by the anchor length)
  float reachLeft = 0, reachBottom = 0, reachRight = 0, reachTop = 0;   // its region: the box widened by the anchor length, where its feed points lie
  float length = 0;                // its length as the region sums it, mm
  float holeX = 0, holeY = 0, holeR = 0;   // the start hole's centre and radius
  float splitX = 0, splitY = 0;    // where the lead-in meets it
  int orientation = 0;             // +1 counter-clockwise, -1 clockwise in table direction, 0 open or a single circle
  int parent = 0;                  // the contour it lies inside, 0 top level
  int technology = -1;             // the technology line the NC program cuts it with: an index into the run's techLines, -1 not written
  int8_t side = 0;                 // compensation as written: 41 wire left, 42 right; 0 not written
  int16_t quality = 0;             // the technology's quality (number of cuts' set) it is cut with
  bool open = false;               // the chaining came back to no end: its ends do not meet
  bool holePlaced = false;         // the start hole was placed by korvex
  bool topRefused = false;         // four-axis: its top contour would lean the wire beyond MaxTaper, or no height is given: not cut
  std::shared_ptr<const KxTopContour> upper;   // four-axis: the contour the upper guide follows; null for a cut with an upright wire (shared by the result's copies)
};
static_assert(kMaxElementRecords <= INT32_MAX, "a contour's record indices must hold every record");
std::vector<KxCurvePiece> KxLoopOf(const KxRun& run, const std::vector<long>& members);  // the lines, arcs and circles among members walked end to end into one closed loop; empty when they make none
bool KxStillFed(KxRun& run, const KxContour& c);  // its start hole is still its feed point: no later contour's region or search took it since
KxContour* KxContourNamed(KxRun& run, const char* name);  // the entry of the contour called name ("$K07"), or null for any other name
std::vector<long> KxContourRecords(const KxContour& c);   // every record carrying its name: members and extras, ascending

// The contours of one run and what their analysis found.
struct ContourRun {
  int count = 0;  // all found by the chaining, numbered 1 .. count
  char orphan[8] = "$ORPHAN";  // "$ORPHAN", the name of the members of a rejected chain
  int autoStartCount = 0;  // start holes korvex placed in this run
  std::vector<long> placedHoles;  // the records of the start holes korvex placed (or is trying), ascending
  std::vector<KxContour> all;  // by contour number, 0 .. count (entry 0 unused)
  std::vector<std::string> techLines;  // the distinct technology lines the all are cut with (KxContour::technology)
  KxMemberIndex::Lists* memberLists = nullptr;  // the filing of the KxMemberIndex in use, null when none
  KxMaterialIndex::Grid* material = nullptr;    // the filing of the KxMaterialIndex in use, null when none
  // Why a contour has no start hole, by contour number, for the few that have a
  // reason (kept apart: a large nest has tens of thousands of contours).
  std::unordered_map<int, std::string> feedRefusals;  // the start holes drawn for it give no lead-in (FeedPointRefusal)
  std::unordered_map<int, std::string> autoRefusals;  // korvex placed no start hole for it (PlaceAutoStartHoles)
  std::vector<std::string> topRefusals;  // four-axis: the top contours given to no contour, and why
};
// The reason refusals holds for contour k, "" when none.
inline const std::string& KxReasonFor(const std::unordered_map<int, std::string>& refusals, int k) {
  static const std::string none;
  const auto it = refusals.find(k);
  return it == refusals.end() ? none : it->second;
}
