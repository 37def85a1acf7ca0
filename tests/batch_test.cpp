// korvex --batch run as a process: every drawing's outputs named after it, the
// same program a single run writes, one line each in input order, the job
// sheet, the worst status, and the bounds of -j.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "support/dxf_text.h"
#include "support/runs.h"
#include "support/support.h"

namespace fs = std::filesystem;

// A square of side size on the main layer, with its start hole inside unless told otherwise.
static std::string square(double size, bool startHole = true) {
  DxfText d("AC1009");
  d.Layer("0").Layer("DXF_MAIN").Polyline("DXF_MAIN", {{0, 0}, {size, 0}, {size, size}, {0, size}});
  if (startHole) d.Circle("DXF_MAIN", size / 2, 2, 0.5);
  return d.Str();
}

// The one file in folder whose name starts with prefix; "" when none or several.
static std::string onlyFile(const std::string& folder, const std::string& prefix) {
  std::string found;
  int n = 0;
  for (const auto& e : fs::directory_iterator(folder))
    if (e.path().filename().string().rfind(prefix, 0) == 0) found = e.path().string(), ++n;
  return n == 1 ? found : "";
}

TEST(Batch, EveryDrawingConvertedAsAloneListedInOrderWorstStatusReturned) {
  for (const char* dataName : {"_nwd_out", "*infile*"}) {
    ProgramFolder home;
    fs::copy(SourceDir() + "/devices", home.File("devices"), fs::copy_options::recursive);
    WriteFile(home.File("korvex.ini"), std::string("LayerName: 'DXF_MAIN'\nOpenDataFile: 0\nDataName: '") + dataName + "'\n");
    fs::create_directories(home.File("sub"));
    fs::create_directories(home.File("out"));
    const std::vector<std::pair<std::string, std::string>> drawings = {
        {"a.dxf", square(10)}, {"r&d<1>.dxf", square(20)}, {"nohole.dxf", square(10, false)},
        {"garbage.dxf", "garbage"}, {"missing.dxf", ""}, {"sub/a.dxf", square(30)}};
    const std::vector<std::string> stems = {"a", "r&d<1>", "nohole", "garbage", "missing", "a-2"};
    std::vector<std::string> args = {home.Binary(), "--batch", "-j", "3", "-o", "out"};
    for (const auto& [name, text] : drawings) {
      if (!text.empty()) WriteFile(home.File(name), text);
      args.push_back(name);
    }
    const ProcessResult batch = RunProcess(args, home.Path());

    int worst = 0;
    size_t lineAt = 0;
    const std::string sheet = ReadFile(home.File("out/_jobs.htm"));
    for (size_t i = 0; i < drawings.size(); ++i) {
      // The same drawing converted alone, with the same settings, into a folder of its own.
      const std::string alone = "alone" + std::to_string(i);
      fs::create_directories(home.File(alone));
      const ProcessResult single = RunProcess({home.Binary(), "-o", alone, drawings[i].first}, home.Path());
      worst = std::max(worst, single.status);
      SCOPED_TRACE(drawings[i].first + " " + dataName);
      const std::string line = drawings[i].first + ": status " + std::to_string(single.status) + " (";
      const size_t at = batch.output.find(line);
      ASSERT_NE(at, std::string::npos) << batch.output;
      EXPECT_GE(at, lineAt) << "lines out of input order";
      lineAt = at;
      // The program alone is named by DataName (or after the drawing); in the batch after the drawing.
      const std::string ownName = fs::path(drawings[i].first).stem().string() + ".";
      const std::string program = onlyFile(home.File(alone), dataName[0] == '_' ? "_nwd_out" : ownName);
      const std::string stem = home.File("out/" + stems[i]);
      if (single.status == 0) {
        ASSERT_FALSE(program.empty());
        const std::string ext = program.substr(program.rfind('.'));
        EXPECT_EQ(ReadFile(stem + ext), ReadFile(program));
        EXPECT_TRUE(FileExists(stem + "_results.htm"));
      }
      if (single.status != 2 && single.status != 6) {
        EXPECT_TRUE(FileExists(stem + "_outlog.txt"));
      }
      std::string shown = drawings[i].first;
      if (i == 1) shown = "r&amp;d&lt;1&gt;.dxf";
      EXPECT_TRUE(Has(sheet, "<td>" + shown + "</td><td>" + std::to_string(single.status) + " ")) << sheet;
    }
    EXPECT_EQ(batch.status, worst);
    EXPECT_GT(worst, 0);
    // The job sheet: one row per drawing, names escaped, the written programs linked.
    EXPECT_EQ(CountOf(sheet, "<tr"), drawings.size() + 1);
    EXPECT_TRUE(Has(sheet, "r&amp;d&lt;1&gt;.dxf"));
    EXPECT_FALSE(Has(sheet, "r&d<1>"));
    EXPECT_TRUE(Has(sheet, "href='a.")) << sheet;
    EXPECT_TRUE(Has(sheet, "href='a-2.")) << sheet;
  }
}

TEST(Batch, JobCountOutOfBoundsIsAUsageError) {
  ProgramFolder home;
  WriteFile(home.File("a.dxf"), square(10));
  for (const char* n : {"0", "-2", "abc", "65", "2x", ""}) {
    const ProcessResult r = RunProcess({home.Binary(), "--batch", "-j", n, "a.dxf"}, home.Path());
    EXPECT_EQ(r.status, 6) << n << r.output;
    EXPECT_TRUE(Has(r.output, "-j")) << r.output;
    EXPECT_FALSE(FileExists(home.File("_jobs.htm")));
  }
  // -j alone, without --batch, is refused the same way; --batch without a drawing is the usage status.
  EXPECT_EQ(RunProcess({home.Binary(), "-j", "2", "a.dxf"}, home.Path()).status, 6);
  EXPECT_EQ(RunProcess({home.Binary(), "--batch"}, home.Path()).status, 1);
}
