// Exact geometry for checking results independently of the code under
// test: evaluating Elements and measuring distances to lines, arcs and
// whole outlines.
#pragma once

#include <algorithm>
#include <cmath>

#include "geometry/geometry.h"
#include "geometry/primitives.h"

namespace tarnak::testing {

inline double Dist(Point2 a, Point2 b) { return std::hypot(a.X - b.X, a.Y - b.Y); }

inline double Wrap(double a) {
  a = std::fmod(a, 2 * kPi);
  return a < 0 ? a + 2 * kPi : a;
}

// Signed sweep from the angles and the sign of the radius.
inline double Sweep(const TTNEntity& e) {
  if (e.StartAngle() == e.EndAngle()) return e.Radius > 0 ? 2 * kPi : -2 * kPi;
  const double s = Wrap(e.Radius > 0 ? e.EndAngle() - e.StartAngle() : e.StartAngle() - e.EndAngle());
  return e.Radius > 0 ? s : -s;
}

// The point at fraction t along the Element.
inline Point2 Eval(const TTNEntity& e, double t) {
  if (e.Radius == 0) return {e.X + t * (e.X2 - e.X), e.Y + t * (e.Y2 - e.Y)};
  const double a = e.StartAngle() + t * Sweep(e);
  return {e.X + std::fabs(e.Radius) * std::cos(a), e.Y + std::fabs(e.Radius) * std::sin(a)};
}

inline double SegmentDist(Point2 p, Point2 a, Point2 b) {
  const double dx = b.X - a.X, dy = b.Y - a.Y, len2 = dx * dx + dy * dy;
  double t = len2 > 0 ? ((p.X - a.X) * dx + (p.Y - a.Y) * dy) / len2 : 0;
  t = std::clamp(t, 0.0, 1.0);
  return Dist(p, {a.X + t * dx, a.Y + t * dy});
}

// Exact distance to an arc: radial where p's direction lies on the arc,
// else to the nearer end.
inline double ArcDist(Point2 p, const TTNEntity& e) {
  const double a = std::atan2(p.Y - e.Y, p.X - e.X);
  const double along = Wrap(e.Radius > 0 ? a - e.StartAngle() : e.StartAngle() - a);
  if (e.StartAngle() == e.EndAngle() || along <= std::fabs(Sweep(e)))
    return std::fabs(std::hypot(p.X - e.X, p.Y - e.Y) - std::fabs(e.Radius));
  return std::min(Dist(p, Eval(e, 0)), Dist(p, Eval(e, 1)));
}

inline double ElementDist(const TTNEntity& e, Point2 p) {
  return e.Radius == 0 ? SegmentDist(p, {e.X, e.Y}, {e.X2, e.Y2}) : ArcDist(p, e);
}

inline double OutlineDist(const TTNEntityArray& els, Point2 p) {
  double best = INFINITY;
  for (const TTNEntity& e : els) best = std::min(best, ElementDist(e, p));
  return best;
}

}  // namespace tarnak::testing
