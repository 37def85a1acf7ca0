// The technology assignment: reference points from the feed-point holes, texts
// attached to the nearest circle's contour or left as directives, and the drawn
// contour names in remarks.
#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "config/config.h"
#include "contours/contours.h"
#include "elements/elements.h"
#include "geometry/base.h"
#include "support/support.h"
#include "support/table_rows.h"

namespace {

void Fresh() {
  FreshCore();
  SetDevSyntax("no-such-device.SYN");
  ClearElements();
  for (int i = 0; i < 7; ++i) AddElement(etDELETE, "reserved");
}

// A circle (r > 0) or a text record of contour k.
long Add(const char* k, float x, float y, float r, const char* text) {
  return AddRecord(r > 0 ? etCIR : etTEXT, k, x, y, x, y, text, r);
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
  Add("$K01", 10, 50, 0.5f, gtFeedPoint);
  Add("$K02", 20, 5, 0.5f, gtFeedPoint);
  gKonturCounter = 2;
  HolesAndTechno();
  EXPECT_EQ(std::vector<float>({ktechno.PltX, ktechno.PltY, ktechno.KonX, ktechno.KonY}),
            std::vector<float>({10, 5, 20, 5}));
  EXPECT_NE(cap.Text().find(" $K01:(F) r:0.50 "), std::string::npos) << cap.Text();

  // A used hole circle far right keeps the contour point's start x.
  Fresh();
  elds[Add("$K01", 1950, 7, 5, nullptr)].used = 1;
  gKonturCounter = 1;
  HolesAndTechno();
  EXPECT_FLOAT_EQ(ktechno.KonX, 1899.9f);
  EXPECT_FLOAT_EQ(ktechno.KonY, 7);
  EXPECT_NE(cap.Text().find("(C)"), std::string::npos);
}

TEST(AssignTexts, KeywordTextsGoToTheNearestCircle) {
  ConsoleCapture cap;
  Fresh();
  Add("$K01", 0, 0, 0.5f, gtFeedPoint);
  Add("$K02", 20, 0, 0.5f, gtFeedPoint);
  Add("$", 9, 0, 0.5f, nullptr);
  struct { float x, y; const char* text; const char* kontur; } texts[] = {
      {14, 1, "A=1.2", "$K02"}, {10, 0, "Q *tie", "$K01"}, {1, 1, "just words", "info"},
      {1, 1, "#DIRECTIVE G92_PIECES", ""}, {9000, 9000, "!NOSTOP", "info"}};
  long first = eldsCounter;
  for (const auto& t : texts) Add("", t.x, t.y, 0, t.text);
  gKonturCounter = 2;
  HolesAndTechno();
  for (const auto& t : texts) EXPECT_STREQ(elds[first + (&t - texts)].kontur, t.kontur) << t.text;
  EXPECT_FLOAT_EQ(elds[first + 1].len, 10);  // the tie goes to the first circle
  EXPECT_NE(cap.Text().find("etCIR no Konturname"), std::string::npos);
  // Every text was still free when the directives ran.
  EXPECT_EQ(ktechno.G92Mode, 1);
}

TEST(AssignNames, StarTextNamesTheContour) {
  ConsoleCapture cap;
  Fresh();
  EXPECT_EQ(NameOf("$K01"), " (NoName)");
  Add("$K01", 0, 0, 0, "A=1");
  Add("$K01", 0, 0, 0, "Q1_A *Stempel links");
  Add("$K02", 0, 0, 0, "*ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789");
  EXPECT_EQ(NameOf("$K01"), " (Stempel)");
  EXPECT_EQ(NameOf("$K02"), " (ABCDEFGHIJKLMNOPQRSTUVWXYZ012345)");
  GetKonturName("$K01", nullptr);
}
