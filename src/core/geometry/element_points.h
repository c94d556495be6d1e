// Points along an Element and angles brought into [0, 2pi), in the number
// type of the caller. The offset engine works in long double and stores
// double; contour's open-chain trimming works in double. One formula serves
// both, and each keeps exactly its own rounding.
#pragma once

#include <algorithm>
#include <cmath>
#include <type_traits>

#include "geometry/geometry.h"
#include "geometry/primitives.h"

namespace tarnak {

// A whole turn in T: the double constant, or 2 pi worked out in T.
template <class T>
constexpr T TwoPiIn() {
  if constexpr (std::is_same_v<T, double>) {
    return kTwoPi;
  } else {
    return static_cast<T>(2) * static_cast<T>(3.141592653589793238462643383279502884L);
  }
}

// An angle brought into [0, 2pi) and stored as double.
template <class T>
double WrapAngleIn(T a) {
  static_assert(std::is_floating_point_v<T>);
  constexpr T twoPi = TwoPiIn<T>();
  a = std::fmod(a, twoPi);
  if (a < 0) a += twoPi;
  double r = static_cast<double>(a);
  if (r >= kTwoPi) r -= kTwoPi;
  if (r < 0.0) r = 0.0;
  return r;
}

// The point at fraction t of the Element (of the sweep, for an arc).
template <class T>
void PointAtIn(const TTNEntity& e, T t, T& x, T& y) {
  static_assert(std::is_floating_point_v<T>);
  if (e.IsLine()) {
    x = e.X + t * (static_cast<T>(e.X2) - e.X);
    y = e.Y + t * (static_cast<T>(e.Y2) - e.Y);
    return;
  }
  // The angle is summed in T; its cosine and sine in double are as exact
  // as the stored angles themselves, and far cheaper.
  const double a = static_cast<double>(e.StartAngle() + t * static_cast<T>(ArcSweep(e)));
  const T r = std::fabs(static_cast<T>(e.Radius));
  x = e.X + r * std::cos(a);
  y = e.Y + r * std::sin(a);
}

template <class T>
Point2 PointAtIn(const TTNEntity& e, T t) {
  T x, y;
  PointAtIn(e, t, x, y);
  return {static_cast<double>(x), static_cast<double>(y)};
}

// Length of an Element in T: the true length of an arc from its sweep (a
// full circle is one whole turn).
template <class T>
T ElementLengthIn(const TTNEntity& e) {
  static_assert(std::is_floating_point_v<T>);
  if (e.IsLine()) {
    const T dx = static_cast<T>(e.X2) - e.X, dy = static_cast<T>(e.Y2) - e.Y;
    return std::sqrt(dx * dx + dy * dy);
  }
  return std::fabs(static_cast<T>(ArcSweep(e)) * e.Radius);
}

// How many equal chords an arc of this radius and sweep (radians, >= 0)
// needs so that none strays more than `tolerance` from it: the ellipse rule
// of the DXF import, 1 when the radius is within the tolerance, at most a
// million so that a damaged radius cannot exhaust memory.
inline long ChordCount(double radius, double sweep, double tolerance) {
  if (!(radius > tolerance) || !(tolerance > 0.0) || !std::isfinite(sweep)) return 1;
  const double half = std::acos((radius - tolerance) / radius);
  const double n = std::ceil(sweep / (2.0 * half));
  return n < 1.0 ? 1 : static_cast<long>(std::min(n, 1.0e6));
}

}  // namespace tarnak
