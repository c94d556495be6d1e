// Nearest-neighbour ordering of Regions, so that the tool travels little
// between outlines machined in list order.
//
// The walk repeatedly takes the Region whose first start point is nearest to
// where the previous Region ended (ties: the lower index). A uniform grid
// over the start points (geometry/point_grid.h) answers each step from the cells around the current
// point instead of measuring every remaining Region.
#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

#include "geometry/point_grid.h"
#include "geometry/primitives.h"
#include "import/profiles/profile_building.h"

namespace tarnak {

namespace {

class StartPointGrid {
 public:
  StartPointGrid(const std::vector<Point2>& pts, const std::vector<int>& ids) : pts_(pts) {
    const size_t m = ids.size();
    minX_ = minY_ = std::numeric_limits<double>::infinity();
    double maxX = -minX_, maxY = -minY_;
    for (int id : ids) {
      minX_ = std::min(minX_, pts_[static_cast<size_t>(id)].X);
      minY_ = std::min(minY_, pts_[static_cast<size_t>(id)].Y);
      maxX = std::max(maxX, pts_[static_cast<size_t>(id)].X);
      maxY = std::max(maxY, pts_[static_cast<size_t>(id)].Y);
    }
    const double w = maxX - minX_, h = maxY - minY_;
    const double cells = std::max(1.0, static_cast<double>(m) / 2.0);
    if (w > 0.0 && h > 0.0 && std::isfinite(w * h)) {
      const double side = std::sqrt(w * h / cells);
      nx_ = static_cast<int>(std::clamp(std::ceil(w / side), 1.0, 4096.0));
      ny_ = static_cast<int>(std::clamp(std::ceil(h / side), 1.0, 4096.0));
    } else if (w > 0.0 && std::isfinite(w)) {
      nx_ = static_cast<int>(std::clamp(cells, 1.0, 4096.0));
    } else if (h > 0.0 && std::isfinite(h)) {
      ny_ = static_cast<int>(std::clamp(cells, 1.0, 4096.0));
    }
    cw_ = nx_ > 1 ? w / nx_ : 1.0;
    ch_ = ny_ > 1 ? h / ny_ : 1.0;
    if (!(cw_ > 0.0) || !std::isfinite(cw_)) cw_ = 1.0;
    if (!(ch_ > 0.0) || !std::isfinite(ch_)) ch_ = 1.0;

    PointGrid::Layout layout;
    layout.Origin = {minX_, minY_};
    layout.W = cw_;
    layout.H = ch_;
    layout.LoX = layout.LoY = 0;
    layout.HiX = nx_ - 1;
    layout.HiY = ny_ - 1;
    grid_ = PointGrid(layout);
    grid_.Reserve(m);
    for (size_t k = 0; k < m; ++k) grid_.Add(pts_[static_cast<size_t>(ids[k])], ids[k]);
    grid_.Finish();
    alive_.assign(pts_.size(), 0);
    for (int id : ids) alive_[static_cast<size_t>(id)] = 1;
    remaining_ = m;
  }

  size_t Remaining() const { return remaining_; }
  void Remove(int id) {
    alive_[static_cast<size_t>(id)] = 0;
    --remaining_;
  }

  // Nearest alive point to q by squared distance; ties go to the lower id.
  int Nearest(Point2 q) const {
    const int cx = static_cast<int>(grid_.CellX(q.X)), cy = static_cast<int>(grid_.CellY(q.Y));
    int best = -1;
    double bestD = std::numeric_limits<double>::infinity();
    const int maxRing = std::max(nx_, ny_);
    for (int ring = 0; ring <= maxRing; ++ring) {
      const int x0 = cx - ring, x1 = cx + ring, y0 = cy - ring, y1 = cy + ring;
      for (int y = std::max(0, y0); y <= std::min(ny_ - 1, y1); ++y) {
        const bool edgeRow = (y == y0 || y == y1);
        for (int x = std::max(0, x0); x <= std::min(nx_ - 1, x1); ++x) {
          if (!edgeRow && x != x0 && x != x1) {
            // Interior of the ring was searched before: jump to its right edge.
            x = std::max(x, x1 - 1);
            continue;
          }
          Visit(x, y, q, best, bestD);
        }
      }
      if (best >= 0) {
        // Anything outside the searched block lies at least this far away.
        const double left = q.X - (minX_ + (x0)*cw_);
        const double right = (minX_ + (x1 + 1) * cw_) - q.X;
        const double below = q.Y - (minY_ + (y0)*ch_);
        const double above = (minY_ + (y1 + 1) * ch_) - q.Y;
        const double bound = std::min(std::min(left, right), std::min(below, above));
        if (bound > 0.0 && bound * bound * (1.0 - 1e-9) > bestD) break;
      }
    }
    return best;
  }

 private:
  void Visit(int x, int y, Point2 q, int& best, double& bestD) const {
    grid_.ForCell(x, y, [&](int32_t id, Point2 p) {
      if (!alive_[static_cast<size_t>(id)]) return;
      const double d = (p.X - q.X) * (p.X - q.X) + (p.Y - q.Y) * (p.Y - q.Y);
      if (d < bestD || (d == bestD && id < best)) {
        bestD = d;
        best = id;
      }
    });
  }

  const std::vector<Point2>& pts_;
  double minX_ = 0.0, minY_ = 0.0, cw_ = 1.0, ch_ = 1.0;
  int nx_ = 1, ny_ = 1;
  PointGrid grid_{PointGrid::Layout{}};
  std::vector<char> alive_;
  size_t remaining_ = 0;
};

bool Finite(Point2 p) { return std::isfinite(p.X) && std::isfinite(p.Y); }

}  // namespace

void OrderByNearest(const CancelToken& cancel, TTNRegionArray& list,
                    const DrawingExtentsRec& extents) {
  if (cancel.stopped() || list.size() < 3) {
    for (size_t i = 1; i < list.size(); ++i) list[i].Selected = 0;
    return;
  }
  const size_t n = list.size();
  std::vector<Point2> starts(n);
  std::vector<int> walkable;
  std::vector<int> rest;  // Regions without a usable start point keep their order at the end
  walkable.reserve(n);
  for (size_t i = 1; i < n; ++i) {
    list[i].Selected = 1;
    if (!list[i].Elements.empty()) starts[i] = ElementStart(list[i].Elements.front());
    if (!list[i].Elements.empty() && Finite(starts[i]) &&
        std::fabs(starts[i].X) < 1e150 && std::fabs(starts[i].Y) < 1e150)
      walkable.push_back(static_cast<int>(i));
    else
      rest.push_back(static_cast<int>(i));
  }

  StartPointGrid grid(starts, walkable);
  TTNRegionArray out;
  out.reserve(n);
  out.push_back(std::move(list[0]));
  const Point2 corner{extents.MinX, extents.MinY};
  Point2 at = corner;
  while (grid.Remaining() > 0) {
    if (!Finite(at) || std::fabs(at.X) >= 1e150 || std::fabs(at.Y) >= 1e150) at = corner;
    const int k = grid.Nearest(at);
    if (k < 0) break;
    grid.Remove(k);
    TTNRegion& r = list[static_cast<size_t>(k)];
    r.Selected = 0;
    at = ElementEnd(r.Elements.back());
    out.push_back(std::move(r));
  }
  for (int k : rest) {
    list[static_cast<size_t>(k)].Selected = 0;
    out.push_back(std::move(list[static_cast<size_t>(k)]));
  }
  list = std::move(out);
}

}  // namespace tarnak
