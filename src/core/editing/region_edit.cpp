#include "editing/region_edit.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <utility>

#include "geometry/distance.h"
#include "geometry/primitives.h"
#include "import/profiles/profile_building.h"
#include "selection/region_selection.h"

namespace tarnak {

namespace {

// The index map of a list that keeps the Regions `kept` says, in order:
// newIndex[old] is the new position, 0 for a dropped Region.
std::vector<int32_t> KeepMap(const std::vector<char>& kept) {
  std::vector<int32_t> newIndex(kept.size(), 0);
  int32_t next = 1;
  for (std::size_t i = 1; i < kept.size(); ++i)
    if (kept[i]) newIndex[i] = next++;
  return newIndex;
}

// An arc angle moved by a turn, back into [0, 2pi] by one step: the angles
// of a rotated arc stay within one turn of where they were.
double WrapOnce(double a) {
  if (a > kTwoPi) return a - kTwoPi;
  if (a < 0.0) return a + kTwoPi;
  return a;
}

}  // namespace

bool SetFirstElement(TTNRegion& r, int k) {
  const int n = static_cast<int>(r.Elements.size());
  if (r.Open != 0 || k < 1 || k >= n) return false;
  std::rotate(r.Elements.begin(), r.Elements.begin() + k, r.Elements.end());
  return true;
}

int NearestElement(const TTNRegion& r, Point2 p) {
  int best = -1;
  double bestDist = 0.0;
  for (std::size_t k = 0; k < r.Elements.size(); ++k) {
    const double d = PointElementDistance(r.Elements[k], p, PastSpan::StartPoint);
    if (best < 0 || d < bestDist) {
      best = static_cast<int>(k);
      bestDist = d;
    }
  }
  return best;
}

void ScaleRegion(TTNRegion& r, double f) {
  if (f == 0.0 || f == 1.0) return;
  for (TTNEntity& e : r.Elements) {
    e.X *= f;
    e.Y *= f;
    if (e.IsArc()) {
      e.Radius *= f;
    } else {
      e.X2 *= f;
      e.Y2 *= f;
    }
    ElementBounds(e);
  }
}

void RotateRegion(TTNRegion& r, Point2 c, double angle) {
  if (angle == 0.0) return;
  const double cs = std::cos(angle), sn = std::sin(angle);
  const auto turn = [&](double& x, double& y) {
    const double dx = x - c.X, dy = y - c.Y;
    x = c.X + cs * dx - sn * dy;
    y = c.Y + sn * dx + cs * dy;
  };
  for (TTNEntity& e : r.Elements) {
    turn(e.X, e.Y);
    if (e.IsArc()) {
      e.SetStartAngle(WrapOnce(e.StartAngle() + angle));
      e.SetEndAngle(WrapOnce(e.EndAngle() + angle));
    } else {
      turn(e.X2, e.Y2);
      e.Radius = 0.0;
    }
    ElementBounds(e);
  }
}

void TranslateRegion(TTNRegion& r, double dx, double dy) {
  for (TTNEntity& e : r.Elements) {
    e.X += dx;
    e.Y += dy;
    if (e.IsLine()) {
      e.X2 += dx;
      e.Y2 += dy;
    }
    ElementBounds(e);
  }
  RegionBounds(r);
}

bool SelectionBox(const TTNRegionArray& list, Box& box) {
  bool any = false;
  for (std::size_t i = 1; i < list.size(); ++i) {
    const TTNRegion& r = list[i];
    if (r.Selected != 1) continue;
    if (!any) {
      box = r.Bounds();
      any = true;
      continue;
    }
    box.MinX = std::min(box.MinX, r.MinX);
    box.MinY = std::min(box.MinY, r.MinY);
    box.MaxX = std::max(box.MaxX, r.MaxX);
    box.MaxY = std::max(box.MaxY, r.MaxY);
  }
  return any;
}

int DeleteSelectedRegions(TTNRegionArray& list) {
  if (list.empty()) return 0;
  std::vector<char> kept(list.size(), 1);
  TTNRegionArray rebuilt;
  rebuilt.reserve(list.size());
  rebuilt.push_back(std::move(list[0]));
  rebuilt[0].Selected = 0;
  int dropped = 0;
  for (std::size_t i = 1; i < list.size(); ++i) {
    if (list[i].Selected != 0) {
      kept[i] = 0;
      ++dropped;
    } else {
      rebuilt.push_back(std::move(list[i]));
    }
  }
  list = std::move(rebuilt);
  RenumberRegionLinks(list, KeepMap(kept));
  return dropped;
}

int ReverseSelectedRegions(TTNRegionArray& list) {
  int n = 0;
  for (std::size_t i = 1; i < list.size(); ++i) {
    if (list[i].Selected != 1) continue;
    RegionReverse(list[i]);
    ++n;
  }
  return n;
}

int ExplodeRegions(TTNRegionArray& list) {
  const std::size_t count = list.size();
  int made = 0;
  for (std::size_t i = 1; i < count; ++i) {
    if (list[i].Selected == 0 || list[i].Elements.size() <= 1) continue;
    TTNEntityArray rest(list[i].Elements.begin() + 1, list[i].Elements.end());
    for (const TTNEntity& e : rest) {
      TTNRegion piece;
      piece.Open = 1;
      piece.Elements.push_back(e);
      RegionBounds(piece);
      list.push_back(std::move(piece));
      ++made;
    }
    TTNRegion& r = list[i];
    r.Elements.resize(1);
    r.Open = 1;
    r.Owner = 0;
    r.Selected = 0;
    RegionBounds(r);
  }
  // Nothing moved, so every index still names its Region; but an exploded
  // Region is an open piece now and encloses nothing: an Island of it
  // would be an Island without a Boundary.
  if (made > 0) {
    for (TTNRegion& r : list) {
      const int32_t o = r.Owner;
      if (o > 0 && static_cast<std::size_t>(o) < count && list[static_cast<std::size_t>(o)].Open != 0)
        r.Owner = 0;
    }
  }
  return made;
}

bool JoinSelectedRegions(const CancelToken& cancel, TTNRegionArray& list, int closedDirection,
                         double tolerance) {
  if (list.empty()) return true;
  TTNEntityArray loose;
  std::vector<char> kept(list.size(), 1);
  for (std::size_t i = 1; i < list.size(); ++i) {
    if (list[i].Selected == 0) continue;
    kept[i] = 0;
    loose.insert(loose.end(), list[i].Elements.begin(), list[i].Elements.end());
  }
  TTNRegionArray chained;
  ChainElements(cancel, loose, chained, closedDirection, tolerance);
  if (cancel.stopped()) return false;
  if (chained.empty()) chained.resize(1);
  // The unselected Regions come after the chains: their new positions.
  std::vector<int32_t> newIndex(list.size(), 0);
  int32_t next = static_cast<int32_t>(chained.size());
  for (std::size_t i = 1; i < list.size(); ++i)
    if (kept[i]) newIndex[i] = next++;
  TTNRegion slot0 = std::move(list[0]);
  for (std::size_t i = 1; i < list.size(); ++i)
    if (kept[i]) chained.push_back(std::move(list[i]));
  chained[0] = std::move(slot0);
  list = std::move(chained);
  RenumberRegionLinks(list, newIndex);
  for (std::size_t i = 1; i < list.size(); ++i) list[i].Owner = 0;
  return true;
}

bool MoveScaleRotateSelection(TTNRegionArray& list, Point2 lowerLeft, double scale, double angle,
                              Point2 centre) {
  Box before;
  if (!SelectionBox(list, before)) return false;
  for (std::size_t i = 1; i < list.size(); ++i) {
    TTNRegion& r = list[i];
    if (r.Selected != 1) continue;
    ScaleRegion(r, scale);
    RotateRegion(r, centre, angle);
    for (TTNEntity& e : r.Elements) ElementBounds(e);
    RegionBounds(r);
  }
  Box after;
  SelectionBox(list, after);
  const double dx = lowerLeft.X - after.MinX, dy = lowerLeft.Y - after.MinY;
  for (std::size_t i = 1; i < list.size(); ++i)
    if (list[i].Selected == 1) TranslateRegion(list[i], dx, dy);
  return true;
}

void ApplyDepths(TTNRegionArray& list, DepthTarget target, double d, int single) {
  const int n = static_cast<int>(list.size()) - 1;
  switch (target) {
    case DepthTarget::Boundaries:
      for (int i = 1; i <= n; ++i)
        if (list[static_cast<std::size_t>(i)].Selected == 1 && list[static_cast<std::size_t>(i)].Owner == 0)
          list[static_cast<std::size_t>(i)].Depth = d;
      break;
    case DepthTarget::Islands:
      for (int i = 1; i <= n; ++i)
        if (list[static_cast<std::size_t>(i)].Selected == 1 && list[static_cast<std::size_t>(i)].Owner != 0)
          list[static_cast<std::size_t>(i)].Depth = d;
      break;
    case DepthTarget::Single:
      if (single >= 1 && single <= n) list[static_cast<std::size_t>(single)].Depth = d;
      break;
    case DepthTarget::None: break;
  }
  for (int i = 1; i <= n; ++i) {
    TTNRegion& r = list[static_cast<std::size_t>(i)];
    if (r.Selected != 1) continue;
    const int p = r.Parent;
    const double parentDepth = p >= 0 && p <= n ? list[static_cast<std::size_t>(p)].Depth : 0.0;
    r.Owner = r.Depth < parentDepth ? p : 0;
  }
}

}  // namespace tarnak
