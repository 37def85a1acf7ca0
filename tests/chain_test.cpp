// The grids the chaining and the analysis narrow their searches with: every
// point within the reach and every overlapping box must come back. The chaining
// itself is seen in whole programs (nc_program_test, cut_faults_test, the corpus).
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

#include "geometry/base.h"

// The grids only narrow a search: every point within the reach on both axes and
// every box overlapping the asked one must come back, in ascending order, also
// at the reach's edge, far out, in a cluster and when the ask covers everything.
TEST(Chain, GridsGiveEveryPointWithinReachAndEveryOverlappingBox) {
  const double reach = 0.002;
  std::vector<std::array<double, 4>> boxes;
  unsigned s = 7;
  auto next = [&s] { return (s = s * 1103515245u + 12345u) >> 8; };
  for (int i = 0; i < 3000; ++i) {
    const double x = (double)(next() % 4000) * 0.001 + (i % 3 == 0 ? 999999.0 : 0);
    const double y = (double)(next() % 4000) * 0.001 - (i % 5 == 0 ? 999999.0 : 0);
    const double w = i % 97 == 0 ? 5000.0 : (double)(next() % 50) * 0.001;
    boxes.push_back({x, y, x + w, y + w});
  }
  KxPointGrid points;
  points.Reset(reach);
  KxBoxGrid areas;
  areas.Reset(0.01);
  for (size_t i = 0; i < boxes.size(); ++i) {
    points.Add(boxes[i][0], boxes[i][1], (long)i);
    areas.Add(boxes[i][0], boxes[i][1], boxes[i][2], boxes[i][3], (long)i);
  }
  points.Add(std::nan(""), 0, 5000);   // never near anything
  std::vector<long> got;
  for (size_t q = 0; q < boxes.size(); q += 7) {
    // At the reach's edge of a filed point, on each axis.
    const double qx = boxes[q][0] + (q % 2 ? reach : -reach), qy = boxes[q][1] - (q % 3 ? reach : 0);
    points.Near(qx, qy, got);
    EXPECT_TRUE(std::is_sorted(got.begin(), got.end()));
    for (size_t i = 0; i < boxes.size(); ++i)
      if (std::fabs(boxes[i][0] - qx) <= reach && std::fabs(boxes[i][1] - qy) <= reach) {
        EXPECT_TRUE(std::binary_search(got.begin(), got.end(), (long)i)) << q << " misses " << i;
      }
    const double span = q % 11 == 0 ? 2e6 : 0.02;
    areas.Overlapping(qx, qy, qx + span, qy + span, got);
    EXPECT_TRUE(std::is_sorted(got.begin(), got.end()));
    for (size_t i = 0; i < boxes.size(); ++i)
      if (boxes[i][0] <= qx + span && boxes[i][2] >= qx && boxes[i][1] <= qy + span && boxes[i][3] >= qy) {
        EXPECT_TRUE(std::binary_search(got.begin(), got.end(), (long)i)) << q << " misses box " << i;
      }
  }
  EXPECT_FALSE(std::binary_search(got.begin(), got.end(), 5000L));
  points.Near(std::nan(""), 0, got);
  EXPECT_TRUE(got.empty());
}
