// The console program run as a process from a temporary program folder: run
// statuses with their texts, argument precedence, and the log's closing lines.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "support/dxf_text.h"
#include "support/support.h"

namespace {

// A square on the main layer, with its start hole inside unless told otherwise.
std::string squareDrawing(bool startHole = true) {
  DxfText d("AC1009");
  d.Layer("0").Layer("DXF_MAIN").Line("DXF_MAIN", 0, 0, 10, 0).Line("DXF_MAIN", 10, 0, 10, 10)
      .Line("DXF_MAIN", 10, 10, 0, 10).Line("DXF_MAIN", 0, 10, 0, 0);
  if (startHole) d.Circle("DXF_MAIN", 5, 2, 0.5);
  return d.Str();
}

}  // namespace

TEST(Console, NoArgumentShowsUsageAndDoesNotWait) {
  ProgramFolder home;
  ProcessResult r = RunProcess({home.Binary()}, home.Path());
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.output.find("\n KORVEX  V_081024 "), std::string::npos);
  EXPECT_NE(r.output.find("\n Bitte so anwenden:\n KORVEX INFILE.DXF \n\n"), std::string::npos);
  EXPECT_NE(r.output.find(" argv[0]: " + home.Binary() + " \n"), std::string::npos);
  EXPECT_NE(r.output.find("\n ...press any key\n no LOG_STREAM\n no IN_STREAM\n"), std::string::npos);
}

TEST(Console, ArgumentsThatNameNoDrawing) {
  ProgramFolder home;
  for (const char* arg : {"part.Dxf", "part.txt", "-bulk"}) {
    ProcessResult r = RunProcess({home.Binary(), arg}, home.Path());
    EXPECT_EQ(r.status, 6) << arg;
    EXPECT_NE(r.output.find("\n  INFILE: <-not-set->  no dxf-file \n"), std::string::npos) << arg;
    EXPECT_FALSE(FileExists(home.File("_outlog.txt")));
  }
}

TEST(Console, UnreadableDrawingGivesTwoAndNoLog) {
  ProgramFolder home;
  ProcessResult r = RunProcess({home.Binary(), "missing.dxf"}, home.Path());
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.output.find("open error\n"), std::string::npos);
  EXPECT_NE(r.output.find(" no LOG_STREAM\n no IN_STREAM\n"), std::string::npos);
  EXPECT_FALSE(FileExists(home.File("_outlog.txt")));
}

TEST(Console, UnwritableLogGivesThree) {
  ProgramFolder home;
  WriteFile(home.File("a.dxf"), squareDrawing());
  mkdir(home.File("locked").c_str(), 0755);
  // A folder in the log's place cannot be opened for writing, even by root.
  ProcessResult r = RunProcess({home.Binary(), "a.dxf", "locked/x/run.log"}, home.Path());
  EXPECT_EQ(r.status, 3);
  EXPECT_NE(r.output.find(" LOGFILE: <locked/x/run.log> open error"), std::string::npos);
  EXPECT_NE(r.output.find(" no LOG_STREAM\n"), std::string::npos);
  EXPECT_EQ(r.output.find(" no IN_STREAM"), std::string::npos);
}

TEST(Console, ReadableDrawingClosesTheLogWithReferenceLines) {
  ProgramFolder home;
  WriteFile(home.File("a.dxf"), squareDrawing());
  ProcessResult r = RunProcess({home.Binary(), "a.dxf"}, home.Path());
  EXPECT_EQ(r.status, 0) << r.output;
  EXPECT_NE(r.output.find("\n LOGFILE: <" + home.Path() + "/_outlog.txt> "), std::string::npos);
  std::string log = ReadFile(home.File("_outlog.txt"));
  ASSERT_GE(log.size(), 20u);
  const std::string tail = "\n\n Ref X:";
  EXPECT_NE(log.rfind(tail), std::string::npos);
  EXPECT_EQ(log.substr(log.size() - 2), "\n\n");
  EXPECT_NE(log.find(" Kon X:"), std::string::npos);
}

TEST(Console, LaterArgumentsWinAndSettingsKeepOnlyTheirName) {
  ProgramFolder home;
  WriteFile(home.File("a.dxf"), "garbage");
  WriteFile(home.File("b.dxf"), squareDrawing());
  ProcessResult r = RunProcess({home.Binary(), "a.dxf", "b.dxf", "c:\\x\\my.ini", "-bulk"}, home.Path());
  EXPECT_EQ(r.status, 0) << r.output;
  EXPECT_NE(r.output.find("\n  INFILE: <b.dxf> "), std::string::npos);
  EXPECT_NE(r.output.find(" 4 found: -bulk \n"), std::string::npos);
  EXPECT_NE(r.output.find("my.ini"), std::string::npos);
  EXPECT_EQ(r.output.find("c:\\x\\my.ini'"), std::string::npos);
}

TEST(Console, LogNameOnTheCommandLineWins) {
  ProgramFolder home;
  WriteFile(home.File("a.dxf"), squareDrawing());
  ProcessResult r = RunProcess({home.Binary(), "a.dxf", "mine.log"}, home.Path());
  EXPECT_EQ(r.status, 0);
  EXPECT_TRUE(FileExists(home.File("mine.log")));
  EXPECT_FALSE(FileExists(home.File("_outlog.txt")));
}

