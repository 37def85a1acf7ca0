// The preferences store: first start creates folder, file and the three typed
// attributes with their defaults; stored values read back exactly; a value of
// the wrong type or a folder that cannot be made leaves the defaults in hand.
#include <gtest/gtest.h>

#include <string>
#include <sys/xattr.h>

#include "gui_support.h"

namespace {

class PrefsTest : public GuiTest {
 protected:
  std::string File() { return SettingsFile(config.Path()); }
  std::string RawAttr(const char* name) {
    char buf[512];
    ssize_t n = getxattr(File().c_str(), (std::string("user.") + name).c_str(), buf, sizeof buf);
    return n < 0 ? std::string() : std::string(buf, (size_t)n);
  }
  void SetAttr(const char* name, const std::string& raw) {
    ASSERT_EQ(setxattr(File().c_str(), (std::string("user.") + name).c_str(), raw.data(), raw.size(), 0), 0);
  }
};

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
  EXPECT_EQ(ReadFile(File()), "Hello !\n");
  // Each value is its type code, most significant byte first, then the data.
  EXPECT_EQ(RawAttr("prefs_window_rect").substr(0, 4), "RECT");
  EXPECT_EQ(RawAttr("prefs_window_rect").size(), 20u);
  EXPECT_EQ(RawAttr("window_by_begin"), std::string("BOOL\0", 5));
  EXPECT_EQ(RawAttr("logo_fuji"), std::string("CSTR/boot/home/logoimage\0", 25));
  Prefs again;   // the second start finds everything in place
  EXPECT_FALSE(again.error);
  EXPECT_EQ(again.frame.right, 415);

  // Without XDG_CONFIG_HOME the settings folder is ~/.config.
  unsetenv("XDG_CONFIG_HOME");
  std::string home = getenv("HOME") ? getenv("HOME") : "";
  setenv("HOME", prog.Path().c_str(), 1);
  { Prefs byHome; }
  setenv("HOME", home.c_str(), 1);
  EXPECT_EQ(ReadFile(SettingsFile(prog.Path() + "/.config")), "Hello !\n");
}

TEST_F(PrefsTest, StoredValuesReadBackExactly) {
  {
    Prefs prefs;
    EXPECT_TRUE(prefs.PutStr("logo_fuji", "/x"));
    EXPECT_TRUE(prefs.PutBool("window_by_begin", true));
    prefs.frame = BRect(7, 8, 507, 378);
    EXPECT_TRUE(prefs.SaveWin());
  }
  Prefs prefs;
  EXPECT_STREQ(prefs.logoPath, "/x");
  EXPECT_TRUE(prefs.winByBegin);
  EXPECT_EQ(prefs.frame.left, 7);
  EXPECT_EQ(prefs.frame.bottom, 378);
  EXPECT_TRUE(prefs.Save());
}

TEST_F(PrefsTest, WrongTypeOrSizeIsAnErrorAndLeavesTheValue) {
  { Prefs prefs; }
  // A rectangle stored as a string: the first load fails, the values in hand are written once.
  const std::string bad = std::string("CSTRoops") + '\0';
  SetAttr("prefs_window_rect", bad);
  Prefs prefs;
  EXPECT_FALSE(prefs.error);
  EXPECT_EQ(prefs.frame.left, WIN_X);   // the constructor's frame, now stored

  SetAttr("prefs_window_rect", bad);
  BRect r(1, 2, 3, 4);
  EXPECT_FALSE(prefs.GetRect("prefs_window_rect", &r, BRect(9, 9, 9, 9)));
  EXPECT_TRUE(prefs.error);
  EXPECT_EQ(r.left, 1);
  EXPECT_EQ(r.bottom, 4);
  SetAttr("window_by_begin", "BOOL\1\1");
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
}

}  // namespace
