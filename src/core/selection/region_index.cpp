#include "selection/region_index.h"

#include <algorithm>
#include <cmath>
#include <numeric>

#include "geometry/primitives.h"

namespace tarnak {

using namespace selection_detail;

namespace {

constexpr int kLeafSize = 8;
// Regions with more Elements than this get horizontal bands.
constexpr std::size_t kBandThreshold = 16;

bool HasNaN(const Box& b) {
  return std::isnan(b.MinX) || std::isnan(b.MinY) || std::isnan(b.MaxY) || std::isnan(b.MaxX);
}

// A sort key that is always an ordinary number; the keys only balance the
// tree, they never decide an answer.
double Key(double lo, double hi) {
  const double k = lo * 0.5 + hi * 0.5;
  return std::isfinite(k) ? k : 0.0;
}

bool Contains(const Box& b, const Box& q, double margin) {
  return b.MinX - margin <= q.MinX && b.MinY - margin <= q.MinY && b.MaxY + margin >= q.MaxY &&
         b.MaxX + margin >= q.MaxX;
}

Box Union(const Box& a, const Box& b) {
  return {std::min(a.MinX, b.MinX), std::min(a.MinY, b.MinY), std::max(a.MaxY, b.MaxY),
          std::max(a.MaxX, b.MaxX)};
}

}  // namespace

// ---------------------------------------------------------------- box tree

void RegionBoxTree::Build(const TTNRegionArray& list, const std::vector<int>& ids) {
  nodes_.clear();
  ids_.clear();
  boxes_.clear();
  for (int id : ids) {
    const Box b = list[static_cast<std::size_t>(id)].Bounds();
    if (HasNaN(b)) continue;
    ids_.push_back(id);
    boxes_.push_back(b);
  }
  if (ids_.empty()) return;
  std::vector<double> keysX(ids_.size()), keysY(ids_.size());
  for (std::size_t k = 0; k < ids_.size(); ++k) {
    keysX[k] = Key(boxes_[k].MinX, boxes_[k].MaxX);
    keysY[k] = Key(boxes_[k].MinY, boxes_[k].MaxY);
  }
  nodes_.reserve(2 * ids_.size() / kLeafSize + 2);
  BuildNode(0, static_cast<int>(ids_.size()), keysX, keysY);
}

int RegionBoxTree::BuildNode(int first, int count, std::vector<double>& keysX,
                             std::vector<double>& keysY) {
  const auto at = [](int k) { return static_cast<std::size_t>(k); };
  Box b = boxes_[at(first)];
  double kx0 = keysX[at(first)], kx1 = kx0, ky0 = keysY[at(first)], ky1 = ky0;
  for (int k = first + 1; k < first + count; ++k) {
    b = Union(b, boxes_[at(k)]);
    kx0 = std::min(kx0, keysX[at(k)]);
    kx1 = std::max(kx1, keysX[at(k)]);
    ky0 = std::min(ky0, keysY[at(k)]);
    ky1 = std::max(ky1, keysY[at(k)]);
  }
  const int self = static_cast<int>(nodes_.size());
  nodes_.push_back(Node{b, -1, -1, first, count});
  if (count <= kLeafSize) return self;

  // Split at the median of the box centres along the wider spread.
  const bool alongX = (kx1 - kx0) >= (ky1 - ky0);
  const std::vector<double>& keys = alongX ? keysX : keysY;
  std::vector<int> order(at(count));
  std::iota(order.begin(), order.end(), first);
  const int half = count / 2;
  std::nth_element(order.begin(), order.begin() + half, order.end(),
                   [&](int a, int c) { return keys[at(a)] < keys[at(c)]; });
  // Lay the items out in the new order.
  std::vector<int> ids(at(count));
  std::vector<Box> boxes(at(count));
  std::vector<double> kx(at(count)), ky(at(count));
  for (int k = 0; k < count; ++k) {
    const std::size_t from = at(order[at(k)]);
    ids[at(k)] = ids_[from];
    boxes[at(k)] = boxes_[from];
    kx[at(k)] = keysX[from];
    ky[at(k)] = keysY[from];
  }
  std::copy(ids.begin(), ids.end(), ids_.begin() + first);
  std::copy(boxes.begin(), boxes.end(), boxes_.begin() + first);
  std::copy(kx.begin(), kx.end(), keysX.begin() + first);
  std::copy(ky.begin(), ky.end(), keysY.begin() + first);

  const int left = BuildNode(first, half, keysX, keysY);
  const int right = BuildNode(first + half, count - half, keysX, keysY);
  nodes_[at(self)].Left = left;
  nodes_[at(self)].Right = right;
  return self;
}

void RegionBoxTree::Containing(const Box& q, double margin, std::vector<int>& out) const {
  if (nodes_.empty()) return;
  int stack[128];
  int top = 0;
  stack[top++] = 0;
  while (top > 0) {
    const Node& n = nodes_[static_cast<std::size_t>(stack[--top])];
    if (!Contains(n.B, q, margin)) continue;
    if (n.Left < 0) {
      for (int k = n.First; k < n.First + n.Count; ++k)
        if (Contains(boxes_[static_cast<std::size_t>(k)], q, margin))
          out.push_back(ids_[static_cast<std::size_t>(k)]);
      continue;
    }
    // Median splits keep the depth near log2(N / 8), far below the stack.
    stack[top++] = n.Right;
    stack[top++] = n.Left;
  }
}

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
  std::vector<int> closed;
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
    if (r.Open == 0 && !r.Elements.empty()) closed.push_back(static_cast<int>(j));
  }
  closed_.Build(list, closed);
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
    closed_.Containing(ri.Bounds(), 0.0, candidates_);
  else
    closed_.Containing(Box::FromMinMax(p.X, p.Y, p.X, p.Y), kBoxMargin, candidates_);
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
