// korvex --check run as a process: the die plate's kept program checks clean
// against its drawing, each fault planted into its text is found on its line,
// and a program or drawing that cannot be read ends with status 2. (Every
// example and corpus program is checked by the corpus test with CheckProgram: 1.)
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <functional>
#include <sstream>
#include <sys/stat.h>

#include "support/dxf_text.h"
#include "support/runs.h"
#include "support/support.h"

namespace fs = std::filesystem;

namespace {

// A program folder with the shipped device files and the die plate beside the binary.
struct CheckFolder : ProgramFolder {
  CheckFolder() {
    fs::copy(SourceDir() + "/devices", File("devices"), fs::copy_options::recursive);
    WriteFile(File("korvex.ini"), "OpenDataFile: 0\n");
    fs::copy_file(SourceDir() + "/examples/die_plate.dxf", File("die_plate.dxf"));
  }
  ProcessResult Check(const std::vector<std::string>& args) {
    std::vector<std::string> argv{Binary(), "--check"};
    argv.insert(argv.end(), args.begin(), args.end());
    return RunProcess(argv, Path());
  }
};

std::vector<std::string> programLines() {
  std::vector<std::string> lines;
  std::stringstream ss(ReadFile(SourceDir() + "/examples/die_plate.NC"));
  for (std::string l; std::getline(ss, l);) lines.push_back(l);
  return lines;
}

// Index of the first line equal to text, at or after from (0-based).
size_t find(const std::vector<std::string>& lines, const std::string& text, size_t from = 0) {
  for (size_t i = from; i < lines.size(); ++i)
    if (lines[i] == text) return i;
  ADD_FAILURE() << "no line " << text;
  return 0;
}

}  // namespace

TEST(Check, DiePlateProgramChecksClean) {
  CheckFolder home;
  fs::copy_file(SourceDir() + "/examples/die_plate.NC", home.File("die_plate.NC"));
  ProcessResult withDrawing = home.Check({"die_plate.NC", "die_plate.dxf"});
  EXPECT_EQ(withDrawing.status, 0) << withDrawing.output;
  EXPECT_NE(withDrawing.output.find("korvex: checked die_plate.NC: 6 cuts, 0 faults; 6 of 6 drawn loops cut, largest "
                                    "deviation 0.000"),
            std::string::npos)
      << withDrawing.output;
  EXPECT_NE(withDrawing.output.find("korvex: die_plate.NC:39: G90G42G44G52: N12 cut 2 times, G42, follows $K01 within"),
            std::string::npos)
      << withDrawing.output;
  const std::string page = ReadFile(home.File("_check.htm"));
  EXPECT_NE(page.find("<svg"), std::string::npos);
  EXPECT_NE(page.find("<li>no faults</li>"), std::string::npos);

  ProcessResult alone = home.Check({"die_plate.NC"});
  EXPECT_EQ(alone.status, 0) << alone.output;
  EXPECT_NE(alone.output.find("korvex: checked die_plate.NC: 6 cuts, 0 faults\n"), std::string::npos) << alone.output;
}

