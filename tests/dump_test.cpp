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

elementdaten& Put(int type, const char* text, int layer, float x1, float y1, float x2, float y2, float ccx = 0,
                  float ccy = 0, float r = 0) {
  sx = x1; sy = y1; ex = x2; ey = y2; cx = ccx; cy = ccy; rd = r;
  gAktLayName = layer;
  AddElement(type, text);
  return elds[eldsCounter - 1];
}

TEST(DumpFile, RecordLinesPerTypeInBothFlavours) {
  for (int flavour : {kxCONSOLE, kxDESKTOP}) {
    ConsoleCapture out;
    TempDir dir;
    DumpCore(flavour, dir);
    Put(etDELETE, "feedbuf", 0, 0, 0, 0, 0);
    Put(etCPY, "arc copy", 0, 1, 2, 3, 4, 5, 6, 7).kElemX = 12;
    elementdaten& line = Put(etLINE, nullptr, 0, 1.25f, 2.5f, 10, 2.5f);
    KxCopy(line.kontur, sizeof line.kontur, "$K01");
    line.used = line.IsFirst = 1;
    line.len = 8.75f;
    Put(etCIR, nullptr, 1, 13, 10, 13, 10, 10, 10, 3).child = 2;
    Put(etTEXT, "Q2 *Ring", 7, 1, 1, 0, 0).type = 33;   // layer 7 names no layer of the list
    SaveStructs("_elemblk.txt", "nach ProbeNwdOut()");
    std::string d = ReadFile(dir.File("_elemblk.txt"));
    EXPECT_EQ(out.Text(), " -saved (_elemblk.txt)-\n");
    if (flavour == kxDESKTOP) {
      // Three decimals, and the centre follows the end point directly.
      EXPECT_NE(d.find("SP x:1.000 y:2.000 EP x:3.000 y:4.000CP x:5.000 y:6.000| Rad:7.000 \n"), std::string::npos) << d;
      EXPECT_NE(d.find("SP x:0.000 y:0.000 EP x:0.000 y:0.000CP x:0.000 y:0.000  \n"), std::string::npos);
      EXPECT_NE(d.find("SP x:1.250 y:2.500 EP x:10.000 y:2.500 LEN: 8.75000  text:'' \n"), std::string::npos);
      continue;
    }
    EXPECT_EQ(d,
              " Info: nach ProbeNwdOut() \n"
              "\n [0]  (T:DELETE) (K:)  IsFirst:0  used:0  (kElemX:   0)  LAY: 'DXF_MAIN' (0)\n"
              "SP x:0.00000 y:0.00000 EP x:0.00000 y:0.00000 CP x:0.00000 y:0.00000  \n LEN: 0.00000  text:'feedbuf' \n"
              "\n [1]  (T:aCOPY) (K:)  IsFirst:0  used:0 (orgElem:  12)  LAY: 'DXF_MAIN' (0)\n"
              "SP x:1.00000 y:2.00000 EP x:3.00000 y:4.00000 CP x:5.00000 y:6.000| Rad:7.00000 \n"
              " sw:0.000 ew:360.000 | bw:360.000 \n LEN: 0.00000  text:'arc copy' \n"
              "\n [2]  (T:LINE) (K:$K01)  IsFirst:1  used:1  (kElemX:   0)  LAY: 'DXF_MAIN' (0)\n"
              "SP x:1.25000 y:2.50000 EP x:10.00000 y:2.50000 LEN: 8.75000  text:'' \n"
              "\n [3]  (T:CIRC) (K:)  IsFirst:0  used:0  (kElemX:   0)  LAY: 'EDMX_1' (1)\n"
              "SP x:13.00000 y:10.00000 EP x:13.00000 y:10.00000 CP x:10.00000 y:10.000| Rad:3.00000 \n"
              " sw:0.000 ew:360.000 | bw:360.000 \n LEN: 0.00000 Child 2 |  text:'' \n"
              "\n [4]  (T:****) (K:)  IsFirst:0  used:0  (kElemX:   0)  LAY: '' (7)\n"
              "SP x:1.00000 y:1.00000 EP x:1.00000 y:1.00000 LEN: 0.00000  text:'Q2 *Ring' \n");
  }
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