TEST(Console, OverlongArgumentsAreRefusedWithAClearMessage) {
  ProgramFolder home;
  std::string longName = std::string(90, 'd') + ".dxf";
  ProcessResult r = RunProcess({home.Binary(), longName}, home.Path());
  EXPECT_EQ(r.status, 6);
  EXPECT_NE(r.output.find("drawing name too long (94 characters, at most 79)"), std::string::npos);
  EXPECT_NE(r.output.find("shorter relative path"), std::string::npos);
  EXPECT_NE(r.output.find(" no dxf-file "), std::string::npos);
}

TEST(Console, ArgumentsAreTakenByTheirEndingAndTheLogNeverReplacesTheDrawing) {
  ProgramFolder home;
  WriteFile(home.File("korvex.ini"), "DataName: 'fromini'\n");
  for (const char* folder : {"old.logs", "v2.initial"}) {
    mkdir(home.File(folder).c_str(), 0755);
    const std::string drawing = std::string(folder) + "/part.dxf";
    WriteFile(home.File(drawing), squareDrawing());
    ProcessResult r = RunProcess({home.Binary(), drawing}, home.Path());
    EXPECT_EQ(r.status, 0) << folder << r.output;
    EXPECT_EQ(ReadFile(home.File(drawing)), squareDrawing()) << folder;
    EXPECT_TRUE(FileExists(home.File("_outlog.txt"))) << folder;
    EXPECT_TRUE(FileExists(home.File("fromini.txt"))) << folder;   // korvex.ini was read
  }
  // A log name that leads to the drawing itself is refused.
  WriteFile(home.File("part.dxf"), squareDrawing());
  symlink("part.dxf", home.File("part.log").c_str());
  ProcessResult r = RunProcess({home.Binary(), "part.dxf", "part.log"}, home.Path());
  EXPECT_EQ(r.status, 3) << r.output;
  EXPECT_NE(r.output.find("\nkorvex: the log 'part.log' is the drawing itself"), std::string::npos) << r.output;
  EXPECT_EQ(ReadFile(home.File("part.dxf")), squareDrawing());
}

TEST(Console, EveryRunEndsWithASummaryAndNothingToCutIsStatusFive) {
  ProgramFolder home;
  WriteFile(home.File("ok.dxf"), squareDrawing());
  ProcessResult r = RunProcess({home.Binary(), "ok.dxf"}, home.Path());
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.output.find("\nkorvex: 1 contour (0 holes), 0 without start hole -> " + home.File("_nwd_out.txt") + "\n"),
            std::string::npos) << r.output;

  // Geometry on other layers only: no program, an earlier one is left and named as such.
  WriteFile(home.File("_nwd_out.txt"), "earlier\n");
  DxfText other("AC1015");
  other.Layer("DXF_MAIN").Layer("CUT").Line("CUT", 0, 0, 10, 0).Line("CUT", 10, 0, 10, 10).Circle("0", 5, 5, 1);
  WriteFile(home.File("other.dxf"), other.Str());
  r = RunProcess({home.Binary(), "other.dxf"}, home.Path());
  EXPECT_EQ(r.status, 5);
  EXPECT_NE(r.output.find("\nkorvex: no contour on layer 'DXF_MAIN' - no NC program written; geometry on layers "
                          "'CUT' (2 elements), '0' (1 element); " + home.File("_nwd_out.txt") + " is from an earlier run\n"),
            std::string::npos) << r.output;
  EXPECT_EQ(ReadFile(home.File("_nwd_out.txt")), "earlier\n");
  EXPECT_EQ(r.output.find("vermisse"), std::string::npos);

  // Not a drawing at all; and a contour without start hole, whose program is written.
  WriteFile(home.File("text.dxf"), "just some text\n");
  r = RunProcess({home.Binary(), "text.dxf"}, home.Path());
  EXPECT_EQ(r.status, 5);
  EXPECT_NE(r.output.find("; the drawing holds no lines, arcs, circles or polylines"), std::string::npos) << r.output;
  WriteFile(home.File("nohole.dxf"), squareDrawing(false));
  r = RunProcess({home.Binary(), "nohole.dxf"}, home.Path());
  EXPECT_EQ(r.status, 5) << r.output;
  EXPECT_NE(r.output.find("1 without start hole -> " + home.File("_nwd_out.txt") + " (nothing to cut)\n"),
            std::string::npos) << r.output;
  r = RunProcess({home.Binary(), "missing.dxf"}, home.Path());
  EXPECT_NE(r.output.find("\nkorvex: cannot read the drawing 'missing.dxf' (No such file or directory)\n"),
            std::string::npos) << r.output;
}

TEST(Console, HelpVersionAndALinkedProgramFindItsFolder) {
  ProgramFolder home;
  for (const char* opt : {"--help", "-h"}) {
    ProcessResult r = RunProcess({home.Binary(), opt}, home.Path());
    EXPECT_EQ(r.status, 0) << opt;
    EXPECT_NE(r.output.find("Usage: korvex [-bulk] DRAWING.dxf"), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("5 nothing to cut"), std::string::npos);
  }
  ProcessResult r = RunProcess({home.Binary(), "--version"}, home.Path());
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.output, "korvex _081024\n");

  // ~/bin/korvex -> the program folder: settings, devices and outputs are the folder's.
  WriteFile(home.File("korvex.ini"), "DataName: 'linked'\n");
  TempDir bin, work;
  symlink(home.Binary().c_str(), bin.File("korvex").c_str());
  WriteFile(work.File("part.dxf"), squareDrawing());
  r = RunProcess({bin.File("korvex"), "part.dxf"}, work.Path());
  EXPECT_EQ(r.status, 0) << r.output;
  EXPECT_TRUE(FileExists(home.File("linked.txt"))) << r.output;
  EXPECT_TRUE(FileExists(home.File("_outlog.txt")));
}
