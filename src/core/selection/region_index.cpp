#include "selection/region_index.h"

#include <algorithm>
#include <cmath>

#include "geometry/primitives.h"

namespace tarnak {

using namespace selection_detail;

namespace {

// Regions with more Elements than this get horizontal bands.
constexpr std::size_t kBandThreshold = 16;

bool HasNaN(const Box& b) {
  return std::isnan(b.MinX) || std::isnan(b.MinY) || std::isnan(b.MaxY) || std::isnan(b.MaxX);
}

bool Contains(const Box& b, const Box& q, double margin) {
  return b.MinX - margin <= q.MinX && b.MinY - margin <= q.MinY && b.MaxY + margin >= q.MaxY &&
         b.MaxX + margin >= q.MaxX;
}

}  // namespace

// ------------------------------------------------------------ element bands

ElementBands::ElementBands(const TTNRegion& r) {
  const std::size_t n = r.Elements.size();
  double lo = 0.0, hi = 0.0;
  bool any = false;
  for (const TTNEntity& e : r.Elements) {
    if (std::isnan(e.MinY) || std::isnan(e.MaxY)) continue;
    const double top = e.MaxY + 1e-8;
    lo = any ? std::min(lo, e.MinY) : e.MinY;
    hi = any ? std::max(hi, top) : top;
    any = true;
  }
  y0_ = lo;
  int bands = static_cast<int>(std::clamp<std::size_t>(n / 4, 1, 512));
  for (;;) {
    count_ = bands;
    const double h = (hi - lo) / bands;
    inv_ = (h > 0.0 && std::isfinite(h) && std::isfinite(1.0 / h)) ? 1.0 / h : 0.0;
    if (inv_ == 0.0) count_ = 1;
    // Counting pass, then fill (one array of Element indices per band).
    start_.assign(static_cast<std::size_t>(count_) + 1, 0);
    std::size_t total = 0;
    for (const TTNEntity& e : r.Elements) {
      if (std::isnan(e.MinY) || std::isnan(e.MaxY)) continue;
      const int b0 = Band(e.MinY), b1 = Band(e.MaxY + 1e-8);
      for (int b = b0; b <= b1; ++b) ++start_[static_cast<std::size_t>(b) + 1];
      total += static_cast<std::size_t>(b1 - b0 + 1);
    }
    // Tall Elements sit in many bands; fewer bands keep the lists small.
    if (count_ > 1 && total > 16 * n + 64) {
      bands = std::max(1, bands / 2);
      continue;
    }
    break;
  }
  for (int b = 0; b < count_; ++b)
    start_[static_cast<std::size_t>(b) + 1] += start_[static_cast<std::size_t>(b)];
  items_.resize(static_cast<std::size_t>(start_.back()));
  std::vector<int> fill(start_.begin(), start_.end() - 1);
  for (std::size_t k = 0; k < n; ++k) {
    const TTNEntity& e = r.Elements[k];
    if (std::isnan(e.MinY) || std::isnan(e.MaxY)) continue;
    const int b0 = Band(e.MinY), b1 = Band(e.MaxY + 1e-8);
    for (int b = b0; b <= b1; ++b)
      items_[static_cast<std::size_t>(fill[static_cast<std::size_t>(b)]++)] = static_cast<int>(k);
  }
}

// Monotone in y: a value inside an Element's Y range always falls into one
// of the bands the Element was filed under.
int ElementBands::Band(double y) const {
  const double c = std::floor((y - y0_) * inv_);
  if (!(c >= 0.0)) return 0;
  if (c >= static_cast<double>(count_ - 1)) return count_ - 1;
  return static_cast<int>(c);
}

// ------------------------------------------------------------- region index

RegionIndex::RegionIndex(const TTNRegionArray& list) : list_(&list) {
  const std::size_t n = list.size();
  probes_.assign(n, Point2{});
  bandOf_.assign(n, -1);
  scale_.assign(n, 0.0);
  std::vector<Box> closed;
  for (std::size_t j = 1; j < n; ++j) {
    const TTNRegion& r = list[j];
    probes_[j] = RegionProbePoint(r);
    double s = 0.0;
    for (const TTNEntity& e : r.Elements)
      s = std::max({s, std::fabs(e.X), std::fabs(e.Y), std::fabs(e.X2), std::fabs(e.Y2),
                    std::fabs(e.Radius)});
    scale_[j] = s;
    if (r.Elements.size() > kBandThreshold) {
      bandOf_[j] = static_cast<int>(bands_.size());
      bands_.emplace_back(r);
    }
    if (r.Open == 0 && !r.Elements.empty()) {
      const Box b = r.Bounds();
      if (HasNaN(b)) continue;
      closedIds_.push_back(static_cast<int>(j));
      closed.push_back(b);
    }
  }
  closed_.Build(std::move(closed));
}

void RegionIndex::Containing(const Box& q, double margin) {
  // A box that, widened by `margin`, contains q meets q widened by the same
  // margin; twice the margin leaves room for rounding. The tree only
  // narrows the search, the containment test decides.
  const double m = 2.0 * margin;
  const Box near = Box::FromMinMax(q.MinX - m, q.MinY - m, q.MaxX + m, q.MaxY + m);
  closed_.Query(near, [&](int32_t k) {
    if (Contains(closed_.ItemBox(k), q, margin))
      candidates_.push_back(closedIds_[static_cast<std::size_t>(k)]);
  });
}

bool RegionIndex::PointIn(Point2 p, int j) const {
  const TTNRegion& r = (*list_)[static_cast<std::size_t>(j)];
  const int b = bandOf_[static_cast<std::size_t>(j)];
  if (b < 0) return PointInRegion(p, r);
  if (r.Open != 0 || !PointNearBox(p, r.Bounds())) return false;
  int count = 0;
  bool insideCircle = false;
  bands_[static_cast<std::size_t>(b)].ForBand(p.Y, [&](int k) {
    count += ElementCrossings(r.Elements[static_cast<std::size_t>(k)], p, kPointInGraze, true,
                              insideCircle);
  });
  return insideCircle || (count & 1) != 0;
}

double RegionIndex::RayHit(const DrawingExtentsRec& extents, Point2 p, int j) const {
  const TTNRegion& r = (*list_)[static_cast<std::size_t>(j)];
  const TTNEntity segment = RaySegment(extents, p);
  const double lo = std::min(segment.X, segment.X2), hi = std::max(segment.X, segment.X2);
  // Far wider than anything the intersection routine forgives (2.5e-4 at
  // the ends, a relative 1e-12 for tangency).
  const double m = 1e-3 + 1e-9 * (std::fabs(p.X) + std::fabs(p.Y) + std::fabs(segment.X2) +
                                  scale_[static_cast<std::size_t>(j)]);
  double best = kNoRayHit;
  const auto visit = [&](const TTNEntity& e) {
    if (e.MinY - m > p.Y || e.MaxY + m < p.Y || e.MaxX + m < lo || e.MinX - m > hi) return;
    best = std::min(best, ElementRayHit(segment, e));
  };
  const int b = bandOf_[static_cast<std::size_t>(j)];
  if (b < 0) {
    for (const TTNEntity& e : r.Elements) visit(e);
  } else {
    bands_[static_cast<std::size_t>(b)].ForBands(
        p.Y - m, p.Y + m, [&](int k) { visit(r.Elements[static_cast<std::size_t>(k)]); });
  }
  return best;
}

int RegionIndex::Classify(TTNRegionArray& list, const DrawingExtentsRec& extents, int i,
                          const ClassifyVariant& variant) {
  // The single pick counts differently and only runs for one click.
  if (&list != list_ || variant.Kind == ClassifyKind::Single)
    return ClassifyRegion(list, extents, i, variant);
  const int n = static_cast<int>(list.size()) - 1;
  if (i < 1 || i > n) return 0;
  const int c = variant.Clicked;
  if (variant.Kind == ClassifyKind::Region && (c < 1 || c > n)) return 0;
  TTNRegion& ri = list[static_cast<std::size_t>(i)];
  if (variant.Kind == ClassifyKind::AllClosed &&
      (ri.Selected != 0 || ri.Open != 0 || ri.Elements.empty()))
    return kClassifiedBoundary;

  const Point2 p = probes_[static_cast<std::size_t>(i)];
  candidates_.clear();
  if (variant.Kind == ClassifyKind::AllClosed)
    Containing(ri.Bounds(), 0.0);
  else
    Containing(Box::FromMinMax(p.X, p.Y, p.X, p.Y), kBoxMargin);
  std::sort(candidates_.begin(), candidates_.end());

  ClassifyTally tally = StartTally(variant, i);
  for (int j : candidates_) {
    if (j == i) continue;
    const TTNRegion& rj = list[static_cast<std::size_t>(j)];
    bool counted = false;
    switch (variant.Kind) {
      case ClassifyKind::AllClosed:
        counted = BoxInsideBox(rj.Bounds(), ri.Bounds()) && PointIn(p, j);
        break;
      case ClassifyKind::Region:
        counted = j != c && PointIn(p, j) && PointIn(ElementEnd(rj.Elements.front()), c);
        break;
      case ClassifyKind::Window:
        counted = PointNearBox(probes_[static_cast<std::size_t>(j)], variant.Window) && PointIn(p, j);
        break;
      case ClassifyKind::Single:
        break;
    }
    if (counted) CountEnclosing(tally, j, RayHit(extents, p, j));
  }
  return FinishClassify(ri, tally);
}

}  // namespace tarnak
