// The technology assignment: reference points from the feed-point holes, texts
// attached to the nearest circle's contour or left as directives, and the drawn
// contour names in remarks.
#include <gtest/gtest.h>

#include <cstdlib>

#include "config/config.h"
#include "contours/contours.h"
#include "elements/elements.h"
#include "geometry/base.h"
#include "support/support.h"

namespace {

void Fresh() {
  FreshCore();
  SetDevSyntax("no-such-device.SYN");
  ClearElements();
  for (int i = 0; i < 7; ++i) AddElement(etDELETE, "reserved");
}

long Circle(const char* k, float x, float y, float r, const char* text = nullptr) {
  cx = x; cy = y; sx = x; sy = y; rd = r;
  AddElement(etCIR, text);
  long i = eldsCounter - 1;
  KxCopy(elds[i].kontur, sizeof elds[i].kontur, k);
  return i;
}

long Text(const char* k, float x, float y, const char* text) {
  sx = x; sy = y;
  AddElement(etTEXT, text);
  long i = eldsCounter - 1;
  KxCopy(elds[i].kontur, sizeof elds[i].kontur, k);
  return i;
}

std::string NameOf(const char* kn) {
  char* buf = nullptr;
  size_t n = 0;
  FILE* f = open_memstream(&buf, &n);
  GetKonturName(kn, f);
  fclose(f);
  std::string s(buf, n);
  free(buf);
  return s;
}

}  // namespace

TEST(AssignHoles, ReferencePointsFromTheContoursHoles) {
  ConsoleCapture cap;
  Fresh();
  HolesAndTechno();
  EXPECT_FLOAT_EQ(ktechno.PltX, 2899.9f);
  EXPECT_FLOAT_EQ(ktechno.KonY, 2999.9f);

  Fresh();
  Circle("$K01", 10, 50, 0.5f, gtFeedPoint);
  Circle("$K02", 20, 5, 0.5f, gtFeedPoint);
  gKonturCounter = 2;
  HolesAndTechno();
  EXPECT_FLOAT_EQ(ktechno.PltX, 10);
  EXPECT_FLOAT_EQ(ktechno.PltY, 5);
  EXPECT_FLOAT_EQ(ktechno.KonX, 20);
  EXPECT_FLOAT_EQ(ktechno.KonY, 5);
  EXPECT_NE(cap.Text().find(" $K01:(F) r:0.50 "), std::string::npos) << cap.Text();

  // A used hole circle far right keeps the contour point's start x.
  Fresh();
  long c = Circle("$K01", 1950, 7, 5);
  elds[c].used = 1;
  gKonturCounter = 1;
  HolesAndTechno();
  EXPECT_FLOAT_EQ(ktechno.KonX, 1899.9f);
  EXPECT_FLOAT_EQ(ktechno.KonY, 7);
  EXPECT_NE(cap.Text().find("(C)"), std::string::npos);
}

TEST(AssignTexts, KeywordTextsGoToTheNearestCircle) {
  ConsoleCapture cap;
  Fresh();
  Circle("$K01", 0, 0, 0.5f, gtFeedPoint);
  Circle("$K02", 20, 0, 0.5f, gtFeedPoint);
  Circle("$", 9, 0, 0.5f);
  long near2 = Text("", 14, 1, "A=1.2");
  long tie = Text("", 10, 0, "Q *tie");
  long plain = Text("", 1, 1, "just words");
  long dir = Text("", 1, 1, "#DIRECTIVE G92_PIECES");
  long far = Text("", 9000, 9000, "!NOSTOP");
  gKonturCounter = 2;
  HolesAndTechno();
  EXPECT_STREQ(elds[near2].kontur, "$K02");
  EXPECT_STREQ(elds[tie].kontur, "$K01");
  EXPECT_FLOAT_EQ(elds[tie].len, 10);
  EXPECT_STREQ(elds[plain].kontur, "info");
  EXPECT_STREQ(elds[dir].kontur, "");
  EXPECT_STREQ(elds[far].kontur, "info");
  EXPECT_NE(cap.Text().find("etCIR no Konturname"), std::string::npos);
  // Every text was still free when the directives ran.
  EXPECT_EQ(ktechno.G92Mode, 1);
}

TEST(AssignNames, StarTextNamesTheContour) {
  ConsoleCapture cap;
  Fresh();
  EXPECT_EQ(NameOf("$K01"), " (NoName)");
  Text("$K01", 0, 0, "A=1");
  Text("$K01", 0, 0, "Q1_A *Stempel links");
  Text("$K02", 0, 0, "*ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789");
  EXPECT_EQ(NameOf("$K01"), " (Stempel)");
  EXPECT_EQ(NameOf("$K02"), " (ABCDEFGHIJKLMNOPQRSTUVWXYZ012345)");
  GetKonturName("$K01", nullptr);
}