TEST(Check, FindsEachPlantedFaultOnItsLine) {
  struct Planted {
    const char* name;
    std::function<size_t(std::vector<std::string>&)> plant;   // edits the program, gives the 0-based line of the fault
    const char* reason;
  };
  const std::vector<Planted> planted = {
      {"swapped G41/G42",
       [](std::vector<std::string>& l) {
         size_t at = find(l, "G90G42G44G52;", find(l, "N20(-- child of N10 --);"));
         l[at] = "G90G41G44G52;";
         return at;
       },
       ": G41 puts the wire outside the loop, but its start hole X25.000 Y23.000 lies inside"},
      {"shifted point",
       [](std::vector<std::string>& l) {
         size_t at = find(l, "G01 X15.000 Y40.000;");
         l[at] = "G01 X15.000 Y40.300;";
         return at;
       },
       ": cut runs off the drawing: 0.3000 mm from the nearest drawn element"},
      {"arc written as a line",
       [](std::vector<std::string>& l) {
         size_t at = find(l, "G02 X5.000 Y80.000 I5.000 J0.000;");
         l[at] = "G01 X5.000 Y80.000;";
         return at;
       },
       ": cut runs off the drawing: 1.464"},
      {"arc end off its circle",
       [](std::vector<std::string>& l) {
         size_t at = find(l, "G02 X5.000 Y80.000 I5.000 J0.000;");
         l[at] = "G02 X5.000 Y80.000 I5.000 J0.100;";
         return at;
       },
       ": arc end point is 0.1010 mm off its circle"},
      {"rapid while threaded",
       [](std::vector<std::string>& l) {
         size_t at = find(l, "G01 X115.000 Y80.000;");
         l[at] = "G00 X115.000 Y80.000;";
         return at;
       },
       ": rapid move while the wire is threaded and compensation is on"},
      {"removed call",
       [](std::vector<std::string>& l) {
         l.erase(l.begin() + find(l, "M98P30;"));
         return find(l, "N30(-- child of N10 --);");
       },
       ": block N30: nothing calls it"},
      {"call of a missing block",
       [](std::vector<std::string>& l) {
         size_t at = find(l, "M98P30;");
         l[at] = "M98P31;";
         return at;
       },
       ": call of N31, a block the program does not have"},
      {"doubled call",
       [](std::vector<std::string>& l) {
         size_t at = find(l, "M98P40;");
         l.insert(l.begin() + at, "M98P40;");
         return at + 1;
       },
       ": N40 called again with no technology line between"},
      {"block without return",
       [](std::vector<std::string>& l) {
         size_t head = find(l, "N20(-- child of N10 --);");
         l.erase(l.begin() + find(l, "M99;", head));
         return head;
       },
       ": block N20 does not return (no M99)"},
      {"parent cut before its child",
       [](std::vector<std::string>& l) {
         l.erase(l.begin() + find(l, "M98P12;"));
         l.insert(l.begin() + find(l, "M98P20;"), "M98P12;");
         return find(l, "G90G42G44G52;", find(l, "N20(-- child of N10 --);"));
       },
       ": loop cut after the loop that contains it (N12, line 39)"},
      {"loop not closed",
       [](std::vector<std::string>& l) {
         size_t at = find(l, "G01 X-0.000 Y40.000;");
         l.erase(l.begin() + at);
         return at - 2;
       },
       ": cut loop ends at X-0.000 Y33.000, 7.0000 mm from its split point X-0.000 Y40.000"},
      {"element cut twice",
       [](std::vector<std::string>& l) {
         size_t at = find(l, "G01 X35.000 Y40.000;") + 1;
         l.insert(l.begin() + at, {"G01 X15.000 Y40.000;", "G01 X35.000 Y40.000;"});
         return at + 1;
       },
       ": element cut a second time in the same cut"},
  };
  CheckFolder home;
  for (const Planted& p : planted) {
    SCOPED_TRACE(p.name);
    std::vector<std::string> lines = programLines();
    const size_t at = p.plant(lines);
    std::string text;
    for (const std::string& l : lines) text += l + "\n";
    WriteFile(home.File("p.NC"), text);
    ProcessResult r = home.Check({"p.NC", "die_plate.dxf"});
    EXPECT_EQ(r.status, 8) << r.output;
    std::string shown = lines[at].substr(0, lines[at].size() - 1);   // without the block end
    EXPECT_NE(r.output.find("korvex: p.NC:" + std::to_string(at + 1) + ": " + shown + p.reason), std::string::npos)
        << r.output;
    EXPECT_NE(ReadFile(home.File("_check.htm")).find(p.reason + 2), std::string::npos);
  }
}

