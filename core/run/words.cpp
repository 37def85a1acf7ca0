// The words for a finished conversion, made from its result alone: the desktop's
// result text after Make and the batch's one line per drawing. The same
// statuses the console program ends with, said the same way everywhere.

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "run/run.h"
#include "report/report.h"

// "1 contour", "3 holes".
static std::string count(int n, const char* what) { return std::to_string(n) + " " + what + (n == 1 ? "" : "s"); }

const char* KxStatusName(int status) {
  switch (status) {
    case kxSTATUS_OK: return "converted";
    case kxSTATUS_USAGE: return "no drawing given";
    case kxSTATUS_NO_DRAWING: return "drawing not readable";
    case kxSTATUS_NO_LOG: return "log not writable";
    case kxSTATUS_NO_PROGRAM: return "NC program not written";
    case kxSTATUS_NOTHING_CUT: return "nothing to cut";
    case kxSTATUS_NO_DXF: return "not a .dxf file";
    case kxSTATUS_BAD_CONFIG: return "settings not usable";
    case kxSTATUS_FAULTS: return "program check found faults";
    default: return "not converted";
  }
}

bool KxResultSerious(const KxResult& r) {
  return r.status == kxSTATUS_NO_DRAWING || r.status == kxSTATUS_NO_PROGRAM || r.status == kxSTATUS_BAD_CONFIG;
}

// The status in words as the desktop says it after Make.
static std::string how(const KxResult& r) {
  switch (r.status) {
    case kxSTATUS_OK: return "done";
    case kxSTATUS_NO_DRAWING: return "the drawing could not be opened";
    case kxSTATUS_NO_PROGRAM: {
      std::string how = r.programOntoDrawing
                            ? "the NC program would be the drawing itself - not written, the drawing is left as it is"
                            : std::string("the NC program could not be written") +
                                  (r.programErrno ? std::string(" (") + strerror(r.programErrno) + ")" : "");
      // A folder the user may not write to (the examples of an installed korvex,
      // a CD): another folder is what helps.
      if (r.programErrno == EACCES || r.programErrno == EROFS)
        how += "\n- choose another folder for the outputs with Settings \u25b8 Output folder\u2026";
      return how;
    }
    // Which file, and why, as the console's summary says it.
    case kxSTATUS_BAD_CONFIG:
      return !r.refusal.empty() ? r.refusal : "a settings, device syntax or technology file could not be used";
    case kxSTATUS_NOTHING_CUT:
      return r.contours < 1 ? "nothing to cut: no contour found on the layer" : "nothing to cut: no contour has a start hole";
    default: return "not converted";
  }
}

std::string KxResultWords(const KxResult& r) {
  std::string words = count(r.contours, "contour") + ", " + count(r.holes, "hole") + ", " + count(r.missing, "start hole") +
                      " missing, " + count(r.open, "open contour");
  if (!r.machineTime.empty()) words += ", " + r.machineTime;
  if (!r.units.empty()) words += "; " + r.units;
  words += "\n";
  if (!r.unitsWarning.empty()) words += "warning: " + r.unitsWarning + "\n";
  if (r.toDrill > 0) {
    words += count(r.toDrill, "start hole") + " to drill:";
    char at[160];
    for (const KxDrillRow& d : r.drill) {
      snprintf(at, sizeof at, " %s at X%.3f Y%.3f \u00d8%.3f;", d.contour.c_str(), d.x, d.y, d.diameter);
      words += at;
    }
    words.pop_back();
    words += "\n";
  }
  words += (r.programWritten ? r.program : std::string("no NC program written")) + "\nstatus " + std::to_string(r.status) +
           ": " + how(r);
  return words;
}

std::string KxResultLine(const KxResult& r) {
  std::string line = r.drawing + ": status " + std::to_string(r.status) + " (" + KxStatusName(r.status) + ")";
  if (!r.failure.empty()) return line + " - " + r.failure;
  if (r.status == kxSTATUS_BAD_CONFIG) return line + " - " + r.refusal;
  line += ", " + count(r.contours, "contour");
  if (r.toDrill > 0) line += ", " + std::to_string(r.toDrill) + " start hole" + (r.toDrill == 1 ? "" : "s") + " to drill";
  if (r.missing > 0) line += ", " + std::to_string(r.missing) + " without start hole";
  if (!r.machineTime.empty()) line += ", " + r.machineTime;
  return line + (r.programWritten ? " -> " + r.program : std::string(" - no NC program written"));
}
