// The machine time of a program (every cut over its feed, the threadings, the
// positioning moves) on the page, in the log and in the summary, and the
// page's picture of a drawing too crowded to label every contour.
#include <gtest/gtest.h>

#include <cmath>
#include <regex>
#include <string>
#include <vector>

#include "support/dxf_text.h"
#include "support/runs.h"
#include "support/support.h"

namespace {

// The "cuts time" cell of a contour's row in the page's table.
std::string cutsTime(const std::string& page, const std::string& contour) {
  const size_t row = page.find("<tr><td>" + contour + "</td>");
  if (row == std::string::npos) return "(no row)";
  size_t at = row;
  for (int cell = 0; cell < 8; ++cell) at = page.find("<td>", at) + 4;
  return page.substr(at, page.find("</td>", at) - at);
}

std::string minutes(double m) {
  char buf[32];
  snprintf(buf, sizeof buf, "%.1f min", m);
  return buf;
}

std::string duration(double m) {
  const long r = std::lround(m);
  return r < 60 ? "about " + std::to_string(r) + " min"
                : "about " + std::to_string(r / 60) + " h " + std::to_string(r % 60) + " min";
}

}  // namespace

// The die plate's figures worked out by hand from die_plate.NC and DEFAULT.TCH: Q2_ST20 cuts
// every contour twice, at 3.4 mm/min and then 6.0 mm/min; each cut runs lead-in, loop and lead-out.
TEST(MachineTime, DiePlateTimesAreTheHandComputedOnes) {
  const double perMm = 1 / 3.4 + 1 / 6.0;   // minutes per mm of one contour's two cuts
  const double quarter = M_PI * 5 / 2;      // a corner arc of radius 5
  const double k01 = 3 + 35 + 110 + 70 + 110 + 28 + 7 + 3 + 4 * quarter;   // plate profile from (3, 40)
  const double k02 = 3 + 10 + 20 + 20 + 20 + 8 + 2 + 3;                     // punch A
  const double k03 = 3 + 10 + 20 + 8 + 2 + 3 + 2 * (M_PI * 6);              // slot B, two half circles of radius 6
  const double k04 = 3 + 10 + 8 + 2 + 3 + 2 * std::sqrt(10.0 * 10 + 20 * 20);   // punch C
  const double hole = 4 + 370.0 / 360 * 2 * M_PI * 4 + 4;                  // radius in, 370 degrees round, radius out
  // Positioning, once per pass through N11 (twice) and into and out of N10.
  const double pass = 3 * std::sqrt(22.0 * 22 + 17 * 17) + std::sqrt(57.0 * 57 + 13 * 13) + std::sqrt(35.0 * 35 + 4 * 4) +
                      std::sqrt(92.0 * 92 + 17 * 17) + std::sqrt(75.0 * 75 + 42 * 42) + 80 +
                      std::sqrt(100.0 * 100 + 65 * 65) + std::sqrt(3.0 * 3 + 40 * 40);
  const double rapid = 2 * pass + 2 * 17;

  const Conversion r = ConvertFile(SourceDir() + "/examples/die_plate.dxf", "DXF_MAIN");
  EXPECT_EQ(cutsTime(r.page, "$K01"), minutes(k01 * perMm));
  EXPECT_EQ(cutsTime(r.page, "$K02"), minutes(k02 * perMm));
  EXPECT_EQ(cutsTime(r.page, "$K03"), minutes(k03 * perMm));
  EXPECT_EQ(cutsTime(r.page, "$K04"), minutes(k04 * perMm));
  EXPECT_EQ(cutsTime(r.page, "$K05"), minutes(hole * perMm));
  EXPECT_EQ(cutsTime(r.page, "$K06"), minutes(hole * perMm));
  const double total = (k01 + k02 + k03 + k04 + 2 * hole) * perMm + 12 * 1.0 + rapid / 2000;
  ASSERT_EQ(duration(total), "about 5 h 38 min");
  EXPECT_TRUE(Has(r.page, "<p class='kxtime'>machine time about 5 h 38 min for 6 contours, 12 cuts, 12 threadings</p>"));
  EXPECT_TRUE(Has(r.output, "/_nwd_out.NC, about 5 h 38 min\n")) << r.output;
  EXPECT_TRUE(Has(r.log, " $K01 N12 cut 1: 397.416 mm / 3.4 mm/min = 116.9 min, threaded\n")) << r.log;
  EXPECT_TRUE(Has(r.log, " $K01 N12 cut 2: 397.416 mm / 6.0 mm/min = 66.2 min, threaded\n"));
  EXPECT_TRUE(Has(r.log, " positioning: 1225.996 mm / 2000 mm/min = 0.6 min\n"));
  // In plate mode taper and register carry over; the page says from which contour.
  EXPECT_TRUE(Has(r.page, "<td>1.500\u00b0 (from $K03) / +0.123 D#4 (from $K02)</td></tr>"));

  // The settings' threading time, rapid speed and wire speed.
  const Conversion s = ConvertFile(SourceDir() + "/examples/die_plate.dxf", "DXF_MAIN",
                                   "ThreadingTime: 2.5\nRapidFeed: 1000\nWireSpeed: 8\n");
  const double cutting = (k01 + k02 + k03 + k04 + 2 * hole) * perMm;
  const std::string wire = std::to_string(std::lround(cutting * 8));
  EXPECT_TRUE(Has(s.page, "machine time " + duration(cutting + 12 * 2.5 + rapid / 1000) +
                              " for 6 contours, 12 cuts, 12 threadings, about " + wire + " m of wire</p>"))
      << s.page;
}

