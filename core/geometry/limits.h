// The limits of a conversion in one place: the tables that grow with the drawing
// and the one bound on each that keeps memory in reach, the plausible size of a
// drawing, counts of cuts, registers and keywords, text lengths and the admissible
// taper, and the short codes a step prints when a record is wrong.
#pragma once

#include <cstdlib>
#include <memory>
#include <new>
#include <type_traits>
#include <vector>

// --- tables ---
// The tables grow as the drawing needs; these bounds only keep a runaway drawing
// (an array of a billion inserts) from taking all the memory of the machine.
inline constexpr long kMaxElementRecords = 50000000;   // records of the element table elds (about 160 bytes each with their marks)
inline constexpr int kMaxLayerEntries = 100000;        // entries of the layer list fLL (main, optional and positioning layers)

// A table indexed like an array that grows on the first touch of an index. Its
// records lie in chunks of 2^Bits that never move, so a reference into the table
// stays valid while records are appended behind it; a record never touched reads
// as a value-initialised T (zero for a plain record), as in a static array. A
// negative or absurd index (beyond 2^31) gets a fresh spare record instead of memory.
template <class T, int Bits = 12>
class KxGrowingTable {
 public:
  T& operator[](long i) {
    const unsigned long u = (unsigned long)i;
    if ((u >> Bits) < chunkCount_) return index_[u >> Bits][u & kMask];
    return grow(u);
  }
  // A read through a const table never grows it: an index not yet touched reads the
  // same value-initialised record a growing touch would make.
  const T& operator[](long i) const {
    const unsigned long u = (unsigned long)i;
    if ((u >> Bits) < chunkCount_) return index_[u >> Bits][u & kMask];
    return kUntouched;
  }
  void Clear() {   // frees every record: all read as zero again
    chunks_.clear();
    starts_.clear();
    index_ = nullptr;
    chunkCount_ = 0;
  }

 private:
  static constexpr unsigned long kChunk = 1UL << Bits, kMask = kChunk - 1;
  T& grow(unsigned long u) {
    if (u >= (1UL << 31)) {
      spare_ = T{};
      return spare_;
    }
    while (chunks_.size() <= (u >> Bits)) {
      chunks_.push_back(newChunk());
      starts_.push_back(chunks_.back().get());
    }
    index_ = starts_.data();
    chunkCount_ = starts_.size();
    return index_[u >> Bits][u & kMask];
  }
  // Plain records come from calloc: memory fresh from the system is zero already,
  // so a small drawing touches only the pages of the records it uses instead of
  // clearing the whole first chunk (most of the start-up of a small conversion).
  struct Release {
    void operator()(T* p) const {
      if constexpr (kPlain) std::free(p);
      else delete[] p;
    }
  };
  static constexpr bool kPlain = std::is_trivial_v<T>;
  static std::unique_ptr<T[], Release> newChunk() {
    if constexpr (kPlain) {
      T* p = static_cast<T*>(std::calloc(kChunk, sizeof(T)));
      if (!p) throw std::bad_alloc();
      return std::unique_ptr<T[], Release>(p);
    } else {
      return std::unique_ptr<T[], Release>(new T[kChunk]());
    }
  }
  // The lookup reads index_ and chunkCount_ only, which keeps it nearly as quick as a static array.
  std::vector<std::unique_ptr<T[], Release>> chunks_;   // owns the chunks
  std::vector<T*> starts_;                      // their starts, in order
  T** index_ = nullptr;
  unsigned long chunkCount_ = 0;
  T spare_{};
  static inline const T kUntouched{};
};

