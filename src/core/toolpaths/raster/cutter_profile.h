// The three cutters of prototype machining, described by their profile:
// the height of the tool's surface above its tip at a distance r from the
// axis, for r up to the radius. Beyond the radius the tool is its shank, a
// cylinder standing on the rim, so nothing outside the radius is touched.
//
//   end mill  0
//   ball      R - sqrt(R^2 - r^2)
//   V         r * tan(90deg - angle / 2): a cone of the given included angle
//
// The grid's mask samples the profile at node offsets; the exact drop
// cutter (drop_cutter.h) uses it together with the few places where a
// cutter can first touch a triangle.
#pragma once

#include <algorithm>
#include <cmath>
#include <numbers>

#include "toolpaths/machining_params.h"

namespace tarnak {

struct CutterProfile {
  int Type = kToolEndMill;
  double Radius = 0.0;
  double ConeRise = 0.0;  // V: rise of the cone per unit of distance from the axis

  static CutterProfile Make(int type, double angleDegrees, double diameter) {
    CutterProfile p;
    p.Type = type == kToolBall || type == kToolV ? type : kToolEndMill;
    p.Radius = diameter / 2.0;
    if (p.Type == kToolV) p.ConeRise = std::tan(std::numbers::pi / 2.0 - angleDegrees * std::numbers::pi / 360.0);
    return p;
  }

  // Height of the cutter's surface above the tip at distance r (0 <= r <=
  // Radius); never negative.
  double Height(double r) const {
    switch (Type) {
      case kToolBall: return Radius - std::sqrt(std::max(0.0, Radius * Radius - r * r));
      case kToolV: return std::max(0.0, ConeRise * r);
      default: return 0.0;
    }
  }
};

}  // namespace tarnak