TEST(Check, ProgramOrDrawingThatCannotBeReadIsStatusTwoAndNoneAUsageError) {
  CheckFolder home;
  ProcessResult noProgram = home.Check({"missing.NC", "die_plate.dxf"});
  EXPECT_EQ(noProgram.status, 2);
  EXPECT_NE(noProgram.output.find("korvex: cannot read the NC program 'missing.NC'"), std::string::npos) << noProgram.output;
  fs::copy_file(SourceDir() + "/examples/die_plate.NC", home.File("die_plate.NC"));
  ProcessResult noDrawing = home.Check({"die_plate.NC", "missing.dxf"});
  EXPECT_EQ(noDrawing.status, 2);
  EXPECT_NE(noDrawing.output.find("korvex: cannot read the drawing 'missing.dxf'"), std::string::npos) << noDrawing.output;
  ProcessResult none = home.Check({});
  EXPECT_EQ(none.status, 6);
  EXPECT_NE(none.output.find("korvex: option '--check' needs a value\n"), std::string::npos) << none.output;
}

namespace {

// The die plate's program with each (from, to) replaced once, in order.
std::string diePlateWith(const std::vector<std::pair<std::string, std::string>>& edits) {
  std::string text = ReadFile(SourceDir() + "/examples/die_plate.NC");
  for (const auto& [from, to] : edits) {
    const size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    if (at != std::string::npos) text.replace(at, from.size(), to);
  }
  return text;
}

struct Edited {
  const char* name;
  std::vector<std::pair<std::string, std::string>> edits;
  const char* reason;   // a part of the fault line
};

void expectFaults(CheckFolder& home, const std::vector<Edited>& cases) {
  for (const Edited& e : cases) {
    SCOPED_TRACE(e.name);
    WriteFile(home.File("p.NC"), diePlateWith(e.edits));
    ProcessResult r = home.Check({"p.NC", "die_plate.dxf"});
    EXPECT_EQ(r.status, 8) << r.output;
    EXPECT_NE(r.output.find(e.reason), std::string::npos) << r.output;
  }
}

}  // namespace

// Every way of writing a rapid move inside a cut that a control takes is read as one.
TEST(Check, RapidsWrittenAnyWayAControlReadsThemAreFound) {
  const std::string cut = "G01 X115.000 Y80.000;";
  const char* rapid = ": rapid move while the wire is threaded and compensation is on";
  std::vector<Edited> cases;
  for (const char* written : {"G0X115.000 Y80.000;", "G0 X115.000 Y80.000;", "G00\tX115.000 Y80.000;", " G00 X115.000 Y80.000;",
                              "/G00 X115.000 Y80.000;", "g00 x115.000 y80.000;", "G00 X115.000;", "G01 G00 X115.000 Y80.000;",
                              "G01 X60.000 Y80.000 G00 X115.000 Y80.000;", "G01 X60.000 Y80.000; G00 X115.000 Y80.000;"})
    cases.push_back({written, {{cut, written}}, rapid});
  cases.push_back({"NUL before the word", {{cut, std::string("\0G00 X115.000 Y80.000;", 22)}}, ": block not understood"});
  CheckFolder home;
  expectFaults(home, cases);
}

