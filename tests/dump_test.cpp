// The element table dump: one block per record with the type's own lines, in
// the console's and the desktop's number formats.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "dxf/dxf.h"
#include "elements/elements.h"
#include "geometry/base.h"
#include "support/support.h"

namespace {

void DumpCore(int flavour, const TempDir& dir) {
  FreshCore(flavour);
  KxCopy(homepath, sizeof homepath, (dir.Path() + "/").c_str());
  gAktLayEntry = 2;
  KxCopy(fLL[0].Name, sizeof fLL[0].Name, "DXF_MAIN");
  KxCopy(fLL[1].Name, sizeof fLL[1].Name, "EDMX_1");
  ClearElements();
}

TEST(DumpFile, UnwritableFileIsReportedAndFullFieldsStayBounded) {
  ConsoleCapture out;
  TempDir dir;
  DumpCore(kxCONSOLE, dir);
  KxCopy(homepath, sizeof homepath, (dir.Path() + "/none/").c_str());
  SaveStructs("_elemblk.txt", "x");
  EXPECT_NE(out.Text().find(" -dump not written: '" + dir.Path() + "/none/_elemblk.txt' ("), std::string::npos);
  EXPECT_EQ(out.Text().find("-saved"), std::string::npos);

  // Records whose text fields fill their whole capacity are dumped cut, never beyond.
  KxCopy(homepath, sizeof homepath, (dir.Path() + "/").c_str());
  AddElement(etPNT, "p");
  memset(elds[0].kontur, 'K', sizeof elds[0].kontur);
  memset(elds[0].text, 'T', sizeof elds[0].text);
  SaveStructs("d.txt", "full");
  std::string d = ReadFile(dir.File("d.txt"));
  EXPECT_NE(d.find("(K:" + std::string(sizeof elds[0].kontur, 'K') + ")"), std::string::npos) << d;
  EXPECT_NE(d.find("text:'" + std::string(sizeof elds[0].text, 'T') + "' \n"), std::string::npos);
}

}  // namespace
