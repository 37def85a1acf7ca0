// What the console program writes, and how, run as a process: the NC program
// whole or not at all (two runs at once, a failed run, a run ended by a
// signal), no temporary left behind, links at the output names replaced or
// refused but never written through, and the drawing never written over.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "support/dxf_text.h"
#include "support/runs.h"
#include "support/support.h"
#include "run/run.h"

namespace fs = std::filesystem;

namespace {

// n squares in a row on the main layer, each with its start hole; and a round hole after them.
std::string Squares(int n, double side = 10, bool roundHole = false) {
  DxfText d("AC1009");
  d.Layer("DXF_MAIN");
  for (int i = 0; i < n; ++i) {
    const double x = i * (side + 5);
    d.Polyline("DXF_MAIN", {{x, 0}, {x + side, 0}, {x + side, side}, {x, side}}).Circle("DXF_MAIN", x + side / 2, 2, 0.5);
  }
  if (roundHole) d.Circle("DXF_MAIN", n * (side + 5) + 10, 5, 5);
  return d.Str();
}

// A program folder with the shipped devices, settings that open nothing, and a drawing.
struct Home : ProgramFolder {
  explicit Home(const std::string& ini = "", const std::string& drawing = Squares(2)) {
    fs::copy(SourceDir() + "/devices", File("devices"), fs::copy_options::recursive);
    WriteFile(File("korvex.ini"), "OpenDataFile: 0\n" + ini);
    WriteFile(File("part.dxf"), drawing);
  }
  ProcessResult Run(std::vector<std::string> args = {"part.dxf"}) const {
    args.insert(args.begin(), Binary());
    return RunProcess(args, Path());
  }
  // Temporaries an output was composed in that are still there.
  int Temporaries() const {
    int n = 0;
    for (const auto& e : fs::recursive_directory_iterator(Path())) n += Has(e.path().filename().string(), ".kxtmp");
    return n;
  }
};

}  // namespace

TEST(Outputs, TwoRunsAtOnceLeaveOneWholeProgramOfOneOfThem) {
  Home home("", Squares(60));
  WriteFile(home.File("other.dxf"), Squares(70, 8));
  ASSERT_EQ(home.Run({"part.dxf"}).status, 0);
  const std::string one = ReadFile(home.File("_nwd_out.NC"));
  ASSERT_EQ(home.Run({"other.dxf"}).status, 0);
  const std::string other = ReadFile(home.File("_nwd_out.NC"));
  ASSERT_NE(one, other);
  for (int i = 0; i < 20; ++i) {
    ProcessResult r = RunProcess(
        {"sh", "-c", "./korvex part.dxf >/dev/null & ./korvex other.dxf >/dev/null & wait"}, home.Path());
    const std::string program = ReadFile(home.File("_nwd_out.NC"));
    EXPECT_TRUE(program == one || program == other) << "run " << i << "\n" << r.output;
  }
  EXPECT_EQ(home.Temporaries(), 0);
}

TEST(Outputs, FailedRunsKeepTheEarlierProgramAndLeaveNoTemporary) {
  const struct { std::string ini, shell; bool folder; } runs[] = {
      {"", "", true},                                        // a folder stands at the program's name
      {"DataName: 'no-such-folder/part'\n", "", false},     // the program's folder is missing
      {"", "trap '' XFSZ; ulimit -f 0; ", false},            // no file can grow: the program is cut short
  };
  for (const auto& run : runs) {
    Home home(run.ini, Squares(2, 10, true));
    if (run.folder) mkdir(home.File("_nwd_out.NC").c_str(), 0755);
    else WriteFile(home.File("_nwd_out.NC"), "earlier\n");
    ProcessResult r = RunProcess({"sh", "-c", run.shell + "exec ./korvex part.dxf"}, home.Path());
    SCOPED_TRACE(run.ini + run.shell + "\n" + r.output);
    EXPECT_EQ(r.status, 4);
    EXPECT_TRUE(Has(r.output, "could not be written"));
    // What was found is counted as if the program had been written.
    EXPECT_TRUE(Has(r.output, "\nkorvex: 3 contours (1 hole), 0 without start hole, 3 without technology data - "));
    if (!run.folder) {
      EXPECT_EQ(ReadFile(home.File("_nwd_out.NC")), "earlier\n");
    }
    EXPECT_EQ(home.Temporaries(), 0);
  }
}

