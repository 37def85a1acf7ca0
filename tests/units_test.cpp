// Drawings in other units than millimetres: scaled as they are read, so that the
// grid radius, the tolerances and the program all keep their meaning in mm;
// DrawingUnits and --units override the header; doubtful declarations are
// warned about; a drawing without units stays as it always was.
#include <gtest/gtest.h>

#include <filesystem>

#include "support/dxf_text.h"
#include "support/runs.h"
#include "support/support.h"

namespace fs = std::filesystem;

namespace {

// A 4 x 3 plate with a 1/4" hole and a small start hole near its left side, in
// the drawing's own numbers; units: its $INSUNITS, "" for none.
std::string Plate(const std::string& version, const std::string& units, double side = 4) {
  DxfText d(version);
  if (!units.empty()) d.Header("$INSUNITS", 70, units);
  d.Line("DXF_MAIN", 0, 0, side, 0).Line("DXF_MAIN", side, 0, side, 3).Line("DXF_MAIN", side, 3, 0, 3)
      .Line("DXF_MAIN", 0, 3, 0, 0).Circle("DXF_MAIN", 2, 1.5, 0.125).Circle("DXF_MAIN", 0.1, 1.5, 0.02);
  return d.Str();
}

}  // namespace

TEST(DrawingUnits, AnInchDrawingIsCutAtItsSizeInMillimetres) {
  for (const char* version : {"AC1009", "AC1015"}) {
    SCOPED_TRACE(version);
    const Conversion inch = ConvertText(Plate(version, "1"));
    EXPECT_EQ(inch.status, 0) << inch.output;
    // 4" = 101.6 mm; the 6.35 mm hole is larger than the grid radius: a hole, cut as such.
    EXPECT_TRUE(Has(inch.program, "X101.600")) << inch.program;
    EXPECT_TRUE(Has(inch.page, ", with 1 HOLES")) << inch.page;
    EXPECT_TRUE(Has(inch.output, "korvex: 2 contours (1 hole), 0 without start hole")) << inch.output;
    EXPECT_TRUE(Has(inch.output, "; drawing in inches, scaled by 25.4; parts 101.6 x 76.2 mm\n")) << inch.output;
    EXPECT_TRUE(Has(inch.page, "UNITS: drawing in inches, scaled by 25.4; parts 101.6 x 76.2 mm")) << inch.page;

    // The same numbers in millimetres, declared or not: read as they always were, and nothing said.
    for (const char* units : {"", "4", "0"}) {
      const Conversion mm = ConvertText(Plate(version, units));
      EXPECT_FALSE(Has(mm.program, "X101.600"));
      EXPECT_FALSE(Has(mm.output + mm.page, "drawing in")) << units;
      EXPECT_TRUE(Has(mm.page, ", with 0 HOLES")) << units;
    }

    // The settings and the command line override the header; the reports name both.
    const Conversion asMm = ConvertText(Plate(version, "1"), "DrawingUnits: mm\n");
    EXPECT_FALSE(Has(asMm.program, "X101.600"));
    EXPECT_TRUE(Has(asMm.output, "; drawing in millimetres (DrawingUnits; it declares inches), scaled by 1; parts 4.0 x 3.0 mm"))
        << asMm.output;
    const Conversion cm = ConvertText(Plate(version, ""), "DrawingUnits: 'CM'\n");
    EXPECT_TRUE(Has(cm.output, "; drawing in centimetres (DrawingUnits), scaled by 10; parts 40.0 x 30.0 mm")) << cm.output;
    const Conversion bad = ConvertText(Plate(version, "1"), "DrawingUnits: furlong\n");
    EXPECT_TRUE(Has(bad.output, "DrawingUnits: 'furlong' is no unit (auto, mm, cm, m, inch, feet")) << bad.output;
    EXPECT_TRUE(Has(bad.program, "X101.600"));
  }
}

TEST(DrawingUnits, ImplausibleSizesAreWarnedAboutAndTheCommandLineDecides) {
  // A 246 mm sheet whose header says metres: the units are kept, the warning names the way out.
  const Conversion metres = ConvertText(Plate("AC1015", "6", 246));
  EXPECT_TRUE(Has(metres.output, "korvex: warning: the parts measure 246000.0 x 3000.0 mm in metres, more than a machine's "
                                 "table takes - if the drawing is in millimetres, convert it with --units mm"))
      << metres.output;
  EXPECT_TRUE(Has(metres.page, "NOTE - the parts measure 246000.0 x 3000.0 mm in metres"));
  // Microns make a part no wire can cut.
  EXPECT_TRUE(Has(ConvertText(Plate("AC1015", "13", 40)).output, "less than a wire can cut"));

  TempDir dir;
  WriteFile(dir.File("part.dxf"), Plate("AC1015", "6", 246));
  ProgramFolder home;
  fs::copy(SourceDir() + "/devices", home.File("devices"), fs::copy_options::recursive);
  WriteFile(home.File("korvex.ini"), "LayerName: 'DXF_MAIN'\nOpenDataFile: 0\nDrawingUnits: inch\n");
  const ProcessResult asMm = RunProcess({home.Binary(), "--units", "mm", dir.File("part.dxf")}, home.Path());
  EXPECT_EQ(asMm.status, 0) << asMm.output;
  EXPECT_TRUE(Has(asMm.output, "drawing in millimetres (--units; it declares metres), scaled by 1; parts 246.0 x 3.0 mm"))
      << asMm.output;
  EXPECT_FALSE(Has(asMm.output, "warning"));
  const ProcessResult asAuto = RunProcess({home.Binary(), "--units=auto", dir.File("part.dxf")}, home.Path());
  EXPECT_TRUE(Has(asAuto.output, "drawing in metres, scaled by 1000")) << asAuto.output;
  const ProcessResult wrong = RunProcess({home.Binary(), "--units", "parsec", dir.File("part.dxf")}, home.Path());
  EXPECT_EQ(wrong.status, 6);
  EXPECT_TRUE(Has(wrong.output, "korvex: --units 'parsec' is no unit (auto, mm, cm, m, inch, feet")) << wrong.output;
}
