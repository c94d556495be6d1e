#include "import/stl/stl_mesh.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <utility>

namespace tarnak {

namespace {

template <typename F>
void ForEachVertex(TTNTriangleArray& triangles, F f) {
  for (TTNTriangle& t : triangles) {
    f(t.V0);
    f(t.V1);
    f(t.V2);
  }
}

// Results beyond the float range are held at its ends: converting them
// would be undefined, and an infinity would turn into NaN at the next step.
inline float ToFloat(double v) {
  return static_cast<float>(std::clamp(v, -static_cast<double>(FLT_MAX), static_cast<double>(FLT_MAX)));
}

}  // namespace

void MeshBox(const TTNTriangleArray& triangles, StlModelBox& box) {
  if (triangles.empty()) return;
  const TTNVertex& first = triangles.front().V0;
  double minX = first.X, maxX = first.X, minY = first.Y, maxY = first.Y;
  double minZ = first.Z, maxZ = first.Z;
  for (const TTNTriangle& t : triangles) {
    for (const TTNVertex* v : {&t.V0, &t.V1, &t.V2}) {
      minX = std::min(minX, static_cast<double>(v->X));
      maxX = std::max(maxX, static_cast<double>(v->X));
      minY = std::min(minY, static_cast<double>(v->Y));
      maxY = std::max(maxY, static_cast<double>(v->Y));
      minZ = std::min(minZ, static_cast<double>(v->Z));
      maxZ = std::max(maxZ, static_cast<double>(v->Z));
    }
  }
  box.MinX = minX;
  box.MaxX = maxX;
  box.MinY = minY;
  box.MaxY = maxY;
  box.MinZ = minZ;
  box.MaxZ = maxZ;
  box.MidZ = (minZ + maxZ) / 2.0;
  box.Height = maxY - minY;
  box.Width = maxX - minX;
}

void TranslateMesh(TTNTriangleArray& triangles, double dx, double dy, double dz) {
  if (dx == 0.0 && dy == 0.0 && dz == 0.0) return;
  if (!std::isfinite(dx) || !std::isfinite(dy) || !std::isfinite(dz)) return;
  for (TTNTriangle& t : triangles) {
    for (TTNVertex* v : {&t.V0, &t.V1, &t.V2}) {
      v->X = ToFloat(v->X + dx);
      v->Y = ToFloat(v->Y + dy);
      v->Z = ToFloat(v->Z + dz);
    }
    // A shift keeps the Z order; rounding to float can only make two Z
    // values equal, never swap them.
    t.MinZ = t.V0.Z;
    t.MaxZ = t.V2.Z;
    if (t.MaxZ > 0.0f) t.MaxZ = 0.0f;
    if (t.MinZ > t.MaxZ) t.MinZ = t.MaxZ;
  }
}

void ScaleMesh(TTNTriangleArray& triangles, double cx, double cy, double cz, double factor) {
  if (factor == 0.0 || factor == 1.0 || !std::isfinite(factor)) return;
  if (!std::isfinite(cx) || !std::isfinite(cy) || !std::isfinite(cz)) return;
  for (TTNTriangle& t : triangles) {
    for (TTNVertex* v : {&t.V0, &t.V1, &t.V2}) {
      v->X = ToFloat(cx + (v->X - cx) * factor);
      v->Y = ToFloat(cy + (v->Y - cy) * factor);
      v->Z = ToFloat(cz + (v->Z - cz) * factor);
    }
    // A negative factor reverses the Z order: sort again.
    SortTriangleVertices(t);
  }
}

void RotateMesh(TTNTriangleArray& triangles, int axis, double a, double b, double angle) {
  if (angle == 0.0 || axis < 0 || axis > 2) return;
  if (!std::isfinite(angle) || !std::isfinite(a) || !std::isfinite(b)) return;
  const double c = std::cos(angle);
  const double s = std::sin(angle);
  auto turn = [&](float& u, float& w) {
    const double du = u - a;
    const double dw = w - b;
    u = ToFloat(du * c - dw * s + a);
    w = ToFloat(dw * c + du * s + b);
  };
  for (TTNTriangle& t : triangles) {
    for (TTNVertex* v : {&t.V0, &t.V1, &t.V2}) {
      if (axis == 0)
        turn(v->Y, v->Z);
      else if (axis == 1)
        turn(v->X, v->Z);
      else
        turn(v->X, v->Y);
    }
    // About X or Y the heights change, and slicing relies on them.
    if (axis != 2) SortTriangleVertices(t);
  }
}

void FlipMesh(TTNTriangleArray& triangles, double c) {
  if (!std::isfinite(c)) return;
  ForEachVertex(triangles, [c](TTNVertex& v) { v.Z = ToFloat(c - v.Z); });
  for (TTNTriangle& t : triangles) SortTriangleVertices(t);
}

void ApplyStlMove(TTNTriangleArray& triangles, const StlMoveRequest& request,
                  StlModelBox& extents) {
  ScaleMesh(triangles, 0.0, 0.0, 0.0, request.Scale);
  if (request.AngleDegrees != 0.0)
    RotateMesh(triangles, request.Axis, 0.0, 0.0, request.AngleDegrees * std::acos(-1.0) / 180.0);
  StlModelBox b = extents;
  MeshBox(triangles, b);
  const double dx = request.X - b.MinX;
  const double dy = request.Y - b.MinY;
  const double dz = request.Top - b.MaxZ;
  TranslateMesh(triangles, dx, dy, dz);
  extents = b;
  extents.MinX += dx;
  extents.MaxX += dx;
  extents.MinY += dy;
  extents.MaxY += dy;
  extents.MinZ += dz;
  extents.MaxZ += dz;
  extents.MidZ = (extents.MaxZ + extents.MinZ) / 2.0 + extents.MaxZ;
  extents.Height = extents.MaxY - extents.MinY;
  extents.Width = extents.MaxX - extents.MinX;
}

void SortByMinZ(TTNTriangleArray& triangles, std::ptrdiff_t first, std::ptrdiff_t last,
                const CancelToken& cancel) {
  const auto size = static_cast<std::ptrdiff_t>(triangles.size());
  first = std::max<std::ptrdiff_t>(first, 0);
  last = std::min<std::ptrdiff_t>(last, size - 1);
  // The smaller part is sorted by recursion and the larger by the loop,
  // so the stack stays logarithmic even on ordered input.
  while (first < last) {
    if (cancel.stopped()) return;
    const float pivot = triangles[static_cast<size_t>(first + (last - first) / 2)].MinZ;
    std::ptrdiff_t i = first, j = last;
    while (i <= j) {
      while (triangles[static_cast<size_t>(i)].MinZ < pivot) ++i;
      while (pivot < triangles[static_cast<size_t>(j)].MinZ) --j;
      if (i <= j) {
        std::swap(triangles[static_cast<size_t>(i)], triangles[static_cast<size_t>(j)]);
        ++i;
        --j;
      }
    }
    if (j - first < last - i) {
      SortByMinZ(triangles, first, j, cancel);
      first = i;
    } else {
      SortByMinZ(triangles, i, last, cancel);
      last = j;
    }
  }
}

}  // namespace tarnak
