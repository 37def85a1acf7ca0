// What a run says of the units its drawing was read in: the unit, the scale to
// millimetres and the size of the parts it chained, and a warning when that size
// makes the drawing's declaration doubtful.
#include <cstdio>
#include <string>

#include "config/config.h"
#include "dxf/dxf.h"
#include "elements/elements.h"
#include "geometry/base.h"
#include "report/report.h"
#include "run/run.h"

// The chained contours; without any, every line, arc and circle read, so that a
// drawing whose units make it too small to chain is still measured.
static void measureParts(KxRun& run) {
  KxExtent parts, all;
  for (long i = 0; i < run.table.eldsCounter; ++i) {
    const elementdaten& e = run.table.elds[i];
    if (e.type != etLINE && e.type != etARC && e.type != etCIR) continue;
    all.AddElement(e);
    if (run.table.marks[i].kontur[0] == '$' && run.table.marks[i].kontur[1] == 'K') parts.AddElement(e);
  }
  const KxExtent& box = parts.Empty() ? all : parts;
  run.report.partsWidth = box.Empty() ? 0 : box.x1 - box.x0;
  run.report.partsHeight = box.Empty() ? 0 : box.y1 - box.y0;
  run.report.partsChained = !parts.Empty();
}

std::string KxUnitsText(KxRun& run) {
  if (!run.dxf.unitsRead) return "";
  std::string text = std::string("drawing in ") + run.dxf.unitsRead->name;
  char part[160];
  if (run.cfg.drawingUnits) {
    const KxUnit* declared = run.dxf.declaredUnits > 0 ? KxUnitByCode(run.dxf.declaredUnits) : nullptr;
    if (declared) snprintf(part, sizeof part, " (%s; it declares %s)", ConfigUnitsSource(run.cfg), declared->name);
    else if (run.dxf.declaredUnits > 0) snprintf(part, sizeof part, " (%s; it declares $INSUNITS %d)", ConfigUnitsSource(run.cfg), run.dxf.declaredUnits);
    else snprintf(part, sizeof part, " (%s)", ConfigUnitsSource(run.cfg));
    text += part;
  }
  snprintf(part, sizeof part, ", scaled by %g", run.dxf.UnitScale());
  text += part;
  if (run.report.partsWidth > 0 || run.report.partsHeight > 0) {
    snprintf(part, sizeof part, "; %s %.1f x %.1f mm", run.report.partsChained ? "parts" : "geometry", run.report.partsWidth,
             run.report.partsHeight);
    text += part;
  }
  return text;
}

std::string KxUnitsWarning(KxRun& run) {
  if (!run.dxf.unitsRead || run.dxf.UnitScale() == 1.0) return "";
  const double side = run.report.partsWidth > run.report.partsHeight ? run.report.partsWidth : run.report.partsHeight;
  if (side <= 0 || (side <= kMaxPlausiblePart && side >= kMinPlausiblePart)) return "";
  char text[320];
  snprintf(text, sizeof text,
           "the %s measure%s %.1f x %.1f mm in %s, %s - if the drawing is in millimetres, convert it with --units mm "
           "(or DrawingUnits: mm)",
           run.report.partsChained ? "parts" : "geometry", run.report.partsChained ? "" : "s", run.report.partsWidth, run.report.partsHeight, run.dxf.unitsRead->name,
           side > kMaxPlausiblePart ? "more than a machine's table takes" : "less than a wire can cut");
  return text;
}

void KxReportUnits(KxRun& run) {
  // Only a drawing read in other units is measured: nothing else tells its size.
  if (!run.dxf.unitsRead) return;
  measureParts(run);
  const std::string text = KxUnitsText(run);
  if (text.empty()) return;
  KxPrint(run, "\n %s\n", text.c_str());
  KxLog(run, " %s\n", text.c_str());
  const std::string warning = KxUnitsWarning(run);
  if (warning.empty()) return;
  KxSay(run, "\nkorvex: warning: %s\n", warning.c_str());
  KxLog(run, " warning: %s\n", warning.c_str());
}