// A contour without technology data gets no time and is named; the total leaves it out, and
// without any time the summary says none.
TEST(MachineTime, ContoursWithoutTechnologyAreNamedAndLeftOut) {
  DxfText d;
  auto square = [&d](double x, const char* text) {
    d.Line("DXF_MAIN", x, 0, x + 20, 0).Line("DXF_MAIN", x + 20, 0, x + 20, 20);
    d.Line("DXF_MAIN", x + 20, 20, x, 20).Line("DXF_MAIN", x, 20, x, 0).Circle("DXF_MAIN", x + 10, 3, 0.5);
    if (text) d.Text("DXF_MAIN", x + 10, 3, text);
  };
  square(0, nullptr);
  const Conversion none = ConvertText(d.Str());
  EXPECT_TRUE(Has(none.page, "<td>no technology data</td>"));
  EXPECT_TRUE(Has(none.page, "<p class='kxtime'>machine time not known - no technology data: $K01</p>"));
  EXPECT_TRUE(Has(none.log, " $K01 N10 cut 1: 86.000 mm, no technology data, threaded\n")) << none.log;
  EXPECT_TRUE(Has(none.output, "/_nwd_out.NC\n"));

  // The first square has none, the second one cut at 3.8 mm/min (Q1_ST20_S): 3 + 80 + 3 mm.
  square(40, "Q1_ST20_S");
  const Conversion part = ConvertText(d.Str());
  EXPECT_TRUE(Has(part.page, "machine time " + duration(86 / 3.8 + 1) +
                                 " for 1 contour, 1 cut, 1 threading - left out, no technology data: $K01</p>"))
      << part.page;
}

// A plate of 500 small parts: the labels that fit stand apart, the others are left out, the
// table names every contour, and the legend has a row of its own below the drawing. A flat
// arc of a large radius extends the picture by its own sweep only.
TEST(MachineTime, PictureOfManyContoursKeepsItsLabelsApart) {
  DxfText d;
  for (int i = 0; i < 500; ++i) {
    const double x = (i % 25) * 9.0, y = (i / 25) * 9.0;
    d.Line("DXF_MAIN", x, y, x + 6, y).Line("DXF_MAIN", x + 6, y, x + 6, y + 6);
    d.Line("DXF_MAIN", x + 6, y + 6, x, y + 6).Line("DXF_MAIN", x, y + 6, x, y).Circle("DXF_MAIN", x + 3, y + 1.5, 0.4);
  }
  const Conversion r = ConvertText(d.Str());
  ASSERT_EQ(CountOf(r.page, "<tr><td>$K"), 500u);
  const size_t drawingEnd = r.page.find("</svg>");
  const size_t legend = r.page.find("<svg class='kxlegend'");
  ASSERT_NE(legend, std::string::npos);
  EXPECT_LT(drawingEnd, legend);
  EXPECT_FALSE(Has(r.page.substr(0, drawingEnd), "class='legend'"));

  const size_t labels = r.page.find("<g class='labels' font-size='");
  ASSERT_NE(labels, std::string::npos);
  const double fs = std::stod(r.page.substr(labels + 29));
  const std::string group = r.page.substr(labels, r.page.find("</g>", labels) - labels);
  struct Box { double x0, y0, x1, y1; };
  std::vector<Box> boxes;
  const std::regex text("<text x='([-0-9.]+)' y='([-0-9.]+)'[^>]*>([^<]*)</text>");
  for (std::sregex_iterator m(group.begin(), group.end(), text), end; m != end; ++m) {
    size_t letters = 0;
    for (unsigned char c : (*m)[3].str()) letters += (c & 0xC0) != 0x80;
    const double x = std::stod((*m)[1]), y = std::stod((*m)[2]);
    boxes.push_back({x, y - fs * 0.75, x + letters * fs * 0.55, y + fs * 0.2});   // the fonts' letters, a little wide
  }
  EXPECT_GT(boxes.size(), 20u);
  EXPECT_LT(CountOf(group, "\u00d7"), 500u);   // not every contour is labelled in full
  for (size_t i = 0; i < boxes.size(); ++i)
    for (size_t j = i + 1; j < boxes.size(); ++j)
      ASSERT_FALSE(boxes[i].x0 < boxes[j].x1 && boxes[j].x0 < boxes[i].x1 && boxes[i].y0 < boxes[j].y1 &&
                   boxes[j].y0 < boxes[i].y1)
          << "labels " << i << " and " << j << " overlap";

  // A line closed by an arc of radius 2000 that rises 0.6 mm: the picture stays about 100 mm wide.
  DxfText flat;
  const double r2 = std::sqrt(50.0 * 50 + 2000 * 2000), a = std::atan2(2000.0, 50.0) * 180 / M_PI;
  flat.Line("DXF_MAIN", 0, 0, 100, 0).Arc("DXF_MAIN", 50, -2000, r2, a, 180 - a).Circle("DXF_MAIN", 50, 0.2, 0.1);
  const Conversion f = ConvertText(flat.Str(), "AutoStartHoles: 1\n");
  const size_t box = f.page.find("viewBox='");
  ASSERT_NE(box, std::string::npos);
  double vx, vy, vw, vh;
  ASSERT_EQ(sscanf(f.page.c_str() + box, "viewBox='%lf %lf %lf %lf'", &vx, &vy, &vw, &vh), 4);
  EXPECT_LT(vw, 150);
}
