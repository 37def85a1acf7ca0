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

// Appends what is filed in the cells x0..x1 by y0..y1 to out.
static void appendCells(const std::unordered_map<uint64_t, std::vector<long>>& cells, long x0, long x1, long y0,
                        long y1, std::vector<long>& out) {
  for (long cx = x0; cx <= x1; ++cx)
    for (long cy = y0; cy <= y1; ++cy) {
      auto it = cells.find(cellKey(cx, cy));
      if (it != cells.end()) out.insert(out.end(), it->second.begin(), it->second.end());
    }
}

// Table order, each record once.
static void sortUnique(std::vector<long>& out) {
  std::sort(out.begin(), out.end());
  out.erase(std::unique(out.begin(), out.end()), out.end());
}

void KxPointGrid::Add(double x, double y, long id) {
  if (!Usable() || !std::isfinite(x) || !std::isfinite(y)) return;
  cells_[cellKey(cellOf(x), cellOf(y))].push_back(id);
}

void KxPointGrid::Near(double x, double y, std::vector<long>& out) const {
  out.clear();
  if (!Usable() || !std::isfinite(x) || !std::isfinite(y)) return;
  const long x0 = cellOf(x - reach_), x1 = cellOf(x + reach_);
  const long y0 = cellOf(y - reach_), y1 = cellOf(y + reach_);
  appendCells(cells_, x0, x1, y0, y1, out);
  sortUnique(out);
}

void KxBoxGrid::Reset(double cell) {
  cells_.clear();
  wide_.clear();
  all_.clear();
  count_ = 0;
  cell_ = std::isfinite(cell) && cell > 1e-3 ? cell : 1e-3;
}

long KxBoxGrid::cellOf(double v) const {
  const double c = std::floor(v / cell_);
  if (!(c > -(double)kSpan)) return -kSpan;
  if (!(c < (double)kSpan)) return kSpan;
  return (long)c;
}

void KxBoxGrid::Add(double x0, double y0, double x1, double y1, long id) {
  ++count_;
  all_.push_back(id);
  if (!std::isfinite(x0) || !std::isfinite(y0) || !std::isfinite(x1) || !std::isfinite(y1)) {
    wide_.push_back(id);
    return;
  }
  if (x1 < x0) std::swap(x0, x1);
  if (y1 < y0) std::swap(y0, y1);
  const long cx0 = cellOf(x0), cx1 = cellOf(x1), cy0 = cellOf(y0), cy1 = cellOf(y1);
  if ((double)(cx1 - cx0 + 1) * (double)(cy1 - cy0 + 1) > kWideCells) {
    wide_.push_back(id);
    return;
  }
  for (long cx = cx0; cx <= cx1; ++cx)
    for (long cy = cy0; cy <= cy1; ++cy) cells_[cellKey(cx, cy)].push_back(id);
}

void KxBoxGrid::Overlapping(double x0, double y0, double x1, double y1, std::vector<long>& out) const {
  out.clear();
  if (x1 < x0) std::swap(x0, x1);
  if (y1 < y0) std::swap(y0, y1);
  const long cx0 = cellOf(x0), cx1 = cellOf(x1), cy0 = cellOf(y0), cy1 = cellOf(y1);
  // A box that is no finite number, or one covering more cells than there are
  // boxes, is answered with all of them.
  const bool finite = std::isfinite(x0) && std::isfinite(y0) && std::isfinite(x1) && std::isfinite(y1);
  if (!finite || (double)(cx1 - cx0 + 1) * (double)(cy1 - cy0 + 1) > (double)count_ + 4) {
    out = all_;
  } else {
    out = wide_;
    appendCells(cells_, cx0, cx1, cy0, cy1, out);
  }
  sortUnique(out);
}
