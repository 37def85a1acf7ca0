// The point grid of the analysis: points filed by square cells of twice the
// search reach, so that a search near a point looks at no more than four cells
// instead of every record of the table.
#include <algorithm>
#include <cmath>

#include "geometry/base.h"

void KxPointGrid::Reset(double reach) {
  cells_.clear();
  reach_ = 0;
  cell_ = 0;
  if (!std::isfinite(reach) || reach < 0) return;
  // A little beyond the reach: rounding of the caller's distance must never
  // leave a point out. A tolerance of 0 still gets cells of a sensible size.
  reach_ = reach * (1.0 + 1e-6) + 1e-7;
  cell_ = std::max(2.0 * reach_, 1e-3);
}

long KxPointGrid::cellOf(double v) const {
  const double c = std::floor(v / cell_);
  if (!(c > -(double)kSpan)) return -kSpan;
  if (!(c < (double)kSpan)) return kSpan;
  return (long)c;
}

static uint64_t cellKey(long cx, long cy) { return (uint64_t)(uint32_t)cx << 32 | (uint32_t)cy; }

void KxPointGrid::Add(double x, double y, long id) {
  if (!Usable() || !std::isfinite(x) || !std::isfinite(y)) return;
  cells_[cellKey(cellOf(x), cellOf(y))].push_back(id);
}

void KxPointGrid::Near(double x, double y, std::vector<long>& out) const {
  out.clear();
  if (!Usable() || !std::isfinite(x) || !std::isfinite(y)) return;
  const long x0 = cellOf(x - reach_), x1 = cellOf(x + reach_);
  const long y0 = cellOf(y - reach_), y1 = cellOf(y + reach_);
  for (long cx = x0; cx <= x1; ++cx)
    for (long cy = y0; cy <= y1; ++cy) {
      auto it = cells_.find(cellKey(cx, cy));
      if (it != cells_.end()) out.insert(out.end(), it->second.begin(), it->second.end());
    }
  std::sort(out.begin(), out.end());
  out.erase(std::unique(out.begin(), out.end()), out.end());
}
