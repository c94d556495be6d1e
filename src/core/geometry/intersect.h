// Intersection of two Elements (line/line, line/arc, arc/arc), the building
// block of offsetting, trimming and profile clean-up.
#pragma once

#include "geometry/geometry.h"

namespace tarnak {

// Up to two meeting points of two Elements. For point i, ParamA[i] and
// ParamB[i] are its positions on the first and the second argument as a
// fraction 0..1 of the Element: along the segment for a line, of the signed
// sweep from StartAngle for an arc. Parameters are always within 0..1; a
// meeting point that lies just past an end of an Element (within 2.5e-4 of
// it) is reported with the parameter set to exactly 0 or 1.
struct IntersectResult {
  int Count = 0;
  Point2 P[2];
  double ParamA[2] = {0.0, 0.0};
  double ParamB[2] = {0.0, 0.0};
};

// Where a and b meet. Crossing and touching points are found first; when
// none lies on both Elements, end points of the two Elements that coincide
// within 2.5e-4 count as meeting points (this is how two parallel lines, or
// two arcs of the same circle, meet). Two points closer than 0.0005 are
// reported as one.
IntersectResult IntersectElements(const TTNEntity& a, const TTNEntity& b);

}  // namespace tarnak
