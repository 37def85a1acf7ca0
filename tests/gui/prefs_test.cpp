// The preferences store: first start creates folder, file and the three typed
// attributes with their defaults; stored values read back exactly; a value of
// the wrong type or a folder that cannot be made leaves the defaults in hand.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <sys/xattr.h>

#include "gui_support.h"

namespace {

class PrefsTest : public GuiTest {};

std::string RawAttr(const std::string& file, const char* name) {
  char buf[512];
  ssize_t n = getxattr(file.c_str(), (std::string("user.") + name).c_str(), buf, sizeof buf);
  return n < 0 ? std::string() : std::string(buf, (size_t)n);
}

TEST_F(PrefsTest, FirstStartWritesTheDefaultsAndReadsThemBack) {
  {
    Prefs prefs;
    EXPECT_FALSE(prefs.error);
    EXPECT_EQ(prefs.frame.left, 100);
    EXPECT_EQ(prefs.frame.top, 100);
    EXPECT_EQ(prefs.frame.right, 415);
    EXPECT_EQ(prefs.frame.bottom, 329);
    EXPECT_FALSE(prefs.winByBegin);
    EXPECT_STREQ(prefs.logoPath, "/boot/home/logoimage");
  }
  const std::string& t = out.Text();
  EXPECT_NE(t.find(">> musste machen: " + config.File("_LP_x-vnd.VL") + "\n"), std::string::npos);
  EXPECT_NE(t.find("[Path:" + SettingsFile(config) + "]\n[File not found]\n[File created]\n"), std::string::npos);
  EXPECT_NE(t.find("Prefs '" + SettingsFile(config) + "' \n"), std::string::npos);
  EXPECT_EQ(ReadFile(SettingsFile(config)), "Hello !\n");

  // Each value is its type code, most significant byte first, then the data.
  std::string rect = RawAttr(SettingsFile(config), "prefs_window_rect");
  ASSERT_EQ(rect.size(), 20u);
  EXPECT_EQ(rect.substr(0, 4), "RECT");
  float f[4];
  memcpy(f, rect.data() + 4, sizeof f);
  EXPECT_EQ(f[2], 415);
  EXPECT_EQ(RawAttr(SettingsFile(config), "window_by_begin"), std::string("BOOL\0", 5));
  EXPECT_EQ(RawAttr(SettingsFile(config), "logo_fuji"), std::string("CSTR/boot/home/logoimage\0", 25));

  // The second start finds everything in place.
  out.Clear();
  Prefs again;
  EXPECT_NE(out.Text().find(">> schon da: "), std::string::npos);
  EXPECT_NE(out.Text().find("[File found]\n"), std::string::npos);
  EXPECT_FALSE(again.error);
  EXPECT_EQ(again.frame.right, 415);
}

TEST_F(PrefsTest, StoredValuesReadBackExactly) {
  {
    Prefs prefs;
    EXPECT_TRUE(prefs.PutStr("logo_fuji", "/x"));
    EXPECT_TRUE(prefs.PutBool("window_by_begin", true));
    prefs.frame = BRect(7, 8, 507, 378);
    EXPECT_TRUE(prefs.SaveWin());
    int32 n = 0;
    EXPECT_TRUE(prefs.GetInt("some_count", &n, 42));   // missing: default written
    EXPECT_EQ(n, 42);
    EXPECT_TRUE(prefs.PutInt("some_count", -5));
    EXPECT_TRUE(prefs.GetInt("some_count", &n, 42));
    EXPECT_EQ(n, -5);
  }
  Prefs prefs;
  EXPECT_STREQ(prefs.logoPath, "/x");
  EXPECT_TRUE(prefs.winByBegin);
  EXPECT_EQ(prefs.frame.left, 7);
  EXPECT_EQ(prefs.frame.bottom, 378);
  out.Clear();
  EXPECT_TRUE(prefs.Save());
  EXPECT_EQ(out.Text(), "Prefs -Save ok\n");
}

TEST_F(PrefsTest, WrongTypeOrSizeIsAnErrorAndLeavesTheValue) {
  const std::string file = SettingsFile(config);
  { Prefs prefs; }
  // A rectangle stored as a string: the first load fails, the values in hand are written once.
  std::string bad = std::string("CSTR") + "oops" + '\0';
  ASSERT_EQ(setxattr(file.c_str(), "user.prefs_window_rect", bad.data(), bad.size(), 0), 0);
  out.Clear();
  Prefs prefs;
  EXPECT_NE(out.Text().find("Unknown error reading prefs_window_rect:\nAttribute holds another type\n"),
            std::string::npos);
  EXPECT_NE(out.Text().find("Prefs -Save ok\n"), std::string::npos);
  EXPECT_FALSE(prefs.error);
  EXPECT_EQ(prefs.frame.left, WIN_X);   // the constructor's frame, now stored

  ASSERT_EQ(setxattr(file.c_str(), "user.prefs_window_rect", bad.data(), bad.size(), 0), 0);
  out.Clear();
  BRect r(1, 2, 3, 4);
  EXPECT_FALSE(prefs.GetRect("prefs_window_rect", &r, BRect(9, 9, 9, 9)));
  EXPECT_TRUE(prefs.error);
  EXPECT_EQ(r.left, 1);
  EXPECT_EQ(r.bottom, 4);
  EXPECT_EQ(out.Text(), "Unknown error reading prefs_window_rect:\nAttribute holds another type\n");

  std::string wide = std::string("BOOL") + "\1\1";
  ASSERT_EQ(setxattr(file.c_str(), "user.window_by_begin", wide.data(), wide.size(), 0), 0);
  bool flag = false;
  EXPECT_FALSE(prefs.GetBool("window_by_begin", &flag, true));
  EXPECT_FALSE(flag);
}

TEST_F(PrefsTest, FolderThatCannotBeMadeLeavesTheDefaults) {
  // The settings "folder" is a plain file: nothing can be made below it.
  WriteFile(config.File("blocked"), "x");
  setenv("XDG_CONFIG_HOME", config.File("blocked").c_str(), 1);
  Prefs prefs;
  EXPECT_TRUE(prefs.error);
  EXPECT_EQ(prefs.frame.left, WIN_X);
  EXPECT_EQ(prefs.frame.right, WIN_X + WIN_W);
  EXPECT_TRUE(prefs.winByBegin);
  EXPECT_STREQ(prefs.logoPath, "/boot/home/logoimage");
  const std::string& t = out.Text();
  EXPECT_NE(t.find("[init error]\n"), std::string::npos);
  EXPECT_NE(t.find("Unknown error reading prefs_window_rect:\n"), std::string::npos);
  EXPECT_NE(t.find("Unknown error writing logo_fuji '/boot/home/logoimage' \n"), std::string::npos);
}

}  // namespace
