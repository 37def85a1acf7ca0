// Opening a file for the user: the argument vector is built from the path as
// one argument, hostile names stay inert, and nothing starts without a display.
#include <gtest/gtest.h>

#include <string>

#include "report/report.h"
#include "support/support.h"

namespace {

TEST(ReportOpener, PlanHandsThePathOverAsOneArgumentOrRefuses) {
  KxOpenPlan plan;
  const char* hostile = "/tmp/a b;$(touch x)`id`|'q'\"&.htm";
  ASSERT_EQ(KxPlanOpen(hostile, ":0", nullptr, &plan), kxOPEN_SPAWNED);
  EXPECT_STREQ(plan.argv[0], "xdg-open");
  EXPECT_STREQ(plan.argv[1], hostile);
  EXPECT_EQ(plan.argv[2], nullptr);
  // A leading dash must never be taken for an option of the opener.
  ASSERT_EQ(KxPlanOpen("--help.htm", nullptr, "wayland-0", &plan), kxOPEN_SPAWNED);
  EXPECT_STREQ(plan.argv[1], "./--help.htm");

  std::string longPath(2000, 'a');
  const struct { const char* path; const char* display; const char* wayland; KxOpenPlan* plan; int result; } refused[] = {
      {"/tmp/p.htm", nullptr, nullptr, &plan, kxOPEN_NO_SESSION}, {"/tmp/p.htm", "", "", &plan, kxOPEN_NO_SESSION},
      {"", ":0", nullptr, &plan, kxOPEN_NO_PATH}, {nullptr, ":0", nullptr, &plan, kxOPEN_NO_PATH},
      {"/tmp/p.htm", ":0", nullptr, nullptr, kxOPEN_NO_PATH}, {longPath.c_str(), ":0", nullptr, &plan, kxOPEN_TOO_LONG}};
  for (const auto& r : refused) EXPECT_EQ(KxPlanOpen(r.path, r.display, r.wayland, r.plan), r.result) << &r - refused;
  EXPECT_STREQ(plan.argv[1], "");
}

std::string gHooked;
void hook(const char* path) { gHooked = path; }

TEST(ReportOpener, WithoutDisplayNothingStartsAndAHookReceivesTheRequest) {
  FreshCore();   // no display
  ConsoleCapture out;
  TempDir dir;
  std::string marker = dir.File("ran");
  std::string hostile = dir.File("x;touch " + marker + ".htm");
  WriteFile(hostile, "<html></html>");
  EXPECT_EQ(KxOpenForUser(hostile.c_str()), kxOPEN_NO_SESSION);
  EXPECT_EQ(out.Text(), " -not opened (no graphical session): '" + hostile + "'\n");
  EXPECT_FALSE(FileExists(marker));

  gOpenHook = hook;
  EXPECT_EQ(KxOpenForUser("/a/b.txt"), kxOPEN_HOOKED);
  EXPECT_EQ(gHooked, "/a/b.txt");
  gOpenHook = nullptr;
}

}  // namespace
