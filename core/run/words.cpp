// The words for a finished conversion, made from its result alone: the desktop's
// result text after Make, the batch's one line per drawing and the console's
// closing line. The same statuses and counts, said the same way everywhere.

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "run/run.h"
#include "report/report.h"

// "1 contour", "3 holes".
static std::string count(long n, const char* what) { return std::to_string(n) + " " + what + (n == 1 ? "" : "s"); }

// Phrases more than one of the texts say.
static const char* const kNoProgram = "no NC program written";
static std::string toDrill(const KxResult& r) { return count(r.toDrill, "start hole") + " to drill"; }
static std::string withoutHole(const KxResult& r) { return std::to_string(r.missing) + " without start hole"; }
static std::string unitsPart(const KxResult& r) { return r.units.empty() ? "" : "; " + r.units; }
static std::string timePart(const KxResult& r) { return r.machineTime.empty() ? "" : ", " + r.machineTime; }
static std::string refusedPart(const KxResult& r) {
  return std::to_string(r.refused) + (r.refused == 1 ? " entity" : " entities") + " refused (see log)";
}

// Why the NC program was not written; named gives its path with a blank before, or "".
static std::string notWritten(const KxResult& r, const std::string& named) {
  return "the NC program" + named +
         (r.programOntoDrawing ? " would be the drawing itself - not written, the drawing is left as it is"
                               : " could not be written");
}

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
      std::string how = notWritten(r, "");
      if (!r.programOntoDrawing && r.programErrno) how += std::string(" (") + strerror(r.programErrno) + ")";
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
  words += timePart(r) + unitsPart(r) + "\n";
  if (!r.unitsWarning.empty()) words += "warning: " + r.unitsWarning + "\n";
  if (r.toDrill > 0) {
    words += toDrill(r) + ":";
    char at[160];
    for (const KxDrillRow& d : r.drill) {
      snprintf(at, sizeof at, " %s at X%.3f Y%.3f \u00d8%.3f;", d.contour.c_str(), d.x, d.y, d.diameter);
      words += at;
    }
    words.pop_back();
    words += "\n";
  }
  words += (r.programWritten ? r.program : std::string(kNoProgram)) + "\nstatus " + std::to_string(r.status) +
           ": " + how(r);
  return words;
}

std::string KxResultLine(const KxResult& r) {
  std::string line = r.drawing + ": status " + std::to_string(r.status) + " (" + KxStatusName(r.status) + ")";
  if (!r.failure.empty()) return line + " - " + r.failure;
  if (r.status == kxSTATUS_BAD_CONFIG) return line + " - " + r.refusal;
  line += ", " + count(r.contours, "contour");
  if (r.toDrill > 0) line += ", " + toDrill(r);
  if (r.missing > 0) line += ", " + withoutHole(r);
  line += timePart(r);
  return line + (r.programWritten ? " -> " + r.program : std::string(" - ") + kNoProgram);
}

// Without contour: the layer read, where the drawing's geometry is instead (at most
// kLayersNamed layers named), what was refused and what is at the target.
static constexpr size_t kLayersNamed = 8;
static std::string noContourWords(const KxResult& r) {
  std::string words = "\nkorvex: no contour on layer '" + r.layer + "' - " + kNoProgram;
  if (r.geometry.empty()) {
    words += "; " + (!r.notADrawing.empty() ? r.notADrawing : std::string("the drawing holds no lines, arcs, circles or polylines"));
  } else {
    words += std::string("; geometry on layer") + (r.geometry.size() > 1 ? "s" : "");
    const size_t shown = r.geometry.size() < kLayersNamed ? r.geometry.size() : kLayersNamed;
    for (size_t i = 0; i < shown; ++i)
      words += std::string(i ? "," : "") + " '" + r.geometry[i].name + "' (" + count(r.geometry[i].entities, "element") + ")";
    if (r.geometry.size() > shown || r.moreGeometry) words += " and more";
  }
  if (r.refused > 0) words += "; " + refusedPart(r);
  if (!r.earlierProgram.empty()) words += "; " + r.earlierProgram + " is from an earlier run";
  return words + unitsPart(r) + "\n";
}

// Steps: a refused settings file or a drawing cut short end it at once; without
// contour, why; else the counts, the program or why it was not written, the check,
// notes on behaviour easily missed, machine time and units.
std::string KxSummaryWords(const KxResult& r) {
  if (r.status == kxSTATUS_BAD_CONFIG) return "\nkorvex: " + r.refusal + " - nothing converted\n";
  // A drawing cut short by the table's size must not read like one without contours.
  if (r.elementBound > 0)
    return "\nkorvex: the drawing holds more elements than korvex can take (" + std::to_string(r.elementBound) +
           "); nothing beyond was read - " + kNoProgram + "\n";
  if (r.contours < 1) return noContourWords(r);
  std::string words = "\nkorvex: " + count(r.contours, "contour") + " (" + count(r.holes, "hole") + "), " + withoutHole(r);
  if (r.toDrill > 0) words += ", " + toDrill(r);
  if (r.open > 0) words += ", " + std::to_string(r.open) + " open (not cut round)";
  if (r.withoutTech > 0) words += ", " + std::to_string(r.withoutTech) + " without technology data";
  if (r.refused > 0) words += ", " + refusedPart(r);
  if (r.status == kxSTATUS_NO_PROGRAM) words += " - " + notWritten(r, " " + r.program);
  else words += " -> " + r.program + (r.nothingCut ? " (nothing to cut)" : "");
  if (r.checkFaults >= 0)
    words += ", program checked: " + count(r.checkFaults, "fault") + (r.checkFaults > 0 ? " (see above and _check.htm)" : "");
  else if (r.checkAsked && r.status != kxSTATUS_NO_PROGRAM) words += ", program not checked: it cannot be read";
  // Behaviour that is meant, but easily missed when reading the program.
  if (r.insetTechIgnored > 0)
    words += "; note: " + count(r.insetTechIgnored, "inset contour") + " cut with the parent's cuts, not with " +
             (r.insetTechIgnored == 1 ? "its" : "their") + " own technology";
  if (r.piecesUncalled > 0)
    words += "; note: piece mode - the main program calls the last piece only, " + count(r.piecesUncalled, "piece") +
             " to call by hand";
  // Machine time is only known of a program written (none in the result otherwise).
  return words + timePart(r) + unitsPart(r) + "\n";
}
