// The console program run as a process from a temporary program folder: run
// statuses with their texts, argument precedence, and the log's closing lines.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "support/dxf_text.h"
#include "support/support.h"

namespace {

std::string squareDrawing() {
  return DxfText("AC1009").Layer("0").Layer("DXF_MAIN").Line("DXF_MAIN", 0, 0, 10, 0).Str();
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
  EXPECT_EQ(r.status, 0);
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
