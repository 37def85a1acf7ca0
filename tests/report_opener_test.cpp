// Opening a file for the user: the argument vector is built from the path as
// one argument, hostile names stay inert, and nothing starts without a display.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "report/report.h"
#include "support/support.h"

namespace {

TEST(ReportOpener, PlanHandsThePathOverAsOneArgument) {
  KxOpenPlan plan;
  const char* hostile = "/tmp/a b;$(touch x)`id`|'q'\"&.htm";
  ASSERT_EQ(KxPlanOpen(hostile, ":0", nullptr, &plan), kxOPEN_SPAWNED);
  EXPECT_STREQ(plan.argv[0], "xdg-open");
  EXPECT_STREQ(plan.argv[1], hostile);
  EXPECT_EQ(plan.argv[2], nullptr);

  // A leading dash must never be taken for an option of the opener.
  ASSERT_EQ(KxPlanOpen("--help.htm", nullptr, "wayland-0", &plan), kxOPEN_SPAWNED);
  EXPECT_STREQ(plan.argv[1], "./--help.htm");
}

TEST(ReportOpener, PlanRefusesWithoutSessionPathOrRoom) {
  KxOpenPlan plan;
  EXPECT_EQ(KxPlanOpen("/tmp/p.htm", nullptr, nullptr, &plan), kxOPEN_NO_SESSION);
  EXPECT_EQ(KxPlanOpen("/tmp/p.htm", "", "", &plan), kxOPEN_NO_SESSION);
  EXPECT_EQ(KxPlanOpen("", ":0", nullptr, &plan), kxOPEN_NO_PATH);
  EXPECT_EQ(KxPlanOpen(nullptr, ":0", nullptr, &plan), kxOPEN_NO_PATH);
  std::string longPath(2000, 'a');
  EXPECT_EQ(KxPlanOpen(longPath.c_str(), ":0", nullptr, &plan), kxOPEN_TOO_LONG);
  EXPECT_STREQ(plan.argv[1], "");
  EXPECT_EQ(KxPlanOpen("/tmp/p.htm", ":0", nullptr, nullptr), kxOPEN_NO_PATH);
}

TEST(ReportOpener, WithoutDisplayNothingStartsAndOneLineSaysSo) {
  FreshCore();
  ConsoleCapture out;
  std::string display = getenv("DISPLAY") ? getenv("DISPLAY") : "";
  std::string wayland = getenv("WAYLAND_DISPLAY") ? getenv("WAYLAND_DISPLAY") : "";
  unsetenv("DISPLAY");
  unsetenv("WAYLAND_DISPLAY");
  TempDir dir;
  std::string marker = dir.File("ran");
  std::string hostile = dir.File("x;touch " + marker + ".htm");
  WriteFile(hostile, "<html></html>");
  EXPECT_EQ(KxOpenForUser(hostile.c_str()), kxOPEN_NO_SESSION);
  EXPECT_EQ(out.Text(), " -not opened (no graphical session): '" + hostile + "'\n");
  EXPECT_FALSE(FileExists(marker));
  if (!display.empty()) setenv("DISPLAY", display.c_str(), 1);
  if (!wayland.empty()) setenv("WAYLAND_DISPLAY", wayland.c_str(), 1);
}

std::string gHooked;
void hook(const char* path) { gHooked = path; }

TEST(ReportOpener, HookReceivesTheRequestInsteadOfTheDesktop) {
  gOpenHook = hook;
  EXPECT_EQ(KxOpenForUser("/a/b.txt"), kxOPEN_HOOKED);
  EXPECT_EQ(gHooked, "/a/b.txt");
  gOpenHook = nullptr;
}

}  // namespace