// Words that change every later move, end the program early or never, or cut
// without the wire, and calls that never end.
TEST(Check, ProgramsThatWouldSpoilThePartOrNeverStopAreFaults) {
  const std::vector<Edited> cases = {
      {"incremental", {{"G54G90;", "G54G91;"}}, "G91 (incremental)"},
      {"reference return threaded", {{"M82;\nG90G42", "M82;\nG28 X0 Y0;\nG90G42"}}, "G28 (reference return) with the wire threaded"},
      {"program stop", {{"/M01;", "M00;"}}, "M00 (program stop)"},
      {"main repeats", {{"M30;", "M99;"}}, "in the main program: it starts again"},
      {"end before the calls", {{"M98P10 (DIE-PLATE);", "M30;\nM98P10;"}}, "the program ends here"},
      {"loops never reached are not cut", {{"M98P10 (DIE-PLATE);", "M30;\nM98P10;"}}, "0 of 6 drawn loops cut"},
      {"tape end before the calls", {{"M98P10 (DIE-PLATE);", "%\nM98P10;"}}, "the program ends here"},
      {"no end", {{"M30;\n", ""}}, "the main program has no end word (M30)"},
      {"call number that wraps", {{"M98P10 (DIE-PLATE);", "M98P4294967306;"}}, "call of a block number the control cannot hold"},
      {"block calls itself", {{"M98P20;", "M98P11;"}}, "N11 is called while it runs already"},
      {"blocks call each other", {{"M98P12;\nM99;", "M98P12;\nM99;"}, {"G40G43G50;\nM50;\nM99;", "G40G43G50;\nM50;\nM98P11;\nM99;"}},
       "is called while it runs already"},
      {"rapid threaded after the cut", {{"G40G43G50;\nM50;\n", "G40G43G50;\nG00 X3.000 Y45.000;\nM50;\n"}},
       "rapid move while the wire is threaded (compensation off)"},
      {"rapid threaded before the cut", {{"M60;\nM82;\n", "M60;\nM82;\nG00 X3.000 Y41.000;\n"}},
       "rapid move while the wire is threaded (compensation off)"},
      {"another device's words",
       {{"M60;", "M20;"}, {"M50;", "M21;"}, {"G01 X115.000 Y80.000;", "G00 X115.000 Y80.000;"}},
       "the cut begins without the wire threaded"},
      {"lead-in across the plate", {{"G00 X3.000 Y40.000;\nM60;", "G00 X125.000 Y40.000;\nM60;"}, {"G90G42G44G52;", "G90G41G44G52;"}},
       "crosses the cut loop"},
  };
  CheckFolder home;
  expectFaults(home, cases);
}

// A program that is no program is refused with its reason, never "0 faults".
TEST(Check, WhatIsNoProgramOrNoDrawingIsRefused) {
  CheckFolder home;
  const std::string program = ReadFile(SourceDir() + "/examples/die_plate.NC");
  std::string utf16 = "\xff\xfe";
  for (char c : program) utf16 += std::string{c, '\0'};
  WriteFile(home.File("utf16.NC"), utf16);
  WriteFile(home.File("binary.NC"), std::string(4000, '\0') + "G00 X1 Y1\n");
  WriteFile(home.File("words.NC"), "%\n(only remarks);\nM30;\n");
  WriteFile(home.File("empty.NC"), "");
  fs::create_directory(home.File("folder.NC"));
  mkfifo(home.File("pipe.NC").c_str(), 0600);
  fs::copy_file(SourceDir() + "/examples/die_plate.NC", home.File("die_plate.NC"));
  const std::vector<std::pair<std::vector<std::string>, std::string>> refused = {
      {{"utf16.NC"}, "(it is UTF-16 text"},
      {{"binary.NC"}, "(it is no text (binary data))"},
      {{"/dev/zero"}, "(it is no text (binary data))"},
      {{"words.NC"}, "(no line of it is read as a move"},
      {{"empty.NC"}, "(the file is empty)"},
      {{"folder.NC"}, "(it is a folder)"},
      {{"pipe.NC"}, "(it is a pipe nothing was written into"},
      {{"die_plate.NC", "pipe.NC"}, "cannot read the drawing 'pipe.NC' (it is a pipe nothing was written into"},
      {{"die_plate.NC", "die_plate.NC"}, "cannot read the drawing 'die_plate.NC' (it is no DXF drawing"},
  };
  for (const auto& [args, reason] : refused) {
    SCOPED_TRACE(args[0]);
    ProcessResult r = home.Check(args);
    EXPECT_EQ(r.status, 2) << r.output;
    EXPECT_NE(r.output.find(reason), std::string::npos) << r.output;
  }
  // Lower case is read as a control reads it.
  std::string lower = program;
  for (char& c : lower) c = (char)tolower((unsigned char)c);
  WriteFile(home.File("lower.NC"), lower);
  ProcessResult r = home.Check({"lower.NC", "die_plate.dxf"});
  EXPECT_EQ(r.status, 0) << r.output;
  EXPECT_NE(r.output.find("6 cuts, 0 faults; 6 of 6 drawn loops cut"), std::string::npos) << r.output;
}

