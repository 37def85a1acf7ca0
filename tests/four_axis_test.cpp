// Four-axis drawings: the contours of the top layer given to the contours below
// them, the sync lines tying the two, and the wire angle MaxTaper bounds.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "support/dxf_text.h"
#include "support/runs.h"
#include "support/support.h"

namespace {

// A square opening 20 mm wide with its start hole; a round top above it.
DxfText die(const std::string& version, double topX, double topR) {
  DxfText d(version);
  d.Polyline("DXF_MAIN", {{20, 10}, {40, 10}, {40, 30}, {20, 30}}).Circle("DXF_MAIN", 22, 20, 0.5);
  d.Circle("DXF_MAIN_TOP", topX, 20, topR);
  return d;
}

}  // namespace

TEST(FourAxis, ATopContourBelongsToTheContourBelowIt) {
  for (const char* version : {"AC1009", "AC1015"}) {
    const Conversion plain = ConvertHere(die(version, 30, 9.5).Str(), "PartHeight: 40\nTopLayer: 'NO_SUCH_LAYER'");
    const Conversion r = ConvertHere(die(version, 30, 9.5).Str(), "PartHeight: 40");
    ASSERT_EQ(r.contours.size(), 2u) << version;
    EXPECT_EQ(r.contours[1].topLoop.size(), 1u) << version;
    // Corner (20, 10) goes with the circle's point at 225 degrees: 4.64 mm off over 40 mm.
    EXPECT_NEAR(r.contours[1].tilt, std::atan(std::hypot(10 - 9.5 / std::sqrt(2.0), 10 - 9.5 / std::sqrt(2.0)) / 40) * 180 / M_PI,
                0.01) << version;
    EXPECT_TRUE(Has(r.output, "korvex: warning: $K01 has a top contour (largest wire angle 6.62 degrees)")) << r.output;
    EXPECT_EQ(r.program, plain.program) << version;   // the moves are not written yet: the cut is the upright one
    EXPECT_TRUE(plain.contours[1].topLoop.empty());
  }
  // Beside every contour, or over two alike: refused, named by where it lies.
  const Conversion beside = ConvertHere(die("AC1009", 130, 9.5).Str(), "PartHeight: 40");
  EXPECT_TRUE(Has(beside.output, "warning: top contour at X130.000 Y20.000 lies over no contour of the main layer: not cut"))
      << beside.output;
  DxfText two("AC1015");
  two.Polyline("DXF_MAIN", {{0, 0}, {10, 0}, {10, 10}, {0, 10}}).Circle("DXF_MAIN", 2, 5, 0.5);
  two.Polyline("DXF_MAIN", {{20, 0}, {30, 0}, {30, 10}, {20, 10}}).Circle("DXF_MAIN", 22, 5, 0.5);
  two.Circle("DXF_MAIN_TOP", 15, 5, 7);
  const Conversion both = ConvertHere(two.Str(), "PartHeight: 40");
  EXPECT_TRUE(Has(both.output, "top contour at X15.000 Y5.000 lies over $K01 and $K02 alike: not cut")) << both.output;
  EXPECT_TRUE(both.contours[1].topLoop.empty() && both.contours[2].topLoop.empty());
}

TEST(FourAxis, SyncLinesAndThePartHeightSetTheWireAngle) {
  for (const char* version : {"AC1009", "AC1015"}) {
    // A sync line from the corner to the circle's left point twists the surface.
    DxfText d = die(version, 30, 9.5);
    d.Line("DXF_MAIN_SYNC", 20, 10, 20.5, 20);
    const Conversion twisted = ConvertHere(d.Str(), "PartHeight: 40");
    EXPECT_TRUE(Has(twisted.log, "$K01 with the top contour at X30.000 Y20.000, 1 sync lines, largest wire angle 14.05 degrees"))
        << twisted.log;
    EXPECT_TRUE(Has(twisted.output, "over $K01: the wire would lean 14.05 degrees, more than MaxTaper 10.50: not cut"))
        << twisted.output;
    EXPECT_TRUE(twisted.contours[1].topLoop.empty());
    const Conversion allowed = ConvertHere(d.Str(), "PartHeight: 40\nMaxTaper: 15");
    EXPECT_FALSE(allowed.contours[1].topLoop.empty()) << version;
  }
  const Conversion flat = ConvertHere(die("AC1009", 30, 9.5).Str());
  EXPECT_TRUE(Has(flat.output, "top contour at X30.000 Y20.000 over $K01: no part height (PartHeight): not cut")) << flat.output;
}
