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
  for (float typed : {0.005f, NAN, INFINITY}) {   // values that are no number are refused
    GuiBridge(kxSET_TOLERANCE, nullptr, &typed, nullptr);
    EXPECT_FLOAT_EQ(gNpTolerance, 0.005f);
    EXPECT_FLOAT_EQ(fPlusTol, 0.005f);     // the chaining's band follows the typed tolerance
    EXPECT_FLOAT_EQ(fMinusTol, -0.005f);
  }
  GuiBridge(kxSET_TOLERANCE, nullptr, nullptr, nullptr);   // no place for the value: nothing happens
  EXPECT_FLOAT_EQ(gNpTolerance, 0.005f);
  char longExt[] = ".longextension";
  GuiBridge(kxSET_EXTENSION, longExt, nullptr, nullptr);
  char ch[400] = "";
  GuiBridge(kxASK_EXTENSION, ch, nullptr, nullptr);
  EXPECT_STREQ(ch, ".longex");   // cut to seven characters
}

TEST(Bridge, VersionLineGoesToTheStreamOrTheConsole) {
  for (auto [flavour, line] :
       {std::pair{kxCONSOLE, "\n Version: korvex_081024 \n"}, {kxDESKTOP, "\n Version: korvex_081112 \n"}}) {
    FreshCore(flavour);
    ConsoleCapture out;
    ContactInfo(nullptr);
    TempDir dir;
    FILE* f = fopen(dir.File("v.txt").c_str(), "w");
    ASSERT_NE(f, nullptr);
    ContactInfo(f);
    fclose(f);
    EXPECT_EQ(ReadFile(dir.File("v.txt")), line);
    EXPECT_EQ(out.Text(), line);
  }
}
