// Installing into a prefix: the program folder lib/korvex/ with its settings
// file and devices, the links in bin/, the desktop entry and the icon.
#include <gtest/gtest.h>

#include <filesystem>
#include <unistd.h>

#include "support/support.h"

namespace fs = std::filesystem;

namespace {

std::string which(const std::string& program) {
  for (const char* dir : {"/usr/bin", "/usr/local/bin", "/bin"}) {
    std::string p = std::string(dir) + "/" + program;
    if (access(p.c_str(), X_OK) == 0) return p;
  }
  return "";
}

}  // namespace

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
  EXPECT_TRUE(FileExists(p + "/lib/korvex/korvex.ini"));
  EXPECT_TRUE(FileExists(p + "/lib/korvex/devices/MAK_EE3.SYN"));
  EXPECT_TRUE(FileExists(p + "/lib/korvex/devices/DEFAULT.TCH"));

  if (gui) {
    const std::string entry = p + "/share/applications/korvex-gui.desktop";
    ASSERT_TRUE(FileExists(entry));
    EXPECT_NE(ReadFile(entry).find("MimeType=image/vnd.dxf;"), std::string::npos);
    EXPECT_NE(ReadFile(p + "/share/icons/hicolor/scalable/apps/korvex-gui.svg").find("<svg"), std::string::npos);
    const std::string validate = which("desktop-file-validate");
    if (!validate.empty()) {
      ProcessResult v = RunProcess({validate, entry}, p);
      EXPECT_EQ(v.status, 0) << v.output;
      EXPECT_EQ(v.output, "");
    }
  }

  ProcessResult version = RunProcess({p + "/bin/korvex", "--version"}, p);
  EXPECT_EQ(version.status, 0) << version.output;

  // Started through its link, korvex works in the program folder it was installed into.
  TempDir work;
  fs::copy_file(SourceDir() + "/examples/die_plate.dxf", work.File("die_plate.dxf"));
  ProcessResult run = RunProcess({p + "/bin/korvex", "die_plate.dxf"}, work.Path());
  EXPECT_EQ(run.status, 0) << run.output;
  EXPECT_TRUE(FileExists(p + "/lib/korvex/_results.htm"));
  EXPECT_TRUE(FileExists(p + "/lib/korvex/_outlog.txt"));
}
