// korvex --check run as a process: the die plate's kept program checks clean
// against its drawing, each fault planted into its text is found on its line,
// and a program or drawing that cannot be read ends with status 2. (Every
// example and corpus program is checked by the corpus test with CheckProgram: 1.)
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <sstream>

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
