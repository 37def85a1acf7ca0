// The console program run as a process from a temporary program folder: exit
// statuses with their texts and summary lines, argument precedence, the help,
// paths of any length, big plates and bounded traces.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <regex>
#include <unistd.h>

#include "support/dxf_text.h"
#include "support/nc_check.h"
#include "support/runs.h"
#include "support/support.h"
#include "run/run.h"

namespace fs = std::filesystem;

// A square on the main layer, with its start hole inside unless told otherwise.
static std::string squareDrawing(bool startHole = true) {
  DxfText d("AC1009");
  d.Layer("0").Layer("DXF_MAIN").Polyline("DXF_MAIN", {{0, 0}, {10, 0}, {10, 10}, {0, 10}});
  if (startHole) d.Circle("DXF_MAIN", 5, 2, 0.5);
  return d.Str();
}

// The bytes of a literal, NUL bytes included.
template <size_t N> static std::string Bytes(const char (&s)[N]) { return std::string(s, N - 1); }

// Every run's folder holds these files; "@" in a row's texts stands for the folder.
static const std::vector<std::pair<std::string, std::string>> kFiles = {
    {"korvex.ini", "DataName: 'fromini'\n"},
    {"a.dxf", squareDrawing()},
    {"garbage.dxf", "garbage"},
    {"nohole.dxf", squareDrawing(false)},
    {"text.dxf", "just some text\n"},
    {"png.dxf", Bytes("\x89PNG\r\n\x1a\n\0\0\0\rIHDR\0\0\0\x10")},
    {"binary.dxf", Bytes("AutoCAD Binary DXF\r\n\x1a\0\0\0SECTION\0\x02\0HEADER\0")},
    {"utf16.dxf", Bytes("\xff\xfe \0 \0" "0\0\r\0\n\0S\0E\0C\0T\0I\0O\0N\0\r\0\n\0")},
    {"notes.dxf", DxfText("AC1015").Layer("DXF_MAIN").Text("DXF_MAIN", 0, 0, "a note").Str()},
    {"other.dxf", DxfText("AC1015").Layer("DXF_MAIN").Layer("CUT").Line("CUT", 0, 0, 10, 0)
                      .Line("CUT", 10, 0, 10, 10).Circle("0", 5, 5, 1).Str()},
    {"fromini.txt", "earlier\n"},
    {"old.logs/part.dxf", squareDrawing()},
    {"v2.initial/part.dxf", squareDrawing()},
    {"my.ini", "DataName: 'fromini'\n"},
    // Settings naming device and technology files that cannot be used.
    {"zero.ini", "DevTarget: '/dev/../dev/zero'\n"},
    {"dir.ini", "DevTarget: 'old.logs/../old.logs'\n"},
    {"fifo.ini", "DevTarget: 'old.logs/fifo.SYN'\n"},
    {"empty.ini", "DevTarget: 'v2.initial/empty.SYN'\n"},
    {"v2.initial/empty.SYN", "; no keys\n"},
    {"tech.ini", "DevTarget: 'v2.initial/tech.SYN'\n"},
    {"v2.initial/tech.SYN", "$RemarkOn \"(\"\n$TechFile \"/dev/../dev/zero\"\n"},
    {"notech.ini", "DevTarget: 'v2.initial/notech.SYN'\n"},
    {"v2.initial/notech.SYN", "$TechFile \"v2.initial/part.dxf\"\n"},
    {"longtech.ini", "DevTarget: 'v2.initial/longtech.SYN'\n"},
    {"v2.initial/longtech.SYN", "$TechFile \"" + std::string(128, 'T') + "\"\n"}};