// --- plausibility of a drawing's numbers ---
// No part cut on a wire machine reaches a kilometre: a value beyond these is a
// damaged or misread drawing, and its entity is refused rather than cut.
inline constexpr double kMaxCoordinate = 1000000;   // mm: coordinates and radii, as drawn and as placed, in absolute value
inline constexpr double kMaxScale = 1000000;        // scale factors of an insert in absolute value (0 is no scale either)
// A drawing whose parts, scaled to millimetres by the units it declares, come out
// larger than a machine's table or smaller than a wire can cut is warned about:
// the declaration is more likely wrong than the drawing.
inline constexpr double kMaxPlausiblePart = 2000;   // mm: the larger side of the box around all parts
inline constexpr double kMinPlausiblePart = 0.1;    // mm: the same, at the least

// --- technology ---
inline constexpr int kCutCount = 4;              // cuts one contour can get (quality 1 to 4; more is corrected to 1)
inline constexpr int kTechEntries = kCutCount + 1;   // entries of eTD: the entry cut A and cuts 1 to 4
inline constexpr int kRegisterCount = 6;         // compensation registers 0 to 5 with their offsets (dROff); 0 and 1 are the hole's
inline constexpr int kFirstTextRegister = 2;     // lowest register a contour's "R=" may name
inline constexpr int kLastTextRegister = kRegisterCount - 1;   // highest register a contour's "R=" may name
inline constexpr float kMaxTaper = 10.5f;        // largest taper angle in degrees ("A="); a larger one is set to 0

// --- texts and files ---
inline constexpr int kTextLineSize = 255;        // a line of a drawing, settings, device or technology file: 254 characters
inline constexpr int kDeviceKeyCount = 41;       // keywords of a device syntax file ($Device ... $UpperArc)
inline constexpr int kShortDeviceName = 13;      // a device or technology file name up to this length lies in the devices folder; a longer one is a full path
inline constexpr unsigned long long kMaxStreamDrawing = 1ULL << 30;   // bytes read of a drawing that is no regular file (a pipe, a device): one holding more is refused
inline constexpr unsigned long long kMaxStreamProgram = kMaxStreamDrawing;   // bytes read of an NC program to check that is no regular file: one holding more is refused
inline constexpr size_t kMaxProgramLine = 16u << 20;   // characters of one line of an NC program to check; the rest of a longer line is not read (a fault)
// A program followed calls blocks and repeats them: these bound the work a
// hostile one (calls in a cycle, a block called a million times) can ask for.
inline constexpr int kMaxCallDepth = 16;          // calls nested deeper than this are a cycle and not followed
inline constexpr long kMaxFollowedSteps = 400000;  // steps followed of a program at least before it is given up as endless
inline constexpr long kFollowedPerStep = 64;      // and per step it has, for a long program
inline constexpr int kPipeWriterWaitMs = 5000;   // how long a named pipe given as a drawing or a program to check is waited for a writer before it is refused
inline constexpr int kCheckFaultsShown = 20;     // faults of one kind the check tells with their block; the rest of that kind is counted
inline constexpr long kMaxTraceLines = 1000;   // console traces of one kind printed per run where a kind comes once per pair of elements or contours; the rest is counted

// --- diagnostic codes ---
// A step that meets the element table at its bound (kMaxElementRecords, eldsMaximum)
// or a record it cannot use prints a short code on the console, reports nothing
// else and lets the run go on. The add that first meets the bound says so in one
// line on the console and in the log (table.maxElemBarrier = 1); the later ones are quiet.
//   "-Limit A-"     ePrintTypeToStream: type tag asked for while the element table is at its bound
//   "-Limit C-"     CheckStructs: the table is full, the structure check is skipped
//   "-Limit RS-"    ReorgStructs: the table is full, the reorganisation is skipped
//   "-Limit D-"     ProbeNwdOut: the table is full, no NC program is written
//   "-Limit E-"     two places print it when the table is full: SearchKontur (no contour is chained)
//                   and SearchStartPoints (no start point is searched); the console text tells them
//                   apart, since the start-point search prints "\n ...SearchStartPoints()\n" first
//   "-Limit Ho-"    SimpleHoleForElement: element index outside the table
//   "-Err HoT-"     SimpleHoleForElement: the element is not a circle
