// korvex installed below a prefix and run by a user who may write nothing there:
// the installed files, the settings search from the user's folder to the
// package's, the command-line options, and the man page.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <map>

#include "support/dxf_text.h"
#include "support/support.h"

namespace fs = std::filesystem;

namespace {

// Every file below a folder with its size and modification time.
std::map<std::string, std::pair<uintmax_t, fs::file_time_type>> Snapshot(const std::string& dir) {
  std::map<std::string, std::pair<uintmax_t, fs::file_time_type>> files;
  for (const auto& e : fs::recursive_directory_iterator(dir))
    files[e.path().string()] = {e.is_regular_file() ? e.file_size() : 0, e.last_write_time()};
  return files;
}

// An installed prefix and a user of it: as root the runs are made as nobody.
class Installed : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    // One of these tests puts settings into /etc/korvex/, which all of them would read: one at a time.
    const int lock = open("/tmp/korvex-installed-tests.lock", O_CREAT | O_RDWR | O_CLOEXEC, 0666);
    if (lock >= 0) flock(lock, LOCK_EX);   // held until the test's process ends
    prefix_ = new TempDir();
    ProcessResult inst = RunProcess({KORVEX_CMAKE, "--install", KORVEX_BUILD_DIR, "--prefix", prefix_->Path()}, "/");
    ASSERT_EQ(inst.status, 0) << inst.output;
    fs::permissions(prefix_->Path(), fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                         fs::perms::others_read | fs::perms::others_exec);
  }
  static void TearDownTestSuite() { delete prefix_; }

  void SetUp() override {
    for (const std::string& d : {home_.Path(), work_.Path()}) {
      chmod(d.c_str(), 0777);
      if (getuid() == 0) (void)!chown(d.c_str(), 65534, 65534);
    }
  }

  static std::string Prefix() { return prefix_->Path(); }
  static std::string Share() { return Prefix() + "/share/korvex/"; }

  // korvex from the prefix in the work folder, HOME in a folder of its own; env: further VAR=value.
  ProcessResult Korvex(std::vector<std::string> args, const std::vector<std::string>& env = {}) {
    std::vector<std::string> argv;
    if (getuid() == 0) argv = {"setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups"};
    argv.insert(argv.end(), {"env", "-u", "XDG_CONFIG_HOME", "HOME=" + home_.Path()});
    argv.insert(argv.end(), env.begin(), env.end());
    argv.push_back(Prefix() + "/bin/korvex");
    argv.insert(argv.end(), args.begin(), args.end());
    return RunProcess(argv, work_.Path());
  }

  // A settings file (and, with a device extension, a device file beside it) in folder.
  static void Settings(const std::string& folder, const std::string& dataName, const std::string& ext = "") {
    fs::create_directories(folder + "/devices");
    WriteFile(folder + "/korvex.ini", "OpenDataFile: 0\nDataName: '" + dataName + "'\n");
    if (!ext.empty())
      WriteFile(folder + "/devices/MAK_EE3.SYN",
                ReadFile(Share() + "devices/MAK_EE3.SYN") + "\n$Extension \"" + ext + "\"\n");
    fs::copy_file(Share() + "devices/DEFAULT.TCH", folder + "/devices/DEFAULT.TCH", fs::copy_options::skip_existing);
    for (const auto& e : fs::recursive_directory_iterator(folder)) chmod(e.path().c_str(), e.is_directory() ? 0755 : 0644);
  }

  static TempDir* prefix_;
  TempDir home_, work_;
  const std::string example_ = Share() + "examples/die_plate.dxf";
};
TempDir* Installed::prefix_ = nullptr;

TEST_F(Installed, PrefixHoldsProgramsSharedFilesManPageAndDesktopEntry) {
  std::vector<std::string> files = {"bin/korvex", "share/korvex/korvex.ini", "share/korvex/devices/MAK_EE3.SYN",
                                    "share/korvex/devices/DEFAULT.TCH", "share/korvex/examples/die_plate.dxf",
                                    "share/man/man1/korvex.1", "share/doc/korvex/README.md"};
  if (fs::exists(fs::path(KORVEX_BUILD_DIR) / "desktop" / "korvex-gui"))
    files.insert(files.end(), {"bin/korvex-gui", "share/applications/korvex-gui.desktop",
                               "share/icons/hicolor/scalable/apps/korvex-gui.svg"});
  for (const std::string& f : files) EXPECT_TRUE(fs::is_regular_file(Prefix() + "/" + f)) << f;
  EXPECT_EQ(access((Prefix() + "/bin/korvex").c_str(), X_OK), 0);

  if (access("/usr/bin/man", X_OK) != 0) GTEST_SKIP() << "man is not installed: the page is not rendered";
  ProcessResult man = RunProcess({"env", "MANWIDTH=80", "man", "-l", Prefix() + "/share/man/man1/korvex.1"}, "/");
  EXPECT_EQ(man.status, 0) << man.output;
  for (const char* part : {"SYNOPSIS", "--layer NAME", "--quiet", "FILES", "/etc/korvex/korvex.ini", "EXIT STATUS", "EXAMPLES"})
    EXPECT_NE(man.output.find(part), std::string::npos) << part;
}

