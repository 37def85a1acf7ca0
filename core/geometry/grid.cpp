// The point grid of the analysis: points filed by square cells of four times
// the search reach, so that a search near a point looks at one to four cells
// instead of every record of the table; and the box grid, alike for boxes.
#include <algorithm>
#include <cmath>

#include "geometry/base.h"

void KxPointGrid::Reset(double reach) {
  cells_.Clear();
  reach_ = 0;
  cell_ = 0;
  if (!std::isfinite(reach) || reach < 0) return;
  // A little beyond the reach: rounding of the caller's distance must never
  // leave a point out. A tolerance of 0 still gets cells of a sensible size.
  reach_ = reach * (1.0 + 1e-6) + 1e-7;
  cell_ = std::max(4.0 * reach_, 1e-3);
}

long KxPointGrid::cellOf(double v) const {
  const double c = std::floor(v / cell_);
  if (!(c > -(double)kSpan)) return -kSpan;
  if (!(c < (double)kSpan)) return kSpan;
  return (long)c;
}

void KxCellTable::Clear() {
  if (slots_.size() <= 4096) {
    // A grid refilled for every contour keeps its few slots.
    for (size_t i : filled_) slots_[i].head = -1;
    filled_.clear();
    entries_.clear();
    return;
  }
  // The grids of a large drawing hold tens of megabytes, and a stage done
  // with its grid must not keep them through the stages after it.
  std::vector<Slot>().swap(slots_);
  std::vector<size_t>().swap(filled_);
  std::vector<Entry>().swap(entries_);
}

size_t KxCellTable::find(uint64_t key) const {
  const size_t mask = slots_.size() - 1;
  uint64_t h = key * 0x9E3779B97F4A7C15ull;
  size_t i = (size_t)(h ^ (h >> 32)) & mask;
  while (slots_[i].head >= 0 && slots_[i].key != key) i = (i + 1) & mask;
  return i;
}

void KxCellTable::grow(size_t size) {
  std::vector<Slot> old;
  old.swap(slots_);
  slots_.assign(size, Slot{0, -1});
  filled_.clear();
  for (const Slot& s : old)
    if (s.head >= 0) {
      const size_t i = find(s.key);
      slots_[i] = s;
      filled_.push_back(i);
    }
}

void KxCellTable::Reserve(size_t cells) {
  size_t size = slots_.empty() ? 64 : slots_.size();
  while (size < 2 * cells && size < ((size_t)1 << 40)) size *= 2;
  if (size > slots_.size()) grow(size);
  entries_.reserve(cells);
}

void KxCellTable::Add(uint64_t key, long id) {
  if (2 * (filled_.size() + 1) > slots_.size()) grow(slots_.empty() ? 64 : slots_.size() * 2);
  Slot& s = slots_[find(key)];
  const long entry = (long)entries_.size();
  if (s.head < 0) {
    s.key = key;
    filled_.push_back((size_t)(&s - slots_.data()));
  }
  entries_.push_back(Entry{id, s.head});
  s.head = entry;
}

void KxCellTable::Append(uint64_t key, std::vector<long>& out) const {
  if (slots_.empty()) return;
  for (long e = slots_[find(key)].head; e >= 0; e = entries_[(size_t)e].next) out.push_back(entries_[(size_t)e].id);
}

static uint64_t cellKey(long cx, long cy) { return (uint64_t)(uint32_t)cx << 32 | (uint32_t)cy; }

// Appends what is filed in the cells x0..x1 by y0..y1 to out.
static void appendCells(const KxCellTable& cells, long x0, long x1, long y0, long y1, std::vector<long>& out) {
  for (long cx = x0; cx <= x1; ++cx)
    for (long cy = y0; cy <= y1; ++cy) cells.Append(cellKey(cx, cy), out);
}

// Table order, each record once.
static void sortUnique(std::vector<long>& out) {
  // One cell's chain comes newest first: turned round, it is in order.
  if (std::is_sorted(out.rbegin(), out.rend())) std::reverse(out.begin(), out.end());
  if (std::is_sorted(out.begin(), out.end()) && std::adjacent_find(out.begin(), out.end()) == out.end()) return;
  std::sort(out.begin(), out.end());
  out.erase(std::unique(out.begin(), out.end()), out.end());
}

void KxPointGrid::Add(double x, double y, long id) {
  if (!Usable() || !std::isfinite(x) || !std::isfinite(y)) return;
  cells_.Add(cellKey(cellOf(x), cellOf(y)), id);
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
  cells_.Clear();
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
    for (long cy = cy0; cy <= cy1; ++cy) cells_.Add(cellKey(cx, cy), id);
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
