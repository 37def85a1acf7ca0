// The entity pass passes the head of an entity on a layer it does not read
// without reading it line by line. What it then reads must be what the line by
// line reading gave: block definitions keep their layer-0 entities, an insert on
// a layer not read still places its block's main-layer geometry, and a main
// layer written with blanks around it is still read.
#include <gtest/gtest.h>

#include <string>

#include "dxf/dxf.h"
#include "elements/elements.h"
#include "support/dxf_passes.h"
#include "support/dxf_text.h"
#include "support/support.h"

namespace {

// A LINE on the main layer with blanks around the layer's name, in the layout's own head.
std::string PaddedMainLine(bool v2000) {
  std::string head = "  0\nLINE\n  5\nFFF\n";
  if (v2000) head += "330\n1F\n100\nAcDbEntity\n";
  head += "  8\n DXF_MAIN \n";
  if (v2000) head += "100\nAcDbLine\n";
  return head + " 10\n0.0\n 20\n50.0\n 11\n5.0\n 21\n50.0\n";
}

}  // namespace

TEST(DxfForeignHeads, EntitiesAfterARefusedOneReadAsBefore) {
  for (const char* version : {"AC1009", "AC1015"}) {
    for (bool crlf : {false, true}) {
      SCOPED_TRACE(std::string(version) + (crlf ? " crlf" : ""));
      DxfText d(version);
      d.Layer("DXF_MAIN").Layer("OTHER");
      // Each entity of interest follows one that is refused, so the search finds it.
      d.Block("SQ")
          .Line("OTHER", 0, 0, 1, 1)
          .Line("0", 0, 0, 10, 0)
          .Line("OTHER", 0, 0, 1, 1)
          .Circle("DXF_MAIN", 5, 5, 1)
          .EndBlock();
      d.StyleGroups(true).Line("OTHER", 0, 0, 1, 1).StyleGroups(false);
      d.Insert("DXF_MAIN", "SQ", 100, 0);  // the layer-0 line as the main layer's, and the circle
      d.Line("OTHER", 0, 0, 1, 1).Insert("OTHER", "SQ", 200, 0);  // only the circle
      d.Line("OTHER", 0, 0, 1, 1).Raw(PaddedMainLine(d.Is2000()));
      d.Line("OTHER", 0, 0, 1, 1).Line("DXF_MAIN", 0, 0, 5, 0);
      FreshCore();
      ConsoleCapture out;
      TempDir dir;
      ASSERT_TRUE(RunDxfText(dir.Path(), d.Str(crlf)));
      EXPECT_EQ(RecordsOfType(etLINE), 3);
      EXPECT_EQ(RecordsOfType(etCIR), 2);
    }
  }
}
