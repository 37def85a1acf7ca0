// The keys of the settings file korvex.ini in one table: the field each sets, how
// its value is read, its default and bounds, its line in the printed settings
// block and the desktop window's range for it. The reader, the defaults, the
// block and the window all take their keys from here.
#include <cfloat>
#include <cstring>

#include "config/config.h"
#include "run/run.h"

// A bound that takes any value above nothing: the smallest float there is.
static constexpr float kAboveZero = FLT_TRUE_MIN;

void ConfigToleranceBand(KxSettings& cfg) {
  cfg.fPlusTol = cfg.elementTolerance;
  cfg.fMinusTol = 0 - cfg.elementTolerance;
}

// In the order a line is read. A value outside what can be cut with keeps the
// default: a tolerance of nothing would split a curve forever, a hole of no width
// cannot be drilled, and a negative time or speed, or no rapid speed, says nothing.
static constexpr KxSettingKey kKeys[] = {
    {.key = "GridRadius", .kind = kxKEY_NUMBER, .at = [](KxSettings& c) -> KxSettingSlot { return &c.gridRadius; },
     .fallback = "2.605", .format = "%.3f", .line = "    gStartPosition: %s\n", .printAt = 2,
     .window = {kxASK_GRID_RADIUS, 0, 6.01f, "%.3f"}, .help = "radius up to which a circle is a start hole, mm"},
    {.key = "HoleOffset", .kind = kxKEY_NUMBER, .at = [](KxSettings& c) -> KxSettingSlot { return &c.ktechno.dHole; },
     .fallback = "-0.002", .format = "%.3f", .line = "        HoleOffset: %s\n", .printAt = 4,
     .window = {kxASK_HOLE_OFFSET, -0.03f, 0.03f, "%+.3f"}, .help = "offset of the wire for holes, mm"},
    {.key = "NextElemTol", .kind = kxKEY_NUMBER, .at = [](KxSettings& c) -> KxSettingSlot { return &c.elementTolerance; },
     .fallback = "0.002", .format = "%.3f", .line = "  NextElemToleranz: %s\n", .printAt = 1, .then = ConfigToleranceBand,
     .window = {kxASK_TOLERANCE, 0, 0.006f, "%.3f"}, .help = "how far end points may lie apart and still join, mm"},
    {.key = "AnchorLength", .kind = kxKEY_NUMBER, .at = [](KxSettings& c) -> KxSettingSlot { return &c.anchorLength; },
     .fallback = "4.5", .format = "%.3f", .line = "      gMaxAnkerLen: %s\n", .printAt = 3,
     .window = {kxASK_ANCHOR, 0, 6.01f, "%.3f"}, .help = "longest lead-in from a start hole to its contour, mm"},
    {.key = "OpenDataFile", .kind = kxKEY_WHOLE, .at = [](KxSettings& c) -> KxSettingSlot { return &c.OpenDataFile; },
     .fallback = "1", .line = "OpenDataFile: %s\n", .printAt = 10, .help = "1: show the NC program when done"},
    {.key = "AddDataInfo", .kind = kxKEY_WHOLE, .at = [](KxSettings& c) -> KxSettingSlot { return &c.dataInfo; },
     .fallback = "0", .line = "       AddDataInfo: %s\t", .printAt = 11, .help = "1: additional remarks (lengths, positions)"},
    {.key = "RemTextInfo", .kind = kxKEY_WHOLE, .at = [](KxSettings& c) -> KxSettingSlot { return &c.cancelTextInfo; },
     .fallback = "1", .line = " RemTextInfo: %s\n", .printAt = 12, .help = "0: a contour's texts become remarks; 1: left out"},
    {.key = "GlobTextInfo", .kind = kxKEY_WHOLE, .at = [](KxSettings& c) -> KxSettingSlot { return &c.globTextInfo; },
     .fallback = "0", .line = "   GlobaleTextInfo: %s\t", .printAt = 9, .help = "1: the directives and the drawing's name as remarks"},
    {.key = "G92Modus", .kind = kxKEY_MODE, .at = [](KxSettings& c) -> KxSettingSlot { return &c.ktechno.G92Mode; },
     .fallback = nullptr, .line = "          G92Modus: %s\n", .printAt = 7, .help = "0: one G92 reference for the plate; 1: one per piece"},
    {.key = "DevTarget", .kind = kxKEY_TEXT, .at = [](KxSettings& c) -> KxSettingSlot { return &c.devTarget; },
     .fallback = nullptr, .help = "device syntax file in the devices folder, or a path"},
    {.key = "LayerName", .kind = kxKEY_NAME, .at = [](KxSettings& c) -> KxSettingSlot { return KxName{c.edmLayer, sizeof c.edmLayer}; },
     .fallback = "'DXF_MAIN'", .line = "          edmLayer: %s\n", .printAt = 5, .help = "main layer whose contours are cut"},
    {.key = "LayerOptN", .kind = kxKEY_NAME, .at = [](KxSettings& c) -> KxSettingSlot { return KxName{c.optLayer, sizeof c.optLayer}; },
     .fallback = "'EDMX_'", .line = "          optLayer: %s\n", .printAt = 6, .help = "name prefix of further layers read as well"},
    {.key = "DataName", .kind = kxKEY_TEXT, .at = [](KxSettings& c) -> KxSettingSlot { return &c.data_filename; },
     .fallback = "'_nwd_out'", .line = "     data-filename: %s\n\n", .printAt = 8, .help = "NC program's name without extension; '*infile*': the drawing's"},
    {.key = "AutoStartHoles", .kind = kxKEY_SWITCH, .at = [](KxSettings& c) -> KxSettingSlot { return &c.autoStartHoles; },
     .fallback = "0", .line = "    AutoStartHoles: %s\n", .printAt = 13, .onlyChanged = true,
     .help = "every closed contour without a drawn start hole gets one; the result line and the statistics page list them to drill"},
    {.key = "CheckProgram", .kind = kxKEY_SWITCH, .at = [](KxSettings& c) -> KxSettingSlot { return &c.checkProgram; },
     .fallback = "0", .line = "      CheckProgram: %s\n", .printAt = 14, .onlyChanged = true,
     .help = "1: the NC program written is followed and checked against the drawing"},
    {.key = "CurveTolerance", .kind = kxKEY_NUMBER, .at = [](KxSettings& c) -> KxSettingSlot { return &c.curveTolerance; },
     .fallback = "0.001", .lowest = 0.00001f, .format = "%.4f", .line = "    CurveTolerance: %s\n", .printAt = 15,
     .onlyChanged = true, .help = "largest distance of the arcs for an ellipse or spline from the curve, mm"},
    {.key = "AutoHoleDiameter", .kind = kxKEY_NUMBER, .at = [](KxSettings& c) -> KxSettingSlot { return &c.autoHoleDiameter; },
     .fallback = "1.0", .lowest = kAboveZero, .format = "%.3f", .line = "  AutoHoleDiameter: %s\n", .printAt = 16,
     .onlyChanged = true, .help = "diameter of the start holes placed, mm (at most GridRadius)"},
    {.key = "ThreadingTime", .kind = kxKEY_NUMBER, .at = [](KxSettings& c) -> KxSettingSlot { return &c.threadingTime; },
     .fallback = "1.0", .lowest = 0, .format = "%.2f", .line = "     ThreadingTime: %s\n", .printAt = 17,
     .onlyChanged = true, .help = "minutes to thread the wire once, for the machine time"},
    {.key = "RapidFeed", .kind = kxKEY_NUMBER, .at = [](KxSettings& c) -> KxSettingSlot { return &c.rapidFeed; },
     .fallback = "2000", .lowest = kAboveZero, .format = "%.0f", .line = "         RapidFeed: %s\n", .printAt = 18,
     .onlyChanged = true, .help = "speed of the positioning moves, mm/min, for the machine time"},
    {.key = "WireSpeed", .kind = kxKEY_NUMBER, .at = [](KxSettings& c) -> KxSettingSlot { return &c.wireSpeed; },
     .fallback = "0", .lowest = 0, .format = "%.1f", .line = "         WireSpeed: %s\n", .printAt = 19,
     .onlyChanged = true, .help = "wire run off while cutting, m/min; 0: the wire used is not shown"},
    {.key = "DrawingUnits", .kind = kxKEY_UNITS, .at = [](KxSettings& c) -> KxSettingSlot { return &c.drawingUnits; },
     .fallback = "auto", .line = "      DrawingUnits: %s\n", .printAt = 20, .onlyChanged = true,
     .help = "unit every drawing is read in; auto: the one its header names"},
    {.key = "TopLayer", .kind = kxKEY_NAME, .at = [](KxSettings& c) -> KxSettingSlot { return KxName{c.topLayer, sizeof c.topLayer}; },
     .fallback = "''", .help = "layer of the top contours of four-axis cuts; '': the main layer's name and _TOP"},
    {.key = "SyncLayer", .kind = kxKEY_NAME, .at = [](KxSettings& c) -> KxSettingSlot { return KxName{c.syncLayer, sizeof c.syncLayer}; },
     .fallback = "''", .help = "layer of the lines joining points cut together; '': the main layer's name and _SYNC"},
    {.key = "PartHeight", .kind = kxKEY_NUMBER, .at = [](KxSettings& c) -> KxSettingSlot { return &c.partHeight; },
     .fallback = "0", .lowest = 0, .format = "%.3f", .line = "        PartHeight: %s\n", .printAt = 21, .onlyChanged = true,
     .help = "distance between bottom and top contour when no TH= text gives it, mm; 0: none"},
    {.key = "MaxTaper", .kind = kxKEY_NUMBER, .at = [](KxSettings& c) -> KxSettingSlot { return &c.maxTaper; },
     .fallback = "10.5", .lowest = 0, .format = "%.2f", .line = "          MaxTaper: %s\n", .printAt = 22, .onlyChanged = true,
     .help = "largest angle of the wire to the vertical in a four-axis cut, degrees"},
    {.key = "ChordTolerance", .kind = kxKEY_NUMBER, .at = [](KxSettings& c) -> KxSettingSlot { return &c.chordTolerance; },
     .fallback = "0.001", .lowest = 0.00001f, .format = "%.4f", .line = "    ChordTolerance: %s\n", .printAt = 23,
     .onlyChanged = true, .help = "largest distance of a four-axis cut's straight moves from both drawn contours, mm"},
};

std::span<const KxSettingKey> KxSettingKeys() { return kKeys; }

const KxSettingKey* KxSettingKeyNamed(const char* key) {
  for (const KxSettingKey& k : kKeys)
    if (strcmp(k.key, key) == 0) return &k;
  return nullptr;
}