TEST(Console, RunsEndWithTheirStatusAndTheirLines) {
  const std::string earlier = "; @/fromini.txt is from an earlier run\n";
  // Texts said and files made by a run; "!" before one: not said, not made.
  const struct { std::vector<std::string> args; int status; std::vector<std::string> said, files; } runs[] = {
      {{}, 1, {"\n KORVEX  V_081024 ", "\n Bitte so anwenden:\n KORVEX INFILE.DXF \n\n", "\n ...press any key\n"},
       {"!_outlog.txt"}},
      {{"part.Dxf"}, 6, {"\n  INFILE: <-not-set->  no dxf-file \n"}, {"!_outlog.txt"}},
      {{"-bulk"}, 6, {"\n  INFILE: <-not-set->  no dxf-file \n"}, {"!_outlog.txt"}},
      {{std::string(90, 'd') + ".dxf"}, 2,   // a long name is taken whole
       {"\nkorvex: cannot read the drawing '" + std::string(90, 'd') + ".dxf' (No such file or directory)\n"}, {}},
      {{"missing.dxf"}, 2,
       {"open error\n", " no LOG_STREAM\n no IN_STREAM\n",
        "\nkorvex: cannot read the drawing 'missing.dxf' (No such file or directory)\n"},
       {"!_outlog.txt"}},
      {{"a.dxf", "locked/x/run.log"}, 3,
       {" LOGFILE: <locked/x/run.log> open error", " no LOG_STREAM\n", "! no IN_STREAM"}, {}},
      {{"a.dxf", "a.log"}, 3, {"\nkorvex: the log 'a.log' is the drawing itself"}, {}},   // a link to it
      {{"a.dxf"}, 0,
       {"\n LOGFILE: <@/_outlog.txt> ", "\nkorvex: 1 contour (0 holes), 0 without start hole, 1 without technology data -> @/fromini.txt\n",
        " -not opened (no graphical session): '", "     data-filename: 'fromini'\n",
        "reset/open Error   now set to: [DefaultSyntax]\n"},
       {"_outlog.txt", "fromini.txt"}},
      // Later arguments win; of a Windows settings path only the name counts; -bulk dumps the element table.
      {{"garbage.dxf", "a.dxf", "c:\\x\\my.ini", "-bulk"}, 0,
       {"\n  INFILE: <a.dxf> ", " 4 found: -bulk \n", "my.ini", "!c:\\x\\my.ini'"}, {"_elemblk.txt", "fromini.txt"}},
      // A settings, device or technology file that cannot be used stops the run before anything is written.
      {{"a.dxf", "nothere.ini"}, 7,
       {"\nkorvex: the settings file '@/nothere.ini' cannot be used (No such file, nor below devices/) - nothing "
        "converted\n"},
       {"!_outlog.txt"}},
      {{"a.dxf", "folder.ini"}, 7, {"the settings file '@/folder.ini' cannot be used (it is a folder)"}, {}},
      {{"a.dxf", "zero.ini"}, 7, {"device syntax file '/dev/../dev/zero' cannot be used (it is not a regular file)"},
       {"!fromini.txt.NC"}},
      {{"a.dxf", "dir.ini"}, 7, {"device syntax file 'old.logs/../old.logs' cannot be used (it is a folder)"}, {}},
      {{"a.dxf", "fifo.ini"}, 7, {"device syntax file 'old.logs/fifo.SYN' cannot be used (it is not a regular"}, {}},
      {{"a.dxf", "empty.ini"}, 7, {"(it holds none of the device keys such as $RemarkOn or $EOL) - nothing"}, {}},
      {{"a.dxf", "tech.ini"}, 7, {"technology file '/dev/../dev/zero' cannot be used (it is not a regular file)"}, {}},
      {{"a.dxf", "notech.ini"}, 7, {"technology file 'v2.initial/part.dxf' cannot be used (it holds no technology"},
       {}},
      {{"a.dxf", "longtech.ini"}, 7,
       {"'v2.initial/longtech.SYN' cannot be used (its $TechFile value is longer than 127 characters) - nothing"}, {}},
      // Only the ending of an argument counts, not a folder's name.
      {{"old.logs/part.dxf"}, 0, {}, {"_outlog.txt", "fromini.txt"}},
      {{"v2.initial/part.dxf"}, 0, {}, {"_outlog.txt", "fromini.txt"}},
      {{"other.dxf"}, 5,
       {"\nkorvex: no contour on layer 'DXF_MAIN' - no NC program written; geometry on layers 'CUT' (2 elements), "
        "'0' (1 element); @/fromini.txt is from an earlier run\n", "!vermisse"},
       {}},
      // A file that is no ASCII drawing is named for what it is; a drawing without geometry says so.
      {{"text.dxf"}, 5, {"- no NC program written; it is no DXF drawing (no SECTION at its start)" + earlier}, {}},
      {{"png.dxf"}, 5, {"- no NC program written; it is no DXF drawing (no SECTION at its start)" + earlier}, {}},
      {{"binary.dxf"}, 5, {"- no NC program written; it is a binary DXF file; korvex reads ASCII drawings" + earlier}, {}},
      {{"utf16.dxf"}, 5, {"- no NC program written; it is a UTF-16 text file; korvex reads ASCII drawings" + earlier}, {}},
      {{"notes.dxf"}, 5, {"- no NC program written; the drawing holds no lines, arcs, circles or polylines" + earlier}, {}},
      {{"nohole.dxf"}, 5, {"1 without start hole -> @/fromini.txt (nothing to cut)\n"}, {"fromini.txt"}},
      {{"--help"}, 0, {"Usage: korvex [OPTION]... DRAWING.dxf", "5 nothing to cut", "Settings file now: @/korvex.ini\n"}, {}},
      {{"-h"}, 0, {"Usage: korvex [OPTION]... DRAWING.dxf", "7 a settings, device syntax or technology file"}, {}},
      {{"--version"}, 0, {"korvex _081024\n", "!KORVEX", "!Usage"}, {}},
  };
  for (const auto& run : runs) {
    ProgramFolder home;
    auto bare = [&](const std::string& s) {   // without its "!", "@" standing for the folder
      return std::regex_replace(s[0] == '!' ? s.substr(1) : s, std::regex("@"), home.Path());
    };
    mkdir(home.File("old.logs").c_str(), 0755);
    mkdir(home.File("v2.initial").c_str(), 0755);
    for (const auto& [name, text] : kFiles) WriteFile(home.File(name), text);
    symlink("a.dxf", home.File("a.log").c_str());
    mkdir(home.File("folder.ini").c_str(), 0755);
    mkfifo(home.File("old.logs/fifo.SYN").c_str(), 0644);
    std::vector<std::string> argv = {home.Binary()};
    argv.insert(argv.end(), run.args.begin(), run.args.end());
    ProcessResult r = RunProcess(argv, home.Path());
    SCOPED_TRACE((run.args.empty() ? "(none)" : run.args[0]) + "\n" + r.output);
    EXPECT_EQ(r.status, run.status);
    for (const std::string& s : run.said) EXPECT_EQ(Has(r.output, bare(s)), s[0] != '!') << s;
    for (const std::string& f : run.files) EXPECT_EQ(FileExists(home.File(bare(f))), f[0] != '!') << f;
    // What a run does not make stays as it was: drawings are never written, an earlier program is left.
    for (const auto& [name, text] : kFiles) {
      bool made = std::find(run.files.begin(), run.files.end(), name) != run.files.end();
      EXPECT_EQ(ReadFile(home.File(name)) != text, made) << name;
    }
  }
}