// The console and the page grow with the program, not with its faults times its
// lines; a program's control characters reach neither raw.
TEST(Check, FaultsAreToldBrieflyCountedAndEscaped) {
  CheckFolder home;
  std::string rapids;
  for (int k = 0; k < 300; ++k) rapids += "G00 X115.000 Y80.000 (" + std::string(200, 'x') + ");\n";
  rapids += "G01 X115.000 Y80.000 (\x1b[2K\x1b[1A);\nG01 X116.000 Y80.000\x1b[2K;\n";
  WriteFile(home.File("p.NC"), diePlateWith({{"G01 X115.000 Y80.000;\n", rapids}}));
  ProcessResult r = home.Check({"p.NC"});
  EXPECT_EQ(r.status, 8);
  EXPECT_EQ(r.output.find('\x1b'), std::string::npos);
  EXPECT_NE(r.output.find("X116.000 Y80.000\\x1B[2K: block not understood"), std::string::npos) << r.output;
  EXPECT_NE(r.output.find("more faults like: rapid move while the wire is threaded and compensation is on"), std::string::npos);
  EXPECT_LT(r.output.size(), 12000u) << r.output;
  const std::string page = ReadFile(home.File("_check.htm"));
  EXPECT_EQ(page.find('\x1b'), std::string::npos);
  EXPECT_LT(page.size(), 40000u);
}

// _check.htm is written as the conversion's outputs are, and a page that cannot be
// written is said and ends the run with status 4.
TEST(Check, PageIsWrittenLikeTheOtherOutputsOrTheRunSaysWhyNot) {
  CheckFolder home;
  fs::copy_file(SourceDir() + "/examples/die_plate.NC", home.File("die_plate.NC"));
  WriteFile(home.File("victim.txt"), "keep");
  fs::create_symlink(home.File("victim.txt"), home.File("_check.htm"));
  ProcessResult linked = home.Check({"die_plate.NC"});
  EXPECT_EQ(linked.status, 0) << linked.output;
  EXPECT_EQ(ReadFile(home.File("victim.txt")), "keep");
  EXPECT_FALSE(fs::is_symlink(home.File("_check.htm")));

  fs::remove(home.File("_check.htm"));
  fs::copy_file(home.File("die_plate.NC"), home.File("_check.htm"));
  ProcessResult itself = home.Check({"./_check.htm"});
  EXPECT_EQ(itself.status, 4) << itself.output;
  EXPECT_NE(itself.output.find("_check.htm' (it is the program checked)"), std::string::npos);
  EXPECT_EQ(ReadFile(home.File("_check.htm")), ReadFile(home.File("die_plate.NC")));

  fs::remove(home.File("_check.htm"));
  fs::create_directory(home.File("_check.htm"));
  ProcessResult folder = home.Check({"die_plate.NC"});
  EXPECT_EQ(folder.status, 4) << folder.output;
  EXPECT_NE(folder.output.find("cannot write the check page"), std::string::npos) << folder.output;
  ProcessResult missing = home.Check({"die_plate.NC", "--output", home.File("nowhere")});
  EXPECT_EQ(missing.status, 4) << missing.output;
}

// An arc at 1e30 degrees (adding a turn changes nothing) is converted and checked in bounded time.
TEST(Check, ArcAtAbsurdAnglesEndsConversionAndCheck) {
  const float a0 = 1e30f, a1 = 2e30f;
  auto end = [](float a, bool y) {
    const double w = a * 3.14159265 / 180.0;
    return (double)(float)((y ? 10.0 : 5.0) + (float)((y ? sin(w) : cos(w)) * 5.0f));
  };
  const std::string dxf = DxfText()
                              .Arc("DXF_MAIN", 5, 10, 5, a0, a1)
                              .Line("DXF_MAIN", end(a1, false), end(a1, true), 5, -20)
                              .Line("DXF_MAIN", 5, -20, end(a0, false), end(a0, true))
                              .Circle("DXF_MAIN", 5, 0, 0.5)
                              .Str();
  Conversion r = ConvertText(dxf, "CheckProgram: 1\n");
  EXPECT_EQ(r.status, 0) << r.output;
  EXPECT_NE(r.output.find("program checked: 0 faults"), std::string::npos) << r.output;
}
