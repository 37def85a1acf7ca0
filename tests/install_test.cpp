// Installing into a prefix: the program folder lib/korvex/ with its settings
// file and devices, the links in bin/, the desktop entry and the icon.
#include <gtest/gtest.h>

#include <filesystem>
#include <unistd.h>

#include "support/support.h"

namespace fs = std::filesystem;

TEST(Install, PrefixGetsProgramFolderLinksAndDesktopEntry) {
  TempDir prefix;
  const std::string p = prefix.Path();
  ProcessResult inst = RunProcess({KORVEX_CMAKE, "--install", KORVEX_BUILD_DIR, "--prefix", p}, p);
  ASSERT_EQ(inst.status, 0) << inst.output;

  const bool gui = fs::exists(fs::path(KORVEX_BUILD_DIR) / "desktop" / "korvex-gui");
  std::vector<std::string> programs = {"korvex"};
  if (gui) programs.push_back("korvex-gui");
  for (const std::string& name : programs) {
    SCOPED_TRACE(name);
    EXPECT_EQ(access((p + "/lib/korvex/" + name).c_str(), X_OK), 0);
    fs::path link = p + "/bin/" + name;
    ASSERT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(fs::read_symlink(link), fs::path("../lib/korvex/" + name));   // relative: the prefix can move
    EXPECT_EQ(fs::canonical(link), fs::canonical(p + "/lib/korvex/" + name));
  }
  for (const char* file : {"korvex.ini", "devices/MAK_EE3.SYN", "devices/DEFAULT.TCH"})
    EXPECT_TRUE(FileExists(p + "/lib/korvex/" + file)) << file;

  if (gui) {
    const std::string entry = p + "/share/applications/korvex-gui.desktop";
    ASSERT_TRUE(FileExists(entry));
    EXPECT_TRUE(Has(ReadFile(entry), "MimeType=image/vnd.dxf;"));
    EXPECT_TRUE(Has(ReadFile(p + "/share/icons/hicolor/scalable/apps/korvex-gui.svg"), "<svg"));
  }

  // Started through its link, korvex works in the program folder it was installed into.
  TempDir work;
  fs::copy_file(SourceDir() + "/examples/die_plate.dxf", work.File("die_plate.dxf"));
  ProcessResult run = RunProcess({p + "/bin/korvex", "die_plate.dxf"}, work.Path());
  EXPECT_EQ(run.status, 0) << run.output;
  EXPECT_TRUE(FileExists(p + "/lib/korvex/_results.htm"));
  EXPECT_TRUE(FileExists(p + "/lib/korvex/_outlog.txt"));
}
