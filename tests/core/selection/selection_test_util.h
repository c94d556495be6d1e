// Shapes and documents for the selection tests.
#pragma once

#include <cmath>
#include <vector>

#include "geometry/geometry.h"
#include "geometry/primitives.h"
#include "shell/document.h"

namespace tarnak::testing {

// A chain through the given corners, closed back to the first.
inline TTNRegion Polygon(const std::vector<Point2>& pts, bool open = false) {
  TTNRegion r;
  const size_t n = pts.size();
  const size_t edges = open ? n - 1 : n;
  for (size_t k = 0; k < edges; ++k) {
    const Point2 a = pts[k], b = pts[(k + 1) % n];
    r.Elements.push_back(MakeLine(a.X, a.Y, b.X, b.Y));
  }
  r.Open = open ? 1 : 0;
  RegionBounds(r);
  r.Direction = static_cast<uint8_t>(RegionIsClockwise(r));
  return r;
}

inline TTNRegion Rect(double x0, double y0, double x1, double y1) {
  return Polygon({{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}});
}

// One full-circle Element, stored as circles are read (angles 0).
inline TTNRegion Circle(double cx, double cy, double r, bool clockwise = true) {
  TTNRegion reg;
  reg.Elements.push_back(MakeArc(cx, cy, clockwise ? -r : r, 0.0, 0.0));
  RegionBounds(reg);
  reg.Direction = clockwise ? 1 : 0;
  return reg;
}

// The arc about c from a to b; counter-clockwise unless `cw`.
inline TTNEntity ArcThrough(Point2 c, Point2 a, Point2 b, bool cw) {
  const double r = std::hypot(a.X - c.X, a.Y - c.Y);
  return MakeArc(c.X, c.Y, cw ? -r : r, PointAngle(c, a), PointAngle(c, b));
}

// Rounded rectangle, counter-clockwise, or clockwise with `cw`.
inline TTNRegion RoundedRect(double x0, double y0, double x1, double y1, double r,
                             bool cw = false) {
  TTNRegion reg;
  std::vector<TTNEntity> e;
  e.push_back(MakeLine(x0 + r, y0, x1 - r, y0));
  e.push_back(ArcThrough({x1 - r, y0 + r}, {x1 - r, y0}, {x1, y0 + r}, false));
  e.push_back(MakeLine(x1, y0 + r, x1, y1 - r));
  e.push_back(ArcThrough({x1 - r, y1 - r}, {x1, y1 - r}, {x1 - r, y1}, false));
  e.push_back(MakeLine(x1 - r, y1, x0 + r, y1));
  e.push_back(ArcThrough({x0 + r, y1 - r}, {x0 + r, y1}, {x0, y1 - r}, false));
  e.push_back(MakeLine(x0, y1 - r, x0, y0 + r));
  e.push_back(ArcThrough({x0 + r, y0 + r}, {x0, y0 + r}, {x0 + r, y0}, false));
  reg.Elements = e;
  RegionBounds(reg);
  reg.Direction = 0;
  if (cw) RegionReverse(reg);
  return reg;
}

// A document of the given Regions (from index 1) with its extents set.
inline void Fill(Document& doc, const std::vector<TTNRegion>& regions) {
  doc.Regions.assign(1, TTNRegion{});
  for (const TTNRegion& r : regions) doc.Regions.push_back(r);
  doc.ComputeExtents();
}

}  // namespace tarnak::testing
