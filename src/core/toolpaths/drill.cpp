#include "toolpaths/drill.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <utility>
#include <vector>

#include "geometry/primitives.h"
#include "selection/region_selection.h"

namespace tarnak {

namespace {

// A Region that is drilled when selected: closed, with Elements, and with a
// box whose centre can be computed.
bool HasCentre(const TTNRegion& r, Point2& centre) {
  if (r.Open != 0 || r.Elements.empty()) return false;
  centre = {(r.MinX + r.MaxX) / 2, (r.MinY + r.MaxY) / 2};
  return std::isfinite(centre.X) && std::isfinite(centre.Y);
}

double Distance2(Point2 a, Point2 b) {
  const double dx = a.X - b.X, dy = a.Y - b.Y;
  return dx * dx + dy * dy;
}

// Holes per look at the token: a walk over 100,000 holes takes a fraction of
// a second, so Escape is seen at once while the progress gauge still moves.
constexpr std::size_t kHolesPerEventCheck = 256;

// The holes not yet drilled, bucketed in a uniform grid of about one hole
// per cell. Each cell keeps its live holes in one slice of `items`; a drilled
// hole is swapped out of its slice, so the slice order means nothing and ties
// are settled by the hole's position in the input instead.
class HoleGrid {
 public:
  HoleGrid(const std::vector<Point2>& points, std::vector<std::size_t> live) : points_(points) {
    Build(std::move(live));
  }

  std::size_t size() const { return live_; }

  void Take(std::size_t i) { Remove(i); }

  // The live hole nearest to `q` (smallest Distance2, then smallest input
  // position), removed from the grid.
  std::size_t TakeNearest(Point2 q) {
    if (live_ * 4 < cellCount_.size() && live_ >= 64) Rebuild();
    const long cx = Clamp(CellOf(q.X, minX_, gx_), gx_), cy = Clamp(CellOf(q.Y, minY_, gy_), gy_);
    std::size_t best = kNone;
    double bestDistance = 0.0;
    const long reach = std::max({cx, gx_ - 1 - cx, cy, gy_ - 1 - cy});
    for (long r = 0; r <= reach; ++r) {
      // Cells at Chebyshev distance r from (cx, cy), clipped to the grid.
      const long x0 = cx - r, x1 = cx + r, y0 = cy - r, y1 = cy + r;
      for (long y = std::max(y0, 0L); y <= std::min(y1, gy_ - 1); ++y) {
        const auto at = [&](long x) { Scan(static_cast<std::size_t>(y * gx_ + x), q, best, bestDistance); };
        if (y == y0 || y == y1) {
          for (long x = std::max(x0, 0L); x <= std::min(x1, gx_ - 1); ++x) at(x);
        } else {
          if (x0 >= 0) at(x0);
          if (x1 < gx_ && x1 != x0) at(x1);
        }
      }
      // Every hole not yet looked at lies outside the block of cells
      // examined so far; stop only when the best is strictly nearer than any
      // point outside it, so that an equal distance further on still gets
      // its chance to win on the lower position.
      if (best != kNone && bestDistance < Square(Gap(q, cx, cy, r))) break;
    }
    Remove(best);
    return best;
  }

 private:
  static constexpr std::size_t kNone = static_cast<std::size_t>(-1);

  static double Square(double v) { return v > 0 ? v * v : -1.0; }
  static long Clamp(long c, long n) { return std::min(std::max(c, 0L), n - 1); }

  long CellOf(double v, double origin, long n) const {
    const double c = std::floor((v - origin) * inverse_);
    if (!(c >= 0)) return 0;  // below the grid, or not a number
    return c >= static_cast<double>(n) ? n - 1 : static_cast<long>(c);
  }

  // The distance from q to the outside of the block of cells within r of
  // (cx, cy), less a margin for the rounding of the cell assignment; sides
  // on the grid's edge have nothing beyond them.
  double Gap(Point2 q, long cx, long cy, long r) const {
    double gap = INFINITY;
    if (cx - r > 0) gap = std::min(gap, q.X - (minX_ + static_cast<double>(cx - r) * size_));
    if (cx + r < gx_ - 1) gap = std::min(gap, minX_ + static_cast<double>(cx + r + 1) * size_ - q.X);
    if (cy - r > 0) gap = std::min(gap, q.Y - (minY_ + static_cast<double>(cy - r) * size_));
    if (cy + r < gy_ - 1) gap = std::min(gap, minY_ + static_cast<double>(cy + r + 1) * size_ - q.Y);
    return gap - margin_;
  }

