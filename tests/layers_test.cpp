// The core's subsystems stand in layers, geometry at the bottom and the run on
// top: a file may include its own layer's header and those below it. The run's
// state is handed to every step, so a step's source (never a header, never
// geometry's) may include the run's header to reach it.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <string>

#include "support/support.h"

namespace fs = std::filesystem;

TEST(Layers, NoIncludeRunsUpward) {
  const std::vector<std::string> order = {"geometry", "config", "elements", "dxf", "contours", "nc", "report", "run"};
  auto rank = [&](const std::string& layer) { return (int)(std::find(order.begin(), order.end(), layer) - order.begin()); };
  const std::regex include(R"(^\s*#\s*include\s*"([a-z]+)/[^"]+")");
  int files = 0;
  for (const auto& entry : fs::recursive_directory_iterator(SourceDir() + "/core")) {
    const fs::path& path = entry.path();
    if (!entry.is_regular_file() || (path.extension() != ".h" && path.extension() != ".cpp")) continue;
    const std::string layer = path.parent_path().filename().string();
    ASSERT_LT(rank(layer), (int)order.size()) << path << " stands in no known layer";
    ++files;
    std::ifstream in(path);
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
      std::smatch m;
      if (!std::regex_search(line, m, include)) continue;
      const std::string to = m[1];
      const bool stateForAStep = to == "run" && path.extension() == ".cpp" && layer != "geometry";
      if (rank(to) > rank(layer) && !stateForAStep)
        ADD_FAILURE() << path.string() << ":" << number << ": " << layer << " includes " << to << ", a layer above it";
    }
  }
  EXPECT_GT(files, 50);
}
