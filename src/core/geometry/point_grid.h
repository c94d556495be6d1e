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
// costs no more than a coarse one; a small hash table finds the run of a
// cell's points. Points with a coordinate that is not a finite number are
// not filed: no distance test can accept them.
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
  void Finish() {
    if (!RadixSort()) std::sort(entries_.begin(), entries_.end());
    BuildCellTable();
  }
  size_t Size() const { return entries_.size(); }

  int64_t CellX(double x) const { return Cell((x - l_.Origin.X) / l_.W, l_.LoX, l_.HiX); }
  int64_t CellY(double y) const { return Cell((y - l_.Origin.Y) / l_.H, l_.LoY, l_.HiY); }

  // Calls visit(id, point) for every point filed in cell (cx, cy), in
  // ascending id order.
  template <class Visit>
  void ForCell(int64_t cx, int64_t cy, Visit&& visit) const {
    if (table_.empty()) return;
    for (size_t s = Hash(cx, cy) & mask_;; s = (s + 1) & mask_) {
      const CellRange& c = table_[s];
      if (c.End == 0) return;  // an empty slot: the cell holds no point
      if (c.Cx == cx && c.Cy == cy) {
        for (size_t i = c.Begin; i < c.End; ++i) visit(entries_[i].Id, entries_[i].P);
        return;
      }
    }
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
  // Points filed in ascending id order (as every caller files them) over
  // cells whose numbers pack into one 64-bit key are put in order by a
  // stable radix sort on that key: the same order as the comparison sort,
  // in time linear in the number of points. False (nothing changed) when
  // that does not apply.
  bool RadixSort() {
    const size_t n = entries_.size();
    if (n < 256 || n > std::numeric_limits<uint32_t>::max()) return false;
    int64_t minX = entries_[0].Cx, maxX = minX, minY = entries_[0].Cy, maxY = minY;
    for (size_t i = 1; i < n; ++i) {
      const Entry& e = entries_[i];
      if (e.Id < entries_[i - 1].Id) return false;
      minX = std::min(minX, e.Cx);
      maxX = std::max(maxX, e.Cx);
      minY = std::min(minY, e.Cy);
      maxY = std::max(maxY, e.Cy);
    }
    // Cell numbers lie within +-kFar, so the spans fit unsigned 64 bits.
    const uint64_t spanX = static_cast<uint64_t>(maxX - minX) + 1;
    const uint64_t spanY = static_cast<uint64_t>(maxY - minY) + 1;
    if (spanX > std::numeric_limits<uint64_t>::max() / spanY) return false;
    const uint64_t top = spanX * spanY - 1;
    unsigned bits = 0;
    while (bits < 64 && (top >> bits) != 0) ++bits;
    // Key lexicographic in (cell x, cell y); entries of one key keep the
    // order they were filed in, which is ascending id.
    std::vector<uint64_t> key(n), keyTmp(n);
    std::vector<uint32_t> pos(n), posTmp(n);
    for (size_t i = 0; i < n; ++i) {
      key[i] = static_cast<uint64_t>(entries_[i].Cx - minX) * spanY +
               static_cast<uint64_t>(entries_[i].Cy - minY);
      pos[i] = static_cast<uint32_t>(i);
    }
    constexpr unsigned kDigit = 11;
    constexpr size_t kBuckets = size_t{1} << kDigit;
    std::vector<size_t> count(kBuckets + 1);
    for (unsigned shift = 0; shift < bits; shift += kDigit) {
      std::fill(count.begin(), count.end(), 0);
      for (size_t i = 0; i < n; ++i) ++count[((key[i] >> shift) & (kBuckets - 1)) + 1];
      for (size_t b = 1; b <= kBuckets; ++b) count[b] += count[b - 1];
      for (size_t i = 0; i < n; ++i) {
        const size_t at = count[(key[i] >> shift) & (kBuckets - 1)]++;
        keyTmp[at] = key[i];
        posTmp[at] = pos[i];
      }
      key.swap(keyTmp);
      pos.swap(posTmp);
    }
    std::vector<Entry> sorted;
    sorted.reserve(n);
    for (size_t i = 0; i < n; ++i) sorted.push_back(entries_[pos[i]]);
    entries_.swap(sorted);
    return true;
  }

  // Where each occupied cell's run of entries lies, in an open-addressed
  // table twice the number of cells or more, so that a query finds its
  // cell in a probe or two instead of a binary search over all points.
  struct CellRange {
    int64_t Cx = 0, Cy = 0;
    size_t Begin = 0, End = 0;  // End 0: an empty slot
  };
  static size_t Hash(int64_t cx, int64_t cy) {
    uint64_t h = static_cast<uint64_t>(cx) * 0x9E3779B97F4A7C15ULL;
    h ^= static_cast<uint64_t>(cy) * 0xC2B2AE3D27D4EB4FULL;
    return static_cast<size_t>(h ^ (h >> 29));
  }
  void BuildCellTable() {
    table_.clear();
    if (entries_.empty()) return;
    size_t cells = 1;
    for (size_t i = 1; i < entries_.size(); ++i)
      if (entries_[i].Cx != entries_[i - 1].Cx || entries_[i].Cy != entries_[i - 1].Cy) ++cells;
    size_t size = 16;
    while (size < 2 * cells) size *= 2;
    table_.assign(size, CellRange{});
    mask_ = size - 1;
    for (size_t b = 0; b < entries_.size();) {
      size_t e = b + 1;
      while (e < entries_.size() && entries_[e].Cx == entries_[b].Cx && entries_[e].Cy == entries_[b].Cy) ++e;
      size_t s = Hash(entries_[b].Cx, entries_[b].Cy) & mask_;
      while (table_[s].End != 0) s = (s + 1) & mask_;
      table_[s] = CellRange{entries_[b].Cx, entries_[b].Cy, b, e};
      b = e;
    }
  }

  static int64_t Cell(double scaled, int64_t lo, int64_t hi) {
    const double c = std::floor(scaled);
    if (c != c) return std::clamp<int64_t>(0, lo, hi);  // NaN: any fixed cell will do
    return static_cast<int64_t>(std::clamp(c, static_cast<double>(lo), static_cast<double>(hi)));
  }

  Layout l_;
  std::vector<Entry> entries_;
  std::vector<CellRange> table_;
  size_t mask_ = 0;
};

}  // namespace tarnak