// SIGTERM or SIGINT while the program is being written: the run ends by the
// signal, its temporary is gone and the earlier program stays. The run is held
// in the middle of writing by a full pipe on its standard output.
TEST(Outputs, ARunEndedBySignalLeavesNoTemporary) {
  for (int sig : {SIGTERM, SIGINT}) {
    SCOPED_TRACE(sig);
    Home home("", Squares(150));
    WriteFile(home.File("_nwd_out.NC"), "earlier\n");
    const std::string folder = home.Path(), binary = home.Binary();
    int out[2];
    ASSERT_EQ(pipe(out), 0);
    fcntl(out[0], F_SETPIPE_SZ, 4096);
    pid_t pid = fork();
    if (pid == 0) {
      dup2(out[1], STDOUT_FILENO);
      close(out[0]);
      if (chdir(folder.c_str()) == 0) execl(binary.c_str(), "korvex", "part.dxf", (char*)nullptr);
      _exit(127);
    }
    close(out[1]);
    // Its output is read until the program's temporary appears; what the run prints after that
    // does not fit into the pipe: it stays in the middle of the program.
    fcntl(out[0], F_SETFL, O_NONBLOCK);
    char buf[4096];
    for (int waited = 0; home.Temporaries() == 0 && waited < 3000; ++waited) {
      while (read(out[0], buf, sizeof buf) > 0) {
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ASSERT_EQ(home.Temporaries(), 1);
    kill(pid, sig);
    int status = 0;
    waitpid(pid, &status, 0);
    close(out[0]);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == sig) << status;
    EXPECT_EQ(home.Temporaries(), 0);
    EXPECT_EQ(ReadFile(home.File("_nwd_out.NC")), "earlier\n");
  }
}

TEST(Outputs, LinksAtTheOutputNamesAreNeverWrittenThrough) {
  TempDir elsewhere;
  const mode_t mask = umask(0);
  umask(mask);
  // The program, the page and the element dump replace the link itself.
  Home home;
  for (const char* name : {"_nwd_out.NC", "_results.htm", "_elemblk.txt"}) {
    WriteFile(elsewhere.File(name), "theirs\n");
    symlink(elsewhere.File(name).c_str(), home.File(name).c_str());
  }
  ProcessResult r = home.Run({"part.dxf", "-bulk"});
  EXPECT_EQ(r.status, 0) << r.output;
  for (const char* name : {"_nwd_out.NC", "_results.htm", "_elemblk.txt"}) {
    EXPECT_FALSE(fs::is_symlink(home.File(name))) << name;
    EXPECT_TRUE(Has(ReadFile(home.File(name)), "\n")) << name;
    EXPECT_EQ(ReadFile(elsewhere.File(name)), "theirs\n") << name;
    struct stat st;
    stat(home.File(name).c_str(), &st);
    EXPECT_EQ(st.st_mode & 0777, 0666 & ~mask) << name;   // the mode a new file gets
  }
  // The log is refused, whether the link leads to a file or to none yet.
  for (const char* target : {"log.txt", "new.txt"}) {
    Home refused;
    WriteFile(elsewhere.File("log.txt"), "theirs\n");
    symlink(elsewhere.File(target).c_str(), refused.File("_outlog.txt").c_str());
    ProcessResult l = refused.Run();
    SCOPED_TRACE(l.output);
    EXPECT_EQ(l.status, 3);
    EXPECT_TRUE(Has(l.output, "\nkorvex: the log '" + refused.File("_outlog.txt") +
                                  "' is a symbolic link - not written through it\n"));
    EXPECT_EQ(ReadFile(elsewhere.File("log.txt")), "theirs\n");
    EXPECT_FALSE(FileExists(elsewhere.File("new.txt")));
  }
}

// With the device's extension ".dxf", a program named after the drawing would
// be the drawing: under its own name, or another one leading to the same file.
TEST(Outputs, TheProgramIsNeverWrittenOntoTheDrawing) {
  for (const char* drawing : {"part.dxf", "alias.DXF"}) {
    Home home("DataName: '*infile*'\nDevTarget: 'ASDXF.SYN'\n");
    std::string device = ReadFile(home.File("devices/MAK_EE3.SYN"));
    device.replace(device.find("\".NC\""), 5, "\".dxf\"");
    WriteFile(home.File("devices/ASDXF.SYN"), device);
    link(home.File("part.dxf").c_str(), home.File("alias.DXF").c_str());
    symlink("part.dxf", home.File("alias.dxf").c_str());
    const std::string before = ReadFile(home.File("part.dxf"));
    ProcessResult r = home.Run({drawing});
    SCOPED_TRACE(r.output);
    EXPECT_EQ(r.status, 4);
    const std::string name = drawing, target = name.substr(0, name.size() - 4) + ".dxf";
    EXPECT_TRUE(Has(r.output, "\n -Error: the NC program '" + target + "' would be the drawing itself - not written, "
                              "the drawing is left as it is-\n"));
    EXPECT_TRUE(Has(r.output, " - the NC program " + target + " would be the drawing itself - not written, the "
                              "drawing is left as it is\n"));
    EXPECT_EQ(ReadFile(home.File("part.dxf")), before);
    EXPECT_TRUE(fs::is_symlink(home.File("alias.dxf")));
    EXPECT_EQ(home.Temporaries(), 0);
  }
}

// The element dump (-bulk) after the points of a contour were moved to its front:
// every record keeps the length of what it holds.
// The dump shows each record as drawn, with what the analysis marked on it: a
// point moved to its contour's front keeps its own length, and the start hole
// keeps its drawn end point (the split point is the contour's, not the hole's).
TEST(Outputs, TheElementDumpShowsEveryRecordAsDrawnWithItsMarks) {
  DxfText d("AC1009");
  d.Line("DXF_MAIN", 0, 0, 40, 0).Line("DXF_MAIN", 40, 0, 40, 30).Line("DXF_MAIN", 40, 30, 0, 30)
      .Line("DXF_MAIN", 0, 30, 0, 0).Point("DXF_MAIN", 40, 30).Point("DXF_MAIN", 0, 30).Circle("DXF_MAIN", 3, 5, 0.5);
  Home home("", d.Str());
  home.Run({"part.dxf", "-bulk"});
  const std::string dump = ReadFile(home.File("_elemblk.txt"));
  for (const char* row : {"(T:POINT) (K:$K01)", "EP x:40.00000 y:0.00000 LEN: 40.00000", "EP x:0.00000 y:30.00000 LEN: 40.00000",
                          "EP x:40.00000 y:30.00000 LEN: 30.00000", "EP x:0.00000 y:0.00000 LEN: 30.00000"})
    EXPECT_TRUE(Has(dump, row)) << row << "\n" << dump;
  EXPECT_EQ(CountOf(dump, "y:30.00000  \n LEN: 0.00000"), 2u) << dump;   // the two points
  EXPECT_TRUE(Has(dump, "SP x:3.50000 y:5.00000 EP x:3.50000 y:5.00000 CP x:3.00000 y:5.000| Rad:0.50000")) << dump;
  EXPECT_TRUE(Has(dump, "Child -1 |  text:'-possible feedpoint-'")) << dump;
}