// A program folder 300 characters deep, with blanks and umlauts in every folder, holding the
// drawing, the settings file (named on the command line by its whole path) and the log: the run
// says, writes and cuts what the same run does at short names; once with the log named and the
// program beside the drawing, once with the log and the program in the program folder.
TEST(Console, PathsOfAnyLengthConvertAsShortOnes) {
  struct Place {
    ProgramFolder top;
    std::string home, drawing, settings, log;
  };
  const char* const variants[][2] = {{"DataName: '*infile*'\nGlobTextInfo: 1\n", "named"}, {"", ""}};
  for (const auto& [ini, logGiven] : variants) {
    Place shortPlace, longPlace;
    shortPlace.home = shortPlace.top.Path();
    longPlace.home = longPlace.top.Path();
    for (int i = 1; longPlace.home.size() < 300; ++i)
      longPlace.home += "/Zeichnungen für Kunden/Übergröße " + std::to_string(i);
    fs::create_directories(longPlace.home);
    fs::create_hard_link(longPlace.top.Binary(), longPlace.home + "/korvex");
    std::vector<std::string> texts[2];   // console, NC program, log, page
    for (Place* p : {&shortPlace, &longPlace}) {
      const bool isLong = p == &longPlace;
      fs::copy(SourceDir() + "/devices", p->home + "/devices", fs::copy_options::recursive);
      p->drawing = p->home + (isLong ? "/Teil für Kunde Ö.dxf" : "/p.dxf");
      p->settings = p->home + (isLong ? "/Einstellungen für Übergröße.ini" : "/s.ini");
      p->log = p->home + (isLong ? "/Protokoll für Kunden.log" : "/p.log");
      fs::copy_file(SourceDir() + "/examples/die_plate.dxf", p->drawing);
      WriteFile(p->settings, std::string("OpenDataFile: 0\n") + ini);
      std::vector<std::string> argv = {p->home + "/korvex", p->drawing, p->settings};
      if (logGiven[0]) argv.push_back(p->log);
      ProcessResult r = RunProcess(argv, p->home);
      EXPECT_EQ(r.status, 0) << r.output;
      const std::string stem = p->drawing.substr(0, p->drawing.size() - 4);
      texts[isLong] = {r.output, ReadFile(logGiven[0] ? stem + ".NC" : p->home + "/_nwd_out.NC"),
                       ReadFile(logGiven[0] ? p->log : p->home + "/_outlog.txt"),
                       std::regex_replace(ReadFile(p->home + "/_results.htm"), std::regex("DATE: [^\n]*"), "DATE:")};
      if (!isLong) continue;
      // Named the long way, everything reads as the short names (the drawing's, also its program's beside it).
      for (std::string& t : texts[1]) {
        for (const auto& [from, to] : {std::pair{stem, shortPlace.home + "/p"}, {p->settings, shortPlace.settings},
                                       {p->log, shortPlace.log}, {p->home, shortPlace.home}})
          for (size_t at = t.find(from); at != std::string::npos; at = t.find(from, at + to.size()))
            t.replace(at, from.size(), to);
        t = std::regex_replace(t, std::regex("Einstellungen für Übergröße.ini"), "s.ini");
      }
    }
    ASSERT_GE(longPlace.drawing.size(), 300u);
    EXPECT_TRUE(Has(texts[1][1], "$K01")) << texts[1][1];
    const char* what[] = {"console", "NC program", "log", "page"};
    for (int i = 0; i < 4; ++i) EXPECT_EQ(texts[1][i], texts[0][i]) << what[i] << (logGiven[0] ? " (named log)" : "");
  }
}

