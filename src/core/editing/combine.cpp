#include "editing/combine.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

#include "editing/region_edit.h"
#include "geometry/box_tree.h"
#include "geometry/intersect.h"
#include "geometry/primitives.h"
#include "selection/region_selection.h"

namespace tarnak {

namespace {

// A crossing further along the current Element than this is none (the
// search starts above 1 so that a crossing at its very end counts).
constexpr double kNoCrossing = 1.01;
// A crossing this close to the current Element's start is where the walk
// came onto it.
constexpr double kAtStart = 1e-8;
// A crossing at the other Element's very end is taken at the start of the
// next one instead, not twice.
constexpr double kAtOtherEnd = 0.99999999;
// Pieces of the walk shorter than this are where two crossings coincide.
constexpr double kDegenerate = 1e-8;

std::size_t At(int i) { return static_cast<std::size_t>(i); }

// Element boxes that can hold a common point: IntersectElements reports
// points up to 2.5e-4 past an end, well inside the box margin.
bool ElementBoxesMeet(const TTNEntity& a, const TTNEntity& b) {
  return BoxesOverlap(a.Bounds(), b.Bounds(), kBoxMargin);
}

// The first Element of b (Elements of a in order, each against b's in
// order) that meets a; -1 when none does.
int FirstCrossing(const TTNRegion& a, const TTNRegion& b) {
  for (const TTNEntity& ea : a.Elements) {
    if (!BoxesOverlap(ea.Bounds(), b.Bounds(), kBoxMargin)) continue;
    for (std::size_t k = 0; k < b.Elements.size(); ++k) {
      if (!ElementBoxesMeet(ea, b.Elements[k])) continue;
      if (IntersectElements(ea, b.Elements[k]).Count > 0) return static_cast<int>(k);
    }
  }
  return -1;
}

Box UnionBox(const Box& a, const Box& b) {
  return Box::FromMinMax(std::min(a.MinX, b.MinX), std::min(a.MinY, b.MinY),
                         std::max(a.MaxX, b.MaxX), std::max(a.MaxY, b.MaxY));
}

}  // namespace

void SplitCircle(TTNRegion& r) {
  if (r.Elements.size() != 1 || !r.Elements[0].IsArc()) return;
  const TTNEntity c = r.Elements[0];
  TTNEntity first = c, second = c;
  if (c.Radius < 0) {
    first.SetStartAngle(kTwoPi);
    first.SetEndAngle(kPi);
    second.SetStartAngle(kPi);
    second.SetEndAngle(0.0);
  } else {
    first.SetStartAngle(0.0);
    first.SetEndAngle(kPi);
    second.SetStartAngle(kPi);
    second.SetEndAngle(kTwoPi);
  }
  ElementBounds(first);
  ElementBounds(second);
  r.Elements = {first, second};
  RegionBounds(r);
}

namespace {

enum Side { Left, Bottom, Right, Top };

Side StartSide(const TTNRegion& a, const TTNRegion& b) {
  Side side = Top;
  if (a.MinX <= b.MinX)
    side = Left;
  else if (a.MinY <= b.MinY)
    side = Bottom;
  else if (a.MaxX >= b.MaxX)
    side = Right;
  return side;
}

// Angle of an arc's point on each side of its box.
constexpr double kSideAngle[4] = {kPi, 1.5 * kPi, 0.0, 0.5 * kPi};

bool SameAngle(double x, double y) {
  const double d = std::fabs(std::remainder(x - y, kTwoPi));
  return d < 1e-9;
}

// The walk must start at a point on the side, which lies outside B. A line
// found by SideStartElement starts there; an arc touches the side at its
// extreme point, which may be its end (then the walk starts on the next
// Element) or lie inside it (then the arc is split there). Returns the
// index of the Element that starts on the side.
int StartOnSide(TTNRegion& a, int k, Side side) {
  TTNEntity& e = a.Elements[At(k)];
  if (e.IsLine() || e.IsFullCircle()) return k;
  const double t = kSideAngle[side];
  if (SameAngle(e.StartAngle(), t)) return k;
  const int n = static_cast<int>(a.Elements.size());
  if (SameAngle(e.EndAngle(), t)) return (k + 1) % n;
  TTNEntity first = e, second = e;
  first.SetEndAngle(t);
  second.SetStartAngle(t);
  ElementBounds(first);
  ElementBounds(second);
  a.Elements[At(k)] = first;
  a.Elements.insert(a.Elements.begin() + k + 1, second);
  return k + 1;
}

}  // namespace

int SideStartElement(const TTNRegion& a, const TTNRegion& b) {
  const Side side = StartSide(a, b);
  const double at = side == Left ? a.MinX : side == Bottom ? a.MinY : side == Right ? a.MaxX : a.MaxY;
  for (std::size_t k = 0; k < a.Elements.size(); ++k) {
    const TTNEntity& e = a.Elements[k];
    double v = 0.0;
    if (e.IsLine())
      v = side == Left || side == Right ? e.X : e.Y;
    else
      v = side == Left ? e.MinX : side == Bottom ? e.MinY : side == Right ? e.MaxX : e.MaxY;
    if (std::fabs(v - at) <= kSideTolerance) return static_cast<int>(k);
  }
  return -1;
}

bool UnionWalk(const TTNRegion& a0, const TTNRegion& b0, int kB, TTNRegion& out) {
  TTNRegion a = a0, b = b0;
  a.Open = 0;
  b.Open = 0;
  const int nB = static_cast<int>(b.Elements.size());
  if (a.Elements.size() < 2 || nB < 2 || kB < 0 || kB >= nB) return false;
  // The walk turns onto B where A enters it; that is B's outer side only
  // when both run the same way round.
  if (RegionIsClockwise(a) != RegionIsClockwise(b)) {
    RegionReverse(b);
    kB = nB - 1 - kB;
  }
  int start = SideStartElement(a, b);
  if (start < 0) return false;
  start = StartOnSide(a, start, StartSide(a, b));
  if (start > 0) SetFirstElement(a, start);
  const int nA = static_cast<int>(a.Elements.size());
  if (kB > 0) SetFirstElement(b, kB);

  const int limit = 3 * ((nA - 1) + (nB - 1));
  TTNEntityArray walked;
  walked.reserve(At(limit));
  const TTNRegion* regions[2] = {&a, &b};
  const int counts[2] = {nA, nB};
  int pos[2] = {0, 0};
  int on = 0;  // 0: walking A, 1: walking B
  TTNEntity cur = a.Elements[0];
  bool complete = false;
  for (int step = 0; step < limit && !complete; ++step) {
    const int other = 1 - on;
    const TTNRegion& o = *regions[other];
    double best = kNoCrossing;
    int m = -1;
    Point2 at{};
    for (int k = pos[other]; k < counts[other]; ++k) {
      const TTNEntity& e = o.Elements[At(k)];
      if (!ElementBoxesMeet(cur, e)) continue;
      const IntersectResult hit = IntersectElements(cur, e);
      for (int q = 0; q < hit.Count; ++q) {
        const double t = hit.ParamA[q];
        if (t > kAtStart && t <= best && hit.ParamB[q] < kAtOtherEnd) {
          best = t;
          m = k;
          at = hit.P[q];
        }
      }
    }
    if (m >= 0) {
      TTNEntity cut = cur;
      ElementSnapEnd(cut, at, 1);
      walked.push_back(cut);
      cur = o.Elements[At(m)];
      ElementSnapEnd(cur, at, 0);
      on = other;
      pos[on] = m;
      continue;
    }
    walked.push_back(cur);
    if (++pos[on] >= counts[on]) {
      if (on == 0) {
        complete = true;
        break;
      }
      pos[on] = 0;
    }
    cur = regions[on]->Elements[At(pos[on])];
  }
  if (!complete) return false;

  TTNRegion u;
  for (const TTNEntity& e : walked)
    if (ElementLength(e) >= kDegenerate) u.Elements.push_back(e);
  if (u.Elements.empty()) return false;
  for (TTNEntity& e : u.Elements) ElementBounds(e);
  RegionBounds(u);
  if (!BoxesEqual(u.Bounds(), UnionBox(a.Bounds(), b.Bounds()))) return false;
  u.Open = 0;
  u.Selected = 1;
  u.Direction = static_cast<uint8_t>(RegionIsClockwise(u));
  out = std::move(u);
  return true;
}

int CombinePass(TTNRegionArray& list) {
  if (list.size() < 2 || !AnyRegionSelected(list)) return 0;
  const int n = static_cast<int>(list.size()) - 1;

  // MinX order, remembering where each Region came from.
  std::vector<int> from(At(n));
  for (int k = 0; k < n; ++k) from[At(k)] = k + 1;
  std::stable_sort(from.begin(), from.end(),
                   [&](int x, int y) { return list[At(x)].MinX < list[At(y)].MinX; });
  TTNRegionArray sorted;
  sorted.reserve(At(n));
  for (int k : from) sorted.push_back(std::move(list[At(k)]));

  TTNRegionArray rebuilt;
  rebuilt.reserve(list.size());
  rebuilt.push_back(std::move(list[0]));
  std::vector<int32_t> newIndex(list.size(), 0);
  const auto place = [&](TTNRegion&& r, int origin) {
    rebuilt.push_back(std::move(r));
    newIndex[At(origin)] = static_cast<int32_t>(rebuilt.size() - 1);
  };
  std::vector<char> done(At(n), 0);
  for (int p = 0; p < n; ++p) {
    TTNRegion& r = sorted[At(p)];
    if (r.Selected != 0 && r.Open == 0) continue;
    r.Selected = 0;
    done[At(p)] = 1;
    place(std::move(r), from[At(p)]);
  }

  std::vector<Box> boxes(At(n));
  for (int p = 0; p < n; ++p) boxes[At(p)] = sorted[At(p)].Bounds();
  const BoxTree tree(std::move(boxes));

  int merges = 0;
  std::vector<int> candidates;
  for (int p = 0; p < n; ++p) {
    if (done[At(p)] || sorted[At(p)].Selected == 0) continue;
    const Box bi = sorted[At(p)].Bounds();
    // The Regions after this one in MinX order whose boxes overlap its own:
    // those a scan of the sorted list would try, in the same order.
    candidates.clear();
    tree.Query(Widened(bi, kBoxMargin), [&](int q) {
      if (q > p) candidates.push_back(q);
    });
    std::sort(candidates.begin(), candidates.end());
    TTNRegion a = sorted[At(p)];
    SplitCircle(a);
    bool merged = false;
    for (int q : candidates) {
      TTNRegion& rj = sorted[At(q)];
      if (rj.Selected == 0 || done[At(q)] || !BoxesOverlap(bi, rj.Bounds(), kBoxMargin)) continue;
      TTNRegion b = rj;
      SplitCircle(b);
      const int kB = FirstCrossing(a, b);
      if (kB < 0) continue;
      TTNRegion u;
      if (!UnionWalk(a, b, kB, u)) continue;
      sorted[At(p)].Selected = 0;
      rj.Selected = 0;
      done[At(p)] = done[At(q)] = 1;
      place(std::move(u), from[At(p)]);
      // Whatever named either Region names the union, which encloses both.
      newIndex[At(from[At(q)])] = newIndex[At(from[At(p)])];
      ++merges;
      merged = true;
      break;
    }
    if (!merged) {
      done[At(p)] = 1;
      place(std::move(sorted[At(p)]), from[At(p)]);
    }
  }
  list = std::move(rebuilt);
  RenumberRegionLinks(list, newIndex);
  return merges;
}

int CombineSelected(const CancelToken& cancel, TTNRegionArray& list, bool* stopped) {
  const int n0 = list.empty() ? 0 : static_cast<int>(list.size()) - 1;
  if (stopped) *stopped = false;
  for (int pass = 0; pass <= n0; ++pass) {
    if (cancel.Poll()) {
      if (stopped) *stopped = true;
      break;
    }
    if (CombinePass(list) == 0) break;
  }
  if (!list.empty()) list[0].Owner = 0;
  return n0;
}

}  // namespace tarnak
