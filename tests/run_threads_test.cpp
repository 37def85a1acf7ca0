// Conversions side by side: runs of different drawings on threads of one process
// give, byte for byte, what each gives alone. Built with ThreadSanitizer as well
// (scripts/test), which also catches any state the runs still share.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "run/run.h"
#include "run.h"
#include "support/support.h"

namespace fs = std::filesystem;

namespace {

struct Outputs {
  int status = -1;
  std::string console, program, log, page;
};

// The time of the run is the one thing two runs may differ in.
std::string timeless(std::string text) {
  static const std::regex stamp(R"([0-9]{1,2}[.:/-][0-9]{1,2}[.:/-][0-9]{2,4}|[0-9]{1,2}:[0-9]{2})");
  return std::regex_replace(text, stamp, "");
}

// One console run on its own run object, in a program folder of its own with the
// shipped settings and devices; the console text goes into the result.
Outputs convert(const std::string& drawing) {
  TempDir folder;
  std::error_code ec;
  fs::copy_file(SourceDir() + "/korvex.ini", folder.File("korvex.ini"), ec);
  fs::copy(SourceDir() + "/devices", folder.File("devices"), fs::copy_options::recursive, ec);
  const std::string dxf = folder.File("drawing.dxf");
  fs::copy_file(drawing, dxf, ec);

  Outputs out;
  auto run = std::make_unique<KxRun>();
  run->io.consoleSink = [&out](const char* text, size_t len) { out.console.append(text, len); };
  std::string program = folder.File("korvex");
  std::vector<char*> argv = {program.data(), const_cast<char*>(dxf.c_str()), nullptr};
  out.status = KorvexConsoleRun(*run, 2, argv.data());
  run.reset();
  out.program = ReadFile(folder.File("_nwd_out.NC"));
  out.log = timeless(ReadFile(folder.File("_outlog.txt")));
  out.page = timeless(ReadFile(folder.File("_results.htm")));
  // The folder's name is part of what the run prints.
  const std::string name = folder.File("");
  for (std::string* text : {&out.console, &out.log, &out.page, &out.program}) {
    for (size_t at = text->find(name); at != std::string::npos; at = text->find(name, at)) text->replace(at, name.size(), "<folder>/");
  }
  return out;
}

}  // namespace

TEST(RunThreads, TwoDrawingsOnTwoThreadsGiveWhatEachGivesAlone) {
  FreshCore();
  const std::vector<std::string> drawings = {SourceDir() + "/examples/die_plate.dxf", SourceDir() + "/examples/bracket_2000.dxf"};
  std::vector<Outputs> alone;
  for (const std::string& d : drawings) alone.push_back(convert(d));
  ASSERT_EQ(alone[0].status, 0);
  ASSERT_EQ(alone[1].status, 0);
  ASSERT_NE(alone[0].program, alone[1].program);

  for (int round = 0; round < 3; ++round) {
    std::vector<Outputs> side(drawings.size());
    std::vector<std::thread> threads;
    for (size_t i = 0; i < drawings.size(); ++i) threads.emplace_back([&, i] { side[i] = convert(drawings[i]); });
    for (std::thread& t : threads) t.join();
    for (size_t i = 0; i < drawings.size(); ++i) {
      SCOPED_TRACE(drawings[i] + ", round " + std::to_string(round));
      EXPECT_EQ(side[i].status, alone[i].status);
      EXPECT_EQ(side[i].console, alone[i].console);
      EXPECT_EQ(side[i].program, alone[i].program);
      EXPECT_EQ(side[i].log, alone[i].log);
      EXPECT_EQ(side[i].page, alone[i].page);
    }
  }
}
