// Extended-precision helpers shared by the offset stages. Internal to the
// offset engine.
#pragma once

#include <algorithm>
#include <cmath>

#include "geometry/element_points.h"
#include "geometry/geometry.h"
#include "geometry/primitives.h"

namespace tarnak::offset_math {

using Real = long double;

inline constexpr Real kPiL = 3.141592653589793238462643383279502884L;
inline constexpr Real kTwoPiL = 2 * kPiL;

// Direction of the vector (dx, dy) in [0, 2pi), with the cases of
// PointAngle (a zero vector gives pi/2), worked out in long double.
inline double AngleOf(Real dx, Real dy) {
  if (dx == 0) return dy >= 0 ? kPi / 2.0 : 3.0 * kPi / 2.0;
  if (dy == 0) return dx > 0 ? 0.0 : kPi;
  Real a = std::atan(dy / dx);
  if (dx < 0) a += kPiL;
  if (a < 0) a += kTwoPiL;
  double r = static_cast<double>(a);
  if (r >= kTwoPi) r -= kTwoPi;
  return r;
}

// An angle brought into [0, 2pi) and stored as double.
inline double WrapAngle(Real a) { return WrapAngleIn(a); }

// Length of an Element: the true length of an arc from its sweep (a full
// circle is one whole turn).
inline Real LengthOf(const TTNEntity& e) { return ElementLengthIn<Real>(e); }

// The point at fraction t of the Element (of the sweep, for an arc).
inline void PointAt(const TTNEntity& e, Real t, Real& x, Real& y) { PointAtIn(e, t, x, y); }

inline Point2 PointAt(const TTNEntity& e, Real t) { return PointAtIn(e, t); }

// End points of an arc in long double.
inline void ArcEnds(const TTNEntity& e, Real& sx, Real& sy, Real& ex, Real& ey) {
  const Real r = std::fabs(static_cast<Real>(e.Radius));
  sx = e.X + r * std::cos(e.StartAngle());
  sy = e.Y + r * std::sin(e.StartAngle());
  ex = e.X + r * std::cos(e.EndAngle());
  ey = e.Y + r * std::sin(e.EndAngle());
}

// Squared distance from p to the Element: for a line, to the nearer end
// point when the projection falls outside the segment, else the
// perpendicular distance; for an arc, to its circle when p lies within the
// arc's angular range, else to the nearer end point.
Real DistSqToElement(const TTNEntity& e, Point2 p);

// Whether DistSqToElement(e, p) < limit2. Cheap lower bounds (the distance
// to the whole line or circle) settle most far Elements first; they are
// only trusted with a relative allowance far above rounding, so the answer
// is the same as from the full computation.
bool CloserThan(const TTNEntity& e, Point2 p, Real limit2);

// Every Element as a capsule: a segment and a radius that every point of
// the Element lies within. A line is its own segment; an arc up to a half
// turn lies within its sagitta of its chord; a longer arc within its radius
// of its centre.
struct Capsule {
  double Ax, Ay, Bx, By, R;
  double Scale;  // size of the numbers involved, for rounding allowances
  // For an arc, its circle (Rad 0 for a line): every point of an arc lies
  // on it, which bounds an arc far better than the capsule when the arc
  // sweeps more than a half turn.
  double Cx = 0.0, Cy = 0.0, Rad = 0.0;
};

inline Capsule CapsuleOf(const TTNEntity& e) {
  Capsule c;
  if (e.IsLine()) {
    c = {e.X, e.Y, e.X2, e.Y2, 0.0, 0.0};
  } else {
    const double r = std::fabs(e.Radius), sweep = std::fabs(ArcSweep(e));
    if (sweep <= kPi) {
      const Point2 s = ElementStart(e), f = ElementEnd(e);
      c = {s.X, s.Y, f.X, f.Y, r * (1 - std::cos(sweep / 2)), 0.0};
    } else {
      c = {e.X, e.Y, e.X, e.Y, r, 0.0};
    }
    c.Cx = e.X;
    c.Cy = e.Y;
    c.Rad = r;
    c.Scale = std::max({std::fabs(e.X), std::fabs(e.Y), r});
  }
  c.Scale = std::max({c.Scale, std::fabs(c.Ax), std::fabs(c.Ay), std::fabs(c.Bx), std::fabs(c.By)});
  return c;
}

inline double PointSegmentDist(double px, double py, double ax, double ay, double bx, double by) {
  const double dx = bx - ax, dy = by - ay, len2 = dx * dx + dy * dy;
  double t = len2 > 0 ? ((px - ax) * dx + (py - ay) * dy) / len2 : 0.0;
  t = std::clamp(t, 0.0, 1.0);
  const double ex = px - (ax + t * dx), ey = py - (ay + t * dy);
  return std::sqrt(ex * ex + ey * ey);
}

}  // namespace tarnak::offset_math
