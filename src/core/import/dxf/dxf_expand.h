// Blocks and splines made into the plain entities the rest of the import
// knows (lines, arcs, circles, ellipses, polylines), for the option that
// expands them.
//
// An INSERT places a copy of its block's entities: block base point to the
// origin, scale (negative factors mirror), rotation, the column/row array
// offsets, the insertion point, and finally the insert's own plane (its
// extrusion). Arcs, circles and ellipses stay what they are as long as the
// placement is a similarity seen from above (a mirror reverses their turn);
// any other placement (unequal scales, a tilted plane) turns them into
// chords within the chord tolerance, since they are no longer circles.
//
// A SPLINE becomes a polyline of lines and arcs (bulges) that follows the
// curve's tangent: each knot span is cut into pieces, each piece one arc or
// a biarc within half the tolerance, neighbouring pieces sharing the
// tangent of their common point, so the outline has no kinks the curve
// does not have. Arcs of one circle and lines of one direction that follow
// each other are merged: an exact circle span (a rational quadratic) gives
// one arc, a straight spline one line.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "import/dxf/dxf_entities.h"

namespace tarnak {

// p -> M p + T, in world coordinates.
struct DxfAffine {
  double M[3][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
  double T[3] = {0, 0, 0};
  DxfPoint Apply(const DxfPoint& p) const;   // keeps p.W
  DxfPoint ApplyVector(const DxfPoint& v) const;
  // This placement after `inner` (inner first).
  DxfAffine After(const DxfAffine& inner) const;
};

// Where one copy (column `col`, row `row` of its array) of a block lands.
DxfAffine InsertPlacement(const Insert_& insert, const DxfPoint& blockBase, int col, int row);

// Copies of entity `e` placed by `t`, appended to `out` (none for points,
// texts and blocks). `tolerance` is the chord tolerance for curves that the
// placement distorts.
void PlaceEntity(const DXF_Entity& e, const DxfAffine& t, double tolerance,
                 std::vector<std::unique_ptr<DXF_Entity>>& out);

// A polyline's bulge segments replaced by chords within `tolerance` of the
// arcs, in the polyline's own plane: every vertex of the result has bulge 0.
std::vector<DxfPoint> FlattenBulges(const std::vector<DxfPoint>& v, double tolerance);

// A SPLINE as read: control points with knots and weights, or fit points.
struct SplineData {
  int Flags = 0;  // 1 closed, 2 periodic, 4 rational
  int Degree = 3;
  std::vector<double> Knots;
  std::vector<double> Weights;
  std::vector<DxfPoint> Control;
  std::vector<DxfPoint> Fit;
  DxfPoint StartTangent, EndTangent;
  bool HasStartTangent = false, HasEndTangent = false;
};

// The spline as polyline vertices (X, Y, Z, bulge) within `tolerance` of
// the curve seen from above; empty when the data describe no curve.
std::vector<DxfPoint> SplineToBulgeVertices(const SplineData& s, double tolerance);

}  // namespace tarnak
