// A static bounding-box tree over a list of boxes, for finding the Elements
// near a box or a point without looking at every Element.
//
// The tree only narrows the search: callers ask with a slightly larger box
// than they need and then apply their own exact test to every item it
// reports, so that the outcome is the same as a test against every item.
// Boxes holding NaN are never reported (any comparison with them fails, as
// it would in a plain loop).
#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

#include "geometry/geometry.h"

namespace tarnak {

class BoxTree {
 public:
  BoxTree() = default;
  explicit BoxTree(std::vector<Box> boxes) { Build(std::move(boxes)); }

  void Build(std::vector<Box> boxes);
  size_t Size() const { return boxes_.size(); }
  const Box& ItemBox(int i) const { return boxes_[static_cast<size_t>(i)]; }

  // Calls visit(item) for every item whose box meets the closed box q.
  template <class Visit>
  void Query(const Box& q, Visit&& visit) const {
    QueryWhere(q, [](const Box&) { return true; }, std::forward<Visit>(visit));
  }

  // Query narrowed further by the caller's own test of a box: a subtree or
  // item is passed over when may(box) is false for its box. `may` must be
  // false only for boxes of which every part is of no interest (so that a
  // box inside a rejected one is rejected too), such as a box lying wholly
  // off a curve.
  template <class May, class Visit>
  void QueryWhere(const Box& q, May&& may, Visit&& visit) const {
    if (nodes_.empty()) return;
    int32_t stack[kStackSize];
    int top = 0;
    stack[top++] = 0;
    while (top > 0) {
      const Node& n = nodes_[static_cast<size_t>(stack[--top])];
      if (!Meets(n.B, q) || !may(n.B)) continue;
      if (n.Count > 0) {
        for (int32_t k = n.First; k < n.First + n.Count; ++k) {
          const int32_t item = order_[static_cast<size_t>(k)];
          const Box& b = boxes_[static_cast<size_t>(item)];
          if (Meets(b, q) && may(b)) visit(item);
        }
      } else {
        stack[top++] = n.First;
        stack[top++] = n.First + 1;
      }
    }
  }

  // Calls test(item) for the items whose box lies within `reach` of p
  // (Euclidean distance), until a call returns true; returns whether one did.
  // The nearer of two subtrees is searched first, where a hit is likelier.
  template <class Test>
  bool AnyNear(Point2 p, double reach, Test&& test) const {
    if (nodes_.empty() || !(reach >= 0.0) || p.X != p.X || p.Y != p.Y) return false;
    const double reach2 = reach * reach;
    if (!(NodeDist2(nodes_[0].B, p) <= reach2)) return false;
    int32_t stack[kStackSize];
    int top = 0;
    stack[top++] = 0;  // only nodes within reach are stacked
    while (top > 0) {
      const Node& n = nodes_[static_cast<size_t>(stack[--top])];
      if (n.Count > 0) {
        for (int32_t k = n.First; k < n.First + n.Count; ++k) {
          const int32_t item = order_[static_cast<size_t>(k)];
          if (BoxDist2(boxes_[static_cast<size_t>(item)], p) <= reach2 && test(item)) return true;
        }
        continue;
      }
      const double d0 = NodeDist2(nodes_[static_cast<size_t>(n.First)].B, p);
      const double d1 = NodeDist2(nodes_[static_cast<size_t>(n.First + 1)].B, p);
      const bool in0 = d0 <= reach2, in1 = d1 <= reach2;
      if (in0 && in1) {
        const bool firstNearer = d0 <= d1;
        stack[top++] = firstNearer ? n.First + 1 : n.First;
        stack[top++] = firstNearer ? n.First : n.First + 1;
      } else if (in0) {
        stack[top++] = n.First;
      } else if (in1) {
        stack[top++] = n.First + 1;
      }
    }
    return false;
  }

 private:
  struct Node {
    Box B;
    int32_t First = 0;  // leaf: first position in order_; inner: first child
    int32_t Count = 0;  // leaf: number of items; 0 for an inner node
  };
  // Leaves hold up to kLeaf items and splits halve the item count, so the
  // depth stays below 32 for any list that fits 32-bit indices; a pending
  // stack of twice that is ample.
  static constexpr int kLeaf = 4;
  static constexpr int kStackSize = 96;

  static bool Meets(const Box& a, const Box& q) {
    return a.MinX <= q.MaxX && q.MinX <= a.MaxX && a.MinY <= q.MaxY && q.MinY <= a.MaxY;
  }
  // BoxDist2 for a node's box, which never holds NaN: Build passes over
  // NaN sides, and a node of nothing but NaN boxes keeps its empty box
  // (infinite minimum, negative infinite maximum), infinitely far away.
  static double NodeDist2(const Box& b, Point2 p) {
    const double dx = p.X < b.MinX ? b.MinX - p.X : (p.X > b.MaxX ? p.X - b.MaxX : 0.0);
    const double dy = p.Y < b.MinY ? b.MinY - p.Y : (p.Y > b.MaxY ? p.Y - b.MaxY : 0.0);
    return dx * dx + dy * dy;
  }
  static double BoxDist2(const Box& b, Point2 p) {
    const double dx = p.X < b.MinX ? b.MinX - p.X : (p.X > b.MaxX ? p.X - b.MaxX : 0.0);
    const double dy = p.Y < b.MinY ? b.MinY - p.Y : (p.Y > b.MaxY ? p.Y - b.MaxY : 0.0);
    // A NaN box or point gives NaN here, which no comparison accepts.
    if (b.MinX != b.MinX || b.MaxX != b.MaxX || b.MinY != b.MinY || b.MaxY != b.MaxY)
      return b.MinX + b.MaxX + b.MinY + b.MaxY;
    return dx * dx + dy * dy;
  }

  std::vector<Box> boxes_;
  std::vector<int32_t> order_;
  std::vector<Node> nodes_;
};

}  // namespace tarnak