  void Scan(std::size_t cell, Point2 q, std::size_t& best, double& bestDistance) const {
    const std::size_t begin = cellStart_[cell], end = begin + cellCount_[cell];
    for (std::size_t k = begin; k < end; ++k) {
      const std::size_t i = items_[k];
      const double d = Distance2(points_[i], q);
      if (best == kNone || d < bestDistance || (d == bestDistance && i < best)) {
        best = i;
        bestDistance = d;
      }
    }
  }

  void Remove(std::size_t i) {
    const std::size_t cell = cellOf_[i];
    const std::size_t last = cellStart_[cell] + --cellCount_[cell];
    const std::size_t at = slot_[i];
    items_[at] = items_[last];
    slot_[items_[at]] = at;
    --live_;
  }

  void Rebuild() {
    std::vector<std::size_t> live;
    live.reserve(live_);
    for (std::size_t cell = 0; cell < cellCount_.size(); ++cell)
      for (std::size_t k = 0; k < cellCount_[cell]; ++k) live.push_back(items_[cellStart_[cell] + k]);
    std::sort(live.begin(), live.end());
    Build(std::move(live));
  }

  void Build(std::vector<std::size_t> live) {
    live_ = live.size();
    double minX = INFINITY, minY = INFINITY, maxX = -INFINITY, maxY = -INFINITY;
    for (std::size_t i : live) {
      minX = std::min(minX, points_[i].X), maxX = std::max(maxX, points_[i].X);
      minY = std::min(minY, points_[i].Y), maxY = std::max(maxY, points_[i].Y);
    }
    if (live.empty()) minX = minY = maxX = maxY = 0.0;
    const double w = maxX - minX, h = maxY - minY, n = static_cast<double>(std::max<std::size_t>(live_, 1));
    double size = std::sqrt(w * h / n);
    size = std::max({size, w / n, h / n});
    if (!(size > 0) || !std::isfinite(size)) size = std::isfinite(w + h) && w + h > 0 ? w + h : 1.0;
    minX_ = minX, minY_ = minY, size_ = size, inverse_ = 1.0 / size;
    gx_ = std::max(1L, std::min(static_cast<long>(w / size) + 1, static_cast<long>(live_) + 1));
    gy_ = std::max(1L, std::min(static_cast<long>(h / size) + 1, static_cast<long>(live_) + 1));
    margin_ = 1e-7 * size + 1e-12 * (std::fabs(minX) + std::fabs(maxX) + std::fabs(minY) + std::fabs(maxY));

    const std::size_t cells = static_cast<std::size_t>(gx_) * static_cast<std::size_t>(gy_);
    cellCount_.assign(cells, 0);
    cellStart_.assign(cells + 1, 0);
    if (cellOf_.size() < points_.size()) cellOf_.resize(points_.size()), slot_.resize(points_.size());
    for (std::size_t i : live) {
      const long x = CellOf(points_[i].X, minX_, gx_), y = CellOf(points_[i].Y, minY_, gy_);
      cellOf_[i] = static_cast<std::size_t>(y * gx_ + x);
      ++cellStart_[cellOf_[i] + 1];
    }
    for (std::size_t c = 0; c < cells; ++c) cellStart_[c + 1] += cellStart_[c];
    items_.assign(live_, 0);
    for (std::size_t i : live) {
      const std::size_t cell = cellOf_[i];
      const std::size_t at = cellStart_[cell] + cellCount_[cell]++;
      items_[at] = i;
      slot_[i] = at;
    }
  }