// A drawing that is no regular file (a pipe, a device) is copied to be read by every pass: up to
// 1 GiB, then it is refused, however long its writer goes on and whether it has line ends or not;
// a named pipe no writer opens is refused after a while, not waited for for ever.
TEST(Console, DrawingsThatAreNoRegularFileAreReadUpToTheirLimit) {
  const struct { std::string writer; int status; std::string said; } runs[] = {
      {"-", 2, "\nkorvex: the drawing 'part.dxf' is a pipe nothing was written into for 5 seconds - not read\n"},
      {"cat square.txt", 0, "\nkorvex: 1 contour (0 holes), 0 without start hole, 1 without technology data -> "},
      {"yes '  0'", 2, "\nkorvex: the drawing 'part.dxf' is not a regular file and holds more than 1 GiB - not read\n"},
      {"", 2, "\nkorvex: the drawing 'zero.dxf' is not a regular file and holds more than 1 GiB - not read\n"},
  };
  for (const auto& run : runs) {
    SCOPED_TRACE(run.writer);
    ProgramFolder home;
    WriteFile(home.File("square.txt"), squareDrawing());
    ASSERT_EQ(symlink("/dev/zero", home.File("zero.dxf").c_str()), 0);
    ASSERT_EQ(mkfifo(home.File("part.dxf").c_str(), 0600), 0);
    // The writer goes into the pipe in the background; it ends when korvex closes it (or at its time limit).
    const std::string command = run.writer.empty() ? "exec ./korvex zero.dxf"
                                : run.writer == "-" ? "exec ./korvex part.dxf"
                                : "timeout 60 " + run.writer + " >part.dxf 2>/dev/null & exec ./korvex part.dxf";
    ProcessResult r = RunProcess({"sh", "-c", command}, home.Path());
    EXPECT_EQ(r.status, run.status) << r.output;
    EXPECT_TRUE(Has(r.output, run.said)) << r.output;
  }
}

