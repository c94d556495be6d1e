// A grid of cells over points that refers to them by the caller's index, for
// finding the points near a place without looking at every point.
//
// The grid only narrows the search, like the box tree: a query reports every
// point filed in the cells it covers, and the caller applies its own exact
// test and its own tie rule to them, so that the answer is the one a plain
// loop over all points would give. Cells are numbered
// floor((v - origin) / side) on each axis, clamped to the caller's range,
// so the numbering is monotone in the coordinate and a point within a box
// always lies in one of the cells the box covers. Only occupied cells are
// stored (sorted by cell, then index), so a fine grid over a large drawing
// costs no more than a coarse one. Points with a coordinate that is not a
// finite number are not filed: no distance test can accept them.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include "geometry/geometry.h"

namespace tarnak {

class PointGrid {
 public:
  // Cells of side w by h (both > 0) from `origin`; cell numbers outside
  // [lo, hi] on an axis share the outermost cell (a coarser grid there,
  // never an overflow).
  struct Layout {
    Point2 Origin{0.0, 0.0};
    double W = 1.0, H = 1.0;
    int64_t LoX = -kFar, HiX = kFar, LoY = -kFar, HiY = kFar;
  };
  static constexpr int64_t kFar = 4'000'000'000'000'000;

  explicit PointGrid(const Layout& layout) : l_(layout) {}

  void Add(Point2 p, int32_t id) {
    if (!std::isfinite(p.X) || !std::isfinite(p.Y)) return;
    entries_.push_back({CellX(p.X), CellY(p.Y), id, p});
  }
  void Reserve(size_t n) { entries_.reserve(n); }
  // Call once after the last Add, before any query.
  void Finish() { std::sort(entries_.begin(), entries_.end()); }
  size_t Size() const { return entries_.size(); }

  int64_t CellX(double x) const { return Cell((x - l_.Origin.X) / l_.W, l_.LoX, l_.HiX); }
  int64_t CellY(double y) const { return Cell((y - l_.Origin.Y) / l_.H, l_.LoY, l_.HiY); }

  // Calls visit(id, point) for every point filed in cell (cx, cy), in
  // ascending id order.
  template <class Visit>
  void ForCell(int64_t cx, int64_t cy, Visit&& visit) const {
    auto it = std::lower_bound(entries_.begin(), entries_.end(),
                               Entry{cx, cy, std::numeric_limits<int32_t>::min(), {}});
    for (; it != entries_.end() && it->Cx == cx && it->Cy == cy; ++it) visit(it->Id, it->P);
  }

  // Calls visit(id, point) for every point filed in the cells that the box
  // of half side `reach` around p covers. Callers pass a reach a little
  // larger than their tolerance, against rounding in the cell arithmetic.
  template <class Visit>
  void ForEachNear(Point2 p, double reach, Visit&& visit) const {
    const int64_t x0 = CellX(p.X - reach), x1 = CellX(p.X + reach);
    const int64_t y0 = CellY(p.Y - reach), y1 = CellY(p.Y + reach);
    for (int64_t cx = x0; cx <= x1; ++cx)
      for (int64_t cy = y0; cy <= y1; ++cy) ForCell(cx, cy, visit);
  }

 private:
  struct Entry {
    int64_t Cx, Cy;
    int32_t Id;
    Point2 P;
    bool operator<(const Entry& o) const {
      if (Cx != o.Cx) return Cx < o.Cx;
      if (Cy != o.Cy) return Cy < o.Cy;
      return Id < o.Id;
    }
  };
  static int64_t Cell(double scaled, int64_t lo, int64_t hi) {
    const double c = std::floor(scaled);
    if (c != c) return std::clamp<int64_t>(0, lo, hi);  // NaN: any fixed cell will do
    return static_cast<int64_t>(std::clamp(c, static_cast<double>(lo), static_cast<double>(hi)));
  }

  Layout l_;
  std::vector<Entry> entries_;
};

}  // namespace tarnak