  const std::vector<Point2>& points_;
  std::size_t live_ = 0;
  double minX_ = 0, minY_ = 0, size_ = 1, inverse_ = 1, margin_ = 0;
  long gx_ = 1, gy_ = 1;
  std::vector<std::size_t> cellStart_, cellCount_, items_, cellOf_, slot_;
};

}  // namespace

std::vector<std::size_t> NearestNeighbourOrder(const std::vector<Point2>& points, Point2 start,
                                               const CancelToken& cancel) {
  std::vector<std::size_t> order;
  if (points.empty()) return order;
  order.reserve(points.size());
  std::vector<std::size_t> all(points.size());
  for (std::size_t i = 0; i < all.size(); ++i) all[i] = i;
  HoleGrid grid(points, std::move(all));
  Point2 at = start;
  if (!std::isfinite(start.X) || !std::isfinite(start.Y)) {
    // No distance to such a corner compares as smaller than another, so the
    // first point goes first.
    grid.Take(0);
    order.push_back(0);
    at = points[0];
  }
  while (grid.size() > 0) {
    const std::size_t next = grid.TakeNearest(at);
    order.push_back(next);
    at = points[next];
    if (order.size() % kHolesPerEventCheck == 0 && grid.size() > 0) {
      cancel.Progress(static_cast<int>(order.size()), static_cast<int>(points.size()));
      if (cancel.Poll()) break;
    }
  }
  return order;
}

NearestHole NearestRegion(const TTNRegionArray& regions, Point2 point) {
  NearestHole best;
  double bestDistance = 0.0;
  for (std::size_t i = 1; i < regions.size(); ++i) {
    const TTNRegion& r = regions[i];
    Point2 centre;
    if (r.Selected == 0 || !HasCentre(r, centre)) continue;
    const double d = Distance2(centre, point);
    if (best.Index == 0 || d < bestDistance) {
      best.Index = static_cast<int>(i);
      best.Centre = centre;
      bestDistance = d;
    }
  }
  return best;
}

std::optional<Box> SelectionBox(const TTNRegionArray& regions) {
  std::optional<Box> box;
  for (std::size_t i = 1; i < regions.size(); ++i) {
    const TTNRegion& r = regions[i];
    if (r.Selected == 0) continue;
    if (!box) {
      box = r.Bounds();
      continue;
    }
    box->MinX = std::fmin(box->MinX, r.MinX);
    box->MinY = std::fmin(box->MinY, r.MinY);
    box->MaxX = std::fmax(box->MaxX, r.MaxX);
    box->MaxY = std::fmax(box->MaxY, r.MaxY);
  }
  return box;
}

int DrillPaths(const CancelToken& cancel, const TTNRegionArray& regions,
               TTNOutRegionArray& toolpaths, const TTNMachiningParameters& params) {
  if (cancel.stopped()) return 0;
  if (cancel.Poll()) return 0;
  ClearToolpaths(toolpaths);

  // The holes to drill, in Region order, so that the walk's ties (first
  // position) go to the Region that comes first in the list. The Regions
  // themselves are left alone (rather than unselecting each one as it is
  // drilled), so the selection cannot be lost whichever way the job ends.
  std::vector<Point2> centres;
  std::vector<std::size_t> owners;
  for (std::size_t i = 1; i < regions.size(); ++i) {
    Point2 centre;
    if (regions[i].Selected != 0 && HasCentre(regions[i], centre)) {
      centres.push_back(centre);
      owners.push_back(i);
    }
  }
  const std::optional<Box> box = SelectionBox(regions);
  if (centres.empty() || !box) return 0;
  toolpaths.reserve(centres.size() + 1);

  TTNOutRegion hole;
  hole.Feed = params.Rough.Feed;
  // The spindle speed of the drill dialog must reach the NC program's
  // tool change; a hole written with speed 0 would be drilled with the
  // spindle standing still.
  hole.SpindleSpeed = static_cast<double>(params.Rough.SpindleSpeed);
  hole.ToolNumber = params.Rough.ToolNumber;
  hole.RapidLevel = -params.RapidHeight;
  hole.LinkKind = params.CannedCycles != 0 ? kLinkDrillCanned : kLinkDrillLinear;

  const std::vector<std::size_t> order =
      NearestNeighbourOrder(centres, Point2{box->MinX, box->MinY}, cancel);
  const int total = static_cast<int>(centres.size());
  int made = 0;
  for (std::size_t k : order) {
    const Point2 c = centres[k];
    hole.Depth = regions[owners[k]].Depth;
    hole.Elements = {MakeLine(c.X, c.Y, c.X, c.Y)};
    toolpaths.push_back(hole);
    ++made;
  }
  cancel.Progress(made, total);
  return made;
}

}  // namespace tarnak
