#include "geometry/box_tree.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>

namespace tarnak {

void BoxTree::Build(std::vector<Box> boxes) {
  boxes_ = std::move(boxes);
  nodes_.clear();
  order_.resize(boxes_.size());
  std::iota(order_.begin(), order_.end(), 0);
  if (boxes_.empty()) return;

  // Centres for splitting; a NaN centre sorts as 0 so that the ordering
  // stays a strict weak order (such items are never reported anyway).
  std::vector<double> cx(boxes_.size()), cy(boxes_.size());
  for (size_t i = 0; i < boxes_.size(); ++i) {
    const Box& b = boxes_[i];
    const double x = 0.5 * b.MinX + 0.5 * b.MaxX, y = 0.5 * b.MinY + 0.5 * b.MaxY;
    cx[i] = std::isfinite(x) ? x : 0.0;
    cy[i] = std::isfinite(y) ? y : 0.0;
  }

  struct Task {
    int32_t Node, Begin, End;
  };
  std::vector<Task> tasks;
  nodes_.reserve(2 * (boxes_.size() / kLeaf + 1));
  nodes_.push_back({});
  tasks.push_back({0, 0, static_cast<int32_t>(boxes_.size())});
  constexpr double kInf = std::numeric_limits<double>::infinity();
  while (!tasks.empty()) {
    const Task t = tasks.back();
    tasks.pop_back();
    // A NaN side fails these comparisons and is passed over, so one bad
    // item cannot hide its neighbours.
    Box b = Box::FromMinMax(kInf, kInf, -kInf, -kInf);
    double lx = kInf, ly = kInf, hx = -kInf, hy = -kInf;
    for (int32_t k = t.Begin; k < t.End; ++k) {
      const size_t i = static_cast<size_t>(order_[static_cast<size_t>(k)]);
      const Box& ib = boxes_[i];
      if (ib.MinX < b.MinX) b.MinX = ib.MinX;
      if (ib.MinY < b.MinY) b.MinY = ib.MinY;
      if (ib.MaxX > b.MaxX) b.MaxX = ib.MaxX;
      if (ib.MaxY > b.MaxY) b.MaxY = ib.MaxY;
      lx = std::min(lx, cx[i]);
      hx = std::max(hx, cx[i]);
      ly = std::min(ly, cy[i]);
      hy = std::max(hy, cy[i]);
    }
    nodes_[static_cast<size_t>(t.Node)].B = b;
    if (t.End - t.Begin <= kLeaf) {
      nodes_[static_cast<size_t>(t.Node)].First = t.Begin;
      nodes_[static_cast<size_t>(t.Node)].Count = t.End - t.Begin;
      continue;
    }
    const std::vector<double>& key = (hx - lx >= hy - ly) ? cx : cy;
    const int32_t mid = t.Begin + (t.End - t.Begin) / 2;
    std::nth_element(order_.begin() + t.Begin, order_.begin() + mid, order_.begin() + t.End,
                     [&key](int32_t a, int32_t c) {
                       return key[static_cast<size_t>(a)] < key[static_cast<size_t>(c)];
                     });
    const int32_t child = static_cast<int32_t>(nodes_.size());
    nodes_[static_cast<size_t>(t.Node)].First = child;
    nodes_[static_cast<size_t>(t.Node)].Count = 0;
    nodes_.push_back({});
    nodes_.push_back({});
    tasks.push_back({child, t.Begin, mid});
    tasks.push_back({child + 1, mid, t.End});
  }
}

}  // namespace tarnak
