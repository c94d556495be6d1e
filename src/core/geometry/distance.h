// Distance from a point to an Element, and the arc span test under it.
//
// Selection, the pocket's clearance checks and picking all measure the same
// thing, but what counts when the point lies beyond a line's ends or
// outside an arc's span differs by caller: picking and clearance want the
// nearer end, the all-as-islands command measures to the Element's start
// point. That choice is an argument, so there is one measurement.
#pragma once

#include "geometry/geometry.h"

namespace tarnak {

// Angle tolerance of the arc span test, radians.
inline constexpr double kSpanTolerance = 0.00005;

// True when `angle` (in [0, 2pi)) lies on the arc's angular span, with
// `tolerance` (radians) on both ends. A clockwise arc covers the counter-clockwise
// span from its EndAngle to its StartAngle. A full circle (equal angles)
// covers every angle; the tolerance reaches across angle 0 (an arc ending
// at 2pi covers angle 0).
bool AngleOnArcSpan(const TTNEntity& e, double angle, double tolerance = kSpanTolerance);

// Where the distance is measured when the point does not project onto the
// Element (beyond a line's ends, outside an arc's span).
enum class PastSpan {
  NearerEnd,   // the nearer of the two end points
  StartPoint,  // the Element's start point, whichever end is nearer
};

// Perpendicular to a line when p projects strictly inside it, radial to an
// arc when p's angle lies on its span (AngleOnArcSpan with
// `spanTolerance`); otherwise by `past`. Clearance checks pass a tolerance
// of 0: just past an arc's end the radial distance would be shorter than
// the true one, and they compare against margins far finer than the span
// tolerance of picking.
double PointElementDistance(const TTNEntity& e, Point2 p, PastSpan past,
                            double spanTolerance = kSpanTolerance);

}  // namespace tarnak
