// The front-end bridge: every numbered request with and without its place,
// the band that follows the tolerance, and the version line.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "config/config.h"
#include "geometry/base.h"
#include "support/support.h"

namespace {

TEST(BridgeRequests, ReadRequestsFillThePlaceOrSayItIsMissing) {
  FreshCore(kxDESKTOP);
  ConsoleCapture out;
  KxCopy(homepath, sizeof homepath, "/opt/korvex/");
  KxCopy(ini_filename, sizeof ini_filename, "devices/korvex.ini");
  gMaxAnkerLen = 4.5f, gStartPosition = 2.605f, gNpTolerance = 0.002f;
  ktechno.G92Mode = 1, ktechno.dHole = -0.01f;
  KxCopy(mS.Extension, sizeof mS.Extension, ".ISO");
  char ch[400] = "";
  float fl = -1;
  long lg = -1;
  for (auto [ask, want] : {std::pair{9, "/opt/korvex/devices/korvex.ini"}, {70, ".ISO"}}) {
    GuiBridge(ask, ch, nullptr, nullptr);
    EXPECT_STREQ(ch, want);
  }
  GuiBridge(50, nullptr, nullptr, &lg);
  EXPECT_EQ(lg, 1);
  for (auto [ask, want] : {std::pair{41, 4.5f}, {42, 2.605f}, {43, 0.002f}, {51, -0.01f}}) {
    GuiBridge(ask, nullptr, &fl, nullptr);
    EXPECT_FLOAT_EQ(fl, want) << ask;
  }
  EXPECT_EQ(out.Text(), "");
  // Without their own place, and unknown requests, nothing is filled.
  for (int ask : {9, 70}) GuiBridge(ask, nullptr, &fl, &lg);
  for (int ask : {41, 42, 43, 51}) GuiBridge(ask, ch, nullptr, &lg);
  GuiBridge(50, ch, &fl, nullptr);
  GuiBridge(99, ch, &fl, &lg);
  EXPECT_EQ(out.Text(), "backCH==NULL\nbackCH==NULL\nbackFL==NULL\nbackFL==NULL\nbackFL==NULL\n"
                        "backFL==NULL\nbackLG==NULL\n");
  EXPECT_EQ(lg, 1);
}

TEST(BridgeRequests, SetRequestsChangeTheirGlobalAndPrintIt) {
  FreshCore(kxDESKTOP);
  ConsoleCapture out;
  float fl;
  long lg = 1;
  for (auto [ask, value] : {std::pair{141, 5.25f}, {142, 3.0f}, {143, 0.005f}, {151, -0.02f}}) {
    fl = value;
    GuiBridge(ask, nullptr, &fl, nullptr);
  }
  GuiBridge(150, nullptr, nullptr, &lg);
  char ext[] = ".nc", longExt[] = ".longextension";
  GuiBridge(170, ext, nullptr, nullptr);
  EXPECT_STREQ(mS.Extension, ".nc");
  GuiBridge(170, longExt, nullptr, nullptr);
  EXPECT_EQ(out.Text(), "gMaxAnkerLen=5.250\ngStartPosition=3.000\ngNpTolerance=0.005\nhOFF=-0.020\nG92M=1\n");

  // Without a place, or with a float that is no number, nothing changes.
  out.Clear();
  for (int ask : {141, 142, 143, 151}) GuiBridge(ask, ext, nullptr, &lg);
  GuiBridge(150, ext, &fl, nullptr);
  GuiBridge(170, nullptr, &fl, &lg);
  for (float bad : {NAN, INFINITY}) {
    fl = bad;
    GuiBridge(bad != bad ? 143 : 141, nullptr, &fl, nullptr);
  }
  EXPECT_EQ(out.Text(), "backFL==NULL\nbackFL==NULL\nbackFL==NULL\nbackFL==NULL\nbackLG==NULL\nbackCH==NULL\n"
                        "backFL not a number\nbackFL not a number\n");
  EXPECT_EQ(std::vector<float>({gMaxAnkerLen, gStartPosition, gNpTolerance, ktechno.dHole}),
            std::vector<float>({5.25f, 3, 0.005f, -0.02f}));
  EXPECT_FLOAT_EQ(fPlusTol, 0.005f);     // the chaining's band follows the typed tolerance
  EXPECT_FLOAT_EQ(fMinusTol, -0.005f);
  EXPECT_EQ(ktechno.G92Mode, 1);
  EXPECT_STREQ(mS.Extension, ".longex");  // cut to seven characters
}

TEST(BridgeVersion, LineGoesToTheStreamOrTheConsole) {
  for (int flavour : {kxCONSOLE, kxDESKTOP}) {
    FreshCore(flavour);
    ConsoleCapture out;
    std::string expected = flavour == kxCONSOLE ? "\n Version: korvex_081024 \n" : "\n Version: korvex_081112 \n";
    ContactInfo(nullptr);
    TempDir dir;
    FILE* f = fopen(dir.File("v.txt").c_str(), "w");
    ASSERT_NE(f, nullptr);
    ContactInfo(f);
    fclose(f);
    EXPECT_EQ(ReadFile(dir.File("v.txt")), expected);
    EXPECT_EQ(out.Text(), expected);
  }
}

}  // namespace
