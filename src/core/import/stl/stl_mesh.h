// The model box and the in-place transforms of a triangle list: move,
// scale, rotate, flip, and the sort by lowest Z that slicing needs.
//
// Every transform that changes vertex Z values sorts each triangle's
// vertices again and recomputes MinZ and MaxZ, so the per-triangle
// invariants of stl_triangle.h hold after any sequence of edits. Arguments
// that are not finite change nothing; results beyond the float range are
// held at its ends.
#pragma once

#include <cstddef>

#include "base/cancel.h"
#include "import/stl/stl_triangle.h"

namespace tarnak {

// The model's extents in the order the drawing extents keep them.
struct StlModelBox {
  double MinX = 0.0;
  double MaxX = 0.0;
  double MinY = 0.0;
  double MaxY = 0.0;
  double MinZ = 0.0;
  double MaxZ = 0.0;
  double MidZ = 0.0;
  double Height = 0.0;  // MaxY - MinY
  double Width = 0.0;   // MaxX - MinX
};

// Box over every vertex; an empty list leaves `box` as it was.
void MeshBox(const TTNTriangleArray& triangles, StlModelBox& box);

// Moves every vertex. Nothing happens when all three are 0. The model is
// cut from stock whose top is Z = 0, so a triangle Z range above 0 is held
// at 0 (MaxZ and, for a triangle wholly above the top, MinZ too, so that
// MinZ <= MaxZ stays true).
void TranslateMesh(TTNTriangleArray& triangles, double dx, double dy, double dz);

// p := centre + (p - centre) * factor. Factors 0 and 1 change nothing; a
// negative factor mirrors through the centre.
void ScaleMesh(TTNTriangleArray& triangles, double cx, double cy, double cz, double factor);

// Turns the model about an axis parallel to X (axis 0), Y (1) or Z (2)
// through (a, b), the centre in the plane of the two coordinates that
// change ((Y, Z), (X, Z) or (X, Y)); counter-clockwise by `angle` radians.
// An angle of 0 or an unknown axis changes nothing.
void RotateMesh(TTNTriangleArray& triangles, int axis, double a, double b, double angle);

// Turns the model upside down: every Z becomes c - Z.
void FlipMesh(TTNTriangleArray& triangles, double c);

// What the move, scale and rotate window asks for: the new lower-left
// corner and top, a scale factor (0: none) and a turn in degrees (0: none)
// about the X (0), Y (1) or Z (2) axis through the origin.
struct StlMoveRequest {
  double X = 0.0;
  double Y = 0.0;
  double Top = 0.0;
  double Scale = 0.0;
  int Axis = 2;
  double AngleDegrees = 0.0;
};

// Scales about the origin, turns, then moves the model so that its box's
// lower-left corner is at (X, Y) and its top at Top. `extents` becomes the
// model's box so moved, with MidZ = (MaxZ + MinZ) / 2 + MaxZ as the rest of
// the model commands expect it (the middle when the top is at 0). An empty
// model moves the given extents by the same rule.
void ApplyStlMove(TTNTriangleArray& triangles, const StlMoveRequest& request,
                  StlModelBox& extents);

// Quicksort of triangles [first, last] by MinZ, ascending; an empty or
// out-of-range span is clipped to the list. Returns early, leaving the
// list partly sorted, when the token is stopped.
void SortByMinZ(TTNTriangleArray& triangles, std::ptrdiff_t first, std::ptrdiff_t last,
                const CancelToken& cancel);

}  // namespace tarnak