// A plate of many parts is cut whole, and the summary line names what the program lacks.
TEST(Console, BigPlatesAreCutWholeAndTheSummaryNamesMissingTechnology) {
  // 1000 squares with their start holes: 5000 elements, and as many analysis records again.
  {
    DxfText d("AC1009");
    for (int i = 0; i < 1000; ++i) {
      const double x = (i % 40) * 30, y = (i / 40) * 30;
      d.Line("DXF_MAIN", x, y, x + 10, y).Line("DXF_MAIN", x + 10, y, x + 10, y + 10);
      d.Line("DXF_MAIN", x + 10, y + 10, x, y + 10).Line("DXF_MAIN", x, y + 10, x, y);
      d.Circle("DXF_MAIN", x + 5, y + 2, 0.5);
    }
    Conversion r = ConvertText(d.Str());
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(Has(r.output, "\nkorvex: 1000 contours (0 holes), 0 without start hole"))
        << r.output.substr(r.output.size() - 300);
    NcCheck c = CheckNcProgram(r.program, ShippedDevice());
    EXPECT_TRUE(c.Ok()) << c.Report();
    EXPECT_EQ(c.called.size(), 1000u);
    EXPECT_EQ(c.closedCuts, 1000);
  }
  DxfText d("AC1009");
  d.Polyline("DXF_MAIN", {{0, 0}, {10, 0}, {10, 10}, {0, 10}}).Circle("DXF_MAIN", 5, 2, 0.5);
  // No technology text, or a code the technology file lacks: one contour each, however many cuts.
  for (const char* text : {"", "Q2_NOPE99", "Q2_ST20"}) {
    DxfText t = d;
    if (text[0]) t.Text("DXF_MAIN", 5, 1, text);
    Conversion r = ConvertText(t.Str());
    const bool known = std::string(text) == "Q2_ST20";
    EXPECT_EQ(Has(r.output, "0 without start hole, 1 without technology data -> "), !known)
        << text << r.output.substr(r.output.size() - 200);
  }
}

// Traces printed once per pair of contours or start holes stop at their limit,
// and one line at the end of the step counts the rest; a drawing within the
// limit prints every one of them and no count line.
TEST(Console, PairTracesStopAtTheirLimitAndOneLineCountsTheRest) {
  const long limit = kMaxTraceLines;
  auto leftOut = [](long n, const char* kind) {
    return "\n ... " + std::to_string(n) + " more traces left out: " + kind + "\n";
  };
  // n squares, each with its start hole: every contour's search passes over
  // the other n - 1 holes, and the nesting search compares n * n boxes.
  for (long n : {10L, 40L}) {
    DxfText d("AC1009");
    for (long i = 0; i < n; ++i) {
      const double x = (double)(i % 8) * 20, y = (double)(i / 8) * 20;
      d.Polyline("DXF_MAIN", {{x, y}, {x + 10, y}, {x + 10, y + 10}, {x, y + 10}}).Circle("DXF_MAIN", x + 5, y + 2, 0.5);
    }
    const Conversion r = ConvertText(d.Str());
    EXPECT_EQ(r.status, 0) << n;
    const long passed = n * (n - 1), boxes = n * n;
    EXPECT_EQ((long)CountOf(r.output, "]  -> used "), std::min(passed, limit)) << n;
    EXPECT_EQ((long)CountOf(r.output, " [regB "), std::min(boxes, limit)) << n;
    EXPECT_EQ(Has(r.output, leftOut(passed - limit, "start holes passed over")), passed > limit) << n;
    EXPECT_EQ(Has(r.output, leftOut(boxes - limit, "region comparisons [regB]")), boxes > limit) << n;
    EXPECT_EQ(CountOf(r.output, " more traces left out: "), n > 31 ? 2u : 0u) << n;
  }
  // One contour with 300 start holes: the first is tested against its four
  // sides, the others' tests count against the limit.
  DxfText d("AC1009");
  d.Polyline("DXF_MAIN", {{0, 0}, {100, 0}, {100, 100}, {0, 100}});
  for (int i = 0; i < 300; ++i) d.Circle("DXF_MAIN", 2 + (i % 20) * 5, 2 + (i / 20) * 5, 0.5);
  const Conversion r = ConvertText(d.Str());
  EXPECT_EQ((long)CountOf(r.output, "\n ApproachRWPossible: "), 4 + limit);
  EXPECT_TRUE(Has(r.output, leftOut(299 * 4 - limit, "approach tests from further start holes"))) << r.output.substr(0, 300);
}
