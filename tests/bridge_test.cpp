// The front-end bridge: what the desktop's typed values do to the run (the
// chaining band follows the tolerance, values that are no number are refused,
// the extension is held to its field) and the version line.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "config/config.h"
#include "geometry/base.h"
#include "support/support.h"

TEST(Bridge, TypedValuesReachTheRunWithinTheirLimits) {
  FreshCore(kxDESKTOP);
  ConsoleCapture out;
  float fl = 0.005f;
  GuiBridge(143, nullptr, &fl, nullptr);
  EXPECT_FLOAT_EQ(gNpTolerance, 0.005f);
  EXPECT_FLOAT_EQ(fPlusTol, 0.005f);     // the chaining's band follows the typed tolerance
  EXPECT_FLOAT_EQ(fMinusTol, -0.005f);
  for (float bad : {NAN, INFINITY}) {
    fl = bad;
    GuiBridge(143, nullptr, &fl, nullptr);
    EXPECT_FLOAT_EQ(gNpTolerance, 0.005f);
  }
  GuiBridge(143, nullptr, nullptr, nullptr);   // no place for the value: nothing happens
  EXPECT_FLOAT_EQ(gNpTolerance, 0.005f);
  char longExt[] = ".longextension";
  GuiBridge(170, longExt, nullptr, nullptr);
  EXPECT_STREQ(mS.Extension, ".longex");  // cut to seven characters
  char ch[400] = "";
  GuiBridge(70, ch, nullptr, nullptr);
  EXPECT_STREQ(ch, ".longex");
}

TEST(Bridge, VersionLineGoesToTheStreamOrTheConsole) {
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
