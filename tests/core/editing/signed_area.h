// The signed area of a closed Region by Green's theorem, exact for lines and
// arcs: the measure the editing tests check outlines by.
#pragma once

#include <cmath>

#include "geometry/geometry.h"
#include "geometry/primitives.h"

namespace tarnak::testing {

inline double SignedArea(const TTNRegion& r) {
  double a = 0.0;
  for (const TTNEntity& e : r.Elements) {
    if (e.IsLine()) {
      a += 0.5 * (e.X * e.Y2 - e.X2 * e.Y);
      continue;
    }
    const double s = ArcSweep(e), rad = std::fabs(e.Radius), t1 = e.StartAngle(), t2 = t1 + s;
    a += 0.5 * (rad * rad * s + e.X * rad * (std::sin(t2) - std::sin(t1)) -
                e.Y * rad * (std::cos(t2) - std::cos(t1)));
  }
  return a;
}

}  // namespace tarnak::testing
