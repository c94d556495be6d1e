#include "selection/region_geometry.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <utility>

#include "geometry/distance.h"
#include "geometry/primitives.h"
#include "selection/region_index.h"
#include "geometry/intersect.h"

namespace tarnak {

namespace {

bool ValidIndex(const TTNRegionArray& list, int i) {
  return i >= 1 && static_cast<std::size_t>(i) < list.size();
}

}  // namespace

int PickRegion(const TTNRegionArray& list, Point2 p, bool onlySelected, double tolerance) {
  for (std::size_t i = 1; i < list.size(); ++i) {
    const TTNRegion& r = list[i];
    if (onlySelected && r.Selected == 0) continue;
    for (const TTNEntity& e : r.Elements)
      if (PointElementDistance(e, p, PastSpan::NearerEnd) < tolerance) return static_cast<int>(i);
  }
  return 0;
}

Point2 RegionProbePoint(const TTNRegion& r) {
  if (r.Elements.empty()) return {r.MinX, r.MinY};
  const TTNEntity& e = r.Elements.front();
  if (e.IsLine())
    return {e.X + (e.X2 - e.X) / kProbeDivisor, e.Y + (e.Y2 - e.Y) / kProbeDivisor};
  double m = e.StartAngle() + ArcSweep(e) / kProbeDivisor;
  if (m > kTwoPi) m -= kTwoPi;
  if (m < 0.0) m += kTwoPi;
  const double rad = std::fabs(e.Radius);
  return {e.X + rad * std::cos(m), e.Y + rad * std::sin(m)};
}

namespace selection_detail {

int ElementCrossings(const TTNEntity& e, Point2 p, double grazeLimit, bool circleShortcut,
                     bool& insideCircle) {
  if (!(e.MinY < p.Y && p.Y <= e.MaxY + 1e-8 && p.X < e.MaxX)) return 0;
  if (e.IsLine()) {
    if (e.Y == e.Y2) return 0;  // horizontal lines never cross the half-line
    const double x = e.X + (e.X2 - e.X) * (p.Y - e.Y) / (e.Y2 - e.Y);
    return x > p.X ? 1 : 0;
  }
  if (circleShortcut && e.StartAngle() == e.EndAngle()) {
    if (std::hypot(p.X - e.X, p.Y - e.Y) <= std::fabs(e.Radius)) insideCircle = true;
    return 0;
  }
  const double dy = p.Y - e.Y;
  const double h2 = e.Radius * e.Radius - dy * dy;
  const double h = h2 < grazeLimit ? 0.0 : std::sqrt(h2);
  const Point2 c{e.X, e.Y};
  int n = 0;
  const double x1 = e.X + h;
  if (x1 > p.X && AngleOnArcSpan(e, PointAngle(c, {x1, p.Y}))) ++n;
  if (h != 0.0) {
    const double x2 = e.X - h;
    if (x2 > p.X && AngleOnArcSpan(e, PointAngle(c, {x2, p.Y}))) ++n;
  }
  return n;
}

double ElementRayHit(const TTNEntity& segment, const TTNEntity& e) {
  const IntersectResult hit = IntersectElements(segment, e);
  double best = kNoRayHit;
  for (int k = 0; k < hit.Count; ++k) best = std::min(best, hit.ParamA[k]);
  return best;
}

TTNEntity RaySegment(const DrawingExtentsRec& extents, Point2 p) {
  TTNEntity s;
  s.X = p.X;
  s.Y = p.Y;
  s.Radius = 0.0;
  s.X2 = extents.MaxX + 1.0;
  s.Y2 = p.Y;
  ElementBounds(s);
  return s;
}

ClassifyTally StartTally(const ClassifyVariant& variant, int i) {
  ClassifyTally t;
  switch (variant.Kind) {
    case ClassifyKind::AllClosed:
    case ClassifyKind::Single:
      t = {0, false, i, 8.0};
      break;
    case ClassifyKind::Region:
      t = {1, true, variant.Clicked, 2.0};
      break;
    case ClassifyKind::Window:
      t = {0, false, i, 2.0};
      break;
  }
  return t;
}

void CountEnclosing(ClassifyTally& t, int j, double fraction) {
  t.Odd = !t.Odd;
  ++t.Level;
  if (fraction < t.Best) {
    t.Best = fraction;
    t.Parent = j;
  }
}

int FinishClassify(TTNRegion& r, const ClassifyTally& t) {
  r.Selected = 1;
  r.Level = t.Level;
  r.Parent = t.Parent;
  if (t.Odd) {
    r.Owner = t.Parent;
    return kClassifiedIsland;
  }
  r.Owner = 0;
  return kClassifiedBoundary;
}

}  // namespace selection_detail

using namespace selection_detail;

bool PointInRegion(Point2 p, const TTNRegion& r) {
  if (r.Open != 0 || !PointNearBox(p, r.Bounds())) return false;
  int count = 0;
  bool insideCircle = false;
  for (const TTNEntity& e : r.Elements) {
    count += ElementCrossings(e, p, kPointInGraze, true, insideCircle);
    if (insideCircle) return true;
  }
  return (count & 1) != 0;
}

int RegionCrossingCount(Point2 p, const TTNRegion& r) {
  int count = 0;
  bool unused = false;
  for (const TTNEntity& e : r.Elements) count += ElementCrossings(e, p, kSingleGraze, false, unused);
  return count;
}

bool BoxInsideBox(const Box& outer, const Box& inner) {
  return inner.MinX >= outer.MinX && inner.MinY >= outer.MinY && inner.MaxY <= outer.MaxY &&
         inner.MaxX <= outer.MaxX;
}

bool RegionInsideRegion(const TTNRegion& outer, const TTNRegion& inner) {
  return outer.Open == 0 && inner.Open == 0 && BoxInsideBox(outer.Bounds(), inner.Bounds()) &&
         PointInRegion(RegionProbePoint(inner), outer);
}

double RayHitFraction(const DrawingExtentsRec& extents, Point2 p, const TTNRegion& r) {
  const TTNEntity segment = RaySegment(extents, p);
  double best = kNoRayHit;
  for (const TTNEntity& e : r.Elements) best = std::min(best, ElementRayHit(segment, e));
  return best;
}

int ClassifyRegion(TTNRegionArray& list, const DrawingExtentsRec& extents, int i,
                   const ClassifyVariant& variant) {
  if (!ValidIndex(list, i)) return 0;
  if (variant.Kind == ClassifyKind::Region && !ValidIndex(list, variant.Clicked)) return 0;
  TTNRegion& ri = list[static_cast<std::size_t>(i)];
  if (variant.Kind == ClassifyKind::AllClosed &&
      (ri.Selected != 0 || ri.Open != 0 || ri.Elements.empty()))
    return kClassifiedBoundary;

  const Point2 p = RegionProbePoint(ri);
  ClassifyTally tally = StartTally(variant, i);
  const int n = static_cast<int>(list.size()) - 1;
  for (int j = 1; j <= n; ++j) {
    if (j == i) continue;
    const TTNRegion& rj = list[static_cast<std::size_t>(j)];
    bool counted = false;
    switch (variant.Kind) {
      case ClassifyKind::AllClosed:
        counted = RegionInsideRegion(rj, ri);
        break;
      case ClassifyKind::Single:
        counted = rj.Selected != 0 && rj.Open == 0 && (RegionCrossingCount(p, rj) & 1) != 0;
        break;
      case ClassifyKind::Region:
        counted = j != variant.Clicked && PointInRegion(p, rj) &&
                  PointInRegion(ElementEnd(rj.Elements.front()),
                                list[static_cast<std::size_t>(variant.Clicked)]);
        break;
      case ClassifyKind::Window:
        counted = PointNearBox(RegionProbePoint(rj), variant.Window) && PointInRegion(p, rj);
        break;
    }
    if (counted) CountEnclosing(tally, j, RayHitFraction(extents, p, rj));
  }
  return FinishClassify(ri, tally);
}

double PickToleranceForView(const DrawingExtentsRec& extents, int widthPx, int heightPx,
                            int marginPx) {
  const double w = extents.MaxX - extents.MinX;
  const double h = extents.MaxY - extents.MinY;
  const double sx = w != 0.0 ? (widthPx - 2.0 * marginPx) / w : 1.0;
  const double sy = h != 0.0 ? (heightPx - 2.0 * marginPx) / h : 1.0;
  const double scale = std::min(sx, sy);
  if (!(scale > 0.0) || !std::isfinite(scale)) return 0.0;
  return kPickPixels / scale;
}

}  // namespace tarnak