// A user converts with and without options; nothing is written below the prefix.
TEST_F(Installed, AnyUserConvertsIntoTheCurrentOrTheChosenFolder) {
  const auto before = Snapshot(Prefix());

  ProcessResult plain = Korvex({example_});
  EXPECT_EQ(plain.status, 0) << plain.output;
  EXPECT_EQ(ReadFile(work_.File("_nwd_out.NC")), ReadFile(SourceDir() + "/examples/die_plate.NC"));
  EXPECT_TRUE(FileExists(work_.File("_results.htm")));
  const std::string log = ReadFile(work_.File("_outlog.txt"));
  EXPECT_NE(log.find("\n settings file: " + Share() + "korvex.ini\n device syntax file: " + Share() + "devices/MAK_EE3.SYN\n"),
            std::string::npos) << log;

  // The job's own settings name another layer: --layer wins; -q leaves the summary line alone.
  fs::create_directories(work_.File("job/out"));
  WriteFile(work_.File("job/job.ini"), "OpenDataFile: 0\nLayerName: 'NOTHERE'\nDataName: 'job'\n");
  chmod(work_.File("job/out").c_str(), 0777);
  ProcessResult chosen = Korvex({"-q", "--layer", "DXF_MAIN", "-o", "job/out", "--config", work_.File("job/job.ini"), example_});
  EXPECT_EQ(chosen.status, 0) << chosen.output;
  EXPECT_EQ(chosen.output, "korvex: 6 contours (2 holes), 0 without start hole -> job/out/job.NC, about 5 h 38 min\n");
  for (const char* f : {"job/out/job.NC", "job/out/_outlog.txt", "job/out/_results.htm"}) EXPECT_TRUE(FileExists(work_.File(f))) << f;

  // -a places start holes; a log the user names is the user's.
  WriteFile(work_.File("square.dxf"), DxfText("AC1009").Layer("DXF_MAIN").Polyline("DXF_MAIN", {{0, 0}, {10, 0}, {10, 10}, {0, 10}}).Str());
  ProcessResult holes = Korvex({"--auto-start-holes", "-q", "square.dxf", "mine.log"});
  EXPECT_EQ(holes.status, 0) << holes.output;
  EXPECT_NE(holes.output.find("1 start hole to drill"), std::string::npos) << holes.output;
  EXPECT_TRUE(ReadFile(work_.File("mine.log")).ends_with("\n\n"));

  EXPECT_EQ(Snapshot(Prefix()), before);
}

// One case per folder of the search, the first found wins; devices beside the settings file come first.
TEST_F(Installed, SettingsAreSearchedFromTheUserToThePackage) {
  const std::string xdg = home_.File("xdg/korvex"), dotConfig = home_.File(".config/korvex");
  const struct { std::string made, dataName, ext; std::vector<std::string> env; std::string program; } cases[] = {
      {"", "", "", {}, "_nwd_out.NC"},                                                 // the package's
      {dotConfig, "home", "", {}, "home.NC"},                                          // ~/.config/korvex/
      {xdg, "xdg", ".XDG", {"XDG_CONFIG_HOME=" + home_.File("xdg")}, "xdg.XDG"},       // $XDG_CONFIG_HOME/korvex/
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.program);
    if (!c.made.empty()) Settings(c.made, c.dataName, c.ext);
    ProcessResult r = Korvex({"-q", example_}, c.env);
    EXPECT_EQ(r.status, 0) << r.output;
    EXPECT_TRUE(FileExists(work_.File(c.program))) << r.output;
  }
  // A bare name is looked up in the same folders.
  fs::rename(xdg + "/korvex.ini", xdg + "/plate.ini");
  ProcessResult bare = Korvex({"-q", "plate.ini", example_}, {"XDG_CONFIG_HOME=" + home_.File("xdg")});
  EXPECT_EQ(bare.status, 0) << bare.output;

  // /etc/korvex/ only where this test may make it and nobody else uses it.
  if (getuid() != 0 || fs::exists("/etc/korvex")) GTEST_SKIP() << "/etc/korvex/ not tried: not root, or it exists";
  fs::remove_all(dotConfig);
  Settings("/etc/korvex", "etc");
  ProcessResult etc = Korvex({"-q", example_});
  fs::remove_all("/etc/korvex");
  EXPECT_EQ(etc.status, 0) << etc.output;
  EXPECT_TRUE(FileExists(work_.File("etc.NC"))) << etc.output;
}

// A settings file the user names must be there; an option korvex does not know is refused.
TEST_F(Installed, NamedSettingsThatCannotBeReadAndUnknownOptionsStopTheRun) {
  const struct { std::vector<std::string> args; int status; std::string said; } runs[] = {
      {{"-c", "/nonexistent/x.ini", "part.dxf"}, 7,
       "korvex: the settings file '/nonexistent/x.ini' cannot be used (No such file or directory) - nothing converted\n"},
      {{"part.dxf", "nothere.ini"}, 7, "korvex: the settings file 'nothere.ini' cannot be used (not found in "},
      {{"--colour", "part.dxf"}, 6, "korvex: unknown option '--colour'\nUsage: korvex [OPTION]... DRAWING.dxf"},
      {{"-x", "part.dxf"}, 6, "korvex: unknown option '-x'\n"},
      {{"part.dxf", "--layer"}, 6, "korvex: option '--layer' needs a value\n"},
  };
  WriteFile(work_.File("part.dxf"), ReadFile(example_));
  for (const auto& run : runs) {
    ProcessResult r = Korvex(run.args);
    SCOPED_TRACE(run.args[0] + "\n" + r.output);
    EXPECT_EQ(r.status, run.status);
    EXPECT_NE(r.output.find(run.said), std::string::npos);
    EXPECT_FALSE(FileExists(work_.File("_outlog.txt")));
  }
}

}  // namespace
